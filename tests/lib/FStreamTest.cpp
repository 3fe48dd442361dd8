// NLib::FStream: the mode table, transfers and positions, and every failure with its log line.
#include "lib/FStream.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

using NLib::FStream;
using TestSupport::LogCapture;
using TestSupport::ReadBytes;
using TestSupport::TempDir;
using TestSupport::WriteBytes;
using Lines = std::vector<std::wstring>;

namespace {

struct ModeRow {
    std::uint16_t flags;
    bool canRead;
    bool canWrite;
    bool createsMissing;  // a missing file is created (otherwise the open fails)
    bool truncates;
    bool keepsIsNewOnExisting;
    bool appends;
    bool sharesRead;
};

const ModeRow kModeTable[] = {
    {1, true, false, false, false, false, false, false}, {2, false, true, true, false, false, false, false},
    {3, true, true, true, false, false, false, false},   {6, false, true, true, true, true, false, false},
    {7, true, true, true, true, true, false, false},     {10, false, true, true, false, false, true, false},
    {11, true, true, true, false, false, true, false},   {17, true, false, false, false, false, false, true},
    {18, false, true, true, false, false, false, true},  {19, true, true, true, false, false, false, true},
    {22, false, true, true, true, true, false, true},    {23, true, true, true, true, true, false, true},
    {26, false, true, true, false, false, true, true},   {27, true, true, true, false, false, true, true},
};

bool CanOpenForReadingBeside(const std::wstring& name) {
    HANDLE other = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    CloseHandle(other);
    return true;
}

}  // namespace

TEST(FStreamModes, EveryAcceptedModeOnExistingAndMissingFiles) {
    for (const ModeRow& row : kModeTable) {
        SCOPED_TRACE(testing::Message() << "mode " << row.flags);
        TempDir dir;
        WriteBytes(dir.Path() / "existing.bin", {'h', 'e', 'l', 'l', 'o'});
        {
            FStream stream(true);
            ASSERT_EQ(stream.Open(dir.File("existing.bin"), row.flags), 0);
            EXPECT_TRUE(stream.IsOpen());
            EXPECT_EQ(stream.CanRead(), row.canRead);
            EXPECT_EQ(stream.CanWrite(), row.canWrite);
            EXPECT_EQ(stream.IsNew(), row.keepsIsNewOnExisting);
            EXPECT_EQ(stream.Size(), row.truncates ? 0u : 5u);
            EXPECT_EQ(stream.WritePos(), row.appends ? 5u : 0u);
            EXPECT_EQ(stream.ReadPos(), 0u);
            EXPECT_EQ(CanOpenForReadingBeside(dir.File("existing.bin")), row.sharesRead);
            EXPECT_EQ(stream.Close(), 0);
        }
        EXPECT_EQ(ReadBytes(dir.Path() / "existing.bin").size(), row.truncates ? 0u : 5u);

        FStream missing(true);
        const LogCapture log;
        EXPECT_EQ(missing.Open(dir.File("missing.bin"), row.flags), row.createsMissing ? 0 : 2);
        EXPECT_EQ(std::filesystem::exists(dir.Path() / "missing.bin"), row.createsMissing);
        EXPECT_TRUE(missing.IsNew());
        if (!row.createsMissing) {
            EXPECT_EQ(log.Messages(),
                      Lines {L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: 2"});
            EXPECT_EQ(missing.Handle(), nullptr);
        }
    }
}

TEST(FStreamModes, EveryOtherFlagValueIsRefusedBeforeTouchingTheFile) {
    std::set<std::uint16_t> accepted;
    for (const ModeRow& row : kModeTable)
        accepted.insert(row.flags);
    TempDir dir;
    for (unsigned flags = 0; flags <= 0xFFFF; ++flags) {
        if (accepted.count(static_cast<std::uint16_t>(flags)) != 0) continue;
        if (flags > 64 && flags != 0xFFFF && flags != 0x8003) continue;  // a sample of the large values
        SCOPED_TRACE(flags);
        FStream stream(true);
        const LogCapture log;
        EXPECT_EQ(stream.Open(dir.File("never.bin"), static_cast<std::uint16_t>(flags)), 2);
        EXPECT_EQ(log.Messages(), Lines {L"NLib::FStream::Open >> Invalid stream flag"});
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "never.bin"));
    }
}

TEST(FStreamModes, TwoStreamsOnOneFileShareItOnlyAsReaderBesideReader) {
    // Every mode shares nothing or reading alone: only a reading stream that shares reading (17)
    // admits another such stream. A truncating mode's fallback finds the file there (80); every
    // other refusal is the sharing violation (32). No refused open touches the file.
    TempDir dir;
    for (const ModeRow& held : kModeTable) {
        WriteBytes(dir.Path() / "both.bin", {'d', 'a', 't', 'a'});
        FStream first(false);
        ASSERT_EQ(first.Open(dir.File("both.bin"), held.flags), 0) << "mode " << held.flags;
        for (const ModeRow& second : kModeTable) {
            SCOPED_TRACE(testing::Message() << "mode " << second.flags << " beside mode " << held.flags);
            const bool opens = held.flags == 17 && second.flags == 17;
            FStream other(true);
            const LogCapture log;
            EXPECT_EQ(other.Open(dir.File("both.bin"), second.flags), opens ? 0 : 2);
            if (!opens) {
                const std::wstring code = second.truncates ? L"50" : L"20";
                EXPECT_EQ(
                    log.Messages(),
                    Lines {L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: " + code});
            }
        }
        EXPECT_EQ(std::filesystem::file_size(dir.Path() / "both.bin"), held.truncates ? 0u : 4u);
        EXPECT_EQ(first.Close(), 0);
    }
}

TEST(FStreamTransfers, ReadAndWritePositionsAreIndependent) {
    TempDir dir;
    FStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("rw.bin"), NLib::OpenMode::Read | NLib::OpenMode::Write), 0);
    ASSERT_EQ(stream.Write("abcdef", 6), 0);
    EXPECT_EQ(stream.WritePos(), 6u);
    EXPECT_EQ(stream.Size(), 6u);
    char buffer[4] = {};
    ASSERT_EQ(stream.Read(buffer, 2), 0);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    ASSERT_EQ(stream.Write("gh", 2), 0);
    ASSERT_EQ(stream.Read(buffer, 2), 0);
    EXPECT_EQ(std::string(buffer, 2), "cd");
    EXPECT_EQ(stream.ReadPos(), 4u);
    EXPECT_EQ(stream.Size(), 8u);
    EXPECT_EQ(stream.Close(), 0);
    EXPECT_EQ(stream.ReadPos(), 0u);
    EXPECT_EQ(stream.WritePos(), 0u);
    EXPECT_EQ(ReadBytes(dir.Path() / "rw.bin"), TestSupport::SingleBytes("abcdefgh"));
}

TEST(FStreamTransfers, ReadingPastTheEndReadsTheRestAndReturns6Silently) {
    TempDir dir;
    WriteBytes(dir.Path() / "forty.bin", std::vector<std::uint8_t>(40, 7));
    FStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("forty.bin"), NLib::OpenMode::Read), 0);
    std::vector<std::uint8_t> buffer(100, 0);
    const LogCapture log;
    EXPECT_EQ(stream.Read(buffer.data(), 100), 6);
    EXPECT_EQ(stream.ReadPos(), 40u);
    EXPECT_EQ(buffer[39], 7);
    EXPECT_EQ(buffer[40], 0);
    EXPECT_EQ(stream.Read(buffer.data(), 1), 6);
    EXPECT_TRUE(log.Messages().empty());
}

TEST(FStreamTransfers, AppendModesWriteAfterTheExistingContent) {
    for (std::uint16_t flags : {10, 11, 26, 27}) {
        SCOPED_TRACE(flags);
        TempDir dir;
        WriteBytes(dir.Path() / "log.txt", TestSupport::SingleBytes("old"));
        FStream stream(true);
        ASSERT_EQ(stream.Open(dir.File("log.txt"), flags), 0);
        ASSERT_EQ(stream.Write("new", 3), 0);
        EXPECT_EQ(stream.Size(), 6u);
        stream.Close();
        EXPECT_EQ(ReadBytes(dir.Path() / "log.txt"), TestSupport::SingleBytes("oldnew"));
    }
}

TEST(FStreamFailures, OperationsOnAClosedStreamLogTheSystemError) {
    FStream stream(true);
    char byte = 'x';
    {
        const LogCapture log;
        EXPECT_EQ(stream.SetFilePtr(3), 4);
        EXPECT_EQ(log.Messages(),
                  Lines {L"NLib::FStream::SetFilePtr >> SetFilePointerEx returned an error. Error code: 6"});
    }
    {
        const LogCapture log;
        EXPECT_EQ(stream.Write(&byte, 1), 3);
        EXPECT_EQ(log.Messages(),
                  (Lines {L"NLib::FStream::SetFilePtr >> SetFilePointerEx returned an error. Error code: 6",
                          L"NLib::FStream::Write >> WriteFile returned an error. Error code: 6"}));
        EXPECT_EQ(stream.WritePos(), 0u);
    }
    {
        const LogCapture log;
        EXPECT_EQ(stream.Close(), 1);
        EXPECT_EQ(log.Messages(),
                  Lines {L"NLib::FStream::Close >> Function \"Close Handle\" returned an error. Error Code: 6"});
        EXPECT_TRUE(stream.IsNew());
        EXPECT_FALSE(stream.IsOpen());
    }
}

TEST(FStreamFailures, TransfersAgainstTheModesAccessAreReported) {
    TempDir dir;
    WriteBytes(dir.Path() / "ro.bin", {1, 2, 3});
    FStream reader(true);
    ASSERT_EQ(reader.Open(dir.File("ro.bin"), NLib::OpenMode::Read), 0);
    const LogCapture log;
    EXPECT_EQ(reader.Write("zz", 2), 3);
    EXPECT_EQ(log.Messages(), Lines {L"NLib::FStream::Write >> WriteFile returned an error. Error code: 5"});
    EXPECT_EQ(reader.Size(), 3u);

    FStream writer(true);
    ASSERT_EQ(writer.Open(dir.File("wo.bin"), NLib::OpenMode::Write | NLib::OpenMode::Truncate), 0);
    ASSERT_EQ(writer.Write("abc", 3), 0);
    char buffer[3];
    const LogCapture readLog;
    EXPECT_EQ(writer.Read(buffer, 3), 5);
    EXPECT_EQ(readLog.Messages(), Lines {L"NLib::FStream::Read >> ReadFile returned an error. Error code: 5"});
}

TEST(FStreamFailures, StreamsThatDoNotLogStaySilent) {
    FStream quiet(false);
    const LogCapture log;
    EXPECT_EQ(quiet.Open(L"", 0), 2);
    EXPECT_EQ(quiet.Open(L"definitely-missing.file", NLib::OpenMode::Read), 2);
    EXPECT_EQ(quiet.Close(), 1);
    EXPECT_TRUE(log.Messages().empty());
}

TEST(FStreamLifetime, DestructionClosesTheFile) {
    TempDir dir;
    {
        FStream stream(true);
        ASSERT_EQ(stream.Open(dir.File("held.bin"), NLib::OpenMode::Write), 0);
    }
    FStream again(true);
    EXPECT_EQ(again.Open(dir.File("held.bin"), NLib::OpenMode::Write), 0);
    EXPECT_FALSE(again.IsNew());
}
