#include "ShaderTranslator.h"

#include "CompilerMessages.h"
#include "ShaderInstructions.h"
#include "ShaderProgramWriter.h"
#include "VaryingRegisters.h"

#include <set>

namespace nvesk::d3dx9 {

namespace {

StageConstants Constants(const ShaderRegisters& registers, char file) {
    StageConstants constants;
    const int count = registers.ConstantCount(file);
    if (count == 0) return constants;
    constants.uniformName = registers.ConstantsName(file);
    constants.registerCount = static_cast<std::uint32_t>(count);
    constants.registerType = file == 'c'   ? ConstantBaseType::Float
                             : file == 'i' ? ConstantBaseType::Int
                                           : ConstantBaseType::Bool;
    return constants;
}

}  // namespace

ShaderTranslation TranslateShader(const AssembledShader& shader, const ShaderTranslationOptions& options) {
    ShaderTranslation translation;
    translation.version = shader.version;
    const ShaderRegisters registers(shader, options.pixelShader1xTextures);
    if (!registers.Error().empty()) {
        translation.errors = FormatError(options.fileName, registers.ErrorPosition(), registers.Error()) + "\n";
        return translation;
    }
    std::string code;
    if (!WriteShaderFunctions(shader, registers, options.fileName, code, translation.errors)) return translation;
    translation.glsl = "#version 450\n" + registers.Declarations() + registers.AccessHelpers() +
                       InstructionTranslator::Helpers() + code + "void main()\n{\n" + registers.LoadInputs() +
                       "    fx_shader_main();\n" + registers.StoreOutputs() + "}\n";
    for (const UsageRegister& input : registers.VertexInputs())
        translation.vertexInputs.push_back({ShaderRegisters::VertexInputName(input), input.usage, input.usageIndex});
    std::set<std::pair<int, int>> seen;
    for (const UsageRegister& varying : registers.Varyings()) {
        if (!seen.insert({varying.usage, varying.usageIndex}).second) continue;
        translation.varyings.push_back({varying.usage, varying.usageIndex,
                                        static_cast<unsigned>(RegisterLocation(varying.usage, varying.usageIndex))});
    }
    if (!registers.Vertex()) translation.colorOutput = "fx_out_COLOR0";
    translation.floatConstants = Constants(registers, 'c');
    translation.intConstants = Constants(registers, 'i');
    translation.boolConstants = Constants(registers, 'b');
    for (const auto& entry : registers.Samplers())
        translation.samplers.push_back({entry.first, registers.SamplerName(entry.first)});
    translation.ok = true;
    return translation;
}

ProgramCompileResult PairTranslations(const ShaderTranslation* vertex, const ShaderTranslation* pixel) {
    ProgramCompileResult result;
    if (vertex == nullptr && pixel == nullptr) {
        result.errors = "memory: error: a program needs a vertex or a pixel shader\n";
        return result;
    }
    for (const ShaderTranslation* stage : {vertex, pixel}) {
        if (stage != nullptr && !stage->ok) {
            result.errors = stage->errors;
            return result;
        }
    }
    if ((vertex != nullptr && vertex->version.stage != ShaderStage::Vertex) ||
        (pixel != nullptr && pixel->version.stage != ShaderStage::Pixel)) {
        result.errors = "memory: error: a vertex shader and a pixel shader make a program, in that order\n";
        return result;
    }
    auto program = std::make_shared<CompiledProgram>();
    auto addSamplers = [&](const ShaderTranslation& stage, std::size_t firstUnit) {
        for (const auto& [index, name] : stage.samplers) {
            const std::size_t unit = firstUnit + static_cast<std::size_t>(index);
            if (program->samplers.size() <= unit) program->samplers.resize(unit + 1);
            program->samplers[unit] = name;
        }
    };
    if (vertex != nullptr) {
        program->vertexGlsl = vertex->glsl;
        program->vertexInputs = vertex->vertexInputs;
        program->vertexOutputs = vertex->varyings;
        program->vertexConstants = vertex->floatConstants;
        program->vertexIntConstants = vertex->intConstants;
        program->vertexBoolConstants = vertex->boolConstants;
        addSamplers(*vertex, 16);  // D3DVERTEXTEXTURESAMPLER0 on
    }
    if (pixel != nullptr) {
        program->fragmentGlsl = pixel->glsl;
        program->colorOutput = pixel->colorOutput;
        program->pixelInputs = pixel->varyings;
        program->pixelConstants = pixel->floatConstants;
        program->pixelIntConstants = pixel->intConstants;
        program->pixelBoolConstants = pixel->boolConstants;
        addSamplers(*pixel, 0);
    }
    result.program = std::move(program);
    return result;
}

}  // namespace nvesk::d3dx9
