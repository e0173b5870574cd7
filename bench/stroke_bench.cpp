// What the engine's stroke costs over a host laying the same dabs itself:
// the thirty-second recording painted through DRO_XStrokeBegin/To/End (no
// rendering), beside the same dabs, precomputed, drawn with
// DRO_SetScaleSize, DRO_SetAlpha, DRO_DrawDabGrit and DRO_DecDrawingLength
// straight into the layer and committed to undo at each pen lift as the
// stroke commits. ratio = hand-rolled time / stroke time (1.0: the stroke
// adds nothing; below 1: its overhead).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "drovine.h"
#include "hostkit/stroke_replay.h"
#include "hostkit/timing.h"

namespace {

constexpr int32_t kW = 1000;
constexpr int32_t kH = 660;
constexpr int32_t kSize = 24;

struct Dab {
  int32_t x, y, side, alpha;
  bool endsStroke = false;  // the host commits the stroke to undo after it
};

// The dabs the stroke lays for the recording: every pressed event spaced
// at 0.2 of the side, side and alpha from the pressure (minimum 0.15).
std::vector<Dab> DabsOf(const std::vector<hostkit::TabletEvent>& events) {
  std::vector<Dab> dabs;
  bool down = false;
  double lastX = 0, lastY = 0, carry = 0;
  for (const hostkit::TabletEvent& e : events) {
    if (e.pressure <= 0) {
      if (down && !dabs.empty()) dabs.back().endsStroke = true;
      down = false;
      continue;
    }
    const double p = std::clamp(e.pressure, 0.15, 1.0);
    const int32_t side = std::max(1, static_cast<int32_t>(std::lround(kSize * p)));
    const int32_t alpha = std::clamp(static_cast<int32_t>(p * 100), 1, 100);
    auto add = [&](double x, double y) {
      dabs.push_back({static_cast<int32_t>(std::floor(x + 0.5)),
                      static_cast<int32_t>(std::floor(y + 0.5)), side, alpha});
    };
    if (!down) {
      add(e.x, e.y);
      down = true;
      carry = 0;
    } else {
      const double step = std::max(1.0, side * 0.2);
      const double dx = e.x - lastX, dy = e.y - lastY;
      const double length = std::sqrt(dx * dx + dy * dy);
      double at = step - carry;
      for (; at <= length; at += step) add(lastX + dx * at / length, lastY + dy * at / length);
      carry = length - (at - step);
    }
    lastX = e.x;
    lastY = e.y;
  }
  if (!dabs.empty()) dabs.back().endsStroke = true;
  return dabs;
}

void Canvas() {
  DRO_CreateImage(nullptr, kW, kH, 64, 0);
  DRO_SetUndoLevels(0);
  DRO_CreateLayer(1, kW, kH);
  DRO_CreateLayer(2, kW, kH);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetLayer(2);
  DRO_SetSize(kSize);
  DRO_SetTool(1.0f, 0, 0, 0, 200, 0, 8, 0, 0, 0, 0, 0, 0, "", "", 0);
  DRO_SetColor(40, 70, 140);
  DRO_XSetStrokeOptions(0.2, 0.15, 3, -1, 0, 100, "Normal");  // straight into the layer
}

void BM_StrokeOverHandRolledDabs(benchmark::State& state) {
  const std::vector<hostkit::TabletEvent> events =
      hostkit::ReadTabletEvents(std::string(DROVINE_SHARED_DATA) + "/painting30sec.dat");
  if (events.empty()) {
    state.SkipWithError("no recording");
    return;
  }
  const std::vector<Dab> dabs = DabsOf(events);
  Canvas();
  hostkit::BestTimes t;
  int64_t strokeDabs = 0;
  for (auto _ : state) {
    state.SetIterationTime(t.Run(
        [&] {
          bool down = false;
          strokeDabs = 0;
          for (const hostkit::TabletEvent& e : events) {
            if (e.pressure <= 0) {
              if (down) strokeDabs += DRO_XStrokeEnd(nullptr);
              down = false;
              continue;
            }
            if (!down) down = DRO_XStrokeBegin(2) == 1;
            DRO_XStrokeTo(e.x, e.y, e.pressure, e.time, nullptr);
          }
          if (down) strokeDabs += DRO_XStrokeEnd(nullptr);
        },
        [&] {
          for (const Dab& d : dabs) {
            DRO_SetScaleSize(d.side);
            DRO_SetAlpha(d.alpha);
            DRO_DrawDabGrit(d.x, d.y, 40 << 8, 70 << 8, 140 << 8);
            DRO_DecDrawingLength();
            if (d.endsStroke) DRO_SaveUndoBuffer(1, 0);
          }
        }));
  }
  DRO_DeleteImage();
  state.counters["dabs"] = static_cast<double>(dabs.size());
  state.counters["stroke_dabs"] = static_cast<double>(strokeDabs);
  state.counters["ratio"] = t.baseline / t.work;
  state.counters["cpu_ratio"] = t.baselineCpu / t.workCpu;
}

BENCHMARK(BM_StrokeOverHandRolledDabs)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
