#include "platform/win32/directshow_graph.h"

#include <dshow.h>
#include <evcode.h>

#include <vector>

#include "platform/win32/directshow_error.h"

namespace zumbolo::win32 {

namespace {

constexpr long kCentre = 0;

// The event's parameters are given back however its handler ends.
class EventParams {
 public:
  EventParams(IMediaEventEx& events, long code, LONG_PTR first, LONG_PTR second)
      : events_(events), code_(code), first_(first), second_(second) {}
  ~EventParams() { events_.FreeEventParams(code_, first_, second_); }
  EventParams(const EventParams&) = delete;
  EventParams& operator=(const EventParams&) = delete;

 private:
  IMediaEventEx& events_;
  long code_;
  LONG_PTR first_;
  LONG_PTR second_;
};

std::vector<ComPtr<IBaseFilter>> FiltersOf(IFilterGraph2& graph) {
  std::vector<ComPtr<IBaseFilter>> filters;
  ComPtr<IEnumFilters> all;
  Check(graph.EnumFilters(all.put()));
  ComPtr<IBaseFilter> filter;
  while (all->Next(1, filter.put(), nullptr) == S_OK) filters.push_back(filter);
  return filters;
}

}  // namespace

DirectShowGraph::DirectShowGraph(HWND owner) { CreateHidden(L"TMGraphWindow", owner); }

DirectShowGraph::~DirectShowGraph() { Release(); }

void DirectShowGraph::Create(MediaEvents& events) {
  events_ = &events;
  volume_ = kFullVolume;
  ComPtr<IFilterGraph2> graph;
  // Without the system's filter graph the player stays silent: every operation does nothing.
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                              graph.put_void()))) {
    return;
  }
  graph_ = graph;
  control_ = graph.As<IMediaControl>(IID_IMediaControl);
  seeking_ = graph.As<IMediaSeeking>(IID_IMediaSeeking);
  event_ = graph.As<IMediaEventEx>(IID_IMediaEventEx);
  audio_ = graph.As<IBasicAudio>(IID_IBasicAudio);
  if (event_) {
    event_->SetNotifyFlags(0);
    event_->SetNotifyWindow(reinterpret_cast<OAHWND>(hwnd()), WM_GRAPHNOTIFY, 0);
  }
}

void DirectShowGraph::Release() {
  if (event_) {
    event_->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
    event_->SetNotifyWindow(0, 0, 0);
  }
  audio_.reset();
  event_.reset();
  seeking_.reset();
  control_.reset();
  graph_.reset();
  events_ = nullptr;
}

void DirectShowGraph::RenderFile(const std::filesystem::path& file) {
  if (!graph_) return;
  Check(graph_->RenderFile(file.wstring().c_str(), nullptr));
  if (audio_) {
    Check(audio_->put_Volume(volume_));
    Check(audio_->put_Balance(kCentre));
  }
  if (seeking_) Check(seeking_->SetRate(1.0));
}

void DirectShowGraph::Run() {
  if (control_) Check(control_->Run());
}

bool DirectShowGraph::Stop() {
  if (!control_) return false;
  return Check(control_->Stop()) == S_OK;  // S_FALSE: the stop is still under way
}

PlayerState DirectShowGraph::State() {
  if (!control_) return psUninitialized;
  OAFilterState state = 0;
  if (FAILED(control_->GetState(0, &state))) return psUninitialized;
  switch (state) {
    case State_Stopped: return psStopped;
    case State_Paused: return psPaused;
    case State_Running: return psPlaying;
    default: return psUninitialized;
  }
}

void DirectShowGraph::RemoveAll() {
  if (!graph_) return;
  Stop();
  // The enumeration is taken whole first: removing filters while enumerating invalidates it.
  const std::vector<ComPtr<IBaseFilter>> filters = FiltersOf(*graph_.get());
  for (const ComPtr<IBaseFilter>& filter : filters) DisconnectAndRemove(filter.get());
}

void DirectShowGraph::DisconnectAndRemove(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  Check(filter->EnumPins(pins.put()));
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.put(), nullptr) == S_OK) Check(pin->Disconnect());
  Check(graph_->RemoveFilter(filter));
}

void DirectShowGraph::SetVolume(long volume) {
  volume_ = volume;
  // At once for the track in the graph; without one (no audio renderer yet) the call fails, and
  // the next render sets it.
  if (audio_) audio_->put_Volume(volume_);
}

void DirectShowGraph::SetPosition(std::int64_t position) {
  if (!seeking_) return;
  LONGLONG current = position;
  LONGLONG stop = 0;
  seeking_->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning);
}

LRESULT DirectShowGraph::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_GRAPHNOTIFY) return Window::HandleMessage(message, wparam, lparam);
  return OnGraphNotify();
}

LRESULT DirectShowGraph::OnGraphNotify() {
  // The handlers may release the graph: the events are drained through references of their own.
  const ComPtr<IMediaEventEx> events = event_;
  if (!events) return 0;
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 0;
  while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
    const EventParams params(*events.get(), code, first, second);
    if (!events_) continue;
    if (code == EC_COMPLETE) {
      events_->GraphComplete();
    } else if (code == EC_PAUSED) {
      events_->GraphPaused();
    }
  }
  return 0;
}

}  // namespace zumbolo::win32
