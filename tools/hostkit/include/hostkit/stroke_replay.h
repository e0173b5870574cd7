// A painting host in miniature: turns tablet events (position and pen
// pressure) into strokes through the public interface only, the way a
// painting application drives the engine, and keeps the host's 24-bit view
// bitmap up to date with DRO_Render of each dirty rectangle.
//
// The pen touching begins a stroke (DRO_XStrokeBegin), each pressed event
// is a point of it (DRO_XStrokeTo: dabs spaced along the path, size and
// opacity from the pressure), and the pen lifting ends it (DRO_XStrokeEnd:
// the paint layer merged, the change committed to the undo store).
//
// The replay calls the engine's exports but links no engine itself: the
// program using it links the one it runs on.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

struct TabletEvent {
  double time = 0;
  double x = 0;
  double y = 0;
  double pressure = 0;  // 0 while the pen hovers
};

// Reads "time x y pressure" lines; an unreadable file gives no events.
std::vector<TabletEvent> ReadTabletEvents(const std::string& path);

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
  StrokeReplay(int32_t layer, int32_t width, int32_t height);

  // Takes up a brush: the tool, colour, vary and mix settings.
  void Use(const BrushStyle& s);

  // One tablet event; offset moves the whole recording on the canvas.
  void Event(const TabletEvent& e, double dx = 0, double dy = 0);

  // Paints into another layer from the next stroke on.
  void SetLayer(int32_t layer);

  // Lifts the pen if it is down.
  void Finish();

  const std::vector<uint8_t>& view() const { return view_; }
  int32_t stride() const { return stride_; }
  int64_t dabs() const { return dabs_; }
  int64_t paintedPixels() const { return painted_; }

 private:
  // Counts the dabs one point painted at the side its pressure gave.
  void Count(int32_t dabs, double pressure);
  // Renders the rectangle (x, y, width, height; clipped to the canvas) into
  // its place in the view.
  void Show(const int32_t* rect);

  int32_t layer_;
  int32_t width_;
  int32_t height_;
  int32_t stride_;
  std::vector<uint8_t> view_;
  BrushStyle style_;
  bool down_ = false;
  int64_t dabs_ = 0;
  int64_t painted_ = 0;
};

}  // namespace hostkit
