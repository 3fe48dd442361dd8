// libFuzzer target: the effect compiler entry on arbitrary text. Text the front end accepts has
// every pass with both shaders compiled as effect creation compiles it (uniform arguments bound);
// each compile must give a program with both stages' GLSL, or compiler messages that say why not.
#include "platform/linux/d3dx9/EffectParser.h"
#include "platform/linux/d3dx9/HlslCompiler.h"
#include "platform/linux/d3dx9/ShaderArguments.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// The on-disk program cache is left out: each compiled program would be a file written (and a
// folder that grows with the campaign); the cache has its own tests.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("NVESK_SHADER_CACHE", "off", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nvesk::d3dx9;
    const ParseResult parsed = ParseEffect(std::string(reinterpret_cast<const char*>(data), size));
    if (!parsed.ok) return 0;
    for (const EffectTechniqueDesc& technique : parsed.description.techniques) {
        for (const EffectPassDesc& pass : technique.passes) {
            const ShaderCompileRequest& vertex = pass.vertexShader.compiled;
            const ShaderCompileRequest& pixel = pass.pixelShader.compiled;
            if (pass.vertexShader.assignment != ShaderAssignment::Compiled ||
                pass.pixelShader.assignment != ShaderAssignment::Compiled || vertex.entry.empty() ||
                pixel.entry.empty()) {
                continue;
            }
            // Uniform arguments bound as effect creation binds them: through an entry of ours.
            std::string hlsl = parsed.description.hlsl;
            ShaderCompileRequest boundVertex;
            ShaderCompileRequest boundPixel;
            std::string error;
            if (!BindShaderArguments(parsed.description, vertex, "fx_vertex_entry", hlsl, boundVertex, error) ||
                !BindShaderArguments(parsed.description, pixel, "fx_pixel_entry", hlsl, boundPixel, error)) {
                if (error.empty()) std::abort();
                continue;
            }
            const ProgramCompileResult compiled = CompileProgram(hlsl, "fuzz.fx", boundVertex, boundPixel);
            if (compiled.program == nullptr) {
                if (compiled.errors.empty()) std::abort();
            } else if (compiled.program->vertexGlsl.empty() || compiled.program->fragmentGlsl.empty()) {
                std::abort();
            }
        }
    }
    return 0;
}
