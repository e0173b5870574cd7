// Named effects over a 2048 x 2048 picture, each set beside the OpenCV call
// that does the same work, timed in the same run (best iteration against
// best iteration): the seam's library step and the whole effect through
// DRO_IPLImageProcess (refresh, premultiply, the step, the load back into
// the 16-bit layer). "ratio" is OpenCV's time over ours: 1.0 is level, above
// 1 we are faster. Other work shares the machine's two cores, so figures
// move from run to run; the CPU-time ratio is steadier.
//
// The dispatch benchmark times the name lookup and argument set-up alone
// (the last row of the table, so the whole table is searched).
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/types.h"
#include "drovine.h"
#include "hostkit/timing.h"
#include "imaging/effect_call.h"
#include "imaging/effects.h"
#include "imaging/work_buffers.h"
#include "platform/image_effects.h"

namespace {

using dro::Pixel64;
using hostkit::Seconds;
namespace im = dro::imaging;
namespace image = dro::platform::image;

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

// A layer of smooth gradients with noise, and both RGBA32 work buffers.
void MakeCanvas() {
  DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  DRO_CreateLayer(1, kSide, kSide);
  std::vector<Pixel64> pixels(kPixels);
  uint32_t seed = 11;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      auto channel = [&](int base) {
        seed = seed * 214013u + 2531011u;
        return uint16_t(std::clamp(base + int((seed >> 16) % 33) - 16, 0, 255) << 8);
      };
      pixels[size_t(y) * kSide + x] =
          Pixel64{channel(x / 8), channel(y / 8), channel((x + y) / 16), channel(255)};
    }
  DRO_SetLayerData(pixels.data(), 1);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
}

template <class Work, class Baseline>
void Measure(benchmark::State& state, Work&& work, Baseline&& baseline) {
  hostkit::BestTimes t;
  for (auto _ : state) {
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
  state.counters["Mpix/s"] = kPixels / best / 1e6;
  state.counters["opencv_Mpix/s"] = kPixels / bestBase / 1e6;
  state.counters["ratio"] = bestBase / best;
  state.counters["cpu_ratio"] = bestBaseCpu / bestCpu;
}

int32_t Effect(const char* name, int32_t p1, int32_t p2 = 0) {
  return DRO_IPLImageProcess(0, name, 0, p1, p2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             nullptr);
}

cv::Mat Rgba(uint8_t* p) {
  return cv::Mat(kSide, kSide, CV_8UC4, p);
}

// Radius 20: sigma 20, a 121-tap kernel, on the RGBA picture.
void BM_GaussianBlurStep(benchmark::State& state) {
  MakeCanvas();
  cv::Mat out(kSide, kSide, CV_8UC4);
  Measure(
      state,
      [] {
        image::GaussianBlurImage(im::Source32(), kSide, kSide, 4, kSide * 4, im::Destination32(),
                                 kSide * 4, 20.0, 15);
      },
      [&] {
        cv::GaussianBlur(Rgba(im::Source32()), out, cv::Size(121, 121), 20.0, 20.0,
                         cv::BORDER_REPLICATE);
      });
  DRO_DeleteImage();
}

// The whole "Gaussian Blur" at radius 20 (p1 485: 0.6 + 48.5 x 0.4).
void BM_GaussianBlurEffect(benchmark::State& state) {
  MakeCanvas();
  cv::Mat out(kSide, kSide, CV_8UC4);
  Measure(
      state, [] { Effect("Gaussian Blur", 485); },
      [&] {
        cv::GaussianBlur(Rgba(im::Source32()), out, cv::Size(121, 121), 20.0, 20.0,
                         cv::BORDER_REPLICATE);
      });
  DRO_DeleteImage();
}

// Radius 2 and colour sigma 25 (the host's defaults) on RGB24.
void BM_SurfaceBlurStep(benchmark::State& state) {
  MakeCanvas();
  std::vector<uint8_t> rgb(kPixels * 3), dst(kPixels * 3);
  DRO_GetRGB24Layer(rgb.data(), kSide * 3, 1);
  cv::Mat in(kSide, kSide, CV_8UC3, rgb.data()), out(kSide, kSide, CV_8UC3);
  Measure(
      state,
      [&] {
        image::BilateralFilterImage(rgb.data(), kSide, kSide, kSide * 3, dst.data(), kSide * 3, 2,
                                    25.0);
      },
      [&] { cv::bilateralFilter(in, out, 5, 25.0, 2.0, cv::BORDER_REPLICATE); });
  DRO_DeleteImage();
}

void BM_LevelsStep(benchmark::State& state) {
  MakeCanvas();
  std::array<uint8_t, 256> table;
  for (int v = 0; v < 256; ++v) table[size_t(v)] = uint8_t(255 - v);
  const uint8_t* tables[4] = {table.data(), table.data(), table.data(), nullptr};
  cv::Mat lut(1, 256, CV_8UC4);
  for (int v = 0; v < 256; ++v)
    lut.at<cv::Vec4b>(0, v) = cv::Vec4b(table[v], table[v], table[v], v);
  Measure(
      state, [&] { image::ApplyLuts(im::Source32(), kSide, kSide, 4, kSide * 4, tables); },
      [&] {
        cv::Mat m = Rgba(im::Source32());
        cv::LUT(m, lut, m);
      });
  DRO_DeleteImage();
}

void BM_GammaStep(benchmark::State& state) {
  MakeCanvas();
  cv::Mat lut(1, 256, CV_8UC4);
  for (int v = 0; v < 256; ++v) {
    const uint8_t g = uint8_t(std::min(255.0, 255.0 * std::pow(v / 255.0, 1 / 1.4) + 0.5));
    lut.at<cv::Vec4b>(0, v) = cv::Vec4b(g, g, g, v);
  }
  Measure(
      state, [] { image::AdjustGamma(im::Source32(), kSide, kSide, 4, kSide * 4, 1.4); },
      [&] {
        cv::Mat m = Rgba(im::Source32());
        cv::LUT(m, lut, m);
      });
  DRO_DeleteImage();
}

// Radius 10 (p1 800), 51 tone bins, beside OpenCV's box blur of the same
// radius on the RGB24 picture.
void BM_OilPaintStep(benchmark::State& state) {
  MakeCanvas();
  std::vector<uint8_t> rgb(kPixels * 3), dst(kPixels * 3);
  DRO_GetRGB24Layer(rgb.data(), kSide * 3, 1);
  cv::Mat in(kSide, kSide, CV_8UC3, rgb.data()), out(kSide, kSide, CV_8UC3);
  Measure(
      state,
      [&] {
        image::OilPaintImage(rgb.data(), kSide, kSide, kSide * 3, dst.data(), kSide * 3, 10, 51, 0);
      },
      [&] { cv::blur(in, out, cv::Size(21, 21), cv::Point(-1, -1), cv::BORDER_REPLICATE); });
  DRO_DeleteImage();
}

void BM_Dispatch(benchmark::State& state) {
  DRO_CreateImage(nullptr, 64, 64, 8, 0);
  im::EffectArgs args;
  args.name = "Watercolor Tint";
  args.p = {500, 0, 0, 0, 0, 0};
  std::vector<uint8_t> buffer(64 * 64 * 4);
  for (auto _ : state) {
    const im::EffectRow* row = im::FindEffect(args.name);
    im::EffectCall call(args, buffer.data(), buffer.data());
    benchmark::DoNotOptimize(row);
    benchmark::DoNotOptimize(call);
  }
  DRO_DeleteImage();
}

BENCHMARK(BM_GaussianBlurStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GaussianBlurEffect)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SurfaceBlurStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LevelsStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_GammaStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OilPaintStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Dispatch)->Unit(benchmark::kNanosecond);

}  // namespace
