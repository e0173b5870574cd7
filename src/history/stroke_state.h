// The state of the engine's stroke: the options a host sets once and the
// stroke in progress (see history/stroke.h).
#pragma once

#include <cstdint>

namespace dro::history {

// How strokes lay and shape their dabs; kept until set again.
struct StrokeOptions {
  double spacing = 0.2;         // dab distance as a share of the dab's size
  double minPressure = 0.15;    // pressure below this counts as this
  bool pressureSize = true;     // pressure scales the dab's side
  bool pressureOpacity = true;  // pressure sets the paint alpha
  int32_t pickupWeight = -1;    // >= 0: pick up the layer under each dab first
  bool paintLayer = true;       // dabs gather in the paint layer until the end
  int32_t paintOpacity = 100;   // percent
  char paintMode[52] = "Normal";
};

// A half-open rectangle that grows from empty.
struct StrokeRect {
  int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
};

struct StrokeState {
  StrokeOptions options;
  bool down = false;     // between a begin and its end
  bool started = false;  // the first point of the stroke has been painted
  int32_t slot = -1;     // the layer the stroke paints into
  uint64_t serial = 0;   // that layer's pixels when the stroke began
  double lastX = 0, lastY = 0, carry = 0;
  double lastSeconds = 0;
  StrokeRect stroke;  // every dab of the stroke so far
  int64_t dabs = 0;   // dabs of the stroke so far
};

StrokeState& Stroke() noexcept;

}  // namespace dro::history
