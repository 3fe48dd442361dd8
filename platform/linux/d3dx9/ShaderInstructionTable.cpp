#include "ShaderInstructionTable.h"

#include <vector>

namespace nvesk::d3dx9 {

namespace {

constexpr unsigned kVs2 = kVs20 | kVs2x | kVs30;
constexpr unsigned kVs2x30 = kVs2x | kVs30;
constexpr unsigned kPs2x30 = kPs2x | kPs30;
constexpr unsigned kAll = kVertexVersions | kPixel1Versions | kPixel2Versions;
constexpr unsigned kFlow = kVs2 | kPs2x30;        // static flow control
constexpr unsigned kDynamic = kVs2x30 | kPs2x30;  // dynamic flow control and predication

using R = SourceRole;

InstructionInfo Entry(const char* name, unsigned versions, InstructionKind kind, DestinationRole destination,
                      int sourceCount, std::array<SourceRole, 4> sources, int slots) {
    return {name, versions, kind, destination, sourceCount, sources, slots, 0, 0, 0, false};
}

// An arithmetic instruction writing a register from `sourceCount` float sources.
InstructionInfo Arithmetic(const char* name, unsigned versions, int sourceCount, int slots) {
    return Entry(name, versions, InstructionKind::Arithmetic, DestinationRole::Value, sourceCount, {}, slots);
}

InstructionInfo Matrix(const char* name, unsigned versions, int rows) {
    InstructionInfo info = Arithmetic(name, versions, 2, rows);
    info.matrixRows = rows;
    return info;
}

// A texture instruction of ps_1_x: destination t# (r# in ps_1_4) and `sourceCount` registers.
InstructionInfo Texture(const char* name, unsigned versions, int sourceCount) {
    return Entry(name, versions, InstructionKind::Texture, DestinationRole::Value, sourceCount, {}, 1);
}

// A sampling instruction of ps_2_0 and later: destination, coordinates, sampler (and gradients).
InstructionInfo Sampling(const char* name, unsigned versions, int slots, int cubeSlots) {
    InstructionInfo info =
        Entry(name, versions, InstructionKind::Texture, DestinationRole::Value, 2, {R::Value, R::Sampler}, slots);
    info.cubeSlots = cubeSlots;
    return info;
}

InstructionInfo Flow(const char* name, unsigned versions, int sourceCount, std::array<SourceRole, 4> sources,
                     int slots) {
    return Entry(name, versions, InstructionKind::FlowControl, DestinationRole::None, sourceCount, sources, slots);
}

InstructionInfo Compared(InstructionInfo info) {
    info.comparison = true;
    return info;
}

InstructionInfo Setup(const char* name, unsigned versions, DestinationRole destination) {
    return Entry(name, versions, InstructionKind::Setup, destination, 0, {}, 0);
}

std::vector<InstructionInfo> BuildTable() {
    std::vector<InstructionInfo> table = {
        // Setup
        Setup("dcl", kVertexVersions | kPixel2Versions, DestinationRole::Declared),
        Setup("def", kAll, DestinationRole::FloatConstant),
        Setup("defi", kVs2 | kPs2x30, DestinationRole::IntConstant),
        Setup("defb", kVs2 | kPs2x30, DestinationRole::BoolConstant),
        Entry("phase", kPs14, InstructionKind::Phase, DestinationRole::None, 0, {}, 0),

        // Arithmetic on every version
        Arithmetic("add", kAll, 2, 1),
        Arithmetic("sub", kAll, 2, 1),
        Arithmetic("mul", kAll, 2, 1),
        Arithmetic("mad", kAll, 3, 1),
        Arithmetic("mov", kAll, 1, 1),
        Arithmetic("dp3", kAll, 2, 1),
        Arithmetic("dp4", kVertexVersions | kPs14 | kPixel2Versions, 2, 1),
        Arithmetic("dp4", kPs12 | kPs13, 2, 2),
        Entry("nop", kVertexVersions | kPixel2Versions, InstructionKind::Arithmetic, DestinationRole::None, 0, {}, 1),
        Entry("nop", kPixel1Versions, InstructionKind::Arithmetic, DestinationRole::None, 0, {}, 0),
        Arithmetic("lrp", kPixel1Versions, 3, 1),
        Arithmetic("lrp", kVs2 | kPixel2Versions, 3, 2),

        // Pixel shader arithmetic
        Arithmetic("cnd", kPixel1Versions, 3, 1),
        Arithmetic("cmp", kPs14 | kPixel2Versions, 3, 1),
        Arithmetic("cmp", kPs12 | kPs13, 3, 2),
        Arithmetic("bem", kPs14, 2, 2),
        Arithmetic("dp2add", kPixel2Versions, 3, 2),
        Arithmetic("dsx", kPs2x30, 1, 2),
        Arithmetic("dsy", kPs2x30, 1, 2),

        // Vertex shader arithmetic, and what ps_2_0 shares of it
        Arithmetic("abs", kVs2 | kPixel2Versions, 1, 1),
        Arithmetic("crs", kVs2 | kPixel2Versions, 2, 2),
        Arithmetic("exp", kVs11, 1, 10),
        Arithmetic("exp", kVs2 | kPixel2Versions, 1, 1),
        Arithmetic("expp", kVertexVersions, 1, 1),
        Arithmetic("log", kVs11, 1, 10),
        Arithmetic("log", kVs2 | kPixel2Versions, 1, 1),
        Arithmetic("logp", kVertexVersions, 1, 1),
        Arithmetic("frc", kVs11, 1, 3),
        Arithmetic("frc", kVs2 | kPixel2Versions, 1, 1),
        Arithmetic("lit", kVs11, 1, 1),
        Arithmetic("lit", kVs2, 1, 3),
        Arithmetic("dst", kVertexVersions, 2, 1),
        Matrix("m3x2", kVertexVersions | kPixel2Versions, 2),
        Matrix("m3x3", kVertexVersions | kPixel2Versions, 3),
        Matrix("m3x4", kVertexVersions | kPixel2Versions, 4),
        Matrix("m4x3", kVertexVersions | kPixel2Versions, 3),
        Matrix("m4x4", kVertexVersions | kPixel2Versions, 4),
        Arithmetic("max", kVertexVersions | kPixel2Versions, 2, 1),
        Arithmetic("min", kVertexVersions | kPixel2Versions, 2, 1),
        Entry("mova", kVs2, InstructionKind::Arithmetic, DestinationRole::Address, 1, {}, 1),
        Arithmetic("nrm", kVs2 | kPixel2Versions, 1, 3),
        Arithmetic("pow", kVs2 | kPixel2Versions, 2, 3),
        Arithmetic("rcp", kVertexVersions | kPixel2Versions, 1, 1),
        Arithmetic("rsq", kVertexVersions | kPixel2Versions, 1, 1),
        Arithmetic("sge", kVertexVersions, 2, 1),
        Arithmetic("slt", kVertexVersions, 2, 1),
        // Before 3.0, sgn and sincos take two scratch registers (sincos: constants) besides.
        Arithmetic("sgn", kVs20 | kVs2x, 3, 3),
        Arithmetic("sgn", kVs30, 1, 3),
        Arithmetic("sincos", kVs20 | kVs2x | kPs20 | kPs2x, 3, 8),
        Arithmetic("sincos", kVs30 | kPs30, 1, 8),

        // ps_1_x texture instructions
        Texture("tex", kPixel13Versions, 0),
        Texture("texcoord", kPixel13Versions, 0),
        Texture("texbem", kPixel13Versions, 1),
        Texture("texbeml", kPixel13Versions, 1),
        Texture("texreg2ar", kPixel13Versions, 1),
        Texture("texreg2gb", kPixel13Versions, 1),
        Texture("texreg2rgb", kPs12 | kPs13, 1),
        Texture("texm3x2pad", kPixel13Versions, 1),
        Texture("texm3x2tex", kPixel13Versions, 1),
        Texture("texm3x2depth", kPs13, 1),
        Texture("texm3x3pad", kPixel13Versions, 1),
        Texture("texm3x3tex", kPixel13Versions, 1),
        Texture("texm3x3spec", kPixel13Versions, 2),
        Texture("texm3x3vspec", kPixel13Versions, 1),
        Texture("texm3x3", kPs12 | kPs13, 1),
        Texture("texdp3", kPs12 | kPs13, 1),
        Texture("texdp3tex", kPs12 | kPs13, 1),
        Texture("texcrd", kPs14, 1),
        Texture("texdepth", kPs14, 0),
        Texture("texld", kPs14, 1),
        Texture("texkill", kPixel1Versions | kPs20 | kPs2x, 0),
        Entry("texkill", kPs30, InstructionKind::Texture, DestinationRole::Value, 0, {}, 2),

        // Sampling, ps_2_0 and later, vs_3_0
        Sampling("texld", kPs20 | kPs2x, 1, 0),
        Sampling("texld", kPs30, 1, 4),
        Sampling("texldb", kPs20 | kPs2x, 1, 0),
        Sampling("texldb", kPs30, 6, 0),
        Sampling("texldp", kPs20 | kPs2x, 1, 0),
        Sampling("texldp", kPs30, 3, 4),
        Sampling("texldl", kPs30 | kVs30, 2, 5),
        Entry("texldd", kPs2x30, InstructionKind::Texture, DestinationRole::Value, 4,
              {R::Value, R::Sampler, R::Value, R::Value}, 3),

        // Flow control
        Flow("if", kFlow, 1, {R::Condition}, 3),
        Compared(Flow("ifc", kDynamic, 2, {}, 3)),
        Flow("else", kFlow, 0, {}, 1),
        Flow("endif", kFlow, 0, {}, 1),
        Flow("loop", kVs2 | kPs30, 2, {R::LoopCounter, R::IntConstant}, 3),
        Flow("endloop", kVs2 | kPs30, 0, {}, 2),
        Flow("rep", kFlow, 1, {R::IntConstant}, 3),
        Flow("endrep", kFlow, 0, {}, 2),
        Flow("call", kFlow, 1, {R::Label}, 2),
        Flow("callnz", kFlow, 2, {R::Label, R::Condition}, 3),
        Flow("label", kFlow, 1, {R::Label}, 0),
        Flow("ret", kFlow, 0, {}, 1),
        Flow("break", kDynamic, 0, {}, 1),
        Compared(Flow("breakc", kDynamic, 2, {}, 3)),
        Flow("breakp", kDynamic, 1, {R::Predicate}, 3),
        Compared(Entry("setp", kDynamic, InstructionKind::FlowControl, DestinationRole::Predicate, 2, {}, 1)),
    };
    for (InstructionInfo& info : table) {
        if (info.name == std::string("texbeml")) info.extraArithmetic = 1;
    }
    return table;
}

const std::vector<InstructionInfo>& Table() {
    static const std::vector<InstructionInfo> table = BuildTable();
    return table;
}

}  // namespace

unsigned VersionBit(const ShaderVersion& version) {
    if (version.stage == ShaderStage::Vertex) {
        if (version.major == 1) return kVs11;
        if (version.major == 2) return version.extended ? kVs2x : kVs20;
        return kVs30;
    }
    if (version.major == 1) return kPs11 << (version.minor - 1);
    if (version.major == 2) return version.extended ? kPs2x : kPs20;
    return kPs30;
}

std::string VersionName(const ShaderVersion& version) {
    std::string name = version.stage == ShaderStage::Vertex ? "vs_" : "ps_";
    name += std::to_string(version.major) + "_";
    name += version.extended ? std::string("x") : std::to_string(version.minor);
    return name;
}

InstructionLookup FindInstruction(const std::string& name, const ShaderVersion& version, const InstructionInfo*& info) {
    const unsigned bit = VersionBit(version);
    bool named = false;
    for (const InstructionInfo& entry : Table()) {
        if (name != entry.name) continue;
        named = true;
        if (entry.versions & bit) {
            info = &entry;
            return InstructionLookup::Found;
        }
    }
    return named ? InstructionLookup::NotInVersion : InstructionLookup::Unknown;
}

}  // namespace nvesk::d3dx9
