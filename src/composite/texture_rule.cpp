#include "composite/texture_rule.h"

#include "engine/engine.h"

namespace dro::composite {

void DiscardTexture() noexcept {
  engine().layers.texture.Reset();
}

void RebuildTextureFrom(int32_t slot) noexcept {
  (void)slot;
  DiscardTexture();
}

}  // namespace dro::composite
