// xcheck: loads a .x file through the platform layer's D3DXLoadMeshFromXW, as the demo would, and
// says whether it works: its vertices, faces, vertex format, materials, textures and frames, or
// the loader's reason for refusing it.
#include "MeshReport.h"

#include "InputFile.h"
#include "Messages.h"
#include "Results.h"
#include "Text.h"
#include "ToolDevice.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/XFiles.h>
#include <d3dx9.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kTool[] = "xcheck";
constexpr char kUsage[] = "xcheck FILE.x";

// The loader's refusal as a compiler writes it when it names a line ("cube.x(12,3): error: ..."),
// else after the tool's name; either way with what the loader returned.
int Refused(const std::string& file, HRESULT result) {
    const std::string reason = NVeskTools::RefusalReason();
    const std::string returned = "; D3DXLoadMeshFromXW: " + NVeskTools::ResultName(result);
    unsigned line = 0;
    unsigned column = 0;
    int consumed = 0;
    if (std::sscanf(reason.c_str(), "line %u, column %u: %n", &line, &column, &consumed) == 2 && consumed > 0) {
        std::fprintf(stderr, "%s(%u,%u): error: %s%s\n", file.c_str(), line, column, reason.c_str() + consumed,
                     returned.c_str());
        return NVeskTools::kFailed;
    }
    return NVeskTools::Fail(kTool, file + ": " + (reason.empty() ? "refused" : reason) + returned);
}

int CheckMesh(IDirect3DDevice9* device, const std::string& file) {
    XCheck::LoadedMesh loaded;
    PlatformTesting::ClearLastRefusal();
    const std::wstring wide = NVeskTools::Widen(file);
    const HRESULT result = D3DXLoadMeshFromXW(wide.c_str(), D3DXMESH_MANAGED, device, &loaded.adjacency,
                                              &loaded.materials, nullptr, &loaded.materialCount, &loaded.mesh);
    if (FAILED(result)) return Refused(file, result);
    std::printf("%s: mesh loaded\n", file.c_str());
    XCheck::ReportMesh(loaded, file, stdout);
    std::vector<PlatformTesting::XFileFrame> frames;
    std::string error;
    if (PlatformTesting::ReadXFileFrames(wide.c_str(), frames, error)) {
        XCheck::ReportFrames(frames, stdout);
    } else {
        std::printf("frames: not read: %s\n", error.c_str());
    }
    for (ID3DXBuffer* buffer : {loaded.adjacency, loaded.materials}) {
        if (buffer != nullptr) buffer->Release();
    }
    loaded.mesh->Release();
    return NVeskTools::kPassed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::printf("usage: %s\n", kUsage);
        return NVeskTools::kPassed;
    }
    if (argc != 2) return NVeskTools::Usage(kUsage, std::string(kTool) + ": one .x file at a time");
    if (argv[1][0] == '-') return NVeskTools::Usage(kUsage, std::string(kTool) + ": unknown option " + argv[1]);
    const std::string file = argv[1];
    std::vector<unsigned char> bytes;
    std::string error;
    if (!NVeskTools::ReadInputFile(file, bytes, error)) return NVeskTools::Fail(kTool, file + ": " + error);
    NVeskTools::ToolDevice device;
    if (!device.Create()) return NVeskTools::Fail(kTool, NVeskTools::NoDeviceMessage(kTool));
    return CheckMesh(device.Get(), file);
}
