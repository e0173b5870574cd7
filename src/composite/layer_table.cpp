#include "composite/layer_state.h"
#include "engine/engine.h"
#include "engine/guard.h"

namespace dro::composite {

bool ValidSlot(int32_t slot) noexcept {
  return slot >= 0 && slot < kLayerSlots;
}

void DeleteLayer(int32_t slot) noexcept {
  if (!ValidSlot(slot)) return;
  Guard("DeleteLayer", [&] { engine().layers.slots[slot].pixels.Reset(); });
}

int32_t CountLayers() noexcept {
  int32_t n = 0;
  for (const LayerRecord& r : engine().layers.slots) n += r.pixels ? 1 : 0;
  return n;
}

}  // namespace dro::composite
