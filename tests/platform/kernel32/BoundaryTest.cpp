// kernel32 at its boundary: every operation the engine calls, given null pointers, zero and
// absurd sizes, unknown flags and calls on closed handles, fails with the code Windows gives and
// touches nothing. Cases already covered by the files and code-page suites are not repeated.
#include "support/TempDir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using TestSupport::TempDir;

namespace {

struct Kernel32Case {
    const char* call;
    // Makes the call on a fresh file "file.bin" of 4 bytes, opened for reading and writing;
    // true when the call reported success.
    std::function<bool(HANDLE file, const std::wstring& folder)> run;
    DWORD error;  // the last error after the failure
};

HANDLE OpenReadWrite(const std::wstring& name) {
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool Opened(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

bool CreateInFolder(const std::wstring& folder, const wchar_t* name, DWORD access, DWORD disposition) {
    return Opened(
        CreateFileW((folder + name).c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

LARGE_INTEGER Distance(LONGLONG value) {
    LARGE_INTEGER distance;
    distance.QuadPart = value;
    return distance;
}

const Kernel32Case kCases[] = {
    {"CreateFileW with an empty name",
     [](HANDLE, const std::wstring&) {
         return Opened(CreateFileW(L"", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
     },
     ERROR_PATH_NOT_FOUND},
    {"CreateFileW with disposition 0",
     [](HANDLE, const std::wstring& folder) { return CreateInFolder(folder, L"new.bin", GENERIC_WRITE, 0); },
     ERROR_INVALID_PARAMETER},
    {"CreateFileW with disposition 6",
     [](HANDLE, const std::wstring& folder) { return CreateInFolder(folder, L"new.bin", GENERIC_WRITE, 6); },
     ERROR_INVALID_PARAMETER},
    {"CreateFileW truncating without write access",
     [](HANDLE, const std::wstring& folder) {
         return CreateInFolder(folder, L"file.bin", GENERIC_READ, TRUNCATE_EXISTING);
     },
     ERROR_INVALID_PARAMETER},
    {"CreateFileW with a name of 40000 characters",
     [](HANDLE, const std::wstring& folder) {
         return CreateInFolder(folder, std::wstring(40000, L'a').c_str(), GENERIC_WRITE, CREATE_ALWAYS);
     },
     ERROR_FILENAME_EXCED_RANGE},
    {"SetFilePointerEx before the start",
     [](HANDLE file, const std::wstring&) { return SetFilePointerEx(file, Distance(-1), nullptr, FILE_BEGIN) != 0; },
     ERROR_NEGATIVE_SEEK},
    {"SetFilePointerEx back past the start from the end",
     [](HANDLE file, const std::wstring&) { return SetFilePointerEx(file, Distance(-5), nullptr, FILE_END) != 0; },
     ERROR_NEGATIVE_SEEK},
    {"SetFilePointerEx with move method 3",
     [](HANDLE file, const std::wstring&) { return SetFilePointerEx(file, Distance(0), nullptr, 3) != 0; },
     ERROR_INVALID_PARAMETER},
    {"ReadFile into no buffer",
     [](HANDLE file, const std::wstring&) {
         DWORD count = 0;
         return ReadFile(file, nullptr, 4, &count, nullptr) != 0;
     },
     ERROR_NOACCESS},
    {"WriteFile from no buffer",
     [](HANDLE file, const std::wstring&) {
         DWORD count = 0;
         return WriteFile(file, nullptr, 4, &count, nullptr) != 0;
     },
     ERROR_NOACCESS},
    {"ReadFile on a closed handle",
     [](HANDLE file, const std::wstring&) {
         CloseHandle(file);
         char byte = 0;
         DWORD count = 0;
         return ReadFile(file, &byte, 1, &count, nullptr) != 0;
     },
     ERROR_INVALID_HANDLE},
    {"CloseHandle twice",
     [](HANDLE file, const std::wstring&) {
         CloseHandle(file);
         return CloseHandle(file) != 0;
     },
     ERROR_INVALID_HANDLE},
    {"MultiByteToWideChar from no text",
     [](HANDLE, const std::wstring&) {
         wchar_t out[4];
         return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, nullptr, 3, out, 4) != 0;
     },
     ERROR_INVALID_PARAMETER},
    {"MultiByteToWideChar into no buffer of a nonzero size",
     [](HANDLE, const std::wstring&) { return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", 3, nullptr, 4) != 0; },
     ERROR_INVALID_PARAMETER},
    {"MultiByteToWideChar with both composition flags",
     [](HANDLE, const std::wstring&) {
         wchar_t out[4];
         return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "abc", 3, out, 4) != 0;
     },
     ERROR_INVALID_FLAGS},
    {"MultiByteToWideChar with MB_PRECOMPOSED for UTF-8",
     [](HANDLE, const std::wstring&) {
         wchar_t out[4];
         return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, out, 4) != 0;
     },
     ERROR_INVALID_FLAGS},
    {"MultiByteToWideChar in code page 12345",
     [](HANDLE, const std::wstring&) {
         wchar_t out[4];
         return MultiByteToWideChar(12345, 0, "abc", 3, out, 4) != 0;
     },
     ERROR_INVALID_PARAMETER},
    {"WideCharToMultiByte from no text",
     [](HANDLE, const std::wstring&) {
         char out[4];
         return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, nullptr, 3, out, 4, nullptr, nullptr) != 0;
     },
     ERROR_INVALID_PARAMETER},
    {"WideCharToMultiByte into no buffer of a nonzero size",
     [](HANDLE, const std::wstring&) {
         return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"abc", 3, nullptr, 4, nullptr, nullptr) != 0;
     },
     ERROR_INVALID_PARAMETER},
    {"WideCharToMultiByte with WC_NO_BEST_FIT_CHARS for UTF-8",
     [](HANDLE, const std::wstring&) {
         char out[4];
         return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, L"abc", 3, out, 4, nullptr, nullptr) != 0;
     },
     ERROR_INVALID_FLAGS},
    {"WideCharToMultiByte asking UTF-8 whether a default was used",
     [](HANDLE, const std::wstring&) {
         char out[4];
         BOOL used = FALSE;
         return WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, out, 4, nullptr, &used) != 0;
     },
     ERROR_INVALID_PARAMETER},
};

}  // namespace

TEST(Kernel32Boundary, BadArgumentsFailWithTheWindowsCodeAndLeaveTheFileAsItWas) {
    for (const Kernel32Case& test : kCases) {
        TempDir dir;
        TestSupport::WriteBytes(dir.Path() / "file.bin", {1, 2, 3, 4});
        const HANDLE file = OpenReadWrite(dir.File("file.bin"));
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << test.call;
        SetLastError(0);
        EXPECT_FALSE(test.run(file, dir.File("")));
        EXPECT_EQ(GetLastError(), test.error) << test.call;
        CloseHandle(file);
        EXPECT_EQ(TestSupport::ReadBytes(dir.Path() / "file.bin"), (std::vector<std::uint8_t> {1, 2, 3, 4}))
            << test.call;
    }
}

TEST(Kernel32Boundary, ZeroSizedTransfersSucceedAndMoveNothing) {
    TempDir dir;
    TestSupport::WriteBytes(dir.Path() / "file.bin", {1, 2, 3, 4});
    const HANDLE file = OpenReadWrite(dir.File("file.bin"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 99;
    char byte = 0;
    EXPECT_TRUE(ReadFile(file, &byte, 0, &count, nullptr));
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_TRUE(WriteFile(file, &byte, 0, &count, nullptr));
    EXPECT_EQ(count, 0u);
    LARGE_INTEGER position;
    EXPECT_TRUE(SetFilePointerEx(file, Distance(0), &position, FILE_CURRENT));
    EXPECT_EQ(position.QuadPart, 0);
    // Far past the end is no error; reading there gives nothing.
    EXPECT_TRUE(SetFilePointerEx(file, Distance(1LL << 40), &position, FILE_BEGIN));
    EXPECT_EQ(position.QuadPart, 1LL << 40);
    count = 99;
    EXPECT_TRUE(ReadFile(file, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
    LARGE_INTEGER size;
    EXPECT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 4);
    CloseHandle(file);
}
