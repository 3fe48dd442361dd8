#include "PassProgram.h"

#include "ShaderRegisters.h"
#include "com/Diagnostics.h"

#include <cstring>

namespace nvesk::d3dx9 {

d3d9::ShaderProgramSource PassProgram::Source() const {
    d3d9::ShaderProgramSource source;
    source.vertexGlsl = compiled_->vertexGlsl;
    source.fragmentGlsl = compiled_->fragmentGlsl;
    source.colorOutput = compiled_->colorOutput;
    // A program of one stage: the device generates the other and meets these vec4 registers.
    if (source.vertexGlsl.empty() != source.fragmentGlsl.empty()) {
        const auto& varyings = source.vertexGlsl.empty() ? compiled_->pixelInputs : compiled_->vertexOutputs;
        for (const StageVarying& varying : varyings) {
            source.varyings.push_back(
                {static_cast<BYTE>(varying.usage), static_cast<BYTE>(varying.usageIndex), varying.location, 4});
        }
    }
    for (const VertexInput& input : compiled_->vertexInputs) {
        source.attributes.push_back(
            {input.glslName, static_cast<BYTE>(input.usage), static_cast<BYTE>(input.usageIndex)});
    }
    return source;
}

HRESULT PassProgram::Prepare(IDirect3DDevice9* device, std::shared_ptr<const CompiledProgram> compiled,
                             std::string& log) {
    compiled_ = std::move(compiled);
    if (compiled_ == nullptr) return D3D_OK;  // both stages NULL: program 0
    const HRESULT checked = d3d9::CheckShaderProgram(device, Source(), &log);
    if (FAILED(checked)) compiled_ = nullptr;
    return checked;
}

HRESULT PassProgram::Link(IDirect3DDevice9* device) const {
    if (compiled_ == nullptr || linkTried_) return linkResult_;
    linkTried_ = true;
    std::string log;
    d3d9::ShaderProgramHandle program = 0;
    const HRESULT linked = d3d9::LinkShaderProgram(device, Source(), &program, &log);
    if (FAILED(linked)) {
        linkResult_ = com::Refuse(D3DERR_DRIVERINTERNALERROR, "the device cannot link this pass: %s", log.c_str());
        return linkResult_;
    }
    for (std::size_t unit = 0; unit < compiled_->samplers.size(); ++unit) {
        const INT location = d3d9::GetUniformLocation(device, program, compiled_->samplers[unit].c_str());
        if (location < 0) continue;  // declared but optimised away
        if (FAILED(d3d9::SetSamplerUnit(device, program, location, static_cast<UINT>(unit)))) {
            d3d9::ReleaseShaderProgram(device, program);
            linkResult_ = com::Refuse(D3DERR_DRIVERINTERNALERROR, "sampler '%s' cannot use texture stage %zu",
                                      compiled_->samplers[unit].c_str(), unit);
            return linkResult_;
        }
    }
    auto locate = [&](const StageConstants& constants) {
        return constants.uniformName.empty()
                   ? -1
                   : d3d9::GetUniformLocation(device, program, (constants.uniformName + "[0]").c_str());
    };
    const auto arrays = ConstantArrays();
    for (std::size_t i = 0; i < arrays.size(); ++i)
        constantLocations_[i] = locate(*arrays[i]);
    bumpMatrix_ =
        d3d9::GetUniformLocation(device, program, (std::string(ShaderRegisters::BumpMatrixName()) + "[0]").c_str());
    projectedStages_ = d3d9::GetUniformLocation(device, program, ShaderRegisters::ProjectedStagesName());
    bumpLuminance_ =
        d3d9::GetUniformLocation(device, program, (std::string(ShaderRegisters::BumpLuminanceName()) + "[0]").c_str());
    program_ = program;
    return D3D_OK;
}

void PassProgram::Free(IDirect3DDevice9* device) {
    if (program_ != 0) d3d9::ReleaseShaderProgram(device, program_);
    program_ = 0;
}

HRESULT PassProgram::Use(IDirect3DDevice9* device) const {
    const HRESULT linked = Link(device);
    if (FAILED(linked)) return linked;
    return d3d9::UseShaderProgram(device, program_);
}

const std::vector<std::string>& PassProgram::Samplers() const {
    static const std::vector<std::string> kNone;
    return compiled_ != nullptr ? compiled_->samplers : kNone;
}

std::array<const StageConstants*, 6> PassProgram::ConstantArrays() const {
    return {&compiled_->vertexConstants, &compiled_->vertexIntConstants, &compiled_->vertexBoolConstants,
            &compiled_->pixelConstants,  &compiled_->pixelIntConstants,  &compiled_->pixelBoolConstants};
}

HRESULT PassProgram::UploadConstants(IDirect3DDevice9* device, const EffectParameters& parameters) const {
    if (compiled_ == nullptr || program_ == 0) return D3D_OK;
    HRESULT result = D3D_OK;
    const auto arrays = ConstantArrays();
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const HRESULT uploaded = Upload(device, *arrays[i], constantLocations_[i], parameters);
        if (SUCCEEDED(result)) result = uploaded;
    }
    const HRESULT stages = UploadTextureStages(device);
    return FAILED(result) ? result : stages;
}

HRESULT PassProgram::UploadTextureStages(IDirect3DDevice9* device) const {
    constexpr DWORD kStages = 8;
    if (projectedStages_ >= 0) {
        INT projected = 0;
        for (DWORD stage = 0; stage < kStages; ++stage) {
            DWORD flags = 0;
            device->GetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, &flags);
            if ((flags & D3DTTFF_PROJECTED) != 0) projected |= 1 << stage;
        }
        const HRESULT set = d3d9::SetUniformInts(device, program_, projectedStages_, 1, 1, &projected);
        if (FAILED(set)) return set;
    }
    if (bumpMatrix_ < 0 && bumpLuminance_ < 0) return D3D_OK;
    std::array<float, 4 * kStages> matrices {};
    std::array<float, 2 * kStages> luminance {};
    auto state = [&](DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
        DWORD bits = 0;
        device->GetTextureStageState(stage, type, &bits);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    for (DWORD stage = 0; stage < kStages; ++stage) {
        matrices[stage * 4 + 0] = state(stage, D3DTSS_BUMPENVMAT00);
        matrices[stage * 4 + 1] = state(stage, D3DTSS_BUMPENVMAT01);
        matrices[stage * 4 + 2] = state(stage, D3DTSS_BUMPENVMAT10);
        matrices[stage * 4 + 3] = state(stage, D3DTSS_BUMPENVMAT11);
        luminance[stage * 2 + 0] = state(stage, D3DTSS_BUMPENVLSCALE);
        luminance[stage * 2 + 1] = state(stage, D3DTSS_BUMPENVLOFFSET);
    }
    const HRESULT matrix = d3d9::SetUniformFloats(device, program_, bumpMatrix_, 4, kStages, matrices.data());
    const HRESULT offsets = d3d9::SetUniformFloats(device, program_, bumpLuminance_, 2, kStages, luminance.data());
    return FAILED(matrix) ? matrix : offsets;
}

HRESULT PassProgram::Upload(IDirect3DDevice9* device, const StageConstants& constants, INT location,
                            const EffectParameters& parameters) const {
    if (location < 0 || constants.registerCount == 0) return D3D_OK;
    std::vector<float> registers;
    parameters.FillRegisters(constants, registers);
    const bool integers = constants.registerType != ConstantBaseType::Float ||
                          (!constants.slots.empty() && constants.slots.front().baseType != ConstantBaseType::Float);
    if (!integers) {
        return d3d9::SetUniformFloats(device, program_, location, 4, constants.registerCount, registers.data());
    }
    std::vector<INT> numbers(registers.begin(), registers.end());
    return d3d9::SetUniformInts(device, program_, location, 4, constants.registerCount, numbers.data());
}

}  // namespace nvesk::d3dx9
