// JPEG frames through libjpeg-turbo, compressed straight into an engine
// buffer. The destination manager grows the buffer by doubling; libjpeg
// reports a failed growth through its error exit, which jumps back out of
// Protected() (whose frame holds nothing with a destructor).
#include "platform/avi_jpeg.h"

#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>

namespace dro::platform::video {
namespace {

struct Errors {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}
void Quiet(j_common_ptr, int) {}

struct Destination {
  jpeg_destination_mgr mgr;
  Buffer<uint8_t>* out;
};

void InitDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<Destination*>(cinfo->dest);
  d->mgr.next_output_byte = d->out->data();
  d->mgr.free_in_buffer = d->out->size();
}

boolean GrowDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<Destination*>(cinfo->dest);
  const size_t used = d->out->size();
  try {
    Buffer<uint8_t> bigger = Buffer<uint8_t>::Make(used * 2);
    std::copy(d->out->data(), d->out->data() + used, bigger.data());
    *d->out = std::move(bigger);
  } catch (...) {
    ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
  }
  d->mgr.next_output_byte = d->out->data() + used;
  d->mgr.free_in_buffer = d->out->size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr) {}

struct Compressor {
  jpeg_compress_struct cinfo{};
  Errors errors;
  Destination dest{};
  bool created = false;
  ~Compressor() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

template <class Body>
bool Protected(Errors& errors, Body&& body) {
  if (setjmp(errors.jump)) return false;
  body();
  return true;
}

}  // namespace

bool EncodeJpegFrame(const uint8_t* rgba, int32_t width, int32_t height, int64_t stride,
                     int32_t quality, Buffer<uint8_t>& out, size_t& size) noexcept {
  if (!rgba || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION ||
      height > JPEG_MAX_DIMENSION || stride < int64_t{width} * 4)
    return false;
  try {
    // A quarter of the raw size holds most frames at usual qualities.
    const size_t first = std::max<size_t>(size_t(width) * size_t(height), 65536);
    if (out.size() < first) out = Buffer<uint8_t>::Make(first);
  } catch (...) {
    return false;
  }
  Compressor c;
  jpeg_std_error(&c.errors.mgr);
  c.errors.mgr.error_exit = ErrorExit;
  c.errors.mgr.emit_message = Quiet;
  c.cinfo.err = &c.errors.mgr;
  c.dest.out = &out;
  c.dest.mgr.init_destination = InitDestination;
  c.dest.mgr.empty_output_buffer = GrowDestination;
  c.dest.mgr.term_destination = TermDestination;
  const bool ok = Protected(c.errors, [&] {
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    c.cinfo.dest = &c.dest.mgr;
    c.cinfo.image_width = static_cast<JDIMENSION>(width);
    c.cinfo.image_height = static_cast<JDIMENSION>(height);
    c.cinfo.input_components = 4;
    c.cinfo.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, std::clamp(quality, 1, 100), TRUE);
    c.cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c.cinfo, TRUE);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(rgba + int64_t{c.cinfo.next_scanline} * stride);
      jpeg_write_scanlines(&c.cinfo, &row, 1);
    }
    jpeg_finish_compress(&c.cinfo);
  });
  if (!ok) return false;
  size = out.size() - c.dest.mgr.free_in_buffer;
  return true;
}

}  // namespace dro::platform::video
