// Windows bitmaps: our own small reader and writer (no maintained library
// covers them better). The reader takes the core, info and V4/V5 headers,
// 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE4, RLE8 and bit fields.
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

using detail::AcceptableSize;
using detail::ByteReader;
using detail::MakeRgba;

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// One channel of a 16 or 32-bit pixel, cut out by its mask. Channels
// narrower than 8 bits are widened by repeating their bits (5 bits abcde
// become abcdeabc), so full scale stays full scale and the result matches
// the common decoders; wider ones keep their high 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  void Set(uint32_t m) {
    mask = m;
    shift = 0;
    bits = 0;
    if (!m) return;
    while (!(m & 1)) m >>= 1, ++shift;
    while (m & 1) m >>= 1, ++bits;
  }
  uint8_t Of(uint32_t v) const {
    if (!mask) return 0;
    const uint32_t value =
        static_cast<uint32_t>((uint64_t{v} >> shift) & ((uint64_t{1} << bits) - 1));
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    uint32_t wide = 0;
    for (int at = 8 - bits; at > -bits; at -= bits) wide |= at >= 0 ? value << at : value >> -at;
    return static_cast<uint8_t>(wide);
  }
};

// What the file and info headers say about the picture, checked against
// what the later stages can decode, so they meet only pictures they take.
struct BmpHeader {
  uint32_t offBits = 0;  // where the rows start, from the start of the file
  int32_t width = 0;
  int32_t height = 0;
  bool topDown = false;  // the file gave a negative height
  uint32_t bits = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  size_t paletteEntrySize = 4;  // BGRx; the core header's entries are BGR
  Channel red, green, blue, alpha;
  bool haveMasks = false;  // the colour masks came from the file
  bool rle() const { return compression == kRle8 || compression == kRle4; }
};

// Reads the file header and the core, info or V4/V5 header with any masks
// that follow it, and leaves `r` at the colour table. The masks are read
// here because their place depends on the header's size; 16 and 32-bit
// files without masks get the usual 5-5-5 and 8-8-8 layouts.
bool ReadBmpHeader(ByteReader& r, BmpHeader& head) {
  uint32_t magic, fileSize, reserved, headerSize;
  if (!r.U16le(magic) || magic != 0x4d42 || !r.U32le(fileSize) || !r.U32le(reserved) ||
      !r.U32le(head.offBits) || !r.U32le(headerSize))
    return false;

  int64_t width = 0, height = 0;
  uint32_t planes = 1;
  if (headerSize == 12) {
    uint32_t w, h;
    if (!r.U16le(w) || !r.U16le(h) || !r.U16le(planes) || !r.U16le(head.bits)) return false;
    width = w;
    height = h;
    head.paletteEntrySize = 3;
  } else if (headerSize >= 40 && headerSize <= 124) {
    uint32_t w, h, sizeImage, xppm, yppm, important;
    if (!r.U32le(w) || !r.U32le(h) || !r.U16le(planes) || !r.U16le(head.bits) ||
        !r.U32le(head.compression) || !r.U32le(sizeImage) || !r.U32le(xppm) || !r.U32le(yppm) ||
        !r.U32le(head.colorsUsed) || !r.U32le(important))
      return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    const bool bitFields = head.compression == kBitFields || head.compression == kAlphaBitFields;
    // Masks sit inside the larger headers, or just after a 40-byte one.
    if (bitFields || headerSize >= 52) {
      uint32_t rm, gm, bm, am = 0;
      if (!r.U32le(rm) || !r.U32le(gm) || !r.U32le(bm)) return false;
      if ((headerSize >= 56 || head.compression == kAlphaBitFields) && !r.U32le(am)) return false;
      if (bitFields) {
        head.red.Set(rm), head.green.Set(gm), head.blue.Set(bm), head.alpha.Set(am);
        head.haveMasks = true;
      } else if (headerSize >= 56 && am) {
        head.alpha.Set(am);
      }
    }
    if (!r.Seek(14 + headerSize)) return false;
    if (headerSize == 40 && bitFields) r.Skip(head.compression == kBitFields ? 12 : 16);
  } else {
    return false;
  }
  head.topDown = height < 0;
  if (head.topDown) height = -height;
  if (planes != 1 || !AcceptableSize(width, height)) return false;
  const uint32_t bits = head.bits;
  if (head.rle() && (head.topDown || bits != (head.compression == kRle8 ? 8u : 4u))) return false;
  if (!head.rle() && head.compression != kRgb && head.compression != kBitFields &&
      head.compression != kAlphaBitFields)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (head.haveMasks && bits != 16 && bits != 32) return false;
  head.width = static_cast<int32_t>(width);
  head.height = static_cast<int32_t>(height);

  if (!head.haveMasks) {
    if (bits == 16) head.red.Set(0x7c00), head.green.Set(0x03e0), head.blue.Set(0x001f);
    if (bits == 32) head.red.Set(0xff0000), head.green.Set(0xff00), head.blue.Set(0xff);
  }
  return true;
}

// The colour table of 1, 4 and 8-bit pictures, as RGB.
struct BmpPalette {
  uint8_t colors[256][3] = {};
  uint32_t count = 0;

  // An index past the table (a damaged file) reads as black.
  void Put(uint8_t* d, uint32_t index) const {
    const bool known = index < count;
    d[0] = known ? colors[index][0] : 0;
    d[1] = known ? colors[index][1] : 0;
    d[2] = known ? colors[index][2] : 0;
    d[3] = 255;
  }
};

// Reads the table at `r` without moving it: the rows start at the header's
// offset, not necessarily right after the table. It holds colorsUsed
// entries, or 2^bits when that is 0; more than 256 is a damaged header.
bool ReadBmpPalette(const ByteReader& r, const BmpHeader& head, BmpPalette& palette) {
  if (head.bits > 8) return true;
  palette.count = head.colorsUsed ? head.colorsUsed : 1u << head.bits;
  if (palette.count > 256) return false;
  if (!r.Has(size_t{palette.count} * head.paletteEntrySize)) return false;
  for (uint32_t i = 0; i < palette.count; ++i) {
    const uint8_t* p = r.here() + i * head.paletteEntrySize;
    palette.colors[i][0] = p[2], palette.colors[i][1] = p[1], palette.colors[i][2] = p[0];
  }
  return true;
}

// The picture row a file row fills: files keep the bottom row first unless
// the header gave a negative height.
uint8_t* PictureRow(Picture& picture, const BmpHeader& head, int64_t fileRow) {
  const int64_t y = head.topDown ? fileRow : head.height - 1 - fileRow;
  return picture.pixels.data() + size_t(y) * size_t(head.width) * 4;
}

// The most pixels a run-length picture may have per byte of its stream. A
// run of up to 255 pixels takes two bytes, and a row may end early (an end
// of line in two bytes leaves the rest of it transparent), so real files
// stay far below this; a 64-byte file claiming 16384 x 16384 does not.
constexpr int64_t kRlePixelsPerStreamByte = 1024;

// RLE8 and RLE4 rows from `r`, each palette index written straight into the
// picture. Pixels the stream skips (an early end of line, a move, an early
// end of bitmap) stay transparent, so the picture starts zeroed.
//
// A row ends where its uncompressed form would: at the width rounded up to
// whole 4-byte words. Common writers encode that padding too, so runs and
// literals may reach into it (those pixels are dropped), but a run, a
// literal or a move past it, or a move below the picture, is a damaged
// stream; so is a stream that runs out before its end mark, unless it ran
// out exactly on the last row's last pixel.
bool ReadBmpRleRows(ByteReader& r, const BmpHeader& head, const BmpPalette& palette, Picture& out) {
  const int32_t w = head.width, h = head.height;
  const int64_t streamBytes = static_cast<int64_t>(r.size() - r.pos());
  if (int64_t{w} * h > streamBytes * kRlePixelsPerStreamByte) return false;
  const bool four = head.compression == kRle4;
  const int64_t rowEnd = four ? (int64_t{w} + 7) / 8 * 8 : (int64_t{w} + 3) / 4 * 4;
  Picture picture = MakeRgba(w, h, true);
  int64_t x = 0, y = 0;
  uint8_t* row = PictureRow(picture, head, 0);
  auto put = [&](uint32_t index) {
    if (x < w) palette.Put(row + 4 * x, index);
    ++x;
  };
  while (y < h) {
    uint32_t count, value;
    if (!r.U8(count) || !r.U8(value)) {
      if (y == h - 1 && x >= w) break;  // ended on the last pixel
      return false;
    }
    if (count > 0) {  // a run: `count` pixels of one byte (two nibbles)
      if (x + count > rowEnd) return false;
      for (uint32_t i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++y < h) row = PictureRow(picture, head, y);
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // move right and down
      uint32_t dx, dy;
      if (!r.U8(dx) || !r.U8(dy) || x + dx > rowEnd || y + dy > h) return false;
      x += dx;
      y += dy;
      if (y < h) row = PictureRow(picture, head, y);
    } else {  // `value` literal pixels, padded to a 16-bit boundary
      const uint32_t bytes = four ? (value + 1) / 2 : value;
      if (x + value > rowEnd || !r.Has(bytes + (bytes & 1))) return false;
      const uint8_t* p = r.here();
      for (uint32_t i = 0; i < value; ++i)
        put(four ? (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
      r.Skip(bytes + (bytes & 1));
    }
  }
  out = std::move(picture);
  return true;
}

// Uncompressed and bit-field rows at `r`, each padded to 4 bytes: palette
// indices at 1, 4 and 8 bits, BGR at 24, the channel masks at 16 and 32.
// Every pixel is written, so the picture is not zeroed; the whole pixel
// block must be in the file before it is allocated.
bool ReadBmpPlainRows(const ByteReader& r, const BmpHeader& head, const BmpPalette& palette,
                      Picture& out) {
  const int32_t w = head.width, h = head.height;
  const uint32_t bits = head.bits;
  const size_t rowBytes = (size_t(w) * bits + 31) / 32 * 4;
  if (!r.Has(rowBytes * size_t(h))) return false;
  Picture picture = MakeRgba(w, h, false);

  // 32-bit files without an alpha mask usually leave the fourth byte 0:
  // then the picture is opaque; any other value is taken as alpha.
  Channel alpha = head.alpha;
  bool useFourthByte = false;
  if (bits == 32 && !head.haveMasks && !alpha.mask) {
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
    uint8_t* d = PictureRow(picture, head, fy);
    for (int32_t x = 0; x < w; ++x, d += 4) {
      switch (bits) {
        case 1:
          palette.Put(d, (s[x / 8] >> (7 - x % 8)) & 1);
          break;
        case 4:
          palette.Put(d, x & 1 ? s[x / 2] & 15 : s[x / 2] >> 4);
          break;
        case 8:
          palette.Put(d, s[x]);
          break;
        case 24:
          d[0] = s[x * 3 + 2], d[1] = s[x * 3 + 1], d[2] = s[x * 3], d[3] = 255;
          break;
        default: {  // 16 and 32 bits through the channel masks
          const uint32_t v = bits == 16
                                 ? uint32_t(s[x * 2] | s[x * 2 + 1] << 8)
                                 : uint32_t(s[x * 4] | s[x * 4 + 1] << 8 | s[x * 4 + 2] << 16 |
                                            uint32_t(s[x * 4 + 3]) << 24);
          d[0] = head.red.Of(v), d[1] = head.green.Of(v), d[2] = head.blue.Of(v);
          d[3] = alpha.mask ? alpha.Of(v) : 255;
        }
      }
    }
  }
  out = std::move(picture);
  return true;
}

}  // namespace

namespace detail {

// Header, colour table, rows: each stage refuses what it cannot read, and
// `out` changes only when the rows are complete.
bool ReadBmpRgba(const uint8_t* data, size_t size, Picture& out) {
  ByteReader r(data, size);
  BmpHeader head;
  BmpPalette palette;
  if (!ReadBmpHeader(r, head) || !ReadBmpPalette(r, head, palette)) return false;
  if (!r.Seek(head.offBits)) return false;
  return head.rle() ? ReadBmpRleRows(r, head, palette, out)
                    : ReadBmpPlainRows(r, head, palette, out);
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
