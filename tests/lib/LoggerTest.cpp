// NLib::Logger: the exact bytes of the log file. Each case runs in a process of its own, since the
// logger is created once per process and its pending lines are written at exit.
#include "lib/Logger.h"

#include "lib/FStream.h"
#include "support/Scenario.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using NLib::Logger;
using TestSupport::ReadBytes;
using TestSupport::RunScenario;
using TestSupport::TempDir;
using TestSupport::Utf16LE;

namespace {

std::uintmax_t LogSize() {
    return std::filesystem::file_size("myLog.log");
}

const std::wstring kHeader = L"myLog.log\r\n\r\n";

std::wstring Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Logger::TimeStamp(now);
}

// The log must be the header plus these lines, each stamped with one of the two times.
void ExpectLog(const std::filesystem::path& file, const std::vector<std::wstring>& lines, const std::wstring& earlier,
               const std::wstring& later) {
    const std::vector<std::uint8_t> actual = ReadBytes(file);
    for (const std::wstring& stamp : {earlier, later}) {
        std::wstring text = kHeader;
        for (const std::wstring& line : lines)
            text += stamp + line + L"\r\n";
        if (actual == Utf16LE(text, true)) return;
    }
    std::wstring expected = kHeader;
    for (const std::wstring& line : lines)
        expected += earlier + line + L"\r\n";
    ADD_FAILURE() << "log bytes differ; expected " << Utf16LE(expected, true).size() << " bytes, got " << actual.size();
}

}  // namespace

NVESK_SCENARIO(fresh_log) {
    const TestSupport::WorkingDirectory here(argument);
    return Logger::Init(L"myLog.log");
}

NVESK_SCENARIO(held_until_flushed) {
    const TestSupport::WorkingDirectory here(argument);
    if (Logger::Init(L"myLog.log") != 0) return 1;
    const std::uintmax_t header = LogSize();
    Logger::Write(L"held", false);
    if (LogSize() != header) return 2;
    Logger::Write(L"flushed", true);
    if (LogSize() == header) return 3;
    Logger::Write(L"at exit", false);
    return 0;
}

NVESK_SCENARIO(second_init) {
    const TestSupport::WorkingDirectory here(argument);
    if (Logger::Init(L"myLog.log") != 0) return 1;
    if (Logger::Init(L"other.log") != 1) return 2;
    return std::filesystem::exists("other.log") ? 3 : 0;
}

NVESK_SCENARIO(write_before_init) {
    const TestSupport::WorkingDirectory here(argument);
    Logger::Write(L"too early", true);
    return Logger::Init(L"myLog.log");
}

NVESK_SCENARIO(unopenable_log) {
    const TestSupport::WorkingDirectory here(argument);
    if (Logger::Init(L"no-such-folder/myLog.log") != 2) return 1;
    Logger::Write(L"dropped", true);
    if (Logger::MessageCount() != 0) return 2;
    return Logger::Init(L"myLog.log") == 1 ? 0 : 3;
}

NVESK_SCENARIO(multiline_message) {
    const TestSupport::WorkingDirectory here(argument);
    if (Logger::Init(L"myLog.log") != 0) return 1;
    Logger::Write(L"one\ntwo", true);
    return 0;
}

NVESK_SCENARIO(reader_beside_the_log) {
    // The logger shares nothing: a reader is refused while it writes, and the log goes on.
    const TestSupport::WorkingDirectory here(argument);
    if (Logger::Init(L"myLog.log") != 0) return 1;
    Logger::Write(L"before", true);
    NLib::FStream stream(false);
    if (stream.Open(L"myLog.log", NLib::OpenMode::Read | NLib::OpenMode::ShareRead) != 2) return 2;
    HANDLE lenient = CreateFileW(L"myLog.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lenient != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) return 3;
    Logger::Write(L"after", true);
    return 0;
}

TEST(Logger, FreshLogHoldsTheMarkTheFileNameAndTwoLineBreaks) {
    TempDir dir;
    ASSERT_EQ(RunScenario("fresh_log", dir.Path().string()), 0);
    EXPECT_EQ(ReadBytes(dir.Path() / "myLog.log"), Utf16LE(kHeader, true));
}

TEST(Logger, UnflushedLinesWaitForAFlushOrTheProcessEnd) {
    TempDir dir;
    const std::wstring before = Now();
    ASSERT_EQ(RunScenario("held_until_flushed", dir.Path().string()), 0);
    ExpectLog(dir.Path() / "myLog.log", {L"held", L"flushed", L"at exit"}, before, Now());
}

TEST(Logger, EachRunEmptiesThePreviousLog) {
    TempDir dir;
    ASSERT_EQ(RunScenario("held_until_flushed", dir.Path().string()), 0);
    ASSERT_EQ(RunScenario("fresh_log", dir.Path().string()), 0);
    EXPECT_EQ(ReadBytes(dir.Path() / "myLog.log"), Utf16LE(kHeader, true));
}

TEST(Logger, SecondInitChangesNothing) {
    TempDir dir;
    EXPECT_EQ(RunScenario("second_init", dir.Path().string()), 0);
}

TEST(Logger, WritesBeforeInitOrWithoutAFileAreDropped) {
    TempDir dir;
    EXPECT_EQ(RunScenario("write_before_init", dir.Path().string()), 0);
    EXPECT_EQ(ReadBytes(dir.Path() / "myLog.log"), Utf16LE(kHeader, true));
    EXPECT_EQ(RunScenario("unopenable_log", dir.Path().string()), 0);
}

TEST(Logger, AReaderIsRefusedWhileTheLoggerWritesAndTheLogGoesOn) {
    TempDir dir;
    const std::wstring before = Now();
    ASSERT_EQ(RunScenario("reader_beside_the_log", dir.Path().string()), 0);
    ExpectLog(dir.Path() / "myLog.log", {L"before", L"after"}, before, Now());
}

TEST(Logger, LineFeedsInAMessageBecomeCrLfWithOneTimeStamp) {
    TempDir dir;
    const std::wstring before = Now();
    ASSERT_EQ(RunScenario("multiline_message", dir.Path().string()), 0);
    ExpectLog(dir.Path() / "myLog.log", {L"one\r\ntwo"}, before, Now());
}

TEST(Logger, TimeStampsHaveNoLeadingZerosAndNoSeconds) {
    SYSTEMTIME newYear = {};
    newYear.wYear = 2009;
    newYear.wMonth = 1;
    newYear.wDay = 1;
    newYear.wSecond = 59;
    newYear.wMilliseconds = 999;
    EXPECT_EQ(Logger::TimeStamp(newYear), L"2009-1-1  0:0    ");
    SYSTEMTIME march = {};
    march.wYear = 2008;
    march.wMonth = 3;
    march.wDay = 7;
    march.wHour = 9;
    march.wMinute = 5;
    EXPECT_EQ(Logger::TimeStamp(march), L"2008-3-7  9:5    ");
    march.wMonth = 12;
    march.wDay = 31;
    march.wHour = 23;
    march.wMinute = 59;
    EXPECT_EQ(Logger::TimeStamp(march), L"2008-12-31  23:59    ");
}
