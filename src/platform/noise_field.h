// Gradient (Perlin) noise shared by the effect-script generator and the
// image seam's noise planes.
//
// The field is periodic across the picture, so it tiles: octave o has
// (cellsX << o) x (cellsY << o) lattice cells over the whole picture (each
// count clamped to 1..65536), an amplitude of persistence^o, and gradients
// chosen by a 256-entry permutation drawn from SplitMix64 seeded with
// seed + o. The sum is left unscaled (about -1..1 for persistence 0.5).
#pragma once

#include <cstdint>

namespace dro::platform::noise {

// Fills width x height floats, rows packed; may throw std::bad_alloc.
void PerlinField(float* field, int32_t width, int32_t height, uint64_t seed, int32_t cellsX,
                 int32_t cellsY, int32_t octaves, float persistence);

// SplitMix64: small, fast and the same on every machine and compiler.
struct SplitMix {
  uint64_t state;
  explicit SplitMix(uint64_t seed) : state(seed) {}
  uint64_t Next() noexcept {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() noexcept { return double(Next() >> 11) * 0x1p-53; }
};

}  // namespace dro::platform::noise
