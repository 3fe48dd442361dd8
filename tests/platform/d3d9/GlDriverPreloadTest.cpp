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

#include <cstring>
#include <string>

using nvesk::user32::GlDriverLibraries;
using nvesk::user32::GlDriverPreload;
using nvesk::user32::PreloadedLibrary;

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

// A device on a window clears its back buffer to a colour and reads it back; 0 when it did.
int FirstFrameDraws() {
    D3D9Test::Window window;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (!D3D9Test::CreateWindowedDevice(window.Handle(), &d3d, &device)) return 10;
    const bool cleared = device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0x20, 0x80, 0xC0), 1.0f, 0) == D3D_OK;
    const std::vector<DWORD> pixels = D3D9Test::ReadBackBuffer(device);
    const bool presented = device->Present(nullptr, nullptr, nullptr, nullptr) == D3D_OK;
    device->Release();
    d3d->Release();
    if (!cleared || !presented || pixels.size() != 64u * 48u) return 11;
    for (DWORD pixel : pixels) {
        if ((pixel & 0xFFFFFF) != 0x2080C0) return 12;
    }
    return 0;
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
    GlDriverPreload preload(libraries);
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

}  // namespace

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
