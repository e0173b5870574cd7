// The mode table, the lookup and the dispatcher that picks a row kernel per
// mode (see blend_modes.h for the fast-path switch).
#include "composite/blend_modes.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "base/canvas_state.h"
#include "base/cpu.h"
#include "base/pixel.h"
#include "base/thread_pool.h"
#include "composite/blend_kernels.h"

namespace dro::composite {
namespace {

static_assert(kBlendModeNames.size() == blend::kModeCount);

struct KernelTable {
  std::array<blend::RowFn, blend::kModeCount> rows{};
  std::array<bool, blend::kModeCount> fast{};

  void Fill(bool enableFast) noexcept {
    const blend::RowFn* vector = enableFast && cpu::HasAvx2() ? blend::Avx2Rows() : nullptr;
    for (int32_t m = 0; m < blend::kModeCount; ++m) {
      fast[m] = vector && vector[m];
      rows[m] = fast[m] ? vector[m] : &blend::ReferenceRow;
    }
  }
};

KernelTable& Kernels() noexcept {
  static KernelTable table = [] {
    KernelTable t;
    t.Fill(cpu::FastPathsAllowed());
    return t;
  }();
  return table;
}

int32_t NormalisedMode(int32_t mode) noexcept {
  return mode >= 0 && mode <= kLastBlendMode ? mode : kModeUnnamed;
}

int32_t NormalisedOpacity(int32_t opacity) noexcept {
  return opacity < 0 ? 0 : (opacity > 256 ? 256 : opacity);
}

void BlendRows(bool reference, const Pixel64* src, int32_t sx, int32_t sy, int32_t w, int32_t h,
               int32_t srcStride, const Pixel64* layerMask, Pixel64* dst, int32_t dx, int32_t dy,
               int32_t dstStride, int32_t mode, int32_t maskMode, int32_t opacity,
               bool keepAlpha) noexcept {
  if (!src || !dst || w <= 0 || h <= 0) return;
  blend::RowParams p;
  p.mode = NormalisedMode(mode);
  p.opacity = NormalisedOpacity(opacity);
  p.keepAlpha = keepAlpha;
  const bool useMask = layerMask && maskMode == kModeLayerMask;
  const blend::RowFn row = reference ? &blend::ReferenceRow : Kernels().rows[p.mode];
  // Strides count 16-bit units, so rows are addressed through the channels.
  const auto* s16 = reinterpret_cast<const uint16_t*>(src);
  const auto* m16 = reinterpret_cast<const uint16_t*>(layerMask);
  auto* d16 = reinterpret_cast<uint16_t*>(dst);
  auto rows = [&](int64_t begin, int64_t end) noexcept {
    for (int64_t i = begin; i < end; ++i) {
      const int64_t so = (sy + i) * srcStride + int64_t{sx} * 4;
      const int64_t d0 = (dy + i) * dstStride + int64_t{dx} * 4;
      row(reinterpret_cast<const Pixel64*>(s16 + so),
          useMask ? reinterpret_cast<const Pixel64*>(m16 + so) : nullptr,
          reinterpret_cast<Pixel64*>(d16 + d0), w, p);
    }
  };
  // Each destination row depends only on the same row of the source (and
  // of the layer mask), so bands of rows may run at once, unless either
  // shares memory with the destination: then a band could read a row
  // another band is writing.
  const auto dstFirst = reinterpret_cast<uintptr_t>(d16);
  const auto dstEnd =
      reinterpret_cast<uintptr_t>(d16 + (int64_t{dy} + h - 1) * dstStride + (int64_t{dx} + w) * 4);
  const auto overlaps = [&](const uint16_t* read) {
    const auto first = reinterpret_cast<uintptr_t>(read);
    const auto end = reinterpret_cast<uintptr_t>(read + (int64_t{sy} + h - 1) * srcStride +
                                                 (int64_t{sx} + w) * 4);
    return first < dstEnd && dstFirst < end;
  };
  if (overlaps(s16) || (useMask && overlaps(m16))) {
    rows(0, h);
  } else {
    threads::ForBands(h, (threads::kLeastPixelsPerBand + w - 1) / w, rows);
  }
}

}  // namespace

int32_t LookupBlendMode(const char* name) noexcept {
  if (!name) return kModeNormal;
  for (int32_t m = 0; m < blend::kModeCount; ++m) {
    if (m != kModeUnnamed && std::strcmp(name, kBlendModeNames[m]) == 0) return m;
  }
  return kModeNormal;
}

const char* BlendModeName(int32_t mode) noexcept {
  return mode >= 0 && mode <= kLastBlendMode ? kBlendModeNames[mode] : "";
}

void BlendLayerRect(const Pixel64* src, int32_t sx, int32_t sy, int32_t w, int32_t h,
                    int32_t srcStride, const Pixel64* layerMask, Pixel64* dst, int32_t dx,
                    int32_t dy, int32_t dstStride, int32_t mode, int32_t maskMode, int32_t opacity,
                    bool keepAlpha) noexcept {
  BlendRows(false, src, sx, sy, w, h, srcStride, layerMask, dst, dx, dy, dstStride, mode, maskMode,
            opacity, keepAlpha);
}

void BlendLayerRectReference(const Pixel64* src, int32_t sx, int32_t sy, int32_t w, int32_t h,
                             int32_t srcStride, const Pixel64* layerMask, Pixel64* dst, int32_t dx,
                             int32_t dy, int32_t dstStride, int32_t mode, int32_t maskMode,
                             int32_t opacity, bool keepAlpha) noexcept {
  BlendRows(true, src, sx, sy, w, h, srcStride, layerMask, dst, dx, dy, dstStride, mode, maskMode,
            opacity, keepAlpha);
}

void BlendRgba32IntoLayer(const uint8_t* rgba, int32_t rgbaStride, int32_t width, int32_t height,
                          Pixel64* dst, int32_t dstStride, int32_t mode, int32_t maskMode,
                          int32_t opacity, bool keepAlpha) noexcept {
  if (!rgba || !dst || width <= 0 || height <= 0) return;
  // Widening a slice at a time gives the same pixels as widening the whole
  // picture first (the merge works pixel by pixel) without a canvas-size
  // temporary.
  constexpr int32_t kSlice = 512;
  Pixel64 wide[kSlice];
  auto* d16 = reinterpret_cast<uint16_t*>(dst);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = rgba + int64_t{y} * rgbaStride;
    auto* out = reinterpret_cast<Pixel64*>(d16 + int64_t{y} * dstStride);
    for (int32_t x = 0; x < width; x += kSlice) {
      const int32_t n = width - x < kSlice ? width - x : kSlice;
      for (int32_t i = 0; i < n; ++i) {
        const uint8_t* p = row + (int64_t{x} + i) * 4;
        wide[i] = WidenRgba(p);
      }
      BlendLayerRect(wide, 0, 0, n, 1, n * 4, nullptr, out + x, 0, 0, n * 4, mode, maskMode,
                     opacity, keepAlpha);
    }
  }
}

void BlendRgba32IntoLayer(const uint8_t* rgba, Pixel64* dst, int32_t mode, int32_t maskMode,
                          int32_t opacity, bool keepAlpha) noexcept {
  const CanvasGeometry& c = Geometry();
  BlendRgba32IntoLayer(rgba, c.width * 4, c.width, c.height, dst, c.width * 4, mode, maskMode,
                       opacity, keepAlpha);
}

bool FastPathActive(int32_t mode) noexcept {
  return mode >= 0 && mode <= kLastBlendMode && Kernels().fast[mode];
}

void SetFastPathsEnabled(bool enabled) noexcept {
  Kernels().Fill(enabled);
}

}  // namespace dro::composite
