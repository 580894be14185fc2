#pragma once
// The volume choices of the menu as the player's volume, in hundredths of a decibel.
//
// A percentage is read as the desktop's own volume controls read it: the amplitude follows the
// cube of the fraction (PulseAudio's and GStreamer's "cubic" scale), so that each step down
// sounds about as much quieter as the one before; 60 * log10(percent / 100) dB. "消音" is
// silence.

#include "ports/media_graph.h"

namespace zumbolo {

constexpr long VolumeLevel(int percent) {
  switch (percent) {
    case 75: return -750;    // 60 * log10(0.75) = -7.50 dB
    case 50: return -1806;   // 60 * log10(0.50) = -18.06 dB
    case 25: return -3612;   // 60 * log10(0.25) = -36.12 dB
    case 0: return kSilentVolume;
    default: return kFullVolume;  // 100 %
  }
}

}  // namespace zumbolo
