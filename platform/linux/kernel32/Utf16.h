// UTF-16 wide text (one code unit per wchar_t) <-> UTF-8 at the operating-system boundary.
#pragma once

#include <windows.h>

#include <string>

namespace nvesk::kernel32 {

// Converts a zero-terminated UTF-16 string. Surrogate pairs are joined; a lone
// surrogate cannot be named on Linux and fails the conversion.
bool Utf16ToUtf8(LPCWSTR text, std::string& out);

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Decodes UTF-8 into UTF-16 units; invalid input gives U+FFFD, or fails when strict.
bool DecodeUtf8(const unsigned char* in, size_t count, bool strict, std::wstring& out);

// Converts UTF-8 to UTF-16 units; invalid sequences become U+FFFD.
std::wstring Utf8ToUtf16(const std::string& text);

}  // namespace nvesk::kernel32
