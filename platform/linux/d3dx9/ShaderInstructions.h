// The GLSL of one Direct3D 9 shader instruction other than flow control: the arithmetic
// (ShaderArithmetic.cpp) and the texture instructions of every version (ShaderTextureInstructions.cpp).
#pragma once

#include "ShaderRegisters.h"

#include <string>

namespace nvesk::d3dx9 {

// An instruction's statements in two halves, so that a pair joined by `+` reads its sources before
// either half writes.
struct InstructionCode {
    std::string compute;  // reads the sources, keeps the result in a variable of its own
    std::string write;    // stores that result
};

class InstructionTranslator {
public:
    explicit InstructionTranslator(const ShaderRegisters& registers) : registers_(registers) {}

    // False with `error` set for an instruction this translation has no GLSL for.
    bool Translate(const AssemblyInstruction& instruction, InstructionCode& code, std::string& error);

    // The functions the instructions call, once ahead of the program.
    static std::string Helpers();

private:
    bool Arithmetic(const AssemblyInstruction& instruction, std::string& value, std::string& error);
    bool Texture(const AssemblyInstruction& instruction, InstructionCode& code, std::string& error);
    bool PixelShader1xTexture(const AssemblyInstruction& instruction, InstructionCode& code, std::string& error);
    // A lookup in the texture of `stage`; `kind` is "" (plain), "proj", "bias", "lod" or "grad".
    std::string Sample(int stage, const std::string& coordinates, const std::string& kind, const std::string& ddx = {},
                       const std::string& ddy = {}) const;
    // The register a ps_1_x texture instruction or texkill names as its destination, read.
    std::string DestinationValue(const AssemblyInstruction& instruction) const;
    std::string Read(const AssemblyInstruction& instruction, std::size_t source) const;
    std::string NewName(const char* prefix);

    const ShaderRegisters& registers_;
    int names_ = 0;
    int pads_ = 0;  // texm3x2pad/texm3x3pad dot products waiting for their lookup
};

}  // namespace nvesk::d3dx9
