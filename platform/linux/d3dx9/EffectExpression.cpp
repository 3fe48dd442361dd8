#include "EffectExpression.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace nvesk::d3dx9 {

namespace {

enum class Op { Constant, Parameter, Negate, Not, Binary, Select, Convert, Construct, Swizzle, Call };

struct ParseError {
    SourcePosition position;
    std::string message;
};

const char* TypeName(ExpressionType type) {
    return type == ExpressionType::Bool ? "bool" : type == ExpressionType::Int ? "int" : "float";
}

std::string ShapeName(const ExpressionValue& value) {
    std::string name = TypeName(value.type);
    if (value.rows > 1) return name + std::to_string(value.rows) + "x" + std::to_string(value.columns);
    return value.columns > 1 ? name + std::to_string(value.columns) : name;
}

// A number as a value of `type`: bools are 0 or 1, ints wrap as 32-bit integers, floats round
// to single precision.
double AsType(double number, ExpressionType type) {
    switch (type) {
    case ExpressionType::Bool:
        return number != 0.0 ? 1.0 : 0.0;
    case ExpressionType::Int: {
        if (!std::isfinite(number)) return 0.0;
        const double whole = std::trunc(number);
        const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::fmod(whole, 4294967296.0)));
        return static_cast<double>(static_cast<std::int32_t>(bits));
    }
    case ExpressionType::Float:
        return static_cast<double>(static_cast<float>(number));
    }
    return number;
}

ExpressionType Promoted(ExpressionType a, ExpressionType b) {
    if (a == ExpressionType::Float || b == ExpressionType::Float) return ExpressionType::Float;
    return ExpressionType::Int;
}

}  // namespace

bool ParseExpressionType(const std::string& name, ExpressionValue& shape) {
    static const std::pair<const char*, ExpressionType> kBases[] = {
        {"bool", ExpressionType::Bool},   {"int", ExpressionType::Int},    {"uint", ExpressionType::Int},
        {"dword", ExpressionType::Int},   {"half", ExpressionType::Float}, {"float", ExpressionType::Float},
        {"double", ExpressionType::Float}};
    for (const auto& [base, type] : kBases) {
        const std::size_t length = std::strlen(base);
        if (name.compare(0, length, base) != 0) continue;
        const std::string rest = name.substr(length);
        shape = ExpressionValue();
        shape.type = type;
        const auto digit = [](char c) { return c >= '1' && c <= '4'; };
        if (rest.empty()) return true;
        if (rest.size() == 1 && digit(rest[0])) {
            shape.columns = rest[0] - '0';
            return true;
        }
        if (rest.size() == 3 && digit(rest[0]) && rest[1] == 'x' && digit(rest[2])) {
            shape.rows = rest[0] - '0';
            shape.columns = rest[2] - '0';
            return true;
        }
        return false;
    }
    return false;
}

namespace {

// Intrinsics of one, two or three arguments taken component by component.
struct Intrinsic {
    const char* name;
    int arguments;
    bool keepsType;  // abs, min, max, clamp: an int stays an int
};

const Intrinsic* FindIntrinsic(const std::string& name) {
    static const Intrinsic kIntrinsics[] = {
        {"abs", 1, true},     {"ceil", 1, false},     {"floor", 1, false},   {"frac", 1, false},
        {"round", 1, false},  {"trunc", 1, false},    {"sqrt", 1, false},    {"rsqrt", 1, false},
        {"exp", 1, false},    {"exp2", 1, false},     {"log", 1, false},     {"log2", 1, false},
        {"log10", 1, false},  {"sin", 1, false},      {"cos", 1, false},     {"tan", 1, false},
        {"asin", 1, false},   {"acos", 1, false},     {"atan", 1, false},    {"saturate", 1, false},
        {"sign", 1, false},   {"radians", 1, false},  {"degrees", 1, false}, {"min", 2, true},
        {"max", 2, true},     {"pow", 2, false},      {"fmod", 2, false},    {"step", 2, false},
        {"atan2", 2, false},  {"clamp", 3, true},     {"lerp", 3, false},    {"dot", 2, false},
        {"length", 1, false}, {"normalize", 1, false}};
    for (const Intrinsic& intrinsic : kIntrinsics) {
        if (name == intrinsic.name) return &intrinsic;
    }
    return nullptr;
}

double ApplyIntrinsic(const std::string& name, double a, double b, double c) {
    if (name == "abs") return std::fabs(a);
    if (name == "ceil") return std::ceil(a);
    if (name == "floor") return std::floor(a);
    if (name == "frac") return a - std::floor(a);
    if (name == "round") return std::round(a);
    if (name == "trunc") return std::trunc(a);
    if (name == "sqrt") return std::sqrt(a);
    if (name == "rsqrt") return 1.0 / std::sqrt(a);
    if (name == "exp") return std::exp(a);
    if (name == "exp2") return std::exp2(a);
    if (name == "log") return std::log(a);
    if (name == "log2") return std::log2(a);
    if (name == "log10") return std::log10(a);
    if (name == "sin") return std::sin(a);
    if (name == "cos") return std::cos(a);
    if (name == "tan") return std::tan(a);
    if (name == "asin") return std::asin(a);
    if (name == "acos") return std::acos(a);
    if (name == "atan") return std::atan(a);
    if (name == "saturate") return std::clamp(a, 0.0, 1.0);
    if (name == "sign") return a > 0 ? 1.0 : a < 0 ? -1.0 : 0.0;
    if (name == "radians") return a * (3.14159265358979323846 / 180.0);
    if (name == "degrees") return a * (180.0 / 3.14159265358979323846);
    if (name == "min") return std::min(a, b);
    if (name == "max") return std::max(a, b);
    if (name == "pow") return std::pow(a, b);
    if (name == "fmod") return std::fmod(a, b);
    if (name == "step") return b >= a ? 1.0 : 0.0;
    if (name == "atan2") return std::atan2(a, b);
    if (name == "clamp") return std::clamp(a, b, std::max(b, c));
    if (name == "lerp") return a + (b - a) * c;
    return 0.0;
}

double BinaryNumber(const std::string& op, ExpressionType type, double a, double b) {
    const bool integer = type != ExpressionType::Float;
    const auto bits = [](double v) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(v)); };
    if (op == "+") return a + b;
    if (op == "-") return a - b;
    if (op == "*") return a * b;
    if (op == "/") {
        if (!integer) return a / b;
        return b == 0 ? 0.0 : std::trunc(a / b);
    }
    if (op == "%") {
        if (!integer) return std::fmod(a, b);
        return b == 0 ? 0.0 : std::fmod(a, b);
    }
    if (op == "<") return a < b;
    if (op == ">") return a > b;
    if (op == "<=") return a <= b;
    if (op == ">=") return a >= b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    if (op == "&&") return a != 0 && b != 0;
    if (op == "||") return a != 0 || b != 0;
    if (op == "|") return static_cast<std::int32_t>(bits(a) | bits(b));
    return 0.0;
}

bool IsComparison(const std::string& op) {
    return op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==" || op == "!=" || op == "&&" || op == "||";
}

bool IsBitwise(const std::string& op) {
    return op == "&" || op == "|" || op == "^" || op == "<<" || op == ">>";
}

}  // namespace

struct Expression::Node {
    Op op = Op::Constant;
    ExpressionValue value;  // the type and shape; a constant's numbers
    std::string name;       // the operator or function
    int parameter = -1;
    std::size_t first = 0;   // a parameter's first number
    int elements = 0;        // a parameter array not indexed yet
    int height = 1;          // of the tree below it
    bool token = false;      // a value name, a whole number or an OR of those
    std::vector<int> picks;  // a swizzle's components
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

using Node = Expression::Node;
using NodePtr = std::unique_ptr<Node>;

class ExpressionParser {
public:
    ExpressionParser(const std::vector<Token>& tokens, SourcePosition end, const NameLookup& names)
        : tokens_(tokens), end_(end), names_(names) {}

    NodePtr Run() {
        if (tokens_.empty()) Fail(end_, "syntax error: missing expression");
        NodePtr root = Conditional();
        if (index_ < tokens_.size()) Fail(Here(), "syntax error: unexpected '" + tokens_[index_].text + "'");
        return root;
    }

private:
    [[noreturn]] static void Fail(SourcePosition at, const std::string& message) { throw ParseError {at, message}; }

    SourcePosition Here() const { return index_ < tokens_.size() ? tokens_[index_].position : end_; }

    // The operator of one or two symbols that starts at the current token ("||" is two tokens).
    std::string Operator() const {
        if (index_ >= tokens_.size() || tokens_[index_].kind != TokenKind::Symbol) return std::string();
        const Token& token = tokens_[index_];
        if (index_ + 1 < tokens_.size()) {
            const Token& next = tokens_[index_ + 1];
            if (next.kind == TokenKind::Symbol && next.offset == token.offset + token.length) {
                static const char* const kPairs[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
                const std::string pair = token.text + next.text;
                for (const char* known : kPairs) {
                    if (pair == known) return pair;
                }
            }
        }
        return token.text;
    }

    bool At(const char* symbol) const { return Operator() == symbol; }

    void Take(const std::string& op) { index_ += op.size(); }

    void Expect(const char* symbol) {
        if (!At(symbol)) {
            Fail(Here(), std::string("syntax error: expected '") + symbol + "'" +
                             (index_ < tokens_.size() ? " before '" + tokens_[index_].text + "'" : std::string()));
        }
        Take(symbol);
    }

    // A node with its children, no taller than a bound: a long chain of operators (`1 + 1 + ...`)
    // would otherwise make evaluating it, and letting it go, recurse that deep.
    static NodePtr Grown(NodePtr node, SourcePosition at) {
        constexpr int kMaxHeight = 1024;
        for (const NodePtr& child : node->children)
            node->height = std::max(node->height, child->height + 1);
        if (node->height > kMaxHeight) Fail(at, "expression too long");
        return node;
    }

    static NodePtr Make(Op op, ExpressionValue shape) {
        auto node = std::make_unique<Node>();
        node->op = op;
        node->value = std::move(shape);
        node->value.numbers.clear();
        return node;
    }

    // The shape both operands take: equal shapes, or a scalar widened to the other's.
    static ExpressionValue Combined(const ExpressionValue& a, const ExpressionValue& b, SourcePosition at,
                                    const std::string& op) {
        ExpressionValue shape = a.Count() >= b.Count() ? a : b;
        const bool fits = a.Count() == 1 || b.Count() == 1 || (a.rows == b.rows && a.columns == b.columns);
        if (!fits) Fail(at, "type mismatch: '" + op + "' between " + ShapeName(a) + " and " + ShapeName(b));
        shape.type = Promoted(a.type, b.type);
        shape.numbers.clear();
        return shape;
    }

    // Direct3D 9's HLSL has no bitwise operators (they need shader model 4); a state's value is
    // the exception, whose tokens (value names and whole numbers) may be ORed: `RED | GREEN`.
    static void CheckBitwise(const std::string& op, const Node* left, const Node* right, SourcePosition at) {
        const bool tokens = op == "|" && left->token && right->token;
        if (!tokens) {
            Fail(at, "'" + op +
                         "': bitwise operations need shader model 4; a state's value names and numbers "
                         "may be ORed (RED | GREEN)");
        }
    }

    NodePtr Binary(std::string op, NodePtr left, NodePtr right, SourcePosition at) {
        if (IsBitwise(op)) CheckBitwise(op, left.get(), right.get(), at);
        ExpressionValue shape = Combined(left->value, right->value, at, op);
        if (IsComparison(op)) shape.type = ExpressionType::Bool;
        NodePtr node = Make(Op::Binary, shape);
        node->token = op == "|";
        node->name = std::move(op);
        node->children.push_back(std::move(left));
        node->children.push_back(std::move(right));
        return Grown(std::move(node), at);
    }

    // One level of nesting deeper for as long as it lives: a bound on brackets and unary operators
    // keeps any text from exhausting the stack.
    class Nested {
    public:
        explicit Nested(ExpressionParser& parser) : depth_(parser.depth_) {
            constexpr int kMaxDepth = 256;
            if (++depth_ > kMaxDepth) Fail(parser.Here(), "expression nested too deeply");
        }
        ~Nested() { --depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        int& depth_;
    };

    NodePtr Conditional() {
        const Nested nested(*this);
        NodePtr condition = Level(0);
        if (!At("?")) return condition;
        const SourcePosition at = Here();
        Take("?");
        NodePtr whenTrue = Conditional();
        Expect(":");
        NodePtr whenFalse = Conditional();
        ExpressionValue shape = Combined(whenTrue->value, whenFalse->value, at, "?:");
        if (whenTrue->value.type == whenFalse->value.type) shape.type = whenTrue->value.type;
        if (condition->value.Count() != 1 && condition->value.Count() != shape.Count()) {
            Fail(at, "type mismatch: a " + ShapeName(condition->value) + " condition selects " + ShapeName(shape));
        }
        NodePtr node = Make(Op::Select, shape);
        node->children.push_back(std::move(condition));
        node->children.push_back(std::move(whenTrue));
        node->children.push_back(std::move(whenFalse));
        return Grown(std::move(node), at);
    }

    // Binary operators by HLSL's precedence, loosest first.
    NodePtr Level(std::size_t level) {
        static const std::vector<std::vector<const char*>> kLevels = {
            {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == kLevels.size()) return Unary();
        if (noGreater_ && level < 7) return Level(7);
        NodePtr left = Level(level + 1);
        for (;;) {
            const std::string op = Operator();
            const auto& ops = kLevels[level];
            if (std::none_of(ops.begin(), ops.end(), [&](const char* known) { return op == known; })) return left;
            const SourcePosition at = Here();
            Take(op);
            left = Binary(op, std::move(left), Level(level + 1), at);
        }
    }

    NodePtr Unary() {
        const SourcePosition at = Here();
        const std::string op = Operator();
        if (op == "~") CheckBitwise(op, nullptr, nullptr, at);
        if (op == "-" || op == "+" || op == "!") {
            Take(op);
            const Nested nested(*this);
            NodePtr operand = Unary();
            if (op == "+") return operand;
            ExpressionValue shape = operand->value;
            if (op == "!") {
                shape.type = ExpressionType::Bool;
            } else if (shape.type == ExpressionType::Bool) {
                shape.type = ExpressionType::Int;
            }
            NodePtr node = Make(op == "-" ? Op::Negate : Op::Not, shape);
            node->children.push_back(std::move(operand));
            return Grown(std::move(node), at);
        }
        // `(float)x`, `(int3)v`: a cast, where the bracket holds a type name alone.
        ExpressionValue castTo;
        if (op == "(" && index_ + 2 < tokens_.size() && tokens_[index_ + 1].kind == TokenKind::Identifier &&
            tokens_[index_ + 2].text == ")" && ParseExpressionType(tokens_[index_ + 1].text, castTo)) {
            index_ += 3;
            const Nested nested(*this);
            return Cast(Unary(), castTo, at);
        }
        NodePtr operand = Postfix(Primary());
        if (operand->elements > 0) Fail(at, "'" + operand->name + "' is an array: name one of its elements");
        return operand;
    }

    static NodePtr Cast(NodePtr operand, const ExpressionValue& to, SourcePosition at) {
        const ExpressionValue& shape = operand->value;
        const bool truncated = shape.rows == 1 && to.rows == 1 && shape.columns > to.columns;
        if (shape.Count() != 1 && shape.Count() != to.Count() && !truncated) {
            Fail(at, "cannot convert from " + ShapeName(operand->value) + " to " + ShapeName(to));
        }
        NodePtr node = Make(Op::Convert, to);
        node->children.push_back(std::move(operand));
        return Grown(std::move(node), at);
    }

    NodePtr Postfix(NodePtr node) {
        for (;;) {
            const SourcePosition at = Here();
            if (At(".") && index_ + 1 < tokens_.size() && tokens_[index_ + 1].kind == TokenKind::Identifier) {
                const std::string letters = tokens_[index_ + 1].text;
                index_ += 2;
                node = Swizzle(std::move(node), letters, at);
            } else if (At("[")) {
                Take("[");
                NodePtr index = Conditional();
                Expect("]");
                node = Index(std::move(node), *index, at);
            } else {
                return node;
            }
        }
    }

    static NodePtr Swizzle(NodePtr operand, const std::string& letters, SourcePosition at) {
        if (operand->value.rows != 1 || letters.empty() || letters.size() > 4) {
            Fail(at, "invalid swizzle '" + letters + "' of " + ShapeName(operand->value));
        }
        const std::string set = std::string("xyzw").find(letters[0]) != std::string::npos ? "xyzw" : "rgba";
        ExpressionValue shape = operand->value;
        shape.columns = static_cast<int>(letters.size());
        NodePtr node = Make(Op::Swizzle, shape);
        for (char letter : letters) {
            const std::size_t component = set.find(letter);
            if (component == std::string::npos || static_cast<int>(component) >= operand->value.columns) {
                Fail(at, "invalid swizzle '" + letters + "' of " + ShapeName(operand->value));
            }
            node->picks.push_back(static_cast<int>(component));
        }
        node->children.push_back(std::move(operand));
        return Grown(std::move(node), at);
    }

    // `v[1]` (a component), `m[2]` (a row) or `array[3]` (an element), by a constant index.
    NodePtr Index(NodePtr operand, const Node& index, SourcePosition at) {
        if (ReadsParameters(index) || index.value.Count() != 1) Fail(at, "an index here must be a constant scalar");
        const double number = Evaluate(index, nullptr).numbers[0];
        const int element = static_cast<int>(number);
        if (operand->elements > 0) {
            if (element < 0 || element >= operand->elements) Fail(at, "array index out of bounds");
            operand->first += static_cast<std::size_t>(element) * operand->value.Count();
            operand->elements = 0;
            return operand;
        }
        const ExpressionValue& shape = operand->value;
        const int limit = shape.rows > 1 ? shape.rows : shape.columns;
        if (shape.Count() == 1 || element < 0 || element >= limit)
            Fail(at, "index out of bounds of " + ShapeName(shape));
        ExpressionValue picked = shape;
        picked.rows = 1;
        picked.columns = shape.rows > 1 ? shape.columns : 1;
        NodePtr node = Make(Op::Swizzle, picked);
        for (int c = 0; c < picked.columns; ++c)
            node->picks.push_back(shape.rows > 1 ? element * shape.columns + c : element);
        node->children.push_back(std::move(operand));
        return Grown(std::move(node), at);
    }

    NodePtr Primary() {
        if (index_ >= tokens_.size()) Fail(end_, "syntax error: missing operand");
        const Token& token = tokens_[index_];
        if (token.kind == TokenKind::Number) {
            ++index_;
            return Literal(token);
        }
        if (At("(")) {
            Take("(");
            const bool outer = noGreater_;
            noGreater_ = false;
            NodePtr inner = Conditional();
            noGreater_ = outer;
            Expect(")");
            return inner;
        }
        if (At("{")) return List();
        if (token.kind != TokenKind::Identifier) Fail(token.position, "syntax error: unexpected '" + token.text + "'");
        ++index_;
        ExpressionValue type;
        if (At("(") || (At("<") && ParseExpressionType(token.text, type))) return Call(token);
        return Name(token);
    }

    NodePtr Literal(const Token& token) {
        const std::string& text = token.text;
        ExpressionValue value;
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (hex) {
            value.type = ExpressionType::Int;
            value.numbers = {AsType(static_cast<double>(std::strtoull(text.c_str() + 2, nullptr, 16)), value.type)};
        } else {
            const bool real = text.find_first_of(".eEfFhH") != std::string::npos;
            value.type = real ? ExpressionType::Float : ExpressionType::Int;
            value.numbers = {AsType(std::strtod(text.c_str(), nullptr), value.type)};
        }
        NodePtr node = Make(Op::Constant, value);
        node->value.numbers = value.numbers;
        node->token = value.type == ExpressionType::Int;
        return node;
    }

    // `{1, 2, 3}`: literals (signed), as a vector of as many numbers.
    NodePtr List() {
        const SourcePosition at = Here();
        Take("{");
        ExpressionValue value;
        value.type = ExpressionType::Int;
        while (!At("}")) {
            NodePtr item = Conditional();
            if (ReadsParameters(*item)) Fail(at, "an initialiser list holds literal values only");
            const ExpressionValue folded = Evaluate(*item, nullptr);
            value.numbers.insert(value.numbers.end(), folded.numbers.begin(), folded.numbers.end());
            value.type = Promoted(value.type, folded.type);
            if (!At(",")) break;
            Take(",");
        }
        Expect("}");
        if (value.numbers.empty() || value.numbers.size() > 16) Fail(at, "invalid initialiser list");
        value.columns = static_cast<int>(value.numbers.size());
        for (double& number : value.numbers)
            number = AsType(number, value.type);
        NodePtr node = Make(Op::Constant, value);
        node->value.numbers = value.numbers;
        return node;
    }

    // `float4(...)` or `float4<...>` builds a value; `max(a, b)` calls an intrinsic.
    NodePtr Call(const Token& function) {
        const SourcePosition at = function.position;
        const bool angle = At("<");
        Take(angle ? "<" : "(");
        std::vector<NodePtr> arguments;
        const bool outer = noGreater_;
        noGreater_ = angle;
        while (!At(angle ? ">" : ")")) {
            arguments.push_back(Conditional());
            if (!At(",")) break;
            Take(",");
        }
        noGreater_ = outer;
        Expect(angle ? ">" : ")");
        ExpressionValue type;
        if (ParseExpressionType(function.text, type)) return Construct(type, std::move(arguments), at, function.text);
        const Intrinsic* intrinsic = FindIntrinsic(function.text);
        if (intrinsic == nullptr) Fail(at, "undeclared identifier '" + function.text + "'");
        if (static_cast<int>(arguments.size()) != intrinsic->arguments) {
            Fail(at, "'" + function.text + "' takes " + std::to_string(intrinsic->arguments) + " arguments");
        }
        ExpressionValue shape = arguments[0]->value;
        for (const NodePtr& argument : arguments)
            shape = Combined(shape, argument->value, at, function.text);
        if (!intrinsic->keepsType) shape.type = ExpressionType::Float;
        const std::string& name = function.text;
        if (name == "dot" || name == "length") {
            if (shape.rows != 1) Fail(at, "'" + name + "' takes vectors");
            shape.columns = 1;
        }
        NodePtr node = Make(Op::Call, shape);
        node->name = name;
        node->children = std::move(arguments);
        return Grown(std::move(node), at);
    }

    static NodePtr Construct(const ExpressionValue& type, std::vector<NodePtr> arguments, SourcePosition at,
                             const std::string& name) {
        std::size_t count = 0;
        for (const NodePtr& argument : arguments)
            count += argument->value.Count();
        if (count != type.Count()) {
            Fail(at, "'" + name + "' needs " + std::to_string(type.Count()) + " values and is given " +
                         std::to_string(count));
        }
        NodePtr node = Make(Op::Construct, type);
        node->children = std::move(arguments);
        return Grown(std::move(node), at);
    }

    NodePtr Name(const Token& token) {
        std::string lower = token.text;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        ExpressionName found;
        if (names_(token.text, found)) {
            if (found.parameter < 0) {
                NodePtr node = Make(Op::Constant, found.value);
                node->value.numbers = found.value.numbers;
                node->token = found.valueName;
                return node;
            }
            NodePtr node = Make(Op::Parameter, found.value);
            node->parameter = found.parameter;
            node->elements = found.elements;
            node->name = token.text;
            return node;
        }
        if (lower == "true" || lower == "false") {
            ExpressionValue value;
            value.type = ExpressionType::Bool;
            value.numbers = {lower == "true" ? 1.0 : 0.0};
            NodePtr node = Make(Op::Constant, value);
            node->value.numbers = value.numbers;
            return node;
        }
        Fail(token.position, "undeclared identifier '" + token.text + "'");
    }

    const std::vector<Token>& tokens_;
    SourcePosition end_;
    const NameLookup& names_;
    std::size_t index_ = 0;
    bool noGreater_ = false;  // inside `float4<...>`, where '>' closes the list
    int depth_ = 0;

public:
    static bool ReadsParameters(const Node& node) {
        if (node.op == Op::Parameter) return true;
        return std::any_of(node.children.begin(), node.children.end(),
                           [](const NodePtr& child) { return ReadsParameters(*child); });
    }

    static ExpressionValue Evaluate(const Node& node, const ParameterReader* read);
};

ExpressionValue ExpressionParser::Evaluate(const Node& node, const ParameterReader* read) {
    ExpressionValue result = node.value;
    const std::size_t count = result.Count();
    result.numbers.assign(count, 0.0);
    std::vector<ExpressionValue> operands;
    for (const NodePtr& child : node.children)
        operands.push_back(Evaluate(*child, read));
    // Component i of an operand, a scalar standing for every component.
    const auto at = [](const ExpressionValue& value, std::size_t i) {
        return value.numbers.size() == 1 ? value.numbers[0] : value.numbers[i];
    };
    switch (node.op) {
    case Op::Constant:
        result.numbers = node.value.numbers;
        return result;
    case Op::Parameter:
        if (read != nullptr) (*read)(node.parameter, node.first, count, result.numbers.data());
        break;
    case Op::Negate:
        for (std::size_t i = 0; i < count; ++i)
            result.numbers[i] = -operands[0].numbers[i];
        break;
    case Op::Not:
        for (std::size_t i = 0; i < count; ++i)
            result.numbers[i] = operands[0].numbers[i] == 0.0 ? 1.0 : 0.0;
        break;
    case Op::Binary: {
        const ExpressionType type = Promoted(operands[0].type, operands[1].type);
        for (std::size_t i = 0; i < count; ++i) {
            const double a = AsType(at(operands[0], i), type);
            const double b = AsType(at(operands[1], i), type);
            result.numbers[i] = BinaryNumber(node.name, type, a, b);
        }
        break;
    }
    case Op::Select:
        for (std::size_t i = 0; i < count; ++i)
            result.numbers[i] = at(operands[0], i) != 0.0 ? at(operands[1], i) : at(operands[2], i);
        break;
    case Op::Convert:
        for (std::size_t i = 0; i < count; ++i)
            result.numbers[i] = at(operands[0], i);
        break;
    case Op::Construct: {
        std::size_t i = 0;
        for (const ExpressionValue& operand : operands) {
            for (double number : operand.numbers)
                result.numbers[i++] = number;
        }
        break;
    }
    case Op::Swizzle:
        for (std::size_t i = 0; i < count; ++i)
            result.numbers[i] = operands[0].numbers[static_cast<std::size_t>(node.picks[i])];
        break;
    case Op::Call: {
        if (node.name == "dot" || node.name == "length" || node.name == "normalize") {
            const ExpressionValue& a = operands[0];
            const ExpressionValue& b = operands.size() > 1 ? operands[1] : operands[0];
            double sum = 0.0;
            const std::size_t n = std::max(a.numbers.size(), b.numbers.size());
            for (std::size_t i = 0; i < n; ++i)
                sum += at(a, i) * at(b, i);
            if (node.name == "dot") {
                result.numbers[0] = sum;
            } else if (node.name == "length") {
                result.numbers[0] = std::sqrt(sum);
            } else {
                for (std::size_t i = 0; i < count; ++i)
                    result.numbers[i] = at(a, i) / std::sqrt(sum);
            }
            break;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const double a = at(operands[0], i);
            const double b = operands.size() > 1 ? at(operands[1], i) : 0.0;
            const double c = operands.size() > 2 ? at(operands[2], i) : 0.0;
            result.numbers[i] = ApplyIntrinsic(node.name, a, b, c);
        }
        break;
    }
    }
    for (double& number : result.numbers)
        number = AsType(number, result.type);
    return result;
}

}  // namespace

std::unique_ptr<Expression> Expression::Parse(const std::vector<Token>& tokens, SourcePosition end,
                                              const NameLookup& names, SourcePosition& errorAt, std::string& error) {
    try {
        return std::make_unique<Expression>(ExpressionParser(tokens, end, names).Run());
    } catch (const ParseError& failure) {
        errorAt = failure.position;
        error = failure.message;
        return nullptr;
    }
}

Expression::Expression(std::unique_ptr<Node> root) : root_(std::move(root)) {}

Expression::~Expression() = default;

bool Expression::ReadsParameters() const {
    return ExpressionParser::ReadsParameters(*root_);
}

ExpressionValue Expression::Shape() const {
    ExpressionValue shape = root_->value;
    shape.numbers.clear();
    return shape;
}

ExpressionValue Expression::Evaluate(const ParameterReader& read) const {
    return ExpressionParser::Evaluate(*root_, &read);
}

ExpressionValue Expression::Fold() const {
    return ExpressionParser::Evaluate(*root_, nullptr);
}

}  // namespace nvesk::d3dx9
