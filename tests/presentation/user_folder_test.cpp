// The window's per-user folder: made on the first start, entered on every start.
#include "presentation/user_folder.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>

namespace hrv {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

// Each test starts and ends in the directory the test program was started in.
class UserFolderTest : public ::testing::Test {
protected:
    ~UserFolderTest() override { fs::current_path(start_); }
    const fs::path start_ = fs::current_path();
    ScratchDir home_;
};

TEST_F(UserFolderTest, FirstStartCreatesTheFolderAndLaterStartsKeepItsFiles) {
    const std::string folder = UserFolderIn((home_ / "new home").string());
    EXPECT_EQ(folder, (home_ / "new home" / "RVX").string());

    EXPECT_EQ(EnterUserFolder(folder), "");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
    // As the window writes it, relative to its folder.
    std::ofstream("rvx.txt", std::ios::binary) << "row\n";

    fs::current_path(start_);
    EXPECT_EQ(EnterUserFolder(folder), "");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
    EXPECT_EQ(fs::file_size("rvx.txt"), 4u);
}

TEST_F(UserFolderTest, AFileInTheWayLeavesTheCurrentDirectoryAndSaysWhy) {
    std::ofstream(home_ / "RVX") << "not a folder";
    const std::string folder = UserFolderIn(home_.string());

    const std::string message = EnterUserFolder(folder);
    EXPECT_NE(message.find(folder), std::string::npos) << message;
    EXPECT_NE(message.find(start_.string()), std::string::npos) << message;
    EXPECT_EQ(fs::current_path(), start_);
}

} // namespace
} // namespace hrv
