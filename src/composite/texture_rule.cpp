#include "composite/texture_rule.h"

#include "composite/layer_state.h"
#include "composite/texture.h"

namespace dro::composite {

void DiscardTexture() noexcept {
  Layers().texture.Reset();
}

void RebuildTextureFrom(int32_t slot) noexcept {
  // A map that cannot be made from the slot must not outlive its source.
  if (!CreateTexture(slot)) DiscardTexture();
}

}  // namespace dro::composite
