// Exports of the layer table and the paint layer.
#include "drovine.h"
#include "engine/engine.h"

using dro::engine;

int32_t DRO_CALL DRO_DeletePaintLayer(void) {
  dro::Buffer<dro::Pixel64>& pixels = engine().layers.paint.pixels;
  if (!pixels) return 0;
  pixels.Reset();
  return 1;
}
