// The demo run from its entry over the generated assets with one of them damaged: missing, empty,
// cut short, bytes inverted, an absurd size in its header, or another file's bytes behind its name.
// Whatever the damage, the run never crashes, writes the failure line of the asset's loader, goes
// on or stops as that loader's caller decides, returns 0 and leaves no Direct3D object alive.
#include "DemoRun.h"

#include "renderer/Renderer.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using DemoTest::DemoRun;
using NVesk::NRenderer::Renderer;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::wstring>;

namespace {

// What the run must show for one damaged file.
enum class Outcome {
    Loads,            // the damage leaves a file its loader still reads
    Refused,          // the loader fails and logs why
    CompileError,     // effect: the compiler's output in its message box
    NoConfiguration,  // config: the open failure's two lines, then a run on the real back buffer
    NoText,           // config: an empty file has no ANSI text to convert; the conversion failure's line
    DeviceRefused,    // config: values no device accepts, so the renderer does not start
};

// A damage: the file's new bytes from its generated ones, or nothing to remove the file.
using Damage = std::function<std::optional<Bytes>(const Bytes&)>;

struct DamageCase {
    const char* name;
    Damage damage;
    Outcome outcome;
};

std::string CaseName(const testing::TestParamInfo<DamageCase>& info) {
    return info.param.name;
}

std::filesystem::path DemoFile(const char* name) {
    return std::filesystem::path(NVESK_DEMO_DIR) / name;
}

Damage Missing() {
    return [](const Bytes&) { return std::nullopt; };
}

Damage Empty() {
    return [](const Bytes&) { return Bytes {}; };
}

// The first `length` bytes; a negative length cuts that many from the end.
Damage CutTo(long length) {
    return [length](const Bytes& bytes) {
        const long size = static_cast<long>(bytes.size());
        const long kept = std::clamp(length < 0 ? size + length : length, 0L, size);
        return Bytes(bytes.begin(), bytes.begin() + kept);
    };
}

// Every bit of the bytes at these offsets inverted; negative offsets count from the end.
Damage Invert(std::vector<long> offsets) {
    return [offsets](const Bytes& bytes) {
        Bytes damaged = bytes;
        for (long offset : offsets) {
            const long at = offset < 0 ? static_cast<long>(bytes.size()) + offset : offset;
            damaged.at(static_cast<std::size_t>(at)) ^= 0xFF;
        }
        return damaged;
    };
}

// `value` written at `offset` as `width` bytes, little- or big-endian.
Damage Store(std::size_t offset, std::uint32_t value, int width, bool bigEndian) {
    return [=](const Bytes& bytes) {
        Bytes damaged = bytes;
        for (int k = 0; k < width; ++k)
            damaged.at(offset + k) = static_cast<std::uint8_t>(value >> (8 * (bigEndian ? width - 1 - k : k)));
        return damaged;
    };
}

// The first occurrence of `from` replaced by `to` (in a file of one byte per character, or in
// UTF-16 LE when `wide`).
Damage Replace(const std::string& from, const std::string& to, bool wide = false) {
    auto encode = [wide](const std::string& text) {
        Bytes encoded;
        for (char c : text) {
            encoded.push_back(static_cast<std::uint8_t>(c));
            if (wide) encoded.push_back(0);
        }
        return encoded;
    };
    return [from = encode(from), to = encode(to)](const Bytes& bytes) {
        Bytes damaged = bytes;
        const auto at = std::search(damaged.begin(), damaged.end(), from.begin(), from.end());
        if (at == damaged.end()) throw std::runtime_error("the generated file lacks the text to replace");
        damaged.insert(damaged.erase(at, at + static_cast<long>(from.size())), to.begin(), to.end());
        return damaged;
    };
}

// One damage after the other.
Damage Both(Damage first, Damage second) {
    return [first, second](const Bytes& bytes) { return second(*first(bytes)); };
}

// The bytes of another generated asset.
Damage BytesOf(const char* other) {
    return [other](const Bytes&) { return TestSupport::ReadBytes(DemoFile(other)); };
}

// Text bytes (one byte per character).
Damage Text(const std::string& text) {
    return [text](const Bytes&) { return Bytes(text.begin(), text.end()); };
}

bool StartsWith(const std::wstring& line, const std::wstring& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// The line that begins with `prefix` and ends in an HRESULT failure code in hexadecimal.
bool HasCodeLine(const Lines& lines, const std::wstring& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
        const std::wstring code = line.substr(std::min(line.size(), prefix.size()));
        return StartsWith(line, prefix) && code.size() == 8 && code[0] == L'8' &&
               code.find_first_not_of(L"0123456789ABCDEF") == std::wstring::npos;
    });
}

bool HasLine(const Lines& lines, const std::wstring& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

// One run over the generated assets with `file` damaged. `atPresent` scripts the frames.
class DamagedAssetRun : public testing::TestWithParam<DamageCase> {
protected:
    struct Result {
        int exitCode = -1;
        int frames = 0;
        Lines log;
        std::vector<PlatformTesting::RecordedMessageBox> boxes;
    };

    Result RunDamaged(const char* file, const std::function<void(int frame)>& atPresent) {
        DemoRun demo(320, 240);
        for (const char* name : {"config.cfg", "mushrum.png", "ziemia.bmp", "skullocc.x", "effect.fx"})
            std::filesystem::copy_file(DemoFile(name), demo.folder.Path() / name,
                                       std::filesystem::copy_options::overwrite_existing);
        const std::optional<Bytes> damaged = GetParam().damage(TestSupport::ReadBytes(DemoFile(file)));
        if (damaged) {
            TestSupport::WriteBytes(demo.folder.Path() / file, *damaged);
        } else {
            std::filesystem::remove(demo.folder.Path() / file);
        }
        const TestSupport::LogCapture log;
        Result result;
        result.exitCode = demo.Run(atPresent, 40);
        result.frames = demo.framesPresented;
        result.log = log.Messages();
        result.boxes = demo.boxes.Boxes();
        // However the run ended, it released everything it made.
        EXPECT_EQ(Renderer::instance, nullptr);
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        EXPECT_EQ(result.exitCode, 0);
        return result;
    }

    // Frames 1-2 in the first scene, `key` held over frames 3-4, Escape at frame 8.
    Result RunWithScene(const char* file, BYTE key) {
        return RunDamaged(file, [key](int frame) {
            if (frame == 3) PlatformTesting::PressKey(key);
            if (frame == 4) PlatformTesting::ReleaseKey(key);
            if (frame == 8) PlatformTesting::PressKey(DIK_ESCAPE);
        });
    }

    // A run that went on after the damage: Escape seen by frame 9's update ends it.
    static void ExpectRanToEscape(const Result& result) { EXPECT_EQ(result.frames, 9); }

    // The entry's own lines: no logger of its own (the test's holds the file), then the run.
    static void ExpectOnlyLoggerBox(const Result& result) {
        ASSERT_GE(result.boxes.size(), 1u);
        EXPECT_EQ(result.boxes[0].text, L"Cannot initialize Logger");
    }
};

// ---- mushrum.png: the cursor strip, loaded when the screen's resources are restored at start.

class CursorStripDamage : public DamagedAssetRun {};

TEST_P(CursorStripDamage, RefusedStripEndsTheRunBeforeTheFirstFrame) {
    const Result result = RunWithScene("mushrum.png", DIK_F1);
    ExpectOnlyLoggerBox(result);
    EXPECT_EQ(result.boxes.size(), 1u);
    if (GetParam().outcome == Outcome::Loads) {
        ExpectRanToEscape(result);
        EXPECT_FALSE(std::any_of(result.log.begin(), result.log.end(), [](const std::wstring& line) {
            return StartsWith(line, L"NVesk::NRenderer::Animation::Restore");
        }));
        return;
    }
    ASSERT_EQ(GetParam().outcome, Outcome::Refused);
    EXPECT_EQ(result.frames, 0);
    EXPECT_TRUE(HasCodeLine(result.log,
                            L"NVesk::NRenderer::Animation::Restore >> Cannot load texture: mushrum.png. "
                            L"Function \"D3DXCreateTextureFromFile\" returned an error code: "))
        << testing::PrintToString(result.log);
    EXPECT_TRUE(HasLine(result.log,
                        L"NVesk::NRenderer::ImageBox::RestoreBox >> Function \"Restore()\" returned an error code: 3"));
    EXPECT_EQ(result.log.back(), L"Releasing Renderer");
}

const DamageCase kCursorStripCases[] = {
    {"Missing", Missing(), Outcome::Refused},
    {"Empty", Empty(), Outcome::Refused},
    {"CutInsideTheSignature", CutTo(4), Outcome::Refused},
    {"CutInsideTheHeaderChunk", CutTo(20), Outcome::Refused},
    {"CutInTheMiddleOfTheTexels", CutTo(24000), Outcome::Refused},
    // Only the end chunk's checksum is lost: the texels are all there.
    {"LastByteCut", CutTo(-1), Outcome::Loads},
    {"SignatureInverted", Invert({0, 1}), Outcome::Refused},
    {"ColourTypeInverted", Invert({25}), Outcome::Refused},
    {"CompressedTexelsInverted", Invert({2000, 2001, 2002, 2003}), Outcome::Refused},
    {"WidthOfTwoBillion", Store(16, 0x7FFFFFF0u, 4, true), Outcome::Refused},
    {"SixteenThousandSquare", Both(Store(16, 16384, 4, true), Store(20, 16384, 4, true)), Outcome::Refused},
    {"WidthZero", Store(16, 0, 4, true), Outcome::Refused},
    {"MeshTextBehindThePngName", BytesOf("skullocc.x"), Outcome::Refused},
};
INSTANTIATE_TEST_SUITE_P(MalformedAsset, CursorStripDamage, testing::ValuesIn(kCursorStripCases), CaseName);

// ---- ziemia.bmp: the water's picture, loaded when F3 makes the third scene current.

class WaterPictureDamage : public DamagedAssetRun {};

TEST_P(WaterPictureDamage, RefusedPictureIsLoggedAndTheRunGoesOn) {
    const Result result = RunWithScene("ziemia.bmp", DIK_F3);
    ExpectOnlyLoggerBox(result);
    EXPECT_EQ(result.boxes.size(), 1u);
    ExpectRanToEscape(result);
    const bool logged = HasLine(result.log, L"ThirdScene::RestoreResources >> Cannot load the picture: ziemia.bmp");
    EXPECT_EQ(logged, GetParam().outcome == Outcome::Refused) << testing::PrintToString(result.log);
}

const DamageCase kWaterPictureCases[] = {
    {"Missing", Missing(), Outcome::Refused},
    {"Empty", Empty(), Outcome::Refused},
    {"CutInsideTheFileHeader", CutTo(10), Outcome::Refused},
    {"CutInsideTheInfoHeader", CutTo(30), Outcome::Refused},
    {"CutInTheMiddleOfTheTexels", CutTo(98000), Outcome::Refused},
    {"LastByteCut", CutTo(-1), Outcome::Refused},
    {"SignatureInverted", Invert({0}), Outcome::Refused},
    {"BitCountInverted", Invert({28}), Outcome::Refused},
    {"TexelsInverted", Invert({54, 1000, 100000, -1}), Outcome::Loads},
    {"SixteenThousandSquare", Both(Store(18, 16384, 4, false), Store(22, 16384, 4, false)), Outcome::Refused},
    {"WidthOfTwoBillion", Store(18, 0x7FFFFFF0u, 4, false), Outcome::Refused},
    {"TexelOffsetPastTheEnd", Store(10, 0x7FFFFFF0u, 4, false), Outcome::Refused},
    {"EffectTextBehindTheBmpName", BytesOf("effect.fx"), Outcome::Refused},
};
INSTANTIATE_TEST_SUITE_P(MalformedAsset, WaterPictureDamage, testing::ValuesIn(kWaterPictureCases), CaseName);

// ---- skullocc.x: the mesh, loaded when F2 makes the second scene current.

class SkullMeshDamage : public DamagedAssetRun {};

TEST_P(SkullMeshDamage, RefusedMeshIsLoggedAndTheRunGoesOn) {
    const Result result = RunWithScene("skullocc.x", DIK_F2);
    ExpectOnlyLoggerBox(result);
    EXPECT_EQ(result.boxes.size(), 1u);
    ExpectRanToEscape(result);
    const bool logged = HasCodeLine(result.log,
                                    L"SecondScene::RestoreResources >> Cannot load the mesh skullocc.x. "
                                    L"Function \"D3DXLoadMeshFromXW\" returned an error code: ");
    EXPECT_EQ(logged, GetParam().outcome == Outcome::Refused) << testing::PrintToString(result.log);
}

const DamageCase kSkullMeshCases[] = {
    {"Missing", Missing(), Outcome::Refused},
    {"Empty", Empty(), Outcome::Refused},
    {"CutInsideTheHeader", CutTo(8), Outcome::Refused},
    {"CutInsideTheVertices", CutTo(400), Outcome::Refused},
    {"CutInTheMiddle", CutTo(645000), Outcome::Refused},
    {"ClosingBraceCut", CutTo(-2), Outcome::Refused},
    {"MagicInverted", Invert({0, 1, 2}), Outcome::Refused},
    {"VertexSeparatorInverted", Invert({42}), Outcome::Refused},
    {"FourBillionVertices", Replace("\n 12488;\n", "\n 4000000000;\n"), Outcome::Refused},
    {"TwoBillionFaces", Replace("\n 24988;\n", "\n 2000000000;\n"), Outcome::Refused},
    {"OneVertexTooMany", Replace("\n 12488;\n", "\n 12489;\n"), Outcome::Refused},
    {"BinaryHeaderOverText", Replace("0303txt", "0303bin"), Outcome::Refused},
    {"PngBehindTheXName", BytesOf("mushrum.png"), Outcome::Refused},
};
INSTANTIATE_TEST_SUITE_P(MalformedAsset, SkullMeshDamage, testing::ValuesIn(kSkullMeshCases), CaseName);

// ---- effect.fx: the mesh scene's effect, compiled after the mesh when F2 is pressed.

class MeshEffectDamage : public DamagedAssetRun {};

TEST_P(MeshEffectDamage, RefusedEffectIsShownOrLoggedAndTheRunGoesOn) {
    const Result result = RunWithScene("effect.fx", DIK_F2);
    ExpectOnlyLoggerBox(result);
    ExpectRanToEscape(result);
    const bool logged = HasCodeLine(result.log,
                                    L"SecondScene::RestoreResources >> Cannot create the effect from "
                                    L"effect.fx. Function \"D3DXCreateEffectFromFileW\" returned an error "
                                    L"code: ");
    EXPECT_EQ(logged, GetParam().outcome == Outcome::Refused) << testing::PrintToString(result.log);
    if (GetParam().outcome == Outcome::CompileError) {
        ASSERT_EQ(result.boxes.size(), 2u);
        EXPECT_EQ(result.boxes[1].caption, L"Effect Compilation error");
        EXPECT_EQ(result.boxes[1].style, static_cast<UINT>(MB_OK));
        EXPECT_FALSE(result.boxes[1].text.empty());
    } else {
        EXPECT_EQ(result.boxes.size(), 1u);
    }
}

const DamageCase kMeshEffectCases[] = {
    {"Missing", Missing(), Outcome::Refused},
    // An effect without techniques or parameters is still an effect; drawing it draws nothing.
    {"Empty", Empty(), Outcome::Loads},
    {"CutInsideTheFirstComment", CutTo(40), Outcome::Loads},
    {"CutInsideTheVertexInput", CutTo(520), Outcome::CompileError},
    {"LastBraceCut", CutTo(-3), Outcome::CompileError},
    {"SemicolonInverted", Replace("float3 g_dirToLight;", "float3 g_dirToLight\xC4"), Outcome::CompileError},
    {"ArrayOfABillionMatrices", Replace("float4x4 g_mWorld;", "float4x4 g_mWorld[1000000000];"), Outcome::CompileError},
    {"UnknownTechniqueTarget", Replace("vs_2_0", "vs_9_9"), Outcome::CompileError},
    {"BmpBehindTheFxName", BytesOf("ziemia.bmp"), Outcome::CompileError},
};
INSTANTIATE_TEST_SUITE_P(MalformedAsset, MeshEffectDamage, testing::ValuesIn(kMeshEffectCases), CaseName);

// ---- config.cfg: read once at start; malformed content is never reported.

class ConfigurationDamage : public DamagedAssetRun {};

TEST_P(ConfigurationDamage, DamagedConfigurationStartsWithWhatWasReadOrSaysWhyNot) {
    const Result result = RunDamaged("config.cfg", [](int frame) {
        if (frame == 3) PlatformTesting::PressKey(DIK_ESCAPE);
    });
    ExpectOnlyLoggerBox(result);
    EXPECT_EQ(result.boxes.size(), 1u);
    ASSERT_GE(result.log.size(), 2u);
    EXPECT_EQ(result.log[0], L"Loading config file: config.cfg");
    Lines reader;
    switch (GetParam().outcome) {
    case Outcome::NoConfiguration:
        ASSERT_GE(result.log.size(), 3u);
        EXPECT_EQ(result.log[1], L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: " +
                                     std::to_wstring(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(result.log[2], L"NLib::StructReader::FillUpStruct >> Cannot open file \"config.cfg\"");
        EXPECT_EQ(result.frames, 4);
        break;
    case Outcome::NoText:
        // MultiByteToWideChar refuses a length of 0 with ERROR_INVALID_PARAMETER (0x57).
        EXPECT_EQ(result.log[1],
                  L"NLib::TextStream::ReadFileToString >> Function \"MultiByteToWideChar\" returned an error. "
                  L"Error Code: 57");
        EXPECT_EQ(result.frames, 4);
        break;
    case Outcome::Loads:
        EXPECT_EQ(result.log[1], L"Initializing Renderer");
        EXPECT_EQ(result.frames, 4) << testing::PrintToString(result.log);
        break;
    case Outcome::DeviceRefused:
        EXPECT_EQ(result.log[1], L"Initializing Renderer");
        EXPECT_EQ(result.frames, 0);
        EXPECT_TRUE(StartsWith(result.log.back(),
                               L"WinMain >> Function \"Renderer::Initialize\" returned an error "
                               L"code: "))
            << testing::PrintToString(result.log);
        break;
    default:
        FAIL() << "no such outcome for the configuration";
    }
}

const DamageCase kConfigurationCases[] = {
    {"Missing", Missing(), Outcome::NoConfiguration},
    // Nothing read: every field 0, so a windowed device of the size the window really got.
    {"Empty", Empty(), Outcome::NoText},
    {"CutInsideTheByteOrderMark", CutTo(1), Outcome::Loads},
    {"CutInsideTheSectionName", CutTo(12), Outcome::Loads},
    {"CutInTheMiddle", CutTo(760), Outcome::Loads},
    {"LastByteCut", CutTo(-1), Outcome::Loads},
    {"ByteOrderMarkInverted", Invert({0, 1}), Outcome::Loads},
    {"FirstBraceInverted", Replace("{", "\xFF", true), Outcome::Loads},
    {"DeviceTypeNine", Replace("DeviceType = 0", "DeviceType = 9", true), Outcome::DeviceRefused},
    {"WidthOfFourBillion", Replace("Width = 800", "Width = 4000000000", true), Outcome::DeviceRefused},
    {"HundredThousandSquare",
     Both(Replace("Width = 800", "Width = 100000", true), Replace("Height = 600", "Height = 100000", true)),
     Outcome::DeviceRefused},
    {"NegativeWidth", Replace("Width = 800", "Width = -800", true), Outcome::DeviceRefused},
    {"PngBehindTheCfgName", BytesOf("mushrum.png"), Outcome::Loads},
    {"AnsiWithoutEntries", Text("DeviceConfig\r\n{\r\n}\r\n"), Outcome::Loads},
};
INSTANTIATE_TEST_SUITE_P(MalformedAsset, ConfigurationDamage, testing::ValuesIn(kConfigurationCases), CaseName);

}  // namespace
