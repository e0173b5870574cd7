// Exports of the dab renderer: thin wrappers over dro::brush.
#include "brush/dab.h"
#include "drovine.h"

int32_t DRO_CALL DRO_DrawDabGrit(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) {
  return dro::brush::DrawDabGrit(x, y, red, green, blue);
}

int32_t DRO_CALL DRO_DrawDabGritMask(int32_t x, int32_t y) {
  return dro::brush::DrawDabGritMask(x, y);
}
