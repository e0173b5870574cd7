// Line writers: a picture handed over one row at a time, so a caller that
// makes rows on the fly (the flattened page) never holds the whole picture.
// libpng and libjpeg report errors by longjmp; each call into them runs
// inside Protected(), whose frame holds the setjmp and nothing with a
// destructor.
#include <png.h>
#include <tiffio.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <cmath>
#include <csetjmp>
#include <cstdarg>
#include <cstring>

#include "platform/image_files.h"
#include "platform/image_internal.h"

namespace dro::platform::image {

using detail::DeleteObject;
using detail::NewObject;

namespace {

// Whole dots per metre or per inch from dots per inch, saturating; 0 for
// no resolution.
uint32_t PerMetre(double dpi) noexcept {
  if (!(dpi > 0) || !std::isfinite(dpi)) return 0;
  const double v = dpi * 39.3700787;
  return v >= 4294967295.0 ? 0xffffffffu : static_cast<uint32_t>(v);
}
uint32_t PerInch(double dpi, uint32_t most) noexcept {
  if (!(dpi > 0) || !std::isfinite(dpi)) return 0;
  return dpi >= most ? most : static_cast<uint32_t>(dpi);
}

void Put16(uint8_t* at, uint32_t v) {
  at[0] = v & 255, at[1] = v >> 8 & 255;
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = v >> (8 * i) & 255;
}

}  // namespace

// What every format shares: the file, its path (removed on failure), the
// size and how many rows have arrived.
struct LineWriter::Impl {
  virtual ~Impl() {
    if (file) std::fclose(file);
  }
  // One row in file order; false on any failure.
  virtual bool Row(const uint8_t* row) = 0;
  // After the last row: flush what the format keeps back.
  virtual bool End() = 0;

  bool OpenFile(const char* p) {
    const size_t n = std::strlen(p) + 1;
    path = Buffer<char>::Make(n);
    std::memcpy(path.data(), p, n);
    file = std::fopen(p, "wb");
    created = file != nullptr;
    return created;
  }
  // Closes the file (its own way for libtiff) and removes it unless ok.
  bool Close(bool ok) {
    if (file && std::fclose(file) != 0) ok = false;
    file = nullptr;
    // Only a file this writer made is removed: one that could not be
    // opened is someone else's.
    if (!ok && created && path) std::remove(path.data());
    return ok;
  }

  std::FILE* file = nullptr;
  Buffer<char> path;
  int32_t width = 0, height = 0, channels = 3;
  int32_t rows = 0;
  bool failed = false;
  bool created = false;
};

namespace {

using Impl = LineWriter::Impl;

// --- BMP: 24 bits, bottom row first ------------------------------------------

struct BmpLines final : Impl {
  Buffer<uint8_t> line;
  bool Start(const char*, const LineOptions& o) {
    const size_t rowBytes = (size_t(width) * 3 + 3) / 4 * 4;
    const uint64_t imageBytes = uint64_t{rowBytes} * uint64_t(height);
    if (imageBytes + 54 > 0xffffffffu) return false;
    line = Buffer<uint8_t>::MakeBytes(rowBytes, 0);
    uint8_t h[54] = {};
    h[0] = 'B', h[1] = 'M';
    Put32(h + 2, uint32_t(imageBytes + 54));
    Put32(h + 10, 54);
    Put32(h + 14, 40);
    Put32(h + 18, uint32_t(width));
    Put32(h + 22, uint32_t(height));
    Put16(h + 26, 1);
    Put16(h + 28, 24);
    Put32(h + 34, uint32_t(imageBytes));
    Put32(h + 38, PerMetre(o.dpi));
    Put32(h + 42, PerMetre(o.dpi));
    return std::fwrite(h, 1, sizeof h, file) == sizeof h;
  }
  bool Row(const uint8_t* s) override {
    uint8_t* d = line.data();
    for (int32_t x = 0; x < width; ++x, s += channels, d += 3)
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    return std::fwrite(line.data(), 1, line.size(), file) == line.size();
  }
  bool End() override { return true; }
};

// --- TGA: uncompressed true colour, top row first -----------------------------

struct TgaLines final : Impl {
  Buffer<uint8_t> line;
  bool Start(const char*, const LineOptions&) {
    line = Buffer<uint8_t>::Make(size_t(width) * size_t(channels));
    uint8_t h[18] = {};
    h[2] = 2;  // uncompressed true colour
    Put16(h + 12, uint32_t(width));
    Put16(h + 14, uint32_t(height));
    h[16] = uint8_t(channels * 8);
    // Bits 0-3: alpha bits per pixel; bit 5: the first row is the top one.
    h[17] = uint8_t((channels == 4 ? 8 : 0) | 0x20);
    return std::fwrite(h, 1, sizeof h, file) == sizeof h;
  }
  bool Row(const uint8_t* s) override {
    uint8_t* d = line.data();
    for (int32_t x = 0; x < width; ++x, s += channels, d += channels) {
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
      if (channels == 4) d[3] = s[3];
    }
    return std::fwrite(line.data(), 1, line.size(), file) == line.size();
  }
  bool End() override {
    // The footer that marks the newer form of the format.
    static const char footer[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    return std::fwrite(footer, 1, 26, file) == 26;
  }
};

// --- PNG ----------------------------------------------------------------------

void PngError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

template <class Body>
bool PngProtected(png_structp png, Body&& body) {
  if (setjmp(png_jmpbuf(png))) return false;
  body();
  return true;
}

// The write callback of EncodePng: appends to a block that doubles.
struct MemorySink {
  Buffer<uint8_t> data;
  size_t used = 0;
  bool failed = false;
};
void SinkWrite(png_structp png, png_bytep bytes, png_size_t length) {
  auto* sink = static_cast<MemorySink*>(png_get_io_ptr(png));
  if (sink->failed) png_error(png, "no memory");
  if (length > sink->data.size() - sink->used) {
    try {
      size_t capacity = sink->data.size() ? sink->data.size() : 65536;
      while (capacity - sink->used < length) capacity *= 2;
      Buffer<uint8_t> grown = Buffer<uint8_t>::Make(capacity);
      if (sink->used) std::memcpy(grown.data(), sink->data.data(), sink->used);
      sink->data = std::move(grown);
    } catch (...) {
      sink->failed = true;
      png_error(png, "no memory");
    }
  }
  std::memcpy(sink->data.data() + sink->used, bytes, length);
  sink->used += length;
}
void SinkFlush(png_structp) {}

struct PngLines final : Impl {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngLines() override { png_destroy_write_struct(&png, info ? &info : nullptr); }
  bool Start(const char*, const LineOptions& o, MemorySink* sink) {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    info = png_create_info_struct(png);
    if (!info) return false;
    const uint32_t ppm = PerMetre(o.dpi);
    return PngProtected(png, [&] {
      if (sink)
        png_set_write_fn(png, sink, SinkWrite, SinkFlush);
      else
        png_init_io(png, file);
      if (o.pngLevel >= 0) png_set_compression_level(png, o.pngLevel > 9 ? 9 : o.pngLevel);
      png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8,
                   channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                   PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      if (ppm) png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
      png_write_info(png, info);
    });
  }
  bool Row(const uint8_t* row) override {
    return PngProtected(png, [&] { png_write_row(png, const_cast<png_bytep>(row)); });
  }
  bool End() override {
    return PngProtected(png, [&] { png_write_end(png, nullptr); });
  }
};

// --- JPEG -----------------------------------------------------------------------

struct JpegErrors {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
void JpegErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}
void JpegSilent(j_common_ptr, int) {}

template <class Body>
bool JpegProtected(JpegErrors& errors, Body&& body) {
  if (setjmp(errors.jump)) return false;
  body();
  return true;
}

struct JpegLines final : Impl {
  jpeg_compress_struct cinfo{};
  JpegErrors errors;
  bool created = false;
  ~JpegLines() override {
    if (created) jpeg_destroy_compress(&cinfo);
  }
  bool Start(const char*, const LineOptions& o) {
    jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = JpegErrorExit;
    errors.mgr.emit_message = JpegSilent;
    cinfo.err = &errors.mgr;
    const uint32_t dpi = PerInch(o.dpi, 65535);
    return JpegProtected(errors, [&] {
      jpeg_create_compress(&cinfo);
      created = true;
      jpeg_stdio_dest(&cinfo, file);
      cinfo.image_width = JDIMENSION(width);
      cinfo.image_height = JDIMENSION(height);
      cinfo.input_components = channels;
      cinfo.in_color_space = channels == 4 ? JCS_EXT_RGBX : JCS_RGB;
      jpeg_set_defaults(&cinfo);
      jpeg_set_quality(&cinfo, o.quality < 1 ? 1 : (o.quality > 100 ? 100 : o.quality), TRUE);
      if (o.accurateDct) cinfo.dct_method = JDCT_ISLOW;
      cinfo.smoothing_factor = 0;
      if (o.fullChroma)
        for (int c = 0; c < cinfo.num_components; ++c)
          cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
      if (dpi) {
        cinfo.density_unit = 1;
        cinfo.X_density = cinfo.Y_density = UINT16(dpi);
      }
      jpeg_start_compress(&cinfo, TRUE);
    });
  }
  bool Row(const uint8_t* row) override {
    return JpegProtected(errors, [&] {
      JSAMPROW r = const_cast<JSAMPROW>(row);
      jpeg_write_scanlines(&cinfo, &r, 1);
    });
  }
  bool End() override {
    return JpegProtected(errors, [&] { jpeg_finish_compress(&cinfo); });
  }
};

// --- TIFF -------------------------------------------------------------------------

int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffLines final : Impl {
  TIFF* tif = nullptr;
  Buffer<uint8_t> line;
  ~TiffLines() override {
    if (tif) TIFFClose(tif);
  }
  bool Start(const char* p, const LineOptions& o) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffQuiet, nullptr);
    tif = TIFFOpenExt(p, "w", opts);
    TIFFOpenOptionsFree(opts);
    if (!tif) return false;
    created = true;
    line = Buffer<uint8_t>::Make(size_t(width) * size_t(channels));
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
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
    if (const uint32_t dpi = PerInch(o.dpi, 1u << 30)) {
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
      TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
      TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    return true;
  }
  bool Row(const uint8_t* row) override {
    // The predictor encodes in place: hand libtiff a copy.
    std::memcpy(line.data(), row, line.size());
    return TIFFWriteScanline(tif, line.data(), uint32_t(rows), 0) >= 0;
  }
  bool End() override {
    const bool ok = TIFFFlush(tif) == 1;
    TIFFClose(tif);
    tif = nullptr;
    return ok;
  }
};

template <class T, class... Args>
Impl* Started(const char* path, int32_t width, int32_t height, int32_t channels, bool ownFile,
              bool* noMemory, Args&&... args) {
  T* impl = NewObject<T>();
  impl->width = width, impl->height = height, impl->channels = channels;
  bool ok;
  try {
    if (ownFile) {
      ok = impl->OpenFile(path);
    } else {
      const size_t n = std::strlen(path) + 1;
      impl->path = Buffer<char>::Make(n);
      std::memcpy(impl->path.data(), path, n);
      ok = true;
    }
    ok = ok && impl->Start(path, args...);
  } catch (const std::bad_alloc&) {
    if (noMemory) *noMemory = true;
    ok = false;
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    impl->Close(false);
    DeleteObject(impl);
    return nullptr;
  }
  return impl;
}

}  // namespace

LineWriter* LineWriter::Open(LineFormat format, const char* path, int32_t width, int32_t height,
                             const LineOptions& o, bool* noMemory) noexcept {
  if (noMemory) *noMemory = false;
  if (!path || !path[0] || width < 1 || height < 1 || width > detail::kMaxWriteSide ||
      height > detail::kMaxWriteSide || (o.channels != 3 && o.channels != 4))
    return nullptr;
  try {
    Impl* impl = nullptr;
    switch (format) {
      case LineFormat::kBmp:
        impl = Started<BmpLines>(path, width, height, o.channels, true, noMemory, o);
        break;
      case LineFormat::kTga:
        impl = Started<TgaLines>(path, width, height, o.channels, true, noMemory, o);
        break;
      case LineFormat::kPng:
        impl = Started<PngLines>(path, width, height, o.channels, true, noMemory, o,
                                 static_cast<MemorySink*>(nullptr));
        break;
      case LineFormat::kJpeg:
        if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) return nullptr;
        impl = Started<JpegLines>(path, width, height, o.channels, true, noMemory, o);
        break;
      case LineFormat::kTiff:
        impl = Started<TiffLines>(path, width, height, o.channels, false, noMemory, o);
        break;
    }
    if (!impl) return nullptr;
    void* block = nullptr;
    try {
      block = AllocateBytes(sizeof(LineWriter));
    } catch (...) {
      if (noMemory) *noMemory = true;
      impl->Close(false);
      DeleteObject(impl);
      return nullptr;
    }
    return ::new (block) LineWriter(impl);
  } catch (const std::bad_alloc&) {
    if (noMemory) *noMemory = true;
    return nullptr;
  } catch (...) {
    return nullptr;
  }
}

bool LineWriter::Write(const uint8_t* row) noexcept {
  if (!impl_ || impl_->failed || !row || impl_->rows >= impl_->height) {
    if (impl_) impl_->failed = true;
    return false;
  }
  bool ok = false;
  try {
    ok = impl_->Row(row);
  } catch (...) {
  }
  if (ok)
    ++impl_->rows;
  else
    impl_->failed = true;
  return ok;
}

bool LineWriter::Finish(LineWriter* writer) noexcept {
  if (!writer) return false;
  Impl* impl = writer->impl_;
  bool ok = !impl->failed && impl->rows == impl->height;
  if (ok) {
    try {
      ok = impl->End();
    } catch (...) {
      ok = false;
    }
  }
  ok = impl->Close(ok);
  DeleteObject(impl);
  writer->~LineWriter();
  FreeBytes(writer);
  return ok;
}

void LineWriter::Abandon(LineWriter* writer) noexcept {
  if (!writer) return;
  writer->impl_->failed = true;
  Finish(writer);
}

bool WriteLines(LineFormat format, const char* path, const uint8_t* pixels, int32_t width,
                int32_t height, int32_t stride, const LineOptions& options,
                bool* noMemory) noexcept {
  if (noMemory) *noMemory = false;
  if (!detail::ValidImage(pixels, width, height, options.channels, stride)) return false;
  LineWriter* w = LineWriter::Open(format, path, width, height, options, noMemory);
  if (!w) return false;
  const bool bottomUp = format == LineFormat::kBmp;
  for (int32_t i = 0; i < height; ++i) {
    const int32_t y = bottomUp ? height - 1 - i : i;
    if (!w->Write(pixels + int64_t{y} * stride)) break;
  }
  return LineWriter::Finish(w);
}

bool EncodePng(const uint8_t* rgba, int32_t width, int32_t height, int32_t stride, int32_t level,
               Buffer<uint8_t>& out) noexcept {
  if (!detail::ValidImage(rgba, width, height, 4, stride)) return false;
  MemorySink sink;
  bool ok = false;
  try {
    PngLines lines;
    lines.width = width, lines.height = height, lines.channels = 4;
    LineOptions o;
    o.channels = 4;
    o.pngLevel = level;
    ok = lines.Start(nullptr, o, &sink);
    for (int32_t y = 0; ok && y < height; ++y) ok = lines.Row(rgba + int64_t{y} * stride);
    ok = ok && lines.End() && !sink.failed;
  } catch (...) {
    ok = false;
  }
  if (!ok) return false;
  try {
    Buffer<uint8_t> exact = Buffer<uint8_t>::Make(sink.used);
    std::memcpy(exact.data(), sink.data.data(), sink.used);
    out = std::move(exact);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::image
