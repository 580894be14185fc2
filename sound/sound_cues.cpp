// The sound cues of the main window, built on the player: the spin sound replayed by seeking,
// tracks loaded into the graph, the background music's loop.

#include "app/tform1.h"

namespace zumbolo {

namespace {

// MediaBusy is set for as long as a load is under way, and put back as it was however the load
// ends, so a failed load can never leave it set.
class BusyWhileLoading {
 public:
  explicit BusyWhileLoading(bool& busy) : busy_(busy), before_(busy) { busy_ = true; }
  ~BusyWhileLoading() { busy_ = before_; }
  BusyWhileLoading(const BusyWhileLoading&) = delete;
  BusyWhileLoading& operator=(const BusyWhileLoading&) = delete;

 private:
  bool& busy_;
  bool before_;
};

}  // namespace

void TForm1::RewindCue() {
  mgraph.Stop();
  mgraph.SeekTo(kCueStart);
}

void TForm1::ReplayCue() {
  RewindCue();
  mgraph.Play();
}

void TForm1::LoadTrack(std::string_view file) {
  if (mgraph.Stop()) mgraph.EmptyGraph();
  BusyWhileLoading busy(MediaBusy);
  if (!TrackWritten(file)) throw UnwrittenTrack(file);
  mgraph.RenderTrack(ExeDir / std::string(file));
  mgraph.SeekTo(0);
}

void TForm1::RewindLoop() {
  if (mgraph.Active()) mgraph.SeekTo(kLoopStart);
}

void TForm1::ResumeLoop() {
  if (!mgraph.Active()) return;
  RewindLoop();
  if (MMTimer1.Enabled() &&
      ((Checked(Item::N12) && dance.DanceState == dsSpin) || Checked(Item::ibgm))) {
    mgraph.Play();
  }
}

void TForm1::LoadStartTrack() {
  start_track_loops_ = BackgroundMusic();
  // A start track that could not be written is left out quietly: the figures spin without it.
  const char* const track = start_track_loops_ ? "spring.res" : "kokab.res";
  if (!TrackWritten(track)) return;
  mgraph.RenderTrack(ExeDir / track);
  if (start_track_loops_) {
    RewindLoop();
  } else {
    RewindCue();
  }
}

void TForm1::ReloadStartTrack() {
  // A start track that cannot be loaded is reported, and the command goes on without it.
  BusyWhileLoading busy(MediaBusy);
  Guarded([this] { LoadStartTrack(); });
}

void TForm1::FollowStartTrack() {
  // A random pick that leaves BGM mode, or a mode chosen while the beat is stopped, comes after
  // the start track was loaded: without this the spin cue would replay the background music, or
  // BGM mode would loop the spin sound.
  if (BackgroundMusic() == start_track_loops_) return;
  if (mgraph.State() == psPlaying) mgraph.Stop();
  mgraph.EmptyGraph();
  ReloadStartTrack();
}

}  // namespace zumbolo
