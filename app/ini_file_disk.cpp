// zumbolo.ini on disk, on POSIX systems. (The Windows program keeps it through the system's own
// private-profile functions.)
#if !defined(_WIN32)

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "app/ini_file.h"

namespace zumbolo {

namespace {

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// A file descriptor that closes itself.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

std::error_code ReadWhole(int fd, std::size_t size_hint, std::string& out) {
  out.reserve(size_hint);
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
}

bool WriteWhole(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Where a save must go: the file at the end of a chain of symbolic links (which need not exist).
std::filesystem::path ResolveLinks(std::filesystem::path path, std::error_code& error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) return path;
    path = target.is_absolute() ? target : (path.parent_path() / target).lexically_normal();
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return path;
}

// New files of a save are called ".NAME.HEX.tmp", and locked until they are renamed.
std::string TemporaryPrefix(const std::filesystem::path& target) { return "." + target.filename().string() + "."; }

std::filesystem::path TemporaryPathFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  std::mt19937_64 generator((static_cast<std::uint64_t>(device()) << 32) ^ device() ^ counter.fetch_add(1));
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(generator()));
  return target.parent_path() / (TemporaryPrefix(target) + hex + ".tmp");
}

bool IsTemporaryName(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return false;
  const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  if (middle.empty()) return false;
  for (const char c : middle) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Removes the new files of saves that were killed before their rename: those of this target
// that no save holds a lock on.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path();
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const std::string prefix = TemporaryPrefix(target);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name, prefix)) continue;
    const std::filesystem::path stale = folder / entry->d_name;
    const Descriptor fd(::open(stale.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd.ok() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) ::unlink(stale.c_str());
  }
  ::closedir(dir);
}

}  // namespace

IniFileOnDisk LoadIniFile(const std::filesystem::path& path) {
  IniFileOnDisk found;
  const auto unreadable = [&found](std::error_code error) {
    found.access = ProfileAccess::kUnreadable;
    found.error = error;
    return std::move(found);
  };
  // Only a plain file is opened: opening a FIFO would wait for a writer, and a device may do
  // anything. O_NONBLOCK keeps the open itself from waiting, should the file change in between.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return found;  // no file yet (or a link to none)
    return unreadable(LastError());
  }
  if (!S_ISREG(info.st_mode)) return unreadable(std::make_error_code(std::errc::invalid_argument));
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) return unreadable(LastError());
  if (::fstat(fd.get(), &info) != 0) return unreadable(LastError());
  if (!S_ISREG(info.st_mode)) return unreadable(std::make_error_code(std::errc::invalid_argument));
  std::string bytes;
  if (const std::error_code error = ReadWhole(fd.get(), static_cast<std::size_t>(info.st_size), bytes)) {
    return unreadable(error);
  }
  found.file = IniFile::Parse(std::move(bytes));
  // Read-only: no write permission in its bits (which bind even the superuser here), or none for
  // this user, or a read-only file system.
  const bool read_only = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                         ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
  found.access = read_only ? ProfileAccess::kReadOnly : ProfileAccess::kReadWrite;
  return found;
}

std::error_code SaveIniFile(const std::filesystem::path& path, const IniFile& file) {
  std::error_code error;
  const std::filesystem::path target = ResolveLinks(path, error);
  if (error) return error;
  RemoveStaleTemporaries(target);

  // The new file gets the old one's permissions (and owner, where that is allowed).
  struct stat old {};
  const bool replaces = ::stat(target.c_str(), &old) == 0;
  const std::filesystem::path temporary = TemporaryPathFor(target);
  const Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             replaces ? 0600 : 0666));
  if (!fd.ok()) return LastError();
  const auto fail = [&temporary](std::error_code why) {
    ::unlink(temporary.c_str());
    return why;
  };
  if (::flock(fd.get(), LOCK_EX) != 0) return fail(LastError());
  if (replaces) {
    if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
      // Not allowed to give it away: it stays this user's.
    }
    if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(LastError());
  }
  if (!file.SerializeTo([&fd](std::string_view piece) { return WriteWhole(fd.get(), piece); })) {
    return fail(LastError());
  }
  if (::fsync(fd.get()) != 0) return fail(LastError());
  if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(LastError());

  // The rename itself reaches the disk with its folder.
  const std::filesystem::path folder = target.parent_path();
  const Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.ok()) ::fsync(dir.get());
  return {};
}

IniProfileStore::IniProfileStore(std::filesystem::path path) : path_(std::move(path)) {
  IniFileOnDisk found = LoadIniFile(path_);
  file_ = std::move(found.file);
  access_ = found.access;
  read_error_ = found.error;
}

std::optional<std::string> IniProfileStore::Read(std::string_view section, std::string_view key) {
  return file_.Read(section, key);
}

void IniProfileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
  file_.Write(section, key, value);
}

std::error_code IniProfileStore::Flush() {
  switch (access_) {
    case ProfileAccess::kUnreadable:
      return read_error_;
    case ProfileAccess::kReadOnly:
      return std::make_error_code(std::errc::operation_not_permitted);
    case ProfileAccess::kNoFile:
    case ProfileAccess::kReadWrite:
      break;
  }
  return SaveIniFile(path_, file_);
}

}  // namespace zumbolo

#endif  // !defined(_WIN32)
