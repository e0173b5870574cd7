// The free-colour search and the magic wand on 2048 x 2048.
//
// FindFreeColor, worst case: the picture holds every colour below 2^22 in a
// shuffled order, so the one pass sets 4 Mi scattered bits and the search
// walks 64 Ki full words before the first gap. memcpy_share is the time of
// one memcpy of the same 16 MiB picture over the search's time, best
// iteration against best iteration in the same run.
//
// Wand "Connected", end to end through the export (scratch plane, source
// buffer filled from the layer, the 4-connected selection, the mask
// written, everything released): a noisy background (each channel within
// 16 of its base) broken by 64 solid rectangles, tolerance 5 % (limit
// 9753, more than the background's 3 x 16^2). opencv_share compares with
// cv::floodFill (4-connected, fixed range 16 per channel, mask only) on an
// RGB copy of the same picture, which selects the same background: Mpix/s
// of the canvas for both, best against best.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "hostkit/timing.h"
#include "imaging/free_color.h"

namespace {

using hostkit::Seconds;

constexpr int32_t kSide = 2048;
constexpr size_t kPixels = size_t{kSide} * kSide;

void BM_FindFreeColorWorst(benchmark::State& state) {
  std::vector<uint32_t> colors(kPixels);
  std::iota(colors.begin(), colors.end(), 0u);
  std::shuffle(colors.begin(), colors.end(), std::mt19937(7));
  std::vector<uint8_t> picture(kPixels * 4), copy(kPixels * 4);
  for (size_t i = 0; i < kPixels; ++i) {
    const uint32_t c = colors[i];
    picture[i * 4] = uint8_t(c);
    picture[i * 4 + 1] = uint8_t(c >> 8);
    picture[i * 4 + 2] = uint8_t(c >> 16);
    picture[i * 4 + 3] = 255;
  }
  double best = 1e9, bestCopy = 1e9;
  uint32_t found = 0;
  for (auto _ : state) {
    const double s = Seconds([&] {
      found = dro::imaging::FindFreeColor(picture.data(), kPixels).value_or(~0u);
      benchmark::DoNotOptimize(found);
    });
    state.SetIterationTime(s);
    best = std::min(best, s);
    bestCopy = std::min(bestCopy, Seconds([&] {
                          std::memcpy(copy.data(), picture.data(), picture.size());
                          benchmark::DoNotOptimize(copy.data());
                          benchmark::ClobberMemory();
                        }));
  }
  if (found != (1u << 22)) state.SkipWithError("wrong free colour");
  state.counters["best_ms"] = best * 1e3;
  state.counters["memcpy_ms"] = bestCopy * 1e3;
  state.counters["memcpy_share"] = bestCopy / best;
}

// The wand's picture as 8-bit RGB: noisy background, solid rectangles.
std::vector<uint8_t> WandPicture() {
  std::vector<uint8_t> rgb(kPixels * 3);
  std::mt19937 rng(3);
  for (size_t i = 0; i < kPixels; ++i) {
    rgb[i * 3] = uint8_t(100 + rng() % 17);
    rgb[i * 3 + 1] = uint8_t(150 + rng() % 17);
    rgb[i * 3 + 2] = uint8_t(60 + rng() % 17);
  }
  for (int k = 0; k < 64; ++k) {
    const int x0 = int(rng() % (kSide - 200)), y0 = int(rng() % (kSide - 200));
    const int w = int(20 + rng() % 180), h = int(20 + rng() % 180);
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        uint8_t* p = &rgb[(size_t(y) * kSide + x) * 3];
        p[0] = 250, p[1] = 10, p[2] = 200;
      }
  }
  rgb[0] = 108, rgb[1] = 158, rgb[2] = 68;  // the seed: the background's centre
  return rgb;
}

void BM_WandConnected(benchmark::State& state) {
  const std::vector<uint8_t> rgb = WandPicture();
  DRO_CreateImage(nullptr, kSide, kSide, 64, 5);
  DRO_SetUndoLevels(0);
  DRO_CreateLayer(2, kSide, kSide);
  DRO_SetLayer(2);
  dro::Pixel64* layer = dro::engine().layers.slots[2].pixels.data();
  for (size_t i = 0; i < kPixels; ++i)
    layer[i] = dro::Pixel64{uint16_t(rgb[i * 3] << 8), uint16_t(rgb[i * 3 + 1] << 8),
                            uint16_t(rgb[i * 3 + 2] << 8), 65280};
  std::vector<uint16_t> open(kPixels, 65535);

  cv::Mat picture(kSide, kSide, CV_8UC3, const_cast<uint8_t*>(rgb.data()));
  cv::Mat cvMask(kSide + 2, kSide + 2, CV_8UC1);
  double best = 1e9, bestCv = 1e9;
  int64_t closed = 0, cvArea = 0;
  for (auto _ : state) {
    DRO_SetMaskData16(open.data());
    const double s = Seconds([&] { DRO_IPLMaskWand(0, 0, 2500, 100, "Connected"); });
    state.SetIterationTime(s);
    best = std::min(best, s);
    bestCv = std::min(bestCv, Seconds([&] {
                        cvMask.setTo(0);
                        cvArea = cv::floodFill(
                            picture, cvMask, cv::Point(0, 0), cv::Scalar(), nullptr,
                            cv::Scalar::all(16), cv::Scalar::all(16),
                            4 | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY | (1 << 8));
                      }));
  }
  closed = std::count(dro::engine().mask.values.begin(), dro::engine().mask.values.end(), 0);
  if (closed != cvArea) state.SkipWithError("the wand and OpenCV selected different areas");
  state.counters["selected_share"] = double(closed) / kPixels;
  state.counters["best_Mpix/s"] = kPixels / best / 1e6;
  state.counters["opencv_Mpix/s"] = kPixels / bestCv / 1e6;
  state.counters["opencv_share"] = bestCv / best;
  DRO_DeleteImage();
}

BENCHMARK(BM_FindFreeColorWorst)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WandConnected)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
