// The start-up work Direct3DCreate9 starts: once, on a thread other than the caller's, finished
// when its runner goes.
#include "d3d9/StartupWork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_runs {0};
std::atomic<std::thread::id> g_ranOn {};

void RecordRun() {
    g_ranOn = std::this_thread::get_id();
    ++g_runs;
}

TEST(StartupWork, RunsOnceOnAThreadOfItsOwnAndIsWaitedFor) {
    g_runs = 0;
    {
        nvesk::d3d9::OnceOnAThread runner;
        runner.Start(nullptr);  // nothing to run: the next call still starts its work
        runner.Start(&RecordRun);
        runner.Start(&RecordRun);
    }
    EXPECT_EQ(g_runs, 1);
    EXPECT_NE(g_ranOn.load(), std::this_thread::get_id());
}

}  // namespace
