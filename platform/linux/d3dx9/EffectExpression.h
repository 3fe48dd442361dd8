// Expressions as effect files write them in state values and `static const` initialisers: HLSL's
// arithmetic, comparisons, logic, bit operations, casts, constructors, swizzles and a few
// intrinsics, over literals, named constants and parameters. An expression is parsed once, when
// the effect is created; one that reads no parameter is folded there, the others are evaluated
// from the parameters' current values each time a pass applies its states.
#pragma once

#include "EffectLexer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class ExpressionType { Bool, Int, Float };

// A value of one type and shape: its numbers row after row (rows is 1 for scalars and vectors).
struct ExpressionValue {
    ExpressionType type = ExpressionType::Float;
    int rows = 1;
    int columns = 1;
    std::vector<double> numbers;

    std::size_t Count() const { return static_cast<std::size_t>(rows * columns); }
};

// `float`, `int3`, `half4x4`, `bool2`...: false when `name` is no numeric type of HLSL.
bool ParseExpressionType(const std::string& name, ExpressionValue& shape);

// What a name stands for: a constant, or a parameter read when the expression is evaluated.
struct ExpressionName {
    ExpressionValue value;  // a constant's value; a parameter's type and shape, without numbers
    int parameter = -1;
    int elements = 0;        // a parameter array's length, 0 when it is not an array
    bool valueName = false;  // one of a state's value names (`RED`), which may be ORed
};

// Finds what `name` stands for; false when it stands for nothing an expression can read.
using NameLookup = std::function<bool(const std::string& name, ExpressionName& found)>;
// Reads `count` numbers of `parameter`, starting at number `first` (element after element).
using ParameterReader = std::function<void(int parameter, std::size_t first, std::size_t count, double* numbers)>;

class Expression {
public:
    struct Node;

    // Parses `tokens` as one expression (`end`: where the text after them stands); null with
    // `errorAt` and `error` set when they are not one, or name what `names` does not know.
    static std::unique_ptr<Expression> Parse(const std::vector<Token>& tokens, SourcePosition end,
                                             const NameLookup& names, SourcePosition& errorAt, std::string& error);
    explicit Expression(std::unique_ptr<Node> root);
    ~Expression();

    bool ReadsParameters() const;
    // The type and shape every evaluation has.
    ExpressionValue Shape() const;
    ExpressionValue Evaluate(const ParameterReader& read) const;
    // An expression that reads no parameter; its value.
    ExpressionValue Fold() const;

private:
    std::unique_ptr<Node> root_;
};

}  // namespace nvesk::d3dx9
