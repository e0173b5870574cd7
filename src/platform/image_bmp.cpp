// Windows bitmaps: our own small reader and writer (no maintained library
// covers them better). The reader takes the core, info and V4/V5 headers,
// 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE4, RLE8 and bit fields.
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

using detail::ByteReader;

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  void Set(uint32_t m) {
    mask = m;
    shift = 0;
    max = 0;
    if (!m) return;
    while (!(m & 1)) m >>= 1, ++shift;
    max = m;
  }
  uint8_t Of(uint32_t v) const {
    if (!mask) return 0;
    return static_cast<uint8_t>((uint64_t{(v & mask) >> shift} * 255 + max / 2) / max);
  }
};

// Decodes an RLE8 or RLE4 stream into one palette index per pixel, rows in
// file order. `set` marks the pixels the stream wrote (skipped ones stay
// transparent). False when the stream ends before its end mark.
bool DecodeRle(ByteReader& r, bool four, int32_t width, int32_t height, uint8_t* indices,
               uint8_t* set) {
  int64_t x = 0, y = 0;
  auto put = [&](uint8_t index) {
    if (x < width && y < height) {
      const size_t at = size_t(y) * size_t(width) + size_t(x);
      indices[at] = index;
      set[at] = 1;
    }
    ++x;
  };
  for (;;) {
    uint32_t count, value;
    if (!r.U8(count) || !r.U8(value)) return false;
    if (count > 0) {  // a run: `count` pixels of one byte (two nibbles)
      for (uint32_t i = 0; i < count; ++i)
        put(four ? static_cast<uint8_t>(i & 1 ? value & 15 : value >> 4)
                 : static_cast<uint8_t>(value));
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move right and down
      uint32_t dx, dy;
      if (!r.U8(dx) || !r.U8(dy)) return false;
      x += dx;
      y += dy;
    } else {  // `value` literal pixels, padded to a 16-bit boundary
      const uint32_t bytes = four ? (value + 1) / 2 : value;
      if (!r.Has(bytes + (bytes & 1))) return false;
      const uint8_t* p = r.here();
      for (uint32_t i = 0; i < value; ++i)
        put(four ? static_cast<uint8_t>(i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
      r.Skip(bytes + (bytes & 1));
    }
    if (y >= height) return true;  // nothing more can land in the picture
  }
}

}  // namespace

namespace detail {

bool ReadBmpRgba(const uint8_t* data, size_t size, Picture& out) {
  ByteReader r(data, size);
  uint32_t magic, fileSize, reserved, offBits, headerSize;
  if (!r.U16le(magic) || magic != 0x4d42 || !r.U32le(fileSize) || !r.U32le(reserved) ||
      !r.U32le(offBits) || !r.U32le(headerSize))
    return false;

  int64_t width = 0, height = 0;
  uint32_t planes = 1, bits = 0, compression = kRgb, colorsUsed = 0;
  Channel red, green, blue, alpha;
  bool haveMasks = false;
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {
    uint32_t w, h;
    if (!r.U16le(w) || !r.U16le(h) || !r.U16le(planes) || !r.U16le(bits)) return false;
    width = w;
    height = h;
    paletteEntrySize = 3;
  } else if (headerSize >= 40 && headerSize <= 124) {
    uint32_t w, h, sizeImage, xppm, yppm, important;
    if (!r.U32le(w) || !r.U32le(h) || !r.U16le(planes) || !r.U16le(bits) || !r.U32le(compression) ||
        !r.U32le(sizeImage) || !r.U32le(xppm) || !r.U32le(yppm) || !r.U32le(colorsUsed) ||
        !r.U32le(important))
      return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    // Masks sit inside the larger headers, or just after a 40-byte one.
    if (compression == kBitFields || compression == kAlphaBitFields || headerSize >= 52) {
      uint32_t rm, gm, bm, am = 0;
      if (!r.U32le(rm) || !r.U32le(gm) || !r.U32le(bm)) return false;
      if ((headerSize >= 56 || compression == kAlphaBitFields) && !r.U32le(am)) return false;
      if (compression == kBitFields || compression == kAlphaBitFields) {
        red.Set(rm), green.Set(gm), blue.Set(bm), alpha.Set(am);
        haveMasks = true;
      } else if (headerSize >= 56 && am) {
        alpha.Set(am);
      }
    }
    if (!r.Seek(14 + headerSize)) return false;
    if (headerSize == 40 && (compression == kBitFields || compression == kAlphaBitFields))
      r.Skip(compression == kBitFields ? 12 : 16);
  } else {
    return false;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (planes != 1 || !AcceptableSize(width, height)) return false;
  const bool rle = compression == kRle8 || compression == kRle4;
  if (rle && (topDown || bits != (compression == kRle8 ? 8u : 4u))) return false;
  if (!rle && compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (haveMasks && bits != 16 && bits != 32) return false;

  // Palette for 1, 4 and 8 bits.
  uint8_t palette[256][3] = {};
  uint32_t paletteCount = 0;
  if (bits <= 8) {
    paletteCount = colorsUsed ? colorsUsed : 1u << bits;
    if (paletteCount > 256) return false;
    if (!r.Has(size_t{paletteCount} * paletteEntrySize)) return false;
    for (uint32_t i = 0; i < paletteCount; ++i) {
      const uint8_t* p = r.here() + i * paletteEntrySize;
      palette[i][0] = p[2], palette[i][1] = p[1], palette[i][2] = p[0];
    }
  }
  if (!haveMasks) {
    if (bits == 16) red.Set(0x7c00), green.Set(0x03e0), blue.Set(0x001f);
    if (bits == 32) red.Set(0xff0000), green.Set(0xff00), blue.Set(0xff);
  }
  if (!r.Seek(offBits)) return false;

  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  const size_t rowBytes = (size_t(w) * bits + 31) / 32 * 4;
  if (!rle && !r.Has(rowBytes * size_t(h))) return false;  // before allocating
  Picture picture = MakeRgba(w, h, rle);
  auto rowOut = [&](int64_t fileRow) {
    const int64_t y = topDown ? fileRow : h - 1 - fileRow;
    return picture.pixels.data() + size_t(y) * size_t(w) * 4;
  };
  auto paletteColour = [&](uint8_t* d, uint32_t index) {
    // An index past the palette (a damaged file) reads as black.
    const bool known = index < paletteCount;
    d[0] = known ? palette[index][0] : 0;
    d[1] = known ? palette[index][1] : 0;
    d[2] = known ? palette[index][2] : 0;
    d[3] = 255;
  };

  if (rle) {
    const size_t count = size_t(w) * size_t(h);
    Buffer<uint8_t> indices = Buffer<uint8_t>::MakeBytes(count, 0);
    Buffer<uint8_t> set = Buffer<uint8_t>::MakeBytes(count, 0);
    if (!DecodeRle(r, compression == kRle4, w, h, indices.data(), set.data())) return false;
    for (int32_t fy = 0; fy < h; ++fy) {
      uint8_t* d = rowOut(fy);
      for (int32_t x = 0; x < w; ++x, d += 4) {
        const size_t at = size_t(fy) * size_t(w) + size_t(x);
        if (set[at]) paletteColour(d, indices[at]);
      }
    }
    out = std::move(picture);
    return true;
  }

  // 32-bit files without an alpha mask usually leave the fourth byte 0:
  // then the picture is opaque; any other value is taken as alpha.
  bool useFourthByte = false;
  if (bits == 32 && !haveMasks && !alpha.mask) {
    for (int32_t fy = 0; fy < h && !useFourthByte; ++fy)
      for (int32_t x = 0; x < w; ++x)
        if (r.here()[size_t(fy) * rowBytes + size_t(x) * 4 + 3]) {
          useFourthByte = true;
          break;
        }
    if (useFourthByte) alpha.Set(0xff000000u);
  }
  for (int32_t fy = 0; fy < h; ++fy) {
    const uint8_t* s = r.here() + size_t(fy) * rowBytes;
    uint8_t* d = rowOut(fy);
    for (int32_t x = 0; x < w; ++x, d += 4) {
      switch (bits) {
        case 1:
          paletteColour(d, (s[x / 8] >> (7 - x % 8)) & 1);
          break;
        case 4:
          paletteColour(d, x & 1 ? s[x / 2] & 15 : s[x / 2] >> 4);
          break;
        case 8:
          paletteColour(d, s[x]);
          break;
        case 24:
          d[0] = s[x * 3 + 2], d[1] = s[x * 3 + 1], d[2] = s[x * 3], d[3] = 255;
          break;
        default: {  // 16 and 32 bits through the channel masks
          const uint32_t v = bits == 16
                                 ? uint32_t(s[x * 2] | s[x * 2 + 1] << 8)
                                 : uint32_t(s[x * 4] | s[x * 4 + 1] << 8 | s[x * 4 + 2] << 16 |
                                            uint32_t(s[x * 4 + 3]) << 24);
          d[0] = red.Of(v), d[1] = green.Of(v), d[2] = blue.Of(v);
          d[3] = alpha.mask ? alpha.Of(v) : 255;
        }
      }
    }
  }
  out = std::move(picture);
  return true;
}

}  // namespace detail

bool WriteBmp(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  if (dpiX < 0 || dpiY < 0) return false;
  const size_t rowBytes = (size_t(width) * 3 + 3) / 4 * 4;
  const uint64_t imageBytes = uint64_t{rowBytes} * uint64_t(height);
  if (imageBytes + 54 > 0xffffffffu) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = true;
  try {
    uint8_t header[54] = {};
    auto put16 = [&](int at, uint32_t v) { header[at] = v & 255, header[at + 1] = v >> 8 & 255; };
    auto put32 = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; ++i) header[at + i] = v >> (8 * i) & 255;
    };
    const auto perMetre = [](int32_t dpi) { return uint32_t(double(dpi) / 0.0254); };
    header[0] = 'B', header[1] = 'M';
    put32(2, uint32_t(imageBytes + 54));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));  // bottom row first
    put16(26, 1);
    put16(28, 24);
    put32(34, uint32_t(imageBytes));
    put32(38, perMetre(dpiX));
    put32(42, perMetre(dpiY));
    ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    Buffer<uint8_t> row = Buffer<uint8_t>::MakeBytes(rowBytes, 0);
    for (int32_t y = height - 1; ok && y >= 0; --y) {
      const uint8_t* s = pixels + int64_t{y} * stride;
      for (int32_t x = 0; x < width; ++x, s += channels) {
        row[size_t(x) * 3] = s[2];
        row[size_t(x) * 3 + 1] = s[1];
        row[size_t(x) * 3 + 2] = s[0];
      }
      ok = std::fwrite(row.data(), 1, rowBytes, file) == rowBytes;
    }
  } catch (...) {
    ok = false;
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
