// PNG through libpng. libpng reports errors by longjmp; every libpng call
// runs inside Protected(), whose frame holds the setjmp and nothing with a
// destructor, so a jump never skips C++ clean-up.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

void PngError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

constexpr png_alloc_size_t kLargestChunk = png_alloc_size_t{16} << 20;

// A chunk's length is only a claim, and libpng allocates for some chunks
// (texts, profiles) before it reads them: every chunk must lie within the
// file before libpng sees it, so a 65-byte file cannot ask for a gigabyte.
bool ChunksFit(const uint8_t* data, size_t size) {
  detail::ByteReader r(data, size);
  if (!r.Skip(8)) return false;
  while (r.Has(8)) {
    uint32_t length, type;
    if (!r.U32be(length) || !r.U32be(type) || !r.Skip(size_t{length} + 4)) return false;
    if (type == 0x49454e44u) return true;  // IEND
  }
  return true;  // a file cut short is libpng's to judge
}

// libpng's reader callback over the file's bytes; running out of them is a
// damaged file.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<detail::ByteReader*>(png_get_io_ptr(png));
  if (!source->Has(length)) png_error(png, "truncated");
  std::memcpy(out, source->here(), length);
  source->Skip(length);
}

template <class Body>
bool Protected(png_structp png, Body&& body) {
  if (setjmp(png_jmpbuf(png))) return false;
  body();
  return true;
}

// Owns the read or write structures of one file.
struct PngHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool writing = false;
  ~PngHandles() {
    if (writing)
      png_destroy_write_struct(&png, info ? &info : nullptr);
    else
      png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

}  // namespace

namespace detail {

bool ReadPngRgba(const uint8_t* data, size_t size, Picture& out) {
  if (!ChunksFit(data, size)) return false;
  ByteReader source(data, size);
  PngHandles h;
  // Making the structures fails only for want of memory.
  h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!h.png) throw std::bad_alloc();
  h.info = png_create_info_struct(h.png);
  if (!h.info) throw std::bad_alloc();

  png_uint_32 width = 0, height = 0;
  if (!Protected(h.png, [&] {
        const DecodeLimits limits = CurrentDecodeLimits();
        png_set_user_limits(h.png, static_cast<png_uint_32>(limits.maxSide),
                            static_cast<png_uint_32>(limits.maxSide));
        png_set_read_fn(h.png, &source, ReadFromMemory);
        png_set_chunk_malloc_max(h.png, kLargestChunk);
        png_read_info(h.png, h.info);
        // Everything becomes 8-bit RGBA: palettes and low bit depths
        // expanded, tRNS turned into alpha, 16 bits cut to the high byte,
        // grey spread to three channels, a missing alpha filled opaque.
        png_set_expand(h.png);
        png_set_strip_16(h.png);
        png_set_gray_to_rgb(h.png);
        png_set_add_alpha(h.png, 0xff, PNG_FILLER_AFTER);
        png_set_interlace_handling(h.png);
        png_read_update_info(h.png, h.info);
        width = png_get_image_width(h.png, h.info);
        height = png_get_image_height(h.png, h.info);
      }))
    return false;
  if (!AcceptableSize(width, height)) return false;
  if (png_get_rowbytes(h.png, h.info) != size_t{width} * 4) return false;

  Picture picture = MakeRgba(static_cast<int32_t>(width), static_cast<int32_t>(height), false);
  Buffer<png_bytep> rows = Buffer<png_bytep>::Make(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = picture.pixels.data() + size_t{y} * width * 4;
  png_bytepp rowPointers = rows.data();
  if (!Protected(h.png, [&] { png_read_image(h.png, rowPointers); })) return false;
  out = std::move(picture);
  return true;
}

}  // namespace detail

bool WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY,
              WriteStatus* status) noexcept {
  if (status) *status = WriteStatus::kFailed;
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  if (dpiX < 0 || dpiY < 0) return false;
  std::FILE* file = nullptr;
  bool ok = false;
  try {
    Buffer<png_bytep> rows = Buffer<png_bytep>::Make(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
      rows[static_cast<size_t>(y)] = const_cast<png_bytep>(pixels + int64_t{y} * stride);
    png_bytepp rowPointers = rows.data();

    file = std::fopen(path, "wb");
    if (!file) return false;
    {
      PngHandles h;
      h.writing = true;
      h.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
      if (h.png) h.info = png_create_info_struct(h.png);
      // Making the structures fails only for want of memory.
      if (!h.png || !h.info) throw std::bad_alloc();
      // Dots per inch become whole pixels per metre, truncated (72 dpi is
      // stored as 2834).
      const auto perMetre = [](int32_t dpi) {
        return static_cast<png_uint_32>(static_cast<double>(dpi) / 0.0254);
      };
      ok = Protected(h.png, [&] {
        png_init_io(h.png, file);
        png_set_IHDR(h.png, h.info, static_cast<png_uint_32>(width),
                     static_cast<png_uint_32>(height), 8,
                     channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (dpiX > 0 && dpiY > 0)
          png_set_pHYs(h.png, h.info, perMetre(dpiX), perMetre(dpiY), PNG_RESOLUTION_METER);
        png_write_info(h.png, h.info);
        png_write_image(h.png, rowPointers);
        png_write_end(h.png, nullptr);
      });
    }
  } catch (const std::bad_alloc&) {
    ok = false;
    if (status) *status = WriteStatus::kNoMemory;
  } catch (...) {
    ok = false;
  }
  if (file && std::fclose(file) != 0) ok = false;
  if (file && !ok) std::remove(path);
  if (ok && status) *status = WriteStatus::kWritten;
  return ok;
}

}  // namespace dro::platform::image
