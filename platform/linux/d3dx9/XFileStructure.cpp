#include "XFileStructure.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

constexpr std::uint64_t kMaxCount = 1u << 24;
constexpr int kMaxDepth = 64;

enum class Kind { Name, Number, String, Guid, Open, Close, Symbol, Separator, End };

struct Token {
    Kind kind = Kind::End;
    std::string text;
    double number = 0;
    bool integer = false;  // a whole number written as one (text) or from an integer list (binary)
    XPosition position;
};

struct Failure {
    std::string message;
    XPosition position;
};

[[noreturn]] void Fail(const std::string& message, XPosition position = {}) {
    throw Failure {message, position};
}

bool NameStart(unsigned char c) {
    return std::isalpha(c) || c == '_';
}
bool NamePart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '-' || c == '.';
}

// `text` follows the 16-byte header on the file's first line, so its first byte is in column 17.
std::vector<Token> TextTokens(const char* text, std::size_t size) {
    std::vector<Token> tokens;
    std::uint32_t line = 1;
    std::size_t lineBegin = 0;  // where the line starts in `text`, less the columns before `text`
    std::size_t headerColumns = 16;
    auto at = [&](std::size_t offset) {
        return XPosition {line, static_cast<std::uint32_t>(offset + headerColumns - lineBegin + 1)};
    };
    auto push = [&](Kind kind, std::string tokenText, std::size_t begin, double number = 0, bool integer = false) {
        tokens.push_back({kind, std::move(tokenText), number, integer, at(begin)});
    };
    std::size_t i = 0;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++i;
            ++line;
            lineBegin = i;
            headerColumns = 0;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == ',' || c == ';') {
            push(Kind::Separator, std::string(1, static_cast<char>(c)), i);
            ++i;
        } else if (c == '#' || (c == '/' && i + 1 < size && text[i + 1] == '/')) {
            while (i < size && text[i] != '\n')
                ++i;
        } else if (c == '{' || c == '}') {
            push(c == '{' ? Kind::Open : Kind::Close, std::string(1, static_cast<char>(c)), i);
            ++i;
        } else if (c == '[' || c == ']') {
            push(Kind::Symbol, std::string(1, static_cast<char>(c)), i);
            ++i;
        } else if (c == '.' && size - i >= 3 && text[i + 1] == '.' && text[i + 2] == '.') {
            push(Kind::Symbol, "...", i);  // an open template's restriction
            i += 3;
        } else if (c == '<') {
            const std::size_t begin = i++;
            while (i < size && (std::isxdigit(static_cast<unsigned char>(text[i])) || text[i] == '-'))
                ++i;
            if (i >= size || text[i] != '>') Fail("malformed GUID", at(begin));
            push(Kind::Guid, std::string(text + begin + 1, i - begin - 1), begin);
            ++i;
        } else if (c == '"') {
            const std::size_t begin = i++;
            while (i < size && text[i] != '"' && text[i] != '\n' && text[i] != '\0')
                ++i;
            if (i >= size || text[i] != '"') Fail("unterminated string", at(begin));
            push(Kind::String, std::string(text + begin + 1, i - begin - 1), begin);
            ++i;
        } else if (std::isdigit(c) || c == '-' || c == '.') {
            const std::size_t begin = i;
            if (text[i] == '-') ++i;
            std::size_t digits = 0;
            bool integer = true;
            while (i < size && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i, ++digits;
            if (i < size && text[i] == '.') {
                integer = false;
                ++i;
                while (i < size && std::isdigit(static_cast<unsigned char>(text[i])))
                    ++i, ++digits;
            }
            if (digits == 0) Fail("malformed number", at(begin));
            if (i < size && (text[i] == 'e' || text[i] == 'E')) {
                integer = false;
                ++i;
                if (i < size && (text[i] == '-' || text[i] == '+')) ++i;
                std::size_t exponent = 0;
                while (i < size && std::isdigit(static_cast<unsigned char>(text[i])))
                    ++i, ++exponent;
                if (exponent == 0) Fail("malformed number", at(begin));
            }
            if (i < size && NamePart(static_cast<unsigned char>(text[i]))) Fail("malformed number", at(begin));
            const std::string literal(text + begin, i - begin);
            push(Kind::Number, literal, begin, std::strtod(literal.c_str(), nullptr), integer);
        } else if (NameStart(c)) {
            const std::size_t begin = i;
            while (i < size && NamePart(static_cast<unsigned char>(text[i])))
                ++i;
            push(Kind::Name, std::string(text + begin, i - begin), begin);
        } else {
            Fail("unexpected byte " + std::to_string(c) + " in text data", at(i));
        }
    }
    tokens.push_back({Kind::End, {}, 0, false, at(size)});
    return tokens;
}

class BinaryReader {
public:
    BinaryReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return at_ >= size_; }
    std::uint32_t Read(std::size_t bytes) {
        if (size_ - at_ < bytes) Fail("binary data cut off");
        std::uint32_t value = 0;
        std::memcpy(&value, data_ + at_, bytes);
        at_ += bytes;
        return value;
    }
    std::string Bytes(std::size_t count) {
        if (size_ - at_ < count) Fail("binary data cut off");
        std::string text(reinterpret_cast<const char*>(data_ + at_), count);
        at_ += count;
        return text;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<Token> BinaryTokens(const unsigned char* data, std::size_t size, bool doubles) {
    std::vector<Token> tokens;
    BinaryReader reader(data, size);
    while (!reader.AtEnd()) {
        const std::uint32_t type = reader.Read(2);
        switch (type) {
        case 1: {  // name
            const std::uint32_t length = reader.Read(4);
            const std::string name = reader.Bytes(length);
            if (name.empty() || !NameStart(static_cast<unsigned char>(name[0]))) Fail("malformed name");
            for (char c : name) {
                if (!NamePart(static_cast<unsigned char>(c))) Fail("malformed name");
            }
            tokens.push_back({Kind::Name, name, 0, false, {}});
            break;
        }
        case 2: {  // string, then its terminator
            const std::uint32_t length = reader.Read(4);
            const std::string text = reader.Bytes(length);
            if (text.find('\0') != std::string::npos) Fail("malformed string");
            const std::uint32_t end = reader.Read(2);
            if (end != 19 && end != 20) Fail("string without terminator");
            tokens.push_back({Kind::String, text, 0, false, {}});
            break;
        }
        case 3:  // one integer
            tokens.push_back({Kind::Number, {}, static_cast<double>(reader.Read(4)), true, {}});
            break;
        case 5:
            reader.Bytes(16);
            tokens.push_back({Kind::Guid, {}, 0, false, {}});
            break;
        case 6:
        case 7: {
            const std::uint32_t count = reader.Read(4);
            const std::size_t width = type == 6 ? 4 : (doubles ? 8 : 4);
            if (count > (size - 0) / width) Fail("list longer than the file");
            for (std::uint32_t k = 0; k < count; ++k) {
                double value;
                if (type == 6) {
                    value = reader.Read(4);
                } else if (doubles) {
                    const std::string bytes = reader.Bytes(8);
                    std::memcpy(&value, bytes.data(), 8);
                } else {
                    const std::uint32_t bits = reader.Read(4);
                    float single;
                    std::memcpy(&single, &bits, 4);
                    value = single;
                }
                tokens.push_back({Kind::Number, {}, value, type == 6, {}});
            }
            break;
        }
        case 10:
            tokens.push_back({Kind::Open, "{", 0, false, {}});
            break;
        case 11:
            tokens.push_back({Kind::Close, "}", 0, false, {}});
            break;
        case 19:
        case 20:
            tokens.push_back({Kind::Separator, type == 19 ? "," : ";", 0, false, {}});
            break;
        case 12:
        case 13:
        case 14:
        case 15:
        case 16:
        case 17:
        case 18: {
            static const char kSymbols[] = "()[]<>.";
            tokens.push_back({Kind::Symbol, std::string(1, kSymbols[type - 12]), 0, false, {}});
            break;
        }
        case 31:
            tokens.push_back({Kind::Name, "template", 0, false, {}});
            break;
        default:
            if (type >= 40 && type <= 52) {
                // The primitive types of template members, then `array`.
                static const char* const kKeywords[] = {"WORD",    "DWORD",   "FLOAT",  "DOUBLE", "CHAR",
                                                        "UCHAR",   "SWORD",   "SDWORD", "VOID",   "STRING",
                                                        "UNICODE", "CSTRING", "array"};
                tokens.push_back({Kind::Name, kKeywords[type - 40], 0, false, {}});
                break;
            }
            Fail("unknown binary token " + std::to_string(type));
        }
    }
    tokens.push_back({});
    return tokens;
}

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

    std::vector<XObject> File() {
        std::vector<XObject> objects;
        while (Peek().kind != Kind::End) {
            if (Peek().kind == Kind::Name && Peek().text == "template") {
                Template();
            } else {
                objects.push_back(DataObject(0));
            }
        }
        return objects;
    }

private:
    const Token& Peek(std::size_t ahead = 0) const { return tokens_[std::min(at_ + ahead, tokens_.size() - 1)]; }
    const Token& Next() {
        const Token& token = Peek();
        if (at_ < tokens_.size() - 1) ++at_;
        return token;
    }
    void Expect(Kind kind, const char* what) {
        const Token& token = Next();
        if (token.kind != kind) Fail(std::string("expected ") + what, token.position);
    }

    bool AtSymbol(const char* symbol) const { return Peek().kind == Kind::Symbol && Peek().text == symbol; }
    void ExpectSymbol(const char* symbol) {
        if (!AtSymbol(symbol)) Fail(std::string("expected '") + symbol + "' in a template", Peek().position);
        Next();
    }
    void ExpectSeparator(const char* separator) {
        if (Peek().kind != Kind::Separator || Peek().text != separator) {
            Fail(std::string("expected '") + separator + "' in a template", Peek().position);
        }
        Next();
    }

    // template Name { <GUID> members [restrictions] }: members are `Type [name];` or
    // `array Type name[dimension]...;`; restrictions are `[...]` (open) or a list of
    // template names, each with an optional GUID.
    void Template() {
        Next();
        Expect(Kind::Name, "a template name");
        Expect(Kind::Open, "'{' after a template name");
        Expect(Kind::Guid, "a template's GUID");
        while (Peek().kind == Kind::Name) {
            if (Next().text == "array") {
                Expect(Kind::Name, "an array's element type");
                Expect(Kind::Name, "an array's name");
                do {
                    ExpectSymbol("[");
                    const Token& size = Next();
                    if (!(size.kind == Kind::Name || (size.kind == Kind::Number && size.integer && size.number >= 0))) {
                        Fail("an array dimension is neither a count nor a member name", size.position);
                    }
                    ExpectSymbol("]");
                } while (AtSymbol("["));
            } else if (Peek().kind == Kind::Name) {
                Next();  // the member's name
            }
            ExpectSeparator(";");
        }
        if (AtSymbol("[")) Restrictions();
        Expect(Kind::Close, "'}' at the end of a template");
    }

    void Restrictions() {
        Next();
        if (AtSymbol("...") || AtSymbol(".")) {
            for (int dots = Next().text == "..." ? 3 : 1; dots < 3; ++dots)
                ExpectSymbol(".");
        } else {
            for (;;) {
                Expect(Kind::Name, "a template name in a restriction");
                if (Peek().kind == Kind::Guid) Next();
                if (Peek().kind != Kind::Separator || Peek().text != ",") break;
                Next();
            }
        }
        ExpectSymbol("]");
    }

    XObject DataObject(int depth) {
        if (depth > kMaxDepth) Fail("data objects nested too deeply", Peek().position);
        XObject object;
        const Token& type = Next();
        if (type.kind != Kind::Name || type.text == "template") Fail("expected a data object", type.position);
        object.type = type.text;
        object.position = type.position;
        if (Peek().kind == Kind::Name) object.name = Next().text;
        Expect(Kind::Open, "'{' after a data object's name");
        if (Peek().kind == Kind::Guid) Next();
        // Separators end values. After a value, a run of them stands for the ends of the members
        // and array elements the value closes, as exporters write them (`;;`, `;,`, and `,;` or
        // `,}` where a list's last element keeps its comma); the reference reader takes these.
        // A run that follows no value, two commas (an element with no value) and a comma before
        // a data object are refused.
        bool afterValue = false;
        for (;;) {
            const Token& token = Peek();
            if (token.kind != Kind::Separator && token.kind != Kind::Number && token.kind != Kind::String) {
                afterValue = false;
            }
            switch (token.kind) {
            case Kind::Number:
                object.numbers.push_back({token.number, token.integer, token.position});
                Next();
                afterValue = true;
                break;
            case Kind::String:
                object.strings.push_back(Next().text);
                afterValue = true;
                break;
            case Kind::Separator: {
                if (!afterValue) Fail("misplaced separator in data object '" + object.type + "'", token.position);
                const bool comma = Next().text == ",";
                const Token& following = Peek();
                const bool endsList = following.kind == Kind::Close || following.kind == Kind::Separator;
                if (comma && !endsList && following.kind != Kind::Number && following.kind != Kind::String) {
                    Fail("a comma before something that is no value in data object '" + object.type + "'",
                         token.position);
                }
                if (comma && following.kind == Kind::Separator && following.text == ",") {
                    Fail("two commas with no value between them in data object '" + object.type + "'",
                         following.position);
                }
                break;
            }
            case Kind::Name:
                object.children.push_back(DataObject(depth + 1));
                break;
            case Kind::Open:
                Next();
                if (Peek().kind != Kind::Name) Fail("expected a reference name", Peek().position);
                object.references.push_back(Next().text);
                if (Peek().kind == Kind::Guid) Next();
                Expect(Kind::Close, "'}' after a reference");
                break;
            case Kind::Close:
                object.end = Next().position;
                return object;
            case Kind::End:
                Fail("the file ends inside data object '" + object.type + "'", token.position);
            default:
                Fail("unexpected token in data object '" + object.type + "'", token.position);
            }
        }
    }

    const std::vector<Token>& tokens_;
    std::size_t at_ = 0;
};

// Reads the numbers of one data object in order, checking each kind of value as it goes. A
// failure points at the value it is about, or at the object's closing brace when values run out.
class Numbers {
public:
    Numbers(const XObject& object, bool binary) : object_(object), binary_(binary) {}

    std::uint32_t Count() {
        const XNumber& token = Take();
        if (!token.integer || token.value < 0 || token.value > static_cast<double>(kMaxCount)) {
            Fail("invalid count in '" + object_.type + "'", token.position);
        }
        return static_cast<std::uint32_t>(token.value);
    }
    std::uint32_t Index(std::uint32_t limit) {
        const std::uint32_t index = Count();
        if (index >= limit) Fail("index out of range in '" + object_.type + "'", Last());
        return index;
    }
    void Floats(std::uint64_t count) {
        if (count > Left()) Fail("'" + object_.type + "' holds fewer values than it declares", object_.end);
        for (std::uint64_t k = 0; k < count; ++k) {
            if (Take().integer && binary_) Fail("integer where '" + object_.type + "' needs a float", Last());
        }
    }
    void Finish() const {
        if (Left() != 0)
            Fail("'" + object_.type + "' holds more values than it declares", object_.numbers[at_].position);
    }
    // Where the value read last is.
    XPosition Last() const { return at_ == 0 ? object_.position : object_.numbers[at_ - 1].position; }

private:
    std::size_t Left() const { return object_.numbers.size() - at_; }
    const XNumber& Take() {
        if (Left() == 0) Fail("'" + object_.type + "' holds fewer values than it declares", object_.end);
        return object_.numbers[at_++];
    }

    const XObject& object_;
    bool binary_;
    std::size_t at_ = 0;
};

class Checker {
public:
    Checker(const std::vector<XObject>& objects, bool binary) : binary_(binary) {
        for (const XObject& object : objects) {
            if (object.type == "Material" && !object.name.empty()) materials_.insert(object.name);
        }
    }

    void Check(const XObject& object) {
        const std::string& type = object.type;
        if (type == "Mesh") {
            CheckMesh(object);
            return;
        }
        if (type == "FrameTransformMatrix") Fixed(object, 16);
        if (type == "Header" || type == "XSkinMeshHeader") Counts(object, 3);
        if (type == "AnimTicksPerSecond") Counts(object, 1);
        if (type == "Material") CheckMaterial(object);
        if (type == "AnimationKey") CheckAnimationKey(object);
        if (type == "Frame" && !object.numbers.empty()) Fail("a frame holds values", object.numbers[0].position);
        for (const XObject& child : object.children)
            Check(child);
    }

private:
    void Fixed(const XObject& object, std::uint32_t floats) {
        Numbers numbers(object, binary_);
        numbers.Floats(floats);
        numbers.Finish();
    }

    void Counts(const XObject& object, int count) {
        Numbers numbers(object, binary_);
        for (int k = 0; k < count; ++k)
            numbers.Count();
        numbers.Finish();
    }

    void CheckMaterial(const XObject& object) {
        Fixed(object, 11);  // face colour (4), power, specular (3), emissive (3)
        for (const XObject& child : object.children) {
            if ((child.type == "TextureFilename" || child.type == "TextureFileName") &&
                (child.strings.size() != 1 || !child.numbers.empty() || !child.children.empty())) {
                Fail("a texture file name holds one string", child.position);
            }
        }
    }

    void CheckAnimationKey(const XObject& object) {
        Numbers numbers(object, binary_);
        const std::uint32_t keyType = numbers.Count();
        static const std::map<std::uint32_t, std::uint32_t> kValues = {{0, 4}, {1, 3}, {2, 3}, {3, 16}, {4, 16}};
        const auto values = kValues.find(keyType);
        if (values == kValues.end()) Fail("unknown animation key type", numbers.Last());
        const std::uint32_t keys = numbers.Count();
        for (std::uint32_t k = 0; k < keys; ++k) {
            numbers.Count();
            if (numbers.Count() != values->second) Fail("animation key of the wrong size", numbers.Last());
            numbers.Floats(values->second);
        }
        numbers.Finish();
    }

    void CheckMesh(const XObject& mesh) {
        Numbers numbers(mesh, binary_);
        const std::uint32_t vertices = numbers.Count();
        numbers.Floats(static_cast<std::uint64_t>(vertices) * 3);
        const std::uint32_t faces = numbers.Count();
        std::vector<std::uint32_t> faceSizes(faces);
        for (std::uint32_t f = 0; f < faces; ++f) {
            faceSizes[f] = numbers.Count();
            if (faceSizes[f] < 3) Fail("a face with fewer than three corners", numbers.Last());
            for (std::uint32_t k = 0; k < faceSizes[f]; ++k)
                numbers.Index(vertices);
        }
        numbers.Finish();
        for (const XObject& child : mesh.children) {
            if (child.type == "MeshNormals") {
                Numbers normals(child, binary_);
                const std::uint32_t count = normals.Count();
                normals.Floats(static_cast<std::uint64_t>(count) * 3);
                if (normals.Count() != faces) Fail("normal faces do not match the mesh's faces", normals.Last());
                for (std::uint32_t f = 0; f < faces; ++f) {
                    if (normals.Count() != faceSizes[f])
                        Fail("a normal face does not match its mesh face", normals.Last());
                    for (std::uint32_t k = 0; k < faceSizes[f]; ++k)
                        normals.Index(count);
                }
                normals.Finish();
            } else if (child.type == "MeshTextureCoords") {
                Numbers coordinates(child, binary_);
                if (coordinates.Count() != vertices)
                    Fail("texture coordinates do not match the vertices", coordinates.Last());
                coordinates.Floats(static_cast<std::uint64_t>(vertices) * 2);
                coordinates.Finish();
            } else if (child.type == "MeshVertexColors") {
                Numbers colours(child, binary_);
                const std::uint32_t count = colours.Count();
                for (std::uint32_t k = 0; k < count; ++k) {
                    colours.Index(vertices);
                    colours.Floats(4);
                }
                colours.Finish();
            } else if (child.type == "MeshMaterialList") {
                CheckMaterialList(child, faces);
            } else if (child.type == "SkinWeights") {
                Numbers weights(child, binary_);
                if (child.strings.size() != 1) Fail("skin weights name one frame", child.position);
                const std::uint32_t count = weights.Count();
                for (std::uint32_t k = 0; k < count; ++k)
                    weights.Index(vertices);
                weights.Floats(static_cast<std::uint64_t>(count) + 16);
                weights.Finish();
            } else {
                Check(child);
            }
        }
        if (!mesh.references.empty()) Fail("a mesh refers to another object", mesh.position);
    }

    void CheckMaterialList(const XObject& list, std::uint32_t faces) {
        Numbers numbers(list, binary_);
        const std::uint32_t materials = numbers.Count();
        const std::uint32_t indices = numbers.Count();
        if (indices != faces && indices != 1) Fail("material indices do not match the faces", numbers.Last());
        for (std::uint32_t k = 0; k < indices; ++k)
            numbers.Index(materials);
        numbers.Finish();
        std::size_t given = list.references.size();
        for (const std::string& reference : list.references) {
            if (materials_.count(reference) == 0) Fail("a material list names an unknown material", list.position);
        }
        for (const XObject& child : list.children) {
            if (child.type != "Material") Fail("a material list holds something else than materials", child.position);
            CheckMaterial(child);
            ++given;
        }
        if (given != materials)
            Fail("a material list holds another number of materials than it declares", list.position);
    }

    bool binary_;
    std::set<std::string> materials_;
};

}  // namespace

bool ReadXFile(const void* data, std::size_t size, std::vector<XObject>& objects, std::string& error) {
    objects.clear();
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (data == nullptr || size < 16 || std::memcmp(bytes, "xof ", 4) != 0) {
        error = "not a DirectX .x file";
        return false;
    }
    for (int i = 4; i < 8; ++i) {
        if (!std::isdigit(bytes[i])) {
            error = "malformed .x version";
            return false;
        }
    }
    const std::string format(reinterpret_cast<const char*>(bytes + 8), 4);
    const std::string floatSize(reinterpret_cast<const char*>(bytes + 12), 4);
    if (floatSize != "0032" && floatSize != "0064") {
        error = "malformed .x float size";
        return false;
    }
    try {
        std::vector<Token> tokens;
        if (format == "txt ") {
            tokens = TextTokens(reinterpret_cast<const char*>(bytes + 16), size - 16);
        } else if (format == "bin ") {
            tokens = BinaryTokens(bytes + 16, size - 16, floatSize == "0064");
        } else {
            error = "compressed .x files are not supported";
            return false;
        }
        std::vector<XObject> parsed = Parser(tokens).File();
        Checker checker(parsed, format == "bin ");
        for (const XObject& object : parsed)
            checker.Check(object);
        objects = std::move(parsed);
    } catch (const Failure& failure) {
        const XPosition& at = failure.position;
        error = at.line == 0 ? failure.message
                             : "line " + std::to_string(at.line) + ", column " + std::to_string(at.column) + ": " +
                                   failure.message;
        return false;
    }
    return true;
}

bool CheckXFileStructure(const void* data, std::size_t size, std::string& error) {
    std::vector<XObject> objects;
    return ReadXFile(data, size, objects, error);
}

}  // namespace nvesk::d3dx9
