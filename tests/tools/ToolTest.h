// The fixture both tools' tests share: a folder of the test's own to write files into and run the
// tool in, and the checks of what both tools answer alike.
#pragma once

#include "ToolRun.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ToolTests {

class ToolTest : public ::testing::Test {
protected:
    // `program`: the built tool; `name`: how it names itself in its messages; `usage`: its usage line.
    ToolTest(std::string program, std::string name, std::string usage);

    ToolRun Run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});
    void Write(const std::string& name, const std::string& contents);

    // The tool run with `arguments` exits with `exitCode` and writes exactly `out` and `err`.
    void ExpectRun(const std::vector<std::string>& arguments, int exitCode, const std::string& out,
                   const std::string& err);
    // Each file gets exactly its line on standard error, nothing on standard output, and exit 1.
    void ExpectOneLineFailures(const std::vector<std::pair<std::string, std::string>>& fileAndLine);
    // Each command line gets its reason, then the usage line, and exit 2.
    void ExpectUsage(const std::vector<std::pair<std::vector<std::string>, std::string>>& argumentsAndReason);
    // Without any display: exit 1, and the tool's own one line last (the window layer may say why first).
    void ExpectNoDisplayLine(const std::string& file);
    // With NVESK_PLATFORM_DEBUG=1 no run lists objects alive at exit, and the last run's debug output
    // holds `debugLine` (so the debug output was on).
    void ExpectNothingAlive(const std::vector<std::string>& files, const std::string& debugLine);

    TestSupport::TempDir folder_;

private:
    std::string program_;
    std::string name_;
    std::string usage_;
};

}  // namespace ToolTests
