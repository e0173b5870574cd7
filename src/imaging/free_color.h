// The free-colour search: an RGB colour that no pixel of a picture uses, so
// that an operation can paint it as a key and find exactly its own pixels
// again afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dro::imaging {

// The first colour absent from `pixelCount` tight RGBA32 pixels (alpha is
// not looked at), in the order blue outermost from 0, then green, then red
// innermost, packed as red | green << 8 | blue << 16. Because that order is
// the packed value counting up, one pass marks every colour present in a
// 2^24-bit map and the answer is the map's first clear bit. No value when
// all 16,777,216 colours are present. Throws std::bad_alloc when the 2 MiB
// map cannot be had (callers run inside their guard). A null picture has no
// pixels.
std::optional<uint32_t> FindFreeColor(const uint8_t* rgba32, size_t pixelCount);

}  // namespace dro::imaging
