// The native filters: each pinned on small pictures with values worked out
// from the filter's formulas, the entry's buffer rules, the guards against
// degenerate sizes and parameters, and a seeded regression pin per filter.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/random.h"
#include "drovine.h"
#include "engine/engine.h"
#include "imaging/native_filters.h"
#include "imaging/work_buffers.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
using dro::Mask16;
using dro::Pixel64;
using Bytes = std::vector<uint8_t>;
using Px = std::array<uint8_t, 4>;

Px Grey(uint8_t v, uint8_t a = 255) {
  return {v, v, v, a};
}

class NativeFilters : public drovine_test::CanvasTest {
 protected:
  NativeFilters() : CanvasTest({2, 2}) {}
  void TearDown() override {
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }
  // A canvas of w x h holding `pixels` in the source buffer.
  void Picture(int32_t w, int32_t h, const std::vector<Px>& pixels) {
    if (w != width() || h != height()) Recreate({w, h});
    ASSERT_EQ(pixels.size(), size_t(w) * h);
    Bytes bytes;
    for (const Px& p : pixels) bytes.insert(bytes.end(), p.begin(), p.end());
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
    DRO_IPLSetSrcBuffer32(bytes.data());
  }
  // Runs a filter; values are in thousandths, switches are opt2..opt7.
  std::vector<Px> Apply(const char* name, std::array<int32_t, 6> values = {}, int32_t mode = 0,
                        std::array<uint8_t, 6> switches = {}, int32_t copyFlag = 0) {
    im::NativeFilterArgs args;
    args.name = name;
    args.copyFlag = copyFlag;
    args.values = values;
    args.mode = mode;
    args.switches = switches;
    EXPECT_EQ(im::RunNativeFilter(args), 1);
    return Destination();
  }
  std::vector<Px> Destination() {
    std::vector<Px> out(pixelCount());
    const uint8_t* d = im::Destination32();
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = {d[4 * i], d[4 * i + 1], d[4 * i + 2], d[4 * i + 3]};
    return out;
  }
};

TEST_F(NativeFilters, EntryCopiesThenMatchesExactNames) {
  Picture(2, 2, {Px{1, 2, 3, 4}, Px{5, 6, 7, 8}, Px{9, 10, 11, 12}, Px{13, 14, 15, 16}});
  const std::vector<Px> source = {Px{1, 2, 3, 4}, Px{5, 6, 7, 8}, Px{9, 10, 11, 12},
                                  Px{13, 14, 15, 16}};
  EXPECT_EQ(Apply("invert"), source);
  EXPECT_EQ(Apply("Invert "), source);
  EXPECT_EQ(Apply(nullptr), source);
  EXPECT_EQ(Apply("Invert")[1], (Px{250, 249, 248, 8}));
  // In place: the filter reads the destination as the caller left it.
  EXPECT_EQ(Apply("Invert", {}, 0, {}, 1)[1], (Px{5, 6, 7, 8}));
  // A missing buffer runs nothing.
  DRO_IPLFreeDstBuffer32();
  im::NativeFilterArgs args;
  args.name = "Invert";
  EXPECT_EQ(im::RunNativeFilter(args), 0);
}

TEST_F(NativeFilters, PerPixelColourFilters) {
  Picture(2, 2,
          {Px{10, 200, 255, 77}, Px{127, 127, 127, 9}, Px{128, 128, 128, 1}, Px{10, 0, 31, 5}});
  auto d = Apply("Invert");
  EXPECT_EQ(d[0], (Px{245, 55, 0, 77}));
  d = Apply("Grayscale");
  EXPECT_EQ(d[0], (Px{155, 155, 155, 77}));  // 465 / 3
  EXPECT_EQ(d[3], (Px{13, 13, 13, 5}));      // 41 / 3
  // 127.5 > 127 gives black, 127.5 > 128 does not.
  d = Apply("Basic Threshold", {500});
  EXPECT_EQ(d[1], (Px{0, 0, 0, 9}));
  EXPECT_EQ(d[2], (Px{255, 255, 255, 1}));
  for (const Px& p : Apply("Basic Threshold", {0})) EXPECT_EQ(p[0], 255);
  Picture(2, 2, {Grey(255), Grey(254), Grey(0), Px{255, 255, 254, 0}});
  d = Apply("Basic Threshold", {1000});
  EXPECT_EQ(d[0], Grey(255));
  EXPECT_EQ(d[1], Grey(0));
  EXPECT_EQ(d[3], (Px{0, 0, 0, 0}));
}

TEST_F(NativeFilters, ChannelAndClamp) {
  Picture(2, 2, {Px{10, 200, 30, 99}, Px{10, 0, 30, 99}, Px{0, 5, 6, 7}, Px{50, 51, 205, 204}});
  auto d = Apply("Channel", {}, 0, {0, 1, 0});
  EXPECT_EQ(d[0], (Px{0, 255, 0, 200}));
  EXPECT_EQ(d[1], (Px{0, 0, 0, 0}));
  d = Apply("Channel", {}, 0, {1, 0, 0});
  EXPECT_EQ(d[0], (Px{255, 0, 0, 10}));
  EXPECT_EQ(d[2], (Px{0, 0, 0, 0}));
  EXPECT_EQ(Apply("Channel", {}, 0, {1, 1, 0})[0], (Px{0, 0, 0, 0}));
  EXPECT_EQ(Apply("Channel", {}, 0, {2, 2, 2})[0], (Px{10, 200, 30, 99}));  // tested for 1

  // Below 51 becomes 25, above 204 becomes 229; only switched channels.
  d = Apply("Clamp", {200, 100, 800, 900}, 0, {1, 1, 0, 1});
  EXPECT_EQ(d[3], (Px{25, 51, 205, 204}));
  EXPECT_EQ(d[0], (Px{25, 200, 30, 99}));
  d = Apply("Clamp", {200, 100, 800, 900}, 0, {0, 0, 1, 0});
  EXPECT_EQ(d[3], (Px{50, 51, 229, 204}));
}

TEST_F(NativeFilters, HyperContrastAndAdjustLab) {
  Picture(2, 2, {Grey(255), Grey(0), Grey(128), Px{0, 0, 0, 40}});
  // k = 255: mid grey 192 (1 - L) + 64 L = 32576 / 255 = 127.7.
  auto d = Apply("Hyper Contrast", {0});
  EXPECT_EQ(d[0], Grey(255));
  EXPECT_EQ(d[1], Grey(0));
  EXPECT_EQ(d[2], Grey(127));
  // k = 0 counts as 1: (-15874 x 127 + 16384 x 128) / 255 = 318, clamped.
  EXPECT_EQ(Apply("Hyper Contrast", {1000})[2], Grey(255));
  // Black with a += 100: X = 95.047 x 0.3379^3 = 3.668, Y = Z = 0, so red
  // 1.055 x 0.11887^(1 / 2.4) - 0.055 = 0.3794 -> 96 and blue 12.92 x
  // 0.002043 -> 6.
  EXPECT_EQ(Apply("Adjust Lab", {500, 1000, 500})[3], (Px{96, 0, 6, 40}));
  EXPECT_EQ(Apply("Adjust Lab", {0, 500, 500})[0], (Px{0, 0, 0, 255}));
}

TEST_F(NativeFilters, NeighbourhoodFiltersTouchInteriorOnly) {
  std::vector<Px> pic(9, Px{0, 0, 0, 0});
  pic[4] = Px{90, 90, 90, 90};
  Picture(3, 3, pic);
  // m = 90 / 9 = 10, |90 - 10| = 80 > 76.5; every channel 90 / 9.
  auto d = Apply("Detail Blur", {300});
  EXPECT_EQ(d[4], (Px{10, 10, 10, 10}));
  EXPECT_EQ(d[0], (Px{0, 0, 0, 0}));
  EXPECT_EQ(Apply("Detail Blur", {320})[4], pic[4]);  // 80 > 81.6 fails

  // Class 1 through the left neighbour: 0.5 x 100 + 0.5 x 300 / 4 = 87.5.
  std::vector<Px> bright(9, Grey(100, 100));
  bright[3] = Px{0, 0, 0, 0};
  Picture(3, 3, bright);
  EXPECT_EQ(Apply("Adaptive Blur", {700, 500, 0})[4], (Px{87, 87, 87, 87}));
  // Class 2: a dark centre, 0.25 x 400 / 4 = 25.
  std::vector<Px> dark(9, Grey(100, 100));
  dark[4] = Px{0, 0, 0, 0};
  Picture(3, 3, dark);
  d = Apply("Adaptive Blur", {700, 0, 250});
  EXPECT_EQ(d[4], (Px{25, 25, 25, 25}));
  EXPECT_EQ(d[1], Grey(100, 100));

  // Bas Relief against the left neighbour, s1 = 0.5: l = (128 + 63.5) / 255
  // and, below a brighter neighbour, 100 / 255 halved.
  Picture(3, 3,
          {Grey(0), Grey(0), Grey(0), Grey(64), Grey(128), Grey(0), Grey(0), Grey(0), Grey(0)});
  d = Apply("Bas Relief", {500}, 0);
  EXPECT_EQ(d[4], Grey(191));
  EXPECT_EQ(d[3], Grey(64));
  Picture(3, 3,
          {Grey(0), Grey(200), Grey(0), Grey(0), Grey(100), Grey(0), Grey(0), Grey(0), Grey(0)});
  EXPECT_EQ(Apply("Bas Relief", {500}, 1)[4], Grey(50));
  EXPECT_EQ(Apply("Bas Relief", {500}, 0)[4], Grey(177));  // 100 + 0.5 x 155
}

TEST_F(NativeFilters, LineArtCleanerAndMaskDetail) {
  MakeLayer(1, Pixel64{0, 0, 0, 0});
  std::vector<Px> pic(9, Grey(200));
  pic[4] = Grey(100);
  Picture(3, 3, pic);
  MakeLayer(1, Pixel64{0, 0, 0, 0});
  DRO_SetLayer(1);
  // Threshold 127.5: the speck turns black; m = 8 x 255 / 9 = 226 and 226 -
  // 51 > 0 turns it white again. The layer holds the thresholded picture.
  auto d = Apply("Line Art Cleaner", {500, 200});
  EXPECT_EQ(d[4], Grey(255));
  EXPECT_EQ(d[0], Grey(255));
  EXPECT_EQ(At(1, 1, 1), (Pixel64{0, 0, 0, 65280}));
  EXPECT_EQ(At(1, 0, 0), (Pixel64{65280, 65280, 65280, 65280}));
  EXPECT_EQ(im::Source32()[16], 0);  // the source took the threshold

  std::vector<Px> spot(9, Grey(0));
  spot[4] = Grey(100);
  Picture(3, 3, spot);
  FillMask(65535);
  Apply("Mask Detail", {200, 250});
  std::vector<Mask16> want(9, 65535);
  want[4] = 49151;  // trunc(0.75 x 65535)
  EXPECT_EQ(Mask(), want);
  Apply("Mask Detail", {200, -1000});
  EXPECT_EQ(MaskAt(1, 1), 65535);
  Apply("Mask Detail", {200, 2000});
  EXPECT_EQ(MaskAt(1, 1), 0);
  Apply("Mask Detail", {400, 0});  // 100 > 102 fails: no detail
  EXPECT_EQ(MaskAt(1, 1), 0);
}

// The edge-smoothing filters on a 2 x 2 picture, traced pass by pass.
TEST_F(NativeFilters, ScanPassFamily) {
  const std::vector<Px> spot = {Grey(200), Grey(0), Grey(0), Grey(0)};
  Picture(2, 2, spot);
  // Value Blur, s1 = 0.5, s2 = 0.25: (1,0) 100, (0,0) 125, (0,1) 62,
  // (1,0) 25, (1,1) 12, (0,0) 77.
  EXPECT_EQ(Apply("Value Blur", {500, 250}),
            (std::vector<Px>{Grey(77), Grey(25), Grey(62), Grey(12)}));
  // Anti Alias on a checkerboard: rule one spreads 200 into (1,0) and (0,1)
  // as 100; rule two (threshold 76.5) lifts the corners to 125.
  Picture(2, 2, {Grey(200), Grey(0), Grey(0), Grey(200)});
  EXPECT_EQ(Apply("Anti Alias", {500, 250, 500, 700}),
            (std::vector<Px>{Grey(125), Grey(100), Grey(100), Grey(125)}));
  EXPECT_EQ(Apply("Anti Alias", {500, 250, 500, 500}),
            (std::vector<Px>{Grey(200), Grey(100), Grey(100), Grey(200)}));
  // Noise Reduction, w = 0.75, threshold 127.5: (1,0) 25, (0,0) 81, (0,1)
  // 20, (1,0) 18, (1,1) 4, (0,0) 65.
  Picture(2, 2, {Grey(100), Grey(0), Grey(0), Grey(0)});
  EXPECT_EQ(Apply("Noise Reduction", {500, 500}),
            (std::vector<Px>{Grey(65), Grey(18), Grey(20), Grey(4)}));
  // Per channel: red as above, green never (threshold 0), blue copies c
  // (weight 0) wherever the difference is below 255; alpha stays.
  Picture(2, 2, {Px{100, 100, 100, 77}, Px{0, 0, 0, 77}, Px{0, 0, 0, 77}, Px{0, 0, 0, 77}});
  EXPECT_EQ(Apply("Noise Reduction RGB", {500, 500, 0, 0, 2000, 1000}),
            (std::vector<Px>{Px{65, 100, 100, 77}, Px{18, 0, 0, 77}, Px{20, 0, 100, 77},
                             Px{4, 0, 0, 77}}));
  // One row or one column: no pass has anything to pair.
  for (const auto& size : {std::array<int32_t, 2>{1, 5}, std::array<int32_t, 2>{5, 1}}) {
    Picture(size[0], size[1], std::vector<Px>(5, Grey(9)));
    DRO_IPLSetSrcBuffer32(
        std::vector<uint8_t>{0, 0, 0, 0, 200, 200, 200, 200, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, 0}
            .data());
    const std::vector<Px> before = Apply("Unknown");
    for (const char* name :
         {"Anti Alias", "Value Blur", "Noise Reduction", "Noise Reduction RGB"}) {
      EXPECT_EQ(Apply(name, {500, 500, 500, 500, 500, 500}), before) << name;
    }
  }
}

TEST_F(NativeFilters, ReflectionMirrorsDownwards) {
  std::vector<Px> column(16);
  for (int y = 0; y < 16; ++y) column[y] = Px{uint8_t(10 * y), 0, 0, 200};
  Picture(1, 16, column);
  // r = 7, start 6, m from 5 down by 1, opacity 1 down by 0.5.
  auto d = Apply("Reflection", {500, 1000, 500, 250}, 0, {0, 1});
  EXPECT_EQ(d[5], column[5]);
  EXPECT_EQ(d[6], (Px{50, 0, 0, 200}));
  EXPECT_EQ(d[7], (Px{40, 0, 0, 100}));
  EXPECT_EQ(d[8], (Px{30, 0, 0, 0}));
  EXPECT_EQ(d[11], (Px{0, 0, 0, 0}));
  EXPECT_EQ(d[15], (Px{0, 0, 0, 0}));
  // Without opt3 the start is the lowest row below r with alpha (row 10).
  for (int y = 8; y < 16; ++y) column[y][3] = y == 10 ? 50 : 0;
  Picture(1, 16, column);
  d = Apply("Reflection", {500, 1000, 500, 250}, 0, {0, 0});
  EXPECT_EQ(d[8], column[8]);
  EXPECT_EQ(d[10], column[9]);
  // opt2: the lowest row with alpha above 253 (row 3) for every column;
  // with none, each column falls back to its own rule.
  column[3][3] = 254;
  Picture(1, 16, column);
  d = Apply("Reflection", {500, 1000, 0, 0}, 0, {1, 1});
  EXPECT_EQ(d[2], column[2]);
  EXPECT_EQ(d[3], column[2]);
  EXPECT_EQ(d[12], column[2]);
  column[3][3] = 200;
  Picture(1, 16, column);
  EXPECT_EQ(Apply("Reflection", {500, 1000, 0, 0}, 0, {1, 0})[10], column[9]);

  // Under 16 rows the opacity step divides by 1: row 3 takes row 0 at 0.5.
  Picture(1, 4, {Px{0, 0, 0, 200}, Px{10, 0, 0, 200}, Px{20, 0, 0, 200}, Px{30, 0, 0, 200}});
  d = Apply("Reflection", {0, 1000, 500, 250}, 0, {0, 1});
  EXPECT_EQ(d[2], (Px{10, 0, 0, 200}));
  EXPECT_EQ(d[3], (Px{0, 0, 0, 100}));
  // A mirror line far above the canvas is held at row 0.
  d = Apply("Reflection", {3000, 1000, 500, 250}, 0, {0, 1});
  EXPECT_EQ(d[0], (Px{0, 0, 0, 0}));
  // One far below it is held at the last row, as s1 = 0.
  EXPECT_EQ(Apply("Reflection", {-5000, 1000, 500, 250}, 0, {0, 1})[3], (Px{0, 0, 0, 100}));
}

TEST_F(NativeFilters, FaderBorderizeAndVignette) {
  Picture(3, 1, {Grey(9, 200), Grey(9, 200), Grey(9, 200)});
  // Vertical factor 1 (one row steps by 0), horizontal 0, 0.5, 1.
  auto d = Apply("Fader", {500, 500, 0, 500}, 0, {0, 0, 0, 1});
  EXPECT_EQ(d, (std::vector<Px>{Grey(9, 0), Grey(9, 100), Grey(9, 200)}));
  Picture(1, 1, {Grey(9, 200)});
  EXPECT_EQ(Apply("Fader", {500, 0, 250, 0}, 0, {0, 0, 0, 1})[0], Grey(9, 100));
  // Extents of a layer without data: nothing.
  MakeLayer(1, Pixel64{0, 0, 0, 0});
  DRO_SetLayer(1);
  EXPECT_EQ(Apply("Fader", {0, 0, 0, 0}, 0, {1, 0, 0, 1})[0], Grey(9, 200));

  std::vector<Px> pic(25);
  for (int i = 0; i < 25; ++i) pic[i] = Px{uint8_t(i), 0, 0, 255};
  Picture(5, 5, pic);
  // Two rings coloured from (0, 0) and (0, 1); too many rings are capped.
  for (int32_t s2 : {1000, 10000}) {
    d = Apply("Borderize", {0, s2});
    EXPECT_EQ(d[4], pic[0]);
    EXPECT_EQ(d[20], pic[0]);
    EXPECT_EQ(d[6], pic[5]);
    EXPECT_EQ(d[13], pic[5]);
    EXPECT_EQ(d[12], pic[12]);
  }
  EXPECT_EQ(Apply("Borderize", {0, 0}), pic);

  // Vignette with an empty rectangle: D = 0 everywhere, so the tint
  // (1, 0.5, 0) replaces the colour and alpha becomes 1 (0 with opt3).
  Picture(4, 4, std::vector<Px>(16, Px{10, 20, 30, 40}));
  d = Apply("Vignette", {1000, 500, 0, 100, 0, 1000}, 0, {1, 0, 0, 1, 0, 0});
  EXPECT_EQ(d[5], (Px{255, 127, 0, 255}));
  EXPECT_EQ(Apply("Vignette", {1000, 500, 0, 100, 0, 1000}, 0, {1, 1, 0, 1, 0, 0})[5],
            (Px{255, 127, 0, 0}));
  // A level past 255 (255 - 2 x 255 for the background) is held at 0.
  EXPECT_EQ(Apply("Vignette", {1000, 500, 0, 100, 0, 2000}, 0, {1, 0, 0, 1, 0, 0})[5],
            (Px{255, 127, 0, 255}));
  // s6 = 0 fills the plane: D = 1 keeps every pixel.
  EXPECT_EQ(Apply("Vignette", {1000, 500, 0, 100, 0, 0}, 0, {1, 0, 0, 1, 0, 0})[5],
            (Px{10, 20, 30, 40}));
  // The painting colour as tint (opt7).
  DRO_SetColor(0, 255, 0);
  EXPECT_EQ(Apply("Vignette", {0, 0, 0, 100, 0, 1000}, 0, {1, 0, 0, 1, 0, 1})[5],
            (Px{0, 255, 0, 255}));
}

TEST_F(NativeFilters, VignetteEllipseFadesOutwards) {
  Picture(64, 64, std::vector<Px>(64 * 64, Px{200, 200, 200, 255}));
  for (int32_t s4 : {100, 10000}) {  // a small radius and the box-blur one
    const auto d = Apply("Vignette", {0, 0, 0, s4, 500, 1000}, 0, {1, 0, 0, 0, 0, 0});
    if (s4 == 100) {
      EXPECT_EQ(d[32 * 64 + 32], (Px{200, 200, 200, 255}));
    }
    EXPECT_GT(d[32 * 64 + 32][0], 100) << s4;
    EXPECT_LT(d[0][0], 100) << s4;
    EXPECT_LE(d[0][0], d[8 * 64 + 8][0]) << s4;
    EXPECT_LE(d[8 * 64 + 8][0], d[20 * 64 + 20][0]) << s4;
  }
}

// Every filter once more over a seeded random 17 x 13 picture: the fast
// routines give the plain ones' pixels, and one checksum per filter holds
// the whole table still.
TEST_F(NativeFilters, SeededPictureChecksums) {
  const char* names[] = {"Anti Alias",      "Adaptive Blur",   "Line Art Cleaner",
                         "Basic Threshold", "Adjust Lab",      "Detail Blur",
                         "Value Blur",      "Noise Reduction", "Noise Reduction RGB",
                         "Hyper Contrast",  "Bas Relief",      "Grayscale",
                         "Invert",          "Vignette",        "Channel",
                         "Reflection",      "Fader",           "Borderize",
                         "Clamp",           "Mask Detail"};
  std::vector<Px> pic(17 * 13);
  uint32_t state = 12345;
  for (Px& p : pic) {
    for (uint8_t& c : p) {
      state = state * 214013u + 2531011u;
      c = uint8_t(state >> 16);
    }
  }
  std::string sums;
  for (const char* name : names) {
    uint64_t hash = 1469598103934665603ull;
    for (int fast = 1; fast >= 0; --fast) {
      im::SetNativeFilterFastPaths(fast != 0);
      Picture(17, 13, pic);
      FillMask(65535);
      const auto d = Apply(name, {300, 600, 450, 700, 250, 800}, 1, {1, 1, 0, 1, 1, 0});
      if (fast) {
        for (const Px& p : d) {
          for (uint8_t c : p) hash = (hash ^ c) * 1099511628211ull;
        }
        for (Mask16 m : Mask()) hash = (hash ^ m) * 1099511628211ull;
        sums += std::to_string(hash % 100000) + " ";
      } else {
        uint64_t again = 1469598103934665603ull;
        for (const Px& p : d) {
          for (uint8_t c : p) again = (again ^ c) * 1099511628211ull;
        }
        for (Mask16 m : Mask()) again = (again ^ m) * 1099511628211ull;
        EXPECT_EQ(again, hash) << name;
      }
    }
  }
  im::SetNativeFilterFastPaths(true);
  // Regression only: each filter's formulas are pinned by hand above.
  EXPECT_EQ(sums,
            "78628 74375 7020 61819 55442 15421 1008 13525 48621 11456 63145 23955 1453 95280 "
            "88968 80645 87214 15977 74376 803 ");
}

// The faster routines against the plain ones on a larger seeded picture
// (odd sizes leave partial row groups and batches), over several settings.
TEST_F(NativeFilters, FastRoutinesMatchPlainOnes) {
  std::vector<Px> pic(61 * 37);
  uint32_t state = 777;
  for (Px& p : pic) {
    state = state * 214013u + 2531011u;
    const uint8_t base = uint8_t(state >> 24);
    for (uint8_t& c : p) {
      state = state * 214013u + 2531011u;
      c = uint8_t(base + ((state >> 16) & 31));
    }
  }
  const std::array<int32_t, 6> settings[] = {
      {300, 600, 450, 700, 250, 800}, {1000, 0, 990, 10, 500, 500}, {-200, 1300, 0, 1000, 40, 20}};
  for (const char* name : {"Anti Alias", "Value Blur", "Noise Reduction", "Noise Reduction RGB",
                           "Adaptive Blur", "Detail Blur", "Bas Relief", "Adjust Lab"}) {
    for (const auto& values : settings) {
      std::vector<Px> results[2];
      for (int fast = 0; fast < 2; ++fast) {
        im::SetNativeFilterFastPaths(fast != 0);
        Picture(61, 37, pic);
        results[fast] = Apply(name, values, 1);
      }
      EXPECT_EQ(results[0], results[1]) << name << " " << values[0];
    }
  }
  im::SetNativeFilterFastPaths(true);
}

}  // namespace
