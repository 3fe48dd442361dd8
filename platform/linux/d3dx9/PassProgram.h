// One effect pass's shaders linked into a program of the device, with the places its
// constant registers and samplers take there. Sampler i of the pass reads texture stage i.
// A program may lack a stage (the device supplies it) or both (the device draws on its own).
#pragma once

#include "EffectParameters.h"
#include "HlslCompiler.h"

#include <d3d9/ShaderProgramBinding.h>

#include <memory>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

class PassProgram {
public:
    // On failure `log` holds the driver's message and nothing stays linked. A null `compiled`
    // stands for `VertexShader = NULL; PixelShader = NULL;`.
    HRESULT Link(IDirect3DDevice9* device, std::shared_ptr<const CompiledProgram> compiled, std::string& log);
    void Free(IDirect3DDevice9* device);

    HRESULT Use(IDirect3DDevice9* device) const;
    bool HasShaders() const { return compiled_ != nullptr; }
    // Uploads every constant register both stages read from the parameters' current values.
    HRESULT UploadConstants(IDirect3DDevice9* device, const EffectParameters& parameters) const;
    // HLSL names of the samplers, in texture stage order.
    const std::vector<std::string>& Samplers() const;

private:
    HRESULT Upload(IDirect3DDevice9* device, const StageConstants& constants, INT location,
                   const EffectParameters& parameters) const;

    std::shared_ptr<const CompiledProgram> compiled_;
    d3d9::ShaderProgramHandle program_ = 0;
    INT vertexConstants_ = -1;
    INT pixelConstants_ = -1;
};

}  // namespace nvesk::d3dx9
