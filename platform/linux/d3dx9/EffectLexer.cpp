#include "EffectLexer.h"

#include <cctype>
#include <cstring>

namespace nvesk::d3dx9 {

namespace {

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentifierPart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

class Scanner {
public:
    explicit Scanner(const std::string& source) : m_source(source) {}

    LexResult Run() {
        LexResult result;
        bool lineStart = true;
        while (m_pos < m_source.size()) {
            const char c = m_source[m_pos];
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
                const SourcePosition start = m_position;
                Advance();
                Advance();
                while (m_pos < m_source.size() && !(m_source[m_pos] == '*' && Peek(1) == '/'))
                    Advance();
                if (m_pos >= m_source.size()) return Fail(result, start, "unterminated comment");
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
            token.position = m_position;
            token.offset = m_pos;
            if (IsIdentifierStart(c)) {
                token.kind = TokenKind::Identifier;
                while (m_pos < m_source.size() && IsIdentifierPart(m_source[m_pos]))
                    Advance();
            } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                token.kind = TokenKind::Number;
                ScanNumber();
            } else if (c == '"') {
                token.kind = TokenKind::String;
                Advance();
                while (m_pos < m_source.size() && m_source[m_pos] != '"' && m_source[m_pos] != '\n') {
                    if (m_source[m_pos] == '\\') Advance();
                    if (m_pos < m_source.size()) Advance();
                }
                if (m_pos >= m_source.size() || m_source[m_pos] != '"') {
                    return Fail(result, token.position, "unterminated string");
                }
                Advance();
            } else {
                token.kind = TokenKind::Symbol;
                Advance();
            }
            token.length = m_pos - token.offset;
            token.text = m_source.substr(token.offset, token.length);
            result.tokens.push_back(std::move(token));
        }
        Token end;
        end.position = m_position;
        end.offset = m_source.size();
        result.tokens.push_back(end);
        return result;
    }

private:
    char Peek(std::size_t ahead) const { return m_pos + ahead < m_source.size() ? m_source[m_pos + ahead] : '\0'; }

    void Advance() {
        if (m_source[m_pos] == '\n') {
            ++m_position.line;
            m_position.column = 1;
        } else {
            ++m_position.column;
        }
        ++m_pos;
    }

    void SkipToLineEnd() {
        while (m_pos < m_source.size() && m_source[m_pos] != '\n') {
            if (m_source[m_pos] == '\\' && Peek(1) == '\n') Advance();
            Advance();
        }
    }

    void ScanNumber() {
        if (m_source[m_pos] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            Advance();
            Advance();
            while (m_pos < m_source.size() && std::isxdigit(static_cast<unsigned char>(m_source[m_pos])))
                Advance();
        } else {
            while (m_pos < m_source.size() && (IsDigit(m_source[m_pos]) || m_source[m_pos] == '.'))
                Advance();
            if (m_pos < m_source.size() && (m_source[m_pos] == 'e' || m_source[m_pos] == 'E')) {
                const char next = Peek(1);
                if (IsDigit(next) || ((next == '+' || next == '-') && IsDigit(Peek(2)))) {
                    Advance();
                    Advance();
                    while (m_pos < m_source.size() && IsDigit(m_source[m_pos]))
                        Advance();
                }
            }
        }
        while (m_pos < m_source.size() && m_source[m_pos] != '\0' && std::strchr("fFhHlLuU", m_source[m_pos]))
            Advance();
    }

    static LexResult& Fail(LexResult& result, SourcePosition where, const char* message) {
        result.ok = false;
        result.errorPosition = where;
        result.error = message;
        return result;
    }

    const std::string& m_source;
    std::size_t m_pos = 0;
    SourcePosition m_position;
};

}  // namespace

LexResult Tokenize(const std::string& source) {
    return Scanner(source).Run();
}

}  // namespace nvesk::d3dx9
