#include "brush/spline.h"

#include <array>

#include "engine/engine.h"

namespace dro::brush {
namespace {

double PointOf(const std::array<double, kSplinePoints>& values, int32_t index) noexcept {
  const BrushState& b = engine().brush;
  if (b.splineCount <= 0) return 0;
  // Unsigned, so a negative index counts as past the end.
  const uint32_t last = static_cast<uint32_t>(b.splineCount) - 1u;
  uint32_t at = static_cast<uint32_t>(index);
  if (at > last) at = last;
  return values[at];
}

}  // namespace

// SPLINE-CALC

int32_t SplinePointCount() noexcept {
  return engine().brush.splineCount;
}

double SplinePointX(int32_t index) noexcept {
  return PointOf(engine().brush.splineX, index);
}

double SplinePointY(int32_t index) noexcept {
  return PointOf(engine().brush.splineY, index);
}

}  // namespace dro::brush
