// The same frame through our Direct3D 9, the way the engine's image box and fire scene draw it:
// a dynamic texture locked with D3DLOCK_DISCARD every frame, quads from one dynamic vertex buffer,
// the program bound through the effect layer's entry.
#include "FrameWorkload.h"
#include "Frames.h"

#include <d3d9.h>
#include <windows.h>

#include <d3d9/ShaderProgramBinding.h>

#include <chrono>
#include <cstring>

namespace FrameBench {
namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Vertex {
    float x, y, z, u, v;
};

}  // namespace

double RunDirect3DFrames(double seconds) {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FrameBench";
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, L"FrameBench", L"Direct3D frame", WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, kWidth,
                                  kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    IDirect3D9* d3d = window != nullptr ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
    if (d3d == nullptr) {
        return -1.0;
    }
    ShowWindow(window, SW_SHOW);
    D3DPRESENT_PARAMETERS parameters {};
    parameters.BackBufferWidth = kWidth;
    parameters.BackBufferHeight = kHeight;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24X8;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &parameters, &device))) {
        d3d->Release();
        return -1.0;
    }

    nvesk::d3d9::ShaderProgramSource source;
    source.vertexGlsl = kVertexShader;
    source.fragmentGlsl = kFragmentShader;
    source.attributes = {{"position", D3DDECLUSAGE_POSITION, 0}, {"texcoord", D3DDECLUSAGE_TEXCOORD, 0}};
    nvesk::d3d9::ShaderProgramHandle program = 0;
    std::string log;
    if (FAILED(nvesk::d3d9::LinkShaderProgram(device, source, &program, &log))) {
        device->Release();
        d3d->Release();
        return -1.0;
    }
    float projection[16];
    Projection(projection);
    nvesk::d3d9::SetUniformMatrices(device, program, nvesk::d3d9::GetUniformLocation(device, program, "projection"), 4,
                                    4, 1, FALSE, projection);
    nvesk::d3d9::SetSamplerUnit(device, program, nvesk::d3d9::GetUniformLocation(device, program, "image"), 0);

    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    device->CreateVertexDeclaration(elements, &declaration);
    IDirect3DVertexBuffer9* vertices = nullptr;
    device->CreateVertexBuffer(8 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices,
                               nullptr);
    const float w = kWidth;
    const float h = kHeight;
    const float sx = 300.0f;
    const float sy = 200.0f;
    const Vertex quads[8] = {{0, 0, 0.5f, 0, 0},
                             {w, 0, 0.5f, 1, 0},
                             {0, h, 0.5f, 0, 1},
                             {w, h, 0.5f, 1, 1},
                             {sx, sy, 0.5f, 0, 0},
                             {sx + kSpriteWidth, sy, 0.5f, 1, 0},
                             {sx, sy + kSpriteHeight, 0.5f, 0, 1},
                             {sx + kSpriteWidth, sy + kSpriteHeight, 0.5f, 1, 1}};
    void* data = nullptr;
    vertices->Lock(0, 0, &data, D3DLOCK_DISCARD);
    std::memcpy(data, quads, sizeof(quads));
    vertices->Unlock();

    IDirect3DTexture9* dynamicTexture = nullptr;
    IDirect3DTexture9* spriteTexture = nullptr;
    device->CreateTexture(kTextureSize, kTextureSize, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                          &dynamicTexture, nullptr);
    device->CreateTexture(kSpriteWidth, kSpriteHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &spriteTexture, nullptr);
    D3DLOCKED_RECT locked;
    spriteTexture->LockRect(0, &locked, nullptr, 0);
    std::uint8_t sprite[kSpriteWidth * kSpriteHeight * 4];
    WriteSpriteTexels(sprite);
    for (int y = 0; y < kSpriteHeight; ++y) {
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, sprite + y * kSpriteWidth * 4,
                    kSpriteWidth * 4);
    }
    spriteTexture->UnlockRect(0);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (D3DSAMPLERSTATETYPE state : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER}) {
        device->SetSamplerState(0, state, D3DTEXF_LINEAR);
    }
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    nvesk::d3d9::UseShaderProgram(device, program);

    unsigned frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0.0;
    MSG message;
    while (elapsed < seconds) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000080, 1.0f, 0);
        device->BeginScene();
        if (SUCCEEDED(dynamicTexture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) {
            WriteDynamicTexels(frames, static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
            dynamicTexture->UnlockRect(0);
        }
        device->SetStreamSource(0, vertices, 0, sizeof(Vertex));
        device->SetVertexDeclaration(declaration);
        device->SetTexture(0, dynamicTexture);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        device->SetTexture(0, spriteTexture);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    dynamicTexture->Release();
    spriteTexture->Release();
    vertices->Release();
    declaration->Release();
    nvesk::d3d9::ReleaseShaderProgram(device, program);
    device->Release();
    d3d->Release();
    DestroyWindow(window);
    UnregisterClassW(L"FrameBench", GetModuleHandleW(nullptr));
    return frames / elapsed;
}

}  // namespace FrameBench
