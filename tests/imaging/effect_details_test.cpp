// The detail, generator and texture families and the Lua route as a host
// runs them: the exact numbers they derive, the white rule of generators,
// the translucent "Minimum", the texture scripts that cannot be loaded, the
// tile sizes of "Backgrounds" and the fifteen values of the Lua route.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "drovine.h"
#include "imaging/effect_details.h"
#include "imaging/effects.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

namespace fx = dro::imaging::effects;
using dro::Pixel64;

struct Args {
  const char* name;
  int32_t value = 0;
  int32_t p[6] = {};
  int32_t mode = 0, opt1 = 0;
  int32_t opt[6] = {};
  int32_t red = 0, green = 0, blue = 0;
  const char* path = nullptr;
  int32_t Run() const {
    return DRO_IPLImageProcess(0, name, value, p[0], p[1], p[2], p[3], p[4], p[5], mode, opt1,
                               opt[0], opt[1], opt[2], opt[3], opt[4], opt[5], red, green, blue,
                               path);
  }
};

std::string Example(const char* name) {
  return std::string(DROVINE_EXAMPLES) + name;
}

class DetailEffects : public drovine_test::CanvasTest {
 protected:
  DetailEffects() : CanvasTest({13, 9}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(1, Pixel64{0, 0, 0, 0});
    DRO_SetLayer(1);
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
  }
  void TearDown() override {
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }
  std::vector<Pixel64> Seeded(uint16_t alpha) {
    std::vector<Pixel64> px(pixelCount());
    uint32_t s = 11;
    auto next = [&] { return uint16_t(((s = s * 214013u + 2531011u) >> 16 & 255) << 8); };
    for (Pixel64& p : px) p = Pixel64{next(), next(), next(), alpha};
    return px;
  }
  std::vector<Pixel64> RunOn(const std::vector<Pixel64>& px, const Args& a) {
    SetPixels(1, px);
    DRO_IPLUpdateSrcBuffer32();
    DRO_SetRandomSeed(3);
    EXPECT_EQ(a.Run(), 1);
    return Pixels(1);
  }
};

TEST(DetailNumbers, PassesDepthsSelectorsUnitsAndCells) {
  const struct {
    float f4;
    int32_t passes;
  } passes[] = {{0, 1}, {9.9f, 1}, {10, 1}, {20, 2}, {100, 10}, {500, 10}, {-10, 1}, {1e30f, 10}};
  for (const auto& r : passes) EXPECT_EQ(fx::UnsharpPasses(r.f4), r.passes) << r.f4;

  EXPECT_EQ(fx::BevelDepth(100, 1, 13, 9), 4);      // half the shorter side, halved in integers
  EXPECT_EQ(fx::BevelDepth(50, 1, 101, 40), 10);    // 50 % of 20
  EXPECT_EQ(fx::BevelDepth(100, 0, 13, 9), 100);    // in pixels
  EXPECT_EQ(fx::BevelDepth(100, 256, 13, 9), 100);  // only the low byte of opt2 counts
  EXPECT_EQ(fx::BevelDepth(37.9f, 0, 13, 9), 37);

  const int32_t selectors[][2] = {{0, 12},  {1, 0},   {12, 11}, {13, 13},
                                  {17, 17}, {18, 18}, {-1, -1}};
  for (const auto& s : selectors) EXPECT_EQ(fx::GeneratorSelector(s[0]), s[1]) << s[0];

  EXPECT_EQ(fx::DensityUnits(13, 9, 1000), 1);
  EXPECT_EQ(fx::DensityUnits(2048, 2048, 10000), 419);
  EXPECT_EQ(fx::DensityUnits(100, 100, 1000), 10);
  EXPECT_EQ(fx::GeneratorCount(419, 1e12), 1000000);
  EXPECT_EQ(fx::GeneratorCount(419, -5), 0);
  EXPECT_EQ(fx::GeneratorCount(10, 2.5), 25);

  dro::imaging::EffectArgs a;
  std::vector<uint8_t> scratch(4);
  const struct {
    int32_t p1, p2, opt3, w, h;
  } cells[] = {{0, 0, 0, 1, 1},       {95, 30, 0, 10, 4}, {-50, -3000, 0, 1, 1},
               {500, 1000, 1, 7, 10}, {0, 0, 1, 1, 1},    {1000000, 0, 0, 100001, 1}};
  for (const auto& c : cells) {
    a.p = {c.p1, c.p2, 0, 0, 0, 0};
    a.opt = {0, c.opt3, 0, 0, 0, 0};
    dro::imaging::EffectCall call(a, scratch.data(), scratch.data());
    call.width = 13, call.height = 9;
    int32_t w = 0, h = 0;
    fx::NoiseCell(call, w, h);
    EXPECT_EQ(w, c.w) << c.p1;
    EXPECT_EQ(h, c.h) << c.p2;
  }
}

TEST_F(DetailEffects, GeneratorsDrawWhiteInModeZeroWhateverTheColour) {
  Args a{"Points"};
  a.value = 4;
  a.p[0] = 1000;  // 100 points per unit
  a.p[1] = 40;    // radius 1
  a.red = 255, a.green = 10, a.blue = 90;
  const std::vector<Pixel64> px = Seeded(65280);
  const std::vector<Pixel64> white = RunOn(px, a);
  a.red = 3, a.green = 200;
  EXPECT_EQ(RunOn(px, a), white);
  int lit = 0;
  for (const Pixel64& p : white) {
    ASSERT_EQ(p.r, p.g);
    ASSERT_EQ(p.r, p.b);
    lit += p.r > 0;
  }
  EXPECT_GT(lit, 10);
  a.mode = 1;
  const std::vector<Pixel64> tinted = RunOn(px, a);
  EXPECT_NE(tinted, white);
  for (const Pixel64& p : tinted) ASSERT_LE(p.b, p.g);  // drawn in (3, 200, 90) on black
}

TEST_F(DetailEffects, MinimumKeepsTranslucentColoursAndOpaqueResultsExact) {
  Args a{"Minimum"};
  a.p[0] = 0;  // radius 1
  // A flat translucent colour stays that colour (give or take the rounding
  // of premultiplying), where un-premultiplying alone would brighten it.
  const std::vector<Pixel64> flat(pixelCount(), Pixel64{200 << 8, 100 << 8, 50 << 8, 128 << 8});
  for (const Pixel64& p : RunOn(flat, a)) {
    EXPECT_NEAR(p.r >> 8, 200, 2);
    EXPECT_NEAR(p.g >> 8, 100, 2);
    EXPECT_NEAR(p.b >> 8, 50, 2);
    EXPECT_EQ(p.a, 128 << 8);
  }
  // Opaque: exactly the smallest value of each channel around each pixel.
  const std::vector<Pixel64> px = Seeded(65280);
  const std::vector<Pixel64> out = RunOn(px, a);
  for (int32_t y = 0; y < height(); ++y)
    for (int32_t x = 0; x < width(); ++x) {
      Pixel64 m{65535, 65535, 65535, 0};
      for (int32_t j = -1; j <= 1; ++j)
        for (int32_t i = -1; i <= 1; ++i) {
          const Pixel64& q = px[size_t(std::clamp(y + j, 0, height() - 1)) * width() +
                                size_t(std::clamp(x + i, 0, width() - 1))];
          m.r = std::min(m.r, q.r), m.g = std::min(m.g, q.g), m.b = std::min(m.b, q.b);
        }
      m.a = 65280;
      ASSERT_EQ(out[size_t(y) * width() + x], m) << x << "," << y;
    }
}

TEST_F(DetailEffects, TexturesWithoutAScriptNeverUseStaleMemory) {
  const std::vector<Pixel64> px = Seeded(65280);
  const std::string missing = Example("/effects/no-such-script.drfx");
  // Backgrounds without a picture writes nothing back.
  for (const char* path : {static_cast<const char*>(nullptr), missing.c_str()}) {
    Args b{"Backgrounds Nature"};
    b.p[0] = 1000;
    b.path = path;
    EXPECT_EQ(RunOn(px, b), px);
  }
  // Texturize Emboss over a cleared (flat) texture: no relief, the colours
  // come back as they were.
  Args e{"Texturize Emboss Surface"};
  e.p[0] = 375, e.p[1] = 250, e.p[2] = 5000;
  e.path = missing.c_str();
  EXPECT_EQ(RunOn(px, e), px);
  // Texturize Bump over a cleared texture: the same flat texture every
  // time, and the layer keeps its alpha.
  Args t{"Texturize Bump Other"};
  t.p[3] = 1000;
  t.path = missing.c_str();
  const std::vector<Pixel64> once = RunOn(Seeded(40000), t);
  EXPECT_EQ(RunOn(Seeded(40000), t), once);
  for (const Pixel64& p : once) ASSERT_EQ(p.a, 40000);
}

TEST_F(DetailEffects, BackgroundTilesAreScaledCappedOrSkipped) {
  const std::string script = Example("/effects/woven-canvas.drfx");  // 32 x 32
  const std::vector<Pixel64> px = Seeded(30000);
  Args b{"Backgrounds Surface"};
  b.path = script.c_str();
  // A 20 % tile (6 x 6) repeats every six pixels; every pixel opaque.
  b.p[0] = 200;
  const std::vector<Pixel64> tiled = RunOn(px, b);
  EXPECT_NE(tiled, px);
  for (int32_t y = 0; y + 6 < height(); ++y)
    for (int32_t x = 0; x + 6 < width(); ++x) {
      ASSERT_EQ(tiled[size_t(y) * width() + x], tiled[size_t(y + 6) * width() + x + 6]);
      ASSERT_EQ(tiled[size_t(y) * width() + x].a, 65280);
    }
  // A tile of no width (scale 0 or below) lays nothing: the picture comes
  // back opaque.
  for (int32_t p1 : {0, 4, -1000}) {
    b.p[0] = p1;
    const std::vector<Pixel64> out = RunOn(px, b);
    for (size_t i = 0; i < px.size(); ++i) {
      ASSERT_EQ(out[i].r, px[i].r);
      ASSERT_EQ(out[i].a, 65280);
    }
  }
  // Enormous scales saturate to the canvas size: a single tile, no hang.
  b.p[0] = INT_MAX;
  const std::vector<Pixel64> huge = RunOn(px, b);
  EXPECT_NE(huge, px);
}

TEST_F(DetailEffects, LuaRoutePassesAllFifteenValues) {
  drovine_test::ScratchDir dir;
  const std::string script = dir.Write("values.lua",
                                       "set_rgb(0, 0, sliderVal1, sliderVal6, "
                                       "(styleVal1 + styleVal2) / 10)\n"
                                       "set_rgb(1, 0, flagVal1 and 1 or 0, flagVal6 and 1 or 0, "
                                       "flagVal3 and 1 or 0)\n");
  Args l{"Lua Filter"};
  l.p[0] = 250, l.p[5] = 750;
  l.mode = 2, l.opt1 = 4;          // the script sees 3 and 5
  l.opt[0] = 0x100, l.opt[5] = 1;  // a flag is the low byte
  l.opt[2] = 7;
  l.path = script.c_str();
  const std::vector<Pixel64> out = RunOn(Seeded(65280), l);
  EXPECT_EQ(out[0].r >> 8, 63);   // 0.25 x 255 truncated
  EXPECT_EQ(out[0].g >> 8, 191);  // 0.75
  EXPECT_EQ(out[0].b >> 8, 204);  // 0.8
  EXPECT_EQ(out[1].r >> 8, 0);
  EXPECT_EQ(out[1].g >> 8, 255);
  EXPECT_EQ(out[1].b >> 8, 255);
  // The route re-reads the layer first: the script sees the layer as it is
  // now, not a stale source buffer.
  const std::string invert = Example("/scripts/invert.lua");
  Args inv{"Lua Filter"};
  inv.path = invert.c_str();
  const std::vector<Pixel64> px = Seeded(65280);
  SetPixels(1, px);
  DRO_IPLUpdateSrcBuffer32();
  SetPixels(1, std::vector<Pixel64>(pixelCount(), Pixel64{0, 0, 0, 65280}));
  inv.Run();
  EXPECT_EQ(At(1, 5, 5).r, 255 << 8);
}

TEST_F(DetailEffects, ExtremeValuesStayBoundedAndRepeat) {
  // Every argument at an extreme: sizes, counts, depths and scales are
  // clamped to what the picture can use, so each run ends, and repeats.
  const std::string texture = Example("/effects/woven-canvas.drfx");
  const std::string lua = Example("/scripts/invert.lua");
  const std::vector<Pixel64> px = Seeded(50000);
  for (const dro::imaging::EffectRow& row : dro::imaging::EffectTable()) {
    using F = dro::imaging::EffectFamily;
    if (row.family != F::kDetail && row.family != F::kGenerator && row.family != F::kTexture &&
        row.family != F::kLua)
      continue;
    SCOPED_TRACE(row.name);
    for (int32_t v : {INT_MAX, INT_MIN}) {
      Args a{row.name};
      a.value = v;
      std::fill(std::begin(a.p), std::end(a.p), v);
      a.mode = v, a.opt1 = v;
      std::fill(std::begin(a.opt), std::end(a.opt), 255);
      a.red = a.green = a.blue = v;
      a.path = row.family == F::kLua ? lua.c_str() : texture.c_str();
      const std::vector<Pixel64> first = RunOn(px, a);
      EXPECT_EQ(RunOn(px, a), first);
      EXPECT_STREQ(DRO_GetLastError(), "");
    }
  }
}

TEST_F(DetailEffects, TexturizeBumpMergesAFlatTextureByItsBrightness) {
  // A flat pure red texture (no relief to light) merged as Texturize2 at
  // full opacity: its mean brightness 1/3 darkens a mid grey (0.502) by
  // 1.75 x (0.5 - 1/3) to 0.21, 54 in every channel; the alpha stays.
  drovine_test::ScratchDir dir;
  const std::string red = dir.Write("red.drfx", "effect-script 1\nsize 4 4\nbackground 255 0 0\n");
  Args t{"Texturize Bump Material"};
  t.p[0] = 250, t.p[1] = 40, t.p[2] = 500, t.p[3] = 1000;
  t.opt[0] = 1;
  t.path = red.c_str();
  const std::vector<Pixel64> out =
      RunOn(std::vector<Pixel64>(pixelCount(), Pixel64{128 << 8, 128 << 8, 128 << 8, 65280}), t);
  for (const Pixel64& p : out) {
    ASSERT_NEAR(p.r >> 8, 54, 1);
    ASSERT_EQ(p.r, p.b);
    ASSERT_EQ(p.a, 65280);
  }
}

}  // namespace
