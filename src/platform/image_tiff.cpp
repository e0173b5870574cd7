// TIFF through libtiff. Errors and warnings go to handlers of our own for
// each opened file (nothing is printed, nothing global is changed).
//
// Grey, RGB and palette pictures of 1 to 16 bits, in strips or tiles, pixel
// by pixel or in planes, are read through one path of our own: libtiff
// decodes each strip or tile (TIFFReadEncodedStrip, TIFFReadEncodedTile)
// and we place its samples. Unassociated alpha stays exactly as stored;
// associated alpha is divided out with rounding; 16-bit samples keep their
// high byte, as every other reader does. Only what this path does not take
// (YCbCr, CMYK, Lab, floating point...) goes through libtiff's RGBA
// interface, which premultiplies.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

using detail::AcceptableSize;
using detail::MakeRgba;

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: do not call the global handler
}

// libtiff allocates some blocks itself (strip tables, a decoder's state);
// none may exceed this.
constexpr tmsize_t kLargestLibraryBlock = tmsize_t{1} << 30;

TIFFOpenOptions* QuietOptions() {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(opts, QuietHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, QuietHandler, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kLargestLibraryBlock);
  return opts;
}

struct TiffFile {
  TIFF* tif = nullptr;
  TiffFile() = default;
  TiffFile(const char* path, const char* mode) {
    TIFFOpenOptions* opts = QuietOptions();
    if (!opts) return;
    tif = TIFFOpenExt(path, mode, opts);
    TIFFOpenOptionsFree(opts);
  }
  ~TiffFile() {
    if (tif) TIFFClose(tif);
  }
};

// A file held in memory, read through libtiff's client procedures.
struct MemoryFile {
  const uint8_t* data;
  toff_t size;
  toff_t pos = 0;
};

tmsize_t MemoryRead(thandle_t handle, void* out, tmsize_t length) {
  auto* f = static_cast<MemoryFile*>(handle);
  if (length <= 0 || f->pos >= f->size) return 0;
  const toff_t n = std::min<toff_t>(static_cast<toff_t>(length), f->size - f->pos);
  std::memcpy(out, f->data + f->pos, n);
  f->pos += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t MemoryWrite(thandle_t, void*, tmsize_t) {
  return 0;
}
toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(handle);
  toff_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
  if (offset > ~toff_t{0} - base) return static_cast<toff_t>(-1);
  f->pos = base + offset;  // past the end is allowed; reads there give nothing
  return f->pos;
}
int MemoryClose(thandle_t) {
  return 0;
}
toff_t MemorySize(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->size;
}
int MemoryMap(thandle_t, void**, toff_t*) {
  return 0;  // not mapped: libtiff reads through MemoryRead
}
void MemoryUnmap(thandle_t, void*, toff_t) {}

constexpr uint16_t kMostSamples = 8;

// What the block path needs to know of the picture.
struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
  uint16_t colorChannels = 0;  // 1 (grey, palette) or 3 (RGB)
  bool alpha = false;          // the first extra sample is transparency
  bool associated = false;     // ... premultiplied
  const uint16_t* palette[3] = {};
};

bool BlockPathTakes(TIFF* tif, Layout& l) {
  uint16_t format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  if (format != SAMPLEFORMAT_UINT) return false;
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8 && l.bits != 16) return false;
      l.colorChannels = 1;
      break;
    case PHOTOMETRIC_PALETTE:
      if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8) return false;
      if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &l.palette[0], &l.palette[1], &l.palette[2]))
        return false;
      l.colorChannels = 1;
      break;
    case PHOTOMETRIC_RGB:
      if (l.bits != 8 && l.bits != 16) return false;
      l.colorChannels = 3;
      break;
    default:
      return false;
  }
  // Colour, alpha and a few extra channels; a file claiming thousands of
  // samples a pixel would make each strip or tile enormous.
  if (l.samples < l.colorChannels || l.samples > kMostSamples) return false;
  // A picture with more samples than its colour needs keeps transparency in
  // the first extra one, unless the file says that one is something else.
  l.alpha = l.samples > l.colorChannels && l.photometric != PHOTOMETRIC_PALETTE;
  l.associated = l.alpha && extraCount > 0 && extraTypes && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
  return l.planar == PLANARCONFIG_CONTIG || l.planar == PLANARCONFIG_SEPARATE;
}

// Sample `index` of a row of `bits`-bit samples (16-bit ones in the
// machine's order, as libtiff leaves them).
uint32_t SampleAt(const uint8_t* row, size_t index, uint16_t bits) {
  if (bits == 8) return row[index];
  if (bits == 16) {
    uint16_t v;
    std::memcpy(&v, row + index * 2, 2);
    return v;
  }
  const size_t bit = index * bits;
  return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// A sample reduced to 8 bits: the high byte of 16, low depths spread.
uint8_t Reduce(uint32_t v, uint16_t bits) {
  if (bits == 16) return static_cast<uint8_t>(v >> 8);
  if (bits == 8) return static_cast<uint8_t>(v);
  return static_cast<uint8_t>(v * 255 / ((1u << bits) - 1));
}

void PutSample(const Layout& l, uint8_t* d, uint32_t sample, uint32_t v) {
  if (sample == 0 && !l.alpha) d[3] = 255;  // opaque where no alpha is stored
  if (sample == 0 && l.photometric == PHOTOMETRIC_PALETTE) {
    for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(l.palette[c][v] >> 8);
  } else if (sample == 0 && l.colorChannels == 1) {
    uint8_t g = Reduce(v, l.bits);
    if (l.photometric == PHOTOMETRIC_MINISWHITE) g = static_cast<uint8_t>(255 - g);
    d[0] = d[1] = d[2] = g;
  } else if (sample < l.colorChannels) {
    d[sample] = Reduce(v, l.bits);
  } else if (sample == l.colorChannels && l.alpha) {
    d[3] = Reduce(v, l.bits);
  }
}

// Every strip or tile (of every plane) decoded and placed.
bool ReadBlocks(TIFF* tif, const Layout& l, Picture& picture) {
  const bool tiled = TIFFIsTiled(tif);
  uint32_t blockWidth = l.width, blockHeight = l.height;
  if (tiled) {
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &blockWidth) ||
        !TIFFGetField(tif, TIFFTAG_TILELENGTH, &blockHeight))
      return false;
  } else {
    uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    blockHeight = std::clamp<uint32_t>(rowsPerStrip, 1, l.height);
  }
  // A tile may overhang the picture, but not by more than the picture is
  // worth: the block is allocated before a byte of it is read.
  const int64_t blockPixels = int64_t{blockWidth} * blockHeight;
  if (blockWidth == 0 || blockHeight == 0 ||
      blockPixels > std::max<int64_t>(int64_t{4} * l.width * l.height, int64_t{1} << 16))
    return false;
  const bool separate = l.planar == PLANARCONFIG_SEPARATE;
  const uint32_t perPixel = separate ? 1 : l.samples;
  const tmsize_t blockBytes = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
  const tmsize_t rowBytes = tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
  const uint64_t needRow = (uint64_t{blockWidth} * perPixel * l.bits + 7) / 8;
  if (blockBytes <= 0 || rowBytes <= 0 || uint64_t(rowBytes) < needRow ||
      uint64_t(blockBytes) < uint64_t(rowBytes) * blockHeight)
    return false;
  Buffer<uint8_t> block = Buffer<uint8_t>::Make(static_cast<size_t>(blockBytes));

  for (uint32_t plane = 0; plane < (separate ? l.samples : 1u); ++plane) {
    for (uint32_t by = 0; by < l.height; by += blockHeight) {
      const uint32_t rows = std::min(blockHeight, l.height - by);
      for (uint32_t bx = 0; bx < l.width; bx += blockWidth) {
        const uint32_t columns = std::min(blockWidth, l.width - bx);
        tmsize_t got;
        if (tiled) {
          const uint32_t tile = TIFFComputeTile(tif, bx, by, 0, static_cast<uint16_t>(plane));
          got = TIFFReadEncodedTile(tif, tile, block.data(), blockBytes);
          if (got != blockBytes) return false;
        } else {
          const uint32_t strip = TIFFComputeStrip(tif, by, static_cast<uint16_t>(plane));
          got = TIFFReadEncodedStrip(tif, strip, block.data(), blockBytes);
          if (got < 0 || uint64_t(got) < uint64_t(rowBytes) * rows) return false;
        }
        for (uint32_t y = 0; y < rows; ++y) {
          const uint8_t* s = block.data() + size_t(y) * size_t(rowBytes);
          uint8_t* d = picture.pixels.data() + (size_t(by + y) * l.width + bx) * 4;
          for (uint32_t x = 0; x < columns; ++x, d += 4) {
            if (separate) {
              PutSample(l, d, plane, SampleAt(s, x, l.bits));
            } else {
              for (uint32_t i = 0; i < l.samples; ++i)
                PutSample(l, d, i, SampleAt(s, size_t(x) * l.samples + i, l.bits));
            }
          }
        }
      }
    }
  }
  return true;
}

// Premultiplied colour back to straight colour, rounded.
void DivideAlpha(Picture& picture) {
  uint8_t* p = picture.pixels.data();
  for (size_t i = 0, n = size_t(picture.width) * size_t(picture.height); i < n; ++i, p += 4) {
    const int a = p[3];
    if (a != 0 && a != 255)
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<uint8_t>(std::min(255, (p[c] * 255 + a / 2) / a));
  }
}

// libtiff's RGBA interface, for the colour spaces the block path leaves.
bool ReadThroughRgbaInterface(TIFF* tif, Picture& picture) {
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message)) return false;
  static_assert(sizeof(uint32_t) == 4);
  const auto width = static_cast<uint32_t>(picture.width);
  const auto height = static_cast<uint32_t>(picture.height);
  if (!TIFFReadRGBAImageOriented(tif, width, height,
                                 reinterpret_cast<uint32_t*>(picture.pixels.data()),
                                 ORIENTATION_TOPLEFT, 1))
    return false;
  uint8_t* p = picture.pixels.data();
  for (size_t i = 0, n = size_t{width} * height; i < n; ++i, p += 4) {
    uint32_t word;  // packed A<<24 | B<<16 | G<<8 | R in the machine's order
    std::memcpy(&word, p, 4);
    p[0] = TIFFGetR(word), p[1] = TIFFGetG(word), p[2] = TIFFGetB(word), p[3] = TIFFGetA(word);
  }
  DivideAlpha(picture);
  return true;
}

}  // namespace

namespace detail {

bool ReadTiffRgba(const uint8_t* data, size_t size, Picture& out) {
  MemoryFile file{data, static_cast<toff_t>(size)};
  TiffFile f;
  TIFFOpenOptions* opts = QuietOptions();
  if (!opts) return false;
  f.tif = TIFFClientOpenExt("memory", "r", &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose,
                            MemorySize, MemoryMap, MemoryUnmap, opts);
  TIFFOpenOptionsFree(opts);
  if (!f.tif) return false;
  TIFF* tif = f.tif;
  Layout l;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height))
    return false;
  if (!AcceptableSize(l.width, l.height)) return false;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) l.photometric = 0xffff;

  Picture picture = MakeRgba(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), false);
  if (BlockPathTakes(tif, l)) {
    if (!ReadBlocks(tif, l, picture)) return false;
    if (l.associated) DivideAlpha(picture);
  } else if (!ReadThroughRgbaInterface(tif, picture)) {
    return false;
  }
  out = std::move(picture);
  return true;
}

}  // namespace detail

bool WriteTiff(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  if (dpiX < 0 || dpiY < 0) return false;
  bool ok = true;
  {
    TiffFile f(path, "w");
    if (!f.tif) return false;
    TIFF* tif = f.tif;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (channels == 4) {
      const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (dpiX > 0 && dpiY > 0) {
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpiX));
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpiY));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    // The predictor encodes the row it is given in place: hand it a copy,
    // never the caller's pixels.
    try {
      const size_t rowBytes = size_t(width) * size_t(channels);
      Buffer<uint8_t> row = Buffer<uint8_t>::Make(rowBytes);
      for (int32_t y = 0; y < height && ok; ++y) {
        std::memcpy(row.data(), pixels + int64_t{y} * stride, rowBytes);
        ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) >= 0;
      }
    } catch (...) {
      ok = false;
    }
    if (ok) ok = TIFFFlush(tif) == 1;
  }
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
