#pragma once
// The media graph of the Linux program, on GStreamer: one pipeline per track, its bus messages
// handed to the user-interface thread. A short track is decoded into memory when it is rendered
// and plays from there; a longer one plays from its file.

#include <memory>
#include <string>

#include "platform/common/event_loop.h"
#include "ports/media_graph.h"

namespace zumbolo {

class GstMediaGraph : public MediaGraph {
 public:
  // `sink` is a gst-launch description of the audio sink ("autoaudiosink", "fakesink sync=true").
  GstMediaGraph(UiThreadPoster& ui, std::string sink);
  ~GstMediaGraph() override;
  GstMediaGraph(const GstMediaGraph&) = delete;
  GstMediaGraph& operator=(const GstMediaGraph&) = delete;

  void Create(MediaEvents& events) override;
  void Release() override;
  void RenderFile(const std::filesystem::path& file) override;
  void Run() override;
  bool Stop() override;
  PlayerState State() override;
  void RemoveAll() override;
  void SetPosition(std::int64_t position) override;
  void SetVolume(long volume) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zumbolo
