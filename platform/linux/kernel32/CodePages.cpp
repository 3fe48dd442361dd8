// WideCharToMultiByte / MultiByteToWideChar for the ANSI code page of a western
// Windows (Windows-1252) and UTF-8, with Windows' argument checks and error codes.
#include <windows.h>

#include "FaultPoint.h"
#include "Utf16.h"

#include <array>
#include <string>

namespace {

constexpr UINT kWindows1252 = 1252;

// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1 control of the same value.
constexpr std::array<WCHAR, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Best-fit letters for U+0100..U+017F: the base Latin letter, '\0' where there is none.
constexpr char kLatinExtendedABestFit[128 + 1] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi\0\0JjKk\0LlLlLl\0"
    "\0LlNnNnNn\0\0\0OoOoOo\0\0RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz\0";

enum class Charset { Windows1252, Utf8, Unsupported };

Charset CharsetFor(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case kWindows1252:
        return Charset::Windows1252;
    case CP_UTF8:
        return Charset::Utf8;
    default:
        return Charset::Unsupported;
    }
}

WCHAR Decode1252(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : static_cast<WCHAR>(byte);
}

// Exact Windows-1252 byte of a unit; -1 when the code page has none.
int Encode1252(unsigned unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<int>(unit);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (static_cast<unsigned>(kHighControls[i]) == unit) return static_cast<int>(0x80 + i);
    }
    return -1;
}

int BestFit1252(unsigned unit) {
    if (unit >= 0x0100 && unit <= 0x017F) {
        const char letter = kLatinExtendedABestFit[unit - 0x0100];
        return letter != '\0' ? letter : -1;
    }
    if (unit >= 0xFF01 && unit <= 0xFF5E) return static_cast<int>(unit - 0xFF01 + 0x21);  // full-width forms
    return -1;
}

// Appends units as UTF-8; lone surrogates become U+FFFD (or fail with strict checking).
bool EncodeUtf8(const WCHAR* in, int count, bool strict, std::string& out) {
    for (int i = 0; i < count; ++i) {
        unsigned cp = static_cast<unsigned>(in[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
            const unsigned next = static_cast<unsigned>(in[i + 1]) & 0xFFFF;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (strict) return false;
            cp = 0xFFFD;
        }
        nvesk::kernel32::AppendUtf8(out, cp);
    }
    return true;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
    if (nvesk::kernel32::TakeFault("WideCharToMultiByte")) return 0;
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
        (cbMultiByte > 0 && static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    int count = cchWideChar;
    if (count < 0) {
        count = 0;
        while (lpWideCharStr[count] != 0)
            ++count;
        ++count;  // the terminating zero is converted too
    }

    std::string bytes;
    switch (CharsetFor(CodePage)) {
    case Charset::Unsupported:
        return Fail(ERROR_INVALID_PARAMETER);
    case Charset::Utf8:
        if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) return Fail(ERROR_INVALID_PARAMETER);
        if ((dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
        if (!EncodeUtf8(lpWideCharStr, count, (dwFlags & WC_ERR_INVALID_CHARS) != 0, bytes)) {
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        }
        break;
    case Charset::Windows1252: {
        const DWORD known = WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;
        if ((dwFlags & ~known) != 0) return Fail(ERROR_INVALID_FLAGS);
        const char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
        const bool bestFit = (dwFlags & WC_NO_BEST_FIT_CHARS) == 0;
        bool usedDefault = false;
        bytes.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const unsigned unit = static_cast<unsigned>(lpWideCharStr[i]) & 0xFFFF;
            int byte = Encode1252(unit);
            if (byte < 0 && bestFit) byte = BestFit1252(unit);
            if (byte < 0) {
                byte = static_cast<unsigned char>(fallback);
                usedDefault = true;
            }
            bytes += static_cast<char>(byte);
        }
        if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
        break;
    }
    }

    const int needed = static_cast<int>(bytes.size());
    if (cbMultiByte == 0) return needed;
    if (needed > cbMultiByte) return Fail(ERROR_INSUFFICIENT_BUFFER);
    bytes.copy(lpMultiByteStr, bytes.size());
    return needed;
}

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
    if (nvesk::kernel32::TakeFault("MultiByteToWideChar")) return 0;
    if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && lpWideCharStr == nullptr) ||
        (cchWideChar > 0 && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    int count = cbMultiByte;
    if (count < 0) {
        count = 0;
        while (lpMultiByteStr[count] != 0)
            ++count;
        ++count;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);

    std::wstring units;
    switch (CharsetFor(CodePage)) {
    case Charset::Unsupported:
        return Fail(ERROR_INVALID_PARAMETER);
    case Charset::Utf8:
        if ((dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
        if (!nvesk::kernel32::DecodeUtf8(in, static_cast<size_t>(count), (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                                         units)) {
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        }
        break;
    case Charset::Windows1252: {
        const DWORD known = MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
        if ((dwFlags & ~known) != 0 || ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE))) {
            return Fail(ERROR_INVALID_FLAGS);
        }
        units.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            units += Decode1252(in[i]);
        break;
    }
    }

    const int needed = static_cast<int>(units.size());
    if (cchWideChar == 0) return needed;
    if (needed > cchWideChar) return Fail(ERROR_INSUFFICIENT_BUFFER);
    units.copy(lpWideCharStr, units.size());
    return needed;
}
