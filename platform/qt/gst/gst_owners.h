#pragma once
// One owner for each kind of GStreamer and GLib object that the media graph takes: each gives back
// the one reference (or allocation) it holds exactly once, however the scope that took it ends.

#include <gst/gst.h>

#include <memory>

namespace zumbolo::gst {

template <auto Free>
struct Freer {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

// A reference to a GstObject (a bus, a pad, an element held besides its bin's reference).
template <typename T>
using Ref = std::unique_ptr<T, Freer<gst_object_unref>>;

// An element made but not (yet) in a bin: dropped, floating or not, unless released into one.
inline void DropFloating(GstElement* element) { gst_object_unref(gst_object_ref_sink(element)); }
using LooseElement = std::unique_ptr<GstElement, Freer<DropFloating>>;

inline void UnrefCaps(GstCaps* caps) { gst_caps_unref(caps); }
inline void UnrefSample(GstSample* sample) { gst_sample_unref(sample); }
inline void UnrefMemory(GstMemory* memory) { gst_memory_unref(memory); }
inline void UnrefMessage(GstMessage* message) { gst_message_unref(message); }
using Caps = std::unique_ptr<GstCaps, Freer<UnrefCaps>>;
using Sample = std::unique_ptr<GstSample, Freer<UnrefSample>>;
using Memory = std::unique_ptr<GstMemory, Freer<UnrefMemory>>;
using Message = std::unique_ptr<GstMessage, Freer<UnrefMessage>>;
using Iterator = std::unique_ptr<GstIterator, Freer<gst_iterator_free>>;
using Error = std::unique_ptr<GError, Freer<g_error_free>>;
using Text = std::unique_ptr<gchar, Freer<g_free>>;

}  // namespace zumbolo::gst
