// The mask buffer's operations: overlay options, invert and clear, grey
// pictures in and out, conversions between the mask and the current layer,
// and the creators that close pixels by colour, alpha, luminance, hue, HSL,
// flood results or differences.
//
// Grey pictures of the mask show an open pixel dark and a closed one light:
// grey 0 stands for 65535, grey 255 for 0. Host RGBA32 and RGB24 buffers are
// canvas-size and tight unless a stride is given. Without a canvas every
// operation does nothing (and returns 0 where it returns a value).
#pragma once

#include <cstdint>

namespace dro::mask {

// Whether the mask limits painting and loads; the values stay either way.
// `where`, on the operations that take host buffers, names the export whose
// arguments they are, for the diagnostics (null for the engine's own calls).
void Enable(uint8_t flag) noexcept;

void SetOptions(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2,
                int32_t full) noexcept;

void Invert() noexcept;
// mean = (r + g + b) / 3: 65535 when mean <= 255 (unsigned), else the low 16
// bits of 65280 - mean.
void Clear(int32_t r, int32_t g, int32_t b) noexcept;

// The mask as a grey RGB24 picture: R = G = B = 255 - v / 256.
void SaveAsGrey(uint8_t* rgb24, int32_t stride, const char* where = nullptr) noexcept;
// A grey RGB24 picture of w x h pixels into the mask's top-left corner,
// clipped to the canvas: a = ((R + G + B) / 3) x 256; 65535 when a is 0,
// else 65280 - a.
void LoadFromGrey(const uint8_t* rgb24, int32_t stride, int32_t w, int32_t h,
                  const char* where = nullptr) noexcept;

void ImageFromMask() noexcept;
void AlphaFromMask() noexcept;
void MaskFromAlpha() noexcept;
void MaskFromImage() noexcept;

// The value creators write into matching pixels (strength s: (255 - s) x
// 256); the others keep their value, so successive calls add up.
uint16_t StrengthValue(int32_t strength) noexcept;
// Tolerance percent on the 0..255 scale: trunc(t x 2.56).
int32_t ToleranceLevel(int32_t percent) noexcept;

void FromDiff(const uint8_t* imageA, const uint8_t* imageB, int32_t value,
              const char* where = nullptr) noexcept;
void FromColor(const uint8_t* image, int32_t bytesPerPixel, int32_t r, int32_t g, int32_t b,
               int32_t strength, const char* where = nullptr) noexcept;
void FromColorRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                    int32_t strength, const char* where = nullptr) noexcept;
void FromAlphaRange(const uint8_t* rgba32, int32_t a, int32_t tolerance, int32_t strength,
                    const char* where = nullptr) noexcept;
void FromLuminanceRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                        int32_t strength, const char* where = nullptr) noexcept;
void FromHueRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                  int32_t strength, const char* where = nullptr) noexcept;
void FromHslRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, double hueTolerance,
                  double saturationTolerance, double lightnessTolerance, int32_t strength,
                  const char* where = nullptr) noexcept;
void FromFloodFlags(const uint8_t* flags, int32_t strength, const char* where = nullptr) noexcept;

// Whether hue h is within `limit` degrees of h0, also across 0/360; each
// difference is truncated to whole degrees first.
bool HueWithin(double h, double h0, double limit) noexcept;

// Scales the alpha of an RGBA32 buffer whose first pixel is canvas pixel
// (x0, y0) by the mask over the inclusive rectangle, clipped to the canvas:
// k = v / 256; alpha 0 where k = 0, kept where k = 255, else alpha x (k + 1)
// / 256.
void ApplyToAlphaRect(uint8_t* rgba32, int32_t stride, int32_t x0, int32_t y0, int32_t x1,
                      int32_t y1, const char* where = nullptr) noexcept;
void ApplyToAlpha(uint8_t* rgba32, const char* where = nullptr) noexcept;

// Pixels whose alpha lies within the tolerance of a become (r, g, b, newA).
void ReplaceAlphaRange(uint8_t* rgba32, int32_t a, int32_t tolerance, int32_t r, int32_t g,
                       int32_t b, int32_t newA, const char* where = nullptr) noexcept;

// The whole mask out or in; the byte count copied, 0 without a canvas.
int32_t CopyOut(void* dst, const char* where = nullptr) noexcept;
int32_t CopyIn(const void* src, const char* where = nullptr) noexcept;

}  // namespace dro::mask
