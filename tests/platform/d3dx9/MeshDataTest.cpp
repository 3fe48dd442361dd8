// .x loading and the mesh operations, on files and meshes our tests write, and the
// memo that keeps their answers by input.
#include "XFileWriter.h"

#include "ContentMemo.h"
#include "MeshOperations.h"
#include "XMeshLoader.h"
#include "support/SharedData.h"

#include <gtest/gtest.h>

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

using namespace nvesk::d3dx9;
using D3DX9Tests::Cube;
using D3DX9Tests::XMeshSource;

namespace {

XMeshLoadResult LoadText(const XMeshSource& source) {
    const std::string text = D3DX9Tests::TextXFile(source);
    return LoadXMesh(text.data(), text.size());
}

// The source's own vertices, unmerged, with room for normals when asked.
MeshGeometry FromSource(const XMeshSource& source, bool withNormals) {
    MeshGeometry mesh;
    mesh.hasNormals = withNormals;
    mesh.vertexCount = static_cast<std::uint32_t>(source.positions.size());
    for (const auto& p : source.positions) {
        mesh.vertices.insert(mesh.vertices.end(), p.begin(), p.end());
        if (withNormals) mesh.vertices.insert(mesh.vertices.end(), {7, 7, 7});
    }
    for (const auto& f : source.faces) {
        mesh.indices.insert(mesh.indices.end(), f.begin(), f.end());
        mesh.attributes.push_back(0);
    }
    return mesh;
}

VertexData View(MeshGeometry& mesh) {
    return VertexData {reinterpret_cast<std::uint8_t*>(mesh.vertices.data()), mesh.VertexFloats() * 4u,
                       mesh.vertexCount};
}

std::array<float, 3> Position(const MeshGeometry& mesh, std::uint32_t vertex) {
    const float* v = &mesh.vertices[static_cast<std::size_t>(vertex) * mesh.VertexFloats()];
    return {v[0], v[1], v[2]};
}

// Triangles as position triples, each rotated to start at its smallest corner: the same set
// means the same surface with the same winding, whatever the vertex and face order.
std::multiset<std::array<float, 9>> Triangles(const MeshGeometry& mesh) {
    std::multiset<std::array<float, 9>> triangles;
    for (std::size_t f = 0; f < mesh.indices.size(); f += 3) {
        std::array<std::array<float, 3>, 3> corners {
            Position(mesh, mesh.indices[f]), Position(mesh, mesh.indices[f + 1]), Position(mesh, mesh.indices[f + 2])};
        std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
        std::array<float, 9> flat {};
        for (int k = 0; k < 9; ++k)
            flat[k] = corners[k / 3][k % 3];
        triangles.insert(flat);
    }
    return triangles;
}

}  // namespace

TEST(XMeshLoader, TextAndBinaryFilesGiveTheSameCubeWithTheFrameApplied) {
    XMeshSource source = Cube(false);
    source.frameTranslation = {10, 0, 0};
    const XMeshLoadResult text = LoadText(source);
    ASSERT_TRUE(text.ok) << text.error;
    const std::vector<std::uint8_t> binaryBytes = D3DX9Tests::BinaryXFile(source);
    const XMeshLoadResult binary = LoadXMesh(binaryBytes.data(), binaryBytes.size());
    ASSERT_TRUE(binary.ok) << binary.error;
    for (const MeshGeometry* mesh : {&text.geometry, &binary.geometry}) {
        EXPECT_EQ(mesh->FaceCount(), 12u);
        EXPECT_EQ(mesh->vertexCount, 8u);
        EXPECT_FALSE(mesh->hasNormals);
        EXPECT_FALSE(mesh->hasTextureCoordinates);
        for (std::uint32_t v = 0; v < mesh->vertexCount; ++v) {
            const auto p = Position(*mesh, v);
            EXPECT_TRUE(p[0] == 9.5f || p[0] == 10.5f) << p[0];
        }
        EXPECT_EQ(std::count(mesh->attributes.begin(), mesh->attributes.end(), 0u), 12);
    }
    // Same faces in the same winding as written.
    XMeshSource moved = Cube(false);
    for (auto& p : moved.positions)
        p[0] += 10;
    MeshGeometry expected;
    expected.vertexCount = static_cast<std::uint32_t>(moved.positions.size());
    for (const auto& p : moved.positions)
        expected.vertices.insert(expected.vertices.end(), p.begin(), p.end());
    for (const auto& f : moved.faces)
        expected.indices.insert(expected.indices.end(), f.begin(), f.end());
    EXPECT_EQ(Triangles(text.geometry), Triangles(expected));
    EXPECT_EQ(Triangles(binary.geometry), Triangles(expected));
}

TEST(XMeshLoader, NormalsTextureCoordinatesAndMaterialsComeFromTheFile) {
    XMeshSource source;
    source.positions = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    source.faces = {{0, 1, 2}, {2, 1, 3}};
    source.normals = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    source.uvs = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    source.faceMaterials = {1, 0};
    const XMeshLoadResult loaded = LoadText(source);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    const MeshGeometry& mesh = loaded.geometry;
    EXPECT_TRUE(mesh.hasNormals);
    EXPECT_TRUE(mesh.hasTextureCoordinates);
    EXPECT_EQ(mesh.VertexFloats(), 8u);
    ASSERT_EQ(mesh.FaceCount(), 2u);
    EXPECT_EQ(std::multiset<std::uint32_t>(mesh.attributes.begin(), mesh.attributes.end()),
              (std::multiset<std::uint32_t> {0, 1}));
    for (std::uint32_t f = 0; f < 2; ++f) {
        // The face with material 1 is the one whose first corner is the origin.
        for (int k = 0; k < 3; ++k) {
            const float* v = &mesh.vertices[mesh.indices[f * 3 + k] * 8];
            EXPECT_EQ(v[3], 0.0f);
            EXPECT_EQ(v[5], -1.0f);
            EXPECT_EQ(v[6], v[0]);         // u follows x
            EXPECT_EQ(v[7], 1.0f - v[1]);  // v runs downward
        }
        const bool hasOrigin = Position(mesh, mesh.indices[f * 3]) == std::array<float, 3> {0, 0, 0} ||
                               Position(mesh, mesh.indices[f * 3 + 1]) == std::array<float, 3> {0, 0, 0} ||
                               Position(mesh, mesh.indices[f * 3 + 2]) == std::array<float, 3> {0, 0, 0};
        EXPECT_EQ(mesh.attributes[f], hasOrigin ? 1u : 0u);
    }
}

TEST(XMeshLoader, MalformedFilesAreRefused) {
    XMeshSource badIndex;
    badIndex.positions = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
    badIndex.faces = {{0, 1, 9}};
    const std::string good = D3DX9Tests::TextXFile(Cube(false));
    const std::string cases[] = {
        "",
        "not a mesh at all, but long enough",
        D3DX9Tests::TextXFile(badIndex),
        good.substr(0, good.size() / 2),
        "xof 0303txt 0032\n",
        "v 0 0 0\nv 0 1 0\nv 1 0 0\nf 1 2 3\n",  // a Wavefront file is not a .x file
    };
    for (const std::string& data : cases) {
        SCOPED_TRACE(data.substr(0, 40));
        const XMeshLoadResult result = LoadXMesh(data.data(), data.size());
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(XMeshLoader, TheFilesVerticesStayAsWrittenAcrossMaterialsDuplicatesAndPolygons) {
    // Faces of one corner in two materials: the corner stays one vertex.
    XMeshSource cube = Cube(false);
    for (std::size_t f = 0; f < cube.faces.size(); ++f)
        cube.faceMaterials.push_back(f < 4 ? 1 : 0);
    const XMeshLoadResult twoMaterials = LoadText(cube);
    ASSERT_TRUE(twoMaterials.ok) << twoMaterials.error;
    EXPECT_EQ(twoMaterials.geometry.vertexCount, 8u);
    EXPECT_EQ(twoMaterials.geometry.FaceCount(), 12u);
    EXPECT_EQ(twoMaterials.geometry.materials.size(), 2u);
    EXPECT_EQ(std::count(twoMaterials.geometry.attributes.begin(), twoMaterials.geometry.attributes.end(), 1u), 4);

    // Two vertices at the same place stay two; a quad fans out from its first corner.
    const std::string text =
        "xof 0303txt 0032\nMesh {\n 5;\n 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;\n"
        " 2;\n 4;0,1,2,3;, 3;4,2,1;;\n}\n";
    const XMeshLoadResult polygons = LoadXMesh(text.data(), text.size());
    ASSERT_TRUE(polygons.ok) << polygons.error;
    EXPECT_EQ(polygons.geometry.vertexCount, 5u);
    EXPECT_EQ(polygons.geometry.indices, (std::vector<std::uint32_t> {0, 1, 2, 0, 2, 3, 4, 2, 1}));
    EXPECT_EQ(Position(polygons.geometry, 4), Position(polygons.geometry, 1));
}

TEST(XMeshLoader, AFileWithoutMaterialsGetsTheDefaultAndVertexColoursComeWithTheVertices) {
    XMeshSource source = Cube(false);
    for (std::uint32_t v = 0; v < source.positions.size(); ++v)
        source.colours.push_back(0x80000000u | (v * 0x1F) << 16 | (255 - v * 30) << 8 | v);
    source.uvs.assign(source.positions.size(), {0.25f, 0.75f});
    const XMeshLoadResult loaded = LoadText(source);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    const MeshGeometry& mesh = loaded.geometry;
    ASSERT_EQ(mesh.materials.size(), 1u);
    const MeshMaterial& material = mesh.materials[0];
    EXPECT_EQ(std::vector<float>(material.diffuse, material.diffuse + 4), (std::vector<float> {0.5f, 0.5f, 0.5f, 0}));
    EXPECT_EQ(std::vector<float>(material.specular, material.specular + 3), (std::vector<float> {0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(std::vector<float>(material.emissive, material.emissive + 3), (std::vector<float> {0, 0, 0}));
    EXPECT_EQ(material.power, 0.0f);
    EXPECT_TRUE(material.textureFile.empty());
    EXPECT_EQ(std::count(mesh.attributes.begin(), mesh.attributes.end(), 0u), 12);

    // Position, colour (its D3DCOLOR's bits), then the texture coordinate.
    EXPECT_TRUE(mesh.hasColours);
    ASSERT_EQ(mesh.VertexFloats(), 6u);
    ASSERT_EQ(mesh.vertexCount, 8u);
    for (std::uint32_t v = 0; v < mesh.vertexCount; ++v) {
        std::uint32_t colour;
        std::memcpy(&colour, &mesh.vertices[v * 6 + 3], 4);
        EXPECT_EQ(colour, source.colours[v]) << "vertex " << v;
        EXPECT_EQ(mesh.vertices[v * 6 + 4], 0.25f);
        EXPECT_EQ(mesh.vertices[v * 6 + 5], 0.75f);
    }
}

TEST(XMeshLoader, AVertexBecomesOneVertexPerNormalIndexItsCornersName) {
    // Vertex 1 names normal 0 on the first face and normal 1 on the second and third; vertex 2
    // names normal 0, then normal 2, which equals normal 0 in value but is another index.
    const std::string text =
        "xof 0303txt 0032\nMesh {\n 4;\n 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;;\n"
        " 3;\n 3;0,1,2;, 3;2,1,3;, 3;1,3,0;;\n"
        " MeshNormals {\n  3;\n  0.0;0.0;-1.0;, 0.0;0.0;1.0;, 0.0;0.0;-1.0;;\n  3;\n  3;0,0,0;, 3;2,1,1;, 3;1,1,0;;\n"
        " }\n}\n";
    const XMeshLoadResult loaded = LoadXMesh(text.data(), text.size());
    ASSERT_TRUE(loaded.ok) << loaded.error;
    const MeshGeometry& mesh = loaded.geometry;
    ASSERT_EQ(mesh.vertexCount, 6u);
    // The copies follow the file's vertices in the order their corners come: vertex 2 with
    // normal 2, then vertex 1 with normal 1, which the third face uses again.
    EXPECT_EQ(mesh.indices, (std::vector<std::uint32_t> {0, 1, 2, 4, 5, 3, 5, 3, 0}));
    EXPECT_EQ(Position(mesh, 4), Position(mesh, 2));
    EXPECT_EQ(Position(mesh, 5), Position(mesh, 1));
    const float expectedZ[6] = {-1, -1, -1, 1, -1, 1};
    for (std::uint32_t v = 0; v < 6; ++v)
        EXPECT_EQ(mesh.vertices[v * 6 + 5], expectedZ[v]) << "vertex " << v;

    // One normal index shared by every corner of a vertex keeps it one vertex.
    XMeshSource cube = Cube(false);
    cube.normals.assign(cube.positions.size(), {0.0f, 0.0f, 1.0f});
    const XMeshLoadResult shared = LoadText(cube);
    ASSERT_TRUE(shared.ok) << shared.error;
    EXPECT_EQ(shared.geometry.vertexCount, 8u);
}

// Text .x files from public projects, kept outside the repository as test data.
TEST(XMeshCorpus, RealWorldFilesLoadWithTheirOwnCounts) {
    const std::filesystem::path folder = TestSupport::SharedDataRoot() / "corpus" / "x";
    NVESK_NEEDS_SHARED_FOLDER(folder);
    struct Expected {
        std::uint32_t vertices;  // the file's, plus one per extra normal a vertex has on other faces
        std::uint32_t faces;     // triangles: polygons fan out
        std::size_t materials;
        bool colours;
    };
    // 0 vertices: a file that must be refused (frames without a mesh).
    const std::map<std::string, Expected> expected = {
        {"Ogimle_ne/chassis_2a.x", {1704, 568, 11, false}},
        {"Ogimle_ne/cursor_base.x", {840, 280, 1, false}},
        {"Ogimle_ne/hero.x", {0, 0, 0, false}},
        {"Ogimle_ne/tree_1.x", {96, 32, 1, false}},
        {"ShugoKuroda_MiniGame/House_bed.x", {514 + 84, 824, 13, false}},
        {"ShugoKuroda_MiniGame/pylon.x", {119 + 16, 112, 1, false}},
        {"ljhx2_DirectX9RenderingEngine/Archer.X", {1104, 1693, 4, false}},
        {"mieczkowski_AtBall/PlatformaZmiana.x", {542, 948, 4, false}},
        {"mieczkowski_AtBall/TorSwider.x", {7508, 11260, 1, false}},
        {"newkid004_class_directx9_3d/screen.x", {25, 32, 1, false}},
        {"sojo2600_css552_Research_Project/3x3Mesh.x", {9, 8, 1, true}},
        {"sojo2600_css552_Research_Project/box.x", {24, 12, 1, false}},
    };
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".x" && extension != ".X") continue;
        const std::string name = std::filesystem::relative(entry.path(), folder).generic_string();
        SCOPED_TRACE(name);
        const auto wanted = expected.find(name);
        ASSERT_NE(wanted, expected.end()) << "a corpus file this test does not know";
        ++seen;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const XMeshLoadResult loaded = LoadXMesh(bytes.data(), bytes.size());
        // box.x ends an array with ",}": it loads, as a list's trailing comma does.
        if (wanted->second.vertices == 0) {
            EXPECT_FALSE(loaded.ok);
            EXPECT_FALSE(loaded.error.empty());
            continue;
        }
        ASSERT_TRUE(loaded.ok) << loaded.error;
        const MeshGeometry& mesh = loaded.geometry;
        EXPECT_EQ(mesh.vertexCount, wanted->second.vertices);
        EXPECT_EQ(mesh.FaceCount(), wanted->second.faces);
        EXPECT_EQ(mesh.materials.size(), wanted->second.materials);
        EXPECT_EQ(mesh.hasColours, wanted->second.colours);
        EXPECT_TRUE(mesh.hasNormals);
        EXPECT_TRUE(mesh.hasTextureCoordinates);
        EXPECT_EQ(mesh.vertices.size(), std::size_t {mesh.vertexCount} * mesh.VertexFloats());
        EXPECT_TRUE(IndicesInRange(mesh.indices, mesh.vertexCount));
        EXPECT_TRUE(std::all_of(mesh.attributes.begin(), mesh.attributes.end(),
                                [&](std::uint32_t a) { return a < mesh.materials.size(); }));
    }
    EXPECT_EQ(seen, expected.size());
}

TEST(MeshOperations, NormalsOfACubePointOutward) {
    MeshGeometry withNormals = FromSource(Cube(true), true);
    ASSERT_EQ(withNormals.vertexCount, 24u);
    ASSERT_TRUE(ComputeNormals(View(withNormals), 12, withNormals.indices));
    for (std::uint32_t v = 0; v < withNormals.vertexCount; ++v) {
        const float* n = &withNormals.vertices[v * 6 + 3];
        const auto p = Position(withNormals, v);
        // Split corners: the normal is the face's own, along the axis where |p| is 0.5 for all four corners.
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        EXPECT_NEAR(length, 1.0f, 1e-6f);
        int axis = std::fabs(n[0]) > 0.5f ? 0 : std::fabs(n[1]) > 0.5f ? 1 : 2;
        EXPECT_NEAR(n[axis], p[axis] * 2.0f, 1e-6f) << "vertex " << v;
    }
}

TEST(MeshOperations, NormalsAreWeightedByEachFacesAngleAtTheVertex) {
    // A closed cube of 8 shared corners: each corner touches one or both triangles of each of
    // its three faces, always with 90 degrees in all, so it gets the exact diagonal.
    MeshGeometry cube = FromSource(Cube(false), true);
    ASSERT_EQ(cube.vertexCount, 8u);
    ASSERT_TRUE(ComputeNormals(View(cube), 12, cube.indices));
    const float diagonal = 1.0f / std::sqrt(3.0f);
    for (std::uint32_t v = 0; v < cube.vertexCount; ++v) {
        const float* n = &cube.vertices[v * 6 + 3];
        const auto p = Position(cube, v);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(n[axis], p[axis] > 0 ? diagonal : -diagonal, 1e-6f) << "vertex " << v << " axis " << axis;
    }

    // Vertex 0: a right angle of a large face in the z = 0 plane and a right angle of a small
    // face in the x = 0 plane count the same, whatever their areas.
    MeshGeometry mesh;
    mesh.hasNormals = true;
    mesh.vertexCount = 5;
    mesh.vertices = {0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    mesh.indices = {0, 1, 2,   // area 2, normal (0, 0, -1)
                    0, 3, 4};  // area 0.5, normal (-1, 0, 0)
    mesh.attributes = {0, 0};
    ASSERT_TRUE(ComputeNormals(View(mesh), 12, mesh.indices));
    const float* n = &mesh.vertices[3];
    EXPECT_NEAR(n[0], -std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(n[1], 0.0f, 1e-6f);
    EXPECT_NEAR(n[2], -std::sqrt(0.5f), 1e-6f);
    // Vertex 1 lies on the large face only, at 45 degrees: the face's own normal.
    EXPECT_NEAR(mesh.vertices[6 + 5], -1.0f, 1e-6f);
    // Out-of-range indices are refused before anything is read.
    EXPECT_FALSE(ComputeNormals(View(mesh), 12, {0, 1, 5}));
    EXPECT_FALSE(ComputeNormals(View(mesh), 16, mesh.indices));
}

TEST(MeshOperations, AnObtuseCornerWeighsByItsWholeAngle) {
    // Vertex 0: 120 degrees of a face in the z = 0 plane and 90 degrees of a face in the x = 0
    // plane. The weights 2pi/3 and pi/2 give the normal (-0.6, 0, -0.8); an angle taken as 90
    // degrees at most would give the diagonal (-0.707, 0, -0.707).
    const float pi = std::acos(-1.0f);
    const float c = std::cos(2.0f * pi / 3.0f);
    const float s = std::sin(2.0f * pi / 3.0f);
    MeshGeometry mesh;
    mesh.hasNormals = true;
    mesh.vertexCount = 5;
    mesh.vertices = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, c, s, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    mesh.indices = {0, 2, 1,   // normal (0, 0, -1), 120 degrees at vertex 0
                    0, 3, 4};  // normal (-1, 0, 0), 90 degrees at vertex 0
    mesh.attributes = {0, 0};
    ASSERT_TRUE(ComputeNormals(View(mesh), 12, mesh.indices));
    const float* n = &mesh.vertices[3];
    EXPECT_NEAR(n[0], -0.6f, 1e-5f);
    EXPECT_NEAR(n[1], 0.0f, 1e-5f);
    EXPECT_NEAR(n[2], -0.8f, 1e-5f);
    // The face's other corners (30 degrees each) lie on it alone: its own normal.
    for (std::uint32_t v : {1u, 2u}) {
        EXPECT_NEAR(mesh.vertices[v * 6 + 3], 0.0f, 1e-6f) << "vertex " << v;
        EXPECT_NEAR(mesh.vertices[v * 6 + 5], -1.0f, 1e-6f) << "vertex " << v;
    }

    // A fan of three faces around vertex 0 in one plane but tilted apart: 150, 100 and 60 degrees
    // weigh the normals of their planes in that proportion.
    MeshGeometry fan;
    fan.hasNormals = true;
    fan.vertexCount = 7;
    const float a150 = 150.0f * pi / 180.0f;
    const float a100 = 100.0f * pi / 180.0f;
    fan.vertices = {0,
                    0,
                    0,
                    0,
                    0,
                    0,  // 0: the shared corner
                    1,
                    0,
                    0,
                    0,
                    0,
                    0,  // 1, 2: z = 0 plane, 150 degrees
                    std::cos(a150),
                    std::sin(a150),
                    0,
                    0,
                    0,
                    0,  //
                    0,
                    1,
                    0,
                    0,
                    0,
                    0,  // 3, 4: x = 0 plane, 100 degrees
                    0,
                    std::cos(a100),
                    std::sin(a100),
                    0,
                    0,
                    0,  //
                    1,
                    0,
                    0,
                    0,
                    0,
                    0,  // 5, 6: y = 0 plane, 60 degrees
                    0.5f,
                    0,
                    std::sqrt(0.75f),
                    0,
                    0,
                    0};
    fan.indices = {0, 1, 2, 0, 3, 4, 0, 5, 6};
    fan.attributes = {0, 0, 0};
    ASSERT_TRUE(ComputeNormals(View(fan), 12, fan.indices));
    // Face normals: (0, 0, 1), (1, 0, 0) and (0, -1, 0), weighted 150 : 100 : 60.
    const float length = std::sqrt(150.0f * 150.0f + 100.0f * 100.0f + 60.0f * 60.0f);
    EXPECT_NEAR(fan.vertices[3], 100.0f / length, 1e-5f);
    EXPECT_NEAR(fan.vertices[4], -60.0f / length, 1e-5f);
    EXPECT_NEAR(fan.vertices[5], 150.0f / length, 1e-5f);
}

TEST(MeshOperations, AdjacencyJoinsFacesThatShareAnEdgeWithinEpsilon) {
    // Two triangles of a square; the second repeats the shared corners as separate vertices.
    MeshGeometry mesh;
    mesh.vertexCount = 6;
    mesh.vertices = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0.0000005f, 0, 0, 1, 0, 1, 1, 0};
    mesh.indices = {0, 1, 2, 3, 4, 5};
    std::vector<std::uint32_t> adjacency;
    ASSERT_TRUE(GenerateAdjacency(View(mesh), mesh.indices, 1e-6f, adjacency));
    EXPECT_EQ(adjacency, (std::vector<std::uint32_t> {0xFFFFFFFF, 1, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
    ASSERT_TRUE(GenerateAdjacency(View(mesh), mesh.indices, 0.0f, adjacency));
    EXPECT_EQ(adjacency, std::vector<std::uint32_t>(6, 0xFFFFFFFF));

    MeshGeometry cube = FromSource(Cube(true), false);
    ASSERT_TRUE(GenerateAdjacency(View(cube), cube.indices, 1e-6f, adjacency));
    // A closed surface: every edge has a neighbour.
    EXPECT_EQ(std::count(adjacency.begin(), adjacency.end(), 0xFFFFFFFFu), 0);
    EXPECT_FALSE(GenerateAdjacency(View(mesh), {0, 1, 6}, 1e-6f, adjacency));
}

TEST(MeshOperations, VertexCacheOrderKeepsTheTrianglesAndSortsAttributes) {
    // A 16 x 16 grid with its faces shuffled, in two attribute groups.
    MeshGeometry mesh;
    const std::uint32_t n = 17;
    mesh.vertexCount = n * n;
    for (std::uint32_t y = 0; y < n; ++y) {
        for (std::uint32_t x = 0; x < n; ++x)
            mesh.vertices.insert(mesh.vertices.end(), {float(x), float(y), 0.0f});
    }
    std::vector<std::array<std::uint32_t, 3>> faces;
    for (std::uint32_t y = 0; y + 1 < n; ++y) {
        for (std::uint32_t x = 0; x + 1 < n; ++x) {
            const std::uint32_t a = y * n + x;
            faces.push_back({a, a + n, a + 1});
            faces.push_back({a + 1, a + n, a + n + 1});
        }
    }
    std::shuffle(faces.begin(), faces.end(), std::mt19937(7));
    for (std::size_t f = 0; f < faces.size(); ++f) {
        mesh.indices.insert(mesh.indices.end(), faces[f].begin(), faces[f].end());
        mesh.attributes.push_back(f % 3 == 0 ? 1u : 0u);
    }
    const MeshGeometry original = mesh;
    const float before =
        meshopt_analyzeVertexCache(mesh.indices.data(), mesh.indices.size(), mesh.vertexCount, 16, 0, 0).acmr;

    std::vector<std::uint32_t> faceRemap, vertexRemap;
    ASSERT_TRUE(OptimizeForVertexCache(View(mesh), mesh.indices, mesh.attributes, faceRemap, vertexRemap));
    EXPECT_EQ(Triangles(mesh), Triangles(original));
    EXPECT_TRUE(std::is_sorted(mesh.attributes.begin(), mesh.attributes.end()));
    for (std::size_t f = 0; f < faceRemap.size(); ++f) {
        EXPECT_EQ(mesh.attributes[f], original.attributes[faceRemap[f]]);
    }
    for (std::uint32_t v = 0; v < original.vertexCount; ++v) {
        EXPECT_EQ(Position(mesh, vertexRemap[v]), Position(original, v));
    }
    const float after =
        meshopt_analyzeVertexCache(mesh.indices.data(), mesh.indices.size(), mesh.vertexCount, 16, 0, 0).acmr;
    EXPECT_LT(after, before * 0.8f) << before << " -> " << after;
}

TEST(MeshOperations, RepeatedInputsGiveTheFirstAnswerAndAnyChangeIsWorkedOutAfresh) {
    // The operations keep their last answers by input; a mesh that differs in one byte is not one
    // of them, and the inputs asked again after it still get their own answer.
    MeshGeometry square;
    square.vertexCount = 4;
    square.vertices = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0};
    square.indices = {0, 1, 2, 2, 1, 3};
    MeshGeometry apart = square;
    apart.indices = {0, 1, 2, 3, 3, 3};
    const std::vector<std::uint32_t> joined {0xFFFFFFFF, 1, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF};
    for (int round = 0; round < 2; ++round) {
        std::vector<std::uint32_t> adjacency;
        ASSERT_TRUE(GenerateAdjacency(View(square), square.indices, 0.0f, adjacency));
        EXPECT_EQ(adjacency, joined);
        ASSERT_TRUE(GenerateAdjacency(View(apart), apart.indices, 0.0f, adjacency));
        EXPECT_EQ(adjacency, std::vector<std::uint32_t>(6, 0xFFFFFFFF));
    }

    // Normals follow the winding: the same corners wound the other way face the other way.
    MeshGeometry front = FromSource(Cube(true), true);
    MeshGeometry back = front;
    for (std::size_t f = 0; f < back.indices.size(); f += 3)
        std::swap(back.indices[f + 1], back.indices[f + 2]);
    const std::uint32_t normalOffset = 12;
    for (int round = 0; round < 2; ++round) {
        MeshGeometry a = front;
        MeshGeometry b = back;
        ASSERT_TRUE(ComputeNormals(View(a), normalOffset, a.indices));
        ASSERT_TRUE(ComputeNormals(View(b), normalOffset, b.indices));
        for (std::uint32_t v = 0; v < a.vertexCount; ++v) {
            const std::size_t at = static_cast<std::size_t>(v) * a.VertexFloats() + 3;
            for (int k = 0; k < 3; ++k)
                EXPECT_FLOAT_EQ(a.vertices[at + k], -b.vertices[at + k]) << "round " << round << ", vertex " << v;
        }
    }

    // The reorder handed out again is the whole first result, vertices included.
    MeshGeometry first = square;
    first.attributes = {0, 0};
    MeshGeometry second = first;
    std::vector<std::uint32_t> firstFaces, firstVertices, secondFaces, secondVertices;
    ASSERT_TRUE(OptimizeForVertexCache(View(first), first.indices, first.attributes, firstFaces, firstVertices));
    ASSERT_TRUE(OptimizeForVertexCache(View(second), second.indices, second.attributes, secondFaces, secondVertices));
    EXPECT_EQ(second.vertices, first.vertices);
    EXPECT_EQ(second.indices, first.indices);
    EXPECT_EQ(secondFaces, firstFaces);
    EXPECT_EQ(secondVertices, firstVertices);
}

TEST(ContentMemo, KeyCopiesItsInputsOnAMissAndAnyChangedByteOrSplitMisses) {
    ContentMemo<int> memo(2);
    std::vector<std::uint8_t> input = {1, 2, 3, 4};
    MemoKey key;
    key.Add(input).Value(7);
    EXPECT_EQ(memo.Find(key), nullptr);
    // An operation working in place changes its inputs before its result is kept: the key is the
    // inputs as they were looked up.
    input[0] = 9;
    memo.Keep(key, std::make_shared<const int>(42));
    input[0] = 1;
    auto find = [&](const std::vector<std::uint8_t>& bytes, int value) {
        MemoKey probe;
        probe.Add(bytes).Value(value);
        const auto found = memo.Find(probe);
        return found != nullptr ? *found : -1;
    };
    EXPECT_EQ(find(input, 7), 42);
    EXPECT_EQ(find({9, 2, 3, 4}, 7), -1);
    EXPECT_EQ(find({1, 2, 3, 5}, 7), -1);
    EXPECT_EQ(find({1, 2, 3}, 7), -1);
    EXPECT_EQ(find(input, 8), -1);
    // The same bytes cut into other inputs are other inputs.
    MemoKey split;
    split.Add(input.data(), 2).Add(input.data() + 2, 2).Value(7);
    EXPECT_EQ(memo.Find(split), nullptr);
    // The least recently used entry goes when the memo is full.
    memo.Keep(split, std::make_shared<const int>(1));
    MemoKey third;
    third.Value(3);
    EXPECT_EQ(memo.Find(third), nullptr);
    memo.Keep(third, std::make_shared<const int>(3));
    EXPECT_EQ(find(input, 7), -1);
}
