// Compiled as an engine test is, this must not build: PRIVATE_HEADER is one of a platform library's
// own headers, which only the platform layer and its own suites can reach.
#include PRIVATE_HEADER
