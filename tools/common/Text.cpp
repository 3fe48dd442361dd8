#include "Text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace NVeskTools {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return wide;
}

std::string Number(float value) {
    char text[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

std::string NumberList(const std::vector<float>& values) {
    std::string text = "{";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : ", ") + Number(values[i]);
    return text + "}";
}

}  // namespace NVeskTools
