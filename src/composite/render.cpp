// Pixel contract of the display, per shown canvas pixel:
//   for each display-list entry, bottom first, with the entry's pixel
//   (R, G, B, A):
//     1. the background (slot 1 as the first entry) counts as opaque;
//        otherwise a transparent pixel of a mode up to 20 is skipped;
//     2. a visible "Layer Mask" entry just above (above the paint layer for
//        the current layer) scales A by its grey where it has alpha;
//     3. opacity below 255 scales A by (opacity + 1) / 256;
//     4. the alpha family reinterprets the pixel (modes 28, 29 then
//        composite as Texturize2);
//     5. an empty running result takes the pixel (texture formulas: all
//        zero); an opaque pixel in mode 0 replaces it with alpha 65535; any
//        other step is the floating-point composite on the running floats;
//   then tracing averages in the trace layer, a result that is not opaque
//   is mixed with a 65535 / 40959 checkerboard of 32 x 32 pixels, and the
//   displayed mask tints where it is not fully open.
#include "composite/render.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/thread_pool.h"
#include "composite/blend_kernels.h"
#include "composite/blend_modes.h"
#include "composite/display_state.h"
#include "composite/layer_state.h"
#include "composite/render_lanes.h"
#include "mask/mask_state.h"

namespace dro::composite {
namespace {

using detail::kAlphaScale;
using detail::kChunk;
using detail::kColorScale;
using detail::RunningLanes;

constexpr int32_t kMaxEntries = kLayerSlots;  // slots 1..63 and the paint layer
constexpr uint32_t kLightSquare = detail::kLightSquareValue;
constexpr uint32_t kDarkSquare = detail::kDarkSquareValue;

struct Entry {
  const Pixel64* pixels = nullptr;
  int32_t mode = 0;
  int32_t opacity = 256;
  const Pixel64* layerMask = nullptr;  // pixels of the "Layer Mask" entry above, or null
  const LayerRecord* record = nullptr;
};

struct DisplayList {
  Entry entries[kMaxEntries];
  int32_t count = 0;
  bool background = false;       // slot 1 is the first entry
  bool plainBackground = false;  // ... in a colour mode that never empties the result
  // The plain top of the stack (over a plain background): the entries from
  // the top down in mode 0 at full opacity without a layer mask, and whether
  // they reach down to a fully opaque background.
  const Pixel64* plainTop[kMaxEntries] = {};
  int32_t plainTopCount = 0;
  bool plainTopReachesBase = false;
};

bool IsTextureFormula(int32_t formula) noexcept {
  return formula >= kModeTexturize && formula <= kModeTexturize3;
}

// Bottom slot first; the paint layer directly above the current layer's
// place (even when the current layer itself is hidden). Layers whose size
// no longer matches the canvas are left out.
void BuildDisplayList(const LayerState& l, const CanvasGeometry& canvas,
                      DisplayList& list) noexcept {
  const int32_t w = canvas.width;
  const int32_t h = canvas.height;
  const Pixel64* current = l.current ? l.current->pixels.data() : nullptr;
  const bool paint = l.paint.Matches(w, h);
  for (int32_t n = 1; n < kLayerSlots; ++n) {
    const LayerRecord& rec = l.slots[n];
    if (rec.Matches(w, h) && rec.visible && rec.mode != kModeTexturize3) {
      if (n == 1) list.background = true;
      list.entries[list.count++].record = &rec;
    }
    if (paint && current && rec.pixels.data() == current) {
      list.entries[list.count++].record = &l.paint;
    }
  }
  for (int32_t i = 0; i < list.count; ++i) {
    Entry& en = list.entries[i];
    en.pixels = en.record->pixels.data();
    en.mode = en.record->mode;
    en.opacity = en.record->opacity;
  }
  const int32_t baseMode = list.count > 0 ? list.entries[0].mode : 0;
  list.plainBackground = list.background && (baseMode <= kModeSubtract || baseMode == kModeUnnamed);
  if (list.plainBackground) {
    int32_t i = list.count - 1;
    for (; i >= 1; --i) {
      const Entry& en = list.entries[i];
      if (en.mode != kModeNormal || en.layerMask || en.opacity < 255) break;
      list.plainTop[list.plainTopCount++] = en.pixels;
    }
    list.plainTopReachesBase = i == 0 && list.entries[0].opacity >= 255;
  }
  // The layer mask of an entry is the entry above it, looked for above the
  // paint layer when the entry is the current layer.
  for (int32_t i = 0; i + 1 < list.count; ++i) {
    int32_t j = i + 1;
    if (paint && list.entries[i].record == l.current && i + 2 < list.count) j = i + 2;
    const Entry& above = list.entries[j];
    if (above.mode == kModeLayerMask && above.record->visible) {
      list.entries[i].layerMask = above.pixels;
    }
  }
}

// The running result: integers while every step was exact; the floats
// (straight colour on the 65280 = 1 scale, alpha on 0..1) once a step went
// through the floating-point composite. Before that the floats are the
// integers' values, computed when a float step needs them.
struct Running {
  uint32_t r = 0, g = 0, b = 0, a = 0;
  float fr = 0, fg = 0, fb = 0, fa = 0;
  bool isFloat = false;

  bool Empty() const noexcept { return isFloat ? fa == 0.f : a == 0; }
  void Set(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) noexcept {
    r = red;
    g = green;
    b = blue;
    a = alpha;
    isFloat = false;
  }
  void ToFloat() noexcept {
    if (isFloat) return;
    fr = static_cast<float>(r) / kColorScale;
    fg = static_cast<float>(g) / kColorScale;
    fb = static_cast<float>(b) / kColorScale;
    fa = static_cast<float>(a) / kAlphaScale;
    isFloat = true;
  }
};

// One pixel's running result out of the chunk's lanes, and back.
[[gnu::always_inline]] inline Running LoadLane(const RunningLanes& lanes, int32_t k) noexcept {
  Running run;
  run.r = lanes.r[k], run.g = lanes.g[k], run.b = lanes.b[k], run.a = lanes.a[k];
  run.fr = lanes.fr[k], run.fg = lanes.fg[k], run.fb = lanes.fb[k], run.fa = lanes.fa[k];
  run.isFloat = lanes.isFloat[k] != 0;
  return run;
}
[[gnu::always_inline]] inline void StoreLane(RunningLanes& lanes, int32_t k,
                                             const Running& run) noexcept {
  lanes.r[k] = run.r, lanes.g[k] = run.g, lanes.b[k] = run.b, lanes.a[k] = run.a;
  lanes.fr[k] = run.fr, lanes.fg[k] = run.fg, lanes.fb[k] = run.fb, lanes.fa[k] = run.fa;
  lanes.isFloat[k] = run.isFloat ? -1 : 0;
}

float Clamp01(float x) noexcept {
  const float low = x > 0.f ? x : 0.f;
  return low < 1.f ? low : 1.f;
}

// Formulas that composite as Normal (the alpha family included, apart from
// the Texturize2 pair, whose formula is 18 by now).
bool NormalFormula(int32_t formula) noexcept {
  return formula == kModeNormal || formula == kModeReflect || formula == kModeGlow ||
         formula >= kModeUnnamed;
}

// The floating-point composite onto the running floats. Normal, by far the
// most common, is spelled out here with the blend routine's operations in
// its order (Sa = A / 65535, Sc = X Sa / 65280, Cr = Sc + Dc (1 - Sa),
// alpha = Da + (1 - Da) Sa, colour = clamp(Cr / alpha)); every other
// formula goes through the blend routine itself.
[[gnu::noinline]] void CompositeOther(Running& run, int32_t formula, int32_t r, int32_t g,
                                      int32_t b, int32_t a) noexcept {
  const float da = run.fa;
  const float dc[3] = {run.fr * da, run.fg * da, run.fb * da};
  float color[3];
  float alpha;
  blend::CompositeFloat(formula, r, g, b, a, dc, da, color, alpha);
  run.fr = color[0];
  run.fg = color[1];
  run.fb = color[2];
  run.fa = alpha;
}

[[gnu::always_inline]] inline void CompositeRunning(Running& run, int32_t formula, int32_t r,
                                                    int32_t g, int32_t b, int32_t a) noexcept {
  run.ToFloat();
  if (!NormalFormula(formula)) {
    CompositeOther(run, formula, r, g, b, a);
    return;
  }
  const float da = run.fa;
  const float sa = static_cast<float>(a) / kAlphaScale;
  const float keep = 1.f - sa;
  const float alpha = Clamp01(da + (1.f - da) * sa);
  const float sr = static_cast<float>(r) * sa / kColorScale;
  const float sg = static_cast<float>(g) * sa / kColorScale;
  const float sb = static_cast<float>(b) * sa / kColorScale;
  run.fr = Clamp01((sr + run.fr * da * keep) / alpha);
  run.fg = Clamp01((sg + run.fg * da * keep) / alpha);
  run.fb = Clamp01((sb + run.fb * da * keep) / alpha);
  run.fa = alpha;
}

// Step 7.4: the alpha family's transform; the formula it composites with.
[[gnu::noinline]] int32_t AlphaFamily(int32_t mode, int32_t& r, int32_t& g, int32_t& b,
                                      int32_t& a) noexcept {
  return blend::AlphaFamilyTransform(mode, r, g, b, a) == kModeTexturize2 ? kModeTexturize2 : mode;
}

// Steps 7.1 to 7.3 for entry i: the pixel's alpha after the background
// rule, the layer mask and the opacity; false where the entry is skipped.
[[gnu::always_inline]] inline bool EntryAlpha(const DisplayList& list, int32_t i, size_t index,
                                              const Pixel64& px, int32_t& a) noexcept {
  const Entry& en = list.entries[i];
  a = px.a;
  const bool forceOpaque = i == 0 && list.background;
  if (forceOpaque) {
    a = 65535;
  } else if (a == 0 && en.mode <= kModeUnnamed) {
    return false;
  }
  if (en.layerMask) {
    const Pixel64 m = en.layerMask[index];
    if (m.a > 0) {
      const uint32_t grey = (uint32_t{m.r} + m.g + m.b) / 3;
      a = static_cast<int32_t>(static_cast<uint32_t>(a) * grey / 65536);
    }
    if (forceOpaque) a = 65535;
  }
  if (en.opacity < 255) a = a * (en.opacity + 1) / 256;
  return true;
}

// Step 6 and the search of the top-down shortcut for canvas pixel `index`:
// the running result to start from and the first entry still to compose.
//
// Over a background in a plain colour mode (0 to 16, or 20) the running
// result is never empty again, so an opaque pixel in mode 0 replaces it
// outright, whatever lies below: the layers are searched from the top for
// the last such pixel and composed from there on. (A background in a
// texture or alpha-family mode can leave the result empty.)
[[gnu::always_inline]] inline int32_t StartLayers(const DisplayList& list, size_t index,
                                                  Running& run) noexcept {
  run = Running{};
  if (!list.plainBackground) return 0;
  for (int32_t i = list.count - 1; i >= 1; --i) {
    const Entry& en = list.entries[i];
    if (en.mode != kModeNormal) continue;
    const Pixel64 px = en.pixels[index];
    int32_t a;
    if (px.a < 65280 || !EntryAlpha(list, i, index, px, a) || a < 65280) continue;
    run.Set(px.r, px.g, px.b, 65535);
    return i + 1;
  }
  // Nothing covers it: the background starts the result.
  const Pixel64 px = list.entries[0].pixels[index];
  int32_t a;
  EntryAlpha(list, 0, index, px, a);
  run.Set(px.r, px.g, px.b, static_cast<uint32_t>(a));
  return 1;
}

// Step 7 for entry i at canvas pixel `index`.
[[gnu::always_inline]] inline void ComposeEntry(const DisplayList& list, int32_t i, size_t index,
                                                Running& run) noexcept {
  const Entry& en = list.entries[i];
  const Pixel64 px = en.pixels[index];
  int32_t a;
  if (!EntryAlpha(list, i, index, px, a)) return;
  int32_t r = px.r, g = px.g, b = px.b;
  int32_t formula = en.mode;
  if (en.mode >= kModeAlphaFilter && en.mode <= kLastBlendMode) {
    formula = AlphaFamily(en.mode, r, g, b, a);
  }
  if (run.Empty()) {
    if (IsTextureFormula(formula)) {
      run = Running{};
    } else {
      run.Set(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b),
              static_cast<uint32_t>(a));
    }
  } else if (formula == kModeNormal && a >= 65280) {
    run.Set(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b), 65535);
  } else if (formula == kModeTexturize3) {
    // A texture layer keeps what lies under it.
  } else {
    CompositeRunning(run, formula, r, g, b, a);
  }
}

// Step 8: the layers' result, 16-bit.
[[gnu::always_inline]] inline void Result(const Running& run, uint32_t out[4]) noexcept {
  if (run.isFloat) {
    out[0] = static_cast<uint32_t>(run.fr * kColorScale);
    out[1] = static_cast<uint32_t>(run.fg * kColorScale);
    out[2] = static_cast<uint32_t>(run.fb * kColorScale);
    out[3] = static_cast<uint32_t>(run.fa * kAlphaScale);
  } else {
    out[0] = run.r;
    out[1] = run.g;
    out[2] = run.b;
    out[3] = run.a;
  }
}

// Everything after the layers, for one shown pixel.
struct Finish {
  const Pixel64* trace = nullptr;
  const Mask16* mask = nullptr;  // the displayed, enabled mask, or null
  uint32_t overlay[2][3] = {};   // colour 2 (even squares), colour 1 (odd)
  bool fullStrength = false;

  // Steps 9 to 11: writes blue, green, red.
  [[gnu::always_inline]] inline void Apply(uint32_t c[4], int32_t cx, int32_t cy, size_t index,
                                           uint8_t* bgr) const noexcept {
    if (trace) {
      const Pixel64 t = trace[index];
      c[0] = (c[0] + t.r) / 2;
      c[1] = (c[1] + t.g) / 2;
      c[2] = (c[2] + t.b) / 2;
    }
    const uint32_t odd = static_cast<uint32_t>((cx >> 5) + (cy >> 5)) & 1u;
    const uint32_t a = c[3];
    if (a < 65535) {
      const uint32_t k = odd ? kDarkSquare : kLightSquare;
      for (int i = 0; i < 3; ++i) c[i] = ((a * c[i] >> 8) + (k * (65535 - a) >> 8)) >> 8;
    }
    if (mask && mask[index] < 65535) {
      uint32_t m = mask[index];
      if (!fullStrength) m = (m >> 1) + 32767;
      const uint32_t* q = overlay[odd];
      bgr[0] = static_cast<uint8_t>(((m * c[2] >> 8) + ((65535 - m) * q[2] >> 8)) >> 16);
      bgr[1] = static_cast<uint8_t>(((m * c[1] >> 8) + ((65535 - m) * q[1] >> 8)) >> 16);
      bgr[2] = static_cast<uint8_t>(((m * c[0] >> 8) + ((65535 - m) * q[0] >> 8)) >> 16);
      return;
    }
    bgr[0] = static_cast<uint8_t>(c[2] >> 8);
    bgr[1] = static_cast<uint8_t>(c[1] >> 8);
    bgr[2] = static_cast<uint8_t>(c[0] >> 8);
  }
};

// The common pixel: under transparent plain pixels, an opaque one (or the
// opaque background) shows as it is. False where the general path must
// compose the pixel.
[[gnu::always_inline]] inline bool PlainPixel(const DisplayList& list, size_t index,
                                              Pixel64& shown) noexcept {
  for (int32_t i = 0; i < list.plainTopCount; ++i) {
    const Pixel64 px = list.plainTop[i][index];
    if (px.a >= 65280) {
      shown = px;
      return true;
    }
    if (px.a != 0) return false;
  }
  if (!list.plainTopReachesBase) return false;
  shown = list.entries[0].pixels[index];
  return true;
}

// Entries the vector path composes: Normal-formula modes outside the alpha
// family, without a layer mask.
bool VectorEntry(const DisplayList& list, int32_t i) noexcept {
  const Entry& en = list.entries[i];
  return !en.layerMask && (en.mode == kModeNormal || en.mode == kModeReflect ||
                           en.mode == kModeGlow || en.mode == kModeUnnamed);
}

// Shows canvas row cy from column x0 every `step` columns in `columns`
// output pixels, each canvas pixel `repeat` times. Pixels are composed a
// chunk at a time, one layer across the chunk after the other, so that the
// floating-point steps of neighbouring pixels overlap instead of waiting
// for each other.
void RenderSpan(const DisplayList& list, const Finish& finish, int32_t cy, int64_t x0, int64_t step,
                int64_t columns, uint8_t* out, int64_t repeat) noexcept {
  constexpr int32_t kDone = INT32_MAX;  // shown by the plain path
  RunningLanes lanes;
  int32_t* const start = lanes.start;
  const bool plain = !finish.trace && !finish.mask;
  // The vector path follows the blend kernels' switch: on where the CPU has
  // AVX2 and DROVINE_NO_FAST_PATHS (or the test hook) allows.
  const bool vector = FastPathActive(kModeNormal);
  // A zoomed-out view reads every step-th pixel: the vector path takes
  // copies of them, side by side, a chunk at a time.
  const bool gather = vector && step != 1;
  Pixel64 gathered[kMaxEntries][kChunk];  // 64 KiB of stack, touched only as used
  // The top-down start in whole vectors too, when no mode-0 layer has a
  // layer mask (which could make a pixel cover or not).
  bool vectorStart = vector && list.plainBackground;
  for (int32_t i = 1; i < list.count && vectorStart; ++i) {
    const Entry& en = list.entries[i];
    if (en.mode == kModeNormal && en.layerMask) vectorStart = false;
  }
  detail::StartEntry startEntries[kMaxEntries];
  // The plain path eight pixels at a time, one or two canvas pixels apart.
  const bool vectorPlain = vector && plain && (step == 1 || step == 2) &&
                           (list.plainTopCount > 0 || list.plainTopReachesBase);
  const Pixel64* const plainBase = list.plainTopReachesBase ? list.entries[0].pixels : nullptr;
  const int64_t width = Geometry().width;
  const size_t rowIndex = static_cast<size_t>(cy) * static_cast<size_t>(width);
  const int64_t pixels = (columns + repeat - 1) / repeat;  // canvas pixels shown
  for (int64_t first = 0; first < pixels; first += kChunk) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(kChunk, pixels - first));
    const size_t index0 = rowIndex + static_cast<size_t>(x0 + step * first);
    const int32_t vectorCount = vector ? n & ~7 : 0;
    const int32_t vectorStarts = vectorStart ? vectorCount : 0;
    // The plain path over whole groups of eight pixels that lie in the
    // canvas row and whose output columns lie in the view.
    int32_t plainGroups = 0;
    uint8_t shownGroups[kChunk / 8];
    if (vectorPlain) {
      const int64_t fit = std::min<int64_t>((width - x0) / step, columns / repeat) - first;
      plainGroups = static_cast<int32_t>(std::clamp<int64_t>(fit / 8, 0, n / 8));
      detail::PlainGroupsAvx2(list.plainTop, list.plainTopCount, plainBase, index0,
                              static_cast<int32_t>(step), repeat, plainGroups,
                              out + 3 * first * repeat, shownGroups);
    }
    int32_t lowest = list.count;
    int32_t notPlainUntil = 0;  // pixels before this one are known not to be plain
    int32_t shownPlain = 0;     // pixels the plain path showed
    for (int32_t k = 0; k < n; ++k) {
      const size_t index = index0 + static_cast<size_t>(step * k);
      // Eight pixels at once where the plain path looked at them so.
      if ((k & 7) == 0 && k < 8 * plainGroups) {
        const uint32_t shown = shownGroups[k / 8];
        if (shown == 0xFF) {
          std::fill_n(start + k, 8, kDone);
          shownPlain += 8;
          k += 7;
          continue;
        }
        if (shown == 0 && k + 8 <= vectorStarts) {
          std::fill_n(start + k, 8, 0);  // found below
          k += 7;
          continue;
        }
        if (shown == 0) notPlainUntil = k + 8;
      }
      Pixel64 px;
      if (plain && k >= notPlainUntil && PlainPixel(list, index, px)) {
        // Opaque: no checkerboard; no trace or overlay in this mode.
        const uint8_t bgr[3] = {static_cast<uint8_t>(px.b >> 8), static_cast<uint8_t>(px.g >> 8),
                                static_cast<uint8_t>(px.r >> 8)};
        if (repeat == 1) {
          std::memcpy(out + 3 * (first + k), bgr, 3);
        } else {
          const int64_t from = (first + k) * repeat;
          const int64_t to = std::min(from + repeat, columns);
          for (int64_t col = from; col < to; ++col) std::memcpy(out + 3 * col, bgr, 3);
        }
        start[k] = kDone;
        ++shownPlain;
        continue;
      }
      if (k < vectorStarts) {
        start[k] = 0;  // found below
        continue;
      }
      Running run;
      start[k] = StartLayers(list, index, run);
      StoreLane(lanes, k, run);
      lowest = std::min(lowest, start[k]);
    }
    // Where the vector path finds entry i's pixels for this chunk.
    const auto chunkPixels = [&](int32_t i) -> const Pixel64* {
      return gather ? gathered[i] : list.entries[i].pixels + index0;
    };
    if (gather && shownPlain < n) {
      for (int32_t i = 0; i < list.count; ++i) {
        const Pixel64* from = list.entries[i].pixels + index0;
        for (int32_t k = 0; k < vectorCount; ++k) gathered[i][k] = from[step * k];
      }
    }
    if (vectorStarts > 0) {
      for (int32_t i = 0; i < list.count; ++i) {
        const Entry& en = list.entries[i];
        startEntries[i].pixels = chunkPixels(i);
        startEntries[i].canCover = en.mode == kModeNormal && en.opacity >= 255;
      }
      detail::StartLayersAvx2(startEntries, list.count, list.entries[0].opacity, lanes,
                              vectorStarts, kDone);
      for (int32_t k = 0; k < vectorStarts; ++k) lowest = std::min(lowest, start[k]);
    }
    // Neighbouring pixels in whole vectors where the layer allows it, the
    // rest one by one.
    for (int32_t i = lowest; i < list.count; ++i) {
      int32_t k = 0;
      if (vectorCount > 0 && VectorEntry(list, i)) {
        const Entry& en = list.entries[i];
        detail::NormalEntry entry;
        entry.pixels = chunkPixels(i);
        entry.index = i;
        entry.opacity = en.opacity;
        entry.forceOpaque = i == 0 && list.background;
        entry.replaceCovering = en.mode == kModeNormal;
        detail::ComposeNormalEntryAvx2(entry, lanes, vectorCount);
        k = vectorCount;
      }
      for (; k < n; ++k) {
        if (i < start[k]) continue;
        Running run = LoadLane(lanes, k);
        ComposeEntry(list, i, index0 + static_cast<size_t>(step * k), run);
        StoreLane(lanes, k, run);
      }
    }
    int32_t finished = 0;
    // Whole vectors of pixels whose every output column lies in the row.
    const int32_t finishCount = static_cast<int32_t>(
        std::min<int64_t>(vectorCount, std::max<int64_t>(columns / repeat - first, 0)) & ~7);
    if (vector && step == 1 && plain && lowest < list.count && finishCount > 0) {
      // Whole vectors of finished pixels: those the plain path showed are
      // written again with the same bytes, from a result that says so.
      for (int32_t k = 0; k < finishCount && shownPlain > 0; ++k) {
        Pixel64 px;
        if (start[k] != kDone || !PlainPixel(list, index0 + static_cast<size_t>(k), px)) continue;
        Running run;
        run.Set(px.r, px.g, px.b, 65535);
        StoreLane(lanes, k, run);
      }
      detail::FinishPlainAvx2(lanes, finishCount, static_cast<int32_t>(x0 + first), cy, repeat,
                              out + 3 * first * repeat);
      finished = finishCount;
    }
    for (int32_t k = finished; k < n; ++k) {
      if (start[k] == kDone) continue;
      const int64_t pixel = first + k;
      const int32_t cx = static_cast<int32_t>(x0 + step * pixel);
      uint32_t c[4];
      Result(LoadLane(lanes, k), c);
      if (repeat == 1) {
        finish.Apply(c, cx, cy, index0 + static_cast<size_t>(step * k), out + 3 * pixel);
        continue;
      }
      uint8_t bgr[3];
      finish.Apply(c, cx, cy, index0 + static_cast<size_t>(step * k), bgr);
      const int64_t from = pixel * repeat;
      const int64_t to = std::min(from + repeat, columns);
      for (int64_t col = from; col < to; ++col) {
        out[3 * col] = bgr[0];
        out[3 * col + 1] = bgr[1];
        out[3 * col + 2] = bgr[2];
      }
    }
  }
}

}  // namespace

void Render(void* destination, int32_t stride, int32_t x, int32_t y, int32_t width,
            int32_t height) noexcept {
  const CanvasGeometry& c = Geometry();
  const LayerState& l = Layers();
  const DisplayState& view = Display();
  const mask::MaskState& maskState = mask::State();
  if (!destination || !l.current || !l.current->pixels) {
    if (destination) Diagnose("DRO_Render", "no current layer (DRO_SetLayer): nothing drawn");
    return;
  }
  const int64_t canvasW = c.width;
  const int64_t canvasH = c.height;

  // The rectangle: a negative corner moves to the edge without shortening
  // the rectangle; what passes the canvas is cut off.
  const int64_t x0 = std::max(x, 0);
  const int64_t y0 = std::max(y, 0);
  const int64_t w = std::min<int64_t>(width, canvasW - x0);
  const int64_t h = std::min<int64_t>(height, canvasH - y0);
  if (w <= 0 || h <= 0) return;

  // Output geometry by zoom.
  const int64_t num = view.zoomNumerator;
  const int64_t den = view.zoomDenominator;
  if (num <= 0 || den <= 0) return;
  const int64_t viewW = std::max(view.viewWidth, 0);
  const int64_t viewH = std::max(view.viewHeight, 0);
  int64_t columns, rows;
  if (num == den) {
    columns = std::min(w, viewW);
    rows = std::min(h, viewH);
  } else if (num < den) {
    columns = std::min(w / den, viewW);
    rows = std::min(h / den, viewH);
  } else {
    columns = std::min(num * w, viewW);
    rows = std::min(num * h, viewH);
  }
  if (columns <= 0 || rows <= 0) {
    Diagnose("DRO_Render",
             "nothing to draw: rectangle %d, %d, %d x %d, view %lld x %lld (DRO_SetViewSize; it "
             "starts at 0 x 0)",
             x, y, width, height, static_cast<long long>(viewW), static_cast<long long>(viewH));
    return;
  }

  DisplayList list;
  BuildDisplayList(l, c, list);
  if (list.count == 0)
    Diagnose("DRO_Render",
             "no visible layer (DRO_SetLayerOptions; new layers start hidden): only the "
             "checkerboard shows");
  Finish finish;
  const LayerRecord& traceLayer = l.slots[0];
  if (view.tracingMode && traceLayer.Matches(c.width, c.height)) {
    finish.trace = traceLayer.pixels.data();
  }
  const Buffer<Mask16>& mask = maskState.values;
  if (view.maskDisplay && maskState.enabled && mask &&
      mask.size() >= static_cast<size_t>(canvasW * canvasH)) {
    finish.mask = mask.data();
  }
  for (int i = 0; i < 3; ++i) {
    finish.overlay[0][i] = maskState.overlay.color2[i];
    finish.overlay[1][i] = maskState.overlay.color1[i];
  }
  finish.fullStrength = maskState.overlay.fullStrength != 0;

  // Output rows do not depend on each other: bands of them go to the
  // worker threads.
  uint8_t* const base = static_cast<uint8_t*>(destination);
  threads::ForBands(rows, 8, [&](int64_t firstRow, int64_t endRow) {
    for (int64_t r = firstRow; r < endRow; ++r) {
      uint8_t* out = base + r * static_cast<int64_t>(stride);
      if (num <= den) {
        const int64_t step = num == den ? 1 : den;
        RenderSpan(list, finish, static_cast<int32_t>(y0 + step * r), x0, step, columns, out, 1);
      } else {
        // Each canvas pixel once per output row, written num times.
        RenderSpan(list, finish, static_cast<int32_t>(y0 + r / num), x0, 1, columns, out, num);
      }
    }
  });
}

}  // namespace dro::composite
