#include "hostkit/fingerprint.h"

#include <vector>

#include "drovine.h"

namespace hostkit {

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t hash) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  return hash;
}

uint64_t LayerFingerprint(int32_t layer, int32_t width, int32_t height) {
  std::vector<uint16_t> pixels(static_cast<size_t>(width) * height * 4);
  DRO_GetRGBA64Layer(pixels.data(), width * 8, layer);
  return Fnv1a(pixels.data(), pixels.size() * sizeof(uint16_t));
}

}  // namespace hostkit
