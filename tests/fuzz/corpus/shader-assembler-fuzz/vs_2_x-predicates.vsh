vs_2_x
dcl_position v0
setp_ge p0, v0, c0
(p0) mov r20, v0
(!p0.y) mov r20, c1
if_lt r20.x, c2.y
  rep i1
    break_eq r20.y, c3.x
    breakp !p0.z
  endrep
endif
mov oPos, r20
