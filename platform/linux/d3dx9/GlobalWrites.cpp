#include "GlobalWrites.h"

#include <algorithm>
#include <set>

namespace nvesk::d3dx9 {

namespace {

constexpr char kRenamedUniform[] = "fx_uniform_";

bool IsSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.text.size() == 1 && token.text[0] == symbol;
}

bool Adjacent(const Token& a, const Token& b) {
    return a.offset + a.length == b.offset;
}

// Words after which a name is no declaration (`return g;`).
bool IsStatementWord(const std::string& word) {
    static const std::set<std::string> kWords = {"return", "else", "do", "case", "goto", "break", "continue"};
    return kWords.count(word) != 0;
}

// Whether token `at` is the `>` that ends a type `vector<float, 3>` or `matrix<float, 2, 2>`.
bool ClosesTemplateType(const std::vector<Token>& tokens, std::size_t at, std::size_t open) {
    if (!IsSymbol(tokens[at], '>')) return false;
    for (std::size_t i = at; i > open + 1; --i) {
        const Token& token = tokens[i - 1];
        if (IsSymbol(token, '<'))
            return tokens[i - 2].kind == TokenKind::Identifier &&
                   (tokens[i - 2].text == "vector" || tokens[i - 2].text == "matrix");
        if (token.kind == TokenKind::Symbol && !IsSymbol(token, ',')) return false;
    }
    return false;
}

// Whether the name at `at` is assigned, incremented or decremented, through any member and
// index accesses that follow it.
bool IsWritten(const std::vector<Token>& tokens, std::size_t at, std::size_t close) {
    if (at >= 2 && (IsSymbol(tokens[at - 1], '+') || IsSymbol(tokens[at - 1], '-')) &&
        tokens[at - 2].text == tokens[at - 1].text && Adjacent(tokens[at - 2], tokens[at - 1])) {
        return true;  // ++g, --g
    }
    std::size_t next = at + 1;
    while (next + 1 < close) {
        if (IsSymbol(tokens[next], '.') && tokens[next + 1].kind == TokenKind::Identifier) {
            next += 2;
        } else if (IsSymbol(tokens[next], '[')) {
            int depth = 0;
            for (; next < close; ++next) {
                if (IsSymbol(tokens[next], '[')) ++depth;
                if (IsSymbol(tokens[next], ']') && --depth == 0) break;
            }
            ++next;
        } else {
            break;
        }
    }
    if (next + 1 >= close) return false;
    const Token& first = tokens[next];
    const Token& second = tokens[next + 1];
    if (IsSymbol(first, '=')) return !(IsSymbol(second, '=') && Adjacent(first, second));
    if (first.kind != TokenKind::Symbol || !Adjacent(first, second)) return false;
    const char op = first.text[0];
    if ((op == '+' || op == '-') && second.text == first.text) return true;  // g++, g--
    if (std::string("+-*/%&|^").find(op) != std::string::npos && IsSymbol(second, '=')) return true;
    // <<= and >>=
    return (op == '<' || op == '>') && second.text == first.text && next + 2 < close &&
           IsSymbol(tokens[next + 2], '=') && Adjacent(second, tokens[next + 2]);
}

// Whether the name at `at` is a whole argument of a call to an `out` or `inout` parameter.
bool IsOutArgument(const std::vector<Token>& tokens, std::size_t at, std::size_t open, const OutParameters& outs) {
    // Back to the call's opening bracket, counting the arguments before this one.
    std::size_t argument = 0;
    int depth = 0;
    std::size_t i = at;
    for (; i > open; --i) {
        const Token& token = tokens[i - 1];
        if (IsSymbol(token, ')') || IsSymbol(token, ']')) ++depth;
        if ((IsSymbol(token, '(') || IsSymbol(token, '[')) && depth-- == 0) break;
        if (depth == 0 && IsSymbol(token, ',')) ++argument;
    }
    if (i <= open + 1 || !IsSymbol(tokens[i - 1], '(') || tokens[i - 2].kind != TokenKind::Identifier) return false;
    const auto function = outs.find(tokens[i - 2].text);
    return function != outs.end() && argument < function->second.size() && function->second[argument] &&
           (IsSymbol(tokens[at - 1], '(') || IsSymbol(tokens[at - 1], ','));
}

}  // namespace

std::vector<GlobalWrite> FindGlobalWrites(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                                          const std::map<std::string, UniformGlobal>& uniforms,
                                          const std::vector<std::string>& parameters, const OutParameters& outs) {
    std::vector<GlobalWrite> writes;
    std::vector<std::set<std::string>> scopes(1, std::set<std::string>(parameters.begin(), parameters.end()));
    auto hidden = [&](const std::string& name) {
        for (const auto& scope : scopes) {
            if (scope.count(name) != 0) return true;
        }
        return false;
    };
    bool declaring = false;  // inside `float a = 1, b;` until its `;`
    int depth = 0;           // brackets within the statement
    for (std::size_t i = open + 1; i < close && i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (IsSymbol(token, '{') || IsSymbol(token, '}')) {
            if (IsSymbol(token, '{')) {
                scopes.emplace_back();
            } else if (scopes.size() > 1) {
                scopes.pop_back();
            }
            declaring = false;
            depth = 0;
            continue;
        }
        if (IsSymbol(token, '(') || IsSymbol(token, '[')) ++depth;
        if (IsSymbol(token, ')') || IsSymbol(token, ']')) --depth;
        if (IsSymbol(token, ';')) declaring = false;
        if (token.kind != TokenKind::Identifier) continue;
        const Token& previous = tokens[i - 1];
        const bool declared = (previous.kind == TokenKind::Identifier && !IsStatementWord(previous.text)) ||
                              ClosesTemplateType(tokens, i - 1, open) ||
                              (declaring && depth == 0 && IsSymbol(previous, ','));
        if (declared) {
            scopes.back().insert(token.text);
            if (!declaring) depth = 0;
            declaring = true;
            continue;
        }
        if (uniforms.count(token.text) == 0 || hidden(token.text) || IsSymbol(previous, '.')) continue;
        if (IsWritten(tokens, i, close) || IsOutArgument(tokens, i, open, outs))
            writes.push_back({token.text, token.position});
    }
    return writes;
}

namespace {

// The value of `source` (an array of `dimensions` from `dimension` on) element by element:
// SPIRV-Cross reads no whole array from the stage's constants.
std::string ElementWise(const std::string& source, const std::vector<int>& dimensions, std::size_t dimension) {
    if (dimension == dimensions.size()) return source;
    std::string list = "{";
    for (int i = 0; i < dimensions[dimension]; ++i)
        list += (i == 0 ? "" : ", ") + ElementWise(source + "[" + std::to_string(i) + "]", dimensions, dimension + 1);
    return list + "}";
}

}  // namespace

void CopyWrittenGlobal(const std::vector<Token>& tokens, const UniformGlobal& global, std::vector<SourceEdit>& edits) {
    const Token& name = tokens[global.nameToken];
    edits.push_back({name.offset, name.length, kRenamedUniform + name.text});
    const std::string value = ElementWise(kRenamedUniform + name.text, global.dimensions, 0);
    // On the declaration's line, so that no line after moves.
    std::string copy = " " + global.copy + " = " + value + ";";
    std::replace_if(
        copy.begin(), copy.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    edits.push_back({global.end, 0, copy});
}

std::string ParameterOfConstant(const std::string& constantName) {
    const std::string prefix = kRenamedUniform;
    return constantName.compare(0, prefix.size(), prefix) == 0 ? constantName.substr(prefix.size()) : constantName;
}

}  // namespace nvesk::d3dx9
