#include "FailureSweep.h"

#include "DemoRun.h"
#include "renderer/Renderer.h"
#include "support/Scenario.h"
#include "support/TempDir.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace DemoTest {

namespace {

// Frames at which the script acts, as each frame is presented; each key is seen by one update.
struct KeyStep {
    int frame;
    BYTE key;
};
constexpr KeyStep kSceneKeys[] = {{2, DIK_F1}, {5, DIK_F2}, {8, DIK_F3}, {11, DIK_F4}, {14, DIK_F1}};
constexpr int kLoseDeviceAt = 17;
constexpr int kEscapeAt = 20;
constexpr int kMaxFrames = 60;

void PlayScript(int frame) {
    for (const KeyStep& step : kSceneKeys) {
        if (frame == step.frame) PlatformTesting::PressKey(step.key);
        if (frame == step.frame + 1) PlatformTesting::ReleaseKey(step.key);
    }
    if (frame == kLoseDeviceAt) PlatformTesting::LoseDevice(NVesk::NRenderer::Renderer::Device, 2);
    // Held to the end: an update whose keyboard read failed sees it in the next frame.
    if (frame == kEscapeAt) PlatformTesting::PressKey(DIK_ESCAPE);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// "folder,operation,call"
bool ParseArgument(const std::string& argument, std::string& folder, SweepCase& sweepCase) {
    const std::size_t first = argument.find(',');
    const std::size_t second = argument.rfind(',');
    if (first == std::string::npos || second == first) return false;
    folder = argument.substr(0, first);
    sweepCase.operation = argument.substr(first + 1, second - first - 1);
    sweepCase.call = std::stoi(argument.substr(second + 1));
    return true;
}

// One scripted run in this process; what it left is written to folder/outcome.txt. The log is
// complete only once the process has ended (lines written without flush wait for the logger's end).
NVESK_SCENARIO(sweep_run) {
    std::string folder;
    SweepCase sweepCase;
    if (!ParseArgument(argument, folder, sweepCase)) return 2;
    std::ofstream outcome(std::filesystem::path(folder) / "outcome.txt");
    PlatformTesting::CallCounter calls;
    if (!sweepCase.operation.empty()) {
        PlatformTesting::FailNextCalls(sweepCase.operation.c_str(), InjectedResult(sweepCase.operation), 1,
                                       sweepCase.call - 1);
    }
    int frames = 0;
    std::vector<PlatformTesting::RecordedMessageBox> boxes;
    {
        DemoRun demo(320, 240, folder);
        demo.Run(PlayScript, kMaxFrames);
        frames = demo.framesPresented;
        boxes = demo.boxes.Boxes();
    }
    PlatformTesting::ClearFailures();
    outcome << "frames " << frames << "\n";
    outcome << "taken " << (!sweepCase.operation.empty() && calls.Count(sweepCase.operation.c_str()) >= sweepCase.call)
            << "\n";
    outcome << "live " << PlatformTesting::LiveDirect3DObjects() << "\n";
    std::istringstream report(PlatformTesting::LiveObjectReport());
    for (std::string line; std::getline(report, line);)
        outcome << "object " << line << "\n";
    for (const auto& box : boxes)
        outcome << "box " << Narrow(box.text) << "\n";
    for (const auto& [operation, count] : calls.Counts())
        outcome << "calls " << count << " " << operation << "\n";
    return 0;
}

// myLog.log: UTF-16 LE after its mark; each message starts a line with its time stamp, and a
// message's own line breaks continue it.
std::vector<std::wstring> ReadLog(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(file);
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    static const std::wregex stamp(L"^\\d+-\\d+-\\d+  \\d+:\\d+    ");
    std::vector<std::wstring> messages;
    std::wistringstream lines(text);
    for (std::wstring line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        std::wsmatch match;
        if (std::regex_search(line, match, stamp)) {
            messages.push_back(match.suffix());
        } else if (!messages.empty()) {
            messages.back() += L"\n" + line;
        }
    }
    return messages;
}

}  // namespace

long InjectedResult(const std::string& operation) {
    static const char* const kWin32Operations[] = {"CreateFileW",      "ReadFile",       "WriteFile",
                                                   "SetFilePointerEx", "GetFileSizeEx",  "CloseHandle",
                                                   "RegisterClassExW", "CreateWindowExW"};
    for (const char* name : kWin32Operations) {
        if (operation == name) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    return E_FAIL;
}

RunRecord RunCase(const SweepCase& sweepCase) {
    const TestSupport::TempDir folder;
    RunRecord record;
    record.exitCode = TestSupport::RunScenario(
        "sweep_run", folder.Path().string() + "," + sweepCase.operation + "," + std::to_string(sweepCase.call));
    std::ifstream outcome(folder.Path() / "outcome.txt");
    for (std::string key; outcome >> key;) {
        std::string rest;
        std::getline(outcome, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        if (key == "frames") record.frames = std::stoi(rest);
        if (key == "taken") record.failureTaken = rest == "1";
        if (key == "live") record.liveObjects = std::stoi(rest);
        if (key == "object") record.liveReport += rest + "\n";
        if (key == "box") record.boxes.push_back(Wide(rest));
        if (key == "calls") {
            const std::size_t space = rest.find(' ');
            record.calls[rest.substr(space + 1)] = std::stoi(rest.substr(0, space));
        }
    }
    const std::filesystem::path log = folder.Path() / "myLog.log";
    record.logExists = std::filesystem::exists(log);
    if (record.logExists) record.log = ReadLog(log);
    return record;
}

namespace {

const std::wstring kReleasing = L"Releasing Renderer";
const std::wstring kResetting = L"Resetting device";
const std::wstring kInitFailed = L"StartLoop >> Function \"InitResources()\" has returned NONZERO value.";
const std::wstring kRestoreFailed = L"StartLoop >> Function \"RestoreResources()\" has returned NONZERO value.";
const std::wstring kDrawFailed = L"StartLoop >> Function \"Draw\" returned nonzero value";
const std::wstring kResetFailed = L"Renderer::Draw >> Function \"Reset\" has returned an error: ";
const std::wstring kRendererFailed = L"WinMain >> Function \"Renderer::Initialize\" returned an error code: ";
const std::wstring kBoxFailed = L"TestScreen::RestoreResources >> Function \"RestoreBox\" returned an error. Code: ";

// Index of the first message containing `text` at or after `from`; -1 when none.
int Find(const std::vector<std::wstring>& log, const std::wstring& text, int from = 0) {
    for (int i = from; i < static_cast<int>(log.size()); ++i)
        if (log[i].find(text) != std::wstring::npos) return i;
    return -1;
}

// Why the image box's restore failed, by its code: the message that must stand before the screen's.
const wchar_t* RestoreBoxCause(wchar_t code) {
    switch (code) {
    case L'1':
        return L"ImageBox::RestoreBox >> Cannot compile an effect.";
    case L'3':
        return L"ImageBox::RestoreBox >> Failed to lock VertexBuffer";
    case L'4':
        return L"ImageBox::RestoreBox >> Function \"Restore()\" returned an error code: ";
    default:
        return nullptr;
    }
}

// The run's end read from its log, checked against the chain of messages each end has.
void CheckEnding(const RunRecord& clean, const RunRecord& run, bool closedByWindow,
                 std::vector<std::string>& problems) {
    const std::vector<std::wstring>& log = run.log;
    auto expect = [&](bool condition, const std::string& what) {
        if (!condition) problems.push_back(what);
    };
    const int rendererFailed = Find(log, kRendererFailed);
    const int initFailed = Find(log, kInitFailed);
    const int restoreFailed = Find(log, kRestoreFailed);
    const int drawFailed = Find(log, kDrawFailed);
    const int boxFailed = Find(log, kBoxFailed);
    if (boxFailed >= 0) {
        const wchar_t* cause = RestoreBoxCause(log[boxFailed].back());
        expect(cause != nullptr && Find(log, cause) >= 0 && Find(log, cause) < boxFailed,
               "the image box's failure has no cause logged before it");
        expect(restoreFailed == boxFailed + 1 || drawFailed == boxFailed + 1,
               "the image box's failure does not end the loop");
    }
    if (rendererFailed >= 0) {
        static const std::pair<wchar_t, const wchar_t*> kCauses[] = {
            {L'1', L"-->NVesk::NRenderer::Renderer::InitWindow >> Cannot create Window, hwnd is NULL"},
            {L'3', L"-->NVesk::NRenderer::Renderer::CreateD3DObject >> Function \"Direct3DCreate9\" returned NULL"},
            {L'5', L"-->NVesk::NRenderer::Renderer::CreateDevice >> Function \"CreateDevice\" failed."}};
        bool caused = false;
        for (const auto& [code, cause] : kCauses)
            caused = caused ||
                     (log[rendererFailed].back() == code && rendererFailed > 0 && log[rendererFailed - 1] == cause);
        expect(caused, "the renderer's failure has no cause logged just before it");
        expect(run.frames == 0, "frames were drawn without a renderer");
        expect(Find(log, kReleasing) < 0, "a renderer that never existed was released");
        return;
    }
    if (initFailed >= 0 || restoreFailed >= 0) {
        expect(run.frames == 0, "frames were drawn after the start failed");
        if (initFailed >= 0) {
            // The event manager's reason, or the image box's with the screen's message box.
            const bool input = Find(log, L"-->NVesk::NEvents::EventManager::InitEventManager >> ") == initFailed - 1;
            const bool shaders = Find(log, L"ImageBox::InitImageBox >> The device doesn't support") == initFailed - 1 &&
                                 run.boxes.size() == 1 &&
                                 run.boxes[0] == L"Your graphic card doesn't support Shader Model 2.0";
            expect(input || shaders, "the screen's start failed without its reason just before it");
        }
        if (restoreFailed >= 0)
            expect(boxFailed == restoreFailed - 1, "the restore failed without the image box's reason");
    } else if (drawFailed >= 0) {
        const int resetting = Find(log, kResetting);
        expect(resetting >= 0 && resetting < drawFailed, "a frame failed outside the device's recovery");
        expect(drawFailed > 0 && (log[drawFailed - 1].find(kResetFailed) != std::wstring::npos ||
                                  log[drawFailed - 1].find(kBoxFailed) != std::wstring::npos),
               "the failed frame has no reason just before it");
        expect(run.frames > 0 && run.frames < clean.frames, "the loop did not end at the failed frame");
    } else if (closedByWindow) {
        expect(run.frames == kMaxFrames, "a run that cannot read the keyboard did not go on until closed");
    } else {
        // An update whose keyboard read failed sees Escape one frame later.
        expect(run.frames >= clean.frames && run.frames <= clean.frames + 2,
               "the run did not end at Escape (" + std::to_string(run.frames) + " frames)");
    }
    if (run.logExists && !log.empty()) expect(log.back() == kReleasing, "the log does not end with the release");
}

// Messages a failure must leave in the log, in this order, where the operation's result is examined.
struct Expected {
    const char* operation;
    int firstCall;
    int lastCall;  // 0: to the last call
    std::vector<std::wstring> messages;
};

const std::vector<Expected>& ExpectedMessages() {
    static const std::vector<Expected> table = {
        {"CreateWindowExW", 1, 1, {L"InitWindow >> Cannot create Window, hwnd is NULL", kRendererFailed + L"1"}},
        {"Direct3DCreate9", 1, 1, {L"Function \"Direct3DCreate9\" returned NULL", kRendererFailed + L"3"}},
        {"IDirect3D9::CreateDevice", 1, 1, {L"Function \"CreateDevice\" failed.", kRendererFailed + L"5"}},
        {"DirectInput8Create",
         1,
         1,
         {L"Cannot create main DirectInput object. Function \"DirectInput8Create()\" has returned: 80004005",
          kInitFailed}},
        {"IDirectInput8W::CreateDevice",
         1,
         1,
         {L"Cannot create Keyboard device. Function \"CreateDevice()\" has returned: 80004005", kInitFailed}},
        {"IDirectInput8W::CreateDevice",
         2,
         2,
         {L"Cannot create Mouse device. Function \"CreateDevice()\" has returned: 80004005", kInitFailed}},
        {"IDirectInputDevice8W::SetCooperativeLevel", 2, 2, {L"Failed to set up devices.", kInitFailed}},
        {"D3DXCreateEffect",
         1,
         1,
         {L"Cannot compile an effect. Function \"D3DXCreateEffectFromFile()\" returned an error code: .80004005",
          kBoxFailed + L"1", kRestoreFailed}},
        {"D3DXCreateEffect",
         2,
         2,
         {kResetting,
          L"Cannot compile an effect. Function \"D3DXCreateEffectFromFile()\" returned an error code: .80004005",
          kBoxFailed + L"1", kDrawFailed}},
        {"IDirect3DDevice9::CreateVertexBuffer",
         1,
         1,
         {L"RestoreBox >> Cannot create Vertex Buffer. Function \"CreateVertexBuffer()\" returned an error code: "
          L".80004005",
          L"RestoreBox >> Failed to lock VertexBuffer", kBoxFailed + L"3", kRestoreFailed}},
        {"IDirect3DVertexBuffer9::Lock",
         1,
         1,
         {L"RestoreBox >> Failed to lock VertexBuffer", kBoxFailed + L"3", kRestoreFailed}},
        {"D3DXCreateTextureFromFileExW",
         1,
         1,
         {L"Animation::Restore >> Cannot load texture: mushrum.png. Function \"D3DXCreateTextureFromFile\" returned "
          L"an error code: 80004005",
          L"RestoreBox >> Function \"Restore()\" returned an error code: 3", kBoxFailed + L"4", kRestoreFailed}},
        {"D3DXCreateTexture",
         1,
         10,
         {L"Animation::Restore >> Cannot create texture. Function \"D3DXCreateTexture\" returned an error code: "
          L"-2147467259",
          L"RestoreBox >> Function \"Restore()\" returned an error code: 4", kBoxFailed + L"4", kRestoreFailed}},
        {"D3DXCreateTexture",
         11,
         20,
         {kResetting, L"Animation::Restore >> Cannot create texture.", kBoxFailed + L"4", kDrawFailed}},
        // The copy's result is not examined: the run goes on with that frame transparent.
        {"IDirect3DDevice9::UpdateSurface",
         1,
         10,
         {L"Animation::Restore >> Cannot copy 1 of 10 frames; they are shown transparent. Function \"UpdateSurface\" "
          L"returned an error code: 80004005"}},
        {"IDirect3DDevice9::UpdateSurface",
         11,
         20,
         {kResetting, L"Animation::Restore >> Cannot copy 1 of 10 frames; they are shown transparent."}},
        {"IDirect3DDevice9::Reset", 1, 1, {kResetting, kResetFailed + L"80004005", kDrawFailed}},
        {"D3DXLoadMeshFromXW", 1, 1, {L"SecondScene::RestoreResources >> Cannot load the mesh"}},
        {"D3DXCreateEffectFromFileW", 1, 1, {L"SecondScene::RestoreResources >> "}},
        {"CreateFileW",
         3,
         3,
         {L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: 5",
          L"NLib::StructReader::FillUpStruct >> Cannot open file \"config.cfg\""}},
    };
    return table;
}

}  // namespace

std::vector<std::string> Problems(const SweepCase& sweepCase, const RunRecord& clean, const RunRecord& run) {
    std::vector<std::string> problems;
    if (run.exitCode != 0) problems.push_back("the run's process ended with " + std::to_string(run.exitCode));
    if (!run.failureTaken) problems.push_back("the failure was never taken");
    if (run.liveObjects != 0) problems.push_back("objects still alive:\n" + run.liveReport);
    // The log file cannot be made (its second attempt, after the one that truncates an existing
    // file): the entry says so and runs without one.
    const bool logRefused = sweepCase.operation == "CreateFileW" && sweepCase.call == 2;
    if (logRefused) {
        if (run.boxes.empty() || run.boxes[0] != L"Cannot initialize Logger") problems.push_back("no box for the log");
        if (!run.log.empty()) problems.push_back("a log was written");
    }
    // A keyboard without its data format fails every read, so Escape is never seen: the user closes
    // the window.
    const bool closedByWindow = sweepCase.operation == "IDirectInputDevice8W::SetDataFormat" && sweepCase.call == 1;
    CheckEnding(clean, run, closedByWindow, problems);
    for (const Expected& expected : ExpectedMessages()) {
        if (sweepCase.operation != expected.operation || sweepCase.call < expected.firstCall ||
            (expected.lastCall != 0 && sweepCase.call > expected.lastCall)) {
            continue;
        }
        int at = 0;
        for (const std::wstring& message : expected.messages) {
            at = Find(run.log, message, at);
            if (at < 0) {
                problems.push_back("missing from the log: " + Narrow(message));
                break;
            }
        }
    }
    return problems;
}

std::vector<SweepCase> CasesFor(const RunRecord& clean, int everyCallUpTo) {
    std::vector<SweepCase> cases;
    for (const auto& [operation, count] : clean.calls) {
        if (count <= everyCallUpTo) {
            for (int call = 1; call <= count; ++call)
                cases.push_back({operation, call});
        } else {
            for (int call : std::set<int> {1, 2, 3, (count + 1) / 2, count})
                cases.push_back({operation, call});
        }
    }
    return cases;
}

}  // namespace DemoTest
