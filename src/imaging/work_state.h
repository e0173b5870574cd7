// The image library's work buffers (RGBA32 source and destination and their
// RGB24 pair).
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro::imaging {

struct WorkBuffers {
  Buffer<uint8_t> source32;
  Buffer<uint8_t> destination32;
  Buffer<uint8_t> source24;
  Buffer<uint8_t> destination24;

  void Release() noexcept {
    source32.Reset();
    destination32.Reset();
    source24.Reset();
    destination24.Reset();
  }
};

// The engine's work buffers (the engine aggregate owns it).
WorkBuffers& Work() noexcept;

}  // namespace dro::imaging
