// Wide (UTF-16) text to UTF-8 for SDL, which shows a lone surrogate as U+FFFD like Windows does.
#pragma once

#include <windows.h>

#include <string>

namespace nvesk::user32 {

std::string ToUtf8(LPCWSTR text);

}  // namespace nvesk::user32
