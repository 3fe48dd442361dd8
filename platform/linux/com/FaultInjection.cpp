#include "FaultInjection.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace nvesk::com {
namespace {

struct ArmedFailure {
    HRESULT result;
    int remaining;
    int passing;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, ArmedFailure, std::less<>> armed;
    std::map<std::string, int, std::less<>> calls;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Lets every call skip the lock while no test armed or counts anything.
std::atomic<int> armedCount {0};
std::atomic<bool> counting {false};

}  // namespace

void InjectFailure(const char* operation, HRESULT result, int count, int passing) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (count <= 0) {
        registry.armed.erase(operation);
    } else {
        registry.armed[operation] = ArmedFailure {result, count, passing < 0 ? 0 : passing};
    }
    armedCount = static_cast<int>(registry.armed.size());
}

void ClearInjectedFailures() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.armed.clear();
    armedCount = 0;
}

bool TakeInjectedFailure(const char* operation, HRESULT* result) {
    if (armedCount.load(std::memory_order_relaxed) == 0 && !counting.load(std::memory_order_relaxed)) {
        return false;
    }
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (counting) {
        auto counted = registry.calls.find(std::string_view(operation));
        if (counted == registry.calls.end()) {
            registry.calls.emplace(operation, 1);
        } else {
            ++counted->second;
        }
    }
    auto found = registry.armed.find(std::string_view(operation));
    if (found == registry.armed.end()) {
        return false;
    }
    if (found->second.passing > 0) {
        --found->second.passing;
        return false;
    }
    *result = found->second.result;
    if (--found->second.remaining == 0) {
        registry.armed.erase(found);
        armedCount = static_cast<int>(registry.armed.size());
    }
    return true;
}

void CountCalls(bool on) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.calls.clear();
    counting = on;
}

int CallCount(const char* operation) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto found = registry.calls.find(std::string_view(operation));
    return found == registry.calls.end() ? 0 : found->second;
}

std::map<std::string, int> CallCounts() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    return std::map<std::string, int>(registry.calls.begin(), registry.calls.end());
}

}  // namespace nvesk::com
