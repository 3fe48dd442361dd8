// The image box's two effect texts, as the engine hands them to D3DX (one line each).
#pragma once

namespace D3DX9Tests {

inline constexpr const char kAlphaBlendEffect[] =
    "texture g_Texture;float4x4 g_mProj;sampler MeshTextureSampler=sampler_state{Texture = <g_Texture>;"
    "MipFilter=LINEAR;MinFilter=LINEAR;MagFilter=LINEAR;AddressU=CLAMP;AddressV=CLAMP;};struct VS_OUTPUT{float4 "
    "Position:POSITION;float2 TextureUV:TEXCOORD0;};VS_OUTPUT RenderSceneVS(float4 vPos:POSITION,float2 "
    "vTexCoord0:TEXCOORD0){VS_OUTPUT Output;Output.Position=mul(vPos, g_mProj);Output.TextureUV=vTexCoord0;return "
    "Output;}struct PS_OUTPUT{float4 RGBColor:COLOR0;};PS_OUTPUT RenderScenePS(VS_OUTPUT In){PS_OUTPUT "
    "Output;Output.RGBColor=tex2D(MeshTextureSampler,In.TextureUV);return Output;}technique{pass{VertexShader = "
    "compile vs_2_0 RenderSceneVS();PixelShader = compile ps_2_0 "
    "RenderScenePS();AlphaBlendEnable=TRUE;SrcBlend=SRCALPHA;DestBlend=INVSRCALPHA;}}";

inline constexpr const char kAlphaTestEffect[] =
    "texture g_Texture;float4x4 g_mProj;sampler MeshTextureSampler=sampler_state{Texture = <g_Texture>;"
    "MipFilter=LINEAR;MinFilter=LINEAR;MagFilter=LINEAR;AddressU=CLAMP;AddressV=CLAMP;};struct VS_OUTPUT{float4 "
    "Position:POSITION;float2 TextureUV:TEXCOORD0;};VS_OUTPUT RenderSceneVS(float4 vPos:POSITION,float2 "
    "vTexCoord0:TEXCOORD0){VS_OUTPUT Output;Output.Position=mul(vPos, g_mProj);Output.TextureUV=vTexCoord0;return "
    "Output;}struct PS_OUTPUT{float4 RGBColor:COLOR0;};PS_OUTPUT RenderScenePS(VS_OUTPUT In){PS_OUTPUT "
    "Output;Output.RGBColor=tex2D(MeshTextureSampler,In.TextureUV);return Output;}technique{pass{VertexShader = "
    "compile vs_2_0 RenderSceneVS();PixelShader = compile ps_2_0 "
    "RenderScenePS();AlphaTestEnable=TRUE;AlphaFunc=GREATER;AlphaRef=0x0000007F;}}";

// A lit, textured mesh effect with the parameters the mesh scene sets.
inline constexpr const char kMeshEffect[] = R"(// lit mesh
float4x4 g_mWorld : WORLD;
float4x4 g_mWorldViewProj : WORLDVIEWPROJECTION;
float3 g_dirToLight = {0.0, 1.0, 0.0};
float4 g_Diffuse < string UIName = "Diffuse colour"; > = {1.0, 0.5, 0.25, 1.0};
float g_Ambient = 0.2f;
texture g_MeshTexture;
sampler MeshSampler = sampler_state
{
    Texture = <g_MeshTexture>;
    MinFilter = LINEAR;
    MagFilter = LINEAR;
};

struct VS_INPUT { float4 pos : POSITION; float3 normal : NORMAL; float2 uv : TEXCOORD0; };
struct VS_OUTPUT { float4 pos : POSITION; float2 uv : TEXCOORD1; float4 color : COLOR0; };

VS_OUTPUT MeshVS(VS_INPUT i)
{
    VS_OUTPUT o;
    o.pos = mul(i.pos, g_mWorldViewProj);
    float3 n = normalize(mul(i.normal, (float3x3)g_mWorld));
    o.color = g_Diffuse * (g_Ambient + saturate(dot(n, g_dirToLight)));
    o.uv = i.uv;
    return o;
}

float4 MeshPS(float4 color : COLOR0, float2 uv : TEXCOORD1) : COLOR0
{
    return color * tex2D(MeshSampler, uv);
}

technique RenderScene < string Description = "lit"; >
{
    pass P0
    {
        VertexShader = compile vs_2_0 MeshVS();
        PixelShader = compile ps_2_0 MeshPS();
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        CullMode = CCW;
    }
}
)";

}  // namespace D3DX9Tests
