// Pixel accessors of the RGBA32 work buffers, shared by the native filters
// and the script pixel API.
//
// A PixelAccess reads from one canvas-size tight RGBA32 buffer and writes to
// another (or the same one, when a filter must see its own writes).
// Contract, for integer positions (x, y):
//   1. Outside 0..width-1, 0..height-1 a read gives 0 in every channel and a
//      write does nothing.
//   2. Value(x, y) = (R + G + B) / 3, integer division.
//   3. Integer writes clamp each channel to 0..255; fraction writes clamp to
//      0..1, then x 255 truncated; RGB writes leave alpha as it is in the
//      write buffer.
//   4. WriteHsl clamps h to 0..359 and s, l to 0..1 before HslToRgb;
//      WriteLab goes through LabToRgb (whose channels are clamped).
//   5. Mix(a, b, w) = trunc((1 - w) a + w b).
// Positions index with 64-bit offsets, so no product overflows.
#pragma once

#include <cstdint>

#include "base/numeric.h"
#include "color/conversions.h"

namespace dro::imaging {

struct Rgba {
  int32_t r = 0, g = 0, b = 0, a = 0;
};

// 5.
inline int32_t Mix(int32_t a, int32_t b, double w) noexcept {
  return SaturateToInt32((1.0 - w) * a + w * b);
}

struct PixelAccess {
  const uint8_t* read = nullptr;
  uint8_t* write = nullptr;
  int32_t width = 0;
  int32_t height = 0;

  bool Inside(int32_t x, int32_t y) const noexcept {
    return x >= 0 && y >= 0 && x < width && y < height;
  }
  int64_t Offset(int32_t x, int32_t y) const noexcept { return (int64_t{y} * width + x) * 4; }
  const uint8_t* ReadAt(int32_t x, int32_t y) const noexcept { return read + Offset(x, y); }
  uint8_t* WriteAt(int32_t x, int32_t y) const noexcept { return write + Offset(x, y); }

  // 1, 2.
  int32_t Value(int32_t x, int32_t y) const noexcept {
    if (!Inside(x, y)) return 0;
    const uint8_t* p = ReadAt(x, y);
    return (p[0] + p[1] + p[2]) / 3;
  }
  Rgba ReadRgba(int32_t x, int32_t y) const noexcept {
    if (!Inside(x, y)) return {};
    const uint8_t* p = ReadAt(x, y);
    return {p[0], p[1], p[2], p[3]};
  }
  void ReadFractions(int32_t x, int32_t y, double out[4]) const noexcept {
    const Rgba p = ReadRgba(x, y);
    out[0] = p.r / 255.0;
    out[1] = p.g / 255.0;
    out[2] = p.b / 255.0;
    out[3] = p.a / 255.0;
  }

  // 3.
  static uint8_t Clamp255(int32_t v) noexcept {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  static uint8_t FromFraction(double v) noexcept {
    return static_cast<uint8_t>(static_cast<int32_t>(ClampDouble(v, 0.0, 1.0) * 255.0));
  }
  void WriteRgb(int32_t x, int32_t y, int32_t r, int32_t g, int32_t b) const noexcept {
    if (!Inside(x, y)) return;
    uint8_t* p = WriteAt(x, y);
    p[0] = Clamp255(r);
    p[1] = Clamp255(g);
    p[2] = Clamp255(b);
  }
  void WriteRgba(int32_t x, int32_t y, const Rgba& c) const noexcept {
    if (!Inside(x, y)) return;
    uint8_t* p = WriteAt(x, y);
    p[0] = Clamp255(c.r);
    p[1] = Clamp255(c.g);
    p[2] = Clamp255(c.b);
    p[3] = Clamp255(c.a);
  }
  void WriteAlpha(int32_t x, int32_t y, int32_t a) const noexcept {
    if (Inside(x, y)) WriteAt(x, y)[3] = Clamp255(a);
  }
  void WriteFractions(int32_t x, int32_t y, const double c[4]) const noexcept {
    if (!Inside(x, y)) return;
    uint8_t* p = WriteAt(x, y);
    for (int i = 0; i < 4; ++i) p[i] = FromFraction(c[i]);
  }

  // 4.
  void ReadHsl(int32_t x, int32_t y, double& h, double& s, double& l) const noexcept {
    const Rgba p = ReadRgba(x, y);
    color::RgbToHsl(p.r, p.g, p.b, h, s, l);
  }
  void WriteHsl(int32_t x, int32_t y, double h, double s, double l) const noexcept {
    if (!Inside(x, y)) return;
    int32_t r, g, b;
    color::HslToRgb(ClampDouble(h, 0.0, 359.0), ClampDouble(s, 0.0, 1.0), ClampDouble(l, 0.0, 1.0),
                    r, g, b);
    WriteRgb(x, y, r, g, b);
  }
  void ReadLab(int32_t x, int32_t y, double& l, double& a, double& b) const noexcept {
    const Rgba p = ReadRgba(x, y);
    double cx, cy, cz;
    color::RgbToXyz(p.r, p.g, p.b, cx, cy, cz);
    color::XyzToLab(cx, cy, cz, l, a, b);
  }
  void WriteLab(int32_t x, int32_t y, double l, double a, double b) const noexcept {
    if (!Inside(x, y)) return;
    int32_t r, g, bl;
    color::LabToRgb(l, a, b, r, g, bl);
    WriteRgb(x, y, r, g, bl);
  }
};

}  // namespace dro::imaging
