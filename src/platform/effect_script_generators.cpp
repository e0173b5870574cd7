// Generators and filters of the effect-script table. Shapes are drawn
// anti-aliased by OpenCV (LINE_AA, 4 bits of sub-pixel position) into a
// premultiplied ink picture, then laid on the picture by the style slot.
#include "platform/effect_script_generators.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/noise_field.h"

namespace dro::platform::effects::detail {
namespace {

using noise::SplitMix;
constexpr double kPi = 3.141592653589793;
constexpr int kShift = 4;  // sub-pixel bits of drawn coordinates
constexpr double kOne = 1 << kShift;

uint8_t Clamp8(double v) noexcept {
  if (!(v > 0.0)) return 0;
  return v >= 255.0 ? 255 : static_cast<uint8_t>(v + 0.5);
}

cv::Mat Picture(uint8_t* bgra, int32_t w, int32_t h) {
  return cv::Mat(h, w, CV_8UC4, bgra);
}

cv::Point At(double x, double y) {
  return cv::Point(int(std::lround(x * kOne)), int(std::lround(y * kOne)));
}

// What every shape generator reads: seed, count, the tint, the style and
// the colour switches.
struct Shapes {
  SplitMix rnd;
  int32_t count;
  double tint[3];  // blue, green, red 0..1
  bool randomColours;
  double variation;  // 0..1 of brightness taken away at random
  Shapes(const int32_t* v, int32_t countSlot, int32_t redSlot, int32_t randomSlot,
         int32_t variationSlot)
      : rnd(uint64_t(uint32_t(v[3])) * 0x2545f4914f6cdd1dull + 77),
        count(std::clamp(v[countSlot], 0, kMostShapes)),
        tint{v[redSlot + 2] / 255.0, v[redSlot + 1] / 255.0, v[redSlot] / 255.0},
        randomColours(randomSlot > 0 && v[randomSlot] != 0),
        variation(variationSlot > 0 ? v[variationSlot] / 100.0 : 0.0) {}
  // Fewer shapes when each would cost `pixels` of drawing, so that a run
  // touches at most Budget(w, h) pixels however large its numbers.
  void Limit(double pixels, int32_t w, int32_t h) {
    const double most = Budget(w, h) / std::max(pixels, 1.0);
    if (most < count) count = int32_t(std::max(1.0, most));
  }
  static double Budget(int32_t w, int32_t h) { return 1e6 + 32.0 * w * h; }
  double Unit() { return rnd.Unit(); }
  double Between(double lo, double hi) { return lo + (hi - lo) * rnd.Unit(); }
  // A size varied by up to `percent` downwards.
  double Vary(double size, int32_t percent) { return size * (1.0 - percent / 100.0 * rnd.Unit()); }
  cv::Scalar Colour() {
    double c[3];
    if (randomColours)
      for (double& k : c) k = rnd.Unit();
    else
      for (int i = 0; i < 3; ++i) c[i] = tint[i];
    const double keep = 1.0 - variation * rnd.Unit();
    return cv::Scalar(c[0] * keep * 255, c[1] * keep * 255, c[2] * keep * 255, 255);
  }
};

// The ink picture of a generator, cleared.
cv::Mat NewInk(int32_t w, int32_t h) {
  return cv::Mat(h, w, CV_8UC4, cv::Scalar(0, 0, 0, 0));
}

bool Finish(uint8_t* bgra, const cv::Mat& ink, int32_t w, int32_t h, int32_t style) {
  ComposeInk(bgra, ink.data, w, h, style);
  return true;
}

// A field of values 0..1 per channel (blue, green, red order), tinted, as
// fully covering ink.
void FieldInk(cv::Mat& ink, const float* const fields[3], const int32_t* v, int32_t redSlot) {
  const double tint[3] = {v[redSlot + 2] / 255.0, v[redSlot + 1] / 255.0, v[redSlot] / 255.0};
  const size_t count = size_t(ink.cols) * size_t(ink.rows);
  uint8_t* p = ink.data;
  for (size_t i = 0; i < count; ++i, p += 4) {
    for (int c = 0; c < 3; ++c) p[c] = Clamp8(fields[c][i] * tint[c] * 255.0);
    p[3] = 255;
  }
}

// Stretches a field to 0..1.
void Normalise(std::vector<float>& field) {
  const auto [lo, hi] = std::minmax_element(field.begin(), field.end());
  const float a = *lo, span = *hi - *lo;
  for (float& f : field) f = span > 0 ? (f - a) / span : 0.0f;
}

double Shorter(int32_t w, int32_t h) {
  return std::min(w, h);
}
double Diagonal(int32_t w, int32_t h) {
  return std::hypot(double(w), double(h));
}

// Draws `draw(dx, dy)` once, or with `wrap` nine times shifted by the
// picture's size, so shapes leaving one edge come back at the other.
template <class Draw>
void Tiled(bool wrap, int32_t w, int32_t h, Draw&& draw) {
  if (!wrap) return draw(0.0, 0.0);
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i) draw(double(i * w), double(j * h));
}

}  // namespace

void ComposeInk(uint8_t* bgra, const uint8_t* ink, int32_t w, int32_t h, int32_t style) noexcept {
  const size_t count = size_t(w) * size_t(h);
  double opacity = 1.0;
  if (style >= 14 && style <= 16) opacity = (17 - style) * 0.25, style = 0;
  for (size_t i = 0; i < count; ++i, bgra += 4, ink += 4) {
    if (style == 12 || style == 13) {
      const uint8_t base = style == 12 ? 0 : 255;
      bgra[0] = bgra[1] = bgra[2] = base;
      bgra[3] = 255;
    } else if (style == 17) {
      bgra[0] = bgra[1] = bgra[2] = bgra[3] = 0;
    }
    const double a = ink[3] / 255.0 * opacity;
    if (a <= 0.0) continue;
    double colour[3];
    for (int c = 0; c < 3; ++c) colour[c] = std::min(255.0, ink[c] * 255.0 / ink[3]);
    const double below = bgra[3] / 255.0;
    double blended[3];
    for (int c = 0; c < 3; ++c) {
      const double p = bgra[c], q = colour[c];
      double r = q;
      switch (style) {
        case 1:
          r = p + q;
          break;
        case 2:
          r = p - q;
          break;
        case 3:
          r = p * q / 255.0;
          break;
        case 4:
          r = 255.0 - (255.0 - p) * (255.0 - q) / 255.0;
          break;
        case 5:
          r = std::fabs(p - q);
          break;
        case 6:
          r = std::max(p, q);
          break;
        case 7:
          r = std::min(p, q);
          break;
        case 8:
          r = (p + q) / 2.0;
          break;
        case 9:
          r = p < 128 ? 2 * p * q / 255.0 : 255.0 - 2 * (255.0 - p) * (255.0 - q) / 255.0;
          break;
        case 10:
          r = 255.0 - p;
          break;
        default:
          break;
      }
      blended[c] = std::clamp(r, 0.0, 255.0);
    }
    // Straight alpha: the ink over the picture, or (behind) the picture
    // over the ink.
    const double alpha = a + below * (1.0 - a);
    for (int c = 0; c < 3; ++c) {
      const double p = bgra[c];
      const double mixed = style == 11 ? p * below + blended[c] * a * (1.0 - below)
                                       : blended[c] * a + p * below * (1.0 - a);
      bgra[c] = Clamp8(mixed / alpha);
    }
    bgra[3] = Clamp8(alpha * 255.0);
  }
}

// ---- Filters -------------------------------------------------------------------

// 19: Sobel edges of the luma, white on black. slot 3: strength (0..255,
// 64 is the plain magnitude), slot 4: threshold 0..100 (percent of 255
// below which an edge is dropped), slot 5: percent of the picture kept
// under the edges. Alpha stays.
bool EdgeEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  cv::Mat grey;
  cv::cvtColor(Picture(bgra, w, h), grey, cv::COLOR_BGRA2GRAY);
  cv::Mat dx, dy;
  cv::Sobel(grey, dx, CV_32F, 1, 0, 3, 1, 0, cv::BORDER_REPLICATE);
  cv::Sobel(grey, dy, CV_32F, 0, 1, 3, 1, 0, cv::BORDER_REPLICATE);
  const double gain = v[3] / 64.0 / 4.0, cut = v[4] * 2.55, keep = v[5] / 100.0;
  for (int32_t y = 0; y < h; ++y) {
    const float* a = dx.ptr<float>(y);
    const float* b = dy.ptr<float>(y);
    uint8_t* p = bgra + size_t(y) * size_t(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4) {
      double e = std::hypot(double(a[x]), double(b[x])) * gain;
      if (e < cut) e = 0;
      for (int c = 0; c < 3; ++c) p[c] = Clamp8(e + p[c] * keep);
    }
  }
  return true;
}

namespace {
bool Morphology(uint8_t* bgra, int32_t w, int32_t h, int32_t radius, bool grow) {
  cv::Mat picture = Picture(bgra, w, h);
  const int r = std::clamp(radius, 1, std::max(w, h));
  const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * r + 1, 2 * r + 1));
  if (grow)
    cv::dilate(picture, picture, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  else
    cv::erode(picture, picture, square, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  return picture.data == bgra;
}
}  // namespace

// 25 and 26: the largest (smallest) value of each channel, alpha included,
// within a square of radius slot 3 (1..100): light (dark) areas grow. On a
// premultiplied picture this grows (shrinks) the shapes with their
// coverage.
bool MaximumEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  return Morphology(bgra, w, h, v[3], true);
}
bool MinimumEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  return Morphology(bgra, w, h, v[3], false);
}

// 27: the picture's luma, blurred by slot 4 pixels (1..51), as a relief lit
// from the upper left at 45 degrees; the shading scales the picture's own
// colour (flat areas keep it), slot 3 the depth (1..256), slot 5 a
// brightness shift (-25..25, four grey levels a step). Alpha stays.
bool BumpEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  cv::Mat grey;
  cv::cvtColor(Picture(bgra, w, h), grey, cv::COLOR_BGRA2GRAY);
  cv::Mat heights;
  grey.convertTo(heights, CV_32F, 1.0 / 255.0);
  const double sigma = v[4] / 3.0;
  if (sigma >= 0.5)
    cv::GaussianBlur(heights, heights, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE);
  const double depth = v[3] / 8.0, shift = v[5] * 4.0;
  const double l = std::sqrt(1.0 / 3.0);  // from the upper left, above
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      auto hAt = [&](int32_t xx, int32_t yy) {
        return double(heights.at<float>(std::clamp(yy, 0, h - 1), std::clamp(xx, 0, w - 1)));
      };
      const double nx = -(hAt(x + 1, y) - hAt(x - 1, y)) * depth;
      const double ny = -(hAt(x, y + 1) - hAt(x, y - 1)) * depth;
      const double shade = (-nx * l - ny * l + l) / std::sqrt(nx * nx + ny * ny + 1.0) / l;
      uint8_t* p = bgra + (size_t(y) * size_t(w) + size_t(x)) * 4;
      for (int c = 0; c < 3; ++c) p[c] = Clamp8(p[c] * shade + shift);
    }
  return true;
}

// ---- Shape generators ---------------------------------------------------------------

// 1: straight lines. 4 count, 5 length in thousandths of the diagonal, 6
// angle in degrees, 7 thickness, colour 8..10, 14 style, 15 random colours,
// 16 wrap at the edges, 17 angle variation percent (100: any direction),
// 18 length variation percent.
bool LinesEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 8, 15, 0);
  cv::Mat ink = NewInk(w, h);
  const double length = v[5] / 1000.0 * Diagonal(w, h);
  s.Limit((length + 2) * (std::max(1, v[7]) + 2) * (v[16] ? 2 : 1), w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    const double x = s.Unit() * w, y = s.Unit() * h;
    const double angle = (v[6] + (s.Unit() - 0.5) * 360.0 * v[17] / 100.0) * kPi / 180.0;
    const double half = s.Vary(length, v[18]) / 2;
    const double ex = std::cos(angle) * half, ey = -std::sin(angle) * half;
    const cv::Scalar colour = s.Colour();
    Tiled(v[16] != 0, w, h, [&](double dx, double dy) {
      cv::line(ink, At(x - ex + dx, y - ey + dy), At(x + ex + dx, y + ey + dy), colour,
               std::max(1, v[7]), cv::LINE_AA, kShift);
    });
  }
  return Finish(bgra, ink, w, h, v[14]);
}

// 2: circles. 4 count, 5 radius in thousandths of the shorter side, 7
// outline thickness (0 filled), colour 8..10, 14 style, 15 random colours,
// 16 wrap, 17 colour variation percent, 18 size variation percent.
bool CirclesEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 8, 15, 17);
  cv::Mat ink = NewInk(w, h);
  const double radius = v[5] / 1000.0 * Shorter(w, h);
  s.Limit((v[7] > 0 ? 6.3 * (radius + 1) * (v[7] + 2) : 3.2 * (radius + 1) * (radius + 1)) *
              (v[16] ? 2 : 1),
          w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    const double x = s.Unit() * w, y = s.Unit() * h;
    const double r = std::max(0.5, s.Vary(radius, v[18]));
    const cv::Scalar colour = s.Colour();
    Tiled(v[16] != 0, w, h, [&](double dx, double dy) {
      cv::circle(ink, At(x + dx, y + dy), int(std::lround(r * kOne)), colour,
                 v[7] > 0 ? v[7] : cv::FILLED, cv::LINE_AA, kShift);
    });
  }
  return Finish(bgra, ink, w, h, v[14]);
}

// 3: rectangles. 4 count, 5 width and 6 height in thousandths of the
// picture's, 7 outline thickness (0 filled), colour 8..10, 14 style, 15
// random colours, 16 wrap, 17 colour variation, 18 size variation.
bool RectanglesEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 8, 15, 17);
  cv::Mat ink = NewInk(w, h);
  {
    const double rw = v[5] / 1000.0 * w + 2, rh = v[6] / 1000.0 * h + 2;
    s.Limit((v[7] > 0 ? 2 * (rw + rh) * (v[7] + 2) : rw * rh) * (v[16] ? 2 : 1), w, h);
  }
  for (int32_t i = 0; i < s.count; ++i) {
    const double x = s.Unit() * w, y = s.Unit() * h;
    const double k = s.Vary(1.0, v[18]);
    const double rw = std::max(1.0, v[5] / 1000.0 * w * k),
                 rh = std::max(1.0, v[6] / 1000.0 * h * k);
    const cv::Scalar colour = s.Colour();
    Tiled(v[16] != 0, w, h, [&](double dx, double dy) {
      cv::rectangle(ink, At(x - rw / 2 + dx, y - rh / 2 + dy), At(x + rw / 2 + dx, y + rh / 2 + dy),
                    colour, v[7] > 0 ? v[7] : cv::FILLED, cv::LINE_AA, kShift);
    });
  }
  return Finish(bgra, ink, w, h, v[14]);
}

namespace {
// A Catmull-Rom curve through `points`, as a polyline of sub-pixel points.
std::vector<cv::Point> Curve(const std::vector<cv::Point2d>& p) {
  std::vector<cv::Point> out;
  const size_t n = p.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    const cv::Point2d a = i > 0 ? p[i - 1] : p[i], b = p[i], c = p[i + 1],
                      d = i + 2 < n ? p[i + 2] : p[i + 1];
    const int steps = std::clamp(int(cv::norm(c - b) / 2) + 1, 1, 256);
    for (int k = 0; k < steps; ++k) {
      const double t = double(k) / steps, t2 = t * t, t3 = t2 * t;
      const cv::Point2d q = 0.5 * ((2 * b) + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                                   (-a + 3 * b - 3 * c + d) * t3);
      out.push_back(At(q.x, q.y));
    }
  }
  if (n > 0) out.push_back(At(p[n - 1].x, p[n - 1].y));
  return out;
}
}  // namespace

// 4: smooth curves. 4 count, 5 control points (2..64), 7 extent in
// thousandths of the shorter side, 8 thickness, colour 9..11, 15 style, 16
// random colours, 17 colour variation, 18 size variation.
bool SplinesEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 9, 16, 17);
  cv::Mat ink = NewInk(w, h);
  const double extent = v[7] / 1000.0 * Shorter(w, h);
  const int32_t controls = std::clamp(v[5], 2, 64);
  s.Limit((extent + 2) * controls * (std::max(1, v[8]) + 2), w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    const double x = s.Unit() * w, y = s.Unit() * h, e = s.Vary(extent, v[18]);
    std::vector<cv::Point2d> points;
    for (int32_t k = 0; k < controls; ++k)
      points.emplace_back(x + (s.Unit() - 0.5) * e, y + (s.Unit() - 0.5) * e);
    const std::vector<cv::Point> line = Curve(points);
    cv::polylines(ink, line, false, s.Colour(), std::max(1, v[8]), cv::LINE_AA, kShift);
  }
  return Finish(bgra, ink, w, h, v[15]);
}

// 37: worms, random walks that turn smoothly. 4 count, 5 length in
// thousandths of the diagonal, 6 curl (0..1000: the largest turn per step,
// in thousandths of a half turn), 7 thickness, colour 8..10, 14 style, 15
// random colours, 16 colour variation.
bool WormsEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 8, 15, 16);
  cv::Mat ink = NewInk(w, h);
  const double length = v[5] / 1000.0 * Diagonal(w, h);
  const double step = std::max(1.0, v[7] * 0.5);
  const double curl = v[6] / 1000.0 * kPi;
  s.Limit((std::min(length, 4096 * step) + 2) * (std::max(1, v[7]) + 2), w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    double x = s.Unit() * w, y = s.Unit() * h, angle = s.Unit() * 2 * kPi, turn = 0;
    std::vector<cv::Point> path{At(x, y)};
    const int32_t steps = std::clamp(int32_t(length / step), 1, 4096);
    for (int32_t k = 0; k < steps; ++k) {
      turn = 0.8 * turn + 0.2 * (s.Unit() * 2 - 1) * curl;
      angle += turn;
      x += std::cos(angle) * step, y -= std::sin(angle) * step;
      path.push_back(At(x, y));
    }
    cv::polylines(ink, path, false, s.Colour(), std::max(1, v[7]), cv::LINE_AA, kShift);
  }
  return Finish(bgra, ink, w, h, v[14]);
}

// 59: fibres, long thin strands running down the picture. 4 density
// (strands per 100 pixels of width, 1..1000), 5 length in thousandths of
// the height, 6 thickness, 7 spread of their direction in degrees, colour
// 8..10, 11 colour variation, 12 waviness percent, 16 style.
bool FibersEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  int32_t shapes[20];
  std::memcpy(shapes, v, sizeof shapes);
  shapes[19] = std::clamp(int32_t(int64_t{std::clamp(v[4], 1, 1000)} * w / 100), 1, kMostShapes);
  Shapes s(shapes, 19, 8, 0, 11);
  cv::Mat ink = NewInk(w, h);
  const double length = std::max(2.0, v[5] / 1000.0 * h);
  const double wave = v[12] / 100.0;
  s.Limit((std::min(length, 4096.0) + 2) * (std::max(1, v[6]) + 2), w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    double x = s.Unit() * w, y = s.Unit() * h - length / 2;
    double angle = kPi / 2 + (s.Unit() - 0.5) * v[7] * kPi / 180.0;
    std::vector<cv::Point> path{At(x, y)};
    const int32_t steps = std::clamp(int32_t(length / 4), 1, 1024);
    for (int32_t k = 0; k < steps; ++k) {
      angle += (s.Unit() - 0.5) * wave * 0.5;
      x += std::cos(angle) * 4, y += std::sin(angle) * 4;
      path.push_back(At(x, y));
    }
    cv::polylines(ink, path, false, s.Colour(), std::max(1, v[6]), cv::LINE_AA, kShift);
  }
  return Finish(bgra, ink, w, h, v[16]);
}

namespace {
void Branch(cv::Mat& ink, Shapes& s, double x, double y, double angle, double length,
            double thickness, int32_t depth, int32_t forks, const cv::Scalar& colour) {
  const double ex = x + std::cos(angle) * length, ey = y - std::sin(angle) * length;
  cv::line(ink, At(x, y), At(ex, ey), colour, std::max(1, int(std::lround(thickness))), cv::LINE_AA,
           kShift);
  if (depth <= 1) return;
  for (int32_t k = 0; k < forks; ++k) {
    const double spread = (forks == 1 ? 0.0 : (double(k) / (forks - 1) - 0.5)) * 1.4;
    Branch(ink, s, ex, ey, angle + spread + (s.Unit() - 0.5) * 0.4, length * s.Between(0.6, 0.8),
           thickness * 0.7, depth - 1, forks, colour);
  }
}
}  // namespace

// 58: trees, branching from a trunk upwards. 4 count, 5 trunk length in
// thousandths of the shorter side, 6 branches per fork (1..4), 8 trunk
// thickness, colour 9..11, 15 style, 16 random colours, 17 colour
// variation, 19 levels of branching (1..10; the branches of one tree are
// capped at 100000).
bool TreesEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 9, 16, 17);
  cv::Mat ink = NewInk(w, h);
  const int32_t forks = std::clamp(v[6], 1, 4);
  int32_t depth = std::clamp(v[19], 1, 10);
  while (depth > 1 && std::pow(double(forks), depth) > 100000) --depth;
  const double length = std::max(2.0, v[5] / 1000.0 * Shorter(w, h));
  const double branches = std::pow(double(forks), depth);
  s.Limit(branches * (length + 2) * (std::max(1, v[8]) + 2), w, h);
  const int32_t trees = std::min(s.count, std::max(1, kMostShapes / int32_t(branches)));
  for (int32_t i = 0; i < trees; ++i) {
    const double x = s.Unit() * w, y = h * s.Between(0.5, 1.0);
    Branch(ink, s, x, y, kPi / 2 + (s.Unit() - 0.5) * 0.3, length, std::max(1, v[8]), depth, forks,
           s.Colour());
  }
  return Finish(bgra, ink, w, h, v[15]);
}

// 43: points, round dots. 4 count, 5 radius in pixels (0: a single
// anti-aliased pixel), colour 6..8, 12 style, 13 random colours, 14 size
// variation percent.
bool PointsEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 6, 13, 0);
  cv::Mat ink = NewInk(w, h);
  s.Limit(3.2 * (v[5] + 1.0) * (v[5] + 1.0), w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    const double x = s.Unit() * w, y = s.Unit() * h;
    const double r = std::max(0.5, s.Vary(v[5], v[14]));
    cv::circle(ink, At(x, y), int(std::lround(r * kOne)), s.Colour(), cv::FILLED, cv::LINE_AA,
               kShift);
  }
  return Finish(bgra, ink, w, h, v[12]);
}

// 20: blobs, soft round shapes that merge where they meet (a field of
// Gaussian bumps cut at half height, anti-aliased over one pixel). 4 count,
// 5 size in thousandths of the shorter side, colour 7..9, 13 style, 14
// random colours.
bool BlobsEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  Shapes s(v, 4, 7, 14, 0);
  const double size = std::max(1.0, v[5] / 1000.0 * Shorter(w, h));
  const size_t n = size_t(w) * size_t(h);
  std::vector<float> field(n, 0.0f), colour(n * 3, 0.0f);
  const int32_t reach = int32_t(std::ceil(size * 2));
  s.Limit(4.0 * (reach + 1.0) * (reach + 1.0) * 8, w, h);
  for (int32_t i = 0; i < s.count; ++i) {
    const double cx = s.Unit() * w, cy = s.Unit() * h, r = size * s.Between(0.6, 1.0);
    const cv::Scalar c = s.Colour();
    const int32_t x0 = std::max(0, int32_t(cx) - reach), x1 = std::min(w - 1, int32_t(cx) + reach);
    const int32_t y0 = std::max(0, int32_t(cy) - reach), y1 = std::min(h - 1, int32_t(cy) + reach);
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) {
        const double d2 =
            ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy)) / (r * r);
        const float g = float(std::exp(-d2 * 0.6931471805599453));  // 0.5 at distance r
        const size_t k = size_t(y) * size_t(w) + size_t(x);
        field[k] += g;
        for (int ch = 0; ch < 3; ++ch) colour[3 * k + size_t(ch)] += g * float(c[ch]);
      }
  }
  cv::Mat ink = NewInk(w, h);
  for (size_t k = 0; k < n; ++k) {
    if (field[k] <= 0) continue;
    // Coverage from the level's distance to 0.5, over about one pixel.
    const double cover = std::clamp((field[k] - 0.5) * size * 0.7 + 0.5, 0.0, 1.0);
    uint8_t* p = ink.data + 4 * k;
    for (int ch = 0; ch < 3; ++ch) p[ch] = Clamp8(colour[3 * k + size_t(ch)] / field[k] * cover);
    p[3] = Clamp8(cover * 255);
  }
  return Finish(bgra, ink, w, h, v[13]);
}

// ---- Field generators ---------------------------------------------------------------

// 21: blocky noise, one random value per cell. 4 and 5 the cell's width and
// height in pixels (at least 1), 6 contrast percent (how far values spread
// from the middle grey), colour 7..9, 13 style, 14 colour noise (one value
// per channel).
bool GenerateNoiseEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  SplitMix rnd(uint64_t(uint32_t(v[3])) * 0x9e3779b97f4a7c15ull + 21);
  const int32_t cw = std::max(1, v[4]), ch = std::max(1, v[5]);
  const int32_t gw = (w - 1) / cw + 1, gh = (h - 1) / ch + 1;
  const double spread = v[6] / 100.0;
  std::vector<float> cells(size_t(gw) * size_t(gh) * 3);
  for (size_t i = 0; i < cells.size(); i += 3) {
    const float grey = float(0.5 + (rnd.Unit() - 0.5) * spread);
    for (size_t c = 0; c < 3; ++c)
      cells[i + c] = v[14] ? float(0.5 + (rnd.Unit() - 0.5) * spread) : grey;
  }
  std::vector<float> fields[3];
  for (auto& f : fields) f.resize(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t cell = (size_t(y / ch) * size_t(gw) + size_t(x / cw)) * 3;
      for (size_t c = 0; c < 3; ++c)
        fields[c][size_t(y) * size_t(w) + size_t(x)] = cells[cell + 2 - c];
    }
  cv::Mat ink = NewInk(w, h);
  const float* const planes[3] = {fields[0].data(), fields[1].data(), fields[2].data()};
  FieldInk(ink, planes, v, 7);
  return Finish(bgra, ink, w, h, v[13]);
}

// 24: sine plasma, sums of sine waves. 3 and 4 the waves across and down
// (0..33), 5 phase (0..250 for a whole turn), 6 twist (0..250: how much
// the waves bend each other), colour 7..9 (each channel a third of a turn
// apart), 13 style.
bool SinePlasmaEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  const double fx = 2 * kPi * std::max(0, v[3]) / w, fy = 2 * kPi * std::max(0, v[4]) / h;
  const double phase = v[5] / 250.0 * 2 * kPi, twist = v[6] / 250.0 * 4;
  std::vector<float> fields[3];
  for (auto& f : fields) f.resize(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double a = std::sin(x * fx + phase), b = std::sin(y * fy + phase * 0.5);
      const double s = a + b + std::sin((x * fx + y * fy) * 0.5 + twist * a * b);
      for (int c = 0; c < 3; ++c)
        fields[c][size_t(y) * size_t(w) + size_t(x)] =
            float(0.5 + 0.5 * std::sin(s * kPi / 3 + (2 - c) * 2 * kPi / 3));
    }
  cv::Mat ink = NewInk(w, h);
  const float* const planes[3] = {fields[0].data(), fields[1].data(), fields[2].data()};
  FieldInk(ink, planes, v, 7);
  return Finish(bgra, ink, w, h, v[13]);
}

// 55: fractal plasma, ridged gradient noise (one minus the absolute value
// of each octave, summed): veined, marble-like clouds that tile. 3 seed,
// colour 4..6, 10 style, 11 grey (one field for all channels).
bool FractalPlasmaEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  std::vector<float> fields[3];
  const bool grey = v[11] != 0;
  const int32_t larger = std::max(w, h);
  const int32_t cx = std::max(1, int32_t(std::lround(3.0 * w / larger)));
  const int32_t cy = std::max(1, int32_t(std::lround(3.0 * h / larger)));
  std::vector<float> octave(size_t(w) * size_t(h));
  for (int c = 0; c < 3; ++c) {
    if (grey && c > 0) {
      fields[c] = fields[0];
      continue;
    }
    fields[c].assign(octave.size(), 0.0f);
    float amplitude = 1.0f;
    for (int32_t o = 0; o < 6; ++o, amplitude *= 0.5f) {
      noise::PerlinField(octave.data(), w, h,
                         uint64_t(uint32_t(v[3])) * 131 + uint64_t(c) * 17 + uint64_t(o), cx << o,
                         cy << o, 1, 1.0f);
      for (size_t i = 0; i < octave.size(); ++i)
        fields[c][i] += amplitude * (1.0f - std::fabs(octave[i]));
    }
    Normalise(fields[c]);
  }
  cv::Mat ink = NewInk(w, h);
  const float* const planes[3] = {fields[0].data(), fields[1].data(), fields[2].data()};
  FieldInk(ink, planes, v, 4);
  return Finish(bgra, ink, w, h, v[10]);
}

// 42: repeating patterns. 3 and 4 the cell's width and height in pixels
// (2..), 5 line thickness, 6 kind (0 checks, 1 stripes, 2 grid, 3 dots, 4
// diamonds, 5 bricks), 10 style, 11 row shift percent, 12 turn in percent of
// a right angle, 13 inverted. White ink; edges anti-aliased by 4 x 4
// samples per pixel.
bool PatternEffect(uint8_t* bgra, int32_t w, int32_t h, const int32_t* v) {
  const double cw = std::max(2, v[3]), ch = std::max(2, v[4]);
  const double line = std::max(1, v[5]);
  const int32_t kind = std::clamp(v[6], 0, 5);
  const double shift = v[11] / 100.0;
  const double turn = v[12] / 100.0 * kPi / 2;
  const double ct = std::cos(turn), st = std::sin(turn);
  auto inside = [&](double px, double py) {
    const double x = px * ct + py * st, y = -px * st + py * ct;
    const double row = std::floor(y / ch);
    const double sx = x + (kind == 5 ? 0.5 * std::fmod(std::fabs(row), 2.0) : shift * row) * cw;
    const double u = sx / cw - std::floor(sx / cw), t = y / ch - std::floor(y / ch);
    switch (kind) {
      case 0:
        return (int64_t(std::floor(sx / cw)) + int64_t(row)) % 2 == 0;
      case 1:
        return u * cw < line;
      case 2:
      case 5:
        return u * cw < line || t * ch < line;
      case 3:
        return std::hypot((u - 0.5) * cw, (t - 0.5) * ch) < std::min(cw, ch) * 0.5 - line * 0.5;
      default:
        return std::fabs(u - 0.5) + std::fabs(t - 0.5) < 0.5 - line / std::max(cw, ch);
    }
  };
  cv::Mat ink = NewInk(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int32_t hits = 0;
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) hits += inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4) ? 1 : 0;
      if (v[13]) hits = 16 - hits;
      uint8_t* p = ink.data + (size_t(y) * size_t(w) + size_t(x)) * 4;
      p[0] = p[1] = p[2] = p[3] = Clamp8(hits * 255.0 / 16.0);
    }
  return Finish(bgra, ink, w, h, v[10]);
}

}  // namespace dro::platform::effects::detail
