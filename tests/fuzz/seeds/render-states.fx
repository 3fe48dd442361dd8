#define TINT float3(1.0, 0.9, 0.8)
texture g_Texture < string ResourceName = "ziemia.bmp"; >;
float4x4 g_mProj : PROJECTION;
float4 g_Fog = {0.1, 0.2, 0.3, 1.0};
sampler WrapSampler = sampler_state
{
    Texture = <g_Texture>;
    MipFilter = POINT; MinFilter = ANISOTROPIC; MagFilter = LINEAR;
    AddressU = WRAP; AddressV = MIRROR; AddressW = BORDER; BorderColor = 0x00FF00FF; MaxAnisotropy = 4;
};
struct VS_OUTPUT { float4 Position : POSITION; float2 TextureUV : TEXCOORD0; float4 Tint : COLOR0; };
VS_OUTPUT RenderSceneVS(float4 vPos : POSITION, float2 vTexCoord0 : TEXCOORD0)
{
    VS_OUTPUT Output;
    Output.Position = mul(vPos, g_mProj);
    Output.TextureUV = vTexCoord0;
    Output.Tint = float4(TINT, 1);
    return Output;
}
#if 1
float4 RenderScenePS(VS_OUTPUT In) : COLOR0 { return tex2D(WrapSampler, In.TextureUV) * In.Tint + g_Fog * 0.0; }
#else
float4 RenderScenePS() : COLOR0 { return 0; }
#endif
technique Blended
{
    pass Over
    {
        VertexShader = compile vs_2_0 RenderSceneVS();
        PixelShader = compile ps_2_0 RenderScenePS();
        AlphaBlendEnable = TRUE; SrcBlend = SRCALPHA; DestBlend = INVSRCALPHA; BlendOp = ADD;
        AlphaTestEnable = TRUE; AlphaFunc = GREATER; AlphaRef = 0x0000007F;
        CullMode = NONE; ZWriteEnable = false; FillMode = WIREFRAME; FogEnable = TRUE; FogColor = 0x00808080;
        StencilEnable = TRUE; StencilFunc = ALWAYS; StencilPass = REPLACE; StencilRef = 1;
        ColorWriteEnable = RED | GREEN | BLUE; Lighting = FALSE;
    }
}
