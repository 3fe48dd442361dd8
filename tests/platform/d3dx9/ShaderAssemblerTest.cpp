// The shader assembler of effects' asm blocks: each version read into the assembled form, and each
// rule of a version refused at the position of its token, counted from the block's place in the file.
#include "ShaderAssembler.h"

#include <d3d9types.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace nvesk::d3dx9;

namespace {

// The block starts at line 10, column 5 of "effect.fx": a fault on the block's first line is at
// column 4 + its column there; on later lines, at its own column.
constexpr SourcePosition kStart {10, 5};

AssemblyResult Vertex(const std::string& text) {
    return AssembleShader(text, "effect.fx", kStart, ShaderStage::Vertex);
}
AssemblyResult Pixel(const std::string& text) {
    return AssembleShader(text, "effect.fx", kStart, ShaderStage::Pixel);
}

std::string Fault(int line, int column, int code) {
    return "effect.fx(" + std::to_string(line) + "," + std::to_string(column) + "): error X" + std::to_string(code) +
           ": ";
}

// The program is refused with exactly one fault, at `line`/`column` with rule `code`, whose text holds `part`.
void ExpectFault(const AssemblyResult& result, int line, int column, int code, const std::string& part) {
    EXPECT_FALSE(result.ok);
    const std::string prefix = Fault(line, column, code);
    EXPECT_EQ(result.errors.rfind(prefix, 0), 0u) << result.errors;
    EXPECT_NE(result.errors.find(part), std::string::npos) << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
}

std::array<std::uint8_t, 4> Swizzle(int x, int y, int z, int w) {
    return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(z),
            static_cast<std::uint8_t>(w)};
}

// `count` copies of `line`, one a line.
std::string Repeat(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\n";
    return text;
}

}  // namespace

// ---- Each version read into the assembled form

TEST(ShaderAssemblerVersions, Vs11ReadsDeclarationsConstantsAndRelativeConstants) {
    const AssemblyResult result = Vertex(
        "vs_1_1\n"
        "dcl_position v0\n"
        "dcl_texcoord1 v3\n"
        "def c95, 1, -0.5, 2.5e1, .25f\n"
        "m4x4 oPos, v0, c0\n"
        "mov a0.x, v3.x\n"
        "mov oT0.xy, c[a0.x + 4].yxzw\n"
        "expp oFog, -v3.w\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const AssembledShader& shader = result.shader;
    EXPECT_EQ(shader.version.stage, ShaderStage::Vertex);
    EXPECT_EQ(shader.version.major, 1);
    EXPECT_EQ(shader.version.minor, 1);
    ASSERT_EQ(shader.instructions.size(), 7u);

    const AssemblyInstruction& texcoord = shader.instructions[1];
    EXPECT_EQ(texcoord.name, "dcl");
    EXPECT_EQ(texcoord.declaration.usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(texcoord.declaration.usageIndex, 1);
    EXPECT_EQ(texcoord.destination.type, RegisterType::Input);
    EXPECT_EQ(texcoord.destination.index, 3);

    const AssemblyInstruction& def = shader.instructions[2];
    EXPECT_EQ(def.destination.type, RegisterType::Const);
    EXPECT_EQ(def.destination.index, 95);
    EXPECT_EQ(def.floatValues, (std::array<float, 4> {1.0f, -0.5f, 25.0f, 0.25f}));

    const AssemblyInstruction& transform = shader.instructions[3];
    EXPECT_EQ(transform.name, "m4x4");
    EXPECT_EQ(transform.destination.type, RegisterType::RastOut);
    EXPECT_EQ(transform.destination.index, 0);
    ASSERT_EQ(transform.sources.size(), 2u);
    EXPECT_EQ(transform.sources[1].type, RegisterType::Const);

    const AssemblyInstruction& address = shader.instructions[4];
    EXPECT_EQ(address.destination.type, RegisterType::Address);
    EXPECT_EQ(address.destination.writeMask, 0x1);
    EXPECT_EQ(address.sources[0].swizzle, Swizzle(0, 0, 0, 0));

    const AssemblyInstruction& relative = shader.instructions[5];
    EXPECT_EQ(relative.destination.type, RegisterType::TexCoordOut);
    EXPECT_EQ(relative.destination.writeMask, 0x3);
    const SourceOperand& constant = relative.sources[0];
    EXPECT_TRUE(constant.relative);
    EXPECT_EQ(constant.index, 4);
    EXPECT_EQ(constant.address.type, RegisterType::Address);
    EXPECT_EQ(constant.address.component, 0);
    EXPECT_EQ(constant.swizzle, Swizzle(1, 0, 2, 3));
    EXPECT_EQ(relative.sources[0].position.line, 16);
    EXPECT_EQ(relative.sources[0].position.column, 13);

    const AssemblyInstruction& fog = shader.instructions[6];
    EXPECT_EQ(fog.destination.index, 1);
    EXPECT_EQ(fog.sources[0].modifier, SourceModifier::Negate);
    EXPECT_EQ(fog.sources[0].swizzle, Swizzle(3, 3, 3, 3));
}

TEST(ShaderAssemblerVersions, Vs20ReadsStaticFlowControlAndIntegerConstants) {
    const AssemblyResult result = Vertex(
        "vs_2_0\n"
        "dcl_position0 v0\n"
        "defi i0, 4, 0, 1, 0\n"
        "defb b3, true\n"
        "mov r0, c0\n"
        "loop aL, i0\n"
        "  add r0, r0, c[aL + 10]\n"
        "endloop\n"
        "if !b3\n"
        "  call l2\n"
        "else\n"
        "  callnz l2, b3\n"
        "endif\n"
        "mova a0.xy, r0\n"
        "sincos r1.xy, r0.x, c1, c2\n"
        "mov oPos, r0\n"
        "ret\n"
        "label l2\n"
        "  mov r0, -r0\n"
        "ret\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    ASSERT_EQ(code.size(), 19u);
    EXPECT_EQ(code[1].intValues, (std::array<int, 4> {4, 0, 1, 0}));
    EXPECT_EQ(code[2].destination.type, RegisterType::ConstBool);
    EXPECT_EQ(code[2].intValues[0], 1);
    EXPECT_EQ(code[4].name, "loop");
    EXPECT_EQ(code[4].sources[0].type, RegisterType::Loop);
    EXPECT_EQ(code[4].sources[1].type, RegisterType::ConstInt);
    EXPECT_TRUE(code[5].sources[1].relative);
    EXPECT_EQ(code[5].sources[1].address.type, RegisterType::Loop);
    EXPECT_EQ(code[5].sources[1].index, 10);
    EXPECT_EQ(code[7].sources[0].modifier, SourceModifier::Not);
    EXPECT_EQ(code[8].sources[0].type, RegisterType::Label);
    EXPECT_EQ(code[8].sources[0].index, 2);
    EXPECT_EQ(code[10].sources[1].type, RegisterType::ConstBool);
    EXPECT_EQ(code[12].name, "mova");
    EXPECT_EQ(code[12].destination.writeMask, 0x3);
    EXPECT_EQ(code[13].sources.size(), 3u);
}

TEST(ShaderAssemblerVersions, Vs2xReadsPredicationAndDynamicFlowControl) {
    const AssemblyResult result = Vertex(
        "vs_2_x\n"
        "dcl_position v0\n"
        "setp_gt p0, v0, c0\n"
        "(p0) mov r20, v0\n"
        "(!p0.y) mov r20, c1\n"
        "if_le r20.x, c2.y\n"
        "  rep i1\n"
        "    break_ne r20.y, c3.x\n"
        "    breakp !p0.z\n"
        "  endrep\n"
        "endif\n"
        "mov oPos, r20\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    EXPECT_EQ(code[1].name, "setp");
    EXPECT_EQ(code[1].comparison, Comparison::Greater);
    EXPECT_EQ(code[1].destination.type, RegisterType::Predicate);
    EXPECT_TRUE(code[2].predicated);
    EXPECT_EQ(code[2].predicate.modifier, SourceModifier::None);
    EXPECT_EQ(code[2].destination.index, 20);
    EXPECT_EQ(code[3].predicate.modifier, SourceModifier::Not);
    EXPECT_EQ(code[3].predicate.swizzle, Swizzle(1, 1, 1, 1));
    EXPECT_EQ(code[3].position.column, 9);
    EXPECT_EQ(code[4].name, "ifc");
    EXPECT_EQ(code[4].comparison, Comparison::LessEqual);
    EXPECT_EQ(code[6].name, "breakc");
    EXPECT_EQ(code[6].comparison, Comparison::NotEqual);
    EXPECT_EQ(code[7].sources[0].modifier, SourceModifier::Not);
    EXPECT_EQ(code[7].sources[0].swizzle, Swizzle(2, 2, 2, 2));
}

TEST(ShaderAssemblerVersions, Vs30ReadsOutputsSamplersAndIndexedRegisters) {
    const AssemblyResult result = Vertex(
        "vs_3_0\n"
        "dcl_position v0\n"
        "dcl_texcoord2 v1\n"
        "dcl_position o0\n"
        "dcl_texcoord0 o1.xy\n"
        "dcl_texcoord1 o1.zw\n"
        "dcl_fog o2.x\n"
        "dcl_2d s3\n"
        "texldl r0, v1, s3\n"
        "mov_sat r1, r0_abs\n"
        "loop aL, i0\n"
        "  mov o[aL + 1], v[aL]\n"
        "endloop\n"
        "sincos r2.xy, r0.w\n"
        "sgn r3, -r0\n"
        "mov o0, v0\n"
        "mov o2.x, r2.y\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    EXPECT_EQ(code[2].destination.type, RegisterType::Output);
    EXPECT_EQ(code[2].declaration.usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(code[4].destination.writeMask, 0xC);
    EXPECT_EQ(code[6].declaration.samplerType, kSampler2D);
    EXPECT_EQ(code[6].destination.index, 3);
    EXPECT_EQ(code[7].name, "texldl");
    EXPECT_EQ(code[7].sources[1].type, RegisterType::Sampler);
    EXPECT_TRUE(code[8].destination.saturate);
    EXPECT_EQ(code[8].sources[0].modifier, SourceModifier::Abs);
    EXPECT_TRUE(code[10].destination.relative);
    EXPECT_EQ(code[10].destination.index, 1);
    EXPECT_EQ(code[10].destination.address.type, RegisterType::Loop);
    EXPECT_TRUE(code[10].sources[0].relative);
    EXPECT_EQ(code[12].sources.size(), 1u);
    EXPECT_EQ(code[13].sources[0].modifier, SourceModifier::Negate);
}

TEST(ShaderAssemblerVersions, Ps11ReadsTextureInstructionsAndArithmeticModifiers) {
    const AssemblyResult result = Pixel(
        "ps_1_1\n"
        "def c0, 0.5, 0.5, 0.5, 1\n"
        "tex t0\n"
        "texm3x2pad t1, t0_bx2\n"
        "texm3x2tex t2, t0_bx2\n"
        "dp3_sat r0, t0_bx2, v0_bx2\n"
        "mul_x2 r1.rgb, 1-t2, c0_bias\n"
        "+mov r1.a, -c0.a\n"
        "lrp_d2 r0, v1.a, r0, r1\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    ASSERT_EQ(code.size(), 8u);
    EXPECT_EQ(code[1].name, "tex");
    EXPECT_EQ(code[1].destination.type, RegisterType::Texture);
    EXPECT_TRUE(code[1].sources.empty());
    EXPECT_EQ(code[2].sources[0].modifier, SourceModifier::Sign);
    EXPECT_TRUE(code[4].destination.saturate);
    EXPECT_EQ(code[5].destination.shift, 1);
    EXPECT_EQ(code[5].destination.writeMask, 0x7);
    EXPECT_EQ(code[5].sources[0].modifier, SourceModifier::Complement);
    EXPECT_EQ(code[5].sources[1].modifier, SourceModifier::Bias);
    EXPECT_TRUE(code[6].coissue);
    EXPECT_EQ(code[6].destination.writeMask, 0x8);
    EXPECT_EQ(code[6].sources[0].modifier, SourceModifier::Negate);
    EXPECT_EQ(code[7].destination.shift, -1);
    EXPECT_EQ(code[7].sources[0].swizzle, Swizzle(3, 3, 3, 3));
}

TEST(ShaderAssemblerVersions, Ps12AndPs13ReadTheirOwnTextureInstructions) {
    const AssemblyResult ps12 = Pixel(
        "ps_1_2\n"
        "tex t0\n"
        "texm3x3pad t1, t0_bx2\n"
        "texm3x3pad t2, t0_bx2\n"
        "texm3x3 t3, t0_bx2\n"
        "cmp r0, t3, c0, c1\n"
        "mov r0.a, t3.b\n");
    ASSERT_TRUE(ps12.ok) << ps12.errors;
    EXPECT_EQ(ps12.shader.version.minor, 2);
    EXPECT_EQ(ps12.shader.instructions[3].name, "texm3x3");
    EXPECT_EQ(ps12.shader.instructions[5].sources[0].swizzle, Swizzle(2, 2, 2, 2));

    const AssemblyResult ps13 = Pixel(
        "ps_1_3\n"
        "texcoord t0\n"
        "texm3x2pad t1, t0\n"
        "texm3x2depth t2, t0\n"
        "texkill t0\n"
        "mov r0, t2\n");
    ASSERT_TRUE(ps13.ok) << ps13.errors;
    EXPECT_EQ(ps13.shader.instructions[2].name, "texm3x2depth");
    EXPECT_TRUE(ps13.shader.instructions[3].hasDestination);
    EXPECT_EQ(ps13.shader.instructions[3].destination.type, RegisterType::Texture);
}

TEST(ShaderAssemblerVersions, Ps14ReadsPhasesAndProjectiveTexld) {
    const AssemblyResult result = Pixel(
        "ps_1_4\n"
        "def c0, 1, 0, 0, 1\n"
        "texld r0, t0_dw.xyw\n"
        "texcrd r1.rgb, t1.xyz\n"
        "add_x8 r2, r0_x2, -r1_bx2\n"
        "phase\n"
        "texld r2, r2_dz\n"
        "mul_d4 r0, r2, v0\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    ASSERT_EQ(code.size(), 7u);
    EXPECT_EQ(code[1].sources[0].modifier, SourceModifier::DivideByW);
    EXPECT_EQ(code[1].sources[0].swizzle, Swizzle(0, 1, 3, 3));
    EXPECT_EQ(code[2].destination.writeMask, 0x7);
    EXPECT_EQ(code[2].sources[0].swizzle, Swizzle(0, 1, 2, 2));
    EXPECT_EQ(code[3].destination.shift, 3);
    EXPECT_EQ(code[3].sources[0].modifier, SourceModifier::X2);
    EXPECT_EQ(code[3].sources[1].modifier, SourceModifier::SignNegate);
    EXPECT_EQ(code[4].name, "phase");
    EXPECT_EQ(code[5].sources[0].modifier, SourceModifier::DivideByZ);
    EXPECT_EQ(code[6].destination.shift, -2);
}

TEST(ShaderAssemblerVersions, Ps20ReadsInputDeclarationsSamplersAndSwizzles) {
    const AssemblyResult result = Pixel(
        "ps_2_0\n"
        "dcl t0.xy\n"
        "dcl_centroid t1\n"
        "dcl v0\n"
        "dcl_2d s0\n"
        "dcl_cube s1\n"
        "dcl_volume s2\n"
        "texld_pp r0, t0, s0\n"
        "texldp r1, t1, s1\n"
        "dp2add r2.x, r0, c0, c0.w\n"
        "mad r3, r1.wzyx, v0, -r2.x\n"
        "texkill r3\n"
        "mov oC0, r3\n"
        "mov oDepth, r2.x\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    EXPECT_EQ(code[0].declaration.usage, -1);
    EXPECT_EQ(code[0].destination.type, RegisterType::Texture);
    EXPECT_EQ(code[0].destination.writeMask, 0x3);
    EXPECT_TRUE(code[1].destination.centroid);
    EXPECT_EQ(code[2].destination.type, RegisterType::Input);
    EXPECT_EQ(code[4].declaration.samplerType, kSamplerCube);
    EXPECT_EQ(code[5].declaration.samplerType, kSamplerVolume);
    EXPECT_TRUE(code[6].destination.partialPrecision);
    EXPECT_EQ(code[6].sources[1].type, RegisterType::Sampler);
    EXPECT_EQ(code[9].sources[0].swizzle, Swizzle(3, 2, 1, 0));
    EXPECT_EQ(code[10].name, "texkill");
    EXPECT_EQ(code[11].destination.type, RegisterType::ColorOut);
    EXPECT_EQ(code[12].destination.type, RegisterType::DepthOut);
}

TEST(ShaderAssemblerVersions, Ps2xReadsGradientsArbitrarySwizzlesAndMoreTemporaries) {
    const AssemblyResult result = Pixel(
        "ps_2_x\n"
        "dcl t0\n"
        "dcl_2d s0\n"
        "dsx r31, t0.yx\n"
        "dsy r30, t0\n"
        "texldd r0, t0, s0, r31, r30\n"
        "rep i0\n"
        "  add r0, r0, c0.xxyz\n"
        "endrep\n"
        "mov oC0, r0\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    EXPECT_TRUE(result.shader.version.extended);
    EXPECT_EQ(code[2].destination.index, 31);
    EXPECT_EQ(code[2].sources[0].swizzle, Swizzle(1, 0, 0, 0));
    ASSERT_EQ(code[4].sources.size(), 4u);
    EXPECT_EQ(code[4].sources[3].index, 30);
    EXPECT_EQ(code[6].sources[1].swizzle, Swizzle(0, 0, 1, 2));
}

TEST(ShaderAssemblerVersions, Ps30ReadsSemanticInputsFaceAndPosition) {
    const AssemblyResult result = Pixel(
        "ps_3_0\n"
        "dcl_texcoord0_centroid v0.xy\n"
        "dcl_color1 v9\n"
        "dcl vFace\n"
        "dcl vPos.xy\n"
        "dcl_cube s15\n"
        "if_lt vFace, c0.x\n"
        "  texldl r0, v0, s15\n"
        "else\n"
        "  texld r0, vPos, s15\n"
        "endif\n"
        "loop aL, i0\n"
        "  add r0, r0, v[aL]\n"
        "endloop\n"
        "mov_pp oC0, r0\n");
    ASSERT_TRUE(result.ok) << result.errors;
    const auto& code = result.shader.instructions;
    EXPECT_EQ(code[0].declaration.usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_TRUE(code[0].destination.centroid);
    EXPECT_EQ(code[1].declaration.usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(code[1].declaration.usageIndex, 1);
    EXPECT_EQ(code[2].destination.type, RegisterType::MiscType);
    EXPECT_EQ(code[2].destination.index, 1);
    EXPECT_EQ(code[3].destination.index, 0);
    EXPECT_EQ(code[5].name, "ifc");
    EXPECT_EQ(code[5].sources[0].type, RegisterType::MiscType);
    EXPECT_TRUE(code[11].sources[1].relative);
    EXPECT_EQ(code[11].sources[1].type, RegisterType::Input);
}

// ---- Comments, separators and the text's position in its file

TEST(ShaderAssemblerText, CommentsAreSkippedAndPositionsCountFromTheBlock) {
    const AssemblyResult result = Vertex(
        "vs_1_1 // the version\n"
        "; a comment the preprocessor left\n"
        "dcl_position v0 /* a block\n"
        "   comment */ mov oPos, v0 ; the end\n");
    ASSERT_TRUE(result.ok) << result.errors;
    ASSERT_EQ(result.shader.instructions.size(), 2u);
    EXPECT_EQ(result.shader.instructions[1].position.line, 13);
    EXPECT_EQ(result.shader.instructions[1].position.column, 15);

    // On the block's first line, columns continue from the block's own column.
    ExpectFault(Vertex("vs_1_1 frobnicate r0"), 10, 12, 5003, "unknown instruction 'frobnicate'");
    ExpectFault(Vertex("vs_1_1\n  mov r0, v0 # x\n"), 11, 14, 5001, "unexpected character '#'");
    ExpectFault(Vertex("vs_1_1\n/* open\n"), 11, 1, 5001, "unterminated comment");
}

TEST(ShaderAssemblerText, VersionFirstAndOfTheBlocksStage) {
    ExpectFault(Pixel("vs_2_0\nmov oPos, c0\n"), 10, 5, 5002, "where a pixel shader is expected");
    ExpectFault(Vertex("\n  ps_3_0\n"), 11, 3, 5002, "where a vertex shader is expected");
    ExpectFault(Vertex("vs_4_0\n"), 10, 5, 5002, "unknown shader version 'vs_4_0'");
    ExpectFault(Vertex("vs_2_sw\n"), 10, 5, 5002, "software shader versions ('vs_2_sw') are not supported");
    ExpectFault(Vertex("mov oPos, c0\n"), 10, 5, 5002, "must come first");
    ExpectFault(Vertex(""), 10, 5, 5002, "must come first");
}

TEST(ShaderAssemblerText, InstructionsOutsideTheirVersion) {
    ExpectFault(Vertex("vs_1_1\nmova a0.x, c0.x\n"), 11, 1, 5004, "'mova' is not an instruction of vs_1_1");
    ExpectFault(Pixel("ps_1_1\ncmp r0, v0, v1, c0\n"), 11, 1, 5004, "'cmp' is not an instruction of ps_1_1");
    ExpectFault(Pixel("ps_2_0\ndcl t0\nif b0\n"), 12, 1, 5004, "'if' is not an instruction of ps_2_0");
    ExpectFault(Vertex("vs_2_0\ntexldl r0, c0, s0\n"), 11, 1, 5004, "vs_2_0");
    ExpectFault(Pixel("ps_1_4\ntex t0\n"), 11, 1, 5004, "'tex'");
    ExpectFault(Pixel("ps_2_x\nloop aL, i0\n"), 11, 1, 5004, "'loop'");
    ExpectFault(Vertex("vs_3_0\ndcl_position o0\nbem r0, c0, c1\n"), 12, 1, 5004, "'bem'");
}

TEST(ShaderAssemblerText, EveryFaultIsALineOfItsOwnInOrder) {
    const AssemblyResult result = Vertex(
        "vs_1_1\n"
        "dcl_position v0\n"
        "mov r12, v0\n"
        "frob r0\n"
        "mov oPos, v7\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, Fault(12, 5, 5007) + "register 'r12' out of range: vs_1_1 has 12 such registers\n" +
                                 Fault(13, 1, 5003) + "unknown instruction 'frob'\n" + Fault(14, 11, 5011) +
                                 "'v7' is used without a declaration (dcl)\n");
}

// ---- Limits of each version, refused where they are passed

TEST(ShaderAssemblerLimits, RegisterIndicesOfEachVersion) {
    ExpectFault(Vertex("vs_1_1\ndef c96, 0, 0, 0, 0\n"), 11, 5, 5007, "'c96' out of range: vs_1_1 has 96");
    EXPECT_TRUE(Vertex("vs_2_0\ndef c255, 0, 0, 0, 0\n").ok);
    ExpectFault(Pixel("ps_1_1\nmov r2, v0\n"), 11, 5, 5007, "'r2' out of range: ps_1_1 has 2");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t6\n"), 11, 11, 5007, "'t6' out of range: ps_1_4 has 6");
    ExpectFault(Pixel("ps_2_0\nmov r12, c0\n"), 11, 5, 5007, "'r12' out of range: ps_2_0 has 12");
    EXPECT_TRUE(Pixel("ps_2_x\nmov r31, c0\nmov oC0, r31\n").ok);
    ExpectFault(Vertex("vs_3_0\ndcl_2d s4\n"), 11, 8, 5007, "'s4' out of range: vs_3_0 has 4");
    ExpectFault(Pixel("ps_3_0\ndcl_color v10\n"), 11, 11, 5007, "'v10' out of range");
    ExpectFault(Vertex("vs_1_1\nmov a0.x, c0.x\nmov oPos, c[a0.x + 96]\n"), 12, 11, 5007, "relative offset");
    ExpectFault(Vertex("vs_1_1\nmov oT8, c0\n"), 11, 5, 5007, "'oT8'");
}

TEST(ShaderAssemblerLimits, RegisterFilesOfEachVersion) {
    ExpectFault(Vertex("vs_1_1\nif b0\n"), 11, 1, 5004, "'if'");
    ExpectFault(Vertex("vs_1_1\ndefb b0, true\n"), 11, 1, 5004, "'defb'");
    ExpectFault(Vertex("vs_2_0\nmov oPos, vFace\n"), 11, 11, 5006, "'vFace' is not in vs_2_0");
    ExpectFault(Vertex("vs_2_0\nsetp_gt p0, c0, c1\n"), 11, 1, 5004, "'setp'");
    ExpectFault(Vertex("vs_3_0\nmov oPos, c0\n"), 11, 5, 5006, "'oPos' is not in vs_3_0");
    ExpectFault(Pixel("ps_2_0\nmov oC0, vPos\n"), 11, 10, 5006, "'vPos' is not in ps_2_0");
    ExpectFault(Pixel("ps_1_4\nmov r0, t0\n"), 11, 9, 5006, "'mov' cannot read 't0' in ps_1_4");
    ExpectFault(Pixel("ps_1_1\ntex r0\n"), 11, 5, 5006, "texture instructions of ps_1_1 write t#");
    ExpectFault(Pixel("ps_2_0\ndcl v0\nmov v0, c0\n"), 12, 5, 5006, "'v0' cannot be written");
    ExpectFault(Pixel("ps_3_0\ndcl vFace\nmov oC0, vFace\n"), 12, 10, 5006, "cannot read 'vFace'");
}

TEST(ShaderAssemblerLimits, ArithmeticAndTextureSlotsOfPixelShaders1) {
    ExpectFault(Pixel("ps_1_1\n" + Repeat("mov r0, v0", 9)), 19, 1, 5015,
                "ps_1_1 holds 8 arithmetic instruction slots");
    EXPECT_TRUE(Pixel("ps_1_1\n" + Repeat("mov r0, v0", 8)).ok);
    ExpectFault(Pixel("ps_1_1\ntex t0\ntex t1\ntex t2\ntex t3\ntexkill t0\n"), 15, 1, 5015,
                "ps_1_1 holds 4 texture instruction slots");
    // cmp takes two slots in ps_1_2 and ps_1_3, one in ps_1_4.
    ExpectFault(Pixel("ps_1_2\n" + Repeat("cmp r0, v0, v1, c0", 3) + Repeat("mov r0, v0", 3)), 16, 1, 5015,
                "8 arithmetic");
    ExpectFault(Pixel("ps_1_3\n" + Repeat("cmp r0, v0, v1, c0", 4)), 14, 1, 5015, "three 'cmp' instructions at most");

    EXPECT_TRUE(Pixel("ps_1_4\n" + Repeat("cmp r0, v0, v1, c0", 4) + "mov r0, v0\n").ok);
    // Six texture and eight arithmetic slots in each phase of ps_1_4.
    const std::string phase = "texld r0, t0\ntexld r1, t1\ntexld r2, t2\ntexld r3, t3\ntexld r4, t4\ntexld r5, t5\n";
    EXPECT_TRUE(Pixel("ps_1_4\n" + phase + "phase\n" + phase + Repeat("mov r0, v0", 8)).ok);
    ExpectFault(Pixel("ps_1_4\n" + phase + "texcrd r0, t0\n"), 17, 1, 5015, "a phase of ps_1_4 holds 6 texture");
}

TEST(ShaderAssemblerLimits, InstructionSlotsOfLaterVersions) {
    ExpectFault(Pixel("ps_2_0\n" + Repeat("mov r0, c0", 65)), 75, 1, 5015, "ps_2_0 holds 64 arithmetic");
    const std::string reads = "dcl t0\ndcl_2d s0\ntexld r0, t0, s0\n" + Repeat("texkill t0", 32);
    ExpectFault(Pixel("ps_2_0\n" + reads), 45, 1, 5015, "ps_2_0 holds 32 texture");
    EXPECT_TRUE(Pixel("ps_2_x\n" + Repeat("mov r0, c0", 65) + "mov oC0, r0\n").ok);
    // exp takes ten slots in vs_1_1 and one from vs_2_0: the thirteenth passes 128.
    const std::string exps = "dcl_position v0\n" + Repeat("exp r0, v0.x", 13);
    ExpectFault(Vertex("vs_1_1\n" + exps), 24, 1, 5015, "vs_1_1 holds 128 instruction slots");
    EXPECT_TRUE(Vertex("vs_2_0\n" + exps).ok);
    ExpectFault(Vertex("vs_2_0\n" + Repeat("mov r0, c0", 257)), 267, 1, 5015, "vs_2_0 holds 256");
    // A predicated instruction takes a slot more.
    const std::string predicated = "setp_gt p0, c0, c0.y\n" + Repeat("(p0) mov r0, c0", 128);
    ExpectFault(Vertex("vs_2_x\n" + predicated), 139, 6, 5015, "vs_2_x holds 256");
    EXPECT_TRUE(Vertex("vs_2_x\nsetp_gt p0, c0, c0.y\n" + Repeat("(p0) mov r0, c0", 127)).ok);
}

TEST(ShaderAssemblerLimits, ReadPortsOfEachVersion) {
    ExpectFault(Vertex("vs_1_1\ndcl_position v0\ndcl_normal v1\nadd r0, v0, v1\n"), 13, 13, 5014,
                "more than 1 different v# register");
    ExpectFault(Vertex("vs_2_0\ndcl_position v0\nmad r0, c0, v0, c1\n"), 12, 17, 5014, "different c#");
    EXPECT_TRUE(Vertex("vs_1_1\ndcl_position v0\nmad r0, c0, v0, c0.x\n").ok);
    ExpectFault(Pixel("ps_2_0\nadd r0, c0, c1\n"), 11, 13, 5014, "different c#");
    EXPECT_TRUE(Pixel("ps_1_1\nmad r0, v0, v1, c0\n").ok);
    ExpectFault(Pixel("ps_1_1\ndef c2, 0, 0, 0, 0\nmad r0, c0, c1, c2\n"), 12, 17, 5014, "more than 2 different c#");
}

TEST(ShaderAssemblerLimits, DependentReadsOfPs20) {
    const std::string chain =
        "dcl t0\ndcl_2d s0\n"
        "texld r0, t0, s0\n"
        "texld r1, r0, s0\n"
        "add r1, r1, c0\n"
        "texld r2, r1, s0\n"
        "texld r3, r2, s0\n";
    EXPECT_TRUE(Pixel("ps_2_0\n" + chain + "mov oC0, r3\n").ok);
    ExpectFault(Pixel("ps_2_0\n" + chain + "texld r4, r3, s0\n"), 18, 1, 5020, "this read is of order 4");
    // Writing again an r# a read wrote makes a read dependent too.
    ExpectFault(Pixel("ps_2_0\n" + chain + "texld r3, t0, s0\n"), 18, 1, 5020, "this read is of order 4");
    EXPECT_TRUE(Pixel("ps_2_0\n" + chain + "texld r4, t0, s0\nmov oC0, r4\n").ok);
    EXPECT_TRUE(Pixel("ps_2_x\n" + chain + "texld r4, r3, s0\nmov oC0, r4\n").ok);
}

TEST(ShaderAssemblerLimits, OrderOfPixelShaders1) {
    ExpectFault(Pixel("ps_1_1\nmov r0, v0\ntex t0\n"), 12, 1, 5016, "texture instruction 'tex' after an arithmetic");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\nmov r1, r0\ntexld r2, t1\n"), 13, 1, 5016, "in the same phase");
    EXPECT_TRUE(Pixel("ps_1_4\ntexld r0, t0\nmov r1, r0\nphase\ntexld r2, r1\nmul r0, r2, v0\n").ok);
    ExpectFault(Pixel("ps_1_4\nmov r0, v0\nphase\nmov r0, v0\n"), 11, 9, 5006, "colour registers (v#) in phase 2 only");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\nphase\nphase\n"), 13, 1, 5016, "one 'phase' at most");
    const std::string bem = "texld r0, t0\ntexld r1, t1\nbem r2.rg, r0, r1\n";
    EXPECT_TRUE(Pixel("ps_1_4\n" + bem + "phase\nmov r0, r2\n").ok);
    ExpectFault(Pixel("ps_1_4\n" + bem), 13, 1, 5016, "'bem' belongs before 'phase'");
    ExpectFault(Pixel("ps_1_4\n" + bem + "bem r3.rg, r0, r1\nphase\n"), 14, 1, 5016, "once a shader at most");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\nbem r2, r0, r0\nphase\n"), 12, 5, 5010, "'bem' writes .rg");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\ntexld r1, r0\n"), 12, 11, 5016, "r# register in phase 2 only");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\nphase\ntexld r1, t1\ntexld r2, r1\n"), 14, 11, 5021,
                "which phase 1 did not write");
    ExpectFault(Vertex("vs_1_1\nmov r0, c0\ndef c1, 0, 0, 0, 0\n"), 12, 1, 5016, "must come before every other");
}

TEST(ShaderAssemblerLimits, TextureRegistersOfPixelShaders1To3) {
    ExpectFault(Pixel("ps_1_1\ntex t0\ntexm3x2pad t1, t0\ntex t2\n"), 12, 1, 5022,
                "must be followed by the rest of its sequence on t2");
    ExpectFault(Pixel("ps_1_1\ntex t0\ntexm3x2tex t1, t0\n"), 12, 1, 5022, "texm3x2pad must begin");
    ExpectFault(Pixel("ps_1_1\ntex t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\n"), 12, 1, 5022, "does not end");
    EXPECT_TRUE(Pixel("ps_1_1\ntex t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3spec t3, t0, c0\nmov r0, t3\n").ok);
    ExpectFault(Pixel("ps_1_1\ntex t1\ntexbem t0, t1\n"), 12, 12, 5022, "lower number");
    ExpectFault(Pixel("ps_1_1\ntexbem t1, t0\n"), 11, 12, 5021, "'t0' is read before a texture instruction writes it");
    ExpectFault(Pixel("ps_1_1\ntex t0\ntex t0\n"), 12, 5, 5022, "written by one texture instruction only");
}

TEST(ShaderAssemblerLimits, ReadsOfRegistersNotYetWritten) {
    ExpectFault(Vertex("vs_1_1\ndcl_position v0\nadd r0, r1, v0\n"), 12, 9, 5021,
                "'r1' is read before any instruction writes it");
    ExpectFault(Pixel("ps_2_x\n(p0) mov r0, c0\nmov oC0, r0\n"), 11, 2, 5021, "'p0' is read before");
    ExpectFault(Vertex("vs_2_0\nmov oPos, c[a0.x]\n"), 11, 11, 5021, "'a0' is read before");
    ExpectFault(Vertex("vs_1_1\nm4x4 oPos, c0, r0\n"), 11, 16, 5021, "'r0'");
}

TEST(ShaderAssemblerLimits, ComponentsReadFromPs20On) {
    // From ps_2_0 on, each component read must have been written; before, the register as a whole.
    ExpectFault(Pixel("ps_2_0\nmov r0.xyz, c0\nmov oC0, r0\n"), 12, 10, 5021,
                "'r0' is read in .w, which no instruction before writes");
    EXPECT_TRUE(Vertex("vs_2_0\nmov r0.xyz, c0\nmov oPos, r0\n").ok);
    EXPECT_TRUE(Pixel("ps_1_4\nmov r0.rgb, c0\nmov r1, r0\n").ok);
    EXPECT_TRUE(Pixel("ps_2_0\nmov r0.x, c0\nrcp r1, r0.x\nmov r1.yz, r0.x\nmov oC0, r1\n").ok);
    ExpectFault(Pixel("ps_2_0\nmov r0.xy, c0\ndp3 r1, r0, c1\n"), 12, 9, 5021, "read in .z");
    ExpectFault(Pixel("ps_3_0\nmov r0.xw, c0\nmov oC0, r0.wzyx\n"), 12, 10, 5021, "read in .yz");
    // A sampler's texture type tells the coordinates texld reads; texldp reads w besides.
    const std::string coordinates = "mov r0.xy, c0\n";
    EXPECT_TRUE(Pixel("ps_2_0\ndcl_2d s0\n" + coordinates + "texld r1, r0, s0\nmov oC0, r1\n").ok);
    ExpectFault(Pixel("ps_2_0\ndcl_cube s0\n" + coordinates + "texld r1, r0, s0\n"), 13, 11, 5021, "read in .z");
    ExpectFault(Pixel("ps_2_0\ndcl_2d s0\n" + coordinates + "texldp r1, r0, s0\n"), 13, 12, 5021, "read in .w");
    ExpectFault(Pixel("ps_2_0\n" + coordinates + "texkill r0\n"), 12, 9, 5021, "read in .z");
}

// ---- Modifiers, swizzles and write masks of each version

TEST(ShaderAssemblerModifiers, InstructionModifiersOfEachVersion) {
    ExpectFault(Vertex("vs_2_0\nmov_sat r0, c0\n"), 11, 1, 5008, "'_sat' is not allowed on 'mov' in vs_2_0");
    ExpectFault(Pixel("ps_1_1\nmul_x8 r0, v0, v1\n"), 11, 1, 5008, "'_x8' is not allowed");
    EXPECT_TRUE(Pixel("ps_1_4\nmul_x8 r0, v0, v1\n").ok);
    ExpectFault(Pixel("ps_2_0\nadd_x2 r0, c0, c0\n"), 11, 1, 5008, "'_x2' is not allowed");
    ExpectFault(Pixel("ps_1_1\ntex_sat t0\n"), 11, 1, 5008, "'_sat' is not allowed on 'tex'");
    ExpectFault(Pixel("ps_1_4\nmov_pp r0, v0\n"), 11, 1, 5008, "'_pp'");
    ExpectFault(Vertex("vs_3_0\ndcl_position_centroid v0\n"), 11, 1, 5008, "'_centroid' is not allowed on 'dcl'");
    ExpectFault(Pixel("ps_1_1\nmov_x2_d2 r0, v0\n"), 11, 1, 5008, "only one of _x2 ... _d8");
    ExpectFault(Pixel("ps_2_0\nmov_half r0, c0\n"), 11, 1, 5008, "unknown instruction modifier '_half'");
    ExpectFault(Vertex("vs_3_0\nfrc_sat r0, c0\n"), 11, 1, 5008, "'_sat' is not allowed on 'frc'");
    ExpectFault(Pixel("ps_2_0\nmov_sat oC0, c0\n"), 11, 1, 5008, "on a write to an output register in ps_2_0");
    EXPECT_TRUE(Pixel("ps_3_0\nmov_sat oC0, c0\n").ok);
}

TEST(ShaderAssemblerModifiers, SamplingOperandsOfPs20) {
    const std::string declared = "dcl t0\ndcl v0\ndcl_2d s0\n";
    ExpectFault(Pixel("ps_2_0\n" + declared + "texld r0.xy, t0, s0\n"), 14, 7, 5010, "writes every component");
    ExpectFault(Pixel("ps_2_x\n" + declared + "texldp r0, t0.yx, s0\n"), 14, 12, 5008, "take no modifier or swizzle");
    ExpectFault(Pixel("ps_2_0\n" + declared + "texld r0, -t0, s0\n"), 14, 11, 5008, "take no modifier or swizzle");
    ExpectFault(Pixel("ps_2_0\n" + declared + "texld r0, v0, s0\n"), 14, 11, 5006, "'texld' cannot read 'v0'");
    ExpectFault(Pixel("ps_2_0\n" + declared + "texld r0, t0, s0.x\n"), 14, 15, 5008, "takes no modifier, swizzle");
    const AssemblyResult model3 = Pixel("ps_3_0\ndcl_texcoord v0\ndcl_2d s0\ntexld r0.xy, v0.yxzw, s0.x\ntexkill v0\n");
    ASSERT_TRUE(model3.ok) << model3.errors;
    EXPECT_EQ(model3.shader.instructions[2].sources[1].swizzle, Swizzle(0, 0, 0, 0));
}

TEST(ShaderAssemblerModifiers, SourceModifiersOfEachVersion) {
    ExpectFault(Vertex("vs_2_0\nmov r0, c0_abs\n"), 11, 9, 5008, "'_abs' is not allowed");
    EXPECT_TRUE(Pixel("ps_3_0\nmov oC0, -c0_abs\n").ok);
    ExpectFault(Pixel("ps_3_0\nadd r0, c0_abs, c0\n"), 11, 1, 5008, "every constant an instruction reads takes '_abs'");
    ExpectFault(Pixel("ps_1_4\nmov r0, -c0\n"), 11, 9, 5008, "'-' is not allowed on 'c0'");
    ExpectFault(Pixel("ps_2_0\nmov r0, c0_bx2\n"), 11, 9, 5008, "'_bx2'");
    ExpectFault(Pixel("ps_1_1\nmov r0, v0_x2\n"), 11, 9, 5008, "'_x2'");
    ExpectFault(Pixel("ps_1_1\ntex t0\ntexbem t1, t0_bx2\n"), 12, 12, 5008,
                "'_bx2' is not allowed on 't0' of 'texbem'");
    EXPECT_TRUE(Pixel("ps_1_2\ntex t0\ntexbem t1, t0_bx2\n").ok);
    ExpectFault(Vertex("vs_1_1\ndcl_position v0\nm4x4 oPos, v0, -c4\n"), 12, 16, 5008,
                "the matrix of 'm4x4' cannot be negated");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0_dz\n"), 11, 11, 5008, "'_dz' divides an r# source");
    ExpectFault(Pixel("ps_1_4\nmov r0, v0_dw\n"), 11, 9, 5008, "'_dw'");
    ExpectFault(Pixel("ps_1_1\nmov r0, 1-v0_bias\n"), 11, 11, 5008, "'1-' cannot be combined");
    ExpectFault(Pixel("ps_1_1\nmov r0, 2-v0\n"), 11, 9, 5008, "'1-' only");
    ExpectFault(Vertex("vs_2_0\nmov r0, !c0\n"), 11, 9, 5008, "'!' is not allowed");
    const std::string threeDz =
        "texld r0, t0\ntexld r1, t1\ntexld r2, t2\nphase\n"
        "texld r3, r0_dz\ntexld r4, r1_dz\ntexld r5, r2_dz\n";
    ExpectFault(Pixel("ps_1_4\n" + threeDz), 17, 11, 5008, "twice a shader at most");
}

TEST(ShaderAssemblerModifiers, SwizzlesOfEachVersion) {
    ExpectFault(Pixel("ps_1_1\nmov r0, v0.x\n"), 11, 9, 5009, "ps_1_1 swizzles .a");
    ExpectFault(Pixel("ps_1_3\nmov r0.rgb, v0.b\n"), 11, 13, 5009, "and .b when writing .a");
    EXPECT_TRUE(Pixel("ps_1_3\nmov r0.a, v0.b\n").ok);
    ExpectFault(Pixel("ps_1_4\nmov r0, v0.xy\n"), 11, 9, 5009, "replicate one component");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0.xzw\n"), 11, 11, 5009, "reads .xyz or .xyw");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0.xyw\ntexcrd r1.rgb, t0.xyz\n"), 12, 16, 5009, "the same .xyz or .xyw");
    ExpectFault(Pixel("ps_2_0\nmov r0, c0.xy\n"), 11, 9, 5009, "ps_2_0 swizzles are");
    EXPECT_TRUE(Pixel("ps_2_0\nmov r0, c0.zxyw\nmov r1, r0.w\nmov oC0, r1\n").ok);
    EXPECT_TRUE(Pixel("ps_2_x\nmov r0, c0.xy\nmov oC0, r0\n").ok);
    ExpectFault(Vertex("vs_1_1\nmov r0, c0.xyzwx\n"), 11, 12, 5009, "is not a swizzle");
    ExpectFault(Vertex("vs_1_1\nmov r0, c0.xgzw\n"), 11, 12, 5009, "mixes xyzw and rgba");
    ExpectFault(Vertex("vs_2_x\nsetp_gt p0, c0, c0.y\nif p0\nendif\n"), 12, 4, 5009, "p0 as a condition names one");
    ExpectFault(Vertex("vs_2_x\nif_gt c0.xy, c0.y\nendif\n"), 11, 7, 5009, "'ifc' reads one component of this source");
}

TEST(ShaderAssemblerModifiers, WriteMasksOfEachVersion) {
    ExpectFault(Pixel("ps_1_1\nmov r0.xy, v0\n"), 11, 5, 5010, "ps_1_1 writes .rgba, .rgb or .a only");
    EXPECT_TRUE(Pixel("ps_1_4\nmov r0.xy, v0\n").ok);
    ExpectFault(Pixel("ps_1_1\ntex t0.rgb\n"), 11, 5, 5010, "write every component");
    ExpectFault(Vertex("vs_1_1\nmov r0.yx, c0\n"), 11, 8, 5010, "once each, in order");
    ExpectFault(Vertex("vs_1_1\nmov r0.xyzwx, c0\n"), 11, 8, 5010, "is not a write mask");
    ExpectFault(Vertex("vs_1_1\nmov a0, c0\n"), 11, 5, 5010, "vs_1_1 writes a0.x only");
    ExpectFault(Pixel("ps_3_0\ndcl vPos.z\n"), 11, 5, 5010, "vPos is declared with .x, .y or .xy");
}

TEST(ShaderAssemblerModifiers, RelativeAddressingOfEachVersion) {
    ExpectFault(Vertex("vs_1_1\nmov a0.x, c0.x\nmov oPos, c[a0.y]\n"), 12, 11, 5013, "vs_1_1 indexes by a0.x only");
    ExpectFault(Vertex("vs_1_1\nmov oPos, c[aL]\n"), 11, 11, 5013, "cannot be indexed by aL");
    ExpectFault(Vertex("vs_2_0\ndcl_position v0\nmov a0, c0\n"), 12, 5, 5006, "'a0' cannot be written by 'mov'");
    ExpectFault(Vertex("vs_2_0\ndcl_position v0\nmova a0.x, c0.x\nmov oPos, v[a0.x]\n"), 13, 11, 5013,
                "cannot be indexed by a0");
    ExpectFault(Pixel("ps_3_0\nloop aL, i0\nmov oC0, c[aL]\nendloop\n"), 12, 10, 5013, "cannot be indexed by aL");
    ExpectFault(Vertex("vs_2_0\nmov oPos, c[r0.x]\n"), 11, 13, 5013, "a relative index is a0 or aL");
    ExpectFault(Vertex("vs_2_0\nmov oPos, c[4]\n"), 11, 12, 5013, "needs a0 or aL");
    ExpectFault(Vertex("vs_3_0\ndcl_position o0\nmov o[a0.x], c0\n"), 12, 5, 5013, "cannot be indexed by a0");
}

TEST(ShaderAssemblerModifiers, CoIssuedPairsOfPixelShaders1) {
    EXPECT_TRUE(Pixel("ps_1_1\n" + Repeat("mov r0.rgb, v0\n+mov r0.a, v1", 8)).ok);  // eight slots
    ExpectFault(Pixel("ps_1_1\nmov r0.rgb, v0\n+mov r1.rgb, v1\n"), 12, 6, 5018,
                "writes colour (.rgb) in one instruction and alpha (.a) in the other");
    ExpectFault(Pixel("ps_1_1\n+mov r0.a, v0\n"), 11, 2, 5018, "pairs an instruction with the one arithmetic");
    ExpectFault(Pixel("ps_1_1\nmov r0.rgb, v0\n+mov r0.a, v1\n+mov r1.a, v1\n"), 13, 2, 5018, "pairs an instruction");
    ExpectFault(Pixel("ps_1_1\ntex t0\n+tex t1\n"), 12, 2, 5018, "co-issue");
    EXPECT_TRUE(Pixel("ps_1_1\ntex t0\ndp3 r0.rgb, t0, v0\n+mov r1.a, t0\n").ok);
    ExpectFault(Pixel("ps_1_1\ndp3 r0.a, v0, v1\n"), 11, 5, 5010, "'dp3' of ps_1_1 writes the colour components");
    ExpectFault(Pixel("ps_1_2\ndp4 r0.rgb, v0, v1\n+mov r0.a, v1\n"), 12, 2, 5018, "'dp4' cannot be co-issued");
    ExpectFault(Pixel("ps_1_4\ntexld r0, t0\nmov r1.a, r0\n+bem r2.rg, r0, r0\nphase\n"), 13, 2, 5018,
                "'bem' cannot be co-issued");
    ExpectFault(Vertex("vs_1_1\nmov r0, c0\n+mov r1, c1\n"), 12, 2, 5018, "ps_1_x only");
}

TEST(ShaderAssemblerModifiers, PredicationOfEachVersion) {
    ExpectFault(Vertex("vs_2_0\n(p0) mov r0, c0\n"), 11, 2, 5019, "vs_2_0 has no predication");
    ExpectFault(Vertex("vs_2_x\nsetp_gt p0, c0, c0.y\n(p0) if b0\nendif\n"), 12, 2, 5019, "'if' cannot be predicated");
    ExpectFault(Vertex("vs_2_x\nsetp_gt p0, c0, c0.y\n(p0.xy) mov r0, c0\n"), 12, 2, 5009, "p0 with one component");
    ExpectFault(Vertex("vs_2_x\n(r0) mov r0, c0\n"), 11, 2, 5019, "expected the predicate register p0");
    ExpectFault(Vertex("vs_2_x\nsetp_gt p0, c0, c0.y\n(p0 mov r0, c0\n"), 12, 5, 5001, "expected ')'");
}

// ---- Flow control: blocks pair up, subroutines, nesting depths

TEST(ShaderAssemblerFlowControl, BlocksPairUp) {
    ExpectFault(Vertex("vs_2_0\nelse\n"), 11, 1, 5017, "'else' without its 'if'");
    ExpectFault(Vertex("vs_2_0\nif b0\nelse\nelse\nendif\n"), 13, 1, 5017, "'else' without its 'if'");
    ExpectFault(Vertex("vs_2_0\nendif\n"), 11, 1, 5017, "'endif' without its 'if'");
    ExpectFault(Vertex("vs_2_0\nrep i0\nendloop\n"), 12, 1, 5017, "'endloop' without its 'loop'");
    ExpectFault(Vertex("vs_2_0\nloop aL, i0\nendrep\n"), 12, 1, 5017, "'endrep' without its 'rep'");
    ExpectFault(Vertex("vs_2_0\nmov r0, c0\n  if b1\nmov r0, c1\n"), 12, 3, 5017, "'if' is not closed by 'endif'");
    ExpectFault(Vertex("vs_2_x\nbreak\n"), 11, 1, 5017, "'break' outside loop or rep");
    ExpectFault(Vertex("vs_2_x\nif b0\nbreak_gt c0.x, c0.y\nendif\n"), 12, 1, 5017, "'breakc' outside loop or rep");
    ExpectFault(Vertex("vs_2_0\nmov r0, c[aL]\n"), 11, 1, 5017, "aL is read outside loop");
    ExpectFault(Vertex("vs_2_0\nrep i0\nret\nendrep\n"), 12, 1, 5017, "'ret' inside an open 'rep' block");
}

TEST(ShaderAssemblerFlowControl, SubroutinesAndLabels) {
    const std::string main = "vs_2_0\ncall l1\nret\n";
    EXPECT_TRUE(Vertex(main + "label l1\nret\n").ok);
    ExpectFault(Vertex(main + "label l1\nret\nlabel l1\nret\n"), 15, 1, 5017, "label l1 is defined twice");
    ExpectFault(Vertex("vs_2_0\ncall l3\n"), 11, 1, 5017, "'call' of undefined label l3");
    ExpectFault(Vertex(main + "mov r0, c0\nlabel l1\nret\n"), 13, 1, 5017, "after 'ret' only a label may follow");
    ExpectFault(Vertex(main + "label l1\ncall l1\nret\n"), 14, 1, 5017, "subroutine l1 calls itself");
    ExpectFault(Vertex(main + "label l1\nrep i0\nlabel l2\nret\n"), 14, 1, 5017, "before the next label");
    ExpectFault(Vertex("vs_2_0\nmov r0, c0\nlabel l1\nret\n"), 12, 1, 5017, "a label follows the 'ret'");
    ExpectFault(Vertex("vs_2_0\nret\nlabel l16\nret\n"), 12, 7, 5007, "'l16' out of range: vs_2_0 has 16");
    EXPECT_TRUE(Vertex("vs_3_0\ncall l2047\nret\nlabel l2047\nret\n").ok);
    // vs_2_0 nests calls one deep; vs_2_x four.
    const std::string twoDeep = "call l1\nret\nlabel l1\ncall l2\nret\nlabel l2\nret\n";
    ExpectFault(Vertex("vs_2_0\n" + twoDeep), 11, 1, 5017, "calls nest 1 deep at most in vs_2_0");
    EXPECT_TRUE(Vertex("vs_2_x\n" + twoDeep).ok);
    ExpectFault(Vertex("vs_2_0\ncall r0\n"), 11, 6, 5005, "'call' takes a label (l#) here, not 'r0'");
}

TEST(ShaderAssemblerFlowControl, NestingDepthsOfEachVersion) {
    // loop and rep: one deep in vs_2_0, four in vs_2_x and later.
    ExpectFault(Vertex("vs_2_0\nrep i0\nrep i1\nendrep\nendrep\n"), 12, 1, 5017, "nest 1 deep at most in vs_2_0");
    const std::string fourReps = Repeat("rep i0", 4) + Repeat("endrep", 4);
    EXPECT_TRUE(Vertex("vs_2_x\n" + fourReps).ok);
    ExpectFault(Vertex("vs_3_0\n" + Repeat("rep i0", 5) + Repeat("endrep", 5)), 15, 1, 5017,
                "loop and rep nest 4 deep at most in vs_3_0");
    // Static flow count of vs_2_0: sixteen if, else, loop, rep, call and callnz.
    ExpectFault(Vertex("vs_2_0\n" + Repeat("if b0\nendif", 17)), 43, 1, 5017, "vs_2_0 holds 16 static flow-control");
    EXPECT_TRUE(Vertex("vs_3_0\n" + Repeat("if b0\nendif", 17)).ok);
    // Dynamic if blocks nest 24 deep.
    const std::string setp = "setp_gt p0, c0, c0.y\n";
    EXPECT_TRUE(Pixel("ps_3_0\n" + setp + Repeat("if p0.x", 24) + Repeat("endif", 24)).ok);
    ExpectFault(Pixel("ps_3_0\n" + setp + Repeat("if p0.x", 25) + Repeat("endif", 25)), 36, 1, 5017,
                "dynamic if blocks nest 24 deep at most in ps_3_0");
    ExpectFault(Pixel("ps_3_0\n" + Repeat("if b0", 25) + Repeat("endif", 25)), 35, 1, 5017,
                "if blocks nest 24 deep at most");
}

// ---- Pixel outputs, and what pixels of a primitive may run apart

TEST(ShaderAssemblerOutputs, ColourAndDepthOfPs20AndLater) {
    ExpectFault(Pixel("ps_2_0\nadd oC0, c0, c0\n"), 11, 1, 5005, "oC0 is written by mov only in ps_2_0");
    ExpectFault(Pixel("ps_2_0\nmov oC0, c0.x\n"), 11, 10, 5008, "the source of oC0 takes no modifier or swizzle");
    ExpectFault(Pixel("ps_2_x\nmov oC0, -c0\n"), 11, 10, 5008, "takes no modifier or swizzle");
    ExpectFault(Pixel("ps_2_0\nmov oC0.xyz, c0\n"), 11, 5, 5010, "oC0 is written whole");
    ExpectFault(Pixel("ps_2_0\nmov oC0, c0\nmov oC0, c1\n"), 12, 1, 5005, "oC0 is written once in ps_2_0");
    ExpectFault(Pixel("ps_2_0\nmov oC2, c0\nmov oC0, c0\n"), 11, 5, 5005, "writing oC2 writes oC1 too");
    EXPECT_TRUE(Pixel("ps_3_0\nadd oC0, c0, c0\nmov oC0.xy, c1.x\nmov oC1, c0\n").ok);
    ExpectFault(Pixel("ps_2_0\nmov oDepth, c0\n"), 11, 13, 5009, "oDepth is written from one component");
    ExpectFault(Pixel("ps_3_0\nmov oDepth.x, c0.x\n"), 11, 5, 5010, "oDepth takes no write mask");
    ExpectFault(Pixel("ps_2_0\nmov oDepth, c0.x\nmov oDepth, c0.y\n"), 12, 1, 5005, "oDepth is written once");
    ExpectFault(Pixel("ps_2_x\nif b0\nmov oDepth, c0.x\nendif\n"), 12, 1, 5017, "oDepth is not written inside flow");
}

TEST(ShaderAssemblerOutputs, PerPixelFlowControl) {
    const std::string setup = "dcl_texcoord v0\ndcl_2d s0\nsetp_gt p0, c0, c0.y\nmov r0, v0\n";
    EXPECT_TRUE(Pixel("ps_3_0\n" + setup + "if p0.x\ntexld r1, v0, s0\ntexldl r1, r0, s0\nendif\n").ok);
    ExpectFault(Pixel("ps_3_0\n" + setup + "if p0.x\ntexld r1, r0, s0\nendif\n"), 16, 1, 5017,
                "'texld' takes the gradients of an r# register");
    ExpectFault(Pixel("ps_3_0\n" + setup + "if_lt r0.x, c0.x\ndsx r1, r0\nendif\n"), 16, 1, 5017, "'dsx'");
    ExpectFault(Pixel("ps_3_0\n" + setup + "(p0) texldp r1, r0, s0\n"), 15, 6, 5017, "'texldp' takes the gradients");
    ExpectFault(Pixel("ps_3_0\n" + setup + "rep i0\nbreak_gt r0.x, c0.x\ntexld r1, r0, s0\nendrep\n"), 17, 1, 5017,
                "gradients");
    EXPECT_TRUE(Pixel("ps_3_0\n" + setup + "rep i0\ntexld r1, r0, s0\nbreak_gt r0.x, c0.x\nendrep\n").ok);
    ExpectFault(Pixel("ps_3_0\n" + setup + "if p0.x\nmov oC0, r0\nendif\n"), 16, 1, 5017, "oC# is not written");
    ExpectFault(Pixel("ps_2_x\nsetp_gt p0, c0, c0.y\n(p0) mov oC0, c0\n"), 12, 6, 5017,
                "oC# is not written inside dynamic flow control or predication");
    EXPECT_TRUE(Pixel("ps_3_0\nif b0\nmov oC0, c0\nendif\n").ok);
}

// ---- Operands: their count and kind

TEST(ShaderAssemblerOperands, CountsAndKinds) {
    ExpectFault(Vertex("vs_1_1\nadd r0, c0\n"), 11, 1, 5005, "'add' takes 3 operands");
    ExpectFault(Vertex("vs_1_1\nadd r0, c0 c1\n"), 11, 12, 5005, "expected ',' before 'c1'");
    ExpectFault(Vertex("vs_1_1\nmov r0, c0, c1\n"), 11, 11, 5005, "'mov' takes 2 operands");
    ExpectFault(Vertex("vs_1_1\nmov r0 c0\n"), 11, 8, 5005, "expected ',' before 'c0'");
    ExpectFault(Vertex("vs_1_1\nmov r0, zz\n"), 11, 9, 5006, "'zz' is not a register");
    const AssemblyResult unnumbered = Vertex("vs_1_1\nmov r, c3\nmov oPos, r\n");  // r is r0
    ASSERT_TRUE(unnumbered.ok) << unnumbered.errors;
    EXPECT_EQ(unnumbered.shader.instructions[1].sources[0].type, RegisterType::Temp);
    EXPECT_EQ(unnumbered.shader.instructions[1].sources[0].index, 0);
    ExpectFault(Vertex("vs_1_1\nmov r0_sat, c0\n"), 11, 5, 5008, "belongs on the instruction");
    ExpectFault(Vertex("vs_2_x\nsetp p0, c0, c1\n"), 11, 1, 5005, "needs a comparison");
    ExpectFault(Vertex("vs_2_x\nifc c0.x, c0.y\n"), 11, 1, 5005, "written with its comparison (if_gt");
    ExpectFault(Vertex("vs_2_x\nif_gt_x c0.x, c0.y\n"), 11, 1, 5008, "unknown instruction modifier '_x'");
    ExpectFault(Pixel("ps_2_0\ndcl t0\ndcl_2d s0\ntexld r0, t0, t0\n"), 13, 15, 5005,
                "takes a sampler (s#) here, not 't0'");
    ExpectFault(Vertex("vs_2_0\nmov r1, c0\nsincos r0.xy, c0.x, r1, c2\n"), 12, 21, 5005, "two constants from c#");
    ExpectFault(Vertex("vs_2_0\nrep b0\nendrep\n"), 11, 5, 5005, "an integer constant (i#)");
    ExpectFault(Vertex("vs_2_0\nloop aL, i0.x\nendloop\n"), 11, 10, 5008, "takes no modifier, swizzle or index");
}

TEST(ShaderAssemblerOperands, MatrixInstructions) {
    const std::string input = "vs_1_1\ndcl_position v0\n";
    EXPECT_TRUE(Vertex(input + "m3x2 r0.xy, v0, c0\nm3x3 r1.xyz, r0, c2\nm4x3 r2.xyz, v0, c5\nm3x4 r3, v0, c8\n").ok);
    ExpectFault(Vertex(input + "m3x3 r0, v0, c0\n"), 12, 6, 5010, "'m3x3' writes .xyz");
    ExpectFault(Vertex(input + "m4x4 oPos, v0, c0.yxzw\n"), 12, 16, 5009, "the matrix of 'm4x4' takes no swizzle");
    ExpectFault(Vertex(input + "mov r0, v0\nm4x4 r0, r0, c0\n"), 13, 6, 5005, "cannot write a register it reads");
    ExpectFault(Vertex(input + "mov r0, v0\nmov r1, v0\nm3x2 r1.xy, v0, r0\n"), 14, 6, 5005, "cannot write");
}

TEST(ShaderAssemblerOperands, CrossProduct) {
    EXPECT_TRUE(Vertex("vs_2_0\nmov r1, c0\ncrs r0.xz, r1, -c1\n").ok);
    ExpectFault(Vertex("vs_2_0\nmov r1, c0\ncrs r0, r1, c1\n"), 12, 5, 5010, "'crs' writes some of .xyz");
    ExpectFault(Vertex("vs_2_0\nmov r1, c0\ncrs r0.xyz, r1.yzxw, c1\n"), 12, 13, 5009, "take no swizzle");
    ExpectFault(Vertex("vs_2_0\nmov r1, c0\ncrs r1.xyz, c1, r1\n"), 12, 17, 5005, "cannot read the register it writes");
}

TEST(ShaderAssemblerOperands, ScalarSourcesAndNormalize) {
    ExpectFault(Vertex("vs_2_0\nmov r1, c1\npow r0, c0.x, r1\n"), 12, 15, 5009,
                "'pow' reads one component of this source");
    ExpectFault(Pixel("ps_2_0\ndp2add r0, c0, c0, c0.xy\n"), 11, 20, 5009, "'dp2add' reads one component");
    EXPECT_TRUE(Vertex("vs_2_0\nmov r1, c0\nnrm r0, r1\npow r1, r0.x, c1.y\n").ok);
    ExpectFault(Vertex("vs_2_0\nmov r0, c0\nnrm r0, r0\n"), 12, 9, 5005, "'nrm' cannot read the register it writes");
}

TEST(ShaderAssemblerOperands, Sincos) {
    ExpectFault(Vertex("vs_3_0\nsincos r0.xyz, c0.x\n"), 11, 8, 5010, "writes .x, .y or .xy of an r#");
    ExpectFault(Vertex("vs_3_0\nsincos r0.xy, c0\n"), 11, 15, 5009, "'sincos' reads one component of this source");
    ExpectFault(Pixel("ps_2_0\nsincos r0.xy, c0.x, c1, c1\n"), 11, 25, 5005, "two different constant registers");
    const std::string setp = "setp_gt p0, c0, c0.y\n";
    ExpectFault(Vertex("vs_2_x\n" + setp + "(p0) sincos r0.y, c0.x, c1, c2\n"), 12, 2, 5009, "names one component");
    EXPECT_TRUE(Vertex("vs_3_0\n" + setp + "(p0) sincos r0.y, c0.x\n").ok);
}

TEST(ShaderAssemblerOperands, SelectionsOfPixelShaders1To3) {
    EXPECT_TRUE(Pixel("ps_1_1\nmov r0, v0\ncnd r1, r0.a, v0, v1\n").ok);
    ExpectFault(Pixel("ps_1_1\nmov r1, v0\ncnd r0, r1.a, v0, v1\n"), 12, 9, 5005, "'cnd' of ps_1_1 selects by r0.a");
    EXPECT_TRUE(Pixel("ps_1_4\nmov r1, v0\ncnd r0, r1, v0, v1\n").ok);
    ExpectFault(Pixel("ps_1_2\nmov r0, v0\ncmp r0, v1, r0, c0\n"), 12, 13, 5005, "cannot read the register it writes");
    EXPECT_TRUE(Pixel("ps_1_4\nmov r0, v0\ncmp r0, v1, r0, c0\n").ok);
}

TEST(ShaderAssemblerOperands, ConstantDefinitions) {
    ExpectFault(Vertex("vs_1_1\ndef c0, 1, 2, 3\n"), 11, 1, 5005, "'def' takes 5 operands");
    ExpectFault(Vertex("vs_1_1\ndef c0, 1, x, 3, 4\n"), 11, 12, 5012, "expected a number");
    ExpectFault(Vertex("vs_1_1\ndef r0, 1, 2, 3, 4\n"), 11, 5, 5012, "defines a whole c# register");
    ExpectFault(Vertex("vs_2_0\ndefi i0, 1, 2.5, 3, 4\n"), 11, 13, 5012, "defi takes integers");
    ExpectFault(Vertex("vs_2_0\ndefb b0, 1\n"), 11, 10, 5012, "defb takes true or false");
    ExpectFault(Vertex("vs_1_1\ndef c0, 1e99, 0, 0, 0\n"), 11, 9, 5012, "out of range");
    const AssemblyResult negative = Vertex("vs_2_0\ndefi i1, -3, +2, 0, 255\n");
    ASSERT_TRUE(negative.ok) << negative.errors;
    EXPECT_EQ(negative.shader.instructions[0].intValues, (std::array<int, 4> {-3, 2, 0, 255}));
}

TEST(ShaderAssemblerOperands, Declarations) {
    ExpectFault(Vertex("vs_2_0\ndcl v0\n"), 11, 5, 5011, "declared with its usage");
    ExpectFault(Vertex("vs_2_0\ndcl_position r0\n"), 11, 14, 5011, "'r0' cannot be declared in vs_2_0");
    ExpectFault(Vertex("vs_1_1\ndcl_position v0\ndcl_normal v0\n"), 12, 12, 5011, "'v0' is declared twice");
    ExpectFault(Vertex("vs_1_1\ndcl_texcoord v0\ndcl_texcoord0 v1\n"), 12, 15, 5011, "a semantic is declared once");
    EXPECT_TRUE(Pixel("ps_3_0\ndcl_normal v0.xyz\ndcl_blendweight v0.w\ndcl_texcoord1 v1.y\ndcl_texcoord0 v1.zw\n"
                      "dcl_2d s1\ntexld r1, v1.zw, s1\nmov oC0, r1\n")
                    .ok);
    ExpectFault(Vertex("vs_1_1\ndcl_sideways v0\n"), 11, 1, 5011, "unknown declaration usage 'sideways'");
    ExpectFault(Vertex("vs_1_1\ndcl_texcoord16 v0\n"), 11, 1, 5011, "out of range (0-15)");
    ExpectFault(Pixel("ps_2_0\ndcl_texcoord0 t0\n"), 11, 15, 5011, "declared without a usage in ps_2_0");
    ExpectFault(Pixel("ps_2_0\ndcl s0\n"), 11, 5, 5011, "dcl_2d, dcl_cube or dcl_volume");
    ExpectFault(Pixel("ps_2_0\ndcl_2d t0\n"), 11, 8, 5011, "only a sampler (s#) has a texture type");
    ExpectFault(Pixel("ps_2_0\ndcl_2d s0\ntexld r0, t0, s0\n"), 12, 11, 5011, "'t0' is used without a declaration");
    ExpectFault(Pixel("ps_1_1\ndcl t0\n"), 11, 1, 5004, "'dcl' is not an instruction of ps_1_1");
}
