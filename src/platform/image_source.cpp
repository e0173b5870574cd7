// Opening picture files, telling their type from the first bytes, and
// dispatching to the reader of that type.
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/image_internal.h"
#include "platform/image_library.h"

namespace dro::platform::image {

using detail::DeleteObject;
using detail::NewObject;

struct FileSource::Impl {
  std::FILE* file = nullptr;
  ~Impl() {
    if (file) std::fclose(file);
  }
};

namespace {

int32_t TypeFromSignature(const uint8_t* b, size_t n) noexcept {
  auto starts = [&](const char* sig, size_t len) {
    return n >= len && std::memcmp(b, sig, len) == 0;
  };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return kFilePng;
  if (starts("\xff\xd8\xff", 3)) return kFileJpeg;
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return kFileGif;
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return kFileTiff;
  if (starts("8BPS", 4)) return kFilePsd;
  if (starts("BM", 2) && n >= 18) return kFileBmp;
  // Metafiles: the placeable Windows metafile key, a plain metafile header
  // (type 1 or 2, nine words long), or an enhanced metafile's first record
  // with its " EMF" signature.
  if (starts("\xd7\xcd\xc6\x9a", 4)) return kFileMetafile;
  if (n >= 6 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0 &&
      (b[5] == 1 || b[5] == 3) && b[4] == 0)
    return kFileMetafile;
  if (n >= 44 && b[0] == 1 && b[1] == 0 && b[2] == 0 && b[3] == 0 &&
      std::memcmp(b + 40, " EMF", 4) == 0)
    return kFileEnhancedMetafile;
  // Last, the two formats told by their header's values alone.
  if (detail::LooksLikePcx(b, n)) return kFilePcx;
  if (detail::LooksLikeTga(b, n)) return kFileTga;
  return kFileUnknown;
}

// RGBA to RGB into a new exact-size block.
void DropAlpha(Picture& picture) {
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  Buffer<uint8_t> rgb = Buffer<uint8_t>::Make(count * 3);
  const uint8_t* s = picture.pixels.data();
  uint8_t* d = rgb.data();
  for (size_t i = 0; i < count; ++i, s += 4, d += 3) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  }
  picture.pixels = std::move(rgb);
  picture.channels = 3;
}

}  // namespace

namespace detail {

int32_t GuessTypeOfBytes(const uint8_t* data, size_t size) noexcept {
  return data ? TypeFromSignature(data, size) : kFileUnknown;
}

bool ReadWholeFile(std::FILE* file, Buffer<uint8_t>& out) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file);
  // Our own parsers handle files up to 1 GiB; larger ones are not pictures
  // we could hold anyway.
  if (size <= 0 || size > (1L << 30)) return false;
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  Buffer<uint8_t> data = Buffer<uint8_t>::Make(static_cast<size_t>(size));
  if (std::fread(data.data(), 1, data.size(), file) != data.size()) return false;
  out = std::move(data);
  return true;
}

}  // namespace detail

FileSource* FileSource::Open(const char* path) noexcept {
  if (!path || !path[0]) return nullptr;
  FileSource* source = nullptr;
  try {
    source = ::new (AllocateBytes(sizeof(FileSource))) FileSource();
    source->impl_ = NewObject<Impl>();
    source->impl_->file = std::fopen(path, "rb");
    if (!source->impl_->file) {
      Close(source);
      return nullptr;
    }
    return source;
  } catch (...) {
    Close(source);
    return nullptr;
  }
}

void FileSource::Close(FileSource* source) noexcept {
  if (!source) return;
  DeleteObject(source->impl_);
  DeleteObject(source);
}

int32_t FileSource::GuessType() noexcept {
  if (!impl_ || !impl_->file) return kFileUnknown;
  uint8_t head[64];
  if (std::fseek(impl_->file, 0, SEEK_SET) != 0) return kFileUnknown;
  const size_t n = std::fread(head, 1, sizeof head, impl_->file);
  std::fseek(impl_->file, 0, SEEK_SET);
  return TypeFromSignature(head, n);
}

void FileSource::Rewind() noexcept {
  if (impl_ && impl_->file) std::fseek(impl_->file, 0, SEEK_SET);
}

bool ReadPictureRgba(const uint8_t* data, size_t size, Picture& out, ReadStatus* status) noexcept {
  ReadStatus result = ReadStatus::kUnreadable;
  try {
    Picture picture;
    bool ok = false;
    if (data && size > 0) {
      switch (TypeFromSignature(data, size)) {
        case kFilePng:
          ok = detail::ReadPngRgba(data, size, picture);
          break;
        case kFileJpeg:
          ok = detail::ReadJpegRgba(data, size, picture);
          break;
        case kFileTiff:
          ok = detail::ReadTiffRgba(data, size, picture);
          break;
        case kFileGif:
          ok = detail::ReadGifRgba(data, size, picture);
          break;
        case kFileBmp:
          ok = detail::ReadBmpRgba(data, size, picture);
          break;
        case kFilePsd:
          ok = detail::ReadPsdRgba(data, size, picture);
          break;
        case kFilePcx:
          ok = detail::ReadPcxRgba(data, size, picture);
          break;
        case kFileTga:
          ok = detail::ReadTgaRgba(data, size, picture);
          break;
        default:  // metafiles are rendered, not read; anything else is unknown
          break;
      }
    }
    if (ok && picture.channels == 4 && picture.pixels) {
      out = std::move(picture);
      result = ReadStatus::kRead;
    }
  } catch (const std::bad_alloc&) {
    result = ReadStatus::kNoMemory;
  } catch (...) {
  }
  if (status) *status = result;
  return result == ReadStatus::kRead;
}

bool FileSource::ReadRgba(Picture& out, ReadStatus* status) noexcept {
  if (status) *status = ReadStatus::kUnreadable;
  if (!impl_ || !impl_->file) return false;
  Buffer<uint8_t> data;
  bool whole = false;
  try {
    whole = detail::ReadWholeFile(impl_->file, data);
  } catch (const std::bad_alloc&) {
    if (status) *status = ReadStatus::kNoMemory;
  } catch (...) {
  }
  Rewind();
  return whole && ReadPictureRgba(data.data(), data.size(), out, status);
}

bool FileSource::ReadRGB(Picture& out, ReadStatus* status) noexcept {
  try {
    Picture picture;
    if (!ReadRgba(picture, status)) return false;
    DropAlpha(picture);
    out = std::move(picture);
    return true;
  } catch (const std::bad_alloc&) {
    if (status) *status = ReadStatus::kNoMemory;
    return false;
  } catch (...) {
    if (status) *status = ReadStatus::kUnreadable;
    return false;
  }
}

bool ReadImageRgba(const char* path, Picture& out, ReadStatus* status) noexcept {
  if (status) *status = ReadStatus::kUnreadable;
  if (!path || !path[0]) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  Buffer<uint8_t> data;
  bool whole = false;
  try {
    whole = detail::ReadWholeFile(file, data);
  } catch (const std::bad_alloc&) {
    if (status) *status = ReadStatus::kNoMemory;
  } catch (...) {
  }
  std::fclose(file);
  return whole && ReadPictureRgba(data.data(), data.size(), out, status);
}

}  // namespace dro::platform::image
