// The runtime's random numbers are the Windows C runtime's on both systems, so the fire and the
// drops are the same everywhere.
#include "support/Scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const int kFirstValues[] = {41, 18467, 6334, 26500, 19169};

// 0 when the first numbers of a fresh process are the Windows runtime's; otherwise 1 + the index
// of the first that is not.
int FirstMismatch() {
    for (int i = 0; i < 5; ++i) {
        if (std::rand() != kFirstValues[i]) return i + 1;
    }
    return 0;
}

}  // namespace

NVESK_SCENARIO(UnseededRandomNumbers) {
    (void)argument;
    return FirstMismatch();
}

TEST(RuntimeRandom, UnseededProcessDrawsTheWindowsRuntimeSequence) {
    EXPECT_EQ(TestSupport::RunScenario("UnseededRandomNumbers", ""), 0);
}

TEST(RuntimeRandom, SeedOneRestartsTheSequenceAndValuesStayWithinFifteenBits) {
    std::srand(1);
    EXPECT_EQ(FirstMismatch(), 0);
    for (int i = 0; i < 100000; ++i) {
        const int value = std::rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 0x7FFF);
    }
}
