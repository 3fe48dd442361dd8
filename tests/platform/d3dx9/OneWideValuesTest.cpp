// The scan for values with one row or column, which decides whether the compiler guards a source's
// mul calls: named cases, then agreement with the regular expression it replaced on many texts.
#include "OneWideValues.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

using nvesk::d3dx9::MayHoldOneWideValues;

namespace {

// The expression the compiler searched with before the scan (slow under a fuzzer).
bool ReferenceSearch(const std::string& text) {
    static const std::regex kOneWide(
        R"(\b(?:(?:float|half|double|int|uint|dword|bool|min16float|min10float|min16int|min12int|min16uint)(?:1|[1-4]x1|1x[1-4])\b|\b(?:vector|matrix)\s*<[^>]*\b1\b))");
    return std::regex_search(text, kOneWide);
}

}  // namespace

TEST(OneWideValues, TypeNamesAndTemplatesWithOneRowOrColumnAreFound) {
    for (const char* found :
         {"float1 n;", "x(int1)y", "half4x1", "uint1x3 r", "min16float1", "dword1", "bool2x1;", "vector<float, 1>",
          "matrix <float,1,4>", "vector\n<float,\t1 >", "matrix<float, 4, 1>", "f(min10float1x4)"}) {
        EXPECT_TRUE(MayHoldOneWideValues(found)) << found;
    }
    for (const char* notFound :
         {"", "float4 p;", "float1a", "afloat1", "float5x1", "float1x5", "float0", "int11", "float4x4",
          "vector<float, 2>", "vector<float, 10>", "vector<int4, 2>", "vectors<float, 1>", "myvector<float, 1>",
          "vector<float> 1", "matrix<float, 2, 2> + 1", "float 1", "Float1", "float1_"}) {
        EXPECT_FALSE(MayHoldOneWideValues(notFound)) << notFound;
    }
}

TEST(OneWideValues, ScanAgreesWithTheRegularExpressionItReplaced) {
    // Names, shapes and template pieces that touch each other or are parted by blanks and signs.
    const char* const pieces[] = {"float", "half", "min16float", "int",     "dword", "1",   "2x1",     "1x4",
                                  "x1",    "5",    "vector",     "matrix<", "<",     ", 1", "1>",      ">",
                                  " ",     "\n",   ",",          "_",       "a",     "0",   "\xc3\xa9"};
    std::mt19937 random(25);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(1, 8);
    int found = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += pieces[piece(random)];
        const bool expected = ReferenceSearch(text);
        ASSERT_EQ(MayHoldOneWideValues(text), expected) << '"' << text << '"';
        found += expected;
    }
    // Both outcomes are well represented, so the agreement means something.
    EXPECT_GT(found, 500);
    EXPECT_LT(found, 19500);
}
