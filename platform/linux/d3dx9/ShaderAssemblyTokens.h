// Splits the text of a shader assembly program into words, numbers and symbols, each with its
// position in the effect file. `//`, `;` and `/* */` comments are skipped: the effect
// preprocessor has already run, and `;` comments pass through it.
#pragma once

#include "EffectLexer.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class AssemblyTokenKind { Word, Number, Symbol, End };

struct AssemblyToken {
    AssemblyTokenKind kind = AssemblyTokenKind::End;
    std::string text;
    SourcePosition position;  // in the effect file
};

struct AssemblyTokens {
    std::vector<AssemblyToken> tokens;  // always ends with one End token
    bool ok = true;
    SourcePosition errorPosition;  // an unterminated comment or a character the language lacks
    std::string error;
};

// Positions count from `start`: the text's first line is `start.line`, and its first column there
// is `start.column`.
AssemblyTokens TokenizeAssembly(const std::string& text, SourcePosition start);

}  // namespace nvesk::d3dx9
