#include "MatrixSwizzles.h"

namespace nvesk::d3dx9 {

namespace {

bool IsSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.text.size() == 1 && token.text[0] == symbol;
}

// The elements a swizzle names, each as its own single-element swizzle; empty when `name` is
// no swizzle of two to four matrix elements.
std::vector<std::string> SwizzleElements(const std::string& name) {
    // `_m00` (rows and columns from 0) or `_11` (from 1), two to four of one kind.
    const bool zeroBased = name.size() > 1 && name[1] == 'm';
    const std::size_t width = zeroBased ? 4 : 3;
    const char first = zeroBased ? '0' : '1';
    if (name.size() % width != 0 || name.size() / width < 2 || name.size() / width > 4) return {};
    std::vector<std::string> elements;
    for (std::size_t at = 0; at < name.size(); at += width) {
        const std::string element = name.substr(at, width);
        const std::size_t digits = width - 2;
        const bool valid = element[0] == '_' && (!zeroBased || element[1] == 'm') && element[digits] >= first &&
                           element[digits] <= first + 3 && element[digits + 1] >= first &&
                           element[digits + 1] <= first + 3;
        if (!valid) return {};
        elements.push_back(element);
    }
    return elements;
}

// The first token of the postfix expression that ends at token `last` (a name with its member
// accesses, indexes and calls, or a bracketed group); `last + 1` when there is none.
std::size_t OperandStart(const std::vector<Token>& tokens, std::size_t last, std::size_t open) {
    std::size_t at = last;
    for (;;) {
        if (IsSymbol(tokens[at], ')') || IsSymbol(tokens[at], ']')) {
            const char closing = tokens[at].text[0];
            const char opening = closing == ')' ? '(' : '[';
            int depth = 0;
            for (; at > open; --at) {
                if (IsSymbol(tokens[at], closing)) ++depth;
                if (IsSymbol(tokens[at], opening) && --depth == 0) break;
            }
            if (at <= open) return last + 1;
            // A call or an index belongs to what stands before it; a bracketed group stands alone.
            if (at > open + 1 && (tokens[at - 1].kind == TokenKind::Identifier || IsSymbol(tokens[at - 1], ']') ||
                                  (opening == '[' && IsSymbol(tokens[at - 1], ')')))) {
                --at;
                continue;
            }
            return at;
        }
        if (tokens[at].kind != TokenKind::Identifier) return last + 1;
        if (at > open + 2 && IsSymbol(tokens[at - 1], '.')) {
            at -= 2;
            continue;
        }
        return at;
    }
}

}  // namespace

void ExpandMatrixSwizzles(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                          const std::string& source, std::vector<SourceEdit>& edits) {
    for (std::size_t i = open + 2; i < close; ++i) {
        if (tokens[i].kind != TokenKind::Identifier || !IsSymbol(tokens[i - 1], '.')) continue;
        const std::vector<std::string> elements = SwizzleElements(tokens[i].text);
        if (elements.empty()) continue;
        const Token& next = tokens[i + 1];
        if (IsSymbol(next, '=') && !IsSymbol(tokens[i + 2], '=')) continue;  // written
        const std::size_t start = OperandStart(tokens, i - 2, open);
        if (start > i - 2) continue;
        const std::string operand =
            source.substr(tokens[start].offset, tokens[i - 2].offset + tokens[i - 2].length - tokens[start].offset);
        if (operand.find('\n') != std::string::npos) continue;  // its copies would move the lines after
        std::string vector = "float" + std::to_string(elements.size()) + "(";
        for (std::size_t e = 0; e < elements.size(); ++e)
            vector += (e == 0 ? "" : ", ") + ("(" + operand + ")." + elements[e]);
        edits.push_back(
            {tokens[start].offset, tokens[i].offset + tokens[i].length - tokens[start].offset, vector + ")"});
    }
}

}  // namespace nvesk::d3dx9
