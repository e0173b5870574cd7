// Mask shapes and the magic wand: the strength and tolerance arithmetic,
// the grey round trip of the shapes, every wand mode on a small picture
// with the expected mask worked out by hand, the same selections as a key
// colour would give, clicks and layers that select nothing, and allocation
// failures.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "drovine.h"
#include "imaging/free_color.h"
#include "imaging/mask_shapes.h"
#include "imaging/work_buffers.h"
#include "platform/image_fill.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
namespace img = dro::platform::image;
using dro::Mask16;
using dro::Pixel64;

constexpr Mask16 kOpen = 65535;

// The picture of the mode tests, 6 x 4. A = (200, 40, 40), B = (202, 42,
// 40) lies at squared distance 8 from A, C = (40, 40, 200) has A's mean 93,
// D = (120, 120, 120) is grey; '#' marks alpha 100, everything else is
// opaque.
const char* const kPicture[] = {
    "AACAAD#",  // row 0
    "ABCBAD#",  // row 1
    "C#CCCCD#",
    "AACBB#D#",
};

class MaskShapes : public drovine_test::CanvasTest {
 protected:
  MaskShapes() : CanvasTest({6, 4}) {}

  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(2, Pixel64{0, 0, 0, 65280});
    DRO_SetLayer(2);
    FillMask(kOpen);
  }

  static Pixel64 Color(char c, bool translucent) {
    const uint16_t a = translucent ? 100 * 256 : 255 * 256;
    switch (c) {
      case 'A':
        return {200 * 256, 40 * 256, 40 * 256, a};
      case 'B':
        return {202 * 256, 42 * 256, 40 * 256, a};
      case 'C':
        return {40 * 256, 40 * 256, 200 * 256, a};
      default:
        return {120 * 256, 120 * 256, 120 * 256, a};
    }
  }
  void PaintPicture(int32_t slot = 2) {
    std::vector<Pixel64> pixels;
    for (const char* row : kPicture)
      for (const char* p = row; *p; ++p)
        if (*p != '#') pixels.push_back(Color(*p, p[1] == '#'));
    SetPixels(slot, pixels);
  }

  // The mask as rows of 'x' (value `closed`), '.' (open) and '?' (other).
  std::string Rows(Mask16 closed) const {
    std::string out;
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) {
        const Mask16 v = MaskAt(x, y);
        out += v == closed ? 'x' : v == kOpen ? '.' : '?';
      }
      out += '\n';
    }
    return out;
  }
  // Runs the wand on a freshly opened mask at strength 50 % (s = 127,
  // value 32768) and gives the rows it closed.
  std::string Wand(int32_t x, int32_t y, int32_t tolerance, const char* mode) {
    FillMask(kOpen);
    DRO_IPLMaskWand(x, y, tolerance, 50, mode);
    return Rows(32768);
  }
};

TEST(MaskShapeArithmetic, StrengthIsPercentTimes2559Truncated) {
  const int32_t cases[][2] = {{0, 0},     {1, 2},   {39, 99},    {50, 127},     {99, 253},
                              {100, 255}, {-40, 0}, {1000, 255}, {INT32_MIN, 0}};
  for (auto [percent, s] : cases) EXPECT_EQ(im::ShapeStrength(percent), s) << percent;
}

TEST_F(MaskShapes, RectangleOpensOrClosesFullyAndOutsideLosesTheLowByte) {
  std::vector<Mask16> before(pixelCount());
  for (size_t i = 0; i < before.size(); ++i) before[i] = Mask16(0x1234 + i * 2741);
  before[0] = 65280;
  before[1] = 65279;
  SetMask(before);
  DRO_IPLMaskRectangle(4, 3, 2, 1, 0);  // corners either way round, both included
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const Mask16 v = before[size_t(y) * width() + x];
      const bool inside = x >= 2 && x <= 4 && y >= 1 && y <= 3;
      EXPECT_EQ(MaskAt(x, y), inside       ? kOpen
                              : v >= 65280 ? kOpen
                                           : Mask16(v & 0xFF00))
          << x << "," << y;
    }
  EXPECT_EQ(MaskAt(1, 0), 65024) << "65279 loses its low byte";

  FillMask(kOpen);
  DRO_IPLMaskRectangle(INT32_MIN, 2, 0, INT32_MAX, 100);  // d = 100: s = 255, closed
  EXPECT_EQ(Rows(0), "......\n......\nx.....\nx.....\n");
  DRO_IPLMaskRectangle(1, 0, 1, 0, 60);  // one pixel: s = 153, 65280 - 153 x 256
  EXPECT_EQ(MaskAt(1, 0), 65280 - 153 * 256);
}

TEST_F(MaskShapes, EllipseRadiiAreAtLeastTwoAndReachAcrossInt32) {
  // Box 2..3 x 1..2: both radii raise to 2, centre (4, 3): the circle of
  // radius 2 there, cut by the canvas.
  DRO_IPLMaskEllipse(3, 2, 2, 1, 100);
  EXPECT_EQ(Rows(0),
            "......\n"
            "....x.\n"
            "...xxx\n"
            "..xxxx\n");
  // The box of the whole int32 range: centre (-1, -1), radii 2^31 - 1, so
  // the canvas lies deep inside.
  FillMask(kOpen);
  DRO_IPLMaskEllipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 100);
  EXPECT_EQ(Rows(0), "xxxxxx\nxxxxxx\nxxxxxx\nxxxxxx\n");
  // A box of 2 pixels (x 0..1) whose other side is 4: ry = 2, rx = 2,
  // centre (2, 2); d = 0 opens it fully in a closed mask.
  FillMask(0);
  DRO_IPLMaskEllipse(0, 0, 1, 4, 0);
  EXPECT_EQ(Rows(0),
            "xx.xxx\n"
            "x...xx\n"
            ".....x\n"
            "x...xx\n");
}

TEST_F(MaskShapes, EveryModeSelectsWhatItsRuleSays) {
  PaintPicture();
  // Connected at L = 0 (t = 0, and t = 2 gives trunc(7.803) = 7 < 8): A
  // only; at t = 3 (L = 11) B joins, but C walls off the right half.
  const std::string aConnected = "xx....\nx.....\n......\n......\n";
  EXPECT_EQ(Wand(0, 0, 0, "Connected"), aConnected);
  EXPECT_EQ(Wand(0, 0, 2, "Connected"), aConnected);
  EXPECT_EQ(Wand(0, 0, 3, "Connected"), "xx....\nxx....\n......\n......\n");
  EXPECT_EQ(Wand(0, 0, 0, "Non-connected"), "xx.xx.\nx...x.\n......\nxx....\n");
  const std::string aAndB = "xx.xx.\nxx.xx.\n......\nxx.xx.\n";
  EXPECT_EQ(Wand(0, 0, 3, "Non-connected"), aAndB);
  // Range modes take P = t / 500: 499 is 0 %, 500 is 1 % (T = 2).
  EXPECT_EQ(Wand(0, 0, 499, "Color Range"), Wand(0, 0, 0, "Non-connected"));
  EXPECT_EQ(Wand(0, 0, 500, "Color Range"), aAndB);
  // Means: A 93, B 94, C 93, D 120.
  EXPECT_EQ(Wand(0, 0, 0, "Luminance Range"), "xxxxx.\nx.x.x.\nxxxxx.\nxxx...\n");
  // B's hue is 0.74 degrees from A's: within a limit of 0 after truncation.
  EXPECT_EQ(Wand(0, 0, 0, "Hue Range"), aAndB);
  // HSL at F = 0: only A's own saturation and lightness.
  EXPECT_EQ(Wand(0, 0, 0, "HSL Range"), Wand(0, 0, 0, "Non-connected"));
  // Alpha 100 in column 5 and at (4, 3) joined to it; (0, 2) stands apart.
  EXPECT_EQ(Wand(5, 0, 0, "Alpha Connected"), ".....x\n.....x\n.....x\n....xx\n");
  EXPECT_EQ(Wand(5, 0, 0, "Alpha Non-connected"), ".....x\n.....x\nx....x\n....xx\n");
  // Grey distance 3 x 155^2 = 72075: t = 18473 gives L = 72072, 18474
  // gives 72076 and takes every pixel.
  EXPECT_EQ(Wand(5, 0, 18473, "Alpha Connected"), ".....x\n.....x\n.....x\n....xx\n");
  EXPECT_EQ(Wand(5, 0, 18474, "Alpha Connected"), "xxxxxx\nxxxxxx\nxxxxxx\nxxxxxx\n");

  // Names are exact; nothing else selects anything.
  for (const char* other :
       {"connected", "Connected ", "Alpha Non-Connected", "", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Wand(0, 0, 50000, other), "......\n......\n......\n......\n")
        << (other ? other : "null");
  // The wand only closes: a second click adds to the first.
  DRO_IPLMaskWand(3, 3, 0, 50, "Connected");
  DRO_IPLMaskWand(0, 3, 0, 100, "Connected");
  EXPECT_EQ(Rows(0), "......\n......\n......\nxx.??.\n");
  EXPECT_EQ(MaskAt(3, 3), 32768);
  EXPECT_EQ(im::Source32(), nullptr) << "the wand releases the source buffer";
}

TEST_F(MaskShapes, ClampsAndClicksThatSelectNothing) {
  PaintPicture();
  // Tolerance and strength clamp: below 0 acts as 0, above 50000 as 50000
  // (L = 195075: every colour); strength above 100 closes fully.
  EXPECT_EQ(Wand(0, 0, -9, "Connected"), Wand(0, 0, 0, "Connected"));
  FillMask(kOpen);
  DRO_IPLMaskWand(0, 0, INT32_MAX, 1000, "Non-connected");
  EXPECT_EQ(Rows(0), "xxxxxx\nxxxxxx\nxxxxxx\nxxxxxx\n");
  FillMask(kOpen);
  DRO_IPLMaskWand(0, 0, 0, -5, "Connected");
  EXPECT_EQ(MaskAt(0, 0), 65280) << "strength 0 writes 65280";

  const std::string none = "......\n......\n......\n......\n";
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {6, 0}, {0, 4}, {INT32_MIN, INT32_MIN}})
    EXPECT_EQ(Wand(x, y, 50000, "Non-connected"), none) << x << "," << y;

  // Alpha Connected needs a layer above slot 1.
  for (int32_t slot : {0, 1}) {
    MakeLayer(slot, Pixel64{});
    PaintPicture(slot);
    DRO_SetLayer(slot);
    EXPECT_EQ(Wand(5, 0, 0, "Alpha Connected"), none) << slot;
    EXPECT_NE(Wand(5, 0, 0, "Alpha Non-connected"), none) << slot;
  }
  // A current layer of another size selects nothing.
  ASSERT_EQ(DRO_CreateLayer(3, 7, 4), 1);
  DRO_SetLayer(3);
  EXPECT_EQ(Wand(0, 0, 50000, "Non-connected"), none);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(MaskShapes, TransparentClickComparesItsOwnColor) {
  PaintPicture();
  Put(2, 0, 0, Pixel64{200 * 256, 40 * 256, 40 * 256, 0});
  Put(2, 5, 3, Pixel64{65280, 65280, 65280, 65280});  // white elsewhere
  EXPECT_EQ(Wand(0, 0, 0, "Non-connected"), "xx.xx.\nx...x.\n......\nxx....\n");
  EXPECT_EQ(Wand(0, 0, 0, "Color Range"), "xx.xx.\nx...x.\n......\nxx....\n");
}

// The key-colour way: paint the selection with a colour no pixel has, then
// close every pixel of that colour. The wand must close the same pixels.
TEST_F(MaskShapes, SameSelectionAsAFreeKeyColor) {
  Recreate({23, 17});
  MakeLayer(2, Pixel64{});
  DRO_SetLayer(2);
  std::mt19937 rng(31);
  for (int round = 0; round < 60; ++round) {
    std::vector<Pixel64> pixels(pixelCount());
    const uint16_t base = uint16_t(rng() % 200);
    for (Pixel64& p : pixels) {
      const auto v = [&] { return uint16_t((base + rng() % 24) * 256); };
      p = {v(), v(), v(), uint16_t(rng() % 2 ? 65280 : 0)};
    }
    SetPixels(2, pixels);
    const int32_t x = int32_t(rng() % width()), y = int32_t(rng() % height());
    const int32_t t = int32_t(rng() % 3000);
    const bool connected = round % 2;
    const int32_t limit = int32_t(t * 0.00002 * 195075);

    std::vector<uint8_t> rgba(pixelCount() * 4);
    DRO_GetRGBA32Layer(rgba.data(), width() * 4, 2);
    const auto key = im::FindFreeColor(rgba.data(), pixelCount());
    ASSERT_TRUE(key.has_value());
    const img::ByteColor f{uint8_t(*key), uint8_t(*key >> 8), uint8_t(*key >> 16), 0};
    const uint8_t* c = &rgba[(size_t(y) * width() + x) * 4];
    ASSERT_TRUE(connected
                    ? img::FloodFill(rgba.data(), width(), height(), 4, width() * 4, x, y, f, limit,
                                     img::AlphaWrite::kKeep)
                    : img::ReplaceColor(rgba.data(), width(), height(), 4, width() * 4,
                                        {c[0], c[1], c[2], 0}, f, limit, img::AlphaWrite::kKeep));
    FillMask(kOpen);
    DRO_CreateMaskFromRGBAImageColor(rgba.data(), f.r, f.g, f.b, im::ShapeStrength(12));
    const std::vector<Mask16> expected = Mask();

    FillMask(kOpen);
    DRO_IPLMaskWand(x, y, t, 12, connected ? "Connected" : "Non-connected");
    ASSERT_EQ(Mask(), expected) << "round " << round;
  }
}

TEST_F(MaskShapes, FailuresLeaveTheMaskAndReleaseTheSource) {
  PaintPicture();
  std::vector<Mask16> before(pixelCount());
  for (size_t i = 0; i < before.size(); ++i) before[i] = Mask16(40000 + i);
  for (const char* mode : {"Connected", "Alpha Connected"}) {
    SetMask(before);
    const int64_t runs = drovine_test::SweepAllocationFailures(
        {}, [&] { DRO_IPLMaskWand(5, 0, 0, 100, mode); },
        [&](int64_t n) {
          const std::string error = DRO_GetLastError();
          EXPECT_TRUE(error == "IPLMaskWand Excpt" || error == "IPLAllocSrcBuffer32 Excpt")
              << mode << " run " << n << ": " << error;
          EXPECT_EQ(Mask(), before) << mode << " run " << n;
          EXPECT_EQ(im::Source32(), nullptr);
        });
    EXPECT_GE(runs, 3) << mode;  // plane, source, spans (and the alpha picture)
    EXPECT_EQ(MaskAt(5, 0), 0) << "the run without failure selects";
  }
  for (auto [shape, text] : {std::pair{&DRO_IPLMaskEllipse, "IPLMaskEllipse Excpt"},
                             {&DRO_IPLMaskRectangle, "IPLMaskRectangle Excpt"}}) {
    SetMask(before);
    drovine_test::SweepAllocationFailures(
        {text}, [&] { shape(0, 0, 5, 3, 100); }, [&](int64_t) { EXPECT_EQ(Mask(), before); });
  }
}

TEST_F(MaskShapes, EmptyCanvasAndFloodColoring) {
  // The flood-result colouring writes flag 1 only.
  std::vector<uint8_t> rgba(pixelCount() * 4, 9), flags(pixelCount(), 0);
  flags[0] = 1;
  flags[7] = 2;
  flags[23] = 1;
  DRO_ColorRGBA32FromFloodMask(rgba.data(), flags.data(), 1, 2, 3, 260);
  for (size_t i = 0; i < pixelCount(); ++i) {
    const std::vector<uint8_t> want =
        flags[i] == 1 ? std::vector<uint8_t>{1, 2, 3, 4} : std::vector<uint8_t>{9, 9, 9, 9};
    EXPECT_EQ(std::vector<uint8_t>(&rgba[i * 4], &rgba[i * 4 + 4]), want) << i;
  }
  // Canvases without pixels: every operation returns at once.
  for (drovine_test::CanvasSize size : {drovine_test::CanvasSize{0, 4}, {6, 0}}) {
    Recreate(size);
    DRO_IPLMaskEllipse(0, 0, 9, 9, 100);
    DRO_IPLMaskRectangle(0, 0, 9, 9, 100);
    DRO_IPLMaskWand(0, 0, 100, 100, "Connected");
    DRO_ColorRGBA32FromFloodMask(rgba.data(), flags.data(), 0, 0, 0, 0);
  }
  DRO_DeleteImage();
  DRO_IPLMaskWand(0, 0, 100, 100, "Connected");
  DRO_IPLMaskRectangle(0, 0, 9, 9, 100);
  EXPECT_STREQ(DRO_GetLastError(), "");
  EXPECT_EQ(rgba[0], 1);
}

}  // namespace
