// Compiles one pass of an effect (a vertex and a pixel entry point of the effect's HLSL) into a
// pair of GLSL 4.50 shaders: glslang in Direct3D 9 compatible mode to SPIR-V (legalised by the
// optimiser), then SPIRV-Cross to GLSL. Each stage is compiled on its own and kept by source text,
// entry and profile, so that passes sharing a shader compile it once.
#pragma once

#include "EffectDescription.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// A Direct3D 9 semantic split into its usage name and index: TEXCOORD1 -> ("TEXCOORD", 1).
struct Semantic {
    std::string name;
    int index = 0;
};
Semantic ParseSemantic(const std::string& text);
// D3DDECLUSAGE of a semantic name, -1 when it has none.
int DeclarationUsage(const std::string& semanticName);

struct VertexInput {
    std::string glslName;
    int usage = 0;  // D3DDECLUSAGE
    int usageIndex = 0;
};

enum class ConstantBaseType { Float, Int, Bool };

// One live global of a stage, where it sits in the stage's constant array (vec4 registers).
struct ConstantSlot {
    std::string name;
    std::uint32_t offset = 0;        // bytes from the start of the array
    std::uint32_t matrixStride = 0;  // bytes between the registers of a matrix
    std::uint32_t arrayStride = 0;   // bytes between array elements
    bool columnMajor = true;         // HLSL packing: one register per column (the default)
    ConstantBaseType baseType = ConstantBaseType::Float;
};

struct StageConstants {
    std::string uniformName;  // GLSL vec4 array; empty when the stage reads no globals
    std::uint32_t registerCount = 0;
    std::vector<ConstantSlot> slots;
    // The array's element: vec4, or ivec4 for an assembly shader's i# and b# registers.
    ConstantBaseType registerType = ConstantBaseType::Float;
};

// A value passed between the stages, in the vec4 register of its semantic.
struct StageVarying {
    int usage = 0;  // D3DDECLUSAGE
    int usageIndex = 0;
    unsigned location = 0;
};

struct CompiledProgram {
    std::string vertexGlsl;    // empty when the vertex stage is the device's
    std::string fragmentGlsl;  // empty when the pixel stage is the device's
    std::vector<VertexInput> vertexInputs;
    std::string colorOutput;  // the fragment output for COLOR0
    StageConstants vertexConstants;
    StageConstants pixelConstants;
    // An assembly shader's integer (i#) and boolean (b#, in x) constant registers, ivec4 each;
    // HLSL keeps its int and bool globals among the vec4 ones above.
    StageConstants vertexIntConstants;
    StageConstants vertexBoolConstants;
    StageConstants pixelIntConstants;
    StageConstants pixelBoolConstants;
    // Sampler uniforms either stage reads, by HLSL name; an assembly shader's by texture unit
    // (its s#, vertex samplers from 16 on), with an empty name for a unit it leaves alone.
    std::vector<std::string> samplers;
    std::vector<StageVarying> vertexOutputs;
    std::vector<StageVarying> pixelInputs;
};

struct ProgramCompileResult {
    std::shared_ptr<const CompiledProgram> program;  // null on failure
    std::string errors;                              // formatted compiler messages
};

// The HLSL keeps the positions of the user's source; `fileName` names it in messages. A request
// with an empty entry is a stage the program leaves to the device (its GLSL stays empty).
ProgramCompileResult CompileProgram(const std::string& hlsl, const std::string& fileName,
                                    const ShaderCompileRequest& vertexShader, const ShaderCompileRequest& pixelShader);
// The same with a text of its own for each stage (each with only its own argument-binding entry),
// so that a stage shared by passes has one text, and one compile. Safe to call from several
// threads at once: a stage one thread is compiling, another waits for.
ProgramCompileResult CompileProgram(const std::string& vertexHlsl, const std::string& pixelHlsl,
                                    const std::string& fileName, const ShaderCompileRequest& vertexShader,
                                    const ShaderCompileRequest& pixelShader);

// Checks the HLSL of an effect none of whose passes compiles a shader, as Direct3D 9 compiles the
// whole file whatever its passes use; false with `errors` set when it does not compile.
bool CheckHlsl(const std::string& hlsl, const std::string& fileName, std::string& errors);

// Builds the HLSL compiler's tables of built-in functions, which its first parse in a process
// otherwise builds: about 100 million instructions, most of a small effect's first creation.
// Safe beside compiles on other threads (they wait for the tables). Left undone, and false, where
// the program cache already holds programs: the program's effects then most likely come from there
// and need no compiler, and on a small machine the tables would take a core from the program's
// window and device creation for nothing.
bool StartCompiler();

// How many stages were compiled (not taken from a cache) since the process started.
std::uint64_t StageCompileCount();

}  // namespace nvesk::d3dx9
