#include "EffectReport.h"

#include "Results.h"
#include "Text.h"

#include <PlatformTesting/Diagnostics.h>

#include <string>
#include <vector>

namespace FxCheck {

namespace {

// Arrays larger than this are described, not listed.
constexpr UINT kMaxListedValues = 16;

// As HLSL writes the type: float4x4, int, bool3, string, texture2D, sampler.
std::string TypeName(const D3DXPARAMETER_DESC& desc) {
    static const char* const kObjects[] = {
        "void",        "bool",        "int",          "float",         "string",        "texture",   "texture1D",
        "texture2D",   "texture3D",   "textureCUBE",  "sampler",       "sampler1D",     "sampler2D", "sampler3D",
        "samplerCUBE", "pixelshader", "vertexshader", "pixelfragment", "vertexfragment"};
    std::string name = desc.Type < sizeof(kObjects) / sizeof(kObjects[0]) ? kObjects[desc.Type] : "unsupported";
    if (desc.Class == D3DXPC_VECTOR) name += std::to_string(desc.Columns);
    if (desc.Class == D3DXPC_MATRIX_ROWS || desc.Class == D3DXPC_MATRIX_COLUMNS)
        name += std::to_string(desc.Rows) + "x" + std::to_string(desc.Columns);
    return name;
}

// The value as the file would write it; empty for objects, matrices and arrays too long to list.
std::string ValueText(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXPARAMETER_DESC& desc) {
    if (desc.Type == D3DXPT_STRING) {
        LPCSTR text = nullptr;
        return SUCCEEDED(effect->GetString(handle, &text)) && text != nullptr ? "\"" + std::string(text) + "\"" : "";
    }
    const bool numeric = desc.Type == D3DXPT_FLOAT || desc.Type == D3DXPT_INT || desc.Type == D3DXPT_BOOL;
    const UINT count = desc.Rows * desc.Columns * (desc.Elements > 0 ? desc.Elements : 1);
    const bool matrix = desc.Class == D3DXPC_MATRIX_ROWS || desc.Class == D3DXPC_MATRIX_COLUMNS;
    if (!numeric || matrix || desc.Class == D3DXPC_OBJECT || count == 0 || count > kMaxListedValues) return "";
    std::vector<float> values(count);
    if (FAILED(effect->GetFloatArray(handle, values.data(), count))) return "";
    if (desc.Type == D3DXPT_BOOL) {
        std::string text;
        for (float value : values)
            text += std::string(text.empty() ? "" : ", ") + (value != 0.0f ? "true" : "false");
        return count == 1 ? text : "{" + text + "}";
    }
    return count == 1 ? NVeskTools::Number(values[0]) : NVeskTools::NumberList(values);
}

// "float4 g_Tint[2] : DIFFUSE = {...}"
std::string Declaration(ID3DXEffect* effect, D3DXHANDLE handle, const D3DXPARAMETER_DESC& desc) {
    std::string text = TypeName(desc) + " " + (desc.Name != nullptr ? desc.Name : "(unnamed)");
    if (desc.Elements > 0) text += "[" + std::to_string(desc.Elements) + "]";
    if (desc.Semantic != nullptr) text += std::string(" : ") + desc.Semantic;
    const std::string value = ValueText(effect, handle, desc);
    return value.empty() ? text : text + " = " + value;
}

void ReportAnnotations(ID3DXEffect* effect, D3DXHANDLE object, UINT count, const char* indent, std::FILE* out) {
    for (UINT i = 0; i < count; ++i) {
        const D3DXHANDLE annotation = effect->GetAnnotation(object, i);
        D3DXPARAMETER_DESC desc {};
        if (annotation == nullptr || FAILED(effect->GetParameterDesc(annotation, &desc))) continue;
        std::fprintf(out, "%sannotation %s\n", indent, Declaration(effect, annotation, desc).c_str());
    }
}

std::string Named(LPCSTR name) {
    return name != nullptr ? name : "(unnamed)";
}

}  // namespace

int ReportTechniques(ID3DXEffect* effect, std::FILE* out) {
    D3DXEFFECT_DESC effectDesc {};
    effect->GetDesc(&effectDesc);
    int failing = 0;
    for (UINT t = 0; t < effectDesc.Techniques; ++t) {
        const D3DXHANDLE technique = effect->GetTechnique(t);
        D3DXTECHNIQUE_DESC desc {};
        if (technique == nullptr || FAILED(effect->GetTechniqueDesc(technique, &desc))) continue;
        std::fprintf(out, "technique %u: %s, %u pass%s\n", t, Named(desc.Name).c_str(), desc.Passes,
                     desc.Passes == 1 ? "" : "es");
        ReportAnnotations(effect, technique, desc.Annotations, "  ", out);
        for (UINT p = 0; p < desc.Passes; ++p) {
            const D3DXHANDLE pass = effect->GetPass(technique, p);
            D3DXPASS_DESC passDesc {};
            if (pass == nullptr || FAILED(effect->GetPassDesc(pass, &passDesc))) continue;
            std::fprintf(out, "  pass %u: %s\n", p, Named(passDesc.Name).c_str());
            ReportAnnotations(effect, pass, passDesc.Annotations, "    ", out);
        }
        PlatformTesting::ClearLastRefusal();
        const HRESULT valid = effect->ValidateTechnique(technique);
        if (SUCCEEDED(valid)) {
            std::fprintf(out, "  ValidateTechnique: OK\n");
        } else {
            ++failing;
            const std::string reason = NVeskTools::RefusalReason();
            std::fprintf(out, "  ValidateTechnique: %s%s%s\n", NVeskTools::ResultName(valid).c_str(),
                         reason.empty() ? "" : ": ", reason.c_str());
        }
    }
    return failing;
}

void ReportParameters(ID3DXEffect* effect, std::FILE* out) {
    D3DXEFFECT_DESC effectDesc {};
    effect->GetDesc(&effectDesc);
    for (UINT i = 0; i < effectDesc.Parameters; ++i) {
        const D3DXHANDLE parameter = effect->GetParameter(nullptr, i);
        D3DXPARAMETER_DESC desc {};
        if (parameter == nullptr || FAILED(effect->GetParameterDesc(parameter, &desc))) continue;
        std::fprintf(out, "parameter %u: %s\n", i, Declaration(effect, parameter, desc).c_str());
        ReportAnnotations(effect, parameter, desc.Annotations, "  ", out);
    }
}

}  // namespace FxCheck
