#include "GlCompilerWarmUp.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace nvesk::user32 {
namespace {

// The few GL calls made, typed here so that this file needs no GL header beside the program's own
// function loader: the calls go through EGL's lookup, never through the loader's shared table.
using CreateShaderCall = unsigned int (*)(unsigned int stage);
using ShaderSourceCall = void (*)(unsigned int shader, int count, const char* const* text, const int* lengths);
using CompileShaderCall = void (*)(unsigned int shader);
using GetShaderCall = void (*)(unsigned int shader, unsigned int name, int* value);
using DeleteShaderCall = void (*)(unsigned int shader);
constexpr unsigned int kVertexShader = 0x8B31;
constexpr unsigned int kCompileStatus = 0x8B81;

bool HasWord(const char* list, const char* word) {
    if (list == nullptr) return false;
    const std::size_t length = std::strlen(word);
    for (const char* at = std::strstr(list, word); at != nullptr; at = std::strstr(at + 1, word)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

}  // namespace

bool SoftwareRenderingExpected(const std::string& deviceFolder) {
    // Mesa reads the variable as a yes/no word.
    const char* forced = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    if (forced != nullptr) {
        for (const char* yes : {"1", "true", "y", "yes"}) {
            if (strcasecmp(forced, yes) == 0) return true;
        }
    }
    std::error_code error;
    for (std::filesystem::directory_iterator entry(deviceFolder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().filename().string().rfind("renderD", 0) == 0) return false;
    }
    return true;
}

GlCompilerWarmUp::~GlCompilerWarmUp() {
    End();
}

bool GlCompilerWarmUp::Run() {
    End();
    library_ = dlopen("libEGL.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (library_ == nullptr) return false;
    auto lookup = reinterpret_cast<PFNEGLGETPROCADDRESSPROC>(dlsym(library_, "eglGetProcAddress"));
    auto queryString = reinterpret_cast<PFNEGLQUERYSTRINGPROC>(dlsym(library_, "eglQueryString"));
    if (lookup == nullptr || queryString == nullptr ||
        !HasWord(queryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless")) {
        return false;
    }
    auto platformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(lookup("eglGetPlatformDisplayEXT"));
    auto initialize = reinterpret_cast<PFNEGLINITIALIZEPROC>(dlsym(library_, "eglInitialize"));
    auto bindApi = reinterpret_cast<PFNEGLBINDAPIPROC>(dlsym(library_, "eglBindAPI"));
    auto createContext = reinterpret_cast<PFNEGLCREATECONTEXTPROC>(dlsym(library_, "eglCreateContext"));
    auto makeCurrent = reinterpret_cast<PFNEGLMAKECURRENTPROC>(dlsym(library_, "eglMakeCurrent"));
    auto releaseThread = reinterpret_cast<PFNEGLRELEASETHREADPROC>(dlsym(library_, "eglReleaseThread"));
    auto createShader = reinterpret_cast<CreateShaderCall>(lookup("glCreateShader"));
    auto shaderSource = reinterpret_cast<ShaderSourceCall>(lookup("glShaderSource"));
    auto compileShader = reinterpret_cast<CompileShaderCall>(lookup("glCompileShader"));
    auto getShader = reinterpret_cast<GetShaderCall>(lookup("glGetShaderiv"));
    auto deleteShader = reinterpret_cast<DeleteShaderCall>(lookup("glDeleteShader"));
    if (platformDisplay == nullptr || initialize == nullptr || bindApi == nullptr || createContext == nullptr ||
        makeCurrent == nullptr || releaseThread == nullptr || createShader == nullptr || shaderSource == nullptr ||
        compileShader == nullptr || getShader == nullptr || deleteShader == nullptr) {
        return false;
    }
    EGLDisplay display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0;
    EGLint minor = 0;
    if (display == EGL_NO_DISPLAY || !initialize(display, &major, &minor)) return false;
    display_ = display;
    const EGLint attributes[] = {
        EGL_CONTEXT_MAJOR_VERSION,           4,       EGL_CONTEXT_MINOR_VERSION, 5, EGL_CONTEXT_OPENGL_PROFILE_MASK,
        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    if (!HasWord(queryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context") ||
        !HasWord(queryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context") || !bindApi(EGL_OPENGL_API)) {
        End();
        return false;
    }
    context_ = createContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context_ == EGL_NO_CONTEXT || !makeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
        End();
        return false;
    }
    const unsigned int shader = createShader(kVertexShader);
    const char* const text = "#version 450 core\nvoid main() { gl_Position = vec4(0.0); }\n";
    shaderSource(shader, 1, &text, nullptr);
    compileShader(shader);
    int status = 0;
    getShader(shader, kCompileStatus, &status);
    deleteShader(shader);
    // The context stays alive, current nowhere, so that the functions it built stay built.
    makeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    releaseThread();
    compiled_ = status != 0;
    if (!compiled_) End();
    return compiled_;
}

void GlCompilerWarmUp::End() {
    if (library_ != nullptr && display_ != nullptr) {
        auto destroyContext = reinterpret_cast<PFNEGLDESTROYCONTEXTPROC>(dlsym(library_, "eglDestroyContext"));
        auto terminate = reinterpret_cast<PFNEGLTERMINATEPROC>(dlsym(library_, "eglTerminate"));
        if (context_ != nullptr && destroyContext != nullptr) destroyContext(display_, context_);
        if (terminate != nullptr) terminate(display_);
    }
    // libEGL stays loaded: Mesa's libraries are never unloaded while the process may draw.
    display_ = nullptr;
    context_ = nullptr;
    compiled_ = false;
}

}  // namespace nvesk::user32
