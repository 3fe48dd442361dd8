#include "RenderStates.h"
#include "com/Diagnostics.h"

#include "Conversions.h"

#include <epoxy/gl.h>

#include <cstring>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

enum class Handling { Applied, Stored, DefaultOnly };

struct StateInfo {
    D3DRENDERSTATETYPE state;
    DWORD defaultValue;
    Handling handling;
    DWORD firstValid;  // enumerated states: valid range; 0/0xFFFFFFFF for any value
    DWORD lastValid;
};

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float BitsFloat(DWORD bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

constexpr DWORD kAny = 0xFFFFFFFF;

const StateInfo kStates[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE, Handling::Applied, D3DZB_FALSE, D3DZB_TRUE},
    {D3DRS_FILLMODE, D3DFILL_SOLID, Handling::Applied, D3DFILL_POINT, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD, Handling::DefaultOnly, 0, kAny},
    {D3DRS_ZWRITEENABLE, TRUE, Handling::Applied, 0, kAny},
    {D3DRS_ALPHATESTENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_LASTPIXEL, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_SRCBLEND, D3DBLEND_ONE, Handling::Applied, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO, Handling::Applied, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
    {D3DRS_CULLMODE, D3DCULL_CCW, Handling::Applied, D3DCULL_NONE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL, Handling::Applied, D3DCMP_NEVER, D3DCMP_ALWAYS},
    {D3DRS_ALPHAREF, 0, Handling::Applied, 0, 0xFF},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS, Handling::Applied, D3DCMP_NEVER, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_ALPHABLENDENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_FOGENABLE, FALSE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_SPECULARENABLE, FALSE, Handling::Stored, 0, kAny},
    {D3DRS_FOGCOLOR, 0, Handling::Stored, 0, kAny},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_FOGSTART, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_FOGEND, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_FOGDENSITY, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_RANGEFOGENABLE, FALSE, Handling::Stored, 0, kAny},
    {D3DRS_STENCILENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS, Handling::Applied, D3DCMP_NEVER, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0, Handling::Applied, 0, kAny},
    {D3DRS_STENCILMASK, 0xFFFFFFFF, Handling::Applied, 0, kAny},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF, Handling::Applied, 0, kAny},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF, Handling::Stored, 0, kAny},
    {D3DRS_WRAP0, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP1, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP2, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP3, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP4, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP5, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP6, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP7, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_CLIPPING, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_LIGHTING, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_AMBIENT, 0, Handling::Stored, 0, kAny},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE, Handling::Stored, 0, kAny},
    {D3DRS_COLORVERTEX, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_LOCALVIEWER, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_NORMALIZENORMALS, FALSE, Handling::Stored, 0, kAny},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1, Handling::Stored, 0, kAny},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2, Handling::Stored, 0, kAny},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL, Handling::Stored, 0, kAny},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL, Handling::Stored, 0, kAny},
    {D3DRS_VERTEXBLEND, D3DVBF_DISABLE, Handling::Stored, 0, kAny},
    {D3DRS_CLIPPLANEENABLE, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_POINTSIZE, FloatBits(1.0f), Handling::DefaultOnly, 0, kAny},
    {D3DRS_POINTSIZE_MIN, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_POINTSPRITEENABLE, FALSE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_POINTSCALEENABLE, FALSE, Handling::Stored, 0, kAny},
    {D3DRS_POINTSCALE_A, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_POINTSCALE_B, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_POINTSCALE_C, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE, Handling::Stored, 0, kAny},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF, Handling::Stored, 0, kAny},
    {D3DRS_PATCHEDGESTYLE, D3DPATCHEDGE_DISCRETE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_DEBUGMONITORTOKEN, D3DDMT_ENABLE, Handling::Stored, 0, kAny},
    {D3DRS_POINTSIZE_MAX, FloatBits(64.0f), Handling::Stored, 0, kAny},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE, Handling::Stored, 0, kAny},
    {D3DRS_COLORWRITEENABLE, 0x0000000F, Handling::Applied, 0, 0xF},
    {D3DRS_TWEENFACTOR, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD, Handling::Applied, D3DBLENDOP_ADD, D3DBLENDOP_MAX},
    {D3DRS_POSITIONDEGREE, D3DDEGREE_CUBIC, Handling::Stored, 0, kAny},
    {D3DRS_NORMALDEGREE, D3DDEGREE_LINEAR, Handling::Stored, 0, kAny},
    {D3DRS_SCISSORTESTENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_SLOPESCALEDEPTHBIAS, 0, Handling::Applied, 0, kAny},
    {D3DRS_ANTIALIASEDLINEENABLE, FALSE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_MINTESSELLATIONLEVEL, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_MAXTESSELLATIONLEVEL, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_ADAPTIVETESS_X, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_ADAPTIVETESS_Y, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_ADAPTIVETESS_Z, FloatBits(1.0f), Handling::Stored, 0, kAny},
    {D3DRS_ADAPTIVETESS_W, FloatBits(0.0f), Handling::Stored, 0, kAny},
    {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_TWOSIDEDSTENCILMODE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP, Handling::Applied, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS, Handling::Applied, D3DCMP_NEVER, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0x0000000F, Handling::Stored, 0, 0xF},
    {D3DRS_COLORWRITEENABLE2, 0x0000000F, Handling::Stored, 0, 0xF},
    {D3DRS_COLORWRITEENABLE3, 0x0000000F, Handling::Stored, 0, 0xF},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFF, Handling::Applied, 0, kAny},
    {D3DRS_SRGBWRITEENABLE, FALSE, Handling::DefaultOnly, 0, kAny},
    {D3DRS_DEPTHBIAS, 0, Handling::Applied, 0, kAny},
    {D3DRS_WRAP8, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP9, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP10, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP11, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP12, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP13, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP14, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_WRAP15, 0, Handling::DefaultOnly, 0, kAny},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE, Handling::Applied, 0, kAny},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE, Handling::Applied, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO, Handling::Applied, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD, Handling::Applied, D3DBLENDOP_ADD, D3DBLENDOP_MAX},
};

const StateInfo* FindState(D3DRENDERSTATETYPE state) {
    for (const StateInfo& info : kStates) {
        if (info.state == state) {
            return &info;
        }
    }
    return nullptr;
}

GLenum BlendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum BlendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum CompareFunction(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum StencilOperation(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

void SetEnabled(GLenum capability, bool enabled) {
    if (enabled) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

}  // namespace

void RenderStates::Reset(bool hasDepthBuffer, bool hasStencil, bool hasAlpha) {
    hasDepthBuffer_ = hasDepthBuffer;
    hasStencil_ = hasStencil;
    hasAlpha_ = hasAlpha;
    values_.fill(0);
    for (const StateInfo& info : kStates) {
        values_[info.state] = info.defaultValue;
    }
    values_[D3DRS_ZENABLE] = hasDepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
}

HRESULT RenderStates::Set(D3DRENDERSTATETYPE state, DWORD value) {
    const StateInfo* info = FindState(state);
    if (info == nullptr) {
        return Reject("info is null");
    }
    if (info->lastValid != kAny && (value < info->firstValid || value > info->lastValid)) {
        // Legacy blend factors stand for SRCALPHA/INVSRCALPHA pairs.
        const bool legacyBlend = (state == D3DRS_SRCBLEND || state == D3DRS_DESTBLEND) &&
                                 (value == D3DBLEND_BOTHSRCALPHA || value == D3DBLEND_BOTHINVSRCALPHA);
        if (!legacyBlend) {
            return Reject("a state this device does not offer");
        }
    }
    if (info->handling == Handling::DefaultOnly && value != info->defaultValue) {
        return D3DERR_NOTAVAILABLE;
    }
    if (state == D3DRS_ZENABLE && value == D3DZB_USEW) {
        return D3DERR_NOTAVAILABLE;
    }
    values_[state] = value;
    if (info->handling == Handling::Applied) {
        Apply(state);
    }
    return D3D_OK;
}

HRESULT RenderStates::Get(D3DRENDERSTATETYPE state, DWORD* value) const {
    if (value == nullptr || FindState(state) == nullptr) {
        return Reject("value is null, or no such render state");
    }
    *value = values_[state];
    return D3D_OK;
}

void RenderStates::ApplyAll() const {
    ApplyBlend();
    ApplyDepth();
    ApplyStencil();
    ApplyCull();
    ApplyDepthBias();
    Apply(D3DRS_FILLMODE);
    Apply(D3DRS_DITHERENABLE);
    Apply(D3DRS_COLORWRITEENABLE);
    Apply(D3DRS_SCISSORTESTENABLE);
}

void RenderStates::Apply(D3DRENDERSTATETYPE state) const {
    switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
        ApplyDepth();
        break;
    case D3DRS_FILLMODE: {
        const DWORD mode = values_[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, mode == D3DFILL_POINT       ? GL_POINT
                                         : mode == D3DFILL_WIREFRAME ? GL_LINE
                                                                     : GL_FILL);
        break;
    }
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_BLENDOP:
    case D3DRS_BLENDFACTOR:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA:
        ApplyBlend();
        break;
    case D3DRS_CULLMODE:
        ApplyCull();
        ApplyStencil();  // which GL face is clockwise follows the cull mode
        break;
    case D3DRS_DITHERENABLE:
        SetEnabled(GL_DITHER, values_[D3DRS_DITHERENABLE] != FALSE);
        break;
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_TWOSIDEDSTENCILMODE:
    case D3DRS_CCW_STENCILFAIL:
    case D3DRS_CCW_STENCILZFAIL:
    case D3DRS_CCW_STENCILPASS:
    case D3DRS_CCW_STENCILFUNC:
        ApplyStencil();
        break;
    case D3DRS_COLORWRITEENABLE: {
        const DWORD mask = values_[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (mask & D3DCOLORWRITEENABLE_BLUE) != 0, hasAlpha_ && (mask & D3DCOLORWRITEENABLE_ALPHA) != 0);
        break;
    }
    case D3DRS_SCISSORTESTENABLE:
        SetEnabled(GL_SCISSOR_TEST, values_[D3DRS_SCISSORTESTENABLE] != FALSE);
        break;
    case D3DRS_DEPTHBIAS:
    case D3DRS_SLOPESCALEDEPTHBIAS:
        ApplyDepthBias();
        break;
    default:
        // Alpha test states reach the fragment shader at draw time.
        break;
    }
}

void RenderStates::ApplyBlend() const {
    SetEnabled(GL_BLEND, values_[D3DRS_ALPHABLENDENABLE] != FALSE);
    DWORD source = values_[D3DRS_SRCBLEND];
    DWORD destination = values_[D3DRS_DESTBLEND];
    if (source == D3DBLEND_BOTHSRCALPHA) {
        source = D3DBLEND_SRCALPHA;
        destination = D3DBLEND_INVSRCALPHA;
    } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
        source = D3DBLEND_INVSRCALPHA;
        destination = D3DBLEND_SRCALPHA;
    }
    DWORD sourceAlpha = source;
    DWORD destinationAlpha = destination;
    DWORD operationAlpha = values_[D3DRS_BLENDOP];
    if (values_[D3DRS_SEPARATEALPHABLENDENABLE] != FALSE) {
        sourceAlpha = values_[D3DRS_SRCBLENDALPHA];
        destinationAlpha = values_[D3DRS_DESTBLENDALPHA];
        operationAlpha = values_[D3DRS_BLENDOPALPHA];
    }
    glBlendFuncSeparate(BlendFactor(source), BlendFactor(destination), BlendFactor(sourceAlpha),
                        BlendFactor(destinationAlpha));
    glBlendEquationSeparate(BlendEquation(values_[D3DRS_BLENDOP]), BlendEquation(operationAlpha));
    const DWORD factor = values_[D3DRS_BLENDFACTOR];
    const std::array<float, 4> rgba = ColorToFloats(factor);
    glBlendColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void RenderStates::ApplyDepth() const {
    SetEnabled(GL_DEPTH_TEST, hasDepthBuffer_ && values_[D3DRS_ZENABLE] != D3DZB_FALSE);
    glDepthMask(values_[D3DRS_ZWRITEENABLE] != FALSE ? GL_TRUE : GL_FALSE);
    glDepthFunc(CompareFunction(values_[D3DRS_ZFUNC]));
}

void RenderStates::ApplyStencil() const {
    SetEnabled(GL_STENCIL_TEST, hasStencil_ && values_[D3DRS_STENCILENABLE] != FALSE);
    const GLint reference = static_cast<GLint>(values_[D3DRS_STENCILREF]);
    const GLuint mask = values_[D3DRS_STENCILMASK];
    const bool twoSided = values_[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
    // The GL face of clockwise triangles follows the cull mode (see ApplyCull).
    const GLenum clockwise = ClockwiseFace();
    const GLenum counterclockwise = clockwise == GL_FRONT ? GL_BACK : GL_FRONT;
    glStencilFuncSeparate(clockwise, CompareFunction(values_[D3DRS_STENCILFUNC]), reference, mask);
    glStencilOpSeparate(clockwise, StencilOperation(values_[D3DRS_STENCILFAIL]),
                        StencilOperation(values_[D3DRS_STENCILZFAIL]), StencilOperation(values_[D3DRS_STENCILPASS]));
    const D3DRENDERSTATETYPE backFunc = twoSided ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC;
    const D3DRENDERSTATETYPE backFail = twoSided ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL;
    const D3DRENDERSTATETYPE backDepthFail = twoSided ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL;
    const D3DRENDERSTATETYPE backPass = twoSided ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS;
    glStencilFuncSeparate(counterclockwise, CompareFunction(values_[backFunc]), reference, mask);
    glStencilOpSeparate(counterclockwise, StencilOperation(values_[backFail]), StencilOperation(values_[backDepthFail]),
                        StencilOperation(values_[backPass]));
    glStencilMask(values_[D3DRS_STENCILWRITEMASK]);
}

unsigned int RenderStates::ClockwiseFace() const {
    return values_[D3DRS_CULLMODE] == D3DCULL_CW ? GL_BACK : GL_FRONT;
}

void RenderStates::ApplyCull() const {
    // In the upper-left clip space, GL's clockwise faces are Direct3D's clockwise triangles. The
    // cull mode names the back faces (D3DCULL_CW: the clockwise ones), and a pixel shader's VFACE
    // (gl_FrontFacing) follows it: clockwise triangles are front faces unless D3DCULL_CW.
    glFrontFace(ClockwiseFace() == GL_FRONT ? GL_CW : GL_CCW);
    SetEnabled(GL_CULL_FACE, values_[D3DRS_CULLMODE] != D3DCULL_NONE);
    glCullFace(GL_BACK);
}

void RenderStates::ApplyDepthBias() const {
    const float bias = BitsFloat(values_[D3DRS_DEPTHBIAS]);
    const float slope = BitsFloat(values_[D3DRS_SLOPESCALEDEPTHBIAS]);
    const bool enabled = bias != 0.0f || slope != 0.0f;
    SetEnabled(GL_POLYGON_OFFSET_FILL, enabled);
    SetEnabled(GL_POLYGON_OFFSET_LINE, enabled);
    SetEnabled(GL_POLYGON_OFFSET_POINT, enabled);
    // Direct3D's bias is in depth units; GL's units are the smallest resolvable step (2^-24 at 24 bits).
    glPolygonOffset(slope, bias * 16777216.0f);
}

DWORD RenderStates::AlphaFunction() const {
    return values_[D3DRS_ALPHATESTENABLE] != FALSE ? values_[D3DRS_ALPHAFUNC] : static_cast<DWORD>(D3DCMP_ALWAYS);
}

float RenderStates::AlphaReference() const {
    return static_cast<float>(values_[D3DRS_ALPHAREF] & 0xFF);
}

void RenderStates::OpenWriteMasks() const {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
}

void RenderStates::RestoreWriteMasks() const {
    Apply(D3DRS_COLORWRITEENABLE);
    glDepthMask(values_[D3DRS_ZWRITEENABLE] != FALSE ? GL_TRUE : GL_FALSE);
    glStencilMask(values_[D3DRS_STENCILWRITEMASK]);
}

}  // namespace nvesk::d3d9
