// The OpenGL driver loaded while the program starts: the libraries SDL loads for the first OpenGL
// window (libGL, Mesa's GLX library, and Mesa's driver with LLVM, most of the time it takes to
// open a window) are opened on a thread of their own from the process entry, while the program
// reads its settings and opens its log. SDL's loading then finds them loaded: the dynamic loader
// hands back the objects already there (a load still under way is waited for). A library that is
// missing or fails to load is left to SDL, which loads what it would have loaded anyway.
#pragma once

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

class GlDriverPreload {
public:
    // Starts opening the libraries, in turn, on a thread; nothing starts for an empty list.
    explicit GlDriverPreload(std::vector<PreloadedLibrary> libraries = GlDriverLibraries());
    // Waits for the thread. The libraries stay loaded, as they would once SDL has loaded them.
    ~GlDriverPreload();
    GlDriverPreload(const GlDriverPreload&) = delete;
    GlDriverPreload& operator=(const GlDriverPreload&) = delete;

    void Wait();
    // After Wait: how many of the libraries were opened.
    std::size_t Opened() const { return opened_; }

private:
    void Run(const std::vector<PreloadedLibrary>& libraries);

    std::thread thread_;
    std::size_t opened_ = 0;
};

}  // namespace nvesk::user32
