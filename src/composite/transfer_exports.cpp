// Exports of the pixel transfers, fills and pixel queries.
#include "base/diagnostics.h"
#include "composite/pixel_transfers.h"
#include "drovine.h"

namespace composite = dro::composite;

namespace {
const uint8_t* In(const void* p) {
  return static_cast<const uint8_t*>(p);
}
uint8_t* Out(void* p) {
  return static_cast<uint8_t*>(p);
}
}  // namespace

// --- Loads -------------------------------------------------------------------

void DRO_CALL DRO_Load(const void* data, int32_t stride, int32_t width, int32_t rows) {
  composite::LoadBgr(In(data), stride, width, rows);
}

void DRO_CALL DRO_LoadRGBA32Layer(const void* data, int32_t stride, int32_t layer, int32_t x,
                                  int32_t y, int32_t w, int32_t h, uint8_t useMask) {
  composite::LoadRgba32Layer(In(data), stride, layer, x, y, w, h, useMask != 0,
                             "DRO_LoadRGBA32Layer");
}

void DRO_CALL DRO_LoadRGBA32(const void* data, int32_t stride, uint8_t useMask) {
  composite::LoadRgba32Current(In(data), stride, useMask != 0, "DRO_LoadRGBA32");
}

void DRO_CALL DRO_LoadRGBA32Into(const void* data, int32_t stride, int32_t layer, int32_t x,
                                 int32_t y, int32_t w, int32_t h) {
  composite::LoadRgba32Layer(In(data), stride, layer, x, y, w, h, true, "DRO_LoadRGBA32Into");
}

void DRO_CALL DRO_LoadRGB24(const void* data, int32_t stride, uint8_t useMask) {
  composite::LoadRgb24(In(data), stride, useMask != 0);
}

void DRO_CALL DRO_LoadRGB24ToAlpha(const void* data, int32_t stride, uint8_t useMask) {
  composite::LoadRgb24ToAlpha(In(data), stride, useMask != 0);
}

// --- Narrowing reads -----------------------------------------------------------

void DRO_CALL DRO_GetRGBA32Layer(void* dst, int32_t stride, int32_t layer) {
  constexpr const char* kWhere = "DRO_GetRGBA32Layer";
  composite::GetRgba32(composite::LayerOnCanvas(layer, kWhere), Out(dst), stride, kWhere);
}

void DRO_CALL DRO_GetRGBA32(void* dst, int32_t stride) {
  composite::GetRgba32(composite::CurrentOnCanvas(), Out(dst), stride);
}

void DRO_CALL DRO_GetRGB24Layer(void* dst, int32_t stride, int32_t layer) {
  constexpr const char* kWhere = "DRO_GetRGB24Layer";
  composite::GetRgb24(composite::LayerOnCanvas(layer, kWhere), Out(dst), stride, kWhere);
}

void DRO_CALL DRO_GetRGB24(void* dst, int32_t stride) {
  composite::GetRgb24(composite::CurrentOnCanvas(), Out(dst), stride);
}

void DRO_CALL DRO_GetRGB24FromAlpha(void* dst, int32_t stride) {
  composite::GetRgb24FromAlpha(composite::CurrentOnCanvas(), Out(dst), stride);
}

// x and y do not move either buffer: dst and src address the block itself.
void DRO_CALL DRO_GetRGBA32FromRGBA64Rect(void* dst, int32_t dstStride, const void* src,
                                          int32_t srcStrideBytes, int32_t, int32_t, int32_t w,
                                          int32_t h) {
  composite::NarrowBlock(Out(dst), dstStride, In(src), srcStrideBytes, w, h, 4);
}

void DRO_CALL DRO_GetRGBA32FromRGBA64(void* dst, int32_t dstStride, int32_t w, int32_t h,
                                      const void* src, int32_t srcStrideBytes) {
  composite::NarrowBlock(Out(dst), dstStride, In(src), srcStrideBytes, w, h, 4);
}

void DRO_CALL DRO_GetRGB24FromRGBA64Rect(void* dst, int32_t dstStride, const void* src,
                                         int32_t srcStrideBytes, int32_t, int32_t, int32_t w,
                                         int32_t h) {
  composite::NarrowBlock(Out(dst), dstStride, In(src), srcStrideBytes, w, h, 3);
}

void DRO_CALL DRO_GetRGB24FromRGBA64(void* dst, int32_t dstStride, const void* src,
                                     int32_t srcStrideBytes) {
  const dro::Plane canvas = composite::HostCanvasBuffer(const_cast<void*>(src));
  if (!canvas) return;
  composite::NarrowBlock(Out(dst), dstStride, In(src), srcStrideBytes, canvas.width, canvas.height,
                         3);
}

void DRO_CALL DRO_RGBA64RectToRGBA32(const void* src, int32_t x, int32_t y, int32_t w, int32_t h,
                                     int32_t srcStridePixels, int32_t, void* dst) {
  composite::NarrowRectTight(In(src), x, y, w, h, srcStridePixels, Out(dst), 4);
}

void DRO_CALL DRO_RGBA64RectToRGBA24(const void* src, int32_t x, int32_t y, int32_t w, int32_t h,
                                     int32_t srcStridePixels, int32_t, void* dst) {
  composite::NarrowRectTight(In(src), x, y, w, h, srcStridePixels, Out(dst), 3);
}

// --- Host-buffer reshaping -------------------------------------------------------

void DRO_CALL DRO_RGBToRGBA(void* rgba32, int32_t w, int32_t h, const void* rgb24) {
  composite::RgbToRgba(Out(rgba32), w, h, In(rgb24));
}

void DRO_CALL DRO_RGBAToRGB(void* rgb24, int32_t w, int32_t h, const void* rgba32) {
  composite::RgbaToRgb(Out(rgb24), w, h, In(rgba32));
}

void DRO_CALL DRO_RGBAlphaToRGB(void* rgb24, int32_t w, int32_t h, const void* rgba32) {
  composite::RgbaAlphaToRgb(Out(rgb24), w, h, In(rgba32));
}

void DRO_CALL DRO_RGBToRGBAlpha(void* rgba32, int32_t w, int32_t h, const void* rgb24) {
  composite::RgbToRgbaAlpha(Out(rgba32), w, h, In(rgb24));
}

// --- Fills -------------------------------------------------------------------------

void DRO_CALL DRO_Clear(int32_t r, int32_t g, int32_t b, int32_t a) {
  composite::Clear(r, g, b, a);
}

void DRO_CALL DRO_ClearRGBA64(void* dst, int32_t strideBytes, int32_t r16, int32_t g16, int32_t b16,
                              int32_t a16) {
  composite::ClearRgba64(Out(dst), strideBytes, r16, g16, b16, a16);
}

void DRO_CALL DRO_ClearRGBA32(void* dst, int32_t stride, int32_t r, int32_t g, int32_t b,
                              int32_t a) {
  composite::ClearRgba32(Out(dst), stride, r, g, b, a);
}

void DRO_CALL DRO_ClearRGBA32Buf(void* dst, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                                 int32_t a) {
  composite::ClearRgba32Tight(Out(dst), w, h, r, g, b, a);
}

void DRO_CALL DRO_ClearMasked(int32_t r, int32_t g, int32_t b, int32_t a) {
  composite::ClearMasked(composite::CurrentOnCanvas(), r, g, b, a);
}

void DRO_CALL DRO_ClearMaskedAlpha(int32_t r, int32_t g, int32_t b, int32_t a) {
  composite::ClearMaskedAlpha(r, g, b, a);
}

// --- Queries -------------------------------------------------------------------------

int32_t DRO_CALL DRO_GetRed64(int32_t x, int32_t y) {
  return composite::GetChannel64(x, y, composite::Channel::kRed);
}
int32_t DRO_CALL DRO_GetGreen64(int32_t x, int32_t y) {
  return composite::GetChannel64(x, y, composite::Channel::kGreen);
}
int32_t DRO_CALL DRO_GetBlue64(int32_t x, int32_t y) {
  return composite::GetChannel64(x, y, composite::Channel::kBlue);
}
int32_t DRO_CALL DRO_GetAlpha64(int32_t x, int32_t y) {
  return composite::GetChannel64(x, y, composite::Channel::kAlpha);
}
int32_t DRO_CALL DRO_GetMask64(int32_t x, int32_t y) {
  return composite::GetMask64(x, y);
}

int32_t DRO_CALL DRO_GetRGBAAt(int32_t x, int32_t y, const void* buffer) {
  return composite::RgbaAt(composite::HostCanvasBuffer(const_cast<void*>(buffer)), x, y);
}
int32_t DRO_CALL DRO_GetRGBAAtSurface(int32_t x, int32_t y) {
  return composite::RgbaAt(composite::CurrentOnCanvas(), x, y);
}
int32_t DRO_CALL DRO_GetRGBAAtLayer(int32_t x, int32_t y, int32_t layer) {
  return composite::RgbaAt(composite::LayerOnCanvas(layer, "DRO_GetRGBAAtLayer"), x, y);
}
int32_t DRO_CALL DRO_GetRGBAAtTrace(int32_t x, int32_t y) {
  return composite::RgbaAt(composite::TraceOnCanvas(), x, y);
}

int32_t DRO_CALL DRO_GetColorAt(int32_t x, int32_t y, const void* buffer) {
  return composite::ColorAt(composite::HostCanvasBuffer(const_cast<void*>(buffer)), x, y);
}
int32_t DRO_CALL DRO_GetColorAtSurface(int32_t x, int32_t y) {
  return composite::ColorAt(composite::CurrentOnCanvas(), x, y);
}
int32_t DRO_CALL DRO_GetColorAtLayer(int32_t x, int32_t y, int32_t layer) {
  return composite::ColorAt(composite::LayerOnCanvas(layer, "DRO_GetColorAtLayer"), x, y);
}
int32_t DRO_CALL DRO_GetColorAtTrace(int32_t x, int32_t y) {
  return composite::ColorAt(composite::TraceOnCanvas(), x, y);
}

int32_t DRO_CALL DRO_GetColorAtMerged(int32_t x, int32_t y) {
  return composite::ColorAtMerged(x, y);
}

void DRO_CALL DRO_FindDataExtentsLayer(int32_t layer, int32_t* minX, int32_t* minY, int32_t* maxX,
                                       int32_t* maxY) {
  const bool all = minX && minY && maxX && maxY;
  if (dro::NullArgument("DRO_FindDataExtentsLayer", all ? minX : nullptr, "an extent pointer"))
    return;
  composite::FindDataExtents(layer, *minX, *minY, *maxX, *maxY, "DRO_FindDataExtentsLayer");
}
