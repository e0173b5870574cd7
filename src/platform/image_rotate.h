// Rotation of RGBA pictures by any angle (the paste's turn).
//
// Same conventions as image_library.h. The picture turns about its centre
// into a destination just large enough to hold it; what the source does not
// cover is transparent (0, 0, 0, 0).
#pragma once

#include <cstdint>

namespace dro::platform::image {

// The size of the turned picture: round(|w cos r| + |h sin r|) by
// round(|w sin r| + |h cos r|), each at least 1; 0 x 0 for a non-finite
// angle or a size beyond 30000 a side.
void RotatedSize(float radians, int32_t width, int32_t height, int32_t& outWidth,
                 int32_t& outHeight) noexcept;
// Turns a tight RGBA picture counter-clockwise by `radians` into a tight
// destination of RotatedSize; smooth: bilinear, else nearest neighbour
// (OpenCV cv::warpAffine).
bool RotateImage(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* dst, int32_t dstWidth,
                 int32_t dstHeight, float radians, bool smooth) noexcept;

}  // namespace dro::platform::image
