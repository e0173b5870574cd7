// The brush tip: an S x S coverage grid (row stride L) made from a picture
// (an effect script that renders one, or an image file), rotated, scaled to
// the brush size and turned to grey, or else a generated disc with an
// optional soft edge.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::brush {

// Builds the tip. A path of 0 or 1 characters, or one that gives no usable
// picture, makes the disc. Guarded ("SetBrushShape"); failures while loading
// or scaling a picture are dropped and the disc is made instead.
void SetBrushShape(const char* path, int32_t angle) noexcept;
// The same, but the path is only tried as an image file.
void SetBrushShapeOriginal(const char* path, int32_t angle) noexcept;

// How many pictures have been loaded since start (each load of a path that
// is not the cached one counts once).
uint64_t ShapeSourceLoadCount() noexcept;

// One tip value from a coverage and the tip opacity: truncated, and kept
// within 0..65535 whatever the opacity.
Mask16 ScaleCoverage(double coverage) noexcept;

}  // namespace dro::brush
