// Compiler messages as D3DX gives them: messages about a semantic get the place where the source
// writes that semantic.
#include "CompilerMessages.h"

#include <gtest/gtest.h>

using namespace nvesk::d3dx9;

TEST(CompilerMessages, MessagesAboutASemanticGetThePlaceTheSourceWritesIt) {
    const std::string source =
        "float4 Main(float4 a : TEXCOORD1,\n"
        "            float4 b : texcoord10,\n"
        "            float4 c : VPOS) : COLOR { return a; }\n";
    // TEXCOORD10 is not TEXCOORD1; an index 0 may be left out; the case is the source's own.
    EXPECT_EQ(PlaceSemanticErrors("fx: error: pixel input 'TEXCOORD10' has no Direct3D 9 register\n", source, "fx"),
              "fx(2,24): error: pixel input 'TEXCOORD10' has no Direct3D 9 register\n");
    EXPECT_EQ(PlaceSemanticErrors("fx: error: pixel input 'VPOS0' has no Direct3D 9 register\n", source, "fx"),
              "fx(3,24): error: pixel input 'VPOS0' has no Direct3D 9 register\n");
    // A semantic the source does not write, and other messages, stay as they are.
    const std::string others =
        "fx: error: vertex output 'FOG1' has no Direct3D 9 register\nfx(1,2): error: 'x' : unknown\nfx: error: link\n";
    EXPECT_EQ(PlaceSemanticErrors(others, source, "fx"), others);
}
