// PDF pages, checked by pdfinfo, pdfimages and pdftoppm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drovine.h"
#include "io/shell.h"
#include "platform/image_library.h"
#include "support/scratch_dir.h"

namespace {

namespace image = dro::platform::image;
namespace fs = std::filesystem;

using drovine_test::Shell;

// A w x h RGBA picture whose alpha falls from 255 to 0 across the rows.
std::vector<uint8_t> Rgba(int w, int h) {
  std::vector<uint8_t> p(size_t(w * h * 4));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = &p[size_t((y * w + x) * 4)];
      px[0] = uint8_t(x * 8), px[1] = uint8_t(y * 12), px[2] = 200, px[3] = uint8_t(255 - y * 13);
    }
  return p;
}

// A page rendered at 96 dpi: width, height and tight RGB.
struct Page {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[size_t((y * width + x) * 3)]; }
};

Page Render(const std::string& pdf, int page, const std::string& prefix) {
  Shell("pdftoppm -r 96 -f " + std::to_string(page) + " -l " + std::to_string(page) +
        " -singlefile '" + pdf + "' '" + prefix + "'");
  std::ifstream in(prefix + ".ppm", std::ios::binary);
  std::string magic;
  int max = 0;
  Page out;
  in >> magic >> out.width >> out.height >> max;
  in.get();
  out.rgb.resize(size_t(out.width * out.height * 3));
  in.read(reinterpret_cast<char*>(out.rgb.data()), std::streamsize(out.rgb.size()));
  return out;
}

// Rendered pixels outside what the picture gives at or beside them (the
// renderer may place a picture half a pixel off), two levels allowed. The
// renderer smooths the picture's edges, from `inset` pixels in: those two
// pixels on either side are left out.
template <class Want>
int Mismatches(const Page& page, int inset, Want want) {
  auto edge = [&](int v, int side) {
    return std::abs(v - inset) <= 1 || std::abs(v - (side - inset)) <= 1;
  };
  int bad = 0;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      for (int c = 0; c < 3 && !edge(x, page.width) && !edge(y, page.height); ++c) {
        int lo = 255, hi = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int v = want(std::clamp(x + dx, 0, page.width - 1),
                               std::clamp(y + dy, 0, page.height - 1), c);
            lo = std::min(lo, v), hi = std::max(hi, v);
          }
        const int got = page.At(x, y)[c];
        bad += got < lo - 2 || got > hi + 2;
      }
  return bad;
}

int PageCount(const std::string& pdf) {
  const std::string info = Shell("pdfinfo '" + pdf + "'");
  const size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

class Pdf : public ::testing::Test {
 protected:
  void SetUp() override { DRO_I2PDF_Reset(); }
  drovine_test::ScratchDir dir;
};

TEST_F(Pdf, PagesAtNinetySixDpiWithAGreyBorder) {
  const std::string png = dir.File("a.png"), jpg = dir.File("b.jpg"), pdf = dir.File("out.pdf");
  const std::vector<uint8_t> rgba = Rgba(30, 20);
  ASSERT_TRUE(image::WritePng(png.c_str(), rgba.data(), 30, 20, 4, 120, 0, 0));
  const std::vector<uint8_t> opaque = Rgba(40, 12);
  ASSERT_TRUE(image::WriteJpeg(jpg.c_str(), opaque.data(), 40, 12, 4, 160, 90, 0, 0));
  const std::string jpegBytes = Shell("cat '" + jpg + "'");

  EXPECT_EQ(DRO_I2PDF_AddImage(png.c_str()), 1);
  EXPECT_EQ(DRO_I2PDF_AddImage(jpg.c_str()), 1);
  EXPECT_EQ(DRO_I2PDF_AddImage(nullptr), 0);
  EXPECT_EQ(DRO_I2PDF_AddImage(""), 0);
  ASSERT_EQ(DRO_I2PDF_MakePDF(pdf.c_str()), 1);
  // Converted: the pictures are gone, the document holds them.
  EXPECT_FALSE(fs::exists(png));
  EXPECT_FALSE(fs::exists(jpg));

  const std::string info = Shell("pdfinfo -f 1 -l 2 '" + pdf + "'");
  EXPECT_EQ(PageCount(pdf), 2);
  EXPECT_NE(info.find("Page    1 size:  52.5 x 45 pts"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    2 size:  60 x 39 pts"), std::string::npos) << info;
  // The PNG's alpha as a soft mask, the JPEG file's own stream unchanged.
  const std::string list = Shell("pdfimages -list '" + pdf + "'");
  EXPECT_NE(list.find("smask"), std::string::npos) << list;
  EXPECT_NE(list.find("jpeg"), std::string::npos) << list;
  Shell("cd '" + dir.File("") + "' && pdfimages -j -f 2 -l 2 '" + pdf + "' x");
  EXPECT_EQ(Shell("cat '" + dir.File("x-000.jpg") + "'"), jpegBytes);

  // The pictures' pixels, 20 pixels in, over white paper (value x alpha +
  // 255 x (1 - alpha)), grey around them.
  const Page one = Render(pdf, 1, dir.File("p1"));
  ASSERT_EQ(one.width, 70);
  ASSERT_EQ(one.height, 60);
  EXPECT_EQ(Mismatches(one, 20,
                       [&](int x, int y, int c) {
                         if (x < 20 || x >= 50 || y < 20 || y >= 40) return 196;
                         const uint8_t* s = &rgba[size_t(((y - 20) * 30 + (x - 20)) * 4)];
                         return (s[c] * s[3] + 255 * (255 - s[3]) + 127) / 255;
                       }),
            0);
}

TEST_F(Pdf, AFailedConversionKeepsEveryPicture) {
  const std::string png = dir.File("keep.png"), pdf = dir.File("out.pdf");
  const std::vector<uint8_t> rgba = Rgba(8, 8);
  ASSERT_TRUE(image::WritePng(png.c_str(), rgba.data(), 8, 8, 4, 32, 0, 0));
  const std::string junk = dir.Write("junk.png", "not a picture");
  struct Case {
    std::vector<std::string> images;
    std::string output;
  } cases[] = {
      {{}, pdf},                                 // nothing to convert
      {{png, dir.File("missing.png")}, pdf},     // a picture is missing
      {{png, junk}, pdf},                        // a picture is unreadable
      {{png}, dir.File("no/such/dir/out.pdf")},  // the document cannot be written
      {{png}, ""},
  };
  for (const Case& c : cases) {
    for (const std::string& i : c.images) DRO_I2PDF_AddImage(i.c_str());
    EXPECT_EQ(DRO_I2PDF_MakePDF(c.output.c_str()), 0) << c.output;
    EXPECT_TRUE(fs::exists(png));
    EXPECT_TRUE(fs::exists(junk));
    EXPECT_FALSE(fs::exists(pdf));
  }
  // Every conversion empties the list: the next starts from nothing.
  EXPECT_EQ(DRO_I2PDF_MakePDF(pdf.c_str()), 0);
  DRO_I2PDF_AddImage(png.c_str());
  DRO_I2PDF_AddImage(png.c_str());
  EXPECT_EQ(DRO_I2PDF_MakePDF(nullptr), 0);
  EXPECT_EQ(DRO_I2PDF_Reset(), 1);
  DRO_I2PDF_AddImage(png.c_str());
  // A picture added under the document's own name is not deleted with the
  // others.
  const std::string self = dir.File("self.png");
  fs::copy_file(png, self);
  DRO_I2PDF_AddImage(self.c_str());
  ASSERT_EQ(DRO_I2PDF_MakePDF(self.c_str()), 1);
  EXPECT_FALSE(fs::exists(png));
  EXPECT_EQ(PageCount(self), 2);
}

TEST_F(Pdf, SlideShowOpensFullScreenWithTimedTransitions) {
  const std::string pdf = dir.File("show.pdf");
  const std::vector<uint8_t> rgba = Rgba(8, 8);
  for (int i = 0; i < 3; ++i) {
    const std::string png = dir.File("s" + std::to_string(i) + ".png");
    ASSERT_TRUE(image::WritePng(png.c_str(), rgba.data(), 8, 8, 4, 32, 0, 0));
    DRO_I2PDF_AddImage(png.c_str());
  }
  ASSERT_EQ(DRO_I2PDF_MakePDFSlideshow(pdf.c_str()), 1);
  const std::string text = Shell("cat '" + pdf + "'");
  EXPECT_NE(text.find("/PageMode /FullScreen"), std::string::npos);
  size_t transitions = 0;
  for (size_t at = 0; (at = text.find("/S /Box", at)) != std::string::npos; ++at) ++transitions;
  EXPECT_EQ(transitions, 3u);
  EXPECT_NE(text.find("/M /I"), std::string::npos);
  EXPECT_EQ(PageCount(pdf), 3);
}

}  // namespace
