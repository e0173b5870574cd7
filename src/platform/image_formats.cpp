// Our own writers of the older formats (PCX, a minimal enhanced metafile),
// the median-cut quantiser for GIF, and the resolution stored in a file's
// header.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/image_files.h"
#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

void Put16(uint8_t* at, uint32_t v) {
  at[0] = v & 255, at[1] = v >> 8 & 255;
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = v >> (8 * i) & 255;
}

// Closes the file; removes it unless everything was written.
bool CloseOrRemove(std::FILE* file, const char* path, bool ok) {
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path);
  return ok;
}

// Appends one PCX plane line: runs of up to 63 equal bytes as a count byte
// (0xC0 | n) and the value; a single byte below 0xC0 stands for itself.
size_t PcxRun(const uint8_t* line, size_t n, uint8_t* out) {
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    size_t run = 1;
    while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
    if (run > 1 || line[i] >= 0xC0) out[o++] = uint8_t(0xC0 | run);
    out[o++] = line[i];
    i += run;
  }
  return o;
}

}  // namespace

bool WritePcx(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = true;
  try {
    const size_t bytesPerLine = (size_t(width) + 1) / 2 * 2;  // even, as readers expect
    uint8_t h[128] = {};
    h[0] = 10;  // maker
    h[1] = 5;   // version with 24-bit support
    h[2] = 1;   // run-length encoded
    h[3] = 8;   // bits per plane pixel
    Put16(h + 8, uint32_t(width - 1));
    Put16(h + 10, uint32_t(height - 1));
    Put16(h + 12, 72);
    Put16(h + 14, 72);
    h[65] = 3;  // planes: red, green, blue
    Put16(h + 66, uint32_t(bytesPerLine));
    Put16(h + 68, 1);  // colour
    ok = std::fwrite(h, 1, sizeof h, file) == sizeof h;
    Buffer<uint8_t> plane = Buffer<uint8_t>::MakeBytes(bytesPerLine, 0);
    Buffer<uint8_t> packed = Buffer<uint8_t>::Make(bytesPerLine * 2);
    for (int32_t y = 0; ok && y < height; ++y) {
      const uint8_t* row = pixels + int64_t{y} * stride;
      for (int32_t c = 0; ok && c < 3; ++c) {
        for (int32_t x = 0; x < width; ++x) plane[size_t(x)] = row[size_t(x) * channels + c];
        const size_t n = PcxRun(plane.data(), bytesPerLine, packed.data());
        ok = std::fwrite(packed.data(), 1, n, file) == n;
      }
    }
  } catch (...) {
    ok = false;
  }
  return CloseOrRemove(file, path, ok);
}

bool WriteEmf(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  const uint64_t rowBytes = (uint64_t(width) * 3 + 3) / 4 * 4;
  const uint64_t bits = rowBytes * uint64_t(height);
  constexpr uint32_t kHeader = 88, kStretch = 80, kInfo = 40, kEof = 20;
  const uint64_t total = kHeader + kStretch + kInfo + bits + kEof;
  if (total > 0xffffffffu) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = true;
  try {
    uint8_t head[kHeader + kStretch + kInfo] = {};
    uint8_t* h = head;
    // The header record; the frame in hundredths of a millimetre at 96 dpi.
    Put32(h + 0, 1);
    Put32(h + 4, kHeader);
    Put32(h + 16, uint32_t(width - 1));
    Put32(h + 20, uint32_t(height - 1));
    Put32(h + 32, uint32_t(int64_t{width} * 2540 / 96));
    Put32(h + 36, uint32_t(int64_t{height} * 2540 / 96));
    Put32(h + 40, 0x464D4520);  // " EMF"
    Put32(h + 44, 0x10000);
    Put32(h + 48, uint32_t(total));
    Put32(h + 52, 3);  // records
    Put16(h + 56, 1);  // handles (the reserved one)
    Put32(h + 72, 1024);
    Put32(h + 76, 768);
    Put32(h + 80, 320);
    Put32(h + 84, 240);
    // Stretch the bitmap over the whole frame, copying it as it is.
    uint8_t* s = head + kHeader;
    Put32(s + 0, 81);
    Put32(s + 4, uint32_t(kStretch + kInfo + bits));
    Put32(s + 16, uint32_t(width - 1));
    Put32(s + 20, uint32_t(height - 1));
    Put32(s + 40, uint32_t(width));   // source width
    Put32(s + 44, uint32_t(height));  // source height
    Put32(s + 48, kStretch);          // bitmap info offset
    Put32(s + 52, kInfo);
    Put32(s + 56, kStretch + kInfo);  // bits offset
    Put32(s + 60, uint32_t(bits));
    Put32(s + 64, 0);           // RGB colours
    Put32(s + 68, 0x00CC0020);  // source copy
    Put32(s + 72, uint32_t(width));
    Put32(s + 76, uint32_t(height));
    uint8_t* info = s + kStretch;
    Put32(info + 0, kInfo);
    Put32(info + 4, uint32_t(width));
    Put32(info + 8, uint32_t(height));  // bottom row first
    Put16(info + 12, 1);
    Put16(info + 14, 24);
    Put32(info + 20, uint32_t(bits));
    ok = std::fwrite(head, 1, sizeof head, file) == sizeof head;
    Buffer<uint8_t> row = Buffer<uint8_t>::MakeBytes(size_t(rowBytes), 0);
    for (int32_t y = height - 1; ok && y >= 0; --y) {
      const uint8_t* p = pixels + int64_t{y} * stride;
      for (int32_t x = 0; x < width; ++x, p += channels) {
        row[size_t(x) * 3] = p[2];
        row[size_t(x) * 3 + 1] = p[1];
        row[size_t(x) * 3 + 2] = p[0];
      }
      ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    uint8_t eof[kEof] = {};
    Put32(eof + 0, 14);
    Put32(eof + 4, kEof);
    Put32(eof + 12, 16);
    Put32(eof + 16, kEof);
    ok = ok && std::fwrite(eof, 1, sizeof eof, file) == sizeof eof;
  } catch (...) {
    ok = false;
  }
  return CloseOrRemove(file, path, ok);
}

// --- median cut ----------------------------------------------------------------

namespace {

constexpr int32_t kBins = 32 * 32 * 32;

int32_t BinOf(const uint8_t* p) {
  return (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3);
}

// A box of the 5-bit histogram: inclusive bounds per channel.
struct Box {
  int32_t lo[3], hi[3];
  uint64_t count = 0;
};

// Shrinks a box to the bins that hold pixels and counts them.
void Fit(Box& b, const uint32_t* hist) {
  int32_t lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
  uint64_t count = 0;
  for (int32_t r = b.lo[0]; r <= b.hi[0]; ++r)
    for (int32_t g = b.lo[1]; g <= b.hi[1]; ++g)
      for (int32_t bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
        const uint32_t n = hist[r << 10 | g << 5 | bl];
        if (!n) continue;
        count += n;
        lo[0] = std::min(lo[0], r), hi[0] = std::max(hi[0], r);
        lo[1] = std::min(lo[1], g), hi[1] = std::max(hi[1], g);
        lo[2] = std::min(lo[2], bl), hi[2] = std::max(hi[2], bl);
      }
  b.count = count;
  if (count) std::copy(lo, lo + 3, b.lo), std::copy(hi, hi + 3, b.hi);
}

// Splits a box at the median of its longest side; false when it is one bin.
bool Split(Box& b, Box& other, const uint32_t* hist) {
  int32_t axis = 0;
  for (int32_t c = 1; c < 3; ++c)
    if (b.hi[c] - b.lo[c] > b.hi[axis] - b.lo[axis]) axis = c;
  if (b.hi[axis] == b.lo[axis]) return false;
  // Pixels per slice along the axis.
  uint64_t slice[32] = {};
  for (int32_t r = b.lo[0]; r <= b.hi[0]; ++r)
    for (int32_t g = b.lo[1]; g <= b.hi[1]; ++g)
      for (int32_t bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
        const int32_t at[3] = {r, g, bl};
        slice[at[axis]] += hist[r << 10 | g << 5 | bl];
      }
  uint64_t sum = 0;
  int32_t cut = b.lo[axis];
  for (; cut < b.hi[axis]; ++cut) {
    sum += slice[cut];
    if (sum * 2 >= b.count) break;
  }
  other = b;
  b.hi[axis] = cut;
  other.lo[axis] = cut + 1;
  Fit(b, hist);
  Fit(other, hist);
  return true;
}

}  // namespace

bool QuantizeMedianCut(const uint8_t* pixels, int32_t width, int32_t height, int32_t channels,
                       int32_t stride, uint8_t* indices, uint8_t* palette,
                       int32_t& colorCount) noexcept {
  if (!indices || !palette || !detail::ValidImage(pixels, width, height, channels, stride))
    return false;
  try {
    // Few colours: an exact palette, in order of first appearance.
    {
      uint32_t seen[256];
      int32_t n = 0;
      bool few = true;
      for (int32_t y = 0; few && y < height; ++y) {
        const uint8_t* p = pixels + int64_t{y} * stride;
        uint8_t* out = indices + size_t(y) * size_t(width);
        int32_t last = -1;
        uint32_t lastColor = 0;
        for (int32_t x = 0; x < width; ++x, p += channels) {
          const uint32_t c = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
          if (last < 0 || c != lastColor) {
            last = -1;
            for (int32_t i = 0; i < n; ++i)
              if (seen[i] == c) {
                last = i;
                break;
              }
            if (last < 0) {
              if (n == 256) {
                few = false;
                break;
              }
              seen[n] = c;
              last = n++;
            }
            lastColor = c;
          }
          out[x] = uint8_t(last);
        }
      }
      if (few) {
        for (int32_t i = 0; i < n; ++i) {
          palette[i * 3] = uint8_t(seen[i] >> 16);
          palette[i * 3 + 1] = uint8_t(seen[i] >> 8);
          palette[i * 3 + 2] = uint8_t(seen[i]);
        }
        colorCount = n;
        return true;
      }
    }
    Buffer<uint32_t> hist = Buffer<uint32_t>::MakeBytes(kBins, 0);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* p = pixels + int64_t{y} * stride;
      for (int32_t x = 0; x < width; ++x, p += channels) {
        uint32_t& h = hist[size_t(BinOf(p))];
        if (h != 0xffffffffu) ++h;
      }
    }
    Box boxes[256];
    boxes[0] = Box{{0, 0, 0}, {31, 31, 31}, 0};
    Fit(boxes[0], hist.data());
    int32_t count = 1;
    // Split the box with the most pixels (ties: the earlier box) each time;
    // boxes that are a single bin cannot split.
    bool splittable[256] = {true};
    while (count < 256) {
      int32_t best = -1;
      for (int32_t i = 0; i < count; ++i)
        if (splittable[i] && (best < 0 || boxes[i].count > boxes[best].count)) best = i;
      if (best < 0) break;
      if (!Split(boxes[best], boxes[count], hist.data())) {
        splittable[best] = false;
        continue;
      }
      splittable[count] = true;
      ++count;
    }
    // Each bin's box, then each box's mean of the real colours in it.
    Buffer<uint8_t> boxOf = Buffer<uint8_t>::MakeBytes(kBins, 0);
    for (int32_t i = 0; i < count; ++i) {
      const Box& b = boxes[i];
      for (int32_t r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int32_t g = b.lo[1]; g <= b.hi[1]; ++g)
          for (int32_t bl = b.lo[2]; bl <= b.hi[2]; ++bl)
            boxOf[size_t(r << 10 | g << 5 | bl)] = uint8_t(i);
    }
    uint64_t sums[256][4] = {};
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* p = pixels + int64_t{y} * stride;
      uint8_t* out = indices + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x, p += channels) {
        const uint8_t i = boxOf[size_t(BinOf(p))];
        out[x] = i;
        sums[i][0] += p[0], sums[i][1] += p[1], sums[i][2] += p[2], ++sums[i][3];
      }
    }
    for (int32_t i = 0; i < count; ++i)
      for (int32_t c = 0; c < 3; ++c)
        palette[i * 3 + c] = uint8_t(sums[i][3] ? (sums[i][c] + sums[i][3] / 2) / sums[i][3] : 0);
    colorCount = count;
    return true;
  } catch (...) {
    return false;
  }
}

// --- resolution ------------------------------------------------------------------

namespace {

int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t Be16(const uint8_t* p) {
  return uint32_t(p[0]) << 8 | p[1];
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// JFIF density from the APP0 segment after the start marker.
void JpegResolution(const uint8_t* b, size_t n, double& value, int32_t& unit) {
  size_t at = 2;
  while (at + 4 <= n && b[at] == 0xFF) {
    const uint32_t marker = b[at + 1];
    const size_t length = Be16(b + at + 2);
    if (marker == 0xDA || length < 2) return;  // image data: no JFIF segment before it
    if (marker == 0xE0 && length >= 14 && at + 2 + length <= n &&
        std::memcmp(b + at + 4, "JFIF\0", 5) == 0) {
      unit = b[at + 11];
      value = Be16(b + at + 12);
      return;
    }
    at += 2 + length;
  }
}

void PngResolution(const uint8_t* b, size_t n, double& value, int32_t& unit) {
  for (size_t at = 8; at + 8 <= n;) {
    const uint32_t length = Be32(b + at);
    if (std::memcmp(b + at + 4, "pHYs", 4) == 0 && length == 9 && at + 17 <= n) {
      value = Be32(b + at + 8);
      unit = b[at + 16];
      return;
    }
    if (std::memcmp(b + at + 4, "IDAT", 4) == 0) return;
    if (length > n) return;
    at += size_t{length} + 12;
  }
}

// The resolution resource (id 0x03ED) among the image resources.
void PsdResolution(const uint8_t* b, size_t n, double& value, int32_t& unit) {
  if (n < 30) return;
  size_t at = 26;
  const size_t modeLength = Be32(b + at);
  if (modeLength > n - at - 4) return;
  at += 4 + modeLength;
  if (at + 4 > n) return;
  const size_t resources = Be32(b + at);
  at += 4;
  const size_t end = std::min(n, at + std::min(resources, n));
  while (at + 12 <= end && std::memcmp(b + at, "8BIM", 4) == 0) {
    const uint32_t id = Be16(b + at + 4);
    size_t name = 1 + b[at + 6];
    name += name & 1;
    if (at + 6 + name + 4 > end) return;
    const size_t size = Be32(b + at + 6 + name);
    const size_t data = at + 6 + name + 4;
    if (size > end - data) return;
    if (id == 0x03ED && size >= 16) {
      value = Be32(b + data) / 65536.0;
      const uint32_t u = Be16(b + data + 4);
      unit = u == 1 ? 2 : (u == 2 ? 3 : 0);
      return;
    }
    at = data + size + (size & 1);
  }
}

}  // namespace

bool ReadFileResolution(const char* path, int32_t& type, double& value, int32_t& unit) noexcept {
  if (!path || !path[0]) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  // Every header we look at lies near the start of the file.
  uint8_t head[1 << 16];
  const size_t n = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  type = detail::GuessTypeOfBytes(head, n);
  value = 0;
  unit = 0;
  switch (type) {
    case kFileBmp:
      if (n >= 46 && Le32(head + 14) >= 40) {
        value = Le32(head + 38);
        unit = value > 0 ? 2 : 0;
      }
      break;
    case kFileJpeg:
      JpegResolution(head, n, value, unit);
      break;
    case kFilePng:
      PngResolution(head, n, value, unit);
      break;
    case kFilePsd:
      PsdResolution(head, n, value, unit);
      break;
    case kFileTiff: {
      TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
      if (!opts) break;
      TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffQuiet, nullptr);
      TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffQuiet, nullptr);
      TIFF* tif = TIFFOpenExt(path, "r", opts);
      TIFFOpenOptionsFree(opts);
      if (!tif) break;
      float x = 0;
      uint16_t u = RESUNIT_INCH;
      if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1) value = x;
      TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &u);
      unit = u;
      TIFFClose(tif);
      break;
    }
    default:
      break;
  }
  return true;
}

}  // namespace dro::platform::image
