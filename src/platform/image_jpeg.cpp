// JPEG through libjpeg-turbo. Its default error handler ends the process, so
// ours jumps back into Protected(), whose frame holds the setjmp and nothing
// with a destructor. Corrupt-data warnings (a truncated file among them)
// count as failures: a picture with a grey lower half is not a picture we
// read.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>

#include "platform/image_internal.h"

namespace dro::platform::image {
namespace {

struct JpegErrors {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  bool damaged = false;
};

void JpegErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void JpegMessage(j_common_ptr cinfo, int level) {
  // level -1: a warning about the data. Stray bytes between markers are
  // harmless and common; every other warning means lost picture data.
  if (level < 0 && cinfo->err->msg_code != JWRN_EXTRANEOUS_DATA)
    reinterpret_cast<JpegErrors*>(cinfo->err)->damaged = true;
}

void Install(JpegErrors& errors) {
  jpeg_std_error(&errors.mgr);
  errors.mgr.error_exit = JpegErrorExit;
  errors.mgr.emit_message = JpegMessage;
}

template <class Body>
bool Protected(JpegErrors& errors, Body&& body) {
  if (setjmp(errors.jump)) return false;
  body();
  return true;
}

struct Decompressor {
  jpeg_decompress_struct cinfo{};
  JpegErrors errors;
  bool created = false;
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

struct Compressor {
  jpeg_compress_struct cinfo{};
  JpegErrors errors;
  bool created = false;
  ~Compressor() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

}  // namespace

namespace detail {

bool ReadJpegRgba(const uint8_t* data, size_t size, Picture& out) {
  Decompressor d;
  Install(d.errors);
  d.cinfo.err = &d.errors.mgr;
  bool cmyk = false;
  bool adobe = false;
  if (!Protected(d.errors, [&] {
        jpeg_create_decompress(&d.cinfo);
        d.created = true;
        // Large progressive files keep every coefficient in memory; past
        // this the library stops with an error instead of taking it all.
        d.cinfo.mem->max_memory_to_use = 1L << 30;
        jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
        jpeg_save_markers(&d.cinfo, JPEG_APP0 + 14, 0xffff);
        jpeg_read_header(&d.cinfo, TRUE);
        cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
        adobe = d.cinfo.saw_Adobe_marker;
        d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
        jpeg_calc_output_dimensions(&d.cinfo);
      }))
    return false;
  const JDIMENSION width = d.cinfo.output_width;
  const JDIMENSION height = d.cinfo.output_height;
  if (!AcceptableSize(width, height) || d.cinfo.output_components != 4) return false;

  Picture picture = MakeRgba(static_cast<int32_t>(width), static_cast<int32_t>(height), false);
  uint8_t* pixels = picture.pixels.data();
  if (!Protected(d.errors, [&] {
        jpeg_start_decompress(&d.cinfo);
        while (d.cinfo.output_scanline < height) {
          JSAMPROW row = pixels + size_t{d.cinfo.output_scanline} * width * 4;
          if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1) break;
        }
        if (d.cinfo.output_scanline == height) jpeg_finish_decompress(&d.cinfo);
      }))
    return false;
  if (d.cinfo.output_scanline != height || d.errors.damaged) return false;

  if (cmyk) {
    // Adobe writers store CMYK inverted (0 = full ink); others do not.
    const size_t count = size_t{width} * height;
    for (size_t i = 0; i < count; ++i) {
      uint8_t* p = pixels + i * 4;
      int c = p[0], m = p[1], y = p[2], k = p[3];
      if (!adobe) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      p[0] = static_cast<uint8_t>(c * k / 255);
      p[1] = static_cast<uint8_t>(m * k / 255);
      p[2] = static_cast<uint8_t>(y * k / 255);
      p[3] = 255;
    }
  }
  out = std::move(picture);
  return true;
}

}  // namespace detail

bool WriteJpeg(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t channels, int32_t stride, int32_t quality, int32_t dpiX,
               int32_t dpiY) noexcept {
  if (!path || !detail::ValidImage(pixels, width, height, channels, stride)) return false;
  if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION || dpiX < 0 || dpiY < 0)
    return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = false;
  {
    Compressor c;
    Install(c.errors);
    c.cinfo.err = &c.errors.mgr;
    ok = Protected(c.errors, [&] {
      jpeg_create_compress(&c.cinfo);
      c.created = true;
      jpeg_stdio_dest(&c.cinfo, file);
      c.cinfo.image_width = static_cast<JDIMENSION>(width);
      c.cinfo.image_height = static_cast<JDIMENSION>(height);
      c.cinfo.input_components = channels;
      c.cinfo.in_color_space = channels == 4 ? JCS_EXT_RGBX : JCS_RGB;
      jpeg_set_defaults(&c.cinfo);
      jpeg_set_quality(&c.cinfo, std::clamp(quality, 1, 100), TRUE);
      if (dpiX > 0 && dpiY > 0) {
        c.cinfo.density_unit = 1;  // dots per inch
        c.cinfo.X_density = static_cast<UINT16>(std::min(dpiX, 65535));
        c.cinfo.Y_density = static_cast<UINT16>(std::min(dpiY, 65535));
      }
      jpeg_start_compress(&c.cinfo, TRUE);
      while (c.cinfo.next_scanline < c.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + int64_t{c.cinfo.next_scanline} * stride);
        jpeg_write_scanlines(&c.cinfo, &row, 1);
      }
      jpeg_finish_compress(&c.cinfo);
    });
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::image
