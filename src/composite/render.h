// The display compositor: how the host sees the canvas.
//
// DRO_Render composes a canvas rectangle of every visible layer, bottom slot
// first, with the paint layer directly above the current layer; averages in
// the trace layer when tracing; shows transparency as a checkerboard of
// 32 x 32 canvas pixels; tints unselected areas with the mask overlay; and
// writes 24-bit blue-green-red pixels into the host's bitmap at the view
// zoom. It changes no engine state and allocates nothing.
//
// Per shown pixel the layers are carried in a running result: integers
// while every step is exact (an empty result takes the layer's pixel, an
// opaque "Normal" pixel replaces it), floats on the 65280 = 1 colour scale
// (65535 = 1 for alpha) from the first step that needs the floating-point
// composite until the next exact step.
#pragma once

#include <cstdint>

namespace dro::composite {

// Renders the canvas rectangle (x, y, width, height) into `destination`,
// rows `stride` bytes apart (negative for a bottom-up bitmap), row 0 the
// top of the rectangle. The output is at most the view size: zoom N/1
// writes N output pixels per canvas pixel, zoom 1/D one per D. Nothing is
// drawn without a current layer, without a view size or for an empty
// rectangle; layers whose size differs from the canvas are left out.
void Render(void* destination, int32_t stride, int32_t x, int32_t y, int32_t width,
            int32_t height) noexcept;

}  // namespace dro::composite
