#include "EffectLexer.h"

#include <cctype>
#include <cstring>

namespace nvesk::d3dx9 {

namespace {

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

class Scanner {
public:
    explicit Scanner(const std::string& source) : source_(source) {}

    LexResult Run() {
        LexResult result;
        bool lineStart = true;
        while (pos_ < source_.size()) {
            const char c = source_[pos_];
            if (c == '\n') {
                Advance();
                lineStart = true;
                continue;
            }
            if (std::isspace(static_cast<unsigned char>(c)) || c == '\0') {
                Advance();
                continue;
            }
            if (c == '/' && Peek(1) == '/') {
                SkipToLineEnd();
                continue;
            }
            if (c == '/' && Peek(1) == '*') {
                const SourcePosition start = position_;
                Advance();
                Advance();
                while (pos_ < source_.size() && !(source_[pos_] == '*' && Peek(1) == '/'))
                    Advance();
                if (pos_ >= source_.size()) return Fail(result, start, "unterminated comment");
                Advance();
                Advance();
                continue;
            }
            if (c == '#' && lineStart) {
                SkipToLineEnd();  // joined lines of a directive end only at an unescaped newline
                continue;
            }
            lineStart = false;
            Token token;
            token.position = position_;
            token.offset = pos_;
            if (IsIdentifierStart(c)) {
                token.kind = TokenKind::Identifier;
                while (pos_ < source_.size() && IsIdentifierPart(source_[pos_]))
                    Advance();
            } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                token.kind = TokenKind::Number;
                ScanNumber();
            } else if (c == '"') {
                token.kind = TokenKind::String;
                Advance();
                while (pos_ < source_.size() && source_[pos_] != '"' && source_[pos_] != '\n') {
                    if (source_[pos_] == '\\') Advance();
                    if (pos_ < source_.size()) Advance();
                }
                if (pos_ >= source_.size() || source_[pos_] != '"') {
                    return Fail(result, token.position, "unterminated string");
                }
                Advance();
            } else {
                token.kind = TokenKind::Symbol;
                Advance();
            }
            token.length = pos_ - token.offset;
            token.text = source_.substr(token.offset, token.length);
            result.tokens.push_back(std::move(token));
        }
        Token end;
        end.position = position_;
        end.offset = source_.size();
        result.tokens.push_back(end);
        return result;
    }

private:
    char Peek(std::size_t ahead) const { return pos_ + ahead < source_.size() ? source_[pos_ + ahead] : '\0'; }

    void Advance() {
        if (source_[pos_] == '\n') {
            ++position_.line;
            position_.column = 1;
        } else {
            ++position_.column;
        }
        ++pos_;
    }

    void SkipToLineEnd() {
        while (pos_ < source_.size() && source_[pos_] != '\n') {
            if (source_[pos_] == '\\' && Peek(1) == '\n') Advance();
            Advance();
        }
    }

    void ScanNumber() {
        if (source_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            Advance();
            Advance();
            while (pos_ < source_.size() && std::isxdigit(static_cast<unsigned char>(source_[pos_])))
                Advance();
        } else {
            while (pos_ < source_.size() && (IsDigit(source_[pos_]) || source_[pos_] == '.'))
                Advance();
            if (pos_ < source_.size() && (source_[pos_] == 'e' || source_[pos_] == 'E')) {
                const char next = Peek(1);
                if (IsDigit(next) || ((next == '+' || next == '-') && IsDigit(Peek(2)))) {
                    Advance();
                    Advance();
                    while (pos_ < source_.size() && IsDigit(source_[pos_]))
                        Advance();
                }
            }
        }
        while (pos_ < source_.size() && source_[pos_] != '\0' && std::strchr("fFhHlLuU", source_[pos_]))
            Advance();
    }

    static LexResult& Fail(LexResult& result, SourcePosition where, const char* message) {
        result.ok = false;
        result.errorPosition = where;
        result.error = message;
        return result;
    }

    const std::string& source_;
    std::size_t pos_ = 0;
    SourcePosition position_;
};

}  // namespace

bool IsIdentifierPart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

LexResult Tokenize(const std::string& source) {
    return Scanner(source).Run();
}

}  // namespace nvesk::d3dx9
