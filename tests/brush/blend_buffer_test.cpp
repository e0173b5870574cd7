// The blend buffer: the pick-up mix, the dab square's clipping and pre-fill,
// the mask form, clearing and the filters.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "brush/blend_buffer.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 12;
constexpr int kH = 10;
constexpr int kL = 16;  // brush size limit: blend buffer row stride

using Quad = std::array<int, 4>;
Quad Q(const Pixel64& p) {
  return {p.r, p.g, p.b, p.a};
}

class BlendBuffer : public drovine_test::CanvasTest {
 protected:
  BlendBuffer() : CanvasTest({kW, kH, kL}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetBlendStrength(128);
    DRO_SetColor16(1000, 2000, 3000);
    DRO_SetSize(9);
    DRO_EnableMask(0);
    source_.assign(kW * kH, Pixel64{0, 0, 0, 0});
    // Canvas pixel (x, y) carries x in red and y in green, opaque.
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        source_[y * kW + x] = {uint16_t(x * 256), uint16_t(y * 256), 0, 65280};
  }
  void TearDown() override {
    DRO_SetBlendStrength(0);
    DRO_SetSize(0);
    CanvasTest::TearDown();
  }
  // The blend buffer has no export that writes or reads it freely.
  static Pixel64& Blend(int col, int row) { return engine().brush.blendBuffer[row * kL + col]; }
  std::vector<Pixel64> source_;
};

TEST_F(BlendBuffer, NothingWhileTheBlendStrengthIsZero) {
  DRO_SetBlendStrength(0);
  Blend(0, 0) = {1, 2, 3, 4};
  EXPECT_EQ(DRO_DoCopyBlendBuffer(5, 5, source_.data(), 128, 0), 0);
  EXPECT_EQ(DRO_CopyBlendBufferSurface(5, 5, 128, 0), 0);
  EXPECT_EQ(DRO_DoCopyBlendBufferMask(5, 5, 128), 0);
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{1, 2, 3, 4}));
}

TEST_F(BlendBuffer, WeightMixesColorAndSource) {
  engine().brush.color = {1000, 2000, 3000, 40000};  // no export sets the colour's alpha
  // Weight 0: the source plus one; weight 256: the colour plus one.
  ASSERT_EQ(DRO_DoCopyBlendBuffer(6, 5, source_.data(), 0, 0), 1);
  // Dab square columns 2..10, rows 1..9: blend pixel (0, 0) is canvas (2, 1).
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{2 * 256 + 1, 256 + 1, 1, 65280}));
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{10 * 256 + 1, 9 * 256 + 1, 1, 65280}));
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 256, 0);
  EXPECT_EQ(Q(Blend(3, 3)), (Quad{1001, 2001, 3001, 40000}));
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 64, 0);
  // Blend pixel (1, 0) is canvas (3, 1): red 768, green 256, blue 0.
  EXPECT_EQ(Q(Blend(1, 0)),
            (Quad{(64 * 1000 + 192 * 768) / 256 + 1, (64 * 2000 + 192 * 256) / 256 + 1,
                  64 * 3000 / 256 + 1, (64 * 40000 + 192 * 65280) / 256}));
  // Channels stop at 65280.
  source_[kW * 5 + 6] = {65535, 65535, 65535, 65535};
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 0, 0);
  EXPECT_EQ(Q(Blend(4, 4)), (Quad{65280, 65280, 65280, 65535}));
}

TEST_F(BlendBuffer, TransparentSourceTakesTheColorAndAWeightAlpha) {
  for (auto& p : source_) p.a = 0;
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 256, 0);
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{1000, 2000, 3000, 0}));  // 256 mod 256
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 256, 1);
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{1000, 2000, 3000, 0}));
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 100, 0);
  EXPECT_EQ(Blend(0, 0).a, 100 * 256);
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 100, 1);
  EXPECT_EQ(Blend(0, 0).a, 156 * 256);

  // With the mask enabled a closed pixel counts as transparent and a half
  // open one halves the alpha before mixing.
  for (auto& p : source_) p.a = 65280;
  DRO_EnableMask(1);
  PutMask(2, 1, 0);
  PutMask(3, 1, 32768);
  DRO_DoCopyBlendBuffer(6, 5, source_.data(), 0, 0);
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{1000, 2000, 3000, 0}));
  // k = 32768 x 65535 / 65536 = 32767; a = trunc(32767 / 65535 x 65280) = 32639.
  EXPECT_EQ(Blend(1, 0).a, 32639);
}

TEST_F(BlendBuffer, DabPartlyOffTheCanvasIsPrefilledAndClipped) {
  for (auto& p : engine().brush.blendBuffer) p = {7, 7, 7, 7};
  DRO_DoCopyBlendBuffer(0, 0, source_.data(), 0, 0);
  // Rows and columns 0..3 keep the pre-fill: colour and (0 mod 256) x 256.
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{1000, 2000, 3000, 0}));
  EXPECT_EQ(Q(Blend(8, 3)), (Quad{1000, 2000, 3000, 0}));
  // Rows and columns 4..8 come from canvas rows and columns 0..4.
  EXPECT_EQ(Q(Blend(4, 4)), (Quad{1, 1, 1, 65280}));
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{4 * 256 + 1, 4 * 256 + 1, 1, 65280}));
  // Outside the n x n square nothing is written.
  EXPECT_EQ(Q(Blend(9, 0)), (Quad{7, 7, 7, 7}));
  EXPECT_EQ(Q(Blend(0, 9)), (Quad{7, 7, 7, 7}));

  // With alphaFlag the pre-fill writes only an opaque alpha.
  for (auto& p : engine().brush.blendBuffer) p = {7, 7, 7, 7};
  DRO_DoCopyBlendBuffer(kW - 1, kH - 1, source_.data(), 0, 1);
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{7, 7, 7, 65535}));
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{7 * 256 + 1, 5 * 256 + 1, 1, 65280}));

  // Entirely off the canvas: only the pre-fill.
  DRO_DoCopyBlendBuffer(-100, 3, source_.data(), 40, 0);
  EXPECT_EQ(Q(Blend(4, 4)), (Quad{1000, 2000, 3000, 40 * 256}));
  const auto d = dro::brush::ClipDab(-100, 3, 9, kW, kH);
  EXPECT_TRUE(d.partlyOutside);
  EXPECT_LT(d.right, d.left);
}

TEST_F(BlendBuffer, SourcesOfTheCopyForms) {
  MakeLayer(3, Pixel64{5120, 0, 0, 65280});
  EXPECT_EQ(DRO_CopyBlendBufferLayer(3, 6, 5, 0), 1);
  EXPECT_EQ(Blend(0, 0).r, 5121);
  EXPECT_EQ(DRO_CopyBlendBufferLayer(4, 6, 5, 0), 0);
  EXPECT_EQ(DRO_CopyBlendBufferTrace(6, 5, 0), 0);  // no trace layer yet
  EXPECT_EQ(DRO_CopyBlendBufferSurface(6, 5, 0, 0), 0);
  // The under-layer buffer holds the current layer as last committed.
  Fill(3, Pixel64{2560, 0, 0, 65280});
  DRO_SetLayer(3);
  Fill(3, Pixel64{5120, 0, 0, 65280});
  EXPECT_EQ(DRO_CopyBlendBufferSurface(6, 5, 0, 0), 1);
  EXPECT_EQ(Blend(0, 0).r, 5121);
  EXPECT_EQ(DRO_CopyBlendBufferUnderLayer(6, 5, 0), 1);
  EXPECT_EQ(Blend(0, 0).r, 2561);
  Fill(3, Pixel64{1280, 0, 0, 65280});
  DRO_SaveUndoBackBuffer(3);
  EXPECT_EQ(DRO_CopyBlendBufferHistory(6, 5, 0), 1);
  EXPECT_EQ(Blend(0, 0).r, 1281);
  EXPECT_EQ(DRO_DoCopyBlendBuffer(6, 5, nullptr, 0, 0), 0);
}

TEST_F(BlendBuffer, MaskFormPaintsTheColorsDarkness) {
  auto entry = [](int col, int row) -> uint16_t {
    const Pixel64& p = Blend(col / 4, row);
    const uint16_t ch[4] = {p.r, p.g, p.b, p.a};
    return ch[col % 4];
  };
  // g = 2000: o = 65280 - 2000 = 63280.
  FillMask(1000);
  ASSERT_EQ(DRO_DoCopyBlendBufferMask(0, 0, 128), 1);
  EXPECT_EQ(entry(0, 0), 63280);  // pre-fill
  EXPECT_EQ(entry(8, 3), 63280);
  EXPECT_EQ(entry(4, 4), (128 * 63280 + 128 * 1000) / 256 + 1);
  EXPECT_EQ(entry(8, 8), (128 * 63280 + 128 * 1000) / 256 + 1);
  EXPECT_EQ(Blend(3, 0).r, 0);  // entries live in the first n units of a row

  // A black colour paints 65535; a sum at 0xFF0000 or more gives 65280.
  DRO_SetColor16(0, 0, 0);
  FillMask(65535);
  DRO_DoCopyBlendBufferMask(6, 5, 256);
  EXPECT_EQ(entry(0, 0), 65280);
  // White closes: o = 0, not a wrapped negative value.
  DRO_SetColor16(65535, 65535, 65535);
  DRO_DoCopyBlendBufferMask(6, 5, 256);
  EXPECT_EQ(entry(0, 0), 1);
}

TEST_F(BlendBuffer, ClearZeroesTheWholeBuffer) {
  for (auto& p : engine().brush.blendBuffer) p = {9, 9, 9, 9};
  DRO_ClearBlendBuffer();
  for (const auto& p : engine().brush.blendBuffer) ASSERT_EQ(Q(p), (Quad{0, 0, 0, 0}));
}

TEST_F(BlendBuffer, FiltersTouchColorOfTheUsedSquare) {
  for (auto& p : engine().brush.blendBuffer) p = {30000, 40000, 3, 77};
  DRO_FilterBlendBuffer(291, 50);  // threshold 32767
  EXPECT_EQ(Q(Blend(0, 0)), (Quad{0, 40000, 0, 77}));
  EXPECT_EQ(Q(Blend(9, 0)), (Quad{30000, 40000, 3, 77}));  // outside n x n
  DRO_FilterBlendBuffer(292, 50);
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{0, 65280, 0, 77}));
  DRO_FilterBlendBuffer(290, 0);
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{65535, 255, 65535, 77}));
  DRO_FilterBlendBuffer(289, 0);
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{43775, 43775, 43775, 77}));
  DRO_FilterBlendBuffer(7, 0);
  EXPECT_EQ(Q(Blend(8, 8)), (Quad{43775, 43775, 43775, 77}));
}

}  // namespace
