// The subset of Direct3D 9's fixed-function pipeline the device draws with when a stage has no
// shader: the states that select it (transforms, lights, material, texture stage states) and the
// GLSL stages generated for them, keyed by the state they depend on.
//
// Accepted:
//   vertices  D3DDECLUSAGE_POSITION FLOAT3 (D3DFVF_XYZ) transformed by world * view * projection,
//             or POSITIONT FLOAT4 (D3DFVF_XYZRHW) in render-target pixels; COLOR0 (diffuse, white
//             when absent) and TEXCOORD0..7 passed on;
//   lighting  D3DRS_LIGHTING FALSE; or TRUE on untransformed vertices: per-vertex ambient and
//             diffuse lighting (Lighting.h) by up to 8 directional, point and spot lights, with
//             the NORMAL FLOAT3 element (none: N = 0, ambient and emissive only), material colours
//             from the material or the vertex colours as D3DRS_*MATERIALSOURCE and
//             D3DRS_COLORVERTEX choose, D3DRS_NORMALIZENORMALS, specular lighting with
//             D3DRS_SPECULARENABLE and D3DRS_LOCALVIEWER; pretransformed vertices are never lit,
//             nor is anything for a pixel shader that reads no colour;
//   specular  D3DRS_SPECULARENABLE adds COLOR1 (lit: the specular lighting) after the stages;
//   stages    0 and 1: COLOROP/ALPHAOP DISABLE, SELECTARG1, SELECTARG2, MODULATE, ADD with the
//             arguments TEXTURE, DIFFUSE, CURRENT, TFACTOR (no modifiers); texture coordinate set
//             n for stage n, results to CURRENT;
//   texture   transforms on stages 0 and 1: D3DTTFF_COUNT1..4 multiply set n (1 to 3 components
//             widened to (u, 1, 0, 0), (u, v, 1, 0), (u, v, w, 1)) by D3DTS_TEXTURE0+n on
//             untransformed vertices and keep that many components (pretransformed vertices
//             are never transformed); D3DTTFF_PROJECTED divides by the last kept component
//             (the fourth with COUNT unset) before the texture is sampled;
//   generated D3DTSS_TCI_CAMERASPACEPOSITION and CAMERASPACENORMAL (x, y, z, 1) on stages 0 and 1
//             of untransformed vertices, the normal normalized on D3DRS_NORMALIZENORMALS.
// Refused with D3DERR_NOTAVAILABLE at draw time, with the reason named: specular addition for
// unlit vertices without a specular colour, more than 8 enabled lights, a normal other than FLOAT3,
// any other operation or argument, stage 2 or later enabled, texture transforms on stage 2 or later
// or on another stage's coordinates, generated coordinates other than D3DTSS_TCI_CAMERASPACENORMAL
// and CAMERASPACEPOSITION on stages 0 and 1 of untransformed vertices, vertex blending,
// per-vertex point size.
// A stage argument TEXTURE with no texture bound reads opaque white for colour and, as Direct3D 9
// documents for the alpha arguments, the diffuse alpha.
#pragma once

#include <d3d9.h>

#include "Lighting.h"
#include "ShaderProgramBinding.h"

#include <array>
#include <string>
#include <vector>

namespace nvesk::d3d9 {

class RenderStates;
class VertexDeclaration;

inline constexpr DWORD kTextureStageCount = 8;
// Stages the generated pixel stage runs.
inline constexpr DWORD kFixedStageCount = 2;

// Uniforms of the generated stages, refreshed before every draw that uses one.
inline constexpr const char* kFixedTransformUniform = "nvesk_ff_Transform";
inline constexpr const char* kFixedScreenUniform = "nvesk_ff_Screen";
inline constexpr const char* kFixedDepthUniform = "nvesk_ff_Depth";
inline constexpr const char* kFixedFactorUniform = "nvesk_ff_Factor";
inline constexpr const char* kFixedTexTransformUniform = "nvesk_ff_TexTransform";

// What a generated vertex stage depends on; all zero when the vertex shader is the application's.
struct FixedVertexKey {
    enum Position : BYTE { None, Transformed, Pretransformed };
    BYTE position = None;
    BYTE colors = 0;     // bit 0: COLOR0 in the declaration, bit 1: COLOR1
    BYTE texCoords = 0;  // bit n: TEXCOORDn in the declaration
    LightingKey lighting;
    // Per stage: the components D3DTTFF_COUNTn keeps after the texture transform (0: none), and
    // those of the coordinate set it multiplies.
    std::array<BYTE, kFixedStageCount> texTransform {};
    std::array<BYTE, kFixedStageCount> texInput {};
    // Per stage: D3DTSS_TCI_* >> 16 when the coordinates are generated, else 0.
    std::array<BYTE, kFixedStageCount> texGenerated {};

    // Whether the stage reads the camera-space uniform (the lighting's).
    bool CameraSpace() const { return lighting.lit || texGenerated != decltype(texGenerated) {}; }
};

// What a generated pixel stage depends on; all zero when the pixel shader is the application's.
struct FixedPixelKey {
    struct Stage {
        BYTE colorOp = 0;  // 0 past the last enabled stage
        BYTE colorArg1 = 0;
        BYTE colorArg2 = 0;
        BYTE alphaOp = 0;
        BYTE alphaArg1 = 0;
        BYTE alphaArg2 = 0;
        BYTE textured = 0;   // a texture is bound to the stage
        BYTE projected = 0;  // D3DTTFF_PROJECTED: 1-based component the coordinates are divided by
    };
    BYTE generated = 0;
    BYTE specular = 0;  // D3DRS_SPECULARENABLE: COLOR1 is added after the stages
    std::array<Stage, kFixedStageCount> stages {};
};

struct FixedFunctionKey {
    FixedVertexKey vertex;
    FixedPixelKey pixel;

    bool GeneratesVertex() const { return vertex.position != FixedVertexKey::None; }
    bool GeneratesPixel() const { return pixel.generated != 0; }
    bool operator<(const FixedFunctionKey& other) const;
    bool operator==(const FixedFunctionKey& other) const;
};

// The vertex-to-pixel interface of a program whose stages are both generated.
const std::vector<ShaderVarying>& FixedVaryings();

// A generated vertex stage writing `outputs`, or pixel stage reading `inputs` (GLSL 4.50).
std::string GenerateVertexStage(const FixedVertexKey& key, const std::vector<ShaderVarying>& outputs);
std::string GeneratePixelStage(const FixedPixelKey& key, const std::vector<ShaderVarying>& inputs);

// Per-draw values of the generated stages' uniforms.
struct FixedFunctionUniforms {
    float transform[16] = {};                        // world * view * projection, Direct3D rows
    float screen[4] = {};                            // viewport x, y, width, height
    float depth[2] = {};                             // viewport MinZ, MaxZ
    float factor[4] = {};                            // D3DRS_TEXTUREFACTOR as rgba
    float texTransform[16 * kFixedStageCount] = {};  // D3DTS_TEXTURE0.., Direct3D rows
    float lighting[4 * kLightingVectors] = {};
};

// The device's transforms and texture stage states, and the key they select for a draw.
class FixedFunctionStates {
public:
    void Reset();

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
    HRESULT SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT GetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const;

    // The key for a draw whose vertex (pixel) stage is generated when `generateVertex`
    // (`generatePixel`); `texturedStages` has bit n set when stage n has a texture, `userVaryings`
    // are those of the application's stage when only one is generated. Draws outside the subset
    // are refused with D3DERR_NOTAVAILABLE and the reason.
    HRESULT Select(bool generateVertex, bool generatePixel, const VertexDeclaration& declaration,
                   const RenderStates& renderStates, const LightingStates& lighting, unsigned texturedStages,
                   const std::vector<ShaderVarying>& userVaryings, FixedFunctionKey* key) const;

    FixedFunctionUniforms Uniforms(const FixedFunctionKey& key, const D3DVIEWPORT9& viewport,
                                   const RenderStates& renderStates, const LightingStates& lighting) const;

private:
    static constexpr DWORD kStageStateCount = D3DTSS_CONSTANT + 1;
    // World matrices 0..255, then view, projection and the texture matrices 0..7.
    static constexpr size_t kTransformCount = 256 + 2 + kTextureStageCount;
    static int TransformIndex(D3DTRANSFORMSTATETYPE state);

    HRESULT SelectVertex(const VertexDeclaration& declaration, const RenderStates& renderStates,
                         const LightingStates& lighting, bool colorsRead, FixedVertexKey* key) const;
    HRESULT SelectPixel(const RenderStates& renderStates, unsigned texturedStages, FixedPixelKey* key) const;

    std::array<D3DMATRIX, kTransformCount> transforms_ {};
    std::array<std::array<DWORD, kStageStateCount>, kTextureStageCount> stages_ {};
};

}  // namespace nvesk::d3d9
