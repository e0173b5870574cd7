// The whole thirty-second tablet recording replayed as a host paints it:
// dabs along the pen's path (size and opacity from pressure), the dirty
// rectangle rendered after every event, the paint layer merged and the
// change committed to the undo store when the pen lifts. Reports the time
// of one replay, events and dabs per second and painted Mpix/s.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "drovine.h"
#include "hostkit/stroke_replay.h"

namespace {

using hostkit::BrushStyle;
using hostkit::StrokeReplay;
using hostkit::TabletEvent;

constexpr int32_t kW = 1000;
constexpr int32_t kH = 660;

// range(0): 0 soft disc into the paint layer, 1 grit with vary and a turned
// tip, 2 pick-up smear straight into the layer.
BrushStyle Style(int64_t kind) {
  BrushStyle s;
  s.size = 24;
  s.softness = 200;
  s.red = 40, s.green = 70, s.blue = 140;
  if (kind == 1) {
    s.size = 20;
    s.gritCell = 2;
    s.gritCellThreshold = 200;
    s.gritPixelThreshold = 180;
    s.density = 230;
    s.colorVary = 6;
    s.pixColorVary = 10;
    s.pixLumVary = 24;
    s.rotate = 30;
  } else if (kind == 2) {
    s.size = 28;
    s.paintLayer = false;
    s.blendStrength = 160;
    s.remix = 1;
    s.primaryStrength = 30;
    s.pickupWeight = 40;
  }
  return s;
}

void BM_Replay(benchmark::State& state) {
  const std::vector<TabletEvent> events =
      hostkit::ReadTabletEvents(std::string(DROVINE_SHARED_DATA) + "/painting30sec.dat");
  if (events.empty()) {
    state.SkipWithError("no recording");
    return;
  }
  const BrushStyle style = Style(state.range(0));
  int64_t dabs = 0, painted = 0, replays = 0;
  for (auto _ : state) {
    state.PauseTiming();
    DRO_CreateImage(nullptr, kW, kH, 64, 5);
    DRO_SetUndoLevels(10);
    DRO_CreateLayer(1, kW, kH);
    DRO_CreateLayer(2, kW, kH);
    DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
    DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
    DRO_SetLayer(2);
    StrokeReplay host(2, kW, kH);
    host.Use(style);
    state.ResumeTiming();
    for (const TabletEvent& e : events) host.Event(e);
    host.Finish();
    benchmark::DoNotOptimize(host.view().data());
    state.PauseTiming();
    dabs += host.dabs();
    painted += host.paintedPixels();
    ++replays;
    DRO_DeletePaintLayer();
    DRO_DeleteImage();
    state.ResumeTiming();
  }
  state.counters["events/s"] =
      benchmark::Counter(static_cast<double>(events.size() * replays), benchmark::Counter::kIsRate);
  state.counters["dabs/s"] =
      benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
  state.counters["Mpix/s"] =
      benchmark::Counter(static_cast<double>(painted) / 1e6, benchmark::Counter::kIsRate);
  state.counters["dabs"] = static_cast<double>(dabs / (replays ? replays : 1));
}

BENCHMARK(BM_Replay)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
