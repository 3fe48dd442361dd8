// A file that shrinks behind the stream's back (possible only where other programs may ignore
// the share mode, as on Linux): the read comes up short and says so.
#include "lib/FStream.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(FStreamFailures, ShortReadIsLoggedWithBothCounts) {
    TestSupport::TempDir dir;
    TestSupport::WriteBytes(dir.Path() / "shrinks.bin", std::vector<std::uint8_t>(40, 1));
    NLib::FStream stream(true);
    ASSERT_EQ(stream.Open(dir.File("shrinks.bin"), NLib::OpenMode::Read), 0);
    std::filesystem::resize_file(dir.Path() / "shrinks.bin", 10);
    std::vector<std::uint8_t> buffer(40);
    const TestSupport::LogCapture log;
    EXPECT_EQ(stream.Read(buffer.data(), 40), 5);
    EXPECT_EQ(stream.ReadPos(), 10u);
    EXPECT_EQ(log.Messages(), std::vector<std::wstring> {L"NLib::FStream::Read >> Only 10/40 bytes has been m_read"});
}
