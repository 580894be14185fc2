#pragma once
// The media graph on Windows: a DirectShow filter graph (CLSID_FilterGraph) that renders one
// track file at a time. Its events are posted as WM_GRAPHNOTIFY to the hidden window
// "TMGraphWindow" and drained there, on the user-interface thread.

#include <control.h>
#include <strmif.h>

#include "platform/win32/handles.h"
#include "platform/win32/window.h"
#include "ports/media_graph.h"

namespace zumbolo::win32 {

constexpr UINT WM_GRAPHNOTIFY = 0x8001;

class DirectShowGraph final : public Window, public MediaGraph {
 public:
  // COM must be initialised on this thread for as long as the graph lives.
  explicit DirectShowGraph(HWND owner);
  ~DirectShowGraph() override;

  void Create(MediaEvents& events) override;
  void Release() override;
  void RenderFile(const std::filesystem::path& file) override;
  void Run() override;
  bool Stop() override;
  PlayerState State() override;
  void RemoveAll() override;
  void SetPosition(std::int64_t position) override;
  void SetVolume(long volume) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  LRESULT OnGraphNotify();
  void DisconnectAndRemove(IBaseFilter* filter);

  MediaEvents* events_ = nullptr;
  ComPtr<IFilterGraph2> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaSeeking> seeking_;
  ComPtr<IMediaEventEx> event_;
  ComPtr<IBasicAudio> audio_;
  long volume_ = kFullVolume;  // hundredths of a decibel, as IBasicAudio takes it
};

}  // namespace zumbolo::win32
