// Exports of the mask shapes, the magic wand and the flood-result colouring.
#include "drovine.h"
#include "imaging/mask_shapes.h"

namespace im = dro::imaging;

void DRO_CALL DRO_IPLMaskEllipse(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t percent) {
  im::MaskEllipse(x0, y0, x1, y1, percent);
}

void DRO_CALL DRO_IPLMaskRectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int32_t percent) {
  im::MaskRectangle(x0, y0, x1, y1, percent);
}

void DRO_CALL DRO_IPLMaskWand(int32_t x, int32_t y, int32_t tolerance, int32_t percent,
                              const char* mode) {
  im::MaskWand(x, y, tolerance, percent, mode);
}

void DRO_CALL DRO_ColorRGBA32FromFloodMask(void* rgba32, const void* flags, int32_t r, int32_t g,
                                           int32_t b, int32_t a) {
  im::ColorFromFlags(static_cast<uint8_t*>(rgba32), static_cast<const uint8_t*>(flags), r, g, b, a);
}
