// One picture reader fed untrusted bytes. Built once per format
// (DROVINE_FUZZ_READER names the reader); the whole-file entry point with
// its type guessing is the `picture` target.
#include <cstddef>
#include <cstdint>

#include "platform/image_internal.h"
#include "platform/image_library.h"

namespace img = dro::platform::image;

namespace {

[[maybe_unused]] bool ReadWholePicture(const uint8_t* data, size_t size, img::Picture& out) {
  return img::ReadPictureRgba(data, size, out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  img::Picture picture;
  try {
    const bool ok = DROVINE_FUZZ_READER(data, size, picture);
    // A picture that was read is whole: touch every byte of it.
    if (ok) {
      volatile uint8_t sum = 0;
      for (size_t i = 0; i < size_t(picture.width) * size_t(picture.height) * 4; ++i)
        sum = static_cast<uint8_t>(sum + picture.pixels[i]);
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
