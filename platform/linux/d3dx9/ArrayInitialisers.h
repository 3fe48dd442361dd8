// Initialisers of arrays of arrays as HLSL takes them: `float d[2][2] = { 1, 2, 3, 4 };` fills
// the elements in order, as does the nested `{ { 1, 2 }, { 3, 4 } }`. glslang takes only the
// nested form, so a flat list is given the braces of the array's outer dimensions.
#pragma once

#include "EffectLexer.h"
#include "SourceEdit.h"

#include <functional>
#include <optional>
#include <vector>

namespace nvesk::d3dx9 {

// The value of the constant expression of tokens [first, last), empty when it is none.
using ConstantEvaluator = std::function<std::optional<long long>(std::size_t first, std::size_t last)>;

// Every `name[a][b]... = { flat list }` among `tokens` (declarations at any scope) gets its braces.
void NestArrayInitialisers(const std::vector<Token>& tokens, const ConstantEvaluator& evaluate,
                           std::vector<SourceEdit>& edits);

}  // namespace nvesk::d3dx9
