#include <PlatformTesting/XFiles.h>

#include "../d3dx9/WideFile.h"
#include "../d3dx9/XFileStructure.h"

namespace PlatformTesting {

namespace {

void CollectFrames(const nvesk::d3dx9::XObject& object, int depth, std::vector<XFileFrame>& frames) {
    if (object.type != "Frame") return;
    const std::size_t at = frames.size();
    frames.push_back({object.name, depth, 0});
    for (const nvesk::d3dx9::XObject& child : object.children) {
        if (child.type == "Mesh") ++frames[at].meshes;
        CollectFrames(child, depth + 1, frames);
    }
}

}  // namespace

bool ReadXFileFrames(const wchar_t* fileName, std::vector<XFileFrame>& frames, std::string& error) {
    frames.clear();
    std::vector<BYTE> bytes;
    if (!nvesk::d3dx9::ReadWholeFile(fileName, bytes)) {
        error = "the file cannot be read";
        return false;
    }
    std::vector<nvesk::d3dx9::XObject> objects;
    if (!nvesk::d3dx9::ReadXFile(bytes.data(), bytes.size(), objects, error)) return false;
    for (const nvesk::d3dx9::XObject& object : objects)
        CollectFrames(object, 0, frames);
    return true;
}

}  // namespace PlatformTesting
