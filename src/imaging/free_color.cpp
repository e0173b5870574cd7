#include "imaging/free_color.h"

#include <bit>
#include <cstring>

#include "base/allocation.h"

namespace dro::imaging {

std::optional<uint32_t> FindFreeColor(const uint8_t* rgba32, size_t pixelCount) {
  constexpr size_t kColors = size_t{1} << 24;
  constexpr size_t kWords = kColors / 64;
  // A picture smaller than the colour space cannot use every colour, but it
  // may still use all the small ones, so it is scanned like any other.
  Buffer<uint64_t> present = Buffer<uint64_t>::MakeBytes(kWords, 0);
  uint64_t* bits = present.data();
  const uint8_t* p = rgba32;
  if (!p) pixelCount = 0;
  // One 32-bit load per pixel; on a little-endian machine its low 24 bits
  // are red | green << 8 | blue << 16 already.
  for (size_t i = 0; i < pixelCount; ++i, p += 4) {
    uint32_t word;
    std::memcpy(&word, p, 4);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
    const uint32_t color = word & 0xFFFFFFu;
    bits[color >> 6] |= uint64_t{1} << (color & 63);
  }
  for (size_t w = 0; w < kWords; ++w) {
    if (bits[w] != ~uint64_t{0})
      return static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_one(bits[w])));
  }
  return std::nullopt;
}

}  // namespace dro::imaging
