// Export of the display compositor: a thin wrapper over dro::composite.
#include "composite/render.h"
#include "drovine.h"

void DRO_CALL DRO_Render(void* destination, int32_t stride, int32_t x, int32_t y, int32_t width,
                         int32_t height) {
  dro::composite::Render(destination, stride, x, y, width, height);
}
