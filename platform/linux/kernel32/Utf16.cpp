#include "Utf16.h"

namespace nvesk::kernel32 {

namespace {

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

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

bool DecodeUtf8(const unsigned char* in, size_t count, bool strict, std::wstring& out) {
    size_t i = 0;
    while (i < count) {
        const unsigned char lead = in[i];
        unsigned cp = 0;
        size_t extra = 0;
        unsigned min = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
            min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
            min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
            min = 0x10000;
        } else {
            extra = 4;
        }  // not a lead byte
        bool valid = extra < 4;
        for (size_t k = 1; valid && k <= extra; ++k) {
            if (i + k >= count || (in[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (in[i + k] & 0x3F);
        }
        if (valid && extra > 0 && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            if (strict) return false;
            out += static_cast<WCHAR>(0xFFFD);
            i += 1;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (cp >> 10));
            out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<WCHAR>(cp);
        }
        i += extra + 1;
    }
    return true;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false, out);
    return out;
}

}  // namespace nvesk::kernel32
