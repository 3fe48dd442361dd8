// The passes of lit.asm.fx in HLSL.
float4x4 g_WorldViewProj;
float4x4 g_World;
float4 g_LightDirection = {0.0, 0.6, -0.8, 0.0};
float4 g_Tint = {1.0, 0.9, 0.8, 1.0};
texture g_Texture;
sampler g_Sampler = sampler_state { Texture = <g_Texture>; MinFilter = Linear; MagFilter = Linear; };

struct Lit {
    float4 position : POSITION;
    float4 diffuse : COLOR0;
    float2 uv : TEXCOORD0;
};

Lit LitVertex(float4 position : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0) {
    Lit output;
    output.position = mul(position, g_WorldViewProj);
    const float3 turned = normalize(mul(normal, (float3x3)g_World));
    output.diffuse = max(dot(turned, g_LightDirection.xyz), 0);
    output.uv = uv;
    return output;
}

void UnlitVertex(float4 position : POSITION, float2 uv : TEXCOORD0, out float4 clip : POSITION,
                 out float2 uvOut : TEXCOORD0) {
    clip = mul(position, g_WorldViewProj);
    uvOut = uv;
}

float4 LitPixel(float4 diffuse : COLOR0, float2 uv : TEXCOORD0) : COLOR0 {
    return tex2D(g_Sampler, uv) * diffuse * g_Tint;
}

float4 UnlitPixel(float2 uv : TEXCOORD0) : COLOR0 {
    return tex2D(g_Sampler, uv);
}

technique ShaderModelOne {
    pass Lit {
        VertexShader = compile vs_1_1 LitVertex();
        PixelShader = compile ps_1_1 LitPixel();
    }
    pass Unlit {
        VertexShader = compile vs_1_1 UnlitVertex();
        PixelShader = compile ps_1_1 UnlitPixel();
    }
}

technique ShaderModelTwo {
    pass Lit {
        VertexShader = compile vs_2_0 LitVertex();
        PixelShader = compile ps_2_0 LitPixel();
    }
    pass Unlit {
        VertexShader = compile vs_2_0 UnlitVertex();
        PixelShader = compile ps_2_0 UnlitPixel();
    }
}
