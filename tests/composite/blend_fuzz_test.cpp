// The fast blend paths against the reference: a seeded random run over
// millions of pixels of every mode, with and without layer mask, at many
// opacities and with keep-alpha, compared by one checksum per mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "composite/blend_modes.h"

namespace {

using dro::Pixel64;
using namespace dro::composite;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr int kPixelsPerMode = 40000;  // instrumented builds run slower
#else
constexpr int kPixelsPerMode = 500000;  // 41 modes: over 20 million pixels
#endif

// xorshift64*: small, seeded and the same everywhere.
struct Random {
  uint64_t state;
  uint32_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

// Channel values that sit on the edges of the formulas' branches, mixed
// with uniform ones.
uint16_t Channel(Random& rng) {
  static constexpr uint16_t kEdges[] = {0,     1,     255,   256,   8190,  8191,  8192,
                                        9214,  9215,  12286, 12287, 32511, 32512, 32766,
                                        32767, 32768, 36862, 36863, 65279, 65280, 65534,
                                        65535, 16320, 32640, 48960, 6861,  6862};
  if (rng.Below(3) == 0) return kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])];
  return static_cast<uint16_t>(rng.Next());
}

Pixel64 RandomPixel(Random& rng) {
  Pixel64 p{Channel(rng), Channel(rng), Channel(rng), Channel(rng)};
  switch (rng.Below(8)) {
    case 0:
      p.a = 0;
      break;  // empty
    case 1:
      p.a = 65535;
      break;  // opaque
    case 2:
      p.a = 65280;
      break;
    case 3:
      p.r = p.g = p.b = p.a;
      break;  // grey ramp
    default:
      break;
  }
  return p;
}

uint64_t Mix(uint64_t sum, const Pixel64& p) {
  const uint64_t v =
      uint64_t{p.r} | uint64_t{p.g} << 16 | uint64_t{p.b} << 32 | uint64_t{p.a} << 48;
  return (sum ^ v) * 0x100000001B3ull + (sum >> 29);
}

struct Outcome {
  uint64_t checksum = 0xCBF29CE484222325ull;
  int64_t mismatches = 0;
  std::string first;
};

TEST(BlendFuzz, FastPathsMatchTheReferenceBitForBit) {
  bool anyFast = false;
  for (int mode = 0; mode <= kLastBlendMode; ++mode) anyFast = anyFast || FastPathActive(mode);
  if (!anyFast) GTEST_SKIP() << "no fast path on this CPU or DROVINE_NO_FAST_PATHS is set";

  Random rng{0x5EED0F0DB1E5Dull};
  // Pools of random pixels; each round reads a source and a layer mask at
  // random places in them and blends onto a fresh copy of random pixels.
  constexpr int kPool = 1 << 16;
  std::vector<Pixel64> pool(kPool);
  for (auto& p : pool) p = RandomPixel(rng);
  constexpr int kWidth = 131;  // odd, so rows end in partial vector blocks
  constexpr int kRows = 4;
  std::vector<Pixel64> fast(kWidth * kRows), ref(kWidth * kRows);
  int64_t total = 0;
  for (int mode = 0; mode <= kLastBlendMode; ++mode) {
    if (!FastPathActive(mode)) continue;
    Outcome a, b;
    for (int done = 0; done < kPixelsPerMode;) {
      static constexpr int kOpacities[] = {0, 1, 128, 200, 254, 255, 256};
      const int opacity = rng.Below(3) ? kOpacities[rng.Below(7)] : rng.Below(257);
      const int maskMode = rng.Below(2) ? kModeLayerMask : 0;
      const bool keepAlpha = rng.Below(4) == 0;
      const int w = 1 + rng.Below(kWidth);
      const int h = 1 + rng.Below(kRows);
      const int dx = rng.Below(kWidth - w + 1);
      const Pixel64* src = pool.data() + rng.Below(kPool - kWidth * kRows);
      const Pixel64* mask = pool.data() + rng.Below(kPool - kWidth * kRows);
      const Pixel64* dst = pool.data() + rng.Below(kPool - kWidth * kRows);
      std::copy(dst, dst + fast.size(), fast.begin());
      std::copy(dst, dst + ref.size(), ref.begin());
      BlendLayerRect(src, 0, 0, w, h, kWidth * 4, mask, fast.data(), dx, 0, kWidth * 4, mode,
                     maskMode, opacity, keepAlpha);
      BlendLayerRectReference(src, 0, 0, w, h, kWidth * 4, mask, ref.data(), dx, 0, kWidth * 4,
                              mode, maskMode, opacity, keepAlpha);
      for (size_t i = 0; i < fast.size(); ++i) {
        a.checksum = Mix(a.checksum, fast[i]);
        b.checksum = Mix(b.checksum, ref[i]);
        const Pixel64 &f = fast[i], &r = ref[i];
        if ((f.r != r.r || f.g != r.g || f.b != r.b || f.a != r.a) && a.mismatches++ == 0) {
          a.first = "pixel " + std::to_string(i) + " opacity " + std::to_string(opacity) +
                    " mask " + std::to_string(maskMode) + " keep " + std::to_string(keepAlpha) +
                    ": fast (" + std::to_string(f.r) + "," + std::to_string(f.g) + "," +
                    std::to_string(f.b) + "," + std::to_string(f.a) + ") reference (" +
                    std::to_string(r.r) + "," + std::to_string(r.g) + "," + std::to_string(r.b) +
                    "," + std::to_string(r.a) + ")";
        }
      }
      done += w * h;
    }
    total += kPixelsPerMode;
    EXPECT_EQ(a.checksum, b.checksum)
        << "mode " << mode << " (" << BlendModeName(mode) << "): " << a.mismatches
        << " mismatching pixels, first at " << a.first;
  }
  EXPECT_GE(total, int64_t{kPixelsPerMode} * 30);
}

}  // namespace
