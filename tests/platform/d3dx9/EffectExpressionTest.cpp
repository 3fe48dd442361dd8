// Expressions of state values and static const initialisers, without a device: HLSL's precedence
// and types, folding, reading parameters, and where a malformed expression goes wrong.
#include "EffectExpression.h"
#include "EffectParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace nvesk::d3dx9;

namespace {

// Names for the tests: two constants and a float3 parameter (index 0), a bool (1) and an array
// of two float2 (2).
bool TestNames(const std::string& name, ExpressionName& found) {
    if (name == "kHalf" || name == "kSeven") {
        found.value.type = name == "kHalf" ? ExpressionType::Float : ExpressionType::Int;
        found.value.numbers = {name == "kHalf" ? 0.5 : 7.0};
        return true;
    }
    static const std::map<std::string, std::pair<int, ExpressionValue>> kParameters = {
        {"g_Color", {0, {ExpressionType::Float, 1, 3, {}}}},
        {"g_On", {1, {ExpressionType::Bool, 1, 1, {}}}},
        {"g_Pairs", {2, {ExpressionType::Float, 1, 2, {}}}}};
    const auto parameter = kParameters.find(name);
    if (parameter == kParameters.end()) return false;
    found.parameter = parameter->second.first;
    found.value = parameter->second.second;
    found.elements = name == "g_Pairs" ? 2 : 0;
    return true;
}

std::unique_ptr<Expression> Parse(const std::string& text, SourcePosition* errorAt = nullptr,
                                  std::string* error = nullptr) {
    LexResult lexed = Tokenize(text);
    lexed.tokens.pop_back();  // the End token
    SourcePosition at;
    std::string message;
    auto expression = Expression::Parse(lexed.tokens, {1, static_cast<int>(text.size()) + 1}, TestNames, at, message);
    if (errorAt != nullptr) *errorAt = at;
    if (error != nullptr) *error = message;
    return expression;
}

ExpressionValue Fold(const std::string& text) {
    std::string error;
    const auto expression = Parse(text, nullptr, &error);
    EXPECT_NE(expression, nullptr) << text << ": " << error;
    if (expression == nullptr) return {};
    EXPECT_FALSE(expression->ReadsParameters()) << text;
    return expression->Fold();
}

}  // namespace

TEST(EffectExpression, OperatorsFoldWithHlslPrecedenceAndTypes) {
    const struct {
        const char* text;
        ExpressionType type;
        double value;
    } cases[] = {
        {"1 + 2 * 3", ExpressionType::Int, 7},
        {"(1 + 2) * 3", ExpressionType::Int, 9},
        {"7 / 2", ExpressionType::Int, 3},
        {"7 / 2.0", ExpressionType::Float, 3.5},
        {"-7 / 2", ExpressionType::Int, -3},
        {"7 % 3 + 1.5f", ExpressionType::Float, 2.5},
        {"1 | 2 | 4", ExpressionType::Int, 7},  // whole numbers ORed, as a state's tokens
        {"0x10 | 1", ExpressionType::Int, 0x11},
        {"1 < 2 == 1", ExpressionType::Bool, 1},
        {"2 >= 3 || !false && true", ExpressionType::Bool, 1},
        {"kSeven > 5 ? kHalf : 2", ExpressionType::Float, 0.5},
        {"true ? 1 : 0 ? 2 : 3", ExpressionType::Int, 1},
        {"(int)2.9 + (int)-2.9", ExpressionType::Int, 0},
        {"(bool)0.25", ExpressionType::Bool, 1},
        {"0xFFFFFFFF", ExpressionType::Int, -1},  // an int's 32 bits
        {"max(2, kSeven) - min(1.5, 4)", ExpressionType::Float, 5.5},
        {"clamp(9, 0, 4) + saturate(-3.0) + abs(-2)", ExpressionType::Float, 6},
        {"float3(1, 2, 3).z + float4(kHalf, 0, 0, 1).x", ExpressionType::Float, 3.5},
        {"dot(float2(1, 2), float2(3, 4))", ExpressionType::Float, 11},
        {"float2x2(1, 2, 3, 4)[1].x", ExpressionType::Float, 3},
        {"float3<1.0f, 2.0f, 3.0f>.y", ExpressionType::Float, 2},
        {"{1, 2, 3.5}.z", ExpressionType::Float, 3.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ExpressionValue value = Fold(c.text);
        ASSERT_EQ(value.numbers.size(), 1u);
        EXPECT_EQ(value.type, c.type);
        EXPECT_DOUBLE_EQ(value.numbers[0], c.value);
    }
}

TEST(EffectExpression, VectorsAndMatricesKeepTheirShapeAndWidenScalars) {
    const ExpressionValue sum = Fold("float3(1, 2, 3) * 2 + 1");
    EXPECT_EQ(sum.columns, 3);
    EXPECT_EQ(sum.numbers, (std::vector<double> {3, 5, 7}));
    const ExpressionValue swizzled = Fold("float4(1, 2, 3, 4).wzyx");
    EXPECT_EQ(swizzled.numbers, (std::vector<double> {4, 3, 2, 1}));
    const ExpressionValue matrix = Fold("(float2x2)3");
    EXPECT_EQ(matrix.rows, 2);
    EXPECT_EQ(matrix.numbers, (std::vector<double> {3, 3, 3, 3}));
    const ExpressionValue truncated = Fold("(float2)float4(5, 6, 7, 8)");
    EXPECT_EQ(truncated.numbers, (std::vector<double> {5, 6}));
    const ExpressionValue compared = Fold("float2(1, 5) > 2");
    EXPECT_EQ(compared.type, ExpressionType::Bool);
    EXPECT_EQ(compared.numbers, (std::vector<double> {0, 1}));
}

TEST(EffectExpression, ParametersAreReadEachTimeItIsEvaluated) {
    const auto expression = Parse("g_On ? g_Color.y * 2 : g_Pairs[1].x + kSeven");
    ASSERT_NE(expression, nullptr);
    EXPECT_TRUE(expression->ReadsParameters());
    EXPECT_EQ(expression->Shape().type, ExpressionType::Float);
    bool on = true;
    std::vector<std::pair<int, std::size_t>> reads;
    const ParameterReader read = [&](int parameter, std::size_t first, std::size_t count, double* numbers) {
        reads.emplace_back(parameter, first);
        for (std::size_t i = 0; i < count; ++i)
            numbers[i] = parameter == 1 ? (on ? 1.0 : 0.0) : 10.0 * parameter + static_cast<double>(first + i);
    };
    EXPECT_EQ(expression->Evaluate(read).numbers, (std::vector<double> {2.0}));  // g_Color.y = 1, twice
    on = false;
    EXPECT_EQ(expression->Evaluate(read).numbers, (std::vector<double> {29.0}));  // g_Pairs[1].x = 22, + 7
    // The array's second element starts at its third number.
    EXPECT_NE(std::find(reads.begin(), reads.end(), std::make_pair(2, std::size_t {2})), reads.end());
}

TEST(EffectExpression, MalformedExpressionsSayWhereAndWhy) {
    const struct {
        const char* text;
        int column;
        const char* message;
    } cases[] = {
        {"1 +", 4, "missing operand"},
        {"(1 + 2", 7, "expected ')'"},
        {"1 2", 3, "unexpected '2'"},
        {"Bogus + 1", 1, "undeclared identifier 'Bogus'"},
        {"noSuchFunction(1)", 1, "undeclared identifier 'noSuchFunction'"},
        {"1.5 | 1", 5, "bitwise operations need shader model 4"},
        {"1 << 2", 3, "'<<': bitwise operations need shader model 4"},
        {"~1", 1, "'~': bitwise"},
        {"2 & 1", 3, "'&': bitwise"},
        {"kSeven | 1", 8, "bitwise"},  // a constant is no token
        {"float2(1, 2) + float3(1, 2, 3)", 14, "type mismatch"},
        {"g_Color.xw", 8, "invalid swizzle 'xw' of float3"},
        {"g_Pairs + 1", 1, "'g_Pairs' is an array"},
        {"g_Pairs[g_On]", 8, "an index here must be a constant"},
        {"float4(1, 2, 3)", 1, "'float4' needs 4 values and is given 3"},
        {"(float3)float2(1, 2)", 1, "cannot convert from float2 to float3"},
        {"pow(2)", 1, "'pow' takes 2 arguments"},
        {"{g_On}", 1, "literal values only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SourcePosition at;
        std::string error;
        EXPECT_EQ(Parse(c.text, &at, &error), nullptr);
        EXPECT_EQ(at.column, c.column);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(EffectExpression, DeepNestingAndLongChainsAreRefusedWithoutExhaustingTheStack) {
    std::string error;
    EXPECT_EQ(Parse(std::string(100000, '(') + "1" + std::string(100000, ')'), nullptr, &error), nullptr);
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
    EXPECT_EQ(Parse(std::string(100000, '-') + "1", nullptr, &error), nullptr);
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
    std::string chain = "1";
    for (int i = 0; i < 100000; ++i)
        chain += " + 1";
    EXPECT_EQ(Parse(chain, nullptr, &error), nullptr);
    EXPECT_NE(error.find("expression too long"), std::string::npos) << error;
    // What real files write stays well inside both bounds.
    std::string sum = "1";
    for (int i = 0; i < 200; ++i)
        sum += " + 1";
    EXPECT_EQ(Fold("(((" + sum + ")))").numbers, (std::vector<double> {201}));
}

TEST(EffectExpression, StaticConstsThatFoldAreNamedInTheDescription) {
    const ParseResult parsed = ParseEffect(
        "static const int kCount = 2 * 3;\n"
        "static const float3 kTint = {0.5, 1, kCount};\n"
        "static const bool kOn = kCount > 4;\n"
        "static const float kWide = 2;\n"
        "static const float kRuntime = g_Input * 2;\n"
        "static float kNotConst = 1;\n"
        "float g_Input;\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    std::map<std::string, ExpressionValue> constants;
    for (const NamedConstant& constant : parsed.description.constants)
        constants[constant.name] = constant.value;
    ASSERT_EQ(constants.size(), 4u);  // not kRuntime, which reads a parameter, nor the non-const
    EXPECT_EQ(constants["kCount"].type, ExpressionType::Int);
    EXPECT_EQ(constants["kCount"].numbers, (std::vector<double> {6}));
    EXPECT_EQ(constants["kTint"].columns, 3);
    EXPECT_EQ(constants["kTint"].numbers, (std::vector<double> {0.5, 1, 6}));
    EXPECT_EQ(constants["kOn"].type, ExpressionType::Bool);
    EXPECT_EQ(constants["kOn"].numbers, (std::vector<double> {1}));
    EXPECT_EQ(constants["kWide"].type, ExpressionType::Float);
}

TEST(EffectExpression, DefaultsAndAnnotationsWrittenAsExpressionsTakeTheirFoldedValue) {
    const ParseResult parsed = ParseEffect(
        "static const float kPi = 3.5;\n"
        "float g_Tau < float UIMax = kPi * 4; int UISteps = 2 * 4; > = 2 * kPi;\n"
        "float4 g_Half = float4(1, 1, 1, 1) * 0.5;\n"
        "float3 g_Wide = 0.25;\n"
        "float g_Pair[2] = {1 + 1, -3};\n"
        "bool g_On = 2 > 1;\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const auto find = [&](const char* name) {
        for (const EffectParameterDesc& parameter : parsed.description.parameters) {
            if (parameter.name == name) return parameter;
        }
        ADD_FAILURE() << name;
        return EffectParameterDesc();
    };
    EXPECT_EQ(find("g_Tau").defaultValue, (std::vector<float> {7.0f}));
    EXPECT_EQ(find("g_Half").defaultValue, (std::vector<float> {0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(find("g_Wide").defaultValue, (std::vector<float> {0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(find("g_Pair").defaultValue, (std::vector<float> {2.0f, -3.0f}));
    EXPECT_EQ(find("g_On").defaultValue, (std::vector<float> {1.0f}));
    const std::vector<Annotation>& annotations = find("g_Tau").annotations;
    ASSERT_EQ(annotations.size(), 2u);
    EXPECT_EQ(annotations[0].numbers, (std::vector<float> {14.0f}));
    EXPECT_EQ(annotations[1].numbers, (std::vector<float> {8.0f}));
}
