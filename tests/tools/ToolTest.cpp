#include "ToolTest.h"

namespace ToolTests {

ToolTest::ToolTest(std::string program, std::string name, std::string usage)
    : program_(std::move(program)), name_(std::move(name)), usage_(std::move(usage)) {}

ToolRun ToolTest::Run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
    return RunTool(program_, arguments, folder_.Path(), environment);
}

void ToolTest::Write(const std::string& name, const std::string& contents) {
    WriteFile(folder_.Path(), name, contents);
}

void ToolTest::ExpectRun(const std::vector<std::string>& arguments, int exitCode, const std::string& out,
                         const std::string& err) {
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, exitCode) << run.err;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
}

void ToolTest::ExpectOneLineFailures(const std::vector<std::pair<std::string, std::string>>& fileAndLine) {
    for (const auto& [file, line] : fileAndLine)
        ExpectRun({file}, 1, "", line + "\n");
}

void ToolTest::ExpectUsage(const std::vector<std::pair<std::vector<std::string>, std::string>>& argumentsAndReason) {
    for (const auto& [arguments, reason] : argumentsAndReason) {
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << reason;
        EXPECT_EQ(run.err, reason + "\nusage: " + usage_ + "\n");
        EXPECT_EQ(run.out, "") << reason;
    }
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, "usage: " + usage_ + "\n");
}

void ToolTest::ExpectNoDisplayLine(const std::string& file) {
    // x11 forced: SDL would otherwise fall back to a driver that needs no display.
    const ToolRun run = Run({file}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(),
              name_ + ": cannot create a Direct3D device (no display? try xvfb-run -a " + name_ + " ...)");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_NE(lines[i].rfind(name_ + ":", 0), 0u) << lines[i];
}

void ToolTest::ExpectNothingAlive(const std::vector<std::string>& files, const std::string& debugLine) {
    ToolRun run;
    for (const std::string& file : files) {
        run = Run({file}, {"NVESK_PLATFORM_DEBUG=1"});
        EXPECT_NE(run.exitCode, -1) << file;
        EXPECT_EQ(run.err.find("objects still alive"), std::string::npos) << file << "\n" << run.err;
    }
    EXPECT_NE(run.err.find(debugLine), std::string::npos) << run.err;
}

}  // namespace ToolTests
