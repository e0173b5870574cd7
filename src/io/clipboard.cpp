#include "io/clipboard.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "base/numeric.h"
#include "base/rect_clip.h"
#include "composite/blend_modes.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "composite/texture.h"
#include "imaging/work_buffers.h"
#include "io/staging.h"
#include "io/staging_state.h"
#include "mask/mask_ops.h"
#include "mask/mask_state.h"
#include "platform/desktop.h"
#include "platform/image_geometry.h"
#include "platform/image_rotate.h"

namespace dro::io {
namespace {

namespace desk = platform::desktop;
namespace im = platform::image;

constexpr int32_t kLargestSide = 30000;

// Puts a tight RGBA picture on the clipboard: a zeroed payload of w x h x 4
// + 4000 bytes, the DIB written into it.
bool Publish(const uint8_t* rgba, int32_t w, int32_t h) {
  if (!rgba || w < 1 || h < 1) return false;
  const int64_t bytes = int64_t{w} * h * 4 + 4000;
  if (bytes > std::numeric_limits<int32_t>::max()) return false;
  Buffer<uint8_t> payload = Buffer<uint8_t>::MakeBytes(size_t(bytes), 0);
  if (!desk::RgbaToDib(rgba, w, h, payload.data(), payload.size())) return false;
  bool noMemory = false;
  const bool ok = desk::PutClipboard(payload.data(), size_t(desk::DibBytes(w, h)), &noMemory);
  if (noMemory) throw std::bad_alloc();
  return ok;
}

// The clipboard's picture into a fresh staging image, alpha 255. The old
// staging image goes first.
bool ReadClipboard() {
  Staging().Release();
  Buffer<uint8_t> data;
  desk::ClipFormat format = desk::ClipFormat::kDib;
  bool noMemory = false;
  if (!desk::GetClipboard(data, format, &noMemory)) {
    if (noMemory) throw std::bad_alloc();
    return false;
  }
  im::Picture picture;
  im::ReadStatus status = im::ReadStatus::kUnreadable;
  bool ok;
  if (format == desk::ClipFormat::kDib) {
    ok = desk::DibToRgba(data.data(), data.size(), 255, picture, &status);
  } else {
    ok = im::ReadPictureRgba(data.data(), data.size(), picture, &status);
    if (ok)
      for (size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
  }
  if (status == im::ReadStatus::kNoMemory) throw std::bad_alloc();
  return ok && AdoptStagingImage(picture.pixels, picture.width, picture.height);
}

// x + w / -2 in 64 bits (truncating towards zero), kept far from the
// int32 ends: anything that far off lies outside every canvas anyway.
int32_t Centred(int64_t at, int32_t size, bool centre) {
  const int64_t v = centre ? at + size / -2 : at;
  return int32_t(std::clamp<int64_t>(v, -(int64_t{1} << 30), int64_t{1} << 30));
}

// The current layer when it is canvas-sized.
composite::LayerRecord* CanvasLayer() {
  const int32_t slot = composite::CurrentSlot();
  if (slot < 0) return nullptr;
  composite::LayerRecord& rec = composite::Layers().slots[slot];
  const CanvasGeometry& c = Geometry();
  return rec.Matches(c.width, c.height) ? &rec : nullptr;
}

// Replaces the staging image by `pixels` (w x h); false leaves it.
void ReplaceStaging(Buffer<uint8_t>& pixels, int32_t w, int32_t h) {
  StagingImage& s = Staging();
  s.pixels = std::move(pixels);
  s.width = w, s.height = h;
}

// Scales the staging image to w x h (a failed allocation keeps it as it
// is, as the paste goes on regardless).
void ScaleStaging(int32_t w, int32_t h, im::CvFilter filter, bool premultiply) {
  StagingImage& s = Staging();
  if (w == s.width && h == s.height) return;
  Buffer<uint8_t> out;
  try {
    out = Buffer<uint8_t>::MakeBytes(CheckedGridCount(w, h, 4) * 4, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (premultiply) composite::AdjustRgba32PreFilter(s.pixels.data(), s.width, s.height);
  const bool ok = im::ResizeWithFilter(s.pixels.data(), s.width, s.height, s.width * 4, out.data(),
                                       w, h, w * 4, 4, filter);
  if (premultiply && ok) composite::AdjustRgba32PostFilter(out.data(), w, h);
  if (premultiply && !ok) composite::AdjustRgba32PostFilter(s.pixels.data(), s.width, s.height);
  if (ok) ReplaceStaging(out, w, h);
}

// A screen shot into a fresh staging image.
bool Capture() {
  Staging().Release();
  im::Picture shot;
  bool noMemory = false;
  if (!desk::CaptureScreen(shot, &noMemory)) {
    if (noMemory) throw std::bad_alloc();
    return false;
  }
  return AdoptStagingImage(shot.pixels, shot.width, shot.height);
}

// Turns the staging image by whole degrees.
void TurnStaging(int32_t angle, bool smooth, bool premultiply) {
  StagingImage& s = Staging();
  const float r = float(angle) * 0.0174532925f;
  int32_t w = 0, h = 0;
  im::RotatedSize(r, s.width, s.height, w, h);
  if (w < 1 || h < 1) return;
  Buffer<uint8_t> out;
  try {
    out = Buffer<uint8_t>::MakeBytes(CheckedGridCount(w, h, 4) * 4, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (premultiply) composite::AdjustRgba32PreFilter(s.pixels.data(), s.width, s.height);
  const bool ok = im::RotateImage(s.pixels.data(), s.width, s.height, out.data(), w, h, r, smooth);
  if (premultiply && ok) composite::AdjustRgba32PostFilter(out.data(), w, h);
  if (premultiply && !ok) composite::AdjustRgba32PostFilter(s.pixels.data(), s.width, s.height);
  if (ok) ReplaceStaging(out, w, h);
}

// Lays the staging image over a copy of the current layer at (x, y) and
// loads the copy back through mask and texture (the work-buffer path).
bool OverlayIntoLayer(int32_t x, int32_t y) {
  const CanvasGeometry& c = Geometry();
  imaging::AllocSource32();
  uint8_t* work = imaging::Source32();
  bool ok = false;
  const StagingImage& s = Staging();
  if (work && s.present() &&
      im::OverlayImage(work, c.width, c.height, 4, c.width * 4, s.pixels.data(), s.width, s.height,
                       s.width * 4, x, y, 1.0, 1))
    ok = imaging::LoadRgba32Result(work);
  imaging::FreeSource32();
  Staging().Release();
  return ok;
}

}  // namespace

bool ScaledSize(double factor, int32_t width, int32_t height, int32_t& ow, int32_t& oh) noexcept {
  if (!std::isfinite(factor) || factor <= 0 || width < 1 || height < 1) return false;
  ow = std::clamp(SaturateToInt32(factor * width), 1, kLargestSide);
  oh = std::clamp(SaturateToInt32(factor * height), 1, kLargestSide);
  return true;
}

bool CopyLayer() noexcept {
  return Guard(Operation::kToClipboardRect, false, [] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels() || composite::CurrentSlot() < 0) return false;
    imaging::AllocSource32();
    uint8_t* work = imaging::Source32();
    bool ok = false;
    if (work) {
      if (mask::State().enabled) mask::ApplyToAlpha(work);
      ok = Publish(work, c.width, c.height);
    }
    imaging::FreeSource32();
    return ok;
  });
}

bool CopyLayerRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) noexcept {
  return Guard(Operation::kToClipboardRect, false, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels() || composite::CurrentSlot() < 0) return false;
    const int64_t left = std::min(x0, x1), top = std::min(y0, y1);
    const int64_t w = std::llabs(int64_t{x0} - x1), h = std::llabs(int64_t{y0} - y1);
    const ClippedRect r = ClipRect(left, top, w, h, c.width, c.height);
    if (r.empty()) return false;
    const int32_t cw = int32_t(r.x1 - r.x0), ch = int32_t(r.y1 - r.y0);
    imaging::AllocSource32();
    uint8_t* work = imaging::Source32();
    bool ok = false;
    if (work) {
      if (mask::State().enabled) mask::ApplyToAlpha(work);
      Buffer<uint8_t> cut = Buffer<uint8_t>::Make(CheckedGridCount(cw, ch, 4) * 4);
      for (int32_t row = 0; row < ch; ++row)
        std::memcpy(cut.data() + size_t(row) * cw * 4,
                    work + ((r.y0 + row) * int64_t{c.width} + r.x0) * 4, size_t(cw) * 4);
      ok = Publish(cut.data(), cw, ch);
    }
    imaging::FreeSource32();
    return ok;
  });
}

bool CopyRgba32(uint8_t* rgba, int32_t x, int32_t y, int32_t width, int32_t height) noexcept {
  if (!rgba || width < 1 || height < 1 || int64_t{width} * height * 4 + 4000 > INT32_MAX)
    return false;
  return Guard(Operation::kToClipboardRect, false, [&] {
    if (mask::State().enabled)
      mask::ApplyToAlphaRect(rgba, width * 4, x, y, SaturateToInt32(double(x) + width - 1),
                             SaturateToInt32(double(y) + height - 1));
    return Publish(rgba, width, height);
  });
}

bool PasteToStaging() noexcept {
  return Guard(Operation::kFromClipboard, false, [] { return ReadClipboard(); });
}

bool PasteInto(int32_t x, int32_t y, bool centre) noexcept {
  return Guard(Operation::kFromClipboardInto, false, [&] {
    ReadClipboard();
    const StagingImage& s = Staging();
    return OverlayIntoLayer(Centred(x, s.width, centre), Centred(y, s.height, centre));
  });
}

bool PasteIntoScaled(int32_t x, int32_t y, float scale, int32_t angle, bool centre,
                     bool smooth) noexcept {
  return Guard(Operation::kFromClipboardIntoEx, false, [&] {
    if (!ReadClipboard()) return false;
    StagingImage& s = Staging();
    int32_t w = 0, h = 0;
    if (!ScaledSize(scale, s.width, s.height, w, h)) {
      s.Release();
      return false;
    }
    if (scale != 1.0f)
      ScaleStaging(w, h, smooth ? im::CvFilter::kBicubic : im::CvFilter::kNearest, false);
    if (angle != 0) TurnStaging(angle, smooth, false);
    composite::LayerRecord* layer = CanvasLayer();
    const CanvasGeometry& c = Geometry();
    bool ok = false;
    imaging::AllocDestination32();
    uint8_t* work = imaging::Destination32();
    if (work && layer) {
      composite::ClearRgba32Tight(work, c.width, c.height, 0, 0, 0, 0);
      if (im::OverlayImage(work, c.width, c.height, 4, c.width * 4, s.pixels.data(), s.width,
                           s.height, s.width * 4, Centred(x, s.width, centre),
                           Centred(y, s.height, centre), 1.0, 1)) {
        composite::AdjustRgba32ByMaskAndTexture(work, 0, 0, c.width, c.height);
        composite::BlendRgba32IntoLayer(work, layer->pixels.data(), composite::kModeNormal, 0, 255,
                                        layer->lockAlpha != 0);
        ok = true;
      }
    }
    imaging::FreeDestination32();
    s.Release();
    return ok;
  });
}

bool PasteIntoSized(int32_t x, int32_t y, int32_t size, int32_t angle, bool centre,
                    bool smooth) noexcept {
  return Guard(Operation::kFromClipboardIntoEx, false, [&] {
    if (!ReadClipboard()) return false;
    StagingImage& s = Staging();
    const double f = double(size) / std::max(s.width, s.height);
    int32_t w = 0, h = 0;
    if (size < 1 || !ScaledSize(f, s.width, s.height, w, h)) {
      s.Release();
      return false;
    }
    if (f != 1) {
      const bool shrink = w < s.width && h < s.height;
      ScaleStaging(
          w, h,
          smooth ? (shrink ? im::CvFilter::kArea : im::CvFilter::kBicubic) : im::CvFilter::kNearest,
          smooth);
    }
    if (angle != 0 && angle != 360) TurnStaging(angle, smooth, smooth);
    composite::LayerRecord* layer = CanvasLayer();
    const CanvasGeometry& c = Geometry();
    if (!layer) {
      s.Release();
      return false;
    }
    // Clip the placed picture to the canvas; keep only what shows.
    const int64_t px = centre ? int64_t{x} + s.width / -2 : x;
    const int64_t py = centre ? int64_t{y} + s.height / -2 : y;
    const ClippedRect r = ClipRect(px, py, s.width, s.height, c.width, c.height);
    if (r.empty()) {
      s.Release();
      return false;
    }
    const int32_t vw = int32_t(r.x1 - r.x0), vh = int32_t(r.y1 - r.y0);
    if (vw != s.width || vh != s.height) {
      Buffer<uint8_t> visible = Buffer<uint8_t>::MakeBytes(CheckedGridCount(vw, vh, 4) * 4, 0);
      im::OverlayImage(visible.data(), vw, vh, 4, vw * 4, s.pixels.data(), s.width, s.height,
                       s.width * 4, int32_t(px - r.x0), int32_t(py - r.y0), 1.0, 1);
      ReplaceStaging(visible, vw, vh);
    }
    const int32_t vx = int32_t(r.x0), vy = int32_t(r.y0);
    composite::AdjustRgba32ByMaskAndTexture(s.pixels.data(), vx, vy, vw, vh);
    Buffer<Pixel64> block = Buffer<Pixel64>::Make(CheckedGridCount(vw, vh, 4));
    composite::ExpandRgba32Block(s.pixels.data(), vw, vh, block.data());
    composite::BlendLayerRect(block.data(), 0, 0, vw, vh, vw * 4, nullptr, layer->pixels.data(), vx,
                              vy, layer->stride, composite::kModeNormal, 0, 255,
                              layer->lockAlpha != 0);
    s.Release();
    return true;
  });
}

bool CaptureToStaging() noexcept {
  return Guard(Operation::kScreenCapture, false, [] { return Capture(); });
}

bool CaptureInto() noexcept {
  return Guard(Operation::kScreenCaptureInto, false,
               [] { return Capture() && OverlayIntoLayer(0, 0); });
}

}  // namespace dro::io
