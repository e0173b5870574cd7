// The free-colour search: the first absent colour in blue-green-red order,
// and no colour at all when the picture holds every one.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "imaging/free_color.h"

namespace {

using dro::imaging::FindFreeColor;

// A tight RGBA32 picture with pixel i of colour first + i (alpha varies),
// skipping the colour `gap`.
std::vector<uint8_t> Colors(uint32_t first, uint32_t count, uint32_t gap = ~0u) {
  std::vector<uint8_t> px;
  for (uint32_t c = first; c < first + count; ++c)
    if (c != gap)
      px.insert(px.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c * 7)});
  return px;
}

TEST(FreeColor, FirstGapInBlueGreenRedOrder) {
  const std::vector<uint8_t> black(9 * 4, 0);
  EXPECT_EQ(FindFreeColor(black.data(), 9), 1u);
  EXPECT_EQ(FindFreeColor(nullptr, 0), 0u);
  // Every red at green 0, blue 0: the answer is green 1, the value 256.
  EXPECT_EQ(FindFreeColor(Colors(0, 256).data(), 256), 256u);
  // Blue 0 and 1 complete but for (7, 3, 1).
  const uint32_t gap = 7 | 3 << 8 | 1 << 16;
  EXPECT_EQ(FindFreeColor(Colors(0, 2 << 16, gap).data(), (2 << 16) - 1), gap);
  // Colours present only above the gap do not hide it.
  EXPECT_EQ(FindFreeColor(Colors(1, 1000).data(), 1000), 0u);
}

TEST(FreeColor, NoneWhenEveryColorIsPresent) {
  std::vector<uint8_t> all = Colors(0, 1 << 24);
  EXPECT_EQ(FindFreeColor(all.data(), 1 << 24), std::nullopt);
  all[4 * 100] = 0;  // colour 100 lost
  EXPECT_EQ(FindFreeColor(all.data(), 1 << 24), 100u);
}

}  // namespace
