// Exports of the blend buffer: the pick-up copies, the mask form, clear and
// filter.
#include "composite/blend_buffer.h"
#include "drovine.h"
#include "engine/pixel_transfers.h"

namespace cp = dro::composite;
namespace px = dro::pixels;

int32_t DRO_CALL DRO_DoCopyBlendBuffer(int32_t x, int32_t y, const void* source, int32_t weight,
                                       uint8_t alphaFlag) {
  return cp::CopyBlendBuffer(x, y, px::HostCanvasBuffer(const_cast<void*>(source)), weight,
                             alphaFlag != 0);
}

int32_t DRO_CALL DRO_CopyBlendBufferSurface(int32_t x, int32_t y, int32_t weight,
                                            uint8_t alphaFlag) {
  return cp::CopyBlendBuffer(x, y, px::CurrentOnCanvas(), weight, alphaFlag != 0);
}

int32_t DRO_CALL DRO_CopyBlendBufferLayer(int32_t slot, int32_t x, int32_t y, int32_t weight) {
  return cp::CopyBlendBuffer(x, y, px::LayerOnCanvas(slot), weight, false);
}

int32_t DRO_CALL DRO_CopyBlendBufferUnderLayer(int32_t x, int32_t y, int32_t weight) {
  return cp::CopyBlendBuffer(x, y, px::UnderLayerOnCanvas(), weight, false);
}

int32_t DRO_CALL DRO_CopyBlendBufferHistory(int32_t x, int32_t y, int32_t weight) {
  return cp::CopyBlendBuffer(x, y, px::UnderLayerOnCanvas(), weight, false);
}

int32_t DRO_CALL DRO_CopyBlendBufferTrace(int32_t x, int32_t y, int32_t weight) {
  return cp::CopyBlendBuffer(x, y, px::TraceOnCanvas(), weight, false);
}

int32_t DRO_CALL DRO_DoCopyBlendBufferMask(int32_t x, int32_t y, int32_t weight) {
  return cp::CopyBlendBufferMask(x, y, weight);
}

void DRO_CALL DRO_ClearBlendBuffer(void) {
  cp::ClearBlendBuffer();
}

void DRO_CALL DRO_FilterBlendBuffer(int32_t kind, int32_t amount) {
  cp::FilterBlendBuffer(kind, amount);
}
