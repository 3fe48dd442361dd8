// Effects as projects write them, on a real device: files that include files beside them or
// through the caller's ID3DXInclude, macros from the caller, conditionals that choose which
// technique exists, and int and bool globals beside float globals, each drawn and read back.
#include "EffectDeviceTest.h"

#include "support/TempDir.h"

#include <d3dx9.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

// A quad in pixel coordinates, coloured by the pixel shader `PS` that `body` defines.
std::string QuadEffect(const std::string& globals, const std::string& pixelBody, const std::string& technique = "T") {
    return "float4x4 g_mProj;\n" + globals +
           "float4 VS(float4 p : POSITION) : POSITION { return mul(p, g_mProj); }\n"
           "float4 PS() : COLOR0 {\n" +
           pixelBody +
           "}\n"
           "technique " +
           technique + " { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
}

std::string Text(ID3DXBuffer* buffer) {
    return buffer == nullptr ? std::string() : static_cast<const char*>(buffer->GetBufferPointer());
}

// Answers includes from named texts, as a program that keeps its effects in memory would.
class MemoryInclude final : public ID3DXInclude {
public:
    explicit MemoryInclude(std::map<std::string, std::string> files) : files_(std::move(files)) {}

    HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data,
                                   UINT* bytes) override {
        calls.push_back(std::string(type == D3DXINC_LOCAL ? "local " : "system ") + name);
        parents.push_back(parent);
        const auto found = files_.find(name);
        if (found == files_.end()) return E_FAIL;
        *data = found->second.data();
        *bytes = static_cast<UINT>(found->second.size());
        ++open;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(LPCVOID data) override {
        bool known = false;
        for (const auto& entry : files_)
            known = known || entry.second.data() == data;
        EXPECT_TRUE(known);
        --open;
        calls.push_back("close");
        return S_OK;
    }

    const std::map<std::string, std::string>& Files() const { return files_; }

    std::vector<std::string> calls;
    std::vector<LPCVOID> parents;
    int open = 0;

private:
    std::map<std::string, std::string> files_;
};

class EffectSourceTest : public D3DX9Tests::EffectDeviceTest {
protected:
    HRESULT Create(const std::string& source, const D3DXMACRO* defines = nullptr, ID3DXInclude* include = nullptr) {
        ID3DXBuffer* errors = nullptr;
        const HRESULT result = D3DXCreateEffect(device_, source.data(), static_cast<UINT>(source.size()), defines,
                                                include, 0, nullptr, &effect_, &errors);
        errors_ = Text(errors);
        if (errors != nullptr) errors->Release();
        return result;
    }

    HRESULT CreateFromFile(const std::wstring& path, const D3DXMACRO* defines = nullptr,
                           ID3DXInclude* include = nullptr) {
        ID3DXBuffer* errors = nullptr;
        const HRESULT result =
            D3DXCreateEffectFromFileW(device_, path.c_str(), defines, include, 0, nullptr, &effect_, &errors);
        errors_ = Text(errors);
        if (errors != nullptr) errors->Release();
        return result;
    }

    // Validates and draws the current technique over the quad [8, 24) x [8, 24); the colour at its centre.
    DWORD DrawQuad() {
        EXPECT_EQ(effect_->ValidateTechnique(effect_->GetCurrentTechnique()), D3D_OK);
        BindVertices(Quad(8, 8, 16, 16));
        D3DXMATRIX projection;
        D3DXMatrixOrthoOffCenterLH(&projection, 0.0f, static_cast<float>(kWidth), static_cast<float>(kHeight), 0.0f,
                                   0.0f, 1.0f);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        EXPECT_EQ(effect_->SetMatrix("g_mProj", &projection), D3D_OK);
        UINT passes = 0;
        EXPECT_EQ(effect_->Begin(&passes, 0), D3D_OK);
        EXPECT_EQ(effect_->BeginPass(0), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        pixels_ = ReadBackBuffer();
        EXPECT_EQ(Rgb(4, 4), 0u);  // outside the quad: the clear colour
        return Rgb(16, 16);
    }

    DWORD Rgb(UINT x, UINT y) const { return pixels_.at(y * kWidth + x) & 0xFFFFFFu; }

    std::vector<DWORD> pixels_;

    std::string errors_;
};

TEST_F(EffectSourceTest, AnEffectFileReadsItsIncludesBesideItAndAMissingOneNamesFileAndLine) {
    TestSupport::TempDir folder;
    std::filesystem::create_directories(folder.Path() / "fx" / "common");
    std::ofstream(folder.Path() / "fx" / "common" / "colours.fxh", std::ios::binary)
        << "#include \"../tint.fxh\"\nstatic const float4 kGreen = float4(0, TINT, 0, 1);\n";
    std::ofstream(folder.Path() / "fx" / "tint.fxh", std::ios::binary) << "#define TINT 1\n";
    std::ofstream(folder.Path() / "fx" / "main.fx", std::ios::binary)
        << "#include \"common\\colours.fxh\"\n" + QuadEffect("", "return kGreen;\n");
    ASSERT_EQ(CreateFromFile(folder.File("fx/main.fx")), D3D_OK) << errors_;
    EXPECT_EQ(DrawQuad(), 0x00FF00u);
    effect_->Release();
    effect_ = nullptr;

    // A compile error in an included file names that file and its own line and column.
    std::ofstream(folder.Path() / "fx" / "tint.fxh", std::ios::binary)
        << "#define TINT 1\nfloat4 Broken() { return nothing; }\n";
    EXPECT_TRUE(FAILED(CreateFromFile(folder.File("fx/main.fx"))));
    EXPECT_NE(errors_.find("tint.fxh(2,26): error"), std::string::npos) << errors_;

    // The same file without the include beside it.
    std::filesystem::remove(folder.Path() / "fx" / "tint.fxh");
    EXPECT_TRUE(FAILED(CreateFromFile(folder.File("fx/main.fx"))));
    EXPECT_EQ(effect_, nullptr);
    EXPECT_NE(errors_.find("colours.fxh(1,1): error: '#include' : failed to open source file: '../tint.fxh'"),
              std::string::npos)
        << errors_;

    // A file that includes itself stops with an error.
    std::ofstream(folder.Path() / "fx" / "loop.fx", std::ios::binary) << "float a;\n#include \"./loop.fx\"\n";
    EXPECT_TRUE(FAILED(CreateFromFile(folder.File("fx/loop.fx"))));
    EXPECT_NE(errors_.find("loop.fx(2,1): error: '#include' : recursive include: './loop.fx'"), std::string::npos)
        << errors_;
}

TEST_F(EffectSourceTest, TheCallersIncludeHandlerIsOpenedAndClosedInPairsAndMacrosChooseTheTechnique) {
    MemoryInclude include({{"colour.fxh", "#include <pick.fxh>\n"},
                           {"pick.fxh",
                            "#ifdef USE_BLUE\nstatic const float4 kColour = {0, 0, 1, 1};\n#else\n"
                            "static const float4 kColour = {1, 0, 0, 1};\n#endif\n"}});
    const std::string source =
        "#include \"colour.fxh\"\n"
        "#if defined(USE_BLUE)\n" +
        QuadEffect("", "return kColour;\n", "Blue") + "#else\n" + QuadEffect("", "return kColour;\n", "Red") +
        "#endif\n";
    const D3DXMACRO blue[] = {{"USE_BLUE", nullptr}, {nullptr, nullptr}};
    ASSERT_EQ(Create(source, blue, &include), D3D_OK) << errors_;
    EXPECT_EQ(include.calls, (std::vector<std::string> {"local colour.fxh", "system pick.fxh", "close", "close"}));
    EXPECT_EQ(include.open, 0);
    EXPECT_EQ(include.parents.at(1), include.Files().at("colour.fxh").data());  // pick.fxh's parent
    EXPECT_NE(effect_->GetTechniqueByName("Blue"), nullptr);
    EXPECT_EQ(effect_->GetTechniqueByName("Red"), nullptr);
    EXPECT_EQ(DrawQuad(), 0x0000FFu);
    effect_->Release();
    effect_ = nullptr;

    ASSERT_EQ(Create(source, nullptr, &include), D3D_OK) << errors_;
    EXPECT_EQ(effect_->GetTechniqueByName("Blue"), nullptr);
    EXPECT_NE(effect_->GetTechniqueByName("Red"), nullptr);
    EXPECT_EQ(DrawQuad(), 0xFF0000u);
    EXPECT_EQ(include.open, 0);
    effect_->Release();
    effect_ = nullptr;

    // A macro with a value is applied like a #define at the top of the file.
    const D3DXMACRO green[] = {{"GREEN", "float4(0, 1, 0, 1)"}, {nullptr, nullptr}};
    ASSERT_EQ(Create(QuadEffect("", "return GREEN;\n"), green), D3D_OK) << errors_;
    EXPECT_EQ(DrawQuad(), 0x00FF00u);
    effect_->Release();
    effect_ = nullptr;

    // A handler that cannot find the file fails the effect; in memory without a handler no include is read.
    include.calls.clear();
    EXPECT_TRUE(FAILED(Create("\n#include \"absent.fxh\"\n" + QuadEffect("", "return 1;\n"), nullptr, &include)));
    EXPECT_EQ(include.calls, std::vector<std::string> {"local absent.fxh"});
    EXPECT_NE(errors_.find("memory(2,1): error: '#include' : failed to open source file: 'absent.fxh'"),
              std::string::npos)
        << errors_;
    EXPECT_TRUE(FAILED(Create("#include \"colour.fxh\"\n" + QuadEffect("", "return 1;\n"))));
    EXPECT_NE(errors_.find("memory(1,1): error: '#include'"), std::string::npos) << errors_;
    EXPECT_EQ(effect_, nullptr);
}

TEST_F(EffectSourceTest, IntAndBoolGlobalsBesideFloatsAreSetReadAndReachBothShadersAsFloatRegistersDo) {
    const std::string source = R"(float4x4 g_mProj;
float4 g_Colour = {1, 0, 0, 1};
int g_Mode = 0;
bool g_Invert;
int2 g_Pair = {1, 2};
uniform int g_Shift = 0;
float4 VS(float4 p : POSITION) : POSITION { p.x += g_Shift; return mul(p, g_mProj); }
float4 PS() : COLOR0
{
    float4 c = g_Colour;
    if (g_Mode == 1) c = float4(0, 1, 0, 1);
    if (g_Invert) c.rgb = 1 - c.rgb;
    if (g_Pair.x + g_Pair.y == 7) c.b = 1;
    return c;
}
technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }
)";
    ASSERT_EQ(Create(source), D3D_OK) << errors_;
    const struct {
        const char* name;
        D3DXPARAMETER_CLASS parameterClass;
        D3DXPARAMETER_TYPE type;
        UINT columns;
    } shapes[] = {{"g_Mode", D3DXPC_SCALAR, D3DXPT_INT, 1},
                  {"g_Invert", D3DXPC_SCALAR, D3DXPT_BOOL, 1},
                  {"g_Pair", D3DXPC_VECTOR, D3DXPT_INT, 2},
                  {"g_Colour", D3DXPC_VECTOR, D3DXPT_FLOAT, 4}};
    for (const auto& shape : shapes) {
        D3DXPARAMETER_DESC desc;
        ASSERT_EQ(effect_->GetParameterDesc(shape.name, &desc), D3D_OK);
        EXPECT_EQ(desc.Class, shape.parameterClass) << shape.name;
        EXPECT_EQ(desc.Type, shape.type) << shape.name;
        EXPECT_EQ(desc.Columns, shape.columns) << shape.name;
        EXPECT_EQ(desc.Bytes, 4 * shape.columns) << shape.name;
    }
    INT pair[2] = {};
    ASSERT_EQ(effect_->GetValue("g_Pair", pair, sizeof(pair)), D3D_OK);
    EXPECT_EQ(pair[0], 1);
    EXPECT_EQ(pair[1], 2);
    EXPECT_EQ(DrawQuad(), 0xFF0000u);  // the defaults

    const INT sum7[2] = {3, 4};
    ASSERT_EQ(effect_->SetValue("g_Pair", sum7, sizeof(sum7)), D3D_OK);
    EXPECT_EQ(DrawQuad(), 0xFF00FFu);
    ASSERT_EQ(effect_->SetInt("g_Mode", 1), D3D_OK);
    EXPECT_EQ(DrawQuad(), 0x00FFFFu);
    const INT sum3[2] = {1, 2};
    ASSERT_EQ(effect_->SetValue("g_Pair", sum3, sizeof(sum3)), D3D_OK);
    ASSERT_EQ(effect_->SetBool("g_Invert", TRUE), D3D_OK);
    EXPECT_EQ(DrawQuad(), 0xFF00FFu);  // green inverted
    BOOL invert = FALSE;
    ASSERT_EQ(effect_->GetBool("g_Invert", &invert), D3D_OK);
    EXPECT_EQ(invert, TRUE);
    const BOOL off = FALSE;
    ASSERT_EQ(effect_->SetValue("g_Invert", &off, sizeof(off)), D3D_OK);
    EXPECT_EQ(DrawQuad(), 0x00FF00u);

    // The vertex stage reads its int too: the quad moves 8 pixels right.
    EXPECT_EQ(Rgb(20, 16), 0x00FF00u);
    EXPECT_EQ(Rgb(28, 16), 0u);
    ASSERT_EQ(effect_->SetInt("g_Shift", 8), D3D_OK);
    EXPECT_EQ(DrawQuad(), 0x00FF00u);
    EXPECT_EQ(Rgb(28, 16), 0x00FF00u);
    EXPECT_EQ(Rgb(12, 16), 0u);

    // Ints keep every bit, also beyond what a float holds exactly; bools read back as TRUE or FALSE.
    ASSERT_EQ(effect_->SetInt("g_Mode", 16777217), D3D_OK);
    INT mode = 0;
    ASSERT_EQ(effect_->GetInt("g_Mode", &mode), D3D_OK);
    EXPECT_EQ(mode, 16777217);
    ASSERT_EQ(effect_->SetInt("g_Invert", 5), D3D_OK);
    INT asInt = 0;
    ASSERT_EQ(effect_->GetInt("g_Invert", &asInt), D3D_OK);
    EXPECT_EQ(asInt, 1);
}

}  // namespace
