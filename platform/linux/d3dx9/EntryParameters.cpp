#include "EntryParameters.h"

#include <set>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

bool IsSymbol(const Token& token, const char* text) {
    return token.kind == TokenKind::Symbol && token.text == text;
}

// Words that qualify a parameter's type without being its name.
bool IsModifier(const std::string& word) {
    static const std::set<std::string> kModifiers = {
        "in",           "out",      "inout",  "uniform",         "const",         "precise",
        "linear",       "centroid", "sample", "nointerpolation", "noperspective", "row_major",
        "column_major", "point",    "line",   "triangle",        "lineadj",       "triangleadj",
        "unsigned",     "snorm",    "unorm",  "static",          "volatile",      "globallycoherent"};
    return kModifiers.count(word) != 0;
}

// One parameter's tokens [begin, end): named when, before its semantic or default value and
// outside template arguments, a word follows the type.
bool HasName(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    int angles = 0;
    int words = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const Token& token = tokens[i];
        if (angles == 0 && (IsSymbol(token, ":") || IsSymbol(token, "="))) break;
        if (IsSymbol(token, "<") && i > begin && tokens[i - 1].kind == TokenKind::Identifier) ++angles;
        if (IsSymbol(token, ">") && angles > 0) --angles;
        if (IsSymbol(token, "[") && angles == 0) break;  // array sizes follow the name
        if (token.kind == TokenKind::Identifier && angles == 0 && !IsModifier(token.text)) ++words;
    }
    return words >= 2;
}

// The parameters between the parentheses at `open` and `close`; false with `where` at the first
// without a name.
bool AllNamed(const std::vector<Token>& tokens, std::size_t open, std::size_t close, SourcePosition& where) {
    if (close == open + 1) return true;
    if (close == open + 2 && tokens[open + 1].kind == TokenKind::Identifier && tokens[open + 1].text == "void") {
        return true;
    }
    int depth = 0;
    int angles = 0;
    bool inValue = false;  // past a semantic or default value, where '<' compares
    std::size_t first = open + 1;
    for (std::size_t i = open + 1; i <= close; ++i) {
        const Token& token = tokens[i];
        if (IsSymbol(token, "(") || IsSymbol(token, "[") || IsSymbol(token, "{")) ++depth;
        if ((IsSymbol(token, ")") || IsSymbol(token, "]") || IsSymbol(token, "}")) && i != close) --depth;
        if (!inValue && IsSymbol(token, "<") && tokens[i - 1].kind == TokenKind::Identifier) ++angles;
        if (!inValue && IsSymbol(token, ">") && angles > 0) --angles;
        if (depth == 0 && angles == 0 && (IsSymbol(token, ":") || IsSymbol(token, "="))) inValue = true;
        if (!(i == close || (depth == 0 && angles == 0 && IsSymbol(token, ",")))) continue;
        if (!HasName(tokens, first, i)) {
            where = tokens[first < i ? first : i].position;
            return false;
        }
        first = i + 1;
        inValue = false;
    }
    return true;
}

}  // namespace

bool FindUnnamedEntryParameter(const std::string& hlsl, const std::string& entry, SourcePosition& where) {
    const LexResult lexed = Tokenize(hlsl);
    if (!lexed.ok) return false;  // glslang reports the text itself
    const std::vector<Token>& tokens = lexed.tokens;
    int braces = 0;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (IsSymbol(token, "{")) ++braces;
        if (IsSymbol(token, "}") && braces > 0) --braces;
        if (braces != 0 || token.kind != TokenKind::Identifier || token.text != entry ||
            !IsSymbol(tokens[i + 1], "(")) {
            continue;
        }
        // The matching parenthesis, then a body after any semantics: a definition.
        std::size_t close = i + 1;
        for (int depth = 0; close < tokens.size(); ++close) {
            if (IsSymbol(tokens[close], "(")) ++depth;
            if (IsSymbol(tokens[close], ")") && --depth == 0) break;
        }
        if (close >= tokens.size()) return false;
        std::size_t after = close + 1;
        while (after < tokens.size() && !IsSymbol(tokens[after], "{") && !IsSymbol(tokens[after], ";") &&
               tokens[after].kind != TokenKind::End) {
            ++after;
        }
        if (after < tokens.size() && IsSymbol(tokens[after], "{") && !AllNamed(tokens, i + 1, close, where)) {
            return true;
        }
    }
    return false;
}

}  // namespace nvesk::d3dx9
