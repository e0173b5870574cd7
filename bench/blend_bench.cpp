// The layer blend over a 2048 x 2048 canvas, in Mpix/s and as a share of
// memcpy speed measured in the same run (the destination moves 8 bytes per
// pixel; memcpy copies a buffer of the same size).
//
// Run with DROVINE_NO_FAST_PATHS=1 to measure the reference kernels.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/types.h"
#include "composite/blend_modes.h"
#include "hostkit/timing.h"

namespace {

using dro::Pixel64;
using namespace dro::composite;
using hostkit::Seconds;

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

uint16_t Noise(uint32_t& seed) {
  seed = seed * 214013u + 2531011u;
  return static_cast<uint16_t>(seed >> 16);
}

// range(0): mode; range(1): source alpha (0 means random per pixel).
//
// Every iteration also copies a buffer of the destination's size with
// memcpy, untimed by the benchmark, so the share of memcpy speed compares
// the two under the same conditions (best iteration against best
// iteration, which keeps a busy machine from skewing the ratio).
void BM_BlendLayerRect(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  const auto alpha = static_cast<uint16_t>(state.range(1));
  uint32_t seed = 7;
  std::vector<Pixel64> src(kPixels), dst(kPixels), copy(kPixels);
  for (Pixel64& p : src) {
    p = Pixel64{Noise(seed), Noise(seed), Noise(seed), alpha ? alpha : Noise(seed)};
  }
  for (Pixel64& p : dst) p = Pixel64{Noise(seed), Noise(seed), Noise(seed), 65535};
  double total = 0, best = 1e9, bestCopy = 1e9;
  for (auto _ : state) {
    const double s = Seconds([&] {
      BlendLayerRect(src.data(), 0, 0, kSide, kSide, kSide * 4, nullptr, dst.data(), 0, 0,
                     kSide * 4, mode, 0, 256, false);
      benchmark::DoNotOptimize(dst.data());
      benchmark::ClobberMemory();
    });
    state.SetIterationTime(s);
    total += s;
    best = std::min(best, s);
    bestCopy = std::min(bestCopy, Seconds([&] {
                          std::memcpy(copy.data(), src.data(), kPixels * sizeof(Pixel64));
                          benchmark::DoNotOptimize(copy.data());
                          benchmark::ClobberMemory();
                        }));
  }
  const double pixels = static_cast<double>(state.iterations()) * kPixels;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.counters["Mpix/s"] = pixels / total / 1e6;
  state.counters["best_Mpix/s"] = kPixels / best / 1e6;
  // Destination bytes per second over memcpy bytes per second.
  state.counters["memcpy_share"] = bestCopy / best;
  state.counters["fast_path"] = FastPathActive(mode) ? 1 : 0;
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<Pixel64> from(kPixels, Pixel64{1, 2, 3, 4}), to(kPixels);
  double total = 0;
  for (auto _ : state) {
    const double s = Seconds([&] {
      std::memcpy(to.data(), from.data(), kPixels * sizeof(Pixel64));
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    });
    state.SetIterationTime(s);
    total += s;
  }
  const double pixels = static_cast<double>(state.iterations()) * kPixels;
  state.SetBytesProcessed(static_cast<int64_t>(pixels * sizeof(Pixel64)));
  state.counters["Mpix/s"] = pixels / total / 1e6;
}

BENCHMARK(BM_Memcpy)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendLayerRect)
    ->ArgNames({"mode", "alpha"})
    ->Args({kModeNormal, 65535})  // opaque: the integer shortcut
    ->Args({kModeNormal, 32767})  // half alpha: the float path
    ->Args({kModeMultiply, 32767})
    ->Args({kModeSoftLight, 32767})
    ->Args({kModeAlphaSmoothLum, 0})  // alpha family, random alpha
    ->Args({kModeAlphaSmoothLum2, 0})
    ->Args({kModeAlphaSmoothLum3, 0})
    ->Args({kModeAlphaSmoothLum4, 0})
    ->Args({kModeAlphaSmoothLum5, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
