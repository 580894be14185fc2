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
  UiThreadPoster* ui = nullptr;  // none for the decoder of a short track: it only reports errors
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
  if (news && context.ui) {
    context.ui->Post([weak = context.ui_side, generation = context.generation, news = *news,
                      epoch = context.epoch.load()] { Deliver(weak, generation, news, epoch); });
  }
  // Nothing is kept on the bus: no one pops it.
  return GST_BUS_DROP;
}

void FreeContextHandle(gpointer data) { delete static_cast<std::shared_ptr<BusContext>*>(data); }

// From now on the pipeline's bus messages go to `context`.
void Attach(GstElement* pipeline, const std::shared_ptr<BusContext>& context) {
  GstBus* bus = gst_element_get_bus(pipeline);
  gst_bus_set_sync_handler(bus, OnBusMessage, new std::shared_ptr<BusContext>(context), FreeContextHandle);
  gst_object_unref(bus);
}

// Stops a pipeline and lets it go; whatever it posts on its way down goes nowhere.
void Discard(GstElement* pipeline) {
  gst_element_set_state(pipeline, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(pipeline);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);  // frees the context's handle
  gst_object_unref(bus);
  gst_object_unref(pipeline);
}

// An element not (yet) in a bin: dropped unless released into one.
struct DropFloating {
  void operator()(GstElement* element) const { gst_object_unref(gst_object_ref_sink(element)); }
};
using LooseElement = std::unique_ptr<GstElement, DropFloating>;

struct FreeGChars {
  void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, FreeGChars>;

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

// A playbin for sound only, playing `uri` into `sink`, which it takes.
GstElement* MakePlaybin(const gchar* uri, LooseElement sink, const char* flags) {
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (!playbin) throw MediaError("GStreamer's playbin is missing (gstreamer1.0-plugins-base)", 0);
  g_object_set(playbin, "uri", uri, "audio-sink", sink.release(), nullptr);
  // No video or subtitle branch is ever built.
  gst_util_set_object_arg(G_OBJECT(playbin), "flags", flags);
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
  GstCaps* caps = nullptr;
  GstMemory* samples = nullptr;  // read-only; every buffer handed out is a share of it
  guint64 frames = 0;
  gint rate = 0;
  gsize frame_bytes = 0;
  // The next frame to hand out. Read and moved on by the streaming thread; set by a seek, which
  // runs while streaming is stopped.
  std::atomic<guint64> next_frame{0};

  MemoryTrack() = default;
  MemoryTrack(const MemoryTrack&) = delete;
  MemoryTrack& operator=(const MemoryTrack&) = delete;
  ~MemoryTrack() {
    if (samples) gst_memory_unref(samples);
    if (caps) gst_caps_unref(caps);
  }
  GstClockTime TimeOf(guint64 frame) const { return gst_util_uint64_scale_int(frame, GST_SECOND, rate); }
};

MemoryTrack& TrackOf(gpointer data) { return **static_cast<std::shared_ptr<MemoryTrack>*>(data); }
void FreeTrackHandle(gpointer data, GClosure*) { delete static_cast<std::shared_ptr<MemoryTrack>*>(data); }

// The source asks for more, on its streaming thread: the rest of the track in one buffer, or the
// end. Each buffer costs the streaming thread a wake-up (a sink that keeps time waits for it), so
// a replay is one buffer; a stop in its middle is resumed by a seek (see GstMediaGraph::Run).
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
  gst_buffer_append_memory(buffer, gst_memory_share(track.samples, static_cast<gssize>(first * track.frame_bytes),
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
  GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(sink_bin));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
    if (GstElement* element = GST_ELEMENT(g_value_get_object(&item)); IsPulsesink(element)) tuning(element);
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(elements);
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
  GstCaps* caps = nullptr;
  gint rate = 0;
  gint channels = 0;
  std::size_t byte_limit = 0;
  bool good = true;
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(kDecodeTimeout / GST_USECOND);
  while (good) {
    GstSample* sample = nullptr;
    g_signal_emit_by_name(appsink, "try-pull-sample", kDecodeStep, &sample);
    if (!sample) {
      gboolean ended = FALSE;
      g_object_get(appsink, "eos", &ended, nullptr);
      if (ended) break;
      const std::lock_guard lock(context.mutex);
      good = !context.first_error && g_get_monotonic_time() < deadline;
      continue;
    }
    GstCaps* sample_caps = gst_sample_get_caps(sample);
    if (!caps) {
      const GstStructure* format = sample_caps ? gst_caps_get_structure(sample_caps, 0) : nullptr;
      good = format && gst_structure_get_int(format, "rate", &rate) && gst_structure_get_int(format, "channels", &channels) &&
             rate > 0 && channels > 0;
      if (good) {
        caps = gst_caps_ref(sample_caps);
        byte_limit = static_cast<std::size_t>(rate) * static_cast<std::size_t>(channels) * 2 *
                     static_cast<std::size_t>(kShortTrackLimit / GST_SECOND);
      }
    } else {
      good = sample_caps && gst_caps_is_equal(caps, sample_caps);
    }
    if (GstBuffer* buffer = gst_sample_get_buffer(sample); good && buffer) {
      const gsize size = gst_buffer_get_size(buffer);
      good = bytes->size() + size <= byte_limit;
      if (good) {
        const std::size_t at = bytes->size();
        bytes->resize(at + size);
        gst_buffer_extract(buffer, 0, bytes->data() + at, size);
      }
    }
    gst_sample_unref(sample);
  }
  const gsize frame_bytes = static_cast<gsize>(channels) * 2;
  if (!good || !caps || bytes->size() < frame_bytes) {
    if (caps) gst_caps_unref(caps);
    return nullptr;
  }
  auto track = std::make_shared<MemoryTrack>();
  track->caps = caps;
  track->rate = rate;
  track->frame_bytes = frame_bytes;
  track->frames = bytes->size() / frame_bytes;
  const gsize size = bytes->size();
  std::vector<guint8>* owner = bytes.release();
  track->samples = gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, owner->data(), size, 0, size, owner,
                                          [](gpointer data) { delete static_cast<std::vector<guint8>*>(data); });
  return track;
}

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
  // The track plays from memory in one buffer, which a sink that keeps time takes whole at its
  // start and then only waits for its end. After a stop in the middle, the next run without a
  // seek between goes on from where the stop came, by a seek there (resume_at).
  bool plays_from_memory = false;
  std::optional<GstClockTime> resume_at;
  // The current track's audio sink (a reference of our own), whether it has played since the
  // render, and where the last seek went. See ReopenSink.
  GstElement* audio_sink = nullptr;
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
    resume_at.reset();
    seeked_to = at;
    ui_side->epoch = ++context->epoch;
    const bool sent = gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                              static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                              static_cast<gint64>(at));
    if (sent) Settle(kChangeTimeout);
  }

  // Where a stop in the middle of a track from memory left it, for the next run.
  void NoteWhereStopped() {
    resume_at.reset();
    if (!plays_from_memory || ui_side->ended_epoch == ui_side->epoch) return;
    gint64 position = -1;
    if (gst_element_query_position(pipeline, GST_FORMAT_TIME, &position) && position >= 0) {
      resume_at = static_cast<GstClockTime>(position);
    }
  }

  // A PulseAudio stream that has waited, prerolled, between the render and the first run plays
  // that run late by as long as it waited: the first spin sound came 1.2 s late, the show music
  // by the length of its lead-in. So before the first run the sink is set up afresh, and the
  // track prerolls into it again where the last seek left it. Later runs start on time.
  void ReopenSink() {
    sink_has_played = true;
    gst_element_set_state(audio_sink, GST_STATE_READY);
    gst_element_set_state(audio_sink, GST_STATE_PAUSED);
    SeekTo(seeked_to);
  }

  // Waits for the pipeline's state change to settle; false when it failed or did not settle.
  bool Settle(GstClockTime timeout) {
    const GstStateChangeReturn result = gst_element_get_state(pipeline, nullptr, nullptr, timeout);
    return result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL;
  }

  void Teardown() {
    volume_element = nullptr;
    running = false;
    plays_from_memory = false;
    resume_at.reset();
    if (audio_sink) gst_object_unref(audio_sink);
    audio_sink = nullptr;
    if (!pipeline) return;
    // Whatever the old pipeline has posted, or posts on its way down, is of no concern any more.
    ++ui_side->generation;
    Discard(pipeline);
    pipeline = nullptr;
    context.reset();
  }

  // The audio sink, made afresh for each track from its gst-launch description.
  LooseElement MakeSink() {
    GError* error = nullptr;
    GstElement* sink_bin = gst_parse_bin_from_description(sink.c_str(), TRUE, &error);
    if (!sink_bin) {
      const ErrorText text = FromGError(error);
      if (error) g_error_free(error);
      throw MediaError("The audio sink \"" + sink + "\" cannot be made: " + text.text, text.code);
    }
    if (error) {  // made, but not quite as described (an unknown property, say)
      std::fprintf(stderr, "zumbolo: audio sink \"%s\": %s\n", sink.c_str(), error->message);
      g_error_free(error);
    }
    return LooseElement(sink_bin);
  }

  void Render(const std::filesystem::path& file) {
    Teardown();
    const std::string name = file.string();
    if (!gst_ok) throw MediaError("GStreamer is not available to play " + name, 0);

    GError* error = nullptr;
    GText uri(gst_filename_to_uri(name.c_str(), &error));
    if (!uri) {
      const ErrorText text = FromGError(error);
      if (error) g_error_free(error);
      throw MediaError(text.text.empty() ? "Not a file name: " + name : text.text, text.code);
    }
    // The sink is a gst-launch description: "autoaudiosink", "fakesink sync=true" in tests.
    LooseElement sink_bin = MakeSink();
    TunePulsesinks(sink_bin.get(), UseTheSystemClock);
    audio_sink = GST_ELEMENT(gst_object_ref(sink_bin.get()));

    std::error_code size_unknown;
    const std::uintmax_t size = std::filesystem::file_size(file, size_unknown);
    // A file that cannot be looked at goes through the decoder too, which says what is wrong.
    if (size_unknown || size <= kShortTrackFileBytes) {
      if (std::shared_ptr<MemoryTrack> track = Decode(uri.get(), name)) {
        if (GstElement* from_memory = MakeMemoryPipeline(std::move(track), sink_bin, name)) {
          ApplyVolume();  // before the preroll: the track goes to the sink in one buffer
          Adopt(from_memory, name, false);
          plays_from_memory = true;
          return;
        }
      }
    }
    PlayFromFile(uri.get(), std::move(sink_bin), name);
  }

  // Makes `new_pipeline` the graph's and prerolls it at position 0: the track is there, or the
  // render fails and leaves no track.
  void Adopt(GstElement* new_pipeline, const std::string& name, bool is_playbin) {
    pipeline = new_pipeline;
    context = std::make_shared<BusContext>();
    context->ui = &ui;
    context->ui_side = ui_side;
    context->pipeline = pipeline;
    context->generation = ui_side->generation;
    context->file = name;
    ui_side->epoch = context->epoch.load();
    ui_side->ended_epoch = 0;
    sink_has_played = false;
    seeked_to = 0;
    Attach(pipeline, context);

    ErrorText failure = Preroll(pipeline, *context, name);
    if (failure.text.empty() && is_playbin) failure = CheckForSound(pipeline, name);
    if (!failure.text.empty()) {
      Teardown();
      throw MediaError(failure.text, failure.code);
    }
    context->prerolled = true;
  }

  void PlayFromFile(const gchar* uri, LooseElement sink_bin, const std::string& name) {
    GstElement* playbin = MakePlaybin(uri, std::move(sink_bin), "audio+soft-volume");
    // A volume element of our own as the playbin's audio filter: the playbin's own volume goes
    // to a PulseAudio sink's stream, which forgets it when the sink is set up afresh.
    if (GstElement* volume_control = gst_element_factory_make("volume", nullptr)) {
      g_object_set(playbin, "audio-filter", volume_control, nullptr);  // the playbin takes it
      volume_element = volume_control;
      ApplyVolume();
    }
    Adopt(playbin, name, true);
  }

  void ApplyVolume() {
    if (volume_element) g_object_set(volume_element, "volume", LinearVolume(volume), nullptr);
  }

  // A new volume for the track in the graph. A track from memory is in the sink already, whole:
  // it goes through its volume element again by a seek to where it is.
  void ChangeVolume(long new_volume) {
    volume = new_volume;
    if (!pipeline || !volume_element) return;
    ApplyVolume();
    // A track that has played to its end has nothing left to hear.
    if (!plays_from_memory || ui_side->ended_epoch == ui_side->epoch) return;
    if (resume_at) return SeekTo(*resume_at);
    gint64 position = -1;
    if (!gst_element_query_position(pipeline, GST_FORMAT_TIME, &position) || position < 0) return;
    SeekTo(static_cast<GstClockTime>(position));
  }

  // A short track decoded whole, or nothing when it is not short (or cannot be decoded here, in
  // which case the file is tried the ordinary way). Throws the render's error when the file is
  // missing or has no sound.
  std::shared_ptr<MemoryTrack> Decode(const gchar* uri, const std::string& name) {
    GstElement* appsink = gst_element_factory_make("appsink", nullptr);
    if (!appsink) return nullptr;
    GstCaps* caps = gst_caps_from_string("audio/x-raw, format=(string)S16LE, layout=(string)interleaved");
    g_object_set(appsink, "caps", caps, "sync", FALSE, nullptr);
    gst_caps_unref(caps);
    GstElement* decoder = MakePlaybin(uri, LooseElement(appsink), "audio");
    auto decoding = std::make_shared<BusContext>();  // errors only: nothing goes to the UI thread
    decoding->pipeline = decoder;
    decoding->file = name;
    Attach(decoder, decoding);

    ErrorText failure = Preroll(decoder, *decoding, name);
    if (failure.text.empty()) failure = CheckForSound(decoder, name);
    if (!failure.text.empty()) {
      Discard(decoder);
      throw MediaError(failure.text, failure.code);
    }
    std::shared_ptr<MemoryTrack> track;
    gint64 duration = -1;
    if (!gst_element_query_duration(decoder, GST_FORMAT_TIME, &duration) || duration < 0 ||
        static_cast<GstClockTime>(duration) <= kShortTrackLimit) {
      track = DecodeAll(decoder, appsink, *decoding);
    }
    Discard(decoder);
    return track;
  }

  // The pipeline of a short track: its sound from memory into the sink, which it takes, through
  // converters only when the sink cannot take the sound as it is (every element of the pipeline
  // takes part in each stop, seek and run of a replay). Nothing, and the sink left where it was,
  // when GStreamer lacks an element for it.
  GstElement* MakeMemoryPipeline(std::shared_ptr<MemoryTrack> track, LooseElement& sink_bin, const std::string& name) {
    LooseElement source(gst_element_factory_make("appsrc", nullptr));
    if (!source) return nullptr;
    // The volume, in passthrough at full volume.
    LooseElement volume_control(gst_element_factory_make("volume", nullptr));
    if (!volume_control) return nullptr;
    std::vector<GstElement*> chain{source.get(), volume_control.get()};
    LooseElement convert, resample;
    TunePulsesinks(sink_bin.get(), GiveALargerBuffer);
    if (!SinkTakes(sink_bin.get(), track->caps)) {
      convert.reset(gst_element_factory_make("audioconvert", nullptr));
      resample.reset(gst_element_factory_make("audioresample", nullptr));
      if (!convert || !resample) return nullptr;
      chain.push_back(convert.get());
      chain.push_back(resample.get());
    }
    chain.push_back(sink_bin.get());
    g_object_set(source.get(), "caps", track->caps, "format", GST_FORMAT_TIME, "duration",
                 track->TimeOf(track->frames), nullptr);
    gst_util_set_object_arg(G_OBJECT(source.get()), "stream-type", "seekable");
    g_signal_connect_data(source.get(), "need-data", G_CALLBACK(OnNeedData),
                          new std::shared_ptr<MemoryTrack>(track), FreeTrackHandle, GConnectFlags{});
    g_signal_connect_data(source.get(), "seek-data", G_CALLBACK(OnSeekData),
                          new std::shared_ptr<MemoryTrack>(track), FreeTrackHandle, GConnectFlags{});

    GstElement* from_memory = gst_pipeline_new(nullptr);
    for (GstElement* element : chain) gst_bin_add(GST_BIN(from_memory), element);
    source.release();
    volume_element = volume_control.release();
    convert.release();
    resample.release();
    sink_bin.release();
    bool linked = true;
    for (std::size_t i = 1; i < chain.size(); ++i) linked = linked && gst_element_link(chain[i - 1], chain[i]);
    if (!linked) {
      volume_element = nullptr;
      Discard(from_memory);
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
    if (GstPad* pad = gst_element_get_static_pad(sink_bin, "sink")) {
      if (GstCaps* accepted = gst_pad_query_caps(pad, nullptr)) {
        takes = gst_caps_can_intersect(accepted, caps);
        gst_caps_unref(accepted);
      }
      gst_object_unref(pad);
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
  // A running graph runs on, also past its end: only a seek makes it play again.
  if (!d.pipeline || d.running) return;
  if (!d.sink_has_played) {
    d.ReopenSink();
  } else if (d.resume_at) {
    d.SeekTo(*d.resume_at);
  }
  if (gst_element_set_state(d.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot play " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  d.running = true;
}

bool GstMediaGraph::Stop() {
  Impl& d = *impl_;
  if (!d.pipeline) return false;
  const bool was_running = d.running;
  d.running = false;
  // PAUSED keeps the position for the next Run.
  const GstStateChangeReturn result = gst_element_set_state(d.pipeline, GST_STATE_PAUSED);
  if (result == GST_STATE_CHANGE_FAILURE) {
    const ErrorText error = d.TakeError("Cannot stop " + d.context->file);
    throw MediaError(error.text, error.code);
  }
  if (result == GST_STATE_CHANGE_ASYNC) d.Settle(kChangeTimeout);
  if (was_running) d.NoteWhereStopped();
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
