// Number-to-text helpers used in every log message and title.
#pragma once

#include <cstdint>
#include <string>

namespace NLib {

// Decimal, "-" in front of negative values.
std::wstring Int64ToString(std::int64_t value);
// Decimal.
std::wstring UInt64ToString(std::uint64_t value);
// The unsigned 32-bit value in upper-case hexadecimal, no prefix, no leading zeros.
std::wstring ToHexString(std::uint32_t code);

}  // namespace NLib
