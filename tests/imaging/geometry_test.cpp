// Whole-document geometry: exact pixel positions of turns, flips, pages,
// crops and pans; properties of resampling and seam carving; refused
// sizes; and failures that leave the whole stack as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "composite/layer_state.h"
#include "drovine.h"
#include "imaging/geometry.h"
#include "imaging/kernel_resampler.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
using dro::Mask16;
using dro::Pixel64;

// A pixel that names its place, with low bytes set so that a trip through
// 8 bits would show.
Pixel64 Tag(int32_t x, int32_t y) {
  const auto v = static_cast<uint16_t>(((x + 16 * y + 1) << 8) | 0x5A);
  return Pixel64{v, uint16_t(v + 1), uint16_t(v + 2), uint16_t(0xFF00 | (x + 16 * y))};
}

struct Layer {
  int32_t width = 0, height = 0;
  std::vector<Pixel64> pixels;
  Pixel64 At(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
};

Layer Read(int32_t slot) {
  const auto& rec = dro::composite::Layers().slots[slot];
  Layer l{rec.width, rec.height, {}};
  if (rec.pixels) l.pixels.assign(rec.pixels.data(), rec.pixels.data() + rec.pixels.size());
  return l;
}

const char* const kFilters[] = {
    "Area Average", "Nearest Neighbor", "Bilinear", "Bicubic",  "Box",     "Triangle",
    "Hamming",      "Gaussian",         "Bell",     "B-Spline", "Cubic 1", "Cubic 2",
    "Lanczos3",     "Mitchell",         "Sinc",     "Hermite",  "Hanning", "Catrom"};

class Geometry : public drovine_test::CanvasTest {
 protected:
  Geometry() : CanvasTest({6, 4}) {}
  // Slot 1 and slot 3 hold tagged pixels (slot 2 is empty); slot 3 locks
  // its alpha and is current.
  void SetUp() override {
    CanvasTest::SetUp();
    for (int32_t slot : {1, 3}) {
      MakeLayer(slot, Pixel64{});
      for (int32_t y = 0; y < height(); ++y)
        for (int32_t x = 0; x < width(); ++x) Put(slot, x, y, Tag(x, y));
    }
    DRO_SetLayerOptions(3, 1, 1, 100, "Normal");
    DRO_SetLayer(3);
  }
};

TEST_F(Geometry, TurnsAndFlipsMoveEveryPixelWithItsAlpha) {
  const Layer before = Read(3);
  const struct {
    void (*op)();
    int32_t width, height;
    // Where the pixel at (x, y) of the 6 x 4 layer lands.
    int32_t (*toX)(int32_t, int32_t);
    int32_t (*toY)(int32_t, int32_t);
  } cases[] = {
      {DRO_IPLRotateRight, 4, 6, [](int32_t, int32_t y) { return 3 - y; },
       [](int32_t x, int32_t) { return x; }},
      {DRO_IPLRotateLeft, 4, 6, [](int32_t, int32_t y) { return y; },
       [](int32_t x, int32_t) { return 5 - x; }},
      {DRO_IPLFlipHorizontal, 6, 4, [](int32_t x, int32_t) { return 5 - x; },
       [](int32_t, int32_t y) { return y; }},
      {DRO_IPLFlipVertical, 6, 4, [](int32_t x, int32_t) { return x; },
       [](int32_t, int32_t y) { return 3 - y; }},
  };
  for (const auto& c : cases) {
    SetUp();
    c.op();
    for (int32_t slot : {1, 3}) {
      const Layer after = Read(slot);
      ASSERT_EQ(after.width, c.width);
      ASSERT_EQ(after.height, c.height);
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x)
          ASSERT_EQ(after.At(c.toX(x, y), c.toY(x, y)), before.At(x, y)) << x << "," << y;
    }
    EXPECT_EQ(Read(2).pixels.size(), 0u);
    EXPECT_EQ(dro::composite::Layers().slots[3].lockAlpha, 1);
  }
}

TEST_F(Geometry, SquareLayersTurnWhereTheyLie) {
  // A square layer beside a 6 x 4 one: each turned once, the same way.
  for (bool clockwise : {true, false}) {
    Recreate({5, 5});
    MakeLayer(2, Pixel64{});
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 5; ++x) Put(2, x, y, Tag(x, y));
    DRO_IPLResizePage(6, 4, "TL");
    MakeLayer(1, Pixel64{});  // square, beside the 6 x 4 page
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 5; ++x) Put(1, x, y, Tag(x, y));
    const auto* data = dro::composite::Layers().slots[1].pixels.data();
    clockwise ? DRO_IPLRotateRight() : DRO_IPLRotateLeft();
    EXPECT_EQ(dro::composite::Layers().slots[1].pixels.data(), data);  // in place
    const Layer square = Read(1), wide = Read(2);
    ASSERT_EQ(wide.width, 4);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(clockwise ? square.At(4 - y, x) : square.At(y, 4 - x), Tag(x, y));
    EXPECT_EQ(clockwise ? wide.At(3, 0) : wide.At(0, 5), Tag(0, 0));
  }
}

TEST_F(Geometry, TwoOperationsBeforeTheNewSizeWorkAtTheLayersOwnSize) {
  DRO_IPLRotateRight();  // 4 x 6
  DRO_IPLCrop(1, 2, 3, 5);
  const Layer l = Read(3);
  ASSERT_EQ(l.width, 2);
  ASSERT_EQ(l.height, 3);
  // Crop pixel (x, y) is turned pixel (x + 1, y + 2), source (y + 2, 2 - x).
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(l.At(x, y), Tag(y + 2, 2 - x));
  DRO_NewSize(nullptr, 2, 3, 8, 0);
  DRO_SetLayer(3);
  EXPECT_EQ(At(3, 0, 0), Tag(2, 2));
}

TEST_F(Geometry, PageAnchorsPinTheirOffsets) {
  const struct {
    const char* anchor;
    int32_t x, y;
  } grow[] = {{"TL", 0, 0}, {"TC", 1, 0},  {"TR", 3, 0}, {"ML", 0, 2},   {"MC", 1, 2},
              {"MR", 3, 2}, {"BL", 0, 5},  {"BC", 1, 5}, {"BR", 3, 5},   {"mc", 0, 0},
              {"M", 0, 0},  {"MCX", 0, 0}, {"CM", 0, 0}, {nullptr, 0, 0}};
  for (const auto& g : grow) {
    const im::PageOffset o = im::AnchorOffset(g.anchor, 5, 4, 8, 9);
    EXPECT_EQ(o.x, g.x) << (g.anchor ? g.anchor : "null");
    EXPECT_EQ(o.y, g.y) << (g.anchor ? g.anchor : "null");
  }
  // Shrinking: negative offsets, halves truncated toward zero.
  const im::PageOffset mc = im::AnchorOffset("MC", 8, 9, 5, 4);
  EXPECT_EQ(mc.x, -1);
  EXPECT_EQ(mc.y, -2);
  const im::PageOffset br = im::AnchorOffset("BR", 8, 9, 5, 4);
  EXPECT_EQ(br.x, -3);
  EXPECT_EQ(br.y, -5);
}

TEST_F(Geometry, PagesAndCropsFillWhiteInTheBackgroundOnly) {
  const Pixel64 white{65535, 65535, 65535, 65535}, clear{0, 0, 0, 0};
  DRO_IPLResizePage(8, 7, "MC");  // picture at (1, 1)
  for (int32_t slot : {1, 3}) {
    const Layer l = Read(slot);
    ASSERT_EQ(l.width, 8);
    ASSERT_EQ(l.height, 7);
    const Pixel64 border = slot == 1 ? white : clear;
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
        EXPECT_EQ(l.At(x, y), inside ? Tag(x - 1, y - 1) : border) << slot << ":" << x << "," << y;
      }
  }
  // A crop reaching past the top left is a page with offsets: crop pixel
  // (x, y) is page pixel (x - 1, y - 1).
  DRO_IPLCrop(-1, -1, 3, 3);
  for (int32_t slot : {1, 3}) {
    const Layer l = Read(slot);
    ASSERT_EQ(l.width, 4);
    ASSERT_EQ(l.height, 4);
    EXPECT_EQ(l.At(0, 3), slot == 1 ? white : clear);
    EXPECT_EQ(l.At(1, 1), slot == 1 ? white : clear);
    EXPECT_EQ(l.At(2, 2), Tag(0, 0));
    EXPECT_EQ(l.At(3, 3), Tag(1, 1));
  }
  EXPECT_EQ(dro::composite::Layers().slots[3].lockAlpha, 1);
}

TEST_F(Geometry, RefusedSizesNamesAndRectanglesChangeNothing) {
  const Layer before = Read(3);
  DRO_IPLResize(6, 5, "bicubic");
  DRO_IPLResize(6, 5, nullptr);
  for (int32_t bad : {0, -1, 10001, INT32_MIN}) {
    DRO_IPLResize(bad, 5, "Bilinear");
    DRO_IPLResize(5, bad, "Lanczos3");
    DRO_IPLResizePage(bad, 5, "TL");
    DRO_IPLSeamCarvingRGBA(5, bad, 0);
  }
  DRO_IPLCrop(2, 1, 2, 3);                  // empty
  DRO_IPLCrop(3, 1, 1, 3);                  // inverted
  DRO_IPLCrop(0, 0, 10001, 1);              // too wide
  DRO_IPLCrop(INT32_MIN, 0, INT32_MAX, 1);  // a width beyond 32 bits
  const Layer after = Read(3);
  EXPECT_EQ(after.width, before.width);
  EXPECT_EQ(after.height, before.height);
  EXPECT_EQ(after.pixels, before.pixels);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Geometry, ResamplingKeepsFlatFlatAndSizesExact) {
  const Pixel64 flat{0x1234, 0xABCD, 0x7F7F, 0xC000};
  for (const char* filter : kFilters) {
    for (auto [w, h] : {std::pair{13, 7}, {3, 2}, {6, 1}}) {
      Recreate({6, 4});
      MakeLayer(1, flat);
      DRO_IPLResize(w, h, filter);
      const Layer l = Read(1);
      ASSERT_EQ(l.width, w) << filter;
      ASSERT_EQ(l.height, h) << filter;
      for (const Pixel64& p : l.pixels) {
        // Our kernels are exact; OpenCV's fixed-point weights may miss by 1.
        EXPECT_NEAR(p.r, flat.r, 1) << filter;
        EXPECT_NEAR(p.g, flat.g, 1) << filter;
        EXPECT_NEAR(p.b, flat.b, 1) << filter;
        EXPECT_NEAR(p.a, flat.a, 1) << filter;
      }
    }
  }
}

TEST_F(Geometry, NamedKernelsKeepColourOutOfTransparentPixels) {
  // Left half transparent red, right half opaque green: no filtered pixel
  // that shows may carry red.
  for (const char* filter : std::span(kFilters).subspan(4)) {
    Recreate({6, 4});
    MakeLayer(1, Pixel64{0, 65535, 0, 65535});
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 3; ++x) Put(1, x, y, Pixel64{65535, 0, 0, 0});
    DRO_IPLResize(17, 5, filter);
    for (const Pixel64& p : Read(1).pixels) {
      if (p.a == 0) {
        EXPECT_EQ(p, (Pixel64{0, 0, 0, 0})) << filter;
      } else {
        EXPECT_EQ(p.r, 0) << filter;
      }
    }
  }
}

TEST(Kernels, InterpolatingKernelsPassThroughTheSamples) {
  using K = im::ResampleKernel;
  for (K k : {K::kTriangle, K::kHermite, K::kHanning, K::kHamming, K::kCatrom, K::kCubic1,
              K::kCubic2, K::kLanczos3, K::kSinc}) {
    EXPECT_DOUBLE_EQ(im::KernelValue(k, 0.0), 1.0);
    for (double x : {1.0, -1.0, 2.0, 3.0}) EXPECT_NEAR(im::KernelValue(k, x), 0.0, 1e-12);
    EXPECT_EQ(im::KernelValue(k, im::KernelSupport(k) + 0.01), 0.0);
  }
  EXPECT_DOUBLE_EQ(im::KernelValue(K::kBSpline, 0.0), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(im::KernelValue(K::kMitchell, 0.0), 8.0 / 9.0);
  EXPECT_DOUBLE_EQ(im::KernelValue(K::kBell, 0.0), 0.75);
  EXPECT_DOUBLE_EQ(im::KernelValue(K::kBox, -0.5), 1.0);
  EXPECT_DOUBLE_EQ(im::KernelValue(K::kBox, 0.5), 0.0);
}

// Rows of a seam-carved layer: each must hold the protected pixels, and
// every kept pixel in its original order.
TEST_F(Geometry, SeamsSpareWhatTheMaskClosesAndKeepOrder) {
  // Columns 7 and 8 closed: the lowest-energy seams would otherwise run
  // anywhere in this even gradient.
  std::vector<Mask16> mask(60, 65535);
  for (int32_t y = 0; y < 5; ++y) mask[size_t(y) * 12 + 7] = mask[size_t(y) * 12 + 8] = 0;
  const auto column = [](const Pixel64& p) { return int32_t(p.a & 0xFF) % 16; };
  for (auto [w, h] : {std::pair{5, 5}, {5, 7}, {5, 3}, {12, 2}}) {
    Recreate({12, 5});
    MakeLayer(1, Pixel64{});
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 12; ++x) Put(1, x, y, Tag(x, y));
    SetMask(mask);
    DRO_EnableMask(1);
    DRO_IPLSeamCarvingRGBA(w, h, 12345);
    const Layer l = Read(1);
    ASSERT_EQ(l.width, w);
    ASSERT_EQ(l.height, h);
    for (int32_t y = 0; y < h; ++y) {
      if (y >= 5) {
        for (int32_t x = 0; x < w; ++x) EXPECT_EQ(l.At(x, y), (Pixel64{0, 0, 0, 0}));
        continue;
      }
      bool saw7 = false, saw8 = false;
      for (int32_t x = 0; x < w; ++x) {
        EXPECT_EQ(l.At(x, y), Tag(column(l.At(x, y)), y)) << "row " << y;
        if (x > 0) {
          EXPECT_LT(column(l.At(x - 1, y)), column(l.At(x, y)));
        }
        saw7 |= column(l.At(x, y)) == 7;
        saw8 |= column(l.At(x, y)) == 8;
      }
      EXPECT_TRUE(saw7 && saw8) << w << "x" << h << " row " << y;
    }
  }
}

TEST_F(Geometry, WideningInsertsSeamsAndKeepsEveryPixel) {
  const Layer before = Read(1);
  DRO_IPLSeamCarvingRGBA(15, 4, 0);  // more than one round
  const Layer l = Read(1);
  ASSERT_EQ(l.width, 15);
  for (int32_t y = 0; y < 4; ++y) {
    // The original row is a subsequence of the widened one.
    int32_t next = 0;
    for (int32_t x = 0; x < 15 && next < 6; ++x)
      if (l.At(x, y) == before.At(next, y)) ++next;
    EXPECT_EQ(next, 6) << "row " << y;
  }
}

TEST_F(Geometry, AFailedAllocationLeavesTheWholeStack) {
  const Layer one = Read(1), three = Read(3);
  const struct {
    const char* text;
    void (*op)();
  } ops[] = {
      {"IPLResize Excpt", [] { DRO_IPLResize(9, 5, "Lanczos3"); }},
      {"IPLResize Excpt", [] { DRO_IPLResize(9, 5, "Bilinear"); }},
      {"IPLResize Excpt", [] { DRO_IPLSeamCarvingRGBA(4, 5, 0); }},
      {"IPLResizePage Excpt", [] { DRO_IPLResizePage(9, 5, "BR"); }},
      {"IPLCrop Excpt", [] { DRO_IPLCrop(1, 1, 3, 3); }},
      {"IPLRotateLeft Excpt", DRO_IPLRotateLeft},
      {"IPLRotateRight Excpt", DRO_IPLRotateRight},
  };
  for (const auto& o : ops) {
    SetUp();
    const int64_t runs = drovine_test::SweepAllocationFailures({o.text}, o.op, [&](int64_t n) {
      EXPECT_EQ(Read(1).pixels, one.pixels) << o.text << " run " << n;
      EXPECT_EQ(Read(3).pixels, three.pixels) << o.text << " run " << n;
      EXPECT_EQ(Read(3).width, 6);
    });
    EXPECT_GE(runs, 2) << o.text;
    EXPECT_NE(Read(3).pixels, three.pixels) << o.text;  // the last run went through
  }
}

class Pan : public drovine_test::CanvasTest {
 protected:
  Pan() : CanvasTest({4, 3}) {}
  // An opaque, tagged current layer narrowed into the source buffer.
  void Prepare(bool lockAlpha) {
    MakeLayer(2, Pixel64{});
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x) Put(2, x, y, Wide(x, y, 255));
    DRO_SetLayerOptions(2, 1, lockAlpha, 100, "Normal");
    DRO_SetLayer(2);
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
  }
  void TearDown() override {
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }
  static Pixel64 Wide(int32_t x, int32_t y, int32_t alpha) {
    const auto v = static_cast<uint16_t>((10 + x + 4 * y) << 8);
    return Pixel64{v, v, v, uint16_t(alpha << 8)};
  }
};

TEST_F(Pan, WrapMovesEveryPixelRoundTheEdges) {
  for (auto [dx, dy] : {std::pair{1, -1}, {-9, 7}, {INT32_MIN, INT32_MAX}}) {
    Prepare(false);
    DRO_IPLPan(dx, dy, 1, 1, 2, 3, 4, 0);
    const int64_t mx = ((int64_t{dx} % 4) + 4) % 4, my = ((int64_t{dy} % 3) + 3) % 3;
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x)
        EXPECT_EQ(At(2, int32_t((x + mx) % 4), int32_t((y + my) % 3)), Wide(x, y, 255))
            << dx << "," << dy;
  }
}

TEST_F(Pan, WithoutWrapTheUncoveredPartKeepsTheLayer) {
  Prepare(false);
  DRO_IPLPan(1, 0, 0, 0, 0, 0, 0, 0);
  for (int32_t y = 0; y < 3; ++y) {
    EXPECT_EQ(At(2, 0, y), Wide(0, y, 255));
    for (int32_t x = 1; x < 4; ++x) EXPECT_EQ(At(2, x, y), Wide(x - 1, y, 255));
  }
  // A closed mask keeps the moved picture out where the step is asked for.
  Prepare(false);
  FillMask(0);
  DRO_EnableMask(1);
  DRO_IPLPan(1, 1, 1, 0, 0, 0, 0, 0x100);  // low byte 0: no mask step
  EXPECT_EQ(At(2, 1, 1), Wide(0, 0, 255));
  Prepare(false);
  FillMask(0);
  DRO_IPLPan(1, 1, 1, 0, 0, 0, 0, 1);
  EXPECT_EQ(At(2, 1, 1), Wide(1, 1, 255));
}

TEST_F(Pan, PushCarriesTheStartPixelToTheEnd) {
  Recreate({48, 9});
  MakeLayer(2, Pixel64{0x4000, 0x4000, 0x4000, 0xFF00});
  Put(2, 3, 4, Pixel64{0xFF00, 0, 0, 0xFF00});
  DRO_SetLayer(2);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
  DRO_WarpPointToPoint(3, 4, 6, 4);  // radius 14
  EXPECT_EQ(At(2, 6, 4), (Pixel64{0xFF00, 0, 0, 0xFF00}));
  EXPECT_EQ(At(2, 3, 4), (Pixel64{0x4000, 0x4000, 0x4000, 0xFF00}));
  EXPECT_EQ(At(2, 40, 4), (Pixel64{0x4000, 0x4000, 0x4000, 0xFF00}));
  DRO_IPLFreeDstBuffer32();
  DRO_WarpPointToPoint(6, 4, 3, 4);  // no destination: nothing
  EXPECT_EQ(At(2, 6, 4), (Pixel64{0xFF00, 0, 0, 0xFF00}));
}

}  // namespace
