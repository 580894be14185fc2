// Random mode end to end: with "random"=1 in the settings file, or after the "ランダム" command,
// every restart that ends a show picks the next song, and the next hit plays that song's routine.
// The picks are predicted by a model of the program's generator; a song chosen by hand is kept
// for the restart that follows; the arrow keys during a show shift every later move.
//
// The songs are told apart by the request that loads their track on lead-in sub-step 5: 4 for
// both Heaven and Hell routines, 5 for William Tell, 10 for Funiculì, 11 for Radetzky. Of the two
// Heaven and Hell routines only ver. 2 moves the window home on lead-in beat 11.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/golden_log.h"
#include "tests/support/model_random.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::DrawForcedHit;
using testing::FirstSeed;
using testing::IsMove;
using testing::ModelRandom;
using testing::Pick;
using testing::RandomPick;
using testing::SimRuns;
using testing::TrackArgs;

// ---------------------------------------------------------------------------------------------
// The picks, from the model of the program's random generator

// The songs by their number in the モード submenu.
enum Song { kHeaven = 0, kHeaven2 = 1, kTell = 2, kFuniculi = 3, kRadetzky = 4 };
const std::array<const char*, 5> kSongItems = {"iheaven", "iheaven2", "iwill", "irad", "irad2"};

// The songs of the shows of a run that starts with random mode on and every spin a hit: the
// start-up pick, then one pick at the end of each show.
std::vector<Pick> ModelPicks(std::uint32_t seed, int start_song, int shows) {
  ModelRandom random(seed);
  std::vector<Pick> picks = {RandomPick(random, start_song)};
  for (int show = 1; show < shows; ++show) {
    DrawForcedHit(random);  // the hit of the show
    picks.push_back(RandomPick(random, picks.back().song));
  }
  return picks;
}

// ---------------------------------------------------------------------------------------------
// Reading the log

struct Line {
  long long ms = 0;
  std::string text;  // without the time
};

std::vector<Line> Parse(const std::vector<std::string>& log) {
  static const std::set<std::string> kWords = {
      "beat", "pose", "poses", "figure", "overlay", "moveto", "top", "left", "interval", "enabled",
      "dance", "timer1", "caption", "check", "visible", "hits", "error", "message", "foreground",
      "form2", "form3", "player"};
  std::vector<Line> lines;
  for (const std::string& line : log) {
    const auto space = line.find(' ');
    Line parsed{std::stoll(line.substr(0, space)), line.substr(space + 1)};
    if (kWords.count(parsed.text.substr(0, parsed.text.find(' ')))) lines.push_back(parsed);
  }
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// One show as the log tells it: the hit, the request of lead-in sub-step 5 and the window move of
// lead-in beat 11, if any.
struct ShowSeen {
  long long hit_ms = 0;
  std::string sub_step_5;  // the first line of the sixth call with beat 8
  std::vector<std::string> beat_11;
};

std::vector<ShowSeen> Shows(const std::vector<Line>& log) {
  std::vector<ShowSeen> shows;
  for (std::size_t i = 0; i + 1 < log.size(); ++i) {
    if (log[i].text != "beat 7 0" || !StartsWith(log[i + 1].text, "hits ")) continue;
    ShowSeen show;
    show.hit_ms = log[i].ms;
    int beat8 = 0;
    std::size_t j = i + 1;
    for (; j < log.size() && log[j].text != "beat 9 2"; ++j)
      if (log[j].text == "beat 8 2" && ++beat8 == 6 && j + 1 < log.size()) show.sub_step_5 = log[j + 1].text;
    for (; j < log.size() && log[j].text != "beat 11 2"; ++j) {
    }
    for (++j; j < log.size() && !StartsWith(log[j].text, "beat "); ++j) show.beat_11.push_back(log[j].text);
    if (j < log.size()) shows.push_back(show);  // a complete lead-in
  }
  return shows;
}

// The song whose routine played the lead-in, or -1.
int SongOf(const ShowSeen& show) {
  if (show.sub_step_5 == "dance 5") return kTell;
  if (show.sub_step_5 == "dance 10") return kFuniculi;
  if (show.sub_step_5 == "dance 11") return kRadetzky;
  if (show.sub_step_5 != "dance 4") return -1;
  const bool moves_home =
      std::find(show.beat_11.begin(), show.beat_11.end(), "moveto 1030 652") != show.beat_11.end();
  return moves_home ? kHeaven2 : kHeaven;
}

std::string SongName(int song) { return song >= 0 && song < 5 ? kSongItems[song] : "none"; }

// The lines at one moment.
std::vector<std::string> LinesAt(const std::vector<Line>& log, long long ms) {
  std::vector<std::string> out;
  for (const Line& line : log)
    if (line.ms == ms) out.push_back(line.text);
  return out;
}

// The song items checked in some lines.
std::vector<std::string> SongChecks(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    for (const char* item : kSongItems)
      if (line == std::string("check ") + item + " 1") out.push_back(item);
  return out;
}

// The restarts that follow the balloon: the moments of "timer1 0".
std::vector<long long> RestartTimes(const std::vector<Line>& log) {
  std::vector<long long> times;
  for (const Line& line : log)
    if (line.text == "timer1 0") times.push_back(line.ms);
  return times;
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

class RandomRun {
 public:
  // Every spin a hit, every song track 30 s long, so that a show with its lead-in, the balloon
  // and the next spin cycle takes about 40 s.
  std::vector<Line> Run(std::uint32_t seed, const std::string& settings, long long until_ms,
                        const std::vector<std::string>& actions = {}) {
    std::vector<std::string> args = TrackArgs({"tell.res=30000", "bgm.res=30000", "fun.res=30000", "rad.res=30000"});
    for (const std::string& action : actions) args.insert(args.end(), {"--at", action});
    return Parse(runs_.RunAll(settings, seed, until_ms, args, {"/v"}));
  }

 private:
  SimRuns runs_;
};

RandomRun& Runner() {
  static RandomRun runner;
  return runner;
}

const std::string kRandomOn = "[mode]\r\nrandom=1\r\n";  // "mode" missing: ウィリアムテル (2)

// Checks the songs of the shows and the picks of the restarts against the predicted picks:
// show k plays picks[k]; the restart after show k checks picks[k + 1].
void ExpectPicks(const std::vector<Line>& log, const std::vector<Pick>& picks, std::size_t min_shows) {
  const auto shows = Shows(log);
  const auto restarts = RestartTimes(log);
  ASSERT_GE(shows.size(), min_shows);
  ASSERT_GE(restarts.size(), min_shows - 1);
  for (std::size_t k = 0; k < shows.size() && k < picks.size(); ++k) {
    SCOPED_TRACE("show " + std::to_string(k + 1) + " at " + std::to_string(shows[k].hit_ms) + " ms");
    EXPECT_EQ(SongName(SongOf(shows[k])), SongName(picks[k].song)) << shows[k].sub_step_5;
    if (k < restarts.size()) {
      EXPECT_LT(shows[k].hit_ms, restarts[k]);
      if (k + 1 < shows.size()) {
        EXPECT_LT(restarts[k], shows[k + 1].hit_ms);
      }
      if (k + 1 < picks.size()) {
        const auto at_restart = LinesAt(log, restarts[k]);
        EXPECT_EQ(SongChecks(at_restart), std::vector<std::string>{SongName(picks[k + 1].song)});
        EXPECT_NE(std::find(at_restart.begin(), at_restart.end(), "visible N9 1"), at_restart.end());
      }
    }
  }
}

// The first seed whose picks (from the given song) satisfy `wanted`.
template <typename Wanted>
std::uint32_t SeedWhere(int start_song, int shows, Wanted wanted) {
  return FirstSeed([&](std::uint32_t seed) { return wanted(ModelPicks(seed, start_song, shows)); }, 100000);
}

// ---------------------------------------------------------------------------------------------

TEST(RandomMode, SettingsFileRandomOnPicksAtStartUpAndAtTheEndOfEveryShow) {
  // Six shows that bring all five songs and at least one pick that had to draw again.
  constexpr int kShows = 6;
  const std::uint32_t seed = SeedWhere(kTell, kShows, [](const std::vector<Pick>& picks) {
    std::set<int> songs;
    bool redrawn = false;
    for (const Pick& pick : picks) {
      songs.insert(pick.song);
      redrawn = redrawn || pick.draws > 1;
    }
    return songs.size() == 5 && redrawn;
  });
  SCOPED_TRACE("seed " + std::to_string(seed));
  const auto picks = ModelPicks(seed, kTell, kShows);
  const auto log = Runner().Run(seed, kRandomOn, 6 * 45000);
  // The start-up pick comes right after the settings file's mode, with random mode checked.
  const auto start = LinesAt(log, 0);
  EXPECT_EQ(SongChecks(start), (std::vector<std::string>{"iwill", SongName(picks[0].song)}));
  EXPECT_NE(std::find(start.begin(), start.end(), "check iran 1"), start.end());
  ExpectPicks(log, picks, kShows);
}

TEST(RandomMode, ThirdDrawIsKeptEvenWhenItIsTheCurrentSong) {
  // A restart whose three draws all give the song just danced: the same song again.
  constexpr int kShows = 4;
  const std::uint32_t seed = SeedWhere(kTell, kShows, [](const std::vector<Pick>& picks) {
    for (std::size_t k = 1; k < picks.size(); ++k)
      if (picks[k].song == picks[k - 1].song) return true;
    return false;
  });
  SCOPED_TRACE("seed " + std::to_string(seed));
  const auto picks = ModelPicks(seed, kTell, kShows);
  ExpectPicks(Runner().Run(seed, kRandomOn, kShows * 45000), picks, kShows);
}

TEST(RandomMode, RandomCommandTurnsItOnAndPicksAtOnceAndAfterEveryShow) {
  // "ラデッキー行進曲" from the settings file, random mode off; "ランダム" at 1 s, before the
  // first stop of the reels (no draw has been made yet): the restart picks a song other than 4.
  constexpr int kShows = 3;
  const std::uint32_t seed = 11;
  const auto picks = ModelPicks(seed, kRadetzky, kShows);
  const auto log = Runner().Run(seed, "[mode]\r\nmode=4\r\n", kShows * 45000 + 2000, {"1000:asetran"});
  const auto at_command = LinesAt(log, 1000);
  ASSERT_FALSE(at_command.empty());
  EXPECT_EQ(at_command.front(), "check iran 1");
  EXPECT_EQ(SongChecks(at_command), std::vector<std::string>{SongName(picks[0].song)});
  EXPECT_NE(std::find(at_command.begin(), at_command.end(), "enabled 1"), at_command.end());
  EXPECT_TRUE(SongChecks(LinesAt(log, 0)) == std::vector<std::string>{"irad2"});
  const auto shows = Shows(log);
  ASSERT_FALSE(shows.empty());
  EXPECT_EQ(shows.front().hit_ms, 1000 + 7 * 405);  // the restart at 1 s starts a new cycle
  ExpectPicks(log, picks, kShows);
}

TEST(RandomMode, SongChosenByHandIsKeptForTheRestartThatFollowsThenPicksResume) {
  // The start-up pick is not William Tell; at 1 s the user chooses William Tell. The command's
  // restart keeps it (no draw), the next show is William Tell, and the restart at its end picks
  // again from William Tell.
  const std::uint32_t seed =
      SeedWhere(kTell, 1, [](const std::vector<Pick>& picks) { return picks[0].song != kTell; });
  SCOPED_TRACE("seed " + std::to_string(seed));
  ModelRandom random(seed);
  const Pick at_start = RandomPick(random, kTell);
  DrawForcedHit(random);  // the William Tell show
  const Pick after_tell = RandomPick(random, kTell);
  DrawForcedHit(random);
  const Pick after_that = RandomPick(random, after_tell.song);

  const auto log = Runner().Run(seed, kRandomOn, 3 * 45000 + 2000, {"1000:asetwil"});
  EXPECT_EQ(SongChecks(LinesAt(log, 0)), (std::vector<std::string>{"iwill", SongName(at_start.song)}));
  const auto at_command = LinesAt(log, 1000);
  EXPECT_EQ(SongChecks(at_command), std::vector<std::string>{"iwill"});  // no pick in its restart
  EXPECT_NE(std::find(at_command.begin(), at_command.end(), "caption 停止"), at_command.end());
  EXPECT_NE(std::find(at_command.begin(), at_command.end(), "enabled 1"), at_command.end());

  const auto shows = Shows(log);
  const auto restarts = RestartTimes(log);
  ASSERT_GE(shows.size(), 3u);
  ASSERT_GE(restarts.size(), 2u);
  EXPECT_EQ(shows[0].hit_ms, 1000 + 7 * 405);
  EXPECT_EQ(SongName(SongOf(shows[0])), "iwill");
  EXPECT_EQ(SongChecks(LinesAt(log, restarts[0])), std::vector<std::string>{SongName(after_tell.song)});
  EXPECT_EQ(SongName(SongOf(shows[1])), SongName(after_tell.song));
  EXPECT_EQ(SongChecks(LinesAt(log, restarts[1])), std::vector<std::string>{SongName(after_that.song)});
  EXPECT_EQ(SongName(SongOf(shows[2])), SongName(after_that.song));
}

// A line with its coordinates moved by (dx, dy) where it carries them.
std::string Shifted(const std::string& text, int dx, int dy) {
  std::istringstream in(text);
  std::string word;
  int a = 0, b = 0;
  in >> word >> a;
  if (word == "top") return "top " + std::to_string(a + dy);
  if (word == "left") return "left " + std::to_string(a + dx);
  if (word == "moveto") {
    in >> b;
    return "moveto " + std::to_string(a + dx) + " " + std::to_string(b + dy);
  }
  return text;
}

TEST(RandomMode, ArrowKeysDuringAPickedSongShowShiftEveryLaterMove) {
  // A picked Heaven and Hell ver. 2 show, whose moves are all MoveWindowTo; Up after its first
  // show beat, Left ten beats later. From each press on, every top and every move to a place is
  // 10 pixels higher, every left and every move 10 pixels further left: the rest of the show, its
  // end, the restart and the next show. Nothing else changes.
  const std::uint32_t seed =
      SeedWhere(kTell, 2, [](const std::vector<Pick>& picks) { return picks[0].song == kHeaven2; });
  SCOPED_TRACE("seed " + std::to_string(seed));
  const long long until = 2 * 45000;
  const auto plain = Runner().Run(seed, kRandomOn, until);
  const auto shows = Shows(plain);
  ASSERT_GE(shows.size(), 2u);
  ASSERT_EQ(SongOf(shows[0]), kHeaven2);

  std::vector<long long> show_beats;  // the beats of the first show
  for (const Line& line : plain)
    if (line.ms > shows[0].hit_ms && StartsWith(line.text, "beat ") && line.text.back() == '3')
      show_beats.push_back(line.ms);
  ASSERT_GT(show_beats.size(), 12u);
  const long long up_ms = show_beats[0] + 100;
  const long long left_ms = show_beats[10] + 100;
  ASSERT_LT(left_ms, show_beats[11]);

  std::vector<std::string> expected;
  bool up_done = false, left_done = false;
  int shifted = 0;
  for (const Line& line : plain) {
    if (!up_done && line.ms > up_ms) {
      expected.push_back(std::to_string(up_ms) + " top 642");
      up_done = true;
    }
    if (!left_done && line.ms > left_ms) {
      expected.push_back(std::to_string(left_ms) + " left 1020");
      left_done = true;
    }
    const int dx = line.ms > left_ms ? -10 : 0;
    const int dy = line.ms > up_ms ? -10 : 0;
    std::string text = line.text;
    if (IsMove(text) && (dx != 0 || dy != 0)) {
      const std::string moved = Shifted(text, dx, dy);
      if (moved != text) ++shifted;
      text = moved;
    }
    expected.push_back(std::to_string(line.ms) + " " + text);
  }
  EXPECT_GT(shifted, 50);  // the rest of the show moves the window often

  const auto keyed = Runner().Run(seed, kRandomOn, until,
                                  {std::to_string(up_ms) + ":aup", std::to_string(left_ms) + ":aleft"});
  std::vector<std::string> seen;
  for (const Line& line : keyed) seen.push_back(std::to_string(line.ms) + " " + line.text);
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], expected[i]) << "line " << i;
}

}  // namespace
}  // namespace zumbolo
