#include "EffectParser.h"

#include "ArrayInitialisers.h"
#include "GlobalWrites.h"
#include "LegacyForScope.h"
#include "MatrixSwizzles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace nvesk::d3dx9 {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

const std::vector<std::string>& ArrayCastTypes() {
    static const std::vector<std::string> kTypes = {"float", "half", "int", "uint", "bool"};
    return kTypes;
}

std::string ArrayCastFunction(const std::string& type, int count) {
    return "fx_A" + type.substr(0, 1) + std::to_string(count);
}

namespace {

struct SyntaxError {
    SourcePosition position;
    std::string message;
};

bool EqualsNoCase(const std::string& a, const char* b) {
    return Lower(a) == b;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Numbers as HLSL writes them: 1, 1.5f, .5, 2e3, 0x7F, 3u.
float NumberValue(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return static_cast<float>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    return std::strtof(text.c_str(), nullptr);
}

// A literal used as a count or index; -1 when it is not a whole number from 0 to `limit`.
int SmallCount(const std::string& text, int limit) {
    const float value = NumberValue(text);
    if (!(value >= 0.0f && value <= static_cast<float>(limit)) ||
        value != static_cast<float>(static_cast<int>(value))) {
        return -1;
    }
    return static_cast<int>(value);
}

struct TypeShape {
    ParameterClass parameterClass = ParameterClass::Scalar;
    ParameterType type = ParameterType::Float;
    int rows = 1;
    int columns = 1;
    bool known = false;
};

TypeShape ShapeOf(const std::string& typeName) {
    TypeShape shape;
    const std::string lower = Lower(typeName);
    if (StartsWith(lower, "texture")) {
        shape = {ParameterClass::Object, ParameterType::Texture, 1, 1, true};
        return shape;
    }
    if (StartsWith(lower, "sampler")) {
        shape = {ParameterClass::Object, ParameterType::Sampler, 1, 1, true};
        return shape;
    }
    if (lower == "string") {
        shape = {ParameterClass::Object, ParameterType::String, 1, 1, true};
        return shape;
    }
    if (lower == "matrix") return {ParameterClass::MatrixRows, ParameterType::Float, 4, 4, true};
    if (lower == "vector") return {ParameterClass::Vector, ParameterType::Float, 1, 4, true};
    static const std::pair<const char*, ParameterType> kBases[] = {
        {"bool", ParameterType::Bool},   {"int", ParameterType::Int},    {"uint", ParameterType::Int},
        {"dword", ParameterType::Int},   {"half", ParameterType::Float}, {"float", ParameterType::Float},
        {"double", ParameterType::Float}};
    for (const auto& [base, type] : kBases) {
        if (!StartsWith(lower, base)) continue;
        const std::string rest = lower.substr(std::strlen(base));
        shape.type = type;
        if (rest.empty()) {
            shape.known = true;
        } else if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            shape.parameterClass = ParameterClass::Vector;
            shape.columns = rest[0] - '0';
            shape.known = true;
        } else if (rest.size() == 3 && rest[1] == 'x' && rest[0] >= '1' && rest[0] <= '4' && rest[2] >= '1' &&
                   rest[2] <= '4') {
            shape.parameterClass = ParameterClass::MatrixRows;
            shape.rows = rest[0] - '0';
            shape.columns = rest[2] - '0';
            shape.known = true;
        }
        return shape;
    }
    return shape;
}

class Parser {
public:
    Parser(const std::string& source, std::vector<Token> tokens, bool backwardsCompatible)
        : tokens_(std::move(tokens)), backwardsCompatible_(backwardsCompatible) {
        description_.hlsl = source;
    }

    EffectDescription Run() {
        while (!AtEnd()) {
            const Token& token = Current();
            if (IsSymbol(";")) {
                ++index_;
            } else if (IsIdentifier("technique10") || IsIdentifier("technique11")) {
                SkipDirect3D10(true);
            } else if (token.kind == TokenKind::Identifier && StartsWith(Lower(token.text), "technique")) {
                ParseTechnique();
            } else if (IsIdentifier("struct")) {
                SkipStruct();
            } else if (IsIdentifier("typedef")) {
                SkipPast(";");
            } else if (IsIdentifier("cbuffer") || IsIdentifier("tbuffer")) {
                ++index_;
                SkipUntilSymbol("{");
                SkipBalanced();
            } else {
                ParseDeclaration();
            }
        }
        CheckEntryPoints();
        NestArrayInitialisers(
            tokens_, [this](std::size_t first, std::size_t last) { return ConstantIn(first, last); }, edits_);
        BlankDirect3D10Functions();
        CheckGlobalWrites();
        RefuseTextureShaderIntrinsics();
        RefuseWhatLegacyTargetsLack();
        ApplyEdits(std::move(edits_), description_.hlsl);
        return std::move(description_);
    }

private:
    // --- token access ---
    const Token& Current() const { return tokens_[index_]; }
    const Token& Ahead(std::size_t n) const { return tokens_[std::min(index_ + n, tokens_.size() - 1)]; }
    bool AtEnd() const { return Current().kind == TokenKind::End; }
    bool IsSymbol(const char* symbol) const { return Current().kind == TokenKind::Symbol && Current().text == symbol; }
    bool IsIdentifier(const char* word) const {
        return Current().kind == TokenKind::Identifier && Current().text == word;
    }
    bool IsKeywordNoCase(const char* word) const {
        return Current().kind == TokenKind::Identifier && EqualsNoCase(Current().text, word);
    }

    [[noreturn]] void Fail(const Token& at, const std::string& message) const {
        throw SyntaxError {at.position, message};
    }

    std::string Describe(const Token& token) const {
        return token.kind == TokenKind::End ? std::string("end of file") : "'" + token.text + "'";
    }

    const Token& Expect(const char* symbol) {
        if (!IsSymbol(symbol))
            Fail(Current(), std::string("syntax error: expected '") + symbol + "' before " + Describe(Current()));
        return tokens_[index_++];
    }

    const Token& ExpectIdentifier(const char* what) {
        if (Current().kind != TokenKind::Identifier) {
            Fail(Current(), std::string("syntax error: expected ") + what + " before " + Describe(Current()));
        }
        return tokens_[index_++];
    }

    // Skips a bracketed group starting at the current opening symbol, nested groups included.
    void SkipBalanced() {
        const Token& open = Current();
        int depth = 0;
        do {
            if (AtEnd()) Fail(open, "unmatched '" + open.text + "'");
            if (Current().kind == TokenKind::Symbol) {
                const char c = Current().text[0];
                if (c == '{' || c == '(' || c == '[') ++depth;
                if (c == '}' || c == ')' || c == ']') --depth;
            }
            ++index_;
        } while (depth > 0);
    }

    void SkipUntilSymbol(const char* symbol) {
        while (!AtEnd() && !IsSymbol(symbol))
            ++index_;
        if (AtEnd()) Fail(Current(), std::string("syntax error: expected '") + symbol + "'");
    }

    void SkipPast(const char* symbol) {
        SkipUntilSymbol(symbol);
        ++index_;
    }

    // `struct S { ... } a, b[2];`: the globals it declares keep their names from the others.
    void SkipStruct() {
        ++index_;
        SkipUntilSymbol("{");
        SkipBalanced();
        bool atName = true;
        while (!AtEnd() && !IsSymbol(";")) {
            if (atName && Current().kind == TokenKind::Identifier) DeclareGlobal(Current());
            atName = IsSymbol(",");
            if (IsSymbol("{") || IsSymbol("(") || IsSymbol("[")) {
                SkipBalanced();
            } else {
                ++index_;
            }
        }
        SkipPast(";");
    }

    // A global of a name another global has, whatever their types: glslang's HLSL front end
    // crashes on it when one of them is a structure.
    void DeclareGlobal(const Token& name) {
        if (!globals_.insert(name.text).second) Fail(name, "redefinition of '" + name.text + "'");
    }

    // Replaces source text with spaces, keeping line breaks so that positions stay the same.
    void Blank(std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end && i < description_.hlsl.size(); ++i) {
            if (description_.hlsl[i] != '\n' && description_.hlsl[i] != '\r') description_.hlsl[i] = ' ';
        }
    }

    std::size_t EndOfPrevious() const { return tokens_[index_ - 1].offset + tokens_[index_ - 1].length; }

    // --- declarations ---
    void ParseDeclaration() {
        static const std::set<std::string> kModifiers = {
            "static",       "const",  "uniform", "extern",          "shared", "volatile", "row_major",
            "column_major", "inline", "precise", "nointerpolation", "linear", "centroid", "noperspective",
            "groupshared",  "snorm",  "unorm"};
        // Direct3D 10 and 11 objects, for their techniques only.
        static const std::set<std::string> kDirect3D10Types = {
            "blendstate",     "depthstencilstate", "rasterizerstate", "samplerstate", "samplercomparisonstate",
            "geometryshader", "hullshader",        "domainshader",    "computeshader"};
        const std::size_t begin = Current().offset;
        bool isStatic = false;
        bool isConst = false;
        while (Current().kind == TokenKind::Identifier && kModifiers.count(Lower(Current().text)) != 0) {
            if (Lower(Current().text) == "static") isStatic = true;
            if (Lower(Current().text) == "const") isConst = true;
            ++index_;
        }
        if (Current().kind == TokenKind::Identifier && kDirect3D10Types.count(Lower(Current().text)) != 0) {
            SkipDirect3D10(false, begin);
            return;
        }
        const Token& typeToken = ExpectIdentifier("a type");
        if (Lower(typeToken.text) == "stateblock") {
            Fail(typeToken, "state blocks ('stateblock', 'stateblock_state') are not supported");
        }
        TypeShape shape = ShapeOf(typeToken.text);
        std::string typeName = typeToken.text;
        if (IsSymbol("<") && (EqualsNoCase(typeName, "vector") || EqualsNoCase(typeName, "matrix"))) {
            ParseTemplateShape(shape, typeName);
        }
        const std::string lowerType = Lower(typeName);
        const bool shaderObject = lowerType == "vertexshader" || lowerType == "pixelshader";
        const bool heldAsFloat = !isStatic && shape.known && typeName == typeToken.text &&
                                 (shape.type == ParameterType::Int || shape.type == ParameterType::Bool);
        const bool blankWhole =
            shape.type == ParameterType::Texture || shape.type == ParameterType::String || shaderObject;
        // Uniforms the shaders might write: numbers and structures, not objects.
        const bool uniform = !isStatic && !isConst && shape.known && shape.parameterClass != ParameterClass::Object;
        std::vector<std::string> declared;
        for (;;) {
            const Token& nameToken = ExpectIdentifier("a name");
            if (IsSymbol("(")) {
                ParseFunctionRest(typeToken, nameToken, begin);
                return;
            }
            DeclareGlobal(nameToken);
            if (shaderObject) {
                if (IsSymbol("=") && Ahead(1).kind == TokenKind::Identifier && Ahead(1).text == "CompileShader") {
                    SkipDirect3D10(false, begin);
                    return;
                }
                ParseShaderObject(nameToken, lowerType == "vertexshader");
                Blank(begin, EndOfPrevious());
                return;
            }
            EffectParameterDesc parameter;
            parameter.name = nameToken.text;
            parameter.typeName = typeName;
            parameter.parameterClass = shape.parameterClass;
            parameter.type = shape.type;
            parameter.rows = shape.rows;
            parameter.columns = shape.columns;
            parameter.position = nameToken.position;
            const bool integerConstant = isStatic && isConst && shape.known && shape.type == ParameterType::Int &&
                                         shape.parameterClass == ParameterClass::Scalar;
            const std::size_t afterName = index_;
            ParseDeclaratorRest(parameter, integerConstant, isStatic && isConst && shape.known);
            if (uniform) {
                const std::string type = heldAsFloat ? FloatShape(typeToken) : typeName;
                uniforms_[nameToken.text] = {
                    afterName - 1, "static " + type + " " + nameToken.text + ArrayText(afterName), 0, dimensions_};
                declared.push_back(nameToken.text);
            }
            if (!isStatic && !shaderObject && shape.known) AddParameter(std::move(parameter));
            if (IsSymbol(",")) {
                ++index_;
                continue;
            }
            Expect(";");
            break;
        }
        for (const std::string& name : declared)
            uniforms_[name].end = EndOfPrevious();
        if (blankWhole) Blank(begin, EndOfPrevious());
        if (heldAsFloat) DeclareAsFloat(typeToken);
    }

    // Direct3D 9 holds int and bool globals in float registers, converted: the shaders read them
    // as floats of the same shape (`int3` -> `float3`), so they share one register array with the
    // float globals.
    void DeclareAsFloat(const Token& typeToken) {
        edits_.push_back({typeToken.offset, typeToken.length, FloatShape(typeToken)});
    }

    static std::string FloatShape(const Token& typeToken) {
        const std::size_t digits = typeToken.text.find_first_of("1234");
        return "float" + (digits == std::string::npos ? std::string() : typeToken.text.substr(digits));
    }

    // The `[2][3]` of a declarator whose dimensions start at token `first`, as written.
    std::string ArrayText(std::size_t first) const {
        std::size_t last = first;
        while (last < tokens_.size() && tokens_[last].kind == TokenKind::Symbol && tokens_[last].text == "[") {
            int depth = 0;
            for (; last < tokens_.size(); ++last) {
                if (tokens_[last].text == "[") ++depth;
                if (tokens_[last].text == "]" && --depth == 0) break;
            }
            ++last;
        }
        if (last == first) return std::string();
        const std::size_t end = tokens_[last - 1].offset + tokens_[last - 1].length;
        return std::string(description_.hlsl, tokens_[first].offset, end - tokens_[first].offset);
    }

    // Shader models 1 to 3 have no integer bit operations and no recursion: a function a pass
    // compiles refuses them (bit operations with the profile, as the reference compiler says).
    void RefuseWhatLegacyTargetsLack() const {
        std::vector<const ShaderCompileRequest*> requests;
        for (const ShaderObjectDesc& object : description_.shaders) {
            for (const ShaderCompileRequest& request : object.shaders)
                requests.push_back(&request);
        }
        for (const EffectTechniqueDesc& technique : description_.techniques) {
            for (const EffectPassDesc& pass : technique.passes) {
                requests.push_back(&pass.vertexShader.compiled);
                requests.push_back(&pass.pixelShader.compiled);
            }
        }
        const auto adjacent = [&](std::size_t i) {
            return tokens_[i].offset + tokens_[i].length == tokens_[i + 1].offset;
        };
        for (const ShaderCompileRequest* request : requests) {
            if (request->entry.empty()) continue;
            for (const std::string& name : Reachable({request->entry})) {
                for (const FunctionBody& body : bodies_) {
                    if (body.name != name) continue;
                    for (std::size_t i = body.open; i < body.close; ++i) {
                        const Token& token = tokens_[i];
                        if (token.kind != TokenKind::Symbol) continue;
                        const char c = token.text[0];
                        const char next = adjacent(i) ? tokens_[i + 1].text[0] : ' ';
                        const char before = i > 0 && adjacent(i - 1) ? tokens_[i - 1].text[0] : ' ';
                        const bool logical = (c == '&' || c == '|') && (next == c || before == c);
                        const bool shift = (c == '<' || c == '>') && next == c;
                        if ((c == '&' || c == '|' || c == '^' || c == '~' || shift) && !logical) {
                            throw SyntaxError {token.position,
                                               "Bitwise operations not supported on target " + request->profile};
                        }
                    }
                    RefuseRecursion(body.name, body.open, body.close);
                }
            }
        }
    }

    // A call that comes back to the calling function, directly or through others: shaders have no
    // call stack.
    void RefuseRecursion(const std::string& name, std::size_t open, std::size_t close) const {
        for (std::size_t i = open; i < close; ++i) {
            const Token& token = tokens_[i];
            if (token.kind != TokenKind::Identifier || tokens_[i + 1].text != "(") continue;
            const bool isFunction = std::any_of(bodies_.begin(), bodies_.end(),
                                                [&](const FunctionBody& other) { return other.name == token.text; });
            if (isFunction && Reachable({token.text}).count(name) != 0)
                throw SyntaxError {token.position, "recursive call of '" + token.text + "'"};
        }
    }

    // noise() is an intrinsic of texture shaders (tx_1_0), which no pass compiles; a function of
    // the file's own may take the name.
    void RefuseTextureShaderIntrinsics() const {
        const auto own = [](const FunctionBody& body) { return body.name == "noise"; };
        if (std::any_of(bodies_.begin(), bodies_.end(), own)) return;
        for (const FunctionBody& body : bodies_) {
            for (std::size_t i = body.open; i < body.close; ++i) {
                if (tokens_[i].kind == TokenKind::Identifier && tokens_[i].text == "noise" &&
                    tokens_[i + 1].text == "(") {
                    throw SyntaxError {tokens_[i].position,
                                       "intrinsic function 'noise' is for texture shaders (tx_1_0) only"};
                }
            }
        }
    }

    // A write to a uniform global: refused, or in compatibility mode made to a copy of it.
    void CheckGlobalWrites() {
        // The intrinsics that write through parameters, then the file's own functions.
        OutParameters outs = {{"sincos", {false, true, true}}, {"modf", {false, true}}, {"frexp", {false, true}}};
        for (const FunctionBody& body : bodies_) {
            std::vector<bool>& written = outs[body.name];
            written.resize(std::max(written.size(), body.outs.size()));
            for (std::size_t i = 0; i < body.outs.size(); ++i)
                written[i] = written[i] || body.outs[i];
        }
        std::set<std::string> written;
        for (const FunctionBody& body : bodies_) {
            if (description_.hlsl[tokens_[body.open].offset] != '{') continue;  // blanked: not Direct3D 9's
            for (const GlobalWrite& write :
                 FindGlobalWrites(tokens_, body.open, body.close, uniforms_, body.parameters, outs)) {
                if (!backwardsCompatible_) throw SyntaxError {write.position, kGlobalWriteError};
                written.insert(write.name);
            }
        }
        for (const std::string& name : written)
            CopyWrittenGlobal(tokens_, uniforms_[name], edits_);
    }

    void ParseTemplateShape(TypeShape& shape, std::string& typeName) {
        const std::size_t begin = Current().offset;
        ++index_;
        std::vector<std::string> arguments;
        while (!AtEnd() && !IsSymbol(">")) {
            if (!IsSymbol(",")) arguments.push_back(Current().text);
            ++index_;
        }
        Expect(">");
        typeName += std::string(description_.hlsl, begin, EndOfPrevious() - begin);
        if (arguments.empty()) return;
        const TypeShape base = ShapeOf(arguments[0]);
        shape.type = base.type;
        if (shape.parameterClass == ParameterClass::Vector && arguments.size() == 2) {
            shape.columns = std::atoi(arguments[1].c_str());
        } else if (shape.parameterClass == ParameterClass::MatrixRows && arguments.size() == 3) {
            shape.rows = std::atoi(arguments[1].c_str());
            shape.columns = std::atoi(arguments[2].c_str());
        }
        if (shape.rows < 1 || shape.rows > 4 || shape.columns < 1 || shape.columns > 4) {
            Fail(tokens_[index_ - 1], "invalid vector or matrix size in '" + typeName + "'");
        }
    }

    void ParseFunctionRest(const Token& typeToken, const Token& nameToken, std::size_t begin) {
        description_.functions.push_back(nameToken.text);
        FunctionDesc function;
        function.name = nameToken.text;
        function.returnType = typeToken.text;
        function.parameters = ParseFunctionParameters();
        while (IsSymbol(":")) {
            ++index_;
            function.returnSemantic = ExpectIdentifier("a semantic").text;
            if (IsSymbol("(")) {
                SkipBalanced();
                function.returnSemantic.clear();  // register(...) is no semantic
            }
        }
        if (IsSymbol(";")) {
            ++index_;
            return;
        }
        if (!IsSymbol("{")) Fail(Current(), "syntax error: expected function body before " + Describe(Current()));
        const std::size_t open = index_;
        SkipBalanced();
        bodies_.push_back({function.name, begin, EndOfPrevious(), open, index_ - 1, {}, {}});
        for (const FunctionParameterDesc& parameter : function.parameters) {
            bodies_.back().parameters.push_back(parameter.name);
            const std::string words = " " + parameter.text + " ";
            bodies_.back().outs.push_back(words.find(" out ") != std::string::npos ||
                                          words.find(" inout ") != std::string::npos);
        }
        RewriteArrayCasts(open, index_ - 1);
        HoistForDeclarations(tokens_, open, index_ - 1, description_.hlsl, edits_);
        ExpandMatrixSwizzles(tokens_, open, index_ - 1, description_.hlsl, edits_);
        const auto& signatures = description_.signatures;
        if (std::none_of(signatures.begin(), signatures.end(),
                         [&](const FunctionDesc& known) { return known.name == function.name; })) {
            description_.signatures.push_back(std::move(function));
        }
    }

    // `(uniform bool lit, float4 p : POSITION, ...)`: each parameter's text, name and uniformity.
    std::vector<FunctionParameterDesc> ParseFunctionParameters() {
        std::vector<FunctionParameterDesc> parameters;
        const std::size_t open = index_;
        SkipBalanced();
        const std::size_t close = index_ - 1;
        std::size_t first = open + 1;
        int depth = 0;
        for (std::size_t i = open + 1; i <= close; ++i) {
            const Token& token = tokens_[i];
            const bool symbol = token.kind == TokenKind::Symbol;
            if (symbol && (token.text == "(" || token.text == "[" || token.text == "{")) ++depth;
            if (symbol && (token.text == ")" || token.text == "]" || token.text == "}") && i != close) --depth;
            if (!(symbol && ((token.text == "," && depth == 0) || i == close)) || i == first) {
                continue;
            }
            FunctionParameterDesc parameter;
            parameter.text = std::string(description_.hlsl, tokens_[first].offset,
                                         tokens_[i - 1].offset + tokens_[i - 1].length - tokens_[first].offset);
            for (std::size_t j = first; j < i; ++j) {
                const Token& part = tokens_[j];
                if (part.kind == TokenKind::Symbol && (part.text == ":" || part.text == "=")) break;
                if (part.kind == TokenKind::Identifier) {
                    parameter.isUniform = parameter.isUniform || part.text == "uniform";
                    parameter.name = part.text;
                }
            }
            parameters.push_back(std::move(parameter));
            first = i + 1;
        }
        return parameters;
    }

    // `NULL`, or `0` as Direct3D 9 effects may also write it.
    bool AtNullShader() const {
        return IsKeywordNoCase("null") || (Current().kind == TokenKind::Number && Current().text == "0");
    }

    // The value of a shader global: `compile vs_2_0 Fn(...)` or `NULL`.
    ShaderCompileRequest ParseShaderValue(bool vertex) {
        if (AtNullShader()) {
            ShaderCompileRequest request;
            request.position = Current().position;
            ++index_;
            return request;
        }
        if (IsKeywordNoCase("asm")) return ParseAssembly();
        if (!IsKeywordNoCase("compile")) {
            Fail(Current(), "syntax error: expected 'compile' or 'NULL' before " + Describe(Current()));
        }
        return ParseCompileRequest(vertex ? "VertexShader" : "PixelShader");
    }

    // `asm { ... }`: the text up to the brace that closes the block, skipping the assembly
    // language's comments (`//`, `/* */`, and `;` to the end of the line), which may hold braces.
    ShaderCompileRequest ParseAssembly() {
        const Token& keyword = Current();
        ++index_;
        if (!IsSymbol("{")) Fail(Current(), "syntax error: expected '{' after 'asm'");
        const Token& open = Current();
        const std::string& text = description_.hlsl;
        std::size_t at = open.offset + 1;
        while (at < text.size() && text[at] != '}') {
            const bool lineComment = text[at] == ';' || text.compare(at, 2, "//") == 0;
            if (lineComment) {
                at = text.find('\n', at);
                if (at == std::string::npos) at = text.size();
            } else if (text.compare(at, 2, "/*") == 0) {
                const std::size_t close = text.find("*/", at + 2);
                at = close == std::string::npos ? text.size() : close + 2;
            } else {
                ++at;
            }
        }
        if (at >= text.size()) Fail(open, "syntax error: the asm block is not closed");
        while (!AtEnd() && Current().offset < at)
            ++index_;
        if (!IsSymbol("}") || Current().offset != at) Fail(Current(), "syntax error: the asm block is not closed");
        ++index_;
        ShaderCompileRequest request;
        request.position = keyword.position;
        request.assembly = text.substr(open.offset + 1, at - open.offset - 1);
        request.assemblyStart = open.position;
        ++request.assemblyStart.column;
        // The version line names the profile (the assembler checks it).
        const std::size_t first = request.assembly.find_first_not_of(" \t\r\n");
        if (first != std::string::npos) {
            std::size_t last = first;
            while (last < request.assembly.size() && IsIdentifierPart(request.assembly[last]))
                ++last;
            request.profile = Lower(request.assembly.substr(first, last - first));
        }
        return request;
    }

    void ParseShaderObject(const Token& nameToken, bool vertex) {
        ShaderObjectDesc object;
        object.name = nameToken.text;
        object.vertex = vertex;
        object.position = nameToken.position;
        if (IsSymbol("[")) object.elements = ParseArraySize(64);
        Expect("=");
        if (object.elements > 0) {
            Expect("{");
            // A comma may close the list, as in any initialiser list.
            for (;;) {
                object.shaders.push_back(ParseShaderValue(vertex));
                if (!IsSymbol(",")) break;
                ++index_;
                if (IsSymbol("}")) break;
            }
            Expect("}");
            if (object.shaders.size() != static_cast<std::size_t>(object.elements)) {
                Fail(nameToken, "'" + object.name + "' declares " + std::to_string(object.elements) +
                                    " shaders and initialises " + std::to_string(object.shaders.size()));
            }
        } else {
            object.shaders.push_back(ParseShaderValue(vertex));
        }
        Expect(";");
        description_.shaders.push_back(std::move(object));
    }

    // `[N]` with N from 1 to `limit`: a literal, a static const int, or arithmetic of those.
    int ParseArraySize(int limit) {
        Expect("[");
        const Token& first = Current();
        const std::optional<long long> size = ConstantExpression();
        if (!size) Fail(first, "array size must be a literal number or a static const int");
        if (*size < 1 || *size > limit) Fail(first, "invalid array size");
        Expect("]");
        return static_cast<int>(*size);
    }

    // Integer arithmetic (+ - * / % and brackets) of literals and the static const ints declared so
    // far, as HLSL folds it; empty, with the position unspecified, when it is not such an expression.
    std::optional<long long> ConstantExpression() {
        std::optional<long long> value = ConstantTerm();
        while (value && (IsSymbol("+") || IsSymbol("-"))) {
            const bool add = IsSymbol("+");
            ++index_;
            const std::optional<long long> right = ConstantTerm();
            value = right ? Bounded(add ? *value + *right : *value - *right) : std::nullopt;
        }
        return value;
    }

    std::optional<long long> ConstantTerm() {
        std::optional<long long> value = ConstantFactor();
        while (value && (IsSymbol("*") || IsSymbol("/") || IsSymbol("%"))) {
            const char op = Current().text[0];
            ++index_;
            const std::optional<long long> right = ConstantFactor();
            if (!right || (op != '*' && *right == 0)) return std::nullopt;
            value = Bounded(op == '*' ? *value * *right : op == '/' ? *value / *right : *value % *right);
        }
        return value;
    }

    std::optional<long long> ConstantFactor() {
        if (AtEnd()) return std::nullopt;
        const Token& token = Current();
        ++index_;
        if (token.kind == TokenKind::Symbol && (token.text == "-" || token.text == "+")) {
            const std::optional<long long> value = ConstantFactor();
            return value && token.text == "-" ? std::optional<long long>(-*value) : value;
        }
        if (token.kind == TokenKind::Symbol && token.text == "(") {
            const std::optional<long long> value = ConstantExpression();
            if (!IsSymbol(")")) return std::nullopt;
            ++index_;
            return value;
        }
        if (token.kind == TokenKind::Number) {
            // Too large for an int, a whole number is still one: the size check names it.
            const float value = std::min(NumberValue(token.text), 2147483648.0f);
            if (!(value >= 0.0f) || value != static_cast<float>(static_cast<long long>(value))) return std::nullopt;
            return static_cast<long long>(value);
        }
        const auto constant = constants_.find(token.text);
        if (token.kind == TokenKind::Identifier && constant != constants_.end()) return constant->second;
        return std::nullopt;
    }

    // Values outside int's range are no array size; keeps the arithmetic from overflowing.
    static std::optional<long long> Bounded(long long value) {
        constexpr long long kLimit = 2147483647;
        return value >= -kLimit && value <= kLimit ? std::optional<long long>(value) : std::nullopt;
    }

    // The constant expression of tokens [first, last) alone, as ConstantExpression reads it.
    std::optional<long long> ConstantIn(std::size_t first, std::size_t last) {
        const std::size_t saved = index_;
        index_ = first;
        std::optional<long long> value = ConstantExpression();
        if (index_ != last) value.reset();
        index_ = saved;
        return value;
    }

    void ParseDeclaratorRest(EffectParameterDesc& parameter, bool integerConstant, bool staticConstant) {
        // An array of arrays is one array of all their elements, in order, as D3DX describes it.
        constexpr int kMaxElements = 65536;
        dimensions_.clear();
        while (IsSymbol("[")) {
            const Token& bracket = Current();
            const int size = ParseArraySize(kMaxElements);
            dimensions_.push_back(size);
            const long long elements = static_cast<long long>(std::max(1, parameter.elements)) * size;
            if (elements > kMaxElements) Fail(bracket, "invalid array size");
            parameter.elements = static_cast<int>(elements);
        }
        while (IsSymbol(":")) {
            ++index_;
            const Token& word = ExpectIdentifier("a semantic or register");
            if (IsSymbol("(")) {
                SkipBalanced();  // register(c0), packoffset(c1)
            } else {
                parameter.semantic = word.text;
            }
        }
        if (IsSymbol("<")) {
            const std::size_t begin = Current().offset;
            parameter.annotations = ParseAnnotations();
            Blank(begin, EndOfPrevious());
        }
        if (!IsSymbol("=")) return;
        const std::size_t begin = Current().offset;
        ++index_;
        if (IsKeywordNoCase("sampler_state")) {
            ++index_;
            parameter.samplerStates = ParseStateBlock(false, nullptr);
            Blank(begin, EndOfPrevious());
            return;
        }
        if (integerConstant && parameter.elements == 0) {
            const std::size_t value = index_;
            const std::optional<long long> constant = ConstantExpression();
            if (constant && (IsSymbol(";") || IsSymbol(","))) constants_[parameter.name] = *constant;
            index_ = value;
        }
        const std::size_t valueBegin = index_;
        ParseDefault(parameter);
        if (staticConstant && parameter.elements == 0) AddConstant(parameter, valueBegin, index_);
        if (index_ > valueBegin) FoldDefault(parameter, valueBegin, index_);
    }

    // The numbers of an initialiser (tokens [begin, end)) that folds as HLSL folds it, naming the
    // static consts before it: `count` of them, or (`widen`) one standing for each; empty when it
    // does not fold to that many.
    std::vector<double> FoldInitialiser(std::size_t begin, std::size_t end, std::size_t count, bool widen) const {
        const std::vector<Token> tokens(tokens_.begin() + static_cast<std::ptrdiff_t>(begin),
                                        tokens_.begin() + static_cast<std::ptrdiff_t>(end));
        const auto& constants = description_.constants;
        const NameLookup names = [&](const std::string& name, ExpressionName& found) {
            const auto known = std::find_if(constants.begin(), constants.end(),
                                            [&](const NamedConstant& constant) { return constant.name == name; });
            if (known == constants.end()) return false;
            found.value = known->value;
            return true;
        };
        SourcePosition errorAt;
        std::string error;
        const std::unique_ptr<Expression> expression =
            Expression::Parse(tokens, tokens_[end].position, names, errorAt, error);
        if (expression == nullptr || expression->ReadsParameters()) return {};
        const ExpressionValue folded = expression->Fold();
        if (folded.Count() == count) return folded.numbers;
        if (folded.Count() == 1 && widen) return std::vector<double>(count, folded.numbers[0]);
        return {};
    }

    bool IsConstant(const std::string& name) const {
        const auto& constants = description_.constants;
        return std::any_of(constants.begin(), constants.end(),
                           [&](const NamedConstant& constant) { return constant.name == name; });
    }

    static bool IsNumeric(ParameterType type) {
        return type == ParameterType::Bool || type == ParameterType::Int || type == ParameterType::Float;
    }

    // A `static const` scalar, vector or matrix whose initialiser folds, in its declared type and
    // shape; any other is left to the HLSL compiler alone.
    void AddConstant(const EffectParameterDesc& parameter, std::size_t begin, std::size_t end) {
        if (!IsNumeric(parameter.type)) return;
        NamedConstant constant {parameter.name, {}};
        constant.value.type = parameter.type == ParameterType::Bool  ? ExpressionType::Bool
                              : parameter.type == ParameterType::Int ? ExpressionType::Int
                                                                     : ExpressionType::Float;
        constant.value.rows = parameter.rows;
        constant.value.columns = parameter.columns;
        const std::vector<double> numbers = FoldInitialiser(begin, end, constant.value.Count(), true);
        if (numbers.empty()) return;
        for (double number : numbers) {
            constant.value.numbers.push_back(constant.value.type == ExpressionType::Bool  ? (number != 0.0 ? 1.0 : 0.0)
                                             : constant.value.type == ExpressionType::Int ? std::trunc(number)
                                                                                          : number);
        }
        description_.constants.push_back(std::move(constant));
    }

    // A default or annotation written as an expression (`= 2 * 3.14159`, `= float4(1, 1, 1, 1) * 0.5`)
    // takes its folded value; literals alone read the same either way.
    void FoldDefault(EffectParameterDesc& parameter, std::size_t begin, std::size_t end) const {
        if (!IsNumeric(parameter.type) || parameter.parameterClass == ParameterClass::Object) return;
        const std::size_t count = static_cast<std::size_t>(parameter.rows * parameter.columns) *
                                  static_cast<std::size_t>(std::max(1, parameter.elements));
        const std::vector<double> numbers = FoldInitialiser(begin, end, count, parameter.elements == 0);
        if (numbers.empty()) return;
        parameter.defaultValue.assign(numbers.begin(), numbers.end());
    }

    // Every literal of the initialiser in order: `= 0.5`, `= {1, 0, 0, 1}`, `= float3(1, -2, 3)`.
    void ParseDefault(EffectParameterDesc& parameter) {
        int depth = 0;
        bool negative = false;
        while (!AtEnd()) {
            const Token& token = Current();
            if (token.kind == TokenKind::Symbol) {
                const char c = token.text[0];
                if (depth == 0 && (c == ';' || c == ',')) break;
                if (c == '{' || c == '(') ++depth;
                if (c == '}' || c == ')') --depth;
                negative = c == '-';
            } else if (token.kind == TokenKind::Number) {
                const float value = NumberValue(token.text);
                parameter.defaultValue.push_back(negative ? -value : value);
                negative = false;
            } else if (token.kind == TokenKind::Identifier) {
                const std::string lower = Lower(token.text);
                if (lower == "true" || lower == "false")
                    parameter.defaultValue.push_back(lower == "true" ? 1.0f : 0.0f);
                negative = false;
            } else if (token.kind == TokenKind::String) {
                parameter.text = token.text.substr(1, token.text.size() - 2);
                negative = false;
            } else {
                negative = false;
            }
            ++index_;
        }
        if (depth != 0)
            Fail(Current(), "syntax error: unbalanced brackets in the initialiser of '" + parameter.name + "'");
    }

    std::vector<Annotation> ParseAnnotations() {
        std::vector<Annotation> annotations;
        Expect("<");
        while (!IsSymbol(">")) {
            Annotation annotation;
            annotation.type = ExpectIdentifier("an annotation type").text;
            annotation.name = ExpectIdentifier("an annotation name").text;
            const TypeShape shape = ShapeOf(annotation.type);
            annotation.parameterClass = shape.parameterClass;
            annotation.valueType = shape.type;
            annotation.rows = shape.rows;
            annotation.columns = shape.columns;
            Expect("=");
            // Its numbers as a parameter's default would be read, then its text.
            const std::size_t valueBegin = index_;
            EffectParameterDesc literal;
            literal.name = annotation.name;
            literal.type = shape.type;
            literal.parameterClass = shape.parameterClass;
            literal.rows = shape.rows;
            literal.columns = shape.columns;
            ParseDefault(literal);
            if (shape.known) FoldDefault(literal, valueBegin, index_);
            annotation.numbers = std::move(literal.defaultValue);
            index_ = valueBegin;
            std::string value;
            while (!AtEnd() && !IsSymbol(";")) {
                const Token& token = Current();
                if (!value.empty()) value += ' ';
                value += token.kind == TokenKind::String ? token.text.substr(1, token.text.size() - 2) : token.text;
                ++index_;
            }
            Expect(";");
            annotation.value = value;
            annotations.push_back(std::move(annotation));
        }
        Expect(">");
        return annotations;
    }

    // `{ Name = value; ... }`; in a pass, `VertexShader = compile vs_2_0 Fn();` fills the pass.
    std::vector<StateAssignment> ParseStateBlock(bool allowCompile, EffectPassDesc* pass) {
        std::vector<StateAssignment> states;
        Expect("{");
        while (!IsSymbol("}")) {
            const Token& nameToken = ExpectIdentifier("a state name");
            StateAssignment state;
            state.name = nameToken.text;
            state.position = nameToken.position;
            if (IsSymbol("[")) {
                ++index_;
                const Token& first = Current();
                const std::optional<long long> index = ConstantExpression();
                if (!index) Fail(first, "state index must be a literal number or a static const int");
                if (*index < 0 || *index > 65535) Fail(first, "invalid state index");
                state.index = static_cast<int>(*index);
                Expect("]");
            }
            Expect("=");
            const std::string target = Lower(state.name);
            if (target == "stateblock" || IsKeywordNoCase("stateblock_state")) {
                Fail(nameToken, "state blocks ('StateBlock', 'stateblock_state') are not supported");
            }
            // `Sampler[n] = sampler_state { ... };` in a pass: its states and texture on stage n.
            if (allowCompile && target == "sampler" && IsKeywordNoCase("sampler_state")) {
                ++index_;
                for (StateAssignment inner : ParseStateBlock(false, nullptr)) {
                    inner.index = state.index;
                    states.push_back(std::move(inner));
                }
                Expect(";");
                continue;
            }
            if (allowCompile && (target == "vertexshader" || target == "pixelshader")) {
                (target == "vertexshader" ? pass->vertexShader : pass->pixelShader) =
                    ParsePassShader(state, target == "vertexshader");
                continue;
            }
            if (IsKeywordNoCase("compile")) {
                Fail(Current(), "'compile' is allowed only for a pass's VertexShader and PixelShader");
            }
            if (IsKeywordNoCase("asm")) Fail(Current(), "'asm' is allowed only for a VertexShader or PixelShader");
            if ((IsSymbol("<") || IsSymbol("(")) && Ahead(1).kind == TokenKind::Identifier &&
                Ahead(2).kind == TokenKind::Symbol && Ahead(2).text == (IsSymbol("<") ? ">" : ")") &&
                Ahead(3).text == ";") {
                state.value = Ahead(1).text;
                state.isReference = true;
                // `(name)` is also a bracketed expression: a constant or one of the state's values.
                if (IsSymbol("(")) state.valueTokens.assign(tokens_.begin() + index_, tokens_.begin() + index_ + 3);
                if (IsSymbol("<")) state.valueTokens.push_back(Ahead(1));
                index_ += 3;
            } else {
                // A vector value `{0.8, 0.8, 0.8, 1.0f}` holds braces of its own.
                int braces = 0;
                while (!AtEnd() && !IsSymbol(";") && !(braces == 0 && IsSymbol("}"))) {
                    if (IsSymbol("{")) ++braces;
                    if (IsSymbol("}")) --braces;
                    if (!state.value.empty()) state.value += ' ';
                    state.value += Current().text;
                    state.valueTokens.push_back(Current());
                    ++index_;
                }
                if (state.value.empty()) Fail(Current(), "syntax error: missing value of state '" + state.name + "'");
            }
            state.valueEnd = Current().position;
            Expect(";");
            states.push_back(std::move(state));
        }
        Expect("}");
        return states;
    }

    // `compile profile Fn(arguments)`, its profile checked against the stage it is for.
    ShaderCompileRequest ParseCompileRequest(const std::string& stateName) {
        const Token& keyword = Current();
        ++index_;
        ShaderCompileRequest request;
        request.profile = Lower(ExpectIdentifier("a shader profile").text);
        const Token& entry = ExpectIdentifier("an entry point");
        request.entry = entry.text;
        request.position = entry.position;
        Expect("(");
        std::string argument;
        int depth = 0;
        while (!AtEnd() && !(depth == 0 && IsSymbol(")"))) {
            if (depth == 0 && IsSymbol(",")) {
                request.arguments.push_back(argument);
                argument.clear();
            } else {
                if (IsSymbol("(")) ++depth;
                if (IsSymbol(")")) --depth;
                if (!argument.empty()) argument += ' ';
                argument += Current().text;
            }
            ++index_;
        }
        Expect(")");
        if (!argument.empty() || !request.arguments.empty()) request.arguments.push_back(argument);
        for (const std::string& value : request.arguments) {
            if (value.empty()) Fail(keyword, "syntax error: empty argument to '" + request.entry + "'");
        }
        const bool vertex = Lower(stateName) == "vertexshader";
        if (!StartsWith(request.profile, vertex ? "vs_" : "ps_")) {
            Fail(keyword, "'" + stateName + "' cannot be compiled with profile '" + request.profile + "'");
        }
        return request;
    }

    // A pass's `VertexShader = ...;`: compiled, NULL, or a shader global (an element of an array
    // by literal or by int parameter).
    PassShader ParsePassShader(const StateAssignment& state, bool vertex) {
        PassShader shader;
        shader.position = state.position;
        if (IsKeywordNoCase("compile") || AtNullShader() || IsKeywordNoCase("asm")) {
            shader.assignment = ShaderAssignment::Compiled;
            shader.compiled = ParseShaderValue(vertex);
        } else {
            shader.assignment = ShaderAssignment::Selected;
            const char* close = IsSymbol("(") ? ")" : IsSymbol("<") ? ">" : nullptr;
            if (close != nullptr) ++index_;
            shader.object = ExpectIdentifier("a shader").text;
            if (IsSymbol("[")) {
                const Token& open = Current();
                SkipBalanced();
                const std::size_t first = static_cast<std::size_t>(&open - tokens_.data()) + 1;
                const std::size_t last = index_ - 1;  // the `]`
                const Token& only = tokens_[first];
                if (last == first + 1 && only.kind == TokenKind::Number) {
                    shader.index = SmallCount(only.text, 64);
                    if (shader.index < 0) Fail(only, "invalid shader index");
                } else if (last == first + 1 && only.kind == TokenKind::Identifier && !IsConstant(only.text)) {
                    shader.indexParameter = only.text;
                } else if (last == first) {
                    Fail(tokens_[last], "syntax error: missing shader index");
                } else {
                    // An expression, evaluated from the parameters when the pass begins.
                    shader.indexTokens.assign(tokens_.begin() + static_cast<std::ptrdiff_t>(first),
                                              tokens_.begin() + static_cast<std::ptrdiff_t>(last));
                    shader.indexEnd = tokens_[last].position;
                }
            }
            if (close != nullptr) Expect(close);
        }
        Expect(";");
        return shader;
    }

    void ParseTechnique() {
        const std::size_t begin = Current().offset;
        EffectTechniqueDesc technique;
        technique.position = Current().position;
        ++index_;
        if (Current().kind == TokenKind::Identifier) technique.name = tokens_[index_++].text;
        if (IsSymbol("<")) technique.annotations = ParseAnnotations();
        Expect("{");
        while (!IsSymbol("}")) {
            if (!IsKeywordNoCase("pass"))
                Fail(Current(), "syntax error: expected 'pass' before " + Describe(Current()));
            EffectPassDesc pass;
            pass.position = Current().position;
            ++index_;
            if (Current().kind == TokenKind::Identifier) pass.name = tokens_[index_++].text;
            if (IsSymbol("<")) pass.annotations = ParseAnnotations();
            pass.states = ParseStateBlock(true, &pass);
            technique.passes.push_back(std::move(pass));
        }
        Expect("}");
        Blank(begin, EndOfPrevious());
        description_.techniques.push_back(std::move(technique));
    }

    // A `technique10`/`technique11` block, or a global only they use (`BlendState b { ... };`,
    // `VertexShader vs = CompileShader(...);`): a Direct3D 9 effect has none of them, so they are
    // blanked, and the functions they compile are noted.
    void SkipDirect3D10(bool technique, std::size_t begin = std::string::npos) {
        if (begin == std::string::npos) begin = Current().offset;
        const Token& first = Current();
        int depth = 0;
        for (;;) {
            if (AtEnd()) Fail(first, "syntax error: unexpected end of file in '" + first.text + "'");
            const Token& token = Current();
            if (token.kind == TokenKind::Identifier && token.text == "CompileShader" && Ahead(1).text == "(" &&
                Ahead(3).text == "," && Ahead(4).kind == TokenKind::Identifier) {
                direct3D10Entries_.insert(Ahead(4).text);
            }
            ++index_;
            if (token.kind != TokenKind::Symbol) continue;
            const char c = token.text[0];
            if (c == '{' || c == '(' || c == '[' || (depth == 0 && c == '<')) ++depth;
            if (c == '}' || c == ')' || c == ']' || (depth == 1 && c == '>')) --depth;
            if (depth == 0 && ((technique && c == '}') || (!technique && c == ';'))) break;
        }
        Blank(begin, EndOfPrevious());
    }

    // Functions only Direct3D 10 techniques compile are no part of a Direct3D 9 effect: blanked, so
    // that their shader model 4 code (and the objects blanked above) need not compile.
    void BlankDirect3D10Functions() {
        if (direct3D10Entries_.empty()) return;
        std::set<std::string> direct3D9Entries;
        for (const ShaderObjectDesc& object : description_.shaders) {
            for (const ShaderCompileRequest& request : object.shaders)
                direct3D9Entries.insert(request.entry);
        }
        for (const EffectTechniqueDesc& technique : description_.techniques) {
            for (const EffectPassDesc& pass : technique.passes) {
                direct3D9Entries.insert(pass.vertexShader.compiled.entry);
                direct3D9Entries.insert(pass.pixelShader.compiled.entry);
            }
        }
        const std::set<std::string> kept = Reachable(direct3D9Entries);
        for (const std::string& name : Reachable(direct3D10Entries_)) {
            if (kept.count(name) != 0) continue;
            for (const FunctionBody& body : bodies_) {
                if (body.name != name) continue;
                Blank(body.begin, body.end);
                edits_.erase(std::remove_if(edits_.begin(), edits_.end(),
                                            [&](const TextEdit& edit) {
                                                return edit.offset >= body.begin && edit.offset < body.end;
                                            }),
                             edits_.end());
            }
        }
    }

    // The functions `roots` name and every function their bodies name, by name.
    std::set<std::string> Reachable(const std::set<std::string>& roots) const {
        std::set<std::string> reached;
        std::vector<std::string> pending(roots.begin(), roots.end());
        while (!pending.empty()) {
            const std::string name = pending.back();
            pending.pop_back();
            if (!reached.insert(name).second) continue;
            for (const FunctionBody& body : bodies_) {
                if (body.name != name) continue;
                for (std::size_t i = body.open; i <= body.close; ++i) {
                    const Token& token = tokens_[i];
                    const bool isFunction = std::any_of(bodies_.begin(), bodies_.end(), [&](const FunctionBody& other) {
                        return other.name == token.text;
                    });
                    if (token.kind == TokenKind::Identifier && isFunction) pending.push_back(token.text);
                }
            }
        }
        return reached;
    }

    // `(float[4])v` in the body between tokens `open` and `close` becomes `fx_Af4(v)`, padded so
    // that `v` keeps its column; glslang has no casts to arrays.
    void RewriteArrayCasts(std::size_t open, std::size_t close) {
        const auto& types = ArrayCastTypes();
        for (std::size_t i = open; i + 5 < close; ++i) {
            const auto symbolAt = [&](std::size_t at, const char* text) {
                return tokens_[at].kind == TokenKind::Symbol && tokens_[at].text == text;
            };
            if (!symbolAt(i, "(") || !symbolAt(i + 2, "[") || !symbolAt(i + 4, "]") || !symbolAt(i + 5, ")") ||
                tokens_[i + 3].kind != TokenKind::Number ||
                std::find(types.begin(), types.end(), tokens_[i + 1].text) == types.end()) {
                continue;
            }
            const int count = SmallCount(tokens_[i + 3].text, kMaxArrayCast);
            const std::size_t last = OperandEnd(i + 6, close);
            if (count < 1 || last == 0) continue;  // left for the compiler to refuse
            const std::string call = ArrayCastFunction(tokens_[i + 1].text, count) + "(";
            const std::size_t castLength = tokens_[i + 5].offset + 1 - tokens_[i].offset;
            edits_.push_back({tokens_[i].offset, castLength, CastReplacement(tokens_[i].offset, castLength, call)});
            edits_.push_back({tokens_[last].offset + tokens_[last].length, 0, ")"});
        }
    }

    // The call that stands for the cast at `offset`, as long as the cast on its first line and
    // with the cast's line breaks after it, so that the lines below keep their numbers.
    std::string CastReplacement(std::size_t offset, std::size_t length, const std::string& call) const {
        const std::string cast = description_.hlsl.substr(offset, length);
        const std::size_t lineEnd = std::min(cast.find_first_of("\r\n"), cast.size());
        std::string replacement = call + std::string(lineEnd - std::min(lineEnd, call.size()), ' ');
        for (std::size_t k = lineEnd; k < cast.size(); ++k)
            replacement += cast[k] == '\n' || cast[k] == '\r' ? cast[k] : ' ';
        return replacement;
    }

    // The last token of the unary expression that starts at token `first` (an identifier, literal
    // or bracketed group with its member accesses, indexes and calls); 0 when there is none.
    std::size_t OperandEnd(std::size_t first, std::size_t limit) const {
        const auto closing = [&](std::size_t at) {
            int depth = 0;
            for (std::size_t i = at; i < limit; ++i) {
                const char c = tokens_[i].kind == TokenKind::Symbol ? tokens_[i].text[0] : ' ';
                if (c == '(' || c == '[') ++depth;
                if ((c == ')' || c == ']') && --depth == 0) return i;
            }
            return std::size_t {0};
        };
        std::size_t at = first;
        while (at < limit && tokens_[at].kind == TokenKind::Symbol && std::strchr("-+!~", tokens_[at].text[0]))
            ++at;
        if (at >= limit) return 0;
        std::size_t last = at;
        if (tokens_[at].kind == TokenKind::Symbol) {
            if (tokens_[at].text != "(" || (last = closing(at)) == 0) return 0;
        } else if (tokens_[at].kind != TokenKind::Identifier && tokens_[at].kind != TokenKind::Number) {
            return 0;
        }
        for (;;) {
            const Token& next = tokens_[last + 1];
            if (last + 1 >= limit || next.kind != TokenKind::Symbol) return last;
            if (next.text == "." && last + 2 < limit && tokens_[last + 2].kind == TokenKind::Identifier) {
                last += 2;
            } else if (next.text == "(" || next.text == "[") {
                last = closing(last + 1);
                if (last == 0) return 0;
            } else {
                return last;
            }
        }
    }

    void AddParameter(EffectParameterDesc parameter) {
        for (const EffectParameterDesc& existing : description_.parameters) {
            if (existing.name == parameter.name) {
                throw SyntaxError {parameter.position, "redefinition of '" + parameter.name + "'"};
            }
        }
        description_.parameters.push_back(std::move(parameter));
    }

    void CheckEntry(const ShaderCompileRequest& request) const {
        const auto& functions = description_.functions;
        if (request.entry.empty()) return;  // NULL
        if (std::find(functions.begin(), functions.end(), request.entry) == functions.end()) {
            throw SyntaxError {request.position, "undeclared identifier '" + request.entry + "'"};
        }
    }

    void CheckSelection(const PassShader& shader, bool vertex) const {
        const auto& objects = description_.shaders;
        const auto object = std::find_if(objects.begin(), objects.end(),
                                         [&](const ShaderObjectDesc& known) { return known.name == shader.object; });
        if (object == objects.end() || object->vertex != vertex) {
            throw SyntaxError {shader.position,
                               "'" + shader.object + "' is not a " + (vertex ? "VertexShader" : "PixelShader")};
        }
        if (!shader.indexTokens.empty()) return;  // checked when the effect resolves it
        if (static_cast<std::size_t>(shader.index) >= object->shaders.size()) {
            throw SyntaxError {shader.position,
                               "index " + std::to_string(shader.index) + " is outside '" + shader.object + "'"};
        }
        if (shader.indexParameter.empty()) return;
        const auto& parameters = description_.parameters;
        const auto index = std::find_if(parameters.begin(), parameters.end(), [&](const EffectParameterDesc& known) {
            return known.name == shader.indexParameter;
        });
        if (index == parameters.end() || index->type != ParameterType::Int ||
            index->parameterClass != ParameterClass::Scalar || index->elements != 0) {
            throw SyntaxError {shader.position, "'" + shader.indexParameter + "' is not an int parameter"};
        }
    }

    void CheckEntryPoints() const {
        for (const ShaderObjectDesc& object : description_.shaders) {
            for (const ShaderCompileRequest& request : object.shaders)
                CheckEntry(request);
        }
        for (const EffectTechniqueDesc& technique : description_.techniques) {
            for (const EffectPassDesc& pass : technique.passes) {
                for (const PassShader* shader : {&pass.vertexShader, &pass.pixelShader}) {
                    if (shader->assignment == ShaderAssignment::Compiled) CheckEntry(shader->compiled);
                    if (shader->assignment == ShaderAssignment::Selected)
                        CheckSelection(*shader, shader == &pass.vertexShader);
                }
            }
        }
    }

    using TextEdit = SourceEdit;

    // A function definition: its text from its return type to its closing brace, and the tokens
    // of its body.
    struct FunctionBody {
        std::string name;
        std::size_t begin;
        std::size_t end;
        std::size_t open;
        std::size_t close;
        std::vector<std::string> parameters;  // their names
        std::vector<bool> outs;               // which of them are `out` or `inout`
    };

    std::vector<Token> tokens_;
    std::size_t index_ = 0;
    EffectDescription description_;
    std::vector<TextEdit> edits_;                 // type names and casts, applied once parsing is done
    std::map<std::string, long long> constants_;  // static const ints, for array sizes
    std::vector<FunctionBody> bodies_;
    std::set<std::string> direct3D10Entries_;        // functions the Direct3D 10/11 techniques compile
    std::map<std::string, UniformGlobal> uniforms_;  // globals the shaders may not write, by name
    std::set<std::string> globals_;                  // every global variable's name
    bool backwardsCompatible_;                       // D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY
    std::vector<int> dimensions_;                    // of the declarator read last
};

}  // namespace

ParseResult ParseEffect(const std::string& source, bool backwardsCompatible) {
    ParseResult result;
    LexResult lexed = Tokenize(source);
    if (!lexed.ok) {
        result.errorPosition = lexed.errorPosition;
        result.error = lexed.error;
        return result;
    }
    try {
        result.description = Parser(source, std::move(lexed.tokens), backwardsCompatible).Run();
        result.ok = true;
    } catch (const SyntaxError& error) {
        result.errorPosition = error.position;
        result.error = error.message;
    }
    return result;
}

}  // namespace nvesk::d3dx9
