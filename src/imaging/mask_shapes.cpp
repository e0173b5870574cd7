#include "imaging/mask_shapes.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/allocation.h"
#include "base/canvas_state.h"
#include "base/guard.h"
#include "base/numeric.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "imaging/work_buffers.h"
#include "mask/mask_ops.h"
#include "mask/mask_state.h"
#include "platform/image_fill.h"

namespace dro::imaging {
namespace {

namespace img = platform::image;

constexpr int32_t kMaxTolerance = 50000;  // 100 % at 500 per percent

// The canvas when it has pixels and a mask to draw on.
const CanvasGeometry* MaskCanvas() noexcept {
  const CanvasGeometry& c = Geometry();
  return c.HasPixels() && mask::CanvasValues() ? &c : nullptr;
}

// Saves the mask as grey, lets `draw` fill the shape into the picture with
// the grey s, and loads the picture back when the drawing succeeded.
template <class Draw>
void DrawShape(Operation operation, int32_t percent, Draw&& draw) noexcept {
  Guard(operation, [&] {
    const CanvasGeometry* c = MaskCanvas();
    if (!c) return;
    const int32_t stride = c->width * 3;  // canvas sides are at most 10000
    Buffer<uint8_t> grey = Buffer<uint8_t>::Make(CheckedCount(int64_t{c->width} * 3, c->height));
    mask::SaveAsGrey(grey.data(), stride);
    const auto s = static_cast<uint8_t>(ShapeStrength(percent));
    if (draw(grey.data(), c->width, c->height, stride, img::ByteColor{s, s, s, s}))
      mask::LoadFromGrey(grey.data(), stride, c->width, c->height);
  });
}

enum class WandMode {
  kNonConnected,
  kColorRange,
  kLuminanceRange,
  kHueRange,
  kHslRange,
  kConnected,
  kAlphaConnected,
  kAlphaNonConnected,
  kNone,
};

WandMode FindWandMode(const char* name) noexcept {
  struct Entry {
    const char* name;
    WandMode mode;
  };
  static constexpr Entry kModes[] = {
      {"Non-connected", WandMode::kNonConnected},
      {"Color Range", WandMode::kColorRange},
      {"Luminance Range", WandMode::kLuminanceRange},
      {"Hue Range", WandMode::kHueRange},
      {"HSL Range", WandMode::kHslRange},
      {"Connected", WandMode::kConnected},
      {"Alpha Connected", WandMode::kAlphaConnected},
      {"Alpha Non-connected", WandMode::kAlphaNonConnected},
  };
  if (!name) return WandMode::kNone;
  for (const Entry& e : kModes)
    if (std::strcmp(name, e.name) == 0) return e.mode;
  return WandMode::kNone;
}

// The selections are given valid canvas-size pictures and a click on them,
// so the only way they fail is an allocation: reported like any other.
void Marked(bool ok) {
  if (!ok) throw std::bad_alloc();
}

// Runs one mode on the filled source; `plane` is the canvas-size scratch
// plane. The key-colour modes mark their pixels in the plane and close
// exactly those: no colour has to be free in the picture for that.
void RunWandMode(WandMode mode, const CanvasGeometry& c, const uint8_t* source, uint8_t* plane,
                 int32_t x, int32_t y, int32_t tolerance, int32_t s) {
  const int32_t w = c.width, h = c.height;
  const uint8_t* clicked = source + (int64_t{y} * w + x) * 4;
  const img::ByteColor color{clicked[0], clicked[1], clicked[2], clicked[3]};
  const int32_t limit = SaturateToInt32(tolerance * 0.00002 * 195075);
  const int32_t percent = tolerance / 500;
  const double fraction = tolerance * 0.00002;
  switch (mode) {
    case WandMode::kNonConnected:
      Marked(img::MarkColorMatches(source, w, h, 4, w * 4, color, limit, plane, w));
      mask::FromFloodFlags(plane, s);
      break;
    case WandMode::kConnected:
      Marked(img::MarkConnectedMatches(source, w, h, 4, w * 4, x, y, limit, plane, w));
      mask::FromFloodFlags(plane, s);
      break;
    case WandMode::kColorRange:
      mask::FromColorRange(source, color.r, color.g, color.b, percent, s);
      break;
    case WandMode::kLuminanceRange:
      mask::FromLuminanceRange(source, color.r, color.g, color.b, percent, s);
      break;
    case WandMode::kHueRange:
      mask::FromHueRange(source, color.r, color.g, color.b, percent, s);
      break;
    case WandMode::kHslRange:
      mask::FromHslRange(source, color.r, color.g, color.b, fraction, fraction, fraction, s);
      break;
    case WandMode::kAlphaConnected: {
      // The background (slot 1) and the trace layer (0) have no alpha of
      // their own to select by.
      if (composite::Layers().currentIndex <= 1) break;
      Buffer<uint8_t> alpha = Buffer<uint8_t>::Make(CheckedCount(int64_t{w} * 3, h));
      composite::GetRgb24FromAlpha(composite::CurrentOnCanvas(), alpha.data(), w * 3);
      Marked(img::MarkConnectedMatches(alpha.data(), w, h, 3, w * 3, x, y, limit, plane, w));
      mask::FromFloodFlags(plane, s);
      break;
    }
    case WandMode::kAlphaNonConnected:
      mask::FromAlphaRange(source, color.a, percent, s);
      break;
    case WandMode::kNone:
      break;
  }
}

}  // namespace

int32_t ShapeStrength(int32_t percent) noexcept {
  return SaturateToInt32(ClampInt(percent, 0, 100) * 2.559);
}

void MaskEllipse(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t percent) noexcept {
  DrawShape(Operation::kIplMaskEllipse, percent,
            [&](uint8_t* grey, int32_t w, int32_t h, int32_t stride, img::ByteColor g) {
              // 64-bit: the corners may lie a whole int32 range apart.
              const int64_t left = std::min(x0, x1), top = std::min(y0, y1);
              const int64_t rx = std::max<int64_t>((int64_t{std::max(x0, x1)} - left) / 2, 2);
              const int64_t ry = std::max<int64_t>((int64_t{std::max(y0, y1)} - top) / 2, 2);
              return img::FillEllipse(grey, w, h, 3, stride, left + rx, top + ry, rx, ry, g, 1.0);
            });
}

void MaskRectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t percent) noexcept {
  DrawShape(Operation::kIplMaskRectangle, percent,
            [&](uint8_t* grey, int32_t w, int32_t h, int32_t stride, img::ByteColor g) {
              return img::FillTransparentRect(grey, w, h, 3, stride, std::min(x0, x1),
                                              std::min(y0, y1), std::max(x0, x1), std::max(y0, y1),
                                              g, 1.0);
            });
}

void MaskWand(int32_t x, int32_t y, int32_t tolerance, int32_t percent, const char* mode) noexcept {
  Guard(Operation::kIplMaskWand, [&] {
    const CanvasGeometry* c = MaskCanvas();
    // A click off the canvas on any side, negative positions included,
    // selects nothing; so does a current layer the source cannot be made of.
    if (!c || x < 0 || y < 0 || x >= c->width || y >= c->height) return;
    if (!composite::CurrentCanvasLayer()) return;
    Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(c->width, c->height));
    AllocSource32();
    // Released however the mode ends.
    struct SourceRelease {
      ~SourceRelease() { FreeSource32(); }
    } release;
    if (const uint8_t* source = Source32()) {
      RunWandMode(FindWandMode(mode), *c, source, plane.data(), x, y,
                  ClampInt(tolerance, 0, kMaxTolerance), ShapeStrength(percent));
    }
  });
}

void ColorFromFlags(uint8_t* rgba32, const uint8_t* flags, int32_t r, int32_t g, int32_t b,
                    int32_t a) noexcept {
  const CanvasGeometry& c = Geometry();
  if (!c.HasPixels() || !rgba32 || !flags) return;
  const uint8_t color[4] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                            static_cast<uint8_t>(b), static_cast<uint8_t>(a)};
  const int64_t count = int64_t{c.width} * c.height;
  for (int64_t i = 0; i < count; ++i) {
    if (flags[i] == 1) std::memcpy(rgba32 + i * 4, color, 4);
  }
}

}  // namespace dro::imaging
