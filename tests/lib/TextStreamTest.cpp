// NLib::TextStream: byte-order marks, encodings and line ends on disk.
#include "lib/TextStream.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using NLib::TextStream;
using TestSupport::LogCapture;
using TestSupport::ReadBytes;
using TestSupport::SingleBytes;
using TestSupport::TempDir;
using TestSupport::Utf16BE;
using TestSupport::Utf16LE;
using TestSupport::WriteBytes;
namespace Mode = NLib::OpenMode;
namespace Encoding = NLib::TextEncoding;

TEST(TextStreamWriting, NewFileGetsTheMarkAndCrLfLineEnds) {
    TempDir dir;
    TextStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("new.txt"), Mode::Write | Mode::Truncate), 0);
    EXPECT_EQ(stream.Encoding(), Encoding::Utf16LE);
    EXPECT_EQ(stream.WritePos(), 2u);
    // The file is not shared while open: watch its size, read its bytes after closing.
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "new.txt"), 2u);

    stream << L"a\n";
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "new.txt"), 2u);  // nothing written before the flush
    EXPECT_EQ(stream.Flush(), 0);
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "new.txt"), 8u);
    EXPECT_EQ(stream.Flush(), 100);
    EXPECT_EQ(stream.Close(), 0);
    EXPECT_EQ(ReadBytes(dir.Path() / "new.txt"), Utf16LE(L"a\r\n", true));
}

TEST(TextStreamWriting, LineBreakRules) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"\nx", L"\r\nx"},         {L"a\r\nb", L"a\r\nb"},   {L"a\n\nb", L"a\r\n\r\nb"},
        {L"lone\rcr", L"lone\rcr"}, {L"\r\n\n", L"\r\n\r\n"},
    };
    for (const auto& [memory, disk] : cases) {
        TempDir dir;
        TextStream stream(true);
        ASSERT_EQ(stream.Open(dir.File("t.txt"), Mode::Write | Mode::Truncate), 0);
        stream << memory.substr(0, 1) << memory.substr(1);
        EXPECT_EQ(stream.Flush(), 0);
        stream.Close();
        EXPECT_EQ(ReadBytes(dir.Path() / "t.txt"), Utf16LE(disk, true));
    }
}

TEST(TextStreamWriting, ExistingFilesKeepTheirEncoding) {
    TempDir dir;
    WriteBytes(dir.Path() / "be.txt", Utf16BE(L"ab", true));
    WriteBytes(dir.Path() / "ansi.txt", SingleBytes("x"));
    {
        TextStream be(true);
        ASSERT_EQ(be.Open(dir.File("be.txt"), Mode::Write | Mode::Append), 0);
        EXPECT_EQ(be.Encoding(), Encoding::Utf16BE);
        be << L"\x20AC\n";
    }  // destruction flushes
    EXPECT_EQ(ReadBytes(dir.Path() / "be.txt"), Utf16BE(L"ab\x20AC\r\n", true));
    {
        TextStream ansi(true);
        ASSERT_EQ(ansi.Open(dir.File("ansi.txt"), Mode::Write | Mode::Append), 0);
        EXPECT_EQ(ansi.Encoding(), Encoding::Ansi);
        ansi << L"\x20AC\x4E2D\n";
        EXPECT_EQ(ansi.Close(), 0);
    }
    EXPECT_EQ(ReadBytes(dir.Path() / "ansi.txt"), SingleBytes("x\x80?\r\n"));

    // Without Append a marked file is written from just after its mark.
    TextStream overwrite(true);
    ASSERT_EQ(overwrite.Open(dir.File("be.txt"), Mode::Write), 0);
    EXPECT_EQ(overwrite.WritePos(), 2u);
    EXPECT_EQ(overwrite.ReadPos(), 2u);
    overwrite << L"Z";
    overwrite.Close();
    EXPECT_EQ(ReadBytes(dir.Path() / "be.txt"), Utf16BE(L"Zb\x20AC\r\n", true));
}

TEST(TextStreamReading, DecodesByTheMarkAndDropsEveryCr) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint16_t encoding;
    };
    const Case cases[] = {
        {"le.txt", Utf16LE(L"one\r\ntwo\r\x20AC", true), Encoding::Utf16LE},
        {"be.txt", Utf16BE(L"one\r\ntwo\r\x20AC", true), Encoding::Utf16BE},
        {"ansi.txt", SingleBytes("one\r\ntwo\r\x80"), Encoding::Ansi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteBytes(dir.Path() / c.name, c.bytes);
        TextStream stream(true);
        ASSERT_EQ(stream.Open(dir.File(c.name), Mode::Read), 0);
        EXPECT_EQ(stream.Encoding(), c.encoding);
        const std::uint64_t before = stream.ReadPos();
        std::wstring text = L"previous content";
        EXPECT_EQ(stream.ReadFileToString(text), 0);
        EXPECT_EQ(text, L"one\ntwo\x20AC");
        EXPECT_EQ(stream.ReadPos(), before);
    }
}

TEST(TextStreamReading, ShortAndOddFiles) {
    TempDir dir;
    WriteBytes(dir.Path() / "mark.txt", {0xFF, 0xFE});
    WriteBytes(dir.Path() / "odd.txt", {0xFF, 0xFE, 'a', 0, 'b'});
    WriteBytes(dir.Path() / "one.txt", {'q'});

    TextStream mark(true);
    ASSERT_EQ(mark.Open(dir.File("mark.txt"), Mode::Read), 0);
    std::wstring text = L"x";
    EXPECT_EQ(mark.ReadFileToString(text), 0);
    EXPECT_EQ(text, L"");

    TextStream odd(true);
    ASSERT_EQ(odd.Open(dir.File("odd.txt"), Mode::Read), 0);
    EXPECT_EQ(odd.ReadFileToString(text), 0);
    EXPECT_EQ(text, L"a");  // the dangling byte is not a unit

    TextStream one(true);
    ASSERT_EQ(one.Open(dir.File("one.txt"), Mode::Read), 0);
    EXPECT_EQ(one.Encoding(), Encoding::Ansi);
    EXPECT_EQ(one.ReadFileToString(text), 0);
    EXPECT_EQ(text, L"q");
}

TEST(TextStreamFailures, EmptyAnsiFileFailsTheConversion) {
    TempDir dir;
    WriteBytes(dir.Path() / "empty.txt", {});
    TextStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("empty.txt"), Mode::Read), 0);
    std::wstring text = L"x";
    const LogCapture log;
    EXPECT_EQ(stream.ReadFileToString(text), 102);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(log.Messages(), std::vector<std::wstring> {L"NLib::TextStream::ReadFileToString >> Function "
                                                         L"\"MultiByteToWideChar\" returned an error. Error Code: 57"});
}

TEST(TextStreamFailures, FailedWritesDropTheBuffer) {
    TempDir dir;
    WriteBytes(dir.Path() / "ro.txt", Utf16LE(L"x", true));
    TextStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("ro.txt"), Mode::Read), 0);
    stream << L"lost";
    const LogCapture log;
    EXPECT_EQ(stream.Flush(), 3);
    EXPECT_TRUE(stream.Pending().empty());
    EXPECT_EQ(log.Messages(),
              std::vector<std::wstring> {L"NLib::FStream::Write >> WriteFile returned an error. Error code: 5"});
}
