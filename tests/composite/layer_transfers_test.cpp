// The raw Pixel64 layer transfers: whole layers in and out with host
// strides, clipped rectangles, layer-to-layer copies, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 5;
constexpr int kH = 4;

Pixel64 Code(int x, int y) {
  return Pixel64{uint16_t(x), uint16_t(y), uint16_t(x * 100 + y), 65535};
}

bool Equal(const Pixel64& a, const Pixel64& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class RawTransfers : public drovine_test::CanvasTest {
 protected:
  RawTransfers() : CanvasTest({kW, kH}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
    ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  }
  // Read in the engine, not through the transfers under test.
  static const Pixel64& Stored(int slot, int x, int y) {
    return engine().layers.slots[slot].pixels[y * kW + x];
  }
};

TEST_F(RawTransfers, WholeLayerInAndOutWithPaddedRows) {
  // Rows of 7 pixels (56 bytes) carry 5 pixels each.
  constexpr int kPad = 7;
  std::vector<Pixel64> host(kPad * kH, Pixel64{9, 9, 9, 9});
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) host[y * kPad + x] = Code(x, y);
  }
  ASSERT_EQ(DRO_SetRGBA64Layer(host.data(), kPad * 8, 2), 1);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) ASSERT_TRUE(Equal(Stored(2, x, y), Code(x, y))) << x << "," << y;
  }
  std::vector<Pixel64> out(kPad * kH, Pixel64{7, 7, 7, 7});
  ASSERT_EQ(DRO_GetRGBA64Layer(out.data(), kPad * 8, 2), 1);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kPad; ++x) {
      const Pixel64 want = x < kW ? Code(x, y) : Pixel64{7, 7, 7, 7};
      ASSERT_TRUE(Equal(out[y * kPad + x], want)) << x << "," << y;  // padding untouched
    }
  }
}

TEST_F(RawTransfers, RectangleReadsClipToTheLayer) {
  std::vector<Pixel64> pixels(kW * kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) pixels[y * kW + x] = Code(x, y);
  }
  ASSERT_EQ(DRO_SetLayerData(pixels.data(), 2), 1);
  // A 3 x 3 rectangle at (-1, 2): one column and one row hang off the layer.
  std::vector<Pixel64> out(3 * 3, Pixel64{7, 7, 7, 7});
  ASSERT_EQ(DRO_GetRGBA64LayerRect(out.data(), 3 * 8, 2, -1, 2, 3, 3), 1);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      const int lx = x - 1, ly = y + 2;
      const bool inside = lx >= 0 && ly < kH;
      const Pixel64 want = inside ? Code(lx, ly) : Pixel64{7, 7, 7, 7};
      EXPECT_TRUE(Equal(out[y * 3 + x], want)) << x << "," << y;
    }
  }
  // Entirely outside, or empty: nothing moves.
  EXPECT_EQ(DRO_GetRGBA64LayerRect(out.data(), 3 * 8, 2, kW, 0, 3, 3), 0);
  EXPECT_EQ(DRO_GetRGBA64LayerRect(out.data(), 3 * 8, 2, 0, 0, 0, 3), 0);
  EXPECT_EQ(DRO_GetRGBA64LayerRect(out.data(), 3 * 8, 2, INT32_MAX, INT32_MAX, 3, 3), 0);
  EXPECT_TRUE(Equal(out[4], Code(0, 3)));
}

TEST_F(RawTransfers, LayerDataRoundTripsAndCopiesBetweenLayers) {
  std::vector<Pixel64> pixels(kW * kH);
  for (int i = 0; i < kW * kH; ++i) pixels[i] = Code(i, 2 * i);
  ASSERT_EQ(DRO_SetLayerData(pixels.data(), 2), 1);
  ASSERT_EQ(DRO_CopyLayerData(2, 3), 1);
  std::vector<Pixel64> out(kW * kH);
  ASSERT_EQ(DRO_GetLayerData(out.data(), 3), 1);
  EXPECT_EQ(std::memcmp(out.data(), pixels.data(), out.size() * sizeof(Pixel64)), 0);
  EXPECT_EQ(DRO_CopyLayerData(3, 3), 1);  // onto itself: unchanged
  EXPECT_TRUE(Equal(Stored(3, 4, 3), pixels[19]));
}

TEST_F(RawTransfers, RefusesEmptySlotsNullBuffersAndStaleSizes) {
  std::vector<Pixel64> buf(kW * kH, Pixel64{7, 7, 7, 7});
  EXPECT_EQ(DRO_SetRGBA64Layer(buf.data(), kW * 8, 4), 0);
  EXPECT_EQ(DRO_GetRGBA64Layer(buf.data(), kW * 8, 64), 0);
  EXPECT_EQ(DRO_SetLayerData(nullptr, 2), 0);
  EXPECT_EQ(DRO_GetLayerData(nullptr, 2), 0);
  EXPECT_EQ(DRO_GetRGBA64LayerRect(nullptr, 8, 2, 0, 0, 1, 1), 0);
  EXPECT_EQ(DRO_CopyLayerData(2, 4), 0);
  EXPECT_EQ(DRO_CopyLayerData(-1, 2), 0);
  // After a new canvas size the old layers are neither read nor written
  // with the new geometry.
  DRO_NewSize(nullptr, 50, 50, 8, 5);
  std::vector<Pixel64> big(50 * 50, Pixel64{7, 7, 7, 7});
  EXPECT_EQ(DRO_GetLayerData(big.data(), 2), 0);
  EXPECT_EQ(DRO_SetLayerData(big.data(), 2), 0);
  EXPECT_EQ(DRO_SetRGBA64Layer(big.data(), 50 * 8, 2), 0);
  EXPECT_EQ(DRO_CopyLayerData(2, 3), 0);
  EXPECT_TRUE(Equal(big[0], Pixel64{7, 7, 7, 7}));
}

TEST_F(RawTransfers, RowsCloserThanARowAreRefused) {
  // A stride shorter than the block's row (negative ones included) would
  // reach outside any buffer the host can have made for it.
  std::vector<Pixel64> buf(kW * kH, Pixel64{7, 7, 7, 7});
  for (const int32_t stride : {kW * 8 - 1, 0, -kW * 8, INT32_MIN}) {
    EXPECT_EQ(DRO_SetRGBA64Layer(buf.data(), stride, 2), 0) << stride;
    EXPECT_EQ(DRO_GetRGBA64Layer(buf.data(), stride, 2), 0) << stride;
    EXPECT_EQ(DRO_GetRGBA64LayerRect(buf.data(), stride, 2, 0, 0, kW, 2), 0) << stride;
  }
  EXPECT_EQ(DRO_GetRGBA64LayerRect(buf.data(), 3 * 8, 2, 0, 0, 3, 2), 1);  // exactly a row
  std::vector<uint8_t> rgb(kW * kH * 3, 1);
  DRO_SetPixelRGB24(rgb.data() + (kH - 1) * kW * 3, -kW * 3, 0, 1, 65535, 0, 0);
  DRO_SetPixelRGB24(rgb.data(), kW * 3 - 1, 0, 1, 65535, 0, 0);
  EXPECT_TRUE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t v) { return v == 1; }));
  DRO_SetPixelRGB24(rgb.data(), kW * 3, 1, 1, 65535, 0, 0);
  EXPECT_EQ(rgb[kW * 3 + 3], 255);
}

}  // namespace
