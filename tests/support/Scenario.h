// Scenarios: test code that must run in a process of its own (a fresh logger, process exit).
// The test executable runs itself with --scenario=NAME and the given argument.
#pragma once

#include <string>
#include <vector>

namespace TestSupport {

using ScenarioFunction = int (*)(const std::string& argument);

struct ScenarioRegistration {
    ScenarioRegistration(const char* name, ScenarioFunction function);
};

// Runs the scenario in a child process and returns its exit code.
int RunScenario(const std::string& name, const std::string& argument);
// The same, with what the child wrote to stderr handed back in `errors` (its stdout is dropped).
int RunScenarioForErrors(const std::string& name, const std::string& argument, std::string& errors);
// One child per argument, all started before any is waited for; their exit codes in that order.
std::vector<int> RunScenariosTogether(const std::string& name, const std::vector<std::string>& arguments);

// Called by main: runs a scenario when the command line asks for one.
bool TryRunScenario(int argc, char** argv, int& exitCode);

}  // namespace TestSupport

#define NVESK_SCENARIO(name)                                                                  \
    static int Scenario_##name(const std::string& argument);                                  \
    static const TestSupport::ScenarioRegistration g_scenario_##name(#name, Scenario_##name); \
    static int Scenario_##name(const std::string& argument)
