// The texture rule's two actions, as the layer stack calls them: a visible
// "Texturize3" layer that is not the current layer is the source of the
// texture map.
#pragma once

#include <cstdint>

namespace dro::composite {

// Drops the texture map.
void DiscardTexture() noexcept;

// Makes the texture map from the "Texturize3" layer in `slot`
// (CreateTexture); when it cannot be made, the map is dropped, so no stale
// map ever outlives its source layer.
void RebuildTextureFrom(int32_t slot) noexcept;

}  // namespace dro::composite
