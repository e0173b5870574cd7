// The texture map (its bytes, lifecycle and failure) and the alpha
// modulation and premultiply passes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "composite/texture.h"
#include "drovine.h"
#include "engine/engine.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int kW = 4;
constexpr int kH = 3;

class Texture : public ::testing::Test {
 protected:
  void SetUp() override {
    DRO_SetLastError("");
    DRO_CreateImage(nullptr, kW, kH, 8, 0);
  }
  void TearDown() override {
    dro::FailAllocationAfter(-1);
    DRO_DeleteImage();
  }
  static dro::Buffer<Pixel64>& MakeLayer(int slot, int w, int h, Pixel64 fill) {
    auto& rec = engine().layers.slots[slot];
    rec.pixels = dro::Buffer<Pixel64>::Make(size_t(w) * h);
    for (auto& p : rec.pixels) p = fill;
    rec.width = w;
    rec.height = h;
    rec.stride = 4 * w;
    return rec.pixels;
  }
  static std::vector<uint8_t> Image(int w, int h, std::array<uint8_t, 4> px) {
    std::vector<uint8_t> v(size_t(w) * h * 4);
    for (size_t i = 0; i < v.size(); ++i) v[i] = px[i % 4];
    return v;
  }
};

TEST_F(Texture, MapBytesFollowLuminanceWithinFourTo250) {
  auto& px = MakeLayer(3, kW, kH, {65280, 65280, 65280, 65535});
  px[1] = {0, 0, 0, 0};
  px[2] = {32768, 32768, 32768, 0};
  px[3] = {65535, 0, 0, 65535};  // 65535 / 768 = 85
  uint8_t* map = static_cast<uint8_t*>(DRO_CreateTexture(3));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map, engine().layers.texture.data());
  EXPECT_EQ(map[0], 250);
  EXPECT_EQ(map[1], 4);
  EXPECT_EQ(map[2], 128);
  EXPECT_EQ(map[3], 85);

  // A later build rewrites the same map in place.
  px[0] = {0, 0, 0, 0};
  EXPECT_EQ(DRO_CreateTexture(3), map);
  EXPECT_EQ(map[0], 4);

  // A layer smaller than the canvas leaves the rest at full weight.
  MakeLayer(4, 1, 1, {0, 0, 0, 0});
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
  auto& paper = engine().layers.slots[3].pixels;
  paper[5] = {65280, 65280, 65280, 65535};
  DRO_SetLayer(2);
  DRO_SetLayerOptions(3, 1, 0, 100, "Texturize3");  // visible, not current
  ASSERT_TRUE(engine().layers.texture.present());
  EXPECT_EQ(engine().layers.texture[0], 4);
  EXPECT_EQ(engine().layers.texture[5], 250);

  DRO_SetLayer(3);  // the paper becomes current: no map while it is edited
  EXPECT_FALSE(engine().layers.texture.present());
  paper[0] = {32768, 32768, 32768, 65535};
  DRO_SetLayer(2);  // and it is rebuilt, with the edit, when it stops being
  ASSERT_TRUE(engine().layers.texture.present());
  EXPECT_EQ(engine().layers.texture[0], 128);
}

TEST_F(Texture, FailedAllocationLeavesTheMapAbsent) {
  MakeLayer(3, kW, kH, {0, 0, 0, 0});
  dro::FailAllocationAfter(0);
  EXPECT_EQ(DRO_CreateTexture(3), nullptr);
  dro::FailAllocationAfter(-1);
  EXPECT_STREQ(DRO_GetLastError(), "CreateTexture Excpt");
  EXPECT_FALSE(engine().layers.texture.present());
  EXPECT_NE(DRO_CreateTexture(3), nullptr);
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
  engine().mask.enabled = 0;
  auto img = Image(kW, kH, {10, 20, 30, 255});
  const auto original = img;
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img, original);  // no map and the mask disabled: nothing

  engine().layers.texture = dro::Buffer<uint8_t>::MakeBytes(kW * kH, 4);
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img[3], 7);  // trunc(2047 / 65535 x 255)
  EXPECT_EQ(img[0], 10);

  engine().layers.texture.Reset();
  engine().mask.enabled = 1;
  for (auto& m : engine().mask.values) m = 32768;
  engine().mask.values[1] = 65535;
  img = original;
  DRO_AdjustRGBA32ByMaskAndTexture(img.data(), kW, kH);
  EXPECT_EQ(img[3], 127);
  EXPECT_EQ(img[7], 255);

  // Placed at (-1, 2), a 3 x 2 buffer meets the canvas in its row 0,
  // columns 1..2; the rest stays. Its size is exactly what the call says.
  for (auto& m : engine().mask.values) m = 0;
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
