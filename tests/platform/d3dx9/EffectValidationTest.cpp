// ValidateTechnique and FindNextValidTechnique as D3DX validates: the current technique for NULL,
// every pass's states applied without a failure (and put back), and shader versions the device's
// caps offer; a refusal names the pass and the state or shader.
#include "EffectDeviceTest.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <d3dx9.h>

#include <string>

namespace {

const char kEffect[] = R"(
float4 VS(float4 p : POSITION) : POSITION { return p; }
float4 PS() : COLOR0 { return float4(1, 0, 0, 1); }

technique Fogged
{
    pass Clear { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); CullMode = CW; }
    pass Misty { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); FogEnable = TRUE; }
}

technique Modern { pass P0 { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_3_0 PS(); } }

technique Plain { pass P0 { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); CullMode = CW; } }
)";

class EffectValidationTest : public D3DX9Tests::EffectDeviceTest {
protected:
    void TearDown() override {
        EffectDeviceTest::TearDown();
        PlatformTesting::ReportShaderVersions(0, 0);
    }

    void Create() {
        ID3DXBuffer* errors = nullptr;
        const HRESULT created =
            D3DXCreateEffect(device_, kEffect, sizeof(kEffect) - 1, nullptr, nullptr, 0, nullptr, &effect_, &errors);
        const std::string messages = errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors != nullptr) errors->Release();
        ASSERT_EQ(created, D3D_OK) << messages;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        EXPECT_EQ(device_->GetRenderState(state, &value), D3D_OK);
        return value;
    }
};

TEST_F(EffectValidationTest, AStateTheDeviceRefusesFailsItsTechniqueAndNamesThePassAndState) {
    Create();
    EXPECT_EQ(effect_->ValidateTechnique("Fogged"), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "ID3DXEffect::ValidateTechnique: pass 1 'Misty': the device refuses FogEnable = TRUE");
    EXPECT_EQ(effect_->ValidateTechnique("Modern"), D3D_OK);
    EXPECT_EQ(effect_->ValidateTechnique("Plain"), D3D_OK);
    // NULL is the current technique, the first one.
    EXPECT_EQ(effect_->ValidateTechnique(nullptr), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(effect_->SetTechnique("Plain"), D3D_OK);
    EXPECT_EQ(effect_->ValidateTechnique(nullptr), D3D_OK);
    EXPECT_EQ(effect_->ValidateTechnique("Missing"), D3DERR_INVALIDCALL);
    // Validating leaves the device's states as they were.
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(D3DRS_FOGENABLE), static_cast<DWORD>(FALSE));
}

TEST_F(EffectValidationTest, FindNextValidTechniqueSkipsTechniquesThatDoNotValidate) {
    Create();
    D3DXHANDLE next = nullptr;
    ASSERT_EQ(effect_->FindNextValidTechnique(nullptr, &next), D3D_OK);
    EXPECT_EQ(next, effect_->GetTechniqueByName("Modern"));
    ASSERT_EQ(effect_->FindNextValidTechnique(next, &next), D3D_OK);
    EXPECT_EQ(next, effect_->GetTechniqueByName("Plain"));
    ASSERT_EQ(effect_->FindNextValidTechnique(next, &next), D3D_OK);
    EXPECT_EQ(next, nullptr);
}

TEST_F(EffectValidationTest, ShadersAboveTheDevicesShaderModelFailValidation) {
    ReleaseDevice();
    PlatformTesting::ReportShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    ASSERT_EQ(CreateDevice(), D3D_OK);
    Create();
    EXPECT_EQ(effect_->ValidateTechnique("Modern"), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "ID3DXEffect::ValidateTechnique: pass 0 'P0': its vertex shader needs shader model 3.0, the device "
              "offers 2.0");
    EXPECT_EQ(effect_->ValidateTechnique("Plain"), D3D_OK);
}

TEST_F(EffectValidationTest, ValidatingBetweenBeginAndEndKeepsWhatEndPutsBack) {
    Create();
    ASSERT_EQ(effect_->SetTechnique("Plain"), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(effect_->ValidateTechnique("Fogged"), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
}

}  // namespace
