// Tablet packets from recorded event streams, replayed through a fake
// device behind the tablet seam.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "drovine.h"
#include "io/shell.h"
#include "support/fake_devices.h"

namespace {

using namespace drovine_test::fake_devices;

class TabletPackets : public ::testing::Test {
 protected:
  void SetUp() override {
    Tablet() = {};
    Install();
    unsetenv("DROVINE_TABLET");
    DRO_XSetTabletScreenSize(1000, 500);
    DRO_XSetTabletWindowOrigin(0, 0);
  }
  // Opens the context with the origin at the screen's corner.
  static void Open() {
    ASSERT_EQ(DRO_InitTablet(nullptr), 1);
    ASSERT_EQ(DRO_SetTabletOrigin(), 1);
  }
  void TearDown() override {
    DRO_CloseTablet();
    Remove();
  }
};

TEST_F(TabletPackets, WithoutADeviceEveryQueryIsZeroAndPressureHoldsItsLastValue) {
  Tablet().present = false;
  EXPECT_EQ(DRO_InitTablet(nullptr), 0);
  EXPECT_EQ(DRO_ReadTabletPressure(0), 100);
  EXPECT_EQ(DRO_ReadTabletPressure(5), 100);  // no ramp without a context
  for (int32_t i : {-1, 0, 1, 300}) {
    EXPECT_EQ(DRO_ReadRawTabletPressure(i), 0);
    EXPECT_EQ(DRO_IsPacketInvert(i), 0);
    EXPECT_EQ(DRO_PacketStatus(i), 0);
    EXPECT_EQ(DRO_ReadTabletX(i), 0);
    EXPECT_EQ(DRO_ReadTabletY(i), 0);
  }
  EXPECT_EQ(DRO_ReadTabletPackets(), 0);
  EXPECT_EQ(DRO_SetTabletOrigin(), 0);
  EXPECT_EQ(DRO_CloseTablet(), 0);
  EXPECT_EQ(DRO_ResetTabletPressure(), 0);
  EXPECT_EQ(DRO_ReadTabletPressure(0), 10);
}

TEST_F(TabletPackets, PressurePastThePacketsRampsBy25FromTheLastValue) {
  ASSERT_EQ(DRO_InitTablet(nullptr), 1);
  EXPECT_EQ(DRO_ResetTabletPressure(), 0);
  std::vector<int32_t> seen;
  for (int i = 0; i < 6; ++i) seen.push_back(DRO_ReadTabletPressure(uint32_t(i)));
  EXPECT_EQ(seen, (std::vector<int32_t>{10, 35, 60, 85, 100, 100}));
  // A packet's pressure becomes the start of the next ramp.
  Key(tab::kBtnToolPen, 1), Abs(tab::kAbsPressure, 1023), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 1);
  EXPECT_EQ(DRO_ReadTabletPressure(0), 49);  // trunc(100 / 2047 x 1023)
  EXPECT_EQ(DRO_ReadTabletPressure(1), 49);
  EXPECT_EQ(DRO_ReadTabletPressure(0xFFFFFFFFu), 74);
  // A pressure beyond the axis (and beyond int32) ramps to 100 at once.
  Abs(tab::kAbsPressure, -1), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 1);
  EXPECT_EQ(DRO_ReadTabletPressure(0), 209817648);  // 4294967295 x 100 / 2047 in floats
  EXPECT_EQ(DRO_ReadTabletPressure(1), 209817648);
  EXPECT_EQ(DRO_ReadTabletPressure(1), 100);
}

TEST_F(TabletPackets, StrokePacketsCarryPositionPressureAndStatus) {
  DRO_XSetTabletWindowOrigin(100, 50);
  ASSERT_EQ(DRO_InitTablet(nullptr), 1);
  ASSERT_EQ(DRO_SetTabletOrigin(), 1);
  struct Step {
    int32_t x, y, pressure;
    bool pen, rubber, touch;
    int32_t wantX, wantY, wantPressure, wantRaw, wantStatus;
  };
  // x: v * 1000 / 20000 - 100; y: v * 500 / 10000 - 50.
  const Step steps[] = {
      {2000, 1000, 0, true, false, false, 0, 0, 1, 0, 0x00},  // hover at the origin
      {2019, 1019, 1, true, false, true, 0, 0, 1, 0, 0x20},   // 0.0488 -> 0 -> 1
      {2020, 1020, 21, true, false, true, 1, 1, 1, 1, 0x20},  // 1.0259
      {19999, 9999, 2047, true, false, true, 899, 449, 100, 100, 0x20},
      {0, 0, 4000, true, false, true, -100, -50, 195, 195, 0x20},    // beyond the axis
      {5000, 5000, 500, false, true, true, 150, 200, 24, 24, 0x30},  // eraser
      {5000, 5000, 0, false, false, false, 150, 200, 1, 0, 0x01},    // out of proximity
  };
  for (const Step& s : steps) {
    Abs(tab::kAbsX, s.x), Abs(tab::kAbsY, s.y), Abs(tab::kAbsPressure, s.pressure);
    Key(tab::kBtnToolPen, s.pen), Key(tab::kBtnToolRubber, s.rubber), Key(tab::kBtnTouch, s.touch);
    Report();
  }
  const int32_t n = int32_t(std::size(steps));
  ASSERT_EQ(DRO_ReadTabletPackets(), n);
  for (int32_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DRO_ReadTabletX(i), steps[i].wantX);
    EXPECT_EQ(DRO_ReadTabletY(i), steps[i].wantY);
    EXPECT_EQ(DRO_ReadTabletPressure(uint32_t(i)), steps[i].wantPressure);
    EXPECT_EQ(DRO_ReadRawTabletPressure(i), steps[i].wantRaw);
    EXPECT_EQ(DRO_PacketStatus(i), steps[i].wantStatus);
    EXPECT_EQ(DRO_IsPacketInvert(i), steps[i].rubber ? 1 : 0);
  }
  // Past the batch: nothing is read outside it.
  for (int32_t i : {n, 255, 256, -1}) {
    EXPECT_EQ(DRO_ReadRawTabletPressure(i), 0);
    EXPECT_EQ(DRO_PacketStatus(i), 0);
    EXPECT_EQ(DRO_ReadTabletX(i), 0);
  }
  EXPECT_EQ(DRO_ReadTabletPackets(), 0);
}

TEST_F(TabletPackets, LostEventsRestartFromTheDevicesPresentState) {
  Open();
  Key(tab::kBtnToolPen, 1), Abs(tab::kAbsX, 2000), Report();
  Abs(tab::kAbsX, 4000);  // part of a report cut short by the loss
  Tablet().events.push_back({tab::kEvSyn, tab::kSynDropped, 0});
  Abs(tab::kAbsX, 6000), Key(tab::kBtnToolRubber, 1);  // stale, ignored
  Report();
  Abs(tab::kAbsY, 2000), Report();
  Tablet().now = tab::DeviceState{8000, 1000, 1024, true, false, true};
  ASSERT_EQ(DRO_ReadTabletPackets(), 3);
  EXPECT_EQ(DRO_PacketStatus(0), 0);
  EXPECT_EQ(DRO_ReadTabletX(0), 100);
  EXPECT_EQ(DRO_PacketStatus(1), 0x02 | 0x20);
  EXPECT_EQ(DRO_ReadTabletX(1), 400);
  EXPECT_EQ(DRO_ReadTabletY(1), 50);
  EXPECT_EQ(DRO_ReadRawTabletPressure(1), 50);
  EXPECT_EQ(DRO_PacketStatus(2), 0x20);
  EXPECT_EQ(DRO_ReadTabletY(2), 100);
}

TEST_F(TabletPackets, AnEmptyPressureRangeMeansAPenWithoutPressure) {
  for (tab::AxisRange range : {tab::AxisRange{512, 512}, tab::AxisRange{600, 100}}) {
    Tablet().info.pressure = range;
    Open();
    Key(tab::kBtnToolPen, 1), Abs(tab::kAbsPressure, 512), Report();
    Key(tab::kBtnTouch, 1), Report();
    ASSERT_EQ(DRO_ReadTabletPackets(), 2);
    EXPECT_EQ(DRO_ReadRawTabletPressure(0), 0);
    EXPECT_EQ(DRO_ReadTabletPressure(0), 1);
    EXPECT_EQ(DRO_ReadRawTabletPressure(1), 100);
    EXPECT_EQ(DRO_ReadTabletPressure(1), 100);
  }
}

TEST_F(TabletPackets, TheQueueHolds256AndResetDiscardsUpTo1000) {
  Open();
  Key(tab::kBtnToolPen, 1);
  for (int i = 0; i < 300; ++i) Abs(tab::kAbsX, i * 20), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 256);
  EXPECT_EQ(DRO_ReadTabletX(255), 255);
  EXPECT_EQ(DRO_PacketStatus(255), 0);  // the rest waits in the device
  ASSERT_EQ(DRO_ReadTabletPackets(), 44);
  EXPECT_EQ(DRO_ReadTabletX(43), 299);
  EXPECT_EQ(DRO_ReadTabletPackets(), 0);
  for (int i = 0; i < 1200; ++i) Abs(tab::kAbsX, i), Report();
  Tablet().chunk = 7;
  EXPECT_EQ(DRO_ResetTabletPressure(), 1000);
  int32_t left = 0;
  while (int32_t n = DRO_ReadTabletPackets()) left += n;
  EXPECT_EQ(left, 200);
}

TEST_F(TabletPackets, ASecondInitClosesTheFirstContext) {
  ASSERT_EQ(DRO_InitTablet(nullptr), 1);
  Key(tab::kBtnToolPen, 1), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 1);
  ASSERT_EQ(DRO_InitTablet(nullptr), 1);
  EXPECT_EQ(Tablet().opens, 2);
  EXPECT_EQ(Tablet().closes, 1);
  EXPECT_EQ(DRO_PacketStatus(0), 0);  // the old batch went with its context
  EXPECT_EQ(DRO_CloseTablet(), 1);
  EXPECT_EQ(DRO_CloseTablet(), 0);
  EXPECT_EQ(Tablet().closes, 2);
}

// Without a size from the host, positions map to the X display's screen.
TEST_F(TabletPackets, TheScreenSizeComesFromTheXDisplay) {
  const int display = 300 + getpid() % 600;
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
  std::system(("Xvfb :" + std::to_string(display) +
               " -screen 0 1234x567x24 -nolisten tcp >/dev/null 2>&1 & echo $! > /tmp/xvfb-" +
               std::to_string(display))
                  .c_str());
  for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) usleep(50000);
  const char* old = std::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
  DRO_XSetTabletScreenSize(0, 0);
  Open();
  Key(tab::kBtnToolPen, 1), Abs(tab::kAbsX, 10000), Abs(tab::kAbsY, 5000), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 1);
  EXPECT_EQ(DRO_ReadTabletX(0), 617);  // 10000 x 1234 / 20000
  EXPECT_EQ(DRO_ReadTabletY(0), 283);  // 5000 x 567 / 10000
  // Without a display: device units from the axis minimum.
  unsetenv("DISPLAY");
  Open();
  Abs(tab::kAbsX, 10000), Report();
  ASSERT_EQ(DRO_ReadTabletPackets(), 1);
  EXPECT_EQ(DRO_ReadTabletX(0), 10000);
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
  std::ifstream pid("/tmp/xvfb-" + std::to_string(display));
  int xvfb = 0;
  if (pid >> xvfb && xvfb > 0) kill(xvfb, SIGTERM);
  std::remove(("/tmp/xvfb-" + std::to_string(display)).c_str());
}

// Thirty seconds of painting, replayed as the device would have sent it
// and read in batches while events trickle in.
TEST_F(TabletPackets, ThirtySecondsOfPaintingArriveIntact) {
  std::ifstream in(DROVINE_SHARED_DATA "/painting30sec.dat");
  struct Sample {
    int32_t x, y, pressure;
  };
  std::vector<Sample> samples;
  double t, x, y, p;
  while (in >> t >> x >> y >> p)
    samples.push_back({int32_t(std::lround(x * 20)), int32_t(std::lround(y * 20)),
                       int32_t(std::lround(p * 2047))});
  ASSERT_EQ(samples.size(), 2937u);
  DRO_XSetTabletScreenSize(2000, 1000);  // device units: 10 per pixel
  Open();
  Key(tab::kBtnToolPen, 1);
  for (const Sample& s : samples) {
    Abs(tab::kAbsX, s.x), Abs(tab::kAbsY, s.y), Abs(tab::kAbsPressure, s.pressure);
    Key(tab::kBtnTouch, s.pressure > 0), Report();
  }
  Tablet().chunk = 40;
  size_t got = 0, touching = 0;
  int64_t pressureSum = 0;
  while (got < samples.size()) {
    const int32_t n = DRO_ReadTabletPackets();
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 256);
    for (int32_t i = 0; i < n; ++i, ++got) {
      const Sample& s = samples[got];
      ASSERT_EQ(DRO_ReadTabletX(i), s.x / 10) << got;
      ASSERT_EQ(DRO_ReadTabletY(i), s.y / 10) << got;
      ASSERT_EQ(DRO_PacketStatus(i), s.pressure > 0 ? 0x20 : 0) << got;
      touching += s.pressure > 0;
      pressureSum += DRO_ReadRawTabletPressure(i);
    }
  }
  EXPECT_EQ(touching, 2253u);
  EXPECT_EQ(DRO_ReadTabletPackets(), 0);
  // The sum of trunc(100 / 2047 x raw) in single precision over the
  // recording, worked out apart from the engine.
  EXPECT_EQ(pressureSum, 74531);
}

}  // namespace
