// Layered picture documents: our own reader of the flattened (merged) image
// that such files carry after their layers, and a writer of flat RGB files.
// The reader takes bitmap, grey, indexed, RGB and CMYK documents of 1, 8 and
// 16 bits, raw or PackBits-compressed, in the classic and the large layout.
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

using detail::AcceptableSize;
using detail::ByteReader;
using detail::MakeRgba;

enum Mode : uint32_t { kBitmap = 0, kGrey = 1, kIndexed = 2, kRgb = 3, kCmyk = 4 };

bool SectionLength(ByteReader& r, bool large, uint64_t& length) {
  uint32_t hi = 0, lo;
  if (large && !r.U32be(hi)) return false;
  if (!r.U32be(lo)) return false;
  length = uint64_t{hi} << 32 | lo;
  return r.Has(length);
}

// PackBits: a count byte n, then n + 1 literal bytes (n < 128) or one byte
// repeated 257 - n times (n > 128); 128 is padding.
bool UnpackBits(const uint8_t* s, size_t size, uint8_t* d, size_t capacity) {
  size_t in = 0, out = 0;
  while (out < capacity) {
    if (in >= size) return false;
    const uint8_t n = s[in++];
    if (n < 128) {
      const size_t len = size_t{n} + 1;
      if (in + len > size || out + len > capacity) return false;
      std::memcpy(d + out, s + in, len);
      in += len;
      out += len;
    } else if (n > 128) {
      const size_t len = 257 - size_t{n};
      if (in >= size || out + len > capacity) return false;
      std::memset(d + out, s[in++], len);
      out += len;
    }
  }
  return true;
}

// The file header and the number of channels its colour mode needs; any
// channels beyond those are extra (the first may be transparency).
struct PsdHeader {
  bool large = false;  // the large layout: wider section lengths and row counts
  uint32_t channels = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 0;
  uint32_t mode = 0;
  uint32_t colorChannels = 0;
};

// Reads the 26-byte file header and refuses documents the reader does not
// take, before anything is allocated for them.
bool ReadPsdHeader(ByteReader& r, PsdHeader& head) {
  uint32_t version;
  if (!r.Skip(4) || !r.U16be(version) || (version != 1 && version != 2) || !r.Skip(6) ||
      !r.U16be(head.channels) || !r.U32be(head.height) || !r.U32be(head.width) ||
      !r.U16be(head.depth) || !r.U16be(head.mode))
    return false;
  head.large = version == 2;
  if (head.channels < 1 || head.channels > 56 || !AcceptableSize(head.width, head.height))
    return false;
  if (!(head.depth == 8 || head.depth == 16 || (head.depth == 1 && head.mode == kBitmap)))
    return false;

  switch (head.mode) {
    case kBitmap:
    case kGrey:
    case kIndexed:
      head.colorChannels = 1;
      break;
    case kRgb:
      head.colorChannels = 3;
      break;
    case kCmyk:
      head.colorChannels = 4;
      break;
    default:
      return false;
  }
  return head.channels >= head.colorChannels;
}

// The colour mode data section: indexed documents keep their palette there
// (256 reds, then 256 greens, then 256 blues); other modes' data is passed
// over.
bool ReadPsdPalette(ByteReader& r, const PsdHeader& head, uint8_t (&palette)[768]) {
  uint64_t length;
  if (!SectionLength(r, false, length)) return false;
  if (head.mode == kIndexed) {
    if (length < 768) return false;
    std::memcpy(palette, r.here(), 768);
  }
  r.Skip(length);
  return true;
}

// Passes the image resources and the layer and mask information to reach
// the merged image, and says whether its first extra channel is
// transparency: a negative layer count says so, and a file without layers
// keeps its transparency there too. Bitmap and indexed documents have none.
bool SkipToMergedImage(ByteReader& r, const PsdHeader& head, bool& alpha) {
  uint64_t length;
  if (!SectionLength(r, false, length)) return false;  // image resources
  r.Skip(length);
  if (!SectionLength(r, head.large, length)) return false;
  alpha = false;
  if (head.channels > head.colorChannels && head.mode != kBitmap && head.mode != kIndexed) {
    alpha = true;
    if (length > 0) {
      ByteReader layers(r.here(), length);
      uint64_t layerInfo = 0;
      uint32_t count = 0;
      if (SectionLength(layers, head.large, layerInfo) && layerInfo >= 2 && layers.U16be(count))
        alpha = static_cast<int16_t>(count) < 0;
    }
  }
  r.Skip(length);
  return true;
}

// The merged image's rows, channel after channel, into one 8-bit plane for
// each of the first `used` channels: 16-bit samples keep their high byte,
// and a set bit of a bitmap document is black. Raw rows must all be in the
// file; PackBits rows follow a table of every row's packed length (for all
// channels in the file) and each must unpack to exactly one row.
bool ReadPsdPlanes(ByteReader& r, const PsdHeader& head, uint32_t used, Buffer<uint8_t>& planes) {
  uint32_t compression;
  if (!r.U16be(compression) || compression > 1) return false;
  const uint32_t width = head.width, height = head.height, depth = head.depth;
  const size_t rowBytes = depth == 1 ? (size_t{width} + 7) / 8 : size_t{width} * depth / 8;
  const size_t planeBytes = rowBytes * height;
  const size_t pixels = size_t{width} * height;

  planes = Buffer<uint8_t>::Make(CheckedCount(int64_t(pixels), used));
  Buffer<uint8_t> row = Buffer<uint8_t>::Make(rowBytes);
  const uint8_t* stream = nullptr;  // PackBits data of every row, in order
  size_t streamOffset = 0;
  ByteReader counts(r.here(), r.size() - r.pos());
  if (compression == 1) {
    const size_t countBytes = (head.large ? 4u : 2u) * size_t{head.channels} * height;
    if (!r.Has(countBytes)) return false;
    stream = r.here() + countBytes;
  } else if (!r.Has(planeBytes * used)) {
    return false;
  }
  const uint8_t* end = r.data() + r.size();
  for (uint32_t c = 0; c < used; ++c) {
    uint8_t* plane = planes.data() + size_t{c} * pixels;
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* src;
      if (compression == 0) {
        src = r.here() + size_t{c} * planeBytes + size_t{y} * rowBytes;
      } else {
        uint32_t n;
        if (!(head.large ? counts.U32be(n) : counts.U16be(n))) return false;
        const size_t available = size_t(end - stream);
        if (streamOffset > available || n > available - streamOffset) return false;
        if (!UnpackBits(stream + streamOffset, n, row.data(), rowBytes)) return false;
        streamOffset += n;
        src = row.data();
      }
      uint8_t* d = plane + size_t{y} * width;
      for (uint32_t x = 0; x < width; ++x) {
        if (depth == 1)  // bitmap documents: a set bit is black
          d[x] = (src[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
        else
          d[x] = src[size_t{x} * (depth / 8)];  // the high byte of 16 bits
      }
    }
  }
  return true;
}

// Joins the planes into RGBA pixels by colour mode; opaque unless a
// transparency plane follows the colour planes.
Picture JoinPsdPlanes(const PsdHeader& head, const uint8_t (&palette)[768], bool alpha,
                      const uint8_t* p) {
  const size_t pixels = size_t{head.width} * head.height;
  Picture picture =
      MakeRgba(static_cast<int32_t>(head.width), static_cast<int32_t>(head.height), false);
  uint8_t* d = picture.pixels.data();
  for (size_t i = 0; i < pixels; ++i, d += 4) {
    switch (head.mode) {
      case kRgb:
        d[0] = p[i], d[1] = p[pixels + i], d[2] = p[2 * pixels + i];
        break;
      case kIndexed:  // the palette holds all reds, then greens, then blues
        d[0] = palette[p[i]], d[1] = palette[256 + p[i]], d[2] = palette[512 + p[i]];
        break;
      case kCmyk: {  // stored inverted: 255 is no ink
        const int k = p[3 * pixels + i];
        d[0] = static_cast<uint8_t>(p[i] * k / 255);
        d[1] = static_cast<uint8_t>(p[pixels + i] * k / 255);
        d[2] = static_cast<uint8_t>(p[2 * pixels + i] * k / 255);
        break;
      }
      default:
        d[0] = d[1] = d[2] = p[i];
    }
    d[3] = alpha ? p[head.colorChannels * pixels + i] : 255;
  }
  return picture;
}

}  // namespace

namespace detail {

// Header, palette, the sections before the merged image, its rows, then
// the planes joined: each stage refuses what it cannot read, and `out`
// changes only when the whole picture is there.
bool ReadPsdRgba(const uint8_t* data, size_t size, Picture& out) {
  ByteReader r(data, size);
  PsdHeader head;
  uint8_t palette[768] = {};
  bool alpha = false;
  if (!ReadPsdHeader(r, head) || !ReadPsdPalette(r, head, palette) ||
      !SkipToMergedImage(r, head, alpha))
    return false;
  const uint32_t used = head.colorChannels + (alpha ? 1 : 0);
  Buffer<uint8_t> planes;
  if (!ReadPsdPlanes(r, head, used, planes)) return false;
  out = JoinPsdPlanes(head, palette, alpha, planes.data());
  return true;
}

}  // namespace detail

bool WritePsd(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = true;
  try {
    // Header, empty colour mode data, resources and layer sections, raw data.
    uint8_t header[26 + 4 + 4 + 4 + 2] = {'8', 'B', 'P', 'S', 0, 1};
    auto put32 = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; ++i) header[at + i] = v >> (24 - 8 * i) & 255;
    };
    header[13] = 3;  // channels
    put32(14, uint32_t(height));
    put32(18, uint32_t(width));
    header[23] = 8;  // depth
    header[25] = kRgb;
    ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    Buffer<uint8_t> row = Buffer<uint8_t>::Make(size_t(width));
    for (int c = 0; c < 3 && ok; ++c)
      for (int32_t y = 0; y < height && ok; ++y) {
        const uint8_t* s = pixels + int64_t{y} * stride + c;
        for (int32_t x = 0; x < width; ++x) row[size_t(x)] = s[int64_t{x} * channels];
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
      }
  } catch (...) {
    ok = false;
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
