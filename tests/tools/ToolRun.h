// Runs a built tool as a user would, in a folder of the test's own, and keeps what it wrote.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ToolTests {

struct ToolRun {
    int exitCode = -1;  // -1 when the tool did not exit by itself (a crash or a signal)
    std::string out;
    std::string err;
};

// `environment` entries "NAME=VALUE" are set for the tool, and "NAME" alone is removed.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& folder, const std::vector<std::string>& environment = {});

// The text's lines, without their line breaks.
std::vector<std::string> Lines(const std::string& text);

// Writes `contents` as the file `name` in `folder` (creating folders on the way); its path.
std::filesystem::path WriteFile(const std::filesystem::path& folder, const std::string& name,
                                const std::string& contents);

}  // namespace ToolTests
