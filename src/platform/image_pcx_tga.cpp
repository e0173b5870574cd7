// Our own readers of the two formats the engine writes without a library:
// PCX (8 bits a plane: 1 plane with a palette or grey, 3 planes RGB, 4 RGBA;
// run-length encoded) and TGA (true colour 15, 16, 24 and 32 bits, grey,
// colour-mapped; plain or run-length encoded; any origin). Neither format
// has a signature worth the name: the checks of LooksLikePcx and
// LooksLikeTga keep other bytes from being taken for them.
#include <algorithm>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image::detail {
namespace {

uint32_t Le16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

}  // namespace

bool LooksLikePcx(const uint8_t* b, size_t n) noexcept {
  if (n < 128 || b[0] != 10 || b[1] > 5 || b[1] == 1 || b[2] != 1 || b[3] != 8) return false;
  const uint32_t planes = b[65];
  return (planes == 1 || planes == 3 || planes == 4) && Le16(b + 8) >= Le16(b + 4) &&
         Le16(b + 10) >= Le16(b + 6) && Le16(b + 66) > 0;
}

bool LooksLikeTga(const uint8_t* b, size_t n) noexcept {
  if (n < 18 || b[1] > 1) return false;
  const uint32_t type = b[2] & 7, bits = b[16], width = Le16(b + 12), height = Le16(b + 14);
  if ((b[2] & ~8u) > 3 || type == 0 || width == 0 || height == 0 || (b[17] & 0xC0)) return false;
  if (type == 1) return b[1] == 1 && bits == 8 && Le16(b + 5) > 0;
  if (type == 2) return bits == 15 || bits == 16 || bits == 24 || bits == 32;
  return bits == 8 || bits == 16;  // grey, grey with alpha
}

bool ReadPcxRgba(const uint8_t* data, size_t size, Picture& out) {
  if (!LooksLikePcx(data, size)) return false;
  const int64_t width = int64_t(Le16(data + 8)) - Le16(data + 4) + 1;
  const int64_t height = int64_t(Le16(data + 10)) - Le16(data + 6) + 1;
  const size_t planes = data[65], perLine = Le16(data + 66);
  if (!AcceptableSize(width, height) || perLine < size_t(width) || perLine > size_t(width) + 64)
    return false;
  // Each stream byte yields at most 63 bytes: a short file cannot claim a
  // large picture.
  const uint64_t needed = uint64_t(height) * planes * perLine;
  if (needed > uint64_t(size - 128) * 63) return false;
  Buffer<uint8_t> lines = Buffer<uint8_t>::Make(size_t(needed));
  size_t at = 128, o = 0;
  while (o < needed) {
    if (at >= size) return false;
    uint32_t count = 1;
    uint8_t value = data[at++];
    if (value >= 0xC0) {
      count = value & 0x3F;
      if (at >= size) return false;
      value = data[at++];
    }
    while (count-- && o < needed) lines[o++] = value;
  }
  // One plane: the 256-colour palette after a 12 marker at the end, or grey.
  const uint8_t* palette = nullptr;
  if (planes == 1 && size >= 769 + 128 && data[size - 769] == 12) palette = data + size - 768;
  Picture p = MakeRgba(int32_t(width), int32_t(height), false);
  uint8_t* d = p.pixels.data();
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* line = lines.data() + size_t(y) * planes * perLine;
    for (int64_t x = 0; x < width; ++x, d += 4) {
      if (planes == 1) {
        const uint8_t v = line[x];
        if (palette)
          d[0] = palette[v * 3], d[1] = palette[v * 3 + 1], d[2] = palette[v * 3 + 2];
        else
          d[0] = d[1] = d[2] = v;
        d[3] = 255;
      } else {
        d[0] = line[x], d[1] = line[perLine + x], d[2] = line[2 * perLine + x];
        d[3] = planes == 4 ? line[3 * perLine + x] : 255;
      }
    }
  }
  out = std::move(p);
  return true;
}

bool ReadTgaRgba(const uint8_t* data, size_t size, Picture& out) {
  if (!LooksLikeTga(data, size)) return false;
  const uint32_t kind = data[2] & 7, bits = data[16], descriptor = data[17];
  const bool rle = data[2] & 8;
  const int32_t width = int32_t(Le16(data + 12)), height = int32_t(Le16(data + 14));
  if (!AcceptableSize(width, height)) return false;
  const uint32_t alphaBits = descriptor & 15;
  size_t at = 18 + size_t(data[0]);
  // The colour map: entries of 15, 16, 24 or 32 bits, first index offset.
  const uint32_t mapFirst = Le16(data + 3), mapLength = Le16(data + 5), mapBits = data[7];
  uint8_t map[256][4] = {};
  if (data[1] == 1) {
    const size_t entry = (mapBits + 7) / 8;
    if (entry < 2 || entry > 4 || at > size || mapLength * entry > size - at) return false;
    for (uint32_t i = 0; i < mapLength; ++i) {
      const uint8_t* e = data + at + i * entry;
      const uint32_t index = mapFirst + i;
      if (index > 255) break;
      uint8_t* m = map[index];
      if (entry == 2) {
        const uint32_t v = Le16(e);
        m[0] = uint8_t((v >> 10 & 31) * 255 / 31), m[1] = uint8_t((v >> 5 & 31) * 255 / 31);
        m[2] = uint8_t((v & 31) * 255 / 31), m[3] = 255;
      } else {
        m[0] = e[2], m[1] = e[1], m[2] = e[0], m[3] = entry == 4 && alphaBits ? e[3] : 255;
      }
    }
    at += mapLength * entry;
  }
  const size_t bytes = (bits + 7) / 8;
  const uint64_t pixels = uint64_t(width) * uint64_t(height);
  // The identification field alone may claim to run past the end.
  if (at > size) return false;
  // Plain data must all be there; run-length data holds at least one byte
  // per 128 pixels.
  if (!rle && pixels * bytes > size - at) return false;
  if (rle && pixels > uint64_t(size - at) * 128) return false;
  auto colour = [&](const uint8_t* s, uint8_t* d) {
    if (kind == 1) {
      std::memcpy(d, map[s[0]], 4);
    } else if (kind == 3) {
      d[0] = d[1] = d[2] = s[0];
      d[3] = bytes == 2 && alphaBits ? s[1] : 255;
    } else if (bytes == 2) {
      const uint32_t v = Le16(s);
      d[0] = uint8_t((v >> 10 & 31) * 255 / 31), d[1] = uint8_t((v >> 5 & 31) * 255 / 31);
      d[2] = uint8_t((v & 31) * 255 / 31), d[3] = alphaBits && !(v & 0x8000) ? 0 : 255;
    } else {
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = bytes == 4 && alphaBits ? s[3] : 255;
    }
  };
  Picture p = MakeRgba(width, height, false);
  // Decode in file order, then place rows by the origin bits.
  Buffer<uint8_t> file = Buffer<uint8_t>::Make(size_t(pixels) * 4);
  uint8_t* d = file.data();
  uint64_t done = 0;
  while (done < pixels) {
    if (!rle) {
      colour(data + at, d);
      at += bytes, d += 4, ++done;
      continue;
    }
    if (at >= size) return false;
    const uint8_t head = data[at++];
    const uint64_t count = std::min<uint64_t>((head & 127) + 1, pixels - done);
    if (head & 128) {
      if (bytes > size - at) return false;
      uint8_t px[4];
      colour(data + at, px);
      at += bytes;
      for (uint64_t i = 0; i < count; ++i, d += 4) std::memcpy(d, px, 4);
    } else {
      if (count * bytes > size - at) return false;
      for (uint64_t i = 0; i < count; ++i, at += bytes, d += 4) colour(data + at, d);
    }
    done += count;
  }
  const bool top = descriptor & 0x20, right = descriptor & 0x10;
  const size_t row = size_t(width) * 4;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* s = file.data() + size_t(y) * row;
    uint8_t* t = p.pixels.data() + size_t(top ? y : height - 1 - y) * row;
    if (!right) {
      std::memcpy(t, s, row);
    } else {
      for (int32_t x = 0; x < width; ++x)
        std::memcpy(t + size_t(width - 1 - x) * 4, s + size_t(x) * 4, 4);
    }
  }
  out = std::move(p);
  return true;
}

}  // namespace dro::platform::image::detail
