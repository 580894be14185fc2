#include "app/ini_file.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/file_rights.h"
#include "tests/support/sim_run.h"

// Every fsync() and rename() of this test program passes through here (a program's own
// definitions take the place of the C library's), so that a test can see what a save asks of the
// file system, and in which order.
namespace {
std::vector<std::string>* disk_calls = nullptr;

std::string PathOf(int fd) {
  char target[4096];
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "fd " + std::to_string(fd);
}
}  // namespace

extern "C" int fsync(int fd) {
  if (disk_calls) disk_calls->push_back("fsync " + PathOf(fd));
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int fdatasync(int fd) {
  if (disk_calls) disk_calls->push_back("fsync " + PathOf(fd));
  return static_cast<int>(syscall(SYS_fdatasync, fd));
}

extern "C" int rename(const char* from, const char* to) {
  if (disk_calls) disk_calls->push_back("rename " + std::string(from) + " > " + to);
  return static_cast<int>(syscall(SYS_rename, from, to));
}

namespace zumbolo {
namespace {

using namespace std::literals;
using testing::ReadText;
using testing::WriteText;

std::optional<std::string> ReadFrom(std::string_view text, std::string_view section,
                                    std::string_view key) {
  return IniFile::Parse(std::string(text)).Read(section, key);
}

// ---------------------------------------------------------------------------------------------
// Looking values up

TEST(IniFileRead, SectionAndKeyNamesIgnoreAsciiCase) {
  const std::string text = "[Form]\nLeft=1030\ntOP=652\n";
  EXPECT_EQ(ReadFrom(text, "form", "left"), "1030");
  EXPECT_EQ(ReadFrom(text, "FORM", "LEFT"), "1030");
  EXPECT_EQ(ReadFrom(text, "fOrM", "Top"), "652");
  // Only ASCII letters fold: the UTF-8 bytes of "É" and "é" differ and do not match.
  EXPECT_EQ(ReadFrom("[\xC3\x89t\xC3\xA9]\nk=1\n", "\xC3\x89t\xC3\xA9", "k"), "1");
  EXPECT_EQ(ReadFrom("[\xC3\x89t\xC3\xA9]\nk=1\n", "\xC3\xA9t\xC3\xA9", "k"), std::nullopt);
}

TEST(IniFileRead, MissingSectionOrKeyIsNullopt) {
  const std::string text = "[num]\nritu=100\n";
  EXPECT_EQ(ReadFrom(text, "form", "ritu"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "num", "left"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "num", "rit"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "nu", "ritu"), std::nullopt);
  EXPECT_EQ(ReadFrom("", "num", "ritu"), std::nullopt);
  EXPECT_EQ(IniFile().Read("num", "ritu"), std::nullopt);
}

TEST(IniFileRead, BlanksAroundNamesAndValuesAreTrimmed) {
  const std::string text =
      "  [ \tform  ]  \n"
      "   left   =   1030   \n"
      "\ttop\t=\t652\t\n"
      "inner = a b  c\n"
      "empty =   \n";
  EXPECT_EQ(ReadFrom(text, "form", "left"), "1030");
  EXPECT_EQ(ReadFrom(text, "form", "top"), "652");
  EXPECT_EQ(ReadFrom(text, "form", "inner"), "a b  c");
  // A key with nothing after the '=' exists and has an empty value.
  EXPECT_EQ(ReadFrom(text, "form", "empty"), "");
}

TEST(IniFileRead, ValueInMatchingQuotesLosesThem) {
  const std::string text =
      "[s]\n"
      "double = \"5\"\n"
      "single = '5'\n"
      "spaced = \"  5 \"\n"
      "emptyq = \"\"\n"
      "mixed = \"5'\n"
      "lone = \"\n"
      "open = \"5\n"
      "inside = a\"5\"\n";
  EXPECT_EQ(ReadFrom(text, "s", "double"), "5");
  EXPECT_EQ(ReadFrom(text, "s", "single"), "5");
  EXPECT_EQ(ReadFrom(text, "s", "spaced"), "  5 ");  // blanks inside the quotes stay
  EXPECT_EQ(ReadFrom(text, "s", "emptyq"), "");
  EXPECT_EQ(ReadFrom(text, "s", "mixed"), "\"5'");
  EXPECT_EQ(ReadFrom(text, "s", "lone"), "\"");
  EXPECT_EQ(ReadFrom(text, "s", "open"), "\"5");
  EXPECT_EQ(ReadFrom(text, "s", "inside"), "a\"5\"");
}

TEST(IniFileRead, FirstMatchingSectionAndFirstMatchingKeyWin) {
  const std::string text =
      "[mode]\n"
      "mode=1\n"
      "MODE=2\n"
      "[other]\n"
      "random=9\n"
      "[MODE]\n"
      "mode=3\n"
      "random=1\n";
  EXPECT_EQ(ReadFrom(text, "mode", "mode"), "1");
  // "random" lives only in the second [mode]; that section is never consulted.
  EXPECT_EQ(ReadFrom(text, "mode", "random"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "other", "random"), "9");
}

TEST(IniFileRead, LinesBeforeAnySectionNeverMatch) {
  const std::string text = "ritu=100\n = 7\n[num]\nleft=1\n";
  EXPECT_EQ(ReadFrom(text, "num", "ritu"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "", "ritu"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "num", "left"), "1");
}

TEST(IniFileRead, SectionHeaderRules) {
  // The name runs up to the last ']'; anything after it is ignored.
  EXPECT_EQ(ReadFrom("[a]b]\nk=1\n", "a]b", "k"), "1");
  EXPECT_EQ(ReadFrom("[a]b]\nk=1\n", "a", "k"), std::nullopt);
  EXPECT_EQ(ReadFrom("[num] ; counters\nritu=5\n", "num", "ritu"), "5");
  // A header needs '[' as its first non-blank character...
  EXPECT_EQ(ReadFrom("[a]\nx[b]\nk=1\n", "b", "k"), std::nullopt);
  EXPECT_EQ(ReadFrom("[a]\nx[b]\nk=1\n", "a", "k"), "1");
  // ...and a ']': "[b=1" is a key line of [a], not the start of a section.
  const std::string unclosed = "[a]\n[b=1\nk=2\n";
  EXPECT_EQ(ReadFrom(unclosed, "b", "k"), std::nullopt);
  EXPECT_EQ(ReadFrom(unclosed, "a", "[b"), "1");
  EXPECT_EQ(ReadFrom(unclosed, "a", "k"), "2");
  // A header ends the previous section even when it contains a '='.
  EXPECT_EQ(ReadFrom("[a]\n[b=c]\nk=1\n", "a", "k"), std::nullopt);
  EXPECT_EQ(ReadFrom("[a]\n[b=c]\nk=1\n", "b=c", "k"), "1");
  // An empty header names the empty section.
  EXPECT_EQ(ReadFrom("[ ]\nk=1\n", "", "k"), "1");
}

TEST(IniFileRead, KeyLineRules) {
  const std::string text =
      "[s]\n"
      "a=b=c\n"
      "=orphan\n"
      "  = orphan2\n"
      "just some words\n"
      "; k=commented\n"
      "k=real\n";
  EXPECT_EQ(ReadFrom(text, "s", "a"), "b=c");  // the key ends at the first '='
  EXPECT_EQ(ReadFrom(text, "s", ""), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "s", "just some words"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "s", "; k"), std::nullopt);
  EXPECT_EQ(ReadFrom(text, "s", "k"), "real");  // the comment above does not shadow it
}

// ---------------------------------------------------------------------------------------------
// Line ends and odd bytes

TEST(IniFileParse, LfCrLfAndMixedLineEndsAllSplitLinesAndStayAsTheyAre) {
  for (const std::string& text : {"[num]\nritu=100\n[form]\nleft=1030\n"s,
                                  "[num]\r\nritu=100\r\n[form]\r\nleft=1030\r\n"s,
                                  "[num]\r\nritu=100\n[form]\rleft=1030"s,
                                  "[num]\rritu=100\r[form]\r\nleft=1030\r"s}) {
    SCOPED_TRACE(text);
    const IniFile file = IniFile::Parse(text);
    EXPECT_EQ(file.Read("num", "ritu"), "100");
    EXPECT_EQ(file.Read("form", "left"), "1030");
    EXPECT_EQ(file.Serialize(), text);
  }
}

TEST(IniFileParse, BlankLinesAreKept) {
  EXPECT_EQ(IniFile::Parse("a\n\n\nb").Serialize(), "a\n\n\nb");
  EXPECT_EQ(IniFile::Parse("a\r\n\r\n").Serialize(), "a\r\n\r\n");
  // CR then LF is one line end, LF then CR two, with an empty line between them.
  EXPECT_EQ(ReadFrom("[a]\r\nb=1", "a", "b"), "1");
  EXPECT_EQ(ReadFrom("[a]\n\rb=1", "a", "b"), "1");
  EXPECT_EQ(ReadFrom("[a]\n\r[b]\n\rk=1", "b", "k"), "1");
}

TEST(IniFileParse, NulAndNonUtf8BytesArePlainBytes) {
  const std::string text = "[s\0x]\nk\0=v\0al\nbad=\xFF\xFE\x80\n"s;
  const IniFile file = IniFile::Parse(text);
  EXPECT_EQ(file.Read("s\0x"s, "k\0"s), "v\0al"s);
  EXPECT_EQ(file.Read("s\0x"s, "bad"), "\xFF\xFE\x80");
  EXPECT_EQ(file.Read("s", "k"), std::nullopt);
  EXPECT_EQ(file.Serialize(), text);
}

// ---------------------------------------------------------------------------------------------
// Encodings that editors leave

// `text` in UTF-16, little- or big-endian.
std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string out;
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  }
  return out;
}

TEST(IniFileEncoding, AUtf8MarkIsSkippedOnReadingAndKeptOnWriting) {
  const std::string mark = "\xEF\xBB\xBF";
  IniFile file = IniFile::Parse(mark + "[num]\r\nritu=20\r\n[form]\r\nleft=5\r\n");
  EXPECT_EQ(file.Read("num", "ritu"), "20");
  file.Write("num", "ritu", "500");
  // The value is replaced where it is: no second [num].
  EXPECT_EQ(file.Serialize(), mark + "[num]\r\nritu=500\r\n[form]\r\nleft=5\r\n");

  IniFile only_mark = IniFile::Parse(mark);
  only_mark.Write("a", "k", "v");
  EXPECT_EQ(only_mark.Serialize(), mark + "[a]\r\nk=v\r\n");
}

TEST(IniFileEncoding, Utf16FilesAreReadAndWrittenBackInUtf16) {
  for (const bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
    const std::string text = Utf16(u"\uFEFF; \u8A2D\u5B9A\r\n[num]\r\nritu=20\r\n[Form]\nleft = 300\r\n", big_endian);
    IniFile file = IniFile::Parse(text);
    EXPECT_EQ(file.Serialize(), text);
    EXPECT_EQ(file.Read("num", "ritu"), "20");
    EXPECT_EQ(file.Read("form", "left"), "300");
    file.Write("num", "ritu", "5");
    file.Write("date", "12/8/26", "3");
    file.Write("\u540D\u524D", "\u30AD\u30FC", "\u5024");  // names and values come and go in UTF-8
    const std::string saved = file.Serialize();
    EXPECT_EQ(saved, Utf16(u"\uFEFF; \u8A2D\u5B9A\r\n[num]\r\nritu=5\r\n[Form]\nleft = 300\r\n[date]\r\n12/8/26=3\r\n"
                           u"[\u540D\u524D]\r\n\u30AD\u30FC=\u5024\r\n",
                           big_endian));
    const IniFile reread = IniFile::Parse(saved);
    EXPECT_EQ(reread.Read("\u540D\u524D", "\u30AD\u30FC"), "\u5024");
    EXPECT_EQ(reread.Read("form", "left"), "300");
  }
  // Code units that make no text (a lone surrogate) and an odd last byte come back as they were.
  const std::string odd = Utf16(u"\uFEFF[a]\r\nk=\xD800x\r\n", false) + "\x41";
  IniFile file = IniFile::Parse(odd);
  EXPECT_EQ(file.Serialize(), odd);
  file.Write("a", "j", "1");
  EXPECT_EQ(file.Serialize(), Utf16(u"\uFEFF[a]\r\nk=\xD800x\r\nj=1\r\n", false) + "\x41");
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(IniFileSerialize, NewLinesTakeTheLineEndOfTheFileAndCrLfWhereItHasNone) {
  EXPECT_EQ(IniFile().Serialize(), "");
  EXPECT_EQ(IniFile::Parse("").Serialize(), "");
  EXPECT_EQ(IniFile::Parse("[a]").Serialize(), "[a]");
  IniFile file;
  file.Write("a", "k", "v");
  EXPECT_EQ(file.Serialize(), "[a]\r\nk=v\r\n");
  IniFile unended = IniFile::Parse("[a]");
  unended.Write("a", "k", "v");
  EXPECT_EQ(unended.Serialize(), "[a]\r\nk=v\r\n");
  // A new line takes the line end of the line it follows.
  IniFile mixed = IniFile::Parse("[a]\nk=1\r[b]\r\nk=2\r\n");
  mixed.Write("a", "j", "3");
  mixed.Write("b", "j", "4");
  mixed.Write("c", "j", "5");
  EXPECT_EQ(mixed.Serialize(), "[a]\nk=1\rj=3\r[b]\r\nk=2\r\nj=4\r\n[c]\r\nj=5\r\n");
}

TEST(IniFileWrite, UpdatesExistingKeyInPlaceKeepingEverythingElse) {
  const std::string text =
      "; Zumbolo settings\r\n"
      "stray line before sections\r\n"
      "\r\n"
      "  [ Num ]   ; counters\r\n"
      "   RITU   =   5   \r\n"
      "junk without equals\r\n"
      "\t; ritu=old\r\n"
      "other =  x  \r\n"
      "\r\n"
      "[form]\r\n"
      "left=1\r\n";
  IniFile file = IniFile::Parse(text);
  file.Write("num", "ritu", "100");
  EXPECT_EQ(file.Serialize(),
            "; Zumbolo settings\r\n"
            "stray line before sections\r\n"
            "\r\n"
            "  [ Num ]   ; counters\r\n"
            "RITU=100\r\n"
            "junk without equals\r\n"
            "\t; ritu=old\r\n"
            "other =  x  \r\n"
            "\r\n"
            "[form]\r\n"
            "left=1\r\n");
  EXPECT_EQ(file.Read("num", "ritu"), "100");
}

TEST(IniFileWrite, UpdatesOnlyTheFirstOfDuplicates) {
  IniFile file = IniFile::Parse("[a]\r\nk=1\r\nK=2\r\n[A]\r\nk=3\r\n");
  file.Write("A", "k", "9");
  EXPECT_EQ(file.Serialize(), "[a]\r\nk=9\r\nK=2\r\n[A]\r\nk=3\r\n");
  // A key found only in a later duplicate section goes into the first one.
  file.Write("a", "new", "n");
  EXPECT_EQ(file.Serialize(), "[a]\r\nk=9\r\nK=2\r\nnew=n\r\n[A]\r\nk=3\r\n");
}

TEST(IniFileWrite, NewKeyGoesAfterLastKeyOfItsSection) {
  IniFile file = IniFile::Parse(
      "[form]\r\n"
      "left=1030\r\n"
      "; a comment between keys\r\n"
      "top=652\r\n"
      "\r\n"
      "; about the next section\r\n"
      "[sound]\r\n"
      "koka=0\r\n");
  file.Write("FORM", "width", "320");
  EXPECT_EQ(file.Serialize(),
            "[form]\r\n"
            "left=1030\r\n"
            "; a comment between keys\r\n"
            "top=652\r\n"
            "width=320\r\n"
            "\r\n"
            "; about the next section\r\n"
            "[sound]\r\n"
            "koka=0\r\n");
}

TEST(IniFileWrite, NewKeyInSectionWithoutKeysGoesRightAfterHeader) {
  IniFile file = IniFile::Parse("[mode]\r\n; nothing yet\r\n\r\n[color]\r\nredchar=1\r\n");
  file.Write("mode", "mode", "3");
  EXPECT_EQ(file.Serialize(), "[mode]\r\nmode=3\r\n; nothing yet\r\n\r\n[color]\r\nredchar=1\r\n");
}

TEST(IniFileWrite, NewKeyInLastSectionGoesBeforeTrailingBlanks) {
  IniFile file = IniFile::Parse("[sound]\r\nkoka=0\r\n\r\n; end\r\n");
  file.Write("sound", "bgm", "1");
  EXPECT_EQ(file.Serialize(), "[sound]\r\nkoka=0\r\nbgm=1\r\n\r\n; end\r\n");
}

TEST(IniFileWrite, NewSectionIsAppendedAtTheEnd) {
  // No line end after the last line: it gets the file's own.
  IniFile file = IniFile::Parse("[a]\nx=1");
  file.Write("b", "y", "2");
  EXPECT_EQ(file.Serialize(), "[a]\nx=1\n[b]\ny=2\n");

  IniFile with_tail = IniFile::Parse("[a]\r\nx=1\r\n\r\n; tail\r\n");
  with_tail.Write("b", "y", "2");
  EXPECT_EQ(with_tail.Serialize(), "[a]\r\nx=1\r\n\r\n; tail\r\n[b]\r\ny=2\r\n");

  // Keys before any section do not make a section: the key still gets a header of its own.
  IniFile headless = IniFile::Parse("y=1\r\n");
  headless.Write("b", "y", "2");
  EXPECT_EQ(headless.Serialize(), "y=1\r\n[b]\r\ny=2\r\n");
}

TEST(IniFileWrite, ValueIsWrittenAsGivenAndReadBackTrimmedAndUnquoted) {
  IniFile file;
  file.Write("s", "q", "\"5\"");
  file.Write("s", "sp", " 7 ");
  EXPECT_EQ(file.Serialize(), "[s]\r\nq=\"5\"\r\nsp= 7 \r\n");
  EXPECT_EQ(file.Read("s", "q"), "5");
  EXPECT_EQ(file.Read("s", "sp"), "7");
}

TEST(IniFileWrite, ProgramSettingsFileShape) {
  IniFile file;
  file.Write("num", "ritu", "100");
  file.Write("form", "left", "1030");
  file.Write("form", "top", "652");
  file.Write("date", "12/8/26", "3");
  file.Write("sound", "koka", "0");
  file.Write("mode", "mode", "3");
  file.Write("mode", "random", "0");
  file.Write("color", "redchar", "1");
  const std::string expected =
      "[num]\r\nritu=100\r\n[form]\r\nleft=1030\r\ntop=652\r\n[date]\r\n12/8/26=3\r\n"
      "[sound]\r\nkoka=0\r\n[mode]\r\nmode=3\r\nrandom=0\r\n[color]\r\nredchar=1\r\n";
  ASSERT_EQ(file.Serialize(), expected);

  // Writing the same values again changes nothing.
  file.Write("num", "ritu", "100");
  file.Write("MODE", "Random", "0");
  EXPECT_EQ(file.Serialize(), expected);

  const IniFile reread = IniFile::Parse(expected);
  EXPECT_EQ(reread.Serialize(), expected);
  EXPECT_EQ(reread.Read("num", "ritu"), "100");
  EXPECT_EQ(reread.Read("form", "left"), "1030");
  EXPECT_EQ(reread.Read("form", "top"), "652");
  EXPECT_EQ(reread.Read("date", "12/8/26"), "3");
  EXPECT_EQ(reread.Read("sound", "koka"), "0");
  EXPECT_EQ(reread.Read("mode", "mode"), "3");
  EXPECT_EQ(reread.Read("mode", "random"), "0");
  EXPECT_EQ(reread.Read("color", "redchar"), "1");
}

// ---------------------------------------------------------------------------------------------
// Arbitrary bytes

std::string RandomBuffer(std::mt19937& rng, int flavour) {
  static constexpr std::string_view kStructural = "[]=\r\n \t;\"'aAbB\0"sv;
  std::uniform_int_distribution<int> length(0, 160);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<std::size_t> pick(0, kStructural.size() - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  const int n = length(rng);
  std::string out;
  for (int i = 0; i < n; ++i) {
    switch (flavour) {
      case 0:  // any byte at all
        out += static_cast<char>(any_byte(rng));
        break;
      case 1:  // mostly the characters the parser cares about
        out += percent(rng) < 85 ? kStructural[pick(rng)] : static_cast<char>(any_byte(rng));
        break;
      case 2: {  // line ends everywhere
        const int p = percent(rng);
        out += p < 25 ? '\r' : p < 50 ? '\n' : kStructural[pick(rng)];
        break;
      }
      default: {  // pieces of real-looking lines glued together with random bytes
        static constexpr std::array<std::string_view, 12> kPieces = {
            "[a]", " [ A ]\t", "[b]", "[ab", "a=", " b = ", "ab\t=", "\"", "'", "; ", "\r\n", "\n"};
        std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
        if (percent(rng) < 60) {
          out += kPieces[piece(rng)];
        } else {
          out += static_cast<char>(any_byte(rng));
        }
        break;
      }
    }
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  auto trim = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  };
  a = trim(a);
  b = trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

TEST(IniFileFuzz, RandomBytesNeverCrashAndOnlyYieldValuesFromTheBuffer) {
  const std::array<std::string_view, 7> names = {"", "a", "A", "b", "ab", " a", "\0"sv};
  std::mt19937 rng(20240826);
  int found = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string buffer = RandomBuffer(rng, round % 4);
    const IniFile file = IniFile::Parse(buffer);
    // A file that is read and not written to is written back byte for byte.
    ASSERT_EQ(file.Serialize(), buffer) << "round " << round;
    // (Values of a UTF-16 file come in UTF-8, so they need not be bytes of the buffer.)
    const bool utf16 = buffer.starts_with("\xFF\xFE") || buffer.starts_with("\xFE\xFF");
    for (std::string_view section : names) {
      for (std::string_view key : names) {
        const std::optional<std::string> value = file.Read(section, key);
        if (!value || value->empty() || utf16) continue;
        ++found;
        ASSERT_NE(buffer.find(*value), std::string::npos)
            << "round " << round << ": value not in the buffer";
      }
    }
  }
  // The buffers are built so that plenty of non-empty entries are recognised; make sure the
  // check above was actually exercised.
  EXPECT_GT(found, 500);
}

TEST(IniFileFuzz, WriteIntoRandomFileReadsBackAndLeavesOtherEntriesAlone) {
  const std::array<std::string_view, 5> names = {"a", "A", "b", "ab", " a"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> pick(0, names.size() - 1);
  for (int round = 0; round < 2000; ++round) {
    const std::string buffer = RandomBuffer(rng, 1 + round % 3);
    const IniFile before = IniFile::Parse(buffer);
    IniFile after = before;
    const std::string_view section = names[pick(rng)];
    const std::string_view key = names[pick(rng)];
    after.Write(section, key, "W" + std::to_string(round));
    ASSERT_EQ(after.Read(section, key), "W" + std::to_string(round)) << "round " << round;
    const IniFile reread = IniFile::Parse(after.Serialize());
    ASSERT_EQ(reread.Read(section, key), "W" + std::to_string(round)) << "round " << round;
    for (std::string_view s : names) {
      for (std::string_view k : names) {
        if (SameName(s, section) && SameName(k, key)) continue;
        ASSERT_EQ(reread.Read(s, k), before.Read(s, k)) << "round " << round;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Files on disk

class IniFileDisk : public ::testing::Test {
 protected:
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  testing::ScratchDir scratch_;
  const std::filesystem::path dir_ = scratch_.path();
};

TEST_F(IniFileDisk, MissingFileLoadsEmpty) {
  const IniFileOnDisk missing = LoadIniFile(dir_ / "zumbolo.ini");
  EXPECT_EQ(missing.access, ProfileAccess::kNoFile);
  EXPECT_EQ(missing.file.Serialize(), "");
  EXPECT_EQ(missing.file.Read("num", "ritu"), std::nullopt);
  // A folder in place of the file is no file to read: empty as well, and not to be written.
  const IniFileOnDisk folder = LoadIniFile(dir_);
  EXPECT_EQ(folder.access, ProfileAccess::kUnreadable);
  EXPECT_EQ(folder.file.Serialize(), "");
}

TEST_F(IniFileDisk, LoadReadsBytesAsTheyAre) {
  WriteText(dir_ / "zumbolo.ini", "[num]\nritu = \"42\"\r\n\0junk\n"s);
  const IniFile file = LoadIniFile(dir_ / "zumbolo.ini").file;
  EXPECT_EQ(file.Read("NUM", "Ritu"), "42");
  EXPECT_EQ(file.Serialize(), "[num]\nritu = \"42\"\r\n\0junk\n"s);
}

TEST_F(IniFileDisk, SaveReplacesTheFileAndLeavesNoTemporaryBehind) {
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  WriteText(target, "[old]\nstuff=that is much longer than the new contents of the file\n");
  IniFile file;
  file.Write("num", "ritu", "100");
  ASSERT_EQ(SaveIniFile(target, file), std::error_code());
  EXPECT_EQ(ReadText(target), "[num]\r\nritu=100\r\n");
  EXPECT_EQ(Entries(), std::set<std::string>{"zumbolo.ini"});

  const std::filesystem::path fresh = dir_ / "fresh.ini";
  ASSERT_EQ(SaveIniFile(fresh, IniFile()), std::error_code());
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(ReadText(fresh), "");
  EXPECT_EQ(Entries(), (std::set<std::string>{"fresh.ini", "zumbolo.ini"}));
}

TEST_F(IniFileDisk, SaveIntoMissingFolderFails) {
  IniFile file;
  file.Write("num", "ritu", "100");
  EXPECT_EQ(SaveIniFile(dir_ / "no such folder" / "zumbolo.ini", file), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no such folder"));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(IniFileDisk, FailedSaveLeavesWhatIsThereUntouched) {
  // A folder with something in it sits where the file should go: it cannot be replaced.
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  std::filesystem::create_directory(target);
  WriteText(target / "keep.txt", "precious");
  IniFile file;
  file.Write("num", "ritu", "100");
  EXPECT_NE(SaveIniFile(target, file), std::error_code());
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(ReadText(target / "keep.txt"), "precious");
  EXPECT_EQ(Entries(), std::set<std::string>{"zumbolo.ini"});
}

TEST_F(IniFileDisk, ProfileStoreReadsOnOpenAndWritesOnFlush) {
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  const std::string original = "; mine\r\n[num]\r\nritu=5\r\n";
  WriteText(target, original);

  IniProfileStore store(target);
  EXPECT_EQ(store.Read("num", "ritu"), "5");
  store.Write("num", "ritu", "6");
  store.Write("form", "left", "1030");
  EXPECT_EQ(store.Read("num", "ritu"), "6");
  EXPECT_EQ(store.Read("form", "left"), "1030");
  EXPECT_EQ(ReadText(target), original);  // nothing on disk before the flush

  ASSERT_EQ(store.Flush(), std::error_code());
  EXPECT_EQ(ReadText(target), "; mine\r\n[num]\r\nritu=6\r\n[form]\r\nleft=1030\r\n");

  IniProfileStore reopened(target);
  EXPECT_EQ(reopened.Read("num", "ritu"), "6");
  EXPECT_EQ(reopened.Read("form", "left"), "1030");
}

TEST_F(IniFileDisk, ProfileStoreOnMissingFileStartsEmptyAndReportsFailedFlush) {
  IniProfileStore fresh(dir_ / "zumbolo.ini");
  EXPECT_EQ(fresh.Read("num", "ritu"), std::nullopt);
  fresh.Write("num", "ritu", "1");
  EXPECT_EQ(fresh.Flush(), std::error_code());
  EXPECT_EQ(ReadText(dir_ / "zumbolo.ini"), "[num]\r\nritu=1\r\n");

  IniProfileStore nowhere(dir_ / "missing" / "zumbolo.ini");
  nowhere.Write("num", "ritu", "1");
  EXPECT_EQ(nowhere.Flush(), std::errc::no_such_file_or_directory);
}

// Whether a save that was asked to succeed did.
bool Saved(ProfileStore& store) { return !store.Flush(); }

// The permission bits of a file.
std::filesystem::perms ModeOf(const std::filesystem::path& path) {
  return std::filesystem::status(path).permissions();
}

// Bytes the allocator hands out at this moment.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // the heap, and the large blocks mapped on their own
}

TEST_F(IniFileDisk, UntouchedLinesKeepTheirLineEndsAndMemoryStaysNearTheFileSize) {
  // A CR LF section, four million blank lines with LF, a CR section and an LF one.
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  const std::string blank(4u << 20, '\n');
  WriteText(target, "[num]\r\nritu=20\r\n" + blank + "[form]\rleft=1\r[mode]\nmode=2\n");
  {
    const std::size_t before = HeapInUse();
    IniProfileStore store(target);
    EXPECT_EQ(store.Read("mode", "mode"), "2");
    store.Write("num", "ritu", "5");
    store.Write("form", "top", "7");
    store.Write("mode", "random", "1");
    store.Write("color", "redchar", "0");
#if !defined(__SANITIZE_ADDRESS__)
    // The file is 4 MB; what it takes to hold it stays within a small multiple of that.
    EXPECT_LT(HeapInUse() - before, 3 * blank.size());
#endif
    ASSERT_TRUE(Saved(store));
  }
  EXPECT_TRUE(ReadText(target) ==
              "[num]\r\nritu=5\r\n" + blank + "[form]\rleft=1\rtop=7\r[mode]\nmode=2\nrandom=1\n[color]\nredchar=0\n");
}

TEST_F(IniFileDisk, AFileThatCannotBeReadIsNeverWritten) {
  const std::string mine = "[num]\r\nritu=5\r\n[date]\r\n12/8/26=40\r\n";
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  WriteText(target, mine);
  {
    // No permission to read it (nor to write it, which a save by renaming would not need).
    testing::ModeFor no_rights(target, std::filesystem::perms::none);
    testing::OwnRightsOnly as_its_owner;
    IniProfileStore store(target);
    EXPECT_EQ(store.Access(), ProfileAccess::kUnreadable);
    EXPECT_EQ(store.ReadError(), std::errc::permission_denied);
    EXPECT_EQ(store.Read("num", "ritu"), std::nullopt);
    store.Write("num", "ritu", "100");
    store.Write("date", "12/8/26", "0");
    EXPECT_FALSE(Saved(store));
    EXPECT_EQ(ModeOf(target), std::filesystem::perms::none);
  }
  EXPECT_EQ(ReadText(target), mine);

  // A FIFO is not opened for reading (that would wait for a writer), and not replaced.
  const std::filesystem::path fifo = dir_ / "fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  {
    testing::FifoWatchdog watchdog(fifo, std::chrono::seconds(2));
    IniProfileStore store(fifo);
    watchdog.Dismiss();
    EXPECT_FALSE(watchdog.Bit()) << "opening the FIFO waited for a writer";
    EXPECT_EQ(store.Access(), ProfileAccess::kUnreadable);
    EXPECT_EQ(store.ReadError(), std::errc::invalid_argument);
    store.Write("num", "ritu", "100");
    EXPECT_FALSE(Saved(store));
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(Entries(), (std::set<std::string>{"fifo.ini", "zumbolo.ini"}));
}

TEST_F(IniFileDisk, AReadOnlyFileIsLeftAsItIs) {
  const std::string mine = "[num]\r\nritu=5\r\n";
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  WriteText(target, mine);
  using std::filesystem::perms;
  const perms read_only = perms::owner_read | perms::group_read | perms::others_read;
  std::filesystem::permissions(target, read_only);  // a superuser's too: its bits say so

  IniProfileStore store(target);
  EXPECT_EQ(store.Access(), ProfileAccess::kReadOnly);
  EXPECT_EQ(store.Read("num", "ritu"), "5");
  store.Write("num", "ritu", "100");
  EXPECT_FALSE(Saved(store));
  EXPECT_EQ(ReadText(target), mine);
  EXPECT_EQ(ModeOf(target), read_only);
}

TEST_F(IniFileDisk, ASymbolicLinkIsWrittenThroughToItsTargetBesideIt) {
  std::filesystem::create_directories(dir_ / "real");
  std::filesystem::create_directories(dir_ / "home");
  const std::filesystem::path real = dir_ / "real" / "settings.ini";
  const std::filesystem::path link = dir_ / "home" / "zumbolo.ini";
  WriteText(real, "[num]\r\nritu=5\r\n");
  std::filesystem::create_symlink("../real/settings.ini", link);
  // ... and a link to a link to a file that does not exist yet.
  const std::filesystem::path later = dir_ / "real" / "later.ini";
  std::filesystem::create_symlink("later.ini", dir_ / "real" / "hop.ini");
  std::filesystem::create_symlink("../real/hop.ini", dir_ / "home" / "later.ini");

  std::vector<std::string> calls;
  disk_calls = &calls;
  IniProfileStore store(link);
  EXPECT_EQ(store.Read("num", "ritu"), "5");
  store.Write("num", "ritu", "7");
  const bool saved = Saved(store);
  IniProfileStore fresh(dir_ / "home" / "later.ini");
  fresh.Write("num", "ritu", "8");
  const bool saved_fresh = Saved(fresh);
  disk_calls = nullptr;
  ASSERT_TRUE(saved);
  ASSERT_TRUE(saved_fresh);

  EXPECT_EQ(std::filesystem::read_symlink(link), "../real/settings.ini");
  EXPECT_EQ(ReadText(real), "[num]\r\nritu=7\r\n");
  EXPECT_EQ(std::filesystem::read_symlink(dir_ / "home" / "later.ini"), "../real/hop.ini");
  EXPECT_EQ(std::filesystem::read_symlink(dir_ / "real" / "hop.ini"), "later.ini");
  EXPECT_EQ(ReadText(later), "[num]\r\nritu=8\r\n");
  // Each new file was made beside its target and renamed onto it there.
  std::vector<std::string> renames;
  for (const std::string& call : calls) {
    if (call.starts_with("rename ")) renames.push_back(call);
  }
  ASSERT_EQ(renames.size(), 2u) << ::testing::PrintToString(calls);
  for (const auto& [rename, target] : {std::pair{renames[0], real}, std::pair{renames[1], later}}) {
    const std::string to = " > " + target.string();
    ASSERT_TRUE(rename.ends_with(to)) << rename;
    const std::filesystem::path from = rename.substr(7, rename.size() - 7 - to.size());
    EXPECT_EQ(from.parent_path(), target.parent_path()) << rename;
  }
}

TEST_F(IniFileDisk, ASaveFlushesTheNewFileBeforeTheRenameAndTheFolderAfter) {
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  WriteText(target, "[num]\r\nritu=5\r\n");
  IniProfileStore store(target);
  store.Write("num", "ritu", "7");
  std::vector<std::string> calls;
  disk_calls = &calls;
  const bool saved = Saved(store);
  disk_calls = nullptr;
  ASSERT_TRUE(saved);

  // fsync of the new file, its rename onto the old one, fsync of the folder: in this order.
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  const std::string to = " > " + target.string();
  ASSERT_TRUE(calls[1].starts_with("rename ") && calls[1].ends_with(to)) << calls[1];
  const std::string temporary = calls[1].substr(7, calls[1].size() - 7 - to.size());
  EXPECT_EQ(calls[0], "fsync " + temporary);
  EXPECT_EQ(calls[2], "fsync " + dir_.string());
  EXPECT_EQ(ReadText(target), "[num]\r\nritu=7\r\n");
}

TEST_F(IniFileDisk, StaleTemporariesOfEarlierSavesAreRemovedAtTheNextSave) {
  const std::filesystem::path target = dir_ / "zumbolo.ini";
  WriteText(target, "[num]\r\nritu=5\r\n");
  // What saves killed half-way left behind, in the names this program gives its new files...
  WriteText(dir_ / ".zumbolo.ini.3f9a0c1d2e4b5a69.tmp", "[num]\r\nri");
  WriteText(dir_ / ".zumbolo.ini.0.tmp", "");
  // ... and what is not its own, or not stale: a save under way holds a lock on its new file.
  for (const char* name : {".zumbolo.ini.swp", "zumbolo.ini.bak", ".other.ini.12ab.tmp", ".zumbolo.ini.notes.tmp",
                           "zumbolo.ini.3f9a0c1d2e4b5a69.tmp", ".zumbolo.ini.12ab.tmp"}) {
    WriteText(dir_ / name, "not stale");
  }
  const int busy = open((dir_ / ".zumbolo.ini.12ab.tmp").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(flock(busy, LOCK_EX), 0);

  IniProfileStore store(target);
  store.Write("num", "ritu", "7");
  EXPECT_TRUE(Saved(store));
  close(busy);
  EXPECT_EQ(Entries(), (std::set<std::string>{"zumbolo.ini", ".zumbolo.ini.swp", "zumbolo.ini.bak",
                                              ".other.ini.12ab.tmp", ".zumbolo.ini.notes.tmp",
                                              "zumbolo.ini.3f9a0c1d2e4b5a69.tmp", ".zumbolo.ini.12ab.tmp"}));
  EXPECT_EQ(ReadText(target), "[num]\r\nritu=7\r\n");
}

// ---------------------------------------------------------------------------------------------
// Numbers

TEST(ParseDecimalInt32, AcceptsSignedDecimalsInRange) {
  EXPECT_EQ(ParseDecimalInt32("0"), 0);
  EXPECT_EQ(ParseDecimalInt32("-0"), 0);
  EXPECT_EQ(ParseDecimalInt32("+7"), 7);
  EXPECT_EQ(ParseDecimalInt32("-7"), -7);
  EXPECT_EQ(ParseDecimalInt32("1030"), 1030);
  EXPECT_EQ(ParseDecimalInt32("007"), 7);
  EXPECT_EQ(ParseDecimalInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseDecimalInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseDecimalInt32("+2147483647"), 2147483647);
  EXPECT_EQ(ParseDecimalInt32("00000000000000000000042"), 42);
}

TEST(ParseDecimalInt32, RejectsOutOfRange) {
  EXPECT_EQ(ParseDecimalInt32("2147483648"), std::nullopt);
  EXPECT_EQ(ParseDecimalInt32("+2147483648"), std::nullopt);
  EXPECT_EQ(ParseDecimalInt32("-2147483649"), std::nullopt);
  EXPECT_EQ(ParseDecimalInt32("4294967296"), std::nullopt);  // would wrap to 0 in 32 bits
  EXPECT_EQ(ParseDecimalInt32("4294967303"), std::nullopt);  // would wrap to 7 in 32 bits
  EXPECT_EQ(ParseDecimalInt32("99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseDecimalInt32("18446744073709551623"), std::nullopt);  // 2^64 + 7
  EXPECT_EQ(ParseDecimalInt32("-99999999999999999999"), std::nullopt);
}

TEST(ParseDecimalInt32, RejectsAnythingButSignAndDigits) {
  for (const std::string& text :
       {""s, "-"s, "+"s, "+-1"s, "--1"s, "1.0"s, "0x10"s, "x10"s, " 5"s, "5 "s, "\t5"s, "12a"s,
        "a12"s, "1e3"s, "1,000"s, "5\0"s, "\0" "5"s, "\xEF\xBC\x95"s /* fullwidth 5 */}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseDecimalInt32(text), std::nullopt);
  }
}

}  // namespace
}  // namespace zumbolo
