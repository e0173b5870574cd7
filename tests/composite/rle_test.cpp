// Run-length lines: record layout, run limits, lossy low bytes, decoders
// that never overrun, and the layer and mask row exports.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/random.h"
#include "drovine.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

using dro::Pixel64;

using Quad = std::array<int, 4>;
Quad Q(const Pixel64& p) {
  return {p.r, p.g, p.b, p.a};
}

TEST(RleRgba, RunsCloseAt255AndKeepOnlyHighBytes) {
  std::vector<Pixel64> line(300, Pixel64{0x1111, 0x2222, 0x3333, 0x4444});
  std::vector<uint8_t> runs(5 * line.size());
  ASSERT_EQ(DRO_RLECompressRGBA64ToRGBA32(line.data(), runs.data(), 300), 10);
  EXPECT_EQ(runs[0], 255);
  EXPECT_EQ(runs[1], 0x11);
  EXPECT_EQ(runs[4], 0x44);
  EXPECT_EQ(runs[5], 45);

  // Equal high bytes make one run whatever the low bytes.
  std::vector<Pixel64> two = {{0x1234, 0x56FF, 0, 65535}, {0x12AB, 0x5600, 0x00FF, 0xFF00}};
  std::vector<uint8_t> rec(10);
  ASSERT_EQ(DRO_RLECompressRGBA64ToRGBA32(two.data(), rec.data(), 2), 5);
  EXPECT_EQ(rec[0], 2);
  std::vector<Pixel64> back(2);
  EXPECT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(rec.data(), back.data(), 2), 2);
  EXPECT_EQ(Q(back[0]), (Quad{0x1200, 0x5600, 0, 0xFF00}));
  EXPECT_EQ(Q(back[1]), (Quad{0x1200, 0x5600, 0, 0xFF00}));
}

TEST(RleRgba, RoundTripClearsTheLowBytes) {
  dro::RuntimeRandom rng;
  rng.Seed(7);
  std::vector<Pixel64> line(1000);
  for (size_t i = 0; i < line.size(); ++i) {
    // Long runs broken at random, with random low bytes inside them.
    const uint16_t high = uint16_t((i / 7 % 3) << 8);
    line[i] = {uint16_t(high | (rng.Next() & 0xFF)), uint16_t(rng.Next() & 0xFF00), high, 0xFF00};
  }
  std::vector<uint8_t> runs(5 * line.size());
  const int32_t bytes = DRO_RLECompressRGBA64ToRGBA32(line.data(), runs.data(), 1000);
  ASSERT_GT(bytes, 0);
  ASSERT_EQ(bytes % 5, 0);
  int total = 0;
  for (int32_t i = 0; i < bytes; i += 5) {
    ASSERT_GE(runs[i], 1);
    total += runs[i];
  }
  EXPECT_EQ(total, 1000);
  std::vector<Pixel64> back(1000);
  ASSERT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(runs.data(), back.data(), 1000), 1000);
  for (size_t i = 0; i < line.size(); ++i) {
    ASSERT_EQ(Q(back[i]), (Quad{line[i].r & 0xFF00, line[i].g & 0xFF00, line[i].b & 0xFF00,
                                line[i].a & 0xFF00}))
        << i;
  }
}

TEST(RleRgba, DecoderStopsAtNAndAtEmptyRecords) {
  // Runs adding up to more than n: the last one is cut short, and the
  // pixel after the n-th stays as it was.
  const uint8_t runs[] = {200, 1, 2, 3, 4, 200, 5, 6, 7, 8};
  std::vector<Pixel64> out(251, Pixel64{9, 9, 9, 9});
  EXPECT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(runs, out.data(), 250), 250);
  EXPECT_EQ(Q(out[199]), (Quad{256, 512, 768, 1024}));
  EXPECT_EQ(Q(out[249]), (Quad{5 << 8, 6 << 8, 7 << 8, 8 << 8}));
  EXPECT_EQ(Q(out[250]), (Quad{9, 9, 9, 9}));

  // A record of length 0 never comes from the encoder: decoding ends there.
  const uint8_t broken[] = {3, 1, 1, 1, 1, 0, 2, 2, 2, 2};
  std::vector<Pixel64> rest(10, Pixel64{9, 9, 9, 9});
  EXPECT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(broken, rest.data(), 10), 3);
  EXPECT_EQ(Q(rest[3]), (Quad{9, 9, 9, 9}));

  // No values, or no buffer: refused.
  uint8_t none[5] = {};
  EXPECT_EQ(DRO_RLECompressRGBA64ToRGBA32(out.data(), none, 0), 0);
  EXPECT_EQ(none[0], 0);
  EXPECT_EQ(DRO_RLECompressRGBA64ToRGBA32(nullptr, none, 4), 0);
  EXPECT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(runs, nullptr, 4), 0);
  EXPECT_EQ(DRO_RLEUncompressRGBA32ToRGBA64(runs, out.data(), -1), 0);
}

TEST(RleMask, RunsWidenAndNeverOverrun) {
  std::vector<dro::Mask16> line(600, 65535);
  line[599] = 0x01FF;
  std::vector<uint8_t> runs(2 * line.size());
  ASSERT_EQ(DRO_RLECompressG16ToG8(line.data(), runs.data(), 600), 8);
  EXPECT_EQ(runs[0], 255);
  EXPECT_EQ(runs[1], 0xFF);
  EXPECT_EQ(runs[4], 89);
  EXPECT_EQ(runs[6], 1);
  EXPECT_EQ(runs[7], 0x01);
  std::vector<dro::Mask16> back(600);
  EXPECT_EQ(DRO_RLEUncompressG8ToG16(runs.data(), back.data(), 600), 600);
  EXPECT_EQ(back[0], 65280);
  EXPECT_EQ(back[599], 0x0100);

  std::vector<dro::Mask16> shorter(101, 7);
  EXPECT_EQ(DRO_RLEUncompressG8ToG16(runs.data(), shorter.data(), 100), 100);
  EXPECT_EQ(shorter[100], 7);
  EXPECT_EQ(DRO_RLECompressG16ToG8(line.data(), runs.data(), 0), 0);
  const uint8_t broken[] = {0, 5};
  EXPECT_EQ(DRO_RLEUncompressG8ToG16(broken, shorter.data(), 100), 0);
}

class RleRows : public drovine_test::CanvasTest {
 protected:
  RleRows() : CanvasTest({300, 3}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(5, Pixel64{0x1000, 0x2000, 0x3000, 0x4000});
  }
};

TEST_F(RleRows, LayerRowsRoundTrip) {
  Put(5, 299, 1, Pixel64{0xFFFF, 0, 0, 0xFFFF});
  std::vector<uint8_t> runs(5 * 300);
  ASSERT_EQ(DRO_GetRGBA32LayerLineRLE(runs.data(), 5, 1), 15);  // 255 + 44 + 1
  EXPECT_EQ(runs[5], 44);
  // Into row 2: the last pixel comes back with its low bytes cleared.
  EXPECT_EQ(DRO_PutRGBA32LayerLineRLE(runs.data(), 5, 2), 300);
  EXPECT_EQ(Q(At(5, 299, 2)), (Quad{0xFF00, 0, 0, 0xFF00}));
  EXPECT_EQ(Q(At(5, 0, 2)), (Quad{0x1000, 0x2000, 0x3000, 0x4000}));

  EXPECT_EQ(DRO_GetRGBA32LayerLineRLE(runs.data(), 5, 3), 0);
  EXPECT_EQ(DRO_GetRGBA32LayerLineRLE(runs.data(), 5, -1), 0);
  EXPECT_EQ(DRO_GetRGBA32LayerLineRLE(runs.data(), 6, 0), 0);
  EXPECT_EQ(DRO_GetRGBA32LayerLineRLE(runs.data(), 64, 0), 0);
  EXPECT_EQ(DRO_PutRGBA32LayerLineRLE(runs.data(), 6, 0), 0);
}

TEST_F(RleRows, MaskRowsRoundTrip) {
  std::vector<dro::Mask16> mask = Mask();
  for (int x = 0; x < 300; ++x) mask[x] = dro::Mask16(x < 100 ? 0x00FF : 0x8080);
  SetMask(mask);
  std::vector<uint8_t> runs(2 * 300);
  ASSERT_EQ(DRO_GetMaskLineRLE(runs.data(), 0), 4);  // runs of 100 and 200
  EXPECT_EQ(runs[2], 200);
  EXPECT_EQ(DRO_PutMaskLineRLE(runs.data(), 2), 300);
  EXPECT_EQ(MaskAt(0, 2), 0);
  EXPECT_EQ(MaskAt(299, 2), 0x8000);
  EXPECT_EQ(DRO_GetMaskLineRLE(runs.data(), 3), 0);
  DRO_DeleteImage();
  EXPECT_EQ(DRO_GetMaskLineRLE(runs.data(), 0), 0);
  EXPECT_EQ(DRO_PutMaskLineRLE(runs.data(), 0), 0);
}

TEST_F(RleRows, CompressedLayerRoundTrip) {
  std::vector<Pixel64> px(pixelCount());
  for (size_t i = 0; i < px.size(); ++i)
    px[i] = {uint16_t(i * 97), uint16_t(i * 13), 0x12FF, 0xFF00};
  SetPixels(5, px);
  std::vector<uint8_t> packed(300 * 3 * 4 + 1024);
  const int32_t length =
      DRO_GetRGBA32LayerCompressed(packed.data(), 0, int32_t(packed.size()), 5, 0);
  ASSERT_GT(length, 0);
  EXPECT_EQ(DRO_GetRGBA32LayerCompressed(packed.data(), 0, 8, 5, 0), 0);  // does not fit
  EXPECT_EQ(DRO_GetRGBA32LayerCompressed(packed.data(), 0, 4096, 6, 0), 0);

  ASSERT_EQ(DRO_CreateLayer(6, 300, 3), 1);
  ASSERT_EQ(DRO_LoadRGBA32LayerCompressed(packed.data(), 0, length, 6), 1);
  const std::vector<Pixel64> loaded = Pixels(6);
  for (size_t i = 0; i < px.size(); ++i) {
    ASSERT_EQ(Q(loaded[i]), (Quad{px[i].r & 0xFF00, px[i].g & 0xFF00, 0x1200, 0xFF00})) << i;
  }

  // Lock-alpha keeps the alpha; a damaged or short stream loads nothing.
  DRO_SetLayerOptions(6, 1, 1, 100, "Normal");
  std::vector<Pixel64> thin = Pixels(6);
  for (auto& p : thin) p.a = 7;
  SetPixels(6, thin);
  ASSERT_EQ(DRO_LoadRGBA32LayerCompressed(packed.data(), 0, length, 6), 1);
  EXPECT_EQ(At(6, 10, 0).a, 7);
  EXPECT_EQ(DRO_LoadRGBA32LayerCompressed(packed.data(), 0, length / 2, 6), 0);
  std::vector<uint8_t> junk(64, 0x5A);
  EXPECT_EQ(DRO_LoadRGBA32LayerCompressed(junk.data(), 0, 64, 6), 0);
  EXPECT_EQ(DRO_LoadRGBA32LayerCompressed(packed.data(), 0, length, 7), 0);
  EXPECT_EQ(At(6, 10, 0).a, 7);

  // Allocation failures change nothing and are recorded, those inside the
  // deflate included.
  int32_t result = 0;
  drovine_test::SweepAllocationFailures(
      {.errorText = "GetRGBA32Layer Excpt"},
      [&] {
        result = DRO_GetRGBA32LayerCompressed(packed.data(), 0, int32_t(packed.size()), 5, 0);
      },
      [&](int64_t) { EXPECT_EQ(result, 0); });
  EXPECT_EQ(result, length);
  const std::vector<Pixel64> before = Pixels(6);
  drovine_test::SweepAllocationFailures(
      {.errorText = "LoadRGBA32LayerCompressed Excpt"},
      [&] { result = DRO_LoadRGBA32LayerCompressed(packed.data(), 0, length, 6); },
      [&](int64_t) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Pixels(6), before);
      });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(At(6, 10, 0).a, 7);
}

}  // namespace
