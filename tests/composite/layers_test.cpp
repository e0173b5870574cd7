// The layer stack through the exports, as a host drives it: slots, options,
// the layer-mask rule, merges and flattening, the paint layer, the alpha
// operations, and bad input (slots out of range, layers of a stale size,
// rectangles beyond the canvas).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/allocation.h"
#include "composite/layers.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 8;
constexpr int kH = 6;

::testing::AssertionResult Is(const Pixel64& p, int r, int g, int b, int a) {
  if (p.r == r && p.g == g && p.b == b && p.a == a) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << "), want (" << r << ", "
         << g << ", " << b << ", " << a << ")";
}

class Layers : public drovine_test::CanvasTest {
 protected:
  Layers() : CanvasTest({kW, kH}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetUndoLevels(10);
  }
  // No export reads a layer whose size no longer matches the canvas.
  static Pixel64 StaleAt(int slot, int x, int y) {
    return engine().layers.slots[slot].pixels[y * kW + x];
  }
};

TEST_F(Layers, BackgroundStartsWhiteOthersTransparent) {
  EXPECT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  EXPECT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  for (const Pixel64& p : Pixels(1)) ASSERT_TRUE(Is(p, 65535, 65535, 65535, 65535));
  for (const Pixel64& p : Pixels(2)) ASSERT_TRUE(Is(p, 0, 0, 0, 0));
  EXPECT_EQ(engine().layers.slots[2].stride, kW * 4);
  EXPECT_EQ(DRO_GetLayerCount(), 2);
}

TEST_F(Layers, RecreatingClearsInPlaceOrReallocatesForANewSize) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  Put(2, 3, 3, Pixel64{9, 9, 9, 9});
  const Pixel64* before = engine().layers.slots[2].pixels.data();
  const uint64_t allocations = dro::AllocationCount();
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  EXPECT_EQ(engine().layers.slots[2].pixels.data(), before);
  EXPECT_EQ(dro::AllocationCount(), allocations);
  EXPECT_TRUE(Is(At(2, 3, 3), 0, 0, 0, 0));
  ASSERT_EQ(DRO_CreateLayer(2, 4, 4), 1);
  EXPECT_EQ(engine().layers.slots[2].pixels.size(), 16u);
  EXPECT_EQ(engine().layers.slots[2].width, 4);
}

TEST_F(Layers, RefusesBadSlotsAndSizes) {
  EXPECT_EQ(DRO_CreateLayer(64, kW, kH), 0);
  EXPECT_EQ(DRO_CreateLayer(-1, kW, kH), 0);
  EXPECT_EQ(DRO_CreateLayer(3, -2, kH), 0);
  EXPECT_EQ(DRO_GetLayerCount(), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
  // A size too large to address fails like an allocation would.
  EXPECT_EQ(DRO_CreateLayer(3, 1 << 20, 1 << 20), 0);
  EXPECT_STREQ(DRO_GetLastError(), "CreateLayer Excpt");
  // A side whose row (or column) of channels cannot be indexed is refused
  // whatever the other side, an empty one included.
  constexpr int32_t kTooWide = (INT32_MAX / 4) + 1;
  for (const auto& [w, h] :
       {std::pair{kTooWide, 0}, std::pair{0, kTooWide}, std::pair{INT32_MAX, 0},
        std::pair{kTooWide, 1}, std::pair{0, INT32_MAX}}) {
    DRO_SetLastError("");
    EXPECT_EQ(DRO_CreateLayer(3, w, h), 0) << w << " x " << h;
    EXPECT_STREQ(DRO_GetLastError(), "CreateLayer Excpt");
    EXPECT_FALSE(engine().layers.slots[3].pixels.present());
  }
  EXPECT_EQ(DRO_CreateLayer(3, kTooWide - 1, 0), 1);  // the widest row that can be indexed
  EXPECT_EQ(engine().layers.slots[3].stride, 4 * (kTooWide - 1));
  DRO_DeleteLayer(3);
  DRO_SetLastError("");
  // Every other operation ignores slots outside 0..63.
  std::vector<Pixel64> buf(kW * kH);
  DRO_DeleteLayer(64);
  DRO_SetLayer(64);
  DRO_SetLayer(-5);
  DRO_SetLayerOptions(200, 1, 0, 100, "Normal");
  DRO_SwapLayers(-1, 2);
  DRO_MergeLayer(70, 1);
  DRO_MergeLayer(1, 70);
  DRO_MergeLayerInto(64, buf.data());
  DRO_MergePaintLayer(64);
  DRO_SetLayerAlpha(64, 5);
  DRO_NormalizeLayerAlpha(-3);
  DRO_InvertAlpha(99);
  DRO_CreateBlobFromImage(64, 1);
  EXPECT_EQ(DRO_GetLayerData(buf.data(), 64), 0);
  EXPECT_EQ(DRO_CopyLayerData(64, 1), 0);
  EXPECT_EQ(engine().layers.current, nullptr);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Layers, DeleteEmptiesTheSlotAndKeepsItsSettings) {
  ASSERT_EQ(DRO_CreateLayer(5, kW, kH), 1);
  DRO_SetLayerOptions(5, 1, 1, 50, "Screen");
  EXPECT_EQ(engine().layers.layerTop, 5);
  DRO_DeleteLayer(5);
  EXPECT_FALSE(engine().layers.slots[5].pixels.present());
  EXPECT_EQ(engine().layers.slots[5].mode, 2);
  EXPECT_EQ(engine().layers.slots[5].opacity, 128);
  EXPECT_EQ(engine().layers.layerTop, 1);
  DRO_DeleteLayer(5);  // already empty: harmless
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Layers, OptionsStoreOpacityNameAndMode) {
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  DRO_SetLayerOptions(3, 1, 0, 33, "Multiply");
  const auto& rec = engine().layers.slots[3];
  EXPECT_EQ(rec.opacity, 84);
  EXPECT_STREQ(rec.modeName, "Multiply");
  EXPECT_EQ(rec.mode, 1);
  DRO_SetLayerOptions(3, 0, 1, 100, "Soft Light");
  EXPECT_EQ(rec.opacity, 256);
  EXPECT_EQ(rec.visible, 0);
  EXPECT_EQ(rec.lockAlpha, 1);
  EXPECT_EQ(rec.mode, 10);
  // 60 characters: not stored, still looked up (and unknown, so Normal).
  const std::string sixty(60, 'x');
  DRO_SetLayerOptions(3, 1, 0, 100, sixty.c_str());
  EXPECT_STREQ(rec.modeName, "");
  EXPECT_EQ(rec.mode, 0);
  // 49 characters are kept.
  const std::string fortyNine(49, 'y');
  DRO_SetLayerOptions(3, 1, 0, 100, fortyNine.c_str());
  EXPECT_EQ(std::string(rec.modeName), fortyNine);
  DRO_SetLayerOptions(3, 1, 0, 250, nullptr);
  EXPECT_EQ(rec.opacity, 256);
  EXPECT_EQ(rec.mode, 0);
  DRO_SetLayerOptions(3, 1, 0, -7, "Add");
  EXPECT_EQ(rec.opacity, 0);
}

TEST_F(Layers, LayerMaskIsTheFirstVisibleLayerAboveInLayerMaskMode) {
  for (int slot : {1, 2, 3, 4}) ASSERT_EQ(DRO_CreateLayer(slot, kW, kH), 1);
  Fill(1, Pixel64{0, 0, 0, 65535});
  Fill(2, Pixel64{65280, 65280, 65280, 65535});
  Fill(3, Pixel64{32768, 32768, 32768, 65535});  // grey 32768: half
  Fill(4, Pixel64{16384, 16384, 16384, 65535});  // a quarter
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(3, 1, 0, 100, "Layer Mask");
  DRO_SetLayerOptions(4, 1, 0, 100, "Layer Mask");
  std::vector<Pixel64> out(kW * kH);
  DRO_MergeLayerInto(2, out.data());  // onto transparent: the masked source
  EXPECT_EQ(out[0].a, 32767);         // 65535 * 32768 / 65536
  // Slot 3 hidden: slot 4 masks slot 2.
  DRO_SetLayerOptions(3, 0, 0, 100, "Layer Mask");
  std::fill(out.begin(), out.end(), Pixel64{0, 0, 0, 0});
  DRO_MergeLayerInto(2, out.data());
  EXPECT_EQ(out[0].a, 16383);
  // A visible layer of another mode in between: no mask at all.
  DRO_SetLayerOptions(3, 1, 0, 100, "Screen");
  std::fill(out.begin(), out.end(), Pixel64{0, 0, 0, 0});
  DRO_MergeLayerInto(2, out.data());
  EXPECT_EQ(out[0].a, 65535);
  // Merging into a layer uses the same rule.
  DRO_SetLayerOptions(3, 1, 0, 100, "Layer Mask");
  DRO_MergeLayer(2, 1);
  EXPECT_EQ(At(1, 0, 0).a, 65535);
  EXPECT_NEAR(At(1, 0, 0).r, 32640, 2);  // half of white over opaque black
}

TEST_F(Layers, FlatteningStartsFromTheBackgroundWhenItsVisibleByteIsOne) {
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(0, kW, kH), 1);
  Fill(0, Pixel64{1, 2, 3, 65535});  // slot 0 never takes part
  Put(2, 1, 1, Pixel64{100, 200, 300, 65535});
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  std::vector<Pixel64> out(kW * kH, Pixel64{7, 7, 7, 7});
  DRO_SetLayerOptions(1, 0, 0, 100, "Normal");
  DRO_Merge(out.data());
  EXPECT_TRUE(Is(out[0], 0, 0, 0, 0));
  EXPECT_TRUE(Is(out[1 * kW + 1], 100, 200, 300, 65535));
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_Merge(out.data());
  EXPECT_TRUE(Is(out[0], 65535, 65535, 65535, 65535));
  // Only a visible byte of exactly 1 copies the background.
  DRO_SetLayerOptions(1, 2, 0, 100, "Normal");
  DRO_Merge(out.data());
  EXPECT_TRUE(Is(out[0], 0, 0, 0, 0));
  // Hidden layers above are skipped.
  DRO_SetLayerOptions(2, 0, 0, 100, "Normal");
  DRO_Merge(out.data());
  EXPECT_TRUE(Is(out[1 * kW + 1], 0, 0, 0, 0));
}

TEST_F(Layers, RectangleMergesClipToTheCanvas) {
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  Put(2, 0, 0, Pixel64{10, 20, 30, 65535});
  Put(2, kW - 1, kH - 1, Pixel64{40, 50, 60, 65535});
  // A 4 x 3 rectangle hanging off the top-left corner by 2 columns, 1 row.
  std::vector<Pixel64> out(4 * 3, Pixel64{7, 7, 7, 7});
  DRO_MergeRect(out.data(), -2, -1, 4, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const Pixel64& p = out[y * 4 + x];
      if (x < 2 || y < 1) {
        EXPECT_TRUE(Is(p, 0, 0, 0, 0)) << x << "," << y;  // off the canvas
      } else if (x == 2 && y == 1) {
        EXPECT_TRUE(Is(p, 10, 20, 30, 65535));
      } else {
        EXPECT_TRUE(Is(p, 65535, 65535, 65535, 65535)) << x << "," << y;
      }
    }
  }
  // Off the bottom-right corner.
  std::vector<Pixel64> corner(3 * 3, Pixel64{7, 7, 7, 7});
  DRO_MergeLayerIntoRect(2, corner.data(), kW - 1, kH - 1, 3, 3);
  EXPECT_TRUE(Is(corner[0], 40, 50, 60, 65535));
  for (int i = 1; i < 9; ++i) EXPECT_TRUE(Is(corner[i], 7, 7, 7, 7)) << i;
  // Inside the canvas: exactly w x h pixels (transparent ones here); the
  // guard row below, over the opaque corner pixel, stays.
  std::vector<Pixel64> inside(2 * 3, Pixel64{7, 7, 7, 7});
  DRO_MergeLayerIntoRect(2, inside.data(), kW - 2, kH - 3, 2, 2);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(Is(inside[i], 7, 7, 7, 7)) << i;
  // Entirely outside: nothing touched.
  DRO_MergeLayerIntoRect(2, corner.data(), kW + 5, 0, 3, 3);
  EXPECT_TRUE(Is(corner[0], 40, 50, 60, 65535));
  DRO_MergeRect(nullptr, 0, 0, 4, 4);  // harmless
}

TEST_F(Layers, LayersOfAStaleSizeAreSkipped) {
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  Fill(2, Pixel64{5, 5, 5, 65535});
  // A bigger canvas: both layers keep their old 8 x 6 pixels.
  DRO_NewSize(nullptr, 20, 20, 8, 5);
  std::vector<Pixel64> out(20 * 20, Pixel64{7, 7, 7, 7});
  DRO_Merge(out.data());
  for (const Pixel64& p : out) ASSERT_TRUE(Is(p, 0, 0, 0, 0));
  DRO_MergeLayer(2, 1);
  EXPECT_TRUE(Is(StaleAt(1, 0, 0), 65535, 65535, 65535, 65535));
  EXPECT_EQ(DRO_GetRGBA64Layer(out.data(), 20 * 8, 2), 0);
  // Only dabs grow the paint layer's dirty rectangle.
  DRO_CreatePaintLayer(100, "Normal");
  engine().layers.paint.left = 0;
  engine().layers.paint.right = 20;
  engine().layers.paint.top = 0;
  engine().layers.paint.bottom = 20;
  DRO_MergePaintLayer(2);
  EXPECT_TRUE(Is(StaleAt(2, 0, 0), 5, 5, 5, 65535));
  // Re-created at the canvas size, the layer works again.
  ASSERT_EQ(DRO_CreateLayer(2, 20, 20), 1);
  EXPECT_EQ(DRO_GetRGBA64Layer(out.data(), 20 * 8, 2), 1);
}

TEST_F(Layers, SwapExchangesWholeRecords) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  DRO_SetLayerOptions(2, 1, 1, 50, "Burn");
  Put(2, 0, 0, Pixel64{1, 2, 3, 4});
  DRO_SwapLayers(2, 9);
  EXPECT_FALSE(engine().layers.slots[2].pixels.present());
  EXPECT_TRUE(Is(At(9, 0, 0), 1, 2, 3, 4));
  EXPECT_EQ(engine().layers.slots[9].mode, 12);
  EXPECT_EQ(engine().layers.slots[9].opacity, 128);
  EXPECT_EQ(engine().layers.layerTop, 9);
}

TEST_F(Layers, SetLayerMakesItCurrentAndCommitsItForUndo) {
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  Put(3, 2, 2, Pixel64{8, 8, 8, 8});
  DRO_SetLayer(7);  // empty: nothing
  EXPECT_EQ(engine().layers.current, nullptr);
  DRO_SetLayer(3);
  EXPECT_EQ(DRO_GetLayerNum(), 3);
  EXPECT_EQ(engine().layers.current, &engine().layers.slots[3]);
  EXPECT_TRUE(Is(engine().undo.back[2 * kW + 2], 8, 8, 8, 8));
}

TEST_F(Layers, TextureLayersDropTheMapWhenSelectedOrReconfigured) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  DRO_SetLayer(2);
  DRO_SetLayerOptions(3, 0, 0, 100, "Texturize3");  // hidden: not a source
  MakeTexture(128);
  DRO_SetLayer(3);  // a texture layer becomes current
  EXPECT_FALSE(engine().layers.texture.present());
  MakeTexture(128);
  DRO_SetLayerOptions(3, 1, 0, 100, "Normal");  // it had mode 19
  EXPECT_FALSE(engine().layers.texture.present());
  MakeTexture(128);
  DRO_SetLayerOptions(2, 1, 0, 100, "Multiply");  // unrelated layer
  EXPECT_TRUE(engine().layers.texture.present());
}

TEST_F(Layers, PaintLayerLifecycleAndMerge) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  Fill(2, Pixel64{1000, 1000, 1000, 65535});
  DRO_CreatePaintLayer(50, "Multiply");
  // Dabs write the paint layer's pixels and dirty rectangle; here the test
  // sets them.
  auto& paint = engine().layers.paint;
  ASSERT_TRUE(paint.pixels.present());
  EXPECT_EQ(paint.opacity, 128);
  EXPECT_EQ(paint.mode, 1);
  EXPECT_EQ(paint.visible, 1);
  EXPECT_TRUE(paint.left == kW && paint.top == kH && paint.right == 0 && paint.bottom == 0);
  for (const Pixel64& p : paint.pixels) ASSERT_TRUE(Is(p, 0, 0, 0, 0));
  // An empty dirty rectangle merges nothing but still clears.
  paint.pixels[0] = Pixel64{65280, 0, 0, 65535};
  DRO_MergePaintLayer(2);
  EXPECT_TRUE(Is(At(2, 0, 0), 1000, 1000, 1000, 65535));
  EXPECT_TRUE(Is(paint.pixels[0], 0, 0, 0, 0));
  // Only the dirty rectangle (right and bottom exclusive) is merged.
  DRO_CreatePaintLayer(100, "Normal");
  paint.pixels[0] = Pixel64{65280, 0, 0, 65535};
  paint.pixels[1] = Pixel64{65280, 0, 0, 65535};
  paint.left = 0;
  paint.top = 0;
  paint.right = 1;
  paint.bottom = 1;
  DRO_MergePaintLayer(2);
  EXPECT_TRUE(Is(At(2, 0, 0), 65280, 0, 0, 65535));
  EXPECT_TRUE(Is(At(2, 1, 0), 1000, 1000, 1000, 65535));
  EXPECT_EQ(paint.left, kW);
  // The old clear: 0xFF everywhere except the dirty rectangle.
  paint.left = 1;
  paint.top = 1;
  paint.right = 3;
  paint.bottom = 2;
  DRO_ClearPaintLayer_old();
  EXPECT_TRUE(Is(paint.pixels[0], 65535, 65535, 65535, 65535));
  EXPECT_TRUE(Is(paint.pixels[1 * kW + 1], 0, 0, 0, 0));
  EXPECT_TRUE(Is(paint.pixels[1 * kW + 2], 0, 0, 0, 0));
  EXPECT_TRUE(Is(paint.pixels[1 * kW + 3], 65535, 65535, 65535, 65535));
  EXPECT_EQ(paint.right, 0);
  EXPECT_EQ(DRO_DeletePaintLayer(), 1);
  DRO_ClearPaintLayer();  // no paint layer: harmless
  DRO_MergePaintLayer(2);
}

TEST_F(Layers, AlphaOperations) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  Fill(2, Pixel64{10, 20, 30, 50000});
  DRO_SetLayerOptions(2, 1, 0, 50, "Normal");
  DRO_NormalizeLayerAlpha(2);
  EXPECT_TRUE(Is(At(2, 4, 4), 10, 20, 30, 25000));
  EXPECT_EQ(engine().layers.slots[2].opacity, 256);
  DRO_InvertAlpha(2);
  EXPECT_EQ(At(2, 0, 0).a, 40535);
  DRO_SetLayerAlpha(2, 123);
  EXPECT_EQ(At(2, 5, 5).a, 123);
  DRO_SetLayerAlpha(2, 70000);
  EXPECT_EQ(At(2, 5, 5).a, 65535);

  // Colour of the nearly transparent pixels of the current layer, x 257.
  DRO_SetLayer(2);
  Put(2, 0, 0, Pixel64{10, 20, 30, 255});
  Put(2, 1, 0, Pixel64{10, 20, 30, 256});
  DRO_SetColorAlpha(255, 1, 0);
  EXPECT_TRUE(Is(At(2, 0, 0), 65535, 257, 0, 0));
  EXPECT_EQ(At(2, 1, 0).r, 10);
}

TEST_F(Layers, RGBA32BufferHelpers) {
  std::vector<uint8_t> buf(kW * kH * 4, 0);
  for (int i = 0; i < kW * kH; ++i) {
    buf[i * 4 + 0] = 1;
    buf[i * 4 + 1] = 2;
    buf[i * 4 + 2] = 3;
    buf[i * 4 + 3] = static_cast<uint8_t>(i % 2 ? 200 : 0);
  }
  DRO_InvertAlpha_RGBA32(buf.data());
  EXPECT_EQ(buf[3], 255);
  EXPECT_EQ(buf[7], 55);
  DRO_InvertAlpha_RGBA32(buf.data());
  DRO_SetColorAlphaRGBABuf(buf.data(), 2, 1, 9, 8, 7);  // only the first two pixels
  EXPECT_EQ(buf[0], 9);                                 // alpha 0: recoloured
  EXPECT_EQ(buf[4], 1);                                 // alpha 200: kept
  EXPECT_EQ(buf[8], 1);                                 // outside the 2 x 1 buffer
  DRO_SetColorRGBABuf(buf.data(), 2, 1, 4, 5, 6);
  EXPECT_TRUE(buf[4] == 4 && buf[5] == 5 && buf[6] == 6 && buf[7] == 200);
  EXPECT_EQ(buf[8], 1);
  DRO_SetAlphaFromRGBAImageColor(buf.data(), 4, 5, 6);
  EXPECT_EQ(buf[7], 0);
  EXPECT_EQ(buf[15], 200);  // (1, 2, 3) does not match
  dro::composite::SetRgba32Alpha(buf.data(), kW, kH, 77);
  EXPECT_EQ(buf[kW * kH * 4 - 1], 77);
  DRO_SetColorRGBABuf(nullptr, 2, 2, 0, 0, 0);
  DRO_SetColorAlphaRGBABuf(buf.data(), -2, 5, 0, 0, 0);
  EXPECT_EQ(buf[0], 4);
}

TEST_F(Layers, BlobShadingFromLuminance) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  Put(2, 0, 0, Pixel64{60000, 60000, 60000, 65535});  // bright
  Put(2, 1, 0, Pixel64{6000, 9000, 12000, 8192});     // dark
  Put(2, 2, 0, Pixel64{6000, 9000, 12000, 8191});     // alpha stays
  DRO_CreateBlobFromImage(2, 1);
  // 60000 - 60000 * 27233 / 65534 = 35066.4; alpha 60000 * 0.843 + 10239.
  EXPECT_TRUE(Is(At(2, 0, 0), 35066, 35066, 35066, 60819));
  // g = 9000: x + (65535 - x) * 23767 / 65534.
  EXPECT_TRUE(Is(At(2, 1, 0), 27591, 29503, 31415, 17826));
  EXPECT_EQ(At(2, 2, 0).a, 8191);
  Put(2, 3, 0, Pixel64{1, 2, 3, 65535});
  DRO_CreateBlobFromImage(2, 0);
  EXPECT_TRUE(Is(At(2, 3, 0), 32767, 32767, 32767, 10240));
}

TEST_F(Layers, CreateAsksTheUndoStoreForMemory) {
  // 32 x 32: a whole-canvas entry and a layer both count 8 KB.
  Recreate({32, 32});
  DRO_SetUndoLevels(10);
  DRO_SetUndoMB(64);  // a fixed budget: what the machine has free plays no part
  ASSERT_EQ(DRO_CreateLayer(2, 32, 32), 1);
  DRO_SetLayer(2);
  for (int i = 0; i < 3; ++i) DRO_SaveUndoBuffer(1, 0);
  ASSERT_EQ(DRO_GetUndoCount(), 3);
  // The first try fails; the store gives back its oldest entry; the retry
  // succeeds.
  dro::FailAllocationAfter(0);
  EXPECT_EQ(DRO_CreateLayer(4, 32, 32), 1);
  EXPECT_EQ(DRO_GetUndoCount(), 2);
  // When every try fails, the store gives back what it holds in vain and the
  // create fails cleanly.
  dro::FailAllocationsAfter(0, dro::kEveryAllocation);
  EXPECT_EQ(DRO_CreateLayer(5, 32, 32), 0);
  dro::FailAllocationAfter(-1);
  EXPECT_EQ(DRO_GetUndoCount(), 0);
  EXPECT_FALSE(engine().layers.slots[5].pixels.present());
  EXPECT_STREQ(DRO_GetLastError(), "CreateLayer Excpt");
  // With nothing left to give back, one failure is enough, and it is
  // recorded all the same.
  DRO_SetLastError("");
  DRO_ClearUndo();
  dro::FailAllocationAfter(0);
  EXPECT_EQ(DRO_CreateLayer(5, 32, 32), 0);
  EXPECT_FALSE(engine().layers.slots[5].pixels.present());
  EXPECT_STREQ(DRO_GetLastError(), "CreateLayer Excpt");
  dro::FailAllocationAfter(-1);
  DRO_SetUndoMB(0);
  EXPECT_EQ(DRO_CreateLayer(5, 32, 32), 1);
}

TEST_F(Layers, BlurPaintLayerAlphaSoftensEdgesAndKeepsSolidPaint) {
  DRO_CreatePaintLayer(100, "Normal");
  // Only dabs paint the paint layer; here the test does.
  auto& paint = engine().layers.paint;
  // A solid 2 x 2 block and one half-covered pixel far from it.
  for (int y = 2; y < 4; ++y) {
    for (int x = 2; x < 4; ++x) paint.pixels[y * kW + x] = Pixel64{1, 2, 3, 65535};
  }
  paint.pixels[0] = Pixel64{4, 5, 6, 30000};
  // When the byte images cannot be made, the alpha stays as it was.
  const std::vector<Pixel64> before(paint.pixels.begin(), paint.pixels.end());
  drovine_test::SweepAllocationFailures(
      {.errorText = "BlurPaintLayerAlpha Excpt"}, [] { DRO_BlurPaintLayerAlpha(); },
      [&](int64_t) {
        EXPECT_TRUE(std::equal(before.begin(), before.end(), paint.pixels.begin()));
      });
  // The sweep's last run blurred.
  EXPECT_STREQ(DRO_GetLastError(), "");
  EXPECT_EQ(paint.pixels[2 * kW + 2].a, 65535);  // solid paint stays solid
  const Pixel64 edge = paint.pixels[2 * kW + 1];
  EXPECT_GT(edge.a, 0);  // the edge next to it softened outwards
  EXPECT_LT(edge.a, 65280);
  EXPECT_EQ(edge.a % 256, 0);           // a blurred byte widened x 256
  EXPECT_LT(paint.pixels[0].a, 30000);  // below 240: blurred
  EXPECT_EQ(paint.pixels[0].r, 4);      // colour untouched
  DRO_DeletePaintLayer();
  DRO_BlurPaintLayerAlpha();  // no paint layer: nothing
}

TEST_F(Layers, LoadRGBA32LayerBadReplacesTheSlotThroughTheMask) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  Fill(2, Pixel64{1, 1, 1, 65535});
  Fill(3, Pixel64{3, 3, 3, 65535});
  DRO_SetLayer(3);
  // A 3 x 2 picture: opaque, transparent and half-covered pixels.
  std::vector<uint8_t> rgba(3 * 2 * 4, 0);
  const uint8_t first[4] = {255, 128, 1, 255};
  std::memcpy(&rgba[0], first, 4);
  rgba[2 * 4 + 0] = 10;
  rgba[2 * 4 + 3] = 128;
  rgba[4 * 4 + 1] = 20;
  rgba[4 * 4 + 3] = 255;
  DRO_EnableMask(0);
  DRO_LoadRGBA32Layer_BAD(rgba.data(), 0, 2, 3, 2, 1);
  EXPECT_TRUE(Is(At(2, 0, 0), 65280, 32768, 256, 65280));
  EXPECT_TRUE(Is(At(2, 1, 0), 0, 0, 0, 0));  // transparent: cleared
  EXPECT_TRUE(Is(At(2, 2, 0), 2560, 0, 0, 32768));
  EXPECT_TRUE(Is(At(2, 1, 1), 0, 5120, 0, 65280));  // second row, stride 3 pixels
  EXPECT_TRUE(Is(At(2, 4, 0), 0, 0, 0, 0));         // outside the picture: cleared
  EXPECT_TRUE(Is(At(3, 0, 0), 3, 3, 3, 65535));     // the current layer is left alone

  // With the mask on, a closed pixel keeps the slot's old content.
  Fill(2, Pixel64{1, 1, 1, 65535});
  DRO_EnableMask(1);
  PutMask(0, 0, 0);
  DRO_LoadRGBA32Layer_BAD(rgba.data(), 0, 2, 3, 2, 1);
  EXPECT_TRUE(Is(At(2, 0, 0), 1, 1, 1, 65535));
  EXPECT_TRUE(Is(At(2, 2, 0), 2560, 0, 0, 32768));
  EXPECT_EQ(rgba[3], 0);  // the weighting works on the caller's buffer

  // A slot of a stale size, an empty slot or no data: nothing.
  DRO_LoadRGBA32Layer_BAD(nullptr, 0, 2, 3, 2, 0);
  DRO_LoadRGBA32Layer_BAD(rgba.data(), 0, 9, 3, 2, 0);
  EXPECT_TRUE(Is(At(2, 2, 0), 2560, 0, 0, 32768));
}

TEST_F(Layers, PaintLayerAllocationFailureIsRecorded) {
  drovine_test::SweepAllocationFailures(
      {.errorText = "CreatePaintLayer Excpt"}, [] { DRO_CreatePaintLayer(100, "Normal"); },
      [](int64_t) { EXPECT_FALSE(engine().layers.paint.pixels.present()); });
  EXPECT_TRUE(engine().layers.paint.pixels.present());
}

}  // namespace
