// Test entry: runs a scenario when asked to, otherwise the tests with the logger writing to a
// log of its own, so that tests can check what was logged.
#include "lib/Logger.h"
#include "support/Scenario.h"
#include "support/TempDir.h"
#include "support/TestDisplay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    TestSupport::TakeTheDisplay();
    int exitCode = 0;
    if (TestSupport::TryRunScenario(argc, argv, exitCode)) return exitCode;

#if !defined(_WIN32)
    // Compiled programs are not kept between runs: every test sees the compiler at work, and the
    // cache's own tests name their folders.
    setenv("NVESK_SHADER_CACHE", "off", 1);
#endif
    TestSupport::TempDir logFolder;
    if (NLib::Logger::Init(logFolder.File("tests.log")) != 0) return 2;
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // CTest reports a run whose every test skipped (its data missing) as skipped, by this line.
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    if (result == 0 && run.test_to_run_count() > 0 && run.skipped_test_count() == run.test_to_run_count())
        std::printf("NVesk tests: every test of this run skipped\n");
    return result;
}
