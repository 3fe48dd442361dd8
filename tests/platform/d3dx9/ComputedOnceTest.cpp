// Results computed once per key by whichever thread asks first, the others waiting for it; a
// failure reaches every waiting caller and the next one computes again; the store starts over
// when full.
#include "ComputedOnce.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using nvesk::d3dx9::ComputedOnce;

TEST(ComputedOnce, ThreadsAskingTogetherShareOneComputation) {
    ComputedOnce<int> store(16);
    std::atomic<int> computations {0};
    std::atomic<int> started {0};
    constexpr int kThreads = 8;
    std::vector<std::shared_ptr<const int>> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++started;
            results[static_cast<std::size_t>(i)] = store.Get("key", [&] {
                // Held until every thread has started, so that the others ask meanwhile.
                while (started < kThreads)
                    std::this_thread::yield();
                ++computations;
                return std::make_shared<const int>(42);
            });
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(computations, 1);
    for (const auto& result : results) {
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result, results.front());
        EXPECT_EQ(*result, 42);
    }
    EXPECT_EQ(*store.Get("other", [] { return std::make_shared<const int>(7); }), 7);
}

TEST(ComputedOnce, AFailureReachesTheCallerAndTheNextCallComputesAgain) {
    ComputedOnce<int> store(16);
    int computations = 0;
    EXPECT_THROW(store.Get("key",
                           [&]() -> std::shared_ptr<const int> {
                               ++computations;
                               throw std::runtime_error("out of memory");
                           }),
                 std::runtime_error);
    const auto result = store.Get("key", [&] {
        ++computations;
        return std::make_shared<const int>(3);
    });
    EXPECT_EQ(*result, 3);
    EXPECT_EQ(computations, 2);
}

TEST(ComputedOnce, AFullStoreStartsOverAndKeepsWhatItsUsersHold) {
    ComputedOnce<int> store(2);
    int computations = 0;
    auto compute = [&] {
        ++computations;
        return std::make_shared<const int>(computations);
    };
    const auto first = store.Get("a", compute);
    store.Get("b", compute);
    EXPECT_EQ(store.Get("a", compute), first);  // kept
    EXPECT_EQ(computations, 2);
    store.Get("c", compute);  // the store was full: it starts over with "c"
    EXPECT_NE(store.Get("a", compute), first);
    EXPECT_EQ(computations, 4);
    EXPECT_EQ(*first, 1);  // still held here
}
