#include "FixedFunction.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "RenderStates.h"
#include "VertexDeclaration.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace nvesk::d3d9 {

using com::Refuse;
using com::Reject;
namespace {

const char* OperationName(DWORD op) {
    static const char* const kNames[] = {"",
                                         "DISABLE",
                                         "SELECTARG1",
                                         "SELECTARG2",
                                         "MODULATE",
                                         "MODULATE2X",
                                         "MODULATE4X",
                                         "ADD",
                                         "ADDSIGNED",
                                         "ADDSIGNED2X",
                                         "SUBTRACT",
                                         "ADDSMOOTH",
                                         "BLENDDIFFUSEALPHA",
                                         "BLENDTEXTUREALPHA",
                                         "BLENDFACTORALPHA",
                                         "BLENDTEXTUREALPHAPM",
                                         "BLENDCURRENTALPHA",
                                         "PREMODULATE",
                                         "MODULATEALPHA_ADDCOLOR",
                                         "MODULATECOLOR_ADDALPHA",
                                         "MODULATEINVALPHA_ADDCOLOR",
                                         "MODULATEINVCOLOR_ADDALPHA",
                                         "BUMPENVMAP",
                                         "BUMPENVMAPLUMINANCE",
                                         "DOTPRODUCT3",
                                         "MULTIPLYADD",
                                         "LERP"};
    return op < sizeof(kNames) / sizeof(kNames[0]) ? kNames[op] : "unknown";
}

bool OperationOffered(DWORD op) {
    return op == D3DTOP_SELECTARG1 || op == D3DTOP_SELECTARG2 || op == D3DTOP_MODULATE || op == D3DTOP_ADD;
}

bool UsesArg1(BYTE op) {
    return op == D3DTOP_SELECTARG1 || op == D3DTOP_MODULATE || op == D3DTOP_ADD;
}

bool UsesArg2(BYTE op) {
    return op == D3DTOP_SELECTARG2 || op == D3DTOP_MODULATE || op == D3DTOP_ADD;
}

bool ArgumentOffered(DWORD arg) {
    return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT || arg == D3DTA_TEXTURE || arg == D3DTA_TFACTOR;
}

std::string TypeOf(UINT components) {
    return components == 1 ? "float" : "vec" + std::to_string(components);
}

// The first `components` of a vec4 expression.
std::string Narrow(const std::string& value, UINT components) {
    static const char* const kSwizzles[] = {"", ".x", ".xy", ".xyz", ""};
    return "(" + value + ")" + kSwizzles[components];
}

// A narrower input widened as Direct3D 9 fills missing components: 0 for y and z, 1 for w.
std::string Widen(const std::string& value, UINT components) {
    static const char* const kFills[] = {"", ", 0.0, 0.0, 1.0", ", 0.0, 1.0", ", 1.0", ""};
    return components == 4 ? value : "vec4(" + value + kFills[components] + ")";
}

// A texture coordinate set of `components` as the 4-vector Direct3D 9 multiplies by the texture
// transform: the component after the last given is 1, the rest 0.
std::string Expand(const std::string& value, UINT components) {
    static const char* const kExpansions[] = {"", "vec4(%.x, 1.0, 0.0, 0.0)", "vec4(%.xy, 1.0, 0.0)",
                                              "vec4(%.xyz, 1.0)", "%"};
    std::string expanded = kExpansions[components];
    return expanded.replace(expanded.find('%'), 1, value);
}

// Components a declaration type gives a vertex shader input.
UINT TypeComponents(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 1;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_FLOAT16_2:
        return 2;
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
        return 3;
    default:
        return 4;
    }
}

std::string Varying(const char* direction, const ShaderVarying& varying, size_t index) {
    return "layout(location = " + std::to_string(varying.location) + ") " + direction + " " +
           TypeOf(varying.components) + " nvesk_ff_Io" + std::to_string(index) + ";\n";
}

// The texture coordinate sets a list of varyings carries, bit n for TEXCOORDn.
unsigned TexCoordSets(const std::vector<ShaderVarying>& varyings) {
    unsigned sets = 0;
    for (const ShaderVarying& varying : varyings) {
        if (varying.usage == D3DDECLUSAGE_TEXCOORD && varying.usageIndex < 8) {
            sets |= 1u << varying.usageIndex;
        }
    }
    return sets;
}

bool Samples(const FixedPixelKey::Stage& stage) {
    return stage.textured != 0;
}

// One stage argument as a vec4 expression of the generated pixel stage.
std::string Argument(BYTE arg, const FixedPixelKey::Stage& stage, size_t index, bool alpha) {
    switch (arg) {
    case D3DTA_DIFFUSE:
        return "diffuse";
    case D3DTA_CURRENT:
        return "current";
    case D3DTA_TFACTOR:
        return kFixedFactorUniform;
    default:
        if (Samples(stage)) {
            return "texel" + std::to_string(index);
        }
        return alpha ? "diffuse" : "vec4(1.0)";
    }
}

std::string Operation(BYTE op, const std::string& arg1, const std::string& arg2, const char* channels) {
    const std::string a = arg1 + channels;
    const std::string b = arg2 + channels;
    switch (op) {
    case D3DTOP_SELECTARG1:
        return a;
    case D3DTOP_SELECTARG2:
        return b;
    case D3DTOP_MODULATE:
        return a + " * " + b;
    default:
        return a + " + " + b;
    }
}

// a * b, Direct3D row-major matrices.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX product {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            for (int k = 0; k < 4; ++k) {
                product.m[row][column] += a.m[row][k] * b.m[k][column];
            }
        }
    }
    return product;
}

}  // namespace

bool FixedFunctionKey::operator<(const FixedFunctionKey& other) const {
    return std::memcmp(this, &other, sizeof(*this)) < 0;
}

bool FixedFunctionKey::operator==(const FixedFunctionKey& other) const {
    return std::memcmp(this, &other, sizeof(*this)) == 0;
}

// The key is compared as bytes: it must have no padding.
static_assert(sizeof(FixedFunctionKey) == sizeof(FixedVertexKey) + 2 + kFixedStageCount * sizeof(FixedPixelKey::Stage),
              "FixedFunctionKey has padding");

const std::vector<ShaderVarying>& FixedVaryings() {
    static const std::vector<ShaderVarying> kVaryings = {{D3DDECLUSAGE_COLOR, 0, 0, 4},
                                                         {D3DDECLUSAGE_TEXCOORD, 0, 1, 4},
                                                         {D3DDECLUSAGE_TEXCOORD, 1, 2, 4},
                                                         {D3DDECLUSAGE_COLOR, 1, 3, 4}};
    return kVaryings;
}

std::string GenerateVertexStage(const FixedVertexKey& key, const std::vector<ShaderVarying>& outputs) {
    std::string source = "#version 450\nlayout(location = 0) in vec4 nvesk_ff_Position;\n";
    if ((key.colors & 1) != 0) {
        source += "layout(location = " + std::to_string(VertexAttributeLocation(D3DDECLUSAGE_COLOR, 0)) +
                  ") in vec4 nvesk_ff_Color0;\n";
    }
    if ((key.colors & 2) != 0) {
        source += "layout(location = " + std::to_string(VertexAttributeLocation(D3DDECLUSAGE_COLOR, 1)) +
                  ") in vec4 nvesk_ff_Color1;\n";
    }
    for (BYTE set = 0; set < 8; ++set) {
        if ((key.texCoords & (1u << set)) != 0) {
            source += "layout(location = " + std::to_string(VertexAttributeLocation(D3DDECLUSAGE_TEXCOORD, set)) +
                      ") in vec4 nvesk_ff_TexCoord" + std::to_string(set) + ";\n";
        }
    }
    const LightingKey& lighting = key.lighting;
    // The normal is kept in the key only where the lighting or a generated coordinate reads it.
    if (lighting.normal) {
        source += "layout(location = " + std::to_string(VertexAttributeLocation(D3DDECLUSAGE_NORMAL, 0)) +
                  ") in vec3 nvesk_ff_Normal;\n";
    }
    if (key.CameraSpace()) {
        source +=
            std::string("uniform vec4 ") + kFixedLightingUniform + "[" + std::to_string(kLightingVectors) + "];\n";
    }
    if (key.texTransform != decltype(key.texTransform) {}) {
        source +=
            std::string("uniform mat4 ") + kFixedTexTransformUniform + "[" + std::to_string(kFixedStageCount) + "];\n";
    }
    source += std::string("uniform mat4 ") + kFixedTransformUniform + ";\nuniform vec4 " + kFixedScreenUniform +
              ";\nuniform vec2 " + kFixedDepthUniform + ";\n";
    for (size_t index = 0; index < outputs.size(); ++index) {
        source += Varying("out", outputs[index], index);
    }
    source += "void main() {\n";
    if (key.position == FixedVertexKey::Transformed) {
        // Direct3D's row vector times world * view * projection; the matrix arrives transposed.
        source += std::string("    gl_Position = ") + kFixedTransformUniform + " * vec4(nvesk_ff_Position.xyz, 1.0);\n";
    } else {
        // Render-target pixels back through the viewport transform GL applies; w = 1/rhw keeps
        // the interpolation perspective-correct, as Direct3D's is.
        source += std::string("    vec4 s = ") + kFixedScreenUniform + ";\n    vec2 d = " + kFixedDepthUniform +
                  ";\n"
                  "    vec4 p = nvesk_ff_Position;\n"
                  "    float w = p.w != 0.0 ? 1.0 / p.w : 1.0;\n"
                  "    float z = d.y > d.x ? (p.z - d.x) / (d.y - d.x) : p.z;\n"
                  "    gl_Position = vec4((p.x - s.x) / s.z * 2.0 - 1.0, 1.0 - (p.y - s.y) / s.w * 2.0, z, 1.0) * w;\n";
    }
    if (key.CameraSpace()) {
        source += GenerateCameraSpace(lighting);
    }
    if (lighting.lit) {
        source += GenerateLighting(lighting);
    }
    for (size_t index = 0; index < outputs.size(); ++index) {
        const ShaderVarying& output = outputs[index];
        std::string value = "vec4(0.0, 0.0, 0.0, 1.0)";
        if (output.usage == D3DDECLUSAGE_COLOR && lighting.lit) {
            // Lit: both colours are the lighting's; specular is black unless computed.
            value = output.usageIndex == 0 ? "nvesk_ff_Lit" : lighting.specular ? "nvesk_ff_LitSpecular" : "vec4(0.0)";
        } else if (output.usage == D3DDECLUSAGE_COLOR) {
            // Direct3D's default diffuse and specular colours are both 0xFFFFFFFF.
            value = (key.colors & (1u << output.usageIndex)) != 0 ? "nvesk_ff_Color" + std::to_string(output.usageIndex)
                                                                  : "vec4(1.0)";
        } else if ((key.texCoords & (1u << output.usageIndex)) != 0 ||
                   (output.usageIndex < kFixedStageCount && key.texGenerated[output.usageIndex] != 0)) {
            const std::string set = std::to_string(output.usageIndex);
            const bool stageSet = output.usageIndex < kFixedStageCount;
            const BYTE generated = stageSet ? key.texGenerated[output.usageIndex] : 0;
            // Generated coordinates are (x, y, z, 1) in camera space.
            value = generated == 0
                        ? "nvesk_ff_TexCoord" + set
                        : Expand(generated == (D3DTSS_TCI_CAMERASPACENORMAL >> 16) ? "nvesk_ff_N" : "nvesk_ff_P", 3);
            const BYTE kept = stageSet ? key.texTransform[output.usageIndex] : 0;
            if (kept != 0) {
                // Direct3D's row vector times the texture matrix, which arrives transposed; the
                // components past COUNTn are not passed on and read as the defaults.
                value = Widen(Narrow(std::string(kFixedTexTransformUniform) + "[" + set + "] * " +
                                         Expand(value, key.texInput[output.usageIndex]),
                                     kept),
                              kept);
            }
        }
        source += "    nvesk_ff_Io" + std::to_string(index) + " = " + Narrow(value, output.components) + ";\n";
    }
    return source + "}\n";
}

std::string GeneratePixelStage(const FixedPixelKey& key, const std::vector<ShaderVarying>& inputs) {
    std::string source = "#version 450\n";
    for (size_t index = 0; index < inputs.size(); ++index) {
        source += Varying("in", inputs[index], index);
    }
    for (size_t stage = 0; stage < kFixedStageCount; ++stage) {
        if (Samples(key.stages[stage])) {
            source += "layout(binding = " + std::to_string(stage) + ") uniform sampler2D nvesk_ff_Texture" +
                      std::to_string(stage) + ";\n";
        }
    }
    source += std::string("uniform vec4 ") + kFixedFactorUniform +
              ";\nlayout(location = 0) out vec4 nvesk_ff_Color;\nvoid main() {\n";
    // Read an input by semantic, widened to vec4; `absent` when the other stage does not write it.
    auto input = [&inputs](BYTE usage, BYTE index, const char* absent) {
        for (size_t i = 0; i < inputs.size(); ++i) {
            if (inputs[i].usage == usage && inputs[i].usageIndex == index) {
                return Widen("nvesk_ff_Io" + std::to_string(i), inputs[i].components);
            }
        }
        return std::string(absent);
    };
    source += "    vec4 diffuse = " + input(D3DDECLUSAGE_COLOR, 0, "vec4(1.0)") + ";\n    vec4 current = diffuse;\n";
    for (size_t index = 0; index < kFixedStageCount; ++index) {
        const FixedPixelKey::Stage& stage = key.stages[index];
        if (stage.colorOp == 0) {
            break;
        }
        const std::string number = std::to_string(index);
        if (Samples(stage)) {
            source += "    vec4 coord" + number + " = " +
                      input(D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(index), "vec4(0.0)") + ";\n";
            std::string coord = "coord" + number + ".xy";
            if (stage.projected != 0) {
                // Divided per pixel, after interpolation, as the rasterizer does.
                coord += " / coord" + number + "." + "xyzw"[stage.projected - 1];
            }
            source += "    vec4 texel" + number + " = texture(nvesk_ff_Texture" + number + ", " + coord + ");\n";
        }
        // Every stage's result saturates, as Direct3D's texture blending does.
        source += "    current = clamp(vec4(" +
                  Operation(stage.colorOp, Argument(stage.colorArg1, stage, index, false),
                            Argument(stage.colorArg2, stage, index, false), ".rgb") +
                  ", " +
                  Operation(stage.alphaOp, Argument(stage.alphaArg1, stage, index, true),
                            Argument(stage.alphaArg2, stage, index, true), ".a") +
                  "), 0.0, 1.0);\n";
    }
    if (key.specular != 0) {
        // Direct3D adds the specular colour after the last stage.
        source +=
            "    current.rgb = clamp(current.rgb + " + input(D3DDECLUSAGE_COLOR, 1, "vec4(0.0)") + ".rgb, 0.0, 1.0);\n";
    }
    return source + "    nvesk_ff_Color = current;\n}\n";
}

void FixedFunctionStates::Reset() {
    D3DMATRIX identity {};
    for (int i = 0; i < 4; ++i) {
        identity.m[i][i] = 1.0f;
    }
    transforms_.fill(identity);
    for (DWORD stage = 0; stage < kTextureStageCount; ++stage) {
        std::array<DWORD, kStageStateCount>& values = stages_[stage];
        values.fill(0);
        values[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        values[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        values[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        values[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        values[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        values[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        values[D3DTSS_TEXCOORDINDEX] = stage;
        values[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        values[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        values[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        values[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        values[D3DTSS_CONSTANT] = 0xFFFFFFFF;
    }
}

int FixedFunctionStates::TransformIndex(D3DTRANSFORMSTATETYPE state) {
    const DWORD value = static_cast<DWORD>(state);
    if (value >= 256 && value < 512) {
        return static_cast<int>(value - 256);
    }
    if (value == D3DTS_VIEW || value == D3DTS_PROJECTION) {
        return static_cast<int>(256 + value - D3DTS_VIEW);
    }
    if (value >= D3DTS_TEXTURE0 && value <= D3DTS_TEXTURE7) {
        return static_cast<int>(258 + value - D3DTS_TEXTURE0);
    }
    return -1;
}

HRESULT FixedFunctionStates::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const int index = TransformIndex(state);
    if (matrix == nullptr || index < 0) {
        return Reject("matrix is null, or transform state %u unknown", static_cast<unsigned>(state));
    }
    transforms_[static_cast<size_t>(index)] = *matrix;
    return D3D_OK;
}

HRESULT FixedFunctionStates::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
    const int index = TransformIndex(state);
    if (matrix == nullptr || index < 0) {
        return Reject("matrix is null, or transform state %u unknown", static_cast<unsigned>(state));
    }
    *matrix = transforms_[static_cast<size_t>(index)];
    return D3D_OK;
}

namespace {

// Where a material colour comes from: the vertex colour D3DRS_*MATERIALSOURCE names when
// D3DRS_COLORVERTEX is on and the vertex has it, else the material.
BYTE MaterialSource(DWORD source, bool colorVertex, BYTE colors) {
    if (colorVertex && source == D3DMCS_COLOR1 && (colors & 1) != 0) {
        return kFromColor0;
    }
    if (colorVertex && source == D3DMCS_COLOR2 && (colors & 2) != 0) {
        return kFromColor1;
    }
    return kFromMaterial;
}

HRESULT SelectLighting(const RenderStates& renderStates, const LightingStates& lighting, BYTE colors,
                       LightingKey* key) {
    const std::size_t lights = lighting.EnabledCount();
    if (lights > kMaxActiveLights) {
        return Refuse(D3DERR_NOTAVAILABLE, "%zu lights are enabled; fixed-function lighting takes up to %u", lights,
                      kMaxActiveLights);
    }
    const bool colorVertex = renderStates.Value(D3DRS_COLORVERTEX) != FALSE;
    key->lit = true;
    key->lights = static_cast<BYTE>(lights);
    key->diffuse = MaterialSource(renderStates.Value(D3DRS_DIFFUSEMATERIALSOURCE), colorVertex, colors);
    key->ambient = MaterialSource(renderStates.Value(D3DRS_AMBIENTMATERIALSOURCE), colorVertex, colors);
    key->emissive = MaterialSource(renderStates.Value(D3DRS_EMISSIVEMATERIALSOURCE), colorVertex, colors);
    key->specular = renderStates.Value(D3DRS_SPECULARENABLE) != FALSE;
    if (key->specular) {
        key->specularSource = MaterialSource(renderStates.Value(D3DRS_SPECULARMATERIALSOURCE), colorVertex, colors);
        key->localViewer = renderStates.Value(D3DRS_LOCALVIEWER) != FALSE;
    }
    key->normalize = key->normal && renderStates.Value(D3DRS_NORMALIZENORMALS) != FALSE;
    return D3D_OK;
}

// The components D3DTTFF_COUNTn keeps; 0 for D3DTTFF_DISABLE.
DWORD TransformCount(DWORD flags) {
    return flags & ~static_cast<DWORD>(D3DTTFF_PROJECTED);
}

HRESULT CheckTransformFlags(DWORD stage, DWORD flags) {
    if (TransformCount(flags) > D3DTTFF_COUNT4) {
        return Refuse(D3DERR_NOTAVAILABLE, "texture stage %u: texture transform flags 0x%x are not D3DTTFF values",
                      stage, flags);
    }
    return D3D_OK;
}

bool StageStateKnown(DWORD type) {
    return (type >= D3DTSS_COLOROP && type <= D3DTSS_TEXCOORDINDEX) ||
           (type >= D3DTSS_BUMPENVLSCALE && type <= D3DTSS_TEXTURETRANSFORMFLAGS) ||
           (type >= D3DTSS_COLORARG0 && type <= D3DTSS_RESULTARG) || type == D3DTSS_CONSTANT;
}

}  // namespace

// Values are stored as given: Direct3D 9 checks them against the device at draw time.
HRESULT FixedFunctionStates::SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kTextureStageCount || !StageStateKnown(type)) {
        return Reject("no texture stage %u, or stage state %u unknown", stage, static_cast<unsigned>(type));
    }
    stages_[stage][type] = value;
    return D3D_OK;
}

HRESULT FixedFunctionStates::GetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const {
    if (value == nullptr || stage >= kTextureStageCount || !StageStateKnown(type)) {
        return Reject("value is null, no texture stage %u, or stage state %u unknown", stage,
                      static_cast<unsigned>(type));
    }
    *value = stages_[stage][type];
    return D3D_OK;
}

HRESULT FixedFunctionStates::Select(bool generateVertex, bool generatePixel, const VertexDeclaration& declaration,
                                    const RenderStates& renderStates, const LightingStates& lighting,
                                    unsigned texturedStages, const std::vector<ShaderVarying>& userVaryings,
                                    FixedFunctionKey* key) const {
    *key = FixedFunctionKey {};
    if (generateVertex) {
        // Lighting only makes the colours: a pixel shader that reads none does not see it.
        bool colorsRead = generatePixel;
        for (const ShaderVarying& varying : userVaryings) {
            colorsRead = colorsRead || varying.usage == D3DDECLUSAGE_COLOR;
        }
        if (HRESULT hr = SelectVertex(declaration, renderStates, lighting, colorsRead, &key->vertex); FAILED(hr)) {
            return hr;
        }
        if (!generatePixel) {
            for (const ShaderVarying& varying : userVaryings) {
                if (varying.usage != D3DDECLUSAGE_COLOR && varying.usage != D3DDECLUSAGE_TEXCOORD) {
                    return Refuse(D3DERR_NOTAVAILABLE,
                                  "the pixel shader reads usage %u index %u, which fixed-function vertex processing "
                                  "does not write",
                                  static_cast<unsigned>(varying.usage), static_cast<unsigned>(varying.usageIndex));
                }
            }
        }
    }
    if (generatePixel) {
        if (HRESULT hr = SelectPixel(renderStates, texturedStages, &key->pixel); FAILED(hr)) {
            return hr;
        }
        // The specular colour added comes from the lighting, the vertex or the vertex shader.
        const bool specularWritten =
            generateVertex ? key->vertex.lighting.lit || (key->vertex.colors & 2) != 0
                           : std::any_of(userVaryings.begin(), userVaryings.end(), [](const ShaderVarying& varying) {
                                 return varying.usage == D3DDECLUSAGE_COLOR && varying.usageIndex == 1;
                             });
        if (key->pixel.specular != 0 && !specularWritten) {
            return Refuse(D3DERR_NOTAVAILABLE, "specular addition needs a specular colour (COLOR1), which the %s",
                          generateVertex ? "vertices lack" : "vertex shader does not write");
        }
        unsigned sets = generateVertex ? key->vertex.texCoords : TexCoordSets(userVaryings);
        for (DWORD stage = 0; stage < kFixedStageCount; ++stage) {
            sets |= key->vertex.texGenerated[stage] != 0 ? 1u << stage : 0u;
        }
        for (DWORD stage = 0; stage < kFixedStageCount; ++stage) {
            if (Samples(key->pixel.stages[stage]) && (sets & (1u << stage)) == 0) {
                return Refuse(D3DERR_NOTAVAILABLE,
                              "texture stage %u samples its texture, but no texture coordinate set %u reaches it",
                              stage, stage);
            }
        }
    }
    return D3D_OK;
}

HRESULT FixedFunctionStates::SelectVertex(const VertexDeclaration& declaration, const RenderStates& renderStates,
                                          const LightingStates& lighting, bool colorsRead, FixedVertexKey* key) const {
    LightingKey& lit = key->lighting;
    std::array<UINT, kFixedStageCount> texInputs {};
    for (const D3DVERTEXELEMENT9& element : declaration.Elements()) {
        const bool first = element.UsageIndex == 0;
        if (element.Usage == D3DDECLUSAGE_POSITION && first) {
            if (element.Type != D3DDECLTYPE_FLOAT3 || key->position != FixedVertexKey::None) {
                return Refuse(D3DERR_NOTAVAILABLE,
                              "fixed-function vertices need one position: POSITION FLOAT3 or POSITIONT FLOAT4");
            }
            key->position = FixedVertexKey::Transformed;
        } else if (element.Usage == D3DDECLUSAGE_POSITIONT && first) {
            if (element.Type != D3DDECLTYPE_FLOAT4 || key->position != FixedVertexKey::None) {
                return Refuse(D3DERR_NOTAVAILABLE,
                              "fixed-function vertices need one position: POSITION FLOAT3 or POSITIONT FLOAT4");
            }
            key->position = FixedVertexKey::Pretransformed;
        } else if (element.Usage == D3DDECLUSAGE_COLOR && element.UsageIndex < 2) {
            key->colors |= static_cast<BYTE>(1u << element.UsageIndex);
        } else if (element.Usage == D3DDECLUSAGE_TEXCOORD && element.UsageIndex < 8) {
            key->texCoords |= static_cast<BYTE>(1u << element.UsageIndex);
            if (element.UsageIndex < kFixedStageCount) {
                texInputs[element.UsageIndex] = TypeComponents(element.Type);
            }
        } else if (element.Usage == D3DDECLUSAGE_NORMAL && first) {
            if (element.Type != D3DDECLTYPE_FLOAT3) {
                return Refuse(D3DERR_NOTAVAILABLE, "fixed-function lighting reads a NORMAL FLOAT3 element only");
            }
            lit.normal = true;
        } else if (element.Usage == D3DDECLUSAGE_PSIZE) {
            return Refuse(D3DERR_NOTAVAILABLE, "fixed-function point sizes from the vertices are not available");
        }
    }
    if (key->position == FixedVertexKey::None) {
        return Refuse(D3DERR_NOTAVAILABLE, "the declaration has no POSITION FLOAT3 or POSITIONT FLOAT4 element");
    }
    // Normals matter only to lighting: unlit keys leave them out so that equal pictures share a program.
    const bool normal = lit.normal;
    lit = LightingKey {};
    // Pretransformed vertices are never lit, blended or transformed.
    if (key->position == FixedVertexKey::Transformed) {
        if (renderStates.Value(D3DRS_LIGHTING) != FALSE && colorsRead) {
            lit.normal = normal;
            if (HRESULT hr = SelectLighting(renderStates, lighting, key->colors, &lit); FAILED(hr)) {
                return hr;
            }
        }
        if (renderStates.Value(D3DRS_VERTEXBLEND) != D3DVBF_DISABLE ||
            renderStates.Value(D3DRS_INDEXEDVERTEXBLENDENABLE) != FALSE) {
            return Refuse(D3DERR_NOTAVAILABLE, "fixed-function vertex blending is not available");
        }
    }
    for (DWORD stage = 0; stage < kTextureStageCount; ++stage) {
        const DWORD index = stages_[stage][D3DTSS_TEXCOORDINDEX];
        const DWORD generation = index & 0xFFFF0000u;
        if (generation != 0) {
            if (stage >= kFixedStageCount ||
                (generation != D3DTSS_TCI_CAMERASPACENORMAL && generation != D3DTSS_TCI_CAMERASPACEPOSITION)) {
                return Refuse(D3DERR_NOTAVAILABLE,
                              "generated texture coordinates (stage %u, D3DTSS_TCI_* 0x%x) are not available; stages "
                              "0 and 1 generate CAMERASPACENORMAL and CAMERASPACEPOSITION",
                              stage, generation);
            }
            if (key->position != FixedVertexKey::Transformed) {
                return Refuse(D3DERR_NOTAVAILABLE,
                              "stage %u generates texture coordinates, which pretransformed vertices do not have",
                              stage);
            }
            if (generation == D3DTSS_TCI_CAMERASPACENORMAL) {
                if (!normal) {
                    return Refuse(D3DERR_NOTAVAILABLE,
                                  "stage %u generates camera-space normals, but the vertices have no NORMAL", stage);
                }
                lit.normal = true;
                lit.normalize = renderStates.Value(D3DRS_NORMALIZENORMALS) != FALSE;
            }
            key->texGenerated[stage] = static_cast<BYTE>(generation >> 16);
        }
        const DWORD flags = stages_[stage][D3DTSS_TEXTURETRANSFORMFLAGS];
        if (HRESULT hr = CheckTransformFlags(stage, flags); FAILED(hr)) {
            return hr;
        }
        const DWORD kept = TransformCount(flags);
        if (kept == 0) {
            continue;
        }
        if (stage >= kFixedStageCount) {
            return Refuse(D3DERR_NOTAVAILABLE,
                          "texture transforms on stage %u are not available; stages 0 and 1 have them", stage);
        }
        if (generation == 0 && index != stage) {
            return Refuse(D3DERR_NOTAVAILABLE,
                          "texture transform on stage %u of coordinate set %u is not available; only set n on stage n",
                          stage, index);
        }
        // Pretransformed vertices keep their coordinates; an absent set has nothing to transform.
        if (key->position == FixedVertexKey::Transformed && (key->texCoords & (1u << stage)) != 0) {
            key->texTransform[stage] = static_cast<BYTE>(kept);
            key->texInput[stage] = static_cast<BYTE>(texInputs[stage]);
        }
        if (generation != 0) {
            key->texTransform[stage] = static_cast<BYTE>(kept);
            key->texInput[stage] = 3;
        }
    }
    return D3D_OK;
}

HRESULT FixedFunctionStates::SelectPixel(const RenderStates& renderStates, unsigned texturedStages,
                                         FixedPixelKey* key) const {
    key->generated = 1;
    key->specular = renderStates.Value(D3DRS_SPECULARENABLE) != FALSE ? 1 : 0;
    for (DWORD index = 0; index < kTextureStageCount; ++index) {
        const std::array<DWORD, kStageStateCount>& values = stages_[index];
        const DWORD colorOp = values[D3DTSS_COLOROP];
        if (colorOp == D3DTOP_DISABLE) {
            break;
        }
        if (index >= kFixedStageCount) {
            return Refuse(D3DERR_NOTAVAILABLE, "texture stage %u is enabled; stages from %u on are not available",
                          index, kFixedStageCount);
        }
        const DWORD alphaOp = values[D3DTSS_ALPHAOP];
        if (!OperationOffered(colorOp) || !OperationOffered(alphaOp)) {
            // ALPHAOP DISABLE under an enabled COLOROP is undefined in Direct3D 9.
            return Refuse(D3DERR_NOTAVAILABLE, "texture stage %u: operation %s / %s is not available", index,
                          OperationName(colorOp), OperationName(alphaOp));
        }
        // A generated coordinate (checked with the vertex stage) is the stage's own.
        const DWORD coordinates = values[D3DTSS_TEXCOORDINDEX];
        if (values[D3DTSS_RESULTARG] != D3DTA_CURRENT || ((coordinates & 0xFFFF0000u) == 0 && coordinates != index)) {
            return Refuse(D3DERR_NOTAVAILABLE,
                          "texture stage %u: a result other than CURRENT or another stage's coordinates is not "
                          "available",
                          index);
        }
        FixedPixelKey::Stage& stage = key->stages[index];
        stage.colorOp = static_cast<BYTE>(colorOp);
        stage.alphaOp = static_cast<BYTE>(alphaOp);
        // Only the arguments the operations read take part, so equal pictures share a program.
        const std::tuple<bool, DWORD, BYTE*> arguments[] = {
            {UsesArg1(stage.colorOp), values[D3DTSS_COLORARG1], &stage.colorArg1},
            {UsesArg2(stage.colorOp), values[D3DTSS_COLORARG2], &stage.colorArg2},
            {UsesArg1(stage.alphaOp), values[D3DTSS_ALPHAARG1], &stage.alphaArg1},
            {UsesArg2(stage.alphaOp), values[D3DTSS_ALPHAARG2], &stage.alphaArg2}};
        bool readsTexture = false;
        for (const auto& [used, arg, slot] : arguments) {
            if (!used) {
                continue;
            }
            if (!ArgumentOffered(arg)) {
                return Refuse(D3DERR_NOTAVAILABLE, "texture stage %u: argument 0x%x is not available", index, arg);
            }
            *slot = static_cast<BYTE>(arg);
            readsTexture = readsTexture || arg == D3DTA_TEXTURE;
        }
        stage.textured = readsTexture && (texturedStages & (1u << index)) != 0 ? 1 : 0;
        const DWORD flags = values[D3DTSS_TEXTURETRANSFORMFLAGS];
        if (HRESULT hr = CheckTransformFlags(index, flags); FAILED(hr)) {
            return hr;
        }
        if (stage.textured != 0 && (flags & D3DTTFF_PROJECTED) != 0) {
            // The last component counted; without a count, as a vertex shader writes all four, the fourth.
            const DWORD kept = TransformCount(flags);
            stage.projected = static_cast<BYTE>(kept != 0 ? kept : 4);
        }
    }
    return D3D_OK;
}

FixedFunctionUniforms FixedFunctionStates::Uniforms(const FixedFunctionKey& key, const D3DVIEWPORT9& viewport,
                                                    const RenderStates& renderStates,
                                                    const LightingStates& lighting) const {
    FixedFunctionUniforms uniforms;
    const D3DMATRIX worldView = Multiply(transforms_[0], transforms_[256]);
    const D3DMATRIX product = Multiply(worldView, transforms_[257]);
    std::memcpy(uniforms.transform, product.m, sizeof(uniforms.transform));
    if (key.vertex.CameraSpace()) {
        lighting.FillUniform(worldView, transforms_[256], renderStates.Value(D3DRS_AMBIENT), uniforms.lighting);
    }
    uniforms.screen[0] = static_cast<float>(viewport.X);
    uniforms.screen[1] = static_cast<float>(viewport.Y);
    uniforms.screen[2] = static_cast<float>(viewport.Width);
    uniforms.screen[3] = static_cast<float>(viewport.Height);
    uniforms.depth[0] = viewport.MinZ;
    uniforms.depth[1] = viewport.MaxZ;
    const std::array<float, 4> factor = ColorToFloats(renderStates.Value(D3DRS_TEXTUREFACTOR));
    std::memcpy(uniforms.factor, factor.data(), sizeof(uniforms.factor));
    for (DWORD stage = 0; stage < kFixedStageCount; ++stage) {
        const auto matrix =
            static_cast<size_t>(TransformIndex(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage)));
        std::memcpy(uniforms.texTransform + 16 * stage, transforms_[matrix].m, sizeof(D3DMATRIX));
    }
    return uniforms;
}

}  // namespace nvesk::d3d9
