// Passes with compiled, null, absent and picked shaders; int and bool globals; annotations.
int g_Pick = 1;
bool g_Bright < string UIName = "Bright"; int UIOrder = 2; > = true;
float g_Scale[3] = {1.0, 0.5, 0.25};
static const int kSteps = 2;
float4 VS(float4 p : POSITION, uniform bool bright, uniform int steps) : POSITION
{
    float a[4] = (float[4])p;
    return bright ? p * g_Scale[steps] : float4(a[0], a[1], a[2], 1);
}
float4 PS(float2 uv : TEXCOORD0) : COLOR { return float4(uv, 0, 1); }
VertexShader g_Shaders[2] = { compile vs_2_0 VS(true, 2), compile vs_2_0 VS(false, 1 + 0) };
PixelShader g_One = compile ps_2_0 PS();
technique T < string Mode = "all"; >
{
    pass Picked { VertexShader = (g_Shaders[g_Pick]); PixelShader = (g_One); }
    pass Both { VertexShader = compile vs_2_0 VS(false, kSteps); PixelShader = compile ps_2_0 PS(); }
    pass NullVertex { VertexShader = NULL; PixelShader = <g_One>; }
    pass StatesOnly { ZEnable = FALSE; Sampler[0] = (g_Sampler); Texture[1] = <g_T>; }
    pass Empty { }
}
technique Second { pass { VertexShader = 0; PixelShader = compile ps_2_0 PS(); } }
