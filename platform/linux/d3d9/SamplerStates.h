// Direct3D sampler states of every sampler unit, kept in one GL sampler object per unit.
// Units 0..15 are the pixel samplers; D3DVERTEXTEXTURESAMPLER0..3 use units 16..19.
#pragma once

#include <d3d9.h>

#include <array>

namespace nvesk::d3d9 {

class SamplerStates {
public:
    static constexpr UINT kUnitCount = 20;
    static constexpr DWORD kStateCount = D3DSAMP_DMAPOFFSET + 1;

    // GL unit of a Direct3D sampler index; -1 when there is none.
    static int UnitOf(DWORD sampler);

    // Creates the GL samplers (context current) and sets the defaults.
    void Create();
    void Destroy();
    void Reset();

    HRESULT Set(UINT unit, D3DSAMPLERSTATETYPE type, DWORD value);
    DWORD Get(UINT unit, D3DSAMPLERSTATETYPE type) const { return values_[unit][type]; }

private:
    void Apply(UINT unit) const;

    std::array<std::array<DWORD, kStateCount>, kUnitCount> values_ {};
    std::array<unsigned int, kUnitCount> samplers_ {};
    bool anisotropy_ = false;
};

}  // namespace nvesk::d3d9
