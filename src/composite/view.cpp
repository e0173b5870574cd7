#include "composite/view.h"

#include "composite/display_state.h"

namespace dro::composite {

void SetTracingMode(uint8_t flag) noexcept {
  Display().tracingMode = flag;
}

void DisplayMask(uint8_t flag) noexcept {
  Display().maskDisplay = flag;
}

void SetScale(int32_t numerator, int32_t denominator) noexcept {
  if (numerator <= 0 || denominator <= 0) return;
  DisplayState& view = Display();
  view.zoomNumerator = numerator;
  view.zoomDenominator = denominator;
}

void SetOffset(int32_t x, int32_t y) noexcept {
  DisplayState& view = Display();
  view.offsetX = x;
  view.offsetY = y;
}

void SetViewSize(int32_t width, int32_t height) noexcept {
  DisplayState& view = Display();
  view.viewWidth = width;
  view.viewHeight = height;
}

}  // namespace dro::composite
