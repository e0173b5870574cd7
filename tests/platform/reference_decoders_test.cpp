// The readers and writers against independent decoders: files our writers
// make are decoded by netpbm and ImageMagick, and files ImageMagick makes
// in many layouts are read by us and compared with its own decoding, pixel
// for pixel. The tools come with the project's bootstrap; where they are
// missing the test says so and skips.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/image_library.h"
#include "support/scratch_dir.h"

namespace {

namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

// The real ImageMagick, not a wrapper that may stand in front of it.
std::string Convert() {
  for (const char* path : {"/usr/bin/convert", "/usr/local/bin/convert"})
    if (std::ifstream(path).good()) return path;
  return "";
}
bool Have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}
bool Shell(const std::string& command) {
  return std::system((command + " 2>/dev/null").c_str()) == 0;
}
Bytes Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// 29 x 17 RGBA with gradients, a few flat areas (so palettes and runs form)
// and every kind of alpha, colour under alpha 0 included.
Bytes Source(int w, int h) {
  Bytes p(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &p[(size_t(y) * w + x) * 4];
      const bool flat = x < 6;
      q[0] = flat ? 200 : uint8_t(x * 255 / (w - 1));
      q[1] = flat ? 30 : uint8_t(y * 255 / (h - 1));
      q[2] = uint8_t((x * 7 + y * 13) & 255);
      q[3] = y < 4 ? 255 : (x + y) % 7 == 0 ? 0 : uint8_t((x * 37 + y * 11) % 256);
    }
  return p;
}
constexpr int kW = 29, kH = 17;

// ImageMagick's decoding of a file as 8-bit RGBA.
Bytes MagickRgba(const std::string& convert, const std::string& file, const std::string& raw) {
  if (!Shell(convert + " '" + file + "[0]' -depth 8 RGBA:'" + raw + "'")) return {};
  return Slurp(raw);
}

// The pixels of a binary PPM (P6, maxval 255).
Bytes PpmPixels(const Bytes& ppm) {
  std::string text(ppm.begin(), ppm.begin() + long(std::min<size_t>(ppm.size(), 64)));
  int w = 0, h = 0, max = 0, used = 0;
  if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &w, &h, &max, &used) != 3 || max != 255) return {};
  return Bytes(ppm.begin() + used + 1, ppm.end());
}

TEST(ReferenceDecoders, FilesWeWriteDecodeTheSameElsewhere) {
  const std::string convert = Convert();
  if (convert.empty() || !Have("pngtopnm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  drovine_test::ScratchDir dir;
  const Bytes rgba = Source(kW, kH);
  Bytes rgb;
  for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i + 3]);
  struct Case {
    const char* name;
    bool keepsAlpha;
    const char* netpbm;
  } cases[] = {{"a.png", true, "pngtopnm"},
               {"a.tif", true, nullptr},  // tifftopnm composes alpha over black
               {"a.bmp", false, "bmptopnm"},
               {"a.psd", false, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.File(c.name);
    const std::string ext = std::string(c.name).substr(2);
    bool ok = false;
    if (ext == "png") ok = img::WritePng(file.c_str(), rgba.data(), kW, kH, 4, kW * 4, 0, 0);
    if (ext == "tif") ok = img::WriteTiff(file.c_str(), rgba.data(), kW, kH, 4, kW * 4, 0, 0);
    if (ext == "bmp") ok = img::WriteBmp(file.c_str(), rgba.data(), kW, kH, 4, kW * 4, 0, 0);
    if (ext == "psd") ok = img::WritePsd(file.c_str(), rgba.data(), kW, kH, 4, kW * 4);
    ASSERT_TRUE(ok);
    Bytes expected = rgba;
    if (!c.keepsAlpha)
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
    EXPECT_EQ(MagickRgba(convert, file, dir.File("m.raw")), expected);
    if (c.netpbm) {
      ASSERT_TRUE(Shell(std::string(c.netpbm) + " '" + file + "' > '" + dir.File("n.ppm") + "'"));
      EXPECT_EQ(PpmPixels(Slurp(dir.File("n.ppm"))), rgb);
    }
  }
  // GIF from palette indices: every index exactly, index 2 transparent.
  Bytes indices(kW * kH);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i % 5);
  const Bytes palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 250, 250, 250};
  const std::string gif = dir.File("a.gif");
  ASSERT_TRUE(img::WriteGif(gif.c_str(), indices.data(), kW, kH, kW, palette.data(), 5, 2));
  ASSERT_TRUE(Shell("giftopnm '" + gif + "' > '" + dir.File("g.ppm") + "'"));
  const Bytes decoded = PpmPixels(Slurp(dir.File("g.ppm")));
  ASSERT_EQ(decoded.size(), indices.size() * 3);
  for (size_t i = 0; i < indices.size(); ++i)
    ASSERT_EQ(Bytes(&decoded[i * 3], &decoded[i * 3 + 3]),
              Bytes(&palette[indices[i] * 3], &palette[indices[i] * 3 + 3]))
        << i;
}

TEST(ReferenceDecoders, LayoutsImageMagickWritesReadAsItDecodesThem) {
  const std::string convert = Convert();
  if (convert.empty()) GTEST_SKIP() << "ImageMagick missing";
  drovine_test::ScratchDir dir;
  const Bytes rgba = Source(kW, kH);
  const std::string source = dir.File("source.png");
  ASSERT_TRUE(img::WritePng(source.c_str(), rgba.data(), kW, kH, 4, kW * 4, 0, 0));
  struct Variant {
    const char* options;  // between the source and the output
    const char* output;
    bool clearColourFree;  // where alpha is 0 the colour may differ (palette formats)
    int tolerance = 0;     // 16-bit colour maps: we keep the high byte, it rounds
    bool againstSource = false;
  } variants[] = {
      {"-interlace GIF", "gif:i.gif", true},
      {"-alpha off", "gif:o.gif", false},
      {"-alpha off -type TrueColor", "bmp3:t24.bmp", false},
      {"", "bmp:t32.bmp", false},
      {"-alpha off -define bmp:subtype=RGB565", "bmp:t16.bmp", false},
      {"-alpha off -define bmp:subtype=RGB555", "bmp:t15.bmp", false},
      {"-alpha off -colors 200 -type Palette", "bmp3:p8.bmp", false},
      {"-alpha off -colors 12 -type Palette", "bmp3:p4.bmp", false},
      {"-alpha off -monochrome", "bmp3:p1.bmp", false},
      {"-alpha off -colors 200 -type Palette -compress RLE", "bmp3:r8.bmp", false},
      {"-alpha off -colors 12 -type Palette -compress RLE", "bmp3:r4.bmp", false},
      // Its PSD reader takes the merged picture as matted against white, which
      // its own writer does not do: these are checked against the source.
      {"", "psd:rle.psd", false, 0, true},
      {"-compress none", "psd:raw.psd", false, 0, true},
      {"-depth 16", "psd:d16.psd", false, 0, true},
      {"-alpha off -colorspace Gray", "psd:grey.psd", false},
      {"-define tiff:rows-per-strip=5", "tiff:strips.tif", false},
      {"-define tiff:tile-geometry=16x16", "tiff:tiles.tif", false},
      {"-define tiff:tile-geometry=16x16 -depth 16", "tiff:tiles16.tif", false},
      {"-depth 16 -compress lzw", "tiff:strips16.tif", false},
      {"-interlace plane -compress zip", "tiff:planes.tif", false},
      {"-define tiff:tile-geometry=32x16 -interlace plane", "tiff:tileplanes.tif", false},
      {"-alpha off -colorspace Gray -define tiff:tile-geometry=16x16", "tiff:grey.tif", false},
      {"-alpha off -colors 16 -type Palette", "tiff:palette.tif", false, 1},
      {"-alpha off -monochrome", "tiff:bilevel.tif", false},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(std::string(v.options) + " " + v.output);
    const std::string out = v.output;
    const std::string file = dir.File(out.substr(out.find(':') + 1));
    ASSERT_TRUE(Shell(convert + " '" + source + "' " + v.options + " " +
                      out.substr(0, out.find(':') + 1) + "'" + file + "'"));
    const Bytes expected = v.againstSource ? rgba : MagickRgba(convert, file, dir.File("m.raw"));
    ASSERT_EQ(expected.size(), rgba.size());
    img::Picture p;
    const Bytes data = Slurp(file);
    ASSERT_TRUE(img::ReadPictureRgba(data.data(), data.size(), p));
    ASSERT_EQ(p.width, kW);
    ASSERT_EQ(p.height, kH);
    const Bytes ours(p.pixels.data(), p.pixels.data() + rgba.size());
    size_t differences = 0;
    for (size_t i = 0; i < ours.size(); i += 4) {
      const bool clear = expected[i + 3] == 0 && ours[i + 3] == 0;
      for (size_t c = 0; c < 4; ++c)
        if (std::abs(ours[i + c] - expected[i + c]) > v.tolerance && !(clear && v.clearColourFree))
          ++differences;
    }
    EXPECT_EQ(differences, 0u);
  }
  // A top-down copy of the 24-bit file (negative height, rows reversed)
  // reads as the same picture.
  Bytes bmp = Slurp(dir.File("t24.bmp"));
  const uint32_t offset = bmp[10] | bmp[11] << 8 | bmp[12] << 16 | uint32_t(bmp[13]) << 24;
  const size_t row = (size_t(kW) * 3 + 3) / 4 * 4;
  ASSERT_GE(bmp.size(), offset + row * kH);
  Bytes flipped = bmp;
  for (int y = 0; y < kH; ++y)
    std::copy_n(&bmp[offset + row * y], row, &flipped[offset + row * (kH - 1 - y)]);
  const int32_t negative = -kH;
  std::memcpy(&flipped[22], &negative, 4);
  img::Picture a, b;
  ASSERT_TRUE(img::ReadPictureRgba(bmp.data(), bmp.size(), a));
  ASSERT_TRUE(img::ReadPictureRgba(flipped.data(), flipped.size(), b));
  EXPECT_EQ(Bytes(a.pixels.begin(), a.pixels.end()), Bytes(b.pixels.begin(), b.pixels.end()));
}

TEST(ReferenceDecoders, SixteenBitChannelsKeepTheirHighByteInEveryReader) {
  const std::string convert = Convert();
  if (convert.empty()) GTEST_SKIP() << "ImageMagick missing";
  drovine_test::ScratchDir dir;
  // 16-bit samples that are not multiples of 257, so keeping the high byte
  // and rounding differ, with alpha.
  const std::string source = dir.File("deep.png");
  ASSERT_TRUE(Shell(convert + " -size " + std::to_string(kW) + "x" + std::to_string(kH) +
                    " xc: -channel R -fx 'i/w*0.9+0.003' -channel G -fx 'j/h' -channel B -fx "
                    "'(i+j)/(w+h)' +channel -alpha set -channel A -fx '0.2+0.8*i/w' +channel "
                    "-depth 16 'png48:" +
                    source + "'"));
  const char* outputs[] = {"png:same.png", "tiff:strips.tif", "tiff:tiles.tif", "psd:deep.psd"};
  for (const char* output : outputs) {
    SCOPED_TRACE(output);
    const std::string out = output;
    const std::string file = dir.File(out.substr(out.find(':') + 1));
    const std::string options =
        out == "tiff:tiles.tif" ? " -define tiff:tile-geometry=16x16 " : " ";
    ASSERT_TRUE(Shell(convert + " '" + source + "'" + options + "-depth 16 " +
                      out.substr(0, out.find(':') + 1) + "'" + file + "'"));
    // Its PSD reader mattes the merged picture against white, which its
    // writer does not do: a PSD is checked against the source.
    const std::string reference = out.rfind("psd:", 0) == 0 ? source : file;
    ASSERT_TRUE(Shell(convert + " '" + reference + "[0]' -depth 16 -endian MSB RGBA:'" +
                      dir.File("m16.raw") + "'"));
    const Bytes wide = Slurp(dir.File("m16.raw"));
    ASSERT_EQ(wide.size(), size_t(kW) * kH * 8);
    const Bytes data = Slurp(file);
    img::Picture p;
    ASSERT_TRUE(img::ReadPictureRgba(data.data(), data.size(), p));
    ASSERT_EQ(p.width * p.height, kW * kH);
    size_t differences = 0, notMultiples = 0;
    for (size_t i = 0; i < size_t(kW) * kH * 4; ++i) {
      const uint32_t v = uint32_t(wide[i * 2]) << 8 | wide[i * 2 + 1];
      if (v % 257) ++notMultiples;
      if (p.pixels[i] != wide[i * 2]) ++differences;
    }
    EXPECT_GT(notMultiples, size_t(kW) * kH);  // the test tells the two apart
    EXPECT_EQ(differences, 0u);
  }
}

}  // namespace
