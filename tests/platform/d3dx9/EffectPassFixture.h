// Effects of one pass drawn on a real device: a quad in pixel positions through a pass, and the
// back buffer read back.
#pragma once

#include "EffectDeviceTest.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <string>
#include <vector>

namespace D3DX9Tests {

// Pixel positions of the fixture's quads to clip space, as the image box's projection does.
inline const char kPixelVertexShader[] =
    "float4 ToClip(float3 p) { return float4(p.x / 32.0 - 1.0, 1.0 - p.y / 24.0, p.z, 1.0); }\n"
    "void PixelVS(float3 p : POSITION, float2 uv : TEXCOORD0, out float4 oPos : POSITION,\n"
    "             out float2 oUv : TEXCOORD0) { oPos = ToClip(p); oUv = uv; }\n";

class EffectPassFixture : public EffectDeviceTest {
protected:
    void TearDown() override {
        if (effect_ != nullptr) {
            EXPECT_EQ(effect_->Release(), 0u);
            effect_ = nullptr;
        }
        for (IDirect3DTexture9* texture : textures_)
            EXPECT_EQ(texture->Release(), 0u);
        EffectDeviceTest::TearDown();
    }

    // `flags` as D3DXCreateEffect takes them (D3DXSHADER_...); `lead` comes before everything.
    HRESULT Create(const std::string& body, std::string* errors = nullptr, DWORD flags = 0,
                   const std::string& lead = std::string()) {
        const std::string source = lead + kPixelVertexShader + body;
        ID3DXBuffer* buffer = nullptr;
        const HRESULT result = D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr,
                                                nullptr, flags, nullptr, &effect_, &buffer);
        if (buffer != nullptr) {
            if (errors != nullptr) *errors = static_cast<const char*>(buffer->GetBufferPointer());
            buffer->Release();
        }
        return result;
    }

    // An effect that must not be created: its messages.
    std::string Refused(const std::string& body) {
        std::string errors;
        EXPECT_EQ(Create(body, &errors), E_FAIL) << body;
        if (effect_ != nullptr) {
            effect_->Release();
            effect_ = nullptr;
        }
        return errors;
    }

    void CreateOk(const std::string& body, DWORD flags = 0, const std::string& lead = std::string()) {
        std::string errors;
        ASSERT_EQ(Create(body, &errors, flags, lead), D3D_OK) << errors;
        // Every technique validates, and FindNextValidTechnique walks them all in order.
        D3DXHANDLE technique = nullptr;
        for (UINT i = 0;; ++i) {
            D3DXHANDLE next = nullptr;
            ASSERT_EQ(effect_->FindNextValidTechnique(technique, &next), D3D_OK);
            EXPECT_EQ(next, effect_->GetTechnique(i));
            if (next == nullptr) break;
            EXPECT_EQ(effect_->ValidateTechnique(next), D3D_OK);
            technique = next;
        }
    }

    IDirect3DTexture9* SolidTexture(DWORD color) {
        IDirect3DTexture9* texture = MakeTexture(4, 4, [color](UINT, UINT) { return color; });
        textures_.push_back(texture);
        return texture;
    }

    void Clear() {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0), D3D_OK);
    }

    // Draws a quad in pass `pass` of technique `technique`; the draw's result.
    HRESULT DrawPass(const char* technique, UINT pass, const std::vector<D3D9Test::QuadVertex>& quad) {
        BindVertices(quad);
        EXPECT_EQ(effect_->SetTechnique(technique), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        EXPECT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
        const HRESULT begun = effect_->BeginPass(pass);
        const HRESULT drawn = SUCCEEDED(begun) ? device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2) : begun;
        if (SUCCEEDED(begun)) {
            EXPECT_EQ(effect_->EndPass(), D3D_OK);
        }
        EXPECT_EQ(effect_->End(), D3D_OK);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return drawn;
    }

    DWORD PixelAt(UINT x, UINT y) { return ReadBackBuffer().at(y * kWidth + x); }

    std::vector<IDirect3DTexture9*> textures_;
};

}  // namespace D3DX9Tests
