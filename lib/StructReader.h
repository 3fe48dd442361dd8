// Fills the fields of a plain record, in order, from one named section of a text file.
#pragma once

#include <cstdint>
#include <string>

namespace NLib {

// Type codes of the type table: what each destination pointer points at.
namespace FieldType {
enum : std::int32_t {
    Float = 0,    // float
    Double = 1,   // double
    Int32 = 2,    // std::int32_t
    Int16 = 3,    // std::int16_t
    Int64 = 4,    // std::int64_t
    UInt32 = 5,   // std::uint32_t
    UInt16 = 6,   // std::uint16_t
    UInt64 = 7,   // std::uint64_t
    Char = 8,     // wchar_t, one UTF-16 code unit
    UInt8 = 9,    // std::uint8_t
    String = 10,  // std::wstring
    Bool = 11,    // bool
};
}  // namespace FieldType

class StructReader {
public:
    static constexpr int kEntryCount = 8;

    // fields and types: kEntryCount destinations and their type codes. 0 the file was read
    // (whatever its entries held); 1 it could not be opened (logged, nothing touched).
    static int FillUpStruct(void* const fields[], const std::wstring& fileName, const std::int32_t types[],
                            const std::wstring& structName);

    // The parsing half of FillUpStruct, on text already read: comments removed, section cut out,
    // kEntryCount entries stored by position.
    static void FillFromText(void* const fields[], const std::wstring& text, const std::int32_t types[],
                             const std::wstring& structName);
};

}  // namespace NLib
