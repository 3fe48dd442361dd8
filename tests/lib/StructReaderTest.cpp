// NLib::StructReader: entries by position, comments, section cutting and the type rules.
#include "lib/StructReader.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <limits>

using NLib::StructReader;
using TestSupport::LogCapture;
using TestSupport::TempDir;
using TestSupport::Utf16BE;
using TestSupport::Utf16LE;
using TestSupport::WriteBytes;
namespace Type = NLib::FieldType;

namespace {

struct Settings {
    std::uint32_t deviceType = 0;
    std::uint32_t vertexProcessing = 0;
    std::uint32_t format = 0;
    bool fullScreen = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t refresh = 0;
    bool vsync = false;

    bool operator==(const Settings& o) const {
        return deviceType == o.deviceType && vertexProcessing == o.vertexProcessing && format == o.format &&
               fullScreen == o.fullScreen && width == o.width && height == o.height && refresh == o.refresh &&
               vsync == o.vsync;
    }
};

const std::int32_t kSettingsTypes[8] = {Type::UInt32, Type::UInt32, Type::UInt32, Type::Bool,
                                        Type::UInt32, Type::UInt32, Type::UInt32, Type::Bool};

Settings Parse(const std::wstring& text, Settings start = {}) {
    void* const fields[8] = {&start.deviceType, &start.vertexProcessing, &start.format,  &start.fullScreen,
                             &start.width,      &start.height,           &start.refresh, &start.vsync};
    StructReader::FillFromText(fields, text, kSettingsTypes, L"DeviceConfig");
    return start;
}

const Settings kExpected = {1, 2, 22, false, 800, 600, 60, true};

}  // namespace

TEST(StructReaderEntries, EntriesAreTakenByPositionNotByKey) {
    EXPECT_EQ(Parse(L"DeviceConfig\n{\nDeviceType = 1;\nVertexProcessing = 2;\nBackBufferFormat = 22;\n"
                    L"FullScreen = false;\nWidth = 800;\nHeight = 600;\nRefreshRate = 60;\nVSync = true;\n}\n"),
              kExpected);
    EXPECT_EQ(Parse(L"DeviceConfig{ a=1; b=2; c=22; d=false; e=800; f=600; g=60; h=true; }"), kExpected);
    EXPECT_EQ(Parse(L"DeviceConfig{=1;=2;=22;=false;=800;=600;=60;=true;}"), kExpected);
    // Keys and values may span lines.
    EXPECT_EQ(Parse(L"DeviceConfig{Device\nType\n=\n1\n;=2;=22;=false;=800;=600;=60;=true;}"), kExpected);
}

TEST(StructReaderEntries, CommentsAreRemovedWithTheirLineBreak) {
    EXPECT_EQ(Parse(L"// DeviceConfig { =9; }\nDeviceConfig // the section\n{\n=1; // hardware? no: reference\n"
                    L"=2;\n=22;=false;=800;=600;=60;=true; // last\n}"),
              kExpected);
    // A comment that ends the text has no line break to take along.
    EXPECT_EQ(Parse(L"DeviceConfig{=1;=2;=22;=false;=800;=600;=60;=true;} // end"), kExpected);
    // A "//" inside a value starts a comment too.
    const Settings s = Parse(L"DeviceConfig{=1;=2//;=3;\n;=4;}");
    EXPECT_EQ(s.deviceType, 1u);
    EXPECT_EQ(s.vertexProcessing, 2u);
    EXPECT_EQ(s.format, 4u);
}

namespace {

// One entry, its value written as `written`, with a comment (holding ";", "=" and "}") in each place
// a writer might put one; the entry after it must still read 7.
template <typename T>
void ExpectCommentsAnywhereAround(std::int32_t type, const std::wstring& written, const T& expected) {
    const std::wstring layouts[] = {
        L"// before the key; =0 }\nkey = " + written + L";",
        L"key // after the key; =0 }\n= " + written + L";",
        L"key = // between = and the value; =0 }\n" + written + L";",
        L"key = " + written + L" // before the semicolon =0 }\n;",
    };
    for (const std::wstring& entry : layouts) {
        SCOPED_TRACE(testing::Message() << "type " << type << ": " << testing::PrintToString(entry));
        T value {};
        std::uint32_t next = 0;
        int unused = 0;
        void* const fields[8] = {&value, &next, &unused, &unused, &unused, &unused, &unused, &unused};
        const std::int32_t types[8] = {type, Type::UInt32, -1, -1, -1, -1, -1, -1};
        StructReader::FillFromText(fields, L"S\n{\n" + entry + L"\nnext = 7;\n}", types, L"S");
        EXPECT_EQ(value, expected);
        EXPECT_EQ(next, 7u);
    }
}

}  // namespace

TEST(StructReaderEntries, CommentsInEveryPlaceOfEveryFieldType) {
    ExpectCommentsAnywhereAround<float>(Type::Float, L"1.5", 1.5f);
    ExpectCommentsAnywhereAround<double>(Type::Double, L"-2.25", -2.25);
    ExpectCommentsAnywhereAround<std::int32_t>(Type::Int32, L"-7", -7);
    ExpectCommentsAnywhereAround<std::int16_t>(Type::Int16, L"-300", static_cast<std::int16_t>(-300));
    ExpectCommentsAnywhereAround<std::int64_t>(Type::Int64, L"-9000000000", -9000000000LL);
    ExpectCommentsAnywhereAround<std::uint32_t>(Type::UInt32, L"800", 800u);
    ExpectCommentsAnywhereAround<std::uint16_t>(Type::UInt16, L"60000", static_cast<std::uint16_t>(60000));
    ExpectCommentsAnywhereAround<std::uint64_t>(Type::UInt64, L"18000000000000000000", 18000000000000000000ULL);
    ExpectCommentsAnywhereAround<wchar_t>(Type::Char, L"Q", L'Q');
    ExpectCommentsAnywhereAround<std::uint8_t>(Type::UInt8, L"200", static_cast<std::uint8_t>(200));
    ExpectCommentsAnywhereAround<std::wstring>(Type::String, L"\"two words\"", std::wstring(L"two words"));
    ExpectCommentsAnywhereAround<bool>(Type::Bool, L"true", true);
}

TEST(StructReaderSections, SectionCutting) {
    // Name absent: the whole text is the body.
    EXPECT_EQ(Parse(L"=1;=2;=22;=false;=800;=600;=60;=true;"), kExpected);
    // The first section name counts, also inside another word; the first "}" ends the body.
    Settings s = Parse(L"OldDeviceConfig{=5;} DeviceConfig{=6;}");
    EXPECT_EQ(s.deviceType, 5u);
    EXPECT_EQ(s.vertexProcessing, 0u);
    // Without any ";" nothing is consumed: every field reads the same text again.
    s = Parse(L"DeviceConfig{=5}");
    EXPECT_EQ(s.deviceType, 5u);
    EXPECT_EQ(s.vertexProcessing, 5u);
    EXPECT_EQ(s.refresh, 5u);
    // Name present, no "{" after it: from the start up to the "}".
    s = Parse(L"=3;=4; DeviceConfig =5; }");
    EXPECT_EQ(s.deviceType, 3u);
    EXPECT_EQ(s.vertexProcessing, 4u);
    EXPECT_EQ(s.format, 5u);
    // No "}" after the name: everything after the "{".
    s = Parse(L"=9; DeviceConfig { =7; =8;");
    EXPECT_EQ(s.deviceType, 7u);
    EXPECT_EQ(s.vertexProcessing, 8u);
    // "}" before "{": everything after the "{".
    s = Parse(L"DeviceConfig } =9; { =7;");
    EXPECT_EQ(s.deviceType, 7u);
}

TEST(StructReaderTypes, BoolsAreACaseSensitiveKeywordSearch) {
    const auto fullScreenFor = [](const std::wstring& value, bool start) {
        Settings initial;
        initial.fullScreen = start;
        return Parse(L"DeviceConfig{=0;=0;=0;=" + value + L";}", initial).fullScreen;
    };
    EXPECT_TRUE(fullScreenFor(L"true", false));
    EXPECT_FALSE(fullScreenFor(L"false", true));
    EXPECT_FALSE(fullScreenFor(L"0", true));
    EXPECT_TRUE(fullScreenFor(L"1", false));
    EXPECT_TRUE(fullScreenFor(L"untrue", false));
    EXPECT_TRUE(fullScreenFor(L"True", true));  // unchanged
    EXPECT_FALSE(fullScreenFor(L"True", false));
    EXPECT_FALSE(fullScreenFor(L"10", true));  // "0" is looked for before "1"
}

TEST(StructReaderTypes, NumbersUseStreamExtraction) {
    Settings start;
    start.deviceType = 77;
    start.vertexProcessing = 77;
    const Settings s = Parse(L"DeviceConfig{=12abc;=abc;=-1;=x;=  640 ;}", start);
    EXPECT_EQ(s.deviceType, 12u);
    EXPECT_EQ(s.vertexProcessing, 77u);
    EXPECT_EQ(s.format, std::numeric_limits<std::uint32_t>::max());  // what the stream makes of "-1"
    EXPECT_EQ(s.width, 640u);
}

TEST(StructReaderTypes, EveryTypeCode) {
    float f = 0;
    double d = 0;
    std::int32_t i32 = 0;
    std::int16_t i16 = 5;
    std::int64_t i64 = 0;
    std::uint16_t u16 = 5;
    std::uint64_t u64 = 0;
    wchar_t ch = 0;
    std::uint8_t u8 = 0;
    std::wstring str = L"old";
    void* const fields[8] = {&f, &d, &i32, &i16, &i64, &u16, &u64, &ch};
    const std::int32_t types[8] = {Type::Float, Type::Double, Type::Int32,  Type::Int16,
                                   Type::Int64, Type::UInt16, Type::UInt64, Type::Char};
    StructReader::FillFromText(fields, L"S{=1.5;=-2.25;=-7;=40000;=-9000000000;=70000;=18000000000000000000;=  Qx;}",
                               types, L"S");
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_DOUBLE_EQ(d, -2.25);
    EXPECT_EQ(i32, -7);
    EXPECT_EQ(i16, 5);  // out of range: unchanged
    EXPECT_EQ(i64, -9000000000LL);
    EXPECT_EQ(u16, 5);  // out of range: unchanged
    EXPECT_EQ(u64, 18000000000000000000ULL);
    EXPECT_EQ(ch, L'Q');

    std::wstring bare, one, none, empty = L"old";
    bool untouched = true;
    void* const more[8] = {&u8, &str, &bare, &one, &none, &empty, &untouched, &untouched};
    const std::int32_t moreTypes[8] = {Type::UInt8,  Type::String, Type::String, Type::String,
                                       Type::String, Type::String, 12,           -1};
    StructReader::FillFromText(more, L"S{=300;= \"a \"quoted\" text\" ;=\"\";=x\"rest ;= plain ;}", moreTypes, L"S");
    EXPECT_EQ(u8, 300 & 0xFF);
    EXPECT_EQ(str, L"a \"quoted\" text");
    EXPECT_EQ(bare, L"");
    EXPECT_EQ(one, L"rest ");
    EXPECT_EQ(none, L" plain ");
    EXPECT_EQ(empty, L"");  // fewer entries than fields: strings still take the leftover text
    EXPECT_TRUE(untouched);
}

TEST(StructReaderFiles, Utf16BigEndianWithMark) {
    TempDir dir;
    WriteBytes(
        dir.Path() / "config.cfg",
        Utf16BE(L"DeviceConfig\r\n{\r\n=1;\r\n=2;\r\n=22;\r\n=false;\r\n=800;\r\n=600;\r\n=60;\r\n=true;\r\n}\r\n",
                true));
    Settings s;
    void* const fields[8] = {&s.deviceType, &s.vertexProcessing, &s.format,  &s.fullScreen,
                             &s.width,      &s.height,           &s.refresh, &s.vsync};
    EXPECT_EQ(StructReader::FillUpStruct(fields, dir.File("config.cfg"), kSettingsTypes, L"DeviceConfig"), 0);
    EXPECT_EQ(s, kExpected);
}

TEST(StructReaderFiles, MissingFileLogsTwoLinesAndTouchesNothing) {
    TempDir dir;
    Settings s = kExpected;
    void* const fields[8] = {&s.deviceType, &s.vertexProcessing, &s.format,  &s.fullScreen,
                             &s.width,      &s.height,           &s.refresh, &s.vsync};
    const LogCapture log;
    EXPECT_EQ(StructReader::FillUpStruct(fields, dir.File("config.cfg"), kSettingsTypes, L"DeviceConfig"), 1);
    EXPECT_EQ(s, kExpected);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::wstring> {
                  L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: 2",
                  L"NLib::StructReader::FillUpStruct >> Cannot open file \"" + dir.File("config.cfg") + L"\""}));
}

TEST(StructReaderFiles, HostileContentNeverCrashes) {
    const std::vector<std::vector<std::uint8_t>> contents = {
        {},
        {0xFF, 0xFE},
        {0xFE, 0xFF, 0x00},
        {0xFF, 0xFE, '{', 0, '=', 0, ';'},
        {0x00, 0x01, 0xFF, 0x80, 0x7F, ';', '=', '}', '{', '"'},
        std::vector<std::uint8_t>(10 * 1024 * 1024, 'a'),
    };
    for (const auto& bytes : contents) {
        TempDir dir;
        WriteBytes(dir.Path() / "junk.cfg", bytes);
        Settings s;
        void* const fields[8] = {&s.deviceType, &s.vertexProcessing, &s.format,  &s.fullScreen,
                                 &s.width,      &s.height,           &s.refresh, &s.vsync};
        EXPECT_EQ(StructReader::FillUpStruct(fields, dir.File("junk.cfg"), kSettingsTypes, L"DeviceConfig"), 0);
        EXPECT_EQ(s, Settings {});
    }
}
