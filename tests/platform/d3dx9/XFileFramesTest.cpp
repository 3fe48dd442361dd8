// The frames of a .x file as the test hook reads them with the loader's own parser: names, nesting
// and the meshes inside each, from text and binary files, and the loader's reasons for bad ones.
#include "XFileWriter.h"

#include "support/TempDir.h"

#include <PlatformTesting/XFiles.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using PlatformTesting::XFileFrame;

std::wstring Write(const TestSupport::TempDir& folder, const std::string& name, const std::string& contents) {
    std::ofstream(folder.Path() / name, std::ios::binary) << contents;
    return folder.File(name);
}

std::string Describe(const std::vector<XFileFrame>& frames) {
    std::string text;
    for (const XFileFrame& frame : frames)
        text += std::string(static_cast<std::size_t>(frame.depth), ' ') + "[" + frame.name + "] " +
                std::to_string(frame.meshes) + "\n";
    return text;
}

const char kTriangle[] = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }";

}  // namespace

TEST(XFileFrames, NestedFramesComeInFileOrderWithTheirMeshes) {
    TestSupport::TempDir folder;
    const std::string text = std::string("xof 0303txt 0032\nFrame Body {\n FrameTransformMatrix { 1,0,0,0, 0,1,0,0, ") +
                             "0,0,1,0, 0,0,0,1;; }\n " + kTriangle + "\n Frame Arm {\n  " + kTriangle + "\n  " +
                             kTriangle + "\n  Frame { }\n }\n Frame Leg { }\n}\nFrame Light { }\n" + kTriangle + "\n";
    std::vector<XFileFrame> frames;
    std::string error;
    ASSERT_TRUE(PlatformTesting::ReadXFileFrames(Write(folder, "body.x", text).c_str(), frames, error)) << error;
    EXPECT_EQ(Describe(frames), "[Body] 1\n [Arm] 2\n  [] 0\n [Leg] 0\n[Light] 0\n");
}

TEST(XFileFrames, ABinaryFileGivesTheSameFramesAsItsText) {
    TestSupport::TempDir folder;
    const D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(false);
    const std::vector<std::uint8_t> binary = D3DX9Tests::BinaryXFile(cube);
    std::vector<XFileFrame> fromText;
    std::vector<XFileFrame> fromBinary;
    std::string error;
    ASSERT_TRUE(
        PlatformTesting::ReadXFileFrames(Write(folder, "cube.x", D3DX9Tests::TextXFile(cube)).c_str(), fromText, error))
        << error;
    ASSERT_TRUE(PlatformTesting::ReadXFileFrames(
        Write(folder, "cube-binary.x", std::string(binary.begin(), binary.end())).c_str(), fromBinary, error))
        << error;
    EXPECT_EQ(Describe(fromText), "[Root] 1\n");
    EXPECT_EQ(Describe(fromBinary), Describe(fromText));
}

TEST(XFileFrames, FilesTheLoaderRefusesGiveItsReason) {
    TestSupport::TempDir folder;
    std::vector<XFileFrame> frames = {{"stale", 0, 0}};
    std::string error;
    EXPECT_FALSE(PlatformTesting::ReadXFileFrames(
        Write(folder, "open.x", "xof 0303txt 0032\nFrame Body {\n Frame Arm {\n}\n").c_str(), frames, error));
    EXPECT_EQ(error, "line 5, column 1: the file ends inside data object 'Frame'");
    EXPECT_TRUE(frames.empty());
    EXPECT_FALSE(PlatformTesting::ReadXFileFrames(folder.File("missing.x").c_str(), frames, error));
    EXPECT_EQ(error, "the file cannot be read");
    EXPECT_FALSE(PlatformTesting::ReadXFileFrames(folder.File("").c_str(), frames, error));
    EXPECT_EQ(error, "the file cannot be read");
}
