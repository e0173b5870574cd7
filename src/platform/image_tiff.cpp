// TIFF through libtiff. Errors and warnings go to handlers of our own for
// each opened file (nothing is printed, nothing global is changed).
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: do not call the global handler
}

struct TiffFile {
  TIFF* tif = nullptr;
  TiffFile(const char* path, const char* mode) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, QuietHandler, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t{1} << 30);
    tif = TIFFOpenExt(path, mode, opts);
    TIFFOpenOptionsFree(opts);
  }
  ~TiffFile() {
    if (tif) TIFFClose(tif);
  }
};

// Rows of 8- or 16-bit grey or RGB samples, with an optional straight alpha,
// stored pixel by pixel in strips: read row by row, exactly.
bool ReadPlainRows(TIFF* tif, uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                   bool grey, bool alpha, Picture& picture) {
  const tmsize_t rowBytes = TIFFScanlineSize(tif);
  const size_t bytesPerSample = bits / 8;
  if (rowBytes < 0 || size_t(rowBytes) < size_t{width} * samples * bytesPerSample) return false;
  Buffer<uint8_t> row = Buffer<uint8_t>::Make(static_cast<size_t>(rowBytes));
  // The high byte of a 16-bit sample, in the machine's order once libtiff
  // has swapped it.
  const uint16_t probe = 1;
  const bool littleEndian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  const size_t high = bytesPerSample == 2 && littleEndian ? 1 : 0;
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) return false;
    uint8_t* d = picture.pixels.data() + size_t{y} * width * 4;
    const uint8_t* s = row.data();
    for (uint32_t x = 0; x < width; ++x, d += 4) {
      const uint8_t* p = s + size_t{x} * samples * bytesPerSample;
      auto sample = [&](int i) { return p[i * bytesPerSample + high]; };
      if (grey) {
        d[0] = d[1] = d[2] = sample(0);
        d[3] = alpha ? sample(1) : 255;
      } else {
        d[0] = sample(0);
        d[1] = sample(1);
        d[2] = sample(2);
        d[3] = alpha ? sample(3) : 255;
      }
    }
  }
  return true;
}

}  // namespace

namespace detail {

bool ReadTiffRgba(const char* path, Picture& out) {
  TiffFile f(path, "r");
  if (!f.tif) return false;
  TIFF* tif = f.tif;
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
    return false;
  if (!AcceptableSize(width, height)) return false;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0xffff;
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  const bool associated = extraCount > 0 && extraTypes && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;

  Picture picture = MakeRgba(static_cast<int32_t>(width), static_cast<int32_t>(height), false);
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
  const bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
  if ((grey || rgb) && (bits == 8 || bits == 16) && planar == PLANARCONFIG_CONTIG &&
      !TIFFIsTiled(tif) && !associated) {
    const bool alpha = grey ? samples == 2 : samples == 4;
    if (!ReadPlainRows(tif, width, height, bits, samples, grey, alpha, picture)) return false;
  } else {
    // Everything else (palettes, tiles, planes, YCbCr, CMYK, 1-bit...)
    // through libtiff's RGBA interface. It premultiplies alpha; undo that.
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return false;
    static_assert(sizeof(uint32_t) == 4);
    if (!TIFFReadRGBAImageOriented(tif, width, height,
                                   reinterpret_cast<uint32_t*>(picture.pixels.data()),
                                   ORIENTATION_TOPLEFT, 1))
      return false;
    uint8_t* p = picture.pixels.data();
    for (size_t i = 0, n = size_t{width} * height; i < n; ++i, p += 4) {
      uint32_t word;  // packed A<<24 | B<<16 | G<<8 | R in the machine's order
      std::memcpy(&word, p, 4);
      const uint8_t r = TIFFGetR(word), g = TIFFGetG(word), b = TIFFGetB(word), a = TIFFGetA(word);
      p[0] = r, p[1] = g, p[2] = b, p[3] = a;
      if (a != 0 && a != 255)
        for (int c = 0; c < 3; ++c)
          p[c] = static_cast<uint8_t>(std::min(255, (p[c] * 255 + a / 2) / a));
    }
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
