#include "ArrayInitialisers.h"

namespace nvesk::d3dx9 {

namespace {

bool IsSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.text.size() == 1 && token.text[0] == symbol;
}

// The token after the bracketed group opening at `open`, or `tokens.size()` when it is not closed.
std::size_t AfterGroup(const std::vector<Token>& tokens, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < tokens.size(); ++i) {
        if (IsSymbol(tokens[i], '(') || IsSymbol(tokens[i], '[') || IsSymbol(tokens[i], '{')) ++depth;
        if ((IsSymbol(tokens[i], ')') || IsSymbol(tokens[i], ']') || IsSymbol(tokens[i], '}')) && --depth == 0)
            return i + 1;
    }
    return tokens.size();
}

struct Item {
    std::size_t first;
    std::size_t last;  // inclusive
};

// The top-level items of the list opening at `open`; empty with `nested` set when one is a list.
std::vector<Item> ListItems(const std::vector<Token>& tokens, std::size_t open, std::size_t close, bool& nested) {
    std::vector<Item> items;
    nested = false;
    std::size_t first = open + 1;
    for (std::size_t i = open + 1; i < close;) {
        if (i == first && IsSymbol(tokens[i], '{')) nested = true;
        if (IsSymbol(tokens[i], ',')) {
            if (i > first) items.push_back({first, i - 1});
            first = ++i;
            continue;
        }
        const bool opens = IsSymbol(tokens[i], '(') || IsSymbol(tokens[i], '[') || IsSymbol(tokens[i], '{');
        i = opens ? AfterGroup(tokens, i) : i + 1;
    }
    if (first < close) items.push_back({first, close - 1});
    return items;
}

void Nest(const std::vector<Token>& tokens, const std::vector<long long>& dimensions, std::size_t open,
          std::size_t close, std::vector<SourceEdit>& edits) {
    bool nested = false;
    const std::vector<Item> items = ListItems(tokens, open, close, nested);
    long long groups = 1;  // innermost arrays, each a flat list glslang reads itself
    for (std::size_t d = 0; d + 1 < dimensions.size(); ++d)
        groups *= dimensions[d];
    const long long count = static_cast<long long>(items.size());
    if (nested || count == 0 || count % groups != 0) return;  // left for the compiler to judge
    const long long perGroup = count / groups;
    for (long long k = 0; k < count; k += perGroup) {
        const long long group = k / perGroup;
        // Each outer dimension whose element starts (ends) with this group opens (closes) a list.
        std::string opens;
        std::string closes;
        long long inner = 1;
        for (std::size_t d = dimensions.size() - 1; d-- > 0;) {
            // Level d holds `inner` groups per element.
            if (group % inner == 0) opens += '{';
            if ((group + 1) % inner == 0) closes += '}';
            inner *= dimensions[d];
        }
        const Token& first = tokens[items[static_cast<std::size_t>(k)].first];
        const Token& last = tokens[items[static_cast<std::size_t>(k + perGroup - 1)].last];
        edits.push_back({first.offset, 0, opens});
        edits.push_back({last.offset + last.length, 0, closes});
    }
}

}  // namespace

void NestArrayInitialisers(const std::vector<Token>& tokens, const ConstantEvaluator& evaluate,
                           std::vector<SourceEdit>& edits) {
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Identifier || !IsSymbol(tokens[i + 1], '[')) continue;
        std::vector<long long> dimensions;
        std::size_t at = i + 1;
        while (at < tokens.size() && IsSymbol(tokens[at], '[')) {
            const std::size_t after = AfterGroup(tokens, at);
            const std::optional<long long> size = after < tokens.size() ? evaluate(at + 1, after - 1) : std::nullopt;
            if (!size || *size < 1) break;
            dimensions.push_back(*size);
            at = after;
        }
        if (dimensions.size() < 2 || at >= tokens.size() || IsSymbol(tokens[at], '[')) continue;
        while (at + 1 < tokens.size() && IsSymbol(tokens[at], ':'))
            at += 2;  // a semantic
        if (at + 1 >= tokens.size() || !IsSymbol(tokens[at], '=') || !IsSymbol(tokens[at + 1], '{')) continue;
        const std::size_t open = at + 1;
        const std::size_t after = AfterGroup(tokens, open);
        if (after >= tokens.size()) continue;
        Nest(tokens, dimensions, open, after - 1, edits);
        i = after - 1;
    }
}

}  // namespace nvesk::d3dx9
