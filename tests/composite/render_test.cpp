// The display compositor as a host sees it: which layers show, in which
// order, the checkerboard, tracing, the mask overlay, zoom and the bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "composite/blend_kernels.h"
#include "composite/blend_modes.h"
#include "composite/layer_state.h"
#include "drovine.h"
#include "engine/engine.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::Pixel64;

constexpr int32_t kW = 100;
constexpr int32_t kH = 80;

class Render : public drovine_test::CanvasTest {
 protected:
  Render() : CanvasTest({kW, kH, 16}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetViewSize(kW, kH);
    DRO_SetScale(1, 1);
    DRO_DisplayMask(0);
    DRO_SetTracingMode(0);
  }

  // Only dabs paint the paint layer; these tests fill it in the engine.
  static dro::Buffer<Pixel64>& PaintPixels() { return engine().layers.paint.pixels; }

  // Renders (x, y, w, h) into a bitmap of `cols` x `rows` pixels (plus a
  // guard row and column of 0xAB) and returns it.
  struct Bitmap {
    int32_t cols, rows, stride;
    std::vector<uint8_t> bytes;
    const uint8_t* Px(int32_t c, int32_t r) const { return &bytes[r * stride + c * 3]; }
    uint32_t Bgr(int32_t c, int32_t r) const {
      const uint8_t* p = Px(c, r);
      return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
  };
  static Bitmap Draw(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cols, int32_t rows) {
    Bitmap b{cols, rows, (cols + 1) * 3, {}};
    b.bytes.assign(static_cast<size_t>(b.stride) * (rows + 1), 0xAB);
    DRO_Render(b.bytes.data(), b.stride, x, y, w, h);
    return b;
  }
  static uint32_t Grey(uint8_t v) { return uint32_t{v} << 16 | uint32_t{v} << 8 | v; }
};

TEST_F(Render, TransparencyIsACheckerboardOf32PixelSquares) {
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  DRO_SetLayerOptions(2, 0, 0, 100, "Normal");  // hidden: nothing visible
  DRO_SetLayer(2);
  const Bitmap b = Draw(0, 0, kW, kH, kW, kH);
  EXPECT_EQ(b.Bgr(0, 0), Grey(255));
  EXPECT_EQ(b.Bgr(31, 31), Grey(255));
  EXPECT_EQ(b.Bgr(32, 0), Grey(159));
  EXPECT_EQ(b.Bgr(0, 32), Grey(159));
  EXPECT_EQ(b.Bgr(32, 32), Grey(255));
  EXPECT_EQ(b.Bgr(99, 79), Grey(159));  // squares (3, 2): odd
  // Squares are canvas squares: a rectangle starting at x = 20 still
  // changes colour at canvas column 32.
  const Bitmap shifted = Draw(20, 0, 40, 10, 40, 10);
  EXPECT_EQ(shifted.Bgr(11, 0), Grey(255));
  EXPECT_EQ(shifted.Bgr(12, 0), Grey(159));

  // A half-covered red pixel over each kind of square.
  MakeLayer(2, Pixel64{65280, 0, 0, 32768});
  const Bitmap half = Draw(0, 0, kW, kH, kW, kH);
  EXPECT_EQ(half.Px(0, 0)[2], 255);
  EXPECT_EQ(half.Px(0, 0)[0], 127);
  EXPECT_EQ(half.Px(32, 0)[2], 207);
  EXPECT_EQ(half.Px(32, 0)[0], 79);
}

TEST_F(Render, TheBackgroundIsOpaqueAndOnlyVisibleLayersShowInSlotOrder) {
  MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
  Put(1, 5, 5, Pixel64{0x1200, 0x3400, 0x5600, 0});  // the background ignores alpha
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  Put(2, 6, 5, Pixel64{0, 65280, 0, 65535});
  MakeLayer(3, Pixel64{0, 0, 0, 0}, "Texturize3");  // feeds the texture map; never shown
  Put(3, 7, 5, Pixel64{0, 0, 65280, 65535});
  MakeLayer(0, Pixel64{0, 0, 0, 65535});  // slot 0 never takes part
  DRO_SetLayer(2);
  const Bitmap b = Draw(0, 0, kW, kH, kW, kH);
  EXPECT_EQ(b.Bgr(0, 0), Grey(255));
  EXPECT_EQ(b.Bgr(5, 5), 0x563412u);
  EXPECT_EQ(b.Bgr(6, 5), 0x00FF00u);
  EXPECT_EQ(b.Bgr(7, 5), Grey(255));
  EXPECT_EQ(b.Px(kW, 0)[0], 0xAB);  // nothing past the rectangle
  EXPECT_EQ(b.Px(0, kH)[0], 0xAB);
  // Hidden and layers at 0 % opacity show nothing; the guard needs a
  // current layer with pixels.
  DRO_SetLayerOptions(2, 0, 0, 100, "Normal");
  EXPECT_EQ(Draw(0, 0, kW, kH, kW, kH).Bgr(6, 5), Grey(255));
  DRO_DeleteLayer(2);
  EXPECT_EQ(Draw(0, 0, kW, kH, kW, kH).Px(0, 0)[0], 0xAB);
}

TEST_F(Render, ThePaintLayerShowsRightAboveTheCurrentLayer) {
  MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  MakeLayer(3, Pixel64{0, 0, 0, 0});
  Put(3, 10, 10, Pixel64{0, 0, 65280, 65535});
  DRO_SetLayer(2);
  DRO_SetLayerOptions(2, 0, 0, 100, "Normal");  // hidden: the paint still shows
  DRO_CreatePaintLayer(100, "Normal");
  for (Pixel64& p : PaintPixels()) p = Pixel64{65280, 0, 0, 65535};
  const Bitmap b = Draw(0, 0, kW, kH, kW, kH);
  EXPECT_EQ(b.Bgr(9, 10), 0x0000FFu);
  EXPECT_EQ(b.Bgr(10, 10), 0xFF0000u);  // slot 3 lies above the paint
  // The paint layer's own opacity and mode apply.
  DRO_CreatePaintLayer(50, "Normal");  // 128: alpha x 129 / 256
  const Bitmap faded = Draw(0, 0, 20, 20, 20, 20);
  EXPECT_GT(faded.Px(9, 10)[1], 100);
  EXPECT_LT(faded.Px(9, 10)[1], 160);
}

TEST_F(Render, ALayerMaskAboveScalesAlphaAndIsLookedForAboveThePaintLayer) {
  MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
  MakeLayer(2, Pixel64{0, 0, 0, 65535});
  MakeLayer(3, Pixel64{32768, 32768, 32768, 65535}, "Layer Mask");
  DRO_SetLayer(2);
  // Black at alpha 65535 x 32768 / 65536 over white: mid grey; the mask
  // layer itself shows nothing.
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(127));
  // A mask pixel without alpha leaves the layer whole.
  Put(3, 1, 0, Pixel64{32768, 32768, 32768, 0});
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(1, 0), Grey(0));
  // With a paint layer between them the current layer still finds its mask
  // (above the paint layer), and so does the paint layer: black paint at
  // half strength over the half-dark result leaves a quarter.
  DRO_CreatePaintLayer(100, "Normal");
  PaintPixels()[3] = Pixel64{0, 0, 0, 65535};
  const Bitmap b = Draw(0, 0, 4, 4, 4, 4);
  EXPECT_EQ(b.Bgr(2, 0), Grey(127));
  EXPECT_EQ(b.Bgr(3, 0), Grey(64));
}

TEST_F(Render, TracingAveragesInTheTraceLayer) {
  MakeLayer(1, Pixel64{65280, 65280, 65280, 65535});
  DRO_SetLayer(1);
  DRO_SetTracingMode(1);
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(255));  // no trace layer: unchanged
  MakeLayer(0, Pixel64{0, 0, 0, 0});
  DRO_SetLayerOptions(0, 0, 0, 100, "Normal");  // hidden does not matter
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(127));
  DRO_SetTracingMode(0);
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(255));
}

TEST_F(Render, TheDisplayedMaskTintsUnselectedPixels) {
  MakeLayer(1, Pixel64{65280, 65280, 65280, 65535});
  DRO_SetLayer(1);
  PutMask(0, 0, 0);
  PutMask(32, 0, 0);
  DRO_SetMaskOptions(0, 0, 0, 255, 255, 255, 0);  // colour 1 black, colour 2 white
  DRO_DisplayMask(1);
  Bitmap b = Draw(0, 0, 40, 4, 40, 4);
  EXPECT_EQ(b.Bgr(0, 0), Grey(254));        // even square: colour 2, at most half
  EXPECT_EQ(b.Bgr(32, 0), Grey(127));       // odd square: colour 1
  EXPECT_EQ(b.Bgr(1, 0), Grey(255));        // open pixels are untouched
  DRO_SetMaskOptions(0, 0, 0, 0, 0, 0, 1);  // full strength: the colour itself
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(0));
  // Only while the mask is both displayed and enabled.
  DRO_EnableMask(0);
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Bgr(0, 0), Grey(255));
}

TEST_F(Render, ZoomViewAndStrideShapeTheOutput) {
  MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
  std::vector<Pixel64> ramp(pixelCount());
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      ramp[y * kW + x] =
          Pixel64{static_cast<uint16_t>(x << 8), static_cast<uint16_t>(y << 8), 0, 0};
  SetPixels(1, ramp);
  DRO_SetLayer(1);
  // 1/2: every second canvas pixel, 25 x 20 for a 50 x 40 rectangle.
  DRO_SetScale(1, 2);
  Bitmap half = Draw(10, 20, 50, 40, 25, 20);
  EXPECT_EQ(half.Bgr(0, 0), (20u << 8) | 10u);
  EXPECT_EQ(half.Bgr(24, 19), ((20u + 38) << 8) | (10u + 48));
  EXPECT_EQ(half.Px(25, 0)[0], 0xAB);
  EXPECT_EQ(half.Px(0, 20)[0], 0xAB);
  // 3/1: each canvas pixel as a 3 x 3 block.
  DRO_SetScale(3, 1);
  Bitmap big = Draw(4, 5, 10, 10, 30, 30);
  EXPECT_EQ(big.Bgr(0, 0), (5u << 8) | 4u);
  EXPECT_EQ(big.Bgr(2, 2), (5u << 8) | 4u);
  EXPECT_EQ(big.Bgr(3, 2), (5u << 8) | 5u);
  EXPECT_EQ(big.Bgr(29, 29), (14u << 8) | 13u);
  EXPECT_EQ(big.Px(30, 0)[0], 0xAB);
  EXPECT_EQ(big.Px(0, 30)[0], 0xAB);
  // 2/2 is 1/1; the view bounds the output, a negative corner moves to the
  // edge without shortening the rectangle.
  DRO_SetScale(2, 2);
  DRO_SetViewSize(6, 3);
  Bitmap view = Draw(-5, -5, 20, 20, 6, 3);
  EXPECT_EQ(view.Bgr(5, 2), (2u << 8) | 5u);
  EXPECT_EQ(view.Px(6, 0)[0], 0xAB);
  EXPECT_EQ(view.Px(0, 3)[0], 0xAB);
  // A negative stride writes a bottom-up bitmap.
  std::vector<uint8_t> up(6 * 3 * 3, 0xAB);
  DRO_Render(up.data() + 2 * 18, -18, 0, 0, 6, 3);
  EXPECT_EQ(up[2 * 18 + 1], 0);  // output row 0 (canvas row 0) is the last row
  EXPECT_EQ(up[0 * 18 + 1], 2);  // output row 2 (canvas row 2) is the first
  // Without a view size nothing is written; nor for an empty rectangle.
  DRO_SetViewSize(0, 0);
  EXPECT_EQ(Draw(0, 0, 4, 4, 4, 4).Px(0, 0)[0], 0xAB);
  DRO_SetViewSize(kW, kH);
  EXPECT_EQ(Draw(kW, 0, 4, 4, 4, 4).Px(0, 0)[0], 0xAB);
}

TEST_F(Render, LayersOfAnotherSizeAreLeftOut) {
  MakeLayer(1, Pixel64{65280, 65280, 65280, 65535});
  MakeLayer(2, Pixel64{0, 0, 0, 65535});
  DRO_SetLayer(1);
  ASSERT_EQ(DRO_CreateLayer(2, 10, 10), 1);  // smaller than the canvas
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  EXPECT_EQ(Draw(0, 0, kW, kH, kW, kH).Bgr(kW - 1, kH - 1), Grey(255));
}

TEST_F(Render, FloatStepsCarryOnInFloatingPoint) {
  // Two half-covered layers over nothing: the first is taken exactly, the
  // second composites in floating point, the result goes to the checker.
  MakeLayer(2, Pixel64{65280, 0, 0, 32768});
  MakeLayer(3, Pixel64{0, 0, 65280, 32768}, "Multiply");
  DRO_SetLayer(2);
  const Bitmap b = Draw(0, 0, 4, 4, 4, 4);
  // Multiply of red and blue is black: Cr = Sc Dc + Sc (1 - Da) + Dc (1 - Sa).
  const float sa = 32768.f / 65535.f;
  const float da = 32768.f / 65535.f;
  const float alpha = da + (1.f - da) * sa;
  const float red = ((65280.f / 65280.f) * da) * (1.f - sa) / alpha;
  const uint32_t a = static_cast<uint32_t>(alpha * 65535.f);
  const uint32_t r = static_cast<uint32_t>(red * 65280.f);
  const uint32_t shown = ((a * r >> 8) + (65535u * (65535u - a) >> 8)) >> 8;
  EXPECT_EQ(b.Px(0, 0)[2], shown >> 8);
  EXPECT_LT(b.Px(0, 0)[1], 100);
}

// The display against a plain transcription of its rules, bottom-up with no
// shortcuts taken early, over random stacks: modes of every kind (the alpha
// family, texture modes, layer masks), visibility, opacity, a paint layer
// and partial, empty and opaque pixels.
struct ReferenceDisplay {
  static uint32_t Pixel(int32_t cx, int32_t cy) {
    const dro::Engine& e = engine();
    const dro::composite::LayerState& l = e.layers;
    std::vector<const dro::composite::LayerRecord*> list;
    bool background = false;
    for (int32_t n = 1; n < 64; ++n) {
      const dro::composite::LayerRecord& rec = l.slots[n];
      if (rec.pixels && rec.visible && rec.mode != 19) {
        if (n == 1) background = true;
        list.push_back(&rec);
      }
      if (l.paint.pixels && rec.pixels && rec.pixels.data() == l.current->pixels.data()) {
        list.push_back(&l.paint);
      }
    }
    const size_t index = static_cast<size_t>(cy) * kW + cx;
    uint32_t ir = 0, ig = 0, ib = 0, ia = 0;
    float fr = 0, fg = 0, fb = 0, fa = 0;
    bool isFloat = false;
    const int32_t count = static_cast<int32_t>(list.size());
    for (int32_t i = 0; i < count; ++i) {
      const Pixel64 px = list[i]->pixels[index];
      int32_t r = px.r, g = px.g, b = px.b, a = px.a;
      const int32_t mode = list[i]->mode;
      if (i == 0 && background) {
        a = 65535;
      } else if (a == 0 && mode <= 20) {
        continue;
      }
      if (i != count - 1) {
        int32_t j = i + 1;
        if (l.paint.pixels && list[i] == l.current && i + 1 != count - 1) j = i + 2;
        const Pixel64 m = list[j]->pixels[index];
        if (list[j]->mode == 38 && list[j]->visible && m.a > 0) {
          a = static_cast<int32_t>(static_cast<uint32_t>(a) * ((m.r + m.g + m.b) / 3u) / 65536);
        }
        if (i == 0 && background) a = 65535;
      }
      if (list[i]->opacity < 255) a = a * (list[i]->opacity + 1) / 256;
      int32_t formula = mode;
      if (mode >= 21 && mode <= 40 &&
          dro::composite::blend::AlphaFamilyTransform(mode, r, g, b, a) == 18) {
        formula = 18;
      }
      if (fa == 0.f) {
        if (formula >= 17 && formula <= 19) {
          ir = ig = ib = ia = 0;
          fr = fg = fb = fa = 0;
        } else {
          ir = r, ig = g, ib = b, ia = a;
          fr = r / 65280.f, fg = g / 65280.f, fb = b / 65280.f, fa = a / 65535.f;
        }
        isFloat = false;
      } else if (formula == 0 && a >= 65280) {
        ir = r, ig = g, ib = b, ia = 65535;
        fr = r / 65280.f, fg = g / 65280.f, fb = b / 65280.f, fa = 1.f;
        isFloat = false;
      } else if (formula != 19) {
        const float dc[3] = {fr * fa, fg * fa, fb * fa};
        float color[3], alpha;
        dro::composite::blend::CompositeFloat(formula, r, g, b, a, dc, fa, color, alpha);
        fr = color[0], fg = color[1], fb = color[2], fa = alpha;
        isFloat = true;
      }
    }
    if (isFloat) {
      ir = static_cast<uint32_t>(fr * 65280.f), ig = static_cast<uint32_t>(fg * 65280.f);
      ib = static_cast<uint32_t>(fb * 65280.f), ia = static_cast<uint32_t>(fa * 65535.f);
    }
    uint32_t c[3] = {ir, ig, ib};
    if (ia < 65535) {
      const uint32_t k = ((cx >> 5) + (cy >> 5)) % 2 ? 40959 : 65535;
      for (uint32_t& x : c) x = ((ia * x >> 8) + (k * (65535 - ia) >> 8)) >> 8;
    }
    return (c[2] >> 8) << 16 | (c[1] >> 8) << 8 | (c[0] >> 8);
  }
};

TEST_F(Render, MatchesTheRulesOverRandomStacks) {
  static const char* const kModes[] = {"Normal",
                                       "Normal",
                                       "Normal",
                                       "Multiply",
                                       "Screen",
                                       "Difference",
                                       "Overlay",
                                       "Soft Light",
                                       "Dodge",
                                       "Add",
                                       "Texturize",
                                       "Texturize2",
                                       "Texturize3",
                                       "Alpha Filter",
                                       "Alpha Shader Texture2",
                                       "Alpha Smooth Lum4",
                                       "Layer Mask",
                                       "Luminance Alpha",
                                       "Alpha Highlight Texture2",
                                       "Glow"};
  uint32_t seed = 2024;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  // Values on both sides of each threshold: empty, opaque, and the 65280
  // from which a pixel counts as covering.
  auto value = [&]() -> uint16_t {
    static constexpr uint16_t kEdges[] = {0, 1, 65279, 65280, 65535, 65535};
    return next() % 2 ? kEdges[next() % 6] : static_cast<uint16_t>(next());
  };
  // Opacities at the ends, where the shortcuts decide, and between.
  auto opacity = [&] {
    static constexpr int32_t kEdges[] = {100, 100, 99, 1, 0};
    return next() % 4 ? kEdges[next() % 5] : static_cast<int32_t>(next() % 100);
  };
  for (int trial = 0; trial < 400; ++trial) {
    for (int32_t slot = 1; slot < 8; ++slot) DRO_DeleteLayer(slot);
    DRO_DeletePaintLayer();
    // Short stacks often, so the bottom entry decides many pixels.
    const int32_t layers = 1 + static_cast<int32_t>(next() % (next() % 2 ? 2 : 7));
    for (int32_t slot = 1; slot <= layers; ++slot) {
      ASSERT_EQ(DRO_CreateLayer(slot, kW, kH), 1);
      std::vector<Pixel64> pixels(pixelCount());
      for (Pixel64& p : pixels) {
        p = Pixel64{value(), value(), value(), value()};
        if (next() % 4 == 0) p.g = p.b = p.r;  // grey, as a layer mask's grey reaches its edges
      }
      SetPixels(slot, pixels);
      DRO_SetLayerOptions(slot, next() % 5 != 0, 0, opacity(),
                          kModes[next() % (sizeof(kModes) / sizeof(kModes[0]))]);
    }
    DRO_SetLayer(1 + static_cast<int32_t>(next() % layers));
    if (next() % 3 == 0) {
      DRO_CreatePaintLayer(opacity(), kModes[next() % 4]);
      for (Pixel64& p : PaintPixels()) p = Pixel64{value(), value(), value(), value()};
    }
    const Bitmap b = Draw(0, 0, kW, kH, kW, kH);
    for (int32_t y = 0; y < kH; y += 3) {
      for (int32_t x = 0; x < kW; x += 3) {
        ASSERT_EQ(b.Bgr(x, y), ReferenceDisplay::Pixel(x, y))
            << "trial " << trial << " at (" << x << ", " << y << ")";
      }
    }
  }
}

// The vector path composes eight neighbouring pixels at a time, and bands
// of rows go to worker threads; both must give the scalar path's bytes for every mode (texture and
// alpha-family formulas, layer masks, the paint layer), every finish and every zoom.
TEST_F(Render, TheVectorPathAndThreadsShowTheScalarPathsBytes) {
  uint32_t seed = 77;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto value = [&]() -> uint16_t {
    static constexpr uint16_t kEdges[] = {0, 1, 65279, 65280, 65535};
    return next() % 2 ? kEdges[next() % 5] : static_cast<uint16_t>(next());
  };
  const auto& names = dro::composite::kBlendModeNames;
  for (int trial = 0; trial < 160; ++trial) {
    for (int32_t slot = 1; slot < 10; ++slot) DRO_DeleteLayer(slot);
    DRO_DeletePaintLayer();
    const int32_t layers = 1 + static_cast<int32_t>(next() % 9);
    for (int32_t slot = 1; slot <= layers; ++slot) {
      ASSERT_EQ(DRO_CreateLayer(slot, kW, kH), 1);
      // Runs of equal alpha, so that whole vectors take one shortcut.
      std::vector<Pixel64> pixels(pixelCount());
      uint16_t alpha = value();
      for (Pixel64& p : pixels) {
        if (next() % 8 == 0) alpha = value();
        p = Pixel64{value(), value(), value(), alpha};
      }
      SetPixels(slot, pixels);
      const char* mode = next() % 2 ? "Normal" : names[next() % names.size()];
      DRO_SetLayerOptions(slot, next() % 6 != 0, 0, next() % 3 ? 100 : int32_t(next() % 100), mode);
    }
    DRO_SetLayer(1 + static_cast<int32_t>(next() % layers));
    if (next() % 3 == 0) {
      DRO_CreatePaintLayer(next() % 2 ? 100 : 60, next() % 2 ? "Normal" : "Multiply");
      for (Pixel64& p : PaintPixels()) p = Pixel64{value(), value(), value(), value()};
    }
    DRO_SetTracingMode(next() % 4 == 0);
    DRO_DisplayMask(0);
    static constexpr int32_t kZooms[][2] = {{1, 1}, {1, 1}, {4, 1}, {1, 2}};
    const auto* zoom = kZooms[next() % 4];
    DRO_SetScale(zoom[0], zoom[1]);
    // Split over 1, 2 or 7 threads against one thread without fast paths.
    static constexpr int32_t kThreads[] = {1, 2, 7};
    DRO_XSetThreads(kThreads[trial % 3]);
    const Bitmap fast = Draw(0, 0, kW, kH, kW, kH);
    DRO_XSetThreads(1);
    dro::composite::SetFastPathsEnabled(false);
    const Bitmap scalar = Draw(0, 0, kW, kH, kW, kH);
    dro::composite::SetFastPathsEnabled(true);
    ASSERT_EQ(fast.bytes, scalar.bytes) << "trial " << trial;
  }
  DRO_XSetThreads(0);
  DRO_SetScale(1, 1);
}

}  // namespace
