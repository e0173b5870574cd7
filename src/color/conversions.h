// Conversions between 8-bit RGB and HSV, HSL, CIE XYZ, CIE L*a*b* and CMYK.
//
// All arithmetic is double precision; every way back to 8-bit channels
// multiplies by 255 and truncates toward zero, so a round trip can come back
// one step lower in a channel. Results are pinned bit for bit by the mask
// ranges, the native filters and the scripts, so the formulas below are kept
// exactly as they are, including their quirks (grey has hue -1 in HSV but 0
// in HSL; a hue of exactly 360 counts as 0).
#pragma once

#include <cstdint>

namespace dro::color {

// Hue in degrees 0..360 (-1 for grey), saturation and value 0..1.
void RgbToHsv(int32_t r, int32_t g, int32_t b, double& h, double& s, double& v) noexcept;
void HsvToRgb(double h, double s, double v, int32_t& r, int32_t& g, int32_t& b) noexcept;

// Hue in degrees 0..360 (0 for grey), saturation and lightness 0..1.
void RgbToHsl(int32_t r, int32_t g, int32_t b, double& h, double& s, double& l) noexcept;
void HslToRgb(double h, double s, double l, int32_t& r, int32_t& g, int32_t& b) noexcept;

// X, Y, Z on a 0..100 scale (Y = 100 for white); negatives become 0.
void RgbToXyz(int32_t r, int32_t g, int32_t b, double& x, double& y, double& z) noexcept;
// L*a*b* against the D65 white (95.047, 100, 108.883).
void XyzToLab(double x, double y, double z, double& l, double& a, double& bStar) noexcept;
void LabToXyz(double l, double a, double bStar, double& x, double& y, double& z) noexcept;
// Channels clamped to 0..255.
void XyzToRgb(double x, double y, double z, int32_t& r, int32_t& g, int32_t& b) noexcept;
void LabToRgb(double l, double a, double bStar, int32_t& r, int32_t& g, int32_t& b) noexcept;

// Shifts of L*, a* and b* applied to many pixels: the same arithmetic as
// RgbToXyz, XyzToLab, the additions and LabToRgb, bit for bit, with the
// per-channel linearisation read from a table and the companding back to
// 8 bits found among the 255 input thresholds where the channel steps up
// (found once per process and checked; without that check's success the
// companding runs as written).
class LabShift {
 public:
  LabShift(double dl, double da, double db) noexcept;
  void Apply(int32_t r, int32_t g, int32_t b, int32_t& rOut, int32_t& gOut,
             int32_t& bOut) const noexcept;

 private:
  double dl_, da_, db_;
  const double* linear_;
};

// c, m, y are already inverted channels (c = 1 - R / 255 ...); all 0..1.
void CmyToCmyk(double c, double m, double y, double& cOut, double& mOut, double& yOut,
               double& k) noexcept;
void CmykToRgb(double c, double m, double y, double k, int32_t& r, int32_t& g, int32_t& b) noexcept;

// Hue, saturation and lightness (or value) shifts over a tight RGBA32
// buffer; alpha stays. The shift is in whole degrees, the two others in
// percent. Nothing happens for a null buffer or a non-positive size.
void AdjustBufferHsl(uint8_t* rgba, int32_t width, int32_t height, int32_t hueShift,
                     int32_t saturationPercent, int32_t lightnessPercent) noexcept;
void AdjustBufferHsv(uint8_t* rgba, int32_t width, int32_t height, int32_t hueShift,
                     int32_t saturationPercent, int32_t valuePercent) noexcept;

}  // namespace dro::color
