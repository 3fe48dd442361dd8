// The texture stage states of the fixed-function blending stages 0..7, with Direct3D 9's
// defaults: stage 0 modulates texture by diffuse colour, the others are disabled.
#pragma once

#include <d3d9.h>

#include <array>

namespace nvesk::d3d9 {

class TextureStageStates {
public:
    static constexpr DWORD kStageCount = 8;
    static constexpr DWORD kStateCount = D3DTSS_CONSTANT + 1;

    TextureStageStates() { Reset(); }
    void Reset();

    // False for a stage or state Direct3D 9 does not have.
    static bool Valid(DWORD stage, D3DTEXTURESTAGESTATETYPE type);
    DWORD Get(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const { return values_[stage][type]; }
    void Set(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) { values_[stage][type] = value; }

private:
    std::array<std::array<DWORD, kStateCount>, kStageCount> values_ {};
};

}  // namespace nvesk::d3d9
