// libFuzzer target: the effect compiler entry on arbitrary text. Text the front end accepts has
// every pass with both shaders compiled as effect creation compiles it; each compile must give a
// program with both stages' GLSL, or compiler messages that say why not.
#include "platform/linux/d3dx9/EffectParser.h"
#include "platform/linux/d3dx9/HlslCompiler.h"

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
            const ProgramCompileResult compiled = CompileProgram(parsed.description.hlsl, "fuzz.fx", vertex, pixel);
            if (compiled.program == nullptr) {
                if (compiled.errors.empty()) std::abort();
            } else if (compiled.program->vertexGlsl.empty() || compiled.program->fragmentGlsl.empty()) {
                std::abort();
            }
        }
    }
    return 0;
}
