#include "platform/qt/gst/gst_media_graph.h"

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/qt/gst/gst_owners.h"

namespace zumbolo {
namespace {

// How long a render may take to preroll, and how long Stop and a seek wait for their change.
constexpr GstClockTime kPrerollTimeout = 5 * GST_SECOND;
constexpr GstClockTime kPrerollStep = 50 * GST_MSECOND;
constexpr GstClockTime kChangeTimeout = 2 * GST_SECOND;
constexpr std::chrono::milliseconds kErrorGrace{500};

// Media positions are in 100 ns units.
constexpr GstClockTime kNsPerMediaUnit = 100;

// A short track (the spin sound, replayed every spin) is decoded once when it is rendered and
// then played from memory, so that a replay costs no reading and no decoding. Longer ones stream
// from their file. A file larger than kShortTrackFileBytes is not opened to find out, so that
// the show music is not opened twice: at any bit rate an MP3 file of ten seconds is smaller.
constexpr GstClockTime kShortTrackLimit = 10 * GST_SECOND;
constexpr std::uintmax_t kShortTrackFileBytes = 1024 * 1024;
constexpr GstClockTime kDecodeTimeout = 5 * GST_SECOND;
constexpr GstClockTime kDecodeStep = 100 * GST_MSECOND;

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
  UiThreadPoster* ui = nullptr;  // none for the decoder of a short track: it only reports errors
  std::weak_ptr<UiSide> ui_side;
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

// The end of a stream, on the user-interface thread. The engine hears nothing else of the bus: a
// stop is no pause (the pause event is for a pause, which the program never asks for), and
// errors go to the caller that made the pipeline change.
void DeliverEnd(const std::weak_ptr<UiSide>& weak, std::uint64_t generation, std::uint64_t epoch) {
  const std::shared_ptr<UiSide> side = weak.lock();
  if (!side || !side->events || side->generation != generation) return;
  // An end from before the last seek is over and done with. And a graph that has reported its
  // end stays at it: running it again there (a stop and a run, no seek between) does not end it
  // a second time.
  if (epoch != side->epoch || epoch == side->ended_epoch) return;
  side->ended_epoch = epoch;
  side->events->GraphComplete();
}

void NoteError(BusContext& context, GstMessage* message) {
  GError* error_out = nullptr;
  gchar* debug_out = nullptr;
  gst_message_parse_error(message, &error_out, &debug_out);
  const gst::Error error(error_out);
  const gst::Text debug(debug_out);
  {
    const std::lock_guard lock(context.mutex);
    if (!context.first_error) context.first_error = FromGError(error.get());
  }
  context.error_posted.notify_all();
  // A failing render reports its error to the caller; once the track plays, the engine has no
  // event for an error, so it is only logged, once per track.
  if (context.prerolled.load() && !context.error_logged.exchange(true)) {
    std::fprintf(stderr, "zumbolo: sound error in %s: %s (%s)\n", context.file.c_str(),
                 error && error->message ? error->message : "unknown", debug ? debug.get() : "");
  }
}

// Every message of the pipeline's bus, on the thread that posts it. Nothing is kept on the bus (no
// one pops it): a handler that drops a message owns it and must let it go.
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* posted, gpointer data) {
  const gst::Message message(posted);
  BusContext& context = **static_cast<std::shared_ptr<BusContext>*>(data);
  switch (GST_MESSAGE_TYPE(posted)) {
    case GST_MESSAGE_EOS:
      if (context.ui) {
        context.ui->Post([weak = context.ui_side, generation = context.generation, epoch = context.epoch.load()] {
          DeliverEnd(weak, generation, epoch);
        });
      }
      break;
    case GST_MESSAGE_ERROR:
      NoteError(context, posted);
      break;
    default:
      break;
  }
  return GST_BUS_DROP;
}

void FreeContextHandle(gpointer data) { delete static_cast<std::shared_ptr<BusContext>*>(data); }

// From now on the pipeline's bus messages go to `context`.
void Attach(GstElement* pipeline, const std::shared_ptr<BusContext>& context) {
  const gst::Ref<GstBus> bus(gst_element_get_bus(pipeline));
  gst_bus_set_sync_handler(bus.get(), OnBusMessage, new std::shared_ptr<BusContext>(context), FreeContextHandle);
}

// Stops a pipeline and lets it go; whatever it posts on its way down goes nowhere.
void Discard(GstElement* pipeline) {
  gst_element_set_state(pipeline, GST_STATE_NULL);
  const gst::Ref<GstBus> bus(gst_element_get_bus(pipeline));
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);  // frees the context's handle
  gst_object_unref(pipeline);
}

// A pipeline (or a playbin) of the graph's: discarded when its owner goes.
using Pipeline = std::unique_ptr<GstElement, gst::Freer<Discard>>;

// Takes a newly made pipeline, whose reference is still floating.
Pipeline Own(GstElement* made) { return Pipeline(GST_ELEMENT(gst_object_ref_sink(made))); }

using gst::LooseElement;

// The error that made a state change fail. The pipeline may fail the change before the error
// message reaches the bus, so it is given a moment to arrive.
ErrorText TakeError(BusContext& context, const std::string& fallback) {
  std::unique_lock lock(context.mutex);
  context.error_posted.wait_for(lock, kErrorGrace, [&context] { return context.first_error.has_value(); });
  if (context.first_error && !context.first_error->text.empty()) return *context.first_error;
  return {fallback, 0};
}

// Prerolls a pipeline at position 0, synchronously: what went wrong, or nothing.
ErrorText Preroll(GstElement* pipeline, BusContext& context, const std::string& name) {
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
        const std::lock_guard lock(context.mutex);
        if (context.first_error) break;
      }
      if (waited >= kPrerollTimeout) {
        timed_out = true;
        break;
      }
    }
  }
  if (ready) return {};
  ErrorText failure = TakeError(context, timed_out ? "Timed out opening " + name : "Cannot play " + name);
  // GStreamer's own words ("Resource not found.") do not say which file it was.
  if (failure.text.find(name) == std::string::npos) failure.text = name + ": " + failure.text;
  return failure;
}

// A prerolled playbin that found no sound in its file.
ErrorText CheckForSound(GstElement* playbin, const std::string& name) {
  gint audio_streams = 0;
  g_object_get(playbin, "n-audio", &audio_streams, nullptr);
  if (audio_streams <= 0) return {"No sound in " + name, GST_STREAM_ERROR_WRONG_TYPE};
  return {};
}

// A playbin for sound only, playing `uri` into `sink`, which it takes. Nothing but the sound is
// ever built: no video or subtitle branch, and no volume of its own (the program plays at full
// volume; playbin's software volume would also outlive every playbin, a few kilobytes each).
Pipeline MakePlaybin(const gchar* uri, LooseElement sink) {
  GstElement* made = gst_element_factory_make("playbin", nullptr);
  if (!made) throw MediaError("GStreamer's playbin is missing (gstreamer1.0-plugins-base)", 0);
  Pipeline playbin = Own(made);
  g_object_set(playbin.get(), "uri", uri, "audio-sink", sink.release(), nullptr);
  gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio");
  return playbin;
}

// The player's volume (hundredths of a decibel) as the amplitude factor of GStreamer's volume
// elements; the player's silence is 0.
gdouble LinearVolume(long volume) {
  if (volume <= kSilentVolume) return 0.0;
  return std::pow(10.0, static_cast<double>(volume) / 2000.0);
}

// ---- Short tracks, played from memory ----------------------------------------------------------

// A short track's sound, decoded once: 16-bit samples, interleaved, in the decoder's rate and
// channels. Shared by the pipeline's source and its signal handlers.
struct MemoryTrack {
  gst::Caps caps;
  gst::Memory samples;  // read-only; every buffer handed out is a share of it
  guint64 frames = 0;
  gint rate = 0;
  gsize frame_bytes = 0;
  // The next frame to hand out. Read and moved on by the streaming thread; set by a seek, which
  // runs while streaming is stopped.
  std::atomic<guint64> next_frame{0};

  GstClockTime TimeOf(guint64 frame) const { return gst_util_uint64_scale_int(frame, GST_SECOND, rate); }
};

MemoryTrack& TrackOf(gpointer data) { return **static_cast<std::shared_ptr<MemoryTrack>*>(data); }
void FreeTrackHandle(gpointer data, GClosure*) { delete static_cast<std::shared_ptr<MemoryTrack>*>(data); }

// The source asks for more, on its streaming thread: the rest of the track in one buffer, or the
// end. Each buffer costs the streaming thread a wake-up (a sink that keeps time waits for it), so
// a replay is one buffer; a stop in its middle takes the rest back by a seek (see HoldWhereStopped).
void OnNeedData(GstElement* source, guint, gpointer data) {
  MemoryTrack& track = TrackOf(data);
  const guint64 first = track.next_frame.load();
  GstFlowReturn ignored = GST_FLOW_OK;
  if (first >= track.frames) {
    g_signal_emit_by_name(source, "end-of-stream", &ignored);
    return;
  }
  const guint64 count = track.frames - first;
  track.next_frame = first + count;
  GstBuffer* buffer = gst_buffer_new();
  gst_buffer_append_memory(buffer, gst_memory_share(track.samples.get(), static_cast<gssize>(first * track.frame_bytes),
                                                    static_cast<gssize>(count * track.frame_bytes)));
  GST_BUFFER_PTS(buffer) = track.TimeOf(first);
  GST_BUFFER_DURATION(buffer) = track.TimeOf(first + count) - track.TimeOf(first);
  GST_BUFFER_OFFSET(buffer) = first;
  GST_BUFFER_OFFSET_END(buffer) = first + count;
  g_signal_emit_by_name(source, "push-buffer", buffer, &ignored);  // takes a reference of its own
  gst_buffer_unref(buffer);
}

// A seek, in nanoseconds: the next buffer starts at the frame there.
gboolean OnSeekData(GstElement*, guint64 position, gpointer data) {
  MemoryTrack& track = TrackOf(data);
  track.next_frame = std::min(gst_util_uint64_scale_int(position, track.rate, GST_SECOND), track.frames);
  return TRUE;
}

// Settings of a pulsesink that the sink's description leaves at their defaults.
using PulseTuning = void (*)(GstElement* pulsesink);

bool HasDefault(GstElement* element, const char* property) {
  GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(element), property);
  if (!param) return false;
  GValue value = G_VALUE_INIT;
  g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(param));
  g_object_get_property(G_OBJECT(element), property, &value);
  const bool is_default = g_param_value_defaults(param, &value);
  g_value_unset(&value);
  return is_default;
}

bool IsPulsesink(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  return factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "pulsesink") == 0;
}

void OnDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer tuning) {
  if (IsPulsesink(element)) reinterpret_cast<PulseTuning>(tuning)(element);
}

// Tunes the pulsesinks in `sink_bin`, and those an automatic sink makes in it later.
void TunePulsesinks(GstElement* sink_bin, PulseTuning tuning) {
  if (!GST_IS_BIN(sink_bin)) {
    if (IsPulsesink(sink_bin)) tuning(sink_bin);
    return;
  }
  const gst::Iterator elements(gst_bin_iterate_recurse(GST_BIN(sink_bin)));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
    if (GstElement* element = GST_ELEMENT(g_value_get_object(&item)); IsPulsesink(element)) tuning(element);
    g_value_reset(&item);
  }
  g_value_unset(&item);
  g_signal_connect(sink_bin, "deep-element-added", G_CALLBACK(OnDeepElementAdded), reinterpret_cast<gpointer>(tuning));
}

// A pulsesink that provides the pipeline's clock ends the first stretch of a track late: on a
// PulseAudio null sink the background music's first loop came 0.5-1.2 s late, and so would the
// end of a show. Played to the system clock, the sink ends every stretch on time.
void UseTheSystemClock(GstElement* pulsesink) {
  if (HasDefault(pulsesink, "provide-clock")) g_object_set(pulsesink, "provide-clock", FALSE, nullptr);
}

// PulseAudio asks a stream for more sound every ~90 ms with pulsesink's default buffer of
// 200 ms, and each request wakes two of the program's threads. The spin sound, replayed every
// spin, is given a buffer of 1 s in segments of 100 ms: that halves those wake-ups while
// spinning. It starts no later for it: PulseAudio (and PipeWire's server for its clients) write
// a new stream's sound in ahead of what is buffered.
constexpr gint64 kMemoryTrackBufferUs = 1000000;
constexpr gint64 kMemoryTrackSegmentUs = 100000;

void GiveALargerBuffer(GstElement* pulsesink) {
  if (HasDefault(pulsesink, "buffer-time") && HasDefault(pulsesink, "latency-time")) {
    g_object_set(pulsesink, "buffer-time", kMemoryTrackBufferUs, "latency-time", kMemoryTrackSegmentUs, nullptr);
  }
}

// Decodes what a prerolled decoder (a playbin into an appsink) plays, to its end. Nothing when
// the sound turns out longer than a short track, changes its format on the way, fails or takes
// too long: then the track is played from its file instead.
std::shared_ptr<MemoryTrack> DecodeAll(GstElement* decoder, GstElement* appsink, BusContext& context) {
  if (gst_element_set_state(decoder, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return nullptr;
  auto bytes = std::make_unique<std::vector<guint8>>();
  gst::Caps caps;
  gint rate = 0;
  gint channels = 0;
  std::size_t byte_limit = 0;
  bool good = true;
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(kDecodeTimeout / GST_USECOND);
  while (good) {
    GstSample* pulled = nullptr;
    g_signal_emit_by_name(appsink, "try-pull-sample", kDecodeStep, &pulled);
    const gst::Sample sample(pulled);
    if (!sample) {
      gboolean ended = FALSE;
      g_object_get(appsink, "eos", &ended, nullptr);
      if (ended) break;
      const std::lock_guard lock(context.mutex);
      good = !context.first_error && g_get_monotonic_time() < deadline;
      continue;
    }
    GstCaps* sample_caps = gst_sample_get_caps(sample.get());
    if (!caps) {
      const GstStructure* format = sample_caps ? gst_caps_get_structure(sample_caps, 0) : nullptr;
      good = format && gst_structure_get_int(format, "rate", &rate) && gst_structure_get_int(format, "channels", &channels) &&
             rate > 0 && channels > 0;
      if (good) {
        caps.reset(gst_caps_ref(sample_caps));
        byte_limit = static_cast<std::size_t>(rate) * static_cast<std::size_t>(channels) * 2 *
                     static_cast<std::size_t>(kShortTrackLimit / GST_SECOND);
      }
    } else {
      good = sample_caps && gst_caps_is_equal(caps.get(), sample_caps);
    }
    if (GstBuffer* buffer = gst_sample_get_buffer(sample.get()); good && buffer) {
      const gsize size = gst_buffer_get_size(buffer);
      good = bytes->size() + size <= byte_limit;
      if (good) {
        const std::size_t at = bytes->size();
        bytes->resize(at + size);
        gst_buffer_extract(buffer, 0, bytes->data() + at, size);
      }
    }
  }
  const gsize frame_bytes = static_cast<gsize>(channels) * 2;
  if (!good || !caps || bytes->size() < frame_bytes) return nullptr;
  auto track = std::make_shared<MemoryTrack>();
  track->caps = std::move(caps);
  track->rate = rate;
  track->frame_bytes = frame_bytes;
  track->frames = bytes->size() / frame_bytes;
  const gsize size = bytes->size();
  std::vector<guint8>* owner = bytes.release();
  track->samples.reset(gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, owner->data(), size, 0, size, owner,
                                              [](gpointer data) { delete static_cast<std::vector<guint8>*>(data); }));
  return track;
}

}  // namespace

struct GstMediaGraph::Impl {
  UiThreadPoster& ui;
  std::string sink;
  std::shared_ptr<UiSide> ui_side = std::make_shared<UiSide>();
  bool created = false;
  bool gst_ok = false;
  Pipeline pipeline;  // none while the graph is empty
  std::shared_ptr<BusContext> context;
  bool running = false;  // Run was the last command: the graph "runs", also past its end
  // The track plays from memory in one buffer, which a sink that keeps time takes whole at its
  // start and then only waits for its end. See HoldWhereStopped.
  bool plays_from_memory = false;
  // The current track's audio sink (a reference of our own), whether it has played since the
  // render, and where the last seek went. See ReopenSink.
  gst::Ref<GstElement> audio_sink;
  bool sink_has_played = false;
  GstClockTime seeked_to = 0;
  // The volume, and the volume element that applies it to the current track (the pipeline's).
  long volume = kFullVolume;
  GstElement* volume_element = nullptr;

  Impl(UiThreadPoster& poster, std::string sink_description) : ui(poster), sink(std::move(sink_description)) {}

  ErrorText TakeError(const std::string& fallback) {
    return context ? zumbolo::TakeError(*context, fallback) : ErrorText{fallback, 0};
  }

  // A flushing seek to `at` nanoseconds, which starts a new stretch of play with an end of its
  // own. The flush makes the pipeline preroll again; a running one then plays on from there by
  // itself.
  void SeekTo(GstClockTime at) {
    seeked_to = at;
    ui_side->epoch = ++context->epoch;
    const bool sent = gst_element_seek_simple(pipeline.get(), GST_FORMAT_TIME,
                                              static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                              static_cast<gint64>(at));
    if (sent) Settle(kChangeTimeout);
  }

  // A track from memory stopped in its middle has already handed its sink the rest and its end.
  // The sink ends it at its time all the same, stopped or not, and the pipeline passes that end
  // on at the next run: a run after a long stop ended at once. A seek to where it stopped takes
  // the rest back, and the track waits there for the next run.
  void HoldWhereStopped() {
    if (!plays_from_memory || ui_side->ended_epoch == ui_side->epoch) return;
    gint64 position = -1;
    if (gst_element_query_position(pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0) {
      SeekTo(static_cast<GstClockTime>(position));
    }
  }

  // A PulseAudio stream that has waited, prerolled, between the render and the first run plays
  // that run late by as long as it waited: the first spin sound came 1.2 s late, the show music
  // by the length of its lead-in. So before the first run the sink is set up afresh, and the
  // track prerolls into it again where the last seek left it. Later runs start on time.
  void ReopenSink() {
    sink_has_played = true;
    gst_element_set_state(audio_sink.get(), GST_STATE_READY);
    gst_element_set_state(audio_sink.get(), GST_STATE_PAUSED);
    SeekTo(seeked_to);
  }

  // Waits for the pipeline's state change to settle; false when it failed or did not settle.
  bool Settle(GstClockTime timeout) {
    const GstStateChangeReturn result = gst_element_get_state(pipeline.get(), nullptr, nullptr, timeout);
    return result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL;
  }

  // Empties the graph: the track and everything that played it go.
  void Teardown() {
    volume_element = nullptr;
    running = false;
    plays_from_memory = false;
    audio_sink.reset();
    if (!pipeline) return;
    // Whatever the old pipeline has posted, or posts on its way down, is of no concern any more.
    ++ui_side->generation;
    pipeline.reset();
    context.reset();
  }

  // The audio sink, made afresh for each track from its gst-launch description.
  LooseElement MakeSink() {
    GError* error_out = nullptr;
    LooseElement sink_bin(gst_parse_bin_from_description(sink.c_str(), TRUE, &error_out));
    const gst::Error error(error_out);
    if (!sink_bin) {
      const ErrorText text = FromGError(error.get());
      throw MediaError("The audio sink \"" + sink + "\" cannot be made: " + text.text, text.code);
    }
    if (error) {  // made, but not quite as described (an unknown property, say)
      std::fprintf(stderr, "zumbolo: audio sink \"%s\": %s\n", sink.c_str(), error->message);
    }
    return sink_bin;
  }

  void Render(const std::filesystem::path& file) {
    Teardown();
    const std::string name = file.string();
    if (!gst_ok) throw MediaError("GStreamer is not available to play " + name, 0);

    GError* error_out = nullptr;
    const gst::Text uri(gst_filename_to_uri(name.c_str(), &error_out));
    const gst::Error error(error_out);
    if (!uri) {
      const ErrorText text = FromGError(error.get());
      throw MediaError(text.text.empty() ? "Not a file name: " + name : text.text, text.code);
    }
    // The sink is a gst-launch description: "autoaudiosink", "fakesink sync=true" in tests.
    LooseElement sink_bin = MakeSink();
    TunePulsesinks(sink_bin.get(), UseTheSystemClock);
    gst::Ref<GstElement> sink_ref(GST_ELEMENT(gst_object_ref(sink_bin.get())));

    std::error_code size_unknown;
    const std::uintmax_t size = std::filesystem::file_size(file, size_unknown);
    // A file that cannot be looked at goes through the decoder too, which says what is wrong.
    Pipeline from_memory;
    if (size_unknown || size <= kShortTrackFileBytes) {
      if (std::shared_ptr<MemoryTrack> track = Decode(uri.get(), name)) {
        from_memory = MakeMemoryPipeline(std::move(track), sink_bin, name);
      }
    }
    const bool is_playbin = !from_memory;
    Pipeline chosen = is_playbin ? MakeFilePlaybin(uri.get(), std::move(sink_bin)) : std::move(from_memory);
    ApplyVolume();  // before the preroll: a track from memory goes to the sink in one buffer
    Adopt(std::move(chosen), name, is_playbin);
    plays_from_memory = !is_playbin;
    audio_sink = std::move(sink_ref);
  }

  // Makes `new_pipeline` the graph's and prerolls it at position 0: the track is there, or the
  // render fails and leaves no track.
  void Adopt(Pipeline new_pipeline, const std::string& name, bool is_playbin) {
    pipeline = std::move(new_pipeline);
    context = std::make_shared<BusContext>();
    context->ui = &ui;
    context->ui_side = ui_side;
    context->generation = ui_side->generation;
    context->file = name;
    ui_side->epoch = context->epoch.load();
    ui_side->ended_epoch = 0;
    sink_has_played = false;
    seeked_to = 0;
    Attach(pipeline.get(), context);

    ErrorText failure = Preroll(pipeline.get(), *context, name);
    if (failure.text.empty() && is_playbin) failure = CheckForSound(pipeline.get(), name);
    if (!failure.text.empty()) {
      Teardown();
      throw MediaError(failure.text, failure.code);
    }
    context->prerolled = true;
  }

  // A playbin with a volume element of our own as its audio filter: the playbin's own volume goes
  // to a PulseAudio sink's stream, which forgets it when the sink is set up afresh.
  Pipeline MakeFilePlaybin(const gchar* uri, LooseElement sink_bin) {
    Pipeline playbin = MakePlaybin(uri, std::move(sink_bin));
    if (GstElement* volume_control = gst_element_factory_make("volume", nullptr)) {
      g_object_set(playbin.get(), "audio-filter", volume_control, nullptr);  // the playbin takes it
      volume_element = volume_control;
    }
    return playbin;
  }

  void ApplyVolume() {
    if (volume_element) g_object_set(volume_element, "volume", LinearVolume(volume), nullptr);
  }

  // A new volume for the track in the graph. A track from memory is in the sink already, whole:
  // it goes through its volume element again by a seek to where it is (a stopped one waits
  // where it stopped, see HoldWhereStopped).
  void ChangeVolume(long new_volume) {
    volume = new_volume;
    if (!pipeline || !volume_element) return;
    ApplyVolume();
    // A track that has played to its end has nothing left to hear.
    if (!plays_from_memory || ui_side->ended_epoch == ui_side->epoch) return;
    if (!running) {
      HoldWhereStopped();
      return;
    }
    // A flushing seek while playing made a sink that follows the system clock drop the whole rest
    // as late, now and then (one change in ten on PulseAudio): so the track is paused, sought to
    // where it is and run again, as a replay of the spin sound is.
    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_ASYNC) Settle(kChangeTimeout);
    HoldWhereStopped();
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  }

  // A short track decoded whole, or nothing when it is not short (or cannot be decoded here, in
  // which case the file is tried the ordinary way). Throws the render's error when the file is
  // missing or has no sound.
  std::shared_ptr<MemoryTrack> Decode(const gchar* uri, const std::string& name) {
    LooseElement appsink(gst_element_factory_make("appsink", nullptr));
    if (!appsink) return nullptr;
    const gst::Caps caps(gst_caps_from_string("audio/x-raw, format=(string)S16LE, layout=(string)interleaved"));
    g_object_set(appsink.get(), "caps", caps.get(), "sync", FALSE, nullptr);
    GstElement* samples = appsink.get();  // the decoder's from now on
    const Pipeline decoder = MakePlaybin(uri, std::move(appsink));
    auto decoding = std::make_shared<BusContext>();  // errors only: nothing goes to the UI thread
    decoding->file = name;
    Attach(decoder.get(), decoding);

    ErrorText failure = Preroll(decoder.get(), *decoding, name);
    if (failure.text.empty()) failure = CheckForSound(decoder.get(), name);
    if (!failure.text.empty()) throw MediaError(failure.text, failure.code);
    gint64 duration = -1;
    if (!gst_element_query_duration(decoder.get(), GST_FORMAT_TIME, &duration) || duration < 0 ||
        static_cast<GstClockTime>(duration) <= kShortTrackLimit) {
      return DecodeAll(decoder.get(), samples, *decoding);
    }
    return nullptr;
  }

  // The pipeline of a short track: its sound from memory into the sink, which it takes, through
  // converters only when the sink cannot take the sound as it is (every element of the pipeline
  // takes part in each stop, seek and run of a replay). Nothing, and the sink left where it was,
  // when GStreamer lacks an element for it.
  Pipeline MakeMemoryPipeline(std::shared_ptr<MemoryTrack> track, LooseElement& sink_bin, const std::string& name) {
    LooseElement source(gst_element_factory_make("appsrc", nullptr));
    if (!source) return nullptr;
    // The volume, in passthrough at full volume.
    LooseElement volume_control(gst_element_factory_make("volume", nullptr));
    if (!volume_control) return nullptr;
    std::vector<GstElement*> chain{source.get(), volume_control.get()};
    LooseElement convert, resample;
    TunePulsesinks(sink_bin.get(), GiveALargerBuffer);
    if (!SinkTakes(sink_bin.get(), track->caps.get())) {
      convert.reset(gst_element_factory_make("audioconvert", nullptr));
      resample.reset(gst_element_factory_make("audioresample", nullptr));
      if (!convert || !resample) return nullptr;
      chain.push_back(convert.get());
      chain.push_back(resample.get());
    }
    chain.push_back(sink_bin.get());
    g_object_set(source.get(), "caps", track->caps.get(), "format", GST_FORMAT_TIME, "duration",
                 track->TimeOf(track->frames), nullptr);
    gst_util_set_object_arg(G_OBJECT(source.get()), "stream-type", "seekable");
    g_signal_connect_data(source.get(), "need-data", G_CALLBACK(OnNeedData),
                          new std::shared_ptr<MemoryTrack>(track), FreeTrackHandle, GConnectFlags{});
    g_signal_connect_data(source.get(), "seek-data", G_CALLBACK(OnSeekData),
                          new std::shared_ptr<MemoryTrack>(track), FreeTrackHandle, GConnectFlags{});

    Pipeline from_memory = Own(gst_pipeline_new(nullptr));
    for (GstElement* element : chain) gst_bin_add(GST_BIN(from_memory.get()), element);
    source.release();
    volume_element = volume_control.release();
    convert.release();
    resample.release();
    sink_bin.release();
    bool linked = true;
    for (std::size_t i = 1; i < chain.size(); ++i) linked = linked && gst_element_link(chain[i - 1], chain[i]);
    if (!linked) {
      volume_element = nullptr;
      throw MediaError("The audio sink \"" + sink + "\" cannot play " + name, GST_STREAM_ERROR_FORMAT);
    }
    return from_memory;
  }

  // Whether `sink_bin` takes sound of `caps` as it is. Asked of the sink when it is ready, when
  // an automatic sink has chosen the real one and a device sink has opened its device.
  static bool SinkTakes(GstElement* sink_bin, GstCaps* caps) {
    if (gst_element_set_state(sink_bin, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
      gst_element_set_state(sink_bin, GST_STATE_NULL);
      return false;
    }
    bool takes = false;
    if (const gst::Ref<GstPad> pad(gst_element_get_static_pad(sink_bin, "sink")); pad) {
      if (const gst::Caps accepted(gst_pad_query_caps(pad.get(), nullptr)); accepted) {
        takes = gst_caps_can_intersect(accepted.get(), caps);
      }
    }
    gst_element_set_state(sink_bin, GST_STATE_NULL);
    return takes;
  }
};

GstMediaGraph::GstMediaGraph(UiThreadPoster& ui, std::string sink)
    : impl_(std::make_unique<Impl>(ui, std::move(sink))) {}

GstMediaGraph::~GstMediaGraph() { Release(); }

void GstMediaGraph::Create(MediaEvents& events) {
  impl_->gst_ok = InitGstreamer();
  impl_->Teardown();
  impl_->volume = kFullVolume;
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
  // A running graph runs on, also past its end: only a seek makes it play again. An empty one
  // has nothing to run.
  if (!d.pipeline || d.running) return;
  if (!d.sink_has_played) d.ReopenSink();
  if (gst_element_set_state(d.pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot play " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  d.running = true;
}

bool GstMediaGraph::Stop() {
  Impl& d = *impl_;
  // The graph exists from Create to Release, tracks or none: an empty one is stopped at once.
  if (!d.pipeline) return d.created;
  const bool was_running = d.running;
  d.running = false;
  // PAUSED keeps the position for the next Run.
  const GstStateChangeReturn result = gst_element_set_state(d.pipeline.get(), GST_STATE_PAUSED);
  if (result == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot stop " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  if (result == GST_STATE_CHANGE_ASYNC) d.Settle(kChangeTimeout);
  if (was_running) d.HoldWhereStopped();
  return true;
}

PlayerState GstMediaGraph::State() {
  if (!impl_->created) return psUninitialized;
  return impl_->running ? psPlaying : psStopped;
}

void GstMediaGraph::RemoveAll() { impl_->Teardown(); }

void GstMediaGraph::SetVolume(long volume) { impl_->ChangeVolume(volume); }

void GstMediaGraph::SetPosition(std::int64_t position) {
  Impl& d = *impl_;
  if (!d.pipeline) return;
  d.SeekTo(static_cast<GstClockTime>(std::max<std::int64_t>(position, 0)) * kNsPerMediaUnit);
}

}  // namespace zumbolo
