#include "GlDriverPreload.h"

#include <dlfcn.h>
#include <link.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

namespace nvesk::user32 {
namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// The folder a loaded library was found in, with its final slash; empty when unknown.
std::string FolderOf(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) return {};
    const char* slash = std::strrchr(map->l_name, '/');
    return slash == nullptr ? std::string()
                            : std::string(map->l_name, static_cast<std::size_t>(slash + 1 - map->l_name));
}

// Whether the driver may load yet; one for the process, as SDL's video is.
struct LoadGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
};

LoadGate& TheLoadGate() {
    static LoadGate gate;
    return gate;
}

// Sets one of the flags the gate's waiter looks at, and wakes it.
void RaiseUnderGate(bool& flag) {
    LoadGate& gate = TheLoadGate();
    {
        const std::lock_guard<std::mutex> lock(gate.mutex);
        flag = true;
    }
    gate.changed.notify_all();
}

}  // namespace

void AllowDriverLoad() {
    RaiseUnderGate(TheLoadGate().open);
}

std::vector<PreloadedLibrary> GlDriverLibraries() {
    // SDL opens X11 windows here only with a display and its default video driver and library.
    const char* videoDriver = std::getenv("SDL_VIDEODRIVER");
    if (!Set("DISPLAY") || (videoDriver != nullptr && std::strcmp(videoDriver, "x11") != 0) ||
        Set("SDL_VIDEO_GL_DRIVER")) {
        return {};
    }
    // libGL as SDL opens it; the GLX vendor library as libglvnd opens it.
    std::vector<PreloadedLibrary> libraries = {{"libGL.so.1", RTLD_NOW | RTLD_LOCAL, false}};
    const char* vendor = std::getenv("__GLX_VENDOR_LIBRARY_NAME");
    if (vendor != nullptr && *vendor != '\0' && std::strcmp(vendor, "mesa") != 0) return libraries;
    libraries.push_back({"libGLX_mesa.so.0", RTLD_LAZY | RTLD_LOCAL, false});
    // Mesa's drivers are one file under every name (its "megadriver"); the software rasteriser's
    // name is present wherever Mesa is. A folder of the user's choosing may hold anything.
    if (!Set("LIBGL_DRIVERS_PATH")) libraries.push_back({"swrast_dri.so", RTLD_NOW | RTLD_LOCAL, true});
    return libraries;
}

GlDriverPreload::GlDriverPreload(std::vector<PreloadedLibrary> libraries, bool warmCompiler,
                                 std::chrono::milliseconds hold)
    : warmCompiler_(warmCompiler), hold_(hold) {
    if (libraries.empty()) return;
    try {
        thread_ = std::thread([this, libraries = std::move(libraries)] { Run(libraries); });
    } catch (const std::system_error&) {
        // No thread: SDL loads everything when the first window needs it, as without the preload.
    }
}

GlDriverPreload::~GlDriverPreload() {
    RaiseUnderGate(abandoned_);
    Wait();
}

void GlDriverPreload::Wait() {
    if (thread_.joinable()) thread_.join();
}

void GlDriverPreload::Run(const std::vector<PreloadedLibrary>& libraries) {
    std::string folder;
    for (const PreloadedLibrary& library : libraries) {
        if (library.inDriverFolder && folder.empty()) continue;
        if (library.inDriverFolder) {
            LoadGate& gate = TheLoadGate();
            std::unique_lock<std::mutex> lock(gate.mutex);
            gate.changed.wait_for(lock, hold_, [&] { return gate.open || abandoned_; });
            if (abandoned_) return;
        }
        const std::string path = library.inDriverFolder ? folder + "dri/" + library.name : library.name;
        // Never closed: the loader counts this opening beside SDL's and Mesa's own.
        void* handle = dlopen(path.c_str(), library.flags);
        if (handle == nullptr) {
            folder.clear();
            continue;
        }
        ++opened_;
        folder = FolderOf(handle);
    }
    if (warmCompiler_ && opened_ == libraries.size()) {
        {
            const std::lock_guard<std::mutex> lock(TheLoadGate().mutex);
            if (abandoned_) return;
        }
        warmUp_.Run();
    }
}

}  // namespace nvesk::user32
