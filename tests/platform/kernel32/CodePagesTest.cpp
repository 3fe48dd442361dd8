// Code-page conversion with the ANSI code page of a western Windows (Windows-1252).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ToAnsi(const std::wstring& text, DWORD flags, BOOL* usedDefault) {
    char out[64] = {};
    const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), out, sizeof out,
                                      nullptr, usedDefault);
    return std::string(out, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring FromAnsi(const std::string& bytes) {
    wchar_t out[64] = {};
    const int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), static_cast<int>(bytes.size()), out, 64);
    return std::wstring(out, static_cast<size_t>(n > 0 ? n : 0));
}

}  // namespace

TEST(Kernel32CodePages, AnsiIsWindows1252BothWays) {
    BOOL usedDefault = TRUE;
    EXPECT_EQ(ToAnsi(L"A\x20AC\x00E9\x0178", WC_NO_BEST_FIT_CHARS, &usedDefault), "A\x80\xE9\x9F");
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(FromAnsi("A\x80\xE9\x9F\x81"), std::wstring(L"A\x20AC\x00E9\x0178\x0081"));

    // Every byte survives the round trip.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    wchar_t units[256] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, all.data(), 255, units, 256), 255);
    char back[256] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, 255, back, 256, nullptr, nullptr), 255);
    EXPECT_EQ(std::string(back, 255), all);
}

TEST(Kernel32CodePages, UnmappableUnitsBecomeTheDefaultCharacter) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToAnsi(L"a\x4E2D"
                     L"b",
                     0, &usedDefault),
              "a?b");
    EXPECT_TRUE(usedDefault);

    // Best fit picks a similar letter unless it is turned off.
    usedDefault = TRUE;
    EXPECT_EQ(ToAnsi(L"\x0100", 0, &usedDefault), "A");
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(ToAnsi(L"\x0100", WC_NO_BEST_FIT_CHARS, &usedDefault), "?");
    EXPECT_TRUE(usedDefault);

    char out[4] = {};
    const char star = '*';
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\x4E2D", 1, out, 4, &star, nullptr), 1);
    EXPECT_EQ(out[0], '*');
}

TEST(Kernel32CodePages, SizesAndBufferErrors) {
    // Size queries, the terminating zero with -1, too small a buffer, empty input.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", 3, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, nullptr, 0), 5);

    char small[2];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", 3, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    wchar_t smallWide[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, smallWide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    char out[4];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", 0, out, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    wchar_t wide[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Kernel32CodePages, Utf8KeepsSurrogatePairs) {
    const wchar_t text[] = {L'x', 0xD83D, 0xDE00, 0};  // U+1F600 as two units
    char bytes[16] = {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, 3, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::string(bytes, 5), "x\xF0\x9F\x98\x80");
    wchar_t units[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, bytes, n, units, 8), 3);
    EXPECT_EQ(static_cast<unsigned>(units[1]), 0xD83Du);
    EXPECT_EQ(static_cast<unsigned>(units[2]), 0xDE00u);
}
