#include "io/staging.h"

#include <cstring>
#include <limits>

#include "base/diagnostics.h"
#include "base/guard.h"
#include "composite/layer_state.h"
#include "composite/pixel_transfers.h"
#include "io/staging_state.h"
#include "platform/image_library.h"

namespace dro::io {
namespace {

// Both sides at least 1 and every byte addressable with a 32-bit offset.
bool AcceptableSize(int64_t width, int64_t height) noexcept {
  return width > 0 && height > 0 && width * height <= std::numeric_limits<int32_t>::max() / 4;
}

// True when there is a staging image and the host's buffer; otherwise says
// which is missing.
bool Usable(const char* where, const StagingImage& s, const void* dst) noexcept {
  if (s.present() && dst) return true;
  if (DiagnosticsOn()) {
    if (!s.present()) {
      Diagnose(where, "no picture read (DRO_ReadFromFile); nothing done");
    } else {
      Diagnose(where, "destination buffer is null; nothing done");
    }
  }
  return false;
}

}  // namespace

uint8_t* MakeStagingImage(int32_t width, int32_t height) noexcept {
  StagingImage& s = Staging();
  s.Release();
  if (!AcceptableSize(width, height)) return nullptr;
  return Guard(Operation::kCreateNewRgba, static_cast<uint8_t*>(nullptr), [&] {
    s.pixels = Buffer<uint8_t>::Make(CheckedGridCount(width, height, 4) * 4);
    s.width = width;
    s.height = height;
    return s.pixels.data();
  });
}

bool SetStagingImage(const uint8_t* rgba, int32_t width, int32_t height, int32_t stride) noexcept {
  const int64_t row = int64_t{width} * 4;
  const int64_t step = stride == 0 ? row : stride;  // 0: tight rows
  if (!rgba || !AcceptableSize(width, height) || step < row) {
    Staging().Release();
    return false;
  }
  uint8_t* dst = MakeStagingImage(width, height);
  if (!dst) return false;
  for (int32_t y = 0; y < height; ++y) std::memcpy(dst + row * y, rgba + step * y, size_t(row));
  return true;
}

bool AdoptStagingImage(Buffer<uint8_t>& rgba, int32_t width, int32_t height) noexcept {
  StagingImage& s = Staging();
  s.Release();
  if (!rgba || !AcceptableSize(width, height) || rgba.size() != size_t(width) * size_t(height) * 4)
    return false;
  s.pixels = std::move(rgba);
  s.width = width;
  s.height = height;
  return true;
}

void DeleteStagingImage() noexcept {
  Guard(Operation::kDeleteNewRgba, [] { Staging().Release(); });
}

int32_t StagingWidth() noexcept {
  return Staging().width;
}
int32_t StagingHeight() noexcept {
  return Staging().height;
}

bool StagingTransparent() noexcept {
  const StagingImage& s = Staging();
  if (!s.present()) return false;
  const uint8_t* p = s.pixels.data();
  const size_t bytes = s.pixels.size();
  for (size_t i = 3; i < bytes; i += 4)
    if (p[i] != 255) return true;
  return false;
}

void LoadStagingIntoCurrentLayer() noexcept {
  const StagingImage& s = Staging();
  const int32_t slot = composite::CurrentSlot();
  if (!Usable("DRO_SetInNewRGBA", s, &s)) return;
  if (slot < 0) {
    if (DiagnosticsOn())
      Diagnose("DRO_SetInNewRGBA", "no current layer (DRO_SetLayer); nothing done");
    return;
  }
  composite::LoadRgba32Layer(s.pixels.data(), s.width * 4, slot, 0, 0, s.width, s.height, true);
}

void CopyStagingRgba32(uint8_t* dst) noexcept {
  const StagingImage& s = Staging();
  if (Usable("DRO_GetNewRGBA32", s, dst)) std::memcpy(dst, s.pixels.data(), s.pixels.size());
}

void CopyStagingRgb24(uint8_t* dst) noexcept {
  const StagingImage& s = Staging();
  if (!Usable("DRO_GetNewRGBA24", s, dst)) return;
  const uint8_t* p = s.pixels.data();
  const size_t count = s.pixels.size() / 4;
  for (size_t i = 0; i < count; ++i, p += 4, dst += 3) {
    dst[0] = p[0];
    dst[1] = p[1];
    dst[2] = p[2];
  }
}

void CopyResizedStagingRgb24(uint8_t* dst, int32_t width, int32_t height) noexcept {
  const StagingImage& s = Staging();
  if (!Usable("DRO_GetResizedNewRGBA24", s, dst)) return;
  if (!AcceptableSize(width, height)) {
    if (DiagnosticsOn())
      Diagnose("DRO_GetResizedNewRGBA24", "size %d x %d empty or too large; nothing done", width,
               height);
    return;
  }
  Guard(Operation::kGetResizedNewRgb24, [&] {
    Buffer<uint8_t> scaled = Buffer<uint8_t>::Make(CheckedGridCount(width, height, 4) * 4);
    namespace im = platform::image;
    const bool shrink = width < s.width && height < s.height;
    const bool ok = shrink ? im::DecimateImage(s.pixels.data(), s.width, s.height, s.width * 4,
                                               scaled.data(), width, height, width * 4, 4, 1)
                           : im::ResizeImage(s.pixels.data(), s.width, s.height, s.width * 4,
                                             scaled.data(), width, height, width * 4, 4, 0);
    if (!ok) return;
    const uint8_t* p = scaled.data();
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i, p += 4, dst += 3) {
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
    }
  });
}

}  // namespace dro::io
