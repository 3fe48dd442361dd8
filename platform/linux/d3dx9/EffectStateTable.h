// The states an effect pass or sampler_state block may assign, by the names effect files use
// (the Direct3D names without their prefix, any case), and the values those states accept.
#pragma once

#include "EffectExpression.h"

#include <d3d9types.h>

#include <array>
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
    TextureOp,       // D3DTOP: Modulate, SelectArg1, ...
    TextureArg,      // D3DTA: Texture, Diffuse, ... with | Complement | AlphaReplicate
    TexCoordIndex,   // a number with | CameraSpaceNormal, ...
    TransformFlags,  // D3DTTFF: Disable, Count2, ... | Projected
    Color,           // a D3DCOLOR: a number, or a vector {r, g, b, a} / float4(...) in 0..1
    Vector,          // a float3/float4 of a light or material: {x, y, z, w}, float4(...) or a parameter
    Matrix,          // a float4x4 parameter
    LightType,       // POINT, SPOT, DIRECTIONAL
    VertexFormat,    // a number or D3DFVF names: XYZ | NORMAL | TEX1
    Wrap,            // D3DWRAP flags: COORD0 ... COORD3, U | V | W
    VertexBlend      // D3DVBF: DISABLE, 1WEIGHTS ... 3WEIGHTS, TWEENING, 0WEIGHTS
};

struct StateInfo {
    DWORD state = 0;  // D3DRENDERSTATETYPE, D3DTEXTURESTAGESTATETYPE or D3DSAMPLERSTATETYPE
    StateValueKind kind = StateValueKind::Dword;
};

// The fixed-function states that are not render, stage or sampler states.
enum class FixedStateGroup { Transform, Light, LightEnable, Material, VertexFormat };

// Light and material members, the `state` of Light and Material assignments.
enum LightMember : DWORD {
    kLightType,
    kLightDiffuse,
    kLightSpecular,
    kLightAmbient,
    kLightPosition,
    kLightDirection,
    kLightRange,
    kLightFalloff,
    kLightAttenuation0,
    kLightAttenuation1,
    kLightAttenuation2,
    kLightTheta,
    kLightPhi
};
enum MaterialMember : DWORD {
    kMaterialDiffuse,
    kMaterialAmbient,
    kMaterialSpecular,
    kMaterialEmissive,
    kMaterialPower
};

struct FixedStateInfo {
    FixedStateGroup group = FixedStateGroup::Transform;
    DWORD state = 0;       // Transform: the D3DTRANSFORMSTATETYPE of index 0; Light, Material: the member
    DWORD indexLimit = 1;  // indices accepted: 0 .. indexLimit - 1
    StateValueKind kind = StateValueKind::Dword;
};

bool FindRenderState(const std::string& name, StateInfo& info);
bool FindFixedFunctionState(const std::string& name, FixedStateInfo& info);
bool FindSamplerState(const std::string& name, StateInfo& info);
bool FindTextureStageState(const std::string& name, StateInfo& info);
// Why a state of the effect format is refused here (any case); null for any other name.
const char* RefusedStateReason(const std::string& name);

// The value as the device takes it; false when the text is not a value of that kind.
bool ParseStateValue(StateValueKind kind, const std::string& text, DWORD& value);
// A parameter's number as the device takes it for that kind of state.
DWORD NumberAsStateValue(StateValueKind kind, float number);
// `{a, b, c, d}`, `float4(a, b, c, d)` (any float1..4): up to four numbers, the rest filled as
// Direct3D widens a vector (0, 0, 0, 1); false when the text is not such a vector.
bool ParseVectorValue(const std::string& text, std::array<float, 4>& values);
// A colour in 0..1 as a D3DCOLOR, each channel clamped and rounded as D3DXCOLOR converts it.
DWORD VectorAsColor(const std::array<float, 4>& rgba);

// One of the kind's value names (any case: `CCW`, `Red`), as an expression reads it.
bool FindStateValueName(StateValueKind kind, const std::string& name, DWORD& value);
// Whether an expression of this type and shape can be the state's value: one number for most
// states, a vector too for a colour, up to four numbers (or one, widened) for a light or material
// vector, one or sixteen for a matrix; false with `error` saying what the state takes.
bool ExpressionFitsState(StateValueKind kind, const ExpressionValue& shape, std::string& error);
// An evaluated expression as the device takes it: a number (a bool state's nonzero is TRUE, a
// float state's bits are the float's), a colour's vector as a D3DCOLOR.
DWORD ExpressionAsStateValue(StateValueKind kind, const ExpressionValue& value);
// A vector state's four numbers: one number stands for all four; fewer than four are widened.
std::array<float, 4> ExpressionAsVector(const ExpressionValue& value);
// A matrix state's sixteen numbers, row after row: one number stands for all of them.
std::array<float, 16> ExpressionAsMatrix(const ExpressionValue& value);

}  // namespace nvesk::d3dx9
