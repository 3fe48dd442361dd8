#include "Utf16.h"

namespace nvesk::kernel32 {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

bool Utf16ToUtf8(LPCWSTR text, std::string& out) {
    out.clear();
    for (const WCHAR* p = text; *p != 0; ++p) {
        const char32_t unit = static_cast<char32_t>(*p) & 0xFFFF;
        if (IsHighSurrogate(unit)) {
            const char32_t next = static_cast<char32_t>(p[1]) & 0xFFFF;
            if (!IsLowSurrogate(next)) return false;
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++p;
        } else if (IsLowSurrogate(unit)) {
            return false;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return true;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        char32_t cp = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80) {
            cp = lead;
        } else {
            size_t extra = 0;
            char32_t min = 0;
            if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; min = 0x80; }
            else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; min = 0x800; }
            else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; min = 0x10000; }
            bool valid = extra > 0;
            for (size_t k = 1; valid && k <= extra; ++k) {
                if (i + k >= n || (s[i + k] & 0xC0) != 0x80) valid = false;
                else cp = (cp << 6) | (s[i + k] & 0x3F);
            }
            if (valid && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                length = extra + 1;
            } else {
                cp = 0xFFFD;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (cp >> 10));
            out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<WCHAR>(cp);
        }
        i += length;
    }
    return out;
}

}  // namespace nvesk::kernel32
