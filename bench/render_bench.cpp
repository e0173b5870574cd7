// DRO_Render of a whole 2048 x 2048 canvas into a 2048 x 2048 view: Mpix/s
// of output for 1, 4 and 16 visible layers (slot 1 and slots 2 up, random
// colours) at zoom 1/1, 1/2 and 4/1, opaque or translucent (alpha 40000,
// which keeps the running result in floating point).
//
// memcpy_share compares with memcpy measured in the same run, best
// iteration against best iteration: output pixels per second over 8-byte
// pixels per second copied (one layer's worth). layer_bytes_share counts
// the layer bytes a 1/1 render reads (8 per layer per pixel) against the
// bytes memcpy moves per second, so 1.0 would mean reading the layers as
// fast as memcpy copies.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "hostkit/timing.h"

namespace {

using hostkit::Seconds;

constexpr int32_t kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

void SetUpLayers(int32_t layers, uint16_t alpha) {
  DRO_CreateImage(nullptr, kSide, kSide, 64, 5);
  DRO_SetUndoLevels(0);
  uint32_t seed = 99;
  for (int32_t slot = 1; slot <= layers; ++slot) {
    DRO_CreateLayer(slot, kSide, kSide);
    DRO_SetLayerOptions(slot, 1, 0, 100, "Normal");
    for (dro::Pixel64& p : dro::engine().layers.slots[slot].pixels) {
      seed = seed * 214013u + 2531011u;
      const auto v = static_cast<uint16_t>(seed >> 16);
      p = dro::Pixel64{v, static_cast<uint16_t>(v ^ 0x5555), static_cast<uint16_t>(v * 3), alpha};
    }
  }
  DRO_SetLayer(layers);
  DRO_SetViewSize(kSide, kSide);
}

// range(0): visible layers; range(1): zoom numerator; range(2): zoom
// denominator; range(3): 1 for translucent layers.
void BM_Render(benchmark::State& state) {
  const auto layers = static_cast<int32_t>(state.range(0));
  const auto num = static_cast<int32_t>(state.range(1));
  const auto den = static_cast<int32_t>(state.range(2));
  SetUpLayers(layers, state.range(3) ? 40000 : 65535);
  DRO_SetScale(num, den);
  std::vector<uint8_t> view(kPixels * 3);
  std::vector<dro::Pixel64> from(kPixels, dro::Pixel64{1, 2, 3, 4}), to(kPixels);
  const int64_t side = num >= den ? std::min<int64_t>(kSide, int64_t{kSide} * num) : kSide / den;
  const double outputPixels = static_cast<double>(side) * side;
  double total = 0, best = 1e9, bestCopy = 1e9;
  for (auto _ : state) {
    const double s = Seconds([&] {
      DRO_Render(view.data(), kSide * 3, 0, 0, kSide, kSide);
      benchmark::DoNotOptimize(view.data());
      benchmark::ClobberMemory();
    });
    state.SetIterationTime(s);
    total += s;
    best = std::min(best, s);
    bestCopy = std::min(bestCopy, Seconds([&] {
                          std::memcpy(to.data(), from.data(), kPixels * sizeof(dro::Pixel64));
                          benchmark::DoNotOptimize(to.data());
                          benchmark::ClobberMemory();
                        }));
  }
  const double renderRate = outputPixels / best;  // output pixels per second
  const double copyRate = kPixels / bestCopy;     // 8-byte pixels per second
  state.SetItemsProcessed(static_cast<int64_t>(outputPixels * state.iterations()));
  state.counters["Mpix/s"] = outputPixels * state.iterations() / total / 1e6;
  state.counters["best_Mpix/s"] = renderRate / 1e6;
  state.counters["memcpy_Mpix/s"] = copyRate / 1e6;
  state.counters["memcpy_share"] = renderRate / copyRate;
  state.counters["layer_bytes_share"] = renderRate * layers / copyRate;
  DRO_DeleteImage();
}

void RenderArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"layers", "num", "den", "translucent"});
  for (int translucent : {0, 1}) {
    for (int layers : {1, 4, 16}) {
      b->Args({layers, 1, 1, translucent});
      b->Args({layers, 1, 2, translucent});
      b->Args({layers, 4, 1, translucent});
    }
  }
}

BENCHMARK(BM_Render)->Apply(RenderArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
