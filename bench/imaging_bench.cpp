// The work buffers and the native filters over a 2048 x 2048 canvas, in
// Mpix/s, each set beside a baseline timed in the same run (best iteration
// against best iteration, which keeps a busy machine from skewing the
// ratio): memcpy of the same bytes for the fills and the per-pixel filters,
// the Normal layer blend for the merge path, OpenCV's 3 x 3 box blur of the
// RGBA picture for the neighbourhood filters.
//
// Other work shares the machine's two cores, so besides the wall-clock
// figures each benchmark reports the same figures from thread CPU time
// (cpu_Mpix/s, cpu_ratio), which a busy machine disturbs less.
//
// The picture is smooth gradients with noise of +-16 and varied alpha, so
// the threshold tests of the filters take both branches.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ctime>

#include "base/types.h"
#include "composite/blend_modes.h"
#include "drovine.h"
#include "hostkit/timing.h"
#include "imaging/native_filters.h"
#include "imaging/work_buffers.h"

namespace {

using dro::Pixel64;
using hostkit::Seconds;
namespace im = dro::imaging;

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

uint32_t Next(uint32_t& seed) {
  seed = seed * 214013u + 2531011u;
  return (seed >> 16) & 0x7FFF;
}

// A canvas with one current layer holding the picture, and both RGBA32
// work buffers allocated from it.
void MakeCanvas() {
  DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  DRO_CreateLayer(1, kSide, kSide);
  std::vector<Pixel64> pixels(kPixels);
  uint32_t seed = 11;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      auto channel = [&](int base) {
        const int v = base + int(Next(seed) % 33) - 16;
        return uint16_t(std::clamp(v, 0, 255) << 8);
      };
      pixels[size_t(y) * kSide + x] = Pixel64{channel(x / 8), channel(y / 8), channel((x + y) / 16),
                                              channel(128 + (x ^ y) / 32)};
    }
  }
  DRO_SetLayerData(pixels.data(), 1);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Times `work` and `baseline` once per iteration; reports Mpix/s of the
// work and its speed as a share of the baseline's.
template <class Work, class Baseline>
void Measure(benchmark::State& state, Work&& work, Baseline&& baseline) {
  double total = 0, best = 1e9, bestBase = 1e9, bestCpu = 1e9, bestBaseCpu = 1e9;
  for (auto _ : state) {
    double cpu = ThreadSeconds();
    const double s = Seconds([&] {
      work();
      benchmark::ClobberMemory();
    });
    bestCpu = std::min(bestCpu, ThreadSeconds() - cpu);
    state.SetIterationTime(s);
    total += s;
    best = std::min(best, s);
    cpu = ThreadSeconds();
    bestBase = std::min(bestBase, Seconds([&] {
                          baseline();
                          benchmark::ClobberMemory();
                        }));
    bestBaseCpu = std::min(bestBaseCpu, ThreadSeconds() - cpu);
  }
  state.counters["cpu_Mpix/s"] = kPixels / bestCpu / 1e6;
  state.counters["cpu_ratio"] = bestBaseCpu / bestCpu;
  const double pixels = static_cast<double>(state.iterations()) * kPixels;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.counters["Mpix/s"] = pixels / total / 1e6;
  state.counters["best_Mpix/s"] = kPixels / best / 1e6;
  state.counters["baseline_Mpix/s"] = kPixels / bestBase / 1e6;
  state.counters["ratio"] = bestBase / best;
}

void BM_SourceFill(benchmark::State& state) {
  MakeCanvas();
  std::vector<uint8_t> copy(kPixels * 4);
  Measure(
      state, [] { DRO_IPLUpdateSrcBuffer32(); },
      [&] { std::memcpy(copy.data(), im::Source32(), kPixels * 4); });
  DRO_DeleteImage();
}

// The merge path (mask and texture absent: the alpha pass finds nothing to
// do) against the Normal blend of the same picture already widened.
void BM_MergePath(benchmark::State& state) {
  MakeCanvas();
  std::vector<Pixel64> wide(kPixels), layer(kPixels);
  const uint8_t* src = im::Source32();
  for (size_t i = 0; i < kPixels; ++i) {
    const uint8_t* p = src + 4 * i;
    wide[i] =
        Pixel64{uint16_t(p[0] << 8), uint16_t(p[1] << 8), uint16_t(p[2] << 8), uint16_t(p[3] << 8)};
  }
  DRO_GetRGBA64Layer(layer.data(), kSide * 8, 1);
  std::vector<Pixel64> target = layer;
  Measure(
      state,
      [] {
        DRO_IPLSetDstBuffer32(im::Source32());
        im::MergeDestination();
      },
      [&] {
        dro::composite::BlendLayerRect(wide.data(), 0, 0, kSide, kSide, kSide * 4, nullptr,
                                       target.data(), 0, 0, kSide * 4, dro::composite::kModeNormal,
                                       0, 255, false);
      });
  DRO_DeleteImage();
}

struct FilterCase {
  const char* name;
  bool boxBaseline;  // neighbourhood filters: against cv::blur 3 x 3
};

constexpr FilterCase kCases[] = {
    {"Invert", false},
    {"Grayscale", false},
    {"Basic Threshold", false},
    {"Clamp", false},
    {"Channel", false},
    {"Detail Blur", true},
    {"Adaptive Blur", true},
    {"Anti Alias", true},
    {"Value Blur", true},
    {"Noise Reduction", true},
    {"Noise Reduction RGB", true},
    {"Adjust Lab", false},
    {"Bas Relief", false},
    {"Hyper Contrast", false},
    {"Fader", false},
};

void BM_NativeFilter(benchmark::State& state) {
  const FilterCase& c = kCases[state.range(0)];
  state.SetLabel(c.name);
  MakeCanvas();
  im::NativeFilterArgs args;
  args.name = c.name;
  args.values = {300, 600, 450, 700, 250, 800};
  args.switches = {1, 1, 0, 1, 1, 0};
  std::vector<uint8_t> copy(kPixels * 4);
  const cv::Mat in(kSide, kSide, CV_8UC4, im::Source32());
  cv::Mat out(kSide, kSide, CV_8UC4, copy.data());
  Measure(
      state, [&] { im::RunNativeFilter(args); },
      [&] {
        if (c.boxBaseline) {
          cv::blur(in, out, cv::Size(3, 3));
        } else {
          std::memcpy(copy.data(), im::Source32(), kPixels * 4);
        }
      });
  DRO_DeleteImage();
}

BENCHMARK(BM_SourceFill)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergePath)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NativeFilter)
    ->DenseRange(0, int(std::size(kCases)) - 1)
    ->ArgName("filter")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
