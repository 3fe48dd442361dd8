// xcheck run as a user runs it, on .x files written here: a cube with materials, a texture and
// frames listed whole, a binary file, counts that disagree with their data refused at their line
// and column, one-line answers for files it cannot check, and nothing left alive at exit.
#include "ToolTest.h"

#include "../platform/d3dx9/XFileWriter.h"

#include <string>

namespace {

// Six quads, two materials (the first with a texture), the mesh inside a frame inside a frame.
const char kCube[] = R"(xof 0303txt 0032
Frame Root {
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
 Frame Body {
  Mesh Box {
   8;
   -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;,
   -1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;
   6;
   4;0,3,2,1;, 4;4,5,6,7;, 4;0,1,5,4;, 4;2,3,7,6;, 4;1,2,6,5;, 4;3,0,4,7;;
   MeshTextureCoords { 8; 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;, 0;1;; }
   MeshNormals { 1; 0;0;1;; 6; 4;0,0,0,0;, 4;0,0,0,0;, 4;0,0,0,0;, 4;0,0,0,0;, 4;0,0,0,0;, 4;0,0,0,0;; }
   MeshMaterialList {
    2; 6; 0,0,1,1,1,1;;
    Material { 1.0;0.0;0.0;1.0;; 8.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;; TextureFilename { "textures\crate.png"; } }
    Material { 0.0;0.0;1.0;0.5;; 0.0; 0.0;0.0;0.0;; 0.1;0.1;0.1;; }
   }
  }
 }
 Frame { }
}
Frame Lamp { }
)";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class XCheckTest : public ToolTests::ToolTest {
protected:
    XCheckTest() : ToolTest(XCHECK_PATH, "xcheck", "xcheck FILE.x") {}
};

TEST_F(XCheckTest, ACubeWithMaterialsATextureAndFramesIsListedWholeAndPasses) {
    Write("cube.x", kCube);
    Write("textures/crate.png", "a picture");
    ExpectRun({"cube.x"}, 0,
              "cube.x: mesh loaded\n"
              "vertices: 8\n"
              "faces: 12\n"
              "vertex format: 0x112 D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 32 bytes a vertex\n"
              "open edges: 0\n"
              "materials: 2\n"
              "  material 0: diffuse {1, 0, 0, 1}, specular {0.5, 0.5, 0.5}, emissive {0, 0, 0}, power 8, 4 faces\n"
              "    texture \"textures\\crate.png\" (found beside the file)\n"
              "  material 1: diffuse {0, 0, 1, 0.5}, specular {0, 0, 0}, emissive {0.1, 0.1, 0.1}, power 0, 8 faces\n"
              "    no texture\n"
              "frames: 4\n"
              "  frame Root: 0 meshes\n"
              "    frame Body: 1 mesh\n"
              "    frame (unnamed): 0 meshes\n"
              "  frame Lamp: 0 meshes\n",
              "");
}

TEST_F(XCheckTest, ATextureThatIsNotBesideTheFileIsSaidAndVertexColoursAreAFormatFlag) {
    Write("cube.x",
          Replace(kCube, "   MeshTextureCoords", "   MeshVertexColors { 1; 0; 1;0;0;1;;; }\n   MeshTextureCoords"));
    const ToolTests::ToolRun run = Run({"cube.x"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("vertex format: 0x152 D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1, 36 bytes a "
                           "vertex\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("    texture \"textures\\crate.png\" (not beside the file)\n"), std::string::npos)
        << run.out;
}

TEST_F(XCheckTest, ABinaryFileLoadsLikeItsText) {
    const D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(true);
    const std::vector<std::uint8_t> binary = D3DX9Tests::BinaryXFile(cube);
    Write("binary.x", std::string(binary.begin(), binary.end()));
    Write("text.x", D3DX9Tests::TextXFile(cube));
    const ToolTests::ToolRun fromBinary = Run({"binary.x"});
    const ToolTests::ToolRun fromText = Run({"text.x"});
    EXPECT_EQ(fromBinary.exitCode, 0) << fromBinary.err;
    EXPECT_NE(fromBinary.out.find("vertices: 24\nfaces: 12\n"), std::string::npos) << fromBinary.out;
    EXPECT_NE(fromBinary.out.find("frames: 1\n  frame Root: 1 mesh\n"), std::string::npos) << fromBinary.out;
    EXPECT_EQ(Replace(fromBinary.out, "binary.x", "text.x"), fromText.out);
}

TEST_F(XCheckTest, CountsThatDisagreeWithTheirDataAreRefusedAtTheirLineAndColumn) {
    const std::pair<std::string, const char*> cases[] = {
        // Five material indices for six faces: the count.
        {Replace(kCube, "2; 6; 0,0,1", "2; 5; 0,0,1"),
         "cube.x(14,8): error: material indices do not match the faces; D3DXLoadMeshFromXW: D3DXERR_INVALIDDATA "
         "(0x88760B59)\n"},
        // Seven texture coordinates for eight vertices: the count.
        {Replace(kCube, "MeshTextureCoords { 8;", "MeshTextureCoords { 7;"),
         "cube.x(11,24): error: texture coordinates do not match the vertices; D3DXLoadMeshFromXW: "
         "D3DXERR_INVALIDDATA (0x88760B59)\n"},
        // Three materials declared, two given: the material list.
        {Replace(kCube, "2; 6; 0,0,1", "3; 6; 0,0,1"),
         "cube.x(13,4): error: a material list holds another number of materials than it declares; "
         "D3DXLoadMeshFromXW: D3DXERR_INVALIDDATA (0x88760B59)\n"},
    };
    for (const auto& [text, message] : cases) {
        Write("cube.x", text);
        ExpectRun({"cube.x"}, 1, "", message);
    }
}

TEST_F(XCheckTest, FilesItCannotCheckGetOneLineAndFail) {
    Write("empty.x", "");
    Write("garbage.x", std::string("\x7F"
                                   "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                                   20));
    Write("words.x", "just some words, not a mesh\n");
    std::filesystem::create_directory(folder_.Path() / "folder.x");
    const std::string invalid = "; D3DXLoadMeshFromXW: D3DXERR_INVALIDDATA (0x88760B59)";
    ExpectOneLineFailures({{"missing.x", "xcheck: missing.x: no such file"},
                           {"folder.x", "xcheck: folder.x: a folder, not a file"},
                           {"empty.x", "xcheck: empty.x: the file is empty"},
                           {"garbage.x", "xcheck: garbage.x: not a DirectX .x file" + invalid},
                           {"words.x", "xcheck: words.x: not a DirectX .x file" + invalid}});
}

TEST_F(XCheckTest, BadArgumentsGiveTheUsage) {
    Write("cube.x", kCube);
    ExpectUsage({{{}, "xcheck: one .x file at a time"},
                 {{"cube.x", "cube.x"}, "xcheck: one .x file at a time"},
                 {{"-v"}, "xcheck: unknown option -v"}});
}

TEST_F(XCheckTest, WithoutADisplayItSaysSoInOneLine) {
    Write("cube.x", kCube);
    ExpectNoDisplayLine("cube.x");
}

TEST_F(XCheckTest, NothingIsLeftAliveAtExitWhateverTheOutcome) {
    Write("cube.x", kCube);
    Write("broken.x", Replace(kCube, "2; 6; 0,0,1", "2; 5; 0,0,1"));
    ExpectNothingAlive({"cube.x", "broken.x"}, "NVesk platform: refused D3DXLoadMeshFromXW: line 14, column 8:");
}

}  // namespace
