// libFuzzer target: the shader assembler on arbitrary text, as a vertex and as a pixel program,
// must either assemble it without a message, every instruction placed inside the text, or refuse
// it with one line a fault, "file(line,col): error X5nnn: text", each at a place inside the text.
#include "platform/linux/d3dx9/ShaderAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

constexpr nvesk::d3dx9::SourcePosition kStart {3, 7};

bool Inside(int line, int column, long lines) {
    return line >= kStart.line && line < kStart.line + lines && column >= 1;
}

void Check(const std::string& text, nvesk::d3dx9::ShaderStage stage) {
    const nvesk::d3dx9::AssemblyResult result = nvesk::d3dx9::AssembleShader(text, "fuzz.fx", kStart, stage);
    const long lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (result.ok) {
        if (!result.errors.empty()) std::abort();
        for (const nvesk::d3dx9::AssemblyInstruction& instruction : result.shader.instructions) {
            if (!Inside(instruction.position.line, instruction.position.column, lines) || instruction.name.empty())
                std::abort();
        }
        return;
    }
    if (result.errors.empty() || result.errors.back() != '\n') std::abort();
    std::istringstream messages(result.errors);
    for (std::string message; std::getline(messages, message);) {
        int line = 0;
        int column = 0;
        int code = 0;
        char rest = 0;
        if (std::sscanf(message.c_str(), "fuzz.fx(%d,%d): error X%d: %c", &line, &column, &code, &rest) != 4 ||
            !Inside(line, column, lines) || code < 5000 || code > 5999) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(text, nvesk::d3dx9::ShaderStage::Vertex);
    Check(text, nvesk::d3dx9::ShaderStage::Pixel);
    return 0;
}
