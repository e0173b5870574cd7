// Whole-canvas loops split their rows or pixels over worker threads; the
// results must not depend on how many there are.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "composite/layer_state.h"
#include "drovine.h"
#include "mask/mask_state.h"
#include "support/fuzz.h"

namespace {

// Large enough that seven threads each get a band of their own.
constexpr int32_t kW = 640, kH = 416;
constexpr size_t kPixels = size_t{kW} * kH;

std::vector<uint8_t> Noise(uint32_t seed, size_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (uint8_t& b : out) {
    seed = seed * 1664525u + 1013904223u;
    // Many zero and full bytes, so alpha shortcuts and exact matches happen.
    const uint32_t v = seed >> 24;
    b = v < 40 ? 0 : v > 215 ? 255 : static_cast<uint8_t>(v);
  }
  return out;
}

uint64_t Sum(uint64_t sum, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) sum = (sum ^ b) * 0x100000001B3ull;
  return sum;
}

// Loads, masks, textures, merges and narrowing reads over one canvas;
// returns a checksum of every layer, the mask and every host buffer.
uint64_t RunWholeCanvasLoops(int32_t threads) {
  DRO_XSetThreads(threads);
  DRO_CreateImage(nullptr, kW, kH, 16, 5);
  DRO_SetUndoLevels(0);
  const std::vector<uint8_t> rgbaA = Noise(1, kPixels * 4), rgbaB = Noise(2, kPixels * 4);
  const std::vector<uint8_t> rgb = Noise(3, kPixels * 3);
  for (int32_t slot = 1; slot <= 3; ++slot) DRO_CreateLayer(slot, kW, kH);
  DRO_SetLayer(1);
  DRO_LoadRGBA32(rgbaA.data(), kW * 4, 0);
  DRO_SetLayer(2);
  DRO_LoadRGB24(rgb.data(), kW * 3, 0);
  DRO_LoadRGB24ToAlpha(rgbaB.data(), kW * 3, 0);
  DRO_CreateTexture(2);
  DRO_CreateMaskFromRGBAImageColorRange(rgbaA.data(), 128, 100, 90, 40, 200);
  DRO_CreateMaskFromDiff_RGBA32(rgbaA.data(), rgbaB.data(), 0x4000);
  DRO_CreateMaskFromRGBAImageHueRange(rgbaB.data(), 200, 40, 40, 20, 90);
  DRO_EnableMask(1);
  DRO_SetLayer(3);
  DRO_LoadRGBA32(rgbaB.data(), kW * 4, 1);
  DRO_LoadRGB24(rgb.data(), kW * 3, 1);
  DRO_LoadRGB24ToAlpha(rgb.data(), kW * 3, 1);
  DRO_SetLayer(2);
  DRO_ClearMasked(30, 60, 90, 200);
  DRO_SetLayerOptions(3, 1, 0, 70, "Multiply");
  DRO_MergeLayer(3, 1);
  DRO_SetLayerOptions(2, 1, 0, 100, "Soft Light");
  DRO_MergeLayer(2, 1);

  std::vector<uint8_t> a = rgbaA, b = rgbaB, c = rgbaA, out(kPixels * 4), grey(kPixels * 3);
  DRO_AdjustRGBA32ByMaskAndTexture(a.data(), kW, kH);
  DRO_AdjustRGBA32PreFilter(b.data(), kW, kH);
  DRO_AdjustRGBA32PostFilter(b.data(), kW, kH);
  DRO_AdjustRGBA32ForAlphaComp(1, c.data());
  DRO_ApplyMaskToAlpha_RGBA32(c.data());
  std::vector<uint8_t> wide(kPixels * 8);
  DRO_MergeLayerInto(1, wide.data());
  DRO_AdjustRGBA64PreFilter(wide.data(), kW, kH);
  DRO_AdjustRGBA64PostFilter(wide.data(), kW, kH);
  DRO_SetLayer(1);
  DRO_GetRGBA32(out.data(), kW * 4);
  DRO_InvertMask();
  DRO_SaveMask(grey.data(), kW * 3);

  uint64_t sum = drovine_test::kChecksumStart;
  for (const auto* buffer : {&a, &b, &c, &out, &grey, &wide}) sum = Sum(sum, *buffer);
  for (int32_t slot = 1; slot <= 3; ++slot) {
    const auto& pixels = dro::composite::Layers().slots[slot].pixels;
    sum = drovine_test::Checksum(sum, pixels.data(), pixels.size());
  }
  const auto& mask = dro::mask::State().values;
  for (size_t i = 0; i < mask.size(); ++i) sum = (sum ^ mask[i]) * 0x100000001B3ull;
  DRO_DeleteImage();
  return sum;
}

TEST(Threads, WholeCanvasLoopsGiveTheSameResultForAnyCount) {
  const uint64_t one = RunWholeCanvasLoops(1);
  EXPECT_EQ(RunWholeCanvasLoops(2), one);
  EXPECT_EQ(RunWholeCanvasLoops(7), one);
  DRO_XSetThreads(0);
}

}  // namespace
