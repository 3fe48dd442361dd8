#include "OneWideValues.h"

#include "EffectLexer.h"

#include <cctype>
#include <cstring>

namespace nvesk::d3dx9 {

namespace {

// 1, [1-4]x1 or 1x[1-4].
bool IsOneWideShape(const char* shape, std::size_t length) {
    if (length == 1) return shape[0] == '1';
    if (length != 3 || shape[1] != 'x') return false;
    const bool rows = shape[0] >= '1' && shape[0] <= '4';
    const bool columns = shape[2] >= '1' && shape[2] <= '4';
    return (rows && shape[2] == '1') || (shape[0] == '1' && columns);
}

bool IsOneWideTypeName(const char* word, std::size_t length) {
    static const char* const kScalars[] = {"float", "half",       "double",     "int",      "uint",     "dword",
                                           "bool",  "min16float", "min10float", "min16int", "min12int", "min16uint"};
    for (const char* scalar : kScalars) {
        const std::size_t scalarLength = std::strlen(scalar);
        if (length > scalarLength && std::memcmp(word, scalar, scalarLength) == 0 &&
            IsOneWideShape(word + scalarLength, length - scalarLength)) {
            return true;
        }
    }
    return false;
}

// After vector or matrix at `at`: blanks, '<', then the word 1 before the next '>'.
bool TemplateHoldsOne(const std::string& text, std::size_t at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (at >= text.size() || text[at] != '<') return false;
    for (++at; at < text.size() && text[at] != '>'; ++at) {
        if (text[at] == '1' && !IsIdentifierPart(text[at - 1]) &&
            (at + 1 == text.size() || !IsIdentifierPart(text[at + 1]))) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool MayHoldOneWideValues(const std::string& hlsl) {
    std::size_t at = 0;
    while (at < hlsl.size()) {
        if (!IsIdentifierPart(hlsl[at])) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < hlsl.size() && IsIdentifierPart(hlsl[at]))
            ++at;
        const char* word = hlsl.data() + start;
        const std::size_t length = at - start;
        if (IsOneWideTypeName(word, length)) return true;
        if (length == 6 && (std::memcmp(word, "vector", 6) == 0 || std::memcmp(word, "matrix", 6) == 0) &&
            TemplateHoldsOne(hlsl, at)) {
            return true;
        }
    }
    return false;
}

}  // namespace nvesk::d3dx9
