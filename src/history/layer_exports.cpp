// Exports of the layer table that the undo store must follow: after a call
// that changes the current layer's pixels, or which layer is current, the
// back buffer takes the current layer's committed state. They call the
// layer stack, then the undo store, and so live here, above both: the layer
// stack itself knows nothing of the undo store.
#include "composite/layers.h"
#include "drovine.h"
#include "history/undo_store.h"

namespace composite = dro::composite;
namespace history = dro::history;

int32_t DRO_CALL DRO_CreateLayer(int32_t slot, int32_t width, int32_t height) {
  const int32_t made = composite::CreateLayer(slot, width, height);
  if (made) history::SaveUndoBackBufferIfCurrent(slot);
  return made;
}

void DRO_CALL DRO_SetLayer(int32_t slot) {
  if (composite::SetLayer(slot)) history::SaveUndoBackBuffer(slot);
}

void DRO_CALL DRO_SwapLayers(int32_t slotA, int32_t slotB) {
  if (!composite::SwapLayers(slotA, slotB)) return;
  // The current slot now holds other pixels: its committed state is theirs.
  history::SaveUndoBackBufferIfCurrent(slotA);
  history::SaveUndoBackBufferIfCurrent(slotB);
}
