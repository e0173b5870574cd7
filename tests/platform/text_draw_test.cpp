// The text seam pinned against DejaVu Sans (installed by the bootstrap
// script): a checksum of one rendering with its glyph count and ink box,
// clipping, lines, the Windows-1252 fallback, face fallback and the glyph
// cache. And the drawing seam: the anti-aliased ellipse, saturation and bad
// arguments (the gradients are pinned through the engine's export).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/image_draw.h"
#include "platform/text.h"

namespace {

namespace tx = dro::platform::text;
namespace img = dro::platform::image;

struct Canvas {
  int32_t w, h;
  std::vector<uint8_t> px;
  Canvas(int32_t w_, int32_t h_) : w(w_), h(h_), px(size_t(w_) * h_ * 4, 0) {}
  uint32_t Fnv() const {
    uint32_t hash = 2166136261u;
    for (uint8_t b : px) hash = (hash ^ b) * 16777619u;
    return hash;
  }
};

tx::FontRequest DejaVu(int32_t px, int32_t weight = 400) {
  tx::FontRequest f;
  f.family = "DejaVu Sans";
  f.pixelHeight = px;
  f.weight = weight;
  return f;
}

tx::TextResult Draw(Canvas& c, const char* text, const tx::FontRequest& f, tx::Box box) {
  tx::TextResult r;
  EXPECT_TRUE(tx::DrawText(c.px.data(), c.w, c.h, c.w * 4, text, f, box, 200, 100, 50, &r));
  return r;
}

TEST(Text, PinnedRenderingOfDejaVuSans) {
  char family[64], file[512];
  ASSERT_TRUE(tx::ResolveFace(DejaVu(24), family, sizeof family, file, sizeof file));
  ASSERT_STREQ(family, "DejaVu Sans") << "fonts-dejavu-core is not installed";
  Canvas c(240, 40);
  const tx::TextResult r = Draw(c, "Hello, world", DejaVu(24), {4, 2, 240, 40});
  EXPECT_EQ(r.glyphs, 12);
  // The ink of 24-pixel DejaVu Sans: the H's stem two pixels right of the
  // pen, cap tops 5 pixels below the box's top (ascender 23, cap height
  // 18), the comma's tail 4 pixels below the baseline.
  EXPECT_EQ(r.ink.left, 6);
  EXPECT_EQ(r.ink.top, 7);
  EXPECT_EQ(r.ink.right, 148);
  EXPECT_EQ(r.ink.bottom, 28);
  EXPECT_EQ(c.Fnv(), 3475120100u);
  // Colour bytes move toward the colour, alpha toward 255 by coverage.
  bool solid = false;
  for (size_t i = 0; i < c.px.size(); i += 4)
    if (c.px[i + 3] == 255) {
      solid = true;
      EXPECT_EQ(c.px[i], 200);
      EXPECT_EQ(c.px[i + 2], 50);
    }
  EXPECT_TRUE(solid);
}

TEST(Text, LinesClipAndEncodings) {
  Canvas one(200, 80), two(200, 80);
  const tx::TextResult a = Draw(one, "Ab", DejaVu(20), {0, 0, 200, 80});
  const tx::TextResult b = Draw(two, "Ab\r\nAb", DejaVu(20), {0, 0, 200, 80});
  EXPECT_EQ(b.glyphs, 4);
  EXPECT_EQ(b.ink.left, a.ink.left);
  EXPECT_GT(b.ink.bottom, a.ink.bottom + 15);  // a second line below
  // The box clips: nothing right of 10 or below 12, nothing at all left of
  // the picture.
  Canvas clipped(200, 80);
  const tx::TextResult k = Draw(clipped, "WWWW\nWWWW", DejaVu(20), {-5, -3, 10, 12});
  EXPECT_LE(k.ink.right, 10);
  EXPECT_LE(k.ink.bottom, 12);
  EXPECT_GE(k.ink.left, 0);
  // Not UTF-8: read as Windows-1252, so 0xE9 is the e-acute of U+00E9 and
  // 0x80 the euro sign.
  Canvas utf8(100, 40), cp1252(100, 40);
  Draw(utf8, "\xC3\xA9\xE2\x82\xAC", DejaVu(16), {0, 0, 100, 40});
  Draw(cp1252, "\xE9\x80", DejaVu(16), {0, 0, 100, 40});
  EXPECT_EQ(utf8.px, cp1252.px);
  // Nothing but the box's empty strings and a null text draw nothing.
  Canvas empty(20, 20);
  EXPECT_EQ(Draw(empty, "", DejaVu(16), {0, 0, 20, 20}).glyphs, 0);
  EXPECT_TRUE(
      tx::DrawText(empty.px.data(), 20, 20, 80, nullptr, DejaVu(16), {0, 0, 20, 20}, 1, 2, 3));
  EXPECT_EQ(empty.px, std::vector<uint8_t>(20 * 20 * 4, 0));
  EXPECT_FALSE(tx::DrawText(nullptr, 20, 20, 80, "x", DejaVu(16), {0, 0, 20, 20}, 1, 2, 3));
  EXPECT_FALSE(tx::DrawText(empty.px.data(), 20, 20, 40, "x", DejaVu(16), {0, 0, 20, 20}, 1, 2, 3));
}

TEST(Text, FacesFallBackAndBoldDiffers) {
  char empty[64], unknown[64], bold[64], fe[512], fu[512], fb[512];
  tx::FontRequest none;
  none.family = "";
  tx::FontRequest missing = none;
  missing.family = "No Such Face Anywhere";
  ASSERT_TRUE(tx::ResolveFace(none, empty, 64, fe, 512));
  ASSERT_TRUE(tx::ResolveFace(missing, unknown, 64, fu, 512));
  ASSERT_TRUE(tx::ResolveFace(DejaVu(20, 700), bold, 64, fb, 512));
  EXPECT_STREQ(fe, fu);
  EXPECT_STRNE(fe, fb);
  Canvas regular(100, 40), heavy(100, 40);
  Draw(regular, "Ink", DejaVu(20), {0, 0, 100, 40});
  Draw(heavy, "Ink", DejaVu(20, 700), {0, 0, 100, 40});
  auto sum = [](const Canvas& c) {
    uint64_t s = 0;
    for (size_t i = 3; i < c.px.size(); i += 4) s += c.px[i];
    return s;
  };
  EXPECT_GT(sum(heavy), sum(regular) * 11 / 10);
}

TEST(Text, GlyphCacheKeepsOnlyDistinctGlyphs) {
  tx::ClearGlyphCache();
  Canvas c(400, 400);
  std::string text;
  for (int i = 0; i < 1000; ++i) text += char('a' + i % 26);
  Draw(c, text.c_str(), DejaVu(24), {0, 0, 400, 400});
  EXPECT_EQ(tx::CachedGlyphs(), 26u);
  const uint32_t first = c.Fnv();
  Canvas again(400, 400);
  Draw(again, text.c_str(), DejaVu(24), {0, 0, 400, 400});
  EXPECT_EQ(again.Fnv(), first);  // cached glyphs draw the same pixels
}

TEST(DrawSeam, EllipseSaturationAndBadInput) {
  Canvas c(40, 40);
  ASSERT_TRUE(img::FillEllipseAA(c.px.data(), 40, 40, 160, 20, 20, 10, 6, {9, 8, 7, 255}));
  EXPECT_EQ(c.px[(20 * 40 + 20) * 4 + 3], 255);
  EXPECT_EQ(c.px[(20 * 40 + 20) * 4], 9);
  EXPECT_EQ(c.px[(0 * 40 + 0) * 4 + 3], 0);
  int partial = 0;
  for (size_t i = 3; i < c.px.size(); i += 4) partial += c.px[i] > 0 && c.px[i] < 255;
  EXPECT_GT(partial, 8);  // an anti-aliased edge
  EXPECT_FALSE(img::FillEllipseAA(c.px.data(), 40, 40, 160, 20, 20, -1, 6, {}));
  EXPECT_TRUE(img::FillEllipseAA(c.px.data(), 40, 40, 160, INT64_MAX, INT64_MIN, INT64_MAX,
                                 INT64_MAX, {1, 1, 1, 1}));

  uint8_t px[8] = {200, 100, 0, 7, 30, 30, 30, 9};
  const uint8_t original[8] = {200, 100, 0, 7, 30, 30, 30, 9};
  ASSERT_TRUE(img::ModifySaturation(px, 2, 1, 4, 8, 1.0));
  EXPECT_EQ(std::memcmp(px, original, 8), 0);
  ASSERT_TRUE(img::ModifySaturation(px, 2, 1, 4, 8, 0.0));
  const int luma = (299 * 200 + 587 * 100) / 1000;
  EXPECT_EQ(px[0], luma);
  EXPECT_EQ(px[2], luma);
  EXPECT_EQ(px[3], 7);
  EXPECT_EQ(px[4], 30);
  EXPECT_FALSE(img::ModifySaturation(px, 2, 1, 4, 8, 0.0 / 0.0));
  EXPECT_FALSE(img::BlurRgb(px, 2, 1, 3, 10, 1.0f));  // stride below width x 3
  const img::GradientStop stops[5] = {};
  EXPECT_FALSE(img::FillGradientLinear(c.px.data(), 40, 40, 160, 0, 0, 1, 1, stops, 0));
  EXPECT_FALSE(img::FillGradientLinear(c.px.data(), 40, 40, 160, 0, 0, 1, 1, stops, 5));
  EXPECT_FALSE(img::FillGradientRadial(c.px.data(), 40, 40, 80, 0, 0, 1, stops, 3));
}

}  // namespace
