#include "EffectParameters.h"
#include "com/Diagnostics.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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
    // Built once all parameters stand, so that every handle stays where it is.
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        const EffectParameterDesc& desc = parameters_[i].desc;
        firstElement_.push_back(elements_.size());
        if (desc.parameterClass == ParameterClass::Object || desc.elements == 0) continue;
        const std::size_t size = static_cast<std::size_t>(desc.rows) * desc.columns;
        for (int e = 0; e < desc.elements; ++e) {
            Element element {static_cast<int>(i), static_cast<std::size_t>(e) * size, desc};
            element.desc.elements = 0;
            element.desc.annotations.clear();
            element.desc.defaultValue.clear();
            elements_.push_back(std::move(element));
        }
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
    elements_ = std::vector<Element>();
    firstElement_ = std::vector<std::size_t>();
}

const EffectParameterDesc& EffectParameters::Desc(int index) const {
    return IsElement(index) ? elements_[static_cast<std::size_t>(index) - parameters_.size()].desc : At(index).desc;
}

EffectParameter& EffectParameters::Owner(int index) {
    return parameters_[static_cast<std::size_t>(IsElement(index) ? elements_[index - parameters_.size()].parameter
                                                                 : index)];
}

const EffectParameter& EffectParameters::Owner(int index) const {
    return parameters_[static_cast<std::size_t>(IsElement(index) ? elements_[index - parameters_.size()].parameter
                                                                 : index)];
}

std::size_t EffectParameters::First(int index) const {
    return IsElement(index) ? elements_[static_cast<std::size_t>(index) - parameters_.size()].first : 0;
}

std::size_t EffectParameters::Size(int index) const {
    const EffectParameterDesc& desc = Desc(index);
    return IsElement(index) ? static_cast<std::size_t>(desc.rows) * desc.columns : Owner(index).values.size();
}

D3DXHANDLE EffectParameters::HandleOf(int index) const {
    if (IsElement(index)) return reinterpret_cast<D3DXHANDLE>(&elements_[index - parameters_.size()]);
    return reinterpret_cast<D3DXHANDLE>(&parameters_[static_cast<std::size_t>(index)]);
}

D3DXHANDLE EffectParameters::ElementHandle(int index, UINT element) const {
    if (index < 0 || IsElement(index) || !IsNumeric(index) || element >= static_cast<UINT>(Desc(index).elements))
        return nullptr;
    return HandleOf(static_cast<int>(parameters_.size() + firstElement_[static_cast<std::size_t>(index)] + element));
}

namespace {

// The index of `handle` among `items` when it is the address of one of them, -1 otherwise.
template <typename Item>
int IndexAmong(const std::vector<Item>& items, D3DXHANDLE handle) {
    const auto address = reinterpret_cast<std::uintptr_t>(handle);
    const auto begin = reinterpret_cast<std::uintptr_t>(items.data());
    if (items.empty() || address < begin || address >= begin + items.size() * sizeof(Item)) return -1;
    return (address - begin) % sizeof(Item) == 0 ? static_cast<int>((address - begin) / sizeof(Item)) : -1;
}

template <typename Item>
bool WithinItems(const std::vector<Item>& items, D3DXHANDLE handle) {
    const auto address = reinterpret_cast<std::uintptr_t>(handle);
    const auto begin = reinterpret_cast<std::uintptr_t>(items.data());
    return !items.empty() && address >= begin && address < begin + items.size() * sizeof(Item);
}

}  // namespace

bool EffectParameters::Inside(D3DXHANDLE handle) const {
    return WithinItems(parameters_, handle) || WithinItems(elements_, handle);
}

int EffectParameters::FindHandle(D3DXHANDLE handle) const {
    const int parameter = IndexAmong(parameters_, handle);
    if (parameter >= 0) return parameter;
    const int element = IndexAmong(elements_, handle);
    return element < 0 ? -1 : static_cast<int>(parameters_.size()) + element;
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
    // `array[2]` names an element, as D3DX reads names.
    const char* open = std::strrchr(name, '[');
    if (open == nullptr || open == name || !std::isdigit(static_cast<unsigned char>(open[1]))) return -1;
    char* end = nullptr;
    const unsigned long element = std::strtoul(open + 1, &end, 10);
    if (*end != ']' || end[1] != '\0' || element > 0xFFFFFFFFul) return -1;
    const D3DXHANDLE handle = ElementHandle(FindByName(std::string(name, open).c_str()), static_cast<UINT>(element));
    return handle == nullptr ? -1 : FindHandle(handle);
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
    return Desc(index).parameterClass != ParameterClass::Object;
}

void EffectParameters::StoreInteger(EffectParameter& parameter, std::size_t i, INT value) {
    if (parameter.desc.type == ParameterType::Bool) value = value != 0 ? TRUE : FALSE;
    parameter.integers[i] = value;
    parameter.values[i] = static_cast<float>(value);
}

UINT EffectParameters::ByteSize(int index) const {
    if (IsNumeric(index)) return static_cast<UINT>(Size(index) * 4);
    return Desc(index).type == ParameterType::Texture ? static_cast<UINT>(sizeof(IDirect3DBaseTexture9*)) : 0;
}

HRESULT EffectParameters::SetValue(int index, const void* data, UINT bytes) {
    if (data == nullptr) return Reject("data is null");
    if (Desc(index).type == ParameterType::Texture && bytes >= sizeof(IDirect3DBaseTexture9*)) {
        IDirect3DBaseTexture9* texture;
        std::memcpy(&texture, data, sizeof(texture));
        return SetTexture(index, texture);
    }
    if (!IsNumeric(index) || bytes < ByteSize(index))
        return Reject("the parameter is not numeric, or fewer bytes than it holds");
    EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    const auto* words = static_cast<const BYTE*>(data);
    for (std::size_t i = 0; i < Size(index); ++i) {
        if (parameter.desc.type == ParameterType::Float) {
            std::memcpy(&parameter.values[first + i], words + i * 4, 4);
        } else {
            INT number;
            std::memcpy(&number, words + i * 4, 4);
            StoreInteger(parameter, first + i, number);
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::GetValue(int index, void* data, UINT bytes) const {
    if (data == nullptr || bytes < ByteSize(index) || ByteSize(index) == 0)
        return Reject("data is null, or fewer bytes than the parameter holds");
    if (!IsNumeric(index)) {
        IDirect3DBaseTexture9* texture = Owner(index).texture;
        if (texture != nullptr) texture->AddRef();
        std::memcpy(data, &texture, sizeof(texture));
        return D3D_OK;
    }
    const EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    auto* words = static_cast<BYTE*>(data);
    for (std::size_t i = 0; i < Size(index); ++i) {
        if (parameter.desc.type == ParameterType::Float) {
            std::memcpy(words + i * 4, &parameter.values[first + i], 4);
        } else {
            std::memcpy(words + i * 4, &parameter.integers[first + i], 4);
        }
    }
    return D3D_OK;
}

template <typename Number>
HRESULT EffectParameters::SetEach(int index, const Number* values, UINT count) {
    if (!IsNumeric(index) || values == nullptr || count > Size(index))
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    for (UINT i = 0; i < count; ++i) {
        if (Integral(parameter.desc.type)) {
            StoreInteger(parameter, first + i, ToInt(values[i]));
        } else {
            parameter.values[first + i] = static_cast<float>(values[i]);
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
    if (!IsNumeric(index) || values == nullptr || count > Size(index))
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    const EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    for (UINT i = 0; i < count; ++i) {
        values[i] = Integral(parameter.desc.type) ? parameter.integers[first + i] : ToInt(parameter.values[first + i]);
    }
    return D3D_OK;
}

HRESULT EffectParameters::GetNumbers(int index, float* values, UINT count) const {
    if (!IsNumeric(index) || values == nullptr || count > Size(index))
        return Reject("the parameter is not numeric, values is null, or more values than it holds");
    std::copy_n(Owner(index).values.begin() + static_cast<std::ptrdiff_t>(First(index)), count, values);
    return D3D_OK;
}

HRESULT EffectParameters::SetVector(int index, const float values[4]) {
    const ParameterClass kind = Desc(index).parameterClass;
    if (kind != ParameterClass::Scalar && kind != ParameterClass::Vector)
        return Reject("the parameter is not a scalar or vector");
    return SetNumbers(index, values, static_cast<UINT>(std::min(4, Desc(index).columns)));
}

HRESULT EffectParameters::GetVector(int index, float values[4]) const {
    const ParameterClass kind = Desc(index).parameterClass;
    if (kind != ParameterClass::Scalar && kind != ParameterClass::Vector)
        return Reject("the parameter is not a scalar or vector");
    std::fill_n(values, 4, 0.0f);
    return GetNumbers(index, values, static_cast<UINT>(std::min(4, Desc(index).columns)));
}

HRESULT EffectParameters::SetMatrix(int index, const D3DXMATRIX& matrix, bool transposed) {
    if (Desc(index).parameterClass != ParameterClass::MatrixRows) return Reject("the parameter is not a matrix");
    EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    const int rows = parameter.desc.rows;
    const int columns = parameter.desc.columns;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            parameter.values[first + static_cast<std::size_t>(r * columns + c)] =
                transposed ? matrix.m[c][r] : matrix.m[r][c];
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::GetMatrix(int index, D3DXMATRIX& matrix, bool transposed) const {
    if (Desc(index).parameterClass != ParameterClass::MatrixRows) return Reject("the parameter is not a matrix");
    const EffectParameter& parameter = Owner(index);
    const std::size_t first = First(index);
    std::memset(&matrix, 0, sizeof(matrix));
    for (int r = 0; r < parameter.desc.rows; ++r) {
        for (int c = 0; c < parameter.desc.columns; ++c) {
            const float value = parameter.values[first + static_cast<std::size_t>(r * parameter.desc.columns + c)];
            (transposed ? matrix.m[c][r] : matrix.m[r][c]) = value;
        }
    }
    return D3D_OK;
}

HRESULT EffectParameters::SetTexture(int index, IDirect3DBaseTexture9* texture) {
    if (Desc(index).type != ParameterType::Texture) return Reject("the parameter is not a texture");
    EffectParameter& parameter = Owner(index);
    if (texture != nullptr) texture->AddRef();
    if (parameter.texture != nullptr) parameter.texture->Release();
    parameter.texture = texture;
    return D3D_OK;
}

HRESULT EffectParameters::GetTexture(int index, IDirect3DBaseTexture9** texture) const {
    if (texture == nullptr || Desc(index).type != ParameterType::Texture)
        return Reject("texture is null, or the parameter is not a texture");
    *texture = Owner(index).texture;
    if (*texture != nullptr) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT EffectParameters::GetString(int index, LPCSTR* text) const {
    if (text == nullptr || Desc(index).type != ParameterType::String)
        return Reject("ppString is null, or the parameter is not a string");
    *text = Desc(index).text.c_str();
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
