#include "DisplayModes.h"

#include <SDL.h>

#include <algorithm>
#include <tuple>

namespace nvesk::d3d9 {
namespace {

constexpr UINT kUnknownRefreshRate = 60;

bool IsTrueColour(Uint32 format) {
    return SDL_BITSPERPIXEL(format) >= 24 && !SDL_ISPIXELFORMAT_ALPHA(format);
}

D3DDISPLAYMODE ToDirect3D(const SDL_DisplayMode& mode) {
    D3DDISPLAYMODE result;
    result.Width = static_cast<UINT>(mode.w);
    result.Height = static_cast<UINT>(mode.h);
    result.RefreshRate = mode.refresh_rate > 0 ? static_cast<UINT>(mode.refresh_rate) : kUnknownRefreshRate;
    result.Format = D3DFMT_X8R8G8B8;
    return result;
}

}  // namespace

std::vector<DisplayMode> EnumerateDisplayModes() {
    std::vector<DisplayMode> modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int index = 0; index < count; ++index) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, index, &mode) != 0 || !IsTrueColour(mode.format)) {
            continue;
        }
        const D3DDISPLAYMODE converted = ToDirect3D(mode);
        const bool known = std::any_of(modes.begin(), modes.end(), [&](const DisplayMode& other) {
            return other.mode.Width == converted.Width && other.mode.Height == converted.Height &&
                   other.mode.RefreshRate == converted.RefreshRate;
        });
        if (!known) {
            modes.push_back(DisplayMode {converted, mode.refresh_rate});
        }
    }
    std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
        return std::tie(a.mode.Width, a.mode.Height, a.mode.RefreshRate) <
               std::tie(b.mode.Width, b.mode.Height, b.mode.RefreshRate);
    });
    return modes;
}

bool DesktopDisplayMode(D3DDISPLAYMODE* mode) {
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return false;
    }
    *mode = ToDirect3D(desktop);
    return true;
}

}  // namespace nvesk::d3d9
