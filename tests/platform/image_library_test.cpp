// The image library seam: codecs round trips, damaged files, block
// operations, resampling, blur and the spline.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "platform/image_library.h"
#include "support/allocation_sweep.h"
#include "support/scratch_dir.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

using TempDir = drovine_test::ScratchDir;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// A picture with every channel varying: gradients plus a checker in alpha.
Bytes TestPicture(int w, int h, int channels) {
  Bytes p(size_t(w) * h * channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &p[(size_t(y) * w + x) * channels];
      q[0] = uint8_t(x * 255 / std::max(1, w - 1));
      q[1] = uint8_t(y * 255 / std::max(1, h - 1));
      q[2] = uint8_t((x * 7 + y * 13) & 255);
      if (channels == 4) q[3] = uint8_t(((x / 4 + y / 4) & 1) ? 255 : 40 + x % 100);
    }
  return p;
}

struct Read {
  bool ok = false;
  int32_t type = 0;
  img::Picture picture;
};
Read ReadBack(const std::string& path, bool rgb = false) {
  Read r;
  img::FileSource* source = img::FileSource::Open(path.c_str());
  if (!source) return r;
  r.type = source->GuessType();
  source->Rewind();
  r.ok = rgb ? source->ReadRGB(r.picture) : source->ReadRgba(r.picture);
  img::FileSource::Close(source);
  return r;
}

Bytes PictureBytes(const img::Picture& p) {
  return Bytes(p.pixels.data(), p.pixels.data() + size_t(p.width) * p.height * p.channels);
}

// ---- codecs ----------------------------------------------------------------

TEST(ImageCodecs, LosslessFormatsRoundTripExactly) {
  TempDir dir;
  const int w = 37, h = 23;  // odd sizes exercise row padding
  const Bytes rgba = TestPicture(w, h, 4), rgb = TestPicture(w, h, 3);

  struct Case {
    const char* name;
    int32_t type;
    bool keepsAlpha;
    bool (*write)(const std::string&, const Bytes&, int channels);
  };
  const Case cases[] = {
      {"a.png", img::kFilePng, true,
       [](const std::string& f, const Bytes& p, int c) {
         return img::WritePng(f.c_str(), p.data(), w, h, c, w * c, 72, 72);
       }},
      {"a.tif", img::kFileTiff, true,
       [](const std::string& f, const Bytes& p, int c) {
         return img::WriteTiff(f.c_str(), p.data(), w, h, c, w * c, 300, 300);
       }},
      {"a.bmp", img::kFileBmp, false,
       [](const std::string& f, const Bytes& p, int c) {
         return img::WriteBmp(f.c_str(), p.data(), w, h, c, w * c, 96, 96);
       }},
      {"a.psd", img::kFilePsd, false,
       [](const std::string& f, const Bytes& p, int c) {
         return img::WritePsd(f.c_str(), p.data(), w, h, c, w * c);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.File(c.name);
    const Bytes before = rgba;
    ASSERT_TRUE(c.write(file, rgba, 4));
    ASSERT_EQ(rgba, before);  // writers never change the caller's pixels
    Read r = ReadBack(file);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.type, c.type);
    ASSERT_EQ(r.picture.width, w);
    ASSERT_EQ(r.picture.height, h);
    ASSERT_EQ(r.picture.channels, 4);
    Bytes expected = rgba;
    if (!c.keepsAlpha)
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
    EXPECT_EQ(PictureBytes(r.picture), expected);

    // RGB in, RGB out.
    ASSERT_TRUE(c.write(file, rgb, 3));
    r = ReadBack(file, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.picture.channels, 3);
    EXPECT_EQ(PictureBytes(r.picture), rgb);
  }
}

TEST(ImageCodecs, JpegRoundTripIsCloseAndGifKeepsPaletteAndTransparency) {
  TempDir dir;
  const int w = 64, h = 48;
  Bytes rgb(size_t(w) * h * 3);  // smooth, as photographs are
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &rgb[(size_t(y) * w + x) * 3];
      q[0] = uint8_t(x * 3), q[1] = uint8_t(y * 4), q[2] = uint8_t(200 - x - y);
    }
  const Bytes written = rgb;
  const std::string jpg = dir.File("a.jpg");
  ASSERT_TRUE(img::WriteJpeg(jpg.c_str(), rgb.data(), w, h, 3, w * 3, 97, 72, 72));
  Read r = ReadBack(jpg, true);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.type, img::kFileJpeg);
  ASSERT_EQ(r.picture.width, w);
  double error = 0;
  const Bytes back = PictureBytes(r.picture);
  for (size_t i = 0; i < rgb.size(); ++i) error += std::abs(int(rgb[i]) - int(back[i]));
  EXPECT_LT(error / double(rgb.size()), 1.5);  // quality 97: small mean error
  EXPECT_EQ(rgb, written);                     // the caller's pixels are not touched

  // GIF: indices through a palette, index 2 transparent.
  const uint8_t palette[4 * 3] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  Bytes indices(size_t(w) * h);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i * 7 % 4);
  const std::string gif = dir.File("a.gif");
  ASSERT_TRUE(img::WriteGif(gif.c_str(), indices.data(), w, h, w, palette, 4, 2));
  r = ReadBack(gif);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.type, img::kFileGif);
  const Bytes px = PictureBytes(r.picture);
  for (size_t i = 0; i < indices.size(); ++i) {
    const uint8_t* q = &px[i * 4];
    const int k = indices[i];
    if (k == 2) {
      ASSERT_EQ(q[3], 0) << i;
    } else {
      ASSERT_EQ(Bytes(q, q + 4),
                (Bytes{palette[k * 3], palette[k * 3 + 1], palette[k * 3 + 2], 255}))
          << i;
    }
  }
  // An index outside the palette is refused rather than written.
  indices[5] = 4;
  EXPECT_FALSE(img::WriteGif(gif.c_str(), indices.data(), w, h, w, palette, 4, -1));
}

// Reads the pHYs chunk of a PNG by walking its chunks (independent of libpng).
bool PngPhys(const Bytes& png, uint32_t& x, uint32_t& y, int& unit) {
  auto be32 = [&](size_t at) {
    return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 |
           png[at + 3];
  };
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t len = be32(at);
    if (std::memcmp(&png[at + 4], "pHYs", 4) == 0 && len == 9) {
      x = be32(at + 8), y = be32(at + 12), unit = png[at + 16];
      return true;
    }
    at += 12 + len;
  }
  return false;
}

TEST(ImageCodecs, PngCarriesItsResolutionAndPassesAnIndependentCheck) {
  TempDir dir;
  const Bytes rgba = TestPicture(20, 10, 4);
  const std::string file = dir.File("res.png");
  ASSERT_TRUE(img::WritePng(file.c_str(), rgba.data(), 20, 10, 4, 80, 72, 300));
  uint32_t x = 0, y = 0;
  int unit = -1;
  ASSERT_TRUE(PngPhys(ReadFile(file), x, y, unit));
  EXPECT_EQ(x, 2834u);  // 72 dpi, whole pixels per metre
  EXPECT_EQ(y, 11811u);
  EXPECT_EQ(unit, 1);
  if (std::system("command -v pngfix >/dev/null 2>&1") == 0) {
    const std::string command = "pngfix -q " + file + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  // No resolution asked: no pHYs chunk.
  ASSERT_TRUE(img::WritePng(file.c_str(), rgba.data(), 20, 10, 4, 80, 0, 0));
  EXPECT_FALSE(PngPhys(ReadFile(file), x, y, unit));
  // Bad arguments write nothing.
  EXPECT_FALSE(img::WritePng(file.c_str(), rgba.data(), 20, 10, 2, 80, 72, 72));
  EXPECT_FALSE(img::WritePng(file.c_str(), rgba.data(), 20, 10, 4, 79, 72, 72));
  EXPECT_FALSE(img::WritePng(dir.File("missing/x.png").c_str(), rgba.data(), 20, 10, 4, 80, 0, 0));
}

TEST(ImageCodecs, DamagedFilesOfEveryTypeAreRefused) {
  TempDir dir;
  const int w = 40, h = 30;
  const Bytes rgba = TestPicture(w, h, 4);
  Bytes indices(size_t(w) * h, 1);
  const uint8_t palette[6] = {0, 0, 0, 255, 255, 255};
  std::vector<std::string> files;
  auto add = [&](const char* name, bool ok) {
    ASSERT_TRUE(ok) << name;
    files.push_back(dir.File(name));
  };
  add("d.png", img::WritePng(dir.File("d.png").c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  add("d.jpg", img::WriteJpeg(dir.File("d.jpg").c_str(), rgba.data(), w, h, 4, w * 4, 90, 0, 0));
  add("d.tif", img::WriteTiff(dir.File("d.tif").c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  add("d.bmp", img::WriteBmp(dir.File("d.bmp").c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  add("d.psd", img::WritePsd(dir.File("d.psd").c_str(), rgba.data(), w, h, 4, w * 4));
  add("d.gif", img::WriteGif(dir.File("d.gif").c_str(), indices.data(), w, h, w, palette, 2, -1));

  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const Bytes whole = ReadFile(file);
    ASSERT_TRUE(ReadBack(file).ok);
    // Cut at several points: inside the header, the middle, near the end.
    for (size_t keep : {size_t(10), whole.size() / 3, whole.size() / 2, whole.size() - 20}) {
      const std::string cut = file + ".cut";
      WriteFile(cut, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(keep)));
      img::Picture untouched;
      img::FileSource* source = img::FileSource::Open(cut.c_str());
      ASSERT_NE(source, nullptr);
      EXPECT_FALSE(source->ReadRgba(untouched)) << "kept " << keep;
      EXPECT_FALSE(untouched.pixels.present());
      img::FileSource::Close(source);
    }
    // The signature with garbage after it.
    Bytes garbage(whole.begin(), whole.begin() + 8);
    for (int i = 0; i < 500; ++i) garbage.push_back(uint8_t(i * 131 + 7));
    WriteFile(file + ".bad", garbage);
    img::Picture p;
    EXPECT_FALSE(img::ReadImageRgba((file + ".bad").c_str(), p));
  }
}

TEST(ImageCodecs, CorruptedFilesNeverReadOutsideTheirBuffers) {
  // Seeded damage: bytes overwritten at random places, and cuts at every
  // 7th length. A reader may refuse or deliver a picture, but it must stay
  // inside its buffers (the sanitizer build checks) and give a sane size.
  TempDir dir;
  const int w = 24, h = 16;
  const Bytes rgba = TestPicture(w, h, 4);
  Bytes indices(size_t(w) * h);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i % 3);
  const uint8_t palette[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::string names[] = {"f.png", "f.jpg", "f.tif", "f.bmp", "f.psd", "f.gif"};
  ASSERT_TRUE(img::WritePng(dir.File(names[0]).c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  ASSERT_TRUE(img::WriteJpeg(dir.File(names[1]).c_str(), rgba.data(), w, h, 4, w * 4, 80, 0, 0));
  ASSERT_TRUE(img::WriteTiff(dir.File(names[2]).c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  ASSERT_TRUE(img::WriteBmp(dir.File(names[3]).c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
  ASSERT_TRUE(img::WritePsd(dir.File(names[4]).c_str(), rgba.data(), w, h, 4, w * 4));
  ASSERT_TRUE(img::WriteGif(dir.File(names[5]).c_str(), indices.data(), w, h, w, palette, 3, -1));
  uint32_t state = 12345;
  auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Bytes whole = ReadFile(dir.File(name));
    const std::string damaged = dir.File("damaged-" + name);
    int refused = 0;
    for (int round = 0; round < 60; ++round) {
      Bytes b = whole;
      const int hits = 1 + int(next() % 4);
      for (int k = 0; k < hits; ++k) b[next() % b.size()] = uint8_t(next());
      if (round % 2) b.resize(std::max<size_t>(1, (round * 7) % b.size()));
      WriteFile(damaged, b);
      img::Picture p;
      if (img::ReadImageRgba(damaged.c_str(), p)) {
        ASSERT_TRUE(p.pixels.present());
        ASSERT_GT(p.width, 0);
        ASSERT_GT(p.height, 0);
        ASSERT_GE(p.pixels.size(), size_t(p.width) * p.height * 4);
      } else {
        ++refused;
        EXPECT_FALSE(p.pixels.present());
      }
    }
    EXPECT_GT(refused, 0);
  }
}

TEST(ImageCodecs, TypesMissingFilesAndMetafiles) {
  TempDir dir;
  EXPECT_EQ(img::FileSource::Open(dir.File("none.png").c_str()), nullptr);
  EXPECT_EQ(img::FileSource::Open(nullptr), nullptr);
  EXPECT_EQ(img::FileSource::Open(""), nullptr);

  // A placeable metafile and an enhanced one are told apart but not read.
  Bytes wmf = {0xd7, 0xcd, 0xc6, 0x9a};
  wmf.resize(64, 0);
  Bytes emf(88, 0);
  emf[0] = 1;
  std::memcpy(&emf[40], " EMF", 4);
  WriteFile(dir.File("a.wmf"), wmf);
  WriteFile(dir.File("a.emf"), emf);
  WriteFile(dir.File("a.txt"), Bytes{'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(ReadBack(dir.File("a.wmf")).type, img::kFileMetafile);
  EXPECT_EQ(ReadBack(dir.File("a.emf")).type, img::kFileEnhancedMetafile);
  EXPECT_EQ(ReadBack(dir.File("a.txt")).type, img::kFileUnknown);
  EXPECT_FALSE(ReadBack(dir.File("a.wmf")).ok);
  EXPECT_FALSE(ReadBack(dir.File("a.txt")).ok);
}

TEST(ImageCodecs, ReadingSurvivesAnAllocationFailure) {
  TempDir dir;
  const Bytes rgba = TestPicture(16, 16, 4);
  const std::string file = dir.File("m.png");
  ASSERT_TRUE(img::WritePng(file.c_str(), rgba.data(), 16, 16, 4, 64, 0, 0));
  img::Picture p;
  bool ok = false;
  drovine_test::SweepAllocationFailures(
      {},
      [&] {
        p = img::Picture{};
        ok = img::ReadImageRgba(file.c_str(), p);
      },
      [&](int64_t) {
        EXPECT_FALSE(ok);
        EXPECT_FALSE(p.pixels.present());
      });
  ASSERT_TRUE(ok);
  EXPECT_EQ(PictureBytes(p), rgba);
}

// Files made by hand: the layouts our writers never produce.
void Put16be(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v));
}
void Put32be(Bytes& b, uint32_t v) {
  Put16be(b, v >> 16), Put16be(b, v & 0xffff);
}
void Put16le(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
}
void Put32le(Bytes& b, uint32_t v) {
  Put16le(b, v & 0xffff), Put16le(b, v >> 16);
}

TEST(ImageCodecs, PsdWithPackBitsAndTransparencyChannel) {
  // 3 x 2 RGB with a transparency channel (layer count -1), RLE rows.
  Bytes f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Put16be(f, 4);
  Put32be(f, 2);
  Put32be(f, 3);
  Put16be(f, 8);
  Put16be(f, 3);
  Put32be(f, 0);                                     // colour mode data
  Put32be(f, 0);                                     // resources
  Put32be(f, 6), Put32be(f, 2), Put16be(f, 0xffff);  // layers: count -1
  Put16be(f, 1);                                     // PackBits
  // Every row: value v repeated 3 times is "-2, v" (2 bytes).
  const uint8_t values[4][2] = {{10, 20}, {30, 40}, {50, 60}, {128, 255}};
  for (int i = 0; i < 8; ++i) Put16be(f, 2);
  for (auto& channel : values)
    for (uint8_t v : channel) f.push_back(0xfe), f.push_back(v);
  TempDir dir;
  WriteFile(dir.File("h.psd"), f);
  Read r = ReadBack(dir.File("h.psd"));
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.picture.width, 3);
  ASSERT_EQ(r.picture.height, 2);
  const Bytes px = PictureBytes(r.picture);
  EXPECT_EQ(Bytes(px.begin(), px.begin() + 4), (Bytes{10, 30, 50, 128}));
  EXPECT_EQ(Bytes(px.end() - 4, px.end()), (Bytes{20, 40, 60, 255}));

  // A run that overflows its row is damage, not a write past the plane.
  f[f.size() - 2] = 0x05;  // a literal of 6 bytes in a row of 3
  WriteFile(dir.File("h.psd"), f);
  EXPECT_FALSE(ReadBack(dir.File("h.psd")).ok);
}

Bytes BmpFile(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const Bytes& palette,
              const Bytes& pixels, const Bytes& masks = {}) {
  Bytes f = {'B', 'M'};
  const uint32_t headerSize = masks.size() > 12 ? 108 : 40;
  const uint32_t off =
      14 + headerSize + (headerSize == 40 ? uint32_t(masks.size()) : 0) + uint32_t(palette.size());
  Put32le(f, off + uint32_t(pixels.size()));
  Put32le(f, 0);
  Put32le(f, off);
  Put32le(f, headerSize);
  Put32le(f, uint32_t(w)), Put32le(f, uint32_t(h));
  Put16le(f, 1), Put16le(f, bits);
  Put32le(f, compression), Put32le(f, uint32_t(pixels.size()));
  Put32le(f, 0), Put32le(f, 0), Put32le(f, uint32_t(palette.size() / 4)), Put32le(f, 0);
  f.insert(f.end(), masks.begin(), masks.end());
  f.resize(14 + headerSize + (headerSize == 40 ? masks.size() : 0), 0);
  f.insert(f.end(), palette.begin(), palette.end());
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

TEST(ImageCodecs, BmpVariants) {
  TempDir dir;
  const std::string file = dir.File("v.bmp");
  const Bytes palette = {0, 0, 255, 0, 0, 255, 0, 0};  // red, green (BGRx)
  // RLE8, 4 x 2: bottom row "3 x green, skip 1"; top row "4 x red".
  WriteFile(file, BmpFile(4, 2, 8, 1, palette, {3, 1, 0, 0, 4, 0, 0, 1}));
  Read r = ReadBack(file);
  ASSERT_TRUE(r.ok);
  Bytes px = PictureBytes(r.picture);
  EXPECT_EQ(Bytes(px.begin(), px.begin() + 4), (Bytes{255, 0, 0, 255}));        // top left
  EXPECT_EQ(Bytes(px.begin() + 16, px.begin() + 20), (Bytes{0, 255, 0, 255}));  // bottom left
  EXPECT_EQ(Bytes(px.end() - 4, px.end()), (Bytes{0, 0, 0, 0}));                // skipped
  // An RLE stream without its end mark is damage.
  WriteFile(file, BmpFile(4, 2, 8, 1, palette, {3, 1, 0, 0, 4}));
  EXPECT_FALSE(ReadBack(file).ok);

  // 16 bits 5-6-5 through bit fields, top-down (negative height).
  Bytes masks;
  Put32le(masks, 0xf800), Put32le(masks, 0x07e0), Put32le(masks, 0x001f);
  WriteFile(file, BmpFile(2, -1, 16, 3, {}, {0x00, 0xf8, 0x1f, 0x00}, masks));
  r = ReadBack(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(PictureBytes(r.picture), (Bytes{255, 0, 0, 255, 0, 0, 255, 255}));

  // 32 bits with a V4 header alpha mask.
  Bytes v4masks;
  Put32le(v4masks, 0xff0000), Put32le(v4masks, 0xff00), Put32le(v4masks, 0xff),
      Put32le(v4masks, 0xff000000);
  v4masks.resize(108 - 40, 0);
  WriteFile(file, BmpFile(1, 1, 32, 3, {}, {1, 2, 3, 4}, v4masks));
  r = ReadBack(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(PictureBytes(r.picture), (Bytes{3, 2, 1, 4}));
}

// ---- deflate ------------------------------------------------------------------

TEST(ImageBlocks, DeflateInflateRoundTripAndBounds) {
  Bytes data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i / 100 + (i % 7));
  dro::Buffer<uint8_t> packed;
  ASSERT_TRUE(img::Deflate(data.data(), data.size(), packed));
  ASSERT_TRUE(packed.present());
  EXPECT_LT(packed.size(), data.size() / 10);

  Bytes out(data.size() + 16, 0xee);
  size_t written = 0;
  ASSERT_TRUE(img::Inflate(packed.data(), packed.size(), out.data(), data.size(), written));
  EXPECT_EQ(written, data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(out[data.size()], 0xee);

  // Too small a block: refused, nothing written past it.
  std::fill(out.begin(), out.end(), 0xee);
  written = 7;
  EXPECT_FALSE(img::Inflate(packed.data(), packed.size(), out.data(), 5000, written));
  EXPECT_EQ(written, 7u);
  EXPECT_TRUE(std::all_of(out.begin() + 5000, out.end(), [](uint8_t b) { return b == 0xee; }));
  // Damaged or cut data.
  Bytes broken(packed.data(), packed.data() + packed.size());
  broken[broken.size() / 2] ^= 0x55;
  EXPECT_FALSE(img::Inflate(broken.data(), broken.size(), out.data(), data.size(), written));
  EXPECT_FALSE(img::Inflate(packed.data(), packed.size() / 2, out.data(), data.size(), written));
  EXPECT_FALSE(img::Inflate(nullptr, 10, out.data(), data.size(), written));
  // Straight into a caller block: the bound is always enough, a block
  // that is too small is refused without a byte written past it.
  Bytes direct(img::DeflateBound(data.size()) + 8, 0xee);
  size_t packedSize = 0;
  ASSERT_TRUE(
      img::DeflateInto(data.data(), data.size(), direct.data(), direct.size() - 8, packedSize, 9));
  ASSERT_TRUE(img::Inflate(direct.data(), packedSize, out.data(), data.size(), written));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  std::fill(direct.begin(), direct.end(), 0xee);
  EXPECT_FALSE(img::DeflateInto(data.data(), data.size(), direct.data(), 100, packedSize, -1));
  EXPECT_TRUE(std::all_of(direct.begin() + 100, direct.end(), [](uint8_t b) { return b == 0xee; }));
  EXPECT_FALSE(
      img::DeflateInto(data.data(), data.size(), direct.data(), direct.size(), packedSize, 10));
  // An empty block deflates and inflates too.
  dro::Buffer<uint8_t> empty;
  ASSERT_TRUE(img::Deflate(nullptr, 0, empty));
  ASSERT_TRUE(img::Inflate(empty.data(), empty.size(), out.data(), 0, written));
  EXPECT_EQ(written, 0u);
}

// ---- overlay -----------------------------------------------------------------

TEST(ImageBlocks, OverlayCopiesExactlyAndClipsOnEverySide) {
  for (int bpp : {1, 2, 3, 4, 8}) {
    SCOPED_TRACE(bpp);
    const int w = 10, h = 8, sw = 4, sh = 3;
    const int stride = w * bpp + 5, sstride = sw * bpp + 3;  // padded rows
    for (int x : {-3, -4, 0, 2, 8, 10, 11}) {
      for (int y : {-2, -3, 0, 5, 7, 8}) {
        Bytes dst(size_t(stride) * h, 0x11), src(size_t(sstride) * sh);
        for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 3 + 1);
        Bytes expected = dst;
        for (int r = 0; r < sh; ++r)
          for (int c = 0; c < sw; ++c)
            if (x + c >= 0 && x + c < w && y + r >= 0 && y + r < h)
              std::memcpy(&expected[size_t(y + r) * stride + size_t(x + c) * bpp],
                          &src[size_t(r) * sstride + size_t(c) * bpp], size_t(bpp));
        ASSERT_TRUE(img::OverlayImage(dst.data(), w, h, bpp, stride, src.data(), sw, sh, sstride, x,
                                      y, 1.0, 0));
        ASSERT_EQ(dst, expected) << x << "," << y;
      }
    }
  }
}

TEST(ImageBlocks, OverlayAlphaOverAndBadArguments) {
  // Opaque destination: out = (s * a + d * (255 - a)) / 255.
  Bytes dst = {100, 100, 100, 255, 0, 0, 0, 0};
  const Bytes src = {200, 0, 50, 128, 7, 8, 9, 0};
  ASSERT_TRUE(img::OverlayImage(dst.data(), 2, 1, 4, 8, src.data(), 2, 1, 8, 0, 0, 1.0, 1));
  EXPECT_EQ(dst[0], 150);  // (200 * 128 + 100 * 127) / 255 = 150.2
  EXPECT_EQ(dst[1], 50);
  EXPECT_EQ(dst[2], 75);
  EXPECT_EQ(dst[3], 255);
  EXPECT_EQ(Bytes(dst.begin() + 4, dst.end()), (Bytes{0, 0, 0, 0}));  // fully transparent source

  // Translucent over translucent: alpha 100 over 100 is 41000 / 255 =
  // 160.8, rounded to 161; each colour rounds its weighted mean likewise.
  Bytes under = {100, 100, 100, 100};
  const Bytes over = {200, 0, 50, 100};
  ASSERT_TRUE(img::OverlayImage(under.data(), 1, 1, 4, 4, over.data(), 1, 1, 4, 0, 0, 1.0, 1));
  EXPECT_EQ(under, (Bytes{162, 38, 69, 161}));

  // Onto transparency the source comes through unchanged.
  Bytes clear = {0, 0, 0, 0};
  const Bytes half = {40, 80, 120, 128};
  ASSERT_TRUE(img::OverlayImage(clear.data(), 1, 1, 4, 4, half.data(), 1, 1, 4, 0, 0, 1.0, 1));
  EXPECT_EQ(clear, half);
  // Opacity scales the source alpha; 0 leaves the destination.
  Bytes d2 = {0, 0, 0, 255};
  const Bytes white = {255, 255, 255, 255};
  ASSERT_TRUE(img::OverlayImage(d2.data(), 1, 1, 4, 4, white.data(), 1, 1, 4, 0, 0, 0.5, 1));
  EXPECT_EQ(d2, (Bytes{128, 128, 128, 255}));
  ASSERT_TRUE(img::OverlayImage(d2.data(), 1, 1, 4, 4, white.data(), 1, 1, 4, 0, 0, 0.0, 1));
  EXPECT_EQ(d2, (Bytes{128, 128, 128, 255}));

  Bytes keep = d2;
  EXPECT_FALSE(img::OverlayImage(d2.data(), 1, 1, 5, 5, white.data(), 1, 1, 5, 0, 0, 1.0, 0));
  EXPECT_FALSE(img::OverlayImage(d2.data(), 1, 1, 4, 3, white.data(), 1, 1, 4, 0, 0, 1.0, 0));
  EXPECT_FALSE(img::OverlayImage(d2.data(), 1, 1, 4, 4, nullptr, 1, 1, 4, 0, 0, 1.0, 0));
  EXPECT_FALSE(img::OverlayImage(d2.data(), 1, 1, 4, 4, white.data(), 1, 1, 4, 0, 0, NAN, 1));
  EXPECT_FALSE(img::OverlayImage(d2.data(), 1, 1, 4, 4, white.data(), 1, 1, 4, 0, 0, 1.0, 2));
  EXPECT_EQ(d2, keep);
  // Far outside: nothing to do, still a success, nothing touched.
  EXPECT_TRUE(img::OverlayImage(d2.data(), 1, 1, 4, 4, white.data(), 1, 1, 4, -2147483647,
                                2147483647, 1.0, 0));
  EXPECT_EQ(d2, keep);
}

// ---- channels and grey ------------------------------------------------------------

TEST(ImageBlocks, ChannelSwapsSplitsAndGrey) {
  const int w = 5, h = 3, stride = w * 4 + 4;
  Bytes rgba(size_t(stride) * h);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 11);
  const Bytes original = rgba;
  img::RgbaToBgra(rgba.data(), w, h, stride);
  EXPECT_EQ(rgba[0], original[2]);
  EXPECT_EQ(rgba[2], original[0]);
  EXPECT_EQ(rgba[stride - 1], original[stride - 1]);  // padding untouched
  img::RgbaToBgra(rgba.data(), w, h, stride);
  EXPECT_EQ(rgba, original);  // a second swap restores

  Bytes planes[4];
  uint8_t* p[4];
  for (int c = 0; c < 4; ++c) planes[c].assign(size_t(w) * h, 0), p[c] = planes[c].data();
  p[1] = nullptr;  // skipped
  ASSERT_TRUE(img::SplitChannels(rgba.data(), w, h, stride, p));
  EXPECT_EQ(planes[3][size_t(w) + 2], rgba[size_t(stride) + 2 * 4 + 3]);
  EXPECT_TRUE(std::all_of(planes[1].begin(), planes[1].end(), [](uint8_t b) { return b == 0; }));
  // Alpha into the first channel, the rest kept.
  Bytes target = rgba;
  const uint8_t* onlyFirst[4] = {planes[3].data(), nullptr, nullptr, nullptr};
  ASSERT_TRUE(img::CombineChannels(onlyFirst, w, h, target.data(), stride));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t at = size_t(y) * stride + size_t(x) * 4;
      ASSERT_EQ(target[at], rgba[at + 3]);
      ASSERT_EQ(target[at + 1], rgba[at + 1]);
    }

  Bytes rgb = {10, 20, 30, 40, 50, 60}, out(8, 0);
  ASSERT_TRUE(img::RgbToRgba(rgb.data(), 2, 1, 6, out.data(), 8, 200));
  EXPECT_EQ(out, (Bytes{10, 20, 30, 200, 40, 50, 60, 200}));

  // Grey: a grey pixel keeps its value; pure primaries follow the weights.
  const Bytes colors = {77, 77, 77, 255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 9};
  Bytes grey(4, 0);
  ASSERT_TRUE(img::ImageToGray8(colors.data(), 4, 1, 4, 16, grey.data(), 4));
  EXPECT_EQ(grey, (Bytes{77, 29, 77, 149}));
  EXPECT_FALSE(img::ImageToGray8(colors.data(), 4, 1, 2, 16, grey.data(), 4));
}

// ---- resampling and blur --------------------------------------------------------

// Expected byte i of a flat picture: one value, or for 8 bytes per pixel the
// two bytes of a 16-bit channel.
uint8_t Flat(int bpp, size_t i) {
  return bpp == 8 ? uint8_t(i % 2 ? 0xab : 0xcd) : uint8_t(0x5a);
}

TEST(ImageResampling, FlatPicturesStayFlatForEveryPixelSize) {
  for (int bpp : {1, 3, 4, 8}) {
    SCOPED_TRACE(bpp);
    const int sw = 9, sh = 7;
    Bytes src(size_t(sw) * sh * bpp);
    for (size_t i = 0; i < src.size(); ++i) src[i] = Flat(bpp, i);
    for (auto [dw, dh] : {std::pair{20, 15}, std::pair{3, 2}, std::pair{9, 7}}) {
      for (bool shrink : {false, true}) {
        Bytes dst(size_t(dw) * dh * bpp + 1, 0);
        dst.back() = 0x77;  // a guard byte after the block
        const bool ok = shrink ? img::DecimateImage(src.data(), sw, sh, sw * bpp, dst.data(), dw,
                                                    dh, dw * bpp, bpp, 1)
                               : img::ResizeImage(src.data(), sw, sh, sw * bpp, dst.data(), dw, dh,
                                                  dw * bpp, bpp, 4);
        ASSERT_TRUE(ok);
        for (size_t i = 0; i + 1 < dst.size(); ++i) ASSERT_EQ(dst[i], Flat(bpp, i)) << i;
        EXPECT_EQ(dst.back(), 0x77);
      }
    }
  }
}

TEST(ImageResampling, EnlargingInterpolatesAndShrinkingAverages) {
  // 2 x 1 grey: 0 and 200. Enlarged to 8 x 1 the row rises monotonically
  // between the two values.
  const Bytes two = {0, 200};
  Bytes wide(8, 0);
  ASSERT_TRUE(img::ResizeImage(two.data(), 2, 1, 2, wide.data(), 8, 1, 8, 1, 4));
  EXPECT_EQ(wide.front(), 0);
  EXPECT_EQ(wide.back(), 200);
  for (int i = 1; i < 8; ++i) EXPECT_GE(wide[i], wide[i - 1]);
  // A 4 x 4 checker of 0 and 255 decimated to 2 x 2 averages to grey.
  Bytes checker(16);
  for (int i = 0; i < 16; ++i) checker[i] = ((i / 4 + i % 4) & 1) ? 255 : 0;
  Bytes small(4, 0);
  ASSERT_TRUE(img::DecimateImage(checker.data(), 4, 4, 4, small.data(), 2, 2, 2, 1, 1));
  for (uint8_t v : small) EXPECT_NEAR(v, 128, 1);
  // Padded rows are honoured on both sides.
  Bytes padded = {10, 20, 99, 99, 30, 40, 99, 99};
  Bytes out(2 * 3, 0);
  ASSERT_TRUE(img::DecimateImage(padded.data(), 2, 2, 4, out.data(), 1, 1, 3, 1, 1));
  EXPECT_EQ(out[0], 25);
  EXPECT_EQ(out[1], 0);
}

TEST(ImageResampling, BadArgumentsLeaveTheTargetAlone) {
  Bytes src(64, 9), dst(64, 1);
  const Bytes before = dst;
  EXPECT_FALSE(img::ResizeImage(src.data(), 4, 4, 16, dst.data(), 4, 4, 16, 5, 4));
  EXPECT_FALSE(img::ResizeImage(src.data(), 4, 4, 15, dst.data(), 4, 4, 16, 4, 4));
  EXPECT_FALSE(img::ResizeImage(nullptr, 4, 4, 16, dst.data(), 4, 4, 16, 4, 4));
  EXPECT_FALSE(img::DecimateImage(src.data(), 0, 4, 16, dst.data(), 4, 4, 16, 4, 1));
  EXPECT_FALSE(img::DecimateImage(src.data(), 4, 4, 16, dst.data(), -1, 4, 16, 4, 1));
  EXPECT_FALSE(img::BlurImage(src.data(), 8, 8, 7, dst.data(), 8, 100));
  EXPECT_EQ(dst, before);
}

TEST(ImageResampling, BlurSpreadsAnEdgeAndKeepsFlatAreas) {
  const int w = 21, h = 21;
  Bytes src(size_t(w) * h, 0), dst(size_t(w) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 10; x < w; ++x) src[size_t(y) * w + x] = 240;  // a vertical edge
  ASSERT_TRUE(img::BlurImage(src.data(), w, h, w, dst.data(), w, 100));
  const uint8_t* row = &dst[10 * w];
  EXPECT_EQ(row[0], 0);     // far left stays dark
  EXPECT_EQ(row[20], 240);  // far right stays bright
  EXPECT_GT(row[9], 0);     // the edge is softened on both sides
  EXPECT_LT(row[10], 240);
  EXPECT_NEAR(row[9] + row[10], 240, 2);  // symmetric about the edge
  for (int x = 1; x < w; ++x) EXPECT_GE(row[x], row[x - 1]);
  // A weaker blur reaches less far.
  Bytes weak(dst.size(), 0);
  ASSERT_TRUE(img::BlurImage(src.data(), w, h, w, weak.data(), w, 1));
  EXPECT_EQ(weak[10 * w + 6], 0);
  EXPECT_GT(dst[10 * w + 6], 0);
  // In place works too.
  Bytes inplace = src;
  ASSERT_TRUE(img::BlurImage(inplace.data(), w, h, w, inplace.data(), w, 100));
  EXPECT_EQ(inplace, dst);
}

// ---- spline ------------------------------------------------------------------------

TEST(ImageSpline, PassesThroughTheControlPointsSmoothly) {
  const double x[3] = {0, 100, 200}, y[3] = {0, 80, 0}, z[3] = {0, 0, 0};
  double ox[101], oy[101], oz[101];
  ASSERT_TRUE(img::SplinePoints3D(x, y, z, 3, 101, 50, ox, oy, oz));
  EXPECT_DOUBLE_EQ(ox[0], 0);
  EXPECT_DOUBLE_EQ(oy[0], 0);
  EXPECT_DOUBLE_EQ(ox[50], 100);  // the middle control point is on the curve
  EXPECT_DOUBLE_EQ(oy[50], 80);
  EXPECT_DOUBLE_EQ(ox[100], 200);
  EXPECT_DOUBLE_EQ(oy[100], 0);
  for (int i = 0; i < 101; ++i) {
    EXPECT_DOUBLE_EQ(oz[i], 0);
    EXPECT_NEAR(oy[i], oy[100 - i], 1e-9);  // symmetric control points, symmetric curve
    if (i) {
      EXPECT_GT(ox[i], ox[i - 1]);
    }
  }
  // Smooth: no kink at the middle point (equal steps either side).
  EXPECT_NEAR(oy[51] - oy[50], oy[49] - oy[50], 1e-9);

  // The engine's call: 100 points, tension 50, z may be absent in the
  // output. Collinear points give a straight line.
  const double lx[3] = {10, 20, 30}, ly[3] = {5, 10, 15};
  double px[100], py[100];
  ASSERT_TRUE(img::SplinePoints3D(lx, ly, nullptr, 3, 100, 50, px, py, nullptr));
  EXPECT_DOUBLE_EQ(px[0], 10);
  EXPECT_DOUBLE_EQ(px[99], 30);
  for (int i = 0; i < 100; ++i) EXPECT_NEAR(py[i], px[i] / 2, 1e-9);
  EXPECT_FALSE(img::SplinePoints3D(lx, ly, nullptr, 1, 100, 50, px, py, nullptr));
  EXPECT_FALSE(img::SplinePoints3D(lx, ly, nullptr, 3, 1, 50, px, py, nullptr));
}

}  // namespace
