// D3DX 9 effects: parameters, techniques and passes of an effect compiled from source, with the
// Windows names, method order within each interface, values and layouts.
#pragma once

#include "d3dx9math.h"
#include "d3dx9shader.h"

#define D3DXFX_DONOTSAVESTATE (1 << 0)
#define D3DXFX_DONOTSAVESHADERSTATE (1 << 1)
#define D3DXFX_DONOTSAVESAMPLERSTATE (1 << 2)
#define D3DXFX_NOT_CLONEABLE (1 << 11)
#define D3DXFX_LARGEADDRESSAWARE (1 << 17)

#define D3DX_PARAMETER_SHARED (1 << 0)
#define D3DX_PARAMETER_LITERAL (1 << 1)
#define D3DX_PARAMETER_ANNOTATION (1 << 2)

typedef enum _D3DXPARAMETER_CLASS {
    D3DXPC_SCALAR,
    D3DXPC_VECTOR,
    D3DXPC_MATRIX_ROWS,
    D3DXPC_MATRIX_COLUMNS,
    D3DXPC_OBJECT,
    D3DXPC_STRUCT,
    D3DXPC_FORCE_DWORD = 0x7fffffff
} D3DXPARAMETER_CLASS,
    *LPD3DXPARAMETER_CLASS;

typedef enum _D3DXPARAMETER_TYPE {
    D3DXPT_VOID,
    D3DXPT_BOOL,
    D3DXPT_INT,
    D3DXPT_FLOAT,
    D3DXPT_STRING,
    D3DXPT_TEXTURE,
    D3DXPT_TEXTURE1D,
    D3DXPT_TEXTURE2D,
    D3DXPT_TEXTURE3D,
    D3DXPT_TEXTURECUBE,
    D3DXPT_SAMPLER,
    D3DXPT_SAMPLER1D,
    D3DXPT_SAMPLER2D,
    D3DXPT_SAMPLER3D,
    D3DXPT_SAMPLERCUBE,
    D3DXPT_PIXELSHADER,
    D3DXPT_VERTEXSHADER,
    D3DXPT_PIXELFRAGMENT,
    D3DXPT_VERTEXFRAGMENT,
    D3DXPT_UNSUPPORTED,
    D3DXPT_FORCE_DWORD = 0x7fffffff
} D3DXPARAMETER_TYPE,
    *LPD3DXPARAMETER_TYPE;

typedef struct _D3DXEFFECT_DESC {
    LPCSTR Creator;
    UINT Parameters;
    UINT Techniques;
    UINT Functions;
} D3DXEFFECT_DESC;

typedef struct _D3DXPARAMETER_DESC {
    LPCSTR Name;
    LPCSTR Semantic;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;
    UINT Columns;
    UINT Elements;
    UINT Annotations;
    UINT StructMembers;
    DWORD Flags;
    UINT Bytes;
} D3DXPARAMETER_DESC;

typedef struct _D3DXTECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
} D3DXTECHNIQUE_DESC;

typedef struct _D3DXPASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    const DWORD* pVertexShaderFunction;
    const DWORD* pPixelShaderFunction;
} D3DXPASS_DESC;
static_assert(sizeof(D3DXPASS_DESC) == 4 * sizeof(void*), "D3DXPASS_DESC has its Windows size");

// {9537AB04-3250-412e-8213-FCD2F8677933}
DEFINE_GUID(IID_ID3DXEffectPool, 0x9537ab04, 0x3250, 0x412e, 0x82, 0x13, 0xfc, 0xd2, 0xf8, 0x67, 0x79, 0x33);
// {017C18AC-103F-4417-8C51-6BF6EF1E56BE}
DEFINE_GUID(IID_ID3DXBaseEffect, 0x017c18ac, 0x103f, 0x4417, 0x8c, 0x51, 0x6b, 0xf6, 0xef, 0x1e, 0x56, 0xbe);
// {F6CEB4B3-4E4C-40dd-B883-8D8DE5EA0CD5}
DEFINE_GUID(IID_ID3DXEffect, 0xf6ceb4b3, 0x4e4c, 0x40dd, 0xb8, 0x83, 0x8d, 0x8d, 0xe5, 0xea, 0x0c, 0xd5);

struct ID3DXEffectPool : public IUnknown {
protected:
    ~ID3DXEffectPool() = default;
};
typedef ID3DXEffectPool *LPD3DXEFFECTPOOL, *PD3DXEFFECTPOOL;

struct ID3DXBaseEffect : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DXEFFECT_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetParameter(D3DXHANDLE hParameter, UINT Index) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetParameterBySemantic(D3DXHANDLE hParameter, LPCSTR pSemantic) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetTechnique(UINT Index) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetTechniqueByName(LPCSTR pName) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetPass(D3DXHANDLE hTechnique, UINT Index) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetAnnotation(D3DXHANDLE hObject, UINT Index) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBool(D3DXHANDLE hParameter, BOOL b) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBool(D3DXHANDLE hParameter, BOOL* pb) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInt(D3DXHANDLE hParameter, INT n) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInt(D3DXHANDLE hParameter, INT* pn) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFloat(D3DXHANDLE hParameter, FLOAT f) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloat(D3DXHANDLE hParameter, FLOAT* pf) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFloatArray(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFloatArray(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMatrixTranspose(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMatrixTranspose(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(D3DXHANDLE hParameter, LPCSTR* ppString) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) = 0;

protected:
    ~ID3DXBaseEffect() = default;
};
typedef ID3DXBaseEffect *LPD3DXBASEEFFECT, *PD3DXBASEEFFECT;

struct ID3DXEffect : public ID3DXBaseEffect {
    virtual HRESULT STDMETHODCALLTYPE GetPool(LPD3DXEFFECTPOOL* ppPool) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE hTechnique) = 0;
    virtual D3DXHANDLE STDMETHODCALLTYPE GetCurrentTechnique() = 0;
    virtual HRESULT STDMETHODCALLTYPE ValidateTechnique(D3DXHANDLE hTechnique) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindNextValidTechnique(D3DXHANDLE hTechnique, D3DXHANDLE* pTechnique) = 0;
    virtual HRESULT STDMETHODCALLTYPE Begin(UINT* pPasses, DWORD Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginPass(UINT Pass) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitChanges() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndPass() = 0;
    virtual HRESULT STDMETHODCALLTYPE End() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnLostDevice() = 0;
    virtual HRESULT STDMETHODCALLTYPE OnResetDevice() = 0;

protected:
    ~ID3DXEffect() = default;
};
typedef ID3DXEffect *LPD3DXEFFECT, *PD3DXEFFECT;

extern "C" {
HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines,
                                LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                LPD3DXBUFFER* ppCompilationErrors);
HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, const D3DXMACRO* pDefines,
                                         LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXEFFECTPOOL pPool,
                                         LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors);
}
