// A scene key held down restores its scene at every update. A failure line that the program adds
// to the documented ones is written once while the key stays down, and again only after the same
// step has succeeded in between; the set-up lines of ignored failures appear once.
#include "DemoRun.h"

#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using DemoTest::DemoRun;
using Lines = std::vector<std::wstring>;

namespace {

int CountStartingWith(const Lines& lines, const std::wstring& prefix) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return line.compare(0, prefix.size(), prefix) == 0;
    }));
}

struct HeldKeyCase {
    const char* name;
    const char* file;
    BYTE key;
    const char* loadOperation;  // the step's platform call, made at every restore
    const wchar_t* line;
};

class HeldKeyTest : public testing::TestWithParam<HeldKeyCase> {};

std::string CaseName(const testing::TestParamInfo<HeldKeyCase>& info) {
    return info.param.name;
}

TEST_P(HeldKeyTest, AMissingFilesLineIsWrittenOnceWhileTheKeyIsHeldAndAgainAfterItLoaded) {
    const HeldKeyCase& heldKey = GetParam();
    DemoRun demo(320, 240);
    const std::filesystem::path file = demo.folder.Path() / heldKey.file;
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(file);
    std::filesystem::remove(file);
    PlatformTesting::CallCounter calls;
    const TestSupport::LogCapture log;
    int linesWhileMissing = -1;
    // Held from frame 3 to frame 60: the file comes back at frame 25 and goes again at frame 35.
    const int result = demo.Run([&](int frame) {
        if (frame == 3) PlatformTesting::PressKey(heldKey.key);
        if (frame == 25) {
            linesWhileMissing = CountStartingWith(log.Messages(), heldKey.line);
            TestSupport::WriteBytes(file, bytes);
        }
        if (frame == 35) std::filesystem::remove(file);
        if (frame == 60) PlatformTesting::ReleaseKey(heldKey.key);
        if (frame == 62) PlatformTesting::PressKey(DIK_ESCAPE);
    });
    EXPECT_EQ(result, 0);
    EXPECT_GE(calls.Count(heldKey.loadOperation), 55) << "the scene was restored at every update";
    EXPECT_EQ(linesWhileMissing, 1) << testing::PrintToString(log.Messages());
    EXPECT_EQ(CountStartingWith(log.Messages(), heldKey.line), 2) << "once more after the file had loaded";
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

const HeldKeyCase kHeldKeyCases[] = {
    {"WaterPicture", "ziemia.bmp", DIK_F3, "D3DXCreateTextureFromFileExW",
     L"ThirdScene::RestoreResources >> Cannot load the picture: ziemia.bmp"},
    {"Mesh", "skullocc.x", DIK_F2, "D3DXLoadMeshFromXW",
     L"SecondScene::RestoreResources >> Cannot load the mesh skullocc.x. Function \"D3DXLoadMeshFromXW\" returned an "
     L"error code: "},
    {"Effect", "effect.fx", DIK_F2, "D3DXCreateEffectFromFileW",
     L"SecondScene::RestoreResources >> Cannot create the effect from effect.fx. Function "
     L"\"D3DXCreateEffectFromFileW\" returned an error code: "},
};
INSTANTIATE_TEST_SUITE_P(DemoRun, HeldKeyTest, testing::ValuesIn(kHeldKeyCases), CaseName);

TEST(HeldKeySetUp, IgnoredSetUpFailuresAreWrittenOnceWhateverTheFramesDo) {
    DemoRun demo(320, 240);
    // The mouse's data format (the second SetDataFormat), the keyboard's cooperative level (the first
    // SetCooperativeLevel) and the image box's declaration: each result is logged and not examined.
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::SetDataFormat", E_FAIL, 1, 1);
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::SetCooperativeLevel", E_FAIL, 1);
    PlatformTesting::FailNextCalls("IDirect3DDevice9::CreateVertexDeclaration", E_FAIL, 1);
    const TestSupport::LogCapture log;
    const int result = demo.Run([&](int frame) {
        if (frame == 3) PlatformTesting::PressKey(DIK_F2);
        if (frame == 40) PlatformTesting::ReleaseKey(DIK_F2);
        if (frame == 42) PlatformTesting::PressKey(DIK_ESCAPE);
    });
    PlatformTesting::ClearFailures();
    EXPECT_EQ(result, 0);
    EXPECT_GE(demo.framesPresented, 42) << "the keyboard still reads";
    const Lines lines = log.Messages();
    EXPECT_EQ(CountStartingWith(lines,
                                L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot set Mouse data "
                                L"format. Function \"SetDataFormat()\" has returned: 80004005"),
              1)
        << testing::PrintToString(lines);
    EXPECT_EQ(CountStartingWith(lines,
                                L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot set Keyboard "
                                L"cooperative level. Function \"SetCooperativeLevel()\" has returned: 80004005"),
              1);
    EXPECT_EQ(CountStartingWith(lines,
                                L"NVesk::NRenderer::ImageBox::InitImageBox >> Function "
                                L"\"CreateVertexDeclaration()\" returned an error code: 80004005"),
              1);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

}  // namespace
