// Exports of the colour adjustments of host buffers.
#include "color/conversions.h"
#include "drovine.h"

int32_t DRO_CALL DRO_ProcessBuffer_HSLAdjust(void* rgba32, int32_t width, int32_t height,
                                             int32_t hueShift, int32_t saturationPercent,
                                             int32_t lightnessPercent) {
  dro::color::AdjustBufferHsl(static_cast<uint8_t*>(rgba32), width, height, hueShift,
                              saturationPercent, lightnessPercent);
  return width;
}

int32_t DRO_CALL DRO_ProcessBuffer_HSVAdjust(void* rgba32, int32_t width, int32_t height,
                                             int32_t hueShift, int32_t saturationPercent,
                                             int32_t valuePercent) {
  dro::color::AdjustBufferHsv(static_cast<uint8_t*>(rgba32), width, height, hueShift,
                              saturationPercent, valuePercent);
  return width;
}
