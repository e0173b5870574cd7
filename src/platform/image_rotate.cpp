#include "platform/image_rotate.h"

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace dro::platform::image {

void RotatedSize(float radians, int32_t width, int32_t height, int32_t& outWidth,
                 int32_t& outHeight) noexcept {
  outWidth = outHeight = 0;
  if (!std::isfinite(radians) || width < 1 || height < 1) return;
  const double c = std::fabs(std::cos(double(radians))), s = std::fabs(std::sin(double(radians)));
  const double w = std::round(width * c + height * s), h = std::round(width * s + height * c);
  if (!(w <= 30000) || !(h <= 30000)) return;
  outWidth = w < 1 ? 1 : int32_t(w);
  outHeight = h < 1 ? 1 : int32_t(h);
}

bool RotateImage(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* dst, int32_t dstWidth,
                 int32_t dstHeight, float radians, bool smooth) noexcept {
  if (!rgba || !dst || width < 1 || height < 1 || dstWidth < 1 || dstHeight < 1 ||
      !std::isfinite(radians))
    return false;
  try {
    const cv::Mat src(height, width, CV_8UC4, const_cast<uint8_t*>(rgba));
    cv::Mat out(dstHeight, dstWidth, CV_8UC4, dst);
    // Turn about the source's centre, then move that centre to the
    // destination's.
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(width / 2.0f, height / 2.0f),
                                        double(radians) * 180.0 / CV_PI, 1.0);
    m.at<double>(0, 2) += (dstWidth - width) / 2.0;
    m.at<double>(1, 2) += (dstHeight - height) / 2.0;
    cv::warpAffine(src, out, m, out.size(), smooth ? cv::INTER_LINEAR : cv::INTER_NEAREST,
                   cv::BORDER_CONSTANT, cv::Scalar(0, 0, 0, 0));
    return out.data == dst;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
