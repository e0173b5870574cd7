// A painting host in miniature: turns tablet events (position and pen
// pressure) into dabs through the public interface only, the way a painting
// application drives the engine, and keeps the host's 24-bit view bitmap up
// to date with DRO_Render after every event.
//
// Per stroke: a paint layer (when the style asks for one) collects the
// dabs; the pen lifting merges it into the layer and commits the change to
// the undo store. Along the pen's path dabs are spaced by a share of their
// size, which together with the opacity follows the pressure.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drovine.h"

namespace drovine_host {

struct TabletEvent {
  double time = 0;
  double x = 0;
  double y = 0;
  double pressure = 0;  // 0 while the pen hovers
};

// Reads "time x y pressure" lines; an unreadable file gives no events.
inline std::vector<TabletEvent> ReadTabletEvents(const std::string& path) {
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

// How a brush paints: the tool, the colour and how the host lays dabs.
struct BrushStyle {
  int32_t size = 24;       // the tip's side; full pressure paints this size
  int32_t softness = 200;  // soft edge of the disc tip, 0..255
  float tipOpacity = 1.0f;
  int32_t gritCell = 0;  // 0: no grit
  int32_t gritCellThreshold = 0;
  int32_t gritPixelThreshold = 0;
  int32_t density = 255;
  int32_t drawingLength = 8;  // dabs per grit window
  int32_t colorVary = 0;
  int32_t pixColorVary = 0;
  int32_t pixLumVary = 0;
  int32_t rotate = 0;  // degrees; 0 leaves the tip unturned
  int32_t blendStrength = 0;
  int32_t primaryStrength = 0;
  int32_t remix = 0;
  int32_t pickupWeight = -1;  // >= 0: pick up the layer under each dab first
  int32_t mixMode = 32;
  int32_t mixAmount = 127;
  int32_t red = 0, green = 0, blue = 0;  // 8-bit
  bool paintLayer = true;
  int32_t paintOpacity = 100;  // percent
  const char* paintMode = "Normal";
  double spacing = 0.2;  // distance between dabs as a share of the size
  double minPressure = 0.15;
  int32_t seed = 1;
};

// Replays events into one layer of a canvas the caller made, keeping a
// canvas-size BGR view bitmap.
class StrokeReplay {
 public:
  StrokeReplay(int32_t layer, int32_t width, int32_t height)
      : layer_(layer),
        width_(width),
        height_(height),
        stride_(width * 3),
        view_(static_cast<size_t>(stride_) * height, 0) {
    DRO_SetViewSize(width, height);
    DRO_SetScale(1, 1);
    Show(Rect{0, 0, width, height});
  }

  // Takes up a brush: the tool, colour, vary and mix settings.
  void Use(const BrushStyle& s) {
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

  // One tablet event; offset moves the whole recording on the canvas.
  void Event(const TabletEvent& e, double dx = 0, double dy = 0) {
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

  // Paints into another layer from the next stroke on.
  void SetLayer(int32_t layer) {
    Finish();
    layer_ = layer;
    DRO_SetLayer(layer);
  }

  // Lifts the pen if it is down.
  void Finish() {
    if (down_) EndStroke();
  }

  const std::vector<uint8_t>& view() const { return view_; }
  int32_t stride() const { return stride_; }
  int64_t dabs() const { return dabs_; }
  int64_t paintedPixels() const { return painted_; }

 private:
  struct Rect {
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;  // x1, y1 exclusive
    void Add(int32_t l, int32_t t, int32_t r, int32_t b) {
      x0 = std::min(x0, l);
      y0 = std::min(y0, t);
      x1 = std::max(x1, r);
      y1 = std::max(y1, b);
    }
  };

  void BeginStroke() {
    down_ = true;
    stroke_ = Rect{};
    if (style_.paintLayer) DRO_CreatePaintLayer(style_.paintOpacity, style_.paintMode);
  }

  void EndStroke() {
    down_ = false;
    if (style_.paintLayer) DRO_MergePaintLayer(layer_);
    DRO_SaveUndoBuffer(1, 0);
    Show(stroke_);
  }

  void Dab(double x, double y, int32_t count, Rect& dirty) {
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

  // Renders the rectangle (clipped to the canvas) into its place in the view.
  void Show(const Rect& r) {
    const int32_t x0 = std::max(r.x0, 0);
    const int32_t y0 = std::max(r.y0, 0);
    const int32_t x1 = std::min(r.x1, width_);
    const int32_t y1 = std::min(r.y1, height_);
    if (x0 >= x1 || y0 >= y1) return;
    DRO_Render(view_.data() + static_cast<size_t>(y0) * stride_ + static_cast<size_t>(x0) * 3,
               stride_, x0, y0, x1 - x0, y1 - y0);
  }

  int32_t layer_;
  int32_t width_;
  int32_t height_;
  int32_t stride_;
  std::vector<uint8_t> view_;
  BrushStyle style_;
  bool down_ = false;
  double lastX_ = 0, lastY_ = 0, carry_ = 0;
  Rect stroke_;
  int64_t dabs_ = 0;
  int64_t painted_ = 0;
};

// FNV-1a over bytes: the fingerprint replays pin.
inline uint64_t Fnv1a(const void* data, size_t bytes, uint64_t hash = 14695981039346656037ull) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  return hash;
}

// The fingerprint of a canvas-size layer's 16-bit pixels.
inline uint64_t LayerFingerprint(int32_t layer, int32_t width, int32_t height) {
  std::vector<uint16_t> pixels(static_cast<size_t>(width) * height * 4);
  DRO_GetRGBA64Layer(pixels.data(), width * 8, layer);
  return Fnv1a(pixels.data(), pixels.size() * sizeof(uint16_t));
}

}  // namespace drovine_host
