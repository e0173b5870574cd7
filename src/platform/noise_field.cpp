#include "platform/noise_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace dro::platform::noise {
namespace {

struct Lattice {
  std::array<uint8_t, 256> perm{};
  std::array<float, 256> gx{}, gy{};
  explicit Lattice(uint64_t seed) {
    SplitMix rnd(seed);
    for (int i = 0; i < 256; ++i) perm[size_t(i)] = uint8_t(i);
    for (int i = 255; i > 0; --i) std::swap(perm[size_t(i)], perm[rnd.Next() % uint64_t(i + 1)]);
    for (int i = 0; i < 256; ++i) {
      const double a = rnd.Unit() * 6.283185307179586;
      gx[size_t(i)] = static_cast<float>(std::cos(a));
      gy[size_t(i)] = static_cast<float>(std::sin(a));
    }
  }
};

float Fade(float t) noexcept {
  return t * t * t * (t * (t * 6 - 15) + 10);
}

}  // namespace

void PerlinField(float* field, int32_t width, int32_t height, uint64_t seed, int32_t cellsX,
                 int32_t cellsY, int32_t octaves, float persistence) {
  const size_t count = size_t(width) * size_t(height);
  std::fill(field, field + count, 0.0f);
  // Per column of one octave: the two lattice columns (already through the
  // permutation), the fraction and its fade.
  std::vector<int32_t> columns(size_t(width) * 2);
  std::vector<float> fractions(size_t(width) * 2);
  float amplitude = 1.0f;
  for (int32_t o = 0; o < octaves; ++o, amplitude *= persistence) {
    const Lattice lattice(seed + uint64_t(o));
    const auto& perm = lattice.perm;
    const int64_t px = std::clamp<int64_t>(int64_t{cellsX} << std::min(o, 16), 1, 65536);
    const int64_t py = std::clamp<int64_t>(int64_t{cellsY} << std::min(o, 16), 1, 65536);
    for (int32_t x = 0; x < width; ++x) {
      const double gxPos = double(x) * double(px) / double(width);
      const int64_t i0 = int64_t(gxPos);
      const float f = float(gxPos - double(i0));
      columns[2 * size_t(x)] = perm[size_t(i0 % px) & 255];
      columns[2 * size_t(x) + 1] = perm[size_t((i0 + 1) % px) & 255];
      fractions[2 * size_t(x)] = f;
      fractions[2 * size_t(x) + 1] = Fade(f);
    }
    for (int32_t y = 0; y < height; ++y) {
      const double gyPos = double(y) * double(py) / double(height);
      const int64_t j0 = int64_t(gyPos);
      const float fy = float(gyPos - double(j0));
      const float w = Fade(fy);
      const int32_t r0 = int32_t((j0 % py) & 255), r1 = int32_t(((j0 + 1) % py) & 255);
      float* out = field + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x) {
        const int32_t c0 = columns[2 * size_t(x)], c1 = columns[2 * size_t(x) + 1];
        const float fx = fractions[2 * size_t(x)], u = fractions[2 * size_t(x) + 1];
        const size_t g00 = perm[size_t((c0 + r0) & 255)], g10 = perm[size_t((c1 + r0) & 255)];
        const size_t g01 = perm[size_t((c0 + r1) & 255)], g11 = perm[size_t((c1 + r1) & 255)];
        const float n00 = lattice.gx[g00] * fx + lattice.gy[g00] * fy;
        const float n10 = lattice.gx[g10] * (fx - 1) + lattice.gy[g10] * fy;
        const float n01 = lattice.gx[g01] * fx + lattice.gy[g01] * (fy - 1);
        const float n11 = lattice.gx[g11] * (fx - 1) + lattice.gy[g11] * (fy - 1);
        const float top = n00 + (n10 - n00) * u, bottom = n01 + (n11 - n01) * u;
        out[x] += amplitude * (top + (bottom - top) * w);
      }
    }
  }
}

}  // namespace dro::platform::noise
