#include "composite/pixel_transfers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/pixel.h"
#include "base/rect_clip.h"
#include "base/thread_pool.h"
#include "composite/display_state.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "mask/mask_state.h"

namespace dro::composite {
namespace {

constexpr uint32_t kFull = 65535;

bool HaveCanvas() noexcept {
  return Geometry().HasPixels();
}

// A host buffer of `rows` rows of `rowBytes` bytes, `stride` bytes apart:
// refused when absent or when its rows would run into each other backwards.
bool HostRows(const void* data, int64_t stride, int64_t rowBytes) noexcept {
  return data && rowBytes > 0 && stride >= rowBytes;
}

// The same for an export's buffer: a refusal is reported under `where`
// (null: silently).
bool HostRows(const void* data, int64_t stride, int64_t rowBytes, const char* where) noexcept {
  if (HostRows(data, stride, rowBytes)) return true;
  if (!where || !DiagnosticsOn() || rowBytes <= 0) return false;
  if (!data) {
    Diagnose(where, "buffer is null; nothing done");
  } else {
    Diagnose(where, "row stride %lld bytes below the %lld a row needs; nothing done",
             static_cast<long long>(stride), static_cast<long long>(rowBytes));
  }
  return false;
}

size_t CanvasIndex(int32_t x, int32_t y) noexcept {
  return static_cast<size_t>(y) * static_cast<size_t>(Geometry().width) + static_cast<size_t>(x);
}

Pixel64 ReadHostPixel(const uint8_t* p) noexcept {
  Pixel64 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One pixel of an unweighted RGBA32 load.
void StorePlain(Pixel64& p, const uint8_t* s, bool lockAlpha) noexcept {
  if (lockAlpha) {
    p.r = Widen(s[0]);
    p.g = Widen(s[1]);
    p.b = Widen(s[2]);
  } else if (s[3] == 0) {
    p = Pixel64{0, 0, 0, 0};
  } else {
    p = Pixel64{Widen(s[0]), Widen(s[1]), Widen(s[2]), Widen(s[3])};
  }
}

// One pixel of a weighted RGBA32 load with weight w (0..65535).
void StoreWeighted(Pixel64& p, const uint8_t* s, uint32_t w, bool lockAlpha) noexcept {
  if (w == 0) return;
  if (w >= kFull) {
    p.r = Widen(s[0]);
    p.g = Widen(s[1]);
    p.b = Widen(s[2]);
    if (!lockAlpha) p.a = Widen(s[3]);
    return;
  }
  if (p.a != 0) {
    if (s[3] != 0) {
      p.r = BlendChannel(p.r, s[0], w);
      p.g = BlendChannel(p.g, s[1], w);
      p.b = BlendChannel(p.b, s[2], w);
      if (!lockAlpha) p.a = BlendChannel(p.a, s[3], w);
    } else if (!lockAlpha) {
      // A transparent source only thins what is there.
      p.a = static_cast<uint16_t>((uint64_t{p.a} * (kFull - w)) / 65536);
    }
    return;
  }
  p.r = Widen(s[0]);
  p.g = Widen(s[1]);
  p.b = Widen(s[2]);
  if (!lockAlpha) p.a = static_cast<uint16_t>((w * s[3]) / 256);
}

// Texture then mask weight of the loads at canvas pixel (x, y). False when
// the mask shuts the pixel (it must stay untouched). Positions off the
// canvas (a layer larger than the canvas) carry neither map and weigh fully.
bool LoadWeightAt(const uint8_t* texture, const Mask16* mask, int32_t x, int32_t y,
                  uint32_t& w) noexcept {
  w = kFull;
  const CanvasGeometry& geometry = Geometry();
  if (x >= geometry.width || y >= geometry.height) return true;
  const size_t i = CanvasIndex(x, y);
  if (texture) w = LoadTextureWeight(texture[i]);
  if (mask) {
    if ((mask[i] >> 8) == 0) return false;
    w = LoadMaskWeight(w, mask[i]);
  }
  return true;
}

// Loads an RGBA32 source into rows [y0, y1) and columns [x0, x1) of a
// layer; source(col, row) gives the four bytes for that layer pixel.
template <class Source>
void LoadInto(const Plane& target, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool weighted,
              bool lockAlpha, Source&& source) noexcept {
  const uint8_t* texture = weighted ? TextureMap() : nullptr;
  const Mask16* mask = weighted ? dro::mask::EnabledValues() : nullptr;
  threads::ForEachRow(y0, y1, int64_t{x1} - x0, [&](int32_t row) noexcept {
    Pixel64* out = target.Row(row);
    for (int32_t col = x0; col < x1; ++col) {
      const uint8_t* s = source(col, row);
      if (!weighted) {
        StorePlain(out[col], s, lockAlpha);
        continue;
      }
      uint32_t w;
      if (LoadWeightAt(texture, mask, col, row, w)) StoreWeighted(out[col], s, w, lockAlpha);
    }
  });
}

bool WeightingOn(bool useMask) noexcept {
  return useMask && (mask::State().enabled || TextureMap() != nullptr);
}

LayerRecord* CurrentRecord() noexcept {
  LayerRecord* rec = Layers().current;
  return rec && rec->pixels ? rec : nullptr;
}

}  // namespace

int32_t CurrentSlot() noexcept {
  LayerState& layers = Layers();
  const int32_t slot = layers.currentIndex;
  if (!composite::ValidSlot(slot) || layers.current != &layers.slots[slot]) return -1;
  return layers.slots[slot].pixels ? slot : -1;
}

// --- Planes and weights --------------------------------------------------

Plane WholeLayer(LayerRecord& record) noexcept {
  if (!record.pixels || record.width <= 0 || record.height <= 0) return {};
  if (record.pixels.size() < static_cast<size_t>(record.width) * record.height) return {};
  return Plane{record.pixels.data(), record.width, record.height, record.width};
}

Plane OnCanvas(Plane plane) noexcept {
  if (!plane || !HaveCanvas()) return {};
  const CanvasGeometry& geometry = Geometry();
  plane.width = std::min(plane.width, geometry.width);
  plane.height = std::min(plane.height, geometry.height);
  return plane;
}

Plane LayerOnCanvas(int32_t slot) noexcept {
  if (!composite::ValidSlot(slot)) return {};
  return OnCanvas(WholeLayer(Layers().slots[slot]));
}

Plane LayerOnCanvas(int32_t slot, const char* where) noexcept {
  const Plane plane = LayerOnCanvas(slot);
  if (!plane && where && DiagnosticsOn()) {
    if (HaveCanvas()) {
      DiagnoseUnusableSlot(where, slot);
    } else {
      Diagnose(where, "no canvas (DRO_CreateImage); nothing done");
    }
  }
  return plane;
}

Plane CurrentOnCanvas() noexcept {
  LayerRecord* rec = CurrentRecord();
  return rec ? OnCanvas(WholeLayer(*rec)) : Plane{};
}

Plane TraceOnCanvas() noexcept {
  return LayerOnCanvas(Display().traceLayer);
}

Plane HostCanvasBuffer(void* buffer) noexcept {
  if (!buffer || !HaveCanvas()) return {};
  const CanvasGeometry& geometry = Geometry();
  return Plane{static_cast<Pixel64*>(buffer), geometry.width, geometry.height, geometry.width};
}

const uint8_t* TextureMap() noexcept {
  const CanvasGeometry& geometry = Geometry();
  LayerState& layerState = Layers();
  if (!HaveCanvas() || layerState.texture.size() != CanvasIndex(0, geometry.height)) return nullptr;
  return layerState.texture.data();
}

uint32_t LoadTextureWeight(uint8_t t) noexcept {
  if (t == 0) return 0;
  if (2u * t >= 255u) return kFull;
  return ((2u * t + 1u) * kFull) / 256u;
}

uint32_t LoadMaskWeight(uint32_t w, Mask16 m) noexcept {
  const uint32_t m8 = m >> 8;
  if (m8 == 0) return 0;
  if (m8 == 255) return w;
  return (w * (m8 + 1)) / 256;
}

uint16_t BlendChannel(uint16_t old, uint8_t s8, uint32_t w) noexcept {
  const uint64_t kept = (uint64_t{old} * (kFull - w)) / 256;
  const uint64_t added = (uint64_t{s8} * 256 * w) / 256;
  return static_cast<uint16_t>((kept + added) / 256);
}

// --- Loads -----------------------------------------------------------------

void LoadBgr(const uint8_t* data, int32_t stride, int32_t width, int32_t rows) noexcept {
  const Plane target = CurrentOnCanvas();
  if (!target) return;
  const int32_t cols = std::min(target.width, width);
  const int32_t lines = std::min(target.height, rows);
  if (cols <= 0 || lines <= 0 || !HostRows(data, stride, int64_t{cols} * 3)) return;
  threads::ForEachRow(0, lines, cols, [&](int32_t y) noexcept {
    const uint8_t* s = data + int64_t{y} * stride;
    Pixel64* out = target.Row(y);
    for (int32_t x = 0; x < cols; ++x, s += 3) {
      out[x] = Pixel64{Widen(s[2]), Widen(s[1]), Widen(s[0]), 65535};
    }
  });
}

void LoadRgba32Layer(const uint8_t* data, int32_t stride, int32_t slot, int32_t x, int32_t y,
                     int32_t w, int32_t h, bool useMask, const char* where) noexcept {
  if (NullArgument(where, data, "picture")) return;
  if (!HaveCanvas() || !composite::ValidSlot(slot)) {
    if (!HaveCanvas() && where && DiagnosticsOn()) {
      Diagnose(where, "no canvas (DRO_CreateImage); nothing done");
    } else if (where) {
      DiagnoseUnusableSlot(where, slot);
    }
    return;
  }
  LayerRecord& rec = Layers().slots[slot];
  const Plane target = WholeLayer(rec);
  if (!target) {
    if (where) DiagnoseUnusableSlot(where, slot);
    return;
  }
  const ClippedRect r = ClipRect(x, y, w, h, target.width, target.height);
  if (w <= 0 || h <= 0) {
    DiagnoseEmptyRect(where, x, y, w, h, target.width, target.height);
    return;
  }
  if (!HostRows(data, stride, int64_t{w} * 4, where)) return;
  if (r.empty()) {
    DiagnoseEmptyRect(where, x, y, w, h, target.width, target.height);
    return;
  }
  // Layer pixel (col, row) takes source pixel (col - x, row - y): a
  // negative x or y skips that many source columns or rows.
  LoadInto(target, static_cast<int32_t>(r.x0), static_cast<int32_t>(r.y0),
           static_cast<int32_t>(r.x1), static_cast<int32_t>(r.y1), WeightingOn(useMask),
           rec.lockAlpha != 0, [&](int32_t col, int32_t row) {
             return data + (int64_t{row} - y) * stride + (int64_t{col} - x) * 4;
           });
}

void LoadRgba32Current(const uint8_t* data, int32_t stride, bool useMask,
                       const char* where) noexcept {
  const int32_t slot = CurrentSlot();
  if (slot < 0) {
    if (where && DiagnosticsOn()) Diagnose(where, "no current layer (DRO_SetLayer); nothing done");
    return;
  }
  const LayerRecord& rec = Layers().slots[slot];
  LoadRgba32Layer(data, stride, slot, 0, 0, rec.width, rec.height, useMask, where);
}

void LoadRgb24(const uint8_t* data, int32_t stride, bool useMask) noexcept {
  const Plane target = CurrentOnCanvas();
  if (!target || !HostRows(data, stride, int64_t{target.width} * 3)) return;
  const uint8_t* texture = useMask ? TextureMap() : nullptr;
  const Mask16* mask = useMask ? dro::mask::EnabledValues() : nullptr;
  threads::ForEachRow(0, target.height, target.width, [&](int32_t row) noexcept {
    const uint8_t* s = data + int64_t{row} * stride;
    Pixel64* out = target.Row(row);
    for (int32_t col = 0; col < target.width; ++col, s += 3) {
      Pixel64& p = out[col];
      uint32_t w = kFull;
      if (useMask && !LoadWeightAt(texture, mask, col, row, w)) continue;
      if (w >= kFull) {
        p.r = Widen(s[0]);
        p.g = Widen(s[1]);
        p.b = Widen(s[2]);
      } else if (w > 0) {
        p.r = BlendChannel(p.r, s[0], w);
        p.g = BlendChannel(p.g, s[1], w);
        p.b = BlendChannel(p.b, s[2], w);
      }
    }
  });
}

void LoadRgb24ToAlpha(const uint8_t* data, int32_t stride, bool useMask) noexcept {
  const Plane target = CurrentOnCanvas();
  if (!target || !HostRows(data, stride, int64_t{target.width} * 3)) return;
  const uint8_t* texture = useMask ? TextureMap() : nullptr;
  const Mask16* mask = useMask ? dro::mask::EnabledValues() : nullptr;
  threads::ForEachRow(0, target.height, target.width, [&](int32_t row) noexcept {
    const uint8_t* s = data + int64_t{row} * stride;
    Pixel64* out = target.Row(row);
    for (int32_t col = 0; col < target.width; ++col, s += 3) {
      Pixel64& p = out[col];
      if (p.a == 0) continue;
      if (!useMask) {
        p.a = Widen(s[0]);
        continue;
      }
      // This load weighs its own way: 2t x 65535 / 256 below the texture
      // midpoint, and the mask's full 16-bit value.
      uint32_t w = kFull;
      const size_t i = CanvasIndex(col, row);
      if (texture && 2u * texture[i] < 255u) w = (2u * texture[i] * kFull) / 256u;
      if (mask && mask[i] < kFull) w = static_cast<uint32_t>((uint64_t{w} * mask[i]) / 65536);
      if (w >= kFull) {
        p.a = Widen(s[0]);
      } else if (w > 0) {
        const uint64_t kept = (uint64_t{p.a} * (kFull - w)) / 256;
        const uint64_t added = (uint64_t{s[0]} * 256 * w) / 256;
        p.a = static_cast<uint16_t>((kept + added) / 256);
      }
    }
  });
}

// --- Narrowing reads ---------------------------------------------------------

namespace {

// n pixels narrowed to their high bytes: RGBA for 4 bytes a pixel, RGB for 3.
template <int32_t kBytes>
void NarrowPixels(const Pixel64* in, int64_t n, uint8_t* out) noexcept {
  for (int64_t x = 0; x < n; ++x, out += kBytes) {
    out[0] = Narrow(in[x].r);
    out[1] = Narrow(in[x].g);
    out[2] = Narrow(in[x].b);
    if constexpr (kBytes == 4) out[3] = Narrow(in[x].a);
  }
}

template <int32_t kBytes>
void NarrowPlane(const Plane& src, uint8_t* dst, int32_t stride, const char* where) noexcept {
  if (!src || !HostRows(dst, stride, int64_t{src.width} * kBytes, where)) return;
  threads::ForEachRow(0, src.height, src.width, [&](int32_t y) noexcept {
    NarrowPixels<kBytes>(src.Row(y), src.width, dst + int64_t{y} * stride);
  });
}

}  // namespace

void GetRgba32(const Plane& src, uint8_t* dst, int32_t stride, const char* where) noexcept {
  NarrowPlane<4>(src, dst, stride, where);
}

void GetRgb24(const Plane& src, uint8_t* dst, int32_t stride, const char* where) noexcept {
  NarrowPlane<3>(src, dst, stride, where);
}

void GetRgb24FromAlpha(const Plane& src, uint8_t* dst, int32_t stride) noexcept {
  if (!src || !HostRows(dst, stride, int64_t{src.width} * 3)) return;
  threads::ForEachRow(0, src.height, src.width, [&](int32_t y) noexcept {
    const Pixel64* in = src.Row(y);
    uint8_t* out = dst + int64_t{y} * stride;
    for (int32_t x = 0; x < src.width; ++x, out += 3) {
      out[0] = out[1] = out[2] = Narrow(in[x].a);
    }
  });
}

void NarrowBlock(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, int32_t w,
                 int32_t h, int32_t bytesPerPixel) noexcept {
  if (w <= 0 || h <= 0) return;
  if (!HostRows(dst, dstStride, int64_t{w} * bytesPerPixel) ||
      !HostRows(src, srcStride, int64_t{w} * 8)) {
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* in = src + int64_t{y} * srcStride;
    uint8_t* out = dst + int64_t{y} * dstStride;
    for (int32_t x = 0; x < w; ++x, in += 8, out += bytesPerPixel) {
      const Pixel64 p = ReadHostPixel(in);
      out[0] = Narrow(p.r);
      out[1] = Narrow(p.g);
      out[2] = Narrow(p.b);
      if (bytesPerPixel == 4) out[3] = Narrow(p.a);
    }
  }
}

void NarrowRectTight(const uint8_t* src, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t stridePixels, uint8_t* dst, int32_t bytesPerPixel) noexcept {
  // The block must lie inside the source rows the stride describes.
  if (!src || !dst || x < 0 || y < 0 || w <= 0 || h <= 0) return;
  if (int64_t{x} + w > stridePixels) return;
  // Row strides are passed on in bytes as 32-bit values; a wider one is refused.
  if (stridePixels > INT32_MAX / 8) return;
  const uint8_t* first = src + (int64_t{y} * stridePixels + x) * 8;
  NarrowBlock(dst, w * bytesPerPixel, first, stridePixels * 8, w, h, bytesPerPixel);
}

void ExpandRgba32Block(const uint8_t* src, int32_t w, int32_t h, Pixel64* dst) noexcept {
  if (!src || !dst || w <= 0 || h <= 0) return;
  const int64_t count = int64_t{w} * h;
  for (int64_t i = 0; i < count; ++i, src += 4) {
    dst[i] = Pixel64{Widen(src[0]), Widen(src[1]), Widen(src[2]), Widen(src[3])};
  }
}

void ReduceRgba32Block(const Pixel64* src, int32_t w, int32_t h, uint8_t* dst) noexcept {
  if (!src || !dst || w <= 0 || h <= 0) return;
  NarrowPixels<4>(src, int64_t{w} * h, dst);
}

// --- Host-buffer reshaping -----------------------------------------------------

namespace {
int64_t TightCount(const void* a, const void* b, int32_t w, int32_t h) noexcept {
  return (a && b && w > 0 && h > 0) ? int64_t{w} * h : 0;
}
}  // namespace

void RgbToRgba(uint8_t* rgba, int32_t w, int32_t h, const uint8_t* rgb) noexcept {
  const int64_t n = TightCount(rgba, rgb, w, h);
  for (int64_t i = 0; i < n; ++i, rgba += 4, rgb += 3) {
    rgba[0] = rgb[0];
    rgba[1] = rgb[1];
    rgba[2] = rgb[2];
  }
}

void RgbaToRgb(uint8_t* rgb, int32_t w, int32_t h, const uint8_t* rgba) noexcept {
  const int64_t n = TightCount(rgb, rgba, w, h);
  for (int64_t i = 0; i < n; ++i, rgba += 4, rgb += 3) {
    rgb[0] = rgba[0];
    rgb[1] = rgba[1];
    rgb[2] = rgba[2];
  }
}

void RgbaAlphaToRgb(uint8_t* rgb, int32_t w, int32_t h, const uint8_t* rgba) noexcept {
  const int64_t n = TightCount(rgb, rgba, w, h);
  for (int64_t i = 0; i < n; ++i, rgba += 4, rgb += 3) rgb[0] = rgb[1] = rgb[2] = rgba[3];
}

void RgbToRgbaAlpha(uint8_t* rgba, int32_t w, int32_t h, const uint8_t* rgb) noexcept {
  const int64_t n = TightCount(rgba, rgb, w, h);
  for (int64_t i = 0; i < n; ++i, rgba += 4, rgb += 3) {
    rgba[3] = static_cast<uint8_t>((rgb[0] + rgb[1] + rgb[2]) / 3);
  }
}

// --- Fills -----------------------------------------------------------------------

namespace {
void FillPlane(const Plane& plane, const Pixel64& value) noexcept {
  threads::ForEachRow(0, plane.height, plane.width,
                      [&](int32_t y) noexcept { std::fill_n(plane.Row(y), plane.width, value); });
}
}  // namespace

void Clear(int32_t r, int32_t g, int32_t b, int32_t a) noexcept {
  FillPlane(CurrentOnCanvas(),
            Pixel64{WidenLowByte(r), WidenLowByte(g), WidenLowByte(b), WidenLowByte(a)});
}

void ClearRgba64(uint8_t* dst, int32_t strideBytes, int32_t r16, int32_t g16, int32_t b16,
                 int32_t a16) noexcept {
  if (!HaveCanvas()) return;
  const CanvasGeometry& geometry = Geometry();
  if (!HostRows(dst, strideBytes, int64_t{geometry.width} * 8)) return;
  const Pixel64 v{static_cast<uint16_t>(r16), static_cast<uint16_t>(g16),
                  static_cast<uint16_t>(b16), static_cast<uint16_t>(a16)};
  threads::ForEachRow(0, geometry.height, geometry.width, [&](int32_t y) noexcept {
    uint8_t* out = dst + int64_t{y} * strideBytes;
    for (int32_t x = 0; x < geometry.width; ++x, out += 8) std::memcpy(out, &v, sizeof v);
  });
}

void ClearRgba32(uint8_t* dst, int32_t stride, int32_t r, int32_t g, int32_t b,
                 int32_t a) noexcept {
  if (!HaveCanvas()) return;
  const CanvasGeometry& geometry = Geometry();
  if (!HostRows(dst, stride, int64_t{geometry.width} * 4)) return;
  threads::ForEachRow(0, geometry.height, geometry.width, [&](int32_t y) noexcept {
    ClearRgba32Tight(dst + int64_t{y} * stride, geometry.width, 1, r, g, b, a);
  });
}

void ClearRgba32Tight(uint8_t* dst, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                      int32_t a) noexcept {
  const int64_t n = TightCount(dst, dst, w, h);
  const uint8_t v[4] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b),
                        static_cast<uint8_t>(a)};
  for (int64_t i = 0; i < n; ++i, dst += 4) std::memcpy(dst, v, 4);
}

void ClearMasked(const Plane& target, int32_t r, int32_t g, int32_t b, int32_t a) noexcept {
  if (!target) return;
  const Pixel64 color{WidenLowByte(r), WidenLowByte(g), WidenLowByte(b), WidenLowByte(a)};
  const Mask16* mask = dro::mask::EnabledValues();
  if (!mask) {
    if (!mask::State().enabled) FillPlane(target, color);
    return;
  }
  const uint8_t c8[3] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
  threads::ForEachRow(0, target.height, target.width, [&](int32_t row) noexcept {
    Pixel64* out = target.Row(row);
    const Mask16* m = mask + CanvasIndex(0, row);
    for (int32_t col = 0; col < target.width; ++col) {
      const uint32_t v = m[col];
      if (v == kFull) {
        out[col] = color;
      } else if (v != 0) {
        // Partly selected pixels take the colour by the mask value and
        // become opaque, whatever alpha was asked for.
        Pixel64& p = out[col];
        p.r = BlendChannel(p.r, c8[0], v);
        p.g = BlendChannel(p.g, c8[1], v);
        p.b = BlendChannel(p.b, c8[2], v);
        p.a = 65535;
      }
    }
  });
}

void ClearMaskedAlpha(int32_t r, int32_t g, int32_t b, int32_t a) noexcept {
  if (!mask::State().enabled) {
    Clear(r, g, b, a);
    return;
  }
  // The weighted load of a buffer filled with the colour, without making
  // the buffer: every source pixel is the same four bytes.
  LayerRecord* rec = CurrentRecord();
  if (!rec || !HaveCanvas()) return;
  const Plane target = WholeLayer(*rec);
  if (!target) return;
  const uint8_t color[4] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                            static_cast<uint8_t>(b), static_cast<uint8_t>(a)};
  LoadInto(target, 0, 0, std::min(target.width, Geometry().width),
           std::min(target.height, Geometry().height), true, rec->lockAlpha != 0,
           [&](int32_t, int32_t) { return color; });
}

// --- Queries ---------------------------------------------------------------------

int32_t GetChannel64(int32_t x, int32_t y, Channel channel) noexcept {
  const Plane p = CurrentOnCanvas();
  if (!p || x < 0 || y < 0 || x >= p.width || y >= p.height) return 0;
  const Pixel64& px = p.Row(y)[x];
  switch (channel) {
    case Channel::kRed:
      return px.r;
    case Channel::kGreen:
      return px.g;
    case Channel::kBlue:
      return px.b;
    case Channel::kAlpha:
      return px.a;
  }
  return 0;
}

int32_t GetMask64(int32_t x, int32_t y) noexcept {
  const CanvasGeometry& geometry = Geometry();
  const Mask16* mask = dro::mask::EnabledValues();
  if (!mask || !CurrentRecord()) return 0;
  if (x < 0 || y < 0 || x >= geometry.width || y >= geometry.height) return 0;
  return 65535 - mask[CanvasIndex(x, y)];
}

namespace {
const Pixel64* ClampedPixel(const Plane& plane, int32_t x, int32_t y) noexcept {
  if (!plane) return nullptr;
  x = std::clamp(x, 0, plane.width - 1);
  y = std::clamp(y, 0, plane.height - 1);
  return plane.Row(y) + x;
}
}  // namespace

int32_t RgbaAt(const Plane& plane, int32_t x, int32_t y) noexcept {
  const Pixel64* p = ClampedPixel(plane, x, y);
  if (!p) return 0;
  const uint32_t v = uint32_t{Narrow(p->r)} << 24 | uint32_t{Narrow(p->g)} << 16 |
                     uint32_t{Narrow(p->b)} << 8 | Narrow(p->a);
  return static_cast<int32_t>(v);
}

int32_t ColorAt(const Plane& plane, int32_t x, int32_t y) noexcept {
  const Pixel64* p = ClampedPixel(plane, x, y);
  if (!p) return 0;
  if (Narrow(p->a) == 0) return -1;
  return Narrow(p->r) << 16 | Narrow(p->g) << 8 | Narrow(p->b);
}

int32_t ColorAtMerged(int32_t x, int32_t y) noexcept {
  return Guard(Operation::kGetColorAtMerged, 0, [&]() -> int32_t {
    if (!HaveCanvas()) return 0;
    const CanvasGeometry& geometry = Geometry();
    // The one pixel lives on the stack: a query needs no allocation.
    Pixel64 merged{0, 0, 0, 0};
    composite::MergeRect(&merged, std::clamp(x, 0, geometry.width - 1),
                         std::clamp(y, 0, geometry.height - 1), 1, 1);
    return ColorAt(Plane{&merged, 1, 1, 1}, 0, 0);
  });
}

bool FindDataExtents(int32_t slot, int32_t& minX, int32_t& minY, int32_t& maxX, int32_t& maxY,
                     const char* where) noexcept {
  const Plane p = LayerOnCanvas(slot, where);
  if (!p) return false;
  const CanvasGeometry& geometry = Geometry();
  minX = geometry.width;
  minY = geometry.height;
  maxX = 0;
  maxY = 0;
  for (int32_t y = 0; y < p.height; ++y) {
    const Pixel64* row = p.Row(y);
    for (int32_t x = 0; x < p.width; ++x) {
      if (row[x].a == 0) continue;
      minX = std::min(minX, x);
      minY = std::min(minY, y);
      maxX = std::max(maxX, x);
      maxY = std::max(maxY, y);
    }
  }
  return true;
}

}  // namespace dro::composite
