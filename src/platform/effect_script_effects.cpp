// The numbered effects: each is a function over a BGRA picture and one row
// in kEffects. Generators overwrite the picture (alpha 255) and are
// deterministic: the same parameters give the same bytes.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/allocation.h"
#include "platform/effect_script.h"
#include "platform/effect_script_generators.h"
#include "platform/effect_script_internal.h"
#include "platform/noise_field.h"

namespace dro::platform::effects::detail {
namespace {

// A small deterministic hash generator (SplitMix64), the same on every
// machine and compiler.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed) {}
  uint64_t Next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [-1, 1).
  float Signed() { return static_cast<float>(static_cast<double>(Next() >> 11) * 0x1p-52 - 1.0); }
};

uint64_t Mix(uint64_t a, uint64_t b) {
  return Random(a * 0x100000001b3ull ^ b).Next();
}

// Writes one channel (0 blue, 1 green, 2 red) or all three from a field of
// floats, stretched to the full 0..255 range; alpha becomes 255.
void StoreField(uint8_t* bgra, size_t count, const float* field, int channel) {
  float lo = field[0], hi = field[0];
  for (size_t i = 1; i < count; ++i) lo = std::min(lo, field[i]), hi = std::max(hi, field[i]);
  const float scale = hi > lo ? 255.0f / (hi - lo) : 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint8_t>(std::lround((field[i] - lo) * scale));
    uint8_t* p = bgra + i * 4;
    if (channel < 0)
      p[0] = p[1] = p[2] = v;
    else
      p[channel] = v;
    p[3] = 255;
  }
}

// Tints a field picture by the colour slots (red, green, blue from `rgb`)
// and lays it on the picture by the generator style.
void TintAndCompose(uint8_t* bgra, uint8_t* ink, size_t count, int32_t width, int32_t height,
                    const int32_t* rgb, int32_t style) {
  for (size_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c)
      ink[4 * i + size_t(c)] = uint8_t(ink[4 * i + size_t(c)] * rgb[2 - c] / 255);
  ComposeInk(bgra, ink, width, height, style);
}

// ---- 51: rotation about the centre, size kept -------------------------------
// slot 3: angle in degrees, counter-clockwise as seen; slot 4: zoom in
// percent (100: unchanged). Corners left uncovered become (0, 0, 0, 0).
bool Rotate(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const int32_t angle = v[3] % 360;
  const double zoom = v[4] / 100.0;
  if (angle == 0 && v[4] == 100) return true;
  const size_t bytes = size_t(width) * size_t(height) * 4;
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(bytes);
  std::memcpy(copy.data(), bgra, bytes);
  const cv::Mat in(height, width, CV_8UC4, copy.data());
  cv::Mat out(height, width, CV_8UC4, bgra);
  const cv::Point2f centre((width - 1) * 0.5f, (height - 1) * 0.5f);
  const cv::Mat m = cv::getRotationMatrix2D(centre, angle, zoom);
  cv::warpAffine(in, out, m, out.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                 cv::Scalar(0, 0, 0, 0));
  return out.data == bgra;
}

// ---- 5: Plasma -------------------------------------------------------------------
// Midpoint displacement (diamond-square) on a wrapping square grid, so the
// picture tiles seamlessly. slot 3: seed; slot 4: roughness 0..500 (how
// slowly the detail fades from level to level); slots 5..7: the tint; slot
// 11: the generator style; slot 12: 0 colour (one field per channel), 1 grey.
void PlasmaField(float* grid, int32_t n, uint64_t seed, float decay) {
  Random rnd(seed);
  auto at = [&](int32_t x, int32_t y) -> float& {
    return grid[size_t((y + n) % n) * size_t(n) + size_t((x + n) % n)];
  };
  at(0, 0) = rnd.Signed();
  float amplitude = 1.0f;
  for (int32_t step = n; step > 1; step /= 2) {
    const int32_t half = step / 2;
    for (int32_t y = 0; y < n; y += step)
      for (int32_t x = 0; x < n; x += step)
        at(x + half, y + half) =
            (at(x, y) + at(x + step, y) + at(x, y + step) + at(x + step, y + step)) * 0.25f +
            rnd.Signed() * amplitude;
    for (int32_t y = 0; y < n; y += half)
      for (int32_t x = (y / half) % 2 == 0 ? half : 0; x < n; x += step)
        at(x, y) = (at(x - half, y) + at(x + half, y) + at(x, y - half) + at(x, y + half)) * 0.25f +
                   rnd.Signed() * amplitude * 0.7071f;
    amplitude *= decay;
  }
}

bool Plasma(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  int32_t n = 2;
  while (n < std::max(width, height) && n < 2048) n *= 2;
  const float decay = std::pow(2.0f, -(1.0f - v[4] / 500.0f));
  const bool grey = v[12] != 0;
  const size_t count = size_t(width) * size_t(height);
  Buffer<float> grid = Buffer<float>::Make(size_t(n) * size_t(n));
  Buffer<float> field = Buffer<float>::Make(count);
  Buffer<uint8_t> ink = Buffer<uint8_t>::Make(count * 4);
  for (int c = 0; c < (grey ? 1 : 3); ++c) {
    PlasmaField(grid.data(), n, Mix(uint64_t(uint32_t(v[3])), uint64_t(c) + 5), decay);
    // Sample the wrapping grid over the whole picture (bilinear).
    for (int32_t y = 0; y < height; ++y) {
      const float gy = float(y) * float(n) / float(height);
      const int32_t y0 = int32_t(gy), y1 = (y0 + 1) % n;
      const float fy = gy - float(y0);
      for (int32_t x = 0; x < width; ++x) {
        const float gx = float(x) * float(n) / float(width);
        const int32_t x0 = int32_t(gx), x1 = (x0 + 1) % n;
        const float fx = gx - float(x0);
        const float* r0 = grid.data() + size_t(y0) * size_t(n);
        const float* r1 = grid.data() + size_t(y1) * size_t(n);
        const float top = r0[x0] + (r0[x1] - r0[x0]) * fx;
        const float bottom = r1[x0] + (r1[x1] - r1[x0]) * fx;
        field[size_t(y) * size_t(width) + size_t(x)] = top + (bottom - top) * fy;
      }
    }
    StoreField(ink.data(), count, field.data(), grey ? -1 : c);
  }
  TintAndCompose(bgra, ink.data(), count, width, height, v + 5, v[11]);
  return true;
}

// ---- 11: Generate Perlin Noise --------------------------------------------------
// Gradient noise summed over octaves (noise_field.h), periodic across the
// picture so it tiles. slot 3: seed; slot 4: feature size in pixels; slot 5:
// octaves; slots 6..8: the tint; slot 9: persistence in percent (amplitude
// kept per octave); slot 12: the generator style; slot 13: 0 grey, 1 colour.
bool PerlinNoise(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const int32_t cellsX = std::max(1, int32_t(std::lround(double(width) / v[4])));
  const int32_t cellsY = std::max(1, int32_t(std::lround(double(height) / v[4])));
  const bool color = v[13] != 0;
  const size_t count = size_t(width) * size_t(height);
  Buffer<float> field = Buffer<float>::Make(count);
  Buffer<uint8_t> ink = Buffer<uint8_t>::Make(count * 4);
  for (int c = 0; c < (color ? 3 : 1); ++c) {
    const uint64_t seed = Mix(uint64_t(uint32_t(v[3])), uint64_t(c) + 11);
    noise::PerlinField(field.data(), width, height, seed, cellsX, cellsY, v[5], v[9] / 100.0f);
    StoreField(ink.data(), count, field.data(), color ? c : -1);
  }
  TintAndCompose(bgra, ink.data(), count, width, height, v + 6, v[12]);
  return true;
}

// Emboss: the picture's brightness as a height field lit from one
// direction. v[3] depth (1..256), v[4] the light's angle in degrees
// counter-clockwise from the right, v[5] its elevation in degrees (0 grazing,
// 90 from above), v[7] nonzero: the shading scales the colour instead of
// replacing it with grey. Flat areas come out at the light's elevation
// shade; alpha stays.
bool Emboss(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const size_t count = size_t(width) * size_t(height);
  Buffer<float> heightField = Buffer<float>::Make(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = bgra + 4 * i;
    heightField[i] = float(p[0] + p[1] + p[2]) / (3.0f * 255.0f);
  }
  const double azimuth = v[4] * 3.14159265358979 / 180.0;
  const double elevation = v[5] * 3.14159265358979 / 180.0;
  const double lx = std::cos(azimuth) * std::cos(elevation);
  const double ly = -std::sin(azimuth) * std::cos(elevation);
  const double lz = std::sin(elevation);
  const double depth = v[3] / 16.0;
  auto at = [&](int32_t x, int32_t y) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return double(heightField[size_t(y) * size_t(width) + size_t(x)]);
  };
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double nx = -(at(x + 1, y) - at(x - 1, y)) * depth;
      const double ny = -(at(x, y + 1) - at(x, y - 1)) * depth;
      const double shade =
          std::max(0.0, (nx * lx + ny * ly + lz) / std::sqrt(nx * nx + ny * ny + 1.0));
      uint8_t* p = bgra + 4 * (size_t(y) * size_t(width) + size_t(x));
      for (int c = 0; c < 3; ++c) {
        const double out = v[7] ? p[c] * shade : 255.0 * shade;
        p[c] = uint8_t(std::min(255.0, out + 0.5));
      }
    }
  return true;
}

// Colorize: every pixel keeps its lightness and takes one hue and
// saturation. v[3] hue (0..255 for the full circle), v[4] saturation
// (0..255), v[5] lightness shift (0..255, 127 keeps). Alpha stays.
bool Colorize(uint8_t* bgra, int32_t width, int32_t height, const int32_t* v) {
  const double hue = v[3] / 256.0 * 6.0, saturation = v[4] / 255.0;
  const double shift = v[5] < 127 ? (v[5] - 127) / 127.0 : (v[5] - 127) / 128.0;
  const size_t count = size_t(width) * size_t(height);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = bgra + 4 * i;
    const int hi = std::max({p[0], p[1], p[2]}), lo = std::min({p[0], p[1], p[2]});
    double l = (hi + lo) / 510.0;
    l = shift < 0 ? l * (1.0 + shift) : l + (1.0 - l) * shift;
    const double chroma = (1.0 - std::fabs(2.0 * l - 1.0)) * saturation;
    const double x = chroma * (1.0 - std::fabs(std::fmod(hue, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    switch (int(hue)) {
      case 0:
        r = chroma, g = x;
        break;
      case 1:
        r = x, g = chroma;
        break;
      case 2:
        g = chroma, b = x;
        break;
      case 3:
        g = x, b = chroma;
        break;
      case 4:
        r = x, b = chroma;
        break;
      default:
        r = chroma, b = x;
        break;
    }
    const double m = l - chroma / 2.0;
    p[2] = uint8_t(std::clamp((r + m) * 255.0 + 0.5, 0.0, 255.0));
    p[1] = uint8_t(std::clamp((g + m) * 255.0 + 0.5, 0.0, 255.0));
    p[0] = uint8_t(std::clamp((b + m) * 255.0 + 0.5, 0.0, 255.0));
  }
  return true;
}

constexpr int32_t kIntMax = 2147483647;

const EffectInfo kEffects[] = {
    {kEffectPlasma,
     "Plasma",
     Plasma,
     {{"seed", 3, 1, 0, kIntMax},
      {"roughness", 4, 250, 0, 500},
      {"red", 5, 255, 0, 255},
      {"green", 6, 255, 0, 255},
      {"blue", 7, 255, 0, 255},
      {"style", 11, 12, 0, 17},
      {"grey", 12, 0, 0, 1}}},
    {kEffectPerlinNoise,
     "Generate Perlin Noise",
     PerlinNoise,
     {{"seed", 3, 1, 0, kIntMax},
      {"scale", 4, 64, 2, 4096},
      {"octaves", 5, 4, 1, 8},
      {"red", 6, 255, 0, 255},
      {"green", 7, 255, 0, 255},
      {"blue", 8, 255, 0, 255},
      {"persistence", 9, 50, 0, 100},
      {"style", 12, 12, 0, 17},
      {"colour", 13, 0, 0, 1}}},
    {kEffectEmboss,
     "Emboss",
     Emboss,
     {{"depth", 3, 64, 1, 256},
      {"angle", 4, 135, -360, 360},
      {"elevation", 5, 45, 0, 90},
      {"colour", 7, 0, 0, 1}}},
    {kEffectColorize,
     "Colorize",
     Colorize,
     {{"hue", 3, 0, 0, 255}, {"saturation", 4, 128, 0, 255}, {"lightness", 5, 127, 0, 255}}},
    // Generators and filters (effect_script_generators.cpp).
    {1,
     "Lines",
     LinesEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 50, 0, kMostShapes},
      {"length", 5, 200, 0, 1000},
      {"angle", 6, 0, 0, 360},
      {"thickness", 7, 2, 1, 100},
      {"red", 8, 255, 0, 255},
      {"green", 9, 255, 0, 255},
      {"blue", 10, 255, 0, 255},
      {"style", 14, 12, 0, 17},
      {"random_colours", 15, 0, 0, 1},
      {"wrap", 16, 0, 0, 1},
      {"angle_variation", 17, 100, 0, 100},
      {"length_variation", 18, 50, 0, 100}}},
    {2,
     "Circles",
     CirclesEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 30, 0, kMostShapes},
      {"radius", 5, 60, 0, 1000},
      {"thickness", 7, 0, 0, 100},
      {"red", 8, 255, 0, 255},
      {"green", 9, 255, 0, 255},
      {"blue", 10, 255, 0, 255},
      {"style", 14, 12, 0, 17},
      {"random_colours", 15, 0, 0, 1},
      {"wrap", 16, 0, 0, 1},
      {"colour_variation", 17, 0, 0, 100},
      {"size_variation", 18, 50, 0, 100}}},
    {3,
     "Rectangles",
     RectanglesEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 30, 0, kMostShapes},
      {"width", 5, 100, 0, 1000},
      {"height", 6, 100, 0, 1000},
      {"thickness", 7, 0, 0, 100},
      {"red", 8, 255, 0, 255},
      {"green", 9, 255, 0, 255},
      {"blue", 10, 255, 0, 255},
      {"style", 14, 12, 0, 17},
      {"random_colours", 15, 0, 0, 1},
      {"wrap", 16, 0, 0, 1},
      {"colour_variation", 17, 0, 0, 100},
      {"size_variation", 18, 50, 0, 100}}},
    {4,
     "Splines",
     SplinesEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 10, 0, kMostShapes},
      {"points", 5, 5, 2, 64},
      {"extent", 7, 400, 0, 1000},
      {"thickness", 8, 2, 1, 100},
      {"red", 9, 255, 0, 255},
      {"green", 10, 255, 0, 255},
      {"blue", 11, 255, 0, 255},
      {"style", 15, 12, 0, 17},
      {"random_colours", 16, 0, 0, 1},
      {"colour_variation", 17, 0, 0, 100},
      {"size_variation", 18, 30, 0, 100}}},
    {19,
     "Edge",
     EdgeEffect,
     {{"strength", 3, 128, 0, 255}, {"threshold", 4, 10, 0, 100}, {"keep", 5, 0, 0, 100}}},
    {20,
     "Blobs",
     BlobsEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 20, 0, kMostShapes},
      {"diameter", 5, 80, 0, 1000},
      {"red", 7, 255, 0, 255},
      {"green", 8, 255, 0, 255},
      {"blue", 9, 255, 0, 255},
      {"style", 13, 12, 0, 17},
      {"random_colours", 14, 0, 0, 1}}},
    {21,
     "Generate Noise",
     GenerateNoiseEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"cell_width", 4, 1, 1, 10000},
      {"cell_height", 5, 1, 1, 10000},
      {"contrast", 6, 100, 0, 100},
      {"red", 7, 255, 0, 255},
      {"green", 8, 255, 0, 255},
      {"blue", 9, 255, 0, 255},
      {"style", 13, 12, 0, 17},
      {"colour_noise", 14, 0, 0, 1}}},
    {24,
     "Sine Plasma",
     SinePlasmaEffect,
     {{"waves_across", 3, 3, 0, 33},
      {"waves_down", 4, 2, 0, 33},
      {"phase", 5, 0, 0, 250},
      {"twist", 6, 60, 0, 250},
      {"red", 7, 255, 0, 255},
      {"green", 8, 255, 0, 255},
      {"blue", 9, 255, 0, 255},
      {"style", 13, 12, 0, 17}}},
    {25, "Maximum", MaximumEffect, {{"radius", 3, 1, 1, 100}}},
    {26, "Minimum", MinimumEffect, {{"radius", 3, 1, 1, 100}}},
    {27,
     "Bump",
     BumpEffect,
     {{"depth", 3, 64, 1, 256}, {"softness", 4, 2, 1, 51}, {"brightness", 5, 0, -25, 25}}},
    {37,
     "Worms",
     WormsEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 20, 0, kMostShapes},
      {"length", 5, 300, 0, 1000},
      {"curl", 6, 300, 0, 1000},
      {"thickness", 7, 3, 1, 100},
      {"red", 8, 255, 0, 255},
      {"green", 9, 255, 0, 255},
      {"blue", 10, 255, 0, 255},
      {"style", 14, 12, 0, 17},
      {"random_colours", 15, 0, 0, 1},
      {"colour_variation", 16, 0, 0, 100}}},
    {42,
     "Pattern",
     PatternEffect,
     {{"cell_width", 3, 16, 2, 10000},
      {"cell_height", 4, 16, 2, 10000},
      {"thickness", 5, 2, 1, 1000},
      {"kind", 6, 0, 0, 5},
      {"style", 10, 12, 0, 17},
      {"shift", 11, 0, 0, 100},
      {"turn", 12, 0, 0, 100},
      {"inverted", 13, 0, 0, 1}}},
    {43,
     "Points",
     PointsEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 200, 0, kMostShapes},
      {"radius", 5, 2, 0, 1000},
      {"red", 6, 255, 0, 255},
      {"green", 7, 255, 0, 255},
      {"blue", 8, 255, 0, 255},
      {"style", 12, 12, 0, 17},
      {"random_colours", 13, 0, 0, 1},
      {"size_variation", 14, 50, 0, 100}}},
    {55,
     "Fractal Plasma",
     FractalPlasmaEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"red", 4, 255, 0, 255},
      {"green", 5, 255, 0, 255},
      {"blue", 6, 255, 0, 255},
      {"style", 10, 12, 0, 17},
      {"grey", 11, 0, 0, 1}}},
    {58,
     "Trees",
     TreesEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"count", 4, 5, 0, kMostShapes},
      {"length", 5, 150, 0, 1000},
      {"forks", 6, 2, 1, 4},
      {"thickness", 8, 4, 1, 100},
      {"red", 9, 255, 0, 255},
      {"green", 10, 255, 0, 255},
      {"blue", 11, 255, 0, 255},
      {"style", 15, 12, 0, 17},
      {"random_colours", 16, 0, 0, 1},
      {"colour_variation", 17, 0, 0, 100},
      {"levels", 19, 6, 1, 10}}},
    {59,
     "Fibers",
     FibersEffect,
     {{"seed", 3, 1, 0, kIntMax},
      {"density", 4, 20, 1, 1000},
      {"length", 5, 300, 0, 1000},
      {"thickness", 6, 1, 1, 100},
      {"spread", 7, 10, 0, 90},
      {"red", 8, 255, 0, 255},
      {"green", 9, 255, 0, 255},
      {"blue", 10, 255, 0, 255},
      {"colour_variation", 11, 30, 0, 100},
      {"waviness", 12, 30, 0, 100},
      {"style", 16, 12, 0, 17}}},
    {kEffectRotate,
     "Rotate",
     Rotate,
     {{"angle", 3, 0, -kIntMax, kIntMax}, {"zoom", 4, 100, 1, 1000}}},
};

// The table's parts: the rows above, then those of the other effect files.
std::span<const EffectInfo> Part(size_t i) noexcept {
  switch (i) {
    case 0:
      return kEffects;
    case 1:
      return WarpEffects();
    default:
      return {};
  }
}
constexpr size_t kParts = 2;

}  // namespace

const EffectInfo* FindEffect(int32_t number) noexcept {
  for (size_t p = 0; p < kParts; ++p)
    for (const EffectInfo& e : Part(p))
      if (e.number == number) return &e;
  return nullptr;
}

const EffectInfo* FindEffect(std::string_view name) noexcept {
  for (size_t p = 0; p < kParts; ++p)
    for (const EffectInfo& e : Part(p))
      if (name == e.name) return &e;
  return nullptr;
}

int32_t EffectCount() noexcept {
  size_t count = 0;
  for (size_t p = 0; p < kParts; ++p) count += Part(p).size();
  return static_cast<int32_t>(count);
}

const EffectInfo& EffectAt(int32_t index) noexcept {
  size_t i = size_t(std::max(index, 0));
  for (size_t p = 0; p < kParts; ++p) {
    if (i < Part(p).size()) return Part(p)[i];
    i -= Part(p).size();
  }
  return kEffects[0];
}

void DefaultValues(const EffectInfo& effect, int32_t* values) noexcept {
  std::fill(values, values + kSlotCount, 0);
  for (const Param& p : effect.params)
    if (p.name) values[p.slot] = p.defaultValue;
}

void ClampValues(const EffectInfo& effect, const int32_t* values, int32_t* clamped) noexcept {
  std::copy(values, values + kSlotCount, clamped);
  for (const Param& p : effect.params)
    if (p.name) clamped[p.slot] = std::clamp(values[p.slot], p.min, p.max);
}

}  // namespace dro::platform::effects::detail
