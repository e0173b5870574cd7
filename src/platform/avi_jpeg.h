// JPEG frames for video: one picture compressed into memory.
//
// The frame is RGBA (4 bytes a pixel, alpha ignored), top row first, with a
// row stride in bytes; `out` is reused from frame to frame and grows as a
// frame needs (its first `size` bytes hold the JPEG stream on success).
// Baseline JPEG with the standard Huffman tables, 4:2:0, the quality 1..100
// of the usual scale. False, `out` possibly grown, when memory runs out or
// the arguments are bad. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/allocation.h"

namespace dro::platform::video {

bool EncodeJpegFrame(const uint8_t* rgba, int32_t width, int32_t height, int64_t stride,
                     int32_t quality, Buffer<uint8_t>& out, size_t& size) noexcept;

}  // namespace dro::platform::video
