// Whether HLSL text can hold a value with one row or column (float1, int3x1, vector<float, 1>...),
// which glslang cannot size in a mul(); the compiler guards such sources' mul calls.
#pragma once

#include <string>

namespace nvesk::d3dx9 {

// A word that is a scalar type name followed by 1, [1-4]x1 or 1x[1-4], or a vector< or matrix<
// whose arguments before the next '>' hold the word 1. One pass over the text.
bool MayHoldOneWideValues(const std::string& hlsl);

}  // namespace nvesk::d3dx9
