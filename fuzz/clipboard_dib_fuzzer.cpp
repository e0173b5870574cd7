// Clipboard bitmaps (device-independent bitmaps: a header, a palette or
// masks, the rows) as another program may put them on the clipboard: every
// claim of the header against the bytes there are.
#include <cstddef>
#include <cstdint>

#include "platform/desktop.h"

namespace desk = dro::platform::desktop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dro::platform::image::Picture picture;
  if (desk::DibToRgba(data, size, 255, picture)) {
    // A picture that was read is whole and opaque: touch every byte.
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < size_t(picture.width) * size_t(picture.height) * 4; ++i)
      sum = static_cast<uint8_t>(sum + picture.pixels[i]);
    if (picture.pixels[3] != 255) __builtin_trap();
  }
  return 0;
}
