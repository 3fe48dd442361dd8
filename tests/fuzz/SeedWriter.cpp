// Writes the candidate seeds of the fuzz targets that our own code makes: the demo's assets at a
// small size (configuration, the Earth picture, a coarse skull) and the tests' .x cubes, text and
// binary, with each optional part. tests/fuzz/make-seed-corpus.sh minimizes them into the corpus.
// Usage: seed-writer <folder>   (writes <folder>/config, <folder>/image, <folder>/xmesh)
#include "assets/generator/ConfigFile.h"
#include "assets/generator/Earth.h"
#include "assets/generator/ImageFile.h"
#include "assets/generator/Skull.h"
#include "tests/platform/d3dx9/XFileWriter.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The .x target reads at most this many bytes of an input.
constexpr std::size_t kMeshSeedLimit = 8192;

bool Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) std::fprintf(stderr, "seed-writer: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

bool WriteImages(const std::filesystem::path& folder) {
    bool ok = true;
    // 8 x 8 and an odd 5 x 3 (BMP rows padded to four bytes).
    for (const auto& [width, height] : {std::pair {8, 8}, std::pair {5, 3}}) {
        const std::vector<std::uint8_t> rgb = AssetGen::RenderEarth(width, height);
        std::vector<std::uint8_t> rgba;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], static_cast<std::uint8_t>(i * 7)});
        const std::string name = "earth-" + std::to_string(width) + "x" + std::to_string(height);
        ok = Write(folder / (name + ".bmp"), AssetGen::EncodeBmp(rgb, width, height)) && ok;
        ok = Write(folder / (name + ".png"), AssetGen::EncodePng(rgba, width, height)) && ok;
    }
    return ok;
}

bool WriteMeshes(const std::filesystem::path& folder) {
    using namespace D3DX9Tests;
    bool ok = true;
    // The coarsest skull the demo's own writer makes that fits the target's input limit.
    for (double step : {1.0, 1.5, 2.0, 3.0}) {
        const std::string skull = AssetGen::WriteXFile(AssetGen::BuildSkull(step));
        if (skull.size() <= kMeshSeedLimit) {
            ok = Write(folder / "skull-coarse.x", skull) && ok;
            break;
        }
    }
    for (bool split : {false, true}) {
        const std::string shape = split ? "cube-split" : "cube-shared";
        XMeshSource cube = Cube(split);
        ok = Write(folder / (shape + ".x"), TextXFile(cube)) && ok;
        ok = Write(folder / (shape + "-binary.x"), Bytes(BinaryXFile(cube))) && ok;
        for (const auto& p : cube.positions) {
            const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            cube.normals.push_back({p[0] / length, p[1] / length, p[2] / length});
            cube.uvs.push_back({p[0] + 0.5f, p[1] + 0.5f});
            cube.colours.push_back(0x80000000u | static_cast<std::uint32_t>(cube.colours.size() * 0x102030u));
        }
        for (std::size_t i = 0; i < cube.faces.size(); ++i)
            cube.faceMaterials.push_back(static_cast<std::uint32_t>(i % 3));
        cube.frameTranslation = {1.5f, -2.0f, 0.25f};
        ok = Write(folder / (shape + "-every-part.x"), TextXFile(cube)) && ok;
    }
    return ok;
}

bool WriteConfiguration(const std::filesystem::path& folder) {
    const std::u16string text = AssetGen::ConfigText();
    bool ok = Write(folder / "demo.cfg", AssetGen::EncodeUtf16LittleEndian(text));
    std::string narrow;
    for (char16_t unit : text)
        narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return Write(folder / "demo-ansi.cfg", narrow) && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed-writer <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    for (const char* target : {"config", "image", "xmesh"})
        std::filesystem::create_directories(folder / target);
    bool ok = WriteConfiguration(folder / "config");
    ok = WriteImages(folder / "image") && ok;
    ok = WriteMeshes(folder / "xmesh") && ok;
    return ok ? 0 : 1;
}
