#include "composite/texture.h"

#include <algorithm>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "base/rect_clip.h"
#include "base/thread_pool.h"
#include "composite/layer_state.h"
#include "composite/pixel_transfers.h"
#include "mask/mask_state.h"

namespace dro::composite {
namespace {

constexpr uint32_t kFull = 65535;

int64_t TightCount(const void* p, int32_t w, int32_t h) noexcept {
  return (p && w > 0 && h > 0) ? int64_t{w} * h : 0;
}

}  // namespace

uint8_t* CreateTexture(int32_t slot, const char* where) noexcept {
  return Guard(Operation::kCreateTexture, static_cast<uint8_t*>(nullptr), [&]() -> uint8_t* {
    const Plane layer = composite::LayerOnCanvas(slot, where);
    if (!layer) return nullptr;
    const CanvasGeometry& geometry = Geometry();
    LayerState& layerState = Layers();
    const size_t count = CheckedCount(geometry.width, geometry.height);
    Buffer<uint8_t>& map = layerState.texture;
    if (map.size() != count) {
      map.Reset();
      map = Buffer<uint8_t>::Make(count);
    }
    if (layer.width < geometry.width || layer.height < geometry.height) map.FillBytes(kTextureMax);
    threads::ForEachRow(0, layer.height, layer.width, [&](int32_t y) noexcept {
      const Pixel64* in = layer.Row(y);
      uint8_t* out = map.data() + static_cast<size_t>(y) * geometry.width;
      for (int32_t x = 0; x < layer.width; ++x) {
        const uint32_t grey = (uint32_t{in[x].r} + in[x].g + in[x].b) / 768;
        out[x] = static_cast<uint8_t>(std::clamp<uint32_t>(grey, kTextureMin, kTextureMax));
      }
    });
    return map.data();
  });
}

void DeleteTexture() noexcept {
  Layers().texture.Reset();
}

uint32_t TextureWeight(uint8_t t) noexcept {
  return t >= 128 ? kFull : (uint32_t{t} * 131070u) / 256u;
}

uint32_t MaskWeight(uint32_t w, Mask16 m) noexcept {
  return m == kFull ? w : static_cast<uint32_t>((uint64_t{w} * m) / 65536);
}

void AdjustRgba32ByMaskAndTexture(uint8_t* rgba, int32_t x, int32_t y, int32_t w,
                                  int32_t h) noexcept {
  if (!rgba || w <= 0 || h <= 0) return;
  const uint8_t* texture = composite::TextureMap();
  const Mask16* mask = dro::mask::EnabledValues();
  if (!texture && !mask) return;
  const CanvasGeometry& geometry = Geometry();
  const ClippedRect r = ClipRect(x, y, w, h, geometry.width, geometry.height);
  threads::ForEachRow(static_cast<int32_t>(r.y0), static_cast<int32_t>(r.y1), r.width(),
                      [&](int32_t row) noexcept {
                        uint8_t* out = rgba + ((int64_t{row} - y) * w + (r.x0 - x)) * 4;
                        const size_t base = static_cast<size_t>(row) * geometry.width;
                        for (int64_t col = r.x0; col < r.x1; ++col, out += 4) {
                          uint32_t weight = kFull;
                          if (texture) weight = TextureWeight(texture[base + col]);
                          if (mask) weight = MaskWeight(weight, mask[base + col]);
                          out[3] = static_cast<uint8_t>(weight / 65535.0 * out[3]);
                        }
                      });
}

void AdjustRgba32PreFilter(uint8_t* rgba, int32_t w, int32_t h) noexcept {
  threads::ForPixels(TightCount(rgba, w, h), [&](int64_t begin, int64_t end) noexcept {
    for (uint8_t* px = rgba + begin * 4; px != rgba + end * 4; px += 4) {
      const uint8_t a = px[3];
      if (a == 0 || a == 255) continue;
      for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>(a / 255.0 * (px[c] + 1));
    }
  });
}

namespace {
void Unpremultiply32(uint8_t* px) noexcept {
  const uint8_t a = px[3];
  for (int c = 0; c < 3; ++c) {
    px[c] = static_cast<uint8_t>(std::min(px[c] * 255.0 / a, 255.0));
  }
}
}  // namespace

void AdjustRgba32PostFilter(uint8_t* rgba, int32_t w, int32_t h) noexcept {
  threads::ForPixels(TightCount(rgba, w, h), [&](int64_t begin, int64_t end) noexcept {
    for (uint8_t* px = rgba + begin * 4; px != rgba + end * 4; px += 4) {
      if (px[3] != 0 && px[3] != 255) Unpremultiply32(px);
    }
  });
}

void AdjustRgba32ForAlphaComp(uint8_t* rgba) noexcept {
  const CanvasGeometry& geometry = Geometry();
  if (!Geometry().live) return;
  const int64_t n = TightCount(rgba, geometry.width, geometry.height);
  threads::ForPixels(n, [&](int64_t begin, int64_t end) noexcept {
    for (uint8_t* px = rgba + begin * 4; px != rgba + end * 4; px += 4) {
      if (px[3] != 0) Unpremultiply32(px);
    }
  });
}

void AdjustRgba64PreFilter(Pixel64* pixels, int32_t w, int32_t h) noexcept {
  threads::ForPixels(TightCount(pixels, w, h), [&](int64_t begin, int64_t end) noexcept {
    for (int64_t i = begin; i < end; ++i) {
      Pixel64& p = pixels[i];
      if (p.a == 0) continue;
      const double f = p.a / 65535.0;
      p.r = static_cast<uint16_t>(f * p.r);
      p.g = static_cast<uint16_t>(f * p.g);
      p.b = static_cast<uint16_t>(f * p.b);
    }
  });
}

void AdjustRgba64PostFilter(Pixel64* pixels, int32_t w, int32_t h) noexcept {
  threads::ForPixels(TightCount(pixels, w, h), [&](int64_t begin, int64_t end) noexcept {
    for (int64_t i = begin; i < end; ++i) {
      Pixel64& p = pixels[i];
      if (p.a == 0) continue;
      uint16_t* ch[3] = {&p.r, &p.g, &p.b};
      for (uint16_t* c : ch) *c = static_cast<uint16_t>(std::min(*c * 65535.0 / p.a, 65535.0));
    }
  });
}

}  // namespace dro::composite
