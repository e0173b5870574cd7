// Scanning: SANE's test device compared pixel for pixel with scanimage, and
// frame layouts no test device gives through a fake backend.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drovine.h"
#include "io/shell.h"
#include "support/allocation_sweep.h"
#include "support/fake_devices.h"
#include "support/scratch_dir.h"

// SANE's test device leaks the buffers of its reader thread (inside the
// device library, whatever the caller does); the leak checker skips them.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libsane-test.so\n";
}

namespace {

namespace scan = dro::platform::scanner;
namespace fake = drovine_test::fake_devices;
using drovine_test::Shell;
using fake::Params;

// SANE reads its configuration once per process: one directory for all,
// with the test device drawing its colour pattern.
const std::string& SaneConfig() {
  static drovine_test::ScratchDir dir;
  static const std::string path = [] {
    dir.Write("dll.conf", "test\n");
    std::ifstream in("/etc/sane.d/test.conf");
    std::stringstream conf;
    for (std::string line; std::getline(in, line);)
      conf << (line.rfind("test-picture", 0) == 0 ? "test-picture \"Color pattern\"" : line)
           << "\n";
    dir.Write("test.conf", conf.str());
    return dir.path().string();
  }();
  return path;
}

std::vector<uint8_t> Staging() {
  std::vector<uint8_t> rgba(size_t(DRO_GetNewRGBAWidth()) * size_t(DRO_GetNewRGBAHeight()) * 4);
  if (!rgba.empty()) DRO_GetNewRGBA32(rgba.data());
  return rgba;
}

// scanimage's picture as RGBA: PBM bits (1 black), PGM or PPM of 8 or 16
// bits (big-endian; the high byte kept).
std::vector<uint8_t> Scanimage(const std::string& options, int& width, int& height) {
  // scanimage now and then never returns from unloading its backend: a
  // time limit and another try keep that from hanging the suite.
  std::string pnm;
  for (int attempt = 0; attempt < 3 && pnm.empty(); ++attempt)
    pnm = Shell("SANE_CONFIG_DIR='" + SaneConfig() + "' timeout -k 5 20 scanimage --format=pnm " +
                options + " 2>/dev/null");
  std::istringstream in(pnm);
  std::string magic;
  in >> magic;
  int max = 1;
  auto field = [&] {
    in >> std::ws;
    while (in.peek() == '#') in.ignore(1 << 20, '\n') >> std::ws;
    int v = 0;
    in >> v;
    return v;
  };
  width = field(), height = field();
  if (magic != "P4") max = field();
  in.get();
  std::vector<uint8_t> rgba(size_t(width * height * 4), 255);
  const int channels = magic == "P6" ? 3 : 1, bytes = max > 255 ? 2 : 1;
  const int row = magic == "P4" ? (width + 7) / 8 : width * channels * bytes;
  std::vector<uint8_t> line(static_cast<size_t>(row));
  for (int y = 0; y < height; ++y) {
    in.read(reinterpret_cast<char*>(line.data()), row);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        uint8_t v;
        if (magic == "P4")
          v = (line[size_t(x / 8)] >> (7 - x % 8)) & 1 ? 0 : 255;
        else
          v = line[size_t((x * channels + (channels == 3 ? c : 0)) * bytes)];
        rgba[size_t((y * width + x) * 4 + c)] = v;
      }
  }
  return rgba;
}

class Scanning : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SANE_CONFIG_DIR", SaneConfig().c_str(), 1);
    unsetenv("DROVINE_SANE_DEVICE");
    DRO_XSetScanSource(nullptr);
    DRO_XSetScanOptions(0, nullptr, 0);
  }
  void TearDown() override { fake::Remove(); }
};

TEST_F(Scanning, TheTestDeviceGivesWhatScanimageGives) {
  struct Case {
    const char* mode;
    int depth, resolution;
  } cases[] = {
      {"Color", 8, 50}, {"Color", 16, 40}, {"Gray", 8, 60}, {"Gray", 16, 30}, {"Gray", 1, 50}};
  ASSERT_EQ(DRO_XSetScanSource("test:1"), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.depth));
    ASSERT_EQ(DRO_XSetScanOptions(c.resolution, c.mode, c.depth), 1);
    ASSERT_EQ(DRO_TwainAcquire(), 1);
    int w = 0, h = 0;
    const std::vector<uint8_t> want =
        Scanimage("-d test:1 --mode " + std::string(c.mode) + " --depth " +
                      std::to_string(c.depth) + " --resolution " + std::to_string(c.resolution),
                  w, h);
    ASSERT_GT(w, 0);
    EXPECT_EQ(DRO_GetNewRGBAWidth(), w);
    EXPECT_EQ(DRO_GetNewRGBAHeight(), h);
    EXPECT_TRUE(Staging() == want);
  }
}

TEST_F(Scanning, TheSourceComesFromTheExtensionTheEnvironmentOrTheList) {
  EXPECT_EQ(DRO_IsTwain(), 1);
  EXPECT_EQ(DRO_TwainSelectSource(), 1);  // the first device
  setenv("DROVINE_SANE_DEVICE", "test:9", 1);
  EXPECT_EQ(DRO_TwainSelectSource(), 0);
  ASSERT_EQ(DRO_XSetScanOptions(25, "Color", 8), 1);
  EXPECT_EQ(DRO_TwainAcquire(), 0);
  EXPECT_EQ(DRO_XSetScanSource("test:1"), 1);
  EXPECT_EQ(DRO_TwainSelectSource(), 1);
  ASSERT_EQ(DRO_TwainAcquire(), 1);
  const std::vector<uint8_t> scanned = Staging();
  // A failed scan leaves the staging image as it was.
  DRO_XSetScanSource("nosuch:0");
  EXPECT_EQ(DRO_TwainAcquire(), 0);
  EXPECT_EQ(Staging(), scanned);
  struct {
    int32_t resolution;
    const char* mode;
    int32_t depth;
  } refused[] = {{-1, "Color", 8}, {300, "color", 8}, {300, "Color", 4}, {300, "Color", -8}};
  for (const auto& r : refused) EXPECT_EQ(DRO_XSetScanOptions(r.resolution, r.mode, r.depth), 0);
}

TEST_F(Scanning, FrameLayoutsBecomeRgba) {
  using F = scan::FrameFormat;
  const uint16_t wide[] = {0x1234, 0xABCD, 0xFF00, 0x00FF};
  std::vector<uint8_t> sixteen(8);
  std::memcpy(sixteen.data(), wide, 8);
  struct Case {
    const char* what;
    std::vector<fake::FakeFrame> frames;
    int width, height;
    std::vector<uint8_t> rgb;  // expected, tight
  } cases[] = {
      {"three passes in blue, red, green order",
       {{Params(F::kBlue, 2, 2, 1, 8, false), {1, 2}},
        {Params(F::kRed, 2, 2, 1, 8, false), {3, 4}},
        {Params(F::kGreen, 2, 2, 1, 8, true), {5, 6}}},
       2,
       1,
       {3, 5, 1, 4, 6, 2}},
      {"16-bit grey, padded lines", {{Params(F::kGray, 2, 6, 2, 16, true), {}}}, 2, 2, {}},
      {"1-bit colour: 1 is full",
       {{Params(F::kRgb, 3, 2, 1, 1, true), {0b10101101, 0b00000000}}},
       3,
       1,
       {255, 0, 255, 0, 255, 255, 0, 255, 0}},
      {"1-bit grey: 1 is black",
       {{Params(F::kGray, 9, 2, 1, 1, true), {0b10000000, 0b10000000}}},
       9,
       1,
       {0,   0,   0,   255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0,   0,   0}},
      {"unknown length, read to the end",
       {{Params(F::kGray, 2, 2, -1, 8, true), {9, 8, 7, 6, 5}}},
       2,
       2,
       {9, 9, 9, 8, 8, 8, 7, 7, 7, 6, 6, 6}},
      {"a short frame keeps its complete lines",
       {{Params(F::kRgb, 1, 3, 4, 8, true), {1, 2, 3, 4, 5, 6, 7}}},
       1,
       2,
       {1, 2, 3, 4, 5, 6}},
  };
  // 16-bit grey: the high bytes of 0x1234, 0xABCD, then 0xFF00, 0x00FF,
  // each line followed by two bytes of padding.
  cases[1].frames[0].bytes = {sixteen[0], sixteen[1], sixteen[2], sixteen[3], 0, 0,
                              sixteen[4], sixteen[5], sixteen[6], sixteen[7], 0, 0};
  cases[1].rgb = {0x12, 0x12, 0x12, 0xAB, 0xAB, 0xAB, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00};
  fake::Install();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::Scanner() = {};
    fake::Scanner().frames = c.frames;
    ASSERT_EQ(DRO_TwainAcquire(), 1);
    ASSERT_EQ(DRO_GetNewRGBAWidth(), c.width);
    ASSERT_EQ(DRO_GetNewRGBAHeight(), c.height);
    std::vector<uint8_t> want;
    for (size_t i = 0; i < c.rgb.size(); i += 3)
      want.insert(want.end(), {c.rgb[i], c.rgb[i + 1], c.rgb[i + 2], 255});
    EXPECT_EQ(Staging(), want);
    EXPECT_EQ(fake::Scanner().closes, 1);
    EXPECT_EQ(fake::Scanner().cancels, 1);
  }
}

TEST_F(Scanning, ImpossibleFramesAreRefusedAndTheDeviceReleased) {
  using F = scan::FrameFormat;
  const scan::FrameParams refused[] = {
      Params(F::kRgb, 10, 30, 30001, 8, true),               // too many lines
      Params(F::kGray, 1 << 15, 1 << 15, 1 << 13, 8, true),  // 2^28 pixels and one line more
      Params(F::kRgb, 10, 29, 5, 8, true),                   // lines shorter than their pixels
      Params(F::kGray, 10, 10, 5, 12, true),                 // no such depth
      Params(F::kOther, 10, 10, 5, 8, true),
      Params(F::kGray, 0, 0, 5, 8, true),
      Params(F::kGray, 10, 10, 0, 8, true),
      Params(F::kGray, 2, 2, 1, 8, false),  // a grey frame then a colour frame
  };
  fake::Install();
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    fake::Scanner() = {};
    scan::FrameParams p = refused[i];
    if (i == 1) p.lines += 1;
    fake::Scanner().frames = {{p, std::vector<uint8_t>(64, 1)}};
    if (i == 7) fake::Scanner().frames.push_back({Params(F::kRgb, 2, 6, 1, 8, true), {}});
    DRO_SetLastError("");
    EXPECT_EQ(DRO_TwainAcquire(), i == 7 ? 1 : 0);
    EXPECT_STREQ(DRO_GetLastError(), "");
    EXPECT_EQ(fake::Scanner().opens, 1);
    EXPECT_EQ(fake::Scanner().closes, 1);
  }
  // Memory running out anywhere is reported, and nothing is held.
  fake::Scanner() = {};
  fake::Scanner().frames = {{Params(F::kRgb, 4, 12, 3, 8, true), std::vector<uint8_t>(36, 7)}};
  drovine_test::SweepAllocationFailures(
      {"TwainAcquire Excpt"}, [] { DRO_TwainAcquire(); },
      [](int64_t) { EXPECT_EQ(fake::Scanner().opens, fake::Scanner().closes); });
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 4);
}

}  // namespace
