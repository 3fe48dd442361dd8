// The scenes on a real device: switching, and what each scene does when its device objects or
// files fail, so that nothing crashes and the log says what happened.
#include "DemoAssets.h"

#include "../platform/d3dx9/XFileWriter.h"
#include "app/FirstScene.h"
#include "app/SecondScene.h"
#include "app/ThirdScene.h"
#include "platform/d3d9/BackBufferReadback.h"
#include "renderer/DeviceConfig.h"
#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "renderer/Timer.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include "../platform/d3dx9/ImageFiles.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <PlatformTesting/MessageBoxes.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::Scene;
using NVesk::NRenderer::SceneContext;
using NVesk::NRenderer::SceneManager;
using NVesk::NRenderer::TheImageBox;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;

namespace {

// A scene that records its calls and answers with chosen results.
class RecordingScene final : public Scene {
public:
    RecordingScene(const char* name, std::vector<std::string>& calls) : m_name(name), m_calls(calls) {}
    void Draw() override {}
    void DrawImages() override {}
    void Update() override {}
    std::int32_t InvalidateResources() override { return Record("Invalidate", invalidateResult); }
    std::int32_t RestoreResources() override { return Record("Restore", restoreResult); }
    std::int32_t InitResources() override { return Record("Init", initResult); }
    std::int32_t ReleaseResources() override { return Record("Release", releaseResult); }

    std::int32_t invalidateResult = 0;
    std::int32_t restoreResult = 0;
    std::int32_t initResult = 0;
    std::int32_t releaseResult = 0;

private:
    std::int32_t Record(const char* call, std::int32_t result) {
        m_calls.push_back(m_name + "." + call);
        return result;
    }
    std::string m_name;
    std::vector<std::string>& m_calls;
};

class SwitchSceneTest : public ::testing::Test {
protected:
    void SetUp() override { SceneManager.current = &a; }
    void TearDown() override { SceneManager.current = nullptr; }
    std::vector<std::string> calls;
    RecordingScene a {"A", calls};
    RecordingScene b {"B", calls};
};

// A renderer and an initialised image box over stand-in assets in a folder of their own.
class SceneFixture : public ::testing::Test {
protected:
    void SetUp() override {
        DemoTest::WriteAssets(m_folder.Path());
        m_workingDirectory = std::make_unique<TestSupport::WorkingDirectory>(m_folder.Path());
        DeviceConfig = DeviceConfigRecord {};
        DeviceConfig.Width = 160;
        DeviceConfig.Height = 120;
        ASSERT_EQ(Renderer::Initialize(L"SceneTest"), 0);
        SceneContext.device = Renderer::Device;
        ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    }

    void TearDown() override {
        PlatformTesting::ClearFailures();
        TheImageBox.ShutdownBox();
        Renderer::current->ReleaseDirect3D();
        DestroyWindow(Renderer::current->hwnd);
        Renderer::Release();
        SceneContext.device = nullptr;
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_folder.Path() / name, std::ios::binary) << text;
    }

    PlatformTesting::MessageBoxRecorder m_boxes;

private:
    TestSupport::TempDir m_folder;
    std::unique_ptr<TestSupport::WorkingDirectory> m_workingDirectory;
};

bool AllZero(const std::vector<std::uint8_t>& grid) {
    for (std::uint8_t value : grid) {
        if (value != 0) return false;
    }
    return true;
}

bool IsFinite(const D3DXMATRIX& matrix) {
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(matrix.m[i / 4][i % 4])) return false;
    }
    return true;
}

}  // namespace

TEST_F(SwitchSceneTest, LeavesTheCurrentSceneThenInitialisesAndRestoresTheNext) {
    EXPECT_EQ(NVesk::NRenderer::SwitchScene(&b), 0);
    EXPECT_EQ(calls, (std::vector<std::string> {"A.Invalidate", "A.Release", "B.Init", "B.Restore"}));
    EXPECT_EQ(SceneManager.current, &b);
    calls.clear();
    b.restoreResult = 9;
    EXPECT_EQ(NVesk::NRenderer::SwitchScene(&b), 9);
    EXPECT_EQ(calls, (std::vector<std::string> {"B.Invalidate", "B.Release", "B.Init", "B.Restore"}));
    EXPECT_EQ(SceneManager.current, &b);
}

TEST_F(SwitchSceneTest, StopsAtTheFirstFailingStep) {
    a.invalidateResult = 3;
    EXPECT_EQ(NVesk::NRenderer::SwitchScene(&b), 3);
    EXPECT_EQ(calls, (std::vector<std::string> {"A.Invalidate"}));
    EXPECT_EQ(SceneManager.current, &a);

    calls.clear();
    a.invalidateResult = 0;
    a.releaseResult = 4;
    EXPECT_EQ(NVesk::NRenderer::SwitchScene(&b), 4);
    EXPECT_EQ(calls, (std::vector<std::string> {"A.Invalidate", "A.Release"}));
    EXPECT_EQ(SceneManager.current, &a);

    calls.clear();
    a.releaseResult = 0;
    b.initResult = 5;
    EXPECT_EQ(NVesk::NRenderer::SwitchScene(&b), 5);
    EXPECT_EQ(calls, (std::vector<std::string> {"A.Invalidate", "A.Release", "B.Init"}));
    EXPECT_EQ(SceneManager.current, &b);
}

TEST_F(SceneFixture, FireWithoutATextureMakesNoStepDrawsNothingAndSaysSo) {
    FirstScene scene;
    PlatformTesting::FailNextCalls("IDirect3DDevice9::CreateTexture", E_OUTOFMEMORY, 1);
    const LogCapture log;
    EXPECT_EQ(scene.RestoreResources(), 0);
    EXPECT_EQ(log.Messages(), (Lines {L"FirstScene::RestoreResources >> Cannot create the fire texture. Function "
                                      L"\"CreateTexture\" returned an error code: 8007000E"}));
    EXPECT_EQ(scene.fire.texture, nullptr);
    EXPECT_EQ(scene.image->texture, nullptr);
    scene.Update();
    EXPECT_TRUE(AllZero(scene.fire.current));
    EXPECT_TRUE(AllZero(scene.fire.next));  // the stir did not run either
    scene.DrawImages();
    EXPECT_EQ(scene.InvalidateResources(), 0);
    // The next restore works and steps.
    EXPECT_EQ(scene.RestoreResources(), 0);
    ASSERT_NE(scene.fire.texture, nullptr);
    EXPECT_EQ(scene.image->texture, scene.fire.texture);
    EXPECT_FALSE(AllZero(scene.fire.current));
    EXPECT_EQ(scene.InvalidateResources(), 0);
}

TEST_F(SceneFixture, FailedFireLockKeepsTheGridsAndTheShownTexture) {
    FirstScene scene;
    EXPECT_EQ(scene.RestoreResources(), 0);
    const std::vector<std::uint8_t> before = scene.fire.current;
    IDirect3DTexture9* const shown = scene.image->texture;
    for (const char* operation : {"IDirect3DTexture9::LockRect", "IDirect3DTexture9::UnlockRect"}) {
        SCOPED_TRACE(operation);
        // The step still runs, drawing its random numbers, with nowhere to show it.
        FireTexture expected;
        expected.current = before;
        std::srand(7);
        expected.Spread();
        const int following = std::rand();
        std::srand(7);
        PlatformTesting::FailNextCalls(operation, D3DERR_INVALIDCALL, 1);
        scene.Update();
        EXPECT_EQ(scene.fire.next, expected.next);
        EXPECT_EQ(std::rand(), following);
        EXPECT_EQ(scene.fire.current, before);
        EXPECT_EQ(scene.image->texture, shown);
    }
    // Releasing the texture takes it from the image too: nothing can draw it released.
    EXPECT_EQ(scene.InvalidateResources(), 0);
    EXPECT_EQ(scene.image->texture, nullptr);
    EXPECT_EQ(scene.fire.texture, nullptr);
    EXPECT_EQ(scene.InvalidateResources(), 0);  // twice is harmless
}

TEST_F(SceneFixture, WaterUnlocksItsOutputEvenWhenTheSourceUnlockFails) {
    ThirdScene scene(L"ziemia.bmp");
    EXPECT_EQ(scene.RestoreResources(), 0);
    ASSERT_NE(scene.water.texture, nullptr);
    ASSERT_NE(scene.water.source, nullptr);
    const std::vector<std::int32_t> previous = scene.water.previous;
    PlatformTesting::FailNextCalls("IDirect3DTexture9::UnlockRect", D3DERR_INVALIDCALL, 1);
    EXPECT_EQ(scene.water.Update(), nullptr);
    EXPECT_EQ(scene.water.previous, previous);  // not exchanged
    scene.water.source->UnlockRect(0);          // the refused unlock left it locked
    // Both textures were unlocked: they lock again.
    D3DLOCKED_RECT locked;
    EXPECT_EQ(scene.water.texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(scene.water.texture->UnlockRect(0), D3D_OK);
    // A failed output lock gives the source back too, and the heights still step.
    WaterTexture expected(L"ziemia.bmp");
    expected.current = scene.water.current;
    expected.previous = scene.water.previous;
    const std::uint32_t counter = WaterTexture::dropCounter;
    std::srand(9);
    expected.DropWhenDue();
    expected.Spread();
    WaterTexture::dropCounter = counter;
    std::srand(9);
    PlatformTesting::FailNextCalls("IDirect3DTexture9::LockRect", D3DERR_INVALIDCALL, 1, 1);
    EXPECT_EQ(scene.water.Update(), nullptr);
    EXPECT_EQ(scene.water.current, expected.current);
    EXPECT_EQ(scene.water.source->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(scene.water.source->UnlockRect(0), D3D_OK);
    EXPECT_EQ(scene.InvalidateResources(), 0);
    EXPECT_EQ(scene.image->texture, nullptr);
}

TEST_F(SceneFixture, WaterWithAMissingOrSmallPictureSaysSoOrReadsWithinIt) {
    {
        ThirdScene scene(L"missing.bmp");
        const LogCapture log;
        EXPECT_EQ(scene.RestoreResources(), 0);
        EXPECT_EQ(log.Messages(), (Lines {L"ThirdScene::RestoreResources >> Cannot load the picture: missing.bmp"}));
        scene.Update();
        scene.DrawImages();
        for (std::int32_t height : scene.water.current)
            ASSERT_EQ(height, 0);
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
    {
        std::vector<std::uint32_t> texels(40 * 30, 0xFF336699u);
        TestSupport::WriteBytes("small.bmp", D3DX9Tests::EncodeImage("small.bmp", 40, 30, 3, texels));
        ThirdScene scene(L"small.bmp");
        EXPECT_EQ(scene.RestoreResources(), 0);
        for (int i = 0; i < 30; ++i)
            scene.Update();
        ASSERT_NE(scene.image->texture, nullptr);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(scene.water.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const DWORD corner = static_cast<const DWORD*>(locked.pBits)[255 * locked.Pitch / 4 + 255];
        EXPECT_EQ(corner & 0xFFFFFF, 0x336699u);
        scene.water.texture->UnlockRect(0);
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
}

TEST_F(SceneFixture, MeshSceneStartsFromItsPoseAndTurnsTheLight) {
    SecondScene scene(&Renderer::AspectRatio);
    EXPECT_EQ(scene.InitResources(), 0);
    EXPECT_NEAR(scene.lightDirection.x, 0.0f, 1e-6f);
    EXPECT_NEAR(scene.lightDirection.y, 0.894427f, 1e-5f);
    EXPECT_NEAR(scene.lightDirection.z, -0.447214f, 1e-5f);
    EXPECT_EQ(scene.RestoreResources(), 0);
    ASSERT_NE(scene.mesh, nullptr);
    EXPECT_NE(scene.mesh->GetFVF() & D3DFVF_NORMAL, 0u);
    // 800 x 600 would give 1.3333334; here 160 x 120.
    EXPECT_FLOAT_EQ(scene.projection._11 / scene.projection._22, 1.0f / (160.0f / 120.0f));
    NVesk::NRenderer::Timer* const timer = SceneContext.timer;
    const double savedFrameTime = timer->frameTime;
    timer->frameTime = D3DX_PI / 8.0;
    for (int i = 0; i < 4; ++i)
        scene.Update();
    timer->frameTime = savedFrameTime;
    EXPECT_NEAR(scene.lightDirection.x, -0.894427f, 1e-5f);
    EXPECT_NEAR(scene.lightDirection.y, 0.0f, 1e-5f);
    EXPECT_NEAR(scene.lightDirection.z, -0.447214f, 1e-5f);
    EXPECT_EQ(scene.InvalidateResources(), 0);
    EXPECT_EQ(scene.mesh, nullptr);
    EXPECT_EQ(scene.effect, nullptr);
}

TEST_F(SceneFixture, MeshSceneFailuresReturnTheirCodesAndLeaveNothingToDraw) {
    SecondScene scene(&Renderer::AspectRatio);
    scene.InitResources();
    {
        SCOPED_TRACE("no effect file: 111, no box, a log line, no drawing");
        std::remove("effect.fx");
        const LogCapture log;
        EXPECT_EQ(scene.RestoreResources(), 111);
        EXPECT_TRUE(m_boxes.Boxes().empty());
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_EQ(
            log.Messages()[0].rfind(L"SecondScene::RestoreResources >> Cannot create the effect from effect.fx.", 0),
            0u);
        EXPECT_EQ(scene.effect, nullptr);
        scene.Draw();
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
    {
        SCOPED_TRACE("compile error: the compiler's text in a box, 111");
        Write("effect.fx", "float4x4 g_mWorld; technique { pass { VertexShader = compile vs_2_0 Missing(); } }");
        EXPECT_EQ(scene.RestoreResources(), 111);
        const auto boxes = m_boxes.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Effect Compilation error");
        EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
        EXPECT_NE(boxes[0].text.find(L"error"), std::wstring::npos);
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
    Write("effect.fx", DemoTest::kLightingEffect);
    {
        SCOPED_TRACE("clone refused: the loaded mesh is kept and drawn");
        PlatformTesting::FailNextCalls("ID3DXMesh::CloneMeshFVF", E_OUTOFMEMORY, 1);
        const LogCapture log;
        EXPECT_EQ(scene.RestoreResources(), 0);
        ASSERT_NE(scene.mesh, nullptr);
        EXPECT_EQ(scene.mesh->GetFVF() & D3DFVF_NORMAL, 0u);
        EXPECT_EQ(log.Messages(), (Lines {L"SecondScene::RestoreResources >> Cannot add normals to the mesh. "
                                          L"Function \"CloneMeshFVF\" returned an error code: 8007000E"}));
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
    {
        SCOPED_TRACE("no mesh file: 111 and a log line");
        std::remove("skullocc.x");
        const LogCapture log;
        EXPECT_EQ(scene.RestoreResources(), 111);
        EXPECT_EQ(scene.mesh, nullptr);
        EXPECT_EQ(log.Messages().size(), 1u);
        scene.Draw();
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
    {
        SCOPED_TRACE("a mesh with normals is used as it is");
        D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(true);
        for (std::size_t i = 0; i < cube.positions.size(); ++i)
            cube.normals.push_back({0.0f, 1.0f, 0.0f});
        Write("skullocc.x", D3DX9Tests::TextXFile(cube));
        PlatformTesting::CallCounter calls;
        EXPECT_EQ(scene.RestoreResources(), 0);
        EXPECT_EQ(calls.Count("ID3DXMesh::CloneMeshFVF"), 0);
        EXPECT_EQ(scene.InvalidateResources(), 0);
    }
}

// The box's corners in its own space: the smallest and largest position of the mesh's vertices.
void MeshBounds(ID3DXMesh* mesh, D3DXVECTOR3& low, D3DXVECTOR3& high) {
    void* data = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    low = D3DXVECTOR3(1e30f, 1e30f, 1e30f);
    high = -low;
    for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
        const float* p =
            reinterpret_cast<const float*>(static_cast<const BYTE*>(data) + v * mesh->GetNumBytesPerVertex());
        for (int axis = 0; axis < 3; ++axis) {
            (&low.x)[axis] = std::min((&low.x)[axis], p[axis]);
            (&high.x)[axis] = std::max((&high.x)[axis], p[axis]);
        }
    }
    mesh->UnlockVertexBuffer();
}

// p x M^-1 for a matrix made of a turn and a move (the view, the pose): the point, or the direction
// when `point` is false, in the space the matrix starts from.
D3DXVECTOR3 Untransformed(const D3DXMATRIX& m, const D3DXVECTOR3& p, bool point) {
    const D3DXVECTOR3 q = point ? D3DXVECTOR3(p.x - m._41, p.y - m._42, p.z - m._43) : p;
    return D3DXVECTOR3(q.x * m._11 + q.y * m._12 + q.z * m._13, q.x * m._21 + q.y * m._22 + q.z * m._23,
                       q.x * m._31 + q.y * m._32 + q.z * m._33);
}

// Where the ray through a pixel centre enters the box, in the box's own space: the face's outward
// normal, when it enters well inside one face (away from its edges, where rasterisation decides).
bool FaceUnderPixel(const SecondScene& scene, int x, int y, int width, int height, const D3DXVECTOR3& low,
                    const D3DXVECTOR3& high, D3DXVECTOR3& normal) {
    const float ndcX = (static_cast<float>(x) + 0.5f) * 2.0f / static_cast<float>(width) - 1.0f;
    const float ndcY = 1.0f - (static_cast<float>(y) + 0.5f) * 2.0f / static_cast<float>(height);
    // From the eye, in view space, then back through the view and the pose.
    const D3DXVECTOR3 eye =
        Untransformed(scene.world, Untransformed(scene.view, D3DXVECTOR3(0.0f, 0.0f, 0.0f), true), true);
    const D3DXVECTOR3 viewDirection(ndcX / scene.projection._11, ndcY / scene.projection._22, 1.0f);
    const D3DXVECTOR3 direction = Untransformed(scene.world, Untransformed(scene.view, viewDirection, false), false);
    float enter = 0.0f;
    float leave = 1e30f;
    int enterAxis = -1;
    for (int axis = 0; axis < 3; ++axis) {
        const float d = (&direction.x)[axis];
        const float o = (&eye.x)[axis];
        if (std::fabs(d) < 1e-9f) {
            if (o < (&low.x)[axis] || o > (&high.x)[axis]) return false;
            continue;
        }
        float t0 = ((&low.x)[axis] - o) / d;
        float t1 = ((&high.x)[axis] - o) / d;
        if (t0 > t1) std::swap(t0, t1);
        if (t0 > enter) {
            enter = t0;
            enterAxis = axis;
        }
        leave = std::min(leave, t1);
    }
    if (enterAxis < 0 || enter >= leave) return false;
    const D3DXVECTOR3 hit = eye + direction * enter;
    for (int axis = 0; axis < 3; ++axis) {
        if (axis == enterAxis) continue;
        const float margin = 0.1f * ((&high.x)[axis] - (&low.x)[axis]);
        if ((&hit.x)[axis] < (&low.x)[axis] + margin || (&hit.x)[axis] > (&high.x)[axis] - margin) return false;
    }
    normal = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    (&normal.x)[enterAxis] = (&direction.x)[enterAxis] > 0 ? -1.0f : 1.0f;
    return true;
}

TEST_F(SceneFixture, MeshSceneLightsEachFaceByItsNormalInTheWorld) {
    SecondScene scene(&Renderer::AspectRatio);
    scene.InitResources();
    ASSERT_EQ(scene.RestoreResources(), 0);
    // A turn of the pose and the light, so that no face sits square to the camera.
    NVesk::NRenderer::Timer* const timer = SceneContext.timer;
    const double savedFrameTime = timer->frameTime;
    timer->frameTime = 0.6;
    scene.Update();
    timer->frameTime = savedFrameTime;

    IDirect3DDevice9* device = Renderer::Device;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    scene.Draw();
    device->EndScene();
    const std::vector<DWORD> pixels = D3D9Test::ReadBackBuffer(device);
    ASSERT_EQ(pixels.size(), 160u * 120u);

    // The effect's inputs are the scene's: its world for the normals, and world x view x projection.
    D3DXMATRIX handed, worldViewProjection;
    D3DXMatrixMultiply(&worldViewProjection, &scene.world, &scene.view);
    D3DXMatrixMultiply(&worldViewProjection, &worldViewProjection, &scene.projection);
    ASSERT_EQ(scene.effect->GetMatrix("g_mWorld", &handed), D3D_OK);
    EXPECT_TRUE(handed == scene.world);
    ASSERT_EQ(scene.effect->GetMatrix("g_mWorldViewProj", &handed), D3D_OK);
    EXPECT_TRUE(handed == worldViewProjection);

    // Every pixel well inside a face has the colour of the effect's light on that face's normal
    // turned into the world: (0.9, 0.85, 0.7) x (0.25 + 0.75 x saturate(n . light)).
    D3DXVECTOR3 low, high;
    MeshBounds(scene.mesh, low, high);
    int compared = 0;
    int facesLit[2] = {0, 0};
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            D3DXVECTOR3 normal, turned;
            if (!FaceUnderPixel(scene, x, y, 160, 120, low, high, normal)) continue;
            D3DXVec3TransformNormal(&turned, &normal, &scene.world);
            const float lit = std::clamp(D3DXVec3Dot(&turned, &scene.lightDirection), 0.0f, 1.0f);
            ++facesLit[lit > 0.5f ? 1 : 0];
            const float shade = 0.25f + 0.75f * lit;
            const int wanted[3] = {static_cast<int>(0.7f * shade * 255.0f + 0.5f),
                                   static_cast<int>(0.85f * shade * 255.0f + 0.5f),
                                   static_cast<int>(0.9f * shade * 255.0f + 0.5f)};
            const DWORD pixel = pixels[static_cast<std::size_t>(y) * 160 + x];
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(static_cast<int>((pixel >> (8 * channel)) & 0xFF), wanted[channel], 3)
                    << "pixel (" << x << ", " << y << ") channel " << channel;
            }
            ++compared;
        }
    }
    EXPECT_GE(compared, 200) << "the box covers part of the view";
    EXPECT_GT(facesLit[0], 0) << "a face turned from the light";
    EXPECT_GT(facesLit[1], 0) << "a face turned to the light";
    EXPECT_EQ(scene.InvalidateResources(), 0);
}

TEST_F(SceneFixture, MeshProjectionStaysFiniteForAnAspectRatioOfZeroOverZero) {
    const float noRatio = std::nanf("");
    SecondScene scene(&noRatio);
    scene.InitResources();
    const LogCapture log;
    EXPECT_EQ(scene.RestoreResources(), 0);
    EXPECT_TRUE(IsFinite(scene.projection));
    EXPECT_EQ(log.Messages(),
              (Lines {L"SecondScene::RestoreResources >> The aspect ratio is not a positive number; 1 is used."}));
    EXPECT_EQ(scene.InvalidateResources(), 0);
}
