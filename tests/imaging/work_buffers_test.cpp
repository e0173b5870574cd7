// The work buffers: lifecycle, narrowing fills, the mask on the source's
// alpha, the load and merge paths back into the layer, and allocation
// failures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/numeric.h"
#include "drovine.h"
#include "engine/engine.h"
#include "imaging/work_buffers.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
using dro::engine;
using dro::Pixel64;

constexpr int kW = 3;
constexpr int kH = 2;

class WorkBuffers : public drovine_test::CanvasTest {
 protected:
  WorkBuffers() : CanvasTest({kW, kH}) {}
  void TearDown() override {
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    DRO_IPLFreeSrcBuffer24();
    DRO_IPLFreeDstBuffer24();
    CanvasTest::TearDown();
  }
  std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return {p, p + n}; }
  size_t Bytes32() const { return pixelCount() * 4; }
};

TEST(Numeric, SaturatingConversionTruncatesAndClamps) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double in;
    int32_t out;
  } cases[] = {{0.0, 0},
               {2.9, 2},
               {-2.9, -2},
               {2147483646.5, 2147483646},
               {2147483648.0, INT32_MAX},
               {1e300, INT32_MAX},
               {inf, INT32_MAX},
               {-2147483648.9, INT32_MIN},
               {-inf, INT32_MIN},
               {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(dro::SaturateToInt32(c.in), c.out) << c.in;
}

TEST_F(WorkBuffers, LifecycleIsSafeInAnyOrder) {
  // Before allocation: sets, updates and frees change nothing.
  const std::vector<uint8_t> picture(Bytes32(), 7);
  DRO_IPLSetSrcBuffer32(picture.data());
  DRO_IPLSetDstBuffer32(picture.data());
  DRO_IPLUpdateSrcBuffer32();
  DRO_ApplyMaskToAlpha_IPLSrcRGBA();
  DRO_IPLFreeSrcBuffer32();
  EXPECT_EQ(im::Source32(), nullptr);
  EXPECT_EQ(im::Destination32(), nullptr);

  DRO_IPLInit(0);
  DRO_IPLInit(0);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
  DRO_IPLAllocSrcBuffer24();
  DRO_IPLAllocDstBuffer24();
  ASSERT_NE(im::Source32(), nullptr);
  EXPECT_EQ(engine().work.source32.size(), Bytes32());
  EXPECT_EQ(engine().work.source24.size(), pixelCount() * 3);
  EXPECT_EQ(engine().work.destination24.size(), pixelCount() * 3);

  // A null picture leaves the buffer as it was.
  DRO_IPLSetSrcBuffer32(picture.data());
  DRO_IPLSetSrcBuffer32(nullptr);
  EXPECT_EQ(Bytes(im::Source32(), Bytes32()), picture);

  // Re-allocation makes a fresh buffer without leaking the old one (the
  // sanitizer build checks the leak).
  DRO_IPLAllocSrcBuffer32();
  EXPECT_EQ(engine().work.source32.size(), Bytes32());

  DRO_IPLFreeSrcBuffer32();
  DRO_IPLFreeSrcBuffer32();
  EXPECT_EQ(im::Source32(), nullptr);
  EXPECT_STREQ(DRO_GetLastError(), "");
  DRO_IPLExit();
  DRO_IPLExit();

  // A size change and the end of the canvas release every buffer.
  DRO_NewSize(nullptr, kW + 1, kH, 8, 0);
  EXPECT_FALSE(engine().work.destination32.present());
  EXPECT_FALSE(engine().work.source24.present());
  DRO_IPLAllocDstBuffer32();
  DRO_DeleteImage();
  EXPECT_FALSE(engine().work.destination32.present());

  // An empty canvas gets no buffer.
  Recreate({0, kH});
  DRO_IPLAllocSrcBuffer32();
  EXPECT_FALSE(engine().work.source32.present());
}

TEST_F(WorkBuffers, FillsNarrowToTheHighByte) {
  MakeLayer(1, Pixel64{0x12FF, 0x3400, 0xAB7F, 0xFF01});
  Put(1, 2, 1, Pixel64{0x00FF, 0xFFFF, 0x0100, 0x0080});
  DRO_SetLayer(1);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocSrcBuffer24();
  const std::vector<uint8_t> a = {0x12, 0x34, 0xAB, 0xFF};
  const uint8_t* s32 = im::Source32();
  const uint8_t* s24 = im::Source24();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Bytes(s32 + i * 4, 4), a) << i;
    EXPECT_EQ(Bytes(s24 + i * 3, 3), std::vector<uint8_t>(a.begin(), a.begin() + 3)) << i;
  }
  EXPECT_EQ(Bytes(s32 + 20, 4), (std::vector<uint8_t>{0x00, 0xFF, 0x01, 0x00}));
  EXPECT_EQ(Bytes(s24 + 15, 3), (std::vector<uint8_t>{0x00, 0xFF, 0x01}));

  // Refills follow later changes of the layer.
  Put(1, 0, 0, Pixel64{0x0100, 0x0200, 0x0300, 0x0400});
  DRO_IPLUpdateSrcBuffer32();
  EXPECT_EQ(Bytes(im::Source32(), 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(WorkBuffers, UncoveredPixelsAreZero) {
  // Garbage first, so zeros can only come from the fill.
  const std::vector<uint8_t> garbage(Bytes32(), 0xEE);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLSetSrcBuffer32(garbage.data());
  DRO_IPLUpdateSrcBuffer32();  // no current layer at all
  EXPECT_EQ(Bytes(im::Source32(), Bytes32()), std::vector<uint8_t>(Bytes32(), 0));

  // A layer smaller than the canvas covers its own corner only.
  ASSERT_EQ(DRO_CreateLayer(2, kW - 1, kH - 1), 1);
  DRO_SetLayer(2);
  for (Pixel64& p : engine().layers.slots[2].pixels) p = Pixel64{0x5000, 0x6000, 0x7000, 0xFF00};
  DRO_IPLSetSrcBuffer32(garbage.data());
  DRO_IPLUpdateSrcBuffer32();
  std::vector<uint8_t> want(Bytes32(), 0);
  for (int x = 0; x < kW - 1; ++x) {
    want[x * 4] = 0x50, want[x * 4 + 1] = 0x60, want[x * 4 + 2] = 0x70, want[x * 4 + 3] = 0xFF;
  }
  EXPECT_EQ(Bytes(im::Source32(), Bytes32()), want);

  // A current layer that lost its pixels fills zeros.
  DRO_DeleteLayer(2);
  DRO_IPLAllocSrcBuffer24();
  DRO_IPLSetSrcBuffer32(garbage.data());
  DRO_IPLUpdateSrcBuffer32();
  EXPECT_EQ(Bytes(im::Source32(), Bytes32()), std::vector<uint8_t>(Bytes32(), 0));
  EXPECT_EQ(Bytes(im::Source24(), pixelCount() * 3), std::vector<uint8_t>(pixelCount() * 3, 0));
}

TEST_F(WorkBuffers, MaskScalesSourceAlphaOnlyWhileEnabled) {
  MakeLayer(1, Pixel64{0, 0, 0, 0xC800});  // alpha 200
  DRO_SetLayer(1);
  DRO_IPLAllocSrcBuffer32();
  FillMask(65535);
  PutMask(0, 0, 0);
  PutMask(1, 0, 0x7F00);  // k = 127: 200 x 128 / 256 = 100
  DRO_EnableMask(0);
  DRO_ApplyMaskToAlpha_IPLSrcRGBA();
  EXPECT_EQ(im::Source32()[3], 200);
  DRO_EnableMask(1);
  DRO_ApplyMaskToAlpha_IPLSrcRGBA();
  EXPECT_EQ(im::Source32()[3], 0);
  EXPECT_EQ(im::Source32()[7], 100);
  EXPECT_EQ(im::Source32()[11], 200);
}

TEST_F(WorkBuffers, MergePathWidensAndMergesAsNormal) {
  MakeLayer(1, Pixel64{1000, 2000, 3000, 65535});
  Put(1, 2, 0, Pixel64{9, 9, 9, 0});
  DRO_SetLayer(1);
  DRO_IPLAllocDstBuffer32();
  std::vector<uint8_t> result(Bytes32(), 0);
  const uint8_t px0[] = {10, 20, 30, 255}, px2[] = {1, 2, 3, 128}, px3[] = {4, 5, 6, 255};
  std::copy(px0, px0 + 4, result.begin());      // opaque: stored as v x 256
  std::copy(px2, px2 + 4, result.begin() + 8);  // onto transparent: stored
  std::copy(px3, px3 + 4, result.begin() + 12);
  DRO_IPLSetDstBuffer32(result.data());
  FillMask(65535);
  PutMask(0, 1, 32768);  // alpha 255 x 32767 / 65535 = 127
  DRO_EnableMask(1);
  ASSERT_TRUE(im::MergeDestination());
  EXPECT_EQ(At(1, 0, 0), (Pixel64{2560, 5120, 7680, 65280}));
  EXPECT_EQ(At(1, 1, 0), (Pixel64{1000, 2000, 3000, 65535}));  // alpha 0: untouched
  EXPECT_EQ(At(1, 2, 0), (Pixel64{256, 512, 768, 32768}));
  EXPECT_EQ(im::Destination32()[15], 127);  // the mask reached the alpha
  EXPECT_NE(At(1, 0, 1), (Pixel64{1000, 2000, 3000, 65535}));

  // Lock alpha keeps the layer's alpha.
  Fill(1, Pixel64{1000, 2000, 3000, 65535});
  DRO_EnableMask(0);
  DRO_SetLayerOptions(1, 1, 1, 100, "Normal");
  DRO_IPLSetDstBuffer32(result.data());
  ASSERT_TRUE(im::MergeDestination());
  EXPECT_EQ(At(1, 0, 0), (Pixel64{2560, 5120, 7680, 65535}));

  // Nothing merges into a layer of another size.
  DRO_NewSize(nullptr, kW, kH + 1, 8, 0);
  DRO_IPLAllocDstBuffer32();
  EXPECT_FALSE(im::MergeDestination());
}

TEST_F(WorkBuffers, LoadPathWeighsByMask) {
  MakeLayer(1, Pixel64{100, 100, 100, 100});
  DRO_SetLayer(1);
  std::vector<uint8_t> rgba(Bytes32(), 0x40), rgb(pixelCount() * 3, 0x20);
  FillMask(65535);
  PutMask(1, 0, 0);
  DRO_EnableMask(1);
  ASSERT_TRUE(im::LoadRgba32Result(rgba.data()));
  EXPECT_EQ(At(1, 0, 0), (Pixel64{0x4000, 0x4000, 0x4000, 0x4000}));
  EXPECT_EQ(At(1, 1, 0), (Pixel64{100, 100, 100, 100}));
  ASSERT_TRUE(im::LoadRgb24Result(rgb.data()));
  EXPECT_EQ(At(1, 0, 0), (Pixel64{0x2000, 0x2000, 0x2000, 0x4000}));
  EXPECT_FALSE(im::LoadRgba32Result(nullptr));
}

TEST_F(WorkBuffers, AllocationFailuresAreRecorded) {
  MakeLayer(1, Pixel64{0x1100, 0x2200, 0x3300, 0x4400});
  DRO_SetLayer(1);
  const struct {
    void (*alloc)();
    const char* text;
    dro::Buffer<uint8_t>& buffer;
  } ops[] = {
      {DRO_IPLAllocSrcBuffer32, "IPLAllocSrcBuffer32 Excpt", engine().work.source32},
      {DRO_IPLAllocDstBuffer32, "IPLAllocDstBuffer32 Excpt", engine().work.destination32},
      {DRO_IPLAllocSrcBuffer24, "IPLAllocSrcBuffer24 Excpt", engine().work.source24},
      {DRO_IPLAllocDstBuffer24, "IPLAllocDstBuffer24 Excpt", engine().work.destination24},
  };
  for (const auto& op : ops) {
    op.alloc();  // a failure also meets a buffer that was there before
    const int64_t runs = drovine_test::SweepAllocationFailures(
        {.errorText = op.text}, [&] { op.alloc(); },
        [&](int64_t) { EXPECT_FALSE(op.buffer.present()) << op.text; });
    EXPECT_EQ(runs, 1) << op.text;
    EXPECT_TRUE(op.buffer.present()) << op.text;
  }
  EXPECT_EQ(im::Source32()[0], 0x11);
  EXPECT_EQ(im::Source24()[2], 0x33);
}

}  // namespace
