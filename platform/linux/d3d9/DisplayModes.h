// The display's modes as Direct3D lists them: 32-bit modes as D3DFMT_X8R8G8B8, sorted by
// width, height and refresh rate. A display that does not tell its refresh rate (Xvfb) is
// listed at 60 Hz, what Windows reports for such a display.
#pragma once

#include <d3d9.h>

#include <vector>

namespace nvesk::d3d9 {

struct DisplayMode {
    D3DDISPLAYMODE mode;
    int sdlRefreshRate;  // what SDL calls this mode's rate, for switching to it
};

std::vector<DisplayMode> EnumerateDisplayModes();
// The desktop's current mode.
bool DesktopDisplayMode(D3DDISPLAYMODE* mode);

}  // namespace nvesk::d3d9
