// The demo's scripted run with platform calls failed one at a time: every run ends as the program
// describes for that failure, without a crash and with nothing left alive.
#include "FailureSweep.h"

#include "lib/TextStream.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <PlatformTesting/Faults.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <set>

using DemoTest::RunRecord;
using DemoTest::SweepCase;

namespace {

// Failure messages of the program, each with a text that only its own line holds.
struct Row {
    const char* name;
    const wchar_t* text;
};
const Row kRows[] = {
    {"FStream::Open CreateFile failed", L"FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE"},
    {"FStream::Close CloseHandle failed", L"FStream::Close >> Function \"Close Handle\" returned an error"},
    {"FStream::SetFilePtr failed", L"FStream::SetFilePtr >> SetFilePointerEx returned an error"},
    {"FStream::Read ReadFile failed", L"FStream::Read >> ReadFile returned an error"},
    {"FStream::Read fewer bytes", L"FStream::Read >> Only "},
    {"StructReader cannot open file", L"StructReader::FillUpStruct >> Cannot open file"},
    {"M1 window", L"InitWindow >> Cannot create Window, hwnd is NULL"},
    {"M2 Direct3DCreate9", L"Function \"Direct3DCreate9\" returned NULL"},
    {"M4 CreateDevice", L"Function \"CreateDevice\" failed."},
    {"S1 InitResources", L"Function \"InitResources()\" has returned NONZERO value."},
    {"S2 RestoreResources", L"Function \"RestoreResources()\" has returned NONZERO value."},
    {"S3 Draw", L"Function \"Draw\" returned nonzero value"},
    {"S4 Reset", L"Function \"Reset\" has returned an error: "},
    {"EventManager 1 DirectInput8Create", L"Cannot create main DirectInput object."},
    {"EventManager 2 keyboard", L"Cannot create Keyboard device."},
    {"EventManager 3 mouse", L"Cannot create Mouse device."},
    {"EventManager 4 set-up", L"Failed to set up devices."},
    {"ImageBox effect", L"RestoreBox >> Cannot compile an effect."},
    {"ImageBox vertex buffer", L"RestoreBox >> Cannot create Vertex Buffer."},
    {"ImageBox RestoreBox lock", L"RestoreBox >> Failed to lock VertexBuffer"},
    {"ImageBox image Restore", L"RestoreBox >> Function \"Restore()\" returned an error code: "},
    {"ImageBox ApplyChanges lock", L"ApplyChanges >> Failed to lock VertexBuffer"},
    {"TextureManager LoadTexture", L"TextureManager::LoadTexture >> Cannot load texture: "},
    {"Animation strip", L"Animation::Restore >> Cannot load texture: "},
    {"Animation source surface", L"Cannot get Surface from source texture."},
    {"Animation frame texture", L"Animation::Restore >> Cannot create texture."},
    {"Animation destination surface", L"Cannot get Surface from destination texture."},
    {"Animation frame copy", L"frames; they are shown transparent."},
    {"TestScreen RestoreBox", L"TestScreen::RestoreResources >> Function \"RestoreBox\" returned an error."},
    {"SecondScene mesh", L"SecondScene::RestoreResources >> Cannot load the mesh"},
    {"SecondScene effect", L"SecondScene::RestoreResources >> Cannot create the effect"},
};

bool FullSweep() {
    const char* value = std::getenv("NVESK_FULL_SWEEP");
    return value != nullptr && std::string(value) == "1";
}

// The short sweep, one pair for each failure line the run can reach at start or in the device's
// recovery, a frame copy at start and in the recovery (which once ended the program), and the
// failures that once crashed or leaked (a mesh without a face count, an effect
// that could not save the texture it changes, a keyboard without its data format).
std::vector<SweepCase> ShortSweep() {
    return {{"CreateWindowExW", 1},
            {"Direct3DCreate9", 1},
            {"IDirect3D9::CreateDevice", 1},
            {"DirectInput8Create", 1},
            {"IDirectInput8W::CreateDevice", 1},
            {"IDirectInput8W::CreateDevice", 2},
            {"IDirectInputDevice8W::SetCooperativeLevel", 2},
            {"D3DXCreateEffect", 1},
            {"D3DXCreateEffect", 2},
            {"IDirect3DDevice9::CreateVertexBuffer", 1},
            {"IDirect3DVertexBuffer9::Lock", 1},
            {"D3DXCreateTextureFromFileExW", 1},
            {"D3DXCreateTexture", 1},
            {"IDirect3DDevice9::UpdateSurface", 1},
            {"IDirect3DDevice9::UpdateSurface", 11},
            {"IDirect3DDevice9::Reset", 1},
            {"D3DXLoadMeshFromXW", 1},
            {"D3DXCreateEffectFromFileW", 1},
            {"CreateFileW", 2},
            {"CreateFileW", 3},
            {"ID3DXMesh::GetNumFaces", 1},
            {"IDirect3DDevice9::GetTexture", 1},
            {"IDirectInputDevice8W::SetDataFormat", 1}};
}

}  // namespace

TEST(FailureSweepTest, FileAndWindowOperationsFailWhenArmedAndAreCounted) {
    const TestSupport::TempDir folder;
    const std::wstring name = folder.File("armed.txt");
    PlatformTesting::CallCounter calls;
    PlatformTesting::FailNextCalls("CreateFileW", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), 1, 1);
    HANDLE first = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    PlatformTesting::FailNextCalls("ReadFile", E_FAIL, 1);
    char byte = 0;
    DWORD read = 7;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_FAIL));
    // The failed close leaves the handle open; the next one closes it.
    PlatformTesting::FailNextCalls("CloseHandle", HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), 1);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_TRUE(CloseHandle(file));

    PlatformTesting::FailNextCalls("CreateWindowExW", HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY), 1);
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    PlatformTesting::ClearFailures();

    EXPECT_EQ(calls.Count("CreateFileW"), 3);
    EXPECT_EQ(calls.Count("ReadFile"), 1);
    EXPECT_EQ(calls.Count("CloseHandle"), 3);
    EXPECT_EQ(calls.Counts().at("CreateWindowExW"), 1);
}

// The one text-stream failure no demo run reaches: the log and the configuration are UTF-16.
TEST(FailureSweepTest, AnAnsiFlushThatCannotConvertKeepsItsTextAndSaysWhy) {
    const TestSupport::TempDir folder;
    TestSupport::WriteBytes(folder.Path() / "ansi.txt", TestSupport::SingleBytes("x"));
    NLib::TextStream stream(true);
    ASSERT_EQ(stream.Open(folder.File("ansi.txt"), NLib::OpenMode::Write | NLib::OpenMode::Append), 0);
    stream << L"y\n";
    PlatformTesting::FailNextCalls("WideCharToMultiByte", HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION), 1);
    const TestSupport::LogCapture log;
    EXPECT_EQ(stream.Flush(), 101);
    PlatformTesting::ClearFailures();
    EXPECT_EQ(stream.Pending(), L"y\r\n");
    EXPECT_EQ(log.Messages(), std::vector<std::wstring> {L"NLib::TextStream::Flush >> Function \"WideCharToMultiByte\" "
                                                         L"returned an error. Error Code: 459"});
    // The kept text goes out with the next flush.
    EXPECT_EQ(stream.Flush(), 0);
    EXPECT_EQ(stream.Close(), 0);
    EXPECT_EQ(TestSupport::ReadBytes(folder.Path() / "ansi.txt"), TestSupport::SingleBytes("xy\r\n"));
}

TEST(FailureSweepTest, EveryFailureOfTheScriptedRunEndsAsDescribedWithNothingLeftAlive) {
    const RunRecord clean = DemoTest::RunCase({});
    ASSERT_EQ(clean.exitCode, 0);
    ASSERT_EQ(clean.liveObjects, 0);
    ASSERT_EQ(clean.log,
              (std::vector<std::wstring> {L"Loading config file: config.cfg", L"Initializing Renderer",
                                          L"Setting up EventManager", L"Resetting device", L"Releasing Renderer"}));
    // The script reached every scene and the device's recovery.
    ASSERT_EQ(clean.calls.at("D3DXLoadMeshFromXW"), 1);
    ASSERT_EQ(clean.calls.at("IDirect3DDevice9::Reset"), 1);

    const std::vector<SweepCase> cases = FullSweep() ? DemoTest::CasesFor(clean, 5) : ShortSweep();
    std::set<std::string> reached;
    for (const SweepCase& sweepCase : cases) {
        RunRecord run = DemoTest::RunCase(sweepCase);
        // LeakSanitizer's exit check now and then dies in its own tracer after a clean run: a run
        // whose process failed runs once more, and a real fault fails both times.
        if (run.exitCode != 0) run = DemoTest::RunCase(sweepCase);
        const std::vector<std::string> problems = DemoTest::Problems(sweepCase, clean, run);
        for (const std::string& problem : problems)
            ADD_FAILURE() << sweepCase.operation << " call " << sweepCase.call << ": " << problem;
        for (const Row& row : kRows) {
            for (const std::wstring& message : run.log)
                if (message.find(row.text) != std::wstring::npos) reached.insert(row.name);
        }
    }
    std::cout << "Swept " << cases.size() << " (operation, call) pairs over " << clean.calls.size()
              << " operations; the clean run drew " << clean.frames << " frames.\n";
    for (const Row& row : kRows)
        std::cout << (reached.count(row.name) != 0 ? "reached      " : "not reached  ") << row.name << "\n";
    EXPECT_GE(reached.size(), 20u);
}
