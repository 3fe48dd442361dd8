// Splits effect source text into tokens that remember where they stand, so that every message
// about the effect can name the line and column of the user's text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class TokenKind { Identifier, Number, String, Symbol, End };

struct SourcePosition {
    int line = 1;    // 1-based
    int column = 1;  // 1-based, in bytes
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    SourcePosition position;
    std::size_t offset = 0;  // into the source text
    std::size_t length = 0;
};

struct LexResult {
    std::vector<Token> tokens;  // always ends with one End token
    bool ok = true;
    SourcePosition errorPosition;
    std::string error;
};

// Comments are skipped; preprocessor lines are left to the HLSL compiler and skipped here.
LexResult Tokenize(const std::string& source);

// A letter, digit or underscore: a character that continues an identifier or a number.
bool IsIdentifierPart(char c);

}  // namespace nvesk::d3dx9
