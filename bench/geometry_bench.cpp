// Whole-document geometry and image brushes, each beside a baseline timed
// in the same run (best iteration against best iteration): memcpy of the
// layer's bytes for the exact moves, OpenCV's own resize on the same 16-bit
// pixels for resampling, memcpy of the brush's bytes for the image brush
// copy. OpenCV runs on one thread, like the engine.
//
// The machine has two cores shared with other work, so the figures are
// noisy; the ratios, taken from best iterations, much less so.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/types.h"
#include "composite/layer_state.h"
#include "drovine.h"
#include "hostkit/timing.h"

namespace {

using dro::Pixel64;
using hostkit::Seconds;

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

uint32_t Next(uint32_t& seed) {
  seed = seed * 214013u + 2531011u;
  return (seed >> 16) & 0x7FFF;
}

// Smooth gradients with noise and varied alpha.
const std::vector<Pixel64>& Picture() {
  static const std::vector<Pixel64> pixels = [] {
    std::vector<Pixel64> p(kPixels);
    uint32_t seed = 7;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        auto channel = [&](int base) {
          return uint16_t(std::clamp(base + int(Next(seed) % 33) - 16, 0, 255) << 8);
        };
        p[size_t(y) * kSide + x] = Pixel64{channel(x / 8), channel(y / 8), channel((x + y) / 16),
                                           channel(128 + (x ^ y) / 32)};
      }
    return p;
  }();
  return pixels;
}

// A 2048 x 2048 canvas whose slots 1..layers hold the picture.
void MakeCanvas(int layers = 1) {
  cv::setNumThreads(1);
  DRO_CreateImage(nullptr, kSide, kSide, 256, 0);
  for (int slot = 1; slot <= layers; ++slot) {
    DRO_CreateLayer(slot, kSide, kSide);
    DRO_SetLayerData(Picture().data(), slot);
    DRO_SetLayerOptions(slot, 1, 0, 100, "Normal");
  }
  DRO_SetLayer(1);
}

// Times `work` after `prepare` (untimed) and `baseline`, once each per
// iteration; `pixels` counts what one run produces. Besides the wall-clock
// figures, the same from thread CPU time (cpu_*), which a busy machine
// disturbs less.
template <class Prepare, class Work, class Baseline>
void Measure(benchmark::State& state, double pixels, Prepare&& prepare, Work&& work,
             Baseline&& baseline) {
  hostkit::BestTimes t;
  for (auto _ : state) {
    prepare();
    state.SetIterationTime(t.Run(
        [&] {
          work();
          benchmark::ClobberMemory();
        },
        [&] {
          baseline();
          benchmark::ClobberMemory();
        }));
  }
  const double best = t.work, bestBase = t.baseline, bestCpu = t.workCpu,
               bestBaseCpu = t.baselineCpu;
  state.counters["best_Mpix/s"] = pixels / best / 1e6;
  state.counters["baseline_Mpix/s"] = pixels / bestBase / 1e6;
  state.counters["ratio"] = bestBase / best;
  state.counters["best_s"] = best;
  state.counters["cpu_Mpix/s"] = pixels / bestCpu / 1e6;
  state.counters["cpu_ratio"] = bestBaseCpu / bestCpu;
  state.counters["cpu_s"] = bestCpu;
}

void BM_Flip(benchmark::State& state) {
  MakeCanvas();
  std::vector<Pixel64> copy(kPixels);
  const bool horizontal = state.range(0) == 0;
  state.SetLabel(horizontal ? "horizontal" : "vertical");
  Measure(
      state, double(kPixels), [] {},
      [&] { horizontal ? DRO_IPLFlipHorizontal() : DRO_IPLFlipVertical(); },
      [&] {
        std::memcpy(copy.data(), dro::composite::Layers().slots[1].pixels.data(),
                    kPixels * sizeof(Pixel64));
      });
  DRO_DeleteImage();
}

void BM_QuarterTurn(benchmark::State& state) {
  MakeCanvas();
  std::vector<Pixel64> copy(kPixels);
  Measure(
      state, double(kPixels), [] {}, [] { DRO_IPLRotateRight(); },
      [&] {
        std::memcpy(copy.data(), dro::composite::Layers().slots[1].pixels.data(),
                    kPixels * sizeof(Pixel64));
      });
  DRO_DeleteImage();
}

// 2048 to 4096 on each side, against OpenCV's resize of the same 16-bit
// pixels into a fresh picture (as the engine makes a fresh layer).
void BM_Resize2x(benchmark::State& state) {
  const bool lanczos = state.range(0) == 0;
  state.SetLabel(lanczos ? "Lanczos3 vs cv INTER_LANCZOS4" : "Bilinear vs cv INTER_LINEAR");
  const cv::Mat in(kSide, kSide, CV_16UC4, const_cast<Pixel64*>(Picture().data()));
  Measure(
      state, 4.0 * kPixels, [] { MakeCanvas(); },
      [&] { DRO_IPLResize(2 * kSide, 2 * kSide, lanczos ? "Lanczos3" : "Bilinear"); },
      [&] {
        cv::Mat out;
        cv::resize(in, out, cv::Size(2 * kSide, 2 * kSide), 0, 0,
                   lanczos ? cv::INTER_LANCZOS4 : cv::INTER_LINEAR);
      });
  DRO_DeleteImage();
}

// Eight layers to 4096 x 4096 bilinear, rebuild included, against eight
// OpenCV resizes into fresh pictures.
void BM_StackResize(benchmark::State& state) {
  const cv::Mat in(kSide, kSide, CV_16UC4, const_cast<Pixel64*>(Picture().data()));
  Measure(
      state, 8 * 4.0 * kPixels, [] { MakeCanvas(8); },
      [] { DRO_IPLResize(2 * kSide, 2 * kSide, "Bilinear"); },
      [&] {
        for (int i = 0; i < 8; ++i) {
          cv::Mat out;
          cv::resize(in, out, cv::Size(2 * kSide, 2 * kSide), 0, 0, cv::INTER_LINEAR);
        }
      });
  DRO_DeleteImage();
}

// 256 seams out of 2048, against OpenCV's area resize to the same width.
void BM_SeamCarving(benchmark::State& state) {
  const cv::Mat in(kSide, kSide, CV_16UC4, const_cast<Pixel64*>(Picture().data()));
  Measure(
      state, double(kSide - 256) * kSide, [] { MakeCanvas(); },
      [] { DRO_IPLSeamCarvingRGBA(kSide - 256, kSide, 0); },
      [&] {
        cv::Mat out;
        cv::resize(in, out, cv::Size(kSide - 256, kSide), 0, 0, cv::INTER_AREA);
      });
  DRO_DeleteImage();
}

// A cached 256 x 256 image brush (from a 200 x 200 picture) into the blend
// buffer, mixed at `percent`, against memcpy of the brush's bytes.
void BM_CopyFromImageBrush(benchmark::State& state) {
  const int32_t percent = int32_t(state.range(0));
  DRO_CreateImage(nullptr, 512, 512, 256, 0);
  std::vector<uint8_t> rgba(200 * 200 * 4);
  uint32_t seed = 3;
  for (uint8_t& b : rgba) b = uint8_t(Next(seed));
  DRO_LoadImageBrushFromRGBA32(rgba.data(), 200, 200);
  DRO_SetSize(256);
  DRO_SizeImageBrush();
  std::vector<Pixel64> a(256 * 256), b(256 * 256);
  Measure(
      state, 256.0 * 256, [] {}, [&] { DRO_CopyFromImageBrush(percent); },
      [&] { std::memcpy(b.data(), a.data(), a.size() * sizeof(Pixel64)); });
  DRO_DeleteImage();
}

BENCHMARK(BM_Flip)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuarterTurn)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resize2x)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StackResize)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeamCarving)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFromImageBrush)->Arg(0)->Arg(50)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
