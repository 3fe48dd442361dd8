#include "Lighting.h"
#include "com/Diagnostics.h"

#include "Conversions.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

void Store(float* vector, float x, float y, float z, float w) {
    vector[0] = x;
    vector[1] = y;
    vector[2] = z;
    vector[3] = w;
}

void StoreColor(float* vector, const D3DCOLORVALUE& color) {
    Store(vector, color.r, color.g, color.b, color.a);
}

// The row vector (x, y, z, w) times a Direct3D matrix.
D3DVECTOR Transform(const D3DVECTOR& v, float w, const D3DMATRIX& m) {
    return D3DVECTOR {v.x * m._11 + v.y * m._21 + v.z * m._31 + w * m._41,
                      v.x * m._12 + v.y * m._22 + v.z * m._32 + w * m._42,
                      v.x * m._13 + v.y * m._23 + v.z * m._33 + w * m._43};
}

D3DVECTOR Normalized(const D3DVECTOR& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? D3DVECTOR {v.x / length, v.y / length, v.z / length} : v;
}

bool Finite(float value) {
    return std::isfinite(value);
}

// The material colour a source names, as a GLSL expression.
std::string SourceColor(BYTE source, std::size_t materialVector) {
    if (source == kFromColor0) {
        return "nvesk_ff_Color0";
    }
    if (source == kFromColor1) {
        return "nvesk_ff_Color1";
    }
    return std::string(kFixedLightingUniform) + "[" + std::to_string(materialVector) + "]";
}

}  // namespace

std::string GenerateCameraSpace(const LightingKey& key) {
    const std::string u = kFixedLightingUniform;
    std::string source = "    mat4 nvesk_ff_WorldView = mat4(" + u + "[0], " + u + "[1], " + u + "[2], " + u +
                         "[3]);\n"
                         "    vec3 nvesk_ff_P = (nvesk_ff_WorldView * vec4(nvesk_ff_Position.xyz, 1.0)).xyz;\n";
    if (key.normal) {
        source +=
            "    vec3 nvesk_ff_N = mat3(" + u + "[4].xyz, " + u + "[5].xyz, " + u + "[6].xyz) * nvesk_ff_Normal;\n";
        if (key.normalize) {
            source += "    nvesk_ff_N = length(nvesk_ff_N) > 0.0 ? normalize(nvesk_ff_N) : nvesk_ff_N;\n";
        }
    } else {
        source += "    vec3 nvesk_ff_N = vec3(0.0);\n";
    }
    return source;
}

std::string GenerateLighting(const LightingKey& key) {
    const std::string u = kFixedLightingUniform;
    std::string source = "    vec4 nvesk_ff_Cd = " + SourceColor(key.diffuse, 8) +
                         ";\n    vec4 nvesk_ff_Ca = " + SourceColor(key.ambient, 9) +
                         ";\n    vec4 nvesk_ff_Ce = " + SourceColor(key.emissive, 10) +
                         ";\n    vec3 nvesk_ff_Ambient = " + u +
                         "[7].rgb;\n    vec3 nvesk_ff_Diffuse = vec3(0.0);\n    vec3 nvesk_ff_Specular = vec3(0.0);\n";
    source +=
        "    for (int i = 0; i < " + std::to_string(key.lights) +
        "; ++i) {\n        int b = " + std::to_string(kLightingHeaderVectors) + " + " + std::to_string(kLightVectors) +
        " * i;\n"
        "        vec4 position = " +
        u + "[b + 2];\n        vec4 cone = " + u + "[b + 4];\n        vec4 attenuation = " + u +
        "[b + 5];\n"
        "        vec3 toLight = " +
        u +
        "[b + 3].xyz;\n"
        "        float factor = 1.0;\n"
        "        if (position.w != 3.0) {\n"
        "            vec3 d = position.xyz - nvesk_ff_P;\n"
        "            float distance = length(d);\n"
        "            if (distance > cone.x) continue;\n"
        "            factor = 1.0 / (attenuation.x + attenuation.y * distance + attenuation.z * distance * distance);\n"
        "            vec3 reversedCone = toLight;\n"
        "            toLight = distance > 0.0 ? d / distance : vec3(0.0);\n"
        "            if (position.w == 2.0) {\n"
        "                float rho = dot(reversedCone, toLight);\n"
        "                factor *= rho > cone.z ? 1.0 : rho <= cone.w ? 0.0\n"
        "                    : pow((rho - cone.w) / (cone.z - cone.w), cone.y);\n"
        "            }\n"
        "        }\n"
        "        nvesk_ff_Ambient += " +
        u + "[b + 1].rgb * factor;\n        nvesk_ff_Diffuse += " + u +
        "[b].rgb * max(dot(nvesk_ff_N, toLight), 0.0) * factor;\n";
    if (key.specular) {
        const std::string toViewer = key.localViewer ? "normalize(-nvesk_ff_P)" : "vec3(0.0, 0.0, -1.0)";
        source += "        vec3 h = normalize(" + toViewer +
                  " + toLight);\n"
                  "        float nh = max(dot(nvesk_ff_N, h), 0.0);\n"
                  "        nvesk_ff_Specular += " +
                  u + "[b + 6].rgb * (" + u + "[12].x > 0.0 ? pow(nh, " + u + "[12].x) : 1.0) * factor;\n";
    }
    source +=
        "    }\n"
        "    vec4 nvesk_ff_Lit = clamp(vec4(nvesk_ff_Ca.rgb * nvesk_ff_Ambient + nvesk_ff_Cd.rgb * nvesk_ff_Diffuse "
        "+ nvesk_ff_Ce.rgb, nvesk_ff_Cd.a), 0.0, 1.0);\n";
    if (key.specular) {
        source += "    vec4 nvesk_ff_Cs = " + SourceColor(key.specularSource, 11) +
                  ";\n    vec4 nvesk_ff_LitSpecular = clamp(vec4(nvesk_ff_Cs.rgb * nvesk_ff_Specular, nvesk_ff_Cs.a), "
                  "0.0, 1.0);\n";
    }
    return source;
}

D3DLIGHT9 DefaultLight() {
    D3DLIGHT9 light {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = D3DVECTOR {0.0f, 0.0f, 1.0f};
    return light;
}

void LightingStates::Reset() {
    lights_.clear();
    material_ = D3DMATERIAL9 {};
}

// The debug runtime's checks: a known type, a range Direct3D can square, non-negative
// attenuation, a direction for the lights that have one, and 0 <= theta <= phi <= pi for spots.
HRESULT LightingStates::SetLight(DWORD index, const D3DLIGHT9* light) {
    if (light == nullptr) {
        return Reject("light is null");
    }
    const D3DLIGHT9& l = *light;
    if (l.Type != D3DLIGHT_POINT && l.Type != D3DLIGHT_SPOT && l.Type != D3DLIGHT_DIRECTIONAL) {
        return Reject("light type %u unknown", static_cast<unsigned>(l.Type));
    }
    const D3DVECTOR& d = l.Direction;
    if (l.Type != D3DLIGHT_POINT && !(d.x != 0.0f || d.y != 0.0f || d.z != 0.0f)) {
        return Reject("a directional or spot light needs a direction");
    }
    if (l.Type != D3DLIGHT_DIRECTIONAL) {
        if (!Finite(l.Range) || l.Range < 0.0f || l.Range > std::sqrt(FLT_MAX) || l.Attenuation0 < 0.0f ||
            l.Attenuation1 < 0.0f || l.Attenuation2 < 0.0f) {
            return Reject("range outside 0..sqrt(FLT_MAX), or a negative attenuation");
        }
    }
    if (l.Type == D3DLIGHT_SPOT &&
        !(l.Theta >= 0.0f && l.Theta <= l.Phi && l.Phi <= static_cast<float>(M_PI) && l.Falloff >= 0.0f)) {
        return Reject("a spot light needs 0 <= Theta <= Phi <= pi and a non-negative falloff");
    }
    lights_[index].light = l;
    return D3D_OK;
}

HRESULT LightingStates::GetLight(DWORD index, D3DLIGHT9* light) const {
    const auto found = lights_.find(index);
    if (light == nullptr || found == lights_.end()) {
        return Reject("light is null, or light %u was never set", index);
    }
    *light = found->second.light;
    return D3D_OK;
}

HRESULT LightingStates::Enable(DWORD index, BOOL enable) {
    auto found = lights_.find(index);
    if (found == lights_.end()) {
        Slot slot;
        slot.light = DefaultLight();
        found = lights_.emplace(index, slot).first;
    }
    found->second.enabled = enable != FALSE;
    return D3D_OK;
}

// Direct3D 9 reports an enabled light as 128, not TRUE.
HRESULT LightingStates::GetEnable(DWORD index, BOOL* enable) const {
    const auto found = lights_.find(index);
    if (enable == nullptr || found == lights_.end()) {
        return Reject("enable is null, or light %u was never set", index);
    }
    *enable = found->second.enabled ? 128 : FALSE;
    return D3D_OK;
}

HRESULT LightingStates::SetMaterial(const D3DMATERIAL9* material) {
    if (material == nullptr) {
        return Reject("material is null");
    }
    material_ = *material;
    return D3D_OK;
}

HRESULT LightingStates::GetMaterial(D3DMATERIAL9* material) const {
    if (material == nullptr) {
        return Reject("material is null");
    }
    *material = material_;
    return D3D_OK;
}

std::size_t LightingStates::EnabledCount() const {
    std::size_t count = 0;
    for (const auto& entry : lights_) {
        count += entry.second.enabled ? 1 : 0;
    }
    return count;
}

void LightingStates::FillUniform(const D3DMATRIX& worldView, const D3DMATRIX& view, D3DCOLOR ambient,
                                 float* vectors) const {
    std::memset(vectors, 0, sizeof(float) * 4 * kLightingVectors);
    std::memcpy(vectors, worldView.m, sizeof(worldView.m));
    // Normals go through the inverse transpose of world * view: its 3x3 cofactors over the
    // determinant.
    const auto& m = worldView.m;
    float* normal = vectors + 16;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int r1 = (row + 1) % 3, r2 = (row + 2) % 3, c1 = (column + 1) % 3, c2 = (column + 2) % 3;
            normal[row * 4 + column] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
        }
    }
    const float determinant = m[0][0] * normal[0] + m[0][1] * normal[1] + m[0][2] * normal[2];
    for (int i = 0; i < 12; ++i) {
        normal[i] = determinant != 0.0f ? normal[i] / determinant : 0.0f;
    }
    const std::array<float, 4> global = ColorToFloats(ambient);
    std::memcpy(vectors + 4 * 7, global.data(), sizeof(float) * 4);
    StoreColor(vectors + 4 * 8, material_.Diffuse);
    StoreColor(vectors + 4 * 9, material_.Ambient);
    StoreColor(vectors + 4 * 10, material_.Emissive);
    StoreColor(vectors + 4 * 11, material_.Specular);
    Store(vectors + 4 * 12, material_.Power, 0.0f, 0.0f, 0.0f);
    float* light = vectors + 4 * kLightingHeaderVectors;
    for (const auto& [index, slot] : lights_) {
        if (!slot.enabled) {
            continue;
        }
        if (light == vectors + 4 * kLightingVectors) {
            break;
        }
        const D3DLIGHT9& l = slot.light;
        StoreColor(light, l.Diffuse);
        StoreColor(light + 4, l.Ambient);
        const D3DVECTOR position = Transform(l.Position, 1.0f, view);
        Store(light + 8, position.x, position.y, position.z, static_cast<float>(l.Type));
        const D3DVECTOR direction = Normalized(Transform(l.Direction, 0.0f, view));
        Store(light + 12, -direction.x, -direction.y, -direction.z, 0.0f);
        Store(light + 16, l.Range, l.Falloff, std::cos(l.Theta / 2.0f), std::cos(l.Phi / 2.0f));
        Store(light + 20, l.Attenuation0, l.Attenuation1, l.Attenuation2, 0.0f);
        StoreColor(light + 24, l.Specular);
        light += 4 * kLightVectors;
    }
}

}  // namespace nvesk::d3d9
