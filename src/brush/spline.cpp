#include "brush/spline.h"

#include <array>

#include "brush/brush_state.h"
#include "platform/image_library.h"

namespace dro::brush {
namespace {

double PointOf(const std::array<double, kSplinePoints>& values, int32_t index) noexcept {
  const BrushState& b = State();
  if (b.splineCount <= 0) return 0;
  // Unsigned, so a negative index counts as past the end.
  const uint32_t last = static_cast<uint32_t>(b.splineCount) - 1u;
  uint32_t at = static_cast<uint32_t>(index);
  if (at > last) at = last;
  return values[at];
}

}  // namespace

bool CalcSpline3(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t x2,
                 uint32_t y2) noexcept {
  const double x[3] = {static_cast<double>(x0), static_cast<double>(x1), static_cast<double>(x2)};
  const double y[3] = {static_cast<double>(y0), static_cast<double>(y1), static_cast<double>(y2)};
  const double z[3] = {0, 0, 0};
  std::array<double, kSplinePoints> outX{};
  std::array<double, kSplinePoints> outY{};
  std::array<double, kSplinePoints> outZ{};
  // 50: the curve's tension, as the curve routine takes it.
  if (!platform::image::SplinePoints3D(x, y, z, 3, kSplinePoints, 50, outX.data(), outY.data(),
                                       outZ.data())) {
    return false;
  }
  BrushState& b = State();
  b.splineX = outX;
  b.splineY = outY;
  b.splineCount = kSplinePoints;
  return true;
}

int32_t SplinePointCount() noexcept {
  return State().splineCount;
}

double SplinePointX(int32_t index) noexcept {
  return PointOf(State().splineX, index);
}

double SplinePointY(int32_t index) noexcept {
  return PointOf(State().splineY, index);
}

}  // namespace dro::brush
