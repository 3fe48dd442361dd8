// IDirect3DDevice9 on one OpenGL 4.5 context in the device window.
#pragma once

#include <d3d9.h>

#include "FixedFunction.h"
#include "FrameTarget.h"
#include "GlContext.h"
#include "PresentParameters.h"
#include "RenderStates.h"
#include "SamplerStates.h"
#include "ShaderPrograms.h"
#include "UserStream.h"
#include "VertexInput.h"
#include "com/Object.h"

#include <array>

struct SDL_Window;

namespace nvesk::d3d9 {

class Direct3D;
class IndexBuffer;
class Surface;
class SampledTexture;
class VertexDeclaration;

class Device final : public com::ComObject<IDirect3DDevice9> {
public:
    static HRESULT Create(Direct3D* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* parameters, Device** device);
    // The live device behind an interface pointer; null if it is not one of ours.
    static Device* FromInterface(IDirect3DDevice9* device);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    // IDirect3DDevice9
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** direct3D) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                      const void* dirtyRegion) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                            IDirect3DSurface9** surface) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                                HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                            IDirect3DSurface9* destination, const POINT* destPoint) override;
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) override;
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                                  IDirect3DSurface9* destination) override;
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                          IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                    DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* material) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* rect) override;
    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* rect) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                                   UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                              UINT vertexStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                                     UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                                     const void* vertexData, UINT vertexStride) override;
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                                      IDirect3DVertexDeclaration9** declaration) override;
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* fvf) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                              UINT stride) override;
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                              UINT* stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** indices) override;

    // Internal to the platform layer.
    HRESULT EnterInternal(const char* operation) const { return Enter(operation); }
    void MakeCurrent() { context_.MakeCurrent(); }
    ShaderPrograms& Programs() { return programs_; }
    // Before the back buffer's texels are read or written directly (a lock, an upload): a frame
    // drawn into the window moves back into the back buffer's texture.
    void TakeFrameOutOfWindow();
    // For good: a program reads window rows, which count from the top only outside the window.
    void KeepFrameOutOfWindow();
    // Test hook: whether draws go straight into the window now.
    bool DrawsIntoWindow() const { return frame_.InWindow(); }
    void AddDefaultPoolResource() { ++defaultPoolResources_; }
    void RemoveDefaultPoolResource() { --defaultPoolResources_; }
    // Test hook: the device is lost now; TestCooperativeLevel keeps reporting it for
    // `lostPolls` calls before the device can be reset.
    void LoseNow(UINT lostPolls);
    // Test hook: runs at the start of every Present of every device, with the finished frame still
    // in the back buffer. Null removes it.
    using PresentHook = void (*)(IDirect3DDevice9* device, void* data);
    static void SetPresentHook(PresentHook hook, void* data);

private:
    enum class Cooperation { Operational, Lost, NotReset };

    Device(Direct3D* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags);
    void OnFinalRelease() override;

    // Builds the frame target, back buffer and state for validated parameters.
    HRESULT Configure(const D3DPRESENT_PARAMETERS& parameters, const PresentationChoice& choice);
    HRESULT CheckParameters(D3DPRESENT_PARAMETERS* parameters, PresentationChoice* choice) const;
    void ResetState();
    // Sets the viewport and scissor rectangles on the frame's current orientation.
    void ApplyTargetRects();
    // Lets go of every texture, stream source, index buffer and declaration bound.
    void DropBindings();
    void WatchFocus();
    HRESULT CooperativeLevel();
    // Checks the streams hold vertices first..last for every element of the declaration.
    bool StreamsCover(INT first, INT last) const;
    // Also picks the fixed-function stages the draw needs (refused outside the subset).
    HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT* vertexCount, FixedFunctionKey* key) const;
    HRESULT PrepareDraw(const FixedFunctionKey& key);
    // CheckDraw and what DrawPrimitiveUP and DrawIndexedPrimitiveUP add: vertices in user memory, every
    // element of the declaration in stream 0 and inside one vertex.
    HRESULT CheckUserDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT vertexStride,
                          UINT* vertexCount, FixedFunctionKey* key) const;
    // Copies the user's vertices (and indices) into the user stream and binds them in place of
    // stream 0 and the index buffer; `*indexOffset` is where the indices went.
    HRESULT PrepareUserDraw(const FixedFunctionKey& key, const void* vertices, size_t vertexBytes, UINT stride,
                            const void* indices, size_t indexBytes, size_t* indexOffset);
    // What Direct3D leaves after a user-memory draw: no stream 0 source and no index buffer.
    void UnbindAfterUserDraw();

    Direct3D* direct3D_;
    D3DDEVICE_CREATION_PARAMETERS creation_ {};
    D3DPRESENT_PARAMETERS present_ {};
    HWND deviceWindow_ = nullptr;
    SDL_Window* window_ = nullptr;
    GlContext context_;
    FrameTarget frame_;
    SwapKeepsImage swapKeepsImage_;
    bool frameStaysOutOfWindow_ = false;
    RenderStates renderStates_;
    SamplerStates samplerStates_;
    FixedFunctionStates fixedFunction_;
    LightingStates lighting_;
    ShaderPrograms programs_;
    VertexInput vertexInput_;
    UserStream userStream_;
    Surface* backBuffer_ = nullptr;
    int defaultPoolResources_ = 0;
    bool inScene_ = false;
    Cooperation cooperation_ = Cooperation::Operational;
    UINT lostPollsLeft_ = 0;
    D3DVIEWPORT9 viewport_ {};
    RECT scissor_ {};
    std::array<SampledTexture*, SamplerStates::kUnitCount> textures_ {};
    std::array<unsigned int, SamplerStates::kUnitCount> boundTextures_ {};
    std::array<bool, SamplerStates::kUnitCount> boundCubes_ {};  // boundTextures_[unit] is a cube map
    StreamSources streams_ {};
    IndexBuffer* indices_ = nullptr;
    VertexDeclaration* declaration_ = nullptr;
    // The format SetFVF bound declaration_ for; 0 after SetVertexDeclaration.
    DWORD fvf_ = 0;
};

}  // namespace nvesk::d3d9
