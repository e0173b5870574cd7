// Reading picture files into the staging image or a host buffer.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/diagnostics.h"
#include "base/guard.h"
#include "io/files.h"
#include "io/staging.h"
#include "platform/image_library.h"

namespace dro::io {
namespace {

namespace im = platform::image;

// Says why `path` gave no picture; only called with diagnostics on.
void DiagnoseUnread(const char* where, const char* path, im::ReadStatus status) noexcept {
  if (!path || !path[0]) {
    Diagnose(where, "no file path given");
    return;
  }
  if (status == im::ReadStatus::kNoMemory) {
    Diagnose(where, "\"%s\": out of memory", path);
    return;
  }
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    Diagnose(where, "\"%s\": %s", path, std::strerror(errno));
    return;
  }
  std::fclose(file);
  Diagnose(where, "\"%s\": not a picture this engine reads, damaged, or beyond the decode limits",
           path);
}

// Reads the file's picture as RGBA; memory running out records `operation`.
bool ReadRgba(const char* path, im::Picture& out, const char* where) noexcept {
  im::ReadStatus status = im::ReadStatus::kUnreadable;
  if (im::ReadImageRgba(path, out, &status)) return true;
  if (status == im::ReadStatus::kNoMemory) RecordFailure(Operation::kReadFromFile);
  if (DiagnosticsOn()) DiagnoseUnread(where, path, status);
  return false;
}

}  // namespace

int32_t ReadFileIntoStaging(const char* path) noexcept {
  im::Picture picture;
  if (!ReadRgba(path, picture, "DRO_ReadFromFile")) return 0;
  return AdoptStagingImage(picture.pixels, picture.width, picture.height) ? 1 : 0;
}

int32_t ReadFileIntoBuffer(uint8_t* dst, int32_t width, int32_t height, const char* path,
                           int32_t channels) noexcept {
  const char* where = channels == 3 ? "DRO_ReadFromFileRGB24" : "DRO_ReadFromFileRGBA32";
  if (!dst || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) {
    if (!NullArgument(where, dst, "destination buffer") && DiagnosticsOn())
      Diagnose(where, "size %d x %d is empty; nothing read", width, height);
    return 0;
  }
  im::Picture picture;
  if (!ReadRgba(path, picture, where)) return 0;
  if (picture.width != width || picture.height != height) {
    if (DiagnosticsOn())
      Diagnose(where, "\"%s\" is %d x %d, not %d x %d; nothing read", path, picture.width,
               picture.height, width, height);
    return 0;
  }
  const uint8_t* s = picture.pixels.data();
  const size_t count = size_t(width) * size_t(height);
  if (channels == 4) {
    std::memcpy(dst, s, count * 4);
    return 1;
  }
  for (size_t i = 0; i < count; ++i, s += 4, dst += 3) {
    dst[0] = s[0];
    dst[1] = s[1];
    dst[2] = s[2];
  }
  return 1;
}

}  // namespace dro::io
