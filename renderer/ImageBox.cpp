#include "renderer/ImageBox.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/ComHelpers.h"
#include "renderer/Image.h"
#include "renderer/Renderer.h"

#include <algorithm>
#include <cstdint>

namespace NVesk {
namespace NRenderer {

// One line of HLSL; the two texts differ only in the render states at the end of the pass.
#define NVESK_IMAGE_EFFECT_SOURCE(passStates)                                                                     \
    "texture g_Texture;float4x4 g_mProj;sampler MeshTextureSampler=sampler_state{Texture = "                      \
    "<g_Texture>;MipFilter=LINEAR;MinFilter=LINEAR;MagFilter=LINEAR;AddressU=CLAMP;AddressV=CLAMP;};struct "      \
    "VS_OUTPUT{float4 Position:POSITION;float2 TextureUV:TEXCOORD0;};VS_OUTPUT RenderSceneVS(float4 "             \
    "vPos:POSITION,float2 vTexCoord0:TEXCOORD0){VS_OUTPUT Output;Output.Position=mul(vPos, "                      \
    "g_mProj);Output.TextureUV=vTexCoord0;return Output;}struct PS_OUTPUT{float4 RGBColor:COLOR0;};PS_OUTPUT "    \
    "RenderScenePS(VS_OUTPUT In){PS_OUTPUT "                                                                      \
    "Output;Output.RGBColor=tex2D(MeshTextureSampler,In.TextureUV);return Output;}technique{pass{VertexShader = " \
    "compile vs_2_0 RenderSceneVS();PixelShader = compile ps_2_0 RenderScenePS();" passStates "}}"

const char ImageBox::AlphaTestEffectSource[756] =
    NVESK_IMAGE_EFFECT_SOURCE("AlphaTestEnable=TRUE;AlphaFunc=GREATER;AlphaRef=0x0000007F;");
const char ImageBox::AlphaBlendEffectSource[759] =
    NVESK_IMAGE_EFFECT_SOURCE("AlphaBlendEnable=TRUE;SrcBlend=SRCALPHA;DestBlend=INVSRCALPHA;");

#undef NVESK_IMAGE_EFFECT_SOURCE

ImageBox TheImageBox;

namespace {

constexpr UINT kQuadBytes = 4 * sizeof(ImageVertex);
constexpr DWORD kQuadBufferUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

void Log(const wchar_t* function, const std::wstring& text) {
    NLib::Logger::Write(std::wstring(function) + text, true);
}

// The compiler's output as text: one wide character per byte, bytes from 0x80 sign-extended to a
// 16-bit unit as a signed char widens on Windows.
std::wstring BufferText(ID3DXBuffer* buffer) {
    const auto* bytes = static_cast<const signed char*>(buffer->GetBufferPointer());
    std::wstring text;
    text.reserve(buffer->GetBufferSize());
    for (DWORD i = 0; i < buffer->GetBufferSize(); ++i)
        text.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(bytes[i]))));
    return text;
}

}  // namespace

ImageBox::ImageBox()
    : currentIndex(0),
      vertexBuffer(nullptr),
      device(&Renderer::Device),
      caps(&Renderer::Caps),
      vertexDeclaration(nullptr),
      effect(nullptr),
      projection(),
      useBuiltInEffect(false),
      blendEffect(0),
      initialized(false) {}

std::int32_t ImageBox::InitImageBox(std::wstring effectFileName) {
    static const wchar_t kFunction[] = L"NVesk::NRenderer::ImageBox::InitImageBox";
    if (caps->PixelShaderVersion < D3DPS_VERSION(2, 0)) {
        Log(kFunction, L" >> The device doesn't support Pixel Shader 2.0");
        return 6;
    }
    if (caps->VertexShaderVersion < D3DVS_VERSION(2, 0)) {
        Log(kFunction, L" >> The device doesn't support Vertex Shader 2.0");
        return 5;
    }
    this->effectFileName = effectFileName;
    ReleaseAndClear(vertexDeclaration);
    const HRESULT declared = (*device)->CreateVertexDeclaration(ImageVertexElements, &vertexDeclaration);
    if (FAILED(declared)) {
        Log(kFunction, L" >> Function \"CreateVertexDeclaration()\" returned an error code: " + HexCode(declared));
    }
    blendEffect = 1;
    Image::device = *device;
    Image::TextureManager::device = *device;
    useBuiltInEffect = effectFileName.empty();
    initialized = true;
    return 0;
}

std::int32_t ImageBox::RestoreBox(float width, float height) {
    static const wchar_t kFunction[] = L"NVesk::NRenderer::ImageBox::RestoreBox";
    ID3DXBuffer* compileLog = nullptr;
    HRESULT result;
    if (useBuiltInEffect) {
        const char* source = blendEffect != 0 ? AlphaBlendEffectSource : AlphaTestEffectSource;
        const UINT length = blendEffect != 0 ? sizeof(AlphaBlendEffectSource) : sizeof(AlphaTestEffectSource);
        result = D3DXCreateEffect(*device, source, length, nullptr, nullptr, 0, nullptr, &effect, &compileLog);
    } else {
        result = D3DXCreateEffectFromFileW(*device, effectFileName.c_str(), nullptr, nullptr, 0, nullptr, &effect,
                                           &compileLog);
    }
    if (FAILED(result)) {
        effect = nullptr;
        Log(kFunction,
            L" >> Cannot compile an effect. Function \"D3DXCreateEffectFromFile()\" returned an error code: ." +
                HexCode(result));
        if (compileLog != nullptr) NLib::Logger::Write(L"Compile log:" + BufferText(compileLog), true);
    }
    // Warnings come back on success too; the buffer is ours to free either way.
    ReleaseAndClear(compileLog);
    if (FAILED(result)) return 1;

    const UINT count = static_cast<UINT>(images.size());
    if (count != 0) {
        const HRESULT created = (*device)->CreateVertexBuffer(count * kQuadBytes, kQuadBufferUsage, 0, D3DPOOL_DEFAULT,
                                                              &vertexBuffer, nullptr);
        if (FAILED(created)) {
            vertexBuffer = nullptr;
            Log(kFunction,
                L" >> Cannot create Vertex Buffer. Function \"CreateVertexBuffer()\" returned an error code: ." +
                    HexCode(created));
        }
        void* data = nullptr;
        if (vertexBuffer == nullptr || FAILED(vertexBuffer->Lock(0, count * kQuadBytes, &data, D3DLOCK_DISCARD))) {
            Log(kFunction, L" >> Failed to lock VertexBuffer");
            return 3;
        }
        Image::vertexData = static_cast<ImageVertex*>(data);
        Image::effect = effect;
        for (currentIndex = 0; currentIndex < images.size(); ++currentIndex) {
            const std::int32_t restored = images[currentIndex]->Restore(static_cast<std::int32_t>(currentIndex));
            if (restored != 0) {
                Log(kFunction, L" >> Function \"Restore()\" returned an error code: " + NLib::Int64ToString(restored));
                vertexBuffer->Unlock();
                // The memory is no longer ours to write once unlocked.
                Image::vertexData = nullptr;
                currentIndex = 0;
                return 4;
            }
        }
        vertexBuffer->Unlock();
        Image::vertexData = nullptr;
        currentIndex = 0;
    }
    D3DXMatrixOrthoOffCenterLH(&projection, 0.0f, width, height, 0.0f, 0.0f, 1.0f);
    return 0;
}

void ImageBox::ReleaseBox() {
    ReleaseAndClear(effect);
    Image::effect = nullptr;
    ReleaseAndClear(vertexBuffer);
    for (Image* image : images)
        image->Release();
    currentIndex = 0;
}

void ImageBox::ApplyChanges() {
    if (images.empty()) return;
    void* data = nullptr;
    // No buffer (a restore that failed) is a lock that failed: nothing to write into.
    if (vertexBuffer == nullptr || FAILED(vertexBuffer->Lock(0, 0, &data, 0))) {
        Log(L"NVesk::NRenderer::ImageBox::ApplyChanges", L" >> Failed to lock VertexBuffer");
        return;
    }
    Image::vertexData = static_cast<ImageVertex*>(data);
    for (Image* image : images)
        image->UpdateVertices();
    vertexBuffer->Unlock();
    Image::vertexData = nullptr;
}

void ImageBox::BeginDraw() {
    (*device)->SetStreamSource(0, vertexBuffer, 0, sizeof(ImageVertex));
    (*device)->SetVertexDeclaration(vertexDeclaration);
    effect->SetMatrix("g_mProj", &projection);
    effect->Begin(nullptr, 0);
    effect->BeginPass(0);
}

void ImageBox::AddImage(Image* image) {
    images.push_back(image);
}

void ImageBox::CreateImage(Image*& holder) {
    holder = new Image(std::wstring());
    AddImage(holder);
}

void ImageBox::RemoveImage(Image*& holder) {
    if (!initialized) return;
    const auto listed = std::find(images.begin(), images.end(), holder);
    if (listed != images.end()) images.erase(listed);
    if (holder != nullptr) {
        delete holder;
        holder = nullptr;
    }
}

void ImageBox::ShutdownBox() {
    ReleaseAndClear(vertexBuffer);
    ReleaseAndClear(effect);
    Image::effect = nullptr;
    ReleaseAndClear(vertexDeclaration);
    initialized = false;
}

}  // namespace NRenderer
}  // namespace NVesk
