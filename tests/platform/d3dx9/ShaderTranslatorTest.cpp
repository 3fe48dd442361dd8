// Assembled Direct3D 9 shaders of every version to GLSL without a GPU: the GLSL is valid GLSL 4.50
// and links between the stages (an assembly stage with an HLSL one too), the interface follows the
// Direct3D 9 registers (vertex inputs by usage, varyings where the HLSL path puts the same
// semantics, the constant registers a program reads), and faults are refused at their line.
#include "EffectParser.h"
#include "GlslLiterals.h"
#include "HlslCompiler.h"
#include "ShaderAssembler.h"
#include "ShaderTranslator.h"
#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace nvesk::d3dx9;

namespace {

using RT = RegisterType;

std::array<std::uint8_t, 4> Swizzle(const char* text) {
    std::array<std::uint8_t, 4> swizzle {0, 1, 2, 3};
    const std::string components = "xyzw";
    const std::size_t length = std::string(text).size();
    for (std::size_t i = 0; i < 4; ++i)
        swizzle[i] = static_cast<std::uint8_t>(components.find(text[std::min(i, length - 1)]));
    return swizzle;
}

SourceOperand Src(RT type, int index, const char* swizzle = "xyzw", SourceModifier modifier = SourceModifier::None) {
    SourceOperand source;
    source.type = type;
    source.index = index;
    source.swizzle = Swizzle(swizzle);
    source.modifier = modifier;
    return source;
}

// c[a0.x + index] or v[aL + index].
SourceOperand Relative(RT type, int index, RT addressType, const char* swizzle = "xyzw") {
    SourceOperand source = Src(type, index, swizzle);
    source.relative = true;
    source.address.type = addressType;
    return source;
}

DestinationOperand Dst(RT type, int index, const char* mask = "xyzw") {
    DestinationOperand destination;
    destination.type = type;
    destination.index = index;
    destination.writeMask = 0;
    for (const char* c = mask; *c != '\0'; ++c)
        destination.writeMask |= static_cast<std::uint8_t>(1u << std::string("xyzw").find(*c));
    return destination;
}

AssemblyInstruction Op(const char* name, DestinationOperand destination, std::vector<SourceOperand> sources) {
    AssemblyInstruction instruction;
    instruction.name = name;
    instruction.hasDestination = true;
    instruction.destination = destination;
    instruction.sources = std::move(sources);
    return instruction;
}

AssemblyInstruction Flow(const char* name, std::vector<SourceOperand> sources = {},
                         Comparison comparison = Comparison::None) {
    AssemblyInstruction instruction;
    instruction.name = name;
    instruction.sources = std::move(sources);
    instruction.comparison = comparison;
    return instruction;
}

AssemblyInstruction Dcl(DestinationOperand reg, int usage = -1, int usageIndex = 0, int samplerType = 0) {
    AssemblyInstruction instruction = Op("dcl", reg, {});
    instruction.declaration.usage = usage;
    instruction.declaration.usageIndex = usageIndex;
    instruction.declaration.samplerType = samplerType;
    return instruction;
}

AssemblyInstruction Def(int index, std::array<float, 4> values) {
    AssemblyInstruction instruction = Op("def", Dst(RT::Const, index), {});
    instruction.floatValues = values;
    return instruction;
}

AssemblyInstruction Defi(int index, std::array<int, 4> values) {
    AssemblyInstruction instruction = Op("defi", Dst(RT::ConstInt, index), {});
    instruction.intValues = values;
    return instruction;
}

AssemblyInstruction Coissued(AssemblyInstruction instruction) {
    instruction.coissue = true;
    return instruction;
}

AssembledShader Program(ShaderStage stage, int major, int minor, std::vector<AssemblyInstruction> instructions) {
    AssembledShader shader;
    shader.version.stage = stage;
    shader.version.major = major;
    shader.version.minor = minor;
    shader.instructions = std::move(instructions);
    return shader;
}

ShaderTranslation Translated(const AssembledShader& shader) {
    ShaderTranslation translation = TranslateShader(shader);
    EXPECT_TRUE(translation.ok) << translation.errors;
    return translation;
}

// Compiles each stage given as OpenGL GLSL 4.50 and links them, as a driver will.
void ExpectValidGlsl(const std::string& vertexGlsl, const std::string& fragmentGlsl) {
    glslang::InitializeProcess();
    glslang::TShader vertex(EShLangVertex);
    glslang::TShader fragment(EShLangFragment);
    glslang::TProgram linked;
    for (auto [shader, text] : {std::pair(&vertex, &vertexGlsl), std::pair(&fragment, &fragmentGlsl)}) {
        if (text->empty()) continue;
        const char* source = text->c_str();
        shader->setStrings(&source, 1);
        shader->setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
        ASSERT_TRUE(shader->parse(GetDefaultResources(), 450, ECoreProfile, false, false, EShMsgDefault))
            << shader->getInfoLog() << "\n"
            << *text;
        linked.addShader(shader);
    }
    EXPECT_TRUE(linked.link(EShMsgDefault)) << linked.getInfoLog() << "\n" << vertexGlsl << "\n" << fragmentGlsl;
}

void ExpectValidProgram(const ShaderTranslation& vertex, const ShaderTranslation& pixel) {
    const ProgramCompileResult paired = PairTranslations(&vertex, &pixel);
    ASSERT_NE(paired.program, nullptr) << paired.errors;
    ExpectValidGlsl(paired.program->vertexGlsl, paired.program->fragmentGlsl);
}

int LocationOf(const std::vector<StageVarying>& varyings, int usage, int usageIndex) {
    for (const StageVarying& varying : varyings)
        if (varying.usage == usage && varying.usageIndex == usageIndex) return static_cast<int>(varying.location);
    return -1;
}

// vs_1_1: m4x4 of a declared position, a normal, and an input without a declaration (its fixed
// register: v7 is TEXCOORD0); colour, texture coordinates and fog out.
AssembledShader VertexShader11() {
    return Program(
        ShaderStage::Vertex, 1, 1,
        {Dcl(Dst(RT::Input, 0), D3DDECLUSAGE_POSITION), Dcl(Dst(RT::Input, 3), D3DDECLUSAGE_NORMAL),
         Def(8, {0.5f, 1.0f, 0.0f, 0.0f}), Op("m4x4", Dst(RT::RastOut, 0), {Src(RT::Input, 0), Src(RT::Const, 0)}),
         Op("dp3", Dst(RT::Temp, 0, "x"), {Src(RT::Input, 3), Src(RT::Const, 4)}),
         Op("max", Dst(RT::Temp, 0, "x"), {Src(RT::Temp, 0, "x"), Src(RT::Const, 8, "z")}),
         Op("mul", Dst(RT::AttrOut, 0), {Src(RT::Temp, 0, "x"), Src(RT::Const, 5)}),
         Op("mov", Dst(RT::TexCoordOut, 0, "xy"), {Src(RT::Input, 7)}),
         Op("rcp", Dst(RT::RastOut, 1, "x"), {Src(RT::Const, 8, "x")}),
         Op("expp", Dst(RT::Temp, 1), {Src(RT::Temp, 0, "x")}), Op("lit", Dst(RT::AttrOut, 1), {Src(RT::Temp, 1)})});
}

// ps_1_1: two lookups, a coordinate read as a colour, modifiers, a shift and a co-issued alpha.
AssembledShader PixelShader11() {
    return Program(
        ShaderStage::Pixel, 1, 1,
        {Op("tex", Dst(RT::Texture, 0), {}), Op("texcoord", Dst(RT::Texture, 1), {}),
         Op("mul", Dst(RT::Temp, 0, "xyz"), {Src(RT::Texture, 0), Src(RT::Input, 0, "xyzw", SourceModifier::Sign)}),
         Coissued(Op("add", Dst(RT::Temp, 0, "w"),
                     {Src(RT::Texture, 1, "w"), Src(RT::Temp, 0, "w", SourceModifier::Complement)})),
         [] {
             AssemblyInstruction shifted =
                 Op("mad", Dst(RT::Temp, 1),
                    {Src(RT::Temp, 0), Src(RT::Const, 0), Src(RT::Input, 1, "xyzw", SourceModifier::Bias)});
             shifted.destination.shift = 1;
             shifted.destination.saturate = true;
             return shifted;
         }(),
         Op("cnd", Dst(RT::Temp, 0),
            {Src(RT::Temp, 0, "w"), Src(RT::Temp, 1), Src(RT::Texture, 0, "xyzw", SourceModifier::Negate)})});
}

// The assembler's reading of a program, translated.
ShaderTranslation FromText(const std::string& text) {
    const ShaderStage stage = text.rfind("vs_", 0) == 0 ? ShaderStage::Vertex : ShaderStage::Pixel;
    const AssemblyResult assembled = AssembleShader(text, "memory", SourcePosition(), stage);
    EXPECT_TRUE(assembled.ok) << assembled.errors;
    return Translated(assembled.shader);
}

}  // namespace

TEST(ShaderTranslator, VertexAndPixelShaders11MeetAndTakeTheRegistersOfTheirUsages) {
    const ShaderTranslation vertex = Translated(VertexShader11());
    const ShaderTranslation pixel = Translated(PixelShader11());
    ExpectValidProgram(vertex, pixel);

    // Declared inputs by their usage; v7, read undeclared, by the register vs_1_1 fixed for TEXCOORD0.
    std::vector<std::pair<int, int>> inputs;
    for (const VertexInput& input : vertex.vertexInputs)
        inputs.push_back({input.usage, input.usageIndex});
    std::sort(inputs.begin(), inputs.end());
    EXPECT_EQ(inputs, (std::vector<std::pair<int, int>> {
                          {D3DDECLUSAGE_POSITION, 0}, {D3DDECLUSAGE_NORMAL, 0}, {D3DDECLUSAGE_TEXCOORD, 0}}));
    // c0-c3 (the matrix), c4, c5 from the device; c8 is the shader's own.
    EXPECT_EQ(vertex.floatConstants.registerCount, 6u);
    EXPECT_FALSE(vertex.floatConstants.uniformName.empty());
    EXPECT_EQ(vertex.intConstants.registerCount, 0u);
    // The pixel stage reads its two coordinate sets and both colours, at the registers the vertex
    // stage writes them to.
    EXPECT_EQ(pixel.varyings.size(), 4u);
    for (const StageVarying& input : pixel.varyings) {
        EXPECT_EQ(static_cast<int>(input.location), RegisterLocation(input.usage, input.usageIndex));
        if (input.usage != D3DDECLUSAGE_TEXCOORD || input.usageIndex == 0) {
            EXPECT_EQ(LocationOf(vertex.varyings, input.usage, input.usageIndex), static_cast<int>(input.location));
        }
    }
    EXPECT_EQ(pixel.colorOutput, "fx_out_COLOR0");
    ASSERT_EQ(pixel.samplers.size(), 1u);
    EXPECT_EQ(pixel.samplers[0].first, 0);
    EXPECT_EQ(pixel.floatConstants.registerCount, 1u);
}

TEST(ShaderTranslator, AssemblyVaryingsSitWhereTheHlslPathPutsTheSameSemantics) {
    const ParseResult parsed = ParseEffect(
        "struct VsOut { float4 position : POSITION; float4 color : COLOR0; float4 specular : COLOR1;\n"
        "               float2 uv : TEXCOORD0; float fog : FOG; };\n"
        "VsOut Vs(float4 p : POSITION) { VsOut o = (VsOut)0; o.position = p; o.color = p; o.specular = p;\n"
        "                                o.uv = p.xy; o.fog = p.z; return o; }\n"
        "float4 Ps(float4 c : COLOR0, float2 uv : TEXCOORD0) : COLOR { return c * uv.x; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 Vs(); PixelShader = compile ps_2_0 Ps(); } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult hlsl =
        CompileProgram(parsed.description.hlsl, "memory", pass.vertexShader.compiled, pass.pixelShader.compiled);
    ASSERT_NE(hlsl.program, nullptr) << hlsl.errors;

    const ShaderTranslation vertex = Translated(VertexShader11());
    ASSERT_FALSE(hlsl.program->vertexOutputs.empty());
    for (const StageVarying& output : hlsl.program->vertexOutputs)
        EXPECT_EQ(LocationOf(vertex.varyings, output.usage, output.usageIndex), static_cast<int>(output.location))
            << "usage " << output.usage << " index " << output.usageIndex;
    // An assembly vertex stage feeds an HLSL pixel stage, and an HLSL vertex stage an assembly one.
    ExpectValidGlsl(vertex.glsl, hlsl.program->fragmentGlsl);
    const ShaderTranslation pixel =
        Translated(Program(ShaderStage::Pixel, 2, 0,
                           {Dcl(Dst(RT::Input, 0)), Dcl(Dst(RT::Texture, 0, "xy")),
                            Op("mul", Dst(RT::Temp, 0), {Src(RT::Input, 0), Src(RT::Texture, 0, "x")}),
                            Op("mov", Dst(RT::ColorOut, 0), {Src(RT::Temp, 0)})}));
    for (const StageVarying& input : hlsl.program->pixelInputs)
        EXPECT_EQ(LocationOf(pixel.varyings, input.usage, input.usageIndex), static_cast<int>(input.location));
    ExpectValidGlsl(hlsl.program->vertexGlsl, pixel.glsl);
}

TEST(ShaderTranslator, RelativeAddressingSpansTheWholeConstantFile) {
    const ShaderTranslation vertex = Translated(Program(
        ShaderStage::Vertex, 2, 0,
        {Dcl(Dst(RT::Input, 0), D3DDECLUSAGE_POSITION), Dcl(Dst(RT::Input, 1), D3DDECLUSAGE_BLENDINDICES),
         Def(3, {1.0f, 2.0f, 3.0f, 4.0f}), Op("mova", Dst(RT::Address, 0, "x"), {Src(RT::Input, 1, "x")}),
         Op("dp4", Dst(RT::RastOut, 0, "x"), {Src(RT::Input, 0), Relative(RT::Const, 10, RT::Address)}),
         Op("dp4", Dst(RT::RastOut, 0, "y"), {Src(RT::Input, 0), Relative(RT::Const, 11, RT::Address)}),
         Op("mov", Dst(RT::RastOut, 0, "zw"), {Src(RT::Const, 3)}),
         Op("m3x2", Dst(RT::TexCoordOut, 0, "xy"), {Src(RT::Input, 0), Relative(RT::Const, 0, RT::Address, "yzwx")}),
         Op("sge", Dst(RT::TexCoordOut, 1), {Src(RT::Input, 0, "xyzw", SourceModifier::Negate), Src(RT::Const, 3)})}));
    // A relative read may reach any of vs_2_0's 256 registers, c3 included (the shader's own value).
    EXPECT_EQ(vertex.floatConstants.registerCount, 256u);
    ExpectValidGlsl(vertex.glsl, "");
}

TEST(ShaderTranslator, PixelShader1xTextureAddressingIsValidGlslWithTheBumpUniformsNamed) {
    const ShaderTranslation reflection = Translated(Program(
        ShaderStage::Pixel, 1, 3,
        {Op("tex", Dst(RT::Texture, 0), {}),
         Op("texm3x3pad", Dst(RT::Texture, 1), {Src(RT::Texture, 0, "xyzw", SourceModifier::Sign)}),
         Op("texm3x3pad", Dst(RT::Texture, 2), {Src(RT::Texture, 0, "xyzw", SourceModifier::Sign)}),
         Op("texm3x3spec", Dst(RT::Texture, 3), {Src(RT::Texture, 0, "xyzw", SourceModifier::Sign), Src(RT::Const, 0)}),
         Op("mul", Dst(RT::Temp, 0), {Src(RT::Texture, 3), Src(RT::Texture, 0)})}));
    EXPECT_NE(reflection.glsl.find("samplerCube fx_ps_sampler3"), std::string::npos);
    ExpectValidGlsl("", reflection.glsl);

    const ShaderTranslation bumped = Translated(
        Program(ShaderStage::Pixel, 1, 3,
                {Op("tex", Dst(RT::Texture, 0), {}), Op("texbeml", Dst(RT::Texture, 1), {Src(RT::Texture, 0)}),
                 Op("texreg2ar", Dst(RT::Texture, 2), {Src(RT::Texture, 1)}),
                 Op("texdp3tex", Dst(RT::Texture, 3), {Src(RT::Texture, 2)}),
                 Op("add", Dst(RT::Temp, 0), {Src(RT::Texture, 3), Src(RT::Texture, 2)})}));
    EXPECT_NE(bumped.glsl.find(ShaderRegisters::BumpMatrixName()), std::string::npos);
    EXPECT_NE(bumped.glsl.find(ShaderRegisters::BumpLuminanceName()), std::string::npos);
    ExpectValidGlsl("", bumped.glsl);

    const ShaderTranslation depth = Translated(
        Program(ShaderStage::Pixel, 1, 3,
                {Op("tex", Dst(RT::Texture, 0), {}), Op("texm3x2pad", Dst(RT::Texture, 1), {Src(RT::Texture, 0)}),
                 Op("texm3x2depth", Dst(RT::Texture, 2), {Src(RT::Texture, 0)}),
                 Op("texdp3", Dst(RT::Texture, 3), {Src(RT::Texture, 0)}),
                 Op("mov", Dst(RT::Temp, 0), {Src(RT::Texture, 3)}), Op("texkill", Dst(RT::Texture, 3), {})}));
    EXPECT_NE(depth.glsl.find("gl_FragDepth"), std::string::npos);
    // Coordinates 1 and 2 feed the dot products, 3 texdp3 and texkill.
    EXPECT_EQ(depth.varyings.size(), 4u);
    ExpectValidGlsl("", depth.glsl);
}

TEST(ShaderTranslator, PixelShader14PhasesProjectAndWriteDepth) {
    const ShaderTranslation pixel = Translated(
        Program(ShaderStage::Pixel, 1, 4,
                {Op("texcrd", Dst(RT::Temp, 0, "xyz"), {Src(RT::Texture, 0, "xyzz", SourceModifier::DivideByZ)}),
                 Op("texld", Dst(RT::Temp, 1), {Src(RT::Texture, 1)}),
                 Op("bem", Dst(RT::Temp, 2, "xy"), {Src(RT::Temp, 0), Src(RT::Temp, 1)}), Flow("phase"),
                 Op("texld", Dst(RT::Temp, 3), {Src(RT::Temp, 2)}),
                 Op("cmp", Dst(RT::Temp, 4),
                    {Src(RT::Temp, 3, "xyzw", SourceModifier::Bias), Src(RT::Input, 0), Src(RT::Temp, 3)}),
                 Op("mov", Dst(RT::Temp, 5, "xy"), {Src(RT::Temp, 4)}), Op("texdepth", Dst(RT::Temp, 5), {}),
                 Op("mov", Dst(RT::Temp, 0), {Src(RT::Temp, 4)})}));
    // Stages 1 and 3 are sampled (texld rN reads stage N), coordinates 0 and 1 read.
    std::vector<int> stages;
    for (const auto& sampler : pixel.samplers)
        stages.push_back(sampler.first);
    EXPECT_EQ(stages, (std::vector<int> {1, 3}));
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 1), 1);
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_COLOR, 0), RegisterLocation(D3DDECLUSAGE_COLOR, 0));
    ExpectValidGlsl("", pixel.glsl);
}

TEST(ShaderTranslator, PixelShader20DeclaresItsInputsSamplersAndOutputs) {
    AssemblyInstruction sincos =
        Op("sincos", Dst(RT::Temp, 3, "xy"), {Src(RT::Temp, 0, "x"), Src(RT::Const, 1), Src(RT::Const, 2)});
    const ShaderTranslation pixel = Translated(
        Program(ShaderStage::Pixel, 2, 0,
                {Dcl(Dst(RT::Texture, 0, "xy")),
                 Dcl(Dst(RT::Texture, 3)),
                 Dcl(Dst(RT::Input, 1)),
                 Dcl(Dst(RT::Sampler, 0), -1, 0, 2),
                 Dcl(Dst(RT::Sampler, 2), -1, 0, 3),
                 Dcl(Dst(RT::Sampler, 5), -1, 0, 4),
                 Op("texld", Dst(RT::Temp, 0), {Src(RT::Texture, 0), Src(RT::Sampler, 0)}),
                 Op("texldp", Dst(RT::Temp, 1), {Src(RT::Texture, 3), Src(RT::Sampler, 2)}),
                 Op("texldb", Dst(RT::Temp, 2), {Src(RT::Texture, 3), Src(RT::Sampler, 5)}),
                 Op("texkill", Dst(RT::Temp, 0), {}),
                 sincos,
                 Op("rsq", Dst(RT::Temp, 4, "x"), {Src(RT::Temp, 1, "w", SourceModifier::Abs)}),
                 Op("log", Dst(RT::Temp, 4, "y"), {Src(RT::Temp, 1, "x")}),
                 Op("exp", Dst(RT::Temp, 4, "z"), {Src(RT::Temp, 2, "y")}),
                 Op("nrm", Dst(RT::Temp, 5), {Src(RT::Temp, 1)}),
                 Op("lrp", Dst(RT::Temp, 6), {Src(RT::Temp, 4, "x"), Src(RT::Temp, 5), Src(RT::Input, 1)}),
                 Op("dp2add", Dst(RT::Temp, 7, "w"), {Src(RT::Temp, 3), Src(RT::Temp, 6), Src(RT::Const, 0, "z")}),
                 Op("pow", Dst(RT::Temp, 7, "x"), {Src(RT::Temp, 6, "x"), Src(RT::Const, 0, "w")}),
                 Op("frc", Dst(RT::Temp, 7, "yz"), {Src(RT::Temp, 6)}),
                 Op("mov", Dst(RT::ColorOut, 0), {Src(RT::Temp, 7)}),
                 Op("mov", Dst(RT::ColorOut, 1), {Src(RT::Temp, 0)}),
                 Op("mov", Dst(RT::DepthOut, 0, "x"), {Src(RT::Temp, 4, "z")})}));
    EXPECT_EQ(pixel.varyings.size(), 3u);  // TEXCOORD0, TEXCOORD3, COLOR1
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 3), 3);
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_COLOR, 1), RegisterLocation(D3DDECLUSAGE_COLOR, 1));
    EXPECT_EQ(pixel.floatConstants.registerCount, 3u);
    for (const char* declaration : {"sampler2D fx_ps_sampler0", "samplerCube fx_ps_sampler2",
                                    "sampler3D fx_ps_sampler5", "out vec4 fx_out_COLOR1", "gl_FragDepth"})
        EXPECT_NE(pixel.glsl.find(declaration), std::string::npos) << declaration;
    // Samplers land at their texture unit, with the units between left empty.
    const ProgramCompileResult paired = PairTranslations(nullptr, &pixel);
    ASSERT_NE(paired.program, nullptr) << paired.errors;
    EXPECT_EQ(paired.program->samplers,
              (std::vector<std::string> {"fx_ps_sampler0", "", "fx_ps_sampler2", "", "", "fx_ps_sampler5"}));
    ExpectValidGlsl("", pixel.glsl);
}

TEST(ShaderTranslator, ShaderModel3FlowControlPackedVaryingsAndVertexTextures) {
    AssemblyInstruction predicated = Op("add", Dst(RT::Temp, 0, "xy"), {Src(RT::Temp, 0), Src(RT::Const, 0)});
    predicated.predicated = true;
    predicated.predicate = Src(RT::Predicate, 0, "yx", SourceModifier::Not);
    AssemblyInstruction setp = Op("setp", Dst(RT::Predicate, 0, "xy"), {Src(RT::Temp, 0), Src(RT::Const, 1)});
    setp.comparison = Comparison::Less;
    AssemblyInstruction defb = Op("defb", Dst(RT::ConstBool, 1), {});
    defb.intValues[0] = 1;
    const ShaderTranslation vertex =
        Translated(Program(ShaderStage::Vertex, 3, 0,
                           {Dcl(Dst(RT::Input, 0), D3DDECLUSAGE_POSITION),
                            Dcl(Dst(RT::Input, 1), D3DDECLUSAGE_TEXCOORD, 2),
                            Dcl(Dst(RT::Output, 0), D3DDECLUSAGE_POSITION),
                            Dcl(Dst(RT::Output, 1, "xy"), D3DDECLUSAGE_TEXCOORD, 0),
                            Dcl(Dst(RT::Output, 1, "zw"), D3DDECLUSAGE_TEXCOORD, 1),
                            Dcl(Dst(RT::Output, 2), D3DDECLUSAGE_COLOR, 0),
                            Dcl(Dst(RT::Sampler, 0), -1, 0, 2),
                            Defi(0, {4, 1, 2, 0}),
                            defb,
                            Op("mov", Dst(RT::Temp, 0), {Src(RT::Input, 0)}),
                            Flow("loop", {Src(RT::Loop, 0), Src(RT::ConstInt, 0)}),
                            Op("add", Dst(RT::Temp, 0), {Src(RT::Temp, 0), Relative(RT::Const, 4, RT::Loop)}),
                            Flow("breakc", {Src(RT::Temp, 0, "x"), Src(RT::Const, 2, "y")}, Comparison::Greater),
                            Flow("endloop"),
                            Flow("rep", {Src(RT::ConstInt, 1)}),
                            Flow("if", {Src(RT::ConstBool, 0)}),
                            Flow("call", {Src(RT::Label, 3)}),
                            Flow("else"),
                            setp,
                            predicated,
                            Flow("endif"),
                            Flow("endrep"),
                            Flow("callnz", {Src(RT::Label, 4), Src(RT::ConstBool, 1, "xyzw", SourceModifier::Not)}),
                            Op("texldl", Dst(RT::Temp, 1), {Src(RT::Input, 1), Src(RT::Sampler, 0)}),
                            Op("mov", Dst(RT::Output, 0), {Src(RT::Temp, 0)}),
                            Op("mov", Dst(RT::Output, 1), {Src(RT::Input, 1)}),
                            Op("mov", Dst(RT::Output, 2), {Src(RT::Temp, 1)}),
                            Flow("ret"),
                            Flow("label", {Src(RT::Label, 3)}),
                            Op("mul", Dst(RT::Temp, 0), {Src(RT::Temp, 0), Src(RT::Const, 3)}),
                            Flow("ret"),
                            Flow("label", {Src(RT::Label, 4)}),
                            Flow("ifc", {Src(RT::Temp, 0, "y"), Src(RT::Const, 3, "x")}, Comparison::LessEqual),
                            Flow("ret"),
                            Flow("endif"),
                            Op("mov", Dst(RT::Temp, 0, "w"), {Src(RT::Const, 3, "w")}),
                            Flow("ret")}));
    EXPECT_EQ(vertex.floatConstants.registerCount, 256u);
    EXPECT_EQ(vertex.intConstants.registerCount, 2u);   // i1 (i0 is the shader's own)
    EXPECT_EQ(vertex.boolConstants.registerCount, 1u);  // b0 (b1 likewise)
    EXPECT_EQ(LocationOf(vertex.varyings, D3DDECLUSAGE_TEXCOORD, 1), 1);
    EXPECT_EQ(LocationOf(vertex.varyings, D3DDECLUSAGE_POSITION, 0), -1);  // gl_Position

    const ShaderTranslation pixel = Translated(Program(
        ShaderStage::Pixel, 3, 0,
        {Dcl(Dst(RT::Input, 0, "xy"), D3DDECLUSAGE_TEXCOORD, 0), Dcl(Dst(RT::Input, 0, "zw"), D3DDECLUSAGE_TEXCOORD, 1),
         Dcl(Dst(RT::Input, 1), D3DDECLUSAGE_COLOR, 0), Dcl(Dst(RT::MiscType, 0, "xy")), Dcl(Dst(RT::MiscType, 1)),
         Dcl(Dst(RT::Sampler, 1), -1, 0, 2), Op("dsx", Dst(RT::Temp, 1), {Src(RT::Input, 0)}),
         Op("dsy", Dst(RT::Temp, 2), {Src(RT::Input, 0)}),
         Op("texldd", Dst(RT::Temp, 0),
            {Src(RT::Input, 0, "zwzw"), Src(RT::Sampler, 1), Src(RT::Temp, 1), Src(RT::Temp, 2)}),
         Op("cmp", Dst(RT::Temp, 0, "w"), {Src(RT::MiscType, 1, "x"), Src(RT::Temp, 0), Src(RT::MiscType, 0, "x")}),
         Op("mul", Dst(RT::ColorOut, 0), {Src(RT::Temp, 0), Src(RT::Input, 1)})}));
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 1),
              LocationOf(vertex.varyings, D3DDECLUSAGE_TEXCOORD, 1));
    EXPECT_NE(pixel.glsl.find("gl_FragCoord"), std::string::npos);
    ExpectValidProgram(vertex, pixel);
    // The vertex stage's sampler takes the unit of D3DVERTEXTEXTURESAMPLER0.
    const ProgramCompileResult paired = PairTranslations(&vertex, &pixel);
    ASSERT_NE(paired.program, nullptr);
    ASSERT_EQ(paired.program->samplers.size(), 17u);
    EXPECT_EQ(paired.program->samplers[1], "fx_ps_sampler1");
    EXPECT_EQ(paired.program->samplers[16], "fx_vs_sampler0");
}

TEST(ShaderTranslator, FaultsAreRefusedAtTheirInstruction) {
    AssemblyInstruction unknown = Op("frobnicate", Dst(RT::Temp, 0), {Src(RT::Temp, 1)});
    unknown.position = {7, 3};
    ShaderTranslationOptions options;
    options.fileName = "shader.fx";
    const ShaderTranslation refused = TranslateShader(Program(ShaderStage::Vertex, 2, 0, {unknown}), options);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.errors.rfind("shader.fx(7,3): error", 0), 0u) << refused.errors;
    EXPECT_NE(refused.errors.find("frobnicate"), std::string::npos);

    AssemblyInstruction stray = Flow("endif");
    stray.position = {2, 1};
    EXPECT_NE(TranslateShader(Program(ShaderStage::Vertex, 2, 0, {stray})).errors.find("(2,1)"), std::string::npos);
    EXPECT_FALSE(TranslateShader(Program(ShaderStage::Vertex, 2, 0, {Flow("if", {Src(RT::ConstBool, 0)})})).ok);
    EXPECT_FALSE(TranslateShader(Program(ShaderStage::Pixel, 2, 0, {Flow("break")})).ok);
    // An input cannot be written, a pixel shader has no address register.
    EXPECT_FALSE(
        TranslateShader(Program(ShaderStage::Pixel, 2, 0, {Op("mov", Dst(RT::Input, 0), {Src(RT::Temp, 0)})})).ok);
    EXPECT_FALSE(TranslateShader(Program(ShaderStage::Pixel, 3, 0,
                                         {Op("mov", Dst(RT::Temp, 0), {Relative(RT::Const, 0, RT::Address)})}))
                     .ok);

    // A pair is a vertex stage then a pixel stage, each translated.
    const ShaderTranslation vertex = Translated(VertexShader11());
    const ShaderTranslation pixel = Translated(PixelShader11());
    EXPECT_EQ(PairTranslations(&pixel, &vertex).program, nullptr);
    EXPECT_EQ(PairTranslations(&vertex, &refused).program, nullptr);
    EXPECT_EQ(PairTranslations(nullptr, nullptr).program, nullptr);
    const ProgramCompileResult vertexOnly = PairTranslations(&vertex, nullptr);
    ASSERT_NE(vertexOnly.program, nullptr);
    EXPECT_TRUE(vertexOnly.program->fragmentGlsl.empty());
    EXPECT_EQ(vertexOnly.program->vertexOutputs.size(), vertex.varyings.size());
}

TEST(ShaderTranslator, FloatLiteralsReadBackAsTheSameFloat) {
    for (const float value : {0.0f, 1.0f, -2.5f, 0.1f, 1.0f / 3.0f, 1e-30f, 3.4e38f, -1e20f, 16777217.0f,
                              std::numeric_limits<float>::denorm_min()}) {
        const std::string literal = FloatLiteral(value);
        EXPECT_NE(literal.find_first_of(".e"), std::string::npos) << literal;
        EXPECT_EQ(std::strtof(literal.c_str(), nullptr), value) << literal;
    }
    EXPECT_EQ(FloatLiteral(std::numeric_limits<float>::infinity()), "uintBitsToFloat(0x7F800000u)");
    EXPECT_EQ(FloatLiteral(-std::numeric_limits<float>::infinity()), "uintBitsToFloat(0xFF800000u)");
}

// Whole programs as an effect's asm blocks hold them, through the assembler, paired as they are drawn.
TEST(ShaderTranslator, AssembledProgramsOfEachVersionBecomeLinkedGlsl) {
    const ShaderTranslation vs11 = FromText(
        "vs_1_1\n"
        "dcl_position v0\ndcl_normal v1\ndcl_texcoord0 v2\n"
        "def c10, 0, 0.5, 1, 2\n"
        "m4x4 oPos, v0, c0\n"
        "dp3 r0.x, v1, c4\nmov r0.y, c10.y\nmov r0.w, c5.w\nlit r1, r0\n"
        "mul oD0, r1.y, c6\nmov oD1, r1.z\n"
        "mov a0.x, c10.w\nmul r2, v2, c[a0.x + 7]\nadd oT0.xy, r2, c8\n"
        "mov oT1, v0\nmov oFog, c10.z\n");
    const ShaderTranslation ps11 = FromText(
        "ps_1_1\n"
        "def c0, 0.5, 0.5, 0.5, 1\n"
        "tex t0\n"
        "texm3x2pad t1, t0_bx2\n"
        "texm3x2tex t2, t0_bx2\n"
        "dp3_sat r0, t0_bx2, v0_bx2\n"
        "mul_x2 r1.rgb, 1-t2, c0_bias\n"
        "+mov r1.a, -c0.a\n"
        "lrp_d2 r0, v1.a, r0, r1\n");
    ExpectValidProgram(vs11, ps11);
    EXPECT_EQ(vs11.floatConstants.registerCount, 96u);  // c[a0.x + 7] may reach any of vs_1_1's

    const ShaderTranslation ps14 = FromText(
        "ps_1_4\n"
        "def c0, 1, 0, 0, 1\n"
        "texld r0, t0_dw.xyw\n"
        "texcrd r1.rgb, t1.xyz\n"
        "add_x8 r2, r0_x2, -r1_bx2\n"
        "phase\n"
        "texld r2, r2_dz\n"
        "mul_d4 r0, r2, v0\n"
        "cnd r0, r0.a, r2, c0\n");
    ExpectValidProgram(vs11, ps14);

    const ShaderTranslation vs20 = FromText(
        "vs_2_0\n"
        "dcl_position v0\ndcl_blendweight v1\ndcl_blendindices v2\n"
        "defi i0, 3, 0, 1, 0\n"
        "mov r0, c0.x\n"
        "loop aL, i0\n"
        "  mova a0.x, v2.x\n"
        "  mad r0, v0, c[a0.x + 10], r0\n"
        "endloop\n"
        "if b0\n  call l0\nendif\n"
        "mov oPos, r0\n"
        "sincos r1.xy, v1.x, c1, c2\n"
        "mov oT0, r1\n"
        "ret\n"
        "label l0\n"
        "  nrm r3.xyz, r0\n"
        "ret\n");
    const ShaderTranslation ps20 = FromText(
        "ps_2_0\n"
        "dcl t0.xy\n"
        "dcl_2d s0\n"
        "texld r0, t0, s0\n"
        "texkill r0\n"
        "rcp r1.x, r0.w\n"
        "mul r0.rgb, r0, r1.x\n"
        "mov oC0, r0\n");
    ExpectValidProgram(vs20, ps20);
    EXPECT_EQ(vs20.boolConstants.registerCount, 1u);

    const ShaderTranslation vs30 = FromText(
        "vs_3_0\n"
        "dcl_position v0\ndcl_texcoord v1\n"
        "dcl_position o0\ndcl_texcoord0 o1.xy\ndcl_texcoord1 o1.zw\ndcl_color o2\n"
        "dcl_2d s0\n"
        "texldl r0, v1, s0\n"
        "setp_gt p0.x, r0.x, c0.x\n"
        "(p0.x) mov r0.y, c0.y\n"
        "mov o0, v0\nmov o1, v1\nmov o2, r0\n");
    const ShaderTranslation ps30 = FromText(
        "ps_3_0\n"
        "dcl_texcoord0 v0.xy\ndcl_texcoord1 v0.zw\ndcl_color v1\n"
        "dcl vFace\ndcl vPos.xy\n"
        "dcl_cube s1\n"
        "texld r0, v0, s1\n"
        "if_lt vFace, c0.x\n  mul r0, r0, v1\nendif\n"
        "add oC0, r0, vPos.x\n");
    ExpectValidProgram(vs30, ps30);
    EXPECT_EQ(LocationOf(ps30.varyings, D3DDECLUSAGE_TEXCOORD, 1), LocationOf(vs30.varyings, D3DDECLUSAGE_TEXCOORD, 1));
}
