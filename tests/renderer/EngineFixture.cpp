#include "EngineFixture.h"

#include "../platform/d3dx9/ImageFiles.h"
#include "events/CursorSprite.h"
#include "events/EventManager.h"
#include "lib/TextFormat.h"
#include "renderer/DeviceConfig.h"
#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>

#include <cstring>

using NVesk::NRenderer::Image;
using NVesk::NRenderer::ImageVertex;
using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::TheImageBox;

namespace EngineTest {

namespace {

// A window class of its own for every renderer: a class outlives a failed test's window.
std::wstring UniqueTitle() {
    static int counter = 0;
    return L"EngineTest" + NLib::Int64ToString(++counter);
}

}  // namespace

void EngineFixture::SetUp() {
    StartRenderer();
}

void EngineFixture::StartRenderer() {
    if (Renderer::current != nullptr) {
        Renderer::current->ReleaseDirect3D();
        DestroyWindow(Renderer::current->hwnd);
        Renderer::Release();
    }
    DeviceConfig = DeviceConfigRecord {};
    DeviceConfig.Width = static_cast<std::uint32_t>(Width());
    DeviceConfig.Height = static_cast<std::uint32_t>(Height());
    DeviceConfig.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(Renderer::Initialize(UniqueTitle()), 0);
}

void EngineFixture::TearDown() {
    PlatformTesting::ClearFailures();
    PlatformTesting::ClearDirect3DFailures();
    PlatformTesting::ReportShaderVersions(0, 0);
    NVesk::NEvents::EventManager::Release();
    std::memset(&NVesk::NEvents::TheEventManager, 0, sizeof(NVesk::NEvents::TheEventManager));
    NVesk::NEvents::TheCursorSprite.sprite = nullptr;
    NVesk::NEvents::TheCursorSprite.holder = nullptr;
    NVesk::NEvents::TheCursorSprite.visible = false;

    // What a screen's release does: every image removed, then the box shut down.
    TheImageBox.initialized = true;
    while (!TheImageBox.images.empty()) {
        Image* holder = TheImageBox.images.back();
        TheImageBox.RemoveImage(holder);
    }
    TheImageBox.ShutdownBox();
    TheImageBox.effectFileName.clear();
    TheImageBox.useBuiltInEffect = false;
    TheImageBox.blendEffect = 0;
    EXPECT_TRUE(Image::TextureManager::entries.empty()) << "every file texture given back";
    Image::TextureManager::entries.clear();

    if (Renderer::current != nullptr) {
        Renderer::current->ReleaseDirect3D();
        DestroyWindow(Renderer::current->hwnd);
    }
    Renderer::Release();
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
    // The destroyed window's quit message must not reach the next test.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

std::wstring EngineFixture::WriteImage(const std::string& name, int width, int height,
                                       const std::vector<std::uint32_t>& texels) {
    TestSupport::WriteBytes(folder.Path() / name, D3DX9Tests::EncodeImage(name, width, height, 4, texels));
    return folder.File(name);
}

std::vector<ImageVertex> EngineFixture::BoxVertices() {
    std::vector<ImageVertex> vertices;
    IDirect3DVertexBuffer9* buffer = TheImageBox.vertexBuffer;
    if (buffer == nullptr) return vertices;
    D3DVERTEXBUFFER_DESC desc;
    buffer->GetDesc(&desc);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    if (data == nullptr) return vertices;
    vertices.resize(desc.Size / sizeof(ImageVertex));
    std::memcpy(vertices.data(), data, desc.Size);
    buffer->Unlock();
    return vertices;
}

}  // namespace EngineTest
