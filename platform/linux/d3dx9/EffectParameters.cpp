#include "EffectParameters.h"
#include "com/Diagnostics.h"

#include <strings.h>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

bool Integral(ParameterType type) {
    return type == ParameterType::Int || type == ParameterType::Bool;
}

INT ToInt(INT value) {
    return value;
}

// A float as an INT, truncated toward zero; out of range values stop at the ends, NaN is 0.
INT ToInt(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483648.0f) return 0x7FFFFFFF;
    if (value <= -2147483648.0f) return static_cast<INT>(-2147483647 - 1);
    return static_cast<INT>(value);
}

float Stored(ParameterType type, float value) {
    if (type == ParameterType::Bool) return value != 0.0f ? 1.0f : 0.0f;
    if (type == ParameterType::Int) return static_cast<float>(ToInt(value));
    return value;
}

}  // namespace

EffectParameters::EffectParameters(const std::vector<EffectParameterDesc>& descriptions) {
    parameters_.reserve(descriptions.size());
    for (const EffectParameterDesc& description : descriptions) {
        EffectParameter parameter;
        parameter.desc = description;
        if (description.parameterClass != ParameterClass::Object) {
            const std::size_t size = static_cast<std::size_t>(description.rows) * description.columns *
                                     static_cast<std::size_t>(std::max(1, description.elements));
            parameter.values.assign(size, 0.0f);
            for (std::size_t i = 0; i < size && i < description.defaultValue.size(); ++i) {
                parameter.values[i] = Stored(description.type, description.defaultValue[i]);
            }
            if (Integral(description.type)) {
                for (float value : parameter.values)
                    parameter.integers.push_back(ToInt(value));
            }
        }
        parameters_.push_back(std::move(parameter));
    }
}

EffectParameters::~EffectParameters() {
    Clear();
}

void EffectParameters::Clear() {
    for (EffectParameter& parameter : parameters_) {
        if (parameter.texture != nullptr) parameter.texture->Release();
    }
    parameters_ = std::vector<EffectParameter>();
}

D3DXHANDLE EffectParameters::HandleOf(int index) const {
    return reinterpret_cast<D3DXHANDLE>(&parameters_[static_cast<std::size_t>(index)]);
}

bool EffectParameters::Inside(D3DXHANDLE handle) const {
    const auto address = reinterpret_cast<std::uintptr_t>(handle);
    return !parameters_.empty() && address >= reinterpret_cast<std::uintptr_t>(parameters_.data()) &&
           address < reinterpret_cast<std::uintptr_t>(parameters_.data() + parameters_.size());
}

int EffectParameters::FindHandle(D3DXHANDLE handle) const {
    if (!Inside(handle)) return -1;
    const auto offset = reinterpret_cast<std::uintptr_t>(handle) - reinterpret_cast<std::uintptr_t>(parameters_.data());
    return offset % sizeof(EffectParameter) == 0 ? static_cast<int>(offset / sizeof(EffectParameter)) : -1;
}

int EffectParameters::Find(D3DXHANDLE handle) const {
    if (handle == nullptr) return -1;
    // An address inside our parameters is a handle or nothing, never a name.
    return Inside(handle) ? FindHandle(handle) : FindByName(handle);
}

int EffectParameters::FindByName(const char* name) const {
    if (name == nullptr) return -1;
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        if (parameters_[i].desc.name == name) return static_cast<int>(i);
    }
    return -1;
}

int EffectParameters::FindBySemantic(const char* semantic) const {
    if (semantic == nullptr) return -1;
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        if (!parameters_[i].desc.semantic.empty() && strcasecmp(parameters_[i].desc.semantic.c_str(), semantic) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool EffectParameters::IsNumeric(int index) const {
    return At(index).desc.parameterClass != ParameterClass::Object;
}

void EffectParameters::StoreInteger(EffectParameter& parameter, std::size_t i, INT value) {
    if (parameter.desc.type == ParameterType::Bool) value = value != 0 ? TRUE : FALSE;
    parameter.integers[i] = value;
    parameter.values[i] = static_cast<float>(value);
}

UINT EffectParameters::ByteSize(int index) const {
    if (IsNumeric(index)) return static_cast<UINT>(At(index).values.size() * 4);
    return At(index).desc.type == ParameterType::Texture ? static_cast<UINT>(sizeof(IDirect3DBaseTexture9*)) : 0;
}

HRESULT EffectParameters::SetValue(int index, const void* data, UINT bytes) {
    if (data == nullptr) return Reject("data is null");
    if (At(index).desc.type == ParameterType::Texture && bytes >= sizeof(IDirect3DBaseTexture9*)) {
        IDirect3DBaseTexture9* texture;
        std::memcpy(&texture, data, sizeof(texture));
        return SetTexture(index, texture);
    }
    if (!IsNumeric(index) || bytes < ByteSize(index))
        return Reject("the parameter is not numeric, or fewer bytes than it holds");
    EffectParameter& parameter = parameters_[static_cast<std::size_t>(index)];
    const auto* words = static_cast<const BYTE*>(data);
    for (std::size_t i = 0; i < parameter.values.size(); ++i) {
        if (parameter.desc.type == ParameterType::Float) {
            std::memcpy(&parameter.values[i], words + i * 4, 4);
        } else {
            INT number;
            std::memcpy(&number, words + i * 4, 4);
            StoreInteger(parameter, i, number);
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::GetValue(int index, void* data, UINT bytes) const {
    if (data == nullptr || bytes < ByteSize(index) || ByteSize(index) == 0)
        return Reject("data is null, or fewer bytes than the parameter holds");
    if (!IsNumeric(index)) {
        IDirect3DBaseTexture9* texture = At(index).texture;
        if (texture != nullptr) texture->AddRef();
        std::memcpy(data, &texture, sizeof(texture));
        return D3D_OK;
    }
    const EffectParameter& parameter = At(index);
    auto* words = static_cast<BYTE*>(data);
    for (std::size_t i = 0; i < parameter.values.size(); ++i) {
        if (parameter.desc.type == ParameterType::Float) {
            std::memcpy(words + i * 4, &parameter.values[i], 4);
        } else {
            std::memcpy(words + i * 4, &parameter.integers[i], 4);
        }
    }
    return D3D_OK;
}

template <typename Number>
HRESULT EffectParameters::SetEach(int index, const Number* values, UINT count) {
    if (!IsNumeric(index) || values == nullptr || count > At(index).values.size())
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    EffectParameter& parameter = parameters_[static_cast<std::size_t>(index)];
    for (UINT i = 0; i < count; ++i) {
        if (Integral(parameter.desc.type)) {
            StoreInteger(parameter, i, ToInt(values[i]));
        } else {
            parameter.values[i] = static_cast<float>(values[i]);
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::SetNumbers(int index, const float* values, UINT count) {
    return SetEach(index, values, count);
}

HRESULT EffectParameters::SetIntegers(int index, const INT* values, UINT count) {
    return SetEach(index, values, count);
}

HRESULT EffectParameters::GetIntegers(int index, INT* values, UINT count) const {
    if (!IsNumeric(index) || values == nullptr || count > At(index).values.size())
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    const EffectParameter& parameter = At(index);
    for (UINT i = 0; i < count; ++i)
        values[i] = Integral(parameter.desc.type) ? parameter.integers[i] : ToInt(parameter.values[i]);
    return D3D_OK;
}

HRESULT EffectParameters::GetNumbers(int index, float* values, UINT count) const {
    if (!IsNumeric(index) || values == nullptr || count > At(index).values.size())
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    std::copy_n(At(index).values.begin(), count, values);
    return D3D_OK;
}

HRESULT EffectParameters::SetVector(int index, const float values[4]) {
    const ParameterClass kind = At(index).desc.parameterClass;
    if (kind != ParameterClass::Scalar && kind != ParameterClass::Vector)
        return Reject("the parameter is not a scalar or vector");
    return SetNumbers(index, values, static_cast<UINT>(std::min(4, At(index).desc.columns)));
}

HRESULT EffectParameters::GetVector(int index, float values[4]) const {
    const ParameterClass kind = At(index).desc.parameterClass;
    if (kind != ParameterClass::Scalar && kind != ParameterClass::Vector)
        return Reject("the parameter is not a scalar or vector");
    std::fill_n(values, 4, 0.0f);
    return GetNumbers(index, values, static_cast<UINT>(std::min(4, At(index).desc.columns)));
}

HRESULT EffectParameters::SetMatrix(int index, const D3DXMATRIX& matrix, bool transposed) {
    if (At(index).desc.parameterClass != ParameterClass::MatrixRows) return Reject("the parameter is not a matrix");
    EffectParameter& parameter = parameters_[static_cast<std::size_t>(index)];
    const int rows = parameter.desc.rows;
    const int columns = parameter.desc.columns;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            parameter.values[static_cast<std::size_t>(r * columns + c)] = transposed ? matrix.m[c][r] : matrix.m[r][c];
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::GetMatrix(int index, D3DXMATRIX& matrix, bool transposed) const {
    if (At(index).desc.parameterClass != ParameterClass::MatrixRows) return Reject("the parameter is not a matrix");
    const EffectParameter& parameter = At(index);
    std::memset(&matrix, 0, sizeof(matrix));
    for (int r = 0; r < parameter.desc.rows; ++r) {
        for (int c = 0; c < parameter.desc.columns; ++c) {
            const float value = parameter.values[static_cast<std::size_t>(r * parameter.desc.columns + c)];
            (transposed ? matrix.m[c][r] : matrix.m[r][c]) = value;
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::SetTexture(int index, IDirect3DBaseTexture9* texture) {
    if (At(index).desc.type != ParameterType::Texture) return Reject("the parameter is not a texture");
    EffectParameter& parameter = parameters_[static_cast<std::size_t>(index)];
    if (texture != nullptr) texture->AddRef();
    if (parameter.texture != nullptr) parameter.texture->Release();
    parameter.texture = texture;
    return D3D_OK;
}

HRESULT EffectParameters::GetTexture(int index, IDirect3DBaseTexture9** texture) const {
    if (texture == nullptr || At(index).desc.type != ParameterType::Texture)
        return Reject("texture is null, or the parameter is not a texture");
    *texture = At(index).texture;
    if (*texture != nullptr) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT EffectParameters::GetString(int index, LPCSTR* text) const {
    if (text == nullptr || At(index).desc.type != ParameterType::String)
        return Reject("ppString is null, or the parameter is not a string");
    *text = At(index).desc.text.c_str();
    return D3D_OK;
}

void EffectParameters::FillRegisters(const StageConstants& constants, std::vector<float>& registers) const {
    registers.assign(static_cast<std::size_t>(constants.registerCount) * 4, 0.0f);
    const std::size_t limit = registers.size();
    auto put = [&](std::size_t byteOffset, float value) {
        const std::size_t slot = byteOffset / 4;
        if (slot < limit) registers[slot] = value;
    };
    for (const ConstantSlot& slot : constants.slots) {
        const int index = FindByName(slot.name.c_str());
        if (index < 0 || !IsNumeric(index)) continue;
        const EffectParameter& parameter = At(index);
        const int rows = parameter.desc.rows;
        const int columns = parameter.desc.columns;
        const int elements = std::max(1, parameter.desc.elements);
        for (int e = 0; e < elements; ++e) {
            const std::size_t base = slot.offset + static_cast<std::size_t>(e) * slot.arrayStride;
            const float* value = parameter.values.data() + static_cast<std::size_t>(e) * rows * columns;
            if (parameter.desc.parameterClass != ParameterClass::MatrixRows) {
                for (int c = 0; c < columns; ++c)
                    put(base + static_cast<std::size_t>(c) * 4, value[c]);
                continue;
            }
            // Column-major packing puts one column of the matrix in each register, as D3DX does
            // when it transposes a matrix on upload; row-major packing one row.
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < columns; ++c) {
                    const std::size_t at = slot.columnMajor
                                               ? base + static_cast<std::size_t>(c) * slot.matrixStride + r * 4u
                                               : base + static_cast<std::size_t>(r) * slot.matrixStride + c * 4u;
                    put(at, value[r * columns + c]);
                }
            }
        }
    }
}

}  // namespace nvesk::d3dx9
