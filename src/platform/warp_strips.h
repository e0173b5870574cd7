// Inside the platform seams only: samples a picture through an inverse map
// that is built a strip of rows at a time, just before cv::remap reads it,
// so the map never leaves the cache and its building shares OpenCV's
// worker threads with the sampling. `row(y, mapX, mapY)` fills the source
// positions of destination row y (width floats each); it must be safe to
// call from several threads at once.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace dro::platform::image::detail {

constexpr int kWarpStripRows = 16;

// False when a strip could not be made (its map memory), in which case
// `dst` may be partly written: callers sample into a picture they own.
template <class Row>
bool RemapByStrips(const cv::Mat& src, cv::Mat& dst, int border, const cv::Scalar& fill,
                   Row&& row) {
  const int width = dst.cols, height = dst.rows;
  const int strips = (height + kWarpStripRows - 1) / kWarpStripRows;
  std::atomic<bool> ok{true};
  cv::parallel_for_(cv::Range(0, strips), [&](const cv::Range& range) {
    try {
      cv::Mat mapX(kWarpStripRows, width, CV_32FC1), mapY(kWarpStripRows, width, CV_32FC1);
      for (int s = range.start; s < range.end; ++s) {
        const int y0 = s * kWarpStripRows, y1 = std::min(height, y0 + kWarpStripRows);
        for (int y = y0; y < y1; ++y) row(y, mapX.ptr<float>(y - y0), mapY.ptr<float>(y - y0));
        cv::Mat part = dst.rowRange(y0, y1);
        cv::remap(src, part, mapX.rowRange(0, y1 - y0), mapY.rowRange(0, y1 - y0), cv::INTER_LINEAR,
                  border, fill);
      }
    } catch (...) {
      ok = false;
    }
  });
  return ok;
}

}  // namespace dro::platform::image::detail
