#include "EffectStateTable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

namespace nvesk::d3dx9 {

namespace {

using Kind = StateValueKind;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

const std::map<std::string, StateInfo>& RenderStates() {
    static const std::map<std::string, StateInfo> kStates = {
        {"ZENABLE", {D3DRS_ZENABLE, Kind::ZBuffer}},
        {"FILLMODE", {D3DRS_FILLMODE, Kind::Fill}},
        {"SHADEMODE", {D3DRS_SHADEMODE, Kind::Shade}},
        {"ZWRITEENABLE", {D3DRS_ZWRITEENABLE, Kind::Bool}},
        {"ALPHATESTENABLE", {D3DRS_ALPHATESTENABLE, Kind::Bool}},
        {"LASTPIXEL", {D3DRS_LASTPIXEL, Kind::Bool}},
        {"SRCBLEND", {D3DRS_SRCBLEND, Kind::Blend}},
        {"DESTBLEND", {D3DRS_DESTBLEND, Kind::Blend}},
        {"CULLMODE", {D3DRS_CULLMODE, Kind::Cull}},
        {"ZFUNC", {D3DRS_ZFUNC, Kind::Compare}},
        {"ALPHAREF", {D3DRS_ALPHAREF, Kind::Dword}},
        {"ALPHAFUNC", {D3DRS_ALPHAFUNC, Kind::Compare}},
        {"DITHERENABLE", {D3DRS_DITHERENABLE, Kind::Bool}},
        {"ALPHABLENDENABLE", {D3DRS_ALPHABLENDENABLE, Kind::Bool}},
        {"FOGENABLE", {D3DRS_FOGENABLE, Kind::Bool}},
        {"SPECULARENABLE", {D3DRS_SPECULARENABLE, Kind::Bool}},
        {"FOGCOLOR", {D3DRS_FOGCOLOR, Kind::Color}},
        {"FOGTABLEMODE", {D3DRS_FOGTABLEMODE, Kind::Fog}},
        {"FOGSTART", {D3DRS_FOGSTART, Kind::Float}},
        {"FOGEND", {D3DRS_FOGEND, Kind::Float}},
        {"FOGDENSITY", {D3DRS_FOGDENSITY, Kind::Float}},
        {"RANGEFOGENABLE", {D3DRS_RANGEFOGENABLE, Kind::Bool}},
        {"STENCILENABLE", {D3DRS_STENCILENABLE, Kind::Bool}},
        {"STENCILFAIL", {D3DRS_STENCILFAIL, Kind::StencilOp}},
        {"STENCILZFAIL", {D3DRS_STENCILZFAIL, Kind::StencilOp}},
        {"STENCILPASS", {D3DRS_STENCILPASS, Kind::StencilOp}},
        {"STENCILFUNC", {D3DRS_STENCILFUNC, Kind::Compare}},
        {"STENCILREF", {D3DRS_STENCILREF, Kind::Dword}},
        {"STENCILMASK", {D3DRS_STENCILMASK, Kind::Dword}},
        {"STENCILWRITEMASK", {D3DRS_STENCILWRITEMASK, Kind::Dword}},
        {"TEXTUREFACTOR", {D3DRS_TEXTUREFACTOR, Kind::Color}},
        {"WRAP0", {D3DRS_WRAP0, Kind::Wrap}},
        {"WRAP1", {D3DRS_WRAP1, Kind::Wrap}},
        {"WRAP2", {D3DRS_WRAP2, Kind::Wrap}},
        {"WRAP3", {D3DRS_WRAP3, Kind::Wrap}},
        {"WRAP4", {D3DRS_WRAP4, Kind::Wrap}},
        {"WRAP5", {D3DRS_WRAP5, Kind::Wrap}},
        {"WRAP6", {D3DRS_WRAP6, Kind::Wrap}},
        {"WRAP7", {D3DRS_WRAP7, Kind::Wrap}},
        {"CLIPPING", {D3DRS_CLIPPING, Kind::Bool}},
        {"LIGHTING", {D3DRS_LIGHTING, Kind::Bool}},
        {"AMBIENT", {D3DRS_AMBIENT, Kind::Color}},
        {"FOGVERTEXMODE", {D3DRS_FOGVERTEXMODE, Kind::Fog}},
        {"COLORVERTEX", {D3DRS_COLORVERTEX, Kind::Bool}},
        {"LOCALVIEWER", {D3DRS_LOCALVIEWER, Kind::Bool}},
        {"NORMALIZENORMALS", {D3DRS_NORMALIZENORMALS, Kind::Bool}},
        {"DIFFUSEMATERIALSOURCE", {D3DRS_DIFFUSEMATERIALSOURCE, Kind::MaterialSource}},
        {"SPECULARMATERIALSOURCE", {D3DRS_SPECULARMATERIALSOURCE, Kind::MaterialSource}},
        {"AMBIENTMATERIALSOURCE", {D3DRS_AMBIENTMATERIALSOURCE, Kind::MaterialSource}},
        {"EMISSIVEMATERIALSOURCE", {D3DRS_EMISSIVEMATERIALSOURCE, Kind::MaterialSource}},
        {"VERTEXBLEND", {D3DRS_VERTEXBLEND, Kind::VertexBlend}},
        {"CLIPPLANEENABLE", {D3DRS_CLIPPLANEENABLE, Kind::Dword}},
        {"POINTSIZE", {D3DRS_POINTSIZE, Kind::Float}},
        {"POINTSIZE_MIN", {D3DRS_POINTSIZE_MIN, Kind::Float}},
        {"POINTSPRITEENABLE", {D3DRS_POINTSPRITEENABLE, Kind::Bool}},
        {"POINTSCALEENABLE", {D3DRS_POINTSCALEENABLE, Kind::Bool}},
        {"POINTSCALE_A", {D3DRS_POINTSCALE_A, Kind::Float}},
        {"POINTSCALE_B", {D3DRS_POINTSCALE_B, Kind::Float}},
        {"POINTSCALE_C", {D3DRS_POINTSCALE_C, Kind::Float}},
        {"MULTISAMPLEANTIALIAS", {D3DRS_MULTISAMPLEANTIALIAS, Kind::Bool}},
        {"MULTISAMPLEMASK", {D3DRS_MULTISAMPLEMASK, Kind::Dword}},
        {"PATCHEDGESTYLE", {D3DRS_PATCHEDGESTYLE, Kind::Dword}},
        {"DEBUGMONITORTOKEN", {D3DRS_DEBUGMONITORTOKEN, Kind::Dword}},
        {"POINTSIZE_MAX", {D3DRS_POINTSIZE_MAX, Kind::Float}},
        {"INDEXEDVERTEXBLENDENABLE", {D3DRS_INDEXEDVERTEXBLENDENABLE, Kind::Bool}},
        {"COLORWRITEENABLE", {D3DRS_COLORWRITEENABLE, Kind::ColorWrite}},
        {"TWEENFACTOR", {D3DRS_TWEENFACTOR, Kind::Float}},
        {"BLENDOP", {D3DRS_BLENDOP, Kind::BlendOp}},
        {"POSITIONDEGREE", {D3DRS_POSITIONDEGREE, Kind::Dword}},
        {"NORMALDEGREE", {D3DRS_NORMALDEGREE, Kind::Dword}},
        {"SCISSORTESTENABLE", {D3DRS_SCISSORTESTENABLE, Kind::Bool}},
        {"SLOPESCALEDEPTHBIAS", {D3DRS_SLOPESCALEDEPTHBIAS, Kind::Float}},
        {"ANTIALIASEDLINEENABLE", {D3DRS_ANTIALIASEDLINEENABLE, Kind::Bool}},
        {"MINTESSELLATIONLEVEL", {D3DRS_MINTESSELLATIONLEVEL, Kind::Float}},
        {"MAXTESSELLATIONLEVEL", {D3DRS_MAXTESSELLATIONLEVEL, Kind::Float}},
        {"ADAPTIVETESS_X", {D3DRS_ADAPTIVETESS_X, Kind::Float}},
        {"ADAPTIVETESS_Y", {D3DRS_ADAPTIVETESS_Y, Kind::Float}},
        {"ADAPTIVETESS_Z", {D3DRS_ADAPTIVETESS_Z, Kind::Float}},
        {"ADAPTIVETESS_W", {D3DRS_ADAPTIVETESS_W, Kind::Float}},
        {"ENABLEADAPTIVETESSELLATION", {D3DRS_ENABLEADAPTIVETESSELLATION, Kind::Bool}},
        {"TWOSIDEDSTENCILMODE", {D3DRS_TWOSIDEDSTENCILMODE, Kind::Bool}},
        {"CCW_STENCILFAIL", {D3DRS_CCW_STENCILFAIL, Kind::StencilOp}},
        {"CCW_STENCILZFAIL", {D3DRS_CCW_STENCILZFAIL, Kind::StencilOp}},
        {"CCW_STENCILPASS", {D3DRS_CCW_STENCILPASS, Kind::StencilOp}},
        {"CCW_STENCILFUNC", {D3DRS_CCW_STENCILFUNC, Kind::Compare}},
        {"COLORWRITEENABLE1", {D3DRS_COLORWRITEENABLE1, Kind::ColorWrite}},
        {"COLORWRITEENABLE2", {D3DRS_COLORWRITEENABLE2, Kind::ColorWrite}},
        {"COLORWRITEENABLE3", {D3DRS_COLORWRITEENABLE3, Kind::ColorWrite}},
        {"BLENDFACTOR", {D3DRS_BLENDFACTOR, Kind::Color}},
        {"SRGBWRITEENABLE", {D3DRS_SRGBWRITEENABLE, Kind::Bool}},
        {"DEPTHBIAS", {D3DRS_DEPTHBIAS, Kind::Float}},
        {"WRAP8", {D3DRS_WRAP8, Kind::Wrap}},
        {"WRAP9", {D3DRS_WRAP9, Kind::Wrap}},
        {"WRAP10", {D3DRS_WRAP10, Kind::Wrap}},
        {"WRAP11", {D3DRS_WRAP11, Kind::Wrap}},
        {"WRAP12", {D3DRS_WRAP12, Kind::Wrap}},
        {"WRAP13", {D3DRS_WRAP13, Kind::Wrap}},
        {"WRAP14", {D3DRS_WRAP14, Kind::Wrap}},
        {"WRAP15", {D3DRS_WRAP15, Kind::Wrap}},
        {"SEPARATEALPHABLENDENABLE", {D3DRS_SEPARATEALPHABLENDENABLE, Kind::Bool}},
        {"SRCBLENDALPHA", {D3DRS_SRCBLENDALPHA, Kind::Blend}},
        {"DESTBLENDALPHA", {D3DRS_DESTBLENDALPHA, Kind::Blend}},
        {"BLENDOPALPHA", {D3DRS_BLENDOPALPHA, Kind::BlendOp}}};
    return kStates;
}

const std::map<std::string, StateInfo>& SamplerStates() {
    static const std::map<std::string, StateInfo> kStates = {
        {"ADDRESSU", {D3DSAMP_ADDRESSU, Kind::Address}},     {"ADDRESSV", {D3DSAMP_ADDRESSV, Kind::Address}},
        {"ADDRESSW", {D3DSAMP_ADDRESSW, Kind::Address}},     {"BORDERCOLOR", {D3DSAMP_BORDERCOLOR, Kind::Color}},
        {"MAGFILTER", {D3DSAMP_MAGFILTER, Kind::Filter}},    {"MINFILTER", {D3DSAMP_MINFILTER, Kind::Filter}},
        {"MIPFILTER", {D3DSAMP_MIPFILTER, Kind::Filter}},    {"MIPMAPLODBIAS", {D3DSAMP_MIPMAPLODBIAS, Kind::Float}},
        {"MAXMIPLEVEL", {D3DSAMP_MAXMIPLEVEL, Kind::Dword}}, {"MAXANISOTROPY", {D3DSAMP_MAXANISOTROPY, Kind::Dword}},
        {"SRGBTEXTURE", {D3DSAMP_SRGBTEXTURE, Kind::Bool}},  {"ELEMENTINDEX", {D3DSAMP_ELEMENTINDEX, Kind::Dword}},
        {"DMAPOFFSET", {D3DSAMP_DMAPOFFSET, Kind::Dword}}};
    return kStates;
}

const std::map<std::string, StateInfo>& TextureStageStates() {
    static const std::map<std::string, StateInfo> kStates = {
        {"COLOROP", {D3DTSS_COLOROP, Kind::TextureOp}},
        {"COLORARG0", {D3DTSS_COLORARG0, Kind::TextureArg}},
        {"COLORARG1", {D3DTSS_COLORARG1, Kind::TextureArg}},
        {"COLORARG2", {D3DTSS_COLORARG2, Kind::TextureArg}},
        {"ALPHAOP", {D3DTSS_ALPHAOP, Kind::TextureOp}},
        {"ALPHAARG0", {D3DTSS_ALPHAARG0, Kind::TextureArg}},
        {"ALPHAARG1", {D3DTSS_ALPHAARG1, Kind::TextureArg}},
        {"ALPHAARG2", {D3DTSS_ALPHAARG2, Kind::TextureArg}},
        {"RESULTARG", {D3DTSS_RESULTARG, Kind::TextureArg}},
        {"BUMPENVMAT00", {D3DTSS_BUMPENVMAT00, Kind::Float}},
        {"BUMPENVMAT01", {D3DTSS_BUMPENVMAT01, Kind::Float}},
        {"BUMPENVMAT10", {D3DTSS_BUMPENVMAT10, Kind::Float}},
        {"BUMPENVMAT11", {D3DTSS_BUMPENVMAT11, Kind::Float}},
        {"BUMPENVLSCALE", {D3DTSS_BUMPENVLSCALE, Kind::Float}},
        {"BUMPENVLOFFSET", {D3DTSS_BUMPENVLOFFSET, Kind::Float}},
        {"TEXCOORDINDEX", {D3DTSS_TEXCOORDINDEX, Kind::TexCoordIndex}},
        {"TEXTURETRANSFORMFLAGS", {D3DTSS_TEXTURETRANSFORMFLAGS, Kind::TransformFlags}},
        {"CONSTANT", {D3DTSS_CONSTANT, Kind::Color}}};
    return kStates;
}

const std::map<std::string, FixedStateInfo>& FixedFunctionStates() {
    using Group = FixedStateGroup;
    static const std::map<std::string, FixedStateInfo> kStates = {
        {"WORLDTRANSFORM", {Group::Transform, 256, 256, Kind::Matrix}},
        {"VIEWTRANSFORM", {Group::Transform, D3DTS_VIEW, 1, Kind::Matrix}},
        {"PROJECTIONTRANSFORM", {Group::Transform, D3DTS_PROJECTION, 1, Kind::Matrix}},
        {"TEXTURETRANSFORM", {Group::Transform, D3DTS_TEXTURE0, 8, Kind::Matrix}},
        {"LIGHTENABLE", {Group::LightEnable, 0, 0xFFFFFFFF, Kind::Bool}},
        {"LIGHTTYPE", {Group::Light, kLightType, 0xFFFFFFFF, Kind::LightType}},
        {"LIGHTDIFFUSE", {Group::Light, kLightDiffuse, 0xFFFFFFFF, Kind::Vector}},
        {"LIGHTSPECULAR", {Group::Light, kLightSpecular, 0xFFFFFFFF, Kind::Vector}},
        {"LIGHTAMBIENT", {Group::Light, kLightAmbient, 0xFFFFFFFF, Kind::Vector}},
        {"LIGHTPOSITION", {Group::Light, kLightPosition, 0xFFFFFFFF, Kind::Vector}},
        {"LIGHTDIRECTION", {Group::Light, kLightDirection, 0xFFFFFFFF, Kind::Vector}},
        {"LIGHTRANGE", {Group::Light, kLightRange, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTFALLOFF", {Group::Light, kLightFalloff, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTATTENUATION0", {Group::Light, kLightAttenuation0, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTATTENUATION1", {Group::Light, kLightAttenuation1, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTATTENUATION2", {Group::Light, kLightAttenuation2, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTTHETA", {Group::Light, kLightTheta, 0xFFFFFFFF, Kind::Float}},
        {"LIGHTPHI", {Group::Light, kLightPhi, 0xFFFFFFFF, Kind::Float}},
        {"MATERIALDIFFUSE", {Group::Material, kMaterialDiffuse, 1, Kind::Vector}},
        {"MATERIALAMBIENT", {Group::Material, kMaterialAmbient, 1, Kind::Vector}},
        {"MATERIALSPECULAR", {Group::Material, kMaterialSpecular, 1, Kind::Vector}},
        {"MATERIALEMISSIVE", {Group::Material, kMaterialEmissive, 1, Kind::Vector}},
        {"MATERIALPOWER", {Group::Material, kMaterialPower, 1, Kind::Float}},
        {"FVF", {Group::VertexFormat, 0, 1, Kind::VertexFormat}}};
    return kStates;
}

const std::map<std::string, DWORD>* NamedValues(Kind kind) {
    static const std::map<std::string, DWORD> kBool = {{"TRUE", 1}, {"FALSE", 0}};
    static const std::map<std::string, DWORD> kZBuffer = {
        {"TRUE", D3DZB_TRUE}, {"FALSE", D3DZB_FALSE}, {"USEW", D3DZB_USEW}};
    static const std::map<std::string, DWORD> kFill = {
        {"POINT", D3DFILL_POINT}, {"WIREFRAME", D3DFILL_WIREFRAME}, {"SOLID", D3DFILL_SOLID}};
    static const std::map<std::string, DWORD> kShade = {
        {"FLAT", D3DSHADE_FLAT}, {"GOURAUD", D3DSHADE_GOURAUD}, {"PHONG", D3DSHADE_PHONG}};
    static const std::map<std::string, DWORD> kBlend = {{"ZERO", D3DBLEND_ZERO},
                                                        {"ONE", D3DBLEND_ONE},
                                                        {"SRCCOLOR", D3DBLEND_SRCCOLOR},
                                                        {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
                                                        {"SRCALPHA", D3DBLEND_SRCALPHA},
                                                        {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
                                                        {"DESTALPHA", D3DBLEND_DESTALPHA},
                                                        {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
                                                        {"DESTCOLOR", D3DBLEND_DESTCOLOR},
                                                        {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
                                                        {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
                                                        {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
                                                        {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
                                                        {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
                                                        {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR}};
    static const std::map<std::string, DWORD> kBlendOp = {{"ADD", D3DBLENDOP_ADD},
                                                          {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                                                          {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                                                          {"MIN", D3DBLENDOP_MIN},
                                                          {"MAX", D3DBLENDOP_MAX}};
    static const std::map<std::string, DWORD> kCompare = {{"NEVER", D3DCMP_NEVER},
                                                          {"LESS", D3DCMP_LESS},
                                                          {"EQUAL", D3DCMP_EQUAL},
                                                          {"LESSEQUAL", D3DCMP_LESSEQUAL},
                                                          {"GREATER", D3DCMP_GREATER},
                                                          {"NOTEQUAL", D3DCMP_NOTEQUAL},
                                                          {"GREATEREQUAL", D3DCMP_GREATEREQUAL},
                                                          {"ALWAYS", D3DCMP_ALWAYS}};
    static const std::map<std::string, DWORD> kCull = {
        {"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
    static const std::map<std::string, DWORD> kStencilOp = {
        {"KEEP", D3DSTENCILOP_KEEP},       {"ZERO", D3DSTENCILOP_ZERO},       {"REPLACE", D3DSTENCILOP_REPLACE},
        {"INCRSAT", D3DSTENCILOP_INCRSAT}, {"DECRSAT", D3DSTENCILOP_DECRSAT}, {"INVERT", D3DSTENCILOP_INVERT},
        {"INCR", D3DSTENCILOP_INCR},       {"DECR", D3DSTENCILOP_DECR}};
    static const std::map<std::string, DWORD> kFog = {
        {"NONE", D3DFOG_NONE}, {"EXP", D3DFOG_EXP}, {"EXP2", D3DFOG_EXP2}, {"LINEAR", D3DFOG_LINEAR}};
    static const std::map<std::string, DWORD> kMaterial = {{"MATERIAL", 0}, {"COLOR1", 1}, {"COLOR2", 2}};
    static const std::map<std::string, DWORD> kColorWrite = {{"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}};
    static const std::map<std::string, DWORD> kAddress = {{"WRAP", D3DTADDRESS_WRAP},
                                                          {"MIRROR", D3DTADDRESS_MIRROR},
                                                          {"CLAMP", D3DTADDRESS_CLAMP},
                                                          {"BORDER", D3DTADDRESS_BORDER},
                                                          {"MIRRORONCE", D3DTADDRESS_MIRRORONCE}};
    static const std::map<std::string, DWORD> kFilter = {{"NONE", D3DTEXF_NONE},
                                                         {"POINT", D3DTEXF_POINT},
                                                         {"LINEAR", D3DTEXF_LINEAR},
                                                         {"ANISOTROPIC", D3DTEXF_ANISOTROPIC},
                                                         {"PYRAMIDALQUAD", D3DTEXF_PYRAMIDALQUAD},
                                                         {"GAUSSIANQUAD", D3DTEXF_GAUSSIANQUAD},
                                                         {"CONVOLUTIONMONO", D3DTEXF_CONVOLUTIONMONO}};
    static const std::map<std::string, DWORD> kTextureOp = {
        {"DISABLE", D3DTOP_DISABLE},
        {"SELECTARG1", D3DTOP_SELECTARG1},
        {"SELECTARG2", D3DTOP_SELECTARG2},
        {"MODULATE", D3DTOP_MODULATE},
        {"MODULATE2X", D3DTOP_MODULATE2X},
        {"MODULATE4X", D3DTOP_MODULATE4X},
        {"ADD", D3DTOP_ADD},
        {"ADDSIGNED", D3DTOP_ADDSIGNED},
        {"ADDSIGNED2X", D3DTOP_ADDSIGNED2X},
        {"SUBTRACT", D3DTOP_SUBTRACT},
        {"ADDSMOOTH", D3DTOP_ADDSMOOTH},
        {"BLENDDIFFUSEALPHA", D3DTOP_BLENDDIFFUSEALPHA},
        {"BLENDTEXTUREALPHA", D3DTOP_BLENDTEXTUREALPHA},
        {"BLENDFACTORALPHA", D3DTOP_BLENDFACTORALPHA},
        {"BLENDTEXTUREALPHAPM", D3DTOP_BLENDTEXTUREALPHAPM},
        {"BLENDCURRENTALPHA", D3DTOP_BLENDCURRENTALPHA},
        {"PREMODULATE", D3DTOP_PREMODULATE},
        {"MODULATEALPHA_ADDCOLOR", D3DTOP_MODULATEALPHA_ADDCOLOR},
        {"MODULATECOLOR_ADDALPHA", D3DTOP_MODULATECOLOR_ADDALPHA},
        {"MODULATEINVALPHA_ADDCOLOR", D3DTOP_MODULATEINVALPHA_ADDCOLOR},
        {"MODULATEINVCOLOR_ADDALPHA", D3DTOP_MODULATEINVCOLOR_ADDALPHA},
        {"BUMPENVMAP", D3DTOP_BUMPENVMAP},
        {"BUMPENVMAPLUMINANCE", D3DTOP_BUMPENVMAPLUMINANCE},
        {"DOTPRODUCT3", D3DTOP_DOTPRODUCT3},
        {"MULTIPLYADD", D3DTOP_MULTIPLYADD},
        {"LERP", D3DTOP_LERP}};
    static const std::map<std::string, DWORD> kTextureArg = {
        {"DIFFUSE", D3DTA_DIFFUSE},      {"CURRENT", D3DTA_CURRENT},       {"TEXTURE", D3DTA_TEXTURE},
        {"TFACTOR", D3DTA_TFACTOR},      {"SPECULAR", D3DTA_SPECULAR},     {"TEMP", D3DTA_TEMP},
        {"CONSTANT", D3DTA_CONSTANT},    {"COMPLEMENT", D3DTA_COMPLEMENT}, {"ALPHAREPLICATE", D3DTA_ALPHAREPLICATE},
        {"SELECTMASK", D3DTA_SELECTMASK}};
    static const std::map<std::string, DWORD> kTexCoordIndex = {
        {"PASSTHRU", D3DTSS_TCI_PASSTHRU},
        {"CAMERASPACENORMAL", D3DTSS_TCI_CAMERASPACENORMAL},
        {"CAMERASPACEPOSITION", D3DTSS_TCI_CAMERASPACEPOSITION},
        {"CAMERASPACEREFLECTIONVECTOR", D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR},
        {"SPHEREMAP", D3DTSS_TCI_SPHEREMAP}};
    static const std::map<std::string, DWORD> kTransformFlags = {
        {"DISABLE", D3DTTFF_DISABLE}, {"COUNT1", D3DTTFF_COUNT1}, {"COUNT2", D3DTTFF_COUNT2},
        {"COUNT3", D3DTTFF_COUNT3},   {"COUNT4", D3DTTFF_COUNT4}, {"PROJECTED", D3DTTFF_PROJECTED}};
    static const std::map<std::string, DWORD> kLightType = {
        {"POINT", D3DLIGHT_POINT}, {"SPOT", D3DLIGHT_SPOT}, {"DIRECTIONAL", D3DLIGHT_DIRECTIONAL}};
    static const std::map<std::string, DWORD> kVertexFormat = {{"XYZ", D3DFVF_XYZ},
                                                               {"XYZRHW", D3DFVF_XYZRHW},
                                                               {"XYZW", D3DFVF_XYZW},
                                                               {"XYZB1", D3DFVF_XYZB1},
                                                               {"XYZB2", D3DFVF_XYZB2},
                                                               {"XYZB3", D3DFVF_XYZB3},
                                                               {"XYZB4", D3DFVF_XYZB4},
                                                               {"XYZB5", D3DFVF_XYZB5},
                                                               {"NORMAL", D3DFVF_NORMAL},
                                                               {"PSIZE", D3DFVF_PSIZE},
                                                               {"DIFFUSE", D3DFVF_DIFFUSE},
                                                               {"SPECULAR", D3DFVF_SPECULAR},
                                                               {"TEX0", D3DFVF_TEX0},
                                                               {"TEX1", D3DFVF_TEX1},
                                                               {"TEX2", D3DFVF_TEX2},
                                                               {"TEX3", D3DFVF_TEX3},
                                                               {"TEX4", D3DFVF_TEX4},
                                                               {"TEX5", D3DFVF_TEX5},
                                                               {"TEX6", D3DFVF_TEX6},
                                                               {"TEX7", D3DFVF_TEX7},
                                                               {"TEX8", D3DFVF_TEX8},
                                                               {"LASTBETA_UBYTE4", D3DFVF_LASTBETA_UBYTE4},
                                                               {"LASTBETA_D3DCOLOR", D3DFVF_LASTBETA_D3DCOLOR}};
    // D3DWRAPCOORD_0 ... D3DWRAPCOORD_3, and D3DWRAP_U, _V, _W, the same bits.
    static const std::map<std::string, DWORD> kWrap = {{"COORD0", 1}, {"COORD1", 2}, {"COORD2", 4}, {"COORD3", 8},
                                                       {"U", 1},      {"V", 2},      {"W", 4}};
    static const std::map<std::string, DWORD> kVertexBlend = {
        {"DISABLE", D3DVBF_DISABLE},   {"1WEIGHTS", D3DVBF_1WEIGHTS}, {"2WEIGHTS", D3DVBF_2WEIGHTS},
        {"3WEIGHTS", D3DVBF_3WEIGHTS}, {"TWEENING", D3DVBF_TWEENING}, {"0WEIGHTS", D3DVBF_0WEIGHTS}};
    switch (kind) {
    case Kind::Wrap:
        return &kWrap;
    case Kind::VertexBlend:
        return &kVertexBlend;
    case Kind::LightType:
        return &kLightType;
    case Kind::VertexFormat:
        return &kVertexFormat;
    case Kind::TextureOp:
        return &kTextureOp;
    case Kind::TextureArg:
        return &kTextureArg;
    case Kind::TexCoordIndex:
        return &kTexCoordIndex;
    case Kind::TransformFlags:
        return &kTransformFlags;
    case Kind::Bool:
        return &kBool;
    case Kind::ZBuffer:
        return &kZBuffer;
    case Kind::Fill:
        return &kFill;
    case Kind::Shade:
        return &kShade;
    case Kind::Blend:
        return &kBlend;
    case Kind::BlendOp:
        return &kBlendOp;
    case Kind::Compare:
        return &kCompare;
    case Kind::Cull:
        return &kCull;
    case Kind::StencilOp:
        return &kStencilOp;
    case Kind::Fog:
        return &kFog;
    case Kind::MaterialSource:
        return &kMaterial;
    case Kind::ColorWrite:
        return &kColorWrite;
    case Kind::Address:
        return &kAddress;
    case Kind::Filter:
        return &kFilter;
    default:
        return nullptr;
    }
}

bool ParseNumber(const std::string& text, bool asFloat, DWORD& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    if (asFloat) {
        std::string digits = text;
        if (digits.back() == 'f' || digits.back() == 'F') digits.pop_back();
        const float number = std::strtof(digits.c_str(), &end);
        if (end == digits.c_str() || *end != '\0') return false;
        std::memcpy(&value, &number, sizeof(value));
        return true;
    }
    const bool negative = text[0] == '-';
    const long long number = std::strtoll(begin + (negative ? 1 : 0), &end, 0);
    if (end == begin + (negative ? 1 : 0) || *end != '\0' || number > 0xFFFFFFFFLL) {
        return false;
    }
    value = static_cast<DWORD>(negative ? -number : number);
    return true;
}

}  // namespace

bool FindRenderState(const std::string& name, StateInfo& info) {
    const auto found = RenderStates().find(Upper(name));
    if (found == RenderStates().end()) return false;
    info = found->second;
    return true;
}

bool FindFixedFunctionState(const std::string& name, FixedStateInfo& info) {
    const auto found = FixedFunctionStates().find(Upper(name));
    if (found == FixedFunctionStates().end()) return false;
    info = found->second;
    return true;
}

bool FindTextureStageState(const std::string& name, StateInfo& info) {
    const auto found = TextureStageStates().find(Upper(name));
    if (found == TextureStageStates().end()) return false;
    info = found->second;
    return true;
}

const char* RefusedStateReason(const std::string& name) {
    const std::string upper = Upper(name);
    if (upper == "PATCHSEGMENTS") return "'PatchSegments' is not supported: the device draws no N-patches";
    return nullptr;
}

bool FindSamplerState(const std::string& name, StateInfo& info) {
    const auto found = SamplerStates().find(Upper(name));
    if (found == SamplerStates().end()) return false;
    info = found->second;
    return true;
}

bool ParseStateValue(StateValueKind kind, const std::string& text, DWORD& value) {
    // Values are the parser's tokens joined by spaces: "TRUE", "0x0000007F", "RED | GREEN", "- 1".
    std::string compact;
    for (char c : text) {
        if (c != ' ') compact += c;
    }
    const std::map<std::string, DWORD>* names = NamedValues(kind);
    // Values that are flags OR'ed together: RED | GREEN, TEXTURE | COMPLEMENT, 1 | CAMERASPACENORMAL.
    if (kind == Kind::ColorWrite || kind == Kind::TextureArg || kind == Kind::TexCoordIndex ||
        kind == Kind::TransformFlags || kind == Kind::VertexFormat || kind == Kind::Wrap) {
        value = 0;
        std::stringstream parts(compact);
        std::string part;
        while (std::getline(parts, part, '|')) {
            DWORD bits = 0;
            const auto found = names->find(Upper(part));
            if (found != names->end()) {
                bits = found->second;
            } else if (!ParseNumber(part, false, bits)) {
                return false;
            }
            value |= bits;
        }
        return !compact.empty();
    }
    if (kind == Kind::Color) {
        std::array<float, 4> rgba {};
        if (ParseVectorValue(text, rgba)) {
            value = VectorAsColor(rgba);
            return true;
        }
    }
    if (kind == Kind::Vector || kind == Kind::Matrix) return false;
    if (names != nullptr) {
        const auto found = names->find(Upper(compact));
        if (found != names->end()) {
            value = found->second;
            return true;
        }
    }
    return ParseNumber(compact, kind == Kind::Float, value);
}

DWORD NumberAsStateValue(StateValueKind kind, float number) {
    if (kind == Kind::Bool) return number != 0.0f ? TRUE : FALSE;
    if (kind == Kind::Float) {
        DWORD bits;
        std::memcpy(&bits, &number, sizeof(bits));
        return bits;
    }
    return number < 0 ? static_cast<DWORD>(static_cast<INT>(number)) : static_cast<DWORD>(number);
}

bool ParseVectorValue(const std::string& text, std::array<float, 4>& values) {
    std::string compact;
    for (char c : text) {
        if (c != ' ') compact += c;
    }
    std::string inner;
    const std::string lower = Upper(compact);
    if (compact.size() >= 2 && compact.front() == '{' && compact.back() == '}') {
        inner = compact.substr(1, compact.size() - 2);
    } else if (lower.size() > 7 && lower.compare(0, 5, "FLOAT") == 0 && lower[5] >= '1' && lower[5] <= '4' &&
               (lower[6] == '(' || lower[6] == '<') && (lower.back() == ')' || lower.back() == '>')) {
        inner = compact.substr(7, compact.size() - 8);
    } else {
        return false;
    }
    values = {0.0f, 0.0f, 0.0f, 1.0f};
    std::stringstream parts(inner);
    std::string part;
    std::size_t count = 0;
    while (std::getline(parts, part, ',')) {
        DWORD bits = 0;
        if (count == values.size() || !ParseNumber(part, true, bits)) return false;
        std::memcpy(&values[count++], &bits, sizeof(float));
    }
    return count > 0;
}

DWORD VectorAsColor(const std::array<float, 4>& rgba) {
    auto channel = [](float value) {
        return value >= 1.0f ? 0xFFu : value <= 0.0f ? 0u : static_cast<DWORD>(value * 255.0f + 0.5f);
    };
    return channel(rgba[3]) << 24 | channel(rgba[0]) << 16 | channel(rgba[1]) << 8 | channel(rgba[2]);
}

bool FindStateValueName(StateValueKind kind, const std::string& name, DWORD& value) {
    const std::map<std::string, DWORD>* names = NamedValues(kind);
    if (names == nullptr) return false;
    const auto found = names->find(Upper(name));
    if (found == names->end()) return false;
    value = found->second;
    return true;
}

bool ExpressionFitsState(StateValueKind kind, const ExpressionValue& shape, std::string& error) {
    const std::size_t count = shape.Count();
    const bool fits = kind == Kind::Matrix   ? count == 1 || (shape.rows == 4 && shape.columns == 4) || count == 16
                      : kind == Kind::Vector ? shape.rows == 1 && count <= 4
                      : kind == Kind::Color  ? count == 1 || (shape.rows == 1 && count >= 3 && count <= 4)
                                             : count == 1;
    if (fits) return true;
    error = kind == Kind::Matrix   ? "a 4x4 matrix or a scalar"
            : kind == Kind::Vector ? "a vector of up to four numbers"
            : kind == Kind::Color  ? "a number or a colour of three or four numbers"
                                   : "one number";
    return false;
}

DWORD ExpressionAsStateValue(StateValueKind kind, const ExpressionValue& value) {
    if (value.Count() > 1) {
        std::array<float, 4> rgba = {0.0f, 0.0f, 0.0f, 1.0f};
        for (std::size_t i = 0; i < 4 && i < value.Count(); ++i)
            rgba[i] = static_cast<float>(value.numbers[i]);
        return VectorAsColor(rgba);
    }
    const double number = value.numbers.empty() ? 0.0 : value.numbers[0];
    if (kind == Kind::Bool) return number != 0.0 ? TRUE : FALSE;
    if (kind == Kind::Float) return NumberAsStateValue(kind, static_cast<float>(number));
    // An int's 32 bits as they are (0xFFFFFFFF stays itself); a float truncated toward zero.
    if (!(number > -2147483649.0 && number < 4294967296.0)) return 0;
    return number < 0 ? static_cast<DWORD>(static_cast<INT>(number)) : static_cast<DWORD>(number);
}

std::array<float, 4> ExpressionAsVector(const ExpressionValue& value) {
    std::array<float, 4> vector = {0.0f, 0.0f, 0.0f, 1.0f};
    for (std::size_t i = 0; i < 4; ++i) {
        if (value.Count() == 1) {
            vector[i] = static_cast<float>(value.numbers[0]);
        } else if (i < value.Count()) {
            vector[i] = static_cast<float>(value.numbers[i]);
        }
    }
    return vector;
}

std::array<float, 16> ExpressionAsMatrix(const ExpressionValue& value) {
    std::array<float, 16> matrix {};
    for (std::size_t i = 0; i < matrix.size(); ++i)
        matrix[i] = static_cast<float>(value.numbers[value.Count() == 1 ? 0 : i]);
    return matrix;
}

}  // namespace nvesk::d3dx9
