// Dabs into the paint layer of a 2048 x 2048 canvas: dabs per second and
// painted Mpix/s (the dab's side squared per dab) for tip sizes 8, 64 and
// 256, with four kinds of brush:
//   plain  a soft disc, mix mode 32 (the plain paint path);
//   grit   the same disc thinned by grit cells;
//   blend  pick-up from the layer under each dab (DRO_CopyBlendBufferSurface,
//          included in the time), remix into the blend buffer;
//   mix34  mix mode 34 (screen) with amount 200.
// Dabs walk the canvas in rows a quarter of their size apart, as along a
// stroke, each wholly on the canvas; the paint layer is cleared (untimed) once the walk covered it.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "drovine.h"

namespace {

constexpr int32_t kSide = 2048;
constexpr int32_t kLimit = 256;

enum Brush { kPlain, kGrit, kBlend, kMix34 };

void SetUpCanvas(int32_t size, Brush brush) {
  DRO_CreateImage(nullptr, kSide, kSide, kLimit, 5);
  DRO_SetUndoLevels(0);
  DRO_CreateLayer(1, kSide, kSide);
  DRO_CreateLayer(2, kSide, kSide);
  DRO_SetLayerOptions(2, 1, 0, 100, "Normal");
  DRO_SetLayer(2);
  // Something to pick up: a layer of mid grey.
  DRO_Clear(120, 110, 100, 255);
  DRO_SetRandomSeed(1);
  DRO_SetSize(size);
  DRO_SetAlpha(100);
  DRO_SetDensity(200);
  const bool blend = brush == kBlend;
  DRO_SetTool(1.0f, brush == kGrit ? 2 : 0, 190, 170, 128, 0, 8, blend ? 128 : 0, 0, blend ? 1 : 0,
              0, 0, 0, "", "", 0);
  if (brush == kMix34) DRO_SetMixMode(34, 200);
  DRO_CreatePaintLayer(100, "Normal");
}

void BM_Dab(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  const Brush brush = static_cast<Brush>(state.range(1));
  SetUpCanvas(size, brush);
  // Every dab lies wholly on the canvas, so each paints size x size pixels.
  const int32_t step = size / 4 > 0 ? size / 4 : 1;
  const int32_t first = size / 2;
  const int32_t last = kSide - size + size / 2;
  int32_t x = first, y = first;
  int64_t dabs = 0;
  for (auto _ : state) {
    if (brush == kBlend) DRO_CopyBlendBufferSurface(x, y, 64, 0);
    DRO_DrawDabGrit(x, y, 0x4000, 0x8000, 0xC000);
    DRO_DecDrawingLength();
    ++dabs;
    x += step;
    if (x > last) {
      x = first;
      y += step;
      if (y > last) {
        y = first;
        state.PauseTiming();
        DRO_ClearPaintLayer();
        state.ResumeTiming();
      }
    }
  }
  const double pixels = static_cast<double>(dabs) * size * size;
  state.SetItemsProcessed(dabs);
  state.counters["dabs/s"] =
      benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
  state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
}

void DabArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"tip", "brush"});
  for (int brush : {kPlain, kGrit, kBlend, kMix34}) {
    for (int size : {8, 64, 256}) b->Args({size, brush});
  }
}

BENCHMARK(BM_Dab)->Apply(DabArguments);

}  // namespace
