// Distortion effects: the corner warps' quadrilaterals and extents, the
// transforms' refusals, the alpha-carrying runs, flips, the HSL mask and
// the two tilers with the explorer's cache.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "drovine.h"
#include "imaging/effect_distortions.h"
#include "imaging/effects.h"
#include "imaging/work_buffers.h"
#include "platform/effect_script.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

namespace im = dro::imaging;
namespace fx = dro::imaging::effects;
using dro::Pixel64;
using Corners = std::array<int32_t, 8>;

uint16_t W(int v) {
  return uint16_t(v << 8);
}

class Distortion : public drovine_test::CanvasTest {
 protected:
  Distortion() : CanvasTest({64, 48}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(1, Pixel64{0, 0, 0, 0});
    DRO_SetLayer(1);
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
    Paint();
  }
  void TearDown() override {
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }
  size_t Index(int32_t x, int32_t y) const { return size_t(y) * size_t(width()) + size_t(x); }
  // Smooth 8-bit colour, opaque or with alpha varying across the picture
  // (never 0). Opaque pictures come back exactly from an identity warp.
  void Paint(bool varyAlpha = false) {
    std::vector<Pixel64> px(pixelCount());
    for (int32_t y = 0; y < height(); ++y)
      for (int32_t x = 0; x < width(); ++x)
        px[Index(x, y)] =
            Pixel64{W(x * 4), W(y * 5), W((x + y) * 2), W(varyAlpha ? 64 + x * 3 : 255)};
    SetPixels(1, px);
    DRO_IPLUpdateSrcBuffer32();
  }
  int32_t Run(const char* name, std::array<int32_t, 6> p, int32_t mode = 0,
              std::array<int32_t, 6> opt = {}, int32_t value = 0, const char* path = nullptr) {
    return DRO_IPLImageProcess(0, name, value, p[0], p[1], p[2], p[3], p[4], p[5], mode, 0, opt[0],
                               opt[1], opt[2], opt[3], opt[4], opt[5], 10, 20, 30, path);
  }
  // The quadrilateral of a corner warp for the given p and mode.
  Corners Quad(fx::CornerWarp kind, std::array<int32_t, 6> p, int32_t mode = 0,
               std::array<int32_t, 6> opt = {}) {
    im::EffectArgs a;
    a.p = p;
    a.mode = mode;
    a.opt = opt;
    const im::EffectCall call(a, im::Source32(), im::Destination32());
    fx::WarpExtent e;
    EXPECT_TRUE(fx::CornerWarpExtent(call, e));
    return fx::DestinationCorners(call, kind, e);
  }
};

TEST_F(Distortion, CornerWarpQuadrilaterals) {
  // Extent (0, 0, 63, 47): dx 63, dy 47. Corners bottom-left, top-left,
  // top-right, bottom-right.
  const Corners whole{0, 47, 0, 0, 63, 0, 63, 47};
  const struct {
    fx::CornerWarp kind;
    std::array<int32_t, 6> p;
    int32_t mode;
    std::array<int32_t, 6> opt;
    Corners expected;
  } rows[] = {
      // 50 everywhere keeps every corner; Warp Edge outside 0..3 too.
      {fx::CornerWarp::kPerspective, {500, 500, 500, 500}, 0, {}, whole},
      {fx::CornerWarp::kWarpEdge, {100, 200, 300}, 4, {}, whole},
      {fx::CornerWarp::kWarpEdge, {100, 200, 300}, -1, {}, whole},
      // a = trunc(47 x 0.01 x 40) = 18, b = trunc(63 x 0.01 x -10) = -6.
      {fx::CornerWarp::kPerspective, {100, 600, 500, 500}, 0, {}, {0, 29, -6, 18, 69, 0, 63, 47}},
      // x1 = trunc(63 x 0.01 x 20) = 12, y1 = 9; x4 = -12, y4 = -9.
      {fx::CornerWarp::kWarp, {300, 500, 500, 700}, 0, {}, {12, 38, 0, 0, 63, 0, 75, 56}},
      // unit 0.04: x1 = trunc(63 x 0.04 x 10) = 25, y1 = 18; x2 = -25; x3 = 0, y3 = 0.
      {fx::CornerWarp::kWarpEdge, {400, 600, 500}, 0, {}, {25, 29, 25, 18, 63, 0, 63, 47}},
      {fx::CornerWarp::kWarpEdge, {400, 600, 500}, 1, {}, {0, 47, 25, -18, 38, -18, 63, 47}},
      {fx::CornerWarp::kWarpEdge, {400, 600, 500}, 2, {}, {0, 47, 0, 0, 88, 18, 88, 29}},
      {fx::CornerWarp::kWarpEdge, {400, 600, 500}, 3, {}, {25, 65, 0, 0, 63, 0, 38, 65}},
      // Chosen corners top-left and bottom-right take pairs 0 and 1.
      {fx::CornerWarp::kWarp3Point,
       {400, 300, 600, 700},
       0,
       {0, 0, 1, 0, 1},
       {0, 47, -25, -37, 63, 0, 88, 84}},
      // All four chosen: the bottom-right one is left out.
      {fx::CornerWarp::kWarp3Point,
       {400, 400, 400, 400, 400, 400},
       0,
       {0, 1, 1, 1, 1},
       {-25, 29, -25, -18, 38, -18, 63, 47}},
      // "Stretch" reads within the last column and row like every warp.
      {fx::CornerWarp::kStretch, {500, 500}, 0, {}, whole},
      {fx::CornerWarp::kStretch, {400, 600}, 0, {}, {6, 51, 6, -4, 57, -4, 57, 51}},
      {fx::CornerWarp::kStretchEdge, {400, 600, 300, 700}, 0, {}, {12, 51, 12, 4, 75, 4, 75, 51}},
      // lx = 20 % of 63 = 12, rx = (100 - 80) % of 63 = 12.
      {fx::CornerWarp::kVerticalPivot,
       {400, 200, 600, 800},
       0,
       {},
       {12, 43, 12, 4, 51, -4, 51, 51}},
      {fx::CornerWarp::kHorizontalPivot,
       {400, 200, 600, 800},
       0,
       {},
       {-6, 38, 6, 9, 57, 9, 69, 38}},
      // unit 0.02: ly = trunc(47 x 0.02 x 10) = 9, tx = trunc(63 x 0.02 x -10) = -12.
      {fx::CornerWarp::kSkew, {400, 600, 500, 500}, 0, {}, {0, 56, 12, 9, 75, 0, 63, 47}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(int(r.kind));
    SCOPED_TRACE(r.mode);
    EXPECT_EQ(Quad(r.kind, r.p, r.mode, r.opt), r.expected);
  }
  // Host extremes saturate instead of overflowing the corner sums.
  for (const Corners& c : {Quad(fx::CornerWarp::kSkew, {INT_MAX, INT_MIN, INT_MAX, INT_MIN}),
                           Quad(fx::CornerWarp::kWarp, {INT_MIN, INT_MAX, INT_MIN, INT_MAX})})
    for (int32_t v : c) EXPECT_LE(std::abs(int64_t{v}), int64_t{1} << 24);
}

TEST_F(Distortion, ExtentsAndDegenerateWarps) {
  // Painted only in (10, 10)..(50, 40): the painted-area option warps that.
  std::vector<Pixel64> px(pixelCount(), Pixel64{0, 0, 0, 0});
  for (int32_t y = 10; y <= 40; ++y)
    for (int32_t x = 10; x <= 50; ++x) px[Index(x, y)] = Pixel64{W(200), W(x), W(y), W(255)};
  SetPixels(1, px);
  im::EffectArgs a;
  a.opt[0] = 1;
  fx::WarpExtent e;
  ASSERT_TRUE(fx::CornerWarpExtent(im::EffectCall(a, im::Source32(), im::Destination32()), e));
  EXPECT_EQ((std::array{e.left, e.top, e.right, e.bottom}), (std::array{10, 10, 50, 40}));
  EXPECT_EQ(fx::SourceCorners(e), (Corners{10, 40, 10, 10, 50, 10, 50, 40}));
  // Painted area, warped: pixels outside the quadrilateral take the colour
  // at alpha 0.
  Run("Stretch", {400, 400}, 0, {1});
  EXPECT_EQ(At(1, 0, 0), (Pixel64{W(10), W(20), W(30), 0}));
  EXPECT_EQ(At(1, 10, 10).a, 0);
  EXPECT_EQ(At(1, 30, 25).a, W(255));

  // A single painted column is a degenerate extent: nothing happens.
  px.assign(pixelCount(), Pixel64{0, 0, 0, 0});
  for (int32_t y = 0; y < height(); ++y) px[Index(7, y)] = Pixel64{W(9), W(9), W(9), W(255)};
  SetPixels(1, px);
  for (const char* name : {"Perspective", "Warp", "Stretch", "Skew"}) {
    Run(name, {300, 300, 700, 700}, 0, {1});
    EXPECT_EQ(Pixels(1), px) << name;
  }
  // A fully transparent layer has no painted area either.
  px.assign(pixelCount(), Pixel64{0, 0, 0, 0});
  SetPixels(1, px);
  Run("Warp", {300, 300, 700, 700}, 0, {1});
  EXPECT_EQ(Pixels(1), px);

  // Collapsed corners (top and bottom edges both moved onto row 23) make
  // no homography: the layer stays as it was, no NaN reaches a pixel.
  Paint();
  const std::vector<Pixel64> before = Pixels(1);
  Run("Stretch Edge", {0, -11, 500, 500});
  EXPECT_EQ(Pixels(1), before);
  // At 500 a warp is the identity, the last column and row included.
  Run("Stretch", {500, 500});
  EXPECT_EQ(Pixels(1), before);
}

TEST_F(Distortion, TransformsRefuseZeroSizesAndKeepTheCentreAtFifty) {
  const std::vector<Pixel64> before = Pixels(1);
  const struct {
    const char* name;
    std::array<int32_t, 6> p;
  } zero[] = {{"Elliptical", {0, 800}},
              {"Elliptical", {800, -10}},
              {"Lens", {0}},
              {"Pinch", {-5, 500, 500, 500}},
              {"Ripple", {800, 0, 20, 500, 500}},
              {"Ripple", {0, 60, 20, 500, 500}},
              {"Spin", {0, 750, 500, 500}},
              {"Spin Wave", {0, 750, 30, 500, 500}},
              {"Wave", {250, 5}},
              {"Wow", {0}},
              {"Zig Zag", {500, 0}}};
  for (const auto& r : zero) {
    EXPECT_EQ(Run(r.name, r.p), 1);
    EXPECT_EQ(Pixels(1), before) << r.name;
  }
  // Offset by cx(50) = 0 is the identity; by cx(75) with wrap it moves
  // the picture half a width.
  Run("Offset", {500, 500}, 1);
  EXPECT_EQ(Pixels(1), before);
  Run("Offset", {750, 500}, 1);
  EXPECT_EQ(At(1, 32, 5), before[Index(0, 5)]);
  EXPECT_EQ(At(1, 0, 5), before[Index(32, 5)]);
  // Fill edges: the colour at alpha 0 comes in.
  Paint();
  Run("Offset", {750, 500}, 2);
  EXPECT_EQ(At(1, 3, 3), (Pixel64{W(10), W(20), W(30), 0}));
  // Spin keeps its rim and turns its centre.
  Paint();
  Run("Spin", {200, 1000, 500, 500});
  EXPECT_EQ(At(1, 0, 0), before[0]);
  EXPECT_NE(At(1, 30, 22), before[Index(30, 22)]);
}

TEST_F(Distortion, AlphaCarryingRunsMoveAlphaWithColourInOnePass) {
  // One pass over four channels gives the bytes of the two-pass run.
  namespace n = dro::platform::effects;
  using How = fx::AlphaCarry;
  using RunFn = bool (*)(im::EffectCall&, How);
  const RunFn runs[] = {
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectTwirl, {{3, 200}, {4, 2}, {5, 1}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectSineDistortion, {{3, 4}, {4, 3}, {5, 2}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectWaves, {{3, 35}, {4, 9}, {6, 30}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectGlass, {{3, 7}, {4, 40}, {5, 4}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectKaleidoscope, {{3, 20}, {4, 30}, {5, 3}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectSeamless, {{3, 9}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectScratch, {{4, 30}, {5, 40}, {9, 1}}, h);
      },
      [](im::EffectCall& c, How h) {
        return fx::AlphaCarryingRun(c, n::kEffectRotate, {{3, 33}, {4, 90}}, h);
      },
  };
  for (size_t i = 0; i < std::size(runs); ++i) {
    SCOPED_TRACE(i);
    std::vector<Pixel64> results[2];
    for (int k = 0; k < 2; ++k) {
      Paint(true);
      im::EffectArgs a;
      im::EffectCall call(a, im::Source32(), im::Destination32());
      EXPECT_TRUE(runs[i](call, k ? How::kTwoPasses : How::kAuto));
      results[k] = Pixels(1);
    }
    EXPECT_EQ(results[0], results[1]);
    Paint(true);
    EXPECT_NE(results[0], Pixels(1));
  }
  // The alpha moves: Divider 2 x 1 puts a transparent left half into both
  // quarters that show it.
  std::vector<Pixel64> px(pixelCount(), Pixel64{W(50), W(60), W(70), W(255)});
  for (int32_t y = 0; y < height(); ++y)
    for (int32_t x = 0; x < width() / 2; ++x) px[Index(x, y)].a = 0;
  SetPixels(1, px);
  Run("Divider", {20, 10});
  EXPECT_EQ(At(1, 3, 9).a, 0);
  EXPECT_EQ(At(1, 20, 9).a, W(255));
  EXPECT_EQ(At(1, 35, 9).a, 0);
  EXPECT_EQ(At(1, 60, 9).a, W(255));
  // "Twirl" raises cells below one to one.
  Paint();
  Run("Twirl", {700, 0, 3});
  const std::vector<Pixel64> raised = Pixels(1);
  Paint();
  Run("Twirl", {700, 10, 10});
  EXPECT_EQ(Pixels(1), raised);
}

TEST_F(Distortion, FlipsAndTheHslMask) {
  const std::vector<Pixel64> before = Pixels(1);
  Run("Horizontal Flip", {});
  EXPECT_EQ(At(1, 0, 7), before[Index(63, 7)]);
  EXPECT_EQ(At(1, 63, 47), before[Index(0, 47)]);
  Run("Horizontal Flip", {});
  Run("Vertical Flip", {});
  EXPECT_EQ(At(1, 5, 0), before[Index(5, 47)]);

  // Red on the left, blue on the right: hue 0 with a narrow tolerance
  // closes the red half (mode 0) and leaves the blue half open.
  std::vector<Pixel64> px(pixelCount(), Pixel64{0, 0, W(255), W(255)});
  for (int32_t y = 0; y < height(); ++y)
    for (int32_t x = 0; x < width() / 2; ++x) px[Index(x, y)] = Pixel64{W(255), 0, 0, W(255)};
  SetPixels(1, px);
  DRO_IPLUpdateSrcBuffer32();
  FillMask(65535);
  Run("Mask Generate HSL", {0, 20, 1000, 100, 500, 100});
  EXPECT_EQ(MaskAt(3, 3), 0);
  EXPECT_EQ(MaskAt(60, 3), 65535);
  EXPECT_EQ(Pixels(1), px);
  // opt2 opens the whole mask first; mode 1 writes 65280 where it matches.
  Run("Mask Generate HSL", {0, 20, 1000, 100, 500, 100}, 1, {1});
  EXPECT_EQ(MaskAt(3, 3), 65280);
  EXPECT_EQ(MaskAt(60, 3), 65535);
}

TEST_F(Distortion, PatternizerTilesTheLayer) {
  const std::vector<Pixel64> before = Pixels(1);
  // Full size, no distortion: one tile covering the canvas, made opaque.
  Run("Patternizer", {0, 0, 0, 500, 500, 1000});
  std::vector<Pixel64> opaque = before;
  for (Pixel64& p : opaque) p.a = W(255);
  EXPECT_EQ(Pixels(1), opaque);
  // A tile of 20 % (12 x 9): the canvas repeats it every 12 and 9 pixels.
  Paint();
  Run("Patternizer", {0, 0, 0, 500, 500, 200});
  for (int32_t y = 0; y + 9 < height(); y += 7)
    for (int32_t x = 0; x + 12 < width(); x += 5)
      ASSERT_EQ(At(1, x, y), At(1, x + 12, y + 9)) << x << "," << y;
  // A tile never goes below 5 x 5.
  Paint();
  Run("Patternizer", {0, 0, 0, 500, 500, -1000});
  EXPECT_EQ(At(1, 1, 1), At(1, 6, 6));
}

TEST_F(Distortion, PatternExplorerCachesItsPictureAndClearsItOnFailure) {
  drovine_test::ScratchDir dir;
  auto script = [&](int32_t seed) {
    return dir.Write("p.drfx", "effect-script 1\nsize 16 12\neffect \"Plasma\"\n  seed = " +
                                   std::to_string(seed) + "\n");
  };
  const std::string path = script(1);
  const std::array<int32_t, 6> p{0, 0, 0, 500, 500, 1000};
  Run("Pattern Explorer", p, 0, {}, 0, path.c_str());
  const std::vector<Pixel64> first = Pixels(1);
  EXPECT_EQ(At(1, 0, 0), At(1, 16, 12));  // 16 x 12 tiles
  // The same path again: the cached picture, although the file changed.
  script(2);
  Paint();
  Run("Pattern Explorer", p, 0, {}, 0, path.c_str());
  EXPECT_EQ(Pixels(1), first);
  // A path that does not load changes nothing and empties the cache...
  Paint();
  const std::vector<Pixel64> painted = Pixels(1);
  const std::string bad = dir.Write("bad.drfx", "effect-script 1\nsize 0 12\n");
  Run("Pattern Explorer", p, 0, {}, 0, bad.c_str());
  Run("Pattern Explorer", p, 0, {}, 0, nullptr);
  EXPECT_EQ(Pixels(1), painted);
  // ... so the first path is read again, now with its new picture.
  Run("Pattern Explorer", p, 0, {}, 0, path.c_str());
  EXPECT_NE(Pixels(1), first);
  EXPECT_EQ(At(1, 2, 3), At(1, 18, 15));
}

TEST_F(Distortion, ExtremeHostValuesNeitherCrashNorWanderOffThePicture) {
  for (const im::EffectRow& row : im::EffectTable()) {
    if (row.family != im::EffectFamily::kDistortion || row.run == fx::PatternExplorer) continue;
    for (int32_t v : {INT_MAX, INT_MIN}) {
      std::vector<Pixel64> results[2];
      for (auto& r : results) {
        Paint(true);
        EXPECT_EQ(Run(row.name, {v, v, v, v, v, v}, v, {1, 1, 1, 1, 1, 1}, v), 1);
        r = Pixels(1);
      }
      EXPECT_EQ(results[0], results[1]) << row.name;
    }
  }
}

}  // namespace
