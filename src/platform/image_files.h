// The image seam's file writers beyond image_library.h: line writers that
// take a picture one row at a time, the whole-picture writers of the older
// formats, the GIF colour quantiser and the resolution stored in a file.
//
// Conventions as in image_library.h: 8-bit rows of 3 (RGB) or 4 (RGBA)
// bytes a pixel; true on success; nothing throws. A writer that fails
// removes the file it was writing, so no half-written picture is left.
//
// Behind them:
//   PNG lines   libpng        JPEG lines   libjpeg-turbo    TIFF lines  libtiff
//   BMP, TGA lines, PCX, EMF, the quantiser, resolution headers: our own code
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/allocation.h"

namespace dro::platform::image {

// --- line writers ---------------------------------------------------------

enum class LineFormat : uint8_t { kBmp, kPng, kJpeg, kTga, kTiff };

struct LineOptions {
  int32_t channels = 3;  // 3 or 4 (BMP and JPEG drop alpha; TGA stores 4 as 32 bits)
  // Resolution in dots per inch; 0 or less (or not finite): none stored.
  // BMP and PNG store whole dots per metre (dpi x 39.3700787, truncated),
  // JPEG and TIFF whole dots per inch.
  double dpi = 0;
  int32_t quality = 97;      // JPEG 1..100
  bool fullChroma = false;   // JPEG: every channel sampled at full size (4:4:4)
  bool accurateDct = false;  // JPEG: the accurate integer DCT
  int32_t pngLevel = -1;     // zlib level 0..9, -1 libpng's default
};

// Writes a picture row by row. Rows are handed over in file order: bottom
// row first for BMP, top row first for the others. Finish() after the last
// row; a writer given fewer rows, or destroyed without Finish(), removes
// its file.
class LineWriter {
 public:
  // Null when the arguments are bad (sides 1..30000, JPEG 65500 at most)
  // or the file cannot be created; `noMemory` (may be null) is set when
  // memory ran out.
  static LineWriter* Open(LineFormat format, const char* path, int32_t width, int32_t height,
                          const LineOptions& options, bool* noMemory = nullptr) noexcept;
  // Closes the file; false (file removed) unless every row was written.
  static bool Finish(LineWriter* writer) noexcept;
  // Abandons a writer: closes and removes the file.
  static void Abandon(LineWriter* writer) noexcept;
  // One row of width x channels bytes. False once anything failed.
  bool Write(const uint8_t* row) noexcept;

  struct Impl;

 private:
  explicit LineWriter(Impl* impl) : impl_(impl) {}
  Impl* impl_;
};

// A whole picture through a line writer (rows in file order, the BMP
// bottom row first, taken care of here). `noMemory` as for Open().
bool WriteLines(LineFormat format, const char* path, const uint8_t* pixels, int32_t width,
                int32_t height, int32_t stride, const LineOptions& options,
                bool* noMemory = nullptr) noexcept;

// PNG into memory (for the clipboard): RGBA rows, zlib `level`.
bool EncodePng(const uint8_t* rgba, int32_t width, int32_t height, int32_t stride, int32_t level,
               Buffer<uint8_t>& out) noexcept;

// --- whole-picture writers -------------------------------------------------

// PCX, 24 bits: three 8-bit planes per row, run-length encoded.
bool WritePcx(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept;
// A minimal enhanced metafile: a header, one record that stretches a 24-bit
// device-independent bitmap over the frame, and the end record.
bool WriteEmf(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept;

// Median-cut quantisation into at most 256 colours. A picture with 256
// colours or fewer keeps them exactly; otherwise colours are grouped on a
// 5-bit-per-channel histogram, boxes split at the median of their longest
// side until there are 256, and each box's colour is the mean of the pixels
// in it. Deterministic: the same picture always gives the same palette and
// indices. `palette` receives 3 x `colorCount` bytes (room for 768).
bool QuantizeMedianCut(const uint8_t* pixels, int32_t width, int32_t height, int32_t channels,
                       int32_t stride, uint8_t* indices, uint8_t* palette,
                       int32_t& colorCount) noexcept;

// --- resolution --------------------------------------------------------------

// The resolution a file stores, as its format states it: the type code of
// image_library.h, the raw horizontal value and the unit code:
//   BMP  pixels per metre, unit 2 (0 when none is stored)
//   JPEG the JFIF density and its unit (0 aspect only, 1 inch, 2 cm)
//   PNG  the pHYs value, unit 1 for metres (0 unknown or none)
//   TIFF the x resolution, unit 2 inch, 3 cm (1 or none: 1)
//   PSD  the resolution resource's horizontal value, unit 2 inch, 3 cm
// False when the file does not open; other types give their type code and
// unit 0.
bool ReadFileResolution(const char* path, int32_t& type, double& value, int32_t& unit) noexcept;

}  // namespace dro::platform::image
