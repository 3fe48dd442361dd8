#include "support/TestDisplay.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace TestSupport {

std::optional<std::string> AllottedDisplay(const char* allotment) {
    if (allotment == nullptr) return std::nullopt;
    const std::string text = allotment;
    const std::string prefix = "id:";
    if (text.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string id = text.substr(prefix.size(), text.find(',') - prefix.size());
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return ":" + id;
}

void TakeTheDisplay() {
#if !defined(_WIN32)
    if (std::getenv("NVESK_TEST_NEEDS_DISPLAY") == nullptr) return;
    if (const auto display = AllottedDisplay(std::getenv("CTEST_RESOURCE_GROUP_0_X_DISPLAY"))) {
        setenv("DISPLAY", display->c_str(), 1);
        return;
    }
    // A child of a test that holds the display runs inside that test's turn.
    if (std::getenv("NVESK_TEST_DISPLAY_HELD") != nullptr) return;
    const char* display = std::getenv("DISPLAY");
    std::string name = display != nullptr ? display : "none";
    for (char& c : name)
        if (c == '/' || c == ':') c = '_';
    const std::string lockFile = "/tmp/nvesk-test-display" + name + ".lock";
    const int lock = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        std::perror(("cannot take the display lock " + lockFile).c_str());
        std::exit(2);
    }
    // Left open: the lock goes with the process.
    setenv("NVESK_TEST_DISPLAY_HELD", "1", 1);
#endif
}

}  // namespace TestSupport
