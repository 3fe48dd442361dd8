// NVesk mesh scene: bone-ivory surface lit by one directional light, darkened in its creases by the
// ambient occlusion baked into the mesh's vertex colours.

float4x4 g_mWorld;          // object to world space
float4x4 g_mWorldViewProj;  // object to clip space
float3 g_dirToLight;        // world-space direction towards the light

struct VS_INPUT
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float4 occlusion : COLOR0;  // baked ambient occlusion, grey
};

struct VS_OUTPUT
{
    float4 position : POSITION;
    float3 normal : TEXCOORD0;  // world space
    float4 occlusion : COLOR0;
};

VS_OUTPUT BoneVS(VS_INPUT input)
{
    VS_OUTPUT output;
    output.position = mul(input.position, g_mWorldViewProj);
    output.normal = mul(input.normal, (float3x3)g_mWorld);
    output.occlusion = input.occlusion;
    return output;
}

float4 BonePS(float3 normal : TEXCOORD0, float4 occlusion : COLOR0) : COLOR0
{
    float3 n = normalize(normal);
    float3 l = normalize(g_dirToLight);
    // Wrapped diffuse: a soft terminator, as light scatters a little into bone.
    float diffuse = saturate((dot(n, l) + 0.25) / 1.25);
    // Sky above, warm bounce below: the side away from the light keeps its shape.
    float3 ambient = lerp(float3(0.14, 0.11, 0.09), float3(0.26, 0.28, 0.34), n.y * 0.5 + 0.5);
    float3 ivory = float3(0.95, 0.88, 0.74);
    float3 colour = ivory * (ambient + diffuse * float3(1.0, 0.96, 0.88)) * occlusion.rgb;
    return float4(colour, 1.0);
}

technique Bone
{
    pass P0
    {
        VertexShader = compile vs_2_0 BoneVS();
        PixelShader = compile ps_2_0 BonePS();
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        CullMode = CCW;
    }
}
