// The failure sweep: the demo's scripted run (start, F1, F2, F3, F4, F1, a device loss, Escape),
// each run in a process of its own so that it writes its own myLog.log, once clean and once for
// each call of each platform operation failed in turn.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace DemoTest {

// One run: `operation`'s call number `call` fails (1 = its first call); no operation for the clean run.
struct SweepCase {
    std::string operation;
    int call = 0;
};

// What a run left behind, read back after its process ended.
struct RunRecord {
    int exitCode = -1;
    int frames = 0;
    bool failureTaken = false;
    int liveObjects = -1;
    std::string liveReport;
    std::vector<std::wstring> boxes;
    bool logExists = false;
    // myLog.log's messages without their time stamps.
    std::vector<std::wstring> log;
    // Calls of every operation during the run.
    std::map<std::string, int> calls;
};

// The failure a case injects: a Win32 error for the file and window operations, E_FAIL otherwise.
long InjectedResult(const std::string& operation);

RunRecord RunCase(const SweepCase& sweepCase);

// The cases for every operation the clean run called: every call of an operation called at most
// `everyCallUpTo` times; for the others the first three, the middle one and the last.
std::vector<SweepCase> CasesFor(const RunRecord& clean, int everyCallUpTo);

// What a run with this failure did that it must not (empty when it ended as it should).
std::vector<std::string> Problems(const SweepCase& sweepCase, const RunRecord& clean, const RunRecord& run);

}  // namespace DemoTest
