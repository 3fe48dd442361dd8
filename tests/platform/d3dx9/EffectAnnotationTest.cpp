// Annotations of parameters, techniques and passes through GetAnnotation and GetAnnotationByName,
// read as D3DX reads them (GetParameterDesc, GetString, GetFloat, GetVector, GetInt, GetBool), pass
// descriptions, and string parameters.
#include "EffectDeviceTest.h"

#include <PlatformTesting/Diagnostics.h>
#include <d3dx9.h>

#include <string>

namespace {

const char kAnnotatedEffect[] = R"(
float4x4 g_mWorldViewProj : WORLDVIEWPROJECTION < string UIName = "Transform"; >;
float4 g_Tint : DIFFUSE < string UIName = "Tint"; float4 Default = {1, 0.5, -0.25, 1}; int Steps = 3;
                          bool Hidden = true; float Scale = -2.5; > = {1, 0.5, 0.25, 1};
string g_Title = "Annotated";
float g_Plain;

float4 VS(float4 p : POSITION) : POSITION { return mul(p, g_mWorldViewProj); }
float4 PS() : COLOR0 { return g_Tint * g_Plain; }

technique Main < string Purpose = "everything"; int Version = 2; >
{
    pass First < string Note = "opaque"; >
    {
        VertexShader = compile vs_2_0 VS();
        PixelShader = compile ps_2_0 PS();
    }
    pass { CullMode = CW; }
}

technique Bare { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }
)";

class EffectAnnotationTest : public D3DX9Tests::EffectDeviceTest {
protected:
    void SetUp() override {
        EffectDeviceTest::SetUp();
        ID3DXBuffer* errors = nullptr;
        const HRESULT created = D3DXCreateEffect(device_, kAnnotatedEffect, sizeof(kAnnotatedEffect) - 1, nullptr,
                                                 nullptr, 0, nullptr, &effect_, &errors);
        const std::string messages = errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors != nullptr) errors->Release();
        ASSERT_EQ(created, D3D_OK) << messages;
    }

    std::string String(D3DXHANDLE handle) {
        LPCSTR text = nullptr;
        EXPECT_EQ(effect_->GetString(handle, &text), D3D_OK);
        return text != nullptr ? text : "(null)";
    }
};

TEST_F(EffectAnnotationTest, ParameterAnnotationsAreReadByIndexAndNameWithTheirTypesAndValues) {
    D3DXPARAMETER_DESC desc {};
    ASSERT_EQ(effect_->GetParameterDesc("g_Tint", &desc), D3D_OK);
    EXPECT_EQ(desc.Annotations, 5u);
    EXPECT_STREQ(desc.Semantic, "DIFFUSE");
    ASSERT_EQ(effect_->GetParameterDesc("g_Plain", &desc), D3D_OK);
    EXPECT_EQ(desc.Annotations, 0u);

    const D3DXHANDLE tint = effect_->GetParameterByName(nullptr, "g_Tint");
    const D3DXHANDLE uiName = effect_->GetAnnotation(tint, 0);
    ASSERT_NE(uiName, nullptr);
    EXPECT_EQ(effect_->GetAnnotationByName("g_Tint", "UIName"), uiName);
    ASSERT_EQ(effect_->GetParameterDesc(uiName, &desc), D3D_OK);
    EXPECT_STREQ(desc.Name, "UIName");
    EXPECT_EQ(desc.Type, D3DXPT_STRING);
    EXPECT_EQ(desc.Class, D3DXPC_OBJECT);
    EXPECT_EQ(desc.Flags, static_cast<DWORD>(D3DX_PARAMETER_ANNOTATION));
    EXPECT_EQ(String(uiName), "Tint");

    const D3DXHANDLE defaultValue = effect_->GetAnnotation(tint, 1);
    ASSERT_EQ(effect_->GetParameterDesc(defaultValue, &desc), D3D_OK);
    EXPECT_STREQ(desc.Name, "Default");
    EXPECT_EQ(desc.Class, D3DXPC_VECTOR);
    EXPECT_EQ(desc.Type, D3DXPT_FLOAT);
    EXPECT_EQ(desc.Columns, 4u);
    D3DXVECTOR4 vector;
    ASSERT_EQ(effect_->GetVector(defaultValue, &vector), D3D_OK);
    EXPECT_EQ(vector, D3DXVECTOR4(1.0f, 0.5f, -0.25f, 1.0f));

    INT steps = 0;
    ASSERT_EQ(effect_->GetInt(effect_->GetAnnotationByName(tint, "Steps"), &steps), D3D_OK);
    EXPECT_EQ(steps, 3);
    ASSERT_EQ(effect_->GetParameterDesc(effect_->GetAnnotationByName(tint, "Steps"), &desc), D3D_OK);
    EXPECT_EQ(desc.Type, D3DXPT_INT);
    BOOL hidden = FALSE;
    ASSERT_EQ(effect_->GetBool(effect_->GetAnnotation(tint, 3), &hidden), D3D_OK);
    EXPECT_EQ(hidden, TRUE);
    FLOAT scale = 0;
    ASSERT_EQ(effect_->GetFloat(effect_->GetAnnotation(tint, 4), &scale), D3D_OK);
    EXPECT_FLOAT_EQ(scale, -2.5f);

    EXPECT_EQ(effect_->GetAnnotation(tint, 5), nullptr);
    EXPECT_EQ(effect_->GetAnnotationByName(tint, "Missing"), nullptr);
    EXPECT_EQ(effect_->GetAnnotation("g_Plain", 0), nullptr);
    EXPECT_EQ(effect_->GetAnnotation(nullptr, 0), nullptr);
    // The parameter's own value is not its annotation's.
    ASSERT_EQ(effect_->GetVector(tint, &vector), D3D_OK);
    EXPECT_EQ(vector, D3DXVECTOR4(1.0f, 0.5f, 0.25f, 1.0f));
}

TEST_F(EffectAnnotationTest, TechniqueAndPassAnnotationsAndPassDescriptions) {
    const D3DXHANDLE main = effect_->GetTechniqueByName("Main");
    D3DXTECHNIQUE_DESC technique {};
    ASSERT_EQ(effect_->GetTechniqueDesc(main, &technique), D3D_OK);
    EXPECT_EQ(technique.Annotations, 2u);
    EXPECT_EQ(String(effect_->GetAnnotationByName(main, "Purpose")), "everything");
    INT version = 0;
    ASSERT_EQ(effect_->GetInt(effect_->GetAnnotation("Main", 1), &version), D3D_OK);
    EXPECT_EQ(version, 2);
    ASSERT_EQ(effect_->GetTechniqueDesc("Bare", &technique), D3D_OK);
    EXPECT_EQ(technique.Annotations, 0u);

    D3DXPASS_DESC pass {};
    const D3DXHANDLE first = effect_->GetPass(main, 0);
    ASSERT_EQ(effect_->GetPassDesc(first, &pass), D3D_OK);
    EXPECT_STREQ(pass.Name, "First");
    EXPECT_EQ(pass.Annotations, 1u);
    EXPECT_EQ(String(effect_->GetAnnotation(first, 0)), "opaque");
    ASSERT_EQ(effect_->GetPassDesc(effect_->GetPass(main, 1), &pass), D3D_OK);
    EXPECT_EQ(pass.Name, nullptr);
    EXPECT_EQ(pass.Annotations, 0u);
    EXPECT_EQ(effect_->GetAnnotation(effect_->GetPass(main, 1), 0), nullptr);

    // Handles of other kinds are no pass; a parameter's annotation is not a technique's.
    EXPECT_EQ(effect_->GetPassDesc(main, &pass), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "ID3DXEffect::GetPassDesc: no such pass, or pDesc is null");
    EXPECT_EQ(effect_->GetPassDesc(first, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->GetAnnotationByName(main, "UIName"), nullptr);
}

TEST_F(EffectAnnotationTest, StringsAreReadWithGetStringAndAnnotationsAreNotParameters) {
    EXPECT_EQ(String(effect_->GetParameterByName(nullptr, "g_Title")), "Annotated");
    D3DXPARAMETER_DESC desc {};
    ASSERT_EQ(effect_->GetParameterDesc("g_Title", &desc), D3D_OK);
    EXPECT_EQ(desc.Type, D3DXPT_STRING);
    LPCSTR text = nullptr;
    EXPECT_EQ(effect_->GetString("g_Plain", &text), D3DERR_INVALIDCALL);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(effect_->GetString("g_Title", nullptr), D3DERR_INVALIDCALL);

    // Annotations are read only, and their handles are no parameters' names.
    const D3DXHANDLE scale = effect_->GetAnnotationByName("g_Tint", "Scale");
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(effect_->SetFloat(scale, 1.0f), D3DERR_INVALIDCALL);
    FLOAT value = 0;
    ASSERT_EQ(effect_->GetFloat(scale, &value), D3D_OK);
    EXPECT_FLOAT_EQ(value, -2.5f);
    D3DXHANDLE next = nullptr;
    for (UINT i = 0; (next = effect_->GetParameter(nullptr, i)) != nullptr; ++i)
        EXPECT_NE(next, scale);
}

}  // namespace
