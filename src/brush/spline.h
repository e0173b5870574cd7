// Stroke-path splines: a smooth curve through three control points, sampled
// at 100 points, which the host walks to lay out a stroke.
#pragma once

#include <cstdint>

namespace dro::brush {

// Samples the curve through (x0, y0), (x1, y1), (x2, y2). Returns false,
// leaving the earlier points, when the curve cannot be made.
bool CalcSpline3(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t x2,
                 uint32_t y2) noexcept;

int32_t SplinePointCount() noexcept;
// Point i; an index at or past the count (negative ones too) gives the last
// point, and there is no point (0) before the first spline.
double SplinePointX(int32_t index) noexcept;
double SplinePointY(int32_t index) noexcept;

}  // namespace dro::brush
