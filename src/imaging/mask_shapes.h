// Shape and wand selections on the mask, and the colouring of a picture
// through a flood result.
//
// Model. The shapes and the wand only ever close pixels, each by a strength
// taken as a percent d (clamped to 0..100) and turned into the 8-bit
// strength s = trunc(d x 2.559), which the mask creators write as
// (255 - s) x 256.
//
// Shapes are drawn through the mask's grey picture: the mask is saved as
// grey (open dark, closed light), the shape is filled into it with the grey
// s, and the picture is loaded back. Inside the shape the mask becomes
// 65535 for s = 0 and 65280 - s x 256 otherwise; every value outside loses
// its low byte on the way through grey.
//
// The wand compares the pixels of the current layer (its 8-bit copy in the
// RGBA32 source work buffer, which the wand fills and releases itself) with
// the clicked pixel, by one of eight modes named exactly. Its tolerance t
// runs 0..50000 (500 per percent, clamped) and gives the colour-distance
// limit L = trunc(t x 0.00002 x 195075) (squared RGB distance), the percent
// P = t / 500 of the range creators and the fraction F = t x 0.00002 of the
// HSL test. The clicked colour is the pixel's own R, G, B, transparent or
// not.
//
// Every operation returns at once without a canvas of at least one pixel.
#pragma once

#include <cstdint>

namespace dro::imaging {

// s = trunc(d x 2.559) of the clamped percent.
int32_t ShapeStrength(int32_t percent) noexcept;

// The ellipse inscribed in the box of the two corners: radii half the box's
// sides (integer), each at least 2, centre the lesser corner plus the radii.
// Guarded ("IPLMaskEllipse").
void MaskEllipse(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t percent) noexcept;
// The rectangle between the two corners, both included. Guarded
// ("IPLMaskRectangle").
void MaskRectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t percent) noexcept;

// Closes the pixels that resemble the clicked pixel (x, y), by mode:
//   "Non-connected"        squared RGB distance to it at most L, anywhere
//   "Connected"            the same, reached from (x, y) through 4-neighbours
//   "Color Range"          each of R, G, B within P % of its own
//   "Luminance Range"      the mean of R, G, B within P %
//   "Hue Range"            the HSV hue within P x 1.8 degrees
//   "HSL Range"            HSL hue, saturation and lightness within F each
//   "Alpha Connected"      alpha within L (as grey) and connected; only on a
//                          current layer above slot 1
//   "Alpha Non-connected"  alpha within P %
// A click off the canvas, another mode name, or no canvas-size current
// layer changes nothing. Guarded ("IPLMaskWand"); filling the source work
// buffer records its own failure.
void MaskWand(int32_t x, int32_t y, int32_t tolerance, int32_t percent, const char* mode) noexcept;

// Every pixel of a tight canvas-size RGBA32 picture whose byte in `flags`
// (canvas width x height) is 1 becomes (r, g, b, a) (the low bytes).
void ColorFromFlags(uint8_t* rgba32, const uint8_t* flags, int32_t r, int32_t g, int32_t b,
                    int32_t a) noexcept;

}  // namespace dro::imaging
