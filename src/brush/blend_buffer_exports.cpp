// Exports of the blend buffer: the pick-up copies, the mask form, clear and
// filter.
#include "brush/blend_buffer.h"
#include "composite/pixel_transfers.h"
#include "drovine.h"

namespace brush = dro::brush;
namespace composite = dro::composite;

int32_t DRO_CALL DRO_DoCopyBlendBuffer(int32_t x, int32_t y, const void* source, int32_t weight,
                                       uint8_t alphaFlag) {
  return brush::CopyBlendBuffer(x, y, composite::HostCanvasBuffer(const_cast<void*>(source)),
                                weight, alphaFlag != 0);
}

int32_t DRO_CALL DRO_CopyBlendBufferSurface(int32_t x, int32_t y, int32_t weight,
                                            uint8_t alphaFlag) {
  return brush::CopyBlendBuffer(x, y, composite::CurrentOnCanvas(), weight, alphaFlag != 0);
}

int32_t DRO_CALL DRO_CopyBlendBufferLayer(int32_t slot, int32_t x, int32_t y, int32_t weight) {
  return brush::CopyBlendBuffer(x, y, composite::LayerOnCanvas(slot, "DRO_CopyBlendBufferLayer"),
                                weight, false);
}

int32_t DRO_CALL DRO_CopyBlendBufferTrace(int32_t x, int32_t y, int32_t weight) {
  return brush::CopyBlendBuffer(x, y, composite::TraceOnCanvas(), weight, false);
}

int32_t DRO_CALL DRO_DoCopyBlendBufferMask(int32_t x, int32_t y, int32_t weight) {
  return brush::CopyBlendBufferMask(x, y, weight);
}

void DRO_CALL DRO_ClearBlendBuffer(void) {
  brush::ClearBlendBuffer();
}

void DRO_CALL DRO_FilterBlendBuffer(int32_t kind, int32_t amount) {
  brush::FilterBlendBuffer(kind, amount);
}
