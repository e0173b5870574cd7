// The mask (selection): one Mask16 per canvas pixel.
#pragma once

#include <cstdint>

#include "engine/allocation.h"
#include "engine/types.h"

namespace dro::mask {

struct MaskState {
  Buffer<Mask16> values;  // W x H, 65535 open
  int32_t rowStride = 0;  // W x 2 bytes
  uint8_t enabled = 0;
};

}  // namespace dro::mask
