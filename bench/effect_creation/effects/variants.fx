// One material in fourteen variants, as a game's material library keeps it: lit or unlit, with or
// without a texture, vertex colours, fog and skinning, each variant its own technique built from
// shared functions with compile-time arguments.

float4x4 World;
float4x4 ViewProjection;
float4x3 Bones[24];
float3 EyePosition;
float3 LightDirection = {0.0f, 1.0f, 0.0f};
float4 MaterialColour = {1, 1, 1, 1};
float3 LightColour = {1, 1, 1};
float3 Ambient = {0.2f, 0.2f, 0.2f};
float Shininess = 16;
float4 FogColour = {0.5f, 0.5f, 0.5f, 1};
float FogDensity = 0.02f;
texture Albedo;

sampler AlbedoSampler = sampler_state
{
    Texture = <Albedo>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Point;
};

struct Input
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
    float4 colour : COLOR0;
    float4 weights : BLENDWEIGHT;
    float4 indices : BLENDINDICES;
};

struct Output
{
    float4 position : POSITION;
    float4 colour : COLOR0;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float3 toEye : TEXCOORD2;
    float fog : TEXCOORD3;
};

float3 Skin(float4 position, float4 weights, float4 indices, int bones)
{
    float3 result = 0;
    int4 bone = D3DCOLORtoUBYTE4(indices);
    for (int i = 0; i < bones; i++)
        result += mul(position, Bones[bone[i]]) * weights[i];
    return result;
}

Output MaterialVS(Input input, uniform int bones, uniform bool vertexColour, uniform bool fog)
{
    Output output;
    float4 local = input.position;
    float3 normal = input.normal;
    if (bones > 0)
    {
        local = float4(Skin(input.position, input.weights, input.indices, bones), 1);
        normal = Skin(float4(input.normal, 0), input.weights, input.indices, bones);
    }
    float4 world = mul(local, World);
    output.position = mul(world, ViewProjection);
    output.normal = mul(normal, (float3x3)World);
    output.toEye = EyePosition - world.xyz;
    output.uv = input.uv;
    output.colour = vertexColour ? input.colour * MaterialColour : MaterialColour;
    output.fog = fog ? exp(-FogDensity * length(output.toEye)) : 1;
    return output;
}

float4 MaterialPS(Output input, uniform int lighting, uniform bool textured, uniform bool fog) : COLOR0
{
    float4 colour = input.colour;
    if (textured) colour *= tex2D(AlbedoSampler, input.uv);
    if (lighting > 0)
    {
        float3 n = normalize(input.normal);
        float3 l = normalize(LightDirection);
        float3 light = Ambient + LightColour * saturate(dot(n, l));
        if (lighting > 1)
        {
            float3 h = normalize(l + normalize(input.toEye));
            light += LightColour * pow(saturate(dot(n, h)), Shininess);
        }
        colour.rgb *= light;
    }
    if (fog) colour.rgb = lerp(FogColour.rgb, colour.rgb, input.fog);
    return colour;
}

#define VARIANT(name, bones, vertexColour, lighting, textured, fog)                  \
    technique name                                                                 \
    {                                                                              \
        pass P0                                                                    \
        {                                                                          \
            VertexShader = compile vs_2_0 MaterialVS(bones, vertexColour, fog);    \
            PixelShader = compile ps_2_0 MaterialPS(lighting, textured, fog);      \
            ZEnable = true;                                                        \
            CullMode = CCW;                                                        \
        }                                                                          \
    }

VARIANT(Unlit, 0, false, 0, false, false)
VARIANT(UnlitTextured, 0, false, 0, true, false)
VARIANT(UnlitVertexColour, 0, true, 0, false, false)
VARIANT(Diffuse, 0, false, 1, false, false)
VARIANT(DiffuseTextured, 0, false, 1, true, false)
VARIANT(DiffuseTexturedFog, 0, false, 1, true, true)
VARIANT(Specular, 0, false, 2, false, false)
VARIANT(SpecularTextured, 0, false, 2, true, false)
VARIANT(SpecularTexturedFog, 0, false, 2, true, true)
VARIANT(SpecularVertexColourFog, 0, true, 2, false, true)
VARIANT(SkinnedOneBone, 1, false, 1, true, false)
VARIANT(SkinnedTwoBones, 2, false, 1, true, false)
VARIANT(SkinnedFourBones, 4, false, 2, true, false)
VARIANT(SkinnedFourBonesFog, 4, false, 2, true, true)
