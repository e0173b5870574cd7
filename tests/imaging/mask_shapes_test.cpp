// Mask shapes and the magic wand: strength arithmetic, the grey round trip
// of the shapes, every wand mode on a small picture with its mask worked
// out by hand, the same selection a free key colour would give, what
// selects nothing, and allocation failures.
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

// A = (200, 40, 40); B = (202, 42, 40) at squared distance 8 from A;
// C = (40, 40, 200) with A's mean 93; D = (120, 120, 120). Lower case:
// alpha 100, else opaque.
constexpr char kPicture[] =
    "AACAAd"
    "ABCBAd"
    "cCCCCd"
    "AACBbd";
const std::string kNone = "......\n......\n......\n......\n";
const std::string kAll = "xxxxxx\nxxxxxx\nxxxxxx\nxxxxxx\n";

class MaskShapes : public drovine_test::CanvasTest {
 protected:
  MaskShapes() : CanvasTest({6, 4}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(2, Pixel64{});
    PaintPicture(2);
    DRO_SetLayer(2);
  }
  void PaintPicture(int32_t slot) {
    std::vector<Pixel64> pixels;
    for (const char* p = kPicture; *p; ++p) {
      const char c = char(*p & ~0x20);
      const uint16_t a = *p == c ? 65280 : 25600;
      pixels.push_back(c == 'A'   ? Pixel64{51200, 10240, 10240, a}
                       : c == 'B' ? Pixel64{51712, 10752, 10240, a}
                       : c == 'C' ? Pixel64{10240, 10240, 51200, a}
                                  : Pixel64{30720, 30720, 30720, a});
    }
    SetPixels(slot, pixels);
  }
  // The mask as rows of 'x' (`closed`), '.' (open, 65535) and '?'.
  std::string Rows(Mask16 closed) const {
    const std::vector<Mask16> mask = Mask();
    std::string out;
    for (int i = 0; i < 24; ++i) {
      out += mask[i] == closed ? 'x' : mask[i] == 65535 ? '.' : '?';
      if (i % 6 == 5) out += '\n';
    }
    return out;
  }
  // The wand at 50 % (s = 127: value 32768) on an open mask.
  std::string Wand(int32_t x, int32_t y, int32_t tolerance, const char* mode) {
    FillMask(65535);
    DRO_IPLMaskWand(x, y, tolerance, 50, mode);
    return Rows(32768);
  }
};

TEST_F(MaskShapes, ShapesCloseByStrengthThroughGrey) {
  for (auto [d, s] :
       {std::pair{0, 0}, {1, 2}, {50, 127}, {99, 253}, {100, 255}, {-4, 0}, {900, 255}})
    EXPECT_EQ(im::ShapeStrength(d), s) << d;
  std::vector<Mask16> before(24);
  for (size_t i = 0; i < 24; ++i) before[i] = Mask16(0x1234 + i * 2741);
  before[0] = 65280;
  SetMask(before);
  DRO_IPLMaskRectangle(4, 3, 2, 1, 0);  // either corner first, both included; d = 0 opens
  for (int i = 0; i < 24; ++i) {
    const bool inside = i % 6 >= 2 && i % 6 <= 4 && i >= 6;
    EXPECT_EQ(Mask()[i], inside || before[i] >= 65280 ? 65535 : before[i] & 0xFF00) << i;
  }
  FillMask(65535);
  DRO_IPLMaskRectangle(INT32_MIN, 2, 0, INT32_MAX, 100);
  DRO_IPLMaskRectangle(5, 0, 5, 0, 60);  // s = 153: 65280 - 153 x 256
  EXPECT_EQ(Rows(0), ".....?\n......\nx.....\nx.....\n");
  EXPECT_EQ(MaskAt(5, 0), 26112);
  // A box 2 pixels wide (x 2..3, y 1..2): radii raised to 2, centre (4, 3).
  FillMask(65535);
  DRO_IPLMaskEllipse(3, 2, 2, 1, 100);
  EXPECT_EQ(Rows(0), "......\n....x.\n...xxx\n..xxxx\n");
  // The whole int32 range: centre (-1, -1), radii 2^31 - 1.
  DRO_IPLMaskEllipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 100);
  EXPECT_EQ(Rows(0), kAll);
}

TEST_F(MaskShapes, EveryModeSelectsByItsRule) {
  // L = trunc(t x 3.9015): t = 2 gives 7 (A only), t = 3 gives 11 (B too),
  // and C walls the right half off.
  const std::string onlyA = "xx.xx.\nx...x.\n......\nxx....\n",
                    aAndB = "xx.xx.\nxx.xx.\n......\nxx.xx.\n";
  EXPECT_EQ(Wand(0, 0, 2, "Connected"), "xx....\nx.....\n......\n......\n");
  EXPECT_EQ(Wand(0, 0, 3, "Connected"), "xx....\nxx....\n......\n......\n");
  EXPECT_EQ(Wand(0, 0, 2, "Non-connected"), onlyA);
  EXPECT_EQ(Wand(0, 0, 3, "Non-connected"), aAndB);
  EXPECT_EQ(Wand(0, 0, 499, "Color Range"), onlyA);  // P = t / 500 = 0
  EXPECT_EQ(Wand(0, 0, 500, "Color Range"), aAndB);  // P = 1: within 2
  EXPECT_EQ(Wand(0, 0, 0, "Luminance Range"), "xxxxx.\nx.x.x.\nxxxxx.\nxxx...\n");
  EXPECT_EQ(Wand(0, 0, 0, "Hue Range"), aAndB);  // B's hue lies 0.74 degrees off
  EXPECT_EQ(Wand(0, 0, 0, "HSL Range"), onlyA);
  EXPECT_EQ(Wand(5, 0, 0, "Alpha Connected"), ".....x\n.....x\n.....x\n....xx\n");
  EXPECT_EQ(Wand(5, 0, 0, "Alpha Non-connected"), ".....x\n.....x\nx....x\n....xx\n");
  // Grey 100 to 255 is 3 x 155^2 = 72075 apart: t = 18473 gives 72072.
  EXPECT_EQ(Wand(5, 0, 18473, "Alpha Connected"), Wand(5, 0, 0, "Alpha Connected"));
  EXPECT_EQ(Wand(5, 0, 18474, "Alpha Connected"), kAll);
  // Clamps: tolerance to 0..50000, strength to 0..100 (0 writes 65280).
  EXPECT_EQ(Wand(0, 0, -9, "Connected"), Wand(0, 0, 0, "Connected"));
  EXPECT_EQ(Wand(0, 0, INT32_MAX, "Non-connected"), kAll);
  FillMask(65535);
  DRO_IPLMaskWand(3, 3, 0, -5, "Connected");
  DRO_IPLMaskWand(0, 3, 0, 1000, "Connected");  // only closes, adding up
  EXPECT_EQ(Rows(0), "......\n......\n......\nxx.??.\n");
  EXPECT_EQ(MaskAt(4, 3), 65280);
  // A transparent click compares its own colour, not white.
  Put(2, 0, 0, Pixel64{51200, 10240, 10240, 0});
  Put(2, 5, 3, Pixel64{65280, 65280, 65280, 65280});
  EXPECT_EQ(Wand(0, 0, 0, "Non-connected"), onlyA);
  EXPECT_EQ(Wand(0, 0, 0, "Color Range"), onlyA);
}

TEST_F(MaskShapes, WhatSelectsNothing) {
  for (const char* mode :
       {"connected", "Connected ", "Alpha Non-Connected", "", static_cast<const char*>(nullptr)})
    EXPECT_EQ(Wand(0, 0, 50000, mode), kNone) << (mode ? mode : "null");
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {6, 0}, {0, 4}, {INT32_MIN, INT32_MIN}})
    EXPECT_EQ(Wand(x, y, 50000, "Non-connected"), kNone) << x << "," << y;
  for (int32_t slot : {0, 1}) {  // no alpha selection below slot 2
    MakeLayer(slot, Pixel64{});
    PaintPicture(slot);
    DRO_SetLayer(slot);
    EXPECT_EQ(Wand(5, 0, 0, "Alpha Connected"), kNone) << slot;
    EXPECT_NE(Wand(5, 0, 0, "Alpha Non-connected"), kNone) << slot;
  }
  ASSERT_EQ(DRO_CreateLayer(3, 7, 4), 1);  // a current layer of another size
  DRO_SetLayer(3);
  EXPECT_EQ(Wand(0, 0, 50000, "Non-connected"), kNone);
  EXPECT_EQ(im::Source32(), nullptr) << "the wand releases the source buffer";
  // The flood-result colouring writes where the flag is 1 only.
  std::vector<uint8_t> rgba(24 * 4, 9), flags(24, 0);
  flags[0] = flags[23] = 1;
  flags[7] = 2;
  DRO_ColorRGBA32FromFloodMask(rgba.data(), flags.data(), 1, 2, 3, 260);
  EXPECT_EQ(std::vector<uint8_t>(rgba.begin() + 92, rgba.end()),
            (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(rgba[28], 9);
  for (drovine_test::CanvasSize size : {drovine_test::CanvasSize{0, 4}, {6, 0}}) {
    Recreate(size);  // canvases without pixels: every call returns at once
    DRO_IPLMaskEllipse(0, 0, 9, 9, 100);
    DRO_IPLMaskRectangle(0, 0, 9, 9, 100);
    DRO_IPLMaskWand(0, 0, 100, 100, "Connected");
    DRO_ColorRGBA32FromFloodMask(rgba.data(), flags.data(), 0, 0, 0, 0);
  }
  EXPECT_EQ(rgba[0], 1);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

// The key-colour way: paint the selection in a colour no pixel has, then
// close that colour. The wand closes the same pixels.
TEST_F(MaskShapes, SameSelectionAsAFreeKeyColor) {
  std::mt19937 rng(31);
  for (int round = 0; round < 60; ++round) {
    std::vector<Pixel64> pixels(24);
    const uint32_t base = rng() % 200;
    for (Pixel64& p : pixels)
      p = {uint16_t((base + rng() % 24) << 8), uint16_t((base + rng() % 24) << 8),
           uint16_t((base + rng() % 24) << 8), uint16_t(rng() % 2 ? 65280 : 0)};
    SetPixels(2, pixels);
    const int32_t x = int32_t(rng() % 6), y = int32_t(rng() % 4), t = int32_t(rng() % 3000);
    const int32_t limit = int32_t(t * 0.00002 * 195075);
    std::vector<uint8_t> rgba(24 * 4);
    DRO_GetRGBA32Layer(rgba.data(), 24, 2);
    const uint32_t key = im::FindFreeColor(rgba.data(), 24).value();
    const img::ByteColor f{uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), 0};
    const uint8_t* c = &rgba[size_t(y * 6 + x) * 4];
    ASSERT_TRUE(round % 2 ? img::FloodFill(rgba.data(), 6, 4, 4, 24, x, y, f, limit, {})
                          : img::ReplaceColor(rgba.data(), 6, 4, 4, 24, {c[0], c[1], c[2], 0}, f,
                                              limit, {}));
    FillMask(65535);
    DRO_CreateMaskFromRGBAImageColor(rgba.data(), f.r, f.g, f.b, im::ShapeStrength(12));
    const std::vector<Mask16> expected = Mask();
    FillMask(65535);
    DRO_IPLMaskWand(x, y, t, 12, round % 2 ? "Connected" : "Non-connected");
    ASSERT_EQ(Mask(), expected) << "round " << round;
  }
}

TEST_F(MaskShapes, FailuresLeaveTheMaskAndReleaseTheSource) {
  std::vector<Mask16> before(24);
  for (size_t i = 0; i < 24; ++i) before[i] = Mask16(40000 + i);
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
    EXPECT_GE(runs, 3) << mode;  // plane, source, pending spans (, alpha picture)
    EXPECT_EQ(MaskAt(5, 0), 0) << mode;
  }
  for (auto [shape, text] : {std::pair{&DRO_IPLMaskEllipse, "IPLMaskEllipse Excpt"},
                             {&DRO_IPLMaskRectangle, "IPLMaskRectangle Excpt"}}) {
    SetMask(before);
    drovine_test::SweepAllocationFailures(
        {text}, [&] { shape(0, 0, 5, 3, 100); }, [&](int64_t) { EXPECT_EQ(Mask(), before); });
  }
}

}  // namespace
