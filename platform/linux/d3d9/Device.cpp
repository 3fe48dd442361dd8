#include "Device.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "CubeTexture.h"
#include "DeviceCaps.h"
#include "Direct3D.h"
#include "FlexibleVertexFormat.h"
#include "IndexBuffer.h"
#include "Surface.h"
#include "Texture.h"
#include "VertexBuffer.h"
#include "VertexDeclaration.h"

#include "../user32/NativeWindow.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <string>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

// Direct3D 9 puts pixel centres at integer coordinates, GL at half-integers: geometry moves half a
// pixel right and down (in the upper-left clip space, down is -y). A whole half pixel breaks the
// top-left fill rule on llvmpipe; 63/64 of it keeps both the coverage and the texel mapping.
constexpr float kHalfPixelShift = 63.0f / 64.0f;

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    default:
        return GL_TRIANGLE_FAN;
    }
}

// Whether each of `count` indices in user memory lies in [low, high].
template <typename Index>
bool UserIndicesWithin(const void* data, UINT count, UINT low, UINT high) {
    const Index* indices = static_cast<const Index*>(data);
    return std::all_of(indices, indices + count, [=](Index index) { return index >= low && index <= high; });
}

UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    default:
        return primitives + 2;
    }
}

// Binds `next` in `slot` with a private hold: the device keeps the object's storage until it is
// unbound, without a reference the application sees (stream sources, indices, declarations).
template <class T>
void HoldPrivately(T*& slot, T* next) {
    if (next != nullptr) {
        next->Hold();
    }
    T* previous = slot;
    slot = next;
    if (previous != nullptr) {
        previous->DropHold();
    }
}

// Binds `next` in a texture unit with a reference the application sees, as SetTexture does.
void HoldTexture(SampledTexture*& slot, SampledTexture* next) {
    if (next != nullptr) {
        next->BaseTexture()->AddRef();
    }
    SampledTexture* previous = slot;
    slot = next;
    if (previous != nullptr) {
        previous->BaseTexture()->Release();
    }
}

bool InsideSurface(const RECT& rect, const D3DSURFACE_DESC& desc) {
    return RectWithin(rect, desc.Width, desc.Height);
}

}  // namespace

Device::Device(Direct3D* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags)
    : ComObject(com::Kind::Device), direct3D_(direct3D) {
    direct3D_->AddRef();
    creation_.AdapterOrdinal = D3DADAPTER_DEFAULT;
    creation_.DeviceType = type;
    creation_.hFocusWindow = focusWindow;
    creation_.BehaviorFlags = behaviorFlags;
}

HRESULT Device::Create(Direct3D* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters, Device** device) {
    Device* created = new Device(direct3D, type, focusWindow, behaviorFlags);
    PresentationChoice choice;
    HRESULT hr = created->CheckParameters(parameters, &choice);
    if (SUCCEEDED(hr)) {
        std::string error;
        if (!created->context_.Create(created->window_, &error)) {
            hr = com::Refuse(D3DERR_NOTAVAILABLE, "no OpenGL 4.5 core context: %s", error.c_str());
        } else if (type == D3DDEVTYPE_REF && !created->context_.IsSoftwareRenderer()) {
            // The reference rasteriser is Mesa's software one; a hardware context is not it.
            hr = com::Refuse(D3DERR_NOTAVAILABLE, "the reference device needs a software rasteriser");
        } else {
            created->samplerStates_.Create();
            created->vertexInput_.Create();
            hr = created->Configure(*parameters, choice);
        }
    }
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *device = created;
    return D3D_OK;
}

Device* Device::FromInterface(IDirect3DDevice9* device) {
    return com::Object::Find<Device>(device);
}

HRESULT Device::CheckParameters(D3DPRESENT_PARAMETERS* parameters, PresentationChoice* choice) const {
    HWND window = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : creation_.hFocusWindow;
    SDL_Window* native = window != nullptr ? user32::NativeWindow(window) : nullptr;
    if (native == nullptr) {
        return Reject("the device window is not a window of this process");
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(native, &width, &height);
    HRESULT hr = CheckPresentParameters(parameters, creation_.hFocusWindow, direct3D_->Modes(),
                                        static_cast<UINT>(width), static_cast<UINT>(height), choice);
    if (SUCCEEDED(hr) && window_ != nullptr && native != window_) {
        // The context lives on the first window; another device window needs a new device.
        hr = Reject("a device window other than the one the device was created on");
    }
    const_cast<Device*>(this)->window_ = native;
    return hr;
}

HRESULT Device::Configure(const D3DPRESENT_PARAMETERS& parameters, const PresentationChoice& choice) {
    context_.MakeCurrent();
    if (choice.fullScreenMode != nullptr) {
        SDL_DisplayMode mode {};
        mode.format = SDL_PIXELFORMAT_RGB888;
        mode.w = static_cast<int>(choice.fullScreenMode->mode.Width);
        mode.h = static_cast<int>(choice.fullScreenMode->mode.Height);
        mode.refresh_rate = choice.fullScreenMode->sdlRefreshRate;
        if (SDL_SetWindowDisplayMode(window_, &mode) != 0 ||
            SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
            return D3DERR_NOTAVAILABLE;
        }
    } else if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_SetWindowFullscreen(window_, 0);
    }
    const PixelFormat& color = *FindPixelFormat(parameters.BackBufferFormat);
    if (!frame_.Create(parameters.BackBufferWidth, parameters.BackBufferHeight, color,
                       parameters.EnableAutoDepthStencil ? parameters.AutoDepthStencilFormat : D3DFMT_UNKNOWN)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    context_.SetSwapInterval(choice.swapInterval);
    Surface::GlImage image;
    image.texture = frame_.ColorTexture();
    // The swap chain holds its back buffer; the application's references are its own.
    HoldPrivately(backBuffer_,
                  Surface::CreateBackBuffer(this, parameters.BackBufferWidth, parameters.BackBufferHeight, color,
                                            (parameters.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0, image));
    present_ = parameters;
    deviceWindow_ = choice.window;
    swapKeepsImage_.Restart();
    ResetState();
    cooperation_ = Cooperation::Operational;
    lostPollsLeft_ = 0;
    return D3D_OK;
}

void Device::ResetState() {
    renderStates_.Reset(frame_.HasDepth(), frame_.HasStencil(), frame_.HasAlpha());
    renderStates_.ApplyAll();
    samplerStates_.Reset();
    fixedFunction_.Reset();
    lighting_.Reset();
    for (UINT unit = 0; unit < SamplerStates::kUnitCount; ++unit) {
        glBindTextureUnit(unit, 0);
    }
    boundTextures_.fill(0);
    boundCubes_.fill(false);
    DropBindings();
    programs_.Use(0);
    inScene_ = false;
    viewport_ = D3DVIEWPORT9 {0, 0, frame_.Width(), frame_.Height(), 0.0f, 1.0f};
    glDepthRangef(0.0f, 1.0f);
    scissor_ = RECT {0, 0, static_cast<LONG>(frame_.Width()), static_cast<LONG>(frame_.Height())};
    ApplyTargetRects();
}

void Device::ApplyTargetRects() {
    frame_.SetViewport(static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                       static_cast<LONG>(viewport_.Width), static_cast<LONG>(viewport_.Height));
    frame_.SetScissor(scissor_.left, scissor_.top, scissor_.right - scissor_.left, scissor_.bottom - scissor_.top);
}

void Device::KeepFrameOutOfWindow() {
    frameStaysOutOfWindow_ = true;
    TakeFrameOutOfWindow();
}

void Device::TakeFrameOutOfWindow() {
    if (frame_.InWindow()) {
        context_.MakeCurrent();
        frame_.MoveOutOfWindow();
        ApplyTargetRects();
    }
}

void Device::DropBindings() {
    for (SampledTexture*& texture : textures_) {
        HoldTexture(texture, nullptr);
    }
    for (StreamSource& source : streams_) {
        HoldPrivately(source.buffer, static_cast<VertexBuffer*>(nullptr));
        source = StreamSource {};
    }
    HoldPrivately(indices_, static_cast<IndexBuffer*>(nullptr));
    HoldPrivately(declaration_, static_cast<VertexDeclaration*>(nullptr));
    fvf_ = 0;
    vertexInput_.Invalidate();
}

void Device::OnFinalRelease() {
    // What only the device's bindings kept goes first, while the context lives.
    DropBindings();
    if (context_.Window() != nullptr) {
        context_.MakeCurrent();
        programs_.FreeAll();
        samplerStates_.Destroy();
        vertexInput_.Destroy();
        userStream_.Destroy();
        HoldPrivately(backBuffer_, static_cast<Surface*>(nullptr));
        frame_.Destroy();
        if (!present_.Windowed && window_ != nullptr) {
            SDL_SetWindowFullscreen(window_, 0);
        }
        context_.Destroy();
    }
    direct3D_->Release();
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3DDevice9});
}

void Device::LoseNow(UINT lostPolls) {
    cooperation_ = Cooperation::Lost;
    lostPollsLeft_ = lostPolls;
}

void Device::WatchFocus() {
    if (cooperation_ != Cooperation::Operational || present_.Windowed) {
        return;
    }
    // The engine polls without pumping messages: look at the window's focus ourselves.
    user32::PumpPlatformEvents();
    if (!user32::WindowHasFocus(deviceWindow_)) {
        cooperation_ = Cooperation::Lost;
    }
}

HRESULT Device::CooperativeLevel() {
    WatchFocus();
    if (cooperation_ == Cooperation::Lost) {
        if (lostPollsLeft_ > 0) {
            --lostPollsLeft_;
            return D3DERR_DEVICELOST;
        }
        if (!present_.Windowed) {
            user32::PumpPlatformEvents();
            if (!user32::WindowHasFocus(deviceWindow_)) {
                return D3DERR_DEVICELOST;
            }
        }
        cooperation_ = Cooperation::NotReset;
    }
    return cooperation_ == Cooperation::NotReset ? D3DERR_DEVICENOTRESET : D3D_OK;
}

HRESULT Device::TestCooperativeLevel() {
    NVESK_ENTER("IDirect3DDevice9::TestCooperativeLevel");
    return CooperativeLevel();
}

HRESULT Device::GetDirect3D(IDirect3D9** direct3D) {
    NVESK_ENTER("IDirect3DDevice9::GetDirect3D");
    if (direct3D == nullptr) {
        return Reject("direct3D is null");
    }
    *direct3D = direct3D_;
    direct3D_->AddRef();
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    NVESK_ENTER("IDirect3DDevice9::GetDeviceCaps");
    if (caps == nullptr) {
        return Reject("caps is null");
    }
    FillDeviceCaps(creation_.DeviceType, creation_.AdapterOrdinal, caps);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    NVESK_ENTER("IDirect3DDevice9::GetDisplayMode");
    if (swapChain != 0 || mode == nullptr) {
        return Reject("swap chain other than 0, or mode is null");
    }
    if (!present_.Windowed) {
        mode->Width = present_.BackBufferWidth;
        mode->Height = present_.BackBufferHeight;
        mode->RefreshRate = present_.FullScreen_RefreshRateInHz;
        mode->Format = D3DFMT_X8R8G8B8;
        return D3D_OK;
    }
    return DesktopDisplayMode(mode) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    NVESK_ENTER("IDirect3DDevice9::GetCreationParameters");
    if (parameters == nullptr) {
        return Reject("parameters is null");
    }
    *parameters = creation_;
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
    NVESK_ENTER("IDirect3DDevice9::Reset");
    if (parameters == nullptr || inScene_) {
        return Reject("parameters is null, or called between BeginScene and EndScene");
    }
    if (CooperativeLevel() == D3DERR_DEVICELOST) {
        return D3DERR_DEVICELOST;
    }
    // Every default-pool resource and every reference to the back buffer must be gone first.
    if (defaultPoolResources_ > 0 || (backBuffer_ != nullptr && backBuffer_->References() > 0)) {
        cooperation_ = Cooperation::NotReset;
        return Reject("%d DEFAULT-pool resources and %u back-buffer references are still alive", defaultPoolResources_,
                      backBuffer_ != nullptr ? backBuffer_->References() : 0u);
    }
    D3DPRESENT_PARAMETERS completed = *parameters;
    PresentationChoice choice;
    HRESULT hr = CheckParameters(&completed, &choice);
    if (SUCCEEDED(hr)) {
        hr = Configure(completed, choice);
    }
    if (FAILED(hr)) {
        cooperation_ = Cooperation::NotReset;
        return hr;
    }
    *parameters = completed;
    return D3D_OK;
}

namespace {

struct InstalledPresentHook {
    Device::PresentHook hook = nullptr;
    void* data = nullptr;
};

InstalledPresentHook& PresentHookSlot() {
    static InstalledPresentHook slot;
    return slot;
}

}  // namespace

void Device::SetPresentHook(PresentHook hook, void* data) {
    PresentHookSlot() = InstalledPresentHook {hook, data};
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion) {
    if (const InstalledPresentHook slot = PresentHookSlot(); slot.hook != nullptr) {
        slot.hook(this, slot.data);
    }
    NVESK_ENTER("IDirect3DDevice9::Present");
    if (inScene_) {
        return Reject("called between BeginScene and EndScene");
    }
    const bool copy = present_.SwapEffect == D3DSWAPEFFECT_COPY;
    if (!copy && (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr)) {
        return Reject("rectangles and dirty regions need D3DSWAPEFFECT_COPY");
    }
    RECT source {0, 0, static_cast<LONG>(frame_.Width()), static_cast<LONG>(frame_.Height())};
    if (sourceRect != nullptr) {
        if (!RectWithin(*sourceRect, frame_.Width(), frame_.Height())) {
            return Reject("the source rectangle is empty or outside the back buffer");
        }
        source = *sourceRect;
    }
    SDL_Window* target = window_;
    if (destWindowOverride != nullptr) {
        target = user32::NativeWindow(destWindowOverride);
        if (target == nullptr) {
            return Reject("the override window is not a window of this process");
        }
    }
    WatchFocus();
    if (cooperation_ != Cooperation::Operational) {
        return D3DERR_DEVICELOST;
    }
    context_.MakeCurrent();
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    // The usual windowed frame: the window shows the back buffer as it is.
    const bool plain = !frameStaysOutOfWindow_ && target == window_ && sourceRect == nullptr && destRect == nullptr &&
                       present_.MultiSampleType == D3DMULTISAMPLE_NONE &&
                       frame_.FitsWindow(width, height, context_.Buffers());
    if (frame_.InWindow()) {
        if (plain) {
            context_.Swap(window_);
            com::NoteFramePresented();
            return D3D_OK;
        }
        TakeFrameOutOfWindow();
    }
    if (target != window_ && !context_.MakeCurrentOn(target)) {
        context_.MakeCurrent();
        return Reject("the override window cannot take the device's context");
    }
    SDL_GL_GetDrawableSize(target, &width, &height);
    RECT destination {0, 0, width, height};
    if (destRect != nullptr) {
        destination = *destRect;
    }
    const bool probing = plain && present_.SwapEffect != D3DSWAPEFFECT_DISCARD && swapKeepsImage_.Probing();
    if (probing) {
        swapKeepsImage_.Before(frame_);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    frame_.BlitToWindow(source, destination, height);
    context_.Swap(target);
    com::NoteFramePresented();
    if (probing) {
        swapKeepsImage_.After(frame_);
    }
    if (target != window_) {
        context_.MakeCurrent();
    }
    // From the next frame on, draws go to the window when it keeps what Direct3D keeps after a swap.
    if (plain && (present_.SwapEffect == D3DSWAPEFFECT_DISCARD || swapKeepsImage_.Yes()) && frame_.MoveIntoWindow()) {
        ApplyTargetRects();
    }
    frame_.Bind();
    // The blit changed only the scissor test (the context's other state is untouched by it).
    renderStates_.Apply(D3DRS_SCISSORTESTENABLE);
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
    NVESK_ENTER("IDirect3DDevice9::GetBackBuffer");
    if (surface == nullptr) {
        return Reject("surface is null");
    }
    *surface = nullptr;
    if (swapChain != 0 || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO) {
        return Reject("only back buffer 0 of swap chain 0, mono, exists");
    }
    backBuffer_->HandOut();
    *surface = backBuffer_;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    NVESK_ENTER("IDirect3DDevice9::CreateTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        return Reject("texture is null, or a shared handle was asked for");
    }
    *texture = nullptr;
    Texture* created = nullptr;
    const HRESULT hr = Texture::Create(this, width, height, levels, usage, format, pool, &created);
    if (SUCCEEDED(hr)) {
        *texture = created;
    }
    return hr;
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DCubeTexture9** texture, HANDLE* sharedHandle) {
    NVESK_ENTER("IDirect3DDevice9::CreateCubeTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        return Reject("texture is null, or a shared handle was asked for");
    }
    *texture = nullptr;
    CubeTexture* created = nullptr;
    const HRESULT hr = CubeTexture::Create(this, edgeLength, levels, usage, format, pool, &created);
    if (SUCCEEDED(hr)) {
        *texture = created;
    }
    return hr;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                                   HANDLE* sharedHandle) {
    NVESK_ENTER("IDirect3DDevice9::CreateVertexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        return Reject("buffer is null, or a shared handle was asked for");
    }
    *buffer = nullptr;
    VertexBuffer* created = nullptr;
    const HRESULT hr = VertexBuffer::Create(this, length, usage, fvf, pool, &created);
    if (SUCCEEDED(hr)) {
        *buffer = created;
    }
    return hr;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    NVESK_ENTER("IDirect3DDevice9::CreateIndexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        return Reject("buffer is null, or a shared handle was asked for");
    }
    *buffer = nullptr;
    IndexBuffer* created = nullptr;
    const HRESULT hr = IndexBuffer::Create(this, length, usage, format, pool, &created);
    if (SUCCEEDED(hr)) {
        *buffer = created;
    }
    return hr;
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* destination,
                              const POINT* destPoint) {
    NVESK_ENTER("IDirect3DDevice9::UpdateSurface");
    Surface* from = com::Object::Find<Surface>(source);
    Surface* to = com::Object::Find<Surface>(destination);
    if (from == nullptr || to == nullptr || from == to || from->OwnerDevice() != this || to->OwnerDevice() != this) {
        return Reject("source and destination must be two live surfaces of this device");
    }
    if (from->Pool() != D3DPOOL_SYSTEMMEM || to->Pool() != D3DPOOL_DEFAULT || from->IsLocked() || to->IsLocked() ||
        from->Desc().Format != to->Desc().Format) {
        return Reject("needs an unlocked SYSTEMMEM source and an unlocked DEFAULT destination of one format");
    }
    RECT area {0, 0, static_cast<LONG>(from->Desc().Width), static_cast<LONG>(from->Desc().Height)};
    if (sourceRect != nullptr) {
        area = *sourceRect;
    }
    const POINT at = destPoint != nullptr ? *destPoint : POINT {0, 0};
    const RECT target {at.x, at.y, at.x + (area.right - area.left), at.y + (area.bottom - area.top)};
    if (!InsideSurface(area, from->Desc()) || !InsideSurface(target, to->Desc())) {
        return Reject("the rectangle lies outside the source or the destination");
    }
    to->CopyFrom(*from, area, at.x, at.y);
    return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
    NVESK_ENTER("IDirect3DDevice9::UpdateTexture");
    SampledTexture* from = com::Object::Find<SampledTexture>(source);
    SampledTexture* to = com::Object::Find<SampledTexture>(destination);
    if (from == nullptr || to == nullptr || from->DeviceOfTexture() != this || to->DeviceOfTexture() != this ||
        from->IsCube() != to->IsCube()) {
        return Reject("needs two live textures of this device, both 2D or both cube textures");
    }
    const Surface& fromTop = *from->FaceLevel(0, 0);
    const Surface& toTop = *to->FaceLevel(0, 0);
    if (fromTop.Pool() != D3DPOOL_SYSTEMMEM || toTop.Pool() != D3DPOOL_DEFAULT ||
        fromTop.Desc().Format != toTop.Desc().Format || to->LevelCount() > from->LevelCount()) {
        return Reject(
            "needs a SYSTEMMEM source and a DEFAULT destination of one format, the source with at least as many "
            "levels");
    }
    if (fromTop.Desc().Width != toTop.Desc().Width || fromTop.Desc().Height != toTop.Desc().Height) {
        return Reject("the textures differ in size");
    }
    for (UINT face = 0; face < to->FaceCount(); ++face) {
        for (UINT level = 0; level < to->LevelCount(); ++level) {
            if (from->FaceLevel(face, level)->IsLocked() || to->FaceLevel(face, level)->IsLocked()) {
                return Reject("a level is locked");
            }
        }
    }
    for (UINT face = 0; face < to->FaceCount(); ++face) {
        for (UINT level = 0; level < to->LevelCount(); ++level) {
            const Surface& image = *from->FaceLevel(face, level);
            to->FaceLevel(face, level)
                ->CopyFrom(image,
                           RECT {0, 0, static_cast<LONG>(image.Desc().Width), static_cast<LONG>(image.Desc().Height)},
                           0, 0);
        }
    }
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) {
    NVESK_ENTER("IDirect3DDevice9::GetRenderTargetData");
    Surface* from = com::Object::Find<Surface>(renderTarget);
    Surface* to = com::Object::Find<Surface>(destination);
    if (from == nullptr || to == nullptr || from != backBuffer_ || to->OwnerDevice() != this ||
        to->Pool() != D3DPOOL_SYSTEMMEM || to->IsLocked() || from->IsLocked() ||
        to->Desc().Format != from->Desc().Format || to->Desc().Width != from->Desc().Width ||
        to->Desc().Height != from->Desc().Height) {
        return Reject("needs the back buffer and an unlocked SYSTEMMEM surface of its size and format");
    }
    if (cooperation_ != Cooperation::Operational) {
        return D3DERR_DEVICELOST;
    }
    context_.MakeCurrent();
    frame_.Read(RECT {0, 0, static_cast<LONG>(frame_.Width()), static_cast<LONG>(frame_.Height())}, to->Pixels());
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle) {
    NVESK_ENTER("IDirect3DDevice9::CreateOffscreenPlainSurface");
    if (surface == nullptr || sharedHandle != nullptr) {
        return Reject("surface is null, or a shared handle was asked for");
    }
    *surface = nullptr;
    const PixelFormat* pixelFormat = FindPixelFormat(format);
    if (pixelFormat == nullptr) {
        return Reject("format %d is not offered", static_cast<int>(format));
    }
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
        return Reject("%u x %u is not between 1 and %u a side", width, height, kMaxTextureSize);
    }
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH) {
        return Reject("offscreen plain surfaces live in DEFAULT, SYSTEMMEM or SCRATCH");
    }
    *surface = Surface::CreateOffscreenPlain(this, width, height, *pixelFormat, pool);
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    NVESK_ENTER("IDirect3DDevice9::BeginScene");
    if (inScene_) {
        return Reject("called between BeginScene and EndScene");
    }
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    NVESK_ENTER("IDirect3DDevice9::EndScene");
    if (!inScene_) {
        return Reject("EndScene without BeginScene");
    }
    inScene_ = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    NVESK_ENTER("IDirect3DDevice9::Clear");
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if (flags == 0 || (flags & ~known) != 0 || (count > 0 && rects == nullptr) || (count == 0 && rects != nullptr)) {
        return Reject("no or unknown flags, or rects and count disagree");
    }
    if (((flags & D3DCLEAR_ZBUFFER) != 0 && !frame_.HasDepth()) ||
        ((flags & D3DCLEAR_STENCIL) != 0 && !frame_.HasStencil()) || z < 0.0f || z > 1.0f) {
        return Reject("clears a depth or stencil buffer the device lacks, or z outside 0..1");
    }
    if (cooperation_ != Cooperation::Operational) {
        return D3D_OK;  // a lost device drops rendering silently, as Direct3D's does
    }
    context_.MakeCurrent();
    GLbitfield mask = 0;
    renderStates_.OpenWriteMasks();
    if ((flags & D3DCLEAR_TARGET) != 0) {
        // An X8 back buffer's alpha stays 1. Writing it (rather than masking it) keeps the clear a
        // plain fill on Mesa's software rasteriser.
        const std::array<float, 4> rgba = ColorToFloats(color);
        glClearColor(rgba[0], rgba[1], rgba[2], frame_.HasAlpha() ? rgba[3] : 1.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0) {
        glClearDepthf(z);
        mask |= GL_DEPTH_BUFFER_BIT;
        if (!frame_.HasStencil()) {
            // Stencil bits Direct3D lacks (the window's, under D24X8) hold nothing anyone reads:
            // clearing them too makes the clear a plain fill, not a masked rewrite of each texel.
            glClearStencil(0);
            mask |= GL_STENCIL_BUFFER_BIT;
        }
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // Clear covers the viewport, cut by the rectangles and by the scissor rectangle when enabled.
    RECT bounds {static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                 static_cast<LONG>(viewport_.X + viewport_.Width), static_cast<LONG>(viewport_.Y + viewport_.Height)};
    if (renderStates_.Value(D3DRS_SCISSORTESTENABLE) != FALSE) {
        bounds = RECT {std::max(bounds.left, scissor_.left), std::max(bounds.top, scissor_.top),
                       std::min(bounds.right, scissor_.right), std::min(bounds.bottom, scissor_.bottom)};
    }
    glEnable(GL_SCISSOR_TEST);
    const DWORD pieces = count == 0 ? 1 : count;
    for (DWORD index = 0; index < pieces; ++index) {
        RECT piece = bounds;
        if (count > 0) {
            piece = RECT {std::max(bounds.left, rects[index].x1), std::max(bounds.top, rects[index].y1),
                          std::min(bounds.right, rects[index].x2), std::min(bounds.bottom, rects[index].y2)};
        }
        if (piece.left >= piece.right || piece.top >= piece.bottom) {
            continue;
        }
        frame_.SetScissor(piece.left, piece.top, piece.right - piece.left, piece.bottom - piece.top);
        glClear(mask);
    }
    frame_.SetScissor(scissor_.left, scissor_.top, scissor_.right - scissor_.left, scissor_.bottom - scissor_.top);
    if (renderStates_.Value(D3DRS_SCISSORTESTENABLE) == FALSE) {
        glDisable(GL_SCISSOR_TEST);
    }
    renderStates_.RestoreWriteMasks();
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    NVESK_ENTER("IDirect3DDevice9::SetTransform");
    return fixedFunction_.SetTransform(state, matrix);
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    NVESK_ENTER("IDirect3DDevice9::GetTransform");
    return fixedFunction_.GetTransform(state, matrix);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    NVESK_ENTER("IDirect3DDevice9::SetViewport");
    if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0 ||
        viewport->X + viewport->Width > frame_.Width() || viewport->Y + viewport->Height > frame_.Height() ||
        viewport->MinZ < 0.0f || viewport->MinZ > 1.0f || viewport->MaxZ < 0.0f || viewport->MaxZ > 1.0f) {
        return Reject("the viewport is null, empty, outside the render target, or its depth range leaves 0..1");
    }
    context_.MakeCurrent();
    viewport_ = *viewport;
    frame_.SetViewport(static_cast<LONG>(viewport->X), static_cast<LONG>(viewport->Y),
                       static_cast<LONG>(viewport->Width), static_cast<LONG>(viewport->Height));
    glDepthRangef(viewport->MinZ, viewport->MaxZ);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    NVESK_ENTER("IDirect3DDevice9::GetViewport");
    if (viewport == nullptr) {
        return Reject("viewport is null");
    }
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    NVESK_ENTER("IDirect3DDevice9::SetMaterial");
    return lighting_.SetMaterial(material);
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    NVESK_ENTER("IDirect3DDevice9::GetMaterial");
    return lighting_.GetMaterial(material);
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    NVESK_ENTER("IDirect3DDevice9::SetLight");
    return lighting_.SetLight(index, light);
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    NVESK_ENTER("IDirect3DDevice9::GetLight");
    return lighting_.GetLight(index, light);
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    NVESK_ENTER("IDirect3DDevice9::LightEnable");
    return lighting_.Enable(index, enable);
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
    NVESK_ENTER("IDirect3DDevice9::GetLightEnable");
    return lighting_.GetEnable(index, enable);
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    NVESK_ENTER("IDirect3DDevice9::SetRenderState");
    context_.MakeCurrent();
    return renderStates_.Set(state, value);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    NVESK_ENTER("IDirect3DDevice9::GetRenderState");
    return renderStates_.Get(state, value);
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    NVESK_ENTER("IDirect3DDevice9::GetTexture");
    const int unit = SamplerStates::UnitOf(stage);
    if (texture == nullptr || unit < 0) {
        return Reject("texture is null, or no such sampler");
    }
    SampledTexture* bound = textures_[static_cast<size_t>(unit)];
    *texture = bound != nullptr ? bound->BaseTexture() : nullptr;
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    NVESK_ENTER("IDirect3DDevice9::SetTexture");
    const int unit = SamplerStates::UnitOf(stage);
    if (unit < 0) {
        return Reject("no such sampler");
    }
    SampledTexture* ours = nullptr;
    if (texture != nullptr) {
        ours = com::Object::Find<SampledTexture>(texture);
        // Only textures the GL side holds can be sampled.
        if (ours == nullptr || ours->DeviceOfTexture() != this || ours->GlTexture() == 0) {
            return Reject("not a live DEFAULT or MANAGED texture or cube texture of this device");
        }
    }
    HoldTexture(textures_[static_cast<size_t>(unit)], ours);
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    NVESK_ENTER("IDirect3DDevice9::GetTextureStageState");
    return fixedFunction_.GetStageState(stage, type, value);
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    NVESK_ENTER("IDirect3DDevice9::SetTextureStageState");
    return fixedFunction_.SetStageState(stage, type, value);
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    NVESK_ENTER("IDirect3DDevice9::GetSamplerState");
    const int unit = SamplerStates::UnitOf(sampler);
    if (value == nullptr || unit < 0 || type < D3DSAMP_ADDRESSU || type > D3DSAMP_DMAPOFFSET) {
        return Reject("value is null, or no such sampler or sampler state");
    }
    *value = samplerStates_.Get(static_cast<UINT>(unit), type);
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    NVESK_ENTER("IDirect3DDevice9::SetSamplerState");
    const int unit = SamplerStates::UnitOf(sampler);
    if (unit < 0) {
        return Reject("no such sampler");
    }
    context_.MakeCurrent();
    return samplerStates_.Set(static_cast<UINT>(unit), type, value);
}

HRESULT Device::SetScissorRect(const RECT* rect) {
    NVESK_ENTER("IDirect3DDevice9::SetScissorRect");
    if (rect == nullptr || rect->left < 0 || rect->top < 0 || rect->left > rect->right || rect->top > rect->bottom) {
        return Reject("the rectangle is null or inverted or starts before 0");
    }
    context_.MakeCurrent();
    scissor_ = *rect;
    frame_.SetScissor(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect) {
    NVESK_ENTER("IDirect3DDevice9::GetScissorRect");
    if (rect == nullptr) {
        return Reject("rect is null");
    }
    *rect = scissor_;
    return D3D_OK;
}

bool Device::StreamsCover(INT first, INT last) const {
    if (first < 0 || last < first) {
        return false;
    }
    for (const D3DVERTEXELEMENT9& element : declaration_->Elements()) {
        const StreamSource& source = streams_[element.Stream];
        if (source.buffer == nullptr) {
            return false;
        }
        const unsigned long long end = static_cast<unsigned long long>(source.offset) +
                                       static_cast<unsigned long long>(last) * source.stride + element.Offset +
                                       VertexDeclaration::TypeSize(element.Type);
        if (end > source.buffer->Storage().Size()) {
            return false;
        }
    }
    return true;
}

HRESULT Device::CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT* vertexCount, FixedFunctionKey* key) const {
    if (!inScene_) {
        return Reject("drawing outside BeginScene and EndScene");
    }
    if (primitiveCount == 0 || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) {
        return Reject("no primitives, or primitive type %d unknown", static_cast<int>(type));
    }
    if (declaration_ == nullptr) {
        return Reject("no vertex declaration is set");
    }
    *key = FixedFunctionKey {};
    const bool vertexShader = programs_.CurrentHasVertex();
    const bool pixelShader = programs_.CurrentHasPixel();
    if (!vertexShader || !pixelShader) {
        unsigned textured = 0;
        for (DWORD stage = 0; stage < kFixedStageCount; ++stage) {
            textured |= textures_[stage] != nullptr ? 1u << stage : 0u;
        }
        if (HRESULT hr = fixedFunction_.Select(!vertexShader, !pixelShader, *declaration_, renderStates_, lighting_,
                                               textured, programs_.CurrentVaryings(), key);
            FAILED(hr)) {
            return hr;
        }
        // The generated pixel stage samples 2D textures only.
        for (DWORD stage = 0; key->GeneratesPixel() && stage < kFixedStageCount; ++stage) {
            if (key->pixel.stages[stage].textured != 0 && textures_[stage]->IsCube()) {
                return com::Refuse(D3DERR_NOTAVAILABLE,
                                   "texture stage %u: fixed-function stages do not sample cube textures", stage);
            }
        }
    }
    *vertexCount = VertexCountOf(type, primitiveCount);
    return D3D_OK;
}

HRESULT Device::PrepareDraw(const FixedFunctionKey& key) {
    context_.MakeCurrent();
    for (UINT unit = 0; unit < SamplerStates::kUnitCount; ++unit) {
        const SampledTexture* texture = textures_[unit];
        const unsigned int name = texture != nullptr ? texture->GlTexture() : 0;
        const bool cube = texture != nullptr && texture->IsCube();
        if (boundTextures_[unit] != name) {
            // A unit keeps a binding per target: a cube map bound over a 2D texture leaves the 2D
            // one for sampler2D reads, and the other way round.
            if (boundCubes_[unit] != cube && boundTextures_[unit] != 0) {
                glBindTextureUnit(unit, 0);
            }
            glBindTextureUnit(unit, name);
            boundTextures_[unit] = name;
            boundCubes_[unit] = cube;
        }
    }
    vertexInput_.Bind(*declaration_, streams_, indices_, programs_.CurrentAttributeLocations());
    const FixedFunctionUniforms fixed = key.GeneratesVertex() || key.GeneratesPixel()
                                            ? fixedFunction_.Uniforms(key, viewport_, renderStates_, lighting_)
                                            : FixedFunctionUniforms {};
    return programs_.PrepareDraw(key, fixed, kHalfPixelShift / static_cast<float>(viewport_.Width),
                                 -kHalfPixelShift / static_cast<float>(viewport_.Height), renderStates_.AlphaFunction(),
                                 renderStates_.AlphaReference());
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    NVESK_ENTER("IDirect3DDevice9::DrawPrimitive");
    UINT vertexCount = 0;
    FixedFunctionKey key;
    if (HRESULT hr = CheckDraw(type, primitiveCount, &vertexCount, &key); FAILED(hr)) {
        return hr;
    }
    if (!StreamsCover(static_cast<INT>(startVertex), static_cast<INT>(startVertex + vertexCount - 1))) {
        return Reject("the streams do not hold vertices %u to %u", startVertex, startVertex + vertexCount - 1);
    }
    if (cooperation_ != Cooperation::Operational) {
        return D3D_OK;
    }
    if (HRESULT hr = PrepareDraw(key); FAILED(hr)) {
        return hr;
    }
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount));
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
    NVESK_ENTER("IDirect3DDevice9::DrawIndexedPrimitive");
    UINT indexCount = 0;
    FixedFunctionKey key;
    if (HRESULT hr = CheckDraw(type, primitiveCount, &indexCount, &key); FAILED(hr)) {
        return hr;
    }
    if (indices_ == nullptr || numVertices == 0) {
        return Reject("no index buffer is set, or NumVertices is 0");
    }
    const UINT indexSize = indices_->IndexSize();
    const BufferStorage& storage = indices_->Storage();
    // In 64 bits: a StartIndex near 2^32 must not wrap around to a range inside the buffer.
    const unsigned long long endIndex = static_cast<unsigned long long>(startIndex) + indexCount;
    if (endIndex * indexSize > storage.Size()) {
        return Reject("indices %u to %llu lie past the index buffer", startIndex, endIndex - 1);
    }
    if (static_cast<unsigned long long>(minVertexIndex) + numVertices - 1 > 0xFFFFFFFFull) {
        return Reject("MinVertexIndex %u + NumVertices %u is past the last vertex index", minVertexIndex, numVertices);
    }
    // The debug runtime's check: every index inside [MinVertexIndex, MinVertexIndex + NumVertices),
    // from the index ranges each write of the buffer left.
    if (!indices_->IndicesWithin(startIndex, indexCount, minVertexIndex, minVertexIndex + numVertices - 1)) {
        return Reject("an index lies outside MinVertexIndex %u .. %u", minVertexIndex,
                      minVertexIndex + numVertices - 1);
    }
    const long long first = static_cast<long long>(baseVertexIndex) + minVertexIndex;
    const long long last = first + numVertices - 1;
    if (first < 0 || last > 0x7FFFFFFF || !StreamsCover(static_cast<INT>(first), static_cast<INT>(last))) {
        return Reject("the streams do not hold vertices %lld to %lld", first, last);
    }
    if (cooperation_ != Cooperation::Operational) {
        return D3D_OK;
    }
    if (HRESULT hr = PrepareDraw(key); FAILED(hr)) {
        return hr;
    }
    glDrawElementsBaseVertex(
        PrimitiveMode(type), static_cast<GLsizei>(indexCount), indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
        reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize), baseVertexIndex);
    return D3D_OK;
}

HRESULT Device::CheckUserDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT vertexStride,
                              UINT* vertexCount, FixedFunctionKey* key) const {
    if (HRESULT hr = CheckDraw(type, primitiveCount, vertexCount, key); FAILED(hr)) {
        return hr;
    }
    if (vertexData == nullptr || vertexStride == 0) {
        return Reject("pVertexStreamZeroData is null, or the stride is 0");
    }
    for (const D3DVERTEXELEMENT9& element : declaration_->Elements()) {
        if (element.Stream != 0 || element.Offset + VertexDeclaration::TypeSize(element.Type) > vertexStride) {
            return Reject("the declaration reads stream %u, or past a vertex of stride %u", element.Stream,
                          vertexStride);
        }
    }
    return D3D_OK;
}

HRESULT Device::PrepareUserDraw(const FixedFunctionKey& key, const void* vertices, size_t vertexBytes, UINT stride,
                                const void* indices, size_t indexBytes, size_t* indexOffset) {
    if (HRESULT hr = PrepareDraw(key); FAILED(hr)) {
        return hr;
    }
    // One range for both, so that the indices' copy cannot orphan the vertices' copy.
    const size_t vertexSpan =
        (vertexBytes + UserStream::kAlignment - 1) / UserStream::kAlignment * UserStream::kAlignment;
    const size_t offset = userStream_.Reserve(vertexSpan + indexBytes);
    userStream_.Write(offset, vertices, vertexBytes);
    *indexOffset = offset + vertexSpan;
    if (indices != nullptr) {
        userStream_.Write(*indexOffset, indices, indexBytes);
    }
    vertexInput_.BindUserStream(userStream_.Buffer(), offset, stride, indices != nullptr);
    return D3D_OK;
}

void Device::UnbindAfterUserDraw() {
    HoldPrivately(streams_[0].buffer, static_cast<VertexBuffer*>(nullptr));
    streams_[0] = StreamSource {};
    HoldPrivately(indices_, static_cast<IndexBuffer*>(nullptr));
    vertexInput_.Invalidate();
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT vertexStride) {
    NVESK_ENTER("IDirect3DDevice9::DrawPrimitiveUP");
    UINT vertexCount = 0;
    FixedFunctionKey key;
    if (HRESULT hr = CheckUserDraw(type, primitiveCount, vertexData, vertexStride, &vertexCount, &key); FAILED(hr)) {
        return hr;
    }
    if (cooperation_ == Cooperation::Operational) {
        size_t indexOffset = 0;
        if (HRESULT hr = PrepareUserDraw(key, vertexData, static_cast<size_t>(vertexCount) * vertexStride, vertexStride,
                                         nullptr, 0, &indexOffset);
            FAILED(hr)) {
            return hr;
        }
        glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(vertexCount));
    }
    UnbindAfterUserDraw();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                       UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertexData, UINT vertexStride) {
    NVESK_ENTER("IDirect3DDevice9::DrawIndexedPrimitiveUP");
    UINT indexCount = 0;
    FixedFunctionKey key;
    if (HRESULT hr = CheckUserDraw(type, primitiveCount, vertexData, vertexStride, &indexCount, &key); FAILED(hr)) {
        return hr;
    }
    if (indexData == nullptr || numVertices == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32)) {
        return Reject("pIndexData is null, NumVertices is 0, or the index format %d is not INDEX16 or INDEX32",
                      static_cast<int>(indexFormat));
    }
    // The base vertex that moves MinVertexIndex to the copy's first vertex must fit a GLint.
    const unsigned long long last = static_cast<unsigned long long>(minVertexIndex) + numVertices - 1;
    if (last > 0xFFFFFFFFull || minVertexIndex > 0x7FFFFFFFu) {
        return Reject("MinVertexIndex %u + NumVertices %u is past the last vertex index", minVertexIndex, numVertices);
    }
    const bool sixteen = indexFormat == D3DFMT_INDEX16;
    const UINT high = static_cast<UINT>(last);
    if (sixteen ? !UserIndicesWithin<WORD>(indexData, indexCount, minVertexIndex, high)
                : !UserIndicesWithin<DWORD>(indexData, indexCount, minVertexIndex, high)) {
        return Reject("an index lies outside MinVertexIndex %u .. %u", minVertexIndex, high);
    }
    if (cooperation_ == Cooperation::Operational) {
        // Only the vertices the indices can reach are copied.
        const BYTE* first = static_cast<const BYTE*>(vertexData) + static_cast<size_t>(minVertexIndex) * vertexStride;
        const size_t indexSize = sixteen ? 2 : 4;
        size_t indexOffset = 0;
        if (HRESULT hr = PrepareUserDraw(key, first, static_cast<size_t>(numVertices) * vertexStride, vertexStride,
                                         indexData, indexCount * indexSize, &indexOffset);
            FAILED(hr)) {
            return hr;
        }
        glDrawElementsBaseVertex(
            PrimitiveMode(type), static_cast<GLsizei>(indexCount), sixteen ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
            reinterpret_cast<const void*>(static_cast<uintptr_t>(indexOffset)), -static_cast<GLint>(minVertexIndex));
    }
    UnbindAfterUserDraw();
    return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration) {
    NVESK_ENTER("IDirect3DDevice9::CreateVertexDeclaration");
    if (declaration == nullptr) {
        return Reject("declaration is null");
    }
    *declaration = nullptr;
    VertexDeclaration* created = nullptr;
    const HRESULT hr = VertexDeclaration::Create(this, elements, &created);
    if (SUCCEEDED(hr)) {
        *declaration = created;
    }
    return hr;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    NVESK_ENTER("IDirect3DDevice9::SetVertexDeclaration");
    VertexDeclaration* ours = nullptr;
    if (declaration != nullptr) {
        ours = com::Object::Find<VertexDeclaration>(declaration);
        if (ours == nullptr) {
            return Reject("not a live declaration of this device");
        }
    }
    if (ours != declaration_) {
        HoldPrivately(declaration_, ours);
        vertexInput_.Invalidate();
    }
    fvf_ = 0;
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
    NVESK_ENTER("IDirect3DDevice9::SetFVF");
    // Direct3D 9 ignores a zero format and keeps the current declaration.
    if (fvf == 0 || (fvf == fvf_ && declaration_ != nullptr)) {
        return D3D_OK;
    }
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!DescribeFlexibleFormat(fvf, &elements)) {
        return Reject("0x%x is not a flexible vertex format", fvf);
    }
    VertexDeclaration* created = nullptr;
    if (HRESULT hr = VertexDeclaration::Create(this, elements.data(), &created); FAILED(hr)) {
        return hr;
    }
    // The device holds the declaration privately, as a bound one; GetVertexDeclaration hands it out.
    HoldPrivately(declaration_, created);
    created->Release();
    vertexInput_.Invalidate();
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    NVESK_ENTER("IDirect3DDevice9::GetFVF");
    if (fvf == nullptr) {
        return Reject("fvf is null");
    }
    *fvf = fvf_;
    return D3D_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    NVESK_ENTER("IDirect3DDevice9::GetVertexDeclaration");
    if (declaration == nullptr) {
        return Reject("declaration is null");
    }
    *declaration = declaration_;
    if (declaration_ != nullptr) {
        declaration_->HandOut();
    }
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    NVESK_ENTER("IDirect3DDevice9::SetStreamSource");
    if (stream >= kStreamCount || offset % 4 != 0 || stride > 2048) {
        return Reject("no such stream, an offset not a multiple of 4, or a stride over 2048");
    }
    VertexBuffer* ours = nullptr;
    if (buffer != nullptr) {
        ours = com::Object::Find<VertexBuffer>(buffer);
        if (ours == nullptr || ours->OwnerDevice() != this || ours->Storage().GlBuffer() == 0) {
            return Reject("not a live buffer of this device outside the SCRATCH pool");
        }
    }
    StreamSource& source = streams_[stream];
    if (source.buffer != ours || source.offset != offset || source.stride != stride) {
        HoldPrivately(source.buffer, ours);
        source.offset = offset;
        source.stride = stride;
        vertexInput_.Invalidate();
    }
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) {
    NVESK_ENTER("IDirect3DDevice9::GetStreamSource");
    if (stream >= kStreamCount || buffer == nullptr || offset == nullptr || stride == nullptr) {
        return Reject("no such stream, or a null out-pointer");
    }
    const StreamSource& source = streams_[stream];
    *buffer = source.buffer;
    if (source.buffer != nullptr) {
        source.buffer->HandOut();
    }
    *offset = source.offset;
    *stride = source.stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
    NVESK_ENTER("IDirect3DDevice9::SetIndices");
    IndexBuffer* ours = nullptr;
    if (indices != nullptr) {
        ours = com::Object::Find<IndexBuffer>(indices);
        if (ours == nullptr || ours->OwnerDevice() != this || ours->Storage().GlBuffer() == 0) {
            return Reject("not a live buffer of this device outside the SCRATCH pool");
        }
    }
    if (ours != indices_) {
        HoldPrivately(indices_, ours);
        vertexInput_.Invalidate();
    }
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indices) {
    NVESK_ENTER("IDirect3DDevice9::GetIndices");
    if (indices == nullptr) {
        return Reject("indices is null");
    }
    *indices = indices_;
    if (indices_ != nullptr) {
        indices_->HandOut();
    }
    return D3D_OK;
}

}  // namespace nvesk::d3d9
