#include "PassProgram.h"

namespace nvesk::d3dx9 {

HRESULT PassProgram::Link(IDirect3DDevice9* device, std::shared_ptr<const CompiledProgram> compiled, std::string& log) {
    if (compiled == nullptr) return D3D_OK;  // both stages NULL: program 0
    d3d9::ShaderProgramSource source;
    source.vertexGlsl = compiled->vertexGlsl;
    source.fragmentGlsl = compiled->fragmentGlsl;
    source.colorOutput = compiled->colorOutput;
    // A program of one stage: the device generates the other and meets these vec4 registers.
    if (source.vertexGlsl.empty() != source.fragmentGlsl.empty()) {
        const auto& varyings = source.vertexGlsl.empty() ? compiled->pixelInputs : compiled->vertexOutputs;
        for (const StageVarying& varying : varyings) {
            source.varyings.push_back(
                {static_cast<BYTE>(varying.usage), static_cast<BYTE>(varying.usageIndex), varying.location, 4});
        }
    }
    for (const VertexInput& input : compiled->vertexInputs) {
        source.attributes.push_back(
            {input.glslName, static_cast<BYTE>(input.usage), static_cast<BYTE>(input.usageIndex)});
    }
    d3d9::ShaderProgramHandle program = 0;
    const HRESULT linked = d3d9::LinkShaderProgram(device, source, &program, &log);
    if (FAILED(linked)) return linked;
    for (std::size_t unit = 0; unit < compiled->samplers.size(); ++unit) {
        const INT location = d3d9::GetUniformLocation(device, program, compiled->samplers[unit].c_str());
        if (location < 0) continue;  // declared but optimised away
        const HRESULT bound = d3d9::SetSamplerUnit(device, program, location, static_cast<UINT>(unit));
        if (FAILED(bound)) {
            log = "sampler '" + compiled->samplers[unit] + "' cannot use texture stage " + std::to_string(unit);
            d3d9::ReleaseShaderProgram(device, program);
            return bound;
        }
    }
    auto locate = [&](const StageConstants& constants) {
        return constants.uniformName.empty()
                   ? -1
                   : d3d9::GetUniformLocation(device, program, (constants.uniformName + "[0]").c_str());
    };
    vertexConstants_ = locate(compiled->vertexConstants);
    pixelConstants_ = locate(compiled->pixelConstants);
    compiled_ = std::move(compiled);
    program_ = program;
    return D3D_OK;
}

void PassProgram::Free(IDirect3DDevice9* device) {
    if (program_ != 0) d3d9::ReleaseShaderProgram(device, program_);
    program_ = 0;
}

HRESULT PassProgram::Use(IDirect3DDevice9* device) const {
    return d3d9::UseShaderProgram(device, program_);
}

const std::vector<std::string>& PassProgram::Samplers() const {
    static const std::vector<std::string> kNone;
    return compiled_ != nullptr ? compiled_->samplers : kNone;
}

HRESULT PassProgram::UploadConstants(IDirect3DDevice9* device, const EffectParameters& parameters) const {
    if (compiled_ == nullptr) return D3D_OK;
    const HRESULT vertex = Upload(device, compiled_->vertexConstants, vertexConstants_, parameters);
    const HRESULT pixel = Upload(device, compiled_->pixelConstants, pixelConstants_, parameters);
    return FAILED(vertex) ? vertex : pixel;
}

HRESULT PassProgram::Upload(IDirect3DDevice9* device, const StageConstants& constants, INT location,
                            const EffectParameters& parameters) const {
    if (location < 0 || constants.registerCount == 0) return D3D_OK;
    std::vector<float> registers;
    parameters.FillRegisters(constants, registers);
    const bool integers = !constants.slots.empty() && constants.slots.front().baseType != ConstantBaseType::Float;
    if (!integers) {
        return d3d9::SetUniformFloats(device, program_, location, 4, constants.registerCount, registers.data());
    }
    std::vector<INT> numbers(registers.begin(), registers.end());
    return d3d9::SetUniformInts(device, program_, location, 4, constants.registerCount, numbers.data());
}

}  // namespace nvesk::d3dx9
