#include "composite/layer_transfers.h"

#include <algorithm>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/rect_clip.h"
#include "composite/layers.h"

namespace dro::composite {
namespace {

size_t RowBytes(const LayerRecord& layer) {
  return static_cast<size_t>(layer.width) * sizeof(Pixel64);
}

// True (and reported) when host rows `stride` bytes apart are shorter than
// `rowBytes`.
bool ShortStride(const char* where, int64_t stride, int64_t rowBytes) noexcept {
  if (stride >= rowBytes) return false;
  if (DiagnosticsOn())
    Diagnose(where, "row stride %lld bytes below the %lld a row needs; nothing done",
             static_cast<long long>(stride), static_cast<long long>(rowBytes));
  return true;
}

int32_t LayerRectOut(void* dst, int32_t dstStrideBytes, int32_t layer, int32_t x, int32_t y,
                     int32_t w, int32_t h, const char* where) noexcept {
  const LayerRecord* rec = composite::CanvasLayer(layer, where);
  if (!rec) return 0;
  return CopyLayerRectOut(*rec, static_cast<uint8_t*>(dst), dstStrideBytes, x, y, w, h, where);
}

}  // namespace

int32_t SetLayerRgba64(const void* src, int32_t srcStrideBytes, int32_t layer) noexcept {
  constexpr const char* kWhere = "DRO_SetRGBA64Layer";
  LayerRecord* rec = composite::CanvasLayer(layer, kWhere);
  // Host rows are at least a layer row apart, as every transfer takes them.
  if (!rec || NullArgument(kWhere, src, "source buffer") ||
      ShortStride(kWhere, srcStrideBytes, static_cast<int64_t>(RowBytes(*rec))))
    return 0;
  const auto* from = static_cast<const uint8_t*>(src);
  for (int32_t row = 0; row < rec->height; ++row) {
    std::memcpy(rec->pixels.data() + int64_t{row} * rec->width,
                from + int64_t{row} * srcStrideBytes, RowBytes(*rec));
  }
  return 1;
}

int32_t GetLayerRgba64(void* dst, int32_t dstStrideBytes, int32_t layer) noexcept {
  const CanvasGeometry& c = Geometry();
  return LayerRectOut(dst, dstStrideBytes, layer, 0, 0, c.width, c.height, "DRO_GetRGBA64Layer");
}

int32_t GetLayerRgba64Rect(void* dst, int32_t dstStrideBytes, int32_t layer, int32_t x, int32_t y,
                           int32_t w, int32_t h) noexcept {
  return LayerRectOut(dst, dstStrideBytes, layer, x, y, w, h, "DRO_GetRGBA64LayerRect");
}

int32_t CopyLayerRectOut(const LayerRecord& layer, uint8_t* dst, int64_t dstStrideBytes, int32_t x,
                         int32_t y, int32_t w, int32_t h, const char* where) noexcept {
  if (NullArgument(where, dst, "destination buffer") || !layer.pixels) return 0;
  const ClippedRect r = ClipRect(x, y, w, h, layer.width, layer.height);
  if (w <= 0 || h <= 0 || r.empty()) {
    DiagnoseEmptyRect(where, x, y, w, h, layer.width, layer.height);
    return 0;
  }
  if (dstStrideBytes < int64_t{w} * int64_t{sizeof(Pixel64)}) {
    if (where) ShortStride(where, dstStrideBytes, int64_t{w} * int64_t{sizeof(Pixel64)});
    return 0;
  }
  const size_t bytes = static_cast<size_t>(r.width()) * sizeof(Pixel64);
  for (int64_t row = r.y0; row < r.y1; ++row) {
    uint8_t* out = dst + (row - y) * dstStrideBytes + (r.x0 - x) * int64_t{sizeof(Pixel64)};
    std::memcpy(out, layer.pixels.data() + row * layer.width + r.x0, bytes);
  }
  return 1;
}

int32_t SetLayerData(const void* src, int32_t layer) noexcept {
  LayerRecord* rec = composite::CanvasLayer(layer, "DRO_SetLayerData");
  if (!rec || NullArgument("DRO_SetLayerData", src, "source buffer")) return 0;
  std::memcpy(rec->pixels.data(), src, rec->pixels.bytes());
  return 1;
}

int32_t GetLayerData(void* dst, int32_t layer) noexcept {
  const LayerRecord* rec = composite::CanvasLayer(layer, "DRO_GetLayerData");
  if (!rec || NullArgument("DRO_GetLayerData", dst, "destination buffer")) return 0;
  std::memcpy(dst, rec->pixels.data(), rec->pixels.bytes());
  return 1;
}

int32_t CopyLayerData(int32_t fromLayer, int32_t toLayer) noexcept {
  const LayerRecord* from = composite::CanvasLayer(fromLayer, "DRO_CopyLayerData");
  LayerRecord* to = from ? composite::CanvasLayer(toLayer, "DRO_CopyLayerData") : nullptr;
  if (!from || !to) return 0;
  if (from != to) std::memcpy(to->pixels.data(), from->pixels.data(), to->pixels.bytes());
  return 1;
}

}  // namespace dro::composite
