vs_1_1
dcl_position v0
dcl_normal v1
dcl_texcoord0 v2
def c95, 1, 0.5, 0, -1
m4x4 oPos, v0, c0
dp3 r0.x, v1, c4
max r0.x, r0.x, c95.z
mul oD0, r0.x, c5
mov a0.x, c95.y
mov oT0.xy, c[a0.x + 6].yx
expp oFog, -v2.w ; fog from w
