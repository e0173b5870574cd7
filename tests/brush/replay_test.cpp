// Stroke replays: thirty seconds of recorded tablet input painted through
// the exports as a host paints (dabs along the path, size and opacity from
// pressure, the dirty rectangle rendered after every event), with the
// layer's 16-bit pixels and the host's view bitmap pinned by checksum. Any
// change in what a dab or the display produces shows here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "hostkit/fingerprint.h"
#include "hostkit/stroke_replay.h"
#include "support/canvas.h"

namespace {

using hostkit::BrushStyle;
using hostkit::StrokeReplay;
using hostkit::TabletEvent;

constexpr int32_t kW = 1000;
constexpr int32_t kH = 660;
constexpr int32_t kLayer = 2;

const std::vector<TabletEvent>& Recording() {
  static const std::vector<TabletEvent> events =
      hostkit::ReadTabletEvents(std::string(DROVINE_SHARED_DATA) + "/painting30sec.dat");
  return events;
}

BrushStyle SoftDisc() {
  BrushStyle s;
  s.size = 24;
  s.softness = 200;
  s.red = 40, s.green = 70, s.blue = 140;
  s.seed = 11;
  return s;
}

class Replay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Recording().size(), 2937u);
    DRO_SetLastError("");
    // The canvas's grit tables follow the seed it is made with.
    DRO_SetRandomSeed(0);
    DRO_CreateImage(nullptr, kW, kH, 64, 5);
    DRO_SetUndoLevels(4);
    ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
    ASSERT_EQ(DRO_CreateLayer(kLayer, kW, kH), 1);
    DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
    DRO_SetLayerOptions(kLayer, 1, 0, 100, "Normal");
    DRO_SetLayer(kLayer);
    DRO_EnableMask(1);
    DRO_DisplayMask(0);
    DRO_SetTracingMode(0);
    drovine_test::ResetDabSettings();
  }
  void TearDown() override {
    DRO_DeletePaintLayer();
    DRO_DeleteImage();
    // Put back the settings a replay changes that other tests read.
    DRO_SetPixColorVary(0);
    DRO_SetPixLumVary(0);
    dro::engine().brush.pixColorVary = dro::RandomTable{};
    dro::engine().brush.pixLumVary = dro::RandomTable{};
    DRO_SetRotateBrushMode(0, 0);
    DRO_SetRandomSeed(0);
  }

  static void Play(StrokeReplay& host, const BrushStyle& style, double dx = 0, double dy = 0) {
    host.Use(style);
    for (const TabletEvent& e : Recording()) host.Event(e, dx, dy);
    host.Finish();
  }

  // Checks that rendering after every event kept the view in step with the
  // canvas (a full render gives the same picture), then returns both
  // fingerprints.
  static std::pair<uint64_t, uint64_t> Fingerprints(const StrokeReplay& host) {
    std::vector<uint8_t> full(host.view().size(), 0);
    DRO_Render(full.data(), host.stride(), 0, 0, kW, kH);
    EXPECT_TRUE(full == host.view()) << "the dirty rectangles missed a change";
    EXPECT_STREQ(DRO_GetLastError(), "");
    return {hostkit::LayerFingerprint(kLayer, kW, kH),
            hostkit::Fnv1a(host.view().data(), host.view().size())};
  }
};

TEST_F(Replay, SoftDiscIntoThePaintLayer) {
  StrokeReplay host(kLayer, kW, kH);
  Play(host, SoftDisc());
  EXPECT_GT(host.dabs(), 1000);
  const auto [layer, view] = Fingerprints(host);
  EXPECT_EQ(layer, 0xBCFDED6566C33F02ull);
  EXPECT_EQ(view, 0xE97024714B2EC630ull);
}

TEST_F(Replay, GritColorVaryAndATurnedTip) {
  StrokeReplay host(kLayer, kW, kH);
  BrushStyle s;
  s.size = 20;
  s.softness = 60;
  s.gritCell = 2;
  s.gritCellThreshold = 200;
  s.gritPixelThreshold = 180;
  s.density = 230;
  s.drawingLength = 6;
  s.colorVary = 6;
  s.pixColorVary = 10;
  s.pixLumVary = 24;
  s.rotate = 30;
  s.red = 150, s.green = 60, s.blue = 30;
  s.seed = 5;
  Play(host, s);
  const auto [layer, view] = Fingerprints(host);
  EXPECT_EQ(layer, 0xC70279738A87E45Aull);
  EXPECT_EQ(view, 0x783A1767ECE12328ull);
}

TEST_F(Replay, PickUpAndSmearOverEarlierPaint) {
  StrokeReplay host(kLayer, kW, kH);
  Play(host, SoftDisc());
  BrushStyle s;
  s.size = 28;
  s.softness = 160;
  s.paintLayer = false;  // smear straight in the layer it picks up from
  s.blendStrength = 160;
  s.remix = 1;
  s.primaryStrength = 30;
  s.pickupWeight = 40;
  s.red = 200, s.green = 190, s.blue = 60;
  s.seed = 3;
  Play(host, s, 25, 18);
  const auto [layer, view] = Fingerprints(host);
  EXPECT_EQ(layer, 0xAC13DAF6D7576C49ull);
  EXPECT_EQ(view, 0xBF66E3B93773CAF2ull);
}

TEST_F(Replay, ScreenMixModeAndAPaintLayerInAMode) {
  StrokeReplay host(kLayer, kW, kH);
  Play(host, SoftDisc());
  BrushStyle s = SoftDisc();
  s.paintLayer = false;
  s.mixMode = 34;
  s.mixAmount = 200;
  s.red = 230, s.green = 120, s.blue = 40;
  Play(host, s, -20, 25);
  BrushStyle multiply = SoftDisc();
  multiply.paintMode = "Multiply";
  multiply.paintOpacity = 70;
  multiply.red = 250, multiply.green = 200, multiply.blue = 20;
  Play(host, multiply, 30, -15);
  const auto [layer, view] = Fingerprints(host);
  EXPECT_EQ(layer, 0xFAD13228341812EFull);
  EXPECT_EQ(view, 0x649DF32252881A5Bull);
}

TEST_F(Replay, TheMaskLimitsAStroke) {
  // Open only a band across the middle of the recording.
  std::vector<uint16_t> mask(static_cast<size_t>(kW) * kH, 0);
  for (int32_t y = 250; y < 420; ++y)
    for (int32_t x = 0; x < kW; ++x) mask[static_cast<size_t>(y) * kW + x] = 65535;
  DRO_SetMaskData16(mask.data());
  StrokeReplay host(kLayer, kW, kH);
  Play(host, SoftDisc());
  std::vector<uint8_t> rgba(static_cast<size_t>(kW) * kH * 4);
  DRO_GetRGBA32Layer(rgba.data(), kW * 4, kLayer);
  int32_t inside = 0, outside = 0;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const bool painted = rgba[(static_cast<size_t>(y) * kW + x) * 4 + 3] != 0;
      (y >= 250 && y < 420 ? inside : outside) += painted;
    }
  }
  EXPECT_GT(inside, 10000);
  EXPECT_EQ(outside, 0);
  const auto [layer, view] = Fingerprints(host);
  EXPECT_EQ(layer, 0xB4760B10EEC458C1ull);
  EXPECT_EQ(view, 0x416939B4A99864F0ull);
}

}  // namespace
