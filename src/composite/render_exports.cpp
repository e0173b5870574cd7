// Exports of the display: the compositor and the view setters.
#include "composite/render.h"
#include "composite/view.h"
#include "drovine.h"

namespace composite = dro::composite;

void DRO_CALL DRO_Render(void* destination, int32_t stride, int32_t x, int32_t y, int32_t width,
                         int32_t height) {
  composite::Render(destination, stride, x, y, width, height);
}

void DRO_CALL DRO_SetTracingMode(uint8_t flag) {
  composite::SetTracingMode(flag);
}
void DRO_CALL DRO_DisplayMask(uint8_t flag) {
  composite::DisplayMask(flag);
}
void DRO_CALL DRO_SetScale(int32_t numerator, int32_t denominator) {
  composite::SetScale(numerator, denominator);
}
void DRO_CALL DRO_SetOffset(int32_t x, int32_t y) {
  composite::SetOffset(x, y);
}
void DRO_CALL DRO_SetViewSize(int32_t width, int32_t height) {
  composite::SetViewSize(width, height);
}
