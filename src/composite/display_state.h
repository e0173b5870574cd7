// What the display shows and how: the view (zoom, offset, size), tracing and
// the mask overlay switch. Plain data, read by the compositor.
#pragma once

#include <cstdint>

namespace dro::composite {

struct DisplayState {
  uint8_t tracingMode = 0;
  int32_t traceLayer = 0;  // layer record 0
  uint8_t maskDisplay = 0;
  // The view: zoom N/D, the canvas point at the view's corner and the view's
  // size in output pixels.
  int32_t zoomNumerator = 1;
  int32_t zoomDenominator = 1;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
};

// The engine's display state (the engine aggregate owns it).
DisplayState& Display() noexcept;

}  // namespace dro::composite
