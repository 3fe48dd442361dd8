vs_3_0
dcl_position v0
dcl_texcoord2 v1
dcl_position o0
dcl_texcoord0 o1.xy
dcl_texcoord1 o1.zw
dcl_2d s0
texldl r0, v1, s0
mov_sat r1, r0_abs
loop aL, i0
  mov o[aL + 1], v[aL]
endloop
sincos r2.xy, r0.w
sgn r3, -r0
mov o0, v0
