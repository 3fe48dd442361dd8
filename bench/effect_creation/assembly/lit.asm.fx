// Four passes of a lit, textured surface, written in the effect's assembly language; lit.hlsl.fx
// holds the same passes in HLSL.
float4x4 g_WorldViewProj;
float4x4 g_World;
float4 g_LightDirection = {0.0, 0.6, -0.8, 0.0};
float4 g_Tint = {1.0, 0.9, 0.8, 1.0};
texture g_Texture;
sampler g_Sampler = sampler_state { Texture = <g_Texture>; MinFilter = Linear; MagFilter = Linear; };

technique ShaderModelOne {
    pass Lit {
        VertexShaderConstant4[0] = <g_WorldViewProj>;
        VertexShaderConstant4[4] = <g_World>;
        VertexShaderConstant1[8] = <g_LightDirection>;
        VertexShader = asm {
            vs_1_1
            def c9, 0, 0, 0, 0
            dcl_position v0
            dcl_normal v1
            dcl_texcoord v2
            m4x4 oPos, v0, c0
            m3x3 r0.xyz, v1, c4
            dp3 r1.x, r0, r0
            rsq r1.x, r1.x
            mul r0.xyz, r0, r1.x
            dp3 r2.x, r0, c8
            max oD0, r2.x, c9.x
            mov oT0, v2
        };
        PixelShaderConstant1[0] = <g_Tint>;
        Texture[0] = <g_Texture>;
        PixelShader = asm {
            ps_1_1
            tex t0
            mul r0, t0, v0
            mul r0, r0, c0
        };
    }
    pass Unlit {
        VertexShaderConstant4[0] = <g_WorldViewProj>;
        VertexShader = asm {
            vs_1_1
            dcl_position v0
            dcl_texcoord v2
            m4x4 oPos, v0, c0
            mov oT0, v2
        };
        Texture[0] = <g_Texture>;
        PixelShader = asm {
            ps_1_1
            tex t0
            mov r0, t0
        };
    }
}

technique ShaderModelTwo {
    pass Lit {
        VertexShaderConstant4[0] = <g_WorldViewProj>;
        VertexShaderConstant4[4] = <g_World>;
        VertexShaderConstant1[8] = <g_LightDirection>;
        VertexShader = asm {
            vs_2_0
            def c9, 0, 0, 0, 0
            dcl_position v0
            dcl_normal v1
            dcl_texcoord v2
            m4x4 oPos, v0, c0
            m3x3 r0.xyz, v1, c4
            nrm r1.xyz, r0
            dp3 r2.x, r1, c8
            max oD0, r2.x, c9.x
            mov oT0, v2
        };
        PixelShaderConstant1[0] = <g_Tint>;
        Sampler[0] = <g_Sampler>;
        PixelShader = asm {
            ps_2_0
            dcl t0.xy
            dcl v0
            dcl_2d s0
            texld r0, t0, s0
            mul r0, r0, v0
            mul r0, r0, c0
            mov oC0, r0
        };
    }
    pass Unlit {
        VertexShaderConstant4[0] = <g_WorldViewProj>;
        VertexShader = asm {
            vs_2_0
            dcl_position v0
            dcl_texcoord v2
            m4x4 oPos, v0, c0
            mov oT0, v2
        };
        Sampler[0] = <g_Sampler>;
        PixelShader = asm {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mov oC0, r0
        };
    }
}
