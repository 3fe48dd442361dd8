// The instructions of each shader assembly version: their operands, the slots they take and the
// versions that have them, as the Direct3D 9 shader-model reference lists them.
#pragma once

#include "ShaderAssembly.h"

#include <array>
#include <string>

namespace nvesk::d3dx9 {

// One bit a version, so that an instruction or a rule names the versions it holds for.
enum VersionBits : unsigned {
    kVs11 = 1u << 0,
    kVs20 = 1u << 1,
    kVs2x = 1u << 2,
    kVs30 = 1u << 3,
    kPs11 = 1u << 4,
    kPs12 = 1u << 5,
    kPs13 = 1u << 6,
    kPs14 = 1u << 7,
    kPs20 = 1u << 8,
    kPs2x = 1u << 9,
    kPs30 = 1u << 10,
};
constexpr unsigned kVertexVersions = kVs11 | kVs20 | kVs2x | kVs30;
constexpr unsigned kPixel1Versions = kPs11 | kPs12 | kPs13 | kPs14;
constexpr unsigned kPixel13Versions = kPs11 | kPs12 | kPs13;
constexpr unsigned kPixel2Versions = kPs20 | kPs2x | kPs30;

unsigned VersionBit(const ShaderVersion& version);
std::string VersionName(const ShaderVersion& version);  // "ps_2_x"

enum class InstructionKind {
    Setup,  // dcl, def, defi, defb: no slot
    Arithmetic,
    Texture,  // texture addressing and sampling (the texture slots of ps_1_x and ps_2_0)
    FlowControl,
    Phase,  // ps_1_4's phase
};

// What the destination operand is.
enum class DestinationRole {
    None,
    Value,          // a register written with a write mask (texkill's register too, as the bytecode keeps it)
    Address,        // mova a0
    Predicate,      // setp p0
    Declared,       // dcl
    FloatConstant,  // def c#
    IntConstant,    // defi i#
    BoolConstant,   // defb b#
};

// What each source operand is.
enum class SourceRole {
    Value,        // a float register, read through its swizzle and modifier
    Sampler,      // s#
    Label,        // l#
    Condition,    // b# (static) or p0 with one component (dynamic), either with `!`
    IntConstant,  // i# of rep and loop
    LoopCounter,  // aL of loop
    Predicate,    // p0 with one component, of breakp
};

struct InstructionInfo {
    const char* name;
    unsigned versions;
    InstructionKind kind;
    DestinationRole destination;
    int sourceCount;
    std::array<SourceRole, 4> sources;
    int slots;            // of its kind (texture or arithmetic) where a version counts them apart
    int cubeSlots;        // when its sampler is a cube map, 0 where the same
    int extraArithmetic;  // arithmetic slots besides (texbeml)
    int matrixRows;       // m4x4 ...: the second source names this many consecutive registers
    bool comparison;      // ifc, breakc, setp: a _gt ... _le suffix
};

enum class InstructionLookup { Found, Unknown, NotInVersion };

// The entry of `name` (lower case, the IR's name) for `version`.
InstructionLookup FindInstruction(const std::string& name, const ShaderVersion& version, const InstructionInfo*& info);

}  // namespace nvesk::d3dx9
