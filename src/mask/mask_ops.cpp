#include "mask/mask_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/pixel.h"
#include "base/rect_clip.h"
#include "base/thread_pool.h"
#include "color/conversions.h"
#include "composite/pixel_transfers.h"
#include "mask/mask_state.h"

namespace dro::mask {
namespace {

constexpr uint32_t kOpen = 65535;

struct CanvasMask {
  Mask16* values = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int64_t count() const noexcept { return int64_t{width} * height; }
  explicit operator bool() const noexcept { return values != nullptr; }
};

CanvasMask Mask() noexcept {
  const CanvasGeometry& geometry = Geometry();
  return CanvasMask{dro::mask::CanvasValues(), geometry.width, geometry.height};
}

// True when there is a mask and the host's buffer; otherwise says which is
// missing under `where` (null: silently).
bool Usable(const char* where, const CanvasMask& m, const void* buffer, const char* what) noexcept {
  if (m && buffer) return true;
  if (where && DiagnosticsOn()) {
    if (!m) {
      Diagnose(where, "no mask (DRO_CreateImage makes it); nothing done");
    } else {
      Diagnose(where, "%s is null; nothing done", what);
    }
  }
  return false;
}

// Says why host rows `stride` bytes apart were refused.
void DiagnoseStride(const char* where, int64_t stride, int64_t rowBytes) noexcept {
  if (where && DiagnosticsOn())
    Diagnose(where, "row stride %lld bytes below the %lld a row needs; nothing done",
             static_cast<long long>(stride), static_cast<long long>(rowBytes));
}

// Runs `test` on every pixel of a tight canvas-size host buffer and writes
// `value` where it passes. Bands of pixels are tested at once, so the test
// must depend on nothing but the pixel it is given.
template <class Test>
void CloseWhere(const uint8_t* image, int32_t bytesPerPixel, uint16_t value, const char* where,
                Test&& test) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, image, "picture")) return;
  threads::ForPixels(m.count(), [&](int64_t begin, int64_t end) noexcept {
    const uint8_t* px = image + begin * bytesPerPixel;
    for (int64_t i = begin; i < end; ++i, px += bytesPerPixel) {
      if (test(px)) m.values[i] = value;
    }
  });
}

int32_t Mean3(int32_t a, int32_t b, int32_t c) noexcept {
  return (a + b + c) / 3;
}

// |a - b| <= t without overflow for any host argument.
bool Near(int32_t a, int32_t b, int32_t t) noexcept {
  return std::llabs(int64_t{a} - b) <= t;
}

}  // namespace

void Enable(uint8_t flag) noexcept {
  State().enabled = flag;
}

void SetOptions(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2,
                int32_t full) noexcept {
  MaskOverlay& o = State().overlay;
  o.color1 = {WidenLowByte(r1), WidenLowByte(g1), WidenLowByte(b1)};
  o.color2 = {WidenLowByte(r2), WidenLowByte(g2), WidenLowByte(b2)};
  o.fullStrength = static_cast<uint8_t>(full);
}

void Invert() noexcept {
  const CanvasMask m = Mask();
  if (!m) return;
  threads::ForPixels(m.count(), [&](int64_t begin, int64_t end) noexcept {
    for (int64_t i = begin; i < end; ++i) m.values[i] = static_cast<Mask16>(kOpen - m.values[i]);
  });
}

void Clear(int32_t r, int32_t g, int32_t b) noexcept {
  const CanvasMask m = Mask();
  if (!m) return;
  const int64_t mean = (int64_t{r} + g + b) / 3;
  const Mask16 value = static_cast<uint32_t>(mean) <= 255u
                           ? static_cast<Mask16>(kOpen)
                           : static_cast<Mask16>(static_cast<uint32_t>(65280 - mean));
  std::fill_n(m.values, m.count(), value);
}

void SaveAsGrey(uint8_t* rgb24, int32_t stride, const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, rgb24, "buffer")) return;
  if (stride < int64_t{m.width} * 3) {
    DiagnoseStride(where, stride, int64_t{m.width} * 3);
    return;
  }
  threads::ForEachRow(0, m.height, m.width, [&](int32_t y) noexcept {
    const Mask16* in = m.values + int64_t{y} * m.width;
    uint8_t* out = rgb24 + int64_t{y} * stride;
    for (int32_t x = 0; x < m.width; ++x, out += 3) {
      out[0] = out[1] = out[2] = static_cast<uint8_t>(255 - (in[x] >> 8));
    }
  });
}

void LoadFromGrey(const uint8_t* rgb24, int32_t stride, int32_t w, int32_t h,
                  const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, rgb24, "picture")) return;
  if (w <= 0 || h <= 0) {
    if (where && DiagnosticsOn()) Diagnose(where, "size %d x %d is empty; nothing done", w, h);
    return;
  }
  if (stride < int64_t{w} * 3) {
    DiagnoseStride(where, stride, int64_t{w} * 3);
    return;
  }
  // The picture's own w x h rows are read; only what lies on the canvas.
  const int32_t cols = std::min(w, m.width);
  const int32_t rows = std::min(h, m.height);
  threads::ForEachRow(0, rows, cols, [&](int32_t y) noexcept {
    const uint8_t* in = rgb24 + int64_t{y} * stride;
    Mask16* out = m.values + int64_t{y} * m.width;
    for (int32_t x = 0; x < cols; ++x, in += 3) {
      const int32_t a = Mean3(in[0], in[1], in[2]) * 256;
      out[x] = a < 255 ? static_cast<Mask16>(kOpen) : static_cast<Mask16>(65280 - a);
    }
  });
}

namespace {
// Runs `step(pixel, maskValue)` over the current layer's canvas part.
template <class Step>
void WithCurrentLayer(Step&& step) noexcept {
  const CanvasMask m = Mask();
  const Plane layer = composite::CurrentOnCanvas();
  if (!m || !layer) return;
  threads::ForEachRow(0, layer.height, layer.width, [&](int32_t y) noexcept {
    Pixel64* row = layer.Row(y);
    Mask16* values = m.values + int64_t{y} * m.width;
    for (int32_t x = 0; x < layer.width; ++x) step(row[x], values[x]);
  });
}
}  // namespace

void ImageFromMask() noexcept {
  WithCurrentLayer([](Pixel64& p, Mask16& v) {
    const uint16_t grey = static_cast<uint16_t>(std::min<uint32_t>(kOpen - v, 65280));
    p = Pixel64{grey, grey, grey, 65535};
  });
}

void AlphaFromMask() noexcept {
  WithCurrentLayer([](Pixel64& p, Mask16& v) { p.a = v; });
}

void MaskFromAlpha() noexcept {
  WithCurrentLayer([](Pixel64& p, Mask16& v) { v = p.a; });
}

void MaskFromImage() noexcept {
  WithCurrentLayer([](Pixel64& p, Mask16& v) {
    const int32_t b = Mean3(p.r, p.g, p.b);
    v = b >= 65281 ? 0 : b < 256 ? static_cast<Mask16>(kOpen) : static_cast<Mask16>(65280 - b);
  });
}

uint16_t StrengthValue(int32_t strength) noexcept {
  return static_cast<uint16_t>((255 - std::clamp(strength, 0, 255)) * 256);
}

int32_t ToleranceLevel(int32_t percent) noexcept {
  // Beyond +-1000 % nothing changes (everything or nothing matches); the
  // clamp keeps the conversion from double defined.
  return static_cast<int32_t>(std::clamp(percent, -1000, 1000) * 2.56);
}

void FromDiff(const uint8_t* imageA, const uint8_t* imageB, int32_t value,
              const char* where) noexcept {
  if (!imageB) {
    if (where && DiagnosticsOn()) Diagnose(where, "second picture is null; nothing done");
    return;
  }
  // Pixels are tested in bands at once, so the test finds its partner by
  // position rather than by walking along.
  CloseWhere(imageA, 4, static_cast<uint16_t>(value), where,
             [=](const uint8_t* a) { return std::memcmp(a, imageB + (a - imageA), 4) != 0; });
}

void FromColor(const uint8_t* image, int32_t bytesPerPixel, int32_t r, int32_t g, int32_t b,
               int32_t strength, const char* where) noexcept {
  CloseWhere(image, bytesPerPixel, StrengthValue(strength), where,
             [=](const uint8_t* p) { return p[0] == r && p[1] == g && p[2] == b; });
}

void FromColorRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                    int32_t strength, const char* where) noexcept {
  const int32_t t = ToleranceLevel(tolerance);
  CloseWhere(rgba32, 4, StrengthValue(strength), where, [=](const uint8_t* p) {
    return Near(p[0], r, t) && Near(p[1], g, t) && Near(p[2], b, t);
  });
}

void FromAlphaRange(const uint8_t* rgba32, int32_t a, int32_t tolerance, int32_t strength,
                    const char* where) noexcept {
  const int32_t t = ToleranceLevel(tolerance);
  CloseWhere(rgba32, 4, StrengthValue(strength), where,
             [=](const uint8_t* p) { return Near(p[3], a, t); });
}

void FromLuminanceRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                        int32_t strength, const char* where) noexcept {
  const int32_t t = ToleranceLevel(tolerance);
  const int32_t reference = static_cast<int32_t>((int64_t{r} + g + b) / 3);
  CloseWhere(rgba32, 4, StrengthValue(strength), where,
             [=](const uint8_t* p) { return Near(Mean3(p[0], p[1], p[2]), reference, t); });
}

bool HueWithin(double h, double h0, double limit) noexcept {
  return std::fabs(std::trunc(h - h0)) <= limit ||
         std::fabs(std::trunc(h - (h0 - 360.0))) <= limit ||
         std::fabs(std::trunc(h - 360.0 - h0)) <= limit;
}

void FromHueRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, int32_t tolerance,
                  int32_t strength, const char* where) noexcept {
  const double limit = static_cast<int32_t>(std::clamp(tolerance, -1000, 1000) * 1.8);
  double h0, s0, v0;
  color::RgbToHsv(r, g, b, h0, s0, v0);
  CloseWhere(rgba32, 4, StrengthValue(strength), where, [=](const uint8_t* p) {
    double h, s, v;
    color::RgbToHsv(p[0], p[1], p[2], h, s, v);
    return HueWithin(h, h0, limit);
  });
}

void FromHslRange(const uint8_t* rgba32, int32_t r, int32_t g, int32_t b, double hueTolerance,
                  double saturationTolerance, double lightnessTolerance, int32_t strength,
                  const char* where) noexcept {
  const double limit = hueTolerance * 180.0;
  double h0, s0, l0;
  color::RgbToHsl(r, g, b, h0, s0, l0);
  CloseWhere(rgba32, 4, StrengthValue(strength), where, [=](const uint8_t* p) {
    double h, s, l;
    color::RgbToHsl(p[0], p[1], p[2], h, s, l);
    return HueWithin(h, h0, limit) && std::fabs(s - s0) <= saturationTolerance &&
           std::fabs(l - l0) <= lightnessTolerance;
  });
}

void FromFloodFlags(const uint8_t* flags, int32_t strength, const char* where) noexcept {
  CloseWhere(flags, 1, StrengthValue(strength), where, [](const uint8_t* f) { return *f == 1; });
}

void ApplyToAlphaRect(uint8_t* rgba32, int32_t stride, int32_t x0, int32_t y0, int32_t x1,
                      int32_t y1, const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, rgba32, "picture")) return;
  if (x1 < x0 || y1 < y0) {
    if (where && DiagnosticsOn())
      Diagnose(where, "rectangle (%d, %d)..(%d, %d) is empty; nothing done", x0, y0, x1, y1);
    return;
  }
  if (stride < (int64_t{x1} - x0 + 1) * 4) {
    DiagnoseStride(where, stride, (int64_t{x1} - x0 + 1) * 4);
    return;
  }
  const ClippedRect r =
      ClipRect(x0, y0, int64_t{x1} - x0 + 1, int64_t{y1} - y0 + 1, m.width, m.height);
  threads::ForEachRow(static_cast<int32_t>(r.y0), static_cast<int32_t>(r.y1), r.width(),
                      [&](int32_t y) noexcept {
                        uint8_t* row = rgba32 + (int64_t{y} - y0) * stride;
                        const Mask16* values = m.values + int64_t{y} * m.width;
                        for (int64_t x = r.x0; x < r.x1; ++x) {
                          uint8_t& alpha = row[(int64_t{x} - x0) * 4 + 3];
                          const int32_t k = values[x] >> 8;
                          if (k == 0) {
                            alpha = 0;
                          } else if (k != 255) {
                            alpha = static_cast<uint8_t>(alpha * (k + 1) / 256);
                          }
                        }
                      });
}

void ApplyToAlpha(uint8_t* rgba32, const char* where) noexcept {
  const CanvasGeometry& geometry = Geometry();
  ApplyToAlphaRect(rgba32, geometry.width * 4, 0, 0, geometry.width - 1, geometry.height - 1,
                   where);
}

void ReplaceAlphaRange(uint8_t* rgba32, int32_t a, int32_t tolerance, int32_t r, int32_t g,
                       int32_t b, int32_t newA, const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, rgba32, "picture")) return;
  const int32_t t = ToleranceLevel(tolerance);
  const uint8_t color[4] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                            static_cast<uint8_t>(b), static_cast<uint8_t>(newA)};
  threads::ForPixels(m.count(), [&](int64_t begin, int64_t end) noexcept {
    for (int64_t i = begin; i < end; ++i) {
      if (Near(rgba32[i * 4 + 3], a, t)) std::memcpy(rgba32 + i * 4, color, 4);
    }
  });
}

int32_t CopyOut(void* dst, const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, dst, "destination buffer")) return 0;
  const size_t bytes = static_cast<size_t>(m.count()) * sizeof(Mask16);
  std::memcpy(dst, m.values, bytes);
  return static_cast<int32_t>(bytes);
}

int32_t CopyIn(const void* src, const char* where) noexcept {
  const CanvasMask m = Mask();
  if (!Usable(where, m, src, "source buffer")) return 0;
  const size_t bytes = static_cast<size_t>(m.count()) * sizeof(Mask16);
  std::memcpy(m.values, src, bytes);
  return static_cast<int32_t>(bytes);
}

}  // namespace dro::mask
