// The seven tracks that the program carries are written out beside it when missing: at the first
// start in a program run, and in WriteTrackFiles itself with resources of a test's own.

#include "sound/track_files.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/common/embedded_resources.h"
#include "tests/support/file_rights.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::ErrorLines;
using testing::InJapanese;
using testing::RunSim;
using testing::ScratchDir;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// The tracks: resource name, file name, and the file it is built from in the source tree.
struct Track {
  const char* resource;
  const char* file;
  const char* asset;
};
constexpr std::array<Track, 7> kTracks = {{
    {"KOKAB", "kokab.res", "kokab.mp3"},
    {"EYE", "eye.res", "eye.mp3"},
    {"BGM", "bgm.res", "bgm.mp3"},
    {"TELL", "tell.res", "tell.mp3"},
    {"FUN", "fun.res", "fun.mp3"},
    {"RAD", "rad.res", "rad.mp3"},
    {"SPRING", "spring.res", "spring.mp3"},
}};

// The order in which they are written.
const std::vector<std::string> kWriteOrder = {"KOKAB", "BGM", "EYE", "TELL", "FUN", "RAD", "SPRING"};

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Embedded(const char* resource) {
  const auto bytes = EmbeddedResources().Find(resource);
  return Bytes(bytes.begin(), bytes.end());
}

Bytes Asset(const char* asset) { return ReadBytes(fs::path(ZUMBOLO_SOURCE_DIR) / "assets" / "tracks" / asset); }

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

// A moment long past, to tell a file that was written again from one that was left alone.
const fs::file_time_type kLongAgo = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 5);

void StartOnce(const ScratchDir& dir) { RunSim({"--dir", dir.str(), "--seed", "1", "--until", "100"}); }

bool AnyError(const std::vector<std::string>& log) {
  for (const std::string& line : testing::WithoutTimes(log)) {
    if (line.rfind("error", 0) == 0) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// At start-up

TEST(TrackFilesAtStartup, FirstStartInAnEmptyFolderWritesTheSevenTracksByteForByte) {
  ScratchDir dir;
  const auto log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "5000"});
  // The start track was there when the player loaded it.
  EXPECT_FALSE(AnyError(log));

  std::set<std::string> expected = {"zumbolo.ini"};
  for (const Track& track : kTracks) {
    SCOPED_TRACE(track.file);
    expected.insert(track.file);
    const Bytes written = ReadBytes(dir.path() / track.file);
    const Bytes embedded = Embedded(track.resource);
    ASSERT_FALSE(embedded.empty());
    EXPECT_EQ(written.size(), embedded.size());
    EXPECT_TRUE(written == embedded);
    EXPECT_TRUE(written == Asset(track.asset));
  }
  // Nothing else appears beside them (the settings file comes from the exit).
  EXPECT_EQ(FilesIn(dir.path()), expected);
}

TEST(TrackFilesAtStartup, SecondStartWritesNothing) {
  ScratchDir dir;
  StartOnce(dir);
  for (const Track& track : kTracks) fs::last_write_time(dir.path() / track.file, kLongAgo);

  StartOnce(dir);
  for (const Track& track : kTracks) {
    SCOPED_TRACE(track.file);
    EXPECT_EQ(fs::last_write_time(dir.path() / track.file), kLongAgo);
    EXPECT_TRUE(ReadBytes(dir.path() / track.file) == Embedded(track.resource));
  }
}

TEST(TrackFilesAtStartup, OnlyTheDeletedTrackIsWrittenAgain) {
  ScratchDir dir;
  StartOnce(dir);
  for (const Track& track : kTracks) fs::last_write_time(dir.path() / track.file, kLongAgo);
  fs::remove(dir.path() / "rad.res");

  StartOnce(dir);
  for (const Track& track : kTracks) {
    SCOPED_TRACE(track.file);
    const bool rewritten = std::string_view(track.file) == "rad.res";
    EXPECT_EQ(fs::last_write_time(dir.path() / track.file) != kLongAgo, rewritten);
    EXPECT_TRUE(ReadBytes(dir.path() / track.file) == Embedded(track.resource));
  }
}

TEST(TrackFilesAtStartup, AnExistingFileWithOtherContentIsLeftAlone) {
  ScratchDir dir;
  const Bytes other = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'm', 'p', '3', '\r', '\n'};
  WriteBytes(dir.path() / "tell.res", other);
  WriteBytes(dir.path() / "fun.res", {});
  fs::last_write_time(dir.path() / "tell.res", kLongAgo);
  fs::last_write_time(dir.path() / "fun.res", kLongAgo);

  StartOnce(dir);
  EXPECT_TRUE(ReadBytes(dir.path() / "tell.res") == other);
  EXPECT_TRUE(ReadBytes(dir.path() / "fun.res").empty());
  EXPECT_EQ(fs::last_write_time(dir.path() / "tell.res"), kLongAgo);
  EXPECT_EQ(fs::last_write_time(dir.path() / "fun.res"), kLongAgo);
  // The others are written as usual.
  for (const char* resource : {"KOKAB", "EYE", "BGM", "RAD", "SPRING"}) {
    SCOPED_TRACE(resource);
    std::string file(resource);
    for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(ReadBytes(dir.path() / (file + ".res")) == Embedded(resource));
  }
}

// A track that cannot be written is told once, in the program's language, with the file and its
// folder; the figures spin on, and what could not be written is never played.
void ExpectToldOnceAndSpinning(const std::vector<std::string>& log, const fs::path& dir, const std::string& file,
                               const std::set<std::string>& files_left) {
  std::vector<std::string> errors;
  for (const std::string& error : ErrorLines(log)) {
    if (testing::TimeOf(error) < 6000) errors.push_back(error);  // the close may add its own
  }
  ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
  const std::string& error = errors[0];
  EXPECT_EQ(testing::TimeOf(error), 0);
  EXPECT_NE(error.find(file), std::string::npos) << error;
  EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
  EXPECT_TRUE(InJapanese(testing::WhatOf(error).substr(6), {dir.string(), file})) << error;
  EXPECT_TRUE(testing::Contains(log, "3157 beat 7 0") || testing::Contains(log, "2835 beat 7 0"))
      << "the figures did not spin";
  EXPECT_FALSE(testing::Contains(testing::WithoutTimes(log), "player render " + file));
  // Nothing half-written is left to be taken for the track at the next start.
  EXPECT_FALSE(files_left.contains(file));
  for (const std::string& name : files_left) EXPECT_FALSE(name.ends_with(".tmp")) << name;
}

TEST(TrackFilesAtStartup, AFolderWithoutWritePermissionIsToldOnceAndTheFiguresSpinSilently) {
  ScratchDir dir;
  std::vector<std::string> log;
  {
    testing::ModeFor closed_folder(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    testing::OwnRightsOnly as_its_owner;
    log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "6000"});
  }
  ExpectToldOnceAndSpinning(log, dir.path(), "kokab.res", FilesIn(dir.path()));
  EXPECT_TRUE(FilesIn(dir.path()).empty());
}

TEST(TrackFilesAtStartup, AFullDiskIsToldOnceAndTheFiguresSpinSilently) {
  // A file system of 1 MiB of its own, in a mount namespace of a child process: the spin sound
  // (36 736 bytes) fits, the music of the shows (1 966 907 bytes) does not.
  ScratchDir dir;
  ScratchDir out;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", dir.str().c_str(), "tmpfs", 0, "size=1m") != 0) {
      _exit(77);
    }
    std::string text;
    for (const std::string& line : RunSim({"--dir", dir.str(), "--seed", "1", "--until", "6000"})) text += line + "\n";
    testing::WriteText(out.path() / "log", text);
    std::string files;
    for (const std::string& name : FilesIn(dir.path())) files += name + "\n";
    testing::WriteText(out.path() / "files", files);
    testing::WriteText(out.path() / "kokab.res", testing::ReadText(dir.path() / "kokab.res"));
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no file system of its own can be mounted here";
  ASSERT_EQ(WEXITSTATUS(status), 0);

  const std::vector<std::string> log = testing::SplitLines(testing::ReadText(out.path() / "log"));
  std::set<std::string> files;
  for (const std::string& name : testing::SplitLines(testing::ReadText(out.path() / "files"))) {
    if (!name.empty()) files.insert(name);
  }
  ExpectToldOnceAndSpinning(log, dir.path(), "bgm.res", files);
  // The spin sound was written whole, and is played.
  EXPECT_TRUE(ReadBytes(out.path() / "kokab.res") == Embedded("KOKAB"));
  EXPECT_TRUE(testing::Contains(testing::WithoutTimes(log), "player render kokab.res"));
}

// ---------------------------------------------------------------------------------------------
// WriteTrackFiles with resources of the test's own

// Resources that hold a chosen set of tracks and remember what they were asked for.
class FakeResources : public Resources {
 public:
  std::map<std::string, Bytes> tracks;  // by upper-case name
  mutable std::vector<std::string> asked;

  std::span<const std::uint8_t> Find(std::string_view name) const override {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    asked.push_back(upper);
    const auto found = tracks.find(upper);
    if (found == tracks.end()) return {};
    return found->second;
  }
};

// Distinct bytes for each track, with every byte value and line ends in them, so that a copy that
// is not exact, or the bytes of another track, show.
Bytes FakeTrack(const std::string& name) {
  Bytes bytes(name.begin(), name.end());
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  for (const char c : std::string("\r\n\n\r\x1a")) bytes.push_back(static_cast<std::uint8_t>(c));
  bytes.insert(bytes.end(), name.size() * 100, static_cast<std::uint8_t>(name[0]));
  return bytes;
}

FakeResources AllTracks() {
  FakeResources resources;
  for (const Track& track : kTracks) resources.tracks[track.resource] = FakeTrack(track.resource);
  return resources;
}

TEST(WriteTrackFiles, WritesEveryMissingTrackInItsOrderAndReturnsNoFailure) {
  ScratchDir dir;
  const FakeResources resources = AllTracks();
  EXPECT_FALSE(WriteTrackFiles(dir.path(), resources).has_value());
  EXPECT_EQ(resources.asked, kWriteOrder);
  for (const Track& track : kTracks) {
    SCOPED_TRACE(track.file);
    EXPECT_TRUE(ReadBytes(dir.path() / track.file) == FakeTrack(track.resource));
  }
}

TEST(WriteTrackFiles, AMissingResourceEndsTheWritingAtThatTrack) {
  for (std::size_t missing = 0; missing < kWriteOrder.size(); ++missing) {
    SCOPED_TRACE(kWriteOrder[missing]);
    ScratchDir dir;
    FakeResources resources = AllTracks();
    resources.tracks.erase(kWriteOrder[missing]);

    const auto failure = WriteTrackFiles(dir.path(), resources);
    ASSERT_TRUE(failure.has_value());
    for (std::size_t i = 0; i < kWriteOrder.size(); ++i) {
      std::string file = kWriteOrder[i];
      for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      file += ".res";
      SCOPED_TRACE(file);
      if (i == missing) {
        EXPECT_EQ(failure->file, file);
      }
      if (i < missing) {
        EXPECT_TRUE(ReadBytes(dir.path() / file) == FakeTrack(kWriteOrder[i]));
      } else {
        EXPECT_FALSE(fs::exists(dir.path() / file));
      }
    }
    // No track after the missing one is even looked up.
    EXPECT_EQ(resources.asked, std::vector<std::string>(kWriteOrder.begin(),
                                                        kWriteOrder.begin() + static_cast<std::ptrdiff_t>(missing) + 1));
  }
}

TEST(WriteTrackFiles, AnExistingFileIsNeitherLookedUpNorTouched) {
  ScratchDir dir;
  const Bytes mine = {'m', 'i', 'n', 'e'};
  WriteBytes(dir.path() / "bgm.res", mine);
  WriteBytes(dir.path() / "spring.res", {});
  const FakeResources resources = AllTracks();

  EXPECT_FALSE(WriteTrackFiles(dir.path(), resources).has_value());
  EXPECT_EQ(resources.asked, (std::vector<std::string>{"KOKAB", "EYE", "TELL", "FUN", "RAD"}));
  EXPECT_TRUE(ReadBytes(dir.path() / "bgm.res") == mine);
  EXPECT_TRUE(ReadBytes(dir.path() / "spring.res").empty());
  EXPECT_TRUE(ReadBytes(dir.path() / "kokab.res") == FakeTrack("KOKAB"));
}

TEST(WriteTrackFiles, AFolderThatCannotBeWrittenEndsTheWritingAtTheFirstTrack) {
  ScratchDir dir;
  const fs::path nowhere = dir.path() / "no such folder";
  const FakeResources resources = AllTracks();
  const auto failure = WriteTrackFiles(nowhere, resources);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->file, "kokab.res");
  EXPECT_EQ(failure->error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(nowhere));
  EXPECT_LE(resources.asked.size(), 1u);
}

TEST(WriteTrackFiles, WithEveryFilePresentNothingIsLookedUp) {
  ScratchDir dir;
  for (const Track& track : kTracks) WriteBytes(dir.path() / track.file, {'x'});
  const FakeResources resources = AllTracks();
  EXPECT_FALSE(WriteTrackFiles(dir.path(), resources).has_value());
  EXPECT_TRUE(resources.asked.empty());
  for (const Track& track : kTracks) EXPECT_TRUE(ReadBytes(dir.path() / track.file) == Bytes{'x'}) << track.file;
}

}  // namespace
}  // namespace zumbolo
