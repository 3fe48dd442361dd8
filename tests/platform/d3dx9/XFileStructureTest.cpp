// The structural check in front of the .x loader: well-formed text and binary files pass; broken
// structure and counts that disagree with the data are refused before the importer runs.
#include "XFileStructure.h"
#include "XFileWriter.h"
#include "XMeshLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using nvesk::d3dx9::CheckXFileStructure;

namespace {

bool WellFormed(const std::string& text) {
    std::string error;
    return CheckXFileStructure(text.data(), text.size(), error);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

D3DX9Tests::XMeshSource FullCube() {
    D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(false);
    cube.normals.assign(cube.positions.size(), {0.0f, 1.0f, 0.0f});
    cube.uvs.assign(cube.positions.size(), {0.5f, 0.5f});
    cube.faceMaterials.assign(cube.faces.size(), 0);
    cube.faceMaterials[3] = 1;
    return cube;
}

}  // namespace

TEST(XFileStructure, WellFormedTextAndBinaryFilesPass) {
    EXPECT_TRUE(WellFormed(D3DX9Tests::TextXFile(FullCube())));
    const std::vector<std::uint8_t> binary = D3DX9Tests::BinaryXFile(D3DX9Tests::Cube(true));
    std::string error;
    EXPECT_TRUE(CheckXFileStructure(binary.data(), binary.size(), error)) << error;
    EXPECT_TRUE(
        WellFormed("xof 0303txt 0032\ntemplate Thing {\n <12345678-1234-1234-1234-123456789abc>\n"
                   " DWORD n; array FLOAT v[n];\n}\nThing { 2; 1.0, -2.5e3;; }\n// comment\n"));
    // Templates as exporters write them: open, restricted, arrays of several dimensions.
    EXPECT_TRUE(
        WellFormed("xof 0303txt 0032\ntemplate Frame {\n <3D82AB46-62DA-11CF-AB39-0020AF71E433>\n [...]\n}\n"
                   "template Set {\n <12345678-1234-1234-1234-123456789abc>\n DWORD w; DWORD h;\n"
                   " array WORD cells[w][h]; Vector;\n [Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>, Frame]\n}\n"
                   "template Any {\n <12345678-1234-1234-1234-123456789abd>\n array STRING names[4];\n [Frame]\n}\n"));
}

TEST(XFileStructure, BrokenStructureIsRefused) {
    const std::string good = D3DX9Tests::TextXFile(FullCube());
    EXPECT_FALSE(WellFormed("xof 0303zip 0032 Mesh {}"));       // unknown format
    EXPECT_FALSE(WellFormed("xof 03a3txt 0032 Mesh {}"));       // version not digits
    EXPECT_FALSE(WellFormed(good.substr(0, good.size() - 3)));  // unbalanced braces
    EXPECT_FALSE(WellFormed(good + "}"));
    EXPECT_FALSE(WellFormed(Replace(good, "Mesh Body {", "Mesh Body \xff{")));
    EXPECT_FALSE(WellFormed(Replace(good, "Material {", "Materi\xff\xff\xff\xff;0.0;0.0;")));
    EXPECT_FALSE(WellFormed("xof 0303txt 0032\nMesh { \"open string }"));
    EXPECT_FALSE(WellFormed(Replace(good, "Material {", ", Material {")));  // a separator before an object
    EXPECT_FALSE(WellFormed(Replace(good, "Mesh Body {", "Mesh Body {;")));
    // Templates: no GUID, a restriction that is neither open nor a list of names, a member
    // without its ';', an array without a dimension, a brace inside.
    const std::string guid = "<12345678-1234-1234-1234-123456789abc>";
    for (const std::string& body : {std::string(" DWORD n;"), guid + " [..]", guid + " [Frame,]", guid + " DWORD n",
                                    guid + " array DWORD v;", guid + " { DWORD n; }", guid + " [Frame] DWORD n;"}) {
        EXPECT_FALSE(WellFormed("xof 0303txt 0032\ntemplate T {\n" + body + "\n}\n")) << body;
    }
    // Binary: a list longer than the file, an unknown token.
    std::vector<std::uint8_t> binary = D3DX9Tests::BinaryXFile(D3DX9Tests::Cube(true));
    std::string error;
    EXPECT_FALSE(CheckXFileStructure(binary.data(), binary.size() - 5, error));
    binary.push_back(99);
    binary.push_back(0);
    EXPECT_FALSE(CheckXFileStructure(binary.data(), binary.size(), error));
}

TEST(XFileStructure, CountsThatDisagreeWithTheDataAreRefused) {
    const std::string good = D3DX9Tests::TextXFile(FullCube());
    EXPECT_FALSE(WellFormed(Replace(good, "  8;\n", "  9;\n")));      // more vertices declared than given
    EXPECT_FALSE(WellFormed(Replace(good, "3;0,1,2;", "3;0,1,8;")));  // a corner beyond the vertices
    EXPECT_FALSE(WellFormed(Replace(good, "3;0,1,2;", "2;0,1;")));    // not a polygon
    EXPECT_FALSE(WellFormed(Replace(good, "MeshTextureCoords {\n   8;", "MeshTextureCoords {\n   7;")));
    EXPECT_FALSE(WellFormed(Replace(good, "MeshMaterialList {\n   2;", "MeshMaterialList {\n   3;")));
    EXPECT_FALSE(WellFormed(Replace(good, "MeshMaterialList {\n   2;", "MeshMaterialList {\n   1;")));
    EXPECT_FALSE(WellFormed(Replace(good, "  8;\n", "  8.5;\n")));  // a count that is not whole
}

TEST(XFileStructure, TheLoaderRefusesWhatTheCheckRefuses) {
    // The fuzzer's case that crashed Assimp 5.2.5: a material header turned into bytes no name holds.
    const std::string crash =
        Replace(D3DX9Tests::TextXFile(FullCube()), "Material {", "Materi\xff\xff\xff\xff\xff\xff\xff\xff;");
    const nvesk::d3dx9::XMeshLoadResult result = nvesk::d3dx9::LoadXMesh(crash.data(), crash.size());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

namespace {

std::string Refusal(const std::string& text) {
    std::string error;
    EXPECT_FALSE(CheckXFileStructure(text.data(), text.size(), error)) << text;
    return error;
}

// "line L, column C: " of the byte at `offset`, both counted from 1 as an editor shows them.
std::string PositionOf(const std::string& text, std::size_t offset) {
    const std::size_t lineStart = text.rfind('\n', offset - 1);
    const std::size_t line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n');
    const std::size_t column = lineStart == std::string::npos ? offset + 1 : offset - lineStart;
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

}  // namespace

TEST(XFileStructure, RefusalsOfTextFilesNameTheLineAndColumnOfWhatIsWrong) {
    const std::string triangle = "xof 0303txt 0032\nMesh {\n 3;\n 0;0;0;,\n 1;0;0;,\n 0;1;0;;\n 1;\n 3;0,1,2;;\n}\n";
    // A corner beyond the vertices: the index itself.
    EXPECT_EQ(Refusal(Replace(triangle, "3;0,1,2;;", "3;0,1,5;;")), "line 8, column 8: index out of range in 'Mesh'");
    // Fewer vertices than declared: the values run out at the closing brace.
    EXPECT_EQ(Refusal(Replace(triangle, " 1;\n 3;0,1,2;;\n", "")),
              "line 7, column 1: 'Mesh' holds fewer values than it declares");
    // More values than declared: the first one too many.
    EXPECT_EQ(Refusal(Replace(triangle, "3;0,1,2;;", "3;0,1,2;, 7;")),
              "line 8, column 12: 'Mesh' holds more values than it declares");
    // The first line: columns go on after the 16 bytes of the header.
    EXPECT_EQ(Refusal("xof 0303txt 0032 Mesh {@ }"), "line 1, column 24: unexpected byte 64 in text data");
    EXPECT_EQ(Refusal("xof 0303txt 0032\r\n\r\n  Mesh { \"open }"), "line 3, column 10: unterminated string");
    EXPECT_EQ(Refusal("xof 0303txt 0032\nMesh {\n 3;\n"), "line 4, column 1: the file ends inside data object 'Mesh'");
}

TEST(XFileStructure, ACountThatDisagreesWithItsDataIsReportedAtThatCount) {
    const std::string good = D3DX9Tests::TextXFile(FullCube());
    const std::string coordinates = "MeshTextureCoords {\n   ";
    const std::string wrongCount = Replace(good, coordinates + "8;", coordinates + "7;");
    const std::size_t at = wrongCount.find(coordinates) + coordinates.size();
    EXPECT_EQ(Refusal(wrongCount), PositionOf(wrongCount, at) + "texture coordinates do not match the vertices");
    const std::string materials = "MeshMaterialList {\n   ";
    const std::string fewerMaterials = Replace(good, materials + "2;", materials + "3;");
    EXPECT_EQ(Refusal(fewerMaterials), PositionOf(fewerMaterials, fewerMaterials.find("MeshMaterialList")) +
                                           "a material list holds another number of materials than it declares");
}

TEST(XFileStructure, BinaryFilesHaveNoLinesToName) {
    std::vector<std::uint8_t> binary = D3DX9Tests::BinaryXFile(D3DX9Tests::Cube(true));
    binary.push_back(99);
    binary.push_back(0);
    std::string error;
    EXPECT_FALSE(CheckXFileStructure(binary.data(), binary.size(), error));
    EXPECT_EQ(error, "unknown binary token 99");
}

TEST(XFileStructure, SeparatorsAsExportersWriteThemReadAsTheCleanFile) {
    // Runs of separators after a value: doubled inside a list, a comma left before a list's
    // closing ';' or before the brace that ends the object, a ';' where a ',' belongs.
    const D3DX9Tests::XMeshSource cube = FullCube();
    const std::string clean = D3DX9Tests::TextXFile(cube);
    std::string lenient = Replace(clean, "  8;\n", "  8;;\n");
    lenient = Replace(lenient, "3;0,1,2;,", "3;;0,1,2;;,");
    lenient = Replace(lenient, "0.500000;0.500000;;\n  }", "0.500000;0.500000;,\n  }");  // the last coordinate
    lenient = Replace(lenient, "MeshNormals {\n   8;", "MeshNormals {\n   8;,");
    lenient = Replace(lenient, "1.0;;\n }", "1.0,;\n }");  // the frame's matrix
    lenient = Replace(lenient, "   0,\n", "   0;\n");      // a material index
    const nvesk::d3dx9::XMeshLoadResult expected = nvesk::d3dx9::LoadXMesh(clean.data(), clean.size());
    const nvesk::d3dx9::XMeshLoadResult loaded = nvesk::d3dx9::LoadXMesh(lenient.data(), lenient.size());
    ASSERT_TRUE(expected.ok) << expected.error;
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.geometry.vertices, expected.geometry.vertices);
    EXPECT_EQ(loaded.geometry.indices, expected.geometry.indices);
    EXPECT_EQ(loaded.geometry.attributes, expected.geometry.attributes);
    EXPECT_EQ(loaded.geometry.materials.size(), 2u);

    // Separators still belong to values: not two commas, not a comma before a data object or a
    // reference, not a run that follows no value. Extra separators add no values, so counts
    // are checked as before.
    const std::string triangle = "xof 0303txt 0032\nMesh {\n 3;\n 0;0;0;,\n 1;0;0;,\n 0;1;0;;\n 1;\n 3;0,1,2;;\n}\n";
    EXPECT_TRUE(WellFormed(triangle));
    EXPECT_TRUE(WellFormed(Replace(triangle, "3;0,1,2;;", "3;0,1,2,;")));
    EXPECT_TRUE(WellFormed(Replace(triangle, "3;0,1,2;;", "3;0,1,2,")));
    EXPECT_TRUE(WellFormed(Replace(triangle, "3;0,1,2;;", "3;0,1,2;;;,;")));
    EXPECT_EQ(Refusal(Replace(triangle, "3;0,1,2;;", "3;0,,1,2;;")),
              "line 8, column 6: two commas with no value between them in data object 'Mesh'");
    EXPECT_EQ(Refusal(Replace(triangle, "3;0,1,2;;", "3;0,1,2;, MeshNormals { 0;; 0;; }")),
              "line 8, column 10: a comma before something that is no value in data object 'Mesh'");
    EXPECT_EQ(Refusal(Replace(triangle, "Mesh {\n", "Mesh {\n ;")),
              "line 3, column 2: misplaced separator in data object 'Mesh'");
    EXPECT_EQ(Refusal(Replace(triangle, "3;0,1,2;;", "3;0,1;;")),
              "line 9, column 1: 'Mesh' holds fewer values than it declares");
}
