// Number text for log messages and titles.
#include "lib/TextFormat.h"

#include <gtest/gtest.h>

#include <limits>

TEST(TextFormat, DecimalNumbers) {
    EXPECT_EQ(NLib::UInt64ToString(0), L"0");
    EXPECT_EQ(NLib::UInt64ToString(1234567890), L"1234567890");
    EXPECT_EQ(NLib::UInt64ToString(std::numeric_limits<std::uint64_t>::max()), L"18446744073709551615");
    EXPECT_EQ(NLib::Int64ToString(0), L"0");
    EXPECT_EQ(NLib::Int64ToString(-5), L"-5");
    EXPECT_EQ(NLib::Int64ToString(120), L"120");
    EXPECT_EQ(NLib::Int64ToString(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
    EXPECT_EQ(NLib::Int64ToString(std::numeric_limits<std::int64_t>::max()), L"9223372036854775807");
}

TEST(TextFormat, HexadecimalCodes) {
    EXPECT_EQ(NLib::ToHexString(0), L"0");
    EXPECT_EQ(NLib::ToHexString(2), L"2");
    EXPECT_EQ(NLib::ToHexString(183), L"B7");
    EXPECT_EQ(NLib::ToHexString(static_cast<std::uint32_t>(-1)), L"FFFFFFFF");
    const std::int32_t invalidCall = static_cast<std::int32_t>(0x8876086C);
    EXPECT_EQ(NLib::ToHexString(static_cast<std::uint32_t>(invalidCall)), L"8876086C");
}
