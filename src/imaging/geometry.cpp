// Whole-document geometry (geometry.h): the stack walk with its
// all-or-nothing rebuild, the per-layer pixel work, the pan and the push.
#include "imaging/geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "composite/blend_modes.h"
#include "composite/layers.h"
#include "composite/texture.h"
#include "composite/texture_rule.h"
#include "history/undo_store.h"
#include "imaging/kernel_resampler.h"
#include "imaging/seam_carving.h"
#include "imaging/work_buffers.h"
#include "mask/mask_state.h"
#include "platform/image_geometry.h"
#include "platform/image_library.h"

namespace dro::imaging {
namespace {

using composite::LayerRecord;
namespace img = platform::image;

bool SideAllowed(int64_t side) noexcept {
  return side >= 1 && side <= kMaxGeometrySide;
}

// True for a new size of 1..kMaxGeometrySide a side; otherwise says so.
bool SizeAllowed(const char* where, int64_t width, int64_t height) noexcept {
  if (SideAllowed(width) && SideAllowed(height)) return true;
  if (DiagnosticsOn())
    Diagnose(where, "size %lld x %lld outside 1..%d a side; nothing done",
             static_cast<long long>(width), static_cast<long long>(height), kMaxGeometrySide);
  return false;
}

// A layer's new pixels and size; no pixels: the layer stays as it is.
struct Rebuilt {
  Buffer<Pixel64> pixels;
  int32_t width = 0;
  int32_t height = 0;
};

// Layers whose pixels changed: the texture map follows a texture layer
// that is not current, and the back buffer a current layer that got new
// pixels. Pixels changed where they lie (`moved`) are a change the host
// commits to the undo history: the back buffer still holds the state
// before.
void AfterChange(const std::array<bool, composite::kLayerSlots>& rebuilt,
                 const std::array<bool, composite::kLayerSlots>& moved) noexcept {
  const composite::LayerState& l = composite::Layers();
  for (int32_t slot = 1; slot < composite::kLayerSlots; ++slot) {
    if (!rebuilt[slot] && !moved[slot]) continue;
    const LayerRecord& rec = l.slots[slot];
    const bool isCurrent = l.current && l.currentIndex == slot;
    if (!isCurrent && rec.visible && rec.mode == composite::kModeTexturize3)
      composite::RebuildTextureFrom(slot);
  }
  if (l.current && rebuilt[l.currentIndex]) history::SaveUndoBackBufferIfCurrent(l.currentIndex);
}

// Runs `make(slot, layer)` for every layer of the stack, then, when all of
// them succeeded, `inPlace(layer)` for each layer `make` left alone (a
// square layer turned where it lies), then installs what `make` made.
struct NothingInPlace {
  bool operator()(LayerRecord&) const noexcept { return false; }
};
// A layer of the stack with pixels to work on: one without rows or columns
// has nothing to resample, carve, turn or move, and stays as it is.
LayerRecord* LayerWithArea(int32_t slot) noexcept {
  LayerRecord* rec = composite::LayerWithPixels(slot);
  return rec && rec->width > 0 && rec->height > 0 ? rec : nullptr;
}

template <class Make, class InPlace = NothingInPlace>
void RebuildStack(Operation operation, Make&& make, InPlace&& inPlace = {}) noexcept {
  Guard(operation, [&] {
    if (!Geometry().HasPixels()) return;
    composite::LayerState& l = composite::Layers();
    std::array<Rebuilt, composite::kLayerSlots> made;
    const int32_t top = std::min(l.layerTop, composite::kLayerSlots - 1);
    for (int32_t slot = 1; slot <= top; ++slot) {
      if (const LayerRecord* rec = LayerWithArea(slot)) made[slot] = make(slot, *rec);
    }
    std::array<bool, composite::kLayerSlots> changed = {}, moved = {};
    for (int32_t slot = 1; slot <= top; ++slot) {
      LayerRecord* rec = LayerWithArea(slot);
      if (rec && !made[slot].pixels) moved[slot] = inPlace(*rec);
    }
    for (int32_t slot = 1; slot <= top; ++slot) {
      Rebuilt& r = made[slot];
      if (!r.pixels) continue;
      composite::InstallLayerPixels(slot, std::move(r.pixels), r.width, r.height);
      changed[slot] = true;
    }
    AfterChange(changed, moved);
  });
}

// Runs `change(layer)` on every layer of the stack where it lies.
template <class Change>
void InPlaceOnStack(Operation operation, Change&& change) noexcept {
  Guard(operation, [&] {
    if (!Geometry().HasPixels()) return;
    composite::LayerState& l = composite::Layers();
    std::array<bool, composite::kLayerSlots> moved = {};
    const int32_t top = std::min(l.layerTop, composite::kLayerSlots - 1);
    for (int32_t slot = 1; slot <= top; ++slot) {
      if (LayerRecord* rec = LayerWithArea(slot)) moved[slot] = change(*rec);
    }
    AfterChange({}, moved);
  });
}

const Pixel64* PixelsOf(const LayerRecord& rec) noexcept {
  return rec.pixels.data();
}

// The layer on a width x height page with its top-left corner at (x, y).
Rebuilt OnPage(int32_t slot, const LayerRecord& rec, int32_t width, int32_t height, int64_t x,
               int64_t y) {
  Rebuilt out{composite::AllocateLayerPixels(width, height), width, height};
  // The background's page is its own opaque white, every other one clear.
  out.pixels.FillBytes(slot == 1 ? 0xFF : 0x00);
  const int64_t x0 = std::max<int64_t>(0, x), x1 = std::min<int64_t>(width, x + rec.width);
  const int64_t y0 = std::max<int64_t>(0, y), y1 = std::min<int64_t>(height, y + rec.height);
  for (int64_t row = y0; row < y1 && x0 < x1; ++row) {
    std::memcpy(out.pixels.data() + row * width + x0,
                PixelsOf(rec) + (row - y) * rec.width + (x0 - x),
                size_t(x1 - x0) * sizeof(Pixel64));
  }
  return out;
}

struct FilterEntry {
  const char* name;
  bool openCv;
  img::CvFilter cv;
  ResampleKernel kernel;
};

constexpr FilterEntry kFilters[] = {
    {"Area Average", true, img::CvFilter::kArea, ResampleKernel::kBox},
    {"Nearest Neighbor", true, img::CvFilter::kNearest, ResampleKernel::kBox},
    {"Bilinear", true, img::CvFilter::kBilinear, ResampleKernel::kBox},
    {"Bicubic", true, img::CvFilter::kBicubic, ResampleKernel::kBox},
    {"Box", false, img::CvFilter::kNearest, ResampleKernel::kBox},
    {"Triangle", false, img::CvFilter::kNearest, ResampleKernel::kTriangle},
    {"Hamming", false, img::CvFilter::kNearest, ResampleKernel::kHamming},
    {"Gaussian", false, img::CvFilter::kNearest, ResampleKernel::kGaussian},
    {"Bell", false, img::CvFilter::kNearest, ResampleKernel::kBell},
    {"B-Spline", false, img::CvFilter::kNearest, ResampleKernel::kBSpline},
    {"Cubic 1", false, img::CvFilter::kNearest, ResampleKernel::kCubic1},
    {"Cubic 2", false, img::CvFilter::kNearest, ResampleKernel::kCubic2},
    {"Lanczos3", false, img::CvFilter::kNearest, ResampleKernel::kLanczos3},
    {"Mitchell", false, img::CvFilter::kNearest, ResampleKernel::kMitchell},
    {"Sinc", false, img::CvFilter::kNearest, ResampleKernel::kSinc},
    {"Hermite", false, img::CvFilter::kNearest, ResampleKernel::kHermite},
    {"Hanning", false, img::CvFilter::kNearest, ResampleKernel::kHanning},
    {"Catrom", false, img::CvFilter::kNearest, ResampleKernel::kCatrom},
};

const FilterEntry* FindFilter(const char* name) noexcept {
  if (!name) return nullptr;
  for (const FilterEntry& f : kFilters)
    if (std::strcmp(f.name, name) == 0) return &f;
  return nullptr;
}

int64_t PositiveModulo(int64_t v, int64_t n) noexcept {
  const int64_t m = v % n;
  return m < 0 ? m + n : m;
}

}  // namespace

void ResizeLayers(int32_t width, int32_t height, const char* filter) noexcept {
  const FilterEntry* f = FindFilter(filter);
  if (!f) {
    if (DiagnosticsOn())
      Diagnose("DRO_IPLResize", "filter \"%s\" unknown; nothing done", filter ? filter : "(null)");
    return;
  }
  if (!SizeAllowed("DRO_IPLResize", width, height)) return;
  RebuildStack(Operation::kIplResize, [&](int32_t, const LayerRecord& rec) {
    Rebuilt out{composite::AllocateLayerPixels(width, height), width, height};
    if (f->openCv) {
      if (!img::ResizeWithFilter(
              reinterpret_cast<const uint8_t*>(PixelsOf(rec)), rec.width, rec.height, rec.width * 8,
              reinterpret_cast<uint8_t*>(out.pixels.data()), width, height, width * 8, 8, f->cv))
        out.pixels.Reset();
    } else {
      ResampleWithKernel(PixelsOf(rec), rec.width, rec.height, out.pixels.data(), width, height,
                         f->kernel);
    }
    return out;
  });
}

PageOffset AnchorOffset(const char* anchor, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                        int32_t newHeight) noexcept {
  if (!anchor || std::strlen(anchor) != 2) return {};
  const char row = anchor[0], column = anchor[1];
  if (std::strchr("TMB", row) == nullptr || std::strchr("LCR", column) == nullptr) return {};
  // Differences of two sides of 0..10000 (or a layer's own) fit 64 bits.
  const int64_t dx = int64_t{newWidth} - oldWidth, dy = int64_t{newHeight} - oldHeight;
  PageOffset o;
  o.x = static_cast<int32_t>(column == 'L' ? 0 : (column == 'C' ? dx / 2 : dx));
  o.y = static_cast<int32_t>(row == 'T' ? 0 : (row == 'M' ? dy / 2 : dy));
  return o;
}

void ResizePage(int32_t width, int32_t height, const char* anchor) noexcept {
  if (!SizeAllowed("DRO_IPLResizePage", width, height)) return;
  const bool anchored = anchor && std::strlen(anchor) == 2 && std::strchr("TMB", anchor[0]) &&
                        std::strchr("LCR", anchor[1]);
  if (!anchored && DiagnosticsOn())
    Diagnose("DRO_IPLResizePage", "anchor \"%s\" not one of TL..BR, \"TL\" used",
             anchor ? anchor : "(null)");
  RebuildStack(Operation::kIplResizePage, [&](int32_t slot, const LayerRecord& rec) {
    const PageOffset o = AnchorOffset(anchor, rec.width, rec.height, width, height);
    return OnPage(slot, rec, width, height, o.x, o.y);
  });
}

void SeamCarveLayers(int32_t width, int32_t height) noexcept {
  if (!SizeAllowed("DRO_IPLSeamCarvingRGBA", width, height)) return;
  RebuildStack(Operation::kIplResize, [&](int32_t, const LayerRecord& rec) {
    Rebuilt out{composite::AllocateLayerPixels(width, height), width, height};
    // The mask guides only a layer it covers pixel for pixel.
    const CanvasGeometry& c = Geometry();
    const Mask16* guide =
        rec.width == c.width && rec.height == c.height ? mask::EnabledValues() : nullptr;
    SeamCarve(PixelsOf(rec), rec.width, rec.height, guide, out.pixels.data(), width, height);
    return out;
  });
}

void CropLayers(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept {
  const int64_t width = int64_t{right} - left, height = int64_t{bottom} - top;
  if (!SizeAllowed("DRO_IPLCrop", width, height)) return;
  RebuildStack(Operation::kIplCrop, [&](int32_t slot, const LayerRecord& rec) {
    return OnPage(slot, rec, int32_t(width), int32_t(height), -int64_t{left}, -int64_t{top});
  });
}

void RotateLayers(bool clockwise) noexcept {
  // A square layer turns where it lies, like a flip; the others are rebuilt
  // at height x width.
  RebuildStack(
      clockwise ? Operation::kIplRotateRight : Operation::kIplRotateLeft,
      [&](int32_t, const LayerRecord& rec) {
        if (rec.width == rec.height) return Rebuilt{};
        Rebuilt out{composite::AllocateLayerPixels(rec.height, rec.width), rec.height, rec.width};
        if (!img::QuarterTurn(reinterpret_cast<const uint8_t*>(PixelsOf(rec)), rec.width,
                              rec.height, rec.width * 8,
                              reinterpret_cast<uint8_t*>(out.pixels.data()), rec.height * 8, 8,
                              clockwise))
          out.pixels.Reset();
        return out;
      },
      [&](LayerRecord& rec) {
        return rec.width == rec.height &&
               img::QuarterTurnSquareInPlace(reinterpret_cast<uint8_t*>(rec.pixels.data()),
                                             rec.width, rec.width * 8, 8, clockwise);
      });
}

void Pan(int32_t dx, int32_t dy, int32_t wrap, int32_t, int32_t, int32_t, int32_t,
         int32_t useMaskTexture) noexcept {
  Guard(Operation::kIplPan, [&] {
    uint8_t* src = Source32();
    uint8_t* dst = Destination32();
    LayerRecord* layer = composite::CurrentCanvasLayer();
    if (!src || !dst || !layer || src == dst) return;
    const CanvasGeometry& c = Geometry();
    const int64_t w = c.width, h = c.height, stride = w * 4;
    if (wrap != 0) {
      // Source row y goes to row (y + dy) mod h, its pixel x to (x + dx)
      // mod w: two runs per row.
      const int64_t sx = PositiveModulo(dx, w), sy = PositiveModulo(dy, h);
      for (int64_t y = 0; y < h; ++y) {
        const uint8_t* in = src + y * stride;
        uint8_t* out = dst + ((y + sy) % h) * stride;
        std::memcpy(out + sx * 4, in, size_t((w - sx) * 4));
        std::memcpy(out, in + (w - sx) * 4, size_t(sx * 4));
      }
    } else {
      std::memset(dst, 0, size_t(stride * h));
      if (!img::OverlayImage(dst, c.width, c.height, 4, int32_t(stride), src, c.width, c.height,
                             int32_t(stride), dx, dy, 1.0, 0))
        return;
    }
    if (useMaskTexture & 0xFF)
      composite::AdjustRgba32ByMaskAndTexture(dst, 0, 0, c.width, c.height);
    composite::BlendRgba32IntoLayer(dst, layer->pixels.data(), composite::kModeNormal, 0, 255,
                                    layer->lockAlpha != 0);
  });
}

void PushPointToPoint(int32_t x1, int32_t y1, int32_t x2, int32_t y2) noexcept {
  const uint8_t* src = Source32();
  uint8_t* dst = Destination32();
  if (!src || !dst || src == dst || !composite::CurrentCanvasLayer()) return;
  const CanvasGeometry& c = Geometry();
  const int64_t w = c.width, h = c.height;
  std::memcpy(dst, src, size_t(w * h * 4));
  const double dx = double(x2) - x1, dy = double(y2) - y1;
  const double radius = 2.0 * std::hypot(dx, dy) + 8.0;
  const auto clampTo = [](double v, int64_t n) {
    return static_cast<int64_t>(std::clamp(v, 0.0, double(n)));
  };
  const int64_t left = clampTo(std::floor(x2 - radius), w),
                right = clampTo(std::ceil(x2 + radius), w);
  const int64_t top = clampTo(std::floor(y2 - radius), h),
                bottom = clampTo(std::ceil(y2 + radius), h);
  const auto at = [&](int64_t x, int64_t y) {
    return src + (std::clamp<int64_t>(y, 0, h - 1) * w + std::clamp<int64_t>(x, 0, w - 1)) * 4;
  };
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) {
      const double r = std::hypot(double(x) - x2, double(y) - y2);
      if (r >= radius) continue;
      const double q = 1.0 - (r / radius) * (r / radius);
      const double f = q * q;
      const double sx = x - dx * f, sy = y - dy * f;
      const double fx = std::floor(sx), fy = std::floor(sy);
      const double ax = sx - fx, ay = sy - fy;
      const int64_t ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
      const uint8_t* p[4] = {at(ix, iy), at(ix + 1, iy), at(ix, iy + 1), at(ix + 1, iy + 1)};
      const double k[4] = {(1 - ax) * (1 - ay), ax * (1 - ay), (1 - ax) * ay, ax * ay};
      double acc[4] = {0, 0, 0, 0};
      for (int i = 0; i < 4; ++i) {
        const double a = p[i][3];
        for (int ch = 0; ch < 3; ++ch) acc[ch] += k[i] * p[i][ch] * a;
        acc[3] += k[i] * a;
      }
      uint8_t* out = dst + (y * w + x) * 4;
      const double alpha = acc[3];
      for (int ch = 0; ch < 3; ++ch)
        out[ch] =
            alpha > 0 ? static_cast<uint8_t>(std::clamp(acc[ch] / alpha + 0.5, 0.0, 255.0)) : 0;
      out[3] = static_cast<uint8_t>(std::clamp(alpha + 0.5, 0.0, 255.0));
    }
  }
  LoadRgba32Result(dst);
}

void FlipLayers(bool horizontal) noexcept {
  // Colour and alpha together: the lock-alpha flag guards a layer's alpha
  // against painting, not against mirroring the layer.
  InPlaceOnStack(horizontal ? Operation::kIplFlipHorizontal : Operation::kIplFlipVertical,
                 [&](LayerRecord& rec) {
                   return img::FlipInPlace(reinterpret_cast<uint8_t*>(rec.pixels.data()), rec.width,
                                           rec.height, rec.width * 8, 8, horizontal);
                 });
}

}  // namespace dro::imaging
