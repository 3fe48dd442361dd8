// The lines the tools write when they cannot do their check.
#pragma once

#include <string>

namespace NVeskTools {

// Exit codes: the check passed, it found a fault (or could not run), the command line was wrong.
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

// "tool: message" on standard error; returns kFailed.
int Fail(const char* tool, const std::string& message);

// "usage: ..." on standard error, with the reason first when there is one; returns kBadArguments.
int Usage(const char* usage, const std::string& reason);

// The line for a machine where no device can be made, which is most often one without a display.
std::string NoDeviceMessage(const char* tool);

}  // namespace NVeskTools
