// The recorder (model in avi_recorder.h).
#include "io/avi_recorder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/allocation.h"
#include "base/diagnostics.h"
#include "io/avi_file.h"
#include "io/device_file.h"
#include "platform/avi_jpeg.h"
#include "platform/image_library.h"

namespace dro::io {
namespace {

struct Recorder {
  AviFile file;
  bool open = false;
  bool failed = false;
  int32_t periodMs = 0;
  int32_t width = 0, height = 0, depth = 0;
  int32_t codec = kAviUncompressed, quality = 90;
  Buffer<uint8_t> frame;          // the encoded frame, reused
  ~Recorder() { file.Finish(); }  // at unload: the file stays playable
};

Recorder& TheRecorder() {
  static Recorder recorder;
  return recorder;
}

int32_t g_codec = kAviUncompressed;
int32_t g_quality = 90;

// Bottom-up BGR rows padded to 4 bytes, from top-down RGBA.
uint32_t PackDib(const platform::image::Picture& p, Buffer<uint8_t>& out) {
  const size_t row = (size_t(p.width) * 3 + 3) & ~size_t{3};
  const size_t bytes = CheckedCount(int64_t(row), p.height);
  if (out.size() < bytes) out = Buffer<uint8_t>::Make(bytes);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* src = p.pixels.data() + size_t(y) * size_t(p.width) * 4;
    uint8_t* dst = out.data() + size_t(p.height - 1 - y) * row;
    for (int32_t x = 0; x < p.width; ++x, src += 4, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    std::fill(dst, out.data() + size_t(p.height - 1 - y) * row + row, uint8_t{0});
  }
  return uint32_t(bytes);
}

// Writes one decoded frame; false sets the failed flag.
bool WriteFrame(Recorder& r, const platform::image::Picture& p, int32_t depth) {
  if (!r.file.started()) {
    AviFormat format;
    format.width = p.width;
    format.height = p.height;
    format.periodMs = r.periodMs;
    format.mjpeg = r.codec == kAviMjpeg;
    format.frameBytes =
        uint32_t(CheckedCount(int64_t((size_t(p.width) * 3 + 3) & ~size_t{3}), p.height));
    if (!r.file.Start(format)) return false;
    r.width = p.width, r.height = p.height, r.depth = depth;
  }
  uint32_t size = 0;
  if (r.codec == kAviMjpeg) {
    size_t encoded = 0;
    if (!platform::video::EncodeJpegFrame(p.pixels.data(), p.width, p.height, int64_t{p.width} * 4,
                                          r.quality, r.frame, encoded))
      return false;
    size = uint32_t(encoded);
  } else {
    size = PackDib(p, r.frame);
  }
  return r.file.WriteFrame(r.frame.data(), size);
}

}  // namespace

void* CreateAvi(const char* path, int32_t periodMs) noexcept {
  Recorder& r = TheRecorder();
  CloseAvi();
  if (periodMs < 1) {
    if (DiagnosticsOn()) Diagnose("DRO_CreateAVI", "period %d ms below 1; no recording", periodMs);
    return nullptr;
  }
  if (!r.file.Create(path)) {
    if (DiagnosticsOn())
      Diagnose("DRO_CreateAVI", "\"%s\": %s; no recording", path ? path : "(null)",
               path && path[0] ? std::strerror(errno) : "no path given");
    return nullptr;
  }
  r.open = true;
  r.failed = false;
  r.periodMs = periodMs;
  r.width = r.height = r.depth = 0;
  r.codec = g_codec;
  r.quality = g_quality;
  return &r;
}

int32_t WriteAvi(const char* bitmapPath) noexcept {
  Recorder& r = TheRecorder();
  if (!r.open) {
    if (DiagnosticsOn()) Diagnose("DRO_WriteAVI", "no recording open (DRO_CreateAVI)");
    return 0;
  }
  platform::image::Picture picture;
  int32_t depth = 0;
  try {
    Buffer<uint8_t> bytes;
    // Only BMP files are frames, as a bitmap loader would take them.
    if (!ReadFileBytes(bitmapPath, bytes) || bytes.size() < 30 || bytes[0] != 'B' ||
        bytes[1] != 'M') {
      if (DiagnosticsOn())
        Diagnose("DRO_WriteAVI", "\"%s\" is no BMP file; no frame",
                 bitmapPath ? bitmapPath : "(null)");
      return 0;
    }
    depth = bytes[28] | bytes[29] << 8;
    if (!platform::image::ReadPictureRgba(bytes.data(), bytes.size(), picture)) return 0;
  } catch (...) {
    return 0;  // memory ran out reading the file: nothing to record
  }
  if (r.failed) return 1;
  // Another size or depth than the stream's, or a side the stream's
  // 16-bit frame rectangle cannot hold: skipped, the stream goes on.
  if (picture.width > 65535 || picture.height > 65535) return 1;
  if (r.file.started() &&
      (picture.width != r.width || picture.height != r.height || depth != r.depth))
    return 1;
  try {
    if (!WriteFrame(r, picture, depth)) r.failed = true;
  } catch (...) {
    r.failed = true;
  }
  return 1;
}

int32_t CloseAvi() noexcept {
  Recorder& r = TheRecorder();
  if (!r.open) return 0;
  r.file.Finish();
  r.frame.Reset();
  r.open = false;
  return 0;
}

int32_t SetAviCompression(int32_t codec, int32_t quality) noexcept {
  if ((codec != kAviUncompressed && codec != kAviMjpeg) || quality < 1 || quality > 100) {
    if (DiagnosticsOn())
      Diagnose("DRO_XSetAVICompression",
               "codec %d or quality %d refused (codec 0 or 1, quality 1..100)", codec, quality);
    return 0;
  }
  g_codec = codec;
  g_quality = quality;
  Recorder& r = TheRecorder();
  if (r.open && !r.file.started()) r.codec = codec, r.quality = quality;
  return 1;
}

int32_t AviFramesWritten() noexcept {
  const Recorder& r = TheRecorder();
  return r.open ? r.file.frames() : -1;
}

bool AviFailed() noexcept {
  const Recorder& r = TheRecorder();
  return r.open && r.failed;
}

}  // namespace dro::io
