#include "LegacyForScope.h"

#include <algorithm>
#include <map>

namespace nvesk::d3dx9 {

namespace {

bool IsSymbol(const Token& token, const char* symbol) {
    return token.kind == TokenKind::Symbol && token.text == symbol;
}

bool IsWord(const Token& token, const char* word) {
    return token.kind == TokenKind::Identifier && token.text == word;
}

// Where text can go in front of the token at `offset` without moving it: the end of the line
// before, when the token opens its line and that line is no directive and has no comment; the
// token itself otherwise.
std::size_t InsertionBefore(const std::string& source, std::size_t offset) {
    const std::size_t lineBreak = offset == 0 ? std::string::npos : source.rfind('\n', offset - 1);
    if (lineBreak == std::string::npos || source.find_first_not_of(" \t\r", lineBreak + 1) != offset) return offset;
    const std::size_t previousBreak = lineBreak == 0 ? std::string::npos : source.rfind('\n', lineBreak - 1);
    const std::size_t previousStart = previousBreak == std::string::npos ? 0 : previousBreak + 1;
    const std::size_t first = source.find_first_not_of(" \t", previousStart);
    if (first < lineBreak && source[first] == '#') return offset;
    if (source.find("//", previousStart) < lineBreak) return offset;
    return lineBreak > 0 && source[lineBreak - 1] == '\r' ? lineBreak - 1 : lineBreak;
}

// The declaration that opens the clause at `first` (after `for (`): its type's first token and
// its first name; false when the clause declares nothing or an array.
bool ClauseDeclaration(const std::vector<Token>& tokens, std::size_t first, std::size_t limit, std::size_t& type,
                       std::size_t& name) {
    std::size_t at = first;
    while (at < limit && (IsWord(tokens[at], "const") || IsWord(tokens[at], "static")))
        ++at;
    if (at >= limit || tokens[at].kind != TokenKind::Identifier) return false;
    type = at++;
    if (at < limit && IsSymbol(tokens[at], "<")) {  // vector<float, 2>
        ++at;
        while (at < limit && !IsSymbol(tokens[at], ">")) {
            // Only names, numbers and commas: `for (p < n; ...` compares, and declares nothing.
            if (tokens[at].kind == TokenKind::Symbol && !IsSymbol(tokens[at], ",")) return false;
            ++at;
        }
        ++at;
    }
    if (at >= limit || tokens[at].kind != TokenKind::Identifier) return false;
    name = at;
    return at + 1 < limit && !IsSymbol(tokens[at + 1], "[");
}

}  // namespace

void HoistForDeclarations(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                          const std::string& source, std::vector<SourceEdit>& edits) {
    // Each brace's partner, and the block around each token.
    std::map<std::size_t, std::size_t> partner;
    std::vector<std::size_t> blocks;
    std::map<std::size_t, std::size_t> enclosing;  // a `for` token -> the `{` of its block
    for (std::size_t i = open; i <= close && i < tokens.size(); ++i) {
        if (IsSymbol(tokens[i], "{")) {
            blocks.push_back(i);
        } else if (IsSymbol(tokens[i], "}") && !blocks.empty()) {
            partner[blocks.back()] = i;
            blocks.pop_back();
        } else if (IsWord(tokens[i], "for") && !blocks.empty()) {
            enclosing[i] = blocks.back();
        }
    }
    for (const auto& [loop, block] : enclosing) {
        if (loop + 2 >= tokens.size() || !IsSymbol(tokens[loop + 1], "(") || partner.count(block) == 0) continue;
        // The statement starts at its attributes ([unroll], [loop(4)]); it must stand in the block
        // itself, not be the body of an if, else or another loop.
        std::size_t start = loop;
        while (start > open && IsSymbol(tokens[start - 1], "]")) {
            std::size_t at = start - 1;
            int depth = 0;
            for (; at > open; --at) {
                if (IsSymbol(tokens[at], "]")) ++depth;
                if (IsSymbol(tokens[at], "[") && --depth == 0) break;
            }
            start = at;
        }
        const Token& before = tokens[start - 1];
        if (!IsSymbol(before, "{") && !IsSymbol(before, "}") && !IsSymbol(before, ";")) continue;
        std::size_t type = 0;
        std::size_t name = 0;
        if (!ClauseDeclaration(tokens, loop + 2, close, type, name)) continue;
        // On one line, wherever it goes, so that no line after moves.
        std::string declaration = "{" + source.substr(tokens[type].offset, tokens[name].offset - tokens[type].offset);
        std::replace_if(
            declaration.begin(), declaration.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        // Every name the clause declares, at its top level: `int i = 0, j = n`.
        int depth = 0;
        std::size_t clauseEnd = name;
        for (std::size_t at = name; at < close && !(depth == 0 && IsSymbol(tokens[at], ";")); ++at) {
            const Token& token = tokens[at];
            if (IsSymbol(token, "(") || IsSymbol(token, "{")) ++depth;
            if (IsSymbol(token, ")") || IsSymbol(token, "}")) --depth;
            const bool named = at == name || (depth == 0 && at > name && IsSymbol(tokens[at - 1], ",") &&
                                              token.kind == TokenKind::Identifier);
            if (named) declaration += (at == name ? "" : ", ") + token.text;
            clauseEnd = at;
        }
        if (clauseEnd + 1 >= close) continue;
        declaration += ";";
        // The clause keeps its columns: its type becomes spaces and it assigns what it declared.
        const std::size_t typeBegin = tokens[loop + 2].offset;
        std::string blank = source.substr(typeBegin, tokens[name].offset - typeBegin);
        std::replace_if(
            blank.begin(), blank.end(), [](char c) { return c != '\n' && c != '\r'; }, ' ');
        edits.push_back({typeBegin, blank.size(), blank});
        edits.push_back({InsertionBefore(source, tokens[start].offset), 0, declaration});
        edits.push_back({InsertionBefore(source, tokens[partner[block]].offset), 0, "}"});
    }
}

}  // namespace nvesk::d3dx9
