#include "GlslLiterals.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace nvesk::d3dx9 {

std::string FloatLiteral(float value) {
    if (!std::isfinite(value)) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        char text[40];
        std::snprintf(text, sizeof text, "uintBitsToFloat(0x%08Xu)", static_cast<unsigned>(bits));
        return text;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string literal = text;
    // "1" or "1e+20" would be an int or need a point to be a float in every GLSL version.
    if (literal.find_first_of(".e") == std::string::npos) literal += ".0";
    return literal;
}

std::string Vec4Literal(const std::array<float, 4>& values) {
    return "vec4(" + FloatLiteral(values[0]) + ", " + FloatLiteral(values[1]) + ", " + FloatLiteral(values[2]) + ", " +
           FloatLiteral(values[3]) + ")";
}

}  // namespace nvesk::d3dx9
