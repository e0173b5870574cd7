#include "color/conversions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace dro::color {
namespace {

// Back to an 8-bit channel: x 255, truncated toward zero.
int32_t ToChannel(double unit) noexcept {
  return static_cast<int32_t>(unit * 255.0);
}

// c / 255.0 for a channel, looked up: the same doubles without a division
// per channel. Values outside 0..255 are divided as written.
double Unit(int32_t c) noexcept {
  static const auto table = [] {
    std::array<double, 256> t{};
    for (int32_t v = 0; v < 256; ++v) t[size_t(v)] = v / 255.0;
    return t;
  }();
  return c >= 0 && c < 256 ? table[size_t(c)] : c / 255.0;
}

}  // namespace

void RgbToHsv(int32_t r, int32_t g, int32_t b, double& h, double& s, double& v) noexcept {
  const double rf = Unit(r);
  const double gf = Unit(g);
  const double bf = Unit(b);
  const double max = std::max({rf, gf, bf});
  const double min = std::min({rf, gf, bf});
  v = max;
  if (max == min) {
    h = -1.0;
    s = 0.0;
    return;
  }
  const double delta = max - min;
  s = delta / max;
  // Ties take the first maximum in the order r, g, b.
  if (rf == max) {
    h = (gf - bf) / delta;
  } else if (gf == max) {
    h = 2.0 + (bf - rf) / delta;
  } else {
    h = 4.0 + (rf - gf) / delta;
  }
  h *= 60.0;
  if (h < 0.0) h += 360.0;
}

void HsvToRgb(double h, double s, double v, int32_t& r, int32_t& g, int32_t& b) noexcept {
  if (s == 0.0) {
    r = g = b = ToChannel(v);
    return;
  }
  if (h == 360.0) h = 0.0;
  const double sector = h / 60.0;
  const double i = std::floor(sector);
  const double f = sector - i;
  const double p = v * (1.0 - s);
  const double q = v * (1.0 - s * f);
  const double t = v * (1.0 - s * (1.0 - f));
  double rf, gf, bf;
  // A hue outside 0..360 gives a sector outside 0..5; it paints as sector 1.
  const int32_t index = (i >= 0.0 && i <= 5.0) ? static_cast<int32_t>(i) : 1;
  switch (index) {
    case 0:
      rf = v, gf = t, bf = p;
      break;
    case 2:
      rf = p, gf = v, bf = t;
      break;
    case 3:
      rf = p, gf = q, bf = v;
      break;
    case 4:
      rf = t, gf = p, bf = v;
      break;
    case 5:
      rf = v, gf = p, bf = q;
      break;
    default:
      rf = q, gf = v, bf = p;
      break;
  }
  r = ToChannel(rf);
  g = ToChannel(gf);
  b = ToChannel(bf);
}

void RgbToHsl(int32_t r, int32_t g, int32_t b, double& h, double& s, double& l) noexcept {
  const double rf = Unit(r);
  const double gf = Unit(g);
  const double bf = Unit(b);
  const double max = std::max({rf, gf, bf});
  const double min = std::min({rf, gf, bf});
  l = (max + min) / 2.0;
  if (max == min) {
    h = 0.0;
    s = 0.0;
    return;
  }
  const double delta = max - min;
  s = l < 0.5 ? delta / (max + min) : delta / (2.0 - max - min);
  // Each hue term needs the distances of the two other channels only.
  auto d = [&](double c) { return ((max - c) / 6.0 + delta / 2.0) / delta; };
  if (rf == max) {
    h = d(bf) - d(gf);
  } else if (gf == max) {
    h = 1.0 / 3.0 + d(rf) - d(bf);
  } else {
    h = 2.0 / 3.0 + d(gf) - d(rf);
  }
  if (h < 0.0) h += 1.0;
  if (h > 1.0) h -= 1.0;
  h *= 360.0;
}

namespace {

// One channel of HslToRgb: the hue brought into range once, then the
// piecewise ramp between low and high.
int32_t HslPart(double low, double high, double x) noexcept {
  if (x > 360.0) {
    x -= 360.0;
  } else if (x < 0.0) {
    x += 360.0;
  }
  double value;
  if (x < 60.0) {
    value = low + (high - low) * x / 60.0;
  } else if (x < 180.0) {
    value = high;
  } else if (x < 240.0) {
    value = low + (high - low) * (240.0 - x) / 60.0;
  } else {
    value = low;
  }
  return static_cast<int32_t>(255.0 * value);
}

}  // namespace

void HslToRgb(double h, double s, double l, int32_t& r, int32_t& g, int32_t& b) noexcept {
  if (s == 0.0) {
    r = g = b = static_cast<int32_t>(l * 255.0);
    return;
  }
  const double high = l < 0.5 ? l * (1.0 + s) : l + s - l * s;
  const double low = 2.0 * l - high;
  r = HslPart(low, high, h + 120.0);
  g = HslPart(low, high, h);
  b = HslPart(low, high, h - 120.0);
}

namespace {

double Linearise(int32_t channel) noexcept {
  const double c = channel / 255.0;
  const double linear = c > 0.04045 ? std::pow((c + 0.055) / 1.055, 2.4) : c / 12.92;
  return linear * 100.0;
}

double NotNegative(double v) noexcept {
  return v < 0.0 ? 0.0 : v;
}

double LabForward(double t) noexcept {
  return t > 0.008856 ? std::pow(t, 1.0 / 3.0) : 7.787 * t + 16.0 / 116.0;
}

double LabInverse(double f) noexcept {
  const double cube = f * f * f;
  return cube > 0.008856 ? cube : (f - 16.0 / 116.0) / 7.787;
}

int32_t Compand(double v) noexcept {
  v = v > 0.0031308 ? 1.055 * std::pow(v, 1.0 / 2.4) - 0.055 : 12.92 * v;
  return std::clamp(ToChannel(v), 0, 255);
}

}  // namespace

void RgbToXyz(int32_t r, int32_t g, int32_t b, double& x, double& y, double& z) noexcept {
  const double rl = Linearise(r);
  const double gl = Linearise(g);
  const double bl = Linearise(b);
  x = NotNegative(0.4124 * rl + 0.3576 * gl + 0.1805 * bl);
  y = NotNegative(0.2126 * rl + 0.7152 * gl + 0.0722 * bl);
  z = NotNegative(0.0193 * rl + 0.1192 * gl + 0.9505 * bl);
}

void XyzToLab(double x, double y, double z, double& l, double& a, double& bStar) noexcept {
  const double fx = LabForward(x / 95.047);
  const double fy = LabForward(y / 100.0);
  const double fz = LabForward(z / 108.883);
  l = 116.0 * fy - 16.0;
  a = 500.0 * (fx - fy);
  bStar = 200.0 * (fy - fz);
}

void LabToXyz(double l, double a, double bStar, double& x, double& y, double& z) noexcept {
  const double fy = (l + 16.0) / 116.0;
  const double fx = fy + a / 500.0;
  const double fz = fy - bStar / 200.0;
  x = NotNegative(95.047 * LabInverse(fx));
  y = NotNegative(100.0 * LabInverse(fy));
  z = NotNegative(108.883 * LabInverse(fz));
}

void XyzToRgb(double x, double y, double z, int32_t& r, int32_t& g, int32_t& b) noexcept {
  x /= 100.0;
  y /= 100.0;
  z /= 100.0;
  r = Compand(3.2406 * x - 1.5372 * y - 0.4986 * z);
  g = Compand(-0.9689 * x + 1.8758 * y + 0.0415 * z);
  b = Compand(0.0557 * x - 0.2040 * y + 1.0570 * z);
}

void LabToRgb(double l, double a, double bStar, int32_t& r, int32_t& g, int32_t& b) noexcept {
  double x, y, z;
  LabToXyz(l, a, bStar, x, y, z);
  XyzToRgb(x, y, z, r, g, b);
}

namespace {

// Compand() steps from k - 1 to k at thresholds[k - 1] (k = 1..255): the
// least double v >= 0 with Compand(v) >= k, found by bisection over the
// ordered bit patterns of non-negative doubles. Compand is non-decreasing
// (pow is within an ulp of the true, increasing function), which the table
// checks 64 doubles to each side of every threshold before it is used.
struct CompandSteps {
  double thresholds[255];
  bool usable = true;

  CompandSteps() noexcept {
    for (int32_t k = 1; k <= 255; ++k) {
      uint64_t lo = std::bit_cast<uint64_t>(0.0), hi = std::bit_cast<uint64_t>(2.0);
      while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        (Compand(std::bit_cast<double>(mid)) >= k ? hi : lo) = mid;
      }
      thresholds[k - 1] = std::bit_cast<double>(hi);
      for (uint64_t i = 1; i <= 64 && usable; ++i) {
        usable = Compand(std::bit_cast<double>(hi + i)) >= k &&
                 (hi - i > hi || Compand(std::bit_cast<double>(hi - i)) < k);
      }
    }
  }
  int32_t operator()(double v) const noexcept {
    if (!usable || !(v >= 0.0) || v >= 2.0) return Compand(v);
    return static_cast<int32_t>(std::upper_bound(thresholds, thresholds + 255, v) - thresholds);
  }
};

const CompandSteps& Steps() noexcept {
  static const CompandSteps steps;
  return steps;
}

const double* LinearTable() noexcept {
  static const auto table = [] {
    std::array<double, 256> t{};
    for (int32_t c = 0; c < 256; ++c) t[size_t(c)] = Linearise(c);
    return t;
  }();
  return table.data();
}

}  // namespace

LabShift::LabShift(double dl, double da, double db) noexcept
    : dl_(dl), da_(da), db_(db), linear_(LinearTable()) {
  Steps();
}

void LabShift::Apply(int32_t r, int32_t g, int32_t b, int32_t& rOut, int32_t& gOut,
                     int32_t& bOut) const noexcept {
  // RgbToXyz
  const double rl = linear_[r & 255], gl = linear_[g & 255], bl = linear_[b & 255];
  const double x = NotNegative(0.4124 * rl + 0.3576 * gl + 0.1805 * bl);
  const double y = NotNegative(0.2126 * rl + 0.7152 * gl + 0.0722 * bl);
  const double z = NotNegative(0.0193 * rl + 0.1192 * gl + 0.9505 * bl);
  double l, a, bStar;
  XyzToLab(x, y, z, l, a, bStar);
  double x2, y2, z2;
  LabToXyz(l + dl_, a + da_, bStar + db_, x2, y2, z2);
  // XyzToRgb
  x2 /= 100.0;
  y2 /= 100.0;
  z2 /= 100.0;
  const CompandSteps& steps = Steps();
  rOut = steps(3.2406 * x2 - 1.5372 * y2 - 0.4986 * z2);
  gOut = steps(-0.9689 * x2 + 1.8758 * y2 + 0.0415 * z2);
  bOut = steps(0.0557 * x2 - 0.2040 * y2 + 1.0570 * z2);
}

void CmyToCmyk(double c, double m, double y, double& cOut, double& mOut, double& yOut,
               double& k) noexcept {
  k = std::min({1.0, c, m, y});
  if (k == 1.0) {
    cOut = mOut = yOut = 0.0;
    return;
  }
  cOut = (c - k) / (1.0 - k);
  mOut = (m - k) / (1.0 - k);
  yOut = (y - k) / (1.0 - k);
}

void CmykToRgb(double c, double m, double y, double k, int32_t& r, int32_t& g,
               int32_t& b) noexcept {
  r = ToChannel(1.0 - (k + (1.0 - k) * c));
  g = ToChannel(1.0 - (k + (1.0 - k) * m));
  b = ToChannel(1.0 - (k + (1.0 - k) * y));
}

namespace {

double Unit(double v) noexcept {
  return std::clamp(v, 0.0, 1.0);
}

// Shifts a hue by whole degrees, wrapping once (exactly 360 stays 360).
double ShiftHue(double hue, int32_t shift) noexcept {
  hue += shift;
  if (hue > 360.0) {
    hue -= 360.0;
  } else if (hue < 0.0) {
    hue += 360.0;
  }
  return hue;
}

bool ValidBuffer(const uint8_t* rgba, int32_t width, int32_t height) noexcept {
  return rgba && width > 0 && height > 0;
}

}  // namespace

namespace {

// Shifts the hue and moves saturation and the third component (lightness or
// value) of every pixel, through one of the two hue models. Grey (hue -1)
// stays grey whatever the saturation change; HSL never reports -1, so there
// grey takes the shifted hue and a saturation increase tints it.
template <auto ToModel, auto FromModel>
void AdjustBuffer(uint8_t* rgba, int32_t width, int32_t height, int32_t hueShift,
                  int32_t saturationPercent, int32_t thirdPercent) noexcept {
  if (!ValidBuffer(rgba, width, height)) return;
  const int64_t count = int64_t{width} * height;
  for (int64_t i = 0; i < count; ++i) {
    uint8_t* p = rgba + i * 4;
    double h, s, third;
    ToModel(p[0], p[1], p[2], h, s, third);
    if (h != -1.0) {
      h = ShiftHue(h, hueShift);
      s = Unit(s + saturationPercent * 0.01);
    } else {
      h = 0.0;
      s = 0.0;
    }
    third = Unit(third + thirdPercent * 0.01);
    int32_t r, g, b;
    FromModel(h, s, third, r, g, b);
    p[0] = static_cast<uint8_t>(r);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(b);
  }
}

}  // namespace

void AdjustBufferHsl(uint8_t* rgba, int32_t width, int32_t height, int32_t hueShift,
                     int32_t saturationPercent, int32_t lightnessPercent) noexcept {
  AdjustBuffer<RgbToHsl, HslToRgb>(rgba, width, height, hueShift, saturationPercent,
                                   lightnessPercent);
}

void AdjustBufferHsv(uint8_t* rgba, int32_t width, int32_t height, int32_t hueShift,
                     int32_t saturationPercent, int32_t valuePercent) noexcept {
  AdjustBuffer<RgbToHsv, HsvToRgb>(rgba, width, height, hueShift, saturationPercent, valuePercent);
}

}  // namespace dro::color
