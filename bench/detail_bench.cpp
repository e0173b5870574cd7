// The detail family's library steps over a 2048 x 2048 picture, each beside
// the OpenCV call that does the same work, timed in the same run (best
// iteration against best iteration). "ratio" is OpenCV's time over ours
// (1.0 level, above 1 we are faster); "Mpix/s" our own speed. Other work
// shares the machine's two cores, so figures move from run to run; the
// CPU-time ratio is steadier.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <vector>

#include "hostkit/timing.h"
#include "platform/effect_script_generators.h"
#include "platform/image_details.h"

namespace {

namespace image = dro::platform::image;
constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

// Smooth gradients with noise, RGBA or RGB.
std::vector<uint8_t> Picture(int channels) {
  std::vector<uint8_t> px(kPixels * size_t(channels));
  uint32_t seed = 11;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      for (int c = 0; c < channels; ++c) {
        seed = seed * 214013u + 2531011u;
        const int base = c == 0 ? x / 8 : c == 1 ? y / 8 : c == 2 ? (x + y) / 16 : 255;
        px[(size_t(y) * kSide + x) * size_t(channels) + size_t(c)] =
            uint8_t(std::min(255, std::max(0, base + int((seed >> 16) % 33) - 16)));
      }
  return px;
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
  state.counters["Mpix/s"] = kPixels / t.work / 1e6;
  state.counters["cpu_Mpix/s"] = kPixels / t.workCpu / 1e6;
  state.counters["opencv_Mpix/s"] = kPixels / t.baseline / 1e6;
  state.counters["ratio"] = t.baseline / t.work;
  state.counters["cpu_ratio"] = t.baselineCpu / t.workCpu;
}

cv::Mat View(std::vector<uint8_t>& px, int type) {
  return cv::Mat(kSide, kSide, type, px.data());
}

// A neighbourhood filter of radius 5 (an 11 x 11 square) on RGBA, beside
// the OpenCV call behind it.
template <class Baseline>
void Neighbourhood(benchmark::State& state, image::Neighbourhood kind, Baseline&& baseline) {
  std::vector<uint8_t> src = Picture(4), dst(src.size());
  cv::Mat in = View(src, CV_8UC4), out(kSide, kSide, CV_8UC4);
  Measure(
      state,
      [&] {
        image::NeighbourhoodFilter(src.data(), kSide, kSide, dst.data(), 4, kSide * 4, kSide * 4, 5,
                                   kind, 15);
      },
      [&] { baseline(in, out); });
}

const cv::Mat kSquare = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11));

void BM_MedianR5Step(benchmark::State& state) {
  Neighbourhood(state, image::Neighbourhood::kMedian,
                [](const cv::Mat& in, cv::Mat& out) { cv::medianBlur(in, out, 11); });
}

void BM_MaximumStep(benchmark::State& state) {
  Neighbourhood(state, image::Neighbourhood::kMaximum, [](const cv::Mat& in, cv::Mat& out) {
    cv::dilate(in, out, kSquare, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  });
}

void BM_MinimumStep(benchmark::State& state) {
  Neighbourhood(state, image::Neighbourhood::kMinimum, [](const cv::Mat& in, cv::Mat& out) {
    cv::erode(in, out, kSquare, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  });
}

void BM_ArithmeticMeanStep(benchmark::State& state) {
  Neighbourhood(state, image::Neighbourhood::kArithmeticMean, [](const cv::Mat& in, cv::Mat& out) {
    cv::blur(in, out, cv::Size(11, 11), cv::Point(-1, -1), cv::BORDER_REPLICATE);
  });
}

// The geometric mean against the plain box mean of the same radius.
void BM_GeometricMeanStep(benchmark::State& state) {
  Neighbourhood(state, image::Neighbourhood::kGeometricMean, [](const cv::Mat& in, cv::Mat& out) {
    cv::blur(in, out, cv::Size(11, 11), cv::Point(-1, -1), cv::BORDER_REPLICATE);
  });
}

// The numbered Maximum and Minimum (radius 5 on a blue-first picture,
// alpha kept) beside cv::dilate and cv::erode of the picture.
void BM_ScriptMaximum(benchmark::State& state) {
  std::vector<uint8_t> px = Picture(4);
  cv::Mat out(kSide, kSide, CV_8UC4);
  int32_t slots[20] = {};
  slots[3] = 5;
  Measure(
      state, [&] { dro::platform::effects::detail::MaximumEffect(px.data(), kSide, kSide, slots); },
      [&] {
        cv::dilate(View(px, CV_8UC4), out, kSquare, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
      });
}

void BM_ScriptMinimum(benchmark::State& state) {
  std::vector<uint8_t> px = Picture(4);
  cv::Mat out(kSide, kSide, CV_8UC4);
  int32_t slots[20] = {};
  slots[3] = 5;
  Measure(
      state, [&] { dro::platform::effects::detail::MinimumEffect(px.data(), kSide, kSide, slots); },
      [&] {
        cv::erode(View(px, CV_8UC4), out, kSquare, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
      });
}

// One Unsharp Mask pass (radius 2, amount 120 %, threshold 2) on RGB24,
// beside the Gaussian blur and cv::addWeighted it stands for.
void BM_UnsharpMaskStep(benchmark::State& state) {
  std::vector<uint8_t> src = Picture(3), dst(src.size());
  cv::Mat in = View(src, CV_8UC3), blur, out(kSide, kSide, CV_8UC3);
  Measure(
      state,
      [&] {
        image::UnsharpMask(src.data(), kSide, kSide, kSide * 3, dst.data(), kSide * 3, 120, 2.0,
                           2.0);
      },
      [&] {
        cv::GaussianBlur(in, blur, cv::Size(0, 0), 2.0, 2.0, cv::BORDER_REPLICATE);
        cv::addWeighted(in, 2.2, blur, -1.2, 0.0, out);
      });
}

// Gaussian noise of deviation 20 into the RGBA picture (alpha kept),
// beside cv::randn filling the same picture.
void BM_GaussianNoiseStep(benchmark::State& state) {
  std::vector<uint8_t> px = Picture(4);
  uint32_t seed = 1;
  Measure(
      state,
      [&] {
        image::AddNoise(px.data(), kSide, kSide, 4, kSide * 4, image::NoiseKind::kGaussian, 2000, 0,
                        ++seed, 7);
      },
      [&] {
        cv::Mat m = View(px, CV_8UC4);
        cv::randn(m, cv::Scalar::all(128), cv::Scalar::all(20));
      });
}

// Perlin noise of 8 octaves into a plane, beside cv::randu filling it.
void BM_PerlinNoise8Octaves(benchmark::State& state) {
  std::vector<uint8_t> plane(kPixels);
  uint32_t seed = 1;
  Measure(
      state, [&] { image::PerlinNoisePlane(plane.data(), kSide, kSide, kSide, 0.5, ++seed); },
      [&] {
        cv::Mat m = View(plane, CV_8UC1);
        cv::randu(m, 0, 256);
      });
}

#define DETAIL_BENCH(name) BENCHMARK(name)->UseManualTime()->Unit(benchmark::kMillisecond)
DETAIL_BENCH(BM_MedianR5Step);
DETAIL_BENCH(BM_MaximumStep);
DETAIL_BENCH(BM_MinimumStep);
DETAIL_BENCH(BM_ArithmeticMeanStep);
DETAIL_BENCH(BM_GeometricMeanStep);
DETAIL_BENCH(BM_ScriptMaximum);
DETAIL_BENCH(BM_ScriptMinimum);
DETAIL_BENCH(BM_UnsharpMaskStep);
DETAIL_BENCH(BM_GaussianNoiseStep);
DETAIL_BENCH(BM_PerlinNoise8Octaves);

}  // namespace
