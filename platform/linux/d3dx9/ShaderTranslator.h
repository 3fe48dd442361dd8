// Turns an assembled Direct3D 9 shader (ShaderAssembly.h) into a GLSL 4.50 stage of the same
// kind the HLSL passes become (HlslCompiler.h): varyings in the vec4 registers of their semantics
// (VaryingRegisters.h), so that an assembly stage meets an HLSL one; the float constant registers
// c# as one vec4 array, i# and b# as arrays of their own; samplers by texture stage.
#pragma once

#include "HlslCompiler.h"
#include "ShaderAssembly.h"
#include "ShaderRegisters.h"

#include <string>
#include <utility>
#include <vector>

namespace nvesk::d3dx9 {

struct ShaderTranslationOptions {
    std::string fileName = "memory";  // named by every message
    // ps_1_x declares no sampler types: the kind of texture the pass gives each stage.
    PixelShader1xTextures pixelShader1xTextures;
};

struct ShaderTranslation {
    bool ok = false;
    std::string errors;  // "file(line,col): error: ..." on failure
    ShaderVersion version;
    std::string glsl;
    std::vector<VertexInput> vertexInputs;              // vertex stage: bound by declaration usage
    std::vector<StageVarying> varyings;                 // vertex outputs or pixel inputs
    std::string colorOutput;                            // pixel stage: the output of oC0 (ps_1_x: r0)
    StageConstants floatConstants;                      // c#: vec4 registers from 0
    StageConstants intConstants;                        // i#: ivec4 registers
    StageConstants boolConstants;                       // b#: ivec4 registers, the value in x
    std::vector<std::pair<int, std::string>> samplers;  // s# (ps_1_x: texture stage) and its uniform
};

ShaderTranslation TranslateShader(const AssembledShader& shader, const ShaderTranslationOptions& options = {});

// A program of a translated vertex stage, pixel stage or both (a null one is the device's),
// as PassProgram links it; fails for a translation that failed or of the wrong stage.
ProgramCompileResult PairTranslations(const ShaderTranslation* vertex, const ShaderTranslation* pixel);

}  // namespace nvesk::d3dx9
