// The free-colour search: the first absent colour in blue-green-red order,
// and no colour at all when the picture holds every one.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "imaging/free_color.h"

namespace {

using dro::imaging::FindFreeColor;
using Bytes = std::vector<uint8_t>;

Bytes Pixels(const std::vector<uint32_t>& colors) {
  Bytes px;
  for (uint32_t c : colors)
    px.insert(px.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0x5A});
  return px;
}

// The search as one scan per (blue, green) pair, stopping at the first red
// no pixel with that pair has.
std::optional<uint32_t> PairByPair(const Bytes& px) {
  for (uint32_t b = 0; b < 256; ++b)
    for (uint32_t g = 0; g < 256; ++g) {
      bool red[256] = {};
      for (size_t i = 0; i < px.size(); i += 4)
        if (px[i + 1] == g && px[i + 2] == b) red[px[i]] = true;
      for (uint32_t r = 0; r < 256; ++r)
        if (!red[r]) return r | g << 8 | b << 16;
    }
  return std::nullopt;
}

TEST(FreeColor, FirstGapInBlueGreenRedOrder) {
  EXPECT_EQ(FindFreeColor(Pixels(std::vector<uint32_t>(9, 0)).data(), 9), 1u) << "all black";
  EXPECT_EQ(FindFreeColor(nullptr, 0), 0u);
  // Every red with green and blue 0: the answer is green 1, the value 256.
  std::vector<uint32_t> reds;
  for (uint32_t r = 0; r < 256; ++r) reds.push_back(r);
  EXPECT_EQ(FindFreeColor(Pixels(reds).data(), reds.size()), 256u);
  // Blue 0 complete and blue 1 complete but for (7, 3, 1).
  std::vector<uint32_t> crafted;
  for (uint32_t c = 0; c < 2 * 65536; ++c)
    if (c != (7u | 3u << 8 | 1u << 16)) crafted.push_back(c);
  EXPECT_EQ(FindFreeColor(Pixels(crafted).data(), crafted.size()), 7u | 3u << 8 | 1u << 16);
  // Small random pictures of low colours, against the pair-by-pair scan.
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint32_t> colors(rng() % 40 + 1);
    for (uint32_t& c : colors) c = (rng() % 6) | (rng() % 2) << 8 | (rng() % 2) << 16;
    const Bytes px = Pixels(colors);
    EXPECT_EQ(FindFreeColor(px.data(), colors.size()), PairByPair(px)) << "round " << round;
  }
}

TEST(FreeColor, NoneWhenEveryColorIsPresent) {
  std::vector<uint32_t> all(size_t{1} << 24);
  // Backwards, so the last pixel read fills the first gap.
  for (uint32_t c = 0; c < all.size(); ++c) all[c] = uint32_t(all.size() - 1 - c);
  Bytes px = Pixels(all);
  EXPECT_EQ(FindFreeColor(px.data(), all.size()), std::nullopt);
  px[4 * 100] = 0;  // colour 0xFFFFFF - 100 lost (and black twice)
  EXPECT_EQ(FindFreeColor(px.data(), all.size()), 0xFFFFFFu - 100);
}

}  // namespace
