#include "lib/TextFormat.h"

#include <algorithm>

namespace NLib {

namespace {

std::wstring DigitsOf(std::uint64_t magnitude, unsigned base) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    do {
        text += kDigits[magnitude % base];
        magnitude /= base;
    } while (magnitude != 0);
    return text;  // least significant digit first
}

}  // namespace

std::wstring UInt64ToString(std::uint64_t value) {
    std::wstring text = DigitsOf(value, 10);
    std::reverse(text.begin(), text.end());
    return text;
}

std::wstring Int64ToString(std::int64_t value) {
    // The magnitude in unsigned arithmetic, so that the most negative value keeps all its digits.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::wstring text = DigitsOf(magnitude, 10);
    if (value < 0) text += L'-';
    std::reverse(text.begin(), text.end());
    return text;
}

std::wstring ToHexString(std::uint32_t code) {
    std::wstring text = DigitsOf(code, 16);
    std::reverse(text.begin(), text.end());
    return text;
}

}  // namespace NLib
