// Device-independent bitmaps: the clipboard's picture format. Reading puts a
// bitmap file header in front and hands the whole to our bitmap reader,
// which checks every claim against the bytes there are.
#include <cstring>
#include <new>

#include "platform/desktop.h"
#include "platform/image_internal.h"

namespace dro::platform::desktop {
namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t Le16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = v >> (8 * i) & 255;
}

// Where the rows start after the header: the palette or the colour masks
// the header calls for. 0 for a header we do not know.
size_t RowsOffset(const uint8_t* dib, size_t size) {
  if (size < 12) return 0;
  const uint32_t header = Le32(dib);
  if (header == 12) {  // core header: 3-byte palette entries
    const uint32_t bits = Le16(dib + 10);
    return 12 + (bits <= 8 ? size_t{3} << bits : 0);
  }
  if (header < 40 || header > size || size < 40) return 0;
  const uint32_t bits = Le16(dib + 14);
  const uint32_t compression = Le32(dib + 16);
  const uint32_t used = Le32(dib + 32);
  size_t offset = header;
  if (header == 40 && compression == 3) offset += 12;  // three masks follow
  if (header == 40 && compression == 6) offset += 16;  // four masks follow
  if (bits <= 8) {
    const size_t entries = used ? used : size_t{1} << bits;
    if (entries > 256) return 0;
    offset += entries * 4;
  } else if (used <= 256) {
    offset += size_t{used} * 4;  // an optional palette for optimising
  }
  return offset;
}

}  // namespace

bool RgbaToDib(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* out,
               size_t capacity) noexcept {
  if (!rgba || !out || width < 1 || height < 1) return false;
  const int64_t bytes = DibBytes(width, height);
  if (bytes > int64_t{0x7fffffff} || uint64_t(bytes) > capacity) return false;
  std::memset(out, 0, 40);
  Put32(out, 40);
  Put32(out + 4, uint32_t(width));
  Put32(out + 8, uint32_t(height));  // bottom row first
  out[12] = 1;
  out[14] = 32;
  Put32(out + 20, uint32_t(bytes - 40));
  uint8_t* d = out + 40;
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint8_t* s = rgba + int64_t{y} * width * 4;
    for (int32_t x = 0; x < width; ++x, s += 4, d += 4)
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
  }
  return true;
}

bool DibToRgba(const uint8_t* dib, size_t size, uint8_t alpha, image::Picture& out,
               image::ReadStatus* status) noexcept {
  if (status) *status = image::ReadStatus::kUnreadable;
  if (!dib || size > (size_t{1} << 30)) return false;
  const size_t rows = RowsOffset(dib, size);
  if (!rows || rows > size) return false;
  try {
    Buffer<uint8_t> file = Buffer<uint8_t>::Make(size + 14);
    std::memset(file.data(), 0, 14);
    file[0] = 'B', file[1] = 'M';
    Put32(file.data() + 2, uint32_t(size + 14));
    Put32(file.data() + 10, uint32_t(rows + 14));
    std::memcpy(file.data() + 14, dib, size);
    image::Picture picture;
    if (!image::ReadPictureRgba(file.data(), file.size(), picture, status)) return false;
    uint8_t* p = picture.pixels.data();
    for (size_t i = 3; i < picture.pixels.size(); i += 4) p[i] = alpha;
    out = std::move(picture);
    return true;
  } catch (const std::bad_alloc&) {
    if (status) *status = image::ReadStatus::kNoMemory;
    return false;
  }
}

}  // namespace dro::platform::desktop
