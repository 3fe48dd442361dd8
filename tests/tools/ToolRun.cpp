#include "ToolRun.h"

#include "support/TempDir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ToolTests {

namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& folder, const std::vector<std::string>& environment) {
    // The output goes to a folder of its own, so that the tool's folder holds only the test's files.
    const TestSupport::TempDir output;
    const std::filesystem::path out = output.Path() / "stdout";
    const std::filesystem::path err = output.Path() / "stderr";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || freopen(out.c_str(), "w", stdout) == nullptr ||
            freopen(err.c_str(), "w", stderr) == nullptr) {
            _exit(127);
        }
        for (const std::string& entry : environment) {
            const std::size_t equals = entry.find('=');
            if (equals == std::string::npos) {
                unsetenv(entry.c_str());
            } else {
                setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
            }
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ToolRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = ReadText(out);
    run.err = ReadText(err);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::filesystem::path WriteFile(const std::filesystem::path& folder, const std::string& name,
                                const std::string& contents) {
    const std::filesystem::path file = folder / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
    return file;
}

}  // namespace ToolTests
