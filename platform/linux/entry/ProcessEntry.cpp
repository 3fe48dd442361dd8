// The process entry of a Windows GUI program on Linux: the program starts in its WinMain, with the
// arguments Windows would give it.
#include <user32/GlDriverPreload.h>
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    // The OpenGL driver loads while the program reads its settings and opens its log; the first
    // window finds it loaded. The thread is waited for when the program ends.
    const nvesk::user32::GlDriverPreload preload;
    // The command line after the program's name, as WinMain receives it.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleW(nullptr), nullptr, &commandLine[0], SW_SHOW);
}
