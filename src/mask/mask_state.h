// The mask (selection): one Mask16 per canvas pixel, and how the display
// shows it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/allocation.h"
#include "base/canvas_state.h"
#include "base/types.h"

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

// The engine's mask (the engine aggregate owns it).
MaskState& State() noexcept;

// The mask values whatever the enabled flag, row stride the canvas width;
// null without a canvas or when the buffer does not match the canvas.
inline Mask16* CanvasValues() noexcept {
  const CanvasGeometry& canvas = Geometry();
  MaskState& mask = State();
  const size_t area = static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height);
  return canvas.HasPixels() && mask.values.size() == area ? mask.values.data() : nullptr;
}

// The same while the mask is enabled, else null.
inline const Mask16* EnabledValues() noexcept {
  return State().enabled ? CanvasValues() : nullptr;
}

}  // namespace dro::mask
