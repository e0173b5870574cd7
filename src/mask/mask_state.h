// The mask (selection): one Mask16 per canvas pixel, and how the display
// shows it.
#pragma once

#include <array>
#include <cstdint>

#include "engine/allocation.h"
#include "engine/types.h"

namespace dro::mask {

// The displayed mask is drawn as a checkerboard of 32 x 32 squares in two
// colours (each channel an 8-bit value x 256), mixed with each pixel by its
// mask value; without the full-strength flag at most half of it shows.
struct MaskOverlay {
  std::array<uint16_t, 3> color1 = {};
  std::array<uint16_t, 3> color2 = {};
  uint8_t fullStrength = 0;
};

struct MaskState {
  Buffer<Mask16> values;  // W x H, 65535 open
  int32_t rowStride = 0;  // W x 2 bytes
  uint8_t enabled = 0;
  MaskOverlay overlay;
};

}  // namespace dro::mask
