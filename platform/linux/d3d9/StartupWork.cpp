#include "StartupWork.h"

#include <atomic>
#include <system_error>

namespace nvesk::d3d9 {

namespace {

std::atomic<StartupWork> g_work {nullptr};

}  // namespace

OnceOnAThread::~OnceOnAThread() {
    if (thread_.joinable()) thread_.join();
}

void OnceOnAThread::Start(StartupWork work) {
    if (work == nullptr) return;
    std::call_once(once_, [&] {
        try {
            thread_ = std::thread(work);
        } catch (const std::system_error&) {}
    });
}

bool RegisterStartupWork(StartupWork work) {
    g_work = work;
    return true;
}

void StartStartupWork() {
    // Destroyed at exit before the statics the work may use, which were made before it.
    static OnceOnAThread started;
    started.Start(g_work);
}

}  // namespace nvesk::d3d9
