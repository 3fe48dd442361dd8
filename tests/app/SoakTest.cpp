// The demo run long: many device losses spread over the four scenes and many scene switches
// (switches to the current scene and F2 held among them), with nothing left alive at the end and,
// in a long run, the heap no larger at the end than after the first tenth of the run.
#include "DemoRun.h"

#include "renderer/Renderer.h"
#include "renderer/Scene.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count (its header does not ship with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

using NVesk::NRenderer::Renderer;

namespace {

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

// Bytes the program holds on the heap (the sanitizer's allocator when it runs under one).
std::size_t HeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

int CurrentSceneIndex() {
    const TestScreen* screen = DemoTest::DemoRun::Screen();
    for (int i = 0; screen != nullptr && i < 4; ++i)
        if (screen->scenes[i] == NVesk::NRenderer::SceneManager.current) return i;
    return -1;
}

// One step every two frames: a key pressed and released (each seen by one update) or a device
// loss. Every fifth switch repeats the current scene; halfway F2 is held for 100 frames.
class SoakScript {
public:
    SoakScript(int losses, int switches) : m_losses(losses), m_switches(switches) {}

    // The step of this frame; once the script is done, Escape is pressed and held.
    void AtFrame(int frame) {
        if (m_holdUntil != 0) {
            if (frame < m_holdUntil) return;
            PlatformTesting::ReleaseKey(DIK_F2);
            m_holdUntil = 0;
            m_switchesDone += 100;
        }
        if (m_released != 0) {
            PlatformTesting::ReleaseKey(m_released);
            m_released = 0;
            return;
        }
        if (Done()) {
            if (!m_escape) PlatformTesting::PressKey(DIK_ESCAPE);
            m_escape = true;
            return;
        }
        if (!m_held && m_switchesDone >= m_switches / 2 && m_switches >= 200) {
            m_held = true;
            PlatformTesting::PressKey(DIK_F2);
            m_holdUntil = frame + 100;
            return;
        }
        const bool loseNow = m_lossesDone * m_switches <= m_switchesDone * m_losses && m_lossesDone < m_losses;
        if (loseNow || m_switchesDone >= m_switches) {
            ++m_lossesDone;
            ++m_lossesIn[CurrentSceneIndex() & 3];
            PlatformTesting::LoseDevice(Renderer::Device, static_cast<UINT>(m_lossesDone % 3));
            return;
        }
        static const BYTE kKeys[] = {DIK_F1, DIK_F2, DIK_F3, DIK_F4};
        const int current = CurrentSceneIndex();
        const int next = m_switchesDone % 5 == 4 ? current : (current + 1) % 4;
        m_released = kKeys[next & 3];
        PlatformTesting::PressKey(m_released);
        ++m_switchesDone;
    }

    bool Done() const { return m_lossesDone >= m_losses && m_switchesDone >= m_switches && m_holdUntil == 0; }
    // Progress from 0 to 1.
    double Progress() const {
        return static_cast<double>(m_lossesDone + m_switchesDone) / static_cast<double>(m_losses + m_switches);
    }
    int LossesDone() const { return m_lossesDone; }
    int SwitchesDone() const { return m_switchesDone; }
    const int* LossesIn() const { return m_lossesIn; }

private:
    int m_losses;
    int m_switches;
    int m_lossesDone = 0;
    int m_switchesDone = 0;
    int m_lossesIn[4] = {};
    BYTE m_released = 0;
    bool m_held = false;
    int m_holdUntil = 0;
    bool m_escape = false;
};

}  // namespace

TEST(SoakTest, DeviceLossesAndSceneSwitchesLeaveNothingAliveAndTheHeapFlat) {
    const int losses = FromEnvironment("NVESK_SOAK_LOSSES", 50);
    const int switches = FromEnvironment("NVESK_SOAK_SWITCHES", 50);
    DemoTest::DemoRun demo(320, 240);
    SoakScript script(losses, switches);
    // The heap depends on the scene that is current (the water scene keeps its pictures in memory):
    // each scene's last figure is compared with its first after the first tenth of the run.
    std::size_t heapEarly[4] = {};
    std::size_t heapLate[4] = {};
    std::size_t residentEarly = 0;
    std::size_t residentLate = 0;
    std::set<int> scenesSeen;
    const int maxFrames = 8 * (losses + switches) + 400;
    demo.Run(
        [&](int frame) {
            const int scene = CurrentSceneIndex();
            scenesSeen.insert(scene);
            const int* lossesIn = script.LossesIn();
            const bool warm = lossesIn[0] > 0 && lossesIn[1] > 0 && lossesIn[2] > 0 && lossesIn[3] > 0;
            if (scene >= 0 && warm && script.Progress() >= 0.1 && !script.Done()) {
                if (heapEarly[scene] == 0) heapEarly[scene] = HeapBytes();
                if (residentEarly == 0) residentEarly = ResidentBytes();
                heapLate[scene] = HeapBytes();
                residentLate = ResidentBytes();
            }
            script.AtFrame(frame);
        },
        maxFrames);
    std::cout << "Soak: " << script.LossesDone() << " device losses (per scene: " << script.LossesIn()[0] << ", "
              << script.LossesIn()[1] << ", " << script.LossesIn()[2] << ", " << script.LossesIn()[3] << "), "
              << script.SwitchesDone() << " scene switches, " << demo.framesPresented
              << " frames; heap per scene after the first tenth -> at the end:";
    for (int scene = 0; scene < 4; ++scene)
        std::cout << " " << heapEarly[scene] << " -> " << heapLate[scene];
    std::cout << " bytes; resident " << residentEarly << " -> " << residentLate << " bytes\n";
    // A short run ends while the platform's quarantine of released objects is still filling up.
    const bool longRun = losses + switches >= 1000;
    for (int scene = 0; scene < 4; ++scene) {
        EXPECT_GT(heapEarly[scene], 0u) << scene;
        if (longRun) {
            EXPECT_LE(static_cast<double>(heapLate[scene]), static_cast<double>(heapEarly[scene]) * 1.05) << scene;
        }
    }
    EXPECT_EQ(script.LossesDone(), losses);
    EXPECT_GE(script.SwitchesDone(), switches);
    EXPECT_LT(demo.framesPresented, maxFrames);
    EXPECT_EQ(scenesSeen, (std::set<int> {0, 1, 2, 3}));
    for (int scene = 0; scene < 4; ++scene)
        EXPECT_GT(script.LossesIn()[scene], 0) << scene;
    EXPECT_EQ(Renderer::instance, nullptr);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0) << PlatformTesting::LiveObjectReport();
}
