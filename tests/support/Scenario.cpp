#include "support/Scenario.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace TestSupport {

namespace {

std::map<std::string, ScenarioFunction>& Registry() {
    static std::map<std::string, ScenarioFunction> registry;
    return registry;
}

std::string& SelfPath() {
    static std::string path;
    return path;
}

std::string Quoted(const std::string& text) {
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

int ExitCodeOf(int status) {
#if defined(WEXITSTATUS)
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    return status;
#endif
}

std::string CommandFor(const std::string& name, const std::string& argument) {
    return Quoted(SelfPath()) + " --scenario=" + name + " " + Quoted(argument);
}

// A child whose stdout this process reads; started at once.
FILE* Start(const std::string& command) {
#if defined(_WIN32)
    return _popen(command.c_str(), "r");
#else
    return popen(command.c_str(), "r");
#endif
}

// Reads the child's stdout to its end, then waits for it: its exit code, -1 when it never started.
int Finish(FILE* child, std::string* output) {
    if (child == nullptr) return -1;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, child)) > 0) {
        if (output != nullptr) output->append(buffer, read);
    }
#if defined(_WIN32)
    return ExitCodeOf(_pclose(child));
#else
    return ExitCodeOf(pclose(child));
#endif
}

}  // namespace

ScenarioRegistration::ScenarioRegistration(const char* name, ScenarioFunction function) {
    Registry()[name] = function;
}

int RunScenario(const std::string& name, const std::string& argument) {
    return ExitCodeOf(std::system(CommandFor(name, argument).c_str()));
}

int RunScenarioForErrors(const std::string& name, const std::string& argument, std::string& errors) {
    errors.clear();
#if defined(_WIN32)
    const char* const dropOutput = " 2>&1 1>NUL";
#else
    const char* const dropOutput = " 2>&1 1>/dev/null";
#endif
    return Finish(Start(CommandFor(name, argument) + dropOutput), &errors);
}

std::vector<int> RunScenariosTogether(const std::string& name, const std::vector<std::string>& arguments) {
    std::vector<FILE*> children;
    for (const std::string& argument : arguments)
        children.push_back(Start(CommandFor(name, argument)));
    std::vector<int> codes;
    for (FILE* child : children)
        codes.push_back(Finish(child, nullptr));
    return codes;
}

bool TryRunScenario(int argc, char** argv, int& exitCode) {
    SelfPath() = argv[0];
    const std::string prefix = "--scenario=";
    if (argc < 2 || std::string(argv[1]).rfind(prefix, 0) != 0) return false;
    const auto found = Registry().find(std::string(argv[1]).substr(prefix.size()));
    exitCode = found == Registry().end() ? 125 : found->second(argc > 2 ? argv[2] : "");
    return true;
}

}  // namespace TestSupport
