#include "FaultInjection.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace nvesk::d3d9 {
namespace {

struct ArmedFailure {
    HRESULT result;
    int remaining;
};

std::mutex& Lock() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, ArmedFailure>& Armed() {
    static std::map<std::string, ArmedFailure> armed;
    return armed;
}

// Lets every call skip the lookup while no test armed anything.
std::atomic<int> armedCount {0};

}  // namespace

void InjectFailure(const char* operation, HRESULT result, int count) {
    std::lock_guard<std::mutex> guard(Lock());
    if (count <= 0) {
        Armed().erase(operation);
    } else {
        Armed()[operation] = ArmedFailure {result, count};
    }
    armedCount = static_cast<int>(Armed().size());
}

void ClearInjectedFailures() {
    std::lock_guard<std::mutex> guard(Lock());
    Armed().clear();
    armedCount = 0;
}

bool TakeInjectedFailure(const char* operation, HRESULT* result) {
    if (armedCount.load(std::memory_order_relaxed) == 0) {
        return false;
    }
    std::lock_guard<std::mutex> guard(Lock());
    auto found = Armed().find(operation);
    if (found == Armed().end()) {
        return false;
    }
    *result = found->second.result;
    if (--found->second.remaining == 0) {
        Armed().erase(found);
        armedCount = static_cast<int>(Armed().size());
    }
    return true;
}

}  // namespace nvesk::d3d9
