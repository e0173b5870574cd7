// Conversions of host and script numbers to the engine's integers.
//
// Every double that becomes an integer goes through SaturateToInt32: a value
// from a host or a script may be NaN, infinite or far outside int32, and a
// plain cast of such a value is undefined behaviour in C++.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace dro {

// Truncates toward zero like a C cast; NaN gives 0, values beyond the
// int32 range give its nearest end.
constexpr int32_t SaturateToInt32(double v) noexcept {
  if (v != v) return 0;  // NaN
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// An integer kept within lo..hi.
constexpr int32_t ClampInt(int64_t v, int32_t lo, int32_t hi) noexcept {
  return v < lo ? lo : (v > hi ? hi : static_cast<int32_t>(v));
}

// A double kept within lo..hi; NaN gives lo.
constexpr double ClampDouble(double v, double lo, double hi) noexcept {
  if (!(v >= lo)) return lo;
  return v > hi ? hi : v;
}

// A truncated double kept within 0..255 (NaN gives 0).
constexpr uint8_t TruncToByte(double v) noexcept {
  return static_cast<uint8_t>(ClampInt(SaturateToInt32(v), 0, 255));
}

}  // namespace dro
