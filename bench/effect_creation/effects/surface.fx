// A textured, normal-mapped surface lit per pixel by a sun and two point lights, with fog: the
// kind of material effect an artist's tool exports, in a shader model 2 and a shader model 3 form.

float4x4 World : WORLD;
float4x4 WorldViewProjection : WORLDVIEWPROJECTION;
float4x4 ViewInverse : VIEWINVERSE;

float3 SunDirection = {0.3f, 0.8f, 0.5f};
float3 SunColour = {1.0f, 0.95f, 0.85f};
float3 AmbientColour = {0.18f, 0.2f, 0.24f};
float4 PointLights[2] = {{2, 3, 1, 6}, {-3, 1, 2, 4}};  // xyz position, w range
float3 PointColours[2] = {{1.0f, 0.6f, 0.3f}, {0.3f, 0.5f, 1.0f}};
float SpecularPower <float UIMin = 1; float UIMax = 128;> = 32;
float SpecularAmount = 0.4f;
float BumpHeight = 1.0f;
float3 FogColour = {0.55f, 0.6f, 0.7f};
float2 FogRange = {20, 120};

texture DiffuseMap <string ResourceName = "stone.dds";>;
texture NormalMap <string ResourceName = "stone-normal.dds";>;

sampler2D DiffuseSampler = sampler_state
{
    Texture = <DiffuseMap>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

sampler2D NormalSampler = sampler_state
{
    Texture = <NormalMap>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
};

struct VertexIn
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float3 tangent : TANGENT;
    float3 binormal : BINORMAL;
    float2 uv : TEXCOORD0;
};

struct VertexOut
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float3 worldPosition : TEXCOORD1;
    float3 normal : TEXCOORD2;
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
    float3 toEye : TEXCOORD5;
    float fog : TEXCOORD6;
};

VertexOut SurfaceVS(VertexIn input)
{
    VertexOut output;
    output.position = mul(input.position, WorldViewProjection);
    float3 world = mul(input.position, World).xyz;
    output.worldPosition = world;
    output.uv = input.uv;
    output.normal = mul(input.normal, (float3x3)World);
    output.tangent = mul(input.tangent, (float3x3)World);
    output.binormal = mul(input.binormal, (float3x3)World);
    output.toEye = ViewInverse[3].xyz - world;
    float distance = length(output.toEye);
    output.fog = saturate((distance - FogRange.x) / (FogRange.y - FogRange.x));
    return output;
}

float3 Lighting(float3 n, float3 toLight, float3 toEye, float3 colour)
{
    float3 h = normalize(toLight + toEye);
    float diffuse = saturate(dot(n, toLight));
    float specular = pow(saturate(dot(n, h)), SpecularPower) * SpecularAmount;
    return colour * (diffuse + specular * (diffuse > 0));
}

float3 SurfaceNormal(VertexOut input)
{
    float3 bump = tex2D(NormalSampler, input.uv).xyz * 2 - 1;
    bump.xy *= BumpHeight;
    float3x3 tangentToWorld = float3x3(normalize(input.tangent), normalize(input.binormal), normalize(input.normal));
    return normalize(mul(bump, tangentToWorld));
}

float4 SurfacePS(VertexOut input, uniform int pointLights) : COLOR0
{
    float3 n = SurfaceNormal(input);
    float3 toEye = normalize(input.toEye);
    float3 light = AmbientColour + Lighting(n, normalize(SunDirection), toEye, SunColour);
    for (int i = 0; i < pointLights; i++)
    {
        float3 toLight = PointLights[i].xyz - input.worldPosition;
        float fall = saturate(1 - length(toLight) / PointLights[i].w);
        light += Lighting(n, normalize(toLight), toEye, PointColours[i]) * fall * fall;
    }
    float4 albedo = tex2D(DiffuseSampler, input.uv);
    return float4(lerp(albedo.rgb * light, FogColour, input.fog), albedo.a);
}

technique Surface_SM3
{
    pass Lit
    {
        VertexShader = compile vs_3_0 SurfaceVS();
        PixelShader = compile ps_3_0 SurfacePS(2);
        ZEnable = true;
        ZWriteEnable = true;
        CullMode = CCW;
        AlphaBlendEnable = false;
    }
}

technique Surface_SM2
{
    pass Lit
    {
        VertexShader = compile vs_2_0 SurfaceVS();
        PixelShader = compile ps_2_0 SurfacePS(1);
        ZEnable = true;
        ZWriteEnable = true;
        CullMode = CCW;
    }
}
