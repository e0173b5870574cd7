// Drawing on the current layer: the rectangle box rule and the colours'
// byte positions of rectangle and ellipse, gradient stops and colours at the
// stops, flood fills against a plain breadth-first reference, erasing, the
// font record and chooser, the RGB24 blur, the displacement without a
// script, bad input and allocation failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "drovine.h"
#include "imaging/drawing.h"
#include "imaging/drawing_text.h"
#include "imaging/work_buffers.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
namespace img = dro::platform::image;
using dro::Pixel64;

constexpr Pixel64 kClear{};

Pixel64 Opaque(int r, int g, int b) {
  return Pixel64{uint16_t(r << 8), uint16_t(g << 8), uint16_t(b << 8), 65280};
}

class Drawing : public drovine_test::CanvasTest {
 protected:
  Drawing() : CanvasTest({16, 12}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(1, Opaque(255, 255, 255));
    MakeLayer(2, kClear);
    DRO_SetLayer(2);
  }
};

TEST_F(Drawing, RectangleBoxRule) {
  struct Case {
    int32_t x1, x2, left, right;
  } cases[] = {{10, 20, 10, 19}, {20, 10, 11, 20}, {10, 10, 11, 10}, {-5, -4, -5, -5}};
  for (const Case& c : cases) {
    const im::DrawBox box = im::RectangleBox(c.x1, 7, c.x2, 3);
    EXPECT_EQ(box.left, c.left) << c.x1 << "," << c.x2;
    EXPECT_EQ(box.right, c.right) << c.x1 << "," << c.x2;
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.bottom, 7);
  }
  // Far positions are clamped before any width arithmetic.
  const im::DrawBox far = im::RectangleBox(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN);
  EXPECT_EQ(far.left, -(1 << 24));
  EXPECT_EQ(far.right, (1 << 24) - 1);
  EXPECT_EQ(far.top, -(1 << 24));
  EXPECT_EQ(far.bottom, 1 << 24);
}

TEST_F(Drawing, RectangleAndEllipseShowTheHostsColour) {
  DRO_IPLRectangle(200, 100, 50, 2, 1, 6, 3, 100);
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 1 && y <= 3;
      EXPECT_EQ(At(2, x, y), inside ? Opaque(200, 100, 50) : kClear) << x << "," << y;
    }
  Fill(2, kClear);
  DRO_IPLEllipse(200, 100, 50, 0, 0, 13, 11, 100);
  EXPECT_EQ(At(2, 6, 5), Opaque(200, 100, 50));  // red stays red, blue stays blue
  EXPECT_EQ(At(2, 15, 11), kClear);
  // A 2 x 2 box still draws, with radii 2 about (left + 2, top + 2).
  Fill(2, kClear);
  DRO_IPLEllipse(10, 20, 30, 4, 4, 6, 6, 100);
  EXPECT_EQ(At(2, 7, 6), Opaque(10, 20, 30));
  EXPECT_EQ(At(2, 7, 10), kClear);
  EXPECT_EQ(im::Destination32(), nullptr);  // released again
  // Half opacity lays half the colour over white.
  DRO_SetLayer(1);
  DRO_IPLRectangle(0, 0, 0, 0, 0, 16, 12, 50);
  EXPECT_NEAR(At(1, 3, 3).r, 65280 / 2, 512);
  // Far corners draw the whole canvas without overflow.
  DRO_IPLRectangle(1, 2, 3, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 100);
  EXPECT_EQ(At(1, 0, 0), Opaque(1, 2, 3));
  EXPECT_EQ(At(1, 15, 11), Opaque(1, 2, 3));
  DRO_IPLEllipse(9, 9, 9, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 100);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Drawing, GradientStops) {
  const im::StopArgs colors{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}};
  img::GradientStop stops[4];
  struct Case {
    int32_t count, stops;
    double positions[4];
    uint8_t alpha0, alpha1;
  } cases[] = {{0, 2, {0, 100}, 255, 0},      {1, 2, {0, 100}, 0, 255},
               {2, 2, {0, 100}, 0, 0},        {3, 3, {0, 50, 100}, 0, 0},
               {4, 4, {0, 33, 66, 99}, 0, 0}, {9, 4, {0, 33, 66, 99}, 0, 0},
               {-3, 2, {0, 100}, 255, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(im::GradientStops(colors, c.count, stops), c.stops) << c.count;
    for (int i = 0; i < c.stops; ++i) EXPECT_EQ(stops[i].position, c.positions[i]) << c.count;
    EXPECT_EQ(stops[0].color.a, c.alpha0) << c.count;
    EXPECT_EQ(stops[1].color.a, c.alpha1) << c.count;
    EXPECT_EQ(stops[c.stops - 1].color.r, c.count >= 2 ? 1 + 3 * (c.stops - 1) : 1) << c.count;
  }
}

TEST_F(Drawing, GradientColoursAtTheStops) {
  // Linear, red to blue over ten pixels: exact at both ends and halfway.
  DRO_IPLGradient(255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 2, 0, 0, 10, 0, "Linear");
  EXPECT_EQ(At(2, 0, 4), Opaque(255, 0, 0));
  EXPECT_EQ(At(2, 5, 4), Opaque(128, 0, 128));
  EXPECT_EQ(At(2, 10, 4), Opaque(0, 0, 255));
  EXPECT_EQ(At(2, 15, 4), Opaque(0, 0, 255));
  // Radial about (8, 6) with radius 5; three stops.
  DRO_IPLGradient(255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 3, 8, 6, 11, 10, "Radial");
  EXPECT_EQ(At(2, 8, 6), Opaque(255, 0, 0));
  EXPECT_EQ(At(2, 13, 6), Opaque(0, 0, 255));
  EXPECT_EQ(At(2, 8, 1), Opaque(0, 0, 255));
  // A zero radius and a zero-length vector fill with the last stop.
  for (const char* kind : {"Linear", "Radial"}) {
    DRO_IPLGradient(255, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 2, 3, 3, 3, 3, kind);
    EXPECT_EQ(At(2, 0, 0), Opaque(0, 9, 0)) << kind;
    EXPECT_EQ(At(2, 15, 11), Opaque(0, 9, 0)) << kind;
  }
  // Count 0 fades from transparent at the start to the colour at the end;
  // far radial corners do not overflow.
  Fill(2, kClear);
  DRO_IPLGradient(50, 60, 70, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, "Linear");
  EXPECT_EQ(At(2, 0, 0), kClear);
  EXPECT_EQ(At(2, 10, 0), Opaque(50, 60, 70));
  DRO_IPLGradient(1, 1, 1, 2, 2, 2, 0, 0, 0, 0, 0, 0, 2, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX,
                  nullptr);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

// The pixels a 4-connected fill from (x, y) selects, by breadth-first
// search: squared RGB distance to the clicked colour at most `limit`.
std::vector<bool> Reference(const std::vector<Pixel64>& p, int w, int h, int x, int y, int limit) {
  auto dist = [&](const Pixel64& a, const Pixel64& b) {
    const int dr = (a.r >> 8) - (b.r >> 8), dg = (a.g >> 8) - (b.g >> 8),
              db = (a.b >> 8) - (b.b >> 8);
    return dr * dr + dg * dg + db * db;
  };
  std::vector<bool> in(p.size());
  std::queue<std::pair<int, int>> todo;
  const Pixel64 key = p[size_t(y) * w + x];
  todo.push({x, y});
  in[size_t(y) * w + x] = true;
  while (!todo.empty()) {
    auto [cx, cy] = todo.front();
    todo.pop();
    const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
    for (int k = 0; k < 4; ++k) {
      const int nx = cx + dx[k], ny = cy + dy[k];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
      const size_t i = size_t(ny) * w + nx;
      if (!in[i] && dist(p[i], key) <= limit) in[i] = true, todo.push({nx, ny});
    }
  }
  return in;
}

TEST_F(Drawing, FloodFillsAgainstReference) {
  std::mt19937 random(14);
  const Pixel64 palette[] = {Opaque(10, 10, 10), Opaque(12, 11, 10), Opaque(200, 30, 30),
                             Pixel64{5120, 5120, 5120, 0}};
  for (int round = 0; round < 40; ++round) {
    std::vector<Pixel64> picture(pixelCount());
    for (Pixel64& p : picture) p = palette[random() % 4];
    SetPixels(2, picture);
    const int x = int(random() % width()), y = int(random() % height());
    const int tolerance = round % 2 ? 0 : 500;  // limit 0 or 1950
    const int limit = int(tolerance * 0.00002 * 195075);
    const bool erase = round % 3 == 0;
    DRO_IPLFloodFill(1, 2, 3, x, y, tolerance, erase ? "Erase Connected" : "Paint Connected");
    const std::vector<bool> in = Reference(picture, width(), height(), x, y, limit);
    const std::vector<Pixel64> after = Pixels(2);
    for (size_t i = 0; i < in.size(); ++i) {
      if (!in[i]) {
        ASSERT_EQ(after[i], picture[i]) << "round " << round << " pixel " << i;
      } else if (erase) {
        ASSERT_EQ(after[i].a, 0) << "round " << round << " pixel " << i;
      } else {
        ASSERT_EQ(after[i], Opaque(1, 2, 3)) << "round " << round << " pixel " << i;
      }
    }
  }
  EXPECT_EQ(im::Source32(), nullptr);
}

TEST_F(Drawing, FloodFillModes) {
  // Two separate patches of one colour on grey.
  Fill(2, Opaque(90, 90, 90));
  Put(2, 1, 1, Opaque(40, 50, 60));
  Put(2, 10, 8, Opaque(40, 50, 60));
  const std::vector<Pixel64> before = Pixels(2);
  DRO_IPLFloodFill(7, 8, 9, 1, 1, 0, "Paint Non-connected");
  EXPECT_EQ(At(2, 1, 1), Opaque(7, 8, 9));
  EXPECT_EQ(At(2, 10, 8), Opaque(7, 8, 9));
  EXPECT_EQ(At(2, 0, 0), Opaque(90, 90, 90));
  SetPixels(2, before);
  DRO_IPLFloodFill(7, 8, 9, 1, 1, 0, "Erase Non-connected");
  EXPECT_EQ(At(2, 1, 1).a, 0);
  EXPECT_EQ(At(2, 10, 8).a, 0);
  EXPECT_EQ(At(2, 0, 0), Opaque(90, 90, 90));
  // A mode differing only in case, or a click off the canvas, does nothing.
  SetPixels(2, before);
  DRO_IPLFloodFill(7, 8, 9, 1, 1, 0, "paint connected");
  DRO_IPLFloodFill(7, 8, 9, -1, 1, 0, "Paint Connected");
  DRO_IPLFloodFill(7, 8, 9, 1, 12, 0, "Paint Connected");
  DRO_IPLFloodFill(7, 8, 9, 1, 1, 0, nullptr);
  EXPECT_EQ(Pixels(2), before);
  EXPECT_EQ(im::Source32(), nullptr);
  // Alpha modes: the clicked alpha selects, painted opaque.
  Fill(2, kClear);
  Put(2, 3, 3, Opaque(1, 1, 1));
  DRO_IPLFloodFill(50, 60, 70, 0, 0, 0, "Paint Alpha Connected");
  EXPECT_EQ(At(2, 0, 0), Opaque(50, 60, 70));
  EXPECT_EQ(At(2, 3, 3), Opaque(1, 1, 1));
  Fill(2, kClear);
  Put(2, 3, 3, Opaque(1, 1, 1));
  DRO_IPLFloodFill(50, 60, 70, 3, 3, 0, "Paint Alpha Non-Connected");
  EXPECT_EQ(At(2, 3, 3), Opaque(50, 60, 70));
  EXPECT_EQ(At(2, 0, 0), kClear);
  // On the background erasing paints.
  DRO_SetLayer(1);
  DRO_IPLFloodFill(5, 6, 7, 0, 0, 0, "Erase Connected");
  EXPECT_EQ(At(1, 8, 8), Opaque(5, 6, 7));
  DRO_IPLFloodFill(1, 1, 1, 0, 0, 0, "Paint Alpha Connected");  // not on the background
  EXPECT_EQ(At(1, 8, 8), Opaque(5, 6, 7));
}

TEST_F(Drawing, AllocationFailuresLeaveTheLayer) {
  Fill(2, Opaque(90, 90, 90));
  const std::vector<Pixel64> before = Pixels(2);
  struct Op {
    const char* text;
    std::function<void()> run;
  } ops[] = {
      {"IPLRectangle", [] { DRO_IPLRectangle(1, 2, 3, 0, 0, 5, 5, 100); }},
      {"IPLEllipse", [] { DRO_IPLEllipse(1, 2, 3, 0, 0, 5, 5, 100); }},
      {"IPLGradient",
       [] { DRO_IPLGradient(1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 2, 0, 0, 5, 5, "x"); }},
      {"IPLFloodFill", [] { DRO_IPLFloodFill(1, 2, 3, 0, 0, 0, "Erase Connected"); }},
  };
  for (const Op& op : ops) {
    drovine_test::SweepAllocationFailures({}, op.run, [&](int64_t n) {
      const std::string error = DRO_GetLastError();
      EXPECT_TRUE(error == std::string(op.text) + " Excpt" || error.rfind("IPLAlloc", 0) == 0)
          << op.text << " run " << n << ": " << error;
      EXPECT_EQ(Pixels(2), before) << op.text << " run " << n;
    });
    SetPixels(2, before);
  }
  // The displacement with the host's buffers: the script session (which
  // then just loads nothing), the texture and the plane each fail in turn.
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
  drovine_test::SweepAllocationFailures(
      {}, [] { DRO_IPLDisplacementBummp("/nonexistent", 9.0, 0); },
      [&](int64_t n) {
        const std::string error = DRO_GetLastError();
        EXPECT_TRUE(error.empty() || error == "IPLDisplacementBump Excpt") << n << ": " << error;
        EXPECT_EQ(Pixels(2), before) << "run " << n;
      });
  DRO_IPLFreeSrcBuffer32();
  DRO_IPLFreeDstBuffer32();
}

int32_t gChooserCalls = 0;
uint8_t gSeenRecord[60];
int32_t gSeenFlags = 0;
int32_t gAnswers[2] = {0, 0};

int32_t DRO_CALL Chooser(uint8_t* record, void*, int32_t flags) {
  std::memcpy(gSeenRecord, record, 60);
  gSeenFlags = flags;
  const int32_t answer = gAnswers[gChooserCalls++ % 2];
  if (answer > 0) record[28] = 'Z';
  return answer;
}

TEST_F(Drawing, FontRecordAndChooser) {
  DRO_SetLastError("kept");
  EXPECT_EQ(DRO_ChooseFont(), 0);  // no chooser: as cancelled
  DRO_XSetFont("DejaVu Sans", 24, 700, 1);
  const uint8_t* record = im::Font().logFont;
  char face[32];
  const auto request = im::RequestFromRecord(record, face);
  EXPECT_STREQ(request.family, "DejaVu Sans");
  EXPECT_EQ(request.pixelHeight, 24);
  EXPECT_FALSE(request.cellHeight);
  EXPECT_EQ(request.weight, 700);
  EXPECT_TRUE(request.italic);

  DRO_XSetFontChooser(&Chooser);
  gChooserCalls = 0, gAnswers[0] = 0;
  EXPECT_EQ(DRO_ChooseFont(), 0);  // cancelled: nothing changes
  EXPECT_EQ(gSeenFlags, 0x41);
  EXPECT_STREQ(DRO_GetLastError(), "kept");
  EXPECT_EQ(std::memcmp(gSeenRecord, record, 60), 0);

  struct Case {
    int32_t code;
    const char* text;
  } cases[] = {{8193, "Font Err: CFERR_NOFONTS"},
               {65535, "Font Err: CDERR_DIALOGFAILURE"},
               {3, "Font Err: Other Error"}};
  for (const Case& c : cases) {
    DRO_XSetFont("DejaVu Sans", 24, 700, 1);
    gChooserCalls = 0, gAnswers[0] = -c.code, gAnswers[1] = 5;
    EXPECT_EQ(DRO_ChooseFont(), 5);
    EXPECT_STREQ(DRO_GetLastError(), c.text);
    EXPECT_EQ(gSeenFlags, 1);
    EXPECT_EQ(gSeenRecord[28], 0);  // asked again with a cleared record
    EXPECT_EQ(record[28], 'Z');
  }
  DRO_XSetFontChooser(nullptr);
  // A long name is cut to 31 bytes; a host-filled unterminated one too.
  DRO_XSetFont(std::string(50, 'q').c_str(), 0, -5, 0);
  EXPECT_EQ(im::RequestFromRecord(record, face).pixelHeight, 1);
  EXPECT_EQ(std::strlen(face), 31u);
}

TEST_F(Drawing, TextIntoTheLayer) {
  DRO_XSetFont("DejaVu Sans", 10, 400, 0);
  DRO_IPLText(200, 100, 50, 1, 0, 0, 0, 0, 0, "H", 1);  // no source buffer: nothing
  EXPECT_EQ(Pixels(2), std::vector<Pixel64>(pixelCount(), kClear));
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLText(200, 100, 50, 1, 0, 0, 0, 0, 0, "H", 1);
  int opaque = 0, touched = 0;
  for (const Pixel64& p : Pixels(2)) {
    if (p.a) ++touched;
    // Over transparency the text keeps its colour where it is solid.
    if (p.a == 65280) {
      ++opaque;
      EXPECT_EQ(p, Opaque(200, 100, 50));
    }
  }
  EXPECT_GE(opaque, 3);
  EXPECT_GE(touched, opaque);
  DRO_IPLFreeSrcBuffer32();
}

TEST_F(Drawing, BlurMoreBuffer) {
  DRO_BlurMoreBufferRGB24(nullptr, 4, 4, 10, 100);
  std::vector<uint8_t> rgb(16 * 16 * 3, 0);
  const std::vector<uint8_t> zeros = rgb;
  DRO_BlurMoreBufferRGB24(rgb.data(), 0, 16, 10, 100);
  DRO_BlurMoreBufferRGB24(rgb.data(), 16, -1, 10, 100);
  DRO_BlurMoreBufferRGB24(rgb.data(), 100000, 100000, 10, 100);
  EXPECT_STREQ(DRO_GetLastError(), "BlurMoreBuffer Excpt");
  EXPECT_EQ(rgb, zeros);
  rgb[(8 * 16 + 8) * 3] = 255;
  std::vector<uint8_t> impulse = rgb;
  DRO_BlurMoreBufferRGB24(rgb.data(), 16, 16, 20, 0);  // weight 0: unchanged
  EXPECT_EQ(rgb, impulse);
  DRO_BlurMoreBufferRGB24(rgb.data(), 16, 16, 20, 100);
  EXPECT_LT(rgb[(8 * 16 + 8) * 3], 255);
  EXPECT_GT(rgb[(8 * 16 + 9) * 3], 0);
  EXPECT_EQ(rgb[(8 * 16 + 9) * 3 + 1], 0);  // channels stay apart
}

TEST_F(Drawing, DisplacementAndPhotoPop) {
  Fill(2, Opaque(90, 120, 150));
  for (int x = 0; x < width(); ++x) Put(2, x, 5, Opaque(250, 0, 0));
  const std::vector<Pixel64> before = Pixels(2);
  DRO_IPLDisplacementBummp("/nonexistent/script", 50.0, 0);  // no buffers: nothing
  EXPECT_EQ(Pixels(2), before);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
  // A script that cannot be loaded leaves a flat texture: no displacement.
  DRO_IPLDisplacementBummp("/nonexistent/script", 50.0, 0);
  EXPECT_EQ(Pixels(2), before);
  // A script whose picture has slopes moves pixels.
  const std::string path = testing::TempDir() + "drawing_bump.txt";
  std::ofstream(path) << "effect-script 1\nsize 7 7\nbackground 0 0 0\n"
                         "effect \"Plasma\"\n  seed = 3\n";
  DRO_IPLUpdateSrcBuffer32();
  DRO_IPLDisplacementBummp(path.c_str(), 400.0, 0);
  EXPECT_NE(Pixels(2), before);
  std::remove(path.c_str());
  // Photo pop on grey keeps it grey and reports the write.
  Fill(2, Opaque(100, 100, 100));
  DRO_IPLUpdateSrcBuffer32();
  EXPECT_EQ(DRO_IPLPhotoPop(0, 100.0, 1), 1);
  const Pixel64 p = At(2, 3, 3);
  EXPECT_EQ(p.r, p.g);
  EXPECT_EQ(p.g, p.b);
  DRO_IPLFreeSrcBuffer32();
  EXPECT_EQ(DRO_IPLPhotoPop(0, 50.0, 0), 0);  // no source buffer for the last step
  DRO_IPLFreeDstBuffer32();
}

}  // namespace
