#include "support/Scenario.h"

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

}  // namespace

ScenarioRegistration::ScenarioRegistration(const char* name, ScenarioFunction function) {
    Registry()[name] = function;
}

int RunScenario(const std::string& name, const std::string& argument) {
    const std::string command = Quoted(SelfPath()) + " --scenario=" + name + " " + Quoted(argument);
    return ExitCodeOf(std::system(command.c_str()));
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
