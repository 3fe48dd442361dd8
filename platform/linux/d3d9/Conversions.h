// Small conversions and checks the Direct3D 9 and D3DX 9 layers share.
#pragma once

#include <d3d9.h>

#include <algorithm>
#include <array>

namespace nvesk::d3d9 {

// A D3DCOLOR (0xAARRGGBB) as red, green, blue and alpha in 0..1.
inline std::array<float, 4> ColorToFloats(D3DCOLOR color) {
    return {((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
            ((color >> 24) & 0xFF) / 255.0f};
}

// Whether `rect` lies inside a width x height surface, starting at 0 or later; allowEmpty accepts
// a rectangle with no area (left == right or top == bottom), never an inverted one.
inline bool RectWithin(const RECT& rect, UINT width, UINT height, bool allowEmpty = false) {
    const bool ordered = allowEmpty ? rect.left <= rect.right && rect.top <= rect.bottom
                                    : rect.left < rect.right && rect.top < rect.bottom;
    return ordered && rect.left >= 0 && rect.top >= 0 && rect.right <= static_cast<LONG>(width) &&
           rect.bottom <= static_cast<LONG>(height);
}

// Where two rectangles overlap; empty (right <= left or bottom <= top) when they do not.
inline RECT Intersect(const RECT& a, const RECT& b) {
    return RECT {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
}

}  // namespace nvesk::d3d9
