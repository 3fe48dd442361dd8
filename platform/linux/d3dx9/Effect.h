// ID3DXEffect on our compiler and the Direct3D device: parameters by handle or name, techniques
// whose passes set the pass's program, constants, textures, sampler and render states. A state
// written as an expression over parameters is evaluated at BeginPass and CommitChanges.
#pragma once

#include "EffectParameters.h"
#include "EffectStateTable.h"
#include "PassProgram.h"
#include "com/Object.h"

#include <d3dx9effect.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

class Effect final : public com::ComObject<ID3DXEffect> {
public:
    // Parses, compiles and links every pass; on failure returns a failing HRESULT, `errors`
    // holds `file(line,col): error: ...` lines and nothing is created. `flags` are D3DXCreateEffect's.
    static HRESULT Create(IDirect3DDevice9* device, const std::string& source, const std::string& fileName, DWORD flags,
                          Effect** effect, std::string& errors);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    // ID3DXBaseEffect
    HRESULT STDMETHODCALLTYPE GetDesc(D3DXEFFECT_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) override;
    D3DXHANDLE STDMETHODCALLTYPE GetParameter(D3DXHANDLE hParameter, UINT Index) override;
    D3DXHANDLE STDMETHODCALLTYPE GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) override;
    D3DXHANDLE STDMETHODCALLTYPE GetParameterBySemantic(D3DXHANDLE hParameter, LPCSTR pSemantic) override;
    D3DXHANDLE STDMETHODCALLTYPE GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex) override;
    D3DXHANDLE STDMETHODCALLTYPE GetTechnique(UINT Index) override;
    D3DXHANDLE STDMETHODCALLTYPE GetTechniqueByName(LPCSTR pName) override;
    D3DXHANDLE STDMETHODCALLTYPE GetPass(D3DXHANDLE hTechnique, UINT Index) override;
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotation(D3DXHANDLE hObject, UINT Index) override;
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) override;
    HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) override;
    HRESULT STDMETHODCALLTYPE GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) override;
    HRESULT STDMETHODCALLTYPE SetBool(D3DXHANDLE hParameter, BOOL b) override;
    HRESULT STDMETHODCALLTYPE GetBool(D3DXHANDLE hParameter, BOOL* pb) override;
    HRESULT STDMETHODCALLTYPE SetInt(D3DXHANDLE hParameter, INT n) override;
    HRESULT STDMETHODCALLTYPE GetInt(D3DXHANDLE hParameter, INT* pn) override;
    HRESULT STDMETHODCALLTYPE SetFloat(D3DXHANDLE hParameter, FLOAT f) override;
    HRESULT STDMETHODCALLTYPE GetFloat(D3DXHANDLE hParameter, FLOAT* pf) override;
    HRESULT STDMETHODCALLTYPE SetFloatArray(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) override;
    HRESULT STDMETHODCALLTYPE GetFloatArray(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) override;
    HRESULT STDMETHODCALLTYPE SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) override;
    HRESULT STDMETHODCALLTYPE GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) override;
    HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE SetMatrixTranspose(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetMatrixTranspose(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetString(D3DXHANDLE hParameter, LPCSTR* ppString) override;
    HRESULT STDMETHODCALLTYPE SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) override;
    HRESULT STDMETHODCALLTYPE GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) override;

    // ID3DXEffect
    HRESULT STDMETHODCALLTYPE GetPool(LPD3DXEFFECTPOOL* ppPool) override;
    HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE hTechnique) override;
    D3DXHANDLE STDMETHODCALLTYPE GetCurrentTechnique() override;
    HRESULT STDMETHODCALLTYPE ValidateTechnique(D3DXHANDLE hTechnique) override;
    HRESULT STDMETHODCALLTYPE FindNextValidTechnique(D3DXHANDLE hTechnique, D3DXHANDLE* pTechnique) override;
    HRESULT STDMETHODCALLTYPE Begin(UINT* pPasses, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE BeginPass(UINT Pass) override;
    HRESULT STDMETHODCALLTYPE CommitChanges() override;
    HRESULT STDMETHODCALLTYPE EndPass() override;
    HRESULT STDMETHODCALLTYPE End() override;
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) override;
    HRESULT STDMETHODCALLTYPE OnLostDevice() override;
    HRESULT STDMETHODCALLTYPE OnResetDevice() override;

private:
    // Texture: `Texture[n] = <t>` (no parameter: `= NULL`, unbound); SamplerBlock: `Sampler[n] = (s)`,
    // a sampler_state on stage n; Fixed: a transform, light, material or FVF (`fixedGroup`).
    enum class StateTarget { Render, TextureStage, Sampler, Texture, SamplerBlock, Fixed };

    // One assignment of a pass, its value fixed or read from a parameter when the pass begins.
    struct PassState {
        StateTarget target = StateTarget::Render;
        DWORD state = 0;
        DWORD unit = 0;
        StateValueKind kind = StateValueKind::Dword;
        DWORD value = 0;
        int parameter = -1;
        FixedStateGroup fixedGroup = FixedStateGroup::Transform;
        std::array<float, 4> vector {};   // a Vector state's literal
        std::array<float, 16> matrix {};  // a Matrix state's folded value, when no parameter gives it
        // A value that reads parameters, evaluated each time the state is applied.
        std::shared_ptr<const Expression> expression;
        std::string written;  // as the file writes it, for messages: "FogEnable = TRUE"
    };

    // Where the annotations of a parameter, technique or pass are in annotations_.
    struct AnnotationRange {
        UINT first = 0;
        UINT count = 0;
    };

    struct Pass {
        std::string name;
        bool setsShaders = false;           // false: the device's shaders stay as they are
        std::vector<PassProgram> programs;  // vertex choice * pixelChoices + pixel choice
        int vertexSelector = -1;            // the int parameter that picks the vertex shader, or -1
        int pixelSelector = -1;
        std::shared_ptr<const Expression> vertexIndex;  // or the expression that picks it
        std::shared_ptr<const Expression> pixelIndex;
        std::size_t vertexChoices = 1;
        std::size_t pixelChoices = 1;
        std::vector<PassState> states;
        DWORD vertexShaderVersion = 0;  // the highest profile its shaders compile for (D3DVS_VERSION)
        DWORD pixelShaderVersion = 0;
        AnnotationRange annotations;
    };

    struct Technique {
        std::string name;
        std::vector<Pass> passes;
        AnnotationRange annotations;
    };

    // What a sampler_state block sets on the texture stage of a sampler.
    struct SamplerBinding {
        int textureParameter = -1;
        std::vector<PassState> states;
    };

    struct SavedState {
        std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renderStates;
        std::vector<std::tuple<DWORD, D3DTEXTURESTAGESTATETYPE, DWORD>> textureStageStates;
        std::vector<std::tuple<DWORD, D3DSAMPLERSTATETYPE, DWORD>> samplerStates;
        std::vector<std::pair<DWORD, IDirect3DBaseTexture9*>> textures;
        std::vector<std::pair<D3DTRANSFORMSTATETYPE, D3DMATRIX>> transforms;
        struct Light {
            DWORD index = 0;
            bool defined = false;  // false: the light did not exist before Begin
            D3DLIGHT9 light {};
            BOOL enabled = FALSE;
        };
        std::vector<Light> lights;
        bool materialSaved = false;
        D3DMATERIAL9 material {};
        bool vertexFormatSaved = false;
        DWORD fvf = 0;
        IDirect3DVertexDeclaration9* declaration = nullptr;  // one reference, when fvf is 0
    };

    Effect(IDirect3DDevice9* device, const EffectDescription& description);
    void OnFinalRelease() override;

    bool ResolveState(const StateAssignment& assignment, bool inSampler, PassState& state, std::string& error) const;
    // Whether two assignments of a pass set the same state (of the same stage, light or transform).
    static bool SameState(const PassState& a, const PassState& b);
    HRESULT CreatePass(const EffectDescription& description, const EffectPassDesc& passDesc,
                       const std::string& fileName, Pass& pass, std::string& errors);
    // Which of the pass's programs BeginPass uses now; -1 when a selector is out of range.
    int ChosenProgram(const Pass& pass) const;
    int IntParameter(int index) const;
    void ApplySampler(DWORD stage, int sampler);
    int FindTechnique(D3DXHANDLE handle) const;
    const Pass* FindPass(D3DXHANDLE handle) const;
    // A parameter by handle or name; an annotation's handle is none.
    int Parameter(D3DXHANDLE handle) const {
        return annotations_.FindHandle(handle) >= 0 ? -1 : parameters_.Find(handle);
    }
    // What the Get methods read: a parameter (by handle or name) or an annotation (by handle).
    std::pair<const EffectParameters*, int> Readable(D3DXHANDLE handle) const;
    // The annotations of a pass, technique or parameter, by handle or name; null when none of these.
    const AnnotationRange* AnnotationsOf(D3DXHANDLE handle) const;
    // ValidateTechnique's checks: shader versions the device offers, and every state of every pass
    // applied (and put back) without failing.
    HRESULT Validate(const Technique& technique);
    bool ResolveFixedState(const StateAssignment& assignment, PassState& state, std::string& error) const;
    // What names in an expression stand for: values of a state of `kind` (unless `variableOnly`),
    // static consts and numeric parameters.
    NameLookup ExpressionNames(StateValueKind kind, bool variableOnly) const;
    // A shader array's index written as an expression; false when it is not one, or a constant
    // outside the array's `choices`.
    bool ResolveShaderIndex(const PassShader& shader, std::size_t choices, std::shared_ptr<const Expression>& index,
                            SourcePosition& errorAt, std::string& error) const;
    // A value written as an expression: folded into `state` when it reads no parameter.
    bool ResolveExpression(const StateAssignment& assignment, PassState& state, std::string& error) const;
    ExpressionValue Evaluate(const Expression& expression) const;
    DWORD StateValue(const PassState& state) const;
    std::array<float, 4> VectorValue(const PassState& state) const;
    // Sets the pass's states on the device; `parametersOnly`: those read from a parameter. Returns
    // the first failure, and `failed` the state that failed (null when a light or the material did).
    HRESULT ApplyStates(const Pass& pass, bool parametersOnly, const PassState** failed = nullptr);
    void ApplyParameters(const Pass& pass);
    void SaveFixedState(const PassState& state);
    void SaveState(const Technique& technique, DWORD flags);
    void RestoreState();

    IDirect3DDevice9* device_;
    EffectParameters parameters_;
    // Every annotation, read-only: the parameters' in order, then each technique's and its passes'.
    EffectParameters annotations_;
    std::vector<AnnotationRange> parameterAnnotations_;  // by parameter index
    std::vector<Technique> techniques_;
    std::vector<SamplerBinding> samplers_;  // by parameter index
    std::vector<NamedConstant> constants_;  // the static consts state expressions may read
    int currentTechnique_ = -1;
    bool begun_ = false;
    int currentPass_ = -1;
    int currentProgram_ = -1;
    SavedState saved_;
};

}  // namespace nvesk::d3dx9
