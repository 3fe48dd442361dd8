// Real-world files from other projects are kept beside the repository, in ../shared, never inside
// it: a user's clone has none. Tests that read them skip there, and fail where the run asks for the
// data (NVESK_REQUIRE_SHARED_DATA=1, as CI sets it).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace TestSupport {

// The folder beside the repository that holds the shared test data.
std::filesystem::path SharedDataRoot();

// Whether a missing folder is a failure rather than a skip: NVESK_REQUIRE_SHARED_DATA is set and
// neither empty nor "0".
bool SharedDataRequired(const char* setting);
bool SharedDataRequired();

// The one-line reason a test cannot run, or nothing when the folder is there.
std::optional<std::string> MissingSharedFolder(const std::filesystem::path& folder);

}  // namespace TestSupport

// Ends the test when `folder` is missing: a skip, or a failure when the data is required.
#define NVESK_NEEDS_SHARED_FOLDER(folder)                                     \
    if (const auto nveskMissing = TestSupport::MissingSharedFolder(folder)) { \
        if (TestSupport::SharedDataRequired()) FAIL() << *nveskMissing;       \
        GTEST_SKIP() << *nveskMissing;                                        \
    }
