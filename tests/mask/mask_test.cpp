// The mask: invert and clear, grey pictures both ways, conversions with the
// current layer, every creator's matching rule, alpha application and the
// behaviour without a canvas.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "color/conversions.h"
#include "drovine.h"
#include "engine/engine.h"
#include "mask/mask_ops.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Mask16;
using dro::Pixel64;

constexpr int kW = 5;
constexpr int kH = 3;
constexpr int kN = kW * kH;

class Mask : public drovine_test::CanvasTest {
 protected:
  Mask() : CanvasTest({kW, kH}) {}

  // Mask values by index, through the raw mask exports.
  Mask16 Value(int i) const { return CanvasTest::Mask()[i]; }
  void SetValue(int i, Mask16 v) {
    std::vector<Mask16> values = CanvasTest::Mask();
    values[i] = v;
    SetMask(values);
  }
  // Pixel i of the current layer (slot 2), which is one row long here.
  Pixel64 Px(int i) const { return At(2, i, 0); }
  // A tight canvas-size RGBA32 image of one colour.
  static std::vector<uint8_t> Image(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    std::vector<uint8_t> v;
    for (int i = 0; i < kN; ++i) v.insert(v.end(), {r, g, b, a});
    return v;
  }
  static void SetPixel(std::vector<uint8_t>& img, int i, std::array<uint8_t, 4> px) {
    for (int k = 0; k < 4; ++k) img.at(size_t(i) * 4 + k) = px[k];
  }
};

TEST_F(Mask, InvertAndClear) {
  std::vector<Mask16> before(kN);
  for (int i = 0; i < kN; ++i) before[i] = Mask16(i * 4099);
  SetMask(before);
  DRO_InvertMask();
  EXPECT_EQ(Value(1), 65535 - 4099);
  DRO_InvertMask();
  EXPECT_EQ(CanvasTest::Mask(), before);

  DRO_ClearMask(0, 0, 0);
  EXPECT_EQ(Value(kN - 1), 65535);
  DRO_ClearMask(65280, 65280, 65280);
  EXPECT_EQ(Value(0), 0);
  DRO_ClearMask(255, 255, 258);  // mean 256
  EXPECT_EQ(Value(0), 65024);
  DRO_ClearMask(-3, 0, 0);  // mean -1 compares as a huge unsigned value
  EXPECT_EQ(Value(0), 65281);
}

TEST_F(Mask, SaveAndLoadThroughGreyLoseTheLowByte) {
  const Mask16 samples[] = {0, 1, 255, 256, 0x7FFF, 65279, 65280, 65535};
  std::vector<Mask16> values(kN);
  for (int i = 0; i < kN; ++i) values[i] = samples[i % 8];
  SetMask(values);
  std::vector<uint8_t> grey(kN * 3);
  DRO_SaveMask(grey.data(), kW * 3);
  EXPECT_EQ(grey[0], 255);   // closed is light
  EXPECT_EQ(grey[21], 0);    // 65535 is dark
  EXPECT_EQ(grey[12], 128);  // 0x7FFF
  DRO_LoadMask(grey.data(), kW * 3, kW, kH);
  for (int i = 0; i < kN; ++i) {
    const Mask16 v = samples[i % 8];
    EXPECT_EQ(Value(i), v >= 65280 ? 65535 : (v / 256) * 256) << i;
  }

  // A picture larger than the canvas is read within its own size and
  // written only where it meets the canvas; a smaller one only top-left.
  FillMask(1234);
  std::vector<uint8_t> big((kW + 3) * (kH + 4) * 3, 0);
  DRO_LoadMask(big.data(), (kW + 3) * 3, kW + 3, kH + 4);
  EXPECT_EQ(Value(kN - 1), 65535);
  FillMask(1234);
  std::vector<uint8_t> small(2 * 1 * 3, 255);
  DRO_LoadMask(small.data(), 6, 2, 1);
  EXPECT_EQ(Value(0), 65280 - 255 * 256);
  EXPECT_EQ(Value(1), 0);
  EXPECT_EQ(Value(2), 1234);
  EXPECT_EQ(Value(kW), 1234);
  DRO_LoadMask(small.data(), 2, 2, 1);  // a stride shorter than its rows
  EXPECT_EQ(Value(2), 1234);
}

TEST_F(Mask, ConversionsWithTheCurrentLayer) {
  MakeLayer(2, Pixel64{100, 200, 300, 4000});
  DRO_SetLayer(2);
  SetValue(0, 0);
  SetValue(1, 65535);
  SetValue(2, 1000);
  DRO_CreateImageFromMask();
  EXPECT_EQ(Px(0).r, 65280);  // min(65535 - 0, 65280)
  EXPECT_EQ(Px(1).g, 0);
  EXPECT_EQ(Px(2).b, 64535);
  EXPECT_EQ(Px(2).a, 65535);

  Put(2, 3, 0, Pixel64{1, 2, 3, 4});
  SetValue(3, 777);
  DRO_CreateAlphaFromMask();
  EXPECT_EQ(Px(3).a, 777);
  EXPECT_EQ(Px(3).r, 1);
  Put(2, 4, 0, Pixel64{100, 200, 300, 4242});
  DRO_CreateMaskFromAlpha();
  EXPECT_EQ(Value(4), 4242);

  Put(2, 0, 0, Pixel64{65535, 65535, 65281, 0});  // mean 65450: closed
  Put(2, 1, 0, Pixel64{255, 255, 256, 9});        // mean 255: open
  Put(2, 2, 0, Pixel64{30000, 30000, 30003, 9});  // mean 30001
  DRO_CreateMaskFromImage();
  EXPECT_EQ(Value(0), 0);
  EXPECT_EQ(Value(1), 65535);
  EXPECT_EQ(Value(2), 65280 - 30001);
}

TEST_F(Mask, ColorCreatorsWriteTheStrengthOnlyWhereTheyMatch) {
  auto img = Image(10, 20, 30, 255);
  SetPixel(img, 1, {11, 20, 30, 255});
  FillMask(4321);
  DRO_CreateMaskFromRGBAImageColor(img.data(), 10, 20, 30, 0);
  EXPECT_EQ(Value(0), 65280);  // strength 0 writes 65280, not 65535
  EXPECT_EQ(Value(1), 4321);
  DRO_CreateMaskFromRGBAImageColor(img.data(), 11, 20, 30, 255);
  EXPECT_EQ(Value(1), 0);
  DRO_CreateMaskFromRGBAImageColor(img.data(), 11, 20, 30, 400);  // clamped to 255
  EXPECT_EQ(Value(1), 0);

  std::vector<uint8_t> rgb(kN * 3, 7);
  rgb[kN * 3 - 1] = 8;
  FillMask(4321);
  DRO_CreateMaskFromRGB24ImageColor(rgb.data(), 7, 7, 8, 100);
  EXPECT_EQ(Value(kN - 1), 155 * 256);
  EXPECT_EQ(Value(kN - 2), 4321);

  // Ranges: T = t x 2.56; 0 matches exactly, 100 (T = 256) everything.
  FillMask(4321);
  SetPixel(img, 2, {13, 23, 33, 200});
  DRO_CreateMaskFromRGBAImageColorRange(img.data(), 10, 20, 30, 0, 1);
  EXPECT_EQ(Value(0), 254 * 256);
  EXPECT_EQ(Value(1), 4321);
  DRO_CreateMaskFromRGBAImageColorRange(img.data(), 10, 20, 30, 1, 2);  // T = 2
  EXPECT_EQ(Value(1), 253 * 256);
  EXPECT_EQ(Value(2), 4321);
  auto extremes = Image(0, 0, 0, 0);
  SetPixel(extremes, 1, {255, 255, 255, 255});
  DRO_CreateMaskFromRGBAImageColorRange(extremes.data(), 0, 0, 0, 100, 3);
  EXPECT_EQ(Value(1), 252 * 256);

  FillMask(4321);
  DRO_CreateMaskFromRGBAImageAlphaRange(img.data(), 198, 1, 9);
  EXPECT_EQ(Value(2), 246 * 256);
  EXPECT_EQ(Value(0), 4321);

  // Luminance: integer means of the pixel and the reference.
  FillMask(4321);
  DRO_CreateMaskFromRGBAImageLuminanceRange(img.data(), 0, 0, 60, 0, 10);
  EXPECT_EQ(Value(0), 245 * 256);  // (10 + 20 + 30) / 3 = 20 = 60 / 3
  EXPECT_EQ(Value(1), 245 * 256);  // 61 / 3 = 20 as well
  EXPECT_EQ(Value(2), 4321);       // 69 / 3 = 23

  FillMask(4321);
  auto other = img;
  SetPixel(other, 4, {10, 20, 30, 254});
  DRO_CreateMaskFromDiff_RGBA32(img.data(), other.data(), 0x12345);
  EXPECT_EQ(Value(4), 0x2345);
  EXPECT_EQ(Value(3), 4321);

  std::vector<uint8_t> flags(kN, 0);
  flags[0] = 1;
  flags[1] = 2;
  FillMask(4321);
  DRO_CreateMaskFromFloodMask(flags.data(), 0);
  EXPECT_EQ(Value(0), 65280);
  EXPECT_EQ(Value(1), 4321);
}

TEST_F(Mask, HueTestsWrapAroundZero) {
  EXPECT_TRUE(dro::mask::HueWithin(359.06, 0, 0));  // trunc(-0.94) = 0
  EXPECT_TRUE(dro::mask::HueWithin(358.12, 0, 1));
  EXPECT_FALSE(dro::mask::HueWithin(358.12, 0, 0));
  EXPECT_TRUE(dro::mask::HueWithin(1.5, 359.0, 2));  // 1.5 - 359 + 360
  EXPECT_TRUE(dro::mask::HueWithin(-1, -1, 0));      // grey against grey

  auto img = Image(255, 0, 8, 255);     // hue 358.1
  SetPixel(img, 1, {255, 8, 0, 255});   // hue 1.9
  SetPixel(img, 2, {0, 0, 255, 255});   // hue 240
  SetPixel(img, 3, {90, 90, 90, 255});  // grey: hue -1
  FillMask(4321);
  DRO_CreateMaskFromRGBAImageHueRange(img.data(), 255, 0, 0, 0, 0);  // limit 0
  EXPECT_EQ(Value(0), 4321);
  EXPECT_EQ(Value(1), 4321);  // trunc(1.88) = 1 is over a limit of 0
  FillMask(4321);
  DRO_CreateMaskFromRGBAImageHueRange(img.data(), 255, 0, 0, 1, 0);  // limit trunc(1.8) = 1
  EXPECT_EQ(Value(0), 65280);
  EXPECT_EQ(Value(1), 65280);
  EXPECT_EQ(Value(2), 4321);
  EXPECT_EQ(Value(3), 65280);  // grey's hue -1 lies one degree from red's 0
  FillMask(4321);
  DRO_CreateMaskFromRGBAImageHueRange(img.data(), 20, 20, 20, 0, 0);
  EXPECT_EQ(Value(3), 65280);
  EXPECT_EQ(Value(2), 4321);

  // HSL: the hue test first, then saturation and lightness on 0..1.
  FillMask(4321);
  SetPixel(img, 4, {128, 0, 4, 255});  // same hue region, lightness about 0.25
  DRO_CreateMaskFromRGBAImageHSLRange(img.data(), 255, 0, 0, 2.0 / 180, 0.01, 0.01, 0);
  EXPECT_EQ(Value(0), 65280);
  EXPECT_EQ(Value(1), 65280);
  EXPECT_EQ(Value(4), 4321);
  DRO_CreateMaskFromRGBAImageHSLRange(img.data(), 255, 0, 0, 2.0 / 180, 0.01, 0.3, 255);
  EXPECT_EQ(Value(4), 0);
  EXPECT_EQ(Value(2), 4321);
}

TEST(MaskHue, HueOfTheTestColorsIsWhatTheTestsAssume) {
  // Pins the premise of the wrap-around test above.
  double h, s, v;
  dro::color::RgbToHsv(255, 0, 8, h, s, v);
  EXPECT_NEAR(h, 358.1176, 1e-4);
  dro::color::RgbToHsv(255, 8, 0, h, s, v);
  EXPECT_NEAR(h, 1.8824, 1e-4);
}

TEST_F(Mask, ApplyToAlphaScalesByTheHighByteAndClipsTheRectangle) {
  SetValue(0, 0x00FF);  // k 0: alpha 0
  SetValue(1, 0xFF00);  // k 255: kept
  SetValue(2, 0x7F00);  // k 127: alpha x 128 / 256
  auto img = Image(1, 2, 3, 201);
  DRO_ApplyMaskToAlpha_RGBA32(img.data());
  EXPECT_EQ(img[3], 0);
  EXPECT_EQ(img[7], 201);
  EXPECT_EQ(img[11], 100);
  EXPECT_EQ(img[8], 1);

  // A 4 x 3 buffer whose first pixel is canvas pixel (-2, 1): only its part
  // on the canvas (columns 2..3 of the buffer, rows 0..1) is touched.
  FillMask(0);
  std::vector<uint8_t> block(4 * 3 * 4, 200);
  DRO_ApplyMaskToAlphaRect_RGBA32(block.data(), 16, -2, 1, 1, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {  // row 3 is off the canvas
      EXPECT_EQ(block[y * 16 + x * 4 + 3], x >= 2 && y <= 1 ? 0 : 200) << x << ", " << y;
    }
  }
  DRO_ApplyMaskToAlphaRect_RGBA32(block.data(), 15, 0, 0, 3, 2);  // stride too short
  EXPECT_EQ(block[2 * 16 + 2 * 4 + 3], 200);

  auto reps = Image(9, 9, 9, 100);
  SetPixel(reps, 1, {9, 9, 9, 104});
  DRO_ReplaceFromRGBAImageAlphaRange(reps.data(), 101, 1, 1, 2, 3, 4);  // T = 2
  EXPECT_EQ(reps[0], 1);
  EXPECT_EQ(reps[3], 4);
  EXPECT_EQ(reps[7], 104);
}

TEST_F(Mask, RawCopiesAndOverlayOptions) {
  std::vector<Mask16> in(kN);
  for (int i = 0; i < kN; ++i) in[i] = Mask16(i * 1000);
  EXPECT_EQ(DRO_SetMaskData16(in.data()), kN * 2);
  std::vector<Mask16> out(kN);
  EXPECT_EQ(DRO_GetMaskData16(out.data()), kN * 2);
  EXPECT_EQ(out, in);
  EXPECT_EQ(DRO_GetMaskData16(nullptr), 0);

  DRO_SetMaskOptions(255, 1, 0, 2, 3, 4, 1);
  const auto& o = engine().mask.overlay;
  EXPECT_EQ(o.color1[0], 65280);
  EXPECT_EQ(o.color1[1], 256);
  EXPECT_EQ(o.color2[2], 1024);
  EXPECT_EQ(o.fullStrength, 1);
}

TEST(MaskWithoutCanvas, DoesNothing) {
  DRO_DeleteImage();
  std::vector<uint8_t> img(64, 0x33);
  std::vector<uint8_t> copy = img;
  DRO_InvertMask();
  DRO_ClearMask(0, 0, 0);
  DRO_SaveMask(img.data(), 12);
  DRO_LoadMask(img.data(), 12, 4, 4);
  DRO_CreateMaskFromRGBAImageColor(img.data(), 0x33, 0x33, 0x33, 0);
  DRO_ApplyMaskToAlpha_RGBA32(img.data());
  DRO_ReplaceFromRGBAImageAlphaRange(img.data(), 0x33, 0, 0, 0, 0, 0);
  DRO_CreateImageFromMask();
  EXPECT_EQ(img, copy);
  EXPECT_EQ(DRO_GetMaskData16(img.data()), 0);
  EXPECT_EQ(DRO_SetMaskData16(img.data()), 0);
  EXPECT_EQ(img, copy);
}

}  // namespace
