// When tests that read the shared real-world files run, skip or fail.
#include "support/SharedData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(SharedData, OnlyASettingOtherThanEmptyOrZeroRequiresTheData) {
    EXPECT_FALSE(TestSupport::SharedDataRequired(nullptr));
    EXPECT_FALSE(TestSupport::SharedDataRequired(""));
    EXPECT_FALSE(TestSupport::SharedDataRequired("0"));
    EXPECT_TRUE(TestSupport::SharedDataRequired("1"));
    EXPECT_TRUE(TestSupport::SharedDataRequired("yes"));
}

TEST(SharedData, AFolderThatIsThereHasNoReasonAndAMissingOneNamesItself) {
    TestSupport::TempDir dir;
    EXPECT_FALSE(TestSupport::MissingSharedFolder(dir.Path()).has_value());

    const auto missing = TestSupport::MissingSharedFolder(dir.Path() / "corpus" / "x");
    ASSERT_TRUE(missing.has_value());
    EXPECT_NE(missing->find((dir.Path() / "corpus" / "x").string()), std::string::npos) << *missing;
    EXPECT_EQ(missing->find('\n'), std::string::npos) << "one line";

    // A file where the folder should be is no folder.
    TestSupport::WriteBytes(dir.Path() / "corpus", {1});
    EXPECT_TRUE(TestSupport::MissingSharedFolder(dir.Path() / "corpus").has_value());
}

TEST(SharedData, TheRootIsTheFolderBesideTheRepository) {
    EXPECT_EQ(TestSupport::SharedDataRoot().filename(), "shared");
    EXPECT_TRUE(TestSupport::SharedDataRoot().is_absolute());
}

}  // namespace
