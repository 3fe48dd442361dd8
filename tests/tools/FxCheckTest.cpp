// fxcheck run as a user runs it, on effect files written here: what it lists for a valid effect,
// compile errors at their line and column, a technique the device refuses, -D and -I reaching the
// file, one-line answers for files it cannot check, and nothing left alive at exit.
#include "ToolTest.h"

#include <string>

namespace {

using ToolTests::Lines;

const char kValidEffect[] = R"(// two techniques, parameters with semantics and annotations
float4x4 g_mWorldViewProj : WORLDVIEWPROJECTION < string UIName = "Transform"; >;
float4 g_Tint : DIFFUSE < string UIName = "Tint"; float Scale = -2.5; int Steps = 3; bool Hidden = true; >
    = {1, 0.5, 0.25, 1};
float g_Gain = 2;

float4 VS(float4 p : POSITION) : POSITION { return mul(p, g_mWorldViewProj); }
float4 PS() : COLOR0 { return g_Tint * g_Gain; }

technique Lit < string Purpose = "the usual"; >
{
    pass Base < string Note = "opaque"; > { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); }
    pass Outline { CullMode = CW; }
}

technique Simple { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }
)";

class FxCheckTest : public ToolTests::ToolTest {
protected:
    FxCheckTest() : ToolTest(FXCHECK_PATH, "fxcheck", "fxcheck FILE.fx [-D NAME[=VALUE]]... [-I DIR]...") {}
};

TEST_F(FxCheckTest, AValidEffectIsListedWholeAndPasses) {
    Write("effect.fx", kValidEffect);
    ExpectRun({"effect.fx"}, 0,
              "effect.fx: effect created\n"
              "technique 0: Lit, 2 passes\n"
              "  annotation string Purpose = \"the usual\"\n"
              "  pass 0: Base\n"
              "    annotation string Note = \"opaque\"\n"
              "  pass 1: Outline\n"
              "  ValidateTechnique: OK\n"
              "technique 1: Simple, 1 pass\n"
              "  pass 0: (unnamed)\n"
              "  ValidateTechnique: OK\n"
              "parameter 0: float4x4 g_mWorldViewProj : WORLDVIEWPROJECTION\n"
              "  annotation string UIName = \"Transform\"\n"
              "parameter 1: float4 g_Tint : DIFFUSE = {1, 0.5, 0.25, 1}\n"
              "  annotation string UIName = \"Tint\"\n"
              "  annotation float Scale = -2.5\n"
              "  annotation int Steps = 3\n"
              "  annotation bool Hidden = true\n"
              "parameter 2: float g_Gain = 2\n"
              "effect.fx: every technique validates\n",
              "");
}

TEST_F(FxCheckTest, CompileErrorsAreWrittenAtTheirLineAndColumnAndFail) {
    // The effect front end's own message, and the HLSL compiler's.
    Write("state.fx", "float4 PS() : COLOR0 { return 1; }\ntechnique T\n{\n    pass P { Bogus = 1; }\n}\n");
    ExpectRun({"state.fx"}, 1, "",
              "state.fx(4,14): error: unknown state 'Bogus'\n"
              "fxcheck: state.fx: the effect was not created: E_FAIL (0x80004005)\n");

    Write("shader.fx",
          "float4 g_Tint;\nfloat4 PS() : COLOR0 { return g_Tont; }\n"
          "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    const ToolTests::ToolRun run = Run({"shader.fx"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(Lines(run.err).size(), 2u) << run.err;
    EXPECT_EQ(Lines(run.err)[0].rfind("shader.fx(2,31): error: ", 0), 0u) << run.err;
    EXPECT_NE(Lines(run.err)[0].find("g_Tont"), std::string::npos) << run.err;
}

TEST_F(FxCheckTest, ATechniqueTheDeviceRefusesFailsValidationWithItsReason) {
    Write("fog.fx",
          "float4 PS() : COLOR0 { return 1; }\n"
          "technique Clear { pass P { PixelShader = compile ps_2_0 PS(); } }\n"
          "technique Misty { pass Fog { PixelShader = compile ps_2_0 PS(); FogEnable = TRUE; } }\n");
    ExpectRun({"fog.fx"}, 1,
              "fog.fx: effect created\n"
              "technique 0: Clear, 1 pass\n"
              "  pass 0: P\n"
              "  ValidateTechnique: OK\n"
              "technique 1: Misty, 1 pass\n"
              "  pass 0: Fog\n"
              "  ValidateTechnique: D3DERR_NOTAVAILABLE (0x8876086A): pass 0 'Fog': the device refuses FogEnable = "
              "TRUE\n",
              "fxcheck: fog.fx: 1 of 2 techniques fail ValidateTechnique\n");
}

TEST_F(FxCheckTest, DefinesReachTheFile) {
    Write("defined.fx",
          "#ifndef USE_TINT\n#error define USE_TINT\n#endif\n"
          "float g_Scale = SCALE;\n"
          "float4 PS() : COLOR0 { return g_Scale; }\n"
          "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ToolTests::ToolRun run = Run({"defined.fx", "-D", "USE_TINT", "-DSCALE=0.25"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("parameter 0: float g_Scale = 0.25\n"), std::string::npos) << run.out;

    run = Run({"defined.fx", "-D", "SCALE=0.25"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err).at(0).rfind("defined.fx(2,", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("define USE_TINT"), std::string::npos) << run.err;
}

TEST_F(FxCheckTest, IncludesAreFoundBesideTheIncludingFileThenInTheIncludeFoldersInOrder) {
    Write("effect.fx",
          "#include \"shared.fxh\"\nfloat4 PS() : COLOR0 { return g_Shared * g_Nested * g_Extra; }\n"
          "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    Write("common/shared.fxh", "#include \"nested.fxh\"\n#include <extra.fxh>\nfloat4 g_Shared;\n");
    Write("common/nested.fxh", "float g_Nested = 1;\n");
    // Beside shared.fxh comes first: this one is never read.
    Write("more/nested.fxh", "float g_Wrong = 1;\n");
    Write("more/extra.fxh", "float g_Extra = 3;\n");

    ToolTests::ToolRun run = Run({"effect.fx"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err).at(0).rfind("effect.fx(1,1): error: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("shared.fxh"), std::string::npos) << run.err;

    run = Run({"effect.fx", "-I", "more", "-Icommon"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* line : {"include shared.fxh -> common/shared.fxh\n", "include nested.fxh -> common/nested.fxh\n",
                             "include extra.fxh -> more/extra.fxh\n", "parameter 0: float g_Nested = 1\n",
                             "parameter 1: float g_Extra = 3\n", "parameter 2: float4 g_Shared = {0, 0, 0, 0}\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    }
    EXPECT_EQ(run.out.find("g_Wrong"), std::string::npos) << run.out;
}

TEST_F(FxCheckTest, FilesItCannotCheckGetOneLineAndFail) {
    Write("empty.fx", "");
    Write("binary.fx", std::string("MZ\x90\0\x03\0\0\0", 8) + "technique");
    std::filesystem::create_directory(folder_.Path() / "folder.fx");
    ExpectOneLineFailures({{"missing.fx", "fxcheck: missing.fx: no such file"},
                           {"folder.fx", "fxcheck: folder.fx: a folder, not a file"},
                           {"empty.fx", "fxcheck: empty.fx: the file is empty"},
                           {"binary.fx", "fxcheck: binary.fx: not a text file (byte 0x00 at offset 3)"}});
}

TEST_F(FxCheckTest, BadArgumentsGiveTheUsage) {
    Write("effect.fx", kValidEffect);
    ExpectUsage({{{}, "fxcheck: no effect file given"},
                 {{"effect.fx", "other.fx"}, "fxcheck: one effect file at a time"},
                 {{"effect.fx", "-D"}, "fxcheck: -D needs a value"},
                 {{"effect.fx", "-D", "2X=1"}, "fxcheck: -D 2X=1: '2X' is not a macro name"},
                 {{"effect.fx", "-I", "nowhere"}, "fxcheck: -I nowhere: no such folder"},
                 {{"-O3", "effect.fx"}, "fxcheck: unknown option -O3"}});
}

TEST_F(FxCheckTest, WithoutADisplayItSaysSoInOneLine) {
    Write("effect.fx", kValidEffect);
    ExpectNoDisplayLine("effect.fx");
}

TEST_F(FxCheckTest, NothingIsLeftAliveAtExitWhateverTheOutcome) {
    Write("effect.fx", kValidEffect);
    Write("broken.fx", "technique T { pass P { Bogus = 1; } }\n");
    Write("fog.fx",
          "float4 PS() : COLOR0 { return 1; }\n"
          "technique T { pass P { PixelShader = compile ps_2_0 PS(); FogEnable = TRUE; } }\n");
    ExpectNothingAlive({"effect.fx", "broken.fx", "fog.fx"},
                       "NVesk platform: refused ID3DXEffect::ValidateTechnique: pass 0 'P'");
}

}  // namespace
