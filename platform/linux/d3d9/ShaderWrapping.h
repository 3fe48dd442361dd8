// Source wrapping that gives every effect program Direct3D 9's rasterisation rules: the user's
// main becomes a function that a main of ours calls, then adjusts the result.
//   vertex:   gl_Position.xy += nvesk_PixelOffset * gl_Position.w   (the half-pixel shift)
//   fragment: the alpha test of D3DRS_ALPHAFUNC against D3DRS_ALPHAREF on the COLOR0 output
#pragma once

#include <string>

namespace nvesk::d3d9 {

inline constexpr const char* kPixelOffsetUniform = "nvesk_PixelOffset";
inline constexpr const char* kAlphaFunctionUniform = "nvesk_AlphaFunction";
inline constexpr const char* kAlphaReferenceUniform = "nvesk_AlphaReference";

// `generated`: the device's own source, which may use the reserved nvesk_ prefix.
bool WrapVertexShader(const std::string& source, std::string* wrapped, std::string* error, bool generated = false);

// colorOutput: the fragment output to test; empty = the shader's only "out vec4".
bool WrapFragmentShader(const std::string& source, const std::string& colorOutput, std::string* wrapped,
                        std::string* error, bool generated = false);

}  // namespace nvesk::d3d9
