#pragma once
// mgraph, the music player component of the main window: one track at a time through the
// platform's media graph. Without a graph (Active false) every operation quietly does nothing.

#include <cstdint>
#include <filesystem>

#include "ports/media_graph.h"
#include "ports/trace.h"

namespace zumbolo {

constexpr std::int64_t kCueStart = 100000;    // 10 ms, where the spin sound is replayed from
constexpr std::int64_t kLoopStart = 9840000;  // 0.984 s, where the background music loops to

class TMGraph {
 public:
  TMGraph(MediaGraph& graph, Trace& trace, MediaEvents& events)
      : graph_(graph), trace_(trace), events_(events) {}
  ~TMGraph();
  TMGraph(const TMGraph&) = delete;
  TMGraph& operator=(const TMGraph&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value);

  void RenderTrack(const std::filesystem::path& file);
  void Play();
  bool Stop();  // true only when the graph stopped at once
  PlayerState State();
  void EmptyGraph();
  void SeekTo(std::int64_t position);  // 100 ns units
  // Hundredths of a decibel (kFullVolume .. kSilentVolume), kept for every track to come.
  long Volume() const { return volume_; }
  void SetVolume(long volume);

 private:
  MediaGraph& graph_;
  Trace& trace_;
  MediaEvents& events_;
  bool active_ = false;
  long volume_ = kFullVolume;
};

}  // namespace zumbolo
