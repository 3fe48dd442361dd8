// Writes the demo's asset files into one folder: nvesk_asset_generator <output folder>
#include "ConfigFile.h"
#include "CursorStrip.h"
#include "Earth.h"
#include "ImageFile.h"
#include "Skull.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool WriteFile(const std::string& folder, const char* name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    if (bytes.empty()) {
        std::fprintf(stderr, "nvesk_asset_generator: nothing to write for %s\n", path.c_str());
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "nvesk_asset_generator: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nvesk_asset_generator <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    // Fail before seconds of work, not after.
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "nvesk_asset_generator: no folder %s\n", folder.c_str());
        return 1;
    }
    using namespace AssetGen;
    bool ok = WriteFile(folder, "config.cfg", EncodeUtf16LittleEndian(ConfigText()));
    ok = WriteFile(folder, "mushrum.png",
                   EncodePng(RenderCursorStrip(), kCursorFrames * kCursorFrameWidth, kCursorFrameHeight)) &&
         ok;
    ok = WriteFile(folder, "ziemia.bmp", EncodeBmp(RenderEarth(256, 256), 256, 256)) && ok;
    ok = WriteFile(folder, "skullocc.x", WriteXFile(BuildSkull(0.16))) && ok;
    return ok ? 0 : 1;
}
