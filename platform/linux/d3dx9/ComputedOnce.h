// Results computed once per key, however many threads ask at a time: the first to ask computes,
// the others wait for its result. Finished results are kept until there are `limit` of them, then
// the store starts over (results still in use are held by their users).
#pragma once

#include <cstddef>
#include <exception>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace nvesk::d3dx9 {

template <typename Result>
class ComputedOnce {
public:
    using Shared = std::shared_ptr<const Result>;

    explicit ComputedOnce(std::size_t limit) : limit_(limit) {}

    // The result for `key`, from `compute()` (returning Shared) when no one has it or is making it.
    template <typename Compute>
    Shared Get(const std::string& key, Compute compute) {
        std::promise<Shared> promise;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (const auto done = done_.find(key); done != done_.end()) return done->second;
            if (const auto running = running_.find(key); running != running_.end()) {
                std::shared_future<Shared> result = running->second;
                lock.unlock();
                return result.get();
            }
            running_.emplace(key, promise.get_future().share());
        }
        Shared result;
        try {
            result = compute();
        } catch (...) {
            // The waiting threads see the same failure; the next to ask tries again.
            Finish(key, nullptr);
            promise.set_exception(std::current_exception());
            throw;
        }
        Finish(key, result);
        promise.set_value(result);
        return result;
    }

private:
    void Finish(const std::string& key, const Shared& result) {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.erase(key);
        if (result == nullptr) return;
        if (done_.size() >= limit_) done_.clear();
        done_.emplace(key, result);
    }

    std::mutex mutex_;
    std::map<std::string, Shared> done_;
    std::map<std::string, std::shared_future<Shared>> running_;
    std::size_t limit_;
};

}  // namespace nvesk::d3dx9
