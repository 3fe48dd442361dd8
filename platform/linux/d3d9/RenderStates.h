// Direct3D render states: their defaults, which values we accept, and their GL equivalents.
//
// States that drive the rasteriser and output merger are applied to GL; states that only feed
// Direct3D's fixed-function vertex processing (lighting, materials, vertex blending) have no
// effect with programmable shaders, which every draw here uses, and are stored only; states we
// cannot reproduce (fog, flat shading, clip planes, sRGB writes, point sprites, tessellation)
// accept their default value alone and refuse any other with D3DERR_NOTAVAILABLE.
#pragma once

#include <d3d9.h>

#include <array>

namespace nvesk::d3d9 {

class RenderStates {
public:
    static constexpr DWORD kStateCount = 210;

    // Defaults as after CreateDevice/Reset; Z enable follows the automatic depth buffer. Without
    // `hasAlpha` (X8 back buffers) alpha is never written, so it keeps reading 1.
    void Reset(bool hasDepthBuffer, bool hasStencil, bool hasAlpha);

    HRESULT Set(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT Get(D3DRENDERSTATETYPE state, DWORD* value) const;
    DWORD Value(D3DRENDERSTATETYPE state) const { return values_[state]; }

    // Pushes every state, or one, into the current GL context.
    void ApplyAll() const;
    void Apply(D3DRENDERSTATETYPE state) const;

    // The alpha test as the fragment shader wrapper runs it: D3DCMP_ALWAYS when off.
    DWORD AlphaFunction() const;
    float AlphaReference() const;

    // D3D9 Clear writes all channels and depth whatever the write masks: OpenWriteMasks before it,
    // RestoreWriteMasks after.
    void OpenWriteMasks() const;
    void RestoreWriteMasks() const;

private:
    void ApplyBlend() const;
    void ApplyDepth() const;
    void ApplyStencil() const;
    void ApplyCull() const;
    // The GL face (GL_FRONT or GL_BACK) of clockwise triangles.
    unsigned int ClockwiseFace() const;
    void ApplyDepthBias() const;

    std::array<DWORD, kStateCount> values_ {};
    bool hasDepthBuffer_ = false;
    bool hasStencil_ = false;
    bool hasAlpha_ = true;
};

}  // namespace nvesk::d3d9
