// How a display test finds its X display: CTest's allotment, or a turn on the one it was given.
#include "support/TestDisplay.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(TestDisplay, OnlyAnAllotmentOfANumberedDisplayNamesOne) {
    EXPECT_EQ(TestSupport::AllottedDisplay("id:99,slots:1"), ":99");
    EXPECT_EQ(TestSupport::AllottedDisplay("id:7"), ":7");
    EXPECT_FALSE(TestSupport::AllottedDisplay(nullptr).has_value());
    EXPECT_FALSE(TestSupport::AllottedDisplay("").has_value());
    EXPECT_FALSE(TestSupport::AllottedDisplay("id:,slots:1").has_value());
    EXPECT_FALSE(TestSupport::AllottedDisplay("id:9x,slots:1").has_value());
    EXPECT_FALSE(TestSupport::AllottedDisplay("slots:1,id:9").has_value());
}

// Sets the variables a display test starts with, and puts the old ones back.
class DisplayEnvironment : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        setenv("NVESK_TEST_NEEDS_DISPLAY", "1", 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    static constexpr const char* kNames[] = {"DISPLAY", "NVESK_TEST_NEEDS_DISPLAY", "NVESK_TEST_DISPLAY_HELD",
                                             "CTEST_RESOURCE_GROUP_0_X_DISPLAY"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DisplayEnvironment, AnAllottedDisplayReplacesTheOneGiven) {
    setenv("DISPLAY", ":0", 1);
    setenv("CTEST_RESOURCE_GROUP_0_X_DISPLAY", "id:42,slots:1", 1);
    TestSupport::TakeTheDisplay();
    EXPECT_STREQ(std::getenv("DISPLAY"), ":42");
    EXPECT_EQ(std::getenv("NVESK_TEST_DISPLAY_HELD"), nullptr) << "no turn to take on a display of its own";
}

TEST_F(DisplayEnvironment, WithoutAnAllotmentTheTestHoldsTheDisplayUntilItEnds) {
    const std::string display = ":turn-" + std::to_string(getpid());
    setenv("DISPLAY", display.c_str(), 1);
    TestSupport::TakeTheDisplay();
    EXPECT_STREQ(std::getenv("DISPLAY"), display.c_str());
    EXPECT_NE(std::getenv("NVESK_TEST_DISPLAY_HELD"), nullptr);

    // Another test process on this display would wait: the lock is taken.
    const std::string lockFile = "/tmp/nvesk-test-display_turn-" + std::to_string(getpid()) + ".lock";
    const int other = open(lockFile.c_str(), O_RDWR);
    ASSERT_GE(other, 0) << lockFile;
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    close(other);
    unlink(lockFile.c_str());

    // A child process of the test runs inside its turn and takes no second one.
    TestSupport::TakeTheDisplay();
}

TEST_F(DisplayEnvironment, ATestThatNeedsNoDisplayLeavesItAlone) {
    unsetenv("NVESK_TEST_NEEDS_DISPLAY");
    setenv("DISPLAY", ":5", 1);
    setenv("CTEST_RESOURCE_GROUP_0_X_DISPLAY", "id:6,slots:1", 1);
    TestSupport::TakeTheDisplay();
    EXPECT_STREQ(std::getenv("DISPLAY"), ":5");
}

}  // namespace
