#include "sound/mgraph.h"

namespace zumbolo {

TMGraph::~TMGraph() {
  if (active_) graph_.Release();
}

void TMGraph::SetActive(bool value) {
  trace_("player", "active", value);
  if (value == active_) return;
  if (value) {
    graph_.Create(events_);
    if (volume_ != kFullVolume) graph_.SetVolume(volume_);  // a new graph starts at full volume
  } else {
    graph_.Release();
  }
  active_ = value;
}

void TMGraph::RenderTrack(const std::filesystem::path& file) {
  trace_("player", "render", file.filename().string());
  if (active_) graph_.RenderFile(file);
}

void TMGraph::Play() {
  trace_("player", "play");
  if (active_) graph_.Run();
}

bool TMGraph::Stop() {
  trace_("player", "stop");
  return active_ && graph_.Stop();
}

PlayerState TMGraph::State() { return active_ ? graph_.State() : psUninitialized; }

void TMGraph::EmptyGraph() {
  trace_("player", "empty");
  if (active_) graph_.RemoveAll();
}

void TMGraph::SetVolume(long volume) {
  trace_("player", "volume", volume);
  volume_ = volume;
  if (active_) graph_.SetVolume(volume);
}

void TMGraph::SeekTo(std::int64_t position) {
  trace_("player", "seek", position);
  if (active_) graph_.SetPosition(position);
}

}  // namespace zumbolo
