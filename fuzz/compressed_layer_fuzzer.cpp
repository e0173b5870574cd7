// Compressed layers from the host: a deflate stream that must inflate to
// exactly the layer's RGBA bytes before anything is loaded.
#include <cstddef>
#include <cstdint>

#include "drovine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    DRO_CreateImage(nullptr, 40, 30, 16, 0);
    DRO_CreateLayer(2, 40, 30);
    return true;
  }();
  (void)ready;
  DRO_LoadRGBA32LayerCompressed(data, 0, static_cast<int32_t>(size), 2);
  return 0;
}
