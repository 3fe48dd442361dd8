vs_2_0
dcl_position v0
defi i0, 4, 0, 1, 0
defb b1, true
mov r0, c0
loop aL, i0
  add r0, r0, c[aL + 8]
endloop
if b1
  call l1
else
  callnz l1, !b1
endif
mova a0.x, r0.x
sincos r1.xy, r0.x, c1, c2
mov oPos, r0
ret
label l1
  nrm r1, -r0
ret
