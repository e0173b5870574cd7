// Image brushes: the picture used as a brush, its sized and rotated forms
// and the strip of an animated brush. Plain data; image_brush.h says how
// the buffers relate.
#pragma once

#include <cstdint>

#include "base/allocation.h"
#include "base/types.h"

namespace dro::brush {

struct ImageBrushState {
  // The image brush, width x height, tight rows; absent at start.
  Buffer<Pixel64> picture;
  int32_t width = 0;
  int32_t height = 0;
  // Counts every change of the picture, so the sized brush knows when it is
  // stale.
  uint64_t generation = 0;

  // The picture sized to side x side, and the generation it was made from.
  Buffer<Pixel64> sized;
  int32_t sizedSide = 0;
  uint64_t sizedGeneration = 0;

  // RGBA32 rotation source (the sized brush narrowed) and rotated result,
  // both rotationSide x rotationSide.
  Buffer<uint8_t> rotationSource;
  Buffer<uint8_t> rotated;
  int32_t rotationSide = 0;
  bool rotationReady = false;

  // Strip of frameCount square frames of stripHeight x stripHeight, side by
  // side.
  Buffer<Pixel64> strip;
  int32_t stripWidth = 0;
  int32_t stripHeight = 0;
  int32_t frameCount = 0;
};

}  // namespace dro::brush
