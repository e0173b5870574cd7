#include "history/stroke.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "brush/blend_buffer.h"
#include "brush/brush_state.h"
#include "brush/dab.h"
#include "brush/settings.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "history/undo_store.h"

namespace dro::history {

namespace {

void Grow(StrokeRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept {
  r.x0 = std::min(r.x0, left);
  r.y0 = std::min(r.y0, top);
  r.x1 = std::max(r.x1, right);
  r.y1 = std::max(r.y1, bottom);
}

// x, y, width, height of the rectangle's part on the canvas (all 0 when it
// has none).
void Report(const StrokeRect& r, int32_t* out) noexcept {
  if (!out) return;
  const CanvasGeometry& c = Geometry();
  const int32_t x0 = std::max(r.x0, 0);
  const int32_t y0 = std::max(r.y0, 0);
  const int32_t x1 = std::min(r.x1, c.width);
  const int32_t y1 = std::min(r.y1, c.height);
  if (x0 >= x1 || y0 >= y1) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  out[0] = x0;
  out[1] = y0;
  out[2] = x1 - x0;
  out[3] = y1 - y0;
}

// The stroke's layer as it was when the stroke began, or null when it has
// gone since (deleted, re-made, the canvas released or resized).
composite::LayerRecord* StrokeLayer(const StrokeState& s) noexcept {
  const CanvasGeometry& c = Geometry();
  if (!c.live) return nullptr;
  composite::LayerRecord* rec = composite::LayerWithPixels(s.slot);
  if (!rec || rec->serial != s.serial || !rec->Matches(c.width, c.height)) return nullptr;
  return rec;
}

void Dab(StrokeState& s, double x, double y, int32_t count, StrokeRect& dirty) noexcept {
  // |x|, |y| <= kMaxStrokeCoordinate: the centre fits an int32.
  const int32_t cx = static_cast<int32_t>(std::floor(x + 0.5));
  const int32_t cy = static_cast<int32_t>(std::floor(y + 0.5));
  // A dab wholly off the canvas would paint nothing; it is not made at all,
  // so that it neither stretches the undo rectangle nor draws on the
  // random sequence of the dabs that do paint.
  const CanvasGeometry& c = Geometry();
  const int64_t left64 = int64_t{cx} - count / 2;
  const int64_t top64 = int64_t{cy} - count / 2;
  if (left64 + count <= 0 || top64 + count <= 0 || left64 >= c.width || top64 >= c.height) return;
  const brush::BrushState& b = brush::State();
  if (s.options.pickupWeight >= 0) {
    brush::CopyBlendBuffer(cx, cy, composite::CurrentOnCanvas(), s.options.pickupWeight, false);
  }
  brush::DrawDabGrit(cx, cy, b.color[0], b.color[1], b.color[2]);
  brush::DecDrawingLength();
  const int32_t left = cx - count / 2;
  const int32_t top = cy - count / 2;
  Grow(dirty, left, top, left + count, top + count);
  Grow(s.stroke, left, top, left + count, top + count);
  ++s.dabs;
}

}  // namespace

int32_t SetStrokeOptions(double spacing, double minPressure, int32_t pressureCurves,
                         int32_t pickupWeight, bool paintLayer, int32_t paintOpacity,
                         const char* paintMode) noexcept {
  constexpr const char* kWhere = "DRO_XSetStrokeOptions";
  const char* mode = paintMode ? paintMode : "Normal";
  // Every comparison is written so that NaN fails it.
  if (!(spacing >= 0.01 && spacing <= 100)) {
    Diagnose(kWhere, "spacing %g outside 0.01..100; options unchanged", spacing);
    return 0;
  }
  if (!(minPressure >= 0 && minPressure <= 1)) {
    Diagnose(kWhere, "minimum pressure %g outside 0..1; options unchanged", minPressure);
    return 0;
  }
  if (pressureCurves < 0 || pressureCurves > (kPressureSize | kPressureOpacity)) {
    Diagnose(kWhere, "pressure curves %d outside 0..3; options unchanged", pressureCurves);
    return 0;
  }
  if (paintOpacity < 0 || paintOpacity > 100) {
    Diagnose(kWhere, "paint layer opacity %d%% outside 0..100; options unchanged", paintOpacity);
    return 0;
  }
  StrokeOptions& o = Stroke().options;
  if (strnlen(mode, sizeof o.paintMode) >= 50) {
    Diagnose(kWhere, "blend mode name of 50 or more characters; options unchanged");
    return 0;
  }
  o.spacing = spacing;
  o.minPressure = minPressure;
  o.pressureSize = (pressureCurves & kPressureSize) != 0;
  o.pressureOpacity = (pressureCurves & kPressureOpacity) != 0;
  o.pickupWeight = pickupWeight;
  o.paintLayer = paintLayer;
  o.paintOpacity = paintOpacity;
  std::memset(o.paintMode, 0, sizeof o.paintMode);
  std::memcpy(o.paintMode, mode, std::strlen(mode));
  return 1;
}

int32_t StrokeBegin(int32_t slot) noexcept {
  constexpr const char* kWhere = "DRO_XStrokeBegin";
  StrokeState& s = Stroke();
  if (s.down) StrokeEnd(nullptr);
  const CanvasGeometry& c = Geometry();
  if (!c.live) {
    Diagnose(kWhere, "no canvas (DRO_CreateImage)");
    return 0;
  }
  composite::LayerRecord* rec = composite::LayerWithPixels(slot);
  if (!rec) {
    composite::DiagnoseUnusableSlot(kWhere, slot);
    return 0;
  }
  if (!rec->Matches(c.width, c.height)) {
    Diagnose(kWhere, "slot %d is %d x %d, the canvas %d x %d: re-create it", slot, rec->width,
             rec->height, c.width, c.height);
    return 0;
  }
  composite::LayerState& layers = composite::Layers();
  if (layers.current != rec) {
    if (!composite::SetLayer(slot)) return 0;
    SaveUndoBackBuffer(slot);
  }
  if (s.options.paintLayer) {
    composite::CreatePaintLayer(s.options.paintOpacity, s.options.paintMode);
    if (!layers.paint.pixels) return 0;  // out of memory: recorded as the last error
  } else {
    composite::DeletePaintLayer();
  }
  s.down = true;
  s.started = false;
  s.slot = slot;
  s.serial = rec->serial;
  s.carry = 0;
  s.lastSeconds = -INFINITY;
  s.stroke = StrokeRect{};
  s.dabs = 0;
  return 1;
}

int32_t StrokeTo(double x, double y, double pressure, double seconds, int32_t* rect) noexcept {
  constexpr const char* kWhere = "DRO_XStrokeTo";
  StrokeState& s = Stroke();
  Report(StrokeRect{}, rect);
  if (!s.down) {
    Diagnose(kWhere, "no stroke begun (DRO_XStrokeBegin)");
    return -1;
  }
  if (!StrokeLayer(s)) {
    Diagnose(kWhere, "the stroke's layer %d went away; stroke dropped", s.slot);
    s.down = false;
    return -1;
  }
  if (!(std::fabs(x) <= kMaxStrokeCoordinate && std::fabs(y) <= kMaxStrokeCoordinate)) {
    Diagnose(kWhere, "point (%g, %g) not finite or beyond +-%.0f; ignored", x, y,
             kMaxStrokeCoordinate);
    return -1;
  }
  if (!(seconds >= s.lastSeconds)) {
    Diagnose(kWhere, "time %g s before the previous point's %g s; painted all the same", seconds,
             s.lastSeconds);
  } else {
    s.lastSeconds = seconds;
  }
  const StrokeOptions& o = s.options;
  const double p = std::isnan(pressure) ? o.minPressure : std::clamp(pressure, o.minPressure, 1.0);
  const int32_t size = brush::State().size;
  const int32_t count =
      o.pressureSize ? std::max(1, static_cast<int32_t>(std::lround(size * p))) : size;
  brush::SetScaleSize(count);
  if (o.pressureOpacity) brush::SetAlpha(std::clamp(static_cast<int32_t>(p * 100), 1, 100));

  StrokeRect dirty;
  const int64_t before = s.dabs;
  if (!s.started) {
    Dab(s, x, y, count, dirty);
    s.started = true;
    s.carry = 0;
  } else {
    // A dab every `step` pixels along the path since the last dab.
    const double step = std::max(1.0, count * o.spacing);
    const double dx = x - s.lastX;
    const double dy = y - s.lastY;
    const double length = std::sqrt(dx * dx + dy * dy);
    double at = step - s.carry;
    while (at <= length) {
      const double t = at / length;
      Dab(s, s.lastX + dx * t, s.lastY + dy * t, count, dirty);
      at += step;
    }
    // What is left since the last dab (the whole way when none fitted).
    s.carry = length - (at - step);
  }
  s.lastX = x;
  s.lastY = y;
  Report(dirty, rect);
  return static_cast<int32_t>(s.dabs - before);
}

int32_t StrokeEnd(int32_t* rect) noexcept {
  StrokeState& s = Stroke();
  Report(StrokeRect{}, rect);
  if (!s.down) {
    Diagnose("DRO_XStrokeEnd", "no stroke begun (DRO_XStrokeBegin)");
    return -1;
  }
  s.down = false;
  if (!StrokeLayer(s)) {
    Diagnose("DRO_XStrokeEnd", "the stroke's layer %d went away; stroke dropped", s.slot);
    return -1;
  }
  if (s.options.paintLayer) composite::MergePaintLayer(s.slot);
  // The undo store takes a stroke without dabs as a change of the whole
  // canvas: there is nothing to commit.
  if (s.dabs > 0) SaveUndoBuffer(true, false);
  Report(s.stroke, rect);
  return static_cast<int32_t>(std::min<int64_t>(s.dabs, INT32_MAX));
}

}  // namespace dro::history
