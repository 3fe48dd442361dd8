// kernel32 file handles: dispositions, sharing, transfers, positions and error codes, with the
// results Windows gives (this suite also runs on Windows under Wine).
#include "support/TempDir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using TestSupport::ReadBytes;
using TestSupport::TempDir;
using TestSupport::WriteBytes;

namespace {

HANDLE Open(const std::wstring& name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct DispositionCase {
    DWORD disposition;
    bool fileExists;
    bool succeeds;
    DWORD lastError;
    size_t sizeAfter;  // of a 5-byte file, or 0 for a created one
};

}  // namespace

TEST(Kernel32Files, DispositionsCreateTruncateAndReportExistingFiles) {
    const DispositionCase cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, 0},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, 5},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, 0},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, 5},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 5},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, 0},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, 0},
    };
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition
                                        << (c.fileExists ? " existing" : " missing"));
        TempDir dir;
        const auto path = dir.Path() / "file.bin";
        if (c.fileExists) WriteBytes(path, {1, 2, 3, 4, 5});
        SetLastError(12345);
        HANDLE file = Open(dir.File("file.bin"), GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        const DWORD error = GetLastError();
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.succeeds);
        if (c.succeeds || c.lastError != ERROR_SUCCESS) {
            EXPECT_EQ(error, c.lastError);
        }
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        EXPECT_EQ(std::filesystem::exists(path), c.succeeds || c.fileExists);
        if (std::filesystem::exists(path)) {
            EXPECT_EQ(std::filesystem::file_size(path), c.sizeAfter);
        }
    }
}

TEST(Kernel32Files, OpenFailuresGiveTheWindowsCodes) {
    TempDir dir;
    SetLastError(0);
    EXPECT_EQ(Open(dir.File("missing-folder/file.txt"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    std::filesystem::create_directory(dir.Path() / "folder");
    EXPECT_EQ(Open(dir.File("folder"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Kernel32Files, ShareModeZeroRefusesASecondOpenUntilClosed) {
    TempDir dir;
    HANDLE first = Open(dir.File("shared.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(dir.File("shared.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A refused truncating open must not have truncated anything either.
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(first, "abc", 3, &written, nullptr));
    EXPECT_EQ(Open(dir.File("shared.txt"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, TRUNCATE_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "shared.txt"), 3u);

    HANDLE again = Open(dir.File("shared.txt"), GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST(Kernel32Files, ReadSharingAllowsReadersButNotWriters) {
    TempDir dir;
    WriteBytes(dir.Path() / "data.bin", {9, 8, 7});
    HANDLE reader = Open(dir.File("data.bin"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE secondReader = Open(dir.File("data.bin"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(secondReader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(dir.File("data.bin"), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(CloseHandle(secondReader));
    EXPECT_TRUE(CloseHandle(reader));
}

namespace {

struct Sharing {
    DWORD access;
    DWORD share;
};

// Access read, write, both, each with share mode none, read, write, both.
constexpr Sharing kSharings[12] = {
    {GENERIC_READ, 0},
    {GENERIC_READ, FILE_SHARE_READ},
    {GENERIC_READ, FILE_SHARE_WRITE},
    {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
    {GENERIC_WRITE, 0},
    {GENERIC_WRITE, FILE_SHARE_READ},
    {GENERIC_WRITE, FILE_SHARE_WRITE},
    {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
    {GENERIC_READ | GENERIC_WRITE, 0},
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ},
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE},
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
};

// Row: the handle already open; column: the second open, both in kSharings' order, in groups of
// read, write, both. 'o' opens, '.' is a sharing violation.
constexpr const char* kShareTable[12] = {
    ".... .... ....",  // read, share none
    ".o.o .... ....",  // read, share read
    ".... .o.o ....",  // read, share write
    ".o.o .o.o .o.o",  // read, share both
    ".... .... ....",  // write, share none
    "..oo .... ....",  // write, share read
    ".... ..oo ....",  // write, share write
    "..oo ..oo ..oo",  // write, share both
    ".... .... ....",  // both, share none
    "...o .... ....",  // both, share read
    ".... ...o ....",  // both, share write
    "...o ...o ...o",  // both, share both
};

}  // namespace

TEST(Kernel32Files, ShareModesOfBothHandlesDecideEverySecondOpen) {
    TempDir dir;
    WriteBytes(dir.Path() / "shared.bin", {1, 2, 3});
    for (int first = 0; first < 12; ++first) {
        HANDLE open = Open(dir.File("shared.bin"), kSharings[first].access, kSharings[first].share, OPEN_EXISTING);
        ASSERT_NE(open, INVALID_HANDLE_VALUE) << "first " << first;
        const std::string row = kShareTable[first];
        for (int second = 0; second < 12; ++second) {
            SCOPED_TRACE(testing::Message() << "first " << first << ", second " << second);
            const bool opens = row[second + second / 4] == 'o';
            SetLastError(0);
            HANDLE other =
                Open(dir.File("shared.bin"), kSharings[second].access, kSharings[second].share, OPEN_EXISTING);
            EXPECT_EQ(other != INVALID_HANDLE_VALUE, opens);
            if (other != INVALID_HANDLE_VALUE) {
                EXPECT_TRUE(CloseHandle(other));
            } else {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            }
        }
        EXPECT_TRUE(CloseHandle(open));
    }
    EXPECT_EQ(ReadBytes(dir.Path() / "shared.bin"), (std::vector<std::uint8_t> {1, 2, 3}));
}

TEST(Kernel32Files, TransfersPositionsAndSizes) {
    TempDir dir;
    HANDLE file = Open(dir.File("io.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &count, nullptr));
    EXPECT_EQ(count, 10u);
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 10);

    // At end of file a read succeeds with 0 bytes.
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);

    LARGE_INTEGER position;
    LARGE_INTEGER now;
    position.QuadPart = 4;
    ASSERT_TRUE(SetFilePointerEx(file, position, &now, FILE_BEGIN));
    EXPECT_EQ(now.QuadPart, 4);
    ASSERT_TRUE(ReadFile(file, buffer, 3, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "456");
    position.QuadPart = -2;
    ASSERT_TRUE(SetFilePointerEx(file, position, &now, FILE_END));
    EXPECT_EQ(now.QuadPart, 8);
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "89");

    // A negative position is refused and leaves the pointer alone.
    position.QuadPart = -11;
    EXPECT_FALSE(SetFilePointerEx(file, position, nullptr, FILE_END));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    position.QuadPart = 0;
    ASSERT_TRUE(SetFilePointerEx(file, position, &now, FILE_CURRENT));
    EXPECT_EQ(now.QuadPart, 10);

    // Writing past the end extends the file.
    position.QuadPart = 12;
    ASSERT_TRUE(SetFilePointerEx(file, position, nullptr, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(file, "x", 1, &count, nullptr));
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 13);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(ReadBytes(dir.Path() / "io.bin").size(), 13u);
}

TEST(Kernel32Files, AccessIsCheckedPerHandle) {
    TempDir dir;
    WriteBytes(dir.Path() / "a.bin", {1, 2});
    HANDLE reader = Open(dir.File("a.bin"), GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD count = 77;
    EXPECT_FALSE(WriteFile(reader, "z", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(CloseHandle(reader));

    HANDLE writer = Open(dir.File("a.bin"), GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    char byte = 0;
    EXPECT_FALSE(ReadFile(writer, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(writer));
}

TEST(Kernel32Files, BadHandlesFailWithInvalidHandle) {
    char byte = 0;
    DWORD count = 0;
    LARGE_INTEGER value;
    value.QuadPart = 0;
    HANDLE madeUp = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x7FFF1230));
    for (HANDLE handle : {static_cast<HANDLE>(nullptr), madeUp}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(ReadFile(handle, &byte, 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(WriteFile(handle, &byte, 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(SetFilePointerEx(handle, value, nullptr, FILE_BEGIN));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(GetFileSizeEx(handle, &value));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST(Kernel32Files, InvalidHandleValueClosesAsTheProcessPseudoHandle) {
    // INVALID_HANDLE_VALUE is also GetCurrentProcess()'s value: closing it succeeds and changes
    // nothing, but it is no file.
    for (int time = 0; time < 2; ++time) {
        SetLastError(12345);
        EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE));
        EXPECT_EQ(GetLastError(), 12345u) << "a success leaves the last error alone";
    }
    char byte = 0;
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Kernel32Files, LastErrorBelongsToEachThread) {
    // Both threads hold their own value while the other one sets a different one.
    std::atomic<int> step {0};
    DWORD seenByOtherThread = 0;
    std::thread other([&] {
        SetLastError(42);
        step = 1;
        while (step != 2)
            std::this_thread::yield();
        seenByOtherThread = GetLastError();
        step = 3;
    });
    while (step != 1)
        std::this_thread::yield();
    SetLastError(1234);
    step = 2;
    while (step != 3)
        std::this_thread::yield();
    const DWORD seenHere = GetLastError();
    other.join();
    EXPECT_EQ(seenByOtherThread, 42u);
    EXPECT_EQ(seenHere, 1234u);
}

TEST(Kernel32Module, ExecutableModuleHandleExists) {
    EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
}
