// Numbers written into generated GLSL so that the driver reads back the very same float.
#pragma once

#include <array>
#include <string>

namespace nvesk::d3dx9 {

// A float literal that parses back to `value` exactly; infinities and NaNs by their bits.
std::string FloatLiteral(float value);
std::string Vec4Literal(const std::array<float, 4>& values);

}  // namespace nvesk::d3dx9
