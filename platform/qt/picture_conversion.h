#pragma once
// The engine's pictures on Qt: conversion to QImage, crisp scaling, and the shape of what is not
// the key colour.

#include <QImage>
#include <QRegion>
#include <cstdint>

#include "engine/bitmap.h"

namespace zumbolo {

// The picture as an opaque 32-bit image (0x00RRGGBB becomes 0xFFRRGGBB).
QImage ToQImage(const Bitmap& picture);

// `image` scaled to width x height device pixels by nearest neighbour, marked with the device
// pixel ratio `dpr` so that it paints at width / dpr x height / dpr.
QImage ScaledForScreen(const QImage& image, int width, int height, qreal dpr);

// The pixels of `image` whose colour is not `key` (0x00RRGGBB), one unit per pixel.
QRegion OpaqueRegion(const QImage& image, std::uint32_t key);

// A shape for a window that shows nothing at all: an empty region would mean "no shape", which
// shows the whole window, so this is one pixel just outside it.
QRegion NothingVisible();

}  // namespace zumbolo
