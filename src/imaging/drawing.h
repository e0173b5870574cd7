// Drawing on the current layer through the work buffers: rectangles,
// ellipses, gradients, flood fills, the bump displacement, photo pop and
// the blur of a host RGB24 buffer.
//
// Model. Shapes and gradients are drawn into the RGBA32 destination work
// buffer, which they allocate and release themselves, and merged into the
// current layer (merge path, work_buffers.h, blend mode Normal). Flood
// fills work in place in the RGBA32 source buffer, which they allocate and
// release, and load it back (load path). Text (drawing_text.h), the
// displacement and photo pop use the buffers the host allocated. A step
// whose work buffer is missing (not allocated, or its allocation failed) is
// skipped, and so is the write-back of a step whose drawing failed.
//
// Arguments:
//   - Colours come as separate red, green, blue values (their low bytes).
//   - Every position is clamped to +-2^24 before any arithmetic.
//   - Rectangle columns: x1 up to x2 excluding x2's own column: left x1 and
//     right x2 - 1 when x1 < x2, else left x2 + 1 and right x1 (so x1 = x2
//     is empty); rows min(y1, y2) to max(y1, y2), both included.
//   - Percentages become 8-bit values as trunc(p x 2.559), kept to 0..255.
#pragma once

#include <cstdint>

#include "platform/image_draw.h"

namespace dro::imaging {

// The box rule above, for tests.
struct DrawBox {
  int32_t left, top, right, bottom;
};
DrawBox RectangleBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) noexcept;

// The box filled with (r, g, b) opaque over a destination cleared to (r, g,
// b, 0), merged at trunc(opacityPercent x 2.559). Guarded ("IPLRectangle").
void Rectangle(int32_t r, int32_t g, int32_t b, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int32_t opacityPercent) noexcept;

// The ellipse inside the box (columns as for the rectangle): rx = (right -
// left) / 2 and ry = (bottom - top) / 2, each at least 2, centre (left +
// rx, top + ry), filled with (r, g, b) opaque and anti-aliased at its edge
// over a destination cleared to (r, g, b, 0), merged like the rectangle.
// Guarded ("IPLEllipse").
void Ellipse(int32_t r, int32_t g, int32_t b, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
             int32_t opacityPercent) noexcept;

// Gradient stops from the host's arguments. `count` is clamped to 0..4.
// For 2..4, stop i is colour i at position i x (100 / (count - 1))
// (integer division: four stops sit at 0, 33, 66, 99), alpha byte 0. For 0
// and 1, two stops of colour 1 at 0 and 100, with alpha bytes 255 then 0
// (count 0) or 0 then 255 (count 1). Returns the number of stops.
struct StopArgs {
  int32_t rgb[4][3];
};
int32_t GradientStops(const StopArgs& colors, int32_t count,
                      platform::image::GradientStop stops[4]) noexcept;

// Fills the whole destination with the gradient of the stops above, kind
// "Linear" (exactly) from (x1, y1) to (x2, y2), any other kind radial about
// (x1, y1) with radius trunc(sqrt((x2 - x1)^2 + (y2 - y1)^2)) (in double
// precision); then every alpha byte becomes 255 - alpha (so the stops'
// alpha 0 ends opaque) and the result is merged at full opacity. A
// zero-length vector or radius fills with the last stop. Guarded
// ("IPLGradient").
void Gradient(const StopArgs& colors, int32_t count, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              const char* kind) noexcept;

// Fill or erase by the clicked pixel (x, y) of the current layer, with
// limit L = trunc(tolerance x 0.00002 x 195075) on the squared RGB distance
// to the clicked pixel's colour. Modes, compared exactly:
//   "Paint Non-connected"        every pixel within L takes (r, g, b), alpha
//                                kept
//   "Erase Non-connected"        every pixel within L becomes the free colour
//                                (free_color.h) at alpha 0; on layer slot 1
//                                (the background) paints instead
//   "Paint Connected"            the pixels within L reached from (x, y)
//                                through 4-neighbours take (r, g, b, 255)
//   "Erase Connected"            those become the free colour at alpha 0;
//                                on slot 1 paints instead
//   "Paint Alpha Connected"      above slot 1 only: the pixels whose alpha is
//                                within L (as grey) and connected take
//                                (r, g, b, 255)
//   "Paint Alpha Non-Connected"  pixels whose alpha lies within tolerance /
//                                500 of the clicked alpha (mask_ops.h) take
//                                (r, g, b, 255)
// The selected pixels are marked in a byte plane, so no other pixel is
// touched whatever colour it has. A point off the canvas does nothing; an
// unknown mode only fills and releases the source. Guarded
// ("IPLFloodFill").
void FloodFill(int32_t r, int32_t g, int32_t b, int32_t x, int32_t y, int32_t tolerance,
               const char* mode) noexcept;

// Displaces the source work buffer into the destination by the slopes of a
// texture: the effect script at `path` is rendered (when it loads and its
// header has sides 1..10000) and tiled from (0, 0) over a cleared
// canvas-size texture, which becomes grey and drives the bump displacement
// (image_draw.h) with `strength`, off-picture samples taking `fill` (red in
// the lowest byte). The destination is un-premultiplied and loaded. Needs
// both RGBA32 work buffers. Guarded ("IPLDisplacementBump").
void DisplacementBump(const char* path, double strength, int32_t fill) noexcept;

// The saturation factor of a percent: (x - 50) x 0.04 + 1 above 50, else
// x x 0.06 - 2 (0 gives -2, 50 gives 1, 100 gives 3).
double SaturationFactor(double percent) noexcept;

// Sharpens the current layer through the RGB24 pair (allocated and
// released here; unsharp amount 5, window 7), optionally runs "Hyper
// Contrast" at 1 (when the low byte of `extra` is 1) and then at `amount`
// through the RGBA32 buffers, loading each result, and finally moves the
// re-read layer's saturation by SaturationFactor(saturation). 1 when the
// last load wrote the layer, else 0. Guarded ("IPLPhotoPop").
int32_t PhotoPop(int32_t amount, double saturation, int32_t extra) noexcept;

// Blurs a host RGB24 buffer (tight, width x height) in place: radius / 5
// and weight x 0.01 as for BlurRgb (image_draw.h). Nothing for a null
// buffer or a side of 0 or less. Guarded ("BlurMoreBuffer").
void BlurMoreBufferRgb24(uint8_t* rgb, int32_t width, int32_t height, int32_t radius,
                         int32_t weight) noexcept;

}  // namespace dro::imaging
