#include "imaging/work_buffers.h"

#include <algorithm>
#include <cstring>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "composite/texture.h"
#include "imaging/work_state.h"
#include "mask/mask_ops.h"
#include "mask/mask_state.h"

namespace dro::imaging {
namespace {

// Bytes of a canvas-size buffer of `bytesPerPixel`, 0 without pixels.
size_t CanvasBytes(int32_t bytesPerPixel) {
  const CanvasGeometry& c = Geometry();
  if (!c.HasPixels()) return 0;
  return CheckedCount(int64_t{c.width} * bytesPerPixel, c.height);
}

// The buffer while it is present and has the canvas's size.
uint8_t* Usable(Buffer<uint8_t>& buffer, int32_t bytesPerPixel) noexcept {
  const CanvasGeometry& c = Geometry();
  if (!buffer || !c.HasPixels()) return nullptr;
  const uint64_t want = uint64_t(c.width) * uint64_t(c.height) * uint64_t(bytesPerPixel);
  return buffer.size() == want ? buffer.data() : nullptr;
}

// Narrows the current layer into a tight canvas-size buffer. Whatever the
// layer does not cover (no pixels, or smaller than the canvas) is zero.
template <int32_t kBytes>
void FillFromCurrent(uint8_t* dst) noexcept {
  const CanvasGeometry& c = Geometry();
  const int64_t stride = int64_t{c.width} * kBytes;
  const Plane layer = composite::CurrentOnCanvas();
  if (!layer) {
    std::memset(dst, 0, static_cast<size_t>(stride * c.height));
    return;
  }
  if constexpr (kBytes == 4) {
    composite::GetRgba32(layer, dst, static_cast<int32_t>(stride));
  } else {
    composite::GetRgb24(layer, dst, static_cast<int32_t>(stride));
  }
  const int64_t covered = int64_t{layer.width} * kBytes;
  if (covered < stride) {
    for (int32_t y = 0; y < layer.height; ++y) {
      std::memset(dst + y * stride + covered, 0, static_cast<size_t>(stride - covered));
    }
  }
  if (layer.height < c.height) {
    std::memset(dst + layer.height * stride, 0,
                static_cast<size_t>(stride * (c.height - layer.height)));
  }
}

// Releases `buffer`, then makes a canvas-size one (filled by `fill` when
// given). On an empty canvas it stays absent.
template <class Fill>
void Allocate(Operation operation, Buffer<uint8_t>& buffer, int32_t bytesPerPixel, Fill&& fill) {
  Guard(operation, [&] {
    // Released before the new one is made, so two canvas-size buffers never
    // coexist; a failure then leaves the buffer absent, never stale.
    buffer.Reset();
    const size_t bytes = CanvasBytes(bytesPerPixel);
    if (bytes == 0) return;
    buffer = Buffer<uint8_t>::Make(bytes);
    fill(buffer.data());
  });
}

void Release(Operation operation, Buffer<uint8_t>& buffer) noexcept {
  Guard(operation, [&] { buffer.Reset(); });
}

void CopyIn(Buffer<uint8_t>& buffer, const void* pixels) noexcept {
  uint8_t* dst = Usable(buffer, 4);
  if (!dst || !pixels) return;
  std::memcpy(dst, pixels, buffer.size());
}

void NoFill(uint8_t*) noexcept {}

}  // namespace

void Init() noexcept {}
void Exit() noexcept {}

void AllocSource32() noexcept {
  Allocate(Operation::kIplAllocSource32, Work().source32, 4, FillFromCurrent<4>);
}
void FreeSource32() noexcept {
  Release(Operation::kIplFreeSource32, Work().source32);
}
void AllocDestination32() noexcept {
  Allocate(Operation::kIplAllocDestination32, Work().destination32, 4, NoFill);
}
void FreeDestination32() noexcept {
  Release(Operation::kIplFreeDestination32, Work().destination32);
}
void AllocSource24() noexcept {
  Allocate(Operation::kIplAllocSource24, Work().source24, 3, FillFromCurrent<3>);
}
void FreeSource24() noexcept {
  Release(Operation::kIplFreeSource24, Work().source24);
}
void AllocDestination24() noexcept {
  Allocate(Operation::kIplAllocDestination24, Work().destination24, 3, NoFill);
}
void FreeDestination24() noexcept {
  Release(Operation::kIplFreeDestination24, Work().destination24);
}

void UpdateSource32() noexcept {
  if (uint8_t* dst = Usable(Work().source32, 4)) FillFromCurrent<4>(dst);
}

void SetSource32(const void* pixels) noexcept {
  CopyIn(Work().source32, pixels);
}

void SetDestination32(const void* pixels) noexcept {
  CopyIn(Work().destination32, pixels);
}

void ApplyMaskToSourceAlpha() noexcept {
  uint8_t* src = Usable(Work().source32, 4);
  if (!src || !mask::EnabledValues()) return;
  mask::ApplyToAlpha(src);
}

uint8_t* Source32() noexcept {
  return Usable(Work().source32, 4);
}
uint8_t* Destination32() noexcept {
  return Usable(Work().destination32, 4);
}
uint8_t* Source24() noexcept {
  return Usable(Work().source24, 3);
}
uint8_t* Destination24() noexcept {
  return Usable(Work().destination24, 3);
}

bool LoadRgba32Result(const uint8_t* rgba) noexcept {
  if (!rgba || !composite::CurrentCanvasLayer()) return false;
  composite::LoadRgba32Current(rgba, Geometry().width * 4, true);
  return true;
}

bool LoadRgb24Result(const uint8_t* rgb) noexcept {
  if (!rgb || !composite::CurrentCanvasLayer()) return false;
  composite::LoadRgb24(rgb, Geometry().width * 3, true);
  return true;
}

bool MergeDestination(int32_t mode) noexcept {
  uint8_t* dst = Destination32();
  composite::LayerRecord* layer = composite::CurrentCanvasLayer();
  if (!dst || !layer) return false;
  const CanvasGeometry& c = Geometry();
  composite::AdjustRgba32ByMaskAndTexture(dst, 0, 0, c.width, c.height);
  composite::BlendRgba32IntoLayer(dst, layer->pixels.data(), mode, 0, 255, layer->lockAlpha != 0);
  return true;
}

}  // namespace dro::imaging
