// Small text conversions the tools share.
#pragma once

#include <string>
#include <vector>

namespace NVeskTools {

// A UTF-8 path or name as the wide (UTF-16) text the Windows calls take.
std::wstring Widen(const std::string& text);

// A number as short as it reads back the same ("0.5", "-2", "1e+10").
std::string Number(float value);
// Numbers in braces: "{1, 0.5, 0.25}".
std::string NumberList(const std::vector<float>& values);

}  // namespace NVeskTools
