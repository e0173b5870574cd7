// Exports of the texture map and the alpha modulation passes.
#include "composite/texture.h"
#include "drovine.h"

namespace cp = dro::composite;

void* DRO_CALL DRO_CreateTexture(int32_t slot) {
  return cp::CreateTexture(slot, "DRO_CreateTexture");
}

void DRO_CALL DRO_DeleteTexture(void) {
  cp::DeleteTexture();
}

void DRO_CALL DRO_AdjustRGBA32ByMaskAndTexture(void* rgba32, int32_t w, int32_t h) {
  cp::AdjustRgba32ByMaskAndTexture(static_cast<uint8_t*>(rgba32), 0, 0, w, h);
}

void DRO_CALL DRO_AdjustRGBA32RectByMaskAndTexture(void* rgba32, int32_t x, int32_t y, int32_t w,
                                                   int32_t h) {
  cp::AdjustRgba32ByMaskAndTexture(static_cast<uint8_t*>(rgba32), x, y, w, h);
}

void DRO_CALL DRO_AdjustRGBA32ForAlphaComp(uint8_t flag, void* rgba32) {
  if (flag) cp::AdjustRgba32ForAlphaComp(static_cast<uint8_t*>(rgba32));
}

void DRO_CALL DRO_AdjustRGBA32PreFilter(void* rgba32, int32_t w, int32_t h) {
  cp::AdjustRgba32PreFilter(static_cast<uint8_t*>(rgba32), w, h);
}

void DRO_CALL DRO_AdjustRGBA32PostFilter(void* rgba32, int32_t w, int32_t h) {
  cp::AdjustRgba32PostFilter(static_cast<uint8_t*>(rgba32), w, h);
}

void DRO_CALL DRO_AdjustRGBA64PreFilter(void* rgba64, int32_t w, int32_t h) {
  cp::AdjustRgba64PreFilter(static_cast<dro::Pixel64*>(rgba64), w, h);
}

void DRO_CALL DRO_AdjustRGBA64PostFilter(void* rgba64, int32_t w, int32_t h) {
  cp::AdjustRgba64PostFilter(static_cast<dro::Pixel64*>(rgba64), w, h);
}
