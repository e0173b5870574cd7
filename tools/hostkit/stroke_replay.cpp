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
  const int32_t all[4] = {0, 0, width, height};
  Show(all);
}

void StrokeReplay::Use(const BrushStyle& s) {
  style_ = s;
  DRO_XSetStrokeOptions(s.spacing, s.minPressure, 3, s.pickupWeight, s.paintLayer ? 1 : 0,
                        s.paintOpacity, s.paintMode);
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
  if (e.pressure <= 0) {
    Finish();
    return;
  }
  if (!down_) {
    down_ = DRO_XStrokeBegin(layer_) == 1;
    if (!down_) return;
  }
  int32_t rect[4];
  const int32_t n = DRO_XStrokeTo(e.x + dx, e.y + dy, e.pressure, e.time, rect);
  if (n < 0) return;
  Count(n, e.pressure);
  Show(rect);
}

void StrokeReplay::SetLayer(int32_t layer) {
  Finish();
  layer_ = layer;
  DRO_SetLayer(layer);
}

void StrokeReplay::Finish() {
  if (!down_) return;
  down_ = false;
  int32_t rect[4];
  if (DRO_XStrokeEnd(rect) >= 0) Show(rect);
}

void StrokeReplay::Count(int32_t dabs, double pressure) {
  // Every dab of one call has the side the pressure gave that call.
  int32_t side = 0;
  if (dabs > 0) {
    const double p = std::clamp(pressure, style_.minPressure, 1.0);
    side = std::max(1, static_cast<int32_t>(std::lround(style_.size * p)));
  }
  dabs_ += dabs;
  painted_ += int64_t{dabs} * side * side;
}

void StrokeReplay::Show(const int32_t* r) {
  const int32_t x0 = std::max(r[0], 0);
  const int32_t y0 = std::max(r[1], 0);
  const int32_t x1 = std::min(r[0] + r[2], width_);
  const int32_t y1 = std::min(r[1] + r[3], height_);
  if (x0 >= x1 || y0 >= y1) return;
  DRO_Render(view_.data() + static_cast<size_t>(y0) * stride_ + static_cast<size_t>(x0) * 3,
             stride_, x0, y0, x1 - x0, y1 - y0);
}

}  // namespace hostkit
