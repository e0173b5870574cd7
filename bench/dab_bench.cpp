// Dabs into the paint layer of a 2048 x 2048 canvas: painted Mpix/s (the
// dab's side squared per dab) for tip sizes 8, 64 and 256, with four kinds
// of brush:
//   plain  a soft disc, mix mode 32 (the plain paint path);
//   grit   the same disc thinned by grit cells;
//   blend  pick-up from the layer under each dab (DRO_CopyBlendBufferSurface,
//          included in the time), remix into the blend buffer;
//   mix34  mix mode 34 (screen) with amount 200.
// Dabs walk the canvas in rows a quarter of their size apart, as along a
// stroke, each wholly on the canvas; the paint layer is cleared (untimed)
// once the walk covered it.
//
// Every figure is set beside one measured in the same run, batch for batch,
// because the machine is shared and absolute speeds drift:
//   blend, mix34  interleaved with batches of the plain dab: of_plain is
//                 their speed over the plain dab's;
//   plain         interleaved, when libmypaint is installed, with the same
//                 walk of its draw_dab (a round dab of hardness 0.5 in an
//                 opaque colour, on its fixed-size tiled surface, each dab
//                 finished by end_atomic, one thread): vs_libmypaint is our
//                 painted Mpix/s over its.
// Ratios compare the best batch of each side in thread CPU time, which a
// busy machine disturbs least (the best_cpu counters); Mpix/s is the
// wall-clock figure over all batches. libmypaint is only measured against here;
// nothing links it into the engine.
//
// Run with DROVINE_NO_FAST_PATHS=1 to measure the reference paths.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>

#include "drovine.h"
#include "hostkit/timing.h"

#if defined(DROVINE_HAVE_LIBMYPAINT)
#include <mypaint-fixed-tiled-surface.h>
#include <omp.h>
#endif

namespace {

using hostkit::Seconds;
using hostkit::ThreadSeconds;

constexpr int32_t kSide = 2048;
constexpr int32_t kLimit = 256;
// Pixels per timed batch: a few milliseconds of painting at any tip size.
constexpr int64_t kBatchPixels = int64_t{1} << 20;

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

// The walk of one tip size: rows a quarter of the size apart, every dab
// wholly on the canvas.
struct Walk {
  explicit Walk(int32_t size)
      : size(size),
        step(std::max(size / 4, 1)),
        first(size / 2),
        last(kSide - size + size / 2),
        x(first),
        y(first) {}
  // Moves on; true when the walk starts over, the canvas covered.
  bool Advance() {
    x += step;
    if (x <= last) return false;
    x = first;
    y += step;
    if (y <= last) return false;
    y = first;
    return true;
  }
  int32_t size, step, first, last, x, y;
};

// Painted pixels and time of one side of a comparison.
struct Tally {
  double pixels = 0, seconds = 0, bestRate = 0;  // bestRate in pixels per CPU second
  // Runs `batch` (which returns the dabs it painted) and adds it up;
  // returns the wall time.
  template <class Batch>
  double Run(int64_t dabPixels, Batch&& batch) {
    int64_t dabs = 0;
    const double cpu = ThreadSeconds();
    const double s = Seconds([&] { dabs = batch(); });
    const double cpuSeconds = ThreadSeconds() - cpu;
    const double painted = static_cast<double>(dabs) * static_cast<double>(dabPixels);
    pixels += painted;
    seconds += s;
    if (cpuSeconds > 0) bestRate = std::max(bestRate, painted / cpuSeconds);
    return s;
  }
  double Mpix() const { return seconds > 0 ? pixels / seconds / 1e6 : 0; }
};

// Paints up to `count` dabs of the current brush along `walk`, stopping
// early when the walk starts over (the caller then clears, untimed).
// Returns the dabs painted; `wrapped` tells whether the walk started over.
int64_t OurBatch(Walk& walk, int64_t count, bool pickUp, bool& wrapped) {
  int64_t dabs = 0;
  wrapped = false;
  while (dabs < count && !wrapped) {
    if (pickUp) DRO_CopyBlendBufferSurface(walk.x, walk.y, 64, 0);
    DRO_DrawDabGrit(walk.x, walk.y, 0x4000, 0x8000, 0xC000);
    DRO_DecDrawingLength();
    ++dabs;
    wrapped = walk.Advance();
  }
  return dabs;
}

#if defined(DROVINE_HAVE_LIBMYPAINT)
// The same walk of libmypaint's draw_dab, each dab rendered at once
// (begin_atomic, draw_dab, end_atomic) as ours are.
class Peer {
 public:
  Peer() { Make(); }
  ~Peer() { Free(); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  int64_t Batch(Walk& walk, int64_t count, bool& wrapped) {
    int64_t dabs = 0;
    wrapped = false;
    while (dabs < count && !wrapped) {
      mypaint_surface_begin_atomic(surface_);
      mypaint_surface_draw_dab(surface_, static_cast<float>(walk.x), static_cast<float>(walk.y),
                               static_cast<float>(walk.size) * 0.5f, 190 / 255.f, 170 / 255.f,
                               128 / 255.f, 1.0f, 0.5f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
      MyPaintRectangle roi;
      mypaint_surface_end_atomic(surface_, &roi);
      ++dabs;
      wrapped = walk.Advance();
    }
    return dabs;
  }
  // A fresh, empty surface (untimed, as our paint layer's clear).
  void Clear() {
    Free();
    Make();
  }

 private:
  void Make() {
    fixed_ = mypaint_fixed_tiled_surface_new(kSide, kSide);
    surface_ = mypaint_fixed_tiled_surface_interface(fixed_);
  }
  void Free() { mypaint_surface_unref(surface_); }

  MyPaintFixedTiledSurface* fixed_ = nullptr;
  MyPaintSurface* surface_ = nullptr;
};
#endif

// range(0): tip size; range(1): brush.
void BM_Dab(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  const Brush brush = static_cast<Brush>(state.range(1));
  SetUpCanvas(size, brush);
  const int64_t dabPixels = int64_t{size} * size;
  const int64_t perBatch = std::max<int64_t>(kBatchPixels / dabPixels, 1);
  // Our brush and the plain dab beside it share the walk and the layer.
  Walk walk(size);
  Tally ours, plain;
  const bool besidePlain = brush == kBlend || brush == kMix34;
#if defined(DROVINE_HAVE_LIBMYPAINT)
  omp_set_num_threads(1);
  Tally theirs;
  Walk peerWalk(size);
  Peer peer;
#endif
  bool wrapped = false;
  for (auto _ : state) {
    state.SetIterationTime(
        ours.Run(dabPixels, [&] { return OurBatch(walk, perBatch, brush == kBlend, wrapped); }));
    if (wrapped) DRO_ClearPaintLayer();
    if (besidePlain) {
      DRO_SetBlendStrength(0);
      DRO_SetMixMode(32, 200);
      plain.Run(dabPixels, [&] { return OurBatch(walk, perBatch, false, wrapped); });
      if (wrapped) DRO_ClearPaintLayer();
      if (brush == kBlend) DRO_SetBlendStrength(128);
      if (brush == kMix34) DRO_SetMixMode(34, 200);
    }
#if defined(DROVINE_HAVE_LIBMYPAINT)
    if (brush == kPlain) {
      theirs.Run(dabPixels, [&] { return peer.Batch(peerWalk, perBatch, wrapped); });
      if (wrapped) peer.Clear();
    }
#endif
  }
  state.SetItemsProcessed(static_cast<int64_t>(ours.pixels / static_cast<double>(dabPixels)));
  state.counters["Mpix/s"] = ours.Mpix();
  state.counters["best_cpu_Mpix/s"] = ours.bestRate / 1e6;
  if (besidePlain && plain.bestRate > 0) {
    state.counters["plain_Mpix/s"] = plain.Mpix();
    state.counters["plain_best_cpu_Mpix/s"] = plain.bestRate / 1e6;
    state.counters["of_plain"] = ours.bestRate / plain.bestRate;
  }
#if defined(DROVINE_HAVE_LIBMYPAINT)
  if (brush == kPlain && theirs.bestRate > 0) {
    state.counters["libmypaint_Mpix/s"] = theirs.Mpix();
    state.counters["libmypaint_best_cpu_Mpix/s"] = theirs.bestRate / 1e6;
    state.counters["vs_libmypaint"] = ours.bestRate / theirs.bestRate;
  }
#endif
  DRO_DeletePaintLayer();
  DRO_DeleteImage();
}

void DabArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"tip", "brush"});
  for (int brush : {kPlain, kGrit, kBlend, kMix34}) {
    for (int size : {8, 64, 256}) b->Args({size, brush});
  }
}

BENCHMARK(BM_Dab)->Apply(DabArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
