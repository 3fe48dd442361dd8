// The states an effect pass or sampler_state block may assign, by the names effect files use
// (the Direct3D names without their prefix, any case), and the values those states accept.
#pragma once

#include <d3d9types.h>

#include <string>

namespace nvesk::d3dx9 {

enum class StateValueKind {
    Dword,    // a number
    Float,    // a number stored as its float bits
    Bool,     // TRUE/FALSE or a number
    ZBuffer,  // TRUE/FALSE/USEW
    Fill,
    Shade,
    Blend,
    BlendOp,
    Compare,
    Cull,
    StencilOp,
    Fog,
    MaterialSource,
    ColorWrite,  // RED|GREEN|BLUE|ALPHA or a number
    Address,
    Filter,
    TextureOp,      // D3DTOP: Modulate, SelectArg1, ...
    TextureArg,     // D3DTA: Texture, Diffuse, ... with | Complement | AlphaReplicate
    TexCoordIndex,  // a number with | CameraSpaceNormal, ...
    TransformFlags  // D3DTTFF: Disable, Count2, ... | Projected
};

struct StateInfo {
    DWORD state = 0;  // D3DRENDERSTATETYPE, D3DTEXTURESTAGESTATETYPE or D3DSAMPLERSTATETYPE
    StateValueKind kind = StateValueKind::Dword;
};

bool FindRenderState(const std::string& name, StateInfo& info);
bool FindSamplerState(const std::string& name, StateInfo& info);
bool FindTextureStageState(const std::string& name, StateInfo& info);

// The value as the device takes it; false when the text is not a value of that kind.
bool ParseStateValue(StateValueKind kind, const std::string& text, DWORD& value);
// A parameter's number as the device takes it for that kind of state.
DWORD NumberAsStateValue(StateValueKind kind, float number);

}  // namespace nvesk::d3dx9
