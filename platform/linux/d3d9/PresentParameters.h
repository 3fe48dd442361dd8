// Checks D3DPRESENT_PARAMETERS as CreateDevice and Reset do, and completes them the way
// Direct3D writes back into the caller's structure (back-buffer size and format, count).
#pragma once

#include <d3d9.h>

#include "DisplayModes.h"

#include <vector>

namespace nvesk::d3d9 {

struct PresentationChoice {
    HWND window = nullptr;                        // where frames go
    const DisplayMode* fullScreenMode = nullptr;  // the exact mode, full screen only
    int swapInterval = 1;
};

// parameters is completed in place on success. clientWidth/clientHeight: the window's client
// size, taken for a windowed back buffer of size 0.
HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* parameters, HWND focusWindow,
                               const std::vector<DisplayMode>& modes, UINT clientWidth, UINT clientHeight,
                               PresentationChoice* choice);

}  // namespace nvesk::d3d9
