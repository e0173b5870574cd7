// A view of a rectangle of Pixel64 rows: the one way buffers of pixels are
// handed between subsystems without handing over their owner.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro {

// `width` x `height` pixels usable, rows `stride` pixels apart.
struct Plane {
  Pixel64* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;

  explicit operator bool() const noexcept { return pixels && width > 0 && height > 0; }
  Pixel64* Row(int32_t y) const noexcept { return pixels + int64_t{y} * stride; }
};

}  // namespace dro
