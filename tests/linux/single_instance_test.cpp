// The single-instance lock of the Linux program, in the folders it may be kept in.

#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace zumbolo {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed with it.
class Folder {
 public:
  Folder() {
    std::string name = (fs::temp_directory_path() / "zumbolo-lock-XXXXXX").string();
    path_ = ::mkdtemp(name.data());
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// An environment variable set (or unset) for the life of the object.
class Environment {
 public:
  Environment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* before = std::getenv(name)) before_ = before;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~Environment() {
    if (before_) {
      ::setenv(name_, before_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> before_;
};

// Someone else's hold on a lock file: it is made if missing (and removed again then), and
// locked, as another user could.
class Hold {
 public:
  explicit Hold(fs::path file) : file_(std::move(file)) {
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    made_ = fd_ >= 0;
    if (!made_) fd_ = ::open(file_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX | LOCK_NB);
  }
  ~Hold() {
    if (fd_ >= 0) ::close(fd_);
    if (made_) ::unlink(file_.c_str());
  }
  bool ok() const { return fd_ >= 0; }

 private:
  fs::path file_;
  int fd_ = -1;
  bool made_ = false;
};

std::string LockName() { return "zumbolo-" + std::to_string(::getuid()) + ".lock"; }

TEST(SingleInstance, NoLockThatOthersCanMakeKeepsTheProgramFromStarting) {
  Folder settings;
  {
    // No runtime folder, and the name the lock once had in the shared /tmp is held by another.
    Environment no_runtime("XDG_RUNTIME_DIR", std::nullopt);
    const Hold in_tmp(fs::path("/tmp") / LockName());
    ASSERT_TRUE(in_tmp.ok());
    EXPECT_EQ(TakeInstanceLock(settings.path()), InstanceLock::kTaken);
    EXPECT_TRUE(fs::is_regular_file(settings.path() / LockName()));
    // It is the lock: a second start finds it held.
    EXPECT_EQ(TakeInstanceLock(settings.path()), InstanceLock::kHeldElsewhere);
  }
  {
    // A "runtime folder" that others may write to is passed over for the settings folder.
    Folder shared;
    fs::permissions(shared.path(), fs::perms::all | fs::perms::sticky_bit);
    Environment runtime("XDG_RUNTIME_DIR", shared.path().string());
    Folder fresh_settings;
    EXPECT_EQ(TakeInstanceLock(fresh_settings.path()), InstanceLock::kTaken);
    EXPECT_FALSE(fs::exists(shared.path() / LockName()));
    EXPECT_TRUE(fs::exists(fresh_settings.path() / LockName()));
  }
  {
    // A lock file in the runtime folder that is not the user's own is not trusted: the program
    // runs without a lock rather than never.
    Folder runtime_folder;
    fs::permissions(runtime_folder.path(), fs::perms::owner_all);
    const fs::path planted = runtime_folder.path() / LockName();
    const Hold theirs(planted);
    ASSERT_TRUE(theirs.ok());
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    } else {
      GTEST_SKIP() << "only the superuser can give a file to another user";
    }
    Environment runtime("XDG_RUNTIME_DIR", runtime_folder.path().string());
    EXPECT_EQ(TakeInstanceLock(fs::path()), InstanceLock::kUnavailable);
  }
}

}  // namespace
}  // namespace zumbolo
