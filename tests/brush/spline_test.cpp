// Stroke-path splines: the point count, the read-out of the points and the
// indices past the end.
#include <gtest/gtest.h>

#include "drovine.h"
#include "engine/engine.h"

namespace {

TEST(Spline, PointsAreZeroBeforeTheFirstSplineThenClampToTheLast) {
  dro::engine().brush.splineCount = 0;  // as at load
  EXPECT_EQ(DRO_GetSplinePointCount(), 0);
  EXPECT_EQ(DRO_GetSplinePointX(0), 0.0);
  EXPECT_EQ(DRO_GetSplinePointY(-1), 0.0);

  ASSERT_EQ(DRO_CalcSpline3(10, 20, 50, 80, 100, 20, 12345), 1);
  ASSERT_EQ(DRO_GetSplinePointCount(), 100);
  // The curve passes through its first and last control points.
  EXPECT_DOUBLE_EQ(DRO_GetSplinePointX(0), 10.0);
  EXPECT_DOUBLE_EQ(DRO_GetSplinePointY(0), 20.0);
  EXPECT_DOUBLE_EQ(DRO_GetSplinePointX(99), 100.0);
  EXPECT_DOUBLE_EQ(DRO_GetSplinePointY(99), 20.0);
  const double lastX = DRO_GetSplinePointX(99);
  const double lastY = DRO_GetSplinePointY(99);
  EXPECT_EQ(DRO_GetSplinePointX(100), lastX);
  EXPECT_EQ(DRO_GetSplinePointX(500), lastX);
  EXPECT_EQ(DRO_GetSplinePointY(500), lastY);
  EXPECT_EQ(DRO_GetSplinePointX(-1), lastX);  // negative counts as past the end
  EXPECT_EQ(DRO_GetSplinePointY(INT32_MIN), lastY);
  // The middle rises towards the middle control point.
  EXPECT_GT(DRO_GetSplinePointY(50), 60.0);
  EXPECT_LT(DRO_GetSplinePointY(50), 81.0);
}

TEST(Spline, CoordinatesAreReadAsUnsigned) {
  ASSERT_EQ(DRO_CalcSpline3(0xFFFFFFFFu, 0, 0, 0, 0x80000000u, 7, 0), 1);
  EXPECT_EQ(DRO_GetSplinePointX(0), 4294967295.0);
  EXPECT_EQ(DRO_GetSplinePointX(99), 2147483648.0);
  EXPECT_EQ(DRO_GetSplinePointY(99), 7.0);
}

}  // namespace
