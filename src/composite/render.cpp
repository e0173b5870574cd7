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

#include "composite/blend_kernels.h"
#include "composite/blend_modes.h"
#include "engine/engine.h"

namespace dro::composite {
namespace {

constexpr int32_t kMaxEntries = kLayerSlots;  // slots 1..63 and the paint layer
constexpr float kColourScale = 65280.f;
constexpr float kAlphaScale = 65535.f;
constexpr uint32_t kLightSquare = 65535;
constexpr uint32_t kDarkSquare = 0x9FFF;

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
  bool background = false;  // slot 1 is the first entry
};

bool IsTextureFormula(int32_t formula) noexcept {
  return formula >= kModeTexturize && formula <= kModeTexturize3;
}

// Bottom slot first; the paint layer directly above the current layer's
// place (even when the current layer itself is hidden). Layers whose size
// no longer matches the canvas are left out.
void BuildDisplayList(const Engine& e, DisplayList& list) noexcept {
  const LayerState& l = e.layers;
  const int32_t w = e.canvas.width;
  const int32_t h = e.canvas.height;
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

struct Running {
  uint32_t r = 0, g = 0, b = 0, a = 0;
  float fr = 0, fg = 0, fb = 0, fa = 0;
  bool isFloat = false;
};

// Steps 6 to 8 for canvas pixel `index`: the layers' result, 16-bit.
inline void ComposeLayers(const DisplayList& list, size_t index, uint32_t out[4]) noexcept {
  Running run;
  for (int32_t i = 0; i < list.count; ++i) {
    const Entry& en = list.entries[i];
    const Pixel64 px = en.pixels[index];
    int32_t r = px.r, g = px.g, b = px.b, a = px.a;
    const bool forceOpaque = i == 0 && list.background;
    if (forceOpaque) {
      a = 65535;
    } else if (a == 0 && en.mode <= kModeUnnamed) {
      continue;
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
    int32_t formula = en.mode;
    if (en.mode >= kModeAlphaFilter && en.mode <= kLastBlendMode) {
      if (blend::AlphaFamilyTransform(en.mode, r, g, b, a) == kModeTexturize2) {
        formula = kModeTexturize2;
      }
    }

    if (run.fa == 0.f) {
      if (IsTextureFormula(formula)) {
        run = Running{};
      } else {
        run.r = static_cast<uint32_t>(r);
        run.g = static_cast<uint32_t>(g);
        run.b = static_cast<uint32_t>(b);
        run.a = static_cast<uint32_t>(a);
        run.fr = static_cast<float>(r) / kColourScale;
        run.fg = static_cast<float>(g) / kColourScale;
        run.fb = static_cast<float>(b) / kColourScale;
        run.fa = static_cast<float>(a) / kAlphaScale;
        run.isFloat = false;
      }
    } else if (formula == kModeNormal && a >= 65280) {
      run.r = static_cast<uint32_t>(r);
      run.g = static_cast<uint32_t>(g);
      run.b = static_cast<uint32_t>(b);
      run.a = 65535;
      run.fr = static_cast<float>(r) / kColourScale;
      run.fg = static_cast<float>(g) / kColourScale;
      run.fb = static_cast<float>(b) / kColourScale;
      run.fa = 1.f;
      run.isFloat = false;
    } else if (formula == kModeTexturize3) {
      // A texture layer keeps what lies under it.
    } else {
      const float dc[3] = {run.fr * run.fa, run.fg * run.fa, run.fb * run.fa};
      float colour[3];
      float alpha;
      blend::CompositeFloat(formula, r, g, b, a, dc, run.fa, colour, alpha);
      run.fr = colour[0];
      run.fg = colour[1];
      run.fb = colour[2];
      run.fa = alpha;
      run.isFloat = true;
    }
  }
  if (run.isFloat) {
    out[0] = static_cast<uint32_t>(run.fr * kColourScale);
    out[1] = static_cast<uint32_t>(run.fg * kColourScale);
    out[2] = static_cast<uint32_t>(run.fb * kColourScale);
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
  inline void Apply(uint32_t c[4], int32_t cx, int32_t cy, size_t index,
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

}  // namespace

void Render(void* destination, int32_t stride, int32_t x, int32_t y, int32_t width,
            int32_t height) noexcept {
  const Engine& e = engine();
  const LayerState& l = e.layers;
  if (!destination || !l.current || !l.current->pixels) return;
  const CanvasGeometry& c = e.canvas;
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
  const int64_t num = c.zoomNumerator;
  const int64_t den = c.zoomDenominator;
  if (num <= 0 || den <= 0) return;
  const int64_t viewW = std::max(c.viewWidth, 0);
  const int64_t viewH = std::max(c.viewHeight, 0);
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
  if (columns <= 0 || rows <= 0) return;

  DisplayList list;
  BuildDisplayList(e, list);
  Finish finish;
  const LayerRecord& traceLayer = l.slots[0];
  if (e.display.tracingMode && traceLayer.Matches(c.width, c.height)) {
    finish.trace = traceLayer.pixels.data();
  }
  const Buffer<Mask16>& mask = e.mask.values;
  if (e.display.maskDisplay && e.mask.enabled && mask &&
      mask.size() >= static_cast<size_t>(canvasW * canvasH)) {
    finish.mask = mask.data();
  }
  for (int i = 0; i < 3; ++i) {
    finish.overlay[0][i] = e.mask.overlay.color2[i];
    finish.overlay[1][i] = e.mask.overlay.color1[i];
  }
  finish.fullStrength = e.mask.overlay.fullStrength != 0;

  uint8_t* const base = static_cast<uint8_t*>(destination);
  uint32_t px[4];
  for (int64_t r = 0; r < rows; ++r) {
    uint8_t* out = base + r * static_cast<int64_t>(stride);
    if (num == den || num < den) {
      const int64_t step = num == den ? 1 : den;
      const int32_t cy = static_cast<int32_t>(y0 + step * r);
      const size_t rowIndex = static_cast<size_t>(cy * canvasW);
      for (int64_t col = 0; col < columns; ++col, out += 3) {
        const int32_t cx = static_cast<int32_t>(x0 + step * col);
        const size_t index = rowIndex + static_cast<size_t>(cx);
        ComposeLayers(list, index, px);
        finish.Apply(px, cx, cy, index, out);
      }
    } else {
      // Each canvas pixel once per output row, written num times.
      const int32_t cy = static_cast<int32_t>(y0 + r / num);
      const size_t rowIndex = static_cast<size_t>(cy * canvasW);
      for (int64_t col = 0; col < columns;) {
        const int32_t cx = static_cast<int32_t>(x0 + col / num);
        const size_t index = rowIndex + static_cast<size_t>(cx);
        ComposeLayers(list, index, px);
        uint8_t bgr[3];
        finish.Apply(px, cx, cy, index, bgr);
        const int64_t repeat = std::min(num - col % num, columns - col);
        for (int64_t k = 0; k < repeat; ++k, out += 3) {
          out[0] = bgr[0];
          out[1] = bgr[1];
          out[2] = bgr[2];
        }
        col += repeat;
      }
    }
  }
}

}  // namespace dro::composite
