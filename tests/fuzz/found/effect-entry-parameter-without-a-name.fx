float4 Shared(float4 p) { return p; }
float4 VS(float4 :p : POSITION) : POSITION { return Shared(p); }
float4 PS(float4 c : COLOR0) : COLOR { return c; }
float4 Only10(float4 p) { float a[2] = (float[2])p.xy; return Shared(p) * g_Tex.Sample(s_State, a[0]); }
float4 VS10(float4 p : POSITION) : SV_Position { return Only10(p); }
SamplerState s_State { Filter = MIN_MAG_MIP_LINEAR; };
BlendState NoBlend < int a = 1; > { BlendEnable[0] = FALSE; };
VertexShader g_VS10 = CompileShader(vs_4_0, VS10());
technique10 T10 < string s = "x"; > { pass P { SetGeometryShader(0); SetVertexShader(g_VS1ששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששששש1);
  SetPixelShader(CompileShader(ps_4_0, VS())); } }
technique11 T11 { pass { SetVertexShader(CompileShader(vs_5_0, VS10())); } }
technique T9 { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_3_0 PS(); } }
