// A Direct3D 9 shader program in its assembly language (`vs_1_1` ... `ps_3_0`), as the assembler
// reads it and the translator turns it into GLSL: one instruction a line, every register and
// modifier resolved, every rule of its version already checked.
#pragma once

#include "EffectLexer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class ShaderStage { Vertex, Pixel };

struct ShaderVersion {
    ShaderStage stage = ShaderStage::Vertex;
    int major = 1;
    int minor = 1;
    bool extended = false;  // vs_2_x, ps_2_x (minor 0)
};

// The register files, as Direct3D 9 names them (D3DSPR_*).
enum class RegisterType {
    Temp,         // r#
    Input,        // v#
    Const,        // c#
    Address,      // a0 (vertex shaders)
    Texture,      // t# (pixel shaders up to 1.4 and 2.x; input texture coordinates)
    RastOut,      // oPos (index 0), oFog (1), oPts (2)
    AttrOut,      // oD0, oD1
    TexCoordOut,  // oT0-oT7 (vertex shaders before 3.0)
    Output,       // o# (vs_3_0)
    ConstInt,     // i#
    ColorOut,     // oC0-oC3
    DepthOut,     // oDepth
    Sampler,      // s#
    ConstBool,    // b#
    Loop,         // aL
    MiscType,     // vPos (index 0), vFace (1)
    Label,        // l#
    Predicate,    // p0
};

// Source modifiers, each with the negation it may carry.
enum class SourceModifier {
    None,
    Negate,      // -r0
    Bias,        // r0_bias: r - 0.5
    BiasNegate,  // -r0_bias
    Sign,        // r0_bx2: 2r - 1
    SignNegate,  // -r0_bx2
    Complement,  // 1-r0
    X2,          // r0_x2 (ps_1_4)
    X2Negate,    // -r0_x2
    DivideByZ,   // r0_dz, r0.xyz_dz (ps_1_4 texld/texcrd): xy / z
    DivideByW,   // r0_dw, r0.xyw_dw: xy / w
    Abs,         // r0_abs (2.0 and later)
    AbsNegate,   // -r0_abs
    Not,         // !b0, !p0
};

// Relative addressing `c[a0.x + 4]`, `v[aL + 1]`, `o[aL]`.
struct RelativeAddress {
    RegisterType type = RegisterType::Address;  // Address or Loop
    int index = 0;
    int component = 0;  // 0..3: which of x, y, z, w
};

struct SourceOperand {
    RegisterType type = RegisterType::Temp;
    int index = 0;  // the register number; with a relative address, the constant offset added to it
    bool relative = false;
    RelativeAddress address;
    std::array<std::uint8_t, 4> swizzle {0, 1, 2, 3};  // component read for x, y, z, w (0..3)
    SourceModifier modifier = SourceModifier::None;
    SourcePosition position;
};

struct DestinationOperand {
    RegisterType type = RegisterType::Temp;
    int index = 0;
    bool relative = false;  // o[aL + n] in vs_3_0
    RelativeAddress address;
    std::uint8_t writeMask = 0xF;   // bit 0 x ... bit 3 w
    bool saturate = false;          // _sat
    bool partialPrecision = false;  // _pp
    bool centroid = false;          // _centroid
    int shift = 0;                  // _x2 1, _x4 2, _x8 3, _d2 -1, _d4 -2, _d8 -3
    SourcePosition position;
};

// Sampler types of `dcl_2d`, `dcl_cube`, `dcl_volume`: D3DSAMPLER_TEXTURE_TYPE's D3DSTT_* shifted
// down by 27, as the bytecode's declaration token holds them.
constexpr int kSampler2D = 2;
constexpr int kSamplerCube = 3;
constexpr int kSamplerVolume = 4;

// `dcl_texcoord1 v3`, `dcl_2d s0`, `dcl t0.xy`, `dcl_position o0`: the register is the
// instruction's destination, with its write mask.
struct Declaration {
    int usage = -1;  // D3DDECLUSAGE_*, -1 for none (ps_2_0 `dcl v0`, `dcl t0`)
    int usageIndex = 0;
    int samplerType = 0;  // kSampler2D, kSamplerCube, kSamplerVolume for samplers; 0 otherwise
};

// Comparisons of `ifc`, `breakc`, `setp` (D3DSPC_*).
enum class Comparison { None, Greater, Equal, GreaterEqual, Less, NotEqual, LessEqual };

struct AssemblyInstruction {
    // The instruction's name as the language writes it, in lower case and without its modifiers:
    // "mov", "mad", "texld", "texldp", "texldb", "texldd", "texldl", "texm3x3vspec", "dcl",
    // "def", "defi", "defb", "if", "ifc", "loop", "rep", "call", "callnz", "label", "ret",
    // "break", "breakc", "breakp", "setp", "phase", "nop", ...
    std::string name;
    bool coissue = false;  // `+` before it (ps_1_x): runs beside the instruction before
    // texkill's register is its destination (as the bytecode keeps it); dcl's, def's, defi's and
    // defb's too; setp's is p0, mova's a0.
    bool hasDestination = false;
    DestinationOperand destination;
    // In the order written: texld's coordinates then s#; loop's aL then i#; callnz's l# then b# or
    // p0; if's b# or p0 (with `!` as SourceModifier::Not).
    std::vector<SourceOperand> sources;
    Comparison comparison = Comparison::None;
    bool predicated = false;              // `(p0.x) add ...`, `(!p0) ...`
    SourceOperand predicate;              // when predicated: p0 with its swizzle and Not
    Declaration declaration;              // dcl
    std::array<float, 4> floatValues {};  // def
    std::array<int, 4> intValues {};      // defi (and defb as 0 or 1 in [0])
    SourcePosition position;              // of the instruction's name
};

struct AssembledShader {
    ShaderVersion version;
    std::vector<AssemblyInstruction> instructions;  // the version line excluded, comments gone
};

struct AssemblyResult {
    bool ok = false;
    AssembledShader shader;
    // On failure, one line a fault: "file(line,col): error X5xxx: what rule was broken".
    std::string errors;
};

}  // namespace nvesk::d3dx9
