// Where the Linux program keeps zumbolo.ini and its tracks: beside itself only in a writable
// folder of its own; an installed program (in a "bin" folder, which root may write to) uses the
// XDG folders, so that nothing lands in /usr/bin beside the files of the system's packages.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/qt/app_folders.h"

namespace zumbolo {
namespace {

namespace fs = std::filesystem;

class AppFoldersTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zumbolo-folders-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    ::unsetenv("ZUMBOLO_HOME");
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(root_);
  }
  fs::path Folder(const std::string& relative) {
    fs::create_directories(root_ / relative);
    return root_ / relative;
  }

  fs::path root_;
};

TEST_F(AppFoldersTest, AnInstalledProgramUsesTheXdgFoldersEvenWhereItMayWrite) {
  for (const char* bin : {"usr/bin", "usr/local/bin", "home/user/.local/bin"}) {
    const AppFolders folders = PrepareAppFolders(Folder(bin));
    EXPECT_EQ(folders.settings, root_ / "config" / "zumbolo") << bin;
    EXPECT_EQ(folders.tracks, root_ / "data" / "zumbolo") << bin;
    EXPECT_TRUE(fs::is_directory(folders.settings) && fs::is_directory(folders.tracks)) << bin;
  }
}

TEST_F(AppFoldersTest, APortableCopyKeepsItsFilesBesideItself) {
  for (const char* own : {"zumbolo", "build/platform/qt", "binaries"}) {
    const AppFolders folders = PrepareAppFolders(Folder(own));
    EXPECT_EQ(folders.settings, root_ / own) << own;
    EXPECT_EQ(folders.tracks, root_ / own) << own;
  }
}

TEST_F(AppFoldersTest, ZumboloHomeWinsOverBoth) {
  ::setenv("ZUMBOLO_HOME", (root_ / "home").c_str(), 1);
  const AppFolders folders = PrepareAppFolders(Folder("usr/bin"));
  ::unsetenv("ZUMBOLO_HOME");
  EXPECT_EQ(folders.settings, root_ / "home");
  EXPECT_EQ(folders.tracks, root_ / "home");
  EXPECT_TRUE(fs::is_directory(root_ / "home"));
}

}  // namespace
}  // namespace zumbolo
