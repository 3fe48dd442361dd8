// Matrix swizzles of more than one element (`m._m00_m11`, `m._11_22_33`): glslang reads one
// element (`m._m01`) but builds wrong code for more ("Missing functionality: matrix swizzle"),
// so each becomes a vector of the single elements: `float2(m._m00, m._m11)`.
#pragma once

#include "EffectLexer.h"
#include "SourceEdit.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// Rewrites the matrix swizzles read in the function body of tokens [open, close] of `source`.
// One that is written (`m._m00_m11 = ...`) is left for the compiler to refuse.
void ExpandMatrixSwizzles(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                          const std::string& source, std::vector<SourceEdit>& edits);

}  // namespace nvesk::d3dx9
