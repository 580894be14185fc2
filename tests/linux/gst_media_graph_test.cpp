// The GStreamer media graph with a sink that keeps time but makes no sound ("fakesink
// sync=true"): what the engine relies on of a DirectShow graph, in real time. The margins are
// wide on purpose; the sink itself ends a track to the millisecond.

#include "platform/qt/gst/gst_media_graph.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/common/event_loop.h"
#include "sound/mgraph.h"

namespace zumbolo {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

const std::filesystem::path kTracks = std::filesystem::path(ZUMBOLO_SOURCE_DIR) / "assets" / "tracks";
const std::filesystem::path kKokab = kTracks / "kokab.mp3";

// kokab: 86 frames of 1152 samples at 44.1 kHz.
constexpr double kKokabSeconds = 2.247;
// Positions in 100 ns units, and what they are in seconds.
constexpr double kCueStartSeconds = 0.010;   // kCueStart
constexpr double kLoopStartSeconds = 0.984;  // kLoopStart
constexpr std::int64_t kNearTheEnd = 22000000;  // 2.2 s, a few ms before kokab ends

// When an end of stream may arrive around the moment expected: a little early (the decoder
// trims the encoder's padding) or rather late (a busy machine).
constexpr double kEarly = 0.25;
constexpr double kLate = 0.45;

class Recorder : public MediaEvents {
 public:
  void GraphComplete() override { completes.push_back(Clock::now()); }
  // The event of a completed pause: the graph is never paused (a stop is no pause), so it never
  // comes.
  void GraphPaused() override { ADD_FAILURE() << "a pause event"; }

  std::vector<Clock::time_point> completes;
};

double Since(Clock::time_point from, Clock::time_point to) { return Seconds(to - from).count(); }

class GstMediaGraphTest : public ::testing::Test {
 protected:
  void SetUp() override { graph.Create(events); }

  // Runs the user-interface thread until `done` holds, for at most `seconds`.
  bool RunUntil(const std::function<bool()>& done, double seconds) {
    return loop.RunUntil(done, Clock::now() + std::chrono::duration_cast<Clock::duration>(Seconds(seconds)));
  }
  void Idle(double seconds) { RunUntil(nullptr, seconds); }
  bool WaitForCompletes(std::size_t count, double seconds) {
    return RunUntil([&] { return events.completes.size() >= count; }, seconds);
  }
  // The UI thread busy elsewhere: whatever the graph posts meanwhile waits in the queue.
  static void Busy(double seconds) { std::this_thread::sleep_for(Seconds(seconds)); }

  EventLoop loop;  // the user-interface thread; outlives the graph
  Recorder events;
  GstMediaGraph graph{loop, "fakesink sync=true"};
};

#define EXPECT_ENDS_AFTER(seconds, expected)    \
  do {                                          \
    EXPECT_GT((seconds), (expected) - kEarly);  \
    EXPECT_LT((seconds), (expected) + kLate);   \
  } while (0)

TEST_F(GstMediaGraphTest, EndOfStreamLeavesTheGraphRunningUntilASeekPlaysOn) {
  graph.RenderFile(kKokab);
  EXPECT_EQ(graph.State(), psStopped);

  const Clock::time_point run = Clock::now();
  graph.Run();
  EXPECT_EQ(graph.State(), psPlaying);
  ASSERT_TRUE(WaitForCompletes(1, 4.0));
  EXPECT_ENDS_AFTER(Since(run, events.completes[0]), kKokabSeconds);
  RecordProperty("end_after_run_s", std::to_string(Since(run, events.completes[0])));

  // At its end the graph still runs, and running it again changes nothing.
  EXPECT_EQ(graph.State(), psPlaying);
  graph.Run();
  Idle(0.3);
  EXPECT_EQ(events.completes.size(), 1u);
  EXPECT_EQ(graph.State(), psPlaying);

  // A seek plays on from there, to a second end.
  const Clock::time_point seek = Clock::now();
  graph.SetPosition(kCueStart);
  EXPECT_EQ(graph.State(), psPlaying);
  ASSERT_TRUE(WaitForCompletes(2, 4.0));
  EXPECT_ENDS_AFTER(Since(seek, events.completes[1]), kKokabSeconds - kCueStartSeconds);
  RecordProperty("end_after_seek_s", std::to_string(Since(seek, events.completes[1])));

  // An end that was still waiting for the UI thread when a seek came belongs to what the seek
  // cut off: only the end after the seek is reported.
  graph.SetPosition(kNearTheEnd);
  Busy(0.3);
  graph.SetPosition(kNearTheEnd);
  Idle(0.3);
  EXPECT_EQ(events.completes.size(), 3u);
}

// A stop raises no event: the pause event is for a pause, which the program never asks for.
TEST_F(GstMediaGraphTest, StopKeepsThePositionAndRaisesNoEvent) {
  graph.RenderFile(kKokab);
  const Clock::time_point run = Clock::now();
  graph.Run();
  Idle(1.0);
  EXPECT_TRUE(graph.Stop());
  const double played = Since(run, Clock::now());
  EXPECT_EQ(graph.State(), psStopped);

  Idle(1.5);  // stopped for longer than what is left of it: it does not reach its end
  EXPECT_TRUE(events.completes.empty());

  const Clock::time_point resume = Clock::now();
  graph.Run();
  EXPECT_EQ(graph.State(), psPlaying);
  ASSERT_TRUE(WaitForCompletes(1, 3.0));
  EXPECT_ENDS_AFTER(Since(resume, events.completes[0]), kKokabSeconds - played);
  RecordProperty("played_before_stop_s", std::to_string(played));
  RecordProperty("end_after_resume_s", std::to_string(Since(resume, events.completes[0])));
}

// Two stops in the middle add up; a seek after a stop in the middle wins over where it stopped.
TEST_F(GstMediaGraphTest, StopsInTheMiddleAddUpAndASeekAfterOneWins) {
  graph.RenderFile(kKokab);
  graph.Run();
  Idle(0.6);
  EXPECT_TRUE(graph.Stop());
  Idle(0.3);
  graph.Run();
  Idle(0.6);
  EXPECT_TRUE(graph.Stop());
  Idle(0.3);
  const Clock::time_point resume = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(1, 3.0));
  // 0.6 s and 0.6 s played before: about 1.05 s left. A resume from the start would leave 2.25 s
  // and a lost resume point ends at once.
  EXPECT_NEAR(Since(resume, events.completes[0]), kKokabSeconds - 1.2, 0.15);
  RecordProperty("end_after_second_resume_s", std::to_string(Since(resume, events.completes[0])));

  graph.SetPosition(kCueStart);
  ASSERT_TRUE(WaitForCompletes(2, 4.0));
  Idle(0.1);
  EXPECT_TRUE(graph.Stop());  // at the end: nothing to resume
  graph.SetPosition(kCueStart);
  graph.Run();
  Idle(0.5);
  EXPECT_TRUE(graph.Stop());  // in the middle, and then sought
  graph.SetPosition(kLoopStart);
  const Clock::time_point run = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(3, 3.0));
  EXPECT_NEAR(Since(run, events.completes[2]), kKokabSeconds - kLoopStartSeconds, 0.15);
  Idle(0.3);
  EXPECT_EQ(events.completes.size(), 3u);
}

// The spin sound's replay: stopped at its end, sought to the cue and run again in one go.
TEST_F(GstMediaGraphTest, AStopAtTheEndASeekAndARunPlayAgainFromTheSeek) {
  graph.RenderFile(kKokab);
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(1, 4.0));

  EXPECT_TRUE(graph.Stop());
  EXPECT_EQ(graph.State(), psStopped);
  const Clock::time_point replay = Clock::now();
  graph.SetPosition(kCueStart);
  graph.Run();
  EXPECT_EQ(graph.State(), psPlaying);
  ASSERT_TRUE(WaitForCompletes(2, 4.0));
  EXPECT_ENDS_AFTER(Since(replay, events.completes[1]), kKokabSeconds - kCueStartSeconds);

  // And once more, as every spin does.
  EXPECT_TRUE(graph.Stop());
  const Clock::time_point again = Clock::now();
  graph.SetPosition(kCueStart);
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(3, 4.0));
  EXPECT_ENDS_AFTER(Since(again, events.completes[2]), kKokabSeconds - kCueStartSeconds);
  Idle(0.3);
  EXPECT_EQ(events.completes.size(), 3u);
}

TEST_F(GstMediaGraphTest, AStopAtTheEndStaysStoppedThroughASeekUntilTheNextRun) {
  graph.RenderFile(kKokab);
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(1, 4.0));

  // Stopped and run again at the end, with no seek between: no second end.
  EXPECT_TRUE(graph.Stop());
  graph.Run();
  Idle(0.4);
  EXPECT_EQ(events.completes.size(), 1u);

  // Stopped and sought, and the handler returns: still stopped, silent, where the seek went.
  EXPECT_TRUE(graph.Stop());
  graph.SetPosition(kLoopStart);
  Idle(kKokabSeconds);
  EXPECT_EQ(graph.State(), psStopped);
  EXPECT_EQ(events.completes.size(), 1u);
  EXPECT_TRUE(graph.Stop());

  const Clock::time_point run = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(2, 4.0));
  EXPECT_ENDS_AFTER(Since(run, events.completes[1]), kKokabSeconds - kLoopStartSeconds);
}

TEST_F(GstMediaGraphTest, SeekWhileStoppedSetsWhereTheNextRunStarts) {
  graph.RenderFile(kKokab);
  const Clock::time_point run = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(1, 4.0));
  const double from_start = Since(run, events.completes[0]);

  // Stopped at the end and run again there, the track has no second end.
  EXPECT_TRUE(graph.Stop());
  graph.Run();
  Idle(0.3);
  EXPECT_EQ(events.completes.size(), 1u);
  EXPECT_EQ(graph.State(), psPlaying);
  EXPECT_TRUE(graph.Stop());

  graph.SetPosition(kLoopStart);
  EXPECT_EQ(graph.State(), psStopped);
  Idle(0.2);
  EXPECT_EQ(events.completes.size(), 1u);

  const Clock::time_point rerun = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(2, 3.0));
  const double from_loop_start = Since(rerun, events.completes[1]);
  EXPECT_ENDS_AFTER(from_loop_start, kKokabSeconds - kLoopStartSeconds);
  // Against the run from the start, the seek skipped the loop start's 0.984 s.
  EXPECT_NEAR(from_start - from_loop_start, kLoopStartSeconds, 0.1);
  RecordProperty("end_from_start_s", std::to_string(from_start));
  RecordProperty("end_from_loop_start_s", std::to_string(from_loop_start));
}

// The show music is too long to be held in memory: it plays from its file, with the same rules.
TEST_F(GstMediaGraphTest, ALongTrackPlaysFromItsFileByTheSameRules) {
  const std::filesystem::path tell = kTracks / "tell.mp3";
  constexpr double kTellSeconds = 8021 * 1152 / 44100.0;
  constexpr auto At = [](double seconds) { return static_cast<std::int64_t>(seconds * 1e7); };
  graph.RenderFile(tell);
  EXPECT_EQ(graph.State(), psStopped);

  graph.SetPosition(At(kTellSeconds - 1.5));
  const Clock::time_point run = Clock::now();
  graph.Run();
  ASSERT_TRUE(WaitForCompletes(1, 4.0));
  EXPECT_ENDS_AFTER(Since(run, events.completes[0]), 1.5);
  EXPECT_EQ(graph.State(), psPlaying);

  const Clock::time_point seek = Clock::now();
  graph.SetPosition(At(kTellSeconds - 1.0));
  ASSERT_TRUE(WaitForCompletes(2, 4.0));
  EXPECT_ENDS_AFTER(Since(seek, events.completes[1]), 1.0);

  EXPECT_TRUE(graph.Stop());
  EXPECT_EQ(graph.State(), psStopped);
  Idle(0.3);
}

// A short Ogg file with pictures and no sound; false when GStreamer cannot make it.
bool WriteSilentVideo(const std::filesystem::path& file) {
  gst_init(nullptr, nullptr);
  const std::string description =
      "videotestsrc num-buffers=10 ! theoraenc ! oggmux ! filesink location=\"" + file.string() + "\"";
  GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
  if (!pipeline) return false;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool written = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return written;
}

std::string RenderError(GstMediaGraph& graph, const std::filesystem::path& file) {
  try {
    graph.RenderFile(file);
  } catch (const MediaError& error) {
    return error.what()[0] ? error.what() : "(an empty message)";
  }
  return "";
}

TEST_F(GstMediaGraphTest, AFailedRenderThrowsAndLeavesNoTrack) {
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / ("zumbolo_gst_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(scratch);
  const std::filesystem::path text = scratch / "notes.res";
  std::ofstream(text) << "These are not the sounds you are looking for.\n";

  const std::filesystem::path video = scratch / "pictures.res";
  ASSERT_TRUE(WriteSilentVideo(video)) << "cannot make a video file (theoraenc, oggmux)";

  const std::vector<std::filesystem::path> bad = {
      kTracks / "no_such_track.mp3",
      text,
      std::filesystem::path(ZUMBOLO_SOURCE_DIR) / "assets" / "pictures" / "sparkle.bmp",
      video,  // plays, but has no sound
  };
  for (const auto& file : bad) {
    SCOPED_TRACE(file.string());
    // A track that is about to end is replaced by the failing one: it neither plays on nor ends.
    graph.RenderFile(kKokab);
    graph.SetPosition(kNearTheEnd);
    graph.Run();
    const std::string message = RenderError(graph, file);
    EXPECT_NE(message, "") << "no MediaError";
    EXPECT_NE(message, "(an empty message)");
    RecordProperty(file.filename().string(), message);
    // The graph stays, empty: it stops at once, and a run plays nothing.
    EXPECT_EQ(graph.State(), psStopped);
    EXPECT_TRUE(graph.Stop());
    graph.Run();
    EXPECT_EQ(graph.State(), psStopped);
    Idle(0.2);
    EXPECT_TRUE(events.completes.empty());
  }
  std::filesystem::remove_all(scratch);

  GstMediaGraph no_sink(loop, "no_such_audio_sink");
  no_sink.Create(events);
  const std::string no_sink_message = RenderError(no_sink, kKokab);
  EXPECT_NE(no_sink_message, "");
  RecordProperty("no_such_audio_sink", no_sink_message);
  EXPECT_EQ(no_sink.State(), psStopped);
}

TEST_F(GstMediaGraphTest, NoEventsAfterRemoveAllOrRelease) {
  // The end of a track comes while the UI thread is busy, and waits for it.
  graph.RenderFile(kKokab);
  graph.SetPosition(kNearTheEnd);
  graph.Run();
  Busy(0.3);
  Idle(0.1);
  ASSERT_EQ(events.completes.size(), 1u);

  // The same, emptied before the UI thread gets to it: the end is not reported. The emptied graph
  // is still there: it stops at once (a load stops and empties, then renders), and a Run on it
  // does nothing.
  graph.RenderFile(kKokab);
  graph.SetPosition(kNearTheEnd);
  graph.Run();
  Busy(0.3);
  graph.RemoveAll();
  EXPECT_EQ(graph.State(), psStopped);
  EXPECT_TRUE(graph.Stop());
  graph.Run();
  EXPECT_EQ(graph.State(), psStopped);
  Idle(0.5);
  EXPECT_EQ(events.completes.size(), 1u);

  // Released with an end waiting: it is not reported, and the released graph does not stop.
  graph.RenderFile(kKokab);
  graph.SetPosition(kNearTheEnd);
  graph.Run();
  Busy(0.3);
  EXPECT_TRUE(graph.Stop());
  graph.Release();
  EXPECT_FALSE(graph.Stop());
  Idle(0.5);
  EXPECT_EQ(events.completes.size(), 1u);

  // Created again, the graph reports to its new listener only.
  Recorder again;
  graph.Create(again);
  graph.RenderFile(kKokab);
  graph.SetPosition(kNearTheEnd);
  graph.Run();
  EXPECT_TRUE(RunUntil([&] { return !again.completes.empty(); }, 1.0));
  EXPECT_EQ(events.completes.size(), 1u);
  graph.Release();
}

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// The program loads a track at every show and every stop, all day: once GStreamer has set itself
// up in the first loads, a load costs no descriptor (nor the memory of the pipeline it replaces).
TEST_F(GstMediaGraphTest, LoadAfterLoadHoldsNoMoreDescriptors) {
  // From memory, from the file (which stays open while it plays), from memory.
  const std::filesystem::path tracks[] = {kKokab, kTracks / "tell.mp3", kTracks / "eye.mp3"};
  constexpr int kLoads = 15;
  int after_first_round = 0;
  for (int load = 0; load < kLoads; ++load) {
    if (graph.Stop()) graph.RemoveAll();  // as a load does
    graph.RenderFile(tracks[load % 3]);
    graph.SetPosition(kCueStart);
    graph.Run();
    Idle(0.1);
    EXPECT_TRUE(graph.Stop());
    if (load == 2) after_first_round = OpenDescriptors();
  }
  EXPECT_EQ(OpenDescriptors(), after_first_round) << "descriptors after load 3 and after load " << kLoads;
}

}  // namespace
}  // namespace zumbolo
