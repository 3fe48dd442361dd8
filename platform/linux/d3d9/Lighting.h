// Direct3D 9's lights and material (SetLight, LightEnable, SetMaterial), and the lighting the
// generated vertex stage runs with them: per vertex, in camera space, as Direct3D 9 documents it,
//   diffuse  = clamp(Ca * (Ga + sum(Atten * Spot * La)) + Cd * sum(Ld * (N.L) * Atten * Spot) + Ce),
//              alpha Cd alpha,
//   specular = clamp(Cs * sum(Ls * (N.H)^P * Atten * Spot)) with D3DRS_SPECULARENABLE, where H is
//              norm(norm(camera - vertex) + L) with D3DRS_LOCALVIEWER, else norm((0, 0, -1) + L),
// for directional, point and spot lights (range, attenuation, falloff between theta and phi).
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <map>
#include <string>

namespace nvesk::d3d9 {

inline constexpr DWORD kMaxActiveLights = 8;
inline constexpr const char* kFixedLightingUniform = "nvesk_ff_Lighting";
// The lighting uniform's vec4s: world * view (4 rows), its inverse transpose (3 rows), global
// ambient, material diffuse, ambient, emissive, specular and {power}; then per enabled light its
// diffuse, ambient, camera-space position (w: type), direction to the light (directional) or of
// the cone reversed (spot), {range, falloff, cos(theta/2), cos(phi/2)}, {attenuation 0, 1, 2} and
// specular.
inline constexpr std::size_t kLightingHeaderVectors = 13;
inline constexpr std::size_t kLightVectors = 7;
inline constexpr std::size_t kLightingVectors = kLightingHeaderVectors + kLightVectors * kMaxActiveLights;

// Where a lit vertex takes a material colour from, as the generated stage reads it.
enum MaterialColorSource : BYTE { kFromMaterial = 0, kFromColor0 = 1, kFromColor1 = 2 };

// What the generated vertex stage's lighting depends on.
struct LightingKey {
    bool lit = false;  // D3DRS_LIGHTING on an untransformed vertex whose colours are read
    BYTE lights = 0;   // enabled lights
    BYTE diffuse = 0;  // MaterialColorSource of each material colour
    BYTE ambient = 0;
    BYTE emissive = 0;
    BYTE specularSource = 0;
    bool specular = false;     // D3DRS_SPECULARENABLE
    bool localViewer = false;  // D3DRS_LOCALVIEWER
    bool normal = false;       // the vertex has a normal; without one N is 0 and only ambient and emissive light it
    bool normalize = false;    // D3DRS_NORMALIZENORMALS
};

// GLSL statements that compute `vec4 nvesk_ff_Lit` (and `vec4 nvesk_ff_LitSpecular` when the key
// has specular) from `nvesk_ff_Position`, `nvesk_ff_Normal`
// (when the key has a normal), the vertex colours the sources name and the lighting uniform.
std::string GenerateLighting(const LightingKey& key);

// GLSL statements that compute the camera-space `mat4 nvesk_ff_WorldView`, `vec3 nvesk_ff_P` and
// `vec3 nvesk_ff_N` (0 without a normal) the lighting and generated coordinates read.
std::string GenerateCameraSpace(const LightingKey& key);

// The light Direct3D 9 creates for LightEnable on an index never set: white, directional, along +z.
D3DLIGHT9 DefaultLight();

class LightingStates {
public:
    // No lights, a zero material.
    void Reset();

    HRESULT SetLight(DWORD index, const D3DLIGHT9* light);
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) const;
    // Enabling an index never set creates Direct3D 9's default light there.
    HRESULT Enable(DWORD index, BOOL enable);
    HRESULT GetEnable(DWORD index, BOOL* enable) const;
    HRESULT SetMaterial(const D3DMATERIAL9* material);
    HRESULT GetMaterial(D3DMATERIAL9* material) const;

    std::size_t EnabledCount() const;
    // The lighting uniform (kLightingVectors vec4s) for a draw.
    void FillUniform(const D3DMATRIX& worldView, const D3DMATRIX& view, D3DCOLOR ambient, float* vectors) const;

private:
    struct Slot {
        D3DLIGHT9 light {};
        bool enabled = false;
    };
    std::map<DWORD, Slot> lights_;
    D3DMATERIAL9 material_ {};
};

}  // namespace nvesk::d3d9
