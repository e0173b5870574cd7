#include "brush/blend_buffer.h"

#include <algorithm>

#include "base/canvas_state.h"
#include "base/cpu.h"
#include "brush/brush_state.h"
#include "brush/dab_kernels.h"
#include "brush/dab_painter.h"
#include "brush/settings.h"
#include "mask/mask_state.h"

namespace dro::brush {
namespace {

constexpr uint32_t kFull = 65535;

// The blend buffer with its side L and the used side n (the brush size,
// never more than L); null when there is none.
struct Square {
  Pixel64* pixels = nullptr;
  int32_t side = 0;  // L: row stride in pixels
  int32_t used = 0;  // n
  Pixel64* Row(int32_t i) const noexcept { return pixels + int64_t{i} * side; }
};

Square BlendSquare() noexcept {
  const CanvasGeometry& geometry = Geometry();
  const int32_t side = geometry.brushLimit;
  Buffer<Pixel64>& buffer = State().blendBuffer;
  if (!buffer || side <= 0 || buffer.size() < static_cast<size_t>(side) * side) return {};
  return Square{buffer.data(), side, std::min(brush::BrushSize(), side)};
}

// Entry j of the mask form in a row: the 16-bit units of the row in order.
uint16_t& MaskEntry(Pixel64* row, int32_t j) noexcept {
  Pixel64& p = row[j / 4];
  switch (j % 4) {
    case 0:
      return p.r;
    case 1:
      return p.g;
    case 2:
      return p.b;
    default:
      return p.a;
  }
}

}  // namespace

DabSquare ClipDab(int32_t x, int32_t y, int32_t n, int32_t width, int32_t height) noexcept {
  DabSquare d;
  const int64_t half = n / 2;
  int64_t left = int64_t{x} - half;
  int64_t top = int64_t{y} - half;
  int64_t right = left + n - 1;
  int64_t bottom = top + n - 1;
  if (left < 0) {
    d.skipX = static_cast<int32_t>(std::min<int64_t>(-left, n));
    left = 0;
    d.partlyOutside = true;
  }
  if (top < 0) {
    d.skipY = static_cast<int32_t>(std::min<int64_t>(-top, n));
    top = 0;
    d.partlyOutside = true;
  }
  if (right > width - 1) {
    right = width - 1;
    d.partlyOutside = true;
  }
  if (bottom > height - 1) {
    bottom = height - 1;
    d.partlyOutside = true;
  }
  // A dab entirely off the area keeps an empty range (right < left).
  d.left = static_cast<int32_t>(std::min<int64_t>(left, width));
  d.top = static_cast<int32_t>(std::min<int64_t>(top, height));
  d.right = static_cast<int32_t>(right);
  d.bottom = static_cast<int32_t>(bottom);
  return d;
}

int32_t CopyBlendBuffer(int32_t x, int32_t y, const Plane& source, int32_t weight,
                        bool alphaFlag) noexcept {
  const CanvasGeometry& geometry = Geometry();
  const BrushState& brushState = State();
  if (brushState.blendStrength == 0) return 0;
  const Square sq = BlendSquare();
  if (!sq.pixels || !source || sq.used <= 0) return 0;
  weight = std::clamp(weight, 0, 256);
  const uint32_t wt = static_cast<uint32_t>(weight);
  const uint32_t inv = 256 - wt;
  const auto& c = brushState.color;
  const DabSquare d = ClipDab(x, y, sq.used, source.width, source.height);

  if (d.partlyOutside) {
    const uint16_t fillAlpha = static_cast<uint16_t>((wt % 256) * 256);
    for (int32_t i = 0; i < sq.used; ++i) {
      Pixel64* row = sq.Row(i);
      for (int32_t j = 0; j < sq.used; ++j) {
        if (alphaFlag) {
          row[j].a = 65535;
        } else {
          row[j] = Pixel64{c[0], c[1], c[2], fillAlpha};
        }
      }
    }
  }

  const Mask16* mask = dro::mask::EnabledValues();
  const uint16_t emptyAlpha = static_cast<uint16_t>((alphaFlag ? (inv % 256) : (wt % 256)) * 256);
  const bool vector = DabFastPathsEnabled() && cpu::UseAvx2();
  const BlendCopyRow kernel{{c[0], c[1], c[2], c[3]}, weight, emptyAlpha};
  for (int32_t row = d.top; row <= d.bottom; ++row) {
    const Pixel64* in = source.Row(row);
    Pixel64* out = sq.Row(row - d.top + d.skipY);
    const Mask16* m = mask ? mask + static_cast<size_t>(row) * geometry.width : nullptr;
    const int32_t done = vector && d.right >= d.left
                             ? BlendCopyRowAvx2(in + d.left, m ? m + d.left : nullptr,
                                                out + d.skipX, d.right - d.left + 1, kernel)
                             : 0;
    for (int32_t col = d.left + done; col <= d.right; ++col) {
      const Pixel64& s = in[col];
      uint32_t a = s.a;
      if (m) {
        const uint32_t k = m[col] == kFull ? kFull : (uint32_t{m[col]} * kFull) / 65536;
        a = static_cast<uint32_t>(k / 65535.0 * s.a);
      }
      Pixel64& p = out[col - d.left + d.skipX];
      if (a != 0) {
        auto mix = [&](uint16_t color, uint16_t under) {
          return static_cast<uint16_t>(
              std::min<uint32_t>((wt * color + inv * under) / 256 + 1, 65280));
        };
        p = Pixel64{mix(c[0], s.r), mix(c[1], s.g), mix(c[2], s.b),
                    static_cast<uint16_t>((wt * c[3] + inv * a) / 256)};
      } else {
        p = Pixel64{c[0], c[1], c[2], emptyAlpha};
      }
    }
  }
  return 1;
}

int32_t CopyBlendBufferMask(int32_t x, int32_t y, int32_t weight) noexcept {
  const CanvasGeometry& geometry = Geometry();
  const BrushState& brushState = State();
  if (brushState.blendStrength == 0) return 0;
  const Square sq = BlendSquare();
  const Mask16* mask = dro::mask::CanvasValues();
  if (!sq.pixels || !mask || sq.used <= 0) return 0;
  const uint32_t wt = static_cast<uint32_t>(std::clamp(weight, 0, 256));
  const auto& c = brushState.color;
  // A dark colour paints a high (open) value; white paints 0.
  const uint32_t g = (uint32_t{c[0]} + c[1] + c[2]) / 3;
  const uint32_t paint = g < 256 ? kFull : (g > 65280 ? 0 : 65280 - g);
  const DabSquare d = ClipDab(x, y, sq.used, geometry.width, geometry.height);

  if (d.partlyOutside) {
    for (int32_t i = 0; i < sq.used; ++i) {
      for (int32_t j = 0; j < sq.used; ++j) MaskEntry(sq.Row(i), j) = static_cast<uint16_t>(paint);
    }
  }
  for (int32_t row = d.top; row <= d.bottom; ++row) {
    const Mask16* m = mask + static_cast<size_t>(row) * geometry.width;
    Pixel64* out = sq.Row(row - d.top + d.skipY);
    for (int32_t col = d.left; col <= d.right; ++col) {
      const uint32_t s = wt * paint + (256 - wt) * m[col];
      MaskEntry(out, col - d.left + d.skipX) =
          static_cast<uint16_t>(s < 0xFF0000u ? s / 256 + 1 : 65280);
    }
  }
  return 1;
}

void ClearBlendBuffer() noexcept {
  // The whole buffer: clearing only part of it would leave stale colour for
  // the next dab of a larger brush.
  State().blendBuffer.FillBytes(0);
}

void FilterBlendBuffer(int32_t kind, int32_t amount) noexcept {
  const Square sq = BlendSquare();
  if (!sq.pixels || kind < 289 || kind > 292) return;
  const double level = std::clamp(amount * 655.35, -1.0, 65536.0);
  const int32_t t = static_cast<int32_t>(level);
  for (int32_t i = 0; i < sq.used; ++i) {
    Pixel64* row = sq.Row(i);
    for (int32_t j = 0; j < sq.used; ++j) {
      Pixel64& p = row[j];
      uint16_t* ch[3] = {&p.r, &p.g, &p.b};
      switch (kind) {
        case 289: {
          const uint16_t grey = static_cast<uint16_t>((uint32_t{p.r} + p.g + p.b) / 3);
          p.r = p.g = p.b = grey;
          break;
        }
        case 290:
          for (uint16_t* v : ch) *v = static_cast<uint16_t>(65535 - *v);
          break;
        case 291:
          for (uint16_t* v : ch) {
            if (*v < t) *v = 0;
          }
          break;
        default:
          for (uint16_t* v : ch) {
            if (*v > t) *v = 65280;
          }
          break;
      }
    }
  }
}

}  // namespace dro::brush
