#include "Messages.h"

#include <cstdio>

namespace NVeskTools {

int Fail(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
    return kFailed;
}

int Usage(const char* usage, const std::string& reason) {
    if (!reason.empty()) std::fprintf(stderr, "%s\n", reason.c_str());
    std::fprintf(stderr, "usage: %s\n", usage);
    return kBadArguments;
}

std::string NoDeviceMessage(const char* tool) {
    return std::string("cannot create a Direct3D device (no display? try xvfb-run -a ") + tool + " ...)";
}

}  // namespace NVeskTools
