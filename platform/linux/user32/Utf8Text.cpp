#include "Utf8Text.h"

#include <winnls.h>

namespace nvesk::user32 {

std::string ToUtf8(LPCWSTR text) {
    if (text == nullptr) return {};
    // Without WC_ERR_INVALID_CHARS the conversion replaces what it cannot pair.
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
    converted.resize(static_cast<std::size_t>(size - 1));
    return converted;
}

}  // namespace nvesk::user32
