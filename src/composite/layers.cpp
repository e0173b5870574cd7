// Layer operations: create, select, options, swap, merges, the paint layer
// and the whole-layer alpha operations.
#include "composite/layers.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/pixel.h"
#include "base/rect_clip.h"
#include "composite/blend_modes.h"
#include "composite/layer_state.h"
#include "composite/layer_transfers.h"
#include "composite/pixel_transfers.h"
#include "composite/texture.h"
#include "composite/texture_rule.h"
#include "platform/image_library.h"

namespace dro::composite {
namespace {

uint64_t g_nextSerial = 1;
MemoryReclaimer g_reclaimer = nullptr;

bool IsCurrent(int32_t slot) noexcept {
  const LayerState& l = Layers();
  return l.current && l.currentIndex == slot;
}

// A visible "Texturize3" layer with pixels: the texture map's source
// whenever it is not the current layer.
bool FeedsTexture(const LayerRecord& rec) noexcept {
  return rec.pixels && rec.visible && rec.mode == kModeTexturize3;
}

int32_t CanvasStride() noexcept {
  return Geometry().width * 4;
}

// The layer's pixels, allocated with the reclaimer's help: when memory is
// short it gives back what it can (the undo store its oldest snapshots), as
// long as that frees anything at all.
Buffer<Pixel64> AllocateCount(size_t count) {
  const int64_t kilobytes = static_cast<int64_t>(count) * sizeof(Pixel64) / 1024;
  const int32_t request = static_cast<int32_t>(std::clamp<int64_t>(kilobytes, 1, INT32_MAX));
  for (;;) {
    try {
      return Buffer<Pixel64>::Make(count);
    } catch (const std::bad_alloc&) {
    }
    if (!g_reclaimer || !g_reclaimer(request)) return {};
  }
}

void ResetDirty(LayerRecord& rec) noexcept {
  const CanvasGeometry& c = Geometry();
  rec.left = c.width;
  rec.top = c.height;
  rec.right = 0;
  rec.bottom = 0;
}

// The dirty rectangle (right and bottom exclusive) within a width x height
// area.
ClippedRect DirtyOn(const LayerRecord& rec, int32_t width, int32_t height) noexcept {
  return ClipRect(rec.left, rec.top, int64_t{rec.right} - rec.left, int64_t{rec.bottom} - rec.top,
                  width, height);
}

uint8_t ByteValue(int32_t v) noexcept {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

size_t TightPixels(int32_t w, int32_t h) noexcept {
  return w > 0 && h > 0 ? static_cast<size_t>(w) * static_cast<size_t>(h) : 0;
}

size_t CanvasPixels() noexcept {
  const CanvasGeometry& c = Geometry();
  return TightPixels(c.width, c.height);
}

}  // namespace

// --- the table -------------------------------------------------------------

void SetMemoryReclaimer(MemoryReclaimer reclaimer) noexcept {
  g_reclaimer = reclaimer;
}

int32_t CreateLayer(int32_t slot, int32_t width, int32_t height) noexcept {
  return Guard(Operation::kCreateLayer, 0, [&]() -> int32_t {
    if (!ValidSlot(slot) || width < 0 || height < 0) {
      if (!ValidSlot(slot)) Diagnose("DRO_CreateLayer", "slot %d outside 0..63", slot);
      if (width < 0 || height < 0)
        Diagnose("DRO_CreateLayer", "size %d x %d is negative", width, height);
      return 0;
    }
    // Channel offsets (4 per pixel) must stay within 32 bits: the row
    // stride as much as the whole layer, even for a layer without pixels.
    const size_t count = CheckedGridCount(width, height, 4);
    LayerRecord& rec = Layers().slots[slot];
    if (rec.pixels && (rec.width != width || rec.height != height || rec.pixels.size() != count)) {
      rec.pixels.Reset();
      rec.serial = 0;
    }
    rec.width = width;
    rec.height = height;
    rec.stride = 4 * width;
    if (!rec.pixels) {
      rec.pixels = AllocateCount(count);
      if (!rec.pixels) {
        RecomputeLayerTop();
        RecordFailure(Operation::kCreateLayer, "out of memory for the layer's pixels");
        return 0;
      }
      rec.serial = g_nextSerial++;
    }
    // The background starts opaque white, every other layer transparent.
    rec.pixels.FillBytes(slot == 1 ? 0xFF : 0x00);
    RecomputeLayerTop();
    return 1;
  });
}

Buffer<Pixel64> AllocateLayerPixels(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) throw std::length_error("layer size");
  Buffer<Pixel64> pixels = AllocateCount(CheckedCount(width, height, INT32_MAX / 4));
  if (!pixels) throw std::bad_alloc();
  return pixels;
}

void InstallLayerPixels(int32_t slot, Buffer<Pixel64>&& pixels, int32_t width,
                        int32_t height) noexcept {
  LayerRecord* rec = LayerWithPixels(slot);
  if (!rec || !pixels || width <= 0 || height <= 0 ||
      pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return;
  // The move releases the old pixels only now that the new ones exist.
  rec->pixels = std::move(pixels);
  rec->width = width;
  rec->height = height;
  rec->stride = 4 * width;
  rec->serial = g_nextSerial++;
  ResetDirty(*rec);
}

bool SetLayer(int32_t slot) noexcept {
  LayerRecord* rec = LayerWithPixels(slot);
  if (!rec) {
    DiagnoseUnusableSlot("DRO_SetLayer", slot);
    return false;
  }
  LayerState& l = Layers();
  if (rec->mode == kModeTexturize3) DiscardTexture();
  if (l.current && l.currentIndex != slot && FeedsTexture(*l.current)) {
    RebuildTextureFrom(l.currentIndex);
  }
  l.currentIndex = slot;
  l.current = rec;
  return true;
}

void SetLayerOptions(int32_t slot, uint8_t visible, uint8_t lockAlpha, int32_t opacityPercent,
                     const char* modeName) noexcept {
  LayerRecord* rec = LayerWithPixels(slot);
  if (!rec) {
    DiagnoseUnusableSlot("DRO_SetLayerOptions", slot);
    return;
  }
  if ((opacityPercent < 0 || opacityPercent > 100) && DiagnosticsOn())
    Diagnose("DRO_SetLayerOptions", "opacity %d%% outside 0..100, %d%% used", opacityPercent,
             opacityPercent < 0 ? 0 : 100);
  if (rec->mode == kModeTexturize3) DiscardTexture();
  rec->visible = visible;
  rec->lockAlpha = lockAlpha;
  rec->opacity = OpacityFromPercent(opacityPercent);
  SetLayerMode(*rec, modeName, "DRO_SetLayerOptions");
  RecomputeLayerTop();
  if (!IsCurrent(slot) && FeedsTexture(*rec)) RebuildTextureFrom(slot);
}

bool SwapLayers(int32_t a, int32_t b) noexcept {
  if (!ValidSlot(a) || !ValidSlot(b) || a == b) {
    if (!ValidSlot(a) || !ValidSlot(b)) {
      DiagnoseUnusableSlot("DRO_SwapLayers", ValidSlot(a) ? b : a);
    } else if (DiagnosticsOn()) {
      Diagnose("DRO_SwapLayers", "slots %d and %d are the same; nothing swapped", a, b);
    }
    return false;
  }
  LayerState& l = Layers();
  std::swap(l.slots[a], l.slots[b]);
  RecomputeLayerTop();
  return true;
}

// --- merges ----------------------------------------------------------------

void MergeLayer(int32_t src, int32_t dst) noexcept {
  const LayerRecord* s = CanvasLayer(src);
  LayerRecord* d = CanvasLayer(dst);
  if (!s || !d) {
    DiagnoseUnusableSlot("DRO_MergeLayer", s ? dst : src);
    return;
  }
  const CanvasGeometry& c = Geometry();
  const Pixel64* mask = LayerMaskFor(src);
  BlendLayerRect(s->pixels.data(), 0, 0, c.width, c.height, CanvasStride(), mask, d->pixels.data(),
                 0, 0, CanvasStride(), s->mode, mask ? kModeLayerMask : 0, s->opacity, false);
}

void MergeLayerIntoRect(int32_t slot, Pixel64* dst, int32_t x, int32_t y, int32_t w, int32_t h,
                        const char* where) noexcept {
  const LayerRecord* s = CanvasLayer(slot, where);
  if (!s || NullArgument(where, dst, "destination buffer")) return;
  const CanvasGeometry& c = Geometry();
  if (w > INT32_MAX / 4) {
    if (where && DiagnosticsOn())
      Diagnose(where, "width %d above %d; nothing done", w, INT32_MAX / 4);
    return;
  }
  const ClippedRect r = ClipRect(x, y, w, h, c.width, c.height);
  if (w <= 0 || h <= 0 || r.empty()) {
    DiagnoseEmptyRect(where, x, y, w, h, c.width, c.height);
    return;
  }
  const Pixel64* mask = LayerMaskFor(slot);
  BlendLayerRect(s->pixels.data(), static_cast<int32_t>(r.x0), static_cast<int32_t>(r.y0),
                 static_cast<int32_t>(r.width()), static_cast<int32_t>(r.height()), CanvasStride(),
                 mask, dst, static_cast<int32_t>(r.x0 - x), static_cast<int32_t>(r.y0 - y), w * 4,
                 s->mode, mask ? kModeLayerMask : 0, s->opacity, false);
}

void MergeLayerInto(int32_t slot, Pixel64* dst) noexcept {
  const CanvasGeometry& c = Geometry();
  MergeLayerIntoRect(slot, dst, 0, 0, c.width, c.height, "DRO_MergeLayerInto");
}

void MergeRect(Pixel64* dst, int32_t x, int32_t y, int32_t w, int32_t h,
               const char* where) noexcept {
  if (NullArgument(where, dst, "destination buffer")) return;
  if (w <= 0 || h <= 0 || w > INT32_MAX / 4) {
    if (w > INT32_MAX / 4 && where && DiagnosticsOn()) {
      Diagnose(where, "width %d above %d; nothing done", w, INT32_MAX / 4);
    } else if (w <= 0 || h <= 0) {
      DiagnoseEmptyRect(where, x, y, w, h, Geometry().width, Geometry().height);
    }
    return;
  }
  std::memset(static_cast<void*>(dst), 0, TightPixels(w, h) * sizeof(Pixel64));
  LayerState& l = Layers();
  if (l.slots[1].visible == 1 && CanvasLayer(1)) {
    composite::CopyLayerRectOut(l.slots[1], reinterpret_cast<uint8_t*>(dst),
                                int64_t{w} * int64_t{sizeof(Pixel64)}, x, y, w, h);
  }
  for (int32_t n = 2; n < kLayerSlots; ++n) {
    if (l.slots[n].visible && CanvasLayer(n)) MergeLayerIntoRect(n, dst, x, y, w, h);
  }
}

void Merge(Pixel64* dst) noexcept {
  const CanvasGeometry& c = Geometry();
  MergeRect(dst, 0, 0, c.width, c.height, "DRO_Merge");
}

// --- the paint layer -------------------------------------------------------

void CreatePaintLayer(int32_t opacityPercent, const char* modeName) noexcept {
  Guard(Operation::kCreatePaintLayer, [&] {
    LayerRecord& p = Layers().paint;
    const CanvasGeometry& c = Geometry();
    if (!p.pixels || !p.Matches(c.width, c.height) || p.pixels.size() != CanvasPixels()) {
      p.pixels.Reset();
      p.pixels = Buffer<Pixel64>::Make(CheckedCount(c.width, c.height, INT32_MAX / 4));
      p.width = c.width;
      p.height = c.height;
      p.stride = 4 * c.width;
      p.serial = g_nextSerial++;
      ClearPaintLayer();
    }
    p.visible = 1;
    p.lockAlpha = 0;
    p.opacity = OpacityFromPercent(opacityPercent);
    SetLayerMode(p, modeName, "DRO_CreatePaintLayer");
  });
}

int32_t DeletePaintLayer() noexcept {
  Buffer<Pixel64>& pixels = Layers().paint.pixels;
  if (!pixels) return 0;
  pixels.Reset();
  return 1;
}

void ClearPaintLayer() noexcept {
  LayerRecord& p = Layers().paint;
  if (!p.pixels) return;
  p.pixels.FillBytes(0);
  ResetDirty(p);
}

void WhitenPaintLayerOutsideDirty() noexcept {
  LayerRecord& p = Layers().paint;
  if (!p.pixels) return;
  p.pixels.FillBytes(0xFF);
  if (p.pixels.size() == TightPixels(p.width, p.height)) {
    const ClippedRect r = DirtyOn(p, p.width, p.height);
    for (int64_t row = r.y0; !r.empty() && row < r.y1; ++row) {
      std::memset(static_cast<void*>(p.pixels.data() + row * p.width + r.x0), 0,
                  static_cast<size_t>(r.width()) * sizeof(Pixel64));
    }
  }
  ResetDirty(p);
}

void MergePaintLayer(int32_t slot) noexcept {
  LayerRecord& p = Layers().paint;
  LayerRecord* d = CanvasLayer(slot);
  const CanvasGeometry& c = Geometry();
  if (!d || !p.pixels || !p.Matches(c.width, c.height) || p.pixels.size() != CanvasPixels()) {
    if (!d) DiagnoseUnusableSlot("DRO_MergePaintLayer", slot);
    if (!p.pixels) Diagnose("DRO_MergePaintLayer", "no paint layer (DRO_CreatePaintLayer)");
    return;
  }
  const ClippedRect r = DirtyOn(p, c.width, c.height);
  if (!r.empty()) {
    const auto x = static_cast<int32_t>(r.x0);
    const auto y = static_cast<int32_t>(r.y0);
    BlendLayerRect(p.pixels.data(), x, y, static_cast<int32_t>(r.width()),
                   static_cast<int32_t>(r.height()), CanvasStride(), nullptr, d->pixels.data(), x,
                   y, CanvasStride(), p.mode, 0, p.opacity, false);
  }
  ClearPaintLayer();
}

void BlurPaintLayerAlpha() noexcept {
  Guard(Operation::kBlurPaintLayerAlpha, [] {
    LayerRecord& p = Layers().paint;
    const size_t n = TightPixels(p.width, p.height);
    if (!p.pixels || n == 0 || p.pixels.size() != n) return;
    Buffer<uint8_t> plain = Buffer<uint8_t>::Make(n);
    Buffer<uint8_t> blurred = Buffer<uint8_t>::Make(n);
    for (size_t i = 0; i < n; ++i) plain[i] = Narrow(p.pixels[i].a);
    if (!platform::image::BlurImage(plain.data(), p.width, p.height, p.width, blurred.data(),
                                    p.width, 100)) {
      return;
    }
    // Nearly opaque paint stays solid; everything else takes the softened
    // edge.
    for (size_t i = 0; i < n; ++i) {
      p.pixels[i].a = plain[i] >= 240 ? 65535 : Widen(blurred[i]);
    }
  });
}

// --- alpha operations --------------------------------------------------------

void SetLayerAlpha(int32_t slot, int32_t alpha16) noexcept {
  LayerRecord* rec = LayerWithPixels(slot, "DRO_SetLayerAlpha");
  if (!rec) return;
  const auto alpha = static_cast<uint16_t>(std::clamp(alpha16, 0, 65535));
  for (Pixel64& p : rec->pixels) p.a = alpha;
}

void NormalizeLayerAlpha(int32_t slot) noexcept {
  LayerRecord* rec = LayerWithPixels(slot, "DRO_NormalizeLayerAlpha");
  if (!rec) return;
  const uint32_t opacity = rec->opacity;
  for (Pixel64& p : rec->pixels) p.a = static_cast<uint16_t>(opacity * p.a / 256);
  rec->opacity = 256;
}

void InvertAlpha(int32_t slot) noexcept {
  LayerRecord* rec = LayerWithPixels(slot, "DRO_InvertAlpha");
  if (!rec) return;
  for (Pixel64& p : rec->pixels) p.a = static_cast<uint16_t>(65535 - p.a);
}

void InvertAlphaRgba32(uint8_t* rgba, const char* where) noexcept {
  if (NullArgument(where, rgba, "picture")) return;
  const size_t n = CanvasPixels();
  for (size_t i = 0; i < n; ++i) rgba[i * 4 + 3] = static_cast<uint8_t>(255 - rgba[i * 4 + 3]);
}

void SetColorAlpha(int32_t r, int32_t g, int32_t b) noexcept {
  LayerRecord* rec = Layers().current ? LayerWithPixels(Layers().currentIndex) : nullptr;
  if (!rec) {
    if (DiagnosticsOn())
      Diagnose("DRO_SetColorAlpha", "no current layer (DRO_SetLayer); nothing done");
    return;
  }
  // x 257 maps 255 to 65535 here, unlike the x 256 of loads.
  const Pixel64 clear{static_cast<uint16_t>(ByteValue(r) * 257),
                      static_cast<uint16_t>(ByteValue(g) * 257),
                      static_cast<uint16_t>(ByteValue(b) * 257), 0};
  for (Pixel64& p : rec->pixels) {
    if (p.a < 256) p = clear;
  }
}

void SetColorAlphaRgba32(uint8_t* rgba, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                         const char* where) noexcept {
  if (NullArgument(where, rgba, "picture")) return;
  const size_t n = TightPixels(w, h);
  for (size_t i = 0; i < n; ++i) {
    uint8_t* p = rgba + i * 4;
    if (p[3] != 0) continue;
    p[0] = ByteValue(r);
    p[1] = ByteValue(g);
    p[2] = ByteValue(b);
  }
}

void SetColorRgba32(uint8_t* rgba, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                    const char* where) noexcept {
  if (NullArgument(where, rgba, "picture")) return;
  const size_t n = TightPixels(w, h);
  for (size_t i = 0; i < n; ++i) {
    uint8_t* p = rgba + i * 4;
    p[0] = ByteValue(r);
    p[1] = ByteValue(g);
    p[2] = ByteValue(b);
  }
}

void SetAlphaFromRgba32Color(uint8_t* rgba, int32_t r, int32_t g, int32_t b,
                             const char* where) noexcept {
  if (NullArgument(where, rgba, "picture")) return;
  const size_t n = CanvasPixels();
  for (size_t i = 0; i < n; ++i) {
    uint8_t* p = rgba + i * 4;
    if (p[0] == r && p[1] == g && p[2] == b) p[3] = 0;
  }
}

void SetRgba32Alpha(uint8_t* rgba, int32_t w, int32_t h, uint8_t alpha) noexcept {
  if (!rgba) return;
  const size_t n = TightPixels(w, h);
  for (size_t i = 0; i < n; ++i) rgba[i * 4 + 3] = alpha;
}

void CreateBlobFromImage(int32_t slot, int32_t kind) noexcept {
  LayerRecord* rec = LayerWithPixels(slot, "DRO_CreateBlobFromImage");
  if (!rec) return;
  for (Pixel64& p : rec->pixels) {
    const int32_t grey = (p.r + p.g + p.b) / 3;
    uint16_t* channels[3] = {&p.r, &p.g, &p.b};
    for (uint16_t* ch : channels) {
      const double x = *ch;
      if (kind != 1) {
        *ch = 32767;
      } else if (grey > 32766) {
        // Bright pixels are pulled down towards the middle ...
        *ch = static_cast<uint16_t>(x - x * (grey - 32767) / 65534.0);
      } else {
        // ... and dark pixels up.
        *ch = static_cast<uint16_t>(x + (65535.0 - x) * (32767 - grey) / 65534.0);
      }
    }
    // Luminance becomes a shade between 10239 and 65485 for the alpha family.
    if (p.a > 8191) p.a = static_cast<uint16_t>(grey * 0.843 + 10239);
  }
}

void ReplaceLayerWithRgba32(uint8_t* data, int32_t slot, int32_t w, int32_t h,
                            bool useMask) noexcept {
  Guard(Operation::kLoadRgba32Layer, [&] {
    constexpr const char* kWhere = "DRO_LoadRGBA32Layer_BAD";
    LayerRecord* rec = CanvasLayer(slot, kWhere);
    if (!rec || NullArgument(kWhere, data, "picture")) return;
    if (w <= 0 || h <= 0 || w > INT32_MAX / 4) {
      if (DiagnosticsOn())
        Diagnose(kWhere, "size %d x %d outside 1..%d x 1..; nothing done", w, h, INT32_MAX / 4);
      return;
    }
    if (useMask) AdjustRgba32ByMaskAndTexture(data, 0, 0, w, h);
    // The slot being loaded is cleared (through the mask), not whichever
    // layer happens to be current.
    ClearMasked(LayerOnCanvas(slot), 0, 0, 0, 0);
    const CanvasGeometry& c = Geometry();
    BlendRgba32IntoLayer(data, w * 4, std::min(w, c.width), std::min(h, c.height),
                         rec->pixels.data(), CanvasStride(), kModeNormal, 0, 255,
                         rec->lockAlpha != 0);
  });
}

}  // namespace dro::composite
