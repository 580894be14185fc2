#include "platform/qt/gst/gst_media_graph.h"

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

namespace zumbolo {
namespace {

// How long a render may take to preroll, and how long Stop and a seek wait for their change.
constexpr GstClockTime kPrerollTimeout = 5 * GST_SECOND;
constexpr GstClockTime kPrerollStep = 50 * GST_MSECOND;
constexpr GstClockTime kChangeTimeout = 2 * GST_SECOND;
constexpr std::chrono::milliseconds kErrorGrace{500};

// Media positions are in 100 ns units.
constexpr GstClockTime kNsPerMediaUnit = 100;

bool InitGstreamer() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    GError* error = nullptr;
    ok = gst_init_check(nullptr, nullptr, &error);
    if (!ok) {
      std::fprintf(stderr, "zumbolo: GStreamer does not start: %s\n", error ? error->message : "no reason given");
    }
    if (error) g_error_free(error);
  });
  return ok;
}

struct ErrorText {
  std::string text;
  long code = 0;
};

ErrorText FromGError(const GError* error) {
  if (!error) return {};
  return {error->message ? error->message : "", error->code};
}

// What the engine hears of a pipeline's bus.
enum class BusNews { kEndOfStream, kPaused };

// The user-interface thread's side: read and written on that thread only, and shared with the
// closures posted to it so that a closure outliving the graph finds nothing to act on.
struct UiSide {
  MediaEvents* events = nullptr;
  std::uint64_t generation = 0;   // of the current pipeline; each teardown moves it on
  std::uint64_t epoch = 1;        // of the current stretch of play, see BusContext::epoch
  std::uint64_t ended_epoch = 0;  // the stretch whose end has been reported
};

// Shared between the UI thread and the pipeline's streaming threads, which run the bus's sync
// handler.
struct BusContext {
  UiThreadPoster* ui = nullptr;
  std::weak_ptr<UiSide> ui_side;
  GstElement* pipeline = nullptr;  // not a reference: the context goes before the pipeline
  std::uint64_t generation = 0;
  std::string file;
  // Moved on by every seek (before it is sent), so that an end of stream posted before the seek
  // is not taken for the end of what plays after it.
  std::atomic<std::uint64_t> epoch{1};
  std::atomic<bool> prerolled{false};
  std::atomic<bool> error_logged{false};
  std::mutex mutex;
  std::condition_variable error_posted;
  std::optional<ErrorText> first_error;  // guarded by mutex
};

void Deliver(const std::weak_ptr<UiSide>& weak, std::uint64_t generation, BusNews news, std::uint64_t epoch) {
  const std::shared_ptr<UiSide> side = weak.lock();
  if (!side || !side->events || side->generation != generation) return;
  if (news == BusNews::kPaused) {
    side->events->GraphPaused();
    return;
  }
  // An end from before the last seek is over and done with. And a graph that has reported its
  // end stays at it: running it again there (a stop and a run, no seek between) does not end it
  // a second time.
  if (epoch != side->epoch || epoch == side->ended_epoch) return;
  side->ended_epoch = epoch;
  side->events->GraphComplete();
}

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  BusContext& context = **static_cast<std::shared_ptr<BusContext>*>(data);
  std::optional<BusNews> news;
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      news = BusNews::kEndOfStream;
      break;
    case GST_MESSAGE_STATE_CHANGED:
      if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(context.pipeline)) {
        GstState old_state, new_state, pending;
        gst_message_parse_state_changed(message, &old_state, &new_state, &pending);
        // A completed pause of the whole pipeline, what Stop asks for. A seek while playing
        // shows as PAUSED -> PAUSED, a teardown as PLAYING -> PAUSED on its way to NULL, and the
        // preroll as READY -> PAUSED: none of them is a pause.
        if (old_state == GST_STATE_PLAYING && new_state == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING) {
          news = BusNews::kPaused;
        }
      }
      break;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(message, &error, &debug);
      {
        const std::lock_guard lock(context.mutex);
        if (!context.first_error) context.first_error = FromGError(error);
      }
      context.error_posted.notify_all();
      // A failing render reports its error to the caller; once the track plays, the engine has
      // no event for an error, so it is only logged, once per track.
      if (context.prerolled.load() && !context.error_logged.exchange(true)) {
        std::fprintf(stderr, "zumbolo: sound error in %s: %s (%s)\n", context.file.c_str(),
                     error && error->message ? error->message : "unknown", debug ? debug : "");
      }
      if (error) g_error_free(error);
      g_free(debug);
      break;
    }
    default:
      break;
  }
  if (news) {
    context.ui->Post([weak = context.ui_side, generation = context.generation, news = *news,
                      epoch = context.epoch.load()] { Deliver(weak, generation, news, epoch); });
  }
  // Nothing is kept on the bus: no one pops it.
  return GST_BUS_DROP;
}

void FreeContextHandle(gpointer data) { delete static_cast<std::shared_ptr<BusContext>*>(data); }

}  // namespace

struct GstMediaGraph::Impl {
  UiThreadPoster& ui;
  std::string sink;
  std::shared_ptr<UiSide> ui_side = std::make_shared<UiSide>();
  bool created = false;
  bool gst_ok = false;
  GstElement* pipeline = nullptr;
  std::shared_ptr<BusContext> context;
  bool running = false;  // Run was the last command: the graph "runs", also past its end

  Impl(UiThreadPoster& poster, std::string sink_description) : ui(poster), sink(std::move(sink_description)) {}

  // The error that made a state change fail. The pipeline may fail the change before the error
  // message reaches the bus, so it is given a moment to arrive.
  ErrorText TakeError(const std::string& fallback) {
    if (context) {
      std::unique_lock lock(context->mutex);
      context->error_posted.wait_for(lock, kErrorGrace, [this] { return context->first_error.has_value(); });
      if (context->first_error && !context->first_error->text.empty()) return *context->first_error;
    }
    return {fallback, 0};
  }

  // Waits for the pipeline's state change to settle; false when it failed or did not settle.
  bool Settle(GstClockTime timeout) {
    const GstStateChangeReturn result = gst_element_get_state(pipeline, nullptr, nullptr, timeout);
    return result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL;
  }

  void Teardown() {
    running = false;
    if (!pipeline) return;
    // Whatever the old pipeline has posted, or posts on its way down, is of no concern any more.
    ++ui_side->generation;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);  // frees the context's handle
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    pipeline = nullptr;
    context.reset();
  }

  void Render(const std::filesystem::path& file) {
    Teardown();
    const std::string name = file.string();
    if (!gst_ok) throw MediaError("GStreamer is not available to play " + name, 0);

    GError* error = nullptr;
    gchar* uri = gst_filename_to_uri(name.c_str(), &error);
    if (!uri) {
      const ErrorText text = FromGError(error);
      if (error) g_error_free(error);
      throw MediaError(text.text.empty() ? "Not a file name: " + name : text.text, text.code);
    }
    // The sink is a gst-launch description: "autoaudiosink", "fakesink sync=true" in tests.
    // A PulseAudio sink that provides the pipeline's clock holds back the end of stream by up to
    // 1.7 s when nothing else plays on it (a null sink, say); "pulsesink provide-clock=false"
    // ends on time.
    GstElement* sink_bin = gst_parse_bin_from_description(sink.c_str(), TRUE, &error);
    if (!sink_bin) {
      g_free(uri);
      const ErrorText text = FromGError(error);
      if (error) g_error_free(error);
      throw MediaError("The audio sink \"" + sink + "\" cannot be made: " + text.text, text.code);
    }
    if (error) {  // made, but not quite as described (an unknown property, say)
      std::fprintf(stderr, "zumbolo: audio sink \"%s\": %s\n", sink.c_str(), error->message);
      g_error_free(error);
      error = nullptr;
    }
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
      g_free(uri);
      gst_object_unref(gst_object_ref_sink(sink_bin));
      throw MediaError("GStreamer's playbin is missing (gstreamer1.0-plugins-base)", 0);
    }
    g_object_set(playbin, "uri", uri, "audio-sink", sink_bin, nullptr);
    g_free(uri);
    // Sound only: no video or subtitle branch is ever built.
    gst_util_set_object_arg(G_OBJECT(playbin), "flags", "audio+soft-volume");

    pipeline = playbin;
    context = std::make_shared<BusContext>();
    context->ui = &ui;
    context->ui_side = ui_side;
    context->pipeline = pipeline;
    context->generation = ui_side->generation;
    context->file = name;
    ui_side->epoch = context->epoch.load();
    ui_side->ended_epoch = 0;
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, OnBusMessage, new std::shared_ptr<BusContext>(context), FreeContextHandle);
    gst_object_unref(bus);

    // Preroll at position 0, synchronously: the track is there, or the render fails.
    const std::string fallback = "Cannot play " + name;
    bool ready = false;
    bool timed_out = false;
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) {
      for (GstClockTime waited = 0;; waited += kPrerollStep) {
        const GstStateChangeReturn result = gst_element_get_state(pipeline, nullptr, nullptr, kPrerollStep);
        if (result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL) {
          ready = true;
          break;
        }
        if (result == GST_STATE_CHANGE_FAILURE) break;
        {
          const std::lock_guard lock(context->mutex);
          if (context->first_error) break;
        }
        if (waited >= kPrerollTimeout) {
          timed_out = true;
          break;
        }
      }
    }
    ErrorText failure;
    if (ready) {
      gint audio_streams = 0;
      g_object_get(pipeline, "n-audio", &audio_streams, nullptr);
      if (audio_streams <= 0) failure = {"No sound in " + name, GST_STREAM_ERROR_WRONG_TYPE};
    } else {
      failure = TakeError(timed_out ? "Timed out opening " + name : fallback);
      // GStreamer's own words ("Resource not found.") do not say which file it was.
      if (failure.text.find(name) == std::string::npos) failure.text = name + ": " + failure.text;
    }
    if (!failure.text.empty()) {
      Teardown();
      throw MediaError(failure.text, failure.code);
    }
    context->prerolled = true;
  }
};

GstMediaGraph::GstMediaGraph(UiThreadPoster& ui, std::string sink)
    : impl_(std::make_unique<Impl>(ui, std::move(sink))) {}

GstMediaGraph::~GstMediaGraph() { Release(); }

void GstMediaGraph::Create(MediaEvents& events) {
  impl_->gst_ok = InitGstreamer();
  impl_->Teardown();
  impl_->ui_side->events = &events;
  impl_->created = true;
}

void GstMediaGraph::Release() {
  impl_->Teardown();
  impl_->ui_side->events = nullptr;
  ++impl_->ui_side->generation;
  impl_->created = false;
}

void GstMediaGraph::RenderFile(const std::filesystem::path& file) { impl_->Render(file); }

void GstMediaGraph::Run() {
  Impl& d = *impl_;
  // A running graph runs on, also past its end: only a seek makes it play again.
  if (!d.pipeline || d.running) return;
  if (gst_element_set_state(d.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot play " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  d.running = true;
}

bool GstMediaGraph::Stop() {
  Impl& d = *impl_;
  if (!d.pipeline) return false;
  d.running = false;
  // PAUSED keeps the position for the next Run.
  const GstStateChangeReturn result = gst_element_set_state(d.pipeline, GST_STATE_PAUSED);
  if (result == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot stop " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  if (result == GST_STATE_CHANGE_ASYNC) d.Settle(kChangeTimeout);
  return true;
}

PlayerState GstMediaGraph::State() {
  if (!impl_->created) return psUninitialized;
  return impl_->running ? psPlaying : psStopped;
}

void GstMediaGraph::RemoveAll() { impl_->Teardown(); }

void GstMediaGraph::SetPosition(std::int64_t position) {
  Impl& d = *impl_;
  if (!d.pipeline) return;
  const GstClockTime at = static_cast<GstClockTime>(std::max<std::int64_t>(position, 0)) * kNsPerMediaUnit;
  // The seek starts a new stretch of play with an end of its own.
  d.ui_side->epoch = ++d.context->epoch;
  const bool sent = gst_element_seek_simple(d.pipeline, GST_FORMAT_TIME,
                                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                            static_cast<gint64>(at));
  // The flush makes the pipeline preroll again; a running one then plays on from there by itself.
  if (sent) d.Settle(kChangeTimeout);
}

}  // namespace zumbolo
