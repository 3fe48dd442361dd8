// The legacy compiler's `for` scoping: a variable declared in a `for` statement's first clause
// stays visible after the loop, to the end of the block around it, and a later declaration of
// the same name there is the one used from then on. glslang scopes it to the loop, so the
// declaration moves in front of the loop, into a block that ends with the enclosing one.
#pragma once

#include "EffectLexer.h"
#include "SourceEdit.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// Moves the declarations of the `for` statements among tokens [open, close] (a function body
// and its braces) of `source`. The loop's clause keeps its columns: the type is blanked, the
// declaration goes at the end of the line before the loop where it can.
void HoistForDeclarations(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                          const std::string& source, std::vector<SourceEdit>& edits);

}  // namespace nvesk::d3dx9
