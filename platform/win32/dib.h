#pragma once
// The engine's pictures on the screen: scaled without smoothing (so that a key colour stays
// exactly the key colour) and turned into DIB sections that GDI can draw from.

#include "engine/bitmap.h"
#include "platform/win32/handles.h"

namespace zumbolo::win32 {

// `picture` at width x height, each pixel taken from the nearest source pixel.
Bitmap ScaledNearest(const Bitmap& picture, int width, int height);
// A 32-bit top-down DIB section with the pixels of `picture`; empty when GDI refuses.
UniqueBitmap ToDib(const Bitmap& picture);

}  // namespace zumbolo::win32
