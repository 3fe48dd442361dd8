// One effect pass's shaders linked into a program of the device, with the places its
// constant registers and samplers take there. Sampler i of the pass reads texture stage i.
// A program may lack a stage (the device supplies it) or both (the device draws on its own).
//
// The effect is created with every stage compiled and checked by the device; the driver compiles
// and links the program when the pass is first used (BeginPass or ValidateTechnique), as a
// Direct3D 9 driver compiles a shader at its first draw. Most effects use few of their passes.
#pragma once

#include "EffectParameters.h"
#include "HlslCompiler.h"

#include <d3d9/ShaderProgramBinding.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

class PassProgram {
public:
    // Checks everything but the driver's compile and link; on failure `log` says why. A null
    // `compiled` stands for `VertexShader = NULL; PixelShader = NULL;`.
    HRESULT Prepare(IDirect3DDevice9* device, std::shared_ptr<const CompiledProgram> compiled, std::string& log);
    // The driver's compile and link, once (later calls give the first result): D3D_OK, or
    // D3DERR_DRIVERINTERNALERROR with the driver's message as the call's refusal.
    HRESULT Link(IDirect3DDevice9* device) const;
    void Free(IDirect3DDevice9* device);

    // Links first if it has not been.
    HRESULT Use(IDirect3DDevice9* device) const;
    bool HasShaders() const { return compiled_ != nullptr; }
    // Uploads every constant register both stages read from the parameters' current values
    // (nothing before the program is linked: Use comes first).
    HRESULT UploadConstants(IDirect3DDevice9* device, const EffectParameters& parameters) const;
    // HLSL names of the samplers, in texture stage order.
    const std::vector<std::string>& Samplers() const;

private:
    d3d9::ShaderProgramSource Source() const;
    // The register arrays of both stages: float, int and bool of the vertex stage, then of the pixel stage.
    std::array<const StageConstants*, 6> ConstantArrays() const;
    HRESULT Upload(IDirect3DDevice9* device, const StageConstants& constants, INT location,
                   const EffectParameters& parameters) const;
    // What an assembly pixel shader reads of the device's texture stage states: the bump-environment
    // matrix and luminance, and which stages project their coordinates.
    HRESULT UploadTextureStages(IDirect3DDevice9* device) const;

    std::shared_ptr<const CompiledProgram> compiled_;
    // Filled by the first Link; a cache of the device's program, hence mutable.
    mutable bool linkTried_ = false;
    mutable HRESULT linkResult_ = D3D_OK;
    mutable d3d9::ShaderProgramHandle program_ = 0;
    mutable std::array<INT, 6> constantLocations_ {-1, -1, -1, -1, -1, -1};  // as ConstantArrays
    mutable INT bumpMatrix_ = -1;
    mutable INT bumpLuminance_ = -1;
    mutable INT projectedStages_ = -1;
};

}  // namespace nvesk::d3dx9
