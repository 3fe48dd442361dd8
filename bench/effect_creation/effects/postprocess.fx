// A post-processing chain over a full-screen quad: bright-pass, two blur directions, combine with
// tone mapping, each a pass of one technique sharing one vertex shader.

texture SceneTexture;
texture BloomTexture;
float2 TexelSize = {1.0f / 800, 1.0f / 600};
float BloomThreshold = 0.7f;
float BloomIntensity = 1.2f;
float Exposure = 1.0f;
static const float Weights[7] = {0.0702f, 0.1311f, 0.1907f, 0.2161f, 0.1907f, 0.1311f, 0.0702f};

sampler SceneSampler = sampler_state
{
    Texture = <SceneTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler BloomSampler = sampler_state
{
    Texture = <BloomTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct QuadOut
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

QuadOut QuadVS(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    QuadOut output;
    output.position = position;
    output.uv = uv + 0.5f * TexelSize;  // texel centres on Direct3D 9
    return output;
}

float Luminance(float3 colour)
{
    return dot(colour, float3(0.2126f, 0.7152f, 0.0722f));
}

float4 BrightPS(float2 uv : TEXCOORD0) : COLOR0
{
    float3 colour = tex2D(SceneSampler, uv).rgb;
    return float4(colour * saturate((Luminance(colour) - BloomThreshold) / (1 - BloomThreshold)), 1);
}

float4 BlurPS(float2 uv : TEXCOORD0, uniform float2 direction) : COLOR0
{
    float3 sum = 0;
    for (int i = 0; i < 7; i++)
        sum += tex2D(BloomSampler, uv + (i - 3) * direction * TexelSize).rgb * Weights[i];
    return float4(sum, 1);
}

float4 CombinePS(float2 uv : TEXCOORD0) : COLOR0
{
    float3 colour = tex2D(SceneSampler, uv).rgb + tex2D(BloomSampler, uv).rgb * BloomIntensity;
    colour *= Exposure;
    colour = colour / (1 + Luminance(colour));  // Reinhard
    return float4(pow(saturate(colour), 1 / 2.2f), 1);
}

technique Bloom
{
    pass BrightPass
    {
        VertexShader = compile vs_2_0 QuadVS();
        PixelShader = compile ps_2_0 BrightPS();
        ZEnable = false;
        AlphaBlendEnable = false;
    }
    pass BlurHorizontal
    {
        VertexShader = compile vs_2_0 QuadVS();
        PixelShader = compile ps_2_0 BlurPS(float2(1, 0));
    }
    pass BlurVertical
    {
        VertexShader = compile vs_2_0 QuadVS();
        PixelShader = compile ps_2_0 BlurPS(float2(0, 1));
    }
    pass Combine
    {
        VertexShader = compile vs_2_0 QuadVS();
        PixelShader = compile ps_2_0 CombinePS();
    }
}
