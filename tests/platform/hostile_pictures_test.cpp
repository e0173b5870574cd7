// Hostile picture files: headers that promise more than their data holds,
// and the decode limits every reader checks before it allocates.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "drovine.h"
#include "platform/effect_script.h"
#include "platform/image_library.h"
#include "support/scratch_dir.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

void Put16le(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
}
void Put32le(Bytes& b, uint32_t v) {
  Put16le(b, v & 0xffff), Put16le(b, v >> 16);
}

// An 8-bit run-length BMP (bottom row first) with a two-colour palette:
// index 0 red, index 1 green.
Bytes Rle8Bmp(int32_t w, int32_t h, const Bytes& stream) {
  Bytes f = {'B', 'M'};
  const uint32_t off = 14 + 40 + 8;
  Put32le(f, off + uint32_t(stream.size())), Put32le(f, 0), Put32le(f, off), Put32le(f, 40);
  Put32le(f, uint32_t(w)), Put32le(f, uint32_t(h)), Put16le(f, 1), Put16le(f, 8);
  Put32le(f, 1), Put32le(f, uint32_t(stream.size())), Put32le(f, 0), Put32le(f, 0);
  Put32le(f, 2), Put32le(f, 0);
  for (uint8_t b : {0, 0, 255, 0, 0, 255, 0, 0}) f.push_back(b);
  f.insert(f.end(), stream.begin(), stream.end());
  return f;
}

struct Result {
  bool ok;
  img::Picture picture;
};
Result Read(const Bytes& file) {
  Result r;
  r.ok = img::ReadPictureRgba(file.data(), file.size(), r.picture);
  return r;
}
Bytes Pixel(const img::Picture& p, int32_t x, int32_t y) {
  const uint8_t* q = p.pixels.data() + (size_t(y) * p.width + x) * 4;
  return Bytes(q, q + 4);
}

const Bytes kRed = {255, 0, 0, 255}, kGreen = {0, 255, 0, 255}, kClear = {0, 0, 0, 0};

TEST(HostilePictures, RunLengthRowsEndOnTheirLastPixelAndNeverPastIt) {
  // 5 x 2, each row padded to 8 pixels in the file's layout: a run, then a
  // literal, each exactly one row.
  const Bytes rows = {5, 1, 0, 0, 0, 5, 0, 1, 0, 0, 1, 0};
  struct Case {
    const char* what;
    Bytes stream;
    bool ok;
  } cases[] = {
      {"end of bitmap after the last row", {5, 1, 0, 0, 0, 5, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1}, true},
      {"stream ends exactly on the last pixel", rows, true},
      {"runs into the row's padding", {8, 1, 0, 0, 0, 5, 0, 1, 0, 0, 1, 0, 3, 1}, true},
      {"stream ends one pixel short", {5, 1, 0, 0, 4, 0}, false},
      {"a run past the row's end", {9, 1, 0, 0, 5, 0}, false},
      {"runs past the end of the last row", {5, 1, 0, 0, 5, 0, 4, 0}, false},
      {"a literal past the row's end", {0, 9, 0, 1, 0, 1, 0, 1, 0, 0}, false},
      {"a move past the row's end", {0, 2, 9, 0, 0, 1}, false},
      {"a move below the picture", {0, 2, 0, 3, 0, 1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r = Read(Rle8Bmp(5, 2, c.stream));
    ASSERT_EQ(r.ok, c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(Pixel(r.picture, 4, 1), kGreen);  // bottom row, the run
    EXPECT_EQ(Pixel(r.picture, 0, 0), kRed);    // top row, the literal
    EXPECT_EQ(Pixel(r.picture, 1, 0), kGreen);
    EXPECT_EQ(Pixel(r.picture, 3, 0), kRed);
    EXPECT_EQ(Pixel(r.picture, 4, 0), kGreen);
  }
  // Skipped pixels stay transparent.
  const Result r = Read(Rle8Bmp(3, 2, {1, 1, 0, 0, 0, 1}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(Pixel(r.picture, 0, 1), kGreen);
  EXPECT_EQ(Pixel(r.picture, 1, 1), kClear);
  EXPECT_EQ(Pixel(r.picture, 2, 0), kClear);
}

TEST(HostilePictures, RunLengthPicturesAreSizedByWhatTheStreamCanHold) {
  // 64 bytes claiming 16384 x 16384 (with limits that would allow it):
  // refused at once, nothing allocated for it.
  ASSERT_EQ(DRO_XSetDecodeLimits(536870911, 65535), 1);
  const Bytes stream = {0, 1};  // the whole file is 64 bytes
  ASSERT_EQ(Rle8Bmp(16384, 16384, stream).size(), 64u);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Read(Rle8Bmp(16384, 16384, stream)).ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  // 1024 pixels a stream byte is the most: two bytes for 2048 pixels pass.
  EXPECT_TRUE(Read(Rle8Bmp(2048, 1, {0, 1})).ok);
  EXPECT_FALSE(Read(Rle8Bmp(2049, 1, {0, 1})).ok);
  ASSERT_EQ(DRO_XSetDecodeLimits(0, 0), 1);
}

// A GIF89a with a logical screen of `sw` x `sh` and one `w` x `h` frame at
// (x, y) whose every pixel is index 1 (white) of a two-colour palette.
Bytes Gif(uint16_t sw, uint16_t sh, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  Bytes f = {'G', 'I', 'F', '8', '9', 'a'};
  Put16le(f, sw), Put16le(f, sh);
  for (uint8_t b : {0x80, 0, 0, 0, 0, 0, 255, 255, 255}) f.push_back(b);
  f.push_back(0x2c);
  Put16le(f, x), Put16le(f, y), Put16le(f, w), Put16le(f, h);
  f.push_back(0);
  // LZW, minimum code size 2: clear, then index 1 for every pixel with the
  // code width growing as the table fills (kept simple: one code a pixel).
  Bytes codes;
  uint32_t acc = 0, bits = 0, width = 3, next = 6;
  auto emit = [&](uint32_t code) {
    acc |= code << bits, bits += width;
    while (bits >= 8) codes.push_back(uint8_t(acc)), acc >>= 8, bits -= 8;
  };
  emit(4);
  for (int i = 0; i < w * h; ++i) {
    emit(1);
    if (i > 0 && ++next == (1u << width) && width < 12) ++width;
  }
  emit(5);
  if (bits) codes.push_back(uint8_t(acc));
  f.push_back(2);
  for (size_t i = 0; i < codes.size(); i += 255) {
    const size_t n = std::min<size_t>(255, codes.size() - i);
    f.push_back(uint8_t(n));
    f.insert(f.end(), codes.begin() + long(i), codes.begin() + long(i + n));
  }
  f.push_back(0);
  f.push_back(0x3b);
  return f;
}

TEST(HostilePictures, GifScreensAreSizedByWhatTheFramesCover) {
  const Bytes white = {255, 255, 255, 255};
  // The 16387 x 12290 screen around one 3 x 2 frame: the frame's extent.
  const Bytes hostile = Gif(16387, 12290, 0, 0, 3, 2);
  EXPECT_LT(hostile.size(), 64u);
  Result r = Read(hostile);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picture.width, 3);
  EXPECT_EQ(r.picture.height, 2);
  EXPECT_EQ(Pixel(r.picture, 2, 1), white);
  // Placed within a huge screen, the frame keeps its place.
  r = Read(Gif(16387, 12290, 5, 4, 3, 2));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picture.width, 8);
  EXPECT_EQ(r.picture.height, 6);
  EXPECT_EQ(Pixel(r.picture, 0, 0), kClear);
  EXPECT_EQ(Pixel(r.picture, 7, 5), white);
  // A screen the frame justifies, or a small one, is kept.
  for (const auto& [sw, sh] : {std::pair{12, 8}, std::pair{1024, 1024}}) {
    r = Read(Gif(uint16_t(sw), uint16_t(sh), 1, 1, 3, 2));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.picture.width, sw);
    EXPECT_EQ(r.picture.height, sh);
    EXPECT_EQ(Pixel(r.picture, 1, 1), white);
    EXPECT_EQ(Pixel(r.picture, 0, 0), kClear);
  }
}

TEST(HostilePictures, DecodeLimitsAreOneSettingForEveryReader) {
  const img::DecodeLimits defaults = img::CurrentDecodeLimits();
  EXPECT_EQ(defaults.maxPixels, int64_t{1} << 27);
  EXPECT_EQ(defaults.maxSide, 65535);
  const Bytes gif = Gif(40, 30, 0, 0, 40, 30);
  const Bytes bmp = Rle8Bmp(40, 30, {0, 1});
  for (const Bytes* file : {&gif, &bmp}) {
    EXPECT_TRUE(Read(*file).ok);
    ASSERT_EQ(DRO_XSetDecodeLimits(1199, 0), 1);  // one pixel short
    EXPECT_FALSE(Read(*file).ok);
    ASSERT_EQ(DRO_XSetDecodeLimits(1200, 39), 1);  // one column short
    EXPECT_FALSE(Read(*file).ok);
    ASSERT_EQ(DRO_XSetDecodeLimits(1200, 40), 1);
    EXPECT_TRUE(Read(*file).ok);
    ASSERT_EQ(DRO_XSetDecodeLimits(0, 0), 1);
  }
  // Out of range: refused, nothing changed.
  EXPECT_EQ(DRO_XSetDecodeLimits(-1, 0), 0);
  EXPECT_EQ(DRO_XSetDecodeLimits(536870912, 0), 0);
  EXPECT_EQ(DRO_XSetDecodeLimits(0, -5), 0);
  EXPECT_EQ(img::CurrentDecodeLimits().maxPixels, defaults.maxPixels);
  EXPECT_EQ(img::CurrentDecodeLimits().maxSide, defaults.maxSide);
}

TEST(HostilePictures, EffectScriptSizesAreHeldToTheDecodeLimits) {
  drovine_test::ScratchDir dir;
  const std::string path = dir.Write("big.drfx", "effect-script 1\nsize 200 100\n");
  dro::platform::effects::Session session;
  dro::platform::effects::ScriptHeader header;
  EXPECT_TRUE(session.ReadScriptHeaderFromFile(path.c_str(), header));
  ASSERT_EQ(DRO_XSetDecodeLimits(19999, 0), 1);
  EXPECT_FALSE(session.ReadScriptHeaderFromFile(path.c_str(), header));
  EXPECT_FALSE(session.LoadScriptFromFile(path.c_str()));
  EXPECT_STREQ(session.error(), "line 2: the size is beyond the decode limits");
  ASSERT_EQ(DRO_XSetDecodeLimits(20000, 0), 1);
  EXPECT_TRUE(session.LoadScriptFromFile(path.c_str()));
  ASSERT_EQ(DRO_XSetDecodeLimits(0, 0), 1);
}

TEST(HostilePictures, ThePixelLimitComesFromTheEnvironment) {
  // Read when a limit is first needed, and again when it is reset: a test
  // process of its own sees the variable.
  ASSERT_EQ(setenv("DROVINE_MAX_IMAGE_PIXELS", "1000", 1), 0);
  ASSERT_EQ(DRO_XSetDecodeLimits(0, 0), 1);
  EXPECT_EQ(img::CurrentDecodeLimits().maxPixels, 1000);
  EXPECT_FALSE(Read(Gif(40, 30, 0, 0, 40, 30)).ok);
  for (const char* junk : {"12abc", "-4", "0", "99999999999", ""}) {
    ASSERT_EQ(setenv("DROVINE_MAX_IMAGE_PIXELS", junk, 1), 0);
    ASSERT_EQ(DRO_XSetDecodeLimits(0, 0), 1);
    EXPECT_EQ(img::CurrentDecodeLimits().maxPixels, int64_t{1} << 27) << junk;
  }
  unsetenv("DROVINE_MAX_IMAGE_PIXELS");
}

}  // namespace
