#include "brush/brush_shape.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "brush/settings.h"
#include "engine/engine.h"
#include "engine/guard.h"

namespace dro::brush {
namespace {

uint64_t g_loads = 0;

enum class Sources { kScriptOrImage, kImageOnly };

bool HasSource(const char* path) noexcept {
  return path && path[0] != '\0' && path[1] != '\0';
}

// The tip exists and is L x L for the current limit.
bool TipReady() noexcept {
  const Engine& e = engine();
  const int64_t limit = e.canvas.brushLimit;
  return e.brush.tip && limit >= 0 && e.brush.tip.size() >= static_cast<size_t>(limit * limit);
}

// A disc of diameter S centred on the integer centre c = S / 2, solid out to
// R - F and fading linearly to 0 over the outer F = R x softness / 255. For
// an even S the disc reaches row and column 0 but stops short of S, one
// pixel fuller towards the top left.
void MakeDisc() {
  Engine& e = engine();
  BrushState& b = e.brush;
  const int32_t size = BrushSize();
  const int64_t stride = e.canvas.brushLimit;
  const double radius = size * 0.5;
  const int32_t centre = size / 2;
  const double fade = radius * b.tipSoftness / 255;
  const double core = radius - fade;
  Mask16* tip = b.tip.data();
  for (int32_t i = 0; i < size; ++i) {
    for (int32_t j = 0; j < size; ++j) {
      const int64_t dx = j - centre;
      const int64_t dy = i - centre;
      const int32_t d = static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      if (d > radius) continue;
      double m = 65535;
      if (b.tipSoftness != 0 && d > core) {
        m = (fade - (d - core)) / fade * 65535;
        if (m < 0) m = 0;
        if (m > 65535) m = 65535;
      }
      if (b.invertTip) m = std::abs(static_cast<int32_t>(m - 65535));
      tip[j * stride + i] = ScaleCoverage(m * b.tipOpacity);
    }
  }
}

// SHAPE-SOURCE

void BuildShape(const char* path, int32_t angle, Sources sources) noexcept {
  Guard("SetBrushShape", [&] {
    if (!TipReady()) return;  // no canvas: there is no tip to build
    engine().brush.tip.FillBytes(0);
    bool complete = false;
    if (HasSource(path)) {
      (void)angle;
      (void)sources;
    }
    if (!complete) MakeDisc();
  });
}

}  // namespace

Mask16 ScaleCoverage(double coverage) noexcept {
  if (!(coverage > 0)) return 0;  // negative and NaN alike
  if (coverage >= 65535) return 65535;
  return static_cast<Mask16>(coverage);
}

void SetBrushShape(const char* path, int32_t angle) noexcept {
  BuildShape(path, angle, Sources::kScriptOrImage);
}

void SetBrushShapeOriginal(const char* path, int32_t angle) noexcept {
  BuildShape(path, angle, Sources::kImageOnly);
}

uint64_t ShapeSourceLoadCount() noexcept {
  return g_loads;
}

}  // namespace dro::brush
