// The staging image: the one picture that files, the clipboard, screen
// captures and scanners deliver, for the host to inspect, copy out or load
// into a layer. Plain data; io/staging.h holds the operations on it.
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro::io {

// A tight RGBA32 picture (bytes R, G, B, A; rows top first, width x 4 bytes
// apart). Absent at load: no pixels and a size of 0 x 0. While present,
// pixels holds exactly width x height x 4 bytes and both sides are at least 1.
struct StagingImage {
  Buffer<uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;

  bool present() const noexcept { return pixels.present(); }
  void Release() noexcept {
    pixels.Reset();
    width = 0;
    height = 0;
  }
};

// The engine's staging image (the engine aggregate owns it).
StagingImage& Staging() noexcept;

}  // namespace dro::io
