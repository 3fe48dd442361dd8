// The scene benchmark's comparison programs must do the demo's work: the cursor stepped as the
// engine's animation steps, the mesh scene's matrices as D3DX makes them, the demo's .x mesh read
// as written, and a frame that does not show the scene refused.
#include "MeshScene.h"
#include "SceneRun.h"
#include "renderer/Animation.h"
#include "support/TempDir.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <set>
#include <tuple>

using namespace SceneBench;

namespace {

void ExpectMatrix(const Matrix& ours, const D3DXMATRIX& d3dx, const char* what) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(ours.m[i][j], d3dx.m[i][j], 2e-5f) << what << " [" << i << "][" << j << "]";
    }
}

std::vector<std::uint32_t> ClearFrame() {
    return std::vector<std::uint32_t>(static_cast<std::size_t>(kWidth) * kHeight, kClearColour);
}

void Paint(std::vector<std::uint32_t>& pixels, int x, int y, int width, int height) {
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column)
            pixels[static_cast<std::size_t>(row) * kWidth + column] = 0xFF203040;
    }
}

}  // namespace

TEST(SceneBenchCursor, StepsAsTheEnginesAnimation) {
    NVesk::NRenderer::AnimationDesc desc;
    desc.frameWidth = kCursorFrameWidth;
    desc.frameHeight = kCursorFrameHeight;
    desc.frameCount = kCursorFrames;
    desc.frameDuration = kCursorFrameSeconds;
    NVesk::NRenderer::Animation engine(desc);
    CursorAnimation ours;
    std::mt19937 random(7);
    // Frame times around the duration, exact multiples of it and long stalls.
    const double steps[] = {0.0, 0.01, 0.04, 0.08, 0.16, 0.3, 1e-4};
    for (int i = 0; i < 5000; ++i) {
        const double seconds =
            i % 3 == 0 ? steps[random() % 7] : std::uniform_real_distribution<double>(0, 0.2)(random);
        engine.Advance(seconds);
        ASSERT_EQ(ours.Advance(seconds), engine.currentFrame) << "step " << i;
    }
}

TEST(SceneBenchMeshPose, MatchesTheScenesD3DXMatrices) {
    const float aspect = static_cast<float>(kWidth) / kHeight;
    MeshPose pose(aspect);
    // The mesh scene's own construction (SecondScene's InitResources and RestoreResources).
    const D3DXVECTOR3 eye(0.0f, 5.0f, -20.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view, projection, rotateX, rotateZ, rotateY, turned, world;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4.0f, aspect, 1.0f, 100.0f);
    D3DXMatrixRotationX(&rotateX, D3DX_PI / 2.0f + 0.9f);
    D3DXMatrixRotationZ(&rotateZ, D3DX_PI);
    D3DXMatrixRotationY(&rotateY, D3DX_PI + 0.2f);
    D3DXMatrixMultiply(&turned, &rotateX, &rotateZ);
    D3DXMatrixMultiply(&world, &turned, &rotateY);
    D3DXVECTOR3 light;
    const D3DXVECTOR3 lightStart(0.0f, 10.0f, -5.0f);
    D3DXVec3Normalize(&light, &lightStart);
    for (float seconds : {0.0f, 0.016f, 0.5f, 0.002f, 1.25f}) {
        // The scene's Update.
        D3DXMATRIX turn, lightTurn, worldView, worldViewProjection;
        D3DXMatrixRotationY(&turn, seconds);
        D3DXMatrixMultiply(&world, &world, &turn);
        D3DXMatrixRotationZ(&lightTurn, seconds);
        D3DXVec3TransformCoord(&light, &light, &lightTurn);
        D3DXMatrixMultiply(&worldView, &world, &view);
        D3DXMatrixMultiply(&worldViewProjection, &worldView, &projection);
        if (seconds != 0.0f) pose.Advance(seconds);
        ExpectMatrix(pose.world, world, "world");
        ExpectMatrix(pose.worldViewProjection, worldViewProjection, "world-view-projection");
        EXPECT_NEAR(pose.lightDirection[0], light.x, 1e-5f);
        EXPECT_NEAR(pose.lightDirection[1], light.y, 1e-5f);
        EXPECT_NEAR(pose.lightDirection[2], light.z, 1e-5f);
    }
}

TEST(SceneBenchXMesh, ReadsPositionsFacesAndColoursAsWritten) {
    TestSupport::TempDir folder;
    const std::filesystem::path file = folder.Path() / "quad.x";
    // The generator's layout: a quad and a triangle, colours for three of the five vertices.
    std::ofstream(file) << "xof 0303txt 0032\n\nMesh Quad {\n 5;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n"
                           " 1.0;1.0;0.0;,\n 0.0;1.0;0.0;,\n 0.5;0.5;-2.0;;\n 2;\n 4;0,1,2,3;,\n 3;0,4,1;;\n"
                           " MeshVertexColors {\n  3;\n  0;1.000;0.000;0.000;1.000;;,\n"
                           "  2;0.500;0.500;0.500;1.000;;,\n  4;0.000;0.000;1.000;0.000;;;\n }\n}\n";
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(LoadXMesh(file.string(), mesh, &error)) << error;
    ASSERT_EQ(mesh.vertices.size(), 5u);
    ASSERT_EQ(mesh.indices.size(), 9u);  // the quad as a fan of two triangles, then the triangle
    // Reordering keeps every triangle, each with its corners in their turn.
    using Corner = std::tuple<float, float, float, std::uint32_t>;
    std::multiset<std::vector<Corner>> triangles;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        std::vector<Corner> corners;
        for (std::size_t c = 0; c < 3; ++c) {
            const MeshVertex& v = mesh.vertices[mesh.indices[i + c]];
            corners.emplace_back(v.position[0], v.position[1], v.position[2], v.colour);
        }
        std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
        triangles.insert(corners);
    }
    const Corner p0 {0.0f, 0.0f, 0.0f, 0xFFFF0000u}, p1 {1.0f, 0.0f, 0.0f, 0xFFFFFFFFu},
        p2 {1.0f, 1.0f, 0.0f, 0xFF808080u}, p3 {0.0f, 1.0f, 0.0f, 0xFFFFFFFFu}, p4 {0.5f, 0.5f, -2.0f, 0x000000FFu};
    const std::multiset<std::vector<Corner>> expected {{p0, p1, p2}, {p0, p2, p3}, {p0, p4, p1}};
    EXPECT_EQ(triangles, expected);
    // The quad's corners not shared with the triangle face along (1 0 0) x (1 1 0): +z.
    for (const MeshVertex& v : mesh.vertices) {
        if (v.position[0] == 1.0f && v.position[1] == 1.0f) {
            EXPECT_FLOAT_EQ(v.normal[2], 1.0f);
        }
        EXPECT_NEAR(std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2]), 1.0f,
                    1e-5f);
    }
}

TEST(SceneBenchXMesh, RefusesWhatIsNotAMesh) {
    TestSupport::TempDir folder;
    Mesh mesh;
    std::string error;
    EXPECT_FALSE(LoadXMesh((folder.Path() / "missing.x").string(), mesh, &error));
    const std::filesystem::path binary = folder.Path() / "binary.x";
    std::ofstream(binary) << "xof 0303bin 0032 whatever";
    EXPECT_FALSE(LoadXMesh(binary.string(), mesh, &error));
    // A face naming a vertex that does not exist.
    const std::filesystem::path broken = folder.Path() / "broken.x";
    std::ofstream(broken) << "xof 0303txt 0032\nMesh {\n 3;\n 0;0;0;,\n 1;0;0;,\n 0;1;0;;\n 1;\n 3;0,1,7;;\n}\n";
    EXPECT_FALSE(LoadXMesh(broken.string(), mesh, &error));
    EXPECT_FALSE(error.empty());
}

TEST(SceneBenchFrameCheck, RefusesFramesWithoutTheScene) {
    std::vector<std::uint32_t> pixels = ClearFrame();
    // Nothing drawn at all.
    EXPECT_NE(CheckFrame(pixels, Scene::Empty), "");
    EXPECT_NE(CheckFrame(pixels, Scene::Fire), "");
    // The cursor alone: the empty scene, but no other scene.
    Paint(pixels, static_cast<int>(kCursorX) + 10, static_cast<int>(kCursorY) + 10, 40, 40);
    EXPECT_EQ(CheckFrame(pixels, Scene::Empty), "");
    EXPECT_NE(CheckFrame(pixels, Scene::Water), "");
    // A scene image filling the lower third: a scene, and no longer the empty one.
    Paint(pixels, 0, 400, kWidth, 200);
    EXPECT_EQ(CheckFrame(pixels, Scene::Fire), "");
    EXPECT_EQ(CheckFrame(pixels, Scene::Mesh), "");
    EXPECT_NE(CheckFrame(pixels, Scene::Empty), "");
    // A frame of another size is no frame of the demo's window.
    pixels.pop_back();
    EXPECT_NE(CheckFrame(pixels, Scene::Fire), "");
}

TEST(SceneBenchOptions, ReadsTheChildsCommandLineAndRefusesNonsense) {
    ChildOptions options;
    options.scene = Scene::Water;
    options.assetFolder = "/tmp/assets";
    options.warmUpSeconds = 0.25;
    options.seconds = 1.5;
    std::vector<std::string> words = ChildArguments(options);
    words.insert(words.begin(), "program");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    ChildOptions read;
    ASSERT_TRUE(ParseChildOptions(static_cast<int>(argv.size()), argv.data(), {Scene::Fire, Scene::Water}, read));
    EXPECT_EQ(read.scene, Scene::Water);
    EXPECT_EQ(read.assetFolder, "/tmp/assets");
    EXPECT_DOUBLE_EQ(read.warmUpSeconds, 0.25);
    EXPECT_DOUBLE_EQ(read.seconds, 1.5);

    // A scene the program does not draw, a scene that does not exist, no time to measure.
    std::string other[] = {"program", "mesh", "/tmp", "1", "2"};
    std::string unknown[] = {"program", "lava", "/tmp", "1", "2"};
    std::string noTime[] = {"program", "fire", "/tmp", "1", "0"};
    for (std::string* bad : {other, unknown, noTime}) {
        char* badArgv[5];
        for (int i = 0; i < 5; ++i)
            badArgv[i] = bad[i].data();
        EXPECT_FALSE(ParseChildOptions(5, badArgv, {Scene::Fire, Scene::Water}, read)) << bad[1] << " " << bad[4];
    }
}
