// Private helpers shared by the image library's codec files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <new>

#include "base/allocation.h"
#include "platform/image_library.h"

namespace dro::platform::image::detail {

// Largest side the writers take.
constexpr int32_t kMaxWriteSide = 30000;

// Every reader checks a size against the decode limits before it allocates
// anything that grows with it.
inline bool AcceptableSize(int64_t width, int64_t height) noexcept {
  return WithinDecodeLimits(width, height);
}

// A tight RGBA picture of the given size (throws on allocation failure;
// readers run inside a try block). Readers that write every pixel skip the
// zero fill, so a damaged header that promises a huge picture costs address
// space only, not a pass over gigabytes, before the data runs out.
inline Picture MakeRgba(int32_t width, int32_t height, bool zeroed) {
  Picture p;
  const size_t bytes = CheckedCount(int64_t{width} * height, 4);
  p.pixels = zeroed ? Buffer<uint8_t>::MakeBytes(bytes, 0) : Buffer<uint8_t>::Make(bytes);
  p.width = width;
  p.height = height;
  p.channels = 4;
  return p;
}

// Objects of the seams live in engine memory, like every buffer.
template <class T, class... Args>
T* NewObject(Args&&... args) {
  void* block = AllocateBytes(sizeof(T));
  return ::new (block) T(static_cast<Args&&>(args)...);
}
template <class T>
void DeleteObject(T* object) noexcept {
  if (!object) return;
  object->~T();
  FreeBytes(object);
}

// The file type code (image_library.h) told by a file's first bytes.
int32_t GuessTypeOfBytes(const uint8_t* data, size_t size) noexcept;

// A whole file in memory (at most 1 GiB).
bool ReadWholeFile(std::FILE* file, Buffer<uint8_t>& out);

// Little- and big-endian readers over a byte block with a bounds check.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Has(size_t n) const noexcept { return n <= size_ - pos_; }
  bool Seek(size_t pos) noexcept {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  bool Skip(size_t n) noexcept { return Has(n) ? (pos_ += n, true) : false; }
  size_t pos() const noexcept { return pos_; }
  size_t size() const noexcept { return size_; }
  const uint8_t* here() const noexcept { return data_ + pos_; }
  const uint8_t* data() const noexcept { return data_; }
  bool U8(uint32_t& v) noexcept { return Read(1, false, v); }
  bool U16le(uint32_t& v) noexcept { return Read(2, false, v); }
  bool U32le(uint32_t& v) noexcept { return Read(4, false, v); }
  bool U16be(uint32_t& v) noexcept { return Read(2, true, v); }
  bool U32be(uint32_t& v) noexcept { return Read(4, true, v); }

 private:
  bool Read(size_t n, bool bigEndian, uint32_t& v) noexcept {
    if (!Has(n)) return false;
    v = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t b = data_[pos_ + i];
      v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
    }
    pos_ += n;
    return true;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Readers: each decodes a whole file held in memory into a tight RGBA
// picture and gives false for anything it cannot read completely. They may
// throw std::bad_alloc; the caller catches it.
bool ReadPngRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadJpegRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadTiffRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadGifRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadBmpRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadPsdRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadPcxRgba(const uint8_t* data, size_t size, Picture& out);
bool ReadTgaRgba(const uint8_t* data, size_t size, Picture& out);
// The header checks of the two formats without a signature.
bool LooksLikePcx(const uint8_t* data, size_t size) noexcept;
bool LooksLikeTga(const uint8_t* data, size_t size) noexcept;

// Checks the arguments every writer shares.
inline bool ValidImage(const uint8_t* pixels, int32_t width, int32_t height, int32_t channels,
                       int32_t stride) noexcept {
  return pixels && width > 0 && height > 0 && width <= kMaxWriteSide && height <= kMaxWriteSide &&
         (channels == 3 || channels == 4) && stride >= int64_t{width} * channels;
}

}  // namespace dro::platform::image::detail
