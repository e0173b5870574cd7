// Widening 8-bit channels to the engine's 16 bits and narrowing them back.
//
// Widening multiplies by 256 (255 becomes 65280, never 65535); narrowing
// keeps the high byte. Neither rounds, so a value widened and narrowed
// comes back unchanged, and 8-bit host pictures round-trip exactly.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro {

constexpr uint16_t Widen(uint8_t v) noexcept {
  return static_cast<uint16_t>(v << 8);
}

constexpr uint8_t Narrow(uint16_t v) noexcept {
  return static_cast<uint8_t>(v >> 8);
}

// A channel the host passes as an int: its low byte, widened.
constexpr uint16_t WidenLowByte(int32_t v) noexcept {
  return static_cast<uint16_t>(static_cast<uint32_t>(v) << 8);
}

// Four bytes R, G, B, A widened into a pixel.
constexpr Pixel64 WidenRgba(const uint8_t* p) noexcept {
  return Pixel64{Widen(p[0]), Widen(p[1]), Widen(p[2]), Widen(p[3])};
}

}  // namespace dro
