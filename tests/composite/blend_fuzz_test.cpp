// The blend kernels against the reference: a seeded random run of 123 000
// cases, over 20 million pixels of every mode, with and without layer mask,
// at many opacities and with keep-alpha, over runs of opaque and empty
// pixels as well as mixed ones. Every pixel of the table's kernel
// (the fast path where there is one) must equal the reference, and the
// reference's output over all cases makes one pinned checksum, the same
// whatever the processor offers.
//
// Case n blends mode n modulo the mode count, from its own seed. To rerun
// one case alone and see its parameters (from the build directory):
//   DROVINE_FUZZ_CASE=<n> tests/test_composite --gtest_filter=BlendFuzz.*
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ios>
#include <iostream>
#include <vector>

#include "base/cpu.h"
#include "base/types.h"
#include "composite/blend_modes.h"
#include "support/canvas.h"
#include "support/fuzz.h"

namespace {

using dro::Pixel64;
using namespace dro::composite;

constexpr int64_t kModes = kLastBlendMode + 1;
constexpr int64_t kCases = 3000 * kModes;  // about 500 000 pixels per mode
constexpr uint64_t kPinnedChecksum = 0x9B7DD0C681679CFAull;

constexpr uint64_t kPoolSeed = 0x5EED0F0DB1E5Dull;
constexpr uint64_t kCaseSeed = 0xB1E4DF022ull;
constexpr int kPool = 1 << 16;
constexpr int kWidth = 131;  // odd, so rows end in partial vector blocks
constexpr int kRows = 4;

// Channel values that sit on the edges of the formulas' branches, mixed
// with uniform ones.
uint16_t Channel(drovine_test::CaseRandom& rng) {
  static constexpr uint16_t kEdges[] = {0,     1,     255,   256,   8190,  8191,  8192,
                                        9214,  9215,  12286, 12287, 32511, 32512, 32766,
                                        32767, 32768, 36862, 36863, 65279, 65280, 65534,
                                        65535, 16320, 32640, 48960, 6861,  6862};
  if (rng.Below(3) == 0) return kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])];
  return static_cast<uint16_t>(rng.Next());
}

Pixel64 RandomPixel(drovine_test::CaseRandom& rng) {
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

// Random pixels in runs of up to 24 that are all opaque, all empty or
// mixed, so that whole vector blocks meet the kernels' block-wide shortcuts.
std::vector<Pixel64> Pool() {
  drovine_test::CaseRandom poolRandom(kPoolSeed, 0);
  std::vector<Pixel64> pool(kPool);
  for (size_t i = 0; i < pool.size();) {
    const int run = 1 + poolRandom.Below(24);
    const int kind = poolRandom.Below(4);
    for (int k = 0; k < run && i < pool.size(); ++k, ++i) {
      Pixel64 p = RandomPixel(poolRandom);
      if (kind == 1)
        p.a = poolRandom.Below(2) ? 65535 : static_cast<uint16_t>(65280 + poolRandom.Below(256));
      if (kind == 2) p.a = 0;
      pool[i] = p;
    }
  }
  return pool;
}

// One case: a rectangle of the source blended onto a copy of random pixels
// through a random layer mask; the source, mask and target are read at
// random places in one pool of random pixels.
struct Case {
  int mode, opacity, maskMode;
  bool keepAlpha;
  int w, h, dx;
  int source, mask, target;  // offsets into the pool

  explicit Case(int64_t n) {
    drovine_test::CaseRandom rng(kCaseSeed, n);
    static constexpr int kOpacities[] = {0, 1, 128, 200, 254, 255, 256};
    mode = static_cast<int>(n % kModes);
    opacity = rng.Below(3) ? kOpacities[rng.Below(7)] : rng.Below(257);
    maskMode = rng.Below(2) ? kModeLayerMask : 0;
    keepAlpha = rng.Below(4) == 0;
    w = 1 + rng.Below(kWidth);
    h = 1 + rng.Below(kRows);
    dx = rng.Below(kWidth - w + 1);
    source = rng.Below(kPool - kWidth * kRows);
    mask = rng.Below(kPool - kWidth * kRows);
    target = rng.Below(kPool - kWidth * kRows);
  }
  void Run(const std::vector<Pixel64>& pool, bool reference, std::vector<Pixel64>& out) const {
    std::copy_n(pool.begin() + target, out.size(), out.begin());
    auto blend = reference ? &BlendLayerRectReference : &BlendLayerRect;
    blend(pool.data() + source, 0, 0, w, h, kWidth * 4, pool.data() + mask, out.data(), dx, 0,
          kWidth * 4, mode, maskMode, opacity, keepAlpha);
  }
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << "mode " << c.mode << " (" << BlendModeName(c.mode) << "), opacity " << c.opacity
            << ", mask mode " << c.maskMode << ", keep alpha " << c.keepAlpha << ", " << c.w
            << " x " << c.h << " at column " << c.dx << ", pool offsets source " << c.source
            << " mask " << c.mask << " target " << c.target;
}

TEST(BlendFuzz, FastPathsMatchTheReferenceBitForBit) {
  const int64_t chosen = drovine_test::ChosenFuzzCase();
  ASSERT_LT(chosen, kCases);
  const std::vector<Pixel64> pool = Pool();
  std::vector<Pixel64> table(kWidth * kRows), reference(kWidth * kRows);
  uint64_t checksum = drovine_test::kChecksumStart;
  for (int64_t n = std::max<int64_t>(chosen, 0); n < (chosen < 0 ? kCases : chosen + 1); ++n) {
    const Case c(n);
    if (chosen >= 0) std::cout << "case " << n << ": " << c << "\n";
    c.Run(pool, false, table);
    c.Run(pool, true, reference);
    checksum = drovine_test::Checksum(checksum, reference.data(), reference.size());
    const auto differs = std::mismatch(table.begin(), table.end(), reference.begin());
    if (differs.first != table.end()) {
      const size_t i = static_cast<size_t>(differs.first - table.begin());
      FAIL() << "case " << n << " (rerun it with DROVINE_FUZZ_CASE=" << n << "): " << c
             << "; pixel (" << i % kWidth << ", " << i / kWidth << "): kernel "
             << ::testing::PrintToString(table[i]) << ", reference "
             << ::testing::PrintToString(reference[i]);
    }
  }
  if (chosen >= 0) {
    std::cout << "case " << chosen << " checksum 0x" << std::hex << checksum << std::dec << "\n";
    return;
  }
  EXPECT_EQ(checksum, kPinnedChecksum) << "checksum 0x" << std::hex << checksum;
  // Where the processor has them, most modes have a vector kernel, and the
  // cases above compared them.
  if (dro::cpu::UseAvx2()) {
    int fast = 0;
    for (int mode = 0; mode < kModes; ++mode) fast += FastPathActive(mode);
    EXPECT_GE(fast, 30);
  }
}

// The luminance-scaling alpha modes branch on the source alpha at many
// points (darken or brighten, step, ramp): every alpha value once, with
// random colours over the pool's empty, opaque and translucent pixels,
// plain and through the layer mask with keep-alpha.
TEST(BlendFuzz, LuminanceScalesMatchTheReferenceAtEveryAlpha) {
  const std::vector<Pixel64> pool = Pool();
  static_assert(kPool == 65536);
  std::vector<Pixel64> src = pool, mask(pool.rbegin(), pool.rend()), target(kPool);
  for (size_t i = 0; i < src.size(); ++i) src[i].a = static_cast<uint16_t>(i);
  std::rotate_copy(pool.begin(), pool.begin() + kPool / 2, pool.end(), target.begin());
  for (int mode = kModeAlphaSmoothLum; mode <= kModeAlphaSmoothLum5; ++mode) {
    for (const bool masked : {false, true}) {
      std::vector<Pixel64> table = target, reference = target;
      BlendLayerRect(src.data(), 0, 0, 256, 256, 1024, mask.data(), table.data(), 0, 0, 1024, mode,
                     masked ? kModeLayerMask : 0, 256, masked);
      BlendLayerRectReference(src.data(), 0, 0, 256, 256, 1024, mask.data(), reference.data(), 0, 0,
                              1024, mode, masked ? kModeLayerMask : 0, 256, masked);
      const auto differs = std::mismatch(table.begin(), table.end(), reference.begin());
      ASSERT_TRUE(differs.first == table.end())
          << "mode " << mode << (masked ? " masked" : "") << ", source "
          << ::testing::PrintToString(src[differs.first - table.begin()]) << ": kernel "
          << ::testing::PrintToString(*differs.first) << ", reference "
          << ::testing::PrintToString(*differs.second);
    }
  }
}

}  // namespace
