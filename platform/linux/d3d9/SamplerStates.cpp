#include "SamplerStates.h"
#include "com/Diagnostics.h"

#include "Conversions.h"

#include <epoxy/gl.h>

#include <cstring>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

GLenum WrapMode(DWORD address) {
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
        return GL_MIRROR_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

GLenum MinificationFilter(DWORD minFilter, DWORD mipFilter) {
    const bool linear = minFilter != D3DTEXF_POINT && minFilter != D3DTEXF_NONE;
    switch (mipFilter) {
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

bool IsFilter(DWORD value) {
    return value <= D3DTEXF_ANISOTROPIC || (value >= D3DTEXF_PYRAMIDALQUAD && value <= D3DTEXF_CONVOLUTIONMONO);
}

}  // namespace

int SamplerStates::UnitOf(DWORD sampler) {
    if (sampler < 16) {
        return static_cast<int>(sampler);
    }
    if (sampler >= D3DVERTEXTEXTURESAMPLER0 && sampler < D3DVERTEXTEXTURESAMPLER0 + 4) {
        return static_cast<int>(16 + sampler - D3DVERTEXTEXTURESAMPLER0);
    }
    return -1;
}

void SamplerStates::Create() {
    glCreateSamplers(static_cast<GLsizei>(kUnitCount), samplers_.data());
    anisotropy_ = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                  epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    for (UINT unit = 0; unit < kUnitCount; ++unit) {
        glBindSampler(unit, samplers_[unit]);
    }
    Reset();
}

void SamplerStates::Destroy() {
    if (samplers_[0] != 0) {
        glDeleteSamplers(static_cast<GLsizei>(kUnitCount), samplers_.data());
        samplers_.fill(0);
    }
}

void SamplerStates::Reset() {
    for (UINT unit = 0; unit < kUnitCount; ++unit) {
        auto& states = values_[unit];
        states.fill(0);
        states[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        states[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        states[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        states[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        states[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        states[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        states[D3DSAMP_MAXANISOTROPY] = 1;
        Apply(unit);
    }
}

HRESULT SamplerStates::Set(UINT unit, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (unit >= kUnitCount || type < D3DSAMP_ADDRESSU || type > D3DSAMP_DMAPOFFSET) {
        return Reject("no such sampler or sampler state");
    }
    switch (type) {
    case D3DSAMP_ADDRESSU:
    case D3DSAMP_ADDRESSV:
    case D3DSAMP_ADDRESSW:
        if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_MIRRORONCE) {
            return Reject("not a texture address mode");
        }
        break;
    case D3DSAMP_MAGFILTER:
    case D3DSAMP_MINFILTER:
    case D3DSAMP_MIPFILTER:
        if (!IsFilter(value)) {
            return Reject("not a texture filter");
        }
        if (value > D3DTEXF_ANISOTROPIC || (type == D3DSAMP_MIPFILTER && value == D3DTEXF_ANISOTROPIC)) {
            return D3DERR_NOTAVAILABLE;
        }
        break;
    case D3DSAMP_SRGBTEXTURE:
        if (value != FALSE) {
            return D3DERR_NOTAVAILABLE;
        }
        break;
    default:
        break;
    }
    values_[unit][type] = value;
    Apply(unit);
    return D3D_OK;
}

void SamplerStates::Apply(UINT unit) const {
    const GLuint sampler = samplers_[unit];
    if (sampler == 0) {
        return;
    }
    const auto& states = values_[unit];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapMode(states[D3DSAMP_ADDRESSU])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapMode(states[D3DSAMP_ADDRESSV])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, static_cast<GLint>(WrapMode(states[D3DSAMP_ADDRESSW])));
    const DWORD border = states[D3DSAMP_BORDERCOLOR];
    const std::array<float, 4> borderColor = ColorToFloats(border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, borderColor.data());
    const DWORD magFilter = states[D3DSAMP_MAGFILTER];
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        magFilter == D3DTEXF_POINT || magFilter == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        static_cast<GLint>(MinificationFilter(states[D3DSAMP_MINFILTER], states[D3DSAMP_MIPFILTER])));
    float lodBias;
    std::memcpy(&lodBias, &states[D3DSAMP_MIPMAPLODBIAS], sizeof(lodBias));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, lodBias);
    // MAXMIPLEVEL names the most detailed level used.
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(states[D3DSAMP_MAXMIPLEVEL]));
    if (anisotropy_) {
        const bool anisotropic =
            states[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || states[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        const DWORD maximum = states[D3DSAMP_MAXANISOTROPY] == 0 ? 1 : states[D3DSAMP_MAXANISOTROPY];
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, anisotropic ? static_cast<float>(maximum) : 1.0f);
    }
}

}  // namespace nvesk::d3d9
