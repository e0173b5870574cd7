// The image seam's picture effects: against OpenCV called directly where
// OpenCV does the work, by properties and small exact tables where the
// code is our own.
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/image_effects.h"

namespace {

namespace image = dro::platform::image;
using Bytes = std::vector<uint8_t>;

constexpr int W = 23, H = 17;

Bytes Noise(int bpp, uint32_t seed, int w = W, int h = H) {
  Bytes b(size_t(w) * h * bpp);
  for (uint8_t& v : b) v = uint8_t((seed = seed * 214013u + 2531011u) >> 16);
  return b;
}

cv::Mat Mat(Bytes& b, int bpp, int w = W, int h = H) {
  return cv::Mat(h, w, bpp == 3 ? CV_8UC3 : bpp == 4 ? CV_8UC4 : CV_8UC1, b.data());
}

Bytes FromMat(const cv::Mat& m) {
  return Bytes(m.data, m.data + m.total() * m.elemSize());
}

TEST(ImageEffects, OpenCvOperationsMatchOpenCv) {
  for (int bpp : {3, 4}) {
    SCOPED_TRACE(bpp);
    Bytes src = Noise(bpp, 3), dst(src.size()), want;
    ASSERT_TRUE(
        image::GaussianBlurImage(src.data(), W, H, bpp, W * bpp, dst.data(), W * bpp, 2.5, 15));
    cv::Mat ref;
    cv::GaussianBlur(Mat(src, bpp), ref, cv::Size(17, 17), 2.5, 2.5, cv::BORDER_REPLICATE);
    EXPECT_EQ(dst, FromMat(ref));
    ASSERT_TRUE(
        image::BoxBlurImage(src.data(), W, H, bpp, W * bpp, dst.data(), W * bpp, 2, 1.0, 15));
    cv::blur(Mat(src, bpp), ref, cv::Size(5, 5), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    EXPECT_EQ(dst, FromMat(ref));
    Bytes plane(size_t(W) * H), grey;
    ASSERT_TRUE(image::GrayImage(src.data(), W, H, bpp, W * bpp, plane.data(), W));
    cv::cvtColor(Mat(src, bpp), ref, bpp == 3 ? cv::COLOR_RGB2GRAY : cv::COLOR_RGBA2GRAY);
    EXPECT_EQ(plane, FromMat(ref));
    // Threshold: white exactly where the grey lies in the band.
    Bytes t = src;
    ASSERT_TRUE(image::ThresholdImage(t.data(), W, H, bpp, W * bpp, 60, 180));
    for (size_t i = 0; i < plane.size(); ++i) {
      const uint8_t want8 = plane[i] >= 60 && plane[i] <= 180 ? 255 : 0;
      ASSERT_EQ(t[i * bpp], want8) << i;
      ASSERT_EQ(t[i * bpp + 2], want8) << i;
      if (bpp == 4) {
        ASSERT_EQ(t[i * bpp + 3], src[i * bpp + 3]);
      }
    }
  }
  // Colour only: alpha comes from the source.
  Bytes src = Noise(4, 9), dst(src.size());
  ASSERT_TRUE(image::GaussianBlurImage(src.data(), W, H, 4, W * 4, dst.data(), W * 4, 3.0, 7));
  for (size_t i = 3; i < src.size(); i += 4) ASSERT_EQ(dst[i], src[i]);
  // Bilateral on RGB24.
  Bytes rgb = Noise(3, 5), out(rgb.size());
  ASSERT_TRUE(image::BilateralFilterImage(rgb.data(), W, H, W * 3, out.data(), W * 3, 3, 30.0));
  cv::Mat ref;
  cv::bilateralFilter(Mat(rgb, 3), ref, 7, 30.0, 3.0, cv::BORDER_REPLICATE);
  EXPECT_EQ(out, FromMat(ref));
  // Look-up tables: a null slot keeps its channel.
  std::array<uint8_t, 256> inv;
  for (int v = 0; v < 256; ++v) inv[size_t(v)] = uint8_t(255 - v);
  Bytes lut = src;
  const uint8_t* tables[4] = {inv.data(), nullptr, inv.data(), nullptr};
  ASSERT_TRUE(image::ApplyLuts(lut.data(), W, H, 4, W * 4, tables));
  for (size_t i = 0; i < src.size(); ++i)
    ASSERT_EQ(lut[i], i % 4 == 0 || i % 4 == 2 ? 255 - src[i] : src[i]) << i;
  // Per-channel equalisation over the full range is OpenCV's.
  Bytes eq = rgb;
  ASSERT_TRUE(image::EqualizeHistogram(eq.data(), W, H, 3, W * 3, 0, 255, image::kPerChannel));
  std::vector<cv::Mat> planes;
  cv::split(Mat(rgb, 3), planes);
  for (cv::Mat& p : planes) cv::equalizeHist(p, p);
  cv::merge(planes, ref);
  EXPECT_EQ(eq, FromMat(ref));
}

// The oil paint of one pixel by brute force: the most common bin of the
// window (ties to the darker), the mean colour of its pixels.
Bytes OilReference(const Bytes& src, int r, int levels) {
  Bytes out(src.size());
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      std::vector<int> count(static_cast<size_t>(levels));
      std::vector<std::array<int, 3>> sum(static_cast<size_t>(levels));
      for (int v = std::max(0, y - r); v <= std::min(H - 1, y + r); ++v)
        for (int u = std::max(0, x - r); u <= std::min(W - 1, x + r); ++u) {
          const uint8_t* p = &src[size_t(v * W + u) * 3];
          const int b = (p[0] + p[1] + p[2]) * levels / 766;
          ++count[size_t(b)];
          for (int c = 0; c < 3; ++c) sum[size_t(b)][size_t(c)] += p[c];
        }
      const size_t best = size_t(std::max_element(count.begin(), count.end()) - count.begin());
      for (int c = 0; c < 3; ++c)
        out[size_t(y * W + x) * 3 + c] =
            uint8_t(std::min(255.0, double(sum[best][size_t(c)]) / count[best] + 0.5));
    }
  return out;
}

TEST(ImageEffects, OwnOperations) {
  Bytes rgb = Noise(3, 21), out(rgb.size());
  for (int r : {0, 1, 3, 10, 11, 30}) {
    ASSERT_TRUE(image::OilPaintImage(rgb.data(), W, H, W * 3, out.data(), W * 3, r, 8, 0));
    EXPECT_EQ(out, OilReference(rgb, r, 8)) << r;
  }
  // Flat pictures stay flat through every blur and the oil paint.
  Bytes flat(size_t(W) * H * 4, 77), blurred(flat.size());
  for (int kind : {0, 1, 2}) {
    ASSERT_TRUE(image::MotionBlurImage(flat.data(), W, H, W * 4, blurred.data(), W * 4, 4, 30.0,
                                       20.0, 0, kind));
    EXPECT_EQ(blurred, flat) << kind;
  }
  // Columns of one colour keep through a vertical motion blur, not a
  // horizontal one.
  Bytes stripes(size_t(W) * H * 4);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = uint8_t((i / 4 % W) * 11);
  ASSERT_TRUE(image::MotionBlurImage(stripes.data(), W, H, W * 4, blurred.data(), W * 4, 4, 90.0,
                                     6.0, 0, 0));
  EXPECT_EQ(blurred, stripes);
  ASSERT_TRUE(image::MotionBlurImage(stripes.data(), W, H, W * 4, blurred.data(), W * 4, 4, 0.0,
                                     6.0, 0, 0));
  EXPECT_NE(blurred, stripes);
  // Exact per-value tables.
  Bytes px = {0, 64, 127, 128, 200, 255};
  Bytes p = px;
  ASSERT_TRUE(image::PosterizeImage(p.data(), 2, 1, 6, 0));  // four levels
  EXPECT_EQ(p, (Bytes{0, 85, 85, 170, 170, 255}));
  p = px;
  ASSERT_TRUE(image::SolarizeImage(p.data(), 2, 1, 6, 0));
  EXPECT_EQ(p, (Bytes{0, 64, 127, 127, 55, 0}));
  p = px;
  ASSERT_TRUE(image::InvertImage(p.data(), 2, 1, 6));
  EXPECT_EQ(p, (Bytes{255, 191, 128, 127, 55, 0}));
}

TEST(ImageEffects, NoiseRepeatsForASeed) {
  const Bytes src = Noise(4, 1);
  Bytes a = src, b = src, c = src;
  ASSERT_TRUE(image::AddGaussianNoise(a.data(), W, H, 4, W * 4, 2000, 0, 42, 7));
  ASSERT_TRUE(image::AddGaussianNoise(b.data(), W, H, 4, W * 4, 2000, 0, 42, 7));
  ASSERT_TRUE(image::AddGaussianNoise(c.data(), W, H, 4, W * 4, 2000, 0, 43, 7));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(a, src);
  for (size_t i = 3; i < src.size(); i += 4) ASSERT_EQ(a[i], src[i]);
  Bytes zero = src;
  ASSERT_TRUE(image::AddGaussianNoise(zero.data(), W, H, 4, W * 4, 0, 0, 42, 15));
  EXPECT_EQ(zero, src);
}

TEST(ImageEffects, BadArgumentsAndForcedFailuresChangeNothing) {
  const Bytes src = Noise(4, 2);
  Bytes in = src, out(src.size(), 9);
  const Bytes untouched = out;
  EXPECT_FALSE(image::GaussianBlurImage(nullptr, W, H, 4, W * 4, out.data(), W * 4, 2, 15));
  EXPECT_FALSE(image::GaussianBlurImage(in.data(), W, H, 4, W * 4 - 1, out.data(), W * 4, 2, 15));
  EXPECT_FALSE(image::GaussianBlurImage(in.data(), W, H, 4, W * 4, in.data(), W * 4, 2, 15));
  EXPECT_FALSE(image::GaussianBlurImage(in.data(), 0, H, 4, W * 4, out.data(), W * 4, 2, 15));
  EXPECT_FALSE(
      image::MotionBlurImage(in.data(), W, H, W * 4, out.data(), W * 4, 4, 0.0 / 0.0, 3, 0, 0));
  EXPECT_FALSE(image::ApplyLuts(in.data(), W, H, 2, W * 2, nullptr));
  image::SetEffectFailuresForTesting(true);
  EXPECT_FALSE(image::BoxBlurImage(in.data(), W, H, 4, W * 4, out.data(), W * 4, 2, 1.0, 15));
  EXPECT_FALSE(image::AdjustGamma(in.data(), W, H, 4, W * 4, 2.0));
  image::SetEffectFailuresForTesting(false);
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(in, src);
}

}  // namespace
