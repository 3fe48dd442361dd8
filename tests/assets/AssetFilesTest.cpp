// The generator's files without a device: the same bytes on every run, the configuration file as
// the engine reads it, and the mesh file's form.
#include "renderer/DeviceConfig.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kGeneratedFiles[] = {"config.cfg", "mushrum.png", "ziemia.bmp", "skullocc.x"};

std::filesystem::path DemoFile(const char* name) {
    return std::filesystem::path(NVESK_DEMO_DIR) / name;
}

int RunGenerator(const std::filesystem::path& folder) {
    const std::string command = std::string("'") + NVESK_ASSET_GENERATOR + "' '" + folder.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

TEST(GeneratedAssets, EveryRunWritesTheSameBytesAsTheBuild) {
    TestSupport::TempDir first, second;
    ASSERT_EQ(RunGenerator(first.Path()), 0);
    ASSERT_EQ(RunGenerator(second.Path()), 0);
    for (const char* name : kGeneratedFiles) {
        const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(first.Path() / name);
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(bytes, TestSupport::ReadBytes(second.Path() / name)) << name << " differs between two runs";
        EXPECT_EQ(bytes, TestSupport::ReadBytes(DemoFile(name))) << name << " differs from the build's copy";
    }
}

TEST(GeneratedAssets, AnUnwritableFolderFailsTheGenerator) {
    TestSupport::TempDir folder;
    EXPECT_NE(RunGenerator(folder.Path() / "missing" / "folder"), 0);
}

TEST(GeneratedAssets, ConfigReadsBackAsAWindowed800x600HardwareDevice) {
    const TestSupport::WorkingDirectory here(NVESK_DEMO_DIR);
    DeviceConfig = DeviceConfigRecord {};
    DeviceConfig.FullScreen = true;  // the file must set it back
    DeviceConfig.VSync = true;
    LoadDeviceConfig();
    EXPECT_EQ(DeviceConfig.DeviceType, 0u);        // D3DDEVTYPE_HAL
    EXPECT_EQ(DeviceConfig.VertexProcessing, 0u);  // hardware
    EXPECT_EQ(DeviceConfig.BackBufferFormat, 22u);
    EXPECT_FALSE(DeviceConfig.FullScreen);
    EXPECT_EQ(DeviceConfig.Width, 800u);
    EXPECT_EQ(DeviceConfig.Height, 600u);
    EXPECT_EQ(DeviceConfig.RefreshRate, 60u);
    EXPECT_FALSE(DeviceConfig.VSync);
    DeviceConfig = DeviceConfigRecord {};
}

TEST(GeneratedAssets, ConfigIsUtf16WithAMarkAndACommentOnEveryEntry) {
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(DemoFile("config.cfg"));
    ASSERT_GE(bytes.size(), 2u);
    ASSERT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    std::string text;  // the file is ASCII text in UTF-16 units
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        ASSERT_EQ(bytes[i + 1], 0) << "a unit beyond ASCII at byte " << i;
        text += static_cast<char>(bytes[i]);
    }
    int entries = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t comment = line.find("//");
        const std::string code = line.substr(0, comment);
        if (code.find('=') != std::string::npos) {
            ++entries;
            EXPECT_NE(code.find(';'), std::string::npos) << line;
            ASSERT_NE(comment, std::string::npos) << "entry without a comment: " << line;
            EXPECT_GT(line.size() - comment, 12u) << "comment says too little: " << line;
        }
        start = end + 1;
    }
    EXPECT_EQ(entries, 8);
}

TEST(GeneratedAssets, SkullIsATextXFileWithVertexColoursAndNoNormals) {
    const std::string x = ReadText(DemoFile("skullocc.x"));
    EXPECT_EQ(x.rfind("xof 0303txt 0032", 0), 0u);
    EXPECT_EQ(x.find("MeshNormals"), std::string::npos);
    EXPECT_NE(x.find("MeshVertexColors"), std::string::npos);
}

}  // namespace
