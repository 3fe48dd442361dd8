/* The Windows C runtime's random numbers (msvcrt and the UCRT use the same generator), so that a
   program that draws from rand() sees the same values on both systems. Defined in the executable,
   these take the place of the C library's own. */
#include <stdlib.h>

static unsigned int g_state = 1u;

int rand(void) {
    g_state = g_state * 214013u + 2531011u;
    return (int)((g_state >> 16) & 0x7FFFu);
}

void srand(unsigned int seed) {
    g_state = seed;
}
