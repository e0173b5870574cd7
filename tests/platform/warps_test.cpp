// The warp seam (corner warp, transform maps) and the numbered warp effects
// of the effect-script library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/effect_script.h"
#include "platform/effect_script_internal.h"
#include "platform/image_warps.h"
#include "support/scratch_dir.h"

namespace {

namespace fx = dro::platform::effects;
namespace image = dro::platform::image;
using Bytes = std::vector<uint8_t>;

constexpr int32_t kW = 40, kH = 30;

// A BGRA picture whose alpha equals its red byte, the other channels varied.
Bytes Picture() {
  Bytes p(size_t(kW) * kH * 4);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      uint8_t* q = &p[(size_t(y) * kW + x) * 4];
      q[0] = uint8_t(x * 6);
      q[1] = uint8_t(y * 8);
      q[2] = uint8_t((x * 7 + y * 13) % 256);
      q[3] = q[2];
    }
  return p;
}

bool Apply(Bytes& p, int32_t number, std::initializer_list<std::pair<int32_t, int32_t>> slots) {
  fx::Session s;
  if (!s.AddEffect(number, 1)) return false;
  for (const auto& [slot, value] : slots) s.SetEffectValue(0, slot, value);
  return s.ExecuteScriptOnImage(p.data(), kW, kH);
}

TEST(WarpEffects, MoveAlphaAsColourRepeatAndKeepThePictureAtTheirNeutralValues) {
  const struct {
    int32_t number;
    std::initializer_list<std::pair<int32_t, int32_t>> neutral;
  } rows[] = {
      {fx::kEffectTwirl, {{3, 0}}},
      {fx::kEffectSineDistortion, {{3, 0}, {4, 0}}},
      {fx::kEffectWaves, {{3, 0}}},
      {fx::kEffectDivider, {{3, 1}, {4, 1}}},
      {fx::kEffectCarpet, {{3, 100}, {4, 100}}},
      {fx::kEffectVoxel, {{3, 1}}},
      {fx::kEffectGlass, {{4, 0}}},
      {fx::kEffectKaleidoscope, {{3, 0}, {4, 0}, {5, 1}}},
      {fx::kEffectZoom, {{3, 100}}},
      {fx::kEffectSeamless, {{3, 0}}},
      {fx::kEffectTilt, {{3, 0}, {4, 0}}},
      {fx::kEffectScratch, {{4, 0}}},
      {fx::kEffectRotate, {{3, 360}}},
  };
  const Bytes original = Picture();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.number);
    EXPECT_TRUE(fx::MovesAlphaWithColour(r.number));
    Bytes a = original, b = original;
    ASSERT_TRUE(Apply(a, r.number, {}));  // the defaults
    ASSERT_TRUE(Apply(b, r.number, {}));
    EXPECT_EQ(a, b);
    if (r.number != fx::kEffectRotate) {
      EXPECT_NE(a, original);  // Rotate's defaults keep the picture
    }
    for (size_t i = 0; i < a.size(); i += 4) ASSERT_EQ(a[i + 3], a[i + 2]) << i / 4;
    Bytes n = original;
    ASSERT_TRUE(Apply(n, r.number, r.neutral));
    EXPECT_EQ(n, original);
  }
  EXPECT_FALSE(fx::MovesAlphaWithColour(fx::kEffectEmboss));
  // Seeds choose the randomness.
  for (int32_t number : {int32_t(fx::kEffectGlass), int32_t(fx::kEffectScratch)}) {
    Bytes a = original, b = original;
    Apply(a, number, {{3, 1}});
    Apply(b, number, {{3, 2}});
    EXPECT_NE(a, b) << number;
  }
}

TEST(WarpEffects, SeamlessEdgesContinueEachOther) {
  const Bytes original = Picture();
  Bytes p = original;
  ASSERT_TRUE(Apply(p, fx::kEffectSeamless, {{3, 1000}}));  // border up to half the picture
  auto at = [](const Bytes& b, int32_t x, int32_t y, int c) {
    return b[(size_t(y) * kW + size_t(x)) * 4 + size_t(c)];
  };
  // The corners show the picture's middle; the rows in between mix the two.
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(at(p, 0, 0, c), at(original, kW / 2, kH / 2, c));
    EXPECT_EQ(at(p, kW - 1, kH - 1, c), at(original, kW / 2 - 1, kH / 2 - 1, c));
  }
  // Tiled, the step across the seam is as small as inside the picture.
  double seam = 0, inside = 0;
  for (int32_t y = 0; y < kH; ++y) {
    seam += std::abs(at(p, kW - 1, y, 0) - at(p, 0, y, 0));
    inside += std::abs(at(p, kW / 2, y, 0) - at(p, kW / 2 - 1, y, 0));
  }
  EXPECT_LE(seam, inside + kH * 2);
}

TEST(WarpEffects, SlotNineteenReachesTheEffect) {
  const Bytes original = Picture();
  Bytes turned = original, plain = original, byScript = original, bySlot = original;
  ASSERT_TRUE(Apply(turned, fx::kEffectKaleidoscope, {{3, 20}, {4, 15}, {19, 30}}));
  ASSERT_TRUE(Apply(plain, fx::kEffectKaleidoscope, {{3, 20}, {4, 15}}));
  EXPECT_NE(turned, plain);
  drovine_test::ScratchDir dir;
  const std::string byName = dir.Write(
      "k.drfx", "effect-script 1\nsize 40 30\neffect 49\n x = 20\n y = 15\n rotation = 30\n");
  const std::string byNumber =
      dir.Write("n.drfx", "effect-script 1\nsize 40 30\neffect 49\n 3 = 20\n 4 = 15\n 19 = 30\n");
  for (auto [path, out] : {std::pair{&byName, &byScript}, std::pair{&byNumber, &bySlot}}) {
    fx::Session s;
    ASSERT_TRUE(s.LoadScriptFromFile(path->c_str())) << s.error();
    ASSERT_TRUE(s.ExecuteScriptOnImage(out->data(), kW, kH));
  }
  EXPECT_EQ(byScript, turned);
  EXPECT_EQ(bySlot, turned);
}

TEST(WarpSeam, CornerWarpRefusesDegenerateQuadsAndCopiesTheIdentity) {
  const Bytes src = Picture();
  Bytes dst(src.size(), 7);
  const int32_t whole[8] = {0, kH - 1, 0, 0, kW - 1, 0, kW - 1, kH - 1};
  ASSERT_TRUE(image::PolygonWarpImage(src.data(), kW, kH, kW * 4, dst.data(), kW, kH, kW * 4, whole,
                                      whole, 0));
  EXPECT_EQ(dst, src);
  const int32_t line[8] = {0, 0, 5, 5, 10, 10, 20, 3};  // three corners on a line
  const int32_t point[8] = {4, 4, 4, 4, 4, 4, 4, 4};
  for (const int32_t* bad : {line, point}) {
    Bytes out(src.size(), 7);
    EXPECT_FALSE(image::PolygonWarpImage(src.data(), kW, kH, kW * 4, out.data(), kW, kH, kW * 4,
                                         whole, bad, 0));
    EXPECT_EQ(out, Bytes(src.size(), 7));
  }
  // Halved: the outside takes the fill colour at alpha 0.
  const int32_t half[8] = {0, kH / 2, 0, 0, kW / 2, 0, kW / 2, kH / 2};
  ASSERT_TRUE(image::PolygonWarpImage(src.data(), kW, kH, kW * 4, dst.data(), kW, kH, kW * 4, whole,
                                      half, 0x030201));
  EXPECT_EQ(Bytes(dst.end() - 4, dst.end()), (Bytes{1, 2, 3, 0}));
}

TEST(WarpSeam, TransformMapsRefuseZeroSizesAndNonFiniteValues) {
  using K = image::TransformKind;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    K kind;
    double a, b, c;
    bool ok;
  } rows[] = {
      {K::kElliptical, 10, 0, 0, false}, {K::kElliptical, 0, 10, 0, false},
      {K::kElliptical, 10, 8, 0, true},  {K::kLens, 0, 0, 0, false},
      {K::kLens, 1, 0, 0, true},         {K::kMarble, 0, 10, 10, false},
      {K::kPinch, -1, 50, 0, false},     {K::kRipple, 10, 0, 3, false},
      {K::kRipple, 0, 5, 3, false},      {K::kRipple, 10, 5, 3, true},
      {K::kSpin, 0, 90, 0, false},       {K::kSpinWave, -3, 90, 2, false},
      {K::kWave, 3, 0, 0, false},        {K::kWave, 3, 1, 0, true},
      {K::kWow, 0, 0, 0, false},         {K::kZigZag, 5, 0, 0, false},
      {K::kOffset, 0, 0, 0, true},       {K::kOffset, nan, 0, 0, false},
      {K::kLens, 10, nan, 0, false},
  };
  std::vector<float> mx(size_t(kW) * kH, -1), my(mx.size(), -1);
  for (const auto& r : rows) {
    image::Transform t;
    t.kind = r.kind;
    t.a = r.a, t.b = r.b, t.c = r.c;
    SCOPED_TRACE(int(r.kind));
    EXPECT_EQ(image::BuildTransformMap(t, kW, kH, mx.data(), my.data()), r.ok);
    for (size_t i = 0; i < mx.size(); ++i)
      ASSERT_TRUE(std::isfinite(mx[i]) && std::isfinite(my[i]));
  }
  // Offset is exact; a lens keeps its rim and doubles its middle.
  image::Transform t;
  t.kind = K::kOffset;
  t.a = 3, t.b = -2;
  ASSERT_TRUE(image::BuildTransformMap(t, kW, kH, mx.data(), my.data()));
  EXPECT_EQ(mx[size_t(5) * kW + 7], 4.0f);
  EXPECT_EQ(my[size_t(5) * kW + 7], 7.0f);
  t.kind = K::kLens;
  t.a = 10;
  ASSERT_TRUE(image::BuildTransformMap(t, kW, kH, mx.data(), my.data()));
  EXPECT_EQ(mx[0], 0.0f);                                         // outside the lens
  EXPECT_NEAR(mx[size_t(14) * kW + 21], 19.5 + 1.5 * 0.5, 0.05);  // near the middle
}

}  // namespace
