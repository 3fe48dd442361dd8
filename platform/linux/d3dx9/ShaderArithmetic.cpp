// Arithmetic instructions of every shader version, as the Direct3D 9 reference states them.
#include "ShaderInstructions.h"

#include <map>

namespace nvesk::d3dx9 {

namespace {

// A vector comparison of setp.
const char* VectorComparison(Comparison comparison) {
    switch (comparison) {
    case Comparison::Greater:
        return "greaterThan";
    case Comparison::Equal:
        return "equal";
    case Comparison::GreaterEqual:
        return "greaterThanEqual";
    case Comparison::Less:
        return "lessThan";
    case Comparison::NotEqual:
        return "notEqual";
    case Comparison::LessEqual:
        return "lessThanEqual";
    case Comparison::None:
        break;
    }
    return nullptr;
}

}  // namespace

std::string InstructionTranslator::Helpers() {
    return
        // rcp and rsq give exactly 1 for 1 and +infinity for 0; rsq reads |x|.
        "float fx_rcp(float f) { return f == 0.0 ? uintBitsToFloat(0x7F800000u) : f == 1.0 ? 1.0 : 1.0 / f; }\n"
        "float fx_rsq(float f)\n{\n    float a = abs(f);\n"
        "    return a == 0.0 ? uintBitsToFloat(0x7F800000u) : a == 1.0 ? 1.0 : 1.0 / sqrt(a);\n}\n"
        // log and logp: log2 of |x|, -FLT_MAX for 0.
        "float fx_log(float f) { float a = abs(f); return a == 0.0 ? -3.40282347e+38 : log2(a); }\n"
        // vs_1_1's expp: 2^floor(x), the fraction, 2^x, 1.
        "vec4 fx_expp_1_1(float v) { float f = floor(v); return vec4(exp2(f), v - f, exp2(v), 1.0); }\n"
        // pow raises |x|; 0 to a power other than a positive one is 1 (power 0) or +infinity.
        "float fx_pow(float x, float y)\n{\n    float a = abs(x);\n"
        "    if (a == 0.0) return y > 0.0 ? 0.0 : y == 0.0 ? 1.0 : uintBitsToFloat(0x7F800000u);\n"
        "    return pow(a, y);\n}\n"
        // lit: the power clamped to +-127.9961, the specular term only where both terms are positive.
        "vec4 fx_lit(vec4 s)\n{\n    float power = clamp(s.w, -127.9961, 127.9961);\n"
        "    vec4 d = vec4(1.0, 0.0, 0.0, 1.0);\n"
        "    if (s.x > 0.0) {\n        d.y = s.x;\n        if (s.y > 0.0) d.z = pow(s.y, power);\n    }\n"
        "    return d;\n}\n"
        // nrm scales all four components by 1/sqrt of the xyz length, by FLT_MAX where that is 0
        // (so a zero vector stays zero).
        "vec4 fx_nrm(vec4 v)\n{\n    float f = dot(v.xyz, v.xyz);\n"
        "    return v * (f != 0.0 ? 1.0 / sqrt(f) : 3.40282347e+38);\n}\n";
}

std::string InstructionTranslator::Read(const AssemblyInstruction& instruction, std::size_t source) const {
    return registers_.Read(instruction.sources.at(source));
}

bool InstructionTranslator::Arithmetic(const AssemblyInstruction& instruction, std::string& value, std::string& error) {
    const std::string& name = instruction.name;
    const std::size_t count = instruction.sources.size();
    auto s = [&](std::size_t i) { return Read(instruction, i); };
    auto scalar = [&](std::size_t i) { return registers_.ReadScalar(instruction.sources.at(i)); };
    static const std::map<std::string, std::size_t> kSourceCounts = {
        {"mov", 1},    {"mova", 1}, {"add", 2},  {"sub", 2}, {"mul", 2}, {"mad", 3},  {"dp3", 2},   {"dp4", 2},
        {"rcp", 1},    {"rsq", 1},  {"min", 2},  {"max", 2}, {"slt", 2}, {"sge", 2},  {"exp", 1},   {"expp", 1},
        {"log", 1},    {"logp", 1}, {"lit", 1},  {"dst", 2}, {"lrp", 3}, {"frc", 1},  {"m4x4", 2},  {"m4x3", 2},
        {"m3x4", 2},   {"m3x3", 2}, {"m3x2", 2}, {"pow", 2}, {"crs", 2}, {"sgn", 3},  {"abs", 1},   {"nrm", 1},
        {"dp2add", 3}, {"cmp", 3},  {"cnd", 3},  {"dsx", 1}, {"dsy", 1}, {"setp", 2}, {"sincos", 3}};
    const auto expected = kSourceCounts.find(name);
    if (expected == kSourceCounts.end()) {
        error = "instruction '" + name + "' has no GLSL translation";
        return false;
    }
    // Before shader model 3, sincos and sgn take two sources more (the constants and scratch registers
    // their hardware needed), which their result does not depend on.
    const bool shortForm = (name == "sincos" || name == "sgn") && count == 1;
    if (count != expected->second && !shortForm) {
        error = "instruction '" + name + "' has " + std::to_string(count) + " sources";
        return false;
    }
    if (name == "mov" || name == "mova") {
        value = s(0);
    } else if (name == "add") {
        value = s(0) + " + " + s(1);
    } else if (name == "sub") {
        value = s(0) + " - " + s(1);
    } else if (name == "mul") {
        value = s(0) + " * " + s(1);
    } else if (name == "mad") {
        value = s(0) + " * " + s(1) + " + " + s(2);
    } else if (name == "dp3") {
        value = "vec4(dot((" + s(0) + ").xyz, (" + s(1) + ").xyz))";
    } else if (name == "dp4") {
        value = "vec4(dot(" + s(0) + ", " + s(1) + "))";
    } else if (name == "rcp") {
        value = "vec4(fx_rcp(" + scalar(0) + "))";
    } else if (name == "rsq") {
        value = "vec4(fx_rsq(" + scalar(0) + "))";
    } else if (name == "min" || name == "max") {
        value = name + "(" + s(0) + ", " + s(1) + ")";
    } else if (name == "slt") {
        value = "vec4(lessThan(" + s(0) + ", " + s(1) + "))";
    } else if (name == "sge") {
        value = "vec4(greaterThanEqual(" + s(0) + ", " + s(1) + "))";
    } else if (name == "exp") {
        value = "vec4(exp2(" + scalar(0) + "))";
    } else if (name == "expp") {
        const ShaderVersion& version = registers_.Version();
        value = version.stage == ShaderStage::Vertex && version.major == 1 ? "fx_expp_1_1(" + scalar(0) + ")"
                                                                           : "vec4(exp2(" + scalar(0) + "))";
    } else if (name == "log" || name == "logp") {
        value = "vec4(fx_log(" + scalar(0) + "))";
    } else if (name == "lit") {
        value = "fx_lit(" + s(0) + ")";
    } else if (name == "dst") {
        const std::string a = s(0);
        const std::string b = s(1);
        value = "vec4(1.0, (" + a + ").y * (" + b + ").y, (" + a + ").z, (" + b + ").w)";
    } else if (name == "lrp") {
        value = "mix(" + s(2) + ", " + s(1) + ", " + s(0) + ")";
    } else if (name == "frc") {
        value = "fract(" + s(0) + ")";
    } else if (const int rows = MatrixRows(name); rows != 0) {
        // m4x4 and its kind: one dot product a row, the rows the registers from the second source on.
        const int width = name[1] - '0';
        const std::string vector = width == 4 ? s(0) : "(" + s(0) + ").xyz";
        value = "vec4(";
        for (int row = 0; row < 4; ++row) {
            if (row >= rows) {
                value += ", 0.0";
                continue;
            }
            SourceOperand matrixRow = instruction.sources[1];
            matrixRow.index += row;
            const std::string rowValue = registers_.Read(matrixRow);
            value += std::string(row == 0 ? "" : ", ") + "dot(" + vector + ", " +
                     (width == 4 ? rowValue : "(" + rowValue + ").xyz") + ")";
        }
        value += ")";
    } else if (name == "pow") {
        value = "vec4(fx_pow(" + scalar(0) + ", " + scalar(1) + "))";
    } else if (name == "crs") {
        value = "vec4(cross((" + s(0) + ").xyz, (" + s(1) + ").xyz), 0.0)";
    } else if (name == "sgn") {
        value = "sign(" + s(0) + ")";
    } else if (name == "abs") {
        value = "abs(" + s(0) + ")";
    } else if (name == "nrm") {
        value = "fx_nrm(" + s(0) + ")";
    } else if (name == "sincos") {
        value = "vec4(cos(" + scalar(0) + "), sin(" + scalar(0) + "), 0.0, 0.0)";
    } else if (name == "dp2add") {
        value = "vec4(dot((" + s(0) + ").xy, (" + s(1) + ").xy) + " + scalar(2) + ")";
    } else if (name == "cmp") {
        value = "mix(" + s(2) + ", " + s(1) + ", greaterThanEqual(" + s(0) + ", vec4(0.0)))";
    } else if (name == "cnd") {
        // ps_1_1-1_3 name r0.a as the condition, which the swizzle already replicates.
        value = "mix(" + s(2) + ", " + s(1) + ", greaterThan(" + s(0) + ", vec4(0.5)))";
    } else if (name == "dsx") {
        value = "dFdx(" + s(0) + ")";
    } else if (name == "dsy") {
        value = "dFdy(" + s(0) + ")";
    } else if (name == "setp") {
        const char* comparison = VectorComparison(instruction.comparison);
        if (comparison == nullptr) {
            error = "setp needs a comparison";
            return false;
        }
        value = std::string("vec4(") + comparison + "(" + s(0) + ", " + s(1) + "))";
    }
    return true;
}

bool InstructionTranslator::Translate(const AssemblyInstruction& instruction, InstructionCode& code,
                                      std::string& error) {
    if (Texture(instruction, code, error)) return true;
    if (!error.empty()) return false;
    if (!instruction.hasDestination) {
        error = "instruction '" + instruction.name + "' has no GLSL translation";
        return false;
    }
    std::string value;
    if (!Arithmetic(instruction, value, error)) return false;
    const std::string name = NewName("fx_value");
    code.compute = "vec4 " + name + " = " + value + ";\n";
    code.write = registers_.Write(instruction, name);
    return true;
}

std::string InstructionTranslator::NewName(const char* prefix) {
    return prefix + std::to_string(names_++);
}

}  // namespace nvesk::d3dx9
