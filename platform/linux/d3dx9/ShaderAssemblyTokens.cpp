#include "ShaderAssemblyTokens.h"

#include <cctype>

namespace nvesk::d3dx9 {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

class AssemblyScanner {
public:
    AssemblyScanner(const std::string& text, SourcePosition start) : text_(text), start_(start) {}

    AssemblyTokens Run() {
        AssemblyTokens result;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (std::isspace(static_cast<unsigned char>(c)) || c == '\0') {
                Advance();
            } else if ((c == '/' && Peek(1) == '/') || c == ';') {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    Advance();
            } else if (c == '/' && Peek(1) == '*') {
                const SourcePosition open = Position();
                Advance();
                Advance();
                while (pos_ < text_.size() && !(text_[pos_] == '*' && Peek(1) == '/'))
                    Advance();
                if (pos_ >= text_.size()) return Fail(result, open, "unterminated comment");
                Advance();
                Advance();
            } else {
                AssemblyToken token;
                token.position = Position();
                const std::size_t begin = pos_;
                if (IsWordStart(c)) {
                    token.kind = AssemblyTokenKind::Word;
                    while (pos_ < text_.size() && IsIdentifierPart(text_[pos_]))
                        Advance();
                } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                    token.kind = AssemblyTokenKind::Number;
                    ScanNumber();
                } else if (std::string(",.[]()+-!").find(c) != std::string::npos) {
                    token.kind = AssemblyTokenKind::Symbol;
                    Advance();
                } else {
                    return Fail(result, token.position, std::string("unexpected character '") + c + "'");
                }
                token.text = text_.substr(begin, pos_ - begin);
                result.tokens.push_back(std::move(token));
            }
        }
        AssemblyToken end;
        end.position = Position();
        result.tokens.push_back(end);
        return result;
    }

private:
    char Peek(std::size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

    void Advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        ++pos_;
    }

    SourcePosition Position() const {
        SourcePosition position;
        position.line = start_.line + line_ - 1;
        position.column = line_ == 1 ? start_.column + column_ - 1 : column_;
        return position;
    }

    // Digits, a fraction, an exponent and an `f` suffix: `1`, `0.5`, `.5f`, `1e-3`.
    void ScanNumber() {
        while (IsDigit(Peek(0)))
            Advance();
        if (Peek(0) == '.') {
            Advance();
            while (IsDigit(Peek(0)))
                Advance();
        }
        if ((Peek(0) == 'e' || Peek(0) == 'E') &&
            (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
            Advance();
            if (Peek(0) == '+' || Peek(0) == '-') Advance();
            while (IsDigit(Peek(0)))
                Advance();
        }
        if (Peek(0) == 'f' || Peek(0) == 'F') Advance();
    }

    AssemblyTokens Fail(AssemblyTokens& result, SourcePosition at, const std::string& message) {
        result.ok = false;
        result.errorPosition = at;
        result.error = message;
        result.tokens.clear();
        AssemblyToken end;
        end.position = at;
        result.tokens.push_back(end);
        return result;
    }

    const std::string& text_;
    SourcePosition start_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
};

}  // namespace

AssemblyTokens TokenizeAssembly(const std::string& text, SourcePosition start) {
    return AssemblyScanner(text, start).Run();
}

}  // namespace nvesk::d3dx9
