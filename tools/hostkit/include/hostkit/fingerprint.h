// Fingerprints of what was painted: a replay pins these, so any change in
// what a dab or the display produces shows as a different number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hostkit {

// FNV-1a over bytes; pass a previous result as `hash` to continue it over
// more bytes.
uint64_t Fnv1a(const void* data, size_t bytes, uint64_t hash = 14695981039346656037ull);

// The fingerprint of a canvas-size layer's 16-bit pixels, read through
// DRO_GetRGBA64Layer.
uint64_t LayerFingerprint(int32_t layer, int32_t width, int32_t height);

}  // namespace hostkit
