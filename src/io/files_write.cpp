// Writing host buffers and the flattened page to files; resolution queries,
// thumbnails and web pictures.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/numeric.h"
#include "base/types.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "io/files.h"
#include "platform/image_files.h"
#include "platform/image_library.h"

namespace dro::io {
namespace {

namespace im = platform::image;

// Every writer of either table.
enum class Writer { kNone, kBmp, kPng, kJpeg, kGif, kPcx, kPsd, kEmf, kTga, kTiff };

constexpr int32_t kLargestSide = 30000;

bool SameText(const char* a, const char* b) noexcept {
  for (; *a && *b; ++a, ++b) {
    const char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}

struct Row {
  const char* extension;
  Writer rgb;   // RGB24 buffer
  Writer rgba;  // RGBA32 buffer
};
constexpr Row kBufferTable[] = {
    {".bmp", Writer::kBmp, Writer::kNone},  {".png", Writer::kPng, Writer::kPng},
    {".jpg", Writer::kJpeg, Writer::kNone}, {".gif", Writer::kGif, Writer::kNone},
    {".pcx", Writer::kPcx, Writer::kNone},  {".psd", Writer::kPsd, Writer::kNone},
    {".emf", Writer::kEmf, Writer::kNone},  {".wmf", Writer::kEmf, Writer::kNone},
    {".tga", Writer::kNone, Writer::kTga},  {".tif", Writer::kNone, Writer::kTiff},
};
constexpr Row kPageTable[] = {
    {".bmp", Writer::kBmp, Writer::kNone},  {".png", Writer::kPng, Writer::kPng},
    {".jpg", Writer::kJpeg, Writer::kNone}, {".tga", Writer::kNone, Writer::kTga},
    {".tif", Writer::kNone, Writer::kTiff},
};

template <size_t N>
Writer Choose(const Row (&table)[N], const char* extension, int32_t channels) noexcept {
  if (!extension) return Writer::kNone;
  for (const Row& row : table)
    if (SameText(extension, row.extension)) return channels == 4 ? row.rgba : row.rgb;
  return Writer::kNone;
}

// Says which argument a writer refused; only called with diagnostics on.
template <size_t N>
void DiagnoseWriteRefusal(const char* where, const Row (&table)[N], const char* extension,
                          int32_t channels, const char* path) noexcept {
  if (!path || !path[0]) {
    Diagnose(where, "no file path given; nothing written");
    return;
  }
  char known[64] = "";
  size_t used = 0;
  for (const Row& row : table) {
    if ((channels == 4 ? row.rgba : row.rgb) == Writer::kNone) continue;
    const int n =
        std::snprintf(known + used, sizeof known - used, "%s%s", used ? " " : "", row.extension);
    if (n < 0 || static_cast<size_t>(n) >= sizeof known - used) break;
    used += static_cast<size_t>(n);
  }
  Diagnose(where, "extension \"%s\" not one of %s; nothing written",
           extension ? extension : "(null)", known);
}

double Resolution(int32_t dpi) noexcept {
  return dpi > 0 ? dpi : 72;
}

im::LineFormat LineFormatOf(Writer w) noexcept {
  switch (w) {
    case Writer::kBmp:
      return im::LineFormat::kBmp;
    case Writer::kJpeg:
      return im::LineFormat::kJpeg;
    case Writer::kTga:
      return im::LineFormat::kTga;
    case Writer::kTiff:
      return im::LineFormat::kTiff;
    default:
      return im::LineFormat::kPng;
  }
}

// A line writer's memory running out reaches the guard like any other.
bool WriteLinesOrThrow(im::LineFormat format, const char* path, const uint8_t* pixels,
                       int32_t width, int32_t height, int32_t stride, const im::LineOptions& o) {
  bool noMemory = false;
  const bool ok = im::WriteLines(format, path, pixels, width, height, stride, o, &noMemory);
  if (noMemory) throw std::bad_alloc();
  return ok;
}

bool WriteBuffer(Writer writer, const uint8_t* pixels, int32_t width, int32_t height,
                 const char* path, int32_t dpi, int32_t channels) {
  const int32_t stride = width * channels;
  switch (writer) {
    case Writer::kNone:
      return false;
    case Writer::kGif: {
      Buffer<uint8_t> indices = Buffer<uint8_t>::Make(CheckedCount(width, height));
      uint8_t palette[768];
      int32_t colors = 0;
      return im::QuantizeMedianCut(pixels, width, height, channels, stride, indices.data(), palette,
                                   colors) &&
             im::WriteGif(path, indices.data(), width, height, width, palette, colors, -1);
    }
    case Writer::kPcx:
      return im::WritePcx(path, pixels, width, height, channels, stride);
    case Writer::kPsd:
      return im::WritePsd(path, pixels, width, height, channels, stride);
    case Writer::kEmf:
      return im::WriteEmf(path, pixels, width, height, channels, stride);
    default: {
      im::LineOptions o;
      o.channels = channels;
      o.dpi = writer == Writer::kTga ? 0 : Resolution(dpi);
      o.quality = 97;
      // Quality 97 means keeping detail: colour is not subsampled and the
      // accurate transform is used, as for the page.
      o.fullChroma = o.accurateDct = writer == Writer::kJpeg;
      return WriteLinesOrThrow(LineFormatOf(writer), path, pixels, width, height, stride, o);
    }
  }
}

}  // namespace

int32_t WriteBufferToFile(const uint8_t* pixels, int32_t width, int32_t height, const char* path,
                          const char* extension, int32_t dpi, int32_t channels) noexcept {
  const char* where = channels == 4 ? "DRO_WriteToFileRGBA32" : "DRO_WriteToFileRGB24";
  const Writer writer = Choose(kBufferTable, extension, channels);
  if (writer == Writer::kNone || !pixels || !path || !path[0] || width < 1 || height < 1 ||
      width > kLargestSide || height > kLargestSide) {
    if (!DiagnosticsOn()) return 0;
    if (writer == Writer::kNone || !path || !path[0]) {
      DiagnoseWriteRefusal(where, kBufferTable, extension, channels, path);
    } else if (!NullArgument(where, pixels, "pixel buffer")) {
      Diagnose(where, "size %d x %d outside 1..%d on each side; nothing written", width, height,
               kLargestSide);
    }
    return 0;
  }
  const Operation op = channels == 4 ? Operation::kWriteToFileRgba32 : Operation::kWriteToFileRgb24;
  return Guard(op, 0, [&] {
    if (WriteBuffer(writer, pixels, width, height, path, dpi, channels)) return 1;
    if (DiagnosticsOn()) Diagnose(where, "\"%s\" could not be written", path);
    return 0;
  });
}

bool SavePageToFile(const char* path, const char* extension, int32_t dpi,
                    int32_t channels) noexcept {
  const Writer writer = Choose(kPageTable, extension, channels);
  const CanvasGeometry& c = Geometry();
  if (writer == Writer::kNone || !path || !path[0] || !c.HasPixels()) {
    const char* where = channels == 4 ? "DRO_SavePageToFileRGB32" : "DRO_SavePageToFileRGB24";
    if (!DiagnosticsOn()) return false;
    if (writer == Writer::kNone || !path || !path[0]) {
      DiagnoseWriteRefusal(where, kPageTable, extension, channels, path);
    } else {
      Diagnose(where, "no canvas (DRO_CreateImage); nothing written");
    }
    return false;
  }
  const Operation op =
      channels == 4 ? Operation::kSavePageToFileRgb32 : Operation::kSavePageToFileRgb24;
  return Guard(op, false, [&] {
    const int32_t w = c.width, h = c.height;
    // One row of the page at a time: never the whole flattened canvas.
    Buffer<Pixel64> wide = Buffer<Pixel64>::Make(CheckedCount(w, 1));
    Buffer<uint8_t> narrow = Buffer<uint8_t>::Make(CheckedCount(w, channels));
    im::LineOptions o;
    o.channels = channels;
    o.dpi = writer == Writer::kTga ? 0 : Resolution(dpi);
    o.quality = 97;
    o.fullChroma = o.accurateDct = writer == Writer::kJpeg;
    bool noMemory = false;
    im::LineWriter* out = im::LineWriter::Open(LineFormatOf(writer), path, w, h, o, &noMemory);
    if (noMemory) throw std::bad_alloc();
    if (!out) return false;
    const bool bottomUp = writer == Writer::kBmp;
    try {
      for (int32_t i = 0; i < h; ++i) {
        const int32_t y = bottomUp ? h - 1 - i : i;
        composite::MergeRect(wide.data(), 0, y, w, 1);
        composite::NarrowRectTight(reinterpret_cast<const uint8_t*>(wide.data()), 0, 0, w, 1, w,
                                   narrow.data(), channels);
        if (!out->Write(narrow.data())) break;
      }
    } catch (...) {
      im::LineWriter::Abandon(out);
      throw;
    }
    return im::LineWriter::Finish(out);
  });
}

int32_t DpiFromHeader(int32_t type, double r, int32_t unit) noexcept {
  double dpi;
  switch (type) {
    case im::kFileBmp:
      dpi = unit == 1 ? r * 2.5400000025908 : (unit == 2 ? r * 0.025400000025908 : 72);
      break;
    case im::kFileJpeg:
      dpi = unit == 1 ? r : (unit == 2 ? r * 2.5400000025908 : 72);
      break;
    case im::kFilePng:
      dpi = unit == 1 ? r * 0.025400000025908 : 72;
      break;
    case im::kFileTiff:
    case im::kFilePsd:
      dpi = unit == 2 ? r : (unit == 3 ? r * 2.5400000025908 : 72);
      break;
    default:
      dpi = 72;
  }
  return std::isfinite(dpi) ? SaturateToInt32(dpi) : 0;
}

int32_t SnapDpi(int32_t dpi) noexcept {
  static constexpr int32_t kStandard[] = {96, 150, 200, 300, 450, 600};
  for (const int32_t s : kStandard)
    if (dpi >= s - 1 && dpi <= s + 1) return s;
  return 72;
}

int32_t DpiOfFile(const char* path) noexcept {
  int32_t type = 0, unit = 0;
  double value = 0;
  if (!im::ReadFileResolution(path, type, value, unit)) return 72;
  return SnapDpi(DpiFromHeader(type, value, unit));
}

void ThumbnailSize(int32_t w, int32_t h, int32_t& ow, int32_t& oh) noexcept {
  if (h < w) {
    ow = 100;
    oh = SaturateToInt32(100.0 / w * h);
  } else {
    ow = SaturateToInt32(100.0 / h * w);
    oh = 100;
  }
  ow = ow < 1 ? 1 : ow;
  oh = oh < 1 ? 1 : oh;
}

void WebPictureSize(int32_t w, int32_t h, int32_t maxW, int32_t maxH, int32_t& ow,
                    int32_t& oh) noexcept {
  ow = w, oh = h;
  if (double(maxW) / maxH > double(w) / h) {
    if (maxH < h) ow = SaturateToInt32(double(w) * maxH / h), oh = maxH;
  } else if (maxW < w) {
    ow = maxW, oh = SaturateToInt32(double(maxW) / w * h);
  }
  ow = ow < 1 ? 1 : ow;
  oh = oh < 1 ? 1 : oh;
}

namespace {

// Reads a file, drops alpha and scales the RGB picture to the size `fit`
// gives (area average when both sides shrink, else bilinear).
template <class Fit>
bool ReadScaledRgb(const char* path, Fit&& fit, Buffer<uint8_t>& out, int32_t& ow, int32_t& oh) {
  im::Picture picture;
  im::ReadStatus status = im::ReadStatus::kUnreadable;
  if (!im::ReadImageRgba(path, picture, &status)) {
    if (status == im::ReadStatus::kNoMemory) throw std::bad_alloc();
    return false;
  }
  const int32_t w = picture.width, h = picture.height;
  fit(w, h, ow, oh);
  Buffer<uint8_t> rgb = Buffer<uint8_t>::Make(CheckedGridCount(w, h, 3) * 3);
  composite::RgbaToRgb(rgb.data(), w, h, picture.pixels.data());
  picture.pixels.Reset();
  Buffer<uint8_t> scaled = Buffer<uint8_t>::Make(CheckedGridCount(ow, oh, 3) * 3);
  const bool ok =
      ow < w && oh < h
          ? im::DecimateImage(rgb.data(), w, h, w * 3, scaled.data(), ow, oh, ow * 3, 3, 1)
          : im::ResizeImage(rgb.data(), w, h, w * 3, scaled.data(), ow, oh, ow * 3, 3, 0);
  if (!ok) return false;
  out = std::move(scaled);
  return true;
}

}  // namespace

bool MakeThumbnail(const char* path, const char* thumbnailPath) noexcept {
  if (!thumbnailPath || !thumbnailPath[0]) return false;
  return Guard(Operation::kMakeThumbnail, false, [&] {
    Buffer<uint8_t> rgb;
    int32_t w = 0, h = 0;
    if (!ReadScaledRgb(path, ThumbnailSize, rgb, w, h)) return false;
    im::LineOptions o;  // no resolution
    return WriteLinesOrThrow(im::LineFormat::kBmp, thumbnailPath, rgb.data(), w, h, w * 3, o);
  });
}

bool MakeWebPicture(const char* path, const char* webPath, int32_t maxWidth,
                    int32_t maxHeight) noexcept {
  if (!webPath || !webPath[0] || maxWidth < 1 || maxHeight < 1) return false;
  return Guard(Operation::kMakeWebPic, false, [&] {
    Buffer<uint8_t> rgb;
    int32_t w = 0, h = 0;
    const auto fit = [&](int32_t sw, int32_t sh, int32_t& ow, int32_t& oh) {
      WebPictureSize(sw, sh, maxWidth, maxHeight, ow, oh);
    };
    if (!ReadScaledRgb(path, fit, rgb, w, h)) return false;
    im::LineOptions o;
    o.quality = 75;
    return WriteLinesOrThrow(im::LineFormat::kJpeg, webPath, rgb.data(), w, h, w * 3, o);
  });
}

}  // namespace dro::io
