// The OpenGL driver loaded on a thread at process start: SDL's own loading finds the same objects
// (one copy of the driver in the process), a preload that finds nothing or fails half-way leaves
// the first device drawing as before, and the libraries named follow the environment. Each case
// runs in a process of its own, where nothing has loaded the driver yet.
#include "Direct3DTestSupport.h"
#include "support/Scenario.h"
#include "support/TempDir.h"

#include <user32/GlDriverPreload.h>

#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

using nvesk::user32::AllowDriverLoad;
using nvesk::user32::GlDriverLibraries;
using nvesk::user32::GlDriverPreload;
using nvesk::user32::PreloadedLibrary;
using nvesk::user32::SoftwareRenderingExpected;

namespace {

// How many objects in the process are Mesa drivers ("…_dri.so").
int DriverCopies() {
    int copies = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* count) {
            const std::size_t length = std::strlen(info->dlpi_name);
            if (length >= 7 && std::strcmp(info->dlpi_name + length - 7, "_dri.so") == 0) ++*static_cast<int*>(count);
            return 0;
        },
        &copies);
    return copies;
}

// A device on a window draws with `draw`, reads its back buffer and presents it: 0 when every
// pixel has `colour`, 1 without a device, 2 when a call failed, 3 on a pixel of another colour.
int FrameShows(D3DCOLOR colour, const std::function<bool(IDirect3DDevice9*)>& draw) {
    D3D9Test::Window window;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (!D3D9Test::CreateWindowedDevice(window.Handle(), &d3d, &device)) return 1;
    const bool drawn = draw(device);
    const std::vector<DWORD> pixels = D3D9Test::ReadBackBuffer(device);
    const bool presented = device->Present(nullptr, nullptr, nullptr, nullptr) == D3D_OK;
    device->Release();
    d3d->Release();
    if (!drawn || !presented || pixels.size() != 64u * 48u) return 2;
    for (DWORD pixel : pixels) {
        if ((pixel & 0xFFFFFF) != (colour & 0xFFFFFF)) return 3;
    }
    return 0;
}

// The back buffer cleared to a colour.
int FirstFrameDraws() {
    const D3DCOLOR colour = D3DCOLOR_XRGB(0x20, 0x80, 0xC0);
    return FrameShows(colour, [&](IDirect3DDevice9* device) {
        return device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0) == D3D_OK;
    });
}

// A coloured quad over black, with no shaders of the application's: the device compiles and
// links the stages it generates.
int TriangleDraws() {
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR colour;
    };
    const D3DCOLOR colour = D3DCOLOR_XRGB(0xC0, 0x40, 0x10);
    const Vertex quad[] = {
        {0, 0, 0.5f, 1, colour}, {64, 0, 0.5f, 1, colour}, {0, 48, 0.5f, 1, colour}, {64, 48, 0.5f, 1, colour}};
    return FrameShows(colour, [&](IDirect3DDevice9* device) {
        return device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0) == D3D_OK &&
               device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE) == D3D_OK &&
               device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE) == D3D_OK && device->BeginScene() == D3D_OK &&
               device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE) == D3D_OK &&
               device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)) == D3D_OK &&
               device->EndScene() == D3D_OK;
    });
}

std::vector<PreloadedLibrary> Libraries(const std::string& which) {
    if (which == "missing") {
        // Nothing there: the driver that would sit beside a missing library is not looked for.
        return {{"libnvesk-no-such-gl.so.1", RTLD_NOW | RTLD_LOCAL, false},
                {"swrast_dri.so", RTLD_NOW | RTLD_LOCAL, true},
                {"libGLX_nvesk-no-such-vendor.so.0", RTLD_LAZY | RTLD_LOCAL, false}};
    }
    if (which == "half") {
        // libGL loads, then a driver file that is not there.
        return {{"libGL.so.1", RTLD_NOW | RTLD_LOCAL, false},
                {"libGLX_mesa.so.0", RTLD_LAZY | RTLD_LOCAL, false},
                {"nvesk_no_such_dri.so", RTLD_NOW | RTLD_LOCAL, true}};
    }
    return GlDriverLibraries();
}

// Argument: which libraries ("default", "missing", "half"), then "wait" to let the preload end
// before the first window, or "race" to open the window while it may still be loading.
NVESK_SCENARIO(preload_then_first_frame) {
    const std::size_t space = argument.find(' ');
    const std::string which = argument.substr(0, space);
    const bool wait = argument.substr(space + 1) == "wait";
    const std::vector<PreloadedLibrary> libraries = Libraries(which);
    if (libraries.empty()) return 20;
    GlDriverPreload preload(libraries, false);
    if (wait) {
        preload.Wait();
        if (which == "default" && (preload.Opened() != libraries.size() || DriverCopies() != 1)) return 21;
        if (which == "missing" && (preload.Opened() != 0 || DriverCopies() != 0)) return 22;
        if (which == "half" && (preload.Opened() != 2 || DriverCopies() != 0)) return 23;
    }
    const int drawn = FirstFrameDraws();
    if (drawn != 0) return drawn;
    preload.Wait();
    // SDL's and Mesa's own loading took the preloaded driver, not a second copy.
    return DriverCopies() == 1 ? 0 : 24;
}

// The driver waits for the video start's word: held for an hour, nothing of it loads until
// AllowDriverLoad, and a preload ended before that never loads it. Argument: "allow" or "end".
NVESK_SCENARIO(preload_held_for_the_video_start) {
    const std::chrono::hours hold(1);
    if (argument == "end") {
        { const GlDriverPreload preload(GlDriverLibraries(), false, hold); }
        return DriverCopies() == 0 ? 0 : 30;
    }
    GlDriverPreload preload(GlDriverLibraries(), false, hold);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (DriverCopies() != 0) return 31;
    AllowDriverLoad();
    preload.Wait();
    if (preload.Opened() != GlDriverLibraries().size() || DriverCopies() != 1) return 32;
    return FirstFrameDraws() == 0 ? 0 : 33;
}

// The compiler made ready on the preload's thread: devices compile and draw beside its context,
// and after the preload has ended it.
NVESK_SCENARIO(preload_warms_the_compiler) {
    static_cast<void>(argument);
    auto preload = std::make_unique<GlDriverPreload>(GlDriverLibraries(), true);
    AllowDriverLoad();
    preload->Wait();
    if (!preload->CompilerWarmed()) return 40;
    if (const int drawn = TriangleDraws(); drawn != 0) return drawn;
    preload.reset();
    if (const int drawn = TriangleDraws(); drawn != 0) return 50 + drawn;
    return DriverCopies() == 1 ? 0 : 41;
}

}  // namespace

TEST(GlDriverPreload, TheDriverWaitsForTheVideoStartAndAnEndedPreloadLeavesIt) {
    EXPECT_EQ(TestSupport::RunScenario("preload_held_for_the_video_start", "allow"), 0);
    EXPECT_EQ(TestSupport::RunScenario("preload_held_for_the_video_start", "end"), 0);
}

TEST(GlDriverPreload, TheWarmedCompilerLeavesDevicesCompilingAndDrawing) {
    EXPECT_EQ(TestSupport::RunScenario("preload_warms_the_compiler", ""), 0);
}

TEST(GlDriverPreload, TheCompilerIsWarmedOnlyWhereMesaDrawsInSoftware) {
    using TestSupport::ScopedEnvironment;
    const ScopedEnvironment unforced("LIBGL_ALWAYS_SOFTWARE", nullptr);
    const TestSupport::TempDir devices;
    EXPECT_TRUE(SoftwareRenderingExpected(devices.Path().string()));
    EXPECT_TRUE(SoftwareRenderingExpected((devices.Path() / "absent").string()));
    std::ofstream(devices.Path() / "card0").put('\n');
    EXPECT_TRUE(SoftwareRenderingExpected(devices.Path().string()));
    std::ofstream(devices.Path() / "renderD128").put('\n');
    EXPECT_FALSE(SoftwareRenderingExpected(devices.Path().string()));
    for (const char* yes : {"1", "true", "YES"}) {
        const ScopedEnvironment forced("LIBGL_ALWAYS_SOFTWARE", yes);
        EXPECT_TRUE(SoftwareRenderingExpected(devices.Path().string())) << yes;
    }
    for (const char* no : {"0", "false", ""}) {
        const ScopedEnvironment off("LIBGL_ALWAYS_SOFTWARE", no);
        EXPECT_FALSE(SoftwareRenderingExpected(devices.Path().string())) << no;
    }
}

TEST(GlDriverPreload, SdlFindsTheDriverLoadedAndTheFirstFrameDraws) {
    EXPECT_EQ(TestSupport::RunScenario("preload_then_first_frame", "default wait"), 0);
    EXPECT_EQ(TestSupport::RunScenario("preload_then_first_frame", "default race"), 0);
}

TEST(GlDriverPreload, APreloadThatFindsNothingOrFailsHalfWayChangesNothing) {
    for (const char* argument : {"missing wait", "missing race", "half wait", "half race"})
        EXPECT_EQ(TestSupport::RunScenario("preload_then_first_frame", argument), 0) << argument;
}

TEST(GlDriverPreload, LibrariesFollowTheEnvironment) {
    using TestSupport::ScopedEnvironment;
    const ScopedEnvironment display("DISPLAY", ":99");
    const ScopedEnvironment videoDriver("SDL_VIDEODRIVER", nullptr);
    const ScopedEnvironment glDriver("SDL_VIDEO_GL_DRIVER", nullptr);
    const ScopedEnvironment vendor("__GLX_VENDOR_LIBRARY_NAME", nullptr);
    const ScopedEnvironment driversPath("LIBGL_DRIVERS_PATH", nullptr);
    auto names = [] {
        std::string text;
        for (const PreloadedLibrary& library : GlDriverLibraries())
            text += (text.empty() ? "" : " ") + std::string(library.inDriverFolder ? "dri/" : "") + library.name;
        return text;
    };
    EXPECT_EQ(names(), "libGL.so.1 libGLX_mesa.so.0 dri/swrast_dri.so");
    {
        const ScopedEnvironment x11("SDL_VIDEODRIVER", "x11");
        const ScopedEnvironment mesa("__GLX_VENDOR_LIBRARY_NAME", "mesa");
        EXPECT_EQ(names(), "libGL.so.1 libGLX_mesa.so.0 dri/swrast_dri.so");
    }
    {
        const ScopedEnvironment other("__GLX_VENDOR_LIBRARY_NAME", "nvidia");
        EXPECT_EQ(names(), "libGL.so.1");
    }
    {
        const ScopedEnvironment folder("LIBGL_DRIVERS_PATH", "/opt/mesa/dri");
        EXPECT_EQ(names(), "libGL.so.1 libGLX_mesa.so.0");
    }
    for (const char* name : {"SDL_VIDEODRIVER", "SDL_VIDEO_GL_DRIVER"}) {
        const ScopedEnvironment chosen(name, "wayland");
        EXPECT_EQ(names(), "") << name;
    }
    const ScopedEnvironment noDisplay("DISPLAY", nullptr);
    EXPECT_EQ(names(), "");
}
