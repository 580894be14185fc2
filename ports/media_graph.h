#pragma once
// The platform's media graph: it plays one track file at a time. Positions are in 100 ns units.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zumbolo {

enum PlayerState { psUninitialized = 0, psStopped = 1, psPaused = 2, psPlaying = 3 };

// A media-graph call that failed. what() is the text for the error box; code() the system's result.
class MediaError : public std::runtime_error {
 public:
  MediaError(const std::string& text, long code) : std::runtime_error(text), code_(code) {}
  long code() const { return code_; }

 private:
  long code_;
};

// The graph's events, delivered on the user-interface thread.
class MediaEvents {
 public:
  virtual ~MediaEvents() = default;
  virtual void GraphComplete() = 0;  // the stream reached its end (the graph stays running)
  virtual void GraphPaused() = 0;    // a pause has completed
};

class MediaGraph {
 public:
  virtual ~MediaGraph() = default;

  virtual void Create(MediaEvents& events) = 0;  // an empty graph; events flow from now on
  virtual void Release() = 0;                    // events off, graph released
  // Builds the file into the graph, stopped at position 0. Throws MediaError.
  virtual void RenderFile(const std::filesystem::path& file) = 0;
  virtual void Run() = 0;  // plays on from the current position; throws MediaError
  // Stops, keeping the position; true only when the graph stopped at once. Throws MediaError.
  virtual bool Stop() = 0;
  virtual PlayerState State() = 0;
  virtual void RemoveAll() = 0;  // stops and takes every filter out of the graph; throws MediaError
  virtual void SetPosition(std::int64_t position) = 0;  // the stop position stays; never throws
  // The volume in hundredths of a decibel, 0 for full volume down to kSilentVolume, which is
  // silence. It applies at once to the track in the graph, playing or not, and to every track
  // rendered after; a new graph starts at full volume. Never throws.
  virtual void SetVolume(long volume) = 0;
};

constexpr long kFullVolume = 0;
constexpr long kSilentVolume = -10000;

}  // namespace zumbolo
