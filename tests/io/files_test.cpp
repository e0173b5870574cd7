// Files: what the writers put on disk is read back by independent programs
// (netpbm's converters, Python's imaging library for PSD); the extension
// tables, the page written row by row, resolutions, thumbnails and web
// pictures.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "io/files.h"
#include "platform/image_files.h"
#include "platform/image_library.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

using drovine_test::CanvasTest;
using drovine_test::Pixel64;
namespace io = dro::io;
namespace im = dro::platform::image;

constexpr int32_t kW = 37, kH = 23;  // odd: rows need padding in BMP and PCX

// At most 256 colours (so GIF keeps them exactly), every channel varied.
std::vector<uint8_t> Picture(int32_t w, int32_t h, int32_t channels) {
  std::vector<uint8_t> p(size_t(w) * h * channels);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* q = &p[(size_t(y) * w + x) * channels];
      q[0] = uint8_t((x % 8) * 33), q[1] = uint8_t((y % 8) * 35),
      q[2] = uint8_t(((x + y) % 4) * 80);
      if (channels == 4) q[3] = uint8_t((x * 29 + y * 3) % 256);
    }
  return p;
}

// A command's standard output.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    pclose(f);
  }
  return out;
}

// A binary netpbm picture (P5 grey or P6 colour) as its samples.
struct Pnm {
  int32_t w = 0, h = 0, channels = 0;
  std::vector<uint8_t> samples;
};
Pnm ParsePnm(const std::string& data) {
  Pnm p;
  std::istringstream in(data);
  std::string magic;
  int maxval = 0;
  in >> magic >> p.w >> p.h >> maxval;
  in.get();
  if ((magic != "P5" && magic != "P6") || maxval != 255) return {};
  p.channels = magic == "P6" ? 3 : 1;
  p.samples.resize(size_t(p.w) * p.h * p.channels);
  in.read(reinterpret_cast<char*>(p.samples.data()), std::streamsize(p.samples.size()));
  return p;
}

// Channel c of the reference picture against the read-back samples: the
// largest difference, or the mean one for a lossy format. `premultiplied`:
// the reader composed the colour over black.
int Difference(const std::vector<uint8_t>& ref, int32_t refChannels, int32_t c, const Pnm& got,
               int32_t gotChannel, bool premultiplied, bool mean) {
  int worst = 0;
  int64_t sum = 0;
  for (size_t i = 0; i < size_t(kW) * kH; ++i) {
    int want = ref[i * refChannels + c];
    if (premultiplied) want = (want * ref[i * refChannels + 3] + 127) / 255;
    const int d = std::abs(want - int(got.samples[i * got.channels + gotChannel]));
    worst = std::max(worst, d);
    sum += d;
  }
  return mean ? int(sum / (int64_t{kW} * kH)) : worst;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Reader {
  const char* extension;
  int32_t channels;    // the buffer form that writes it
  const char* colour;  // command printing the colour as P6; %s is the file
  const char* alpha;   // command printing the alpha as P5, or null
  int tolerance;       // 0: pixel for pixel
  bool lossy = false;  // tolerance is a mean difference
  bool premultiplied = false;
};
const Reader kReaders[] = {
    {".bmp", 3, "bmptopnm %s", nullptr, 0},
    {".png", 3, "pngtopnm %s", nullptr, 0},
    {".png", 4, "pngtopnm %s", "pngtopnm -alpha %s", 0},
    {".jpg", 3, "jpegtopnm %s", nullptr, 3, true},
    {".gif", 3, "giftopnm %s", nullptr, 0},
    {".pcx", 3, "pcxtoppm %s", nullptr, 0},
    {".tga", 4, "tgatoppm %s", "sh -c 'tgatoppm -alphaout=$0.a $0 >/dev/null && cat $0.a' %s", 0},
    {".tif", 4, "tifftopnm %s 2>/dev/null",
     "sh -c 'tifftopnm -alphaout=$0.a $0 2>/dev/null >/dev/null && cat $0.a' %s", 1, false, true},
    {".psd", 3,
     "/usr/bin/python3 -c \"import sys; from PIL import Image; im = "
     "Image.open(sys.argv[1]).convert('RGB'); sys.stdout.buffer.write(b'P6 %%d %%d 255\\n' %% "
     "im.size + im.tobytes())\" %s",
     nullptr, 0},
};

std::string Format(const char* pattern, const std::string& path) {
  char command[1024];
  std::snprintf(command, sizeof command, pattern, path.c_str());
  return command;
}

// Reads `path` back with the reader's programs and compares it with `ref`.
void ExpectReadBack(const Reader& r, const std::string& path, const std::vector<uint8_t>& ref,
                    int32_t refChannels) {
  SCOPED_TRACE(path);
  const Pnm colour = ParsePnm(Output(Format(r.colour, path)));
  ASSERT_EQ(colour.w, kW);
  ASSERT_EQ(colour.h, kH);
  ASSERT_EQ(colour.channels, 3);
  for (int32_t c = 0; c < 3; ++c)
    EXPECT_LE(
        Difference(ref, refChannels, c, colour, c, r.premultiplied && refChannels == 4, r.lossy),
        r.tolerance)
        << "channel " << c;
  if (r.alpha) {
    const Pnm alpha = ParsePnm(Output(Format(r.alpha, path)));
    ASSERT_EQ(alpha.channels, 1);
    EXPECT_EQ(Difference(ref, refChannels, 3, alpha, 0, false, false), 0);
  }
}

class Files : public CanvasTest {
 protected:
  Files() : CanvasTest({kW, kH}) {}
  drovine_test::ScratchDir dir_;
};

TEST_F(Files, BuffersAreReadBackByIndependentPrograms) {
  for (const Reader& r : kReaders) {
    const auto ref = Picture(kW, kH, r.channels);
    const std::string path =
        dir_.File(std::string("buffer") + std::to_string(r.channels) + r.extension);
    const auto write = r.channels == 3 ? DRO_WriteToFileRGB24 : DRO_WriteToFileRGBA32;
    ASSERT_EQ(write(ref.data(), kW, kH, path.c_str(), r.extension, 300), 1) << path;
    ExpectReadBack(r, path, ref, r.channels);
  }
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Files, PagesAreFlattenedRowByRowIntoEveryLineWriter) {
  // A picture layer over the white background, half transparent on the
  // left: what the page shows is the flattened pair.
  auto ref = Picture(kW, kH, 4);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) ref[(size_t(y) * kW + x) * 4 + 3] = x < kW / 2 ? 0 : 255;
  MakeLayer(1, Pixel64{65535, 65535, 65535, 65535});
  MakeLayer(2, Pixel64{0, 0, 0, 0});
  DRO_SetLayer(2);
  DRO_LoadRGBA32Layer_BAD(ref.data(), 0, 2, kW, kH, 0);
  std::vector<uint8_t> flat(size_t(kW) * kH * 4);
  for (size_t i = 0; i < size_t(kW) * kH; ++i)
    for (int c = 0; c < 4; ++c) flat[i * 4 + c] = ref[i * 4 + 3] ? ref[i * 4 + c] : 255;
  struct Page {
    const char* extension;
    int32_t channels;
  } const pages[] = {{".bmp", 3}, {".png", 3}, {".jpg", 3}, {".png", 4}, {".tga", 4}, {".tif", 4}};
  for (const Page& p : pages) {
    const std::string path =
        dir_.File(std::string("page") + std::to_string(p.channels) + p.extension);
    const auto save = p.channels == 3 ? DRO_SavePageToFileRGB24 : DRO_SavePageToFileRGB32;
    EXPECT_EQ(save(path.c_str(), p.extension, 150), 0);
    for (const Reader& r : kReaders)
      if (std::strcmp(r.extension, p.extension) == 0 && r.channels == p.channels)
        ExpectReadBack(r, path, flat, 4);
    EXPECT_EQ(DRO_GetDPIFromFile(path.c_str()), p.extension == std::string(".tga") ? 72 : 150);
  }
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Files, TheExtensionChoosesTheWriterBeforeAnythingIsOpened) {
  const auto rgb = Picture(kW, kH, 3), rgba = Picture(kW, kH, 4);
  struct Case {
    const char* extension;
    int32_t rgbWrites, rgbaWrites, pageRgb, pageRgba;
  } const cases[] = {{".bmp", 1, 0, 1, 0},  {".png", 1, 1, 1, 1},  {".jpg", 1, 0, 1, 0},
                     {".gif", 1, 0, 0, 0},  {".pcx", 1, 0, 0, 0},  {".psd", 1, 0, 0, 0},
                     {".emf", 1, 0, 0, 0},  {".wmf", 1, 0, 0, 0},  {".tga", 0, 1, 0, 1},
                     {".tif", 0, 1, 0, 1},  {".PnG", 1, 1, 1, 1},  {".JPG", 1, 0, 1, 0},
                     {".jpeg", 0, 0, 0, 0}, {".tiff", 0, 0, 0, 0}, {"png", 0, 0, 0, 0},
                     {"", 0, 0, 0, 0},      {".png ", 0, 0, 0, 0}};
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  const std::string existing = "an existing file";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    const std::string path = dir_.Write("target", existing);
    const int32_t results[4] = {
        DRO_WriteToFileRGB24(rgb.data(), kW, kH, path.c_str(), c.extension, 72),
        DRO_WriteToFileRGBA32(rgba.data(), kW, kH, path.c_str(), c.extension, 72),
        (DRO_SavePageToFileRGB24(path.c_str(), c.extension, 72), Contents(path) != existing),
        (DRO_SavePageToFileRGB32(path.c_str(), c.extension, 72), Contents(path) != existing)};
    EXPECT_EQ(results[0], c.rgbWrites);
    EXPECT_EQ(results[1], c.rgbaWrites);
    const std::string after = Contents(path);
    if (!c.rgbWrites && !c.rgbaWrites && !c.pageRgb && !c.pageRgba) {
      EXPECT_EQ(after, existing);
    }
  }
  // The page writers' own results, one file each.
  for (const Case& c : cases) {
    const std::string a = dir_.Write("a", existing), b = dir_.Write("b", existing);
    DRO_SavePageToFileRGB24(a.c_str(), c.extension, 72);
    DRO_SavePageToFileRGB32(b.c_str(), c.extension, 72);
    EXPECT_EQ(Contents(a) != existing, c.pageRgb == 1) << c.extension;
    EXPECT_EQ(Contents(b) != existing, c.pageRgba == 1) << c.extension;
  }
  const std::string path = dir_.Write("kept", existing);
  EXPECT_EQ(DRO_WriteToFileRGB24(rgb.data(), kW, kH, path.c_str(), nullptr, 72), 0);
  EXPECT_EQ(DRO_WriteToFileRGB24(nullptr, kW, kH, path.c_str(), ".png", 72), 0);
  EXPECT_EQ(DRO_WriteToFileRGB24(rgb.data(), 0, kH, path.c_str(), ".png", 72), 0);
  EXPECT_EQ(DRO_WriteToFileRGB24(rgb.data(), 30001, 1, path.c_str(), ".png", 72), 0);
  EXPECT_EQ(Contents(path), existing);
  // What cannot be opened for writing is nobody's to remove: here an empty
  // directory, which remove() would take.
  const std::string folder = dir_.File("folder");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  for (const char* ext : {".bmp", ".png", ".jpg", ".gif", ".pcx", ".psd", ".emf"})
    EXPECT_EQ(DRO_WriteToFileRGB24(rgb.data(), kW, kH, folder.c_str(), ext, 72), 0) << ext;
  for (const char* ext : {".png", ".tga", ".tif"})
    EXPECT_EQ(DRO_WriteToFileRGBA32(rgba.data(), kW, kH, folder.c_str(), ext, 72), 0) << ext;
  DRO_SavePageToFileRGB24(folder.c_str(), ".jpg", 72);
  EXPECT_TRUE(Exists(folder));
}

TEST_F(Files, AFailedWriterRemovesItsPartialFile) {
  ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
  const auto rgb = Picture(kW, kH, 3);
  for (const char* ext : {".bmp", ".png", ".jpg", ".gif", ".pcx", ".emf", ".tif"}) {
    const bool page =
        std::strcmp(ext, ".gif") && std::strcmp(ext, ".pcx") && std::strcmp(ext, ".emf");
    const std::string path = dir_.File(std::string("failing") + ext);
    // Fail each allocation in turn until the write meets no failure.
    for (int64_t n = 0;; ++n) {
      DRO_SetLastError("");
      const uint64_t before = dro::InjectedAllocationFailures();
      dro::FailAllocationAfter(n);
      int32_t ok;
      if (page && std::strcmp(ext, ".tif"))
        ok = (DRO_SavePageToFileRGB24(path.c_str(), ext, 72), Exists(path));
      else if (page)
        ok = (DRO_SavePageToFileRGB32(path.c_str(), ext, 72), Exists(path));
      else
        ok = DRO_WriteToFileRGB24(rgb.data(), kW, kH, path.c_str(), ext, 72);
      dro::FailAllocationAfter(-1);
      if (dro::InjectedAllocationFailures() == before) {
        EXPECT_TRUE(ok) << ext;
        EXPECT_TRUE(Exists(path));
        break;
      }
      EXPECT_FALSE(Exists(path)) << ext << " allocation " << n;
      ASSERT_LT(n, 200);
    }
    std::remove(path.c_str());
  }
}

TEST(FileResolution, HeaderValuesAndSnapping) {
  struct Case {
    int32_t type;
    double value;
    int32_t unit, dpi;
  } const cases[] = {{im::kFilePng, 11811, 1, 299},
                     {im::kFilePng, 11811, 0, 72},
                     {im::kFileBmp, 11811, 2, 299},
                     {im::kFileBmp, 118, 1, 299},
                     {im::kFileBmp, 300, 0, 72},
                     {im::kFileJpeg, 300, 1, 300},
                     {im::kFileJpeg, 300, 0, 72},
                     {im::kFileJpeg, 118, 2, 299},
                     {im::kFileTiff, 600, 2, 600},
                     {im::kFileTiff, 236.2, 3, 599},
                     {im::kFileTiff, 600, 1, 72},
                     {im::kFilePsd, 96, 2, 96},
                     {im::kFileGif, 300, 1, 72},
                     {im::kFileTiff, std::nan(""), 2, 0},
                     {im::kFileTiff, 1e300, 2, 2147483647},
                     {im::kFileTiff, -1e300, 2, -2147483647 - 1},
                     {im::kFileJpeg, std::numeric_limits<double>::infinity(), 1, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(io::DpiFromHeader(c.type, c.value, c.unit), c.dpi) << c.type << " " << c.value;
  struct Snap {
    int32_t in, out;
  } const snaps[] = {{94, 72},   {95, 96},   {97, 96},   {98, 72},   {148, 72},  {149, 150},
                     {151, 150}, {152, 72},  {198, 72},  {199, 200}, {201, 200}, {202, 72},
                     {298, 72},  {299, 300}, {301, 300}, {302, 72},  {448, 72},  {449, 450},
                     {451, 450}, {452, 72},  {598, 72},  {599, 600}, {601, 600}, {602, 72},
                     {0, 72},    {-96, 72},  {72, 72}};
  for (const Snap& s : snaps) EXPECT_EQ(io::SnapDpi(s.in), s.out) << s.in;
}

TEST(FileResolution, FromFiles) {
  drovine_test::ScratchDir dir;
  const auto rgb = Picture(kW, kH, 3), rgba = Picture(kW, kH, 4);
  for (const char* ext : {".bmp", ".png", ".jpg"})
    for (const int32_t dpi : {96, 300, 600, 250}) {
      const std::string path = dir.File(std::string("r") + std::to_string(dpi) + ext);
      ASSERT_EQ(DRO_WriteToFileRGB24(rgb.data(), kW, kH, path.c_str(), ext, dpi), 1);
      EXPECT_EQ(DRO_GetDPIFromFile(path.c_str()), dpi == 250 ? 72 : dpi) << path;
    }
  const std::string tif = dir.File("r.tif");
  ASSERT_EQ(DRO_WriteToFileRGBA32(rgba.data(), kW, kH, tif.c_str(), ".tif", 450), 1);
  EXPECT_EQ(DRO_GetDPIFromFile(tif.c_str()), 450);
  // A JPEG whose density unit says "aspect ratio only".
  const std::string jpg = dir.File("r300.jpg");
  std::string bytes = Contents(jpg);
  ASSERT_EQ(bytes.substr(6, 5), std::string("JFIF\0", 5));
  bytes[13] = 0;
  const std::string aspect = dir.Write("aspect.jpg", bytes);
  EXPECT_EQ(DRO_GetDPIFromFile(aspect.c_str()), 72);
  // A layered-document header with a resolution resource of 200 per inch.
  std::string psd("8BPS\0\1\0\0\0\0\0\0\0\3\0\0\0\1\0\0\0\1\0\x08\0\3", 26);
  psd += std::string("\0\0\0\0", 4);    // no colour mode data
  psd += std::string("\0\0\0\x1c", 4);  // resources: 28 bytes
  psd += std::string("8BIM\x03\xed\0\0\0\0\0\x10", 12);
  psd += std::string("\0\xc8\0\0\0\1\0\1\0\xc8\0\0\0\1\0\1", 16);
  EXPECT_EQ(DRO_GetDPIFromFile(dir.Write("r.psd", psd).c_str()), 200);
  EXPECT_EQ(DRO_GetDPIFromFile(dir.File("missing.png").c_str()), 72);
  EXPECT_EQ(DRO_GetDPIFromFile(nullptr), 72);
  EXPECT_EQ(DRO_GetDPIFromFile(dir.Write("junk.png", "\x89PNG\r\n\x1a\n\xff\xff").c_str()), 72);
}

TEST(ThumbnailsAndWebPictures, Sizes) {
  struct Case {
    int32_t w, h, tw, th;
  } const thumbs[] = {{400, 300, 100, 75}, {300, 400, 75, 100}, {50, 50, 100, 100},
                      {1000, 5, 100, 1},   {5, 1000, 1, 100},   {30000, 1, 100, 1},
                      {3, 2, 100, 66}};
  for (const Case& c : thumbs) {
    int32_t w = 0, h = 0;
    io::ThumbnailSize(c.w, c.h, w, h);
    EXPECT_EQ(w, c.tw) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.th) << c.w << "x" << c.h;
  }
  struct Web {
    int32_t w, h, mw, mh, ow, oh;
  } const webs[] = {{1600, 1200, 800, 600, 800, 600},  {400, 300, 800, 600, 400, 300},
                    {1600, 1200, 1000, 600, 800, 600}, {1600, 1200, 800, 900, 800, 600},
                    {3000, 10, 10, 10, 10, 1},         {10, 3000, 10, 10, 1, 10}};
  for (const Web& c : webs) {
    int32_t w = 0, h = 0;
    io::WebPictureSize(c.w, c.h, c.mw, c.mh, w, h);
    EXPECT_EQ(w, c.ow) << c.w << "x" << c.h << " in " << c.mw << "x" << c.mh;
    EXPECT_EQ(h, c.oh) << c.w << "x" << c.h << " in " << c.mw << "x" << c.mh;
  }
}

TEST(ThumbnailsAndWebPictures, Files) {
  drovine_test::ScratchDir dir;
  const auto rgb = Picture(160, 120, 3);
  const std::string source = dir.File("source.png"), thumb = dir.File("t.bmp"),
                    web = dir.File("w.jpg");
  ASSERT_TRUE(im::WritePng(source.c_str(), rgb.data(), 160, 120, 3, 160 * 3, 0, 0));
  EXPECT_EQ(DRO_MakeThumbnail(source.c_str(), thumb.c_str()), 0);
  EXPECT_EQ(Output("bmptopnm " + thumb + " | head -c 10"), "P6\n100 75\n");
  EXPECT_EQ(DRO_GetDPIFromFile(thumb.c_str()), 72);
  EXPECT_EQ(DRO_MakeWebPic(source.c_str(), web.c_str(), 80, 80), 0);
  EXPECT_EQ(Output("jpegtopnm " + web + " 2>/dev/null | head -c 9"), "P6\n80 60\n");
  for (const auto& [mw, mh] : {std::pair{0, 80}, {80, 0}, {-1, -1}}) {
    std::remove(web.c_str());
    DRO_MakeWebPic(source.c_str(), web.c_str(), mw, mh);
    EXPECT_FALSE(Exists(web));
  }
  std::remove(thumb.c_str());
  DRO_MakeThumbnail(dir.File("missing.png").c_str(), thumb.c_str());
  EXPECT_FALSE(Exists(thumb));
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST(Quantizer, ManyColoursMedianCut) {
  // 64 x 64 with 4096 colours: 256 boxes, every pixel near its colour.
  std::vector<uint8_t> rgb(64 * 64 * 3);
  for (size_t i = 0; i < 4096; ++i)
    rgb[i * 3] = uint8_t(i % 16 * 16), rgb[i * 3 + 1] = uint8_t(i / 16 % 16 * 16),
            rgb[i * 3 + 2] = uint8_t(i / 256 * 16);
  std::vector<uint8_t> indices(4096), palette(768), again(4096), palette2(768);
  int32_t n = 0, n2 = 0;
  ASSERT_TRUE(im::QuantizeMedianCut(rgb.data(), 64, 64, 3, 192, indices.data(), palette.data(), n));
  ASSERT_TRUE(im::QuantizeMedianCut(rgb.data(), 64, 64, 3, 192, again.data(), palette2.data(), n2));
  EXPECT_EQ(n, 256);
  EXPECT_EQ(indices, again);  // deterministic
  EXPECT_EQ(palette, palette2);
  int worst = 0;
  for (size_t i = 0; i < 4096; ++i)
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(int(rgb[i * 3 + c]) - int(palette[indices[i] * 3 + c])));
  EXPECT_LE(worst, 24);
}

}  // namespace

namespace {

TEST(FileReaders, PcxAndTgaFromOurWritersAndAnother) {
  drovine_test::ScratchDir dir;
  // Ours, read back exactly (PCX has no alpha).
  const auto rgb = Picture(kW, kH, 3), rgba = Picture(kW, kH, 4);
  const std::string pcx = dir.File("ours.pcx"), tga = dir.File("ours.tga");
  ASSERT_EQ(DRO_WriteToFileRGB24(rgb.data(), kW, kH, pcx.c_str(), ".pcx", 72), 1);
  ASSERT_EQ(DRO_WriteToFileRGBA32(rgba.data(), kW, kH, tga.c_str(), ".tga", 72), 1);
  std::vector<uint8_t> got(size_t(kW) * kH * 4);
  ASSERT_EQ(DRO_ReadFromFileRGBA32(got.data(), kW, kH, tga.c_str()), 1);
  EXPECT_EQ(got, rgba);
  ASSERT_EQ(DRO_ReadFromFileRGB24(got.data(), kW, kH, pcx.c_str()), 1);
  EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), got.begin()));
  // Python's imaging library writes PCX (RGB planes, a palette) and TGA
  // (run-length or plain, bottom-up or top-down, grey), and the RGBA it
  // means beside each.
  const std::string script = dir.Write("make.py", R"(
import sys
from PIL import Image
d = sys.argv[1]
w, h = 37, 23
im = Image.new('RGBA', (w, h))
im.putdata([((x * 7) % 256, (y * 11) % 256, ((x + y) * 5) % 256, (x * 29 + y * 3) % 256)
            for y in range(h) for x in range(w)])
cases = [('rgb.pcx', im.convert('RGB'), {}),
         ('p.pcx', im.convert('RGB').quantize(60), {}),
         ('rle.tga', im, {'compression': 'tga_rle'}),
         ('plain.tga', im.convert('RGB'), {}),
         ('top.tga', im, {'orientation': 1}),
         ('grey.tga', im.convert('L'), {'compression': 'tga_rle'})]
for name, picture, options in cases:
    picture.save(d + '/' + name, **options)
    open(d + '/' + name + '.rgba', 'wb').write(picture.convert('RGBA').tobytes())
)");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + dir.path().string()).c_str()), 0);
  for (const char* name : {"rgb.pcx", "p.pcx", "rle.tga", "plain.tga", "top.tga", "grey.tga"}) {
    const std::string path = dir.File(name);
    ASSERT_EQ(DRO_ReadFromFileRGBA32(got.data(), kW, kH, path.c_str()), 1) << name;
    const std::string want = Contents(path + ".rgba");
    EXPECT_EQ(got, std::vector<uint8_t>(want.begin(), want.end())) << name;
  }
}

}  // namespace
