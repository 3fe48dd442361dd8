// ID3DXEffect on a real device: both image effects draw as the image box uses them, parameters
// reach the shaders, pass states are applied and restored, compile errors leave nothing behind,
// and reloading a source costs no compile.
#include "BuiltInEffects.h"
#include "Pixels.h"

#include "EffectDeviceTest.h"

#include "HlslCompiler.h"
#include "support/TempDir.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <d3dx9.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::kClearColor;
using D3DX9Tests::Rgb;

class EffectTest : public D3DX9Tests::EffectDeviceTest {
protected:
    void TearDown() override {
        // The effect may hold the texture: it goes first.
        if (effect_ != nullptr) {
            EXPECT_EQ(effect_->Release(), 0u);
            effect_ = nullptr;
        }
        if (texture_ != nullptr) {
            EXPECT_EQ(texture_->Release(), 0u);
        }
        EffectDeviceTest::TearDown();
    }

    // Creates effect_ from an image-box text, with its terminating zero as the image box passes it.
    void CreateImageEffect(const char* source) {
        ID3DXBuffer* errors = nullptr;
        const HRESULT result = D3DXCreateEffect(device_, source, static_cast<UINT>(std::strlen(source) + 1), nullptr,
                                                nullptr, 0, nullptr, &effect_, &errors);
        ASSERT_EQ(result, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        ASSERT_EQ(errors, nullptr);
    }

    // The image box's frame: quad at (x, y) of size w x h, texture `texture_`, pixel projection.
    void DrawImage(float x, float y, float w, float h) {
        BindVertices(Quad(x, y, w, h));
        D3DXMATRIX projection;
        D3DXMatrixOrthoOffCenterLH(&projection, 0.0f, static_cast<float>(kWidth), static_cast<float>(kHeight), 0.0f,
                                   0.0f, 1.0f);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        EXPECT_EQ(effect_->SetMatrix("g_mProj", &projection), D3D_OK);
        EXPECT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
        EXPECT_EQ(effect_->BeginPass(0), D3D_OK);
        EXPECT_EQ(effect_->SetTexture("g_Texture", texture_), D3D_OK);
        EXPECT_EQ(effect_->CommitChanges(), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }

    DWORD Pixel(const std::vector<DWORD>& pixels, UINT x, UINT y) const { return pixels.at(y * kWidth + x); }

    IDirect3DTexture9* texture_ = nullptr;
};

TEST_F(EffectTest, AlphaBlendImageEffectBlendsAHalfTransparentTexelOverTheBackground) {
    CreateImageEffect(D3DX9Tests::kAlphaBlendEffect);
    texture_ = MakeTexture(16, 8, [](UINT x, UINT) { return x < 8 ? 0x80FF0000u : 0xFF00FF00u; });
    DrawImage(8, 4, 16, 8);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    // Left half: red at alpha 128/255 over blue.
    const DWORD blended = Pixel(pixels, 10, 6);
    EXPECT_NEAR(Channel(blended, 16), 128, 2);
    EXPECT_EQ(Channel(blended, 8), 0);
    EXPECT_NEAR(Channel(blended, 0), 127, 2);
    EXPECT_EQ(Rgb(Pixel(pixels, 20, 6)), 0x00FF00u);  // opaque texels replace the background
    // The quad covers exactly [8, 24) x [4, 12): y grows downward as in the image box.
    EXPECT_EQ(Rgb(Pixel(pixels, 7, 6)), Rgb(kClearColor));
    EXPECT_EQ(Rgb(Pixel(pixels, 24, 6)), Rgb(kClearColor));
    EXPECT_EQ(Rgb(Pixel(pixels, 10, 3)), Rgb(kClearColor));
    EXPECT_EQ(Rgb(Pixel(pixels, 10, 12)), Rgb(kClearColor));
    EXPECT_NE(Rgb(Pixel(pixels, 10, 4)), Rgb(kClearColor));
    EXPECT_NE(Rgb(Pixel(pixels, 23, 11)), Rgb(kClearColor));
}

TEST_F(EffectTest, AlphaTestImageEffectDiscardsAlpha127AndKeepsAlpha128Unblended) {
    CreateImageEffect(D3DX9Tests::kAlphaTestEffect);
    texture_ = MakeTexture(16, 8, [](UINT x, UINT) { return x < 8 ? 0x7FFF0000u : 0x80FF0000u; });
    DrawImage(8, 4, 16, 8);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(Rgb(Pixel(pixels, 10, 6)), Rgb(kClearColor));  // alpha 127 is not GREATER than 0x7F
    EXPECT_EQ(Rgb(Pixel(pixels, 20, 6)), 0xFF0000u);         // no blending in this effect
}

TEST_F(EffectTest, PassStatesAreAppliedInBeginPassAndRestoredByEnd) {
    CreateImageEffect(D3DX9Tests::kAlphaBlendEffect);
    DWORD value = 0;
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect_->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect_->BeginPass(1), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));
    device_->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    device_->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    device_->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    device_->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
    device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
    // Out of order calls are refused.
    EXPECT_EQ(effect_->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->CommitChanges(), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, ParametersAreFoundByNameAndHandleAndKeepTheirDefaults) {
    const std::string source = D3DX9Tests::kMeshEffect;
    ASSERT_EQ(D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, 0, nullptr,
                               &effect_, nullptr),
              D3D_OK);
    // The first technique is current.
    D3DXHANDLE technique = effect_->GetCurrentTechnique();
    ASSERT_NE(technique, nullptr);
    EXPECT_EQ(technique, effect_->GetTechnique(0));
    EXPECT_EQ(technique, effect_->GetTechniqueByName("RenderScene"));
    D3DXTECHNIQUE_DESC techniqueDesc;
    ASSERT_EQ(effect_->GetTechniqueDesc(technique, &techniqueDesc), D3D_OK);
    EXPECT_STREQ(techniqueDesc.Name, "RenderScene");
    EXPECT_EQ(techniqueDesc.Passes, 1u);

    D3DXHANDLE diffuse = effect_->GetParameterByName(nullptr, "g_Diffuse");
    ASSERT_NE(diffuse, nullptr);
    D3DXVECTOR4 value;
    ASSERT_EQ(effect_->GetVector(diffuse, &value), D3D_OK);
    EXPECT_EQ(value, D3DXVECTOR4(1.0f, 0.5f, 0.25f, 1.0f));
    float ambient = 0;
    ASSERT_EQ(effect_->GetFloat("g_Ambient", &ambient), D3D_OK);
    EXPECT_FLOAT_EQ(ambient, 0.2f);
    EXPECT_EQ(effect_->GetParameterBySemantic(nullptr, "worldviewprojection"),
              effect_->GetParameterByName(nullptr, "g_mWorldViewProj"));
    EXPECT_EQ(effect_->GetParameterByName(nullptr, "g_missing"), nullptr);
    EXPECT_EQ(effect_->SetFloat("g_missing", 1.0f), D3DERR_INVALIDCALL);

    D3DXPARAMETER_DESC desc;
    ASSERT_EQ(effect_->GetParameterDesc("g_mWorld", &desc), D3D_OK);
    EXPECT_EQ(desc.Class, D3DXPC_MATRIX_ROWS);
    EXPECT_EQ(desc.Type, D3DXPT_FLOAT);
    EXPECT_EQ(desc.Rows, 4u);
    EXPECT_EQ(desc.Columns, 4u);
    EXPECT_EQ(desc.Bytes, 64u);
    EXPECT_STREQ(desc.Semantic, "WORLD");

    // A matrix set row by row comes back as it was set; its transpose is its transpose.
    D3DXMATRIX matrix;
    for (int i = 0; i < 16; ++i)
        matrix.m[i / 4][i % 4] = static_cast<float>(i);
    ASSERT_EQ(effect_->SetMatrix("g_mWorld", &matrix), D3D_OK);
    D3DXMATRIX back;
    ASSERT_EQ(effect_->GetMatrix("g_mWorld", &back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &matrix, sizeof(matrix)), 0);
    ASSERT_EQ(effect_->GetMatrixTranspose("g_mWorld", &back), D3D_OK);
    EXPECT_EQ(back._12, matrix._21);

    // SetValue takes the whole value; a float3 needs 12 bytes.
    const float light[3] = {0.0f, 0.894427f, -0.447214f};
    EXPECT_EQ(effect_->SetValue("g_dirToLight", light, 8), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect_->SetValue("g_dirToLight", light, sizeof(light)), D3D_OK);
    float stored[3] = {};
    ASSERT_EQ(effect_->GetValue("g_dirToLight", stored, sizeof(stored)), D3D_OK);
    EXPECT_EQ(std::memcmp(stored, light, sizeof(light)), 0);
    EXPECT_EQ(effect_->SetMatrix("g_dirToLight", &matrix), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetTexture("g_Ambient", nullptr), D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, CompileErrorsFailWithPositionsInTheUsersTextAndCreateNothing) {
    const int liveBefore = PlatformTesting::LiveDirect3DObjects();
    // One line, as the image box's text: the error is in column 117 (the undeclared 'Colour').
    std::string source = D3DX9Tests::kAlphaBlendEffect;
    const std::string correct = "Output.Position=mul(vPos, g_mProj);";
    source.replace(source.find(correct), correct.size(), "Output.Position=mul(vPos, Colour);");
    const std::size_t column = source.find("Colour") + 1;
    ID3DXBuffer* errors = nullptr;
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(0x1);
    const HRESULT result = D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size() + 1), nullptr,
                                            nullptr, 0, nullptr, &effect, &errors);
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string text(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
    EXPECT_EQ(text.back(), '\0');  // the buffer holds the text with its terminating zero
    EXPECT_NE(text.find("memory(1," + std::to_string(column) + "): error"), std::string::npos) << text;
    EXPECT_EQ(errors->Release(), 0u);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), liveBefore);

    // Front-end errors (an unknown pass state) fail the same way, at the state's position.
    const std::string badState =
        "float4 VS(float4 p:POSITION):POSITION{return p;}float4 PS():COLOR{return 1;}\n"
        "technique T{pass P{VertexShader=compile vs_2_0 VS();PixelShader=compile ps_2_0 PS();\n"
        "  Glitter=TRUE;}}";
    ASSERT_TRUE(FAILED(D3DXCreateEffect(device_, badState.c_str(), static_cast<UINT>(badState.size()), nullptr, nullptr,
                                        0, nullptr, &effect, &errors)));
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer()))
                  .find("memory(3,3): error: unknown state 'Glitter'"),
              std::string::npos)
        << static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), liveBefore);
}

TEST_F(EffectTest, ReloadingTheSameSourceTakesItsProgramsFromTheCache) {
    const std::string source = std::string(D3DX9Tests::kMeshEffect) + "// reload test\n";
    ASSERT_EQ(D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, 0, nullptr,
                               &effect_, nullptr),
              D3D_OK);
    const std::uint64_t compiles = nvesk::d3dx9::StageCompileCount();
    for (int i = 0; i < 3; ++i) {
        ID3DXEffect* again = nullptr;
        ASSERT_EQ(D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, 0,
                                   nullptr, &again, nullptr),
                  D3D_OK);
        again->Release();
    }
    EXPECT_EQ(nvesk::d3dx9::StageCompileCount(), compiles);
}

TEST_F(EffectTest, EffectFilesAreReadByWideNameAndAMissingFileIsInvalidData) {
    TestSupport::TempDir folder;
    std::ofstream(folder.Path() / "effect.fx", std::ios::binary) << D3DX9Tests::kMeshEffect;
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileW(device_, folder.File("effect.fx").c_str(), nullptr, nullptr, 0, nullptr,
                                        &effect_, &errors),
              D3D_OK);
    EXPECT_EQ(errors, nullptr);
    ID3DXEffect* missing = nullptr;
    EXPECT_EQ(D3DXCreateEffectFromFileW(device_, folder.File("nothing.fx").c_str(), nullptr, nullptr, 0, nullptr,
                                        &missing, &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(missing, nullptr);

    // Errors in a file name the file.
    std::ofstream(folder.Path() / "broken.fx", std::ios::binary) << "float4 x = ;\ntechnique {";
    ASSERT_TRUE(FAILED(D3DXCreateEffectFromFileW(device_, folder.File("broken.fx").c_str(), nullptr, nullptr, 0,
                                                 nullptr, &missing, &errors)));
    ASSERT_NE(errors, nullptr);
    const std::string text = static_cast<const char*>(errors->GetBufferPointer());
    EXPECT_NE(text.find("broken.fx("), std::string::npos) << text;
    errors->Release();
}

}  // namespace

namespace {

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(EffectTest, ReleasedEffectsAndBuffersFailCleanlyAndWhatTheyBoundGoesWithTheBinding) {
    CreateImageEffect(D3DX9Tests::kAlphaBlendEffect);
    texture_ = MakeTexture(2, 2, [](UINT, UINT) { return 0xFFFFFFFFu; });
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Effect), 1);
    // Without saved state the effect leaves its texture bound, held by the device.
    BindVertices(Quad(0, 0, 4, 4));
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    ASSERT_EQ(effect_->SetTexture("g_Texture", texture_), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    ASSERT_EQ(effect_->EndPass(), D3D_OK);
    ASSERT_EQ(effect_->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(References(texture_), 3u);  // ours, the effect's parameter, the device's binding

    ID3DXEffect* effect = effect_;
    effect_ = nullptr;
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Effect), 0);
    UINT passes = 0;
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("g_Alpha", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "g_Texture"), nullptr);
    EXPECT_EQ(effect->GetCurrentTechnique(), nullptr);
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(effect->GetDevice(&device), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "ID3DXEffect::GetDevice: called after the object's last Release");
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(References(texture_), 2u);
    EXPECT_EQ(texture_->Release(), 1u);  // the binding keeps it
    texture_ = nullptr;
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Texture), 1);

    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(16, &buffer), D3D_OK);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Buffer), 1);
    EXPECT_EQ(buffer->GetBufferSize(), 16u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Buffer), 0);
    EXPECT_EQ(buffer->GetBufferPointer(), nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 0u);
    void* object = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &object), D3DERR_INVALIDCALL);
    EXPECT_EQ(object, nullptr);

    ReleaseDevice();  // unbinds the texture as an application must, then releases the device
    EXPECT_EQ(d3d_->Release(), 0u);
    d3d_ = nullptr;
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

}  // namespace
