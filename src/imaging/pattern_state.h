// The pattern explorer's cache: the picture last generated from an effect
// script, its size and the path it came from. It lives as long as the
// engine (freed when the library unloads), so a host that explores the
// options of one script pays for the script's picture once.
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro::imaging {

struct PatternCache {
  Buffer<char> path;        // NUL-terminated; empty when nothing is cached
  Buffer<uint8_t> picture;  // RGBA32, tight, width x height
  int32_t width = 0;
  int32_t height = 0;

  bool Holds() const noexcept { return picture.data() != nullptr && width > 0 && height > 0; }
  void Clear() noexcept {
    path.Reset();
    picture.Reset();
    width = height = 0;
  }
};

// The engine's pattern cache (the engine aggregate owns it).
PatternCache& Patterns() noexcept;

}  // namespace dro::imaging
