// Pixel and element types shared by every subsystem.
#pragma once

#include <cstdint>

namespace dro {

// One canvas pixel: 16 bits per channel in the order red, green, blue,
// alpha. 8-bit values widen by x 256 and narrow to the high byte.
struct Pixel64 {
  uint16_t r;
  uint16_t g;
  uint16_t b;
  uint16_t a;
};
static_assert(sizeof(Pixel64) == 8, "Pixel64 is four packed 16-bit channels");

// Mask and brush-tip coverage: 65535 fully open, 0 closed.
using Mask16 = uint16_t;

// Inclusive or exclusive integer rectangle; each user says which.
struct IntRect {
  int32_t x0;
  int32_t y0;
  int32_t x1;
  int32_t y1;
};

}  // namespace dro
