#include "hostkit/stroke_replay.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "drovine.h"

namespace hostkit {

std::vector<TabletEvent> ReadTabletEvents(const std::string& path) {
  std::vector<TabletEvent> events;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    TabletEvent e;
    if (fields >> e.time >> e.x >> e.y >> e.pressure) events.push_back(e);
  }
  return events;
}

StrokeReplay::StrokeReplay(int32_t layer, int32_t width, int32_t height)
    : layer_(layer),
      width_(width),
      height_(height),
      stride_(width * 3),
      view_(static_cast<size_t>(stride_) * height, 0) {
  DRO_SetViewSize(width, height);
  DRO_SetScale(1, 1);
  Show(Rect{0, 0, width, height});
}

void StrokeReplay::Use(const BrushStyle& s) {
  style_ = s;
  // Without a paint layer the dabs go straight into the layer.
  if (!s.paintLayer) DRO_DeletePaintLayer();
  DRO_SetRandomSeed(s.seed);
  DRO_SetSize(s.size);
  DRO_SetDensity(s.density);
  DRO_SetAlpha(100);
  DRO_SetMixMode(s.mixMode, s.mixAmount);
  DRO_SetTool(s.tipOpacity, s.gritCell, s.gritCellThreshold, s.gritPixelThreshold, s.softness,
              s.colorVary, s.drawingLength, s.blendStrength, s.primaryStrength, s.remix, 0, 0, 0,
              "", "", 0);
  // The tool resets the mix mode to the plain paint path.
  DRO_SetMixMode(s.mixMode, s.mixAmount);
  DRO_SetPixColorVary(s.pixColorVary);
  DRO_SetPixLumVary(s.pixLumVary);
  DRO_SetRotateBrushMode(s.rotate != 0 ? 1 : 0, s.rotate);
  DRO_SetColor(s.red, s.green, s.blue);
}

void StrokeReplay::Event(const TabletEvent& e, double dx, double dy) {
  const double x = e.x + dx;
  const double y = e.y + dy;
  if (e.pressure <= 0) {
    if (down_) EndStroke();
    return;
  }
  Rect dirty;
  const double pressure = std::max(e.pressure, style_.minPressure);
  const int32_t count = std::max(1, static_cast<int32_t>(std::lround(style_.size * pressure)));
  DRO_SetScaleSize(count);
  DRO_SetAlpha(std::clamp(static_cast<int32_t>(pressure * 100), 1, 100));
  if (!down_) {
    BeginStroke();
    Dab(x, y, count, dirty);
    lastX_ = x;
    lastY_ = y;
    carry_ = 0;
  } else {
    // Dabs every `step` pixels along the path since the last dab.
    const double step = std::max(1.0, count * style_.spacing);
    const double ddx = x - lastX_;
    const double ddy = y - lastY_;
    const double length = std::sqrt(ddx * ddx + ddy * ddy);
    double at = step - carry_;
    while (at <= length) {
      const double t = at / length;
      Dab(lastX_ + ddx * t, lastY_ + ddy * t, count, dirty);
      at += step;
    }
    // What is left since the last dab (the whole way when none fitted).
    carry_ = length - (at - step);
    lastX_ = x;
    lastY_ = y;
  }
  Show(dirty);
}

void StrokeReplay::SetLayer(int32_t layer) {
  Finish();
  layer_ = layer;
  DRO_SetLayer(layer);
}

void StrokeReplay::Finish() {
  if (down_) EndStroke();
}

void StrokeReplay::BeginStroke() {
  down_ = true;
  stroke_ = Rect{};
  if (style_.paintLayer) DRO_CreatePaintLayer(style_.paintOpacity, style_.paintMode);
}

void StrokeReplay::EndStroke() {
  down_ = false;
  if (style_.paintLayer) DRO_MergePaintLayer(layer_);
  DRO_SaveUndoBuffer(1, 0);
  Show(stroke_);
}

void StrokeReplay::Dab(double x, double y, int32_t count, Rect& dirty) {
  const int32_t cx = static_cast<int32_t>(std::floor(x + 0.5));
  const int32_t cy = static_cast<int32_t>(std::floor(y + 0.5));
  if (style_.pickupWeight >= 0) DRO_CopyBlendBufferSurface(cx, cy, style_.pickupWeight, 0);
  DRO_DrawDabGrit(cx, cy, style_.red << 8, style_.green << 8, style_.blue << 8);
  DRO_DecDrawingLength();
  const int32_t left = cx - count / 2;
  const int32_t top = cy - count / 2;
  dirty.Add(left, top, left + count, top + count);
  stroke_.Add(left, top, left + count, top + count);
  ++dabs_;
  painted_ += int64_t{count} * count;
}

void StrokeReplay::Show(const Rect& r) {
  const int32_t x0 = std::max(r.x0, 0);
  const int32_t y0 = std::max(r.y0, 0);
  const int32_t x1 = std::min(r.x1, width_);
  const int32_t y1 = std::min(r.y1, height_);
  if (x0 >= x1 || y0 >= y1) return;
  DRO_Render(view_.data() + static_cast<size_t>(y0) * stride_ + static_cast<size_t>(x0) * 3,
             stride_, x0, y0, x1 - x0, y1 - y0);
}

}  // namespace hostkit
