// ÿt

struct{  //e
}
y
;struct PU{
//
}
y;VOT BoneVS()
{
}oa5 BonePS() {v
}

techNique {
pass {
  VertexShader = compile vs_2_0 BoneVS(); PixelShader = compile ps_2_0 BonePS();
  }
}
