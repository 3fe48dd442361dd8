// The OpenGL driver loaded while the program starts: the libraries SDL loads for the first OpenGL
// window (libGL, Mesa's GLX library, and Mesa's driver with LLVM, most of the time it takes to
// open a window) are opened on a thread of their own from the process entry, while the program
// reads its settings and opens its log. SDL's loading then finds them loaded: the dynamic loader
// hands back the objects already there (a load still under way is waited for). A library that is
// missing or fails to load is left to SDL, which loads what it would have loaded anyway.
//
// The driver itself waits for SDL's video start to load what it loads first (D-Bus): a load holds
// the dynamic loader's lock from start to end, LLVM's for most of the time the driver takes, and
// the video start would otherwise wait for all of it instead of connecting to the X server beside it.
#pragma once

#include "GlCompilerWarmUp.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace nvesk::user32 {

// One library to open: a name as dlopen takes it, with the flags its real loader opens it with.
// A driver (`inDriverFolder`) is a file in "dri/" beside the library opened just before it in the
// list (Mesa's GLX library): its folder is known once that one is loaded.
struct PreloadedLibrary {
    std::string name;
    int flags = 0;
    bool inDriverFolder = false;
};

// What SDL's X11 OpenGL loading opens for this process's environment; empty where that cannot be
// told in advance (no X display, another video driver or OpenGL library chosen, a driver folder
// or GLX vendor of the user's choosing).
std::vector<PreloadedLibrary> GlDriverLibraries();

// Lets the driver load go on, for this process from now on: SDL's video start calls it once SDL
// has loaded its own libraries. A preload that is not let go on within kDriverLoadHold loads the
// driver anyway; a program that starts its video that late gains nothing from waiting longer.
void AllowDriverLoad();
inline constexpr std::chrono::milliseconds kDriverLoadHold {100};

class GlDriverPreload {
public:
    // Starts opening the libraries, in turn, on a thread; nothing starts for an empty list. The
    // driver waits for AllowDriverLoad at most `hold`. With `warmCompiler`, once every library is
    // open the thread makes the GLSL compiler ready as well.
    explicit GlDriverPreload(std::vector<PreloadedLibrary> libraries = GlDriverLibraries(),
                             bool warmCompiler = SoftwareRenderingExpected(),
                             std::chrono::milliseconds hold = kDriverLoadHold);
    // Leaves what has not started loading and waits for the thread. What was loaded stays loaded,
    // as it would once SDL had loaded it.
    ~GlDriverPreload();
    GlDriverPreload(const GlDriverPreload&) = delete;
    GlDriverPreload& operator=(const GlDriverPreload&) = delete;

    // Waits for the thread: every library loaded or failed, and the compiler made ready or not.
    void Wait();
    // After Wait: how many of the libraries were opened.
    std::size_t Opened() const { return opened_; }
    // After Wait: whether the compiler was made ready.
    bool CompilerWarmed() const { return warmUp_.Compiled(); }

private:
    void Run(const std::vector<PreloadedLibrary>& libraries);

    const bool warmCompiler_;
    const std::chrono::milliseconds hold_;
    // Declared before the thread: destroyed after it has been waited for.
    GlCompilerWarmUp warmUp_;
    std::thread thread_;
    std::size_t opened_ = 0;
    bool abandoned_ = false;  // guarded by the load gate's mutex
};

}  // namespace nvesk::user32
