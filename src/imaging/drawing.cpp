#include "imaging/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "base/allocation.h"
#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/numeric.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "composite/texture.h"
#include "imaging/free_color.h"
#include "imaging/mask_shapes.h"
#include "imaging/native_filters.h"
#include "imaging/work_buffers.h"
#include "mask/mask_ops.h"
#include "platform/effect_script.h"
#include "platform/image_fill.h"
#include "platform/image_library.h"

namespace dro::imaging {
namespace {

namespace img = platform::image;

constexpr int32_t kCoordinateLimit = 1 << 24;
constexpr int32_t kScriptSideLimit = 10000;

int32_t Coordinate(int32_t v) noexcept {
  return std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
}

uint8_t Low(int32_t v) noexcept {
  return static_cast<uint8_t>(v & 0xFF);
}

int32_t OpacityOf(int32_t percent) noexcept {
  return ClampInt(SaturateToInt32(percent * 2.559), 0, 255);
}

// Releases a work buffer however the operation ends.
struct ReleaseSource32 {
  ~ReleaseSource32() { FreeSource32(); }
};
struct ReleaseDestination32 {
  ~ReleaseDestination32() { FreeDestination32(); }
};

// Clears the destination to (r, g, b, 0), lets `draw` lay the shape, and
// merges it when the drawing succeeded.
template <class Draw>
void DrawShape(Operation operation, int32_t r, int32_t g, int32_t b, int32_t opacityPercent,
               Draw&& draw) noexcept {
  Guard(operation, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels()) return;
    AllocDestination32();
    ReleaseDestination32 release;
    uint8_t* dst = Destination32();
    if (!dst) return;
    const uint8_t clear[4] = {Low(r), Low(g), Low(b), 0};
    const size_t count = size_t(c.width) * size_t(c.height);
    for (size_t i = 0; i < count; ++i) std::memcpy(dst + i * 4, clear, 4);
    const img::ByteColor color{Low(r), Low(g), Low(b), 255};
    if (draw(dst, c.width, c.height, color))
      MergeDestination(composite::kModeNormal, OpacityOf(opacityPercent));
  });
}

// Sets the marked pixels of a tight canvas-size RGBA32 picture to `color`.
void PaintMarked(uint8_t* rgba, const uint8_t* plane, size_t count, img::ByteColor color) noexcept {
  const uint8_t bytes[4] = {color.r, color.g, color.b, color.a};
  for (size_t i = 0; i < count; ++i)
    if (plane[i]) std::memcpy(rgba + i * 4, bytes, 4);
}

void Marked(bool ok) {
  if (!ok) throw std::bad_alloc();
}

enum class FillMode {
  kPaintNonConnected,
  kEraseNonConnected,
  kPaintConnected,
  kEraseConnected,
  kPaintAlphaConnected,
  kPaintAlphaNonConnected,
  kNone,
};

FillMode FindFillMode(const char* name) noexcept {
  struct Entry {
    const char* name;
    FillMode mode;
  };
  static constexpr Entry kModes[] = {
      {"Paint Non-connected", FillMode::kPaintNonConnected},
      {"Erase Non-connected", FillMode::kEraseNonConnected},
      {"Paint Connected", FillMode::kPaintConnected},
      {"Erase Connected", FillMode::kEraseConnected},
      {"Paint Alpha Connected", FillMode::kPaintAlphaConnected},
      {"Paint Alpha Non-Connected", FillMode::kPaintAlphaNonConnected},
  };
  if (!name) return FillMode::kNone;
  for (const Entry& e : kModes)
    if (std::strcmp(name, e.name) == 0) return e.mode;
  return FillMode::kNone;
}

// The colour no pixel of the source uses, at alpha 0: what erased pixels
// keep, so the erased area never shares a colour with a kept one.
img::ByteColor ErasedColor(const uint8_t* source, size_t count) {
  const uint32_t free = FindFreeColor(source, count).value_or(256u);
  return img::ByteColor{Low(int32_t(free)), Low(int32_t(free >> 8)), Low(int32_t(free >> 16)), 0};
}

// Runs one mode on the filled source; true when the source is to be loaded.
bool RunFillMode(FillMode mode, const CanvasGeometry& c, uint8_t* source, int32_t x, int32_t y,
                 int32_t tolerance, img::ByteColor fill) {
  const int32_t w = c.width, h = c.height;
  const size_t count = size_t(w) * size_t(h);
  const int32_t limit = SaturateToInt32(tolerance * 0.00002 * 195075);
  const int32_t slot = composite::Layers().currentIndex;
  const uint8_t* clicked = source + (int64_t{y} * w + x) * 4;
  const img::ByteColor key{clicked[0], clicked[1], clicked[2], clicked[3]};
  const img::ByteColor opaque{fill.r, fill.g, fill.b, 255};
  // The background has no transparency to erase to: erasing paints there.
  if (slot == 1 && mode == FillMode::kEraseNonConnected) mode = FillMode::kPaintNonConnected;
  if (slot == 1 && mode == FillMode::kEraseConnected) mode = FillMode::kPaintConnected;
  switch (mode) {
    case FillMode::kPaintNonConnected:
      return img::ReplaceColor(source, w, h, 4, w * 4, key, fill, limit, img::AlphaWrite::kKeep);
    case FillMode::kEraseNonConnected:
    case FillMode::kPaintConnected:
    case FillMode::kEraseConnected: {
      Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(w, h));
      if (mode == FillMode::kEraseNonConnected) {
        Marked(img::MarkColorMatches(source, w, h, 4, w * 4, key, limit, plane.data(), w));
      } else {
        Marked(img::MarkConnectedMatches(source, w, h, 4, w * 4, x, y, limit, plane.data(), w));
      }
      PaintMarked(source, plane.data(), count,
                  mode == FillMode::kPaintConnected ? opaque : ErasedColor(source, count));
      return true;
    }
    case FillMode::kPaintAlphaConnected: {
      if (slot <= 1) return false;
      Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(w, h));
      Buffer<uint8_t> alpha = Buffer<uint8_t>::Make(CheckedCount(int64_t{w} * 3, h));
      composite::GetRgb24FromAlpha(composite::CurrentOnCanvas(), alpha.data(), w * 3);
      Marked(img::MarkConnectedMatches(alpha.data(), w, h, 3, w * 3, x, y, limit, plane.data(), w));
      PaintMarked(source, plane.data(), count, opaque);
      return true;
    }
    case FillMode::kPaintAlphaNonConnected: {
      const int32_t a = composite::GetChannel64(x, y, composite::Channel::kAlpha);
      mask::ReplaceAlphaRange(source, a >> 8, tolerance / 500, fill.r, fill.g, fill.b, 255);
      return true;
    }
    case FillMode::kNone:
      break;
  }
  return false;
}

}  // namespace

DrawBox RectangleBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) noexcept {
  x1 = Coordinate(x1), y1 = Coordinate(y1), x2 = Coordinate(x2), y2 = Coordinate(y2);
  DrawBox box;
  if (x1 < x2) {
    box.left = x1, box.right = x2 - 1;
  } else {
    box.left = x2 + 1, box.right = x1;
  }
  box.top = std::min(y1, y2);
  box.bottom = std::max(y1, y2);
  return box;
}

void Rectangle(int32_t r, int32_t g, int32_t b, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int32_t opacityPercent) noexcept {
  const DrawBox box = RectangleBox(x1, y1, x2, y2);
  DrawShape(Operation::kIplRectangle, r, g, b, opacityPercent,
            [&](uint8_t* dst, int32_t w, int32_t h, img::ByteColor color) {
              return img::FillTransparentRect(dst, w, h, 4, w * 4, box.left, box.top, box.right,
                                              box.bottom, color, 1.0);
            });
}

void Ellipse(int32_t r, int32_t g, int32_t b, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
             int32_t opacityPercent) noexcept {
  const DrawBox box = RectangleBox(x1, y1, x2, y2);
  // Coordinates are within +-2^24, so the differences fit easily.
  const int32_t rx = std::max((box.right - box.left) / 2, 2);
  const int32_t ry = std::max((box.bottom - box.top) / 2, 2);
  DrawShape(Operation::kIplEllipse, r, g, b, opacityPercent,
            [&](uint8_t* dst, int32_t w, int32_t h, img::ByteColor color) {
              return img::FillEllipseAA(dst, w, h, w * 4, int64_t{box.left} + rx,
                                        int64_t{box.top} + ry, rx, ry, color);
            });
}

int32_t GradientStops(const StopArgs& colors, int32_t count,
                      platform::image::GradientStop stops[4]) noexcept {
  count = std::clamp(count, 0, 4);
  auto color = [&](int32_t i, uint8_t alpha) {
    return img::ByteColor{Low(colors.rgb[i][0]), Low(colors.rgb[i][1]), Low(colors.rgb[i][2]),
                          alpha};
  };
  if (count < 2) {
    stops[0] = {color(0, count == 0 ? 255 : 0), 0.0};
    stops[1] = {color(0, count == 0 ? 0 : 255), 100.0};
    return 2;
  }
  const int32_t step = 100 / (count - 1);
  for (int32_t i = 0; i < count; ++i) stops[i] = {color(i, 0), double(i * step)};
  return count;
}

void Gradient(const StopArgs& colors, int32_t count, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              const char* kind) noexcept {
  Guard(Operation::kIplGradient, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels()) return;
    img::GradientStop stops[4];
    const int32_t n = GradientStops(colors, count, stops);
    x1 = Coordinate(x1), y1 = Coordinate(y1), x2 = Coordinate(x2), y2 = Coordinate(y2);
    AllocDestination32();
    ReleaseDestination32 release;
    uint8_t* dst = Destination32();
    if (!dst) return;
    bool ok;
    if (kind && std::strcmp(kind, "Linear") == 0) {
      ok = img::FillGradientLinear(dst, c.width, c.height, c.width * 4, x1, y1, x2, y2, stops, n);
    } else {
      const double dx = double(x2) - x1, dy = double(y2) - y1;
      const double radius = std::fabs(double(SaturateToInt32(std::sqrt(dy * dy + dx * dx))));
      ok = img::FillGradientRadial(dst, c.width, c.height, c.width * 4, x1, y1, radius, stops, n);
    }
    if (!ok) return;
    composite::InvertAlphaRgba32(dst);
    MergeDestination();
  });
}

void FloodFill(int32_t r, int32_t g, int32_t b, int32_t x, int32_t y, int32_t tolerance,
               const char* mode) noexcept {
  Guard(Operation::kIplFloodFill, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels() || x < 0 || y < 0 || x >= c.width || y >= c.height) {
      if (c.HasPixels() && DiagnosticsOn())
        Diagnose("DRO_IPLFloodFill", "point (%d, %d) outside the %d x %d canvas; nothing filled", x,
                 y, c.width, c.height);
      return;
    }
    // An unknown mode fills nothing, but the work buffer goes all the same.
    if (FindFillMode(mode) == FillMode::kNone && DiagnosticsOn())
      Diagnose("DRO_IPLFloodFill", "fill mode \"%s\" unknown; nothing filled",
               mode ? mode : "(null)");
    AllocSource32();
    ReleaseSource32 release;
    uint8_t* source = Source32();
    if (!source) return;
    const img::ByteColor fill{Low(r), Low(g), Low(b), 0};
    if (RunFillMode(FindFillMode(mode), c, source, x, y, tolerance, fill)) LoadRgba32Result(source);
  });
}

void DisplacementBump(const char* path, double strength, int32_t fill) noexcept {
  Guard(Operation::kIplDisplacementBump, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels()) return;
    const int32_t w = c.width, h = c.height;
    Buffer<uint8_t> texture = Buffer<uint8_t>::Make(CheckedCount(int64_t{w} * 4, h));
    std::memset(texture.data(), 0, texture.size());
    if (path) {
      platform::effects::Session session;
      platform::effects::ScriptHeader header;
      if (session.ready() && session.LoadScriptFromFile(path)) {
        session.InitBuffers();
        const bool sized = session.ReadScriptHeaderFromFile(path, header) && header.width() >= 1 &&
                           header.width() <= kScriptSideLimit && header.height() >= 1 &&
                           header.height() <= kScriptSideLimit;
        if (sized) {
          const int32_t pw = header.width(), ph = header.height();
          Buffer<uint8_t> picture = Buffer<uint8_t>::Make(CheckedCount(int64_t{pw} * 4, ph));
          if (session.ExecuteScript(picture.data(), pw, ph)) {
            img::RgbaToBgra(picture.data(), pw, ph, pw * 4);
            for (int32_t ty = 0; ty < h; ty += ph)
              for (int32_t tx = 0; tx < w; tx += pw)
                img::OverlayImage(texture.data(), w, h, 4, w * 4, picture.data(), pw, ph, pw * 4,
                                  tx, ty, 1.0, 0);
            composite::SetRgba32Alpha(texture.data(), w, h, 255);
          }
        }
      }
    }
    Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(w, h));
    uint8_t* source = Source32();
    uint8_t* destination = Destination32();
    if (!source || !destination) return;
    if (!img::ImageToGray8(texture.data(), w, h, 4, w * 4, plane.data(), w)) return;
    if (!img::BumpDisplacement(source, w, h, w * 4, destination, w * 4, plane.data(), w, h,
                               static_cast<float>(ClampDouble(strength, -1e6, 1e6)),
                               static_cast<uint32_t>(fill)))
      return;
    composite::AdjustRgba32PostFilter(destination, w, h);
    LoadRgba32Result(destination);
  });
}

double SaturationFactor(double percent) noexcept {
  return percent > 50 ? (percent - 50) * 0.02 * 2 + 1 : percent * 0.02 * 3 - 2;
}

int32_t PhotoPop(int32_t amount, double saturation, int32_t extra) noexcept {
  return Guard(Operation::kIplPhotoPop, 0, [&]() -> int32_t {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels()) return 0;
    const int32_t w = c.width, h = c.height;
    AllocSource24();
    AllocDestination24();
    {
      struct Release24 {
        ~Release24() {
          FreeSource24();
          FreeDestination24();
        }
      } release;
      if (Source24() && Destination24() &&
          img::SharpenImage(Source24(), w, h, w * 3, Destination24(), w * 3, 5, 7))
        LoadRgb24Result(Destination24());
    }
    auto contrast = [&](int32_t value) {
      NativeFilterArgs args;
      args.name = "Hyper Contrast";
      args.values[0] = value;
      if (RunNativeFilter(args) == 1) {
        LoadRgba32Result(Destination32());
        UpdateSource32();
      }
    };
    if (Low(extra) == 1) contrast(1);
    contrast(amount);
    UpdateSource32();
    uint8_t* source = Source32();
    if (!source) return 0;
    if (!img::ModifySaturation(source, w, h, 4, w * 4, SaturationFactor(saturation))) return 0;
    return LoadRgba32Result(source) ? 1 : 0;
  });
}

void BlurMoreBufferRgb24(uint8_t* rgb, int32_t width, int32_t height, int32_t radius,
                         int32_t weight) noexcept {
  Guard(Operation::kBlurMoreBuffer, [&] {
    if (!rgb || width <= 0 || height <= 0) return;
    const size_t bytes = CheckedCount(int64_t{width} * 3, height);
    Buffer<uint8_t> temporary = Buffer<uint8_t>::Make(bytes);
    std::memcpy(temporary.data(), rgb, bytes);
    if (img::BlurRgb(temporary.data(), width, height, width * 3, radius / 5,
                     static_cast<float>(weight * 0.01)))
      std::memcpy(rgb, temporary.data(), bytes);
  });
}

}  // namespace dro::imaging
