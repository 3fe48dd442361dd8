// The values of an effect's parameters, addressed by D3DX handles (our own handles or names),
// and their placement in the constant registers of a compiled stage. Each element of a numeric
// array is addressed too, as D3DX gives it: by a handle of its own, described as a parameter of
// the array's name and type that is no array, its values a part of the array's.
#pragma once

#include "EffectDescription.h"
#include "HlslCompiler.h"

#include <d3dx9effect.h>

#include <vector>

namespace nvesk::d3dx9 {

struct EffectParameter {
    EffectParameterDesc desc;
    std::vector<float> values;                 // rows * columns per element, row after row (as a D3DXMATRIX)
    std::vector<INT> integers;                 // int and bool parameters: the same numbers, every bit kept
    IDirect3DBaseTexture9* texture = nullptr;  // one reference held while set
};

class EffectParameters {
public:
    explicit EffectParameters(const std::vector<EffectParameterDesc>& descriptions);
    ~EffectParameters();
    EffectParameters(const EffectParameters&) = delete;
    EffectParameters& operator=(const EffectParameters&) = delete;
    // Lets go of every parameter, and of the textures they hold.
    void Clear();

    // Parameters are indexed 0 to Count() - 1; array elements have the indices after them.
    UINT Count() const { return static_cast<UINT>(parameters_.size()); }
    bool IsElement(int index) const { return index >= static_cast<int>(parameters_.size()); }
    // A parameter (not an element) by index.
    const EffectParameter& At(int index) const { return parameters_[static_cast<std::size_t>(index)]; }
    // What GetParameterDesc says of a parameter or an element.
    const EffectParameterDesc& Desc(int index) const;
    D3DXHANDLE HandleOf(int index) const;
    // The handle of element `element` of parameter `index`; null when it is no numeric array or
    // has no such element.
    D3DXHANDLE ElementHandle(int index, UINT element) const;
    // A handle of ours or a parameter name; -1 when it is neither.
    int Find(D3DXHANDLE handle) const;
    // A handle of ours only; -1 for anything else.
    int FindHandle(D3DXHANDLE handle) const;
    int FindByName(const char* name) const;
    int FindBySemantic(const char* semantic) const;
    // Bytes GetValue/SetValue move: 4 per number (float, INT or BOOL), a pointer for a texture.
    UINT ByteSize(int index) const;

    HRESULT SetValue(int index, const void* data, UINT bytes);
    HRESULT GetValue(int index, void* data, UINT bytes) const;
    HRESULT SetNumbers(int index, const float* values, UINT count);
    HRESULT GetNumbers(int index, float* values, UINT count) const;
    // SetInt, SetBool and their Get: exact for int and bool parameters, converted for floats.
    HRESULT SetIntegers(int index, const INT* values, UINT count);
    HRESULT GetIntegers(int index, INT* values, UINT count) const;
    HRESULT SetVector(int index, const float values[4]);
    HRESULT GetVector(int index, float values[4]) const;
    HRESULT SetMatrix(int index, const D3DXMATRIX& matrix, bool transposed);
    HRESULT GetMatrix(int index, D3DXMATRIX& matrix, bool transposed) const;
    HRESULT SetTexture(int index, IDirect3DBaseTexture9* texture);
    HRESULT GetTexture(int index, IDirect3DBaseTexture9** texture) const;
    HRESULT GetString(int index, LPCSTR* text) const;

    // The stage's vec4 registers with every parameter it reads in its place.
    void FillRegisters(const StageConstants& constants, std::vector<float>& registers) const;

private:
    struct Element {
        int parameter;
        std::size_t first;  // its first value in the array's values
        EffectParameterDesc desc;
    };

    bool IsNumeric(int index) const;
    bool Inside(D3DXHANDLE handle) const;
    // The parameter whose values `index` addresses, the first of them and how many.
    EffectParameter& Owner(int index);
    const EffectParameter& Owner(int index) const;
    std::size_t First(int index) const;
    std::size_t Size(int index) const;
    template <typename Number>
    HRESULT SetEach(int index, const Number* values, UINT count);
    // Stores element `i` of an int or bool parameter: bools as TRUE or FALSE.
    void StoreInteger(EffectParameter& parameter, std::size_t i, INT value);

    std::vector<EffectParameter> parameters_;
    std::vector<Element> elements_;
    std::vector<std::size_t> firstElement_;  // per parameter: its first element in elements_
};

}  // namespace nvesk::d3dx9
