// The generator and filter effects of the effect-script table
// (effect_script_generators.cpp): each runs on a BGRA picture in place with
// its slot values, as the table's EffectFunction.
//
// Generators draw an ink picture (premultiplied, its alpha the coverage of
// what was drawn, shapes anti-aliased) and lay it on the picture by their
// style slot:
//    0 over the picture    1 add           2 subtract      3 multiply
//    4 screen              5 difference    6 lighten       7 darken
//    8 average             9 overlay      10 invert under the ink
//   11 behind the picture (only where it is transparent)
//   12 on black (the default: the picture is replaced)   13 on white
//   14, 15, 16 over the picture at 75, 50, 25 %
//   17 on transparent (alpha is the ink's coverage)
// Colour slots tint the ink (255, 255, 255 by default: white or the
// generator's own colours). Every random choice comes from the seed slot
// (SplitMix64), so the same slots give the same bytes. Counts are capped at
// one million shapes, and lowered further where the shapes are so large
// that drawing them would touch more than 10^6 + 32 x width x height
// pixels, so one run stays bounded.
#pragma once

#include <cstdint>

namespace dro::platform::effects::detail {

// Filters.
bool EdgeEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool MaximumEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool MinimumEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool BumpEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);

// Generators.
bool LinesEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool CirclesEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool RectanglesEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool SplinesEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool BlobsEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool GenerateNoiseEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool SinePlasmaEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool WormsEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool PatternEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool PointsEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool FractalPlasmaEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool TreesEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);
bool FibersEffect(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v);

// Lays a premultiplied BGRA ink picture on `bgra` by a style (above);
// Plasma and Perlin noise use it too.
void ComposeInk(uint8_t* bgra, const uint8_t* ink, int32_t width, int32_t height,
                int32_t style) noexcept;

constexpr int32_t kMostShapes = 1000000;

}  // namespace dro::platform::effects::detail
