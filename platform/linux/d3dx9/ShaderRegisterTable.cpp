#include "ShaderRegisterTable.h"

#include "ShaderInstructionTable.h"

#include <cctype>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

using T = RegisterType;

struct VersionFiles {
    unsigned versions;
    RegisterFile file;
};

constexpr bool kWritable = true;
constexpr bool kReadOnly = false;

// Files whose count or rules change between versions get one row per group of versions.
const std::vector<VersionFiles>& Files() {
    static const std::vector<VersionFiles> files = {
        // Vertex shaders
        {kVs11 | kVs20, {T::Temp, 12, kWritable, 3, false, false, false}},
        {kVs2x | kVs30, {T::Temp, 32, kWritable, 3, false, false, false}},
        {kVs11 | kVs20 | kVs2x, {T::Input, 16, kReadOnly, 1, false, false, true}},
        {kVs30, {T::Input, 16, kReadOnly, 1, true, true, true}},
        {kVs11, {T::Const, 96, kReadOnly, 1, true, false, false}},
        {kVs20 | kVs2x | kVs30, {T::Const, 256, kReadOnly, 1, true, true, false}},
        {kVertexVersions, {T::Address, 1, kWritable, 1, false, false, false}},
        {kVs20 | kVs2x | kVs30, {T::ConstBool, 16, kReadOnly, 1, false, false, false}},
        {kVs20 | kVs2x | kVs30, {T::ConstInt, 16, kReadOnly, 1, false, false, false}},
        {kVs20 | kVs2x | kVs30, {T::Loop, 1, kReadOnly, 1, false, false, false}},
        {kVs20 | kVs2x, {T::Label, 16, kReadOnly, 1, false, false, false}},
        {kVs30, {T::Label, 2048, kReadOnly, 1, false, false, false}},
        {kVs2x | kVs30, {T::Predicate, 1, kWritable, 1, false, false, false}},
        {kVs30, {T::Sampler, 4, kReadOnly, 1, false, false, true}},
        {kVs11 | kVs20 | kVs2x, {T::RastOut, 3, kWritable, 1, false, false, false}},
        {kVs11 | kVs20 | kVs2x, {T::AttrOut, 2, kWritable, 1, false, false, false}},
        {kVs11 | kVs20 | kVs2x, {T::TexCoordOut, 8, kWritable, 1, false, false, false}},
        {kVs30, {T::Output, 12, kWritable, 1, false, true, true}},

        // ps_1_x: t# holds texture data or coordinates, written by the texture instructions (and by
        // arithmetic before 1_4); in ps_1_4 it holds read-only coordinates.
        {kPixel1Versions, {T::Const, 8, kReadOnly, 2, false, false, false}},
        {kPixel13Versions, {T::Temp, 2, kWritable, 2, false, false, false}},
        {kPs14, {T::Temp, 6, kWritable, 3, false, false, false}},
        {kPs11, {T::Texture, 4, kWritable, 2, false, false, false}},
        {kPs12 | kPs13, {T::Texture, 4, kWritable, 3, false, false, false}},
        {kPs14, {T::Texture, 6, kReadOnly, 1, false, false, false}},
        {kPixel1Versions, {T::Input, 2, kReadOnly, 2, false, false, false}},

        // ps_2_0 and later
        {kPs20, {T::Temp, 12, kWritable, 3, false, false, false}},
        {kPs2x | kPs30, {T::Temp, 32, kWritable, 3, false, false, false}},
        {kPs20 | kPs2x, {T::Input, 2, kReadOnly, 1, false, false, true}},
        {kPs30, {T::Input, 10, kReadOnly, 1, false, true, true}},
        {kPs20 | kPs2x, {T::Const, 32, kReadOnly, 1, false, false, false}},
        {kPs30, {T::Const, 224, kReadOnly, 1, false, false, false}},
        {kPs20 | kPs2x, {T::Texture, 8, kReadOnly, 1, false, false, true}},
        {kPixel2Versions, {T::Sampler, 16, kReadOnly, 1, false, false, true}},
        {kPs2x | kPs30, {T::ConstBool, 16, kReadOnly, 1, false, false, false}},
        {kPs2x | kPs30, {T::ConstInt, 16, kReadOnly, 1, false, false, false}},
        {kPs2x | kPs30, {T::Predicate, 1, kWritable, 1, false, false, false}},
        {kPs2x, {T::Label, 16, kReadOnly, 1, false, false, false}},
        {kPs30, {T::Label, 2048, kReadOnly, 1, false, false, false}},
        {kPs30, {T::Loop, 1, kReadOnly, 1, false, false, false}},
        {kPs30, {T::MiscType, 2, kReadOnly, 1, false, false, true}},
        {kPixel2Versions, {T::ColorOut, 4, kWritable, 1, false, false, false}},
        {kPixel2Versions, {T::DepthOut, 1, kWritable, 1, false, false, false}},
    };
    return files;
}

bool ReadNumber(const std::string& text, std::size_t from, int& value) {
    if (from >= text.size() || text.size() - from > 5) return false;
    value = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

const RegisterFile* FindRegisterFile(const ShaderVersion& version, RegisterType type) {
    const unsigned bit = VersionBit(version);
    for (const VersionFiles& files : Files()) {
        if ((files.versions & bit) && files.file.type == type) return &files.file;
    }
    return nullptr;
}

bool ParseRegisterName(const std::string& lowered, RegisterType& type, int& index, bool& hasIndex) {
    struct Named {
        const char* name;
        RegisterType type;
        int index;
    };
    static const Named kNamed[] = {
        {"opos", T::RastOut, 0},  {"ofog", T::RastOut, 1},   {"opts", T::RastOut, 2}, {"odepth", T::DepthOut, 0},
        {"vpos", T::MiscType, 0}, {"vface", T::MiscType, 1}, {"al", T::Loop, 0},
    };
    for (const Named& named : kNamed) {
        if (lowered == named.name) {
            type = named.type;
            index = named.index;
            hasIndex = true;
            return true;
        }
    }
    struct Prefix {
        const char* prefix;
        RegisterType type;
    };
    // Longer prefixes first: "od1" before "o1".
    static const Prefix kPrefixes[] = {
        {"od", T::AttrOut},  {"ot", T::TexCoordOut}, {"oc", T::ColorOut}, {"o", T::Output},    {"r", T::Temp},
        {"v", T::Input},     {"c", T::Const},        {"i", T::ConstInt},  {"b", T::ConstBool}, {"a", T::Address},
        {"p", T::Predicate}, {"s", T::Sampler},      {"t", T::Texture},   {"l", T::Label},
    };
    for (const Prefix& prefix : kPrefixes) {
        const std::size_t length = std::char_traits<char>::length(prefix.prefix);
        if (lowered.compare(0, length, prefix.prefix) != 0) continue;
        type = prefix.type;
        if (lowered.size() == length) {
            index = 0;
            hasIndex = false;
            return true;
        }
        hasIndex = true;
        return ReadNumber(lowered, length, index);
    }
    return false;
}

std::string RegisterText(RegisterType type, int index) {
    const std::string number = std::to_string(index);
    switch (type) {
    case T::Temp:
        return "r" + number;
    case T::Input:
        return "v" + number;
    case T::Const:
        return "c" + number;
    case T::Address:
        return "a" + number;
    case T::Texture:
        return "t" + number;
    case T::RastOut:
        return index == 0 ? "oPos" : index == 1 ? "oFog" : "oPts";
    case T::AttrOut:
        return "oD" + number;
    case T::TexCoordOut:
        return "oT" + number;
    case T::Output:
        return "o" + number;
    case T::ConstInt:
        return "i" + number;
    case T::ColorOut:
        return "oC" + number;
    case T::DepthOut:
        return "oDepth";
    case T::Sampler:
        return "s" + number;
    case T::ConstBool:
        return "b" + number;
    case T::Loop:
        return "aL";
    case T::MiscType:
        return index == 0 ? "vPos" : "vFace";
    case T::Label:
        return "l" + number;
    case T::Predicate:
        return "p" + number;
    }
    return number;
}

}  // namespace nvesk::d3dx9
