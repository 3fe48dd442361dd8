// What a .x file holds beyond the one mesh D3DXLoadMeshFromXW makes of it, read by the parser that
// loader uses: its frames, for tests and tools that describe a file.
#pragma once

#include <string>
#include <vector>

namespace PlatformTesting {

struct XFileFrame {
    std::string name;  // empty when the file gives the frame none
    int depth = 0;     // 0 at the top level, n inside n other frames
    int meshes = 0;    // meshes directly inside it
};

// The frames of a text or binary .x file in file order, each before the frames inside it. False,
// with `error` saying why as the loader's refusal does ("line 4, column 9: ..."), when the file
// cannot be read or is not well formed.
bool ReadXFileFrames(const wchar_t* fileName, std::vector<XFileFrame>& frames, std::string& error);

}  // namespace PlatformTesting
