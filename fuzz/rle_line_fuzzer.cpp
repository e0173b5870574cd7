// Run-length lines from the host: RGBA and mask lines decoded into a layer
// row and a mask row. The host's line has no length of its own; its
// records end the line when their runs fill it, so the input is followed
// by a zero-length record, as a well-formed host buffer would end.
#include <cstdint>
#include <cstring>
#include <vector>

#include "drovine.h"

namespace {

constexpr int32_t kWidth = 300, kHeight = 4;

bool Ready() {
  DRO_CreateImage(nullptr, kWidth, kHeight, 16, 0);
  DRO_CreateLayer(2, kWidth, kHeight);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Ready();
  (void)ready;
  if (size < 1) return 0;
  const int32_t row = data[0] % (kHeight + 2) - 1;  // rows -1 .. height
  std::vector<uint8_t> line(data + 1, data + size);
  line.resize(line.size() + 8, 0);
  DRO_PutRGBA32LayerLineRLE(line.data(), 2, row);
  DRO_PutMaskLineRLE(line.data(), row);
  std::vector<uint8_t> wide(size_t(kWidth) * 8);
  DRO_RLEUncompressRGBA32ToRGBA64(line.data(), wide.data(), kWidth);
  DRO_RLEUncompressG8ToG16(line.data(), wide.data(), kWidth);
  return 0;
}
