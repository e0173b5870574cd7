// Drawing over a 2048 x 2048 picture, each set beside a baseline timed in
// the same run (best iteration against best iteration): memcpy of the same
// bytes for the gradients and the text, OpenCV's cv::floodFill of the same
// region for the connected fill. Other work shares the machine's two
// cores, so the figures are noisy; the ratios are the figures to read.
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "drovine.h"
#include "hostkit/timing.h"
#include "platform/image_draw.h"
#include "platform/image_fill.h"
#include "platform/text.h"

namespace {

using hostkit::Seconds;
namespace img = dro::platform::image;
namespace tx = dro::platform::text;

constexpr int kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

template <class Work, class Baseline>
void Measure(benchmark::State& state, Work&& work, Baseline&& baseline, double pixels = kPixels) {
  double best = 1e9, bestBase = 1e9;
  for (auto _ : state) {
    const double s = Seconds([&] {
      work();
      benchmark::ClobberMemory();
    });
    state.SetIterationTime(s);
    best = std::min(best, s);
    bestBase = std::min(bestBase, Seconds([&] {
                          baseline();
                          benchmark::ClobberMemory();
                        }));
  }
  state.counters["best_ms"] = best * 1e3;
  state.counters["best_Mpix/s"] = pixels / best / 1e6;
  state.counters["baseline_ms"] = bestBase * 1e3;
  state.counters["ratio"] = bestBase / best;  // above 1: faster than the baseline
}

const img::GradientStop kStops[4] = {{{255, 0, 0, 0}, 0.0},
                                     {{0, 255, 0, 0}, 33.0},
                                     {{0, 0, 255, 0}, 66.0},
                                     {{255, 255, 0, 0}, 99.0}};

void BM_GradientLinear(benchmark::State& state) {
  std::vector<uint8_t> picture(kPixels * 4), copy(kPixels * 4);
  Measure(
      state,
      [&] {
        img::FillGradientLinear(picture.data(), kSide, kSide, kSide * 4, 100, 200, 1900, 1700,
                                kStops, 4);
      },
      [&] { std::memcpy(copy.data(), picture.data(), picture.size()); });
}

void BM_GradientRadial(benchmark::State& state) {
  std::vector<uint8_t> picture(kPixels * 4), copy(kPixels * 4);
  Measure(
      state,
      [&] {
        img::FillGradientRadial(picture.data(), kSide, kSide, kSide * 4, 1000, 900, 1200, kStops,
                                4);
      },
      [&] { std::memcpy(copy.data(), picture.data(), picture.size()); });
}

// The whole export: gradient, alpha inversion and the merge into a 16-bit
// layer, against memcpy of the layer's bytes.
void BM_GradientExport(benchmark::State& state) {
  DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  DRO_CreateLayer(2, kSide, kSide);
  DRO_SetLayer(2);
  std::vector<uint8_t> a(kPixels * 8), b(kPixels * 8);
  Measure(
      state,
      [&] {
        DRO_IPLGradient(255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 2, 0, 0, 2047, 2047, "Linear");
      },
      [&] { std::memcpy(b.data(), a.data(), a.size()); });
  DRO_DeleteImage();
}

// A field of one colour with a tenth of its pixels blocked, filled from its
// middle: both fills cover the same region (the same colour test, exact,
// 4-connected), alternating two fill colours so every run fills it anew.
void BM_FloodFillConnected(benchmark::State& state) {
  std::vector<uint8_t> rgba(kPixels * 4), rgb(kPixels * 3);
  uint32_t seed = 5;
  for (size_t i = 0; i < kPixels; ++i) {
    seed = seed * 214013u + 2531011u;
    const bool blocked = ((seed >> 16) & 0x7FFF) % 10 == 0;
    const uint8_t c[4] = {uint8_t(blocked ? 0 : 40), 80, 120, 255};
    std::memcpy(&rgba[i * 4], c, 4);
    std::memcpy(&rgb[i * 3], c, 3);
  }
  const int x = kSide / 2, y = kSide / 2;
  rgba[(size_t(y) * kSide + x) * 4] = rgb[(size_t(y) * kSide + x) * 3] = 40;
  cv::Mat mat(kSide, kSide, CV_8UC3, rgb.data());
  bool flip = false, cvFlip = false;
  Measure(
      state,
      [&] {
        flip = !flip;
        img::FloodFill(rgba.data(), kSide, kSide, 4, kSide * 4, x, y,
                       img::ByteColor{uint8_t(flip ? 41 : 40), 80, 120, 255}, 0,
                       img::AlphaWrite::kWrite);
      },
      [&] {
        cvFlip = !cvFlip;
        cv::floodFill(mat, cv::Point(x, y), cv::Scalar(cvFlip ? 41 : 40, 80, 120), nullptr,
                      cv::Scalar(), cv::Scalar(), 4 | cv::FLOODFILL_FIXED_RANGE);
      });
}

// A thousand 24-pixel glyphs (40 lines of 25) with the cache warm, against
// memcpy of the 2048 x 2048 picture; best_Mpix/s counts glyphs here.
void BM_Text1000Glyphs(benchmark::State& state) {
  std::vector<uint8_t> picture(kPixels * 4), copy(kPixels * 4);
  std::string text;
  for (int line = 0; line < 40; ++line) {
    for (int i = 0; i < 25; ++i) text += char('A' + (line * 7 + i) % 58);
    if (line < 39) text += '\n';
  }
  tx::FontRequest font;
  font.family = "DejaVu Sans";
  font.pixelHeight = 24;
  tx::DrawText(picture.data(), kSide, kSide, kSide * 4, text.c_str(), font, {0, 0, kSide, kSide},
               10, 20, 30);  // warm the cache
  Measure(
      state,
      [&] {
        tx::DrawText(picture.data(), kSide, kSide, kSide * 4, text.c_str(), font,
                     {0, 0, kSide, kSide}, 10, 20, 30);
      },
      [&] { std::memcpy(copy.data(), picture.data(), picture.size()); }, 1000);
}

BENCHMARK(BM_GradientLinear)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientRadial)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradientExport)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFillConnected)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text1000Glyphs)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
