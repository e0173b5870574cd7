// Pixel transfers: widening and narrowing, the loads (plain, lock-alpha,
// weighted by texture and mask, clipped), fills, queries and extents, with
// host buffers sized exactly as each call describes them.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "composite/pixel_transfers.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 6;
constexpr int kH = 4;

// Pixels compared as four plain integers, so failures print readably.
using Quad = std::array<int, 4>;
Quad Q(const Pixel64& p) {
  return {p.r, p.g, p.b, p.a};
}

class Transfers : public drovine_test::CanvasTest {
 protected:
  Transfers() : CanvasTest({kW, kH}) {}
  // Slot 2 filled with `fill`, as the current layer.
  void Current(Pixel64 fill) {
    MakeLayer(2, fill);
    DRO_SetLayer(2);
  }
  static std::vector<uint8_t> Rgba(int w, int h, std::initializer_list<uint8_t> px) {
    std::vector<uint8_t> v;
    for (int i = 0; i < w * h; ++i) v.insert(v.end(), px);
    return v;
  }
};

TEST_F(Transfers, WidenByShiftingAndNarrowToTheHighByte) {
  Current(Pixel64{0, 0, 0, 0});
  auto src = Rgba(kW, kH, {255, 1, 128, 255});
  DRO_LoadRGBA32(src.data(), kW * 4, 0);
  EXPECT_EQ(DRO_GetRed64(0, 0), 65280);
  EXPECT_EQ(DRO_GetGreen64(1, 1), 256);
  EXPECT_EQ(DRO_GetBlue64(2, 2), 32768);
  EXPECT_EQ(DRO_GetAlpha64(3, 3), 65280);
  EXPECT_EQ(DRO_GetRed64(kW, 0), 0);
  EXPECT_EQ(DRO_GetRed64(0, -1), 0);

  // The device-independent-bitmap load reads B, G, R and writes alpha 65535,
  // only within the width and rows it is given.
  std::vector<uint8_t> bgr(2 * 1 * 3, 0);
  bgr[0] = 10, bgr[1] = 20, bgr[2] = 30, bgr[3] = 40, bgr[4] = 50, bgr[5] = 60;
  DRO_Load(bgr.data(), 6, 2, 1);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{30 << 8, 20 << 8, 10 << 8, 65535}));
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{60 << 8, 50 << 8, 40 << 8, 65535}));
  EXPECT_EQ(Q(At(2, 2, 0)), (Quad{65280, 256, 32768, 65280}));

  // Narrowing drops the low byte: 0x12FF reads back as 0x12.
  Put(2, 0, 1, Pixel64{0x12FF, 0x00FF, 0xFFFF, 0x0100});
  std::vector<uint8_t> out(kW * kH * 4, 0xAA);
  DRO_GetRGBA32(out.data(), kW * 4);
  EXPECT_EQ(out[kW * 4 + 0], 0x12);
  EXPECT_EQ(out[kW * 4 + 1], 0x00);
  EXPECT_EQ(out[kW * 4 + 2], 0xFF);
  EXPECT_EQ(out[kW * 4 + 3], 0x01);
  std::vector<uint8_t> rgb(kW * kH * 3, 0);
  DRO_GetRGB24Layer(rgb.data(), kW * 3, 2);
  EXPECT_EQ(rgb[kW * 3 + 0], 0x12);
  EXPECT_EQ(rgb[0], 30);
  DRO_GetRGB24FromAlpha(rgb.data(), kW * 3);
  EXPECT_EQ(rgb[kW * 3 + 0], 0x01);
  EXPECT_EQ(rgb[kW * 3 + 2], 0x01);
  EXPECT_EQ(rgb[0], 255);
}

TEST_F(Transfers, PlainLoadClearsTransparentPixelsAndHonoursLockAlpha) {
  MakeLayer(3, Pixel64{1000, 2000, 3000, 4000});
  auto src = Rgba(kW, kH, {9, 8, 7, 0});
  DRO_LoadRGBA32Layer(src.data(), kW * 4, 3, 0, 0, kW, kH, 0);
  EXPECT_EQ(Q(At(3, 5, 3)), (Quad{0, 0, 0, 0}));

  DRO_SetLayerOptions(3, 1, 1, 100, "Normal");
  Fill(3, Pixel64{1000, 2000, 3000, 4000});
  src = Rgba(kW, kH, {9, 8, 7, 6});
  DRO_LoadRGBA32Layer(src.data(), kW * 4, 3, 0, 0, kW, kH, 0);
  EXPECT_EQ(Q(At(3, 0, 0)), (Quad{9 << 8, 8 << 8, 7 << 8, 4000}));
}

TEST_F(Transfers, LoadClipsToTheLayerAndSkipsSourceForNegativeOrigins) {
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  // A 12 x 2 block whose pixel (x, y) carries x in red and y in green; the
  // vector is exactly the size the call describes.
  const int w = 12, h = 2;
  std::vector<uint8_t> src(w * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &src[(y * w + x) * 4];
      p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = 0, p[3] = 255;
    }
  DRO_LoadRGBA32Layer(src.data(), w * 4, 2, -10, -1, w, h, 0);
  // Column 0 takes source column 10, row 0 takes source row 1.
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{10 << 8, 1 << 8, 0, 65280}));
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{11 << 8, 1 << 8, 0, 65280}));
  EXPECT_EQ(Q(At(2, 2, 0)), (Quad{0, 0, 0, 0}));
  EXPECT_EQ(Q(At(2, 0, 1)), (Quad{0, 0, 0, 0}));

  // Placed past the right and bottom edges: only the part on the layer.
  DRO_LoadRGBA32Into(src.data(), w * 4, 2, 4, 3, w, h);
  EXPECT_EQ(Q(At(2, 4, 3)), (Quad{0, 0, 0, 65280}));
  EXPECT_EQ(Q(At(2, 5, 3)), (Quad{1 << 8, 0, 0, 65280}));

  // A layer smaller than the canvas takes only its own part.
  ASSERT_EQ(DRO_CreateLayer(4, 2, 2), 1);
  DRO_SetLayer(4);
  auto full = Rgba(kW, kH, {50, 60, 70, 80});
  DRO_LoadRGBA32(full.data(), kW * 4, 1);
  // The raw transfers take canvas-size layers only: read it in the engine.
  EXPECT_EQ(Q(engine().layers.slots[4].pixels[1 * 2 + 1]),
            (Quad{50 << 8, 60 << 8, 70 << 8, 80 << 8}));

  // Refused: no data, bad stride, empty slot, slot out of range.
  DRO_LoadRGBA32Layer(nullptr, w * 4, 2, 0, 0, w, h, 0);
  DRO_LoadRGBA32Layer(src.data(), -4, 2, 0, 0, w, h, 0);
  DRO_LoadRGBA32Layer(src.data(), w * 4, 9, 0, 0, w, h, 0);
  DRO_LoadRGBA32Layer(src.data(), w * 4, 64, 0, 0, w, h, 0);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{10 << 8, 1 << 8, 0, 65280}));
}

// A block hanging over each edge in turn changes exactly the pixels it
// covers on the layer; the ones beside it, and the host pixels off the
// canvas, stay as they were.
TEST_F(Transfers, ClippedBlocksTouchNothingJustOutside) {
  struct Place {
    int x, y;
  };
  constexpr int w = 4, h = 3;
  for (const Place at :
       {Place{-2, -1}, Place{kW - 2, 1}, Place{1, kH - 2}, Place{kW - 3, kH - 1}}) {
    std::vector<Pixel64> before(pixelCount());
    for (size_t i = 0; i < before.size(); ++i) before[i] = Pixel64{1, 2, 3, uint16_t(1000 + i)};
    MakeLayer(2, Pixel64{});
    SetPixels(2, before);
    DRO_SetLayer(2);
    const std::vector<uint8_t> src = Rgba(w, h, {200, 100, 50, 255});
    DRO_LoadRGBA32Layer(src.data(), w * 4, 2, at.x, at.y, w, h, 0);
    const std::vector<Pixel64> after = Pixels(2);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool inside = x >= at.x && x < at.x + w && y >= at.y && y < at.y + h;
        const Pixel64& p = after[y * kW + x];
        EXPECT_EQ(Q(p),
                  inside ? (Quad{200 << 8, 100 << 8, 50 << 8, 255 << 8}) : Q(before[y * kW + x]))
            << "block at (" << at.x << ", " << at.y << "), pixel (" << x << ", " << y << ")";
      }
    }
    // The mask and texture adjustment of a host block: columns and rows off
    // the canvas keep their alpha.
    std::vector<uint8_t> block = Rgba(w, h, {9, 9, 9, 200});
    SetMask(std::vector<dro::Mask16>(pixelCount(), 0));
    DRO_EnableMask(1);
    DRO_AdjustRGBA32RectByMaskAndTexture(block.data(), at.x, at.y, w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool onCanvas = at.x + x >= 0 && at.x + x < kW && at.y + y >= 0 && at.y + y < kH;
        EXPECT_EQ(block[(y * w + x) * 4 + 3], onCanvas ? 0 : 200)
            << "block at (" << at.x << ", " << at.y << "), pixel (" << x << ", " << y << ")";
      }
    }
  }
}

TEST_F(Transfers, TextureAndMaskWeights) {
  using dro::composite::LoadMaskWeight;
  using dro::composite::LoadTextureWeight;
  EXPECT_EQ(LoadTextureWeight(0), 0u);
  EXPECT_EQ(LoadTextureWeight(4), 2303u);
  EXPECT_EQ(LoadTextureWeight(127), 65279u);
  EXPECT_EQ(LoadTextureWeight(128), 65535u);
  EXPECT_EQ(LoadMaskWeight(65535, 0x00FF), 0u);
  EXPECT_EQ(LoadMaskWeight(65535, 0xFF00), 65535u);
  EXPECT_EQ(LoadMaskWeight(2303, 0x7F12), 2303u * 128 / 256);
  EXPECT_EQ(dro::composite::BlendChannel(10000, 100, 2303), 10548);
  // The formula loses a step at both ends, which is why the loads store a
  // full weight directly and leave a zero weight alone.
  EXPECT_EQ(dro::composite::BlendChannel(12345, 200, 65535), 51199);
  EXPECT_EQ(dro::composite::BlendChannel(12345, 200, 0), 12344);
}

TEST_F(Transfers, WeightedLoadMixesByTextureAndMask) {
  MakeLayer(2, Pixel64{10000, 20000, 30000, 40000});
  MakeTexture(4);  // weight 2303
  DRO_EnableMask(0);
  Put(2, 1, 0, Pixel64{0, 0, 0, 0});
  auto src = Rgba(kW, kH, {100, 150, 200, 250});
  src[2 * 4 + 3] = 0;  // pixel (2, 0) arrives transparent
  DRO_LoadRGBA32Layer(src.data(), kW * 4, 2, 0, 0, kW, kH, 1);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{10548, 20646, 30744, 40842}));
  // Over transparent: the colour straight, alpha w x A / 256.
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{100 << 8, 150 << 8, 200 << 8, 2249}));
  // A transparent source only thins the alpha.
  EXPECT_EQ(Q(At(2, 2, 0)), (Quad{10000, 20000, 30000, 38593}));

  // Without useMask the texture is ignored.
  DRO_LoadRGBA32Layer(src.data(), kW * 4, 2, 0, 0, kW, kH, 0);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{100 << 8, 150 << 8, 200 << 8, 250 << 8}));

  // Mask only: a closed high byte leaves the pixel, a half one mixes.
  DRO_DeleteTexture();
  DRO_EnableMask(1);
  Fill(2, Pixel64{10000, 20000, 30000, 40000});
  FillMask(0x7F00);  // m8 127: w = 65535 x 128 / 256 = 32767
  PutMask(1, 0, 0x00FF);
  PutMask(2, 0, 0xFFFF);
  auto opaque = Rgba(kW, kH, {100, 150, 200, 250});
  DRO_LoadRGBA32Layer(opaque.data(), kW * 4, 2, 0, 0, kW, kH, 1);
  EXPECT_EQ(At(2, 0, 0).r, 17799);
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{10000, 20000, 30000, 40000}));
  EXPECT_EQ(Q(At(2, 2, 0)), (Quad{100 << 8, 150 << 8, 200 << 8, 250 << 8}));

  // Lock-alpha keeps alpha in the weighted path too.
  DRO_SetLayerOptions(2, 1, 1, 100, "Normal");
  Put(2, 0, 1, Pixel64{0, 0, 0, 0});
  FillMask(0x7F00);
  DRO_LoadRGBA32Layer(opaque.data(), kW * 4, 2, 0, 0, kW, kH, 1);
  EXPECT_EQ(Q(At(2, 0, 1)), (Quad{100 << 8, 150 << 8, 200 << 8, 0}));
}

TEST_F(Transfers, Rgb24LoadsWeighColorAndAlphaTheirOwnWay) {
  Current(Pixel64{10000, 20000, 30000, 40000});
  Put(2, 5, 3, Pixel64{10000, 20000, 30000, 0});
  std::vector<uint8_t> rgb(kW * kH * 3, 200);
  rgb[0] = 100;

  // Colour only, alpha stays.
  DRO_LoadRGB24(rgb.data(), kW * 3, 0);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{100 << 8, 200 << 8, 200 << 8, 40000}));
  Fill(2, Pixel64{10000, 20000, 30000, 40000});
  Put(2, 5, 3, Pixel64{10000, 20000, 30000, 0});
  MakeTexture(4);
  DRO_EnableMask(0);
  DRO_LoadRGB24(rgb.data(), kW * 3, 1);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{10548, 21096, 30744, 40000}));

  // Alpha from red: the texture weighs 2t x 65535 / 256 (t = 4: 2047), the
  // mask by its full 16-bit value: (2047 x 30000) / 65536 = 937.
  FillMask(30000);
  DRO_EnableMask(1);
  DRO_LoadRGB24ToAlpha(rgb.data(), kW * 3, 1);
  EXPECT_EQ(At(2, 1, 0).a, 40159);
  EXPECT_EQ(At(2, 5, 3).a, 0);  // transparent pixels are skipped
  DRO_LoadRGB24ToAlpha(rgb.data(), kW * 3, 0);
  EXPECT_EQ(At(2, 0, 0).a, 100 << 8);
  EXPECT_EQ(At(2, 1, 0).a, 200 << 8);
  EXPECT_EQ(At(2, 5, 3).a, 0);
}

TEST_F(Transfers, BlockNarrowingAndTightReshaping) {
  // A 3 x 2 Pixel64 block inside rows of 5 pixels.
  std::vector<Pixel64> src(5 * 2);
  for (int i = 0; i < 10; ++i) src[i] = {uint16_t(i << 8 | 0x7F), 0x1200, 0x3400, 0x5600};
  std::vector<uint8_t> dst(3 * 2 * 4, 0);
  DRO_GetRGBA32FromRGBA64Rect(dst.data(), 12, src.data(), 40, 7, 9, 3, 2);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[4], 1);
  EXPECT_EQ(dst[12], 5);  // second row starts at source pixel 5
  EXPECT_EQ(dst[15], 0x56);
  std::vector<uint8_t> rgb(3 * 2 * 3, 0);
  DRO_GetRGB24FromRGBA64Rect(rgb.data(), 9, src.data(), 40, 0, 0, 3, 2);
  EXPECT_EQ(rgb[9], 5);
  EXPECT_EQ(rgb[11], 0x34);

  std::vector<uint8_t> tight(2 * 2 * 4, 0);
  DRO_RGBA64RectToRGBA32(src.data(), 1, 0, 2, 2, 5, 0, tight.data());
  EXPECT_EQ(tight[0], 1);
  EXPECT_EQ(tight[8], 6);
  std::vector<uint8_t> tight24(2 * 2 * 3, 0);
  DRO_RGBA64RectToRGBA24(src.data(), 3, 1, 2, 1, 5, 0, tight24.data());
  EXPECT_EQ(tight24[0], 8);
  EXPECT_EQ(tight24[3], 9);
  // A block that would leave the rows is refused.
  tight24.assign(12, 0xEE);
  DRO_RGBA64RectToRGBA24(src.data(), 4, 0, 2, 1, 5, 0, tight24.data());
  DRO_RGBA64RectToRGBA24(src.data(), -1, 0, 2, 1, 5, 0, tight24.data());
  EXPECT_EQ(tight24[0], 0xEE);

  std::vector<uint8_t> rgba = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> three = {30, 60, 91, 0, 0, 3};
  DRO_RGBToRGBAlpha(rgba.data(), 2, 1, three.data());
  EXPECT_EQ(rgba, (std::vector<uint8_t>{1, 2, 3, 60, 5, 6, 7, 1}));
  DRO_RGBToRGBA(rgba.data(), 2, 1, three.data());
  EXPECT_EQ(rgba, (std::vector<uint8_t>{30, 60, 91, 60, 0, 0, 3, 1}));
  DRO_RGBAlphaToRGB(three.data(), 2, 1, rgba.data());
  EXPECT_EQ(three, (std::vector<uint8_t>{60, 60, 60, 1, 1, 1}));
  DRO_RGBAToRGB(three.data(), 2, 1, rgba.data());
  EXPECT_EQ(three, (std::vector<uint8_t>{30, 60, 91, 0, 0, 3}));

  std::vector<uint8_t> block = {1, 2, 3, 255, 0, 128, 255, 7};
  std::vector<Pixel64> wide(2);
  dro::composite::ExpandRgba32Block(block.data(), 2, 1, wide.data());
  EXPECT_EQ(Q(wide[0]), (Quad{256, 512, 768, 65280}));
  std::vector<uint8_t> back(8, 0);
  dro::composite::ReduceRgba32Block(wide.data(), 2, 1, back.data());
  EXPECT_EQ(back, block);
}

TEST_F(Transfers, TightBlockRefusesAStrideWhoseBytesDoNotFit32Bits) {
  // 2^28 pixels are 2^31 bytes per row: one byte more than a 32-bit stride holds.
  const std::vector<Pixel64> src(1, Pixel64{0x1100, 0x2200, 0x3300, 0x4400});
  std::vector<uint8_t> tight(4, 0xEE);
  DRO_RGBA64RectToRGBA32(src.data(), 0, 0, 1, 1, 1 << 28, 0, tight.data());
  EXPECT_EQ(tight, (std::vector<uint8_t>(4, 0xEE)));
  // The widest stride that fits still reads the block.
  DRO_RGBA64RectToRGBA32(src.data(), 0, 0, 1, 1, INT32_MAX / 8, 0, tight.data());
  EXPECT_EQ(tight, (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
}

TEST_F(Transfers, FillsAndTheMaskedFills) {
  Current(Pixel64{0, 0, 0, 0});
  DRO_Clear(255, 1, 0, 300);  // channel arguments keep their low byte
  EXPECT_EQ(Q(At(2, 5, 3)), (Quad{65280, 256, 0, 44 << 8}));

  std::vector<Pixel64> wide(kW * kH);
  DRO_ClearRGBA64(wide.data(), kW * 8, 1, 2, 3, 65535);
  EXPECT_EQ(Q(wide.back()), (Quad{1, 2, 3, 65535}));
  std::vector<uint8_t> rgba((kW + 1) * kH * 4, 0);
  DRO_ClearRGBA32(rgba.data(), (kW + 1) * 4, 9, 8, 7, 6);
  EXPECT_EQ(rgba[0], 9);
  EXPECT_EQ(rgba[kW * 4], 0);  // the row padding is not written
  EXPECT_EQ(rgba[(kW + 1) * 4 + 3], 6);
  DRO_ClearRGBA32Buf(rgba.data(), 1, 1, 4, 4, 4, 4);
  EXPECT_EQ(rgba[3], 4);

  // Masked: open pixels take the colour, closed stay, partly open mix and
  // become opaque whatever alpha was asked for.
  Fill(2, Pixel64{10000, 10000, 10000, 500});
  FillMask(65535);
  PutMask(1, 0, 0);
  PutMask(2, 0, 32768);
  DRO_ClearMasked(200, 200, 200, 7);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{200 << 8, 200 << 8, 200 << 8, 7 << 8}));
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{10000, 10000, 10000, 500}));
  EXPECT_EQ(Q(At(2, 2, 0)), (Quad{30599, 30599, 30599, 65535}));
  DRO_EnableMask(0);
  DRO_ClearMasked(1, 2, 3, 4);
  EXPECT_EQ(Q(At(2, 1, 0)), (Quad{256, 512, 768, 1024}));
}

TEST_F(Transfers, ClearMaskedAlphaIsAWeightedLoadOfTheColor) {
  Current(Pixel64{10000, 20000, 30000, 40000});
  MakeLayer(3, Pixel64{10000, 20000, 30000, 40000});
  std::vector<dro::Mask16> mask(pixelCount());
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = dro::Mask16(i * 2731);
  SetMask(mask);
  DRO_ClearMaskedAlpha(100, 150, 200, 250);
  auto color = Rgba(kW, kH, {100, 150, 200, 250});
  DRO_LoadRGBA32Layer(color.data(), kW * 4, 3, 0, 0, kW, kH, 1);
  EXPECT_EQ(Pixels(2), Pixels(3));
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{10000, 20000, 30000, 40000}));  // mask 0
  EXPECT_NE(Q(At(2, 3, 0)), (Quad{10000, 20000, 30000, 40000}));
  DRO_EnableMask(0);
  DRO_ClearMaskedAlpha(1, 2, 3, 4);
  EXPECT_EQ(Q(At(2, 0, 0)), (Quad{256, 512, 768, 1024}));
}

TEST_F(Transfers, QueriesClampAndReportTransparency) {
  // The under-layer buffer holds the current layer as last committed.
  Current(Pixel64{0x4400, 0x5500, 0x6600, 0x7700});
  Fill(2, Pixel64{0x1234, 0x5678, 0x9ABC, 255});
  Put(2, 1, 0, Pixel64{0x1234, 0x5678, 0x9ABC, 256});
  Put(2, 0, kH - 1, Pixel64{0xAB00, 0xCD00, 0xEF00, 0x8000});
  EXPECT_EQ(DRO_GetColorAtSurface(0, 0), -1);  // alpha 255 counts as transparent
  EXPECT_EQ(DRO_GetColorAtSurface(1, 0), 0x12569A);
  EXPECT_EQ(DRO_GetColorAtLayer(1, 0, 2), 0x12569A);
  EXPECT_EQ(uint32_t(DRO_GetRGBAAtSurface(-5, 1000000)), 0xABCDEF80u);
  EXPECT_EQ(uint32_t(DRO_GetRGBAAtLayer(1, 0, 2)), 0x12569A01u);
  EXPECT_EQ(DRO_GetRGBAAtLayer(1, 0, 7), 0);
  EXPECT_EQ(DRO_GetRGBAAt(0, 0, nullptr), 0);
  EXPECT_EQ(DRO_GetColorAt(0, 0, nullptr), 0);

  std::vector<Pixel64> host(kW * kH, Pixel64{0x0100, 0x0200, 0x0300, 0xFF00});
  host.back() = {0xFF00, 0, 0, 0x0100};
  EXPECT_EQ(DRO_GetColorAt(99, 99, host.data()), 0xFF0000);
  EXPECT_EQ(uint32_t(DRO_GetRGBAAt(0, 0, host.data())), 0x010203FFu);

  // The under-layer buffer as committed; the trace buffer is layer 0.
  EXPECT_EQ(DRO_GetColorAtUnderLayer(2, 2), 0x445566);
  EXPECT_EQ(uint32_t(DRO_GetRGBAAtUnderLayer(2, 2)), 0x44556677u);
  EXPECT_EQ(DRO_GetColorAtTrace(0, 0), 0);
  MakeLayer(0, Pixel64{0x0900, 0x0800, 0x0700, 0x0600});
  EXPECT_EQ(DRO_GetColorAtTrace(0, 0), 0x090807);
  EXPECT_EQ(DRO_GetRGBAAtTrace(0, 0), 0x09080706);

  // The mask reads inverted while enabled, 0 otherwise.
  PutMask(1, 1, 1000);
  EXPECT_EQ(DRO_GetMask64(1, 1), 64535);
  EXPECT_EQ(DRO_GetMask64(kW, 1), 0);
  DRO_EnableMask(0);
  EXPECT_EQ(DRO_GetMask64(1, 1), 0);
}

TEST_F(Transfers, HistoryAndMergedQueries) {
  DRO_SetUndoLevels(5);
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);  // opaque white background
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  DRO_SetLayer(2);
  EXPECT_EQ(DRO_GetColorAtHistory(0, 0), 0);  // nothing to undo yet
  Put(2, 1, 1, Pixel64{0x1100, 0x2200, 0x3300, 0xFF00});
  DRO_SaveUndoBuffer(1, 0);
  ASSERT_EQ(DRO_CanUndo(), 1);
  // The under-layer buffer now holds the committed state.
  EXPECT_EQ(DRO_GetColorAtHistory(1, 1), 0x112233);
  EXPECT_EQ(DRO_GetColorAtHistory(0, 0), -1);

  // Merged: white background under a visible opaque pixel of slot 2.
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  EXPECT_EQ(DRO_GetColorAtMerged(1, 1), 0x112233);
  EXPECT_EQ(DRO_GetColorAtMerged(0, 0), 0xFFFFFF);
  EXPECT_EQ(DRO_GetColorAtMerged(-3, 99), 0xFFFFFF);  // clamped into the canvas
  DRO_SetLayerOptions(1, 0, 0, 100, "Normal");        // hidden background
  EXPECT_EQ(DRO_GetColorAtMerged(0, 0), -1);
  DRO_DeleteImage();
  EXPECT_EQ(DRO_GetColorAtMerged(0, 0), 0);
  EXPECT_EQ(DRO_GetColorAtHistory(0, 0), 0);
}

TEST_F(Transfers, DataExtents) {
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  int32_t box[4] = {-1, -1, -1, -1};
  DRO_FindDataExtentsLayer(2, &box[0], &box[1], &box[2], &box[3]);
  EXPECT_EQ(box[0], kW);
  EXPECT_EQ(box[1], kH);
  EXPECT_EQ(box[2], 0);
  EXPECT_EQ(box[3], 0);
  Put(2, 4, 1, Pixel64{0, 0, 0, 1});
  Put(2, 2, 3, Pixel64{0, 0, 0, 1});
  DRO_FindDataExtentsLayer(2, &box[0], &box[1], &box[2], &box[3]);
  EXPECT_EQ(box[0], 2);
  EXPECT_EQ(box[1], 1);
  EXPECT_EQ(box[2], 4);
  EXPECT_EQ(box[3], 3);
  int32_t untouched[4] = {-7, -7, -7, -7};
  DRO_FindDataExtentsLayer(5, &untouched[0], &untouched[1], &untouched[2], &untouched[3]);
  EXPECT_EQ(untouched[0], -7);
  DRO_FindDataExtentsLayer(2, nullptr, &box[1], &box[2], &box[3]);  // ignored
}

TEST(TransfersWithoutCanvas, DoNothingAndReadZero) {
  DRO_DeleteImage();
  std::vector<uint8_t> buf(64, 0x5A);
  DRO_Clear(1, 2, 3, 4);
  DRO_ClearRGBA32(buf.data(), 16, 0, 0, 0, 0);
  DRO_LoadRGBA32(buf.data(), 16, 1);
  DRO_GetRGBA32(buf.data(), 16);
  EXPECT_EQ(buf, std::vector<uint8_t>(64, 0x5A));
  EXPECT_EQ(DRO_GetRed64(0, 0), 0);
  EXPECT_EQ(DRO_GetRGBAAt(0, 0, buf.data()), 0);
  EXPECT_EQ(DRO_GetColorAtUnderLayer(0, 0), 0);
  EXPECT_EQ(DRO_GetMask64(0, 0), 0);
}

}  // namespace
