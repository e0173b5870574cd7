// The texture map (its bytes, lifecycle and failure) and the alpha
// modulation and premultiply passes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "composite/texture.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 4;
constexpr int kH = 3;

class Texture : public drovine_test::CanvasTest {
 protected:
  Texture() : CanvasTest({kW, kH}) {}
  static std::vector<uint8_t> Image(int w, int h, std::array<uint8_t, 4> px) {
    std::vector<uint8_t> v(size_t(w) * h * 4);
    for (size_t i = 0; i < v.size(); ++i) v[i] = px[i % 4];
    return v;
  }
};

TEST_F(Texture, MapBytesFollowLuminanceWithinFourTo250) {
  MakeLayer(3, Pixel64{65280, 65280, 65280, 65535});
  Put(3, 1, 0, Pixel64{0, 0, 0, 0});
  Put(3, 2, 0, Pixel64{32768, 32768, 32768, 0});
  Put(3, 3, 0, Pixel64{65535, 0, 0, 65535});  // 65535 / 768 = 85
  uint8_t* map = static_cast<uint8_t*>(DRO_CreateTexture(3));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map, engine().layers.texture.data());
  EXPECT_EQ(map[0], 250);
  EXPECT_EQ(map[1], 4);
  EXPECT_EQ(map[2], 128);
  EXPECT_EQ(map[3], 85);

  // A later build rewrites the same map in place.
  Put(3, 0, 0, Pixel64{0, 0, 0, 0});
  EXPECT_EQ(DRO_CreateTexture(3), map);
  EXPECT_EQ(map[0], 4);

  // A layer smaller than the canvas leaves the rest at full weight.
  ASSERT_EQ(DRO_CreateLayer(4, 1, 1), 1);
  EXPECT_EQ(DRO_CreateTexture(4), map);
  EXPECT_EQ(map[0], 4);
  EXPECT_EQ(map[1], 250);
  EXPECT_EQ(map[kW * kH - 1], 250);

  EXPECT_EQ(DRO_CreateTexture(9), nullptr);  // empty slot: the map stays
  EXPECT_EQ(DRO_CreateTexture(64), nullptr);
  EXPECT_TRUE(engine().layers.texture.present());
  DRO_DeleteTexture();
  EXPECT_FALSE(engine().layers.texture.present());
}

TEST_F(Texture, TheTextureRuleBuildsTheMapFromATexturize3Layer) {
  ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
  Put(3, 1, 1, Pixel64{65280, 65280, 65280, 65535});
  DRO_SetLayer(2);
  DRO_SetLayerOptions(3, 1, 0, 100, "Texturize3");  // visible, not current
  ASSERT_TRUE(engine().layers.texture.present());
  EXPECT_EQ(engine().layers.texture[0], 4);
  EXPECT_EQ(engine().layers.texture[5], 250);

  DRO_SetLayer(3);  // the paper becomes current: no map while it is edited
  EXPECT_FALSE(engine().layers.texture.present());
  Put(3, 0, 0, Pixel64{32768, 32768, 32768, 65535});
  DRO_SetLayer(2);  // and it is rebuilt, with the edit, when it stops being
  ASSERT_TRUE(engine().layers.texture.present());
  EXPECT_EQ(engine().layers.texture[0], 128);
}

TEST_F(Texture, FailedAllocationLeavesTheMapAbsent) {
  MakeLayer(3, Pixel64{0, 0, 0, 0});
  void* map = nullptr;
  drovine_test::SweepAllocationFailures(
      {.errorText = "CreateTexture Excpt"}, [&] { map = DRO_CreateTexture(3); },
      [&](int64_t) {
        EXPECT_EQ(map, nullptr);
        EXPECT_FALSE(engine().layers.texture.present());
      });
  EXPECT_NE(map, nullptr);
}

TEST_F(Texture, WeightsOfTheModulation) {
  EXPECT_EQ(dro::composite::TextureWeight(4), 2047u);
  EXPECT_EQ(dro::composite::TextureWeight(127), 65023u);
  EXPECT_EQ(dro::composite::TextureWeight(128), 65535u);
  EXPECT_EQ(dro::composite::MaskWeight(65535, 65535), 65535u);
  EXPECT_EQ(dro::composite::MaskWeight(65535, 32768), 32767u);
  EXPECT_EQ(dro::composite::MaskWeight(2047, 0), 0u);
}

TEST_F(Texture, AdjustByMaskAndTextureScalesAlphaOnly) {
  DRO_EnableMask(0);
  auto img = Image(kW, kH, {10, 20, 30, 255});
  const auto original = img;
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img, original);  // no map and the mask disabled: nothing

  MakeTexture(4);
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img[3], 7);  // trunc(2047 / 65535 x 255)
  EXPECT_EQ(img[0], 10);

  DRO_DeleteTexture();
  DRO_EnableMask(1);
  FillMask(32768);
  PutMask(1, 0, 65535);
  img = original;
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img[3], 127);
  EXPECT_EQ(img[7], 255);

  // Placed at (-1, 2), a 3 x 2 buffer meets the canvas in its row 0,
  // columns 1..2; the rest stays. Its size is exactly what the call says.
  FillMask(0);
  auto block = Image(3, 2, {1, 1, 1, 200});
  DRO_AdjustRGBA32RectByMaskAndTexture(block.data(), -1, 2, 3, 2);
  EXPECT_EQ(block[0 * 4 + 3], 200);
  EXPECT_EQ(block[1 * 4 + 3], 0);
  EXPECT_EQ(block[2 * 4 + 3], 0);
  EXPECT_EQ(block[3 * 4 + 3], 200);
  // Entirely off the canvas: nothing.
  block = Image(3, 2, {1, 1, 1, 200});
  DRO_AdjustRGBA32RectByMaskAndTexture(block.data(), kW, 0, 3, 2);
  EXPECT_EQ(block, Image(3, 2, {1, 1, 1, 200}));
}

TEST_F(Texture, PremultiplyPasses) {
  std::vector<uint8_t> px = {100, 100, 100, 128, 9, 8, 7, 255, 6, 5, 4, 0};
  DRO_AdjustRGBA32PreFilter(px.data(), 3, 1);
  EXPECT_EQ(px, (std::vector<uint8_t>{50, 50, 50, 128, 9, 8, 7, 255, 6, 5, 4, 0}));
  DRO_AdjustRGBA32PostFilter(px.data(), 3, 1);
  EXPECT_EQ(px, (std::vector<uint8_t>{99, 99, 99, 128, 9, 8, 7, 255, 6, 5, 4, 0}));
  std::vector<uint8_t> over = {200, 0, 0, 100};
  DRO_AdjustRGBA32PostFilter(over.data(), 1, 1);
  EXPECT_EQ(over[0], 255);  // clamped

  auto canvas = Image(kW, kH, {50, 60, 70, 128});
  canvas[4 * 4 + 3] = 0;
  DRO_AdjustRGBA32ForAlphaComp(0, canvas.data());
  EXPECT_EQ(canvas[0], 50);
  DRO_AdjustRGBA32ForAlphaComp(1, canvas.data());
  EXPECT_EQ(canvas[0], 99);
  EXPECT_EQ(canvas[1], 119);
  EXPECT_EQ(canvas[4 * 4], 50);  // alpha 0 keeps its colour
  DRO_AdjustRGBA32ForAlphaComp(1, nullptr);

  std::vector<Pixel64> wide = {{65535, 1000, 0, 32768}, {7, 7, 7, 0}};
  DRO_AdjustRGBA64PreFilter(wide.data(), 2, 1);
  EXPECT_EQ(wide[0].r, 32768);
  EXPECT_EQ(wide[0].g, 500);
  EXPECT_EQ(wide[1].r, 7);
  DRO_AdjustRGBA64PostFilter(wide.data(), 2, 1);
  EXPECT_EQ(wide[0].r, 65535);
  EXPECT_EQ(wide[0].g, 999);  // trunc(500 x 65535 / 32768)
  EXPECT_EQ(wide[0].a, 32768);
}

}  // namespace
