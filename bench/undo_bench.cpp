// Undo store: committing a 512 x 512 change on a 2048 x 2048 canvas, and
// committing it then undoing it (the next save drops the undone entry).
#include <benchmark/benchmark.h>

#include "drovine.h"
#include "engine/engine.h"

namespace {

constexpr int kSide = 2048;
constexpr int kRect = 512;

void SetUpCanvas() {
  DRO_CreateImage(nullptr, kSide, kSide, 64, 5);
  DRO_SetUndoLevels(20);
  DRO_SetUndoMB(4096);  // fixed, so free memory does not steer the run
  DRO_CreateLayer(2, kSide, kSide);
  DRO_SetLayer(2);
}

void MarkChange(int i) {
  dro::Engine& e = dro::engine();
  e.layers.slots[2].pixels[size_t{600} * kSide + 600].a = static_cast<uint16_t>(i);
  e.undo.rect = dro::IntRect{512, 512, 512 + kRect - 1, 512 + kRect - 1};
}

void Report(benchmark::State& state) {
  const double pixels = static_cast<double>(state.iterations()) * kRect * kRect;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.counters["Mpix"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_SaveUndo512(benchmark::State& state) {
  SetUpCanvas();
  int i = 0;
  for (auto _ : state) {
    MarkChange(++i);
    DRO_SaveUndoBuffer(1, 0);
  }
  Report(state);
  DRO_DeleteImage();
}

void BM_SaveThenUndo512(benchmark::State& state) {
  SetUpCanvas();
  int i = 0;
  for (auto _ : state) {
    MarkChange(++i);
    DRO_SaveUndoBuffer(1, 0);
    DRO_Undo();
  }
  Report(state);
  DRO_DeleteImage();
}

BENCHMARK(BM_SaveUndo512)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SaveThenUndo512)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
