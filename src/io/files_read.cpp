// Reading picture files into the staging image or a host buffer.
#include <cstring>

#include "base/guard.h"
#include "io/files.h"
#include "io/staging.h"
#include "platform/image_library.h"

namespace dro::io {
namespace {

namespace im = platform::image;

// Reads the file's picture as RGBA; memory running out records `operation`.
bool ReadRgba(const char* path, im::Picture& out) noexcept {
  im::ReadStatus status = im::ReadStatus::kUnreadable;
  if (im::ReadImageRgba(path, out, &status)) return true;
  if (status == im::ReadStatus::kNoMemory) RecordFailure(Operation::kReadFromFile);
  return false;
}

}  // namespace

int32_t ReadFileIntoStaging(const char* path) noexcept {
  im::Picture picture;
  if (!ReadRgba(path, picture)) return 0;
  return AdoptStagingImage(picture.pixels, picture.width, picture.height) ? 1 : 0;
}

int32_t ReadFileIntoBuffer(uint8_t* dst, int32_t width, int32_t height, const char* path,
                           int32_t channels) noexcept {
  if (!dst || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return 0;
  im::Picture picture;
  if (!ReadRgba(path, picture)) return 0;
  if (picture.width != width || picture.height != height) return 0;
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
