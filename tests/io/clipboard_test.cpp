// The clipboard and the screen: the in-process clipboard without a display
// (DISPLAY unset), and the X11 selection and root window under an Xvfb of
// the test's own, read and fed by xclip.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "drovine.h"
#include "io/clipboard.h"
#include "platform/desktop.h"
#include "platform/image_library.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

using drovine_test::CanvasTest;
using drovine_test::Mask16;
using drovine_test::Pixel64;
namespace desk = dro::platform::desktop;
namespace im = dro::platform::image;

constexpr int32_t kSide = 24;

// A picture whose pixel (x, y) is (x * 9, y * 9, 100 + x, alpha).
std::vector<uint8_t> Coded(int32_t w, int32_t h, uint8_t alpha) {
  std::vector<uint8_t> p(size_t(w) * h * 4);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* q = &p[(size_t(y) * w + x) * 4];
      q[0] = uint8_t(x * 9), q[1] = uint8_t(y * 9), q[2] = uint8_t(100 + x), q[3] = alpha;
    }
  return p;
}

// printf into a string (GCC 12 misjudges chains of string additions).
template <class... Args>
std::string Text(const char* format, Args... args) {
  char out[512];
  std::snprintf(out, sizeof out, format, args...);
  return out;
}

std::vector<uint8_t> Staged() {
  std::vector<uint8_t> out(size_t(DRO_GetNewRGBAWidth()) * DRO_GetNewRGBAHeight() * 4);
  DRO_GetNewRGBA32(out.data());
  return out;
}

class Clipboard : public CanvasTest {
 protected:
  Clipboard() : CanvasTest({kSide, kSide}) {}
  void SetUp() override {
    unsetenv("DISPLAY");
    CanvasTest::SetUp();
    MakeLayer(2, Pixel64{0, 0, 0, 0});
    DRO_SetLayer(2);
  }
  void TearDown() override {
    desk::SetBackend(nullptr);
    DRO_XSetScreenPicture(nullptr, 0, 0);
    DRO_DeleteNewRGBA();
    CanvasTest::TearDown();
  }
  // Puts a picture on the clipboard through a host buffer.
  void Offer(std::vector<uint8_t> rgba, int32_t w, int32_t h) {
    ASSERT_EQ(DRO_RGBA32ToClipboardRect(rgba.data(), 0, 0, w, h), 1);
  }
};

TEST_F(Clipboard, CopiesComeBackOpaque) {
  const auto picture = Coded(kSide, kSide, 90);
  DRO_LoadRGBA32Layer_BAD(const_cast<uint8_t*>(picture.data()), 0, 2, kSide, kSide, 0);
  ASSERT_EQ(DRO_ToClipboard(), 1);
  ASSERT_EQ(DRO_FromClipboard(), 1);
  auto expected = picture;
  for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
  EXPECT_EQ(Staged(), expected);
  // The rectangle between two corners in either order, clipped.
  struct Case {
    int32_t x0, y0, x1, y1, w, h, left, top;
  } const cases[] = {{5, 4, 1, 1, 4, 3, 1, 1},
                     {1, 1, 5, 4, 4, 3, 1, 1},
                     {-3, 2, 2, 3, 2, 1, 0, 2},
                     {20, 20, 40, 30, 4, 4, 20, 20},
                     {kSide, 0, kSide + 5, 5, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x0);
    const int32_t ok = DRO_ToClipboardRect(c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(ok, c.w ? 1 : 0);
    if (!ok) continue;
    ASSERT_EQ(DRO_FromClipboard(), 1);
    ASSERT_EQ(DRO_GetNewRGBAWidth(), c.w);
    ASSERT_EQ(DRO_GetNewRGBAHeight(), c.h);
    const auto got = Staged();
    EXPECT_EQ(got[0], uint8_t(c.left * 9));
    EXPECT_EQ(got[1], uint8_t(c.top * 9));
    EXPECT_EQ(got[got.size() - 4], uint8_t((c.left + c.w - 1) * 9));
  }
  EXPECT_EQ(DRO_RGBA32ToClipboardRect(nullptr, 0, 0, 4, 4), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Clipboard, TheMaskScalesTheCopiedAlpha) {
  const auto picture = Coded(kSide, kSide, 255);
  DRO_LoadRGBA32Layer_BAD(const_cast<uint8_t*>(picture.data()), 0, 2, kSide, kSide, 0);
  for (const Mask16 m : {Mask16{255}, Mask16{0}, Mask16{65535}}) {
    FillMask(m);
    DRO_EnableMask(1);
    ASSERT_EQ(DRO_ToClipboard(), 1);
    dro::Buffer<uint8_t> dib;
    desk::ClipFormat format;
    ASSERT_TRUE(desk::GetClipboard(dib, format));
    im::Picture held;
    ASSERT_TRUE(desk::DibToRgba(dib.data(), dib.size(), 255, held));
    // The DIB's fourth bytes carry the alpha.
    for (size_t i = 40 + 3; i < dib.size(); i += 4)
      ASSERT_EQ(dib[i], m == 65535 ? 255 : 0) << m << " at " << i;
  }
}

TEST_F(Clipboard, PastesLandWhereTheyAreAsked) {
  // A 5 x 5 picture centred on (10, 10) has its top-left corner at (8, 8).
  Offer(Coded(5, 5, 255), 5, 5);
  ASSERT_EQ(DRO_FromClipboardInto(10, 10, 1), 1);
  EXPECT_EQ(At(2, 8, 8), (Pixel64{0, 0, 100 * 256, 65280}));
  EXPECT_EQ(At(2, 12, 12), (Pixel64{36 * 256, 36 * 256, 104 * 256, 65280}));
  EXPECT_EQ(At(2, 7, 8).a, 0);
  EXPECT_EQ(At(2, 13, 12).a, 0);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);  // released after the paste
  // At x = -10 without centring, ten columns are cut off the left.
  Fill(2, Pixel64{0, 0, 0, 0});
  Offer(Coded(20, 3, 255), 20, 3);
  ASSERT_EQ(DRO_FromClipboardInto(-10, 0, 0), 1);
  EXPECT_EQ(At(2, 0, 0).r, 10 * 9 * 256);
  EXPECT_EQ(At(2, 9, 2).r, 19 * 9 * 256);
  EXPECT_EQ(At(2, 10, 0).a, 0);
  // Placements far outside the int32 range of the centre arithmetic.
  for (const int32_t at :
       {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
    EXPECT_EQ(DRO_FromClipboardInto(at, at, 1), 1);
}

TEST_F(Clipboard, SizedPastes) {
  // A 40 x 20 picture to a longer side of 10 covers 10 x 5.
  Offer(Coded(40, 20, 255), 40, 20);
  DRO_FromClipboardIntoEX2(2, 3, 10, 0, 0, 1);
  EXPECT_EQ(At(2, 11, 7).a, 65280);
  EXPECT_EQ(At(2, 12, 7).a, 0);
  EXPECT_EQ(At(2, 11, 8).a, 0);
  EXPECT_EQ(At(2, 1, 3).a, 0);
  // At its own size and turned by 360 degrees it is neither scaled nor
  // turned: exact pixels, cut at the canvas edge.
  Fill(2, Pixel64{0, 0, 0, 0});
  Offer(Coded(40, 20, 255), 40, 20);
  DRO_FromClipboardIntoEX2(-5, 1, 40, 360, 0, 1);
  EXPECT_EQ(At(2, 0, 1), (Pixel64{45 * 256, 0, 105 * 256, 65280}));
  EXPECT_EQ(At(2, kSide - 1, 20), (Pixel64{uint16_t((kSide + 4) * 9 * 256), 19 * 9 * 256,
                                           uint16_t((100 + kSide + 4) * 256), 65280}));
  EXPECT_EQ(At(2, 0, 0).a, 0);
  EXPECT_EQ(At(2, 0, 21).a, 0);
  // A quarter turn of a 4 x 2 picture covers 2 x 4.
  Fill(2, Pixel64{0, 0, 0, 0});
  Offer(Coded(4, 2, 255), 4, 2);
  DRO_FromClipboardIntoEX2(0, 0, 4, 90, 0, 0);
  EXPECT_EQ(At(2, 1, 3).a, 65280);
  EXPECT_EQ(At(2, 2, 0).a, 0);
  EXPECT_EQ(At(2, 0, 4).a, 0);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
}

TEST_F(Clipboard, ScaledPastesAndRefusedNumbers) {
  Offer(Coded(4, 4, 255), 4, 4);
  DRO_FromClipboardIntoEX(1, 1, 2.0f, 0, 0, 0);  // 8 x 8 from (1, 1)
  EXPECT_EQ(At(2, 8, 8).a, 65280);
  EXPECT_EQ(At(2, 9, 9).a, 0);
  EXPECT_EQ(At(2, 0, 0).a, 0);
  const std::vector<Pixel64> before = Pixels(2);
  for (const float scale : {0.0f, -1.0f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
    Offer(Coded(4, 4, 255), 4, 4);
    DRO_FromClipboardIntoEX(1, 1, scale, 0, 0, 0);
    EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
  }
  for (const int32_t size : {0, -4}) {
    Offer(Coded(4, 4, 255), 4, 4);
    DRO_FromClipboardIntoEX2(1, 1, size, 0, 0, 0);
  }
  EXPECT_EQ(Pixels(2), before);
  struct Case {
    double f;
    int32_t w, h;
    bool ok;
    int32_t ow, oh;
  } const cases[] = {{2.0, 4, 3, true, 8, 6},          {0.01, 400, 200, true, 4, 2},
                     {0.001, 400, 200, true, 1, 1},    {1e9, 4, 3, true, 30000, 30000},
                     {0, 4, 3, false, 0, 0},           {-2, 4, 3, false, 0, 0},
                     {std::nan(""), 4, 3, false, 0, 0}};
  for (const Case& c : cases) {
    int32_t w = 0, h = 0;
    EXPECT_EQ(dro::io::ScaledSize(c.f, c.w, c.h, w, h), c.ok) << c.f;
    if (c.ok) {
      EXPECT_EQ(std::pair(w, h), std::pair(c.ow, c.oh)) << c.f;
    }
  }
  EXPECT_STREQ(DRO_GetLastError(), "");
}

// Backends that hold a given block, or nothing.
dro::Buffer<uint8_t> g_held;
desk::ClipFormat g_format = desk::ClipFormat::kDib;
bool HeldPut(const uint8_t*, size_t) {
  return false;
}
bool HeldGet(dro::Buffer<uint8_t>& data, desk::ClipFormat& format) {
  if (!g_held) return false;
  data = dro::Buffer<uint8_t>::Make(g_held.size());
  std::memcpy(data.data(), g_held.data(), g_held.size());
  format = g_format;
  return true;
}
bool NoCapture(im::Picture&) {
  return false;
}
const desk::Backend kHeld = {HeldPut, HeldGet, NoCapture};

TEST_F(Clipboard, DamagedOrMissingBitmapsLeaveNoPicture) {
  desk::SetBackend(&kHeld);
  const auto rgba = Coded(6, 4, 255);
  std::vector<uint8_t> dib(size_t(desk::DibBytes(6, 4)));
  ASSERT_TRUE(desk::RgbaToDib(rgba.data(), 6, 4, dib.data(), dib.size()));
  auto hold = [&](size_t bytes) {
    g_held = dro::Buffer<uint8_t>::Make(bytes);
    std::memcpy(g_held.data(), dib.data(), bytes);
  };
  hold(dib.size());
  ASSERT_EQ(DRO_FromClipboard(), 1);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 6);
  // A header that claims more rows than the block holds, one byte short,
  // a header alone, a height of zero, an empty clipboard: no picture, and
  // the previous one is gone too.
  for (const size_t bytes : {dib.size() - 1, size_t(40), size_t(12), size_t(3)}) {
    hold(bytes);
    EXPECT_EQ(DRO_FromClipboard(), 0) << bytes;
    EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
  }
  hold(dib.size());
  std::memset(g_held.data() + 8, 0, 4);
  EXPECT_EQ(DRO_FromClipboard(), 0);
  g_held.Reset();
  EXPECT_EQ(DRO_FromClipboard(), 0);
  EXPECT_EQ(DRO_FromClipboardInto(0, 0, 0), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Clipboard, ScreenCaptureWithoutADisplay) {
  EXPECT_EQ(DRO_ScreenCapture(), 0);
  EXPECT_EQ(DRO_ScreenCaptureInto(), 0);
  const auto screen = Coded(30, 20, 255);
  ASSERT_EQ(DRO_XSetScreenPicture(screen.data(), 30, 20), 1);
  ASSERT_EQ(DRO_ScreenCapture(), 1);
  EXPECT_EQ(Staged(), screen);
  ASSERT_EQ(DRO_ScreenCaptureInto(), 1);
  EXPECT_EQ(At(2, 23, 19), (Pixel64{23 * 9 * 256, 19 * 9 * 256, 123 * 256, 65280}));
  EXPECT_EQ(DRO_XSetScreenPicture(screen.data(), 0, 20), 0);
  EXPECT_EQ(DRO_XSetClipboardTimeLimit(0), 0);
  EXPECT_EQ(DRO_XSetClipboardTimeLimit(60001), 0);
  EXPECT_EQ(DRO_XSetClipboardTimeLimit(500), 1);
}

// --- X11 -------------------------------------------------------------------------

// An Xvfb for one test, on a display number it picks itself (-displayfd),
// so tests running side by side never share a server. -noreset: a server
// whose last client leaves would otherwise reset and refuse the next one
// for a moment, which no desktop with a window manager ever does.
class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::freopen("/dev/null", "w", stderr);
      const std::string fd = Text("%d", fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char number[32] = {};
    size_t got = 0;
    while (got + 1 < sizeof number) {
      const ssize_t n = read(fds[0], number + got, 1);
      if (n <= 0 || number[got] == '\n') break;
      ++got;
    }
    close(fds[0]);
    number[got] = 0;
    if (got == 0 || pid_ < 0) {
      Stop();
      return;
    }
    display_ = Text(":%s", number);
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  ~Xvfb() { Stop(); }
  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

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

class X11Clipboard : public Clipboard {
 protected:
  void SetUp() override {
    Clipboard::SetUp();
    if (!xvfb_.running()) GTEST_SKIP() << "no Xvfb";
    setenv("DISPLAY", xvfb_.display().c_str(), 1);
  }
  Xvfb xvfb_;
  drovine_test::ScratchDir dir_;
};

TEST_F(X11Clipboard, CopiesAreReadByOtherPrograms) {
  // Small (one answer) and large (in increments) pictures.
  for (const int32_t side : {kSide, 400}) {
    if (side != kSide) Recreate({side, side - 100});
    const int32_t w = side, h = side == kSide ? kSide : side - 100;
    MakeLayer(2, Pixel64{0, 0, 0, 0});
    DRO_SetLayer(2);
    auto picture = Coded(w, h, 200);
    for (size_t i = 0; i < picture.size(); i += 7) picture[i] ^= uint8_t(i * 31);  // incompressible
    DRO_LoadRGBA32Layer_BAD(picture.data(), 0, 2, w, h, 0);
    ASSERT_EQ(DRO_ToClipboard(), 1) << DRO_GetLastError();
    const std::string targets = Output("xclip -selection clipboard -t TARGETS -o");
    EXPECT_NE(targets.find("image/png"), std::string::npos) << targets;
    EXPECT_NE(targets.find("image/bmp"), std::string::npos) << targets;
    const std::string png = Output("xclip -selection clipboard -t image/png -o");
    im::Picture got;
    ASSERT_TRUE(im::ReadPictureRgba(reinterpret_cast<const uint8_t*>(png.data()), png.size(), got));
    EXPECT_EQ(std::vector<uint8_t>(got.pixels.begin(), got.pixels.end()), picture) << side;
    const std::string bmp =
        Output("xclip -selection clipboard -t image/bmp -o | bmptopnm 2>/dev/null");
    EXPECT_EQ(bmp.substr(0, 2), "P6");
    EXPECT_NE(bmp.find(Text("%d %d", w, h)), std::string::npos);
    // Our own paste reads our own picture, opaque.
    ASSERT_EQ(DRO_FromClipboard(), 1);
    EXPECT_EQ(DRO_GetNewRGBAWidth(), w);
  }
}

TEST_F(X11Clipboard, PastesWhatAnotherProgramOffers) {
  for (const int32_t side : {8, 600}) {
    auto picture = Coded(side, side, 255);
    for (size_t i = 0; i < picture.size(); ++i)
      if (i % 4 != 3) picture[i] = uint8_t((i * 2654435761u) >> 13);  // incompressible
    const std::string path = dir_.File("offer.png");
    ASSERT_TRUE(im::WritePng(path.c_str(), picture.data(), side, side, 4, side * 4, 0, 0));
    ASSERT_EQ(
        std::system(Text("xclip -selection clipboard -t image/png -i %s", path.c_str()).c_str()),
        0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(DRO_FromClipboard(), 1) << side;
    EXPECT_EQ(DRO_GetNewRGBAWidth(), side);
    EXPECT_EQ(Staged(), picture) << side;
  }
}

TEST_F(X11Clipboard, AnOwnerThatNeverAnswersCostsTheTimeLimit) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_TRUE(d);
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(d, XInternAtom(d, "CLIPBOARD", False), w, CurrentTime);
  XSync(d, False);
  ASSERT_EQ(DRO_XSetClipboardTimeLimit(300), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DRO_FromClipboard(), 0);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_LT(spent, std::chrono::milliseconds(2000));
  EXPECT_GE(spent, std::chrono::milliseconds(300));
  XCloseDisplay(d);
  DRO_XSetClipboardTimeLimit(3000);
}

TEST_F(X11Clipboard, CapturesTheRootWindow) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_TRUE(d);
  const Window root = DefaultRootWindow(d);
  XSetWindowBackground(d, root, 0x123456);
  XClearWindow(d, root);
  XSync(d, False);
  ASSERT_EQ(DRO_ScreenCapture(), 1);
  ASSERT_EQ(DRO_GetNewRGBAWidth(), 320);
  ASSERT_EQ(DRO_GetNewRGBAHeight(), 240);
  const auto shot = Staged();
  for (const size_t at : {size_t(0), shot.size() / 2, shot.size() - 4})
    EXPECT_EQ(std::vector<uint8_t>(shot.begin() + long(at), shot.begin() + long(at) + 4),
              (std::vector<uint8_t>{0x12, 0x34, 0x56, 255}));
  ASSERT_EQ(DRO_ScreenCaptureInto(), 1);
  EXPECT_EQ(At(2, kSide - 1, kSide - 1), (Pixel64{0x1200, 0x3400, 0x5600, 65280}));
  XCloseDisplay(d);
}

}  // namespace
