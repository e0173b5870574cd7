// Random grit made by DRO_SetTool: exact cursor arithmetic, reproducibility
// for a seed, and the cases that must leave the buffers alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/random.h"
#include "drovine.h"
#include "engine/engine.h"

namespace {

using dro::engine;

// The tool with grit settings only: a disc tip, no grit picture.
int32_t SetGritTool(int32_t cell, int32_t cellThreshold, int32_t pixelThreshold,
                    const char* gritSource = "", int32_t drawingLength = 7) {
  return DRO_SetTool(1.0f, cell, cellThreshold, pixelThreshold, 0, 0, drawingLength, 0, 0, 0, 0, 0,
                     0, gritSource, "", 0);
}

std::vector<std::vector<uint8_t>> CopyGrit() {
  std::vector<std::vector<uint8_t>> copy;
  for (const auto& g : engine().brush.grit) copy.emplace_back(g.begin(), g.end());
  return copy;
}

class Grit : public ::testing::Test {
 protected:
  void SetUp() override {
    DRO_SetLastError("");
    DRO_SetRandomSeed(0);
  }
  void TearDown() override {
    DRO_DeleteImage();
    DRO_SetRandomSeed(0);
  }
  const uint8_t* D() { return engine().brush.gritDecision.data.data(); }
  const uint8_t* V() { return engine().brush.gritLevel.data.data(); }
};

TEST_F(Grit, OneCellPerBufferFollowsTheDecisionAndLevelCursors) {
  // L = 30 and S = 5: the grain square is 30 x 30 at stride 30, one cell of 30.
  DRO_CreateImage(nullptr, 16, 16, 30, 5);
  DRO_SetSize(5);
  ASSERT_EQ(SetGritTool(30, 256, 128), 1);

  dro::RuntimeRandom rng;
  rng.Seed(0);
  for (int k = 0; k < 20; ++k) {
    const uint32_t r1 = static_cast<uint32_t>(rng.Next());
    const uint32_t r2 = static_cast<uint32_t>(rng.Next());
    const uint32_t decision = r1 * (999940u / 32767u);  // (1e6 - 2n) / 32767 = 30
    const uint32_t level = r2 * (999970u / 32767u);     // (1e6 - n) / 32767 = 30
    const uint8_t cellLevel = V()[level];
    const auto& buffer = engine().brush.grit[k];
    ASSERT_EQ(buffer.size(), 55u * 55u);
    for (int p = 0; p < 900; ++p) {
      // The cell's own decision byte comes first, then one per pixel.
      const uint8_t expected = D()[decision + 1 + p] < 128 ? cellLevel : 255;
      ASSERT_EQ(buffer[p], expected) << "buffer " << k << " pixel " << p;
    }
    for (size_t p = 900; p < buffer.size(); ++p) ASSERT_EQ(buffer[p], 255);
  }
  EXPECT_EQ(engine().brush.currentGrit, 19);
  EXPECT_EQ(engine().brush.drawingLengthCounter, 7);
}

TEST_F(Grit, CellsOfARowTakeConsecutiveLevelsAndClipAtTheSquare) {
  // S + 25 = 35 with cells of 4: nine cells a row, the last 3 pixels wide.
  DRO_CreateImage(nullptr, 16, 16, 40, 5);
  DRO_SetSize(10);
  SetGritTool(4, 256, 256);

  dro::RuntimeRandom rng;
  rng.Seed(0);
  for (int k = 0; k < 20; ++k) {
    const auto& buffer = engine().brush.grit[k];
    for (int row = 0; row < 9; ++row) {
      rng.Next();  // r1 places the decision cursor
      const uint32_t levelStart = static_cast<uint32_t>(rng.Next()) * (999996u / 32767u);
      for (int y = row * 4; y < std::min(row * 4 + 4, 35); ++y) {
        for (int x = 0; x < 40; ++x) {
          const uint8_t expected = x < 35 ? V()[levelStart + x / 4] : 255;
          ASSERT_EQ(buffer[y * 40 + x], expected) << "buffer " << k << " at " << x << "," << y;
        }
      }
    }
    for (int y = 35; y < 65; ++y) {
      for (int x = 0; x < 40; ++x) ASSERT_EQ(buffer[y * 40 + x], 255);
    }
  }
}

TEST_F(Grit, SameToolAndSeedGiveTheSameGrainAnotherSeedDoesNot) {
  DRO_CreateImage(nullptr, 16, 16, 48, 5);
  DRO_SetSize(48);
  SetGritTool(2, 150, 200);
  const auto first = CopyGrit();
  engine().random.generator.Next();  // whatever ran in between
  SetGritTool(2, 150, 200);
  EXPECT_EQ(CopyGrit(), first);

  DRO_SetRandomSeed(12345);
  SetGritTool(2, 150, 200);
  const auto other = CopyGrit();
  for (int k = 0; k < 20; ++k) EXPECT_NE(other[k], first[k]) << "buffer " << k;
  // The buffers of one call differ from each other too.
  EXPECT_NE(first[0], first[1]);
}

TEST_F(Grit, CellSizeZeroOrNegativeLeavesTheBuffersAlone) {
  DRO_CreateImage(nullptr, 16, 16, 24, 5);
  DRO_SetSize(24);
  for (auto& g : engine().brush.grit) g.FillBytes(0x5A);
  engine().brush.drawingLengthCounter = -3;
  SetGritTool(0, 256, 256, "");
  SetGritTool(0, 256, 256, "x");  // one character: no grit picture
  SetGritTool(-4, 256, 256, nullptr);
  for (const auto& g : engine().brush.grit) {
    ASSERT_TRUE(std::all_of(g.begin(), g.end(), [](uint8_t v) { return v == 0x5A; }));
  }
  EXPECT_EQ(engine().brush.drawingLengthCounter, -3);
  EXPECT_EQ(engine().brush.gritCellSize, -4);  // still stored
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Grit, LargeBrushesAndCellsNeverReadPastTheTables) {
  // Rows of 1025 pixels in cells of 30 draw far more decision bytes than
  // some row starts leave before the end of the table; under the address
  // sanitizer any read past it fails this test.
  DRO_CreateImage(nullptr, 16, 16, 1000, 5);
  DRO_SetSize(1000);
  SetGritTool(30, 256, 100);
  const auto& g = engine().brush.grit[19];
  // Row 1024 is the last of the square; stride L = 1000.
  EXPECT_TRUE(std::any_of(g.begin() + 1024 * 1000, g.begin() + 1024 * 1000 + 1025,
                          [](uint8_t v) { return v != 255; }));
  // Cells as large as the table still draw in-bounds positions.
  DRO_NewSize(nullptr, 16, 16, 8, 5);
  DRO_SetSize(8);
  SetGritTool(600000, 256, 256);
  EXPECT_NE(engine().brush.grit[0][0], 255);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Grit, ToolWithoutACanvasStoresItsSettings) {
  DRO_DeleteImage();
  EXPECT_EQ(SetGritTool(4, 100, 100, "", 9), 1);
  EXPECT_EQ(engine().brush.gritCellSize, 4);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

}  // namespace
