// The image library seam: codecs, block operations, resampling and the few
// effects the engine core relies on.
//
// Conventions shared by every operation:
// - An image argument is pixels, width, height, bytes per pixel and a row
//   stride in bytes. Bytes per pixel is 1, 3 or 4 (8-bit channels) or 2 and
//   8, which carry Mask16 and Pixel64 rows as opaque pixels.
// - Operations return true on success; on false the caller's output buffers
//   are unchanged.
// - Decoded pictures are tightly packed 8-bit RGBA or RGB, top row first.
// - Nothing here throws; allocation failures give false like any other.
//
// Behind the operations:
//   PNG read/write      libpng            JPEG read/write    libjpeg-turbo
//   TIFF read/write     libtiff           GIF read/write     giflib
//   BMP, PSD            our own readers and writers (image_bmp, image_psd)
//   PCX, TGA            our own readers (image_pcx_tga) and writers
//   Deflate, Inflate    zlib
//   Resize, Decimate    OpenCV cv::resize (INTER_LINEAR, INTER_AREA)
//   BlurImage           OpenCV cv::GaussianBlur
//   Plane blur          OpenCV cv::GaussianBlur; our own box blurs
//   Overlay, swaps, channel split/combine, grey, spline: our own loops
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "base/allocation.h"

namespace dro::platform::image {

// File type codes of GuessFileType.
enum FileType : int32_t {
  kFileUnknown = 0,
  kFileBmp = 1,
  kFileGif = 2,
  kFileJpeg = 3,
  kFilePng = 4,
  kFileTiff = 6,
  kFileMetafile = 7,
  kFileEnhancedMetafile = 8,
  kFilePsd = 10,
  kFilePcx = 11,
  kFileTga = 12,
};

// A decoded picture: tight rows of `channels` bytes per pixel.
struct Picture {
  Buffer<uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
};

// Decode limits. Picture files are untrusted: a header may promise any size.
// Every reader checks the size it is about to allocate for against these
// limits before it allocates (the picture and any block as large as it), so
// a small hostile file costs little. The defaults are 2^27 pixels and 65535
// per side; the pixel limit may also come from the environment variable
// DROVINE_MAX_IMAGE_PIXELS, read when a limit is first needed. No setting
// may pass kMostDecodePixels, where a picture's RGBA bytes could no longer
// be indexed with 32 bits.
struct DecodeLimits {
  int64_t maxPixels;
  int32_t maxSide;
};
constexpr int64_t kDefaultDecodePixels = int64_t{1} << 27;
constexpr int32_t kDefaultDecodeSide = 65535;
constexpr int64_t kMostDecodePixels = std::numeric_limits<int32_t>::max() / 4;
constexpr int64_t kMostDecodeSide = kMostDecodePixels;
DecodeLimits CurrentDecodeLimits() noexcept;
// 0 restores a default (the pixel limit from the environment when it gives
// one); false, changing nothing, for negative values or values beyond the
// most.
bool SetDecodeLimits(int64_t maxPixels, int64_t maxSide) noexcept;
// A picture of width x height pixels (both at least 1) within the limits.
bool WithinDecodeLimits(int64_t width, int64_t height) noexcept;

// Why a read gave no picture.
enum class ReadStatus : uint8_t {
  kRead,        // it did
  kUnreadable,  // not a picture we read, damaged, or beyond the decode limits
  kNoMemory,    // memory ran out while reading
};

// Decodes a whole picture file held in memory as RGBA (4 channels); the type
// is told by the first bytes. Nothing is kept of `data` afterwards.
bool ReadPictureRgba(const uint8_t* data, size_t size, Picture& out,
                     ReadStatus* status = nullptr) noexcept;

// An open file to read a picture from. Open() gives null when the file
// cannot be opened; reads of a damaged or unsupported file give false.
class FileSource {
 public:
  static FileSource* Open(const char* path) noexcept;  // release with Close()
  static void Close(FileSource* source) noexcept;

  int32_t GuessType() noexcept;
  void Rewind() noexcept;
  bool ReadRgba(Picture& out, ReadStatus* status = nullptr) noexcept;  // 4 channels
  bool ReadRGB(Picture& out, ReadStatus* status = nullptr) noexcept;   // 3 channels

 private:
  FileSource() = default;
  struct Impl;
  Impl* impl_ = nullptr;
};

// Reads a whole file as RGBA (convenience over FileSource).
bool ReadImageRgba(const char* path, Picture& out, ReadStatus* status = nullptr) noexcept;

// Writers. Each takes 8-bit RGB (3 channels) or RGBA (4 channels) rows of
// `stride` bytes and a resolution in dots per inch (0 and 0: none written).
// A file that cannot be written completely is removed again.
//
// PNG: colour type 2 or 6, 8 bits; the resolution as whole pixels per metre
// (truncated: 72 dpi is stored as 2834). `status`, when given, tells a
// failure for want of memory from any other.
enum class WriteStatus : uint8_t { kWritten, kFailed, kNoMemory };
bool WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY,
              WriteStatus* status = nullptr) noexcept;
// JPEG (alpha dropped), quality 1..100, resolution in dots per inch.
bool WriteJpeg(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t channels, int32_t stride, int32_t quality, int32_t dpiX,
               int32_t dpiY) noexcept;
// TIFF, deflate-compressed, RGB or RGBA with straight (unassociated) alpha.
bool WriteTiff(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
               int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY) noexcept;
// BMP, 24 bits (alpha dropped), resolution as pixels per metre.
bool WriteBmp(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride, int32_t dpiX, int32_t dpiY) noexcept;
// Flat layered-document file: RGB, 8 bits, uncompressed (alpha dropped).
bool WritePsd(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
              int32_t channels, int32_t stride) noexcept;
// GIF from one palette index per pixel: `palette` holds `colourCount`
// (1..256) RGB triples; every index must be below colourCount.
// transparentIndex -1: none.
bool WriteGif(const char* path, const uint8_t* indices, int32_t width, int32_t height,
              int32_t stride, const uint8_t* palette, int32_t colorCount,
              int32_t transparentIndex) noexcept;

// zlib deflate of a block into `out` (replaced on success; exactly the
// compressed size).
bool Deflate(const uint8_t* data, size_t size, Buffer<uint8_t>& out) noexcept;
// zlib deflate straight into a caller block of `capacity` bytes at `level`
// (0..9, -1 the default). False when the result does not fit (nothing
// beyond `capacity` is written, but the block may hold part of the stream)
// or the arguments are bad. DeflateBound gives a capacity that is always
// enough.
bool DeflateInto(const uint8_t* data, size_t size, uint8_t* out, size_t capacity, size_t& written,
                 int32_t level) noexcept;
size_t DeflateBound(size_t size) noexcept;
// zlib inflate into a caller buffer of `capacity` bytes; never writes past
// it. `written` receives the inflated size. False for damaged data or data
// that does not fit; then `out` may hold part of it (callers inflate into a
// scratch block) and `written` is unchanged.
bool Inflate(const uint8_t* data, size_t size, uint8_t* out, size_t capacity,
             size_t& written) noexcept;

// Places the source block at (x, y) of the destination, clipped on every
// side (x and y may be negative or beyond the destination: only the overlap
// is touched, and no overlap is a success that changes nothing). Both have
// `bytesPerPixel` (1, 2, 3, 4 or 8) bytes per pixel.
// flag 0: exact copy of the bytes, `opacity` ignored.
// flag 1: for 4 bytes (RGBA) and 8 bytes (Pixel64) per pixel, the source
// laid over with its straight alpha times `opacity` (clamped to 1); for
// pixels without alpha, a mix by `opacity` alone.
// False for bad sizes, strides or flags, a null block or a NaN opacity.
bool OverlayImage(uint8_t* dst, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, const uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                  int32_t srcStride, int32_t x, int32_t y, double opacity, int32_t flag) noexcept;

// Swaps the first and third byte of every 4-byte pixel in place.
void RgbaToBgra(uint8_t* pixels, int32_t width, int32_t height, int32_t stride) noexcept;
// RGB to RGBA with a constant alpha.
bool RgbToRgba(const uint8_t* src, int32_t width, int32_t height, int32_t srcStride, uint8_t* dst,
               int32_t dstStride, uint8_t alpha) noexcept;
// Splits an RGBA image into four one-channel planes (stride = width), or
// combines four planes back. Null planes are skipped.
bool SplitChannels(const uint8_t* rgba, int32_t width, int32_t height, int32_t stride,
                   uint8_t* planes[4]) noexcept;
bool CombineChannels(const uint8_t* const planes[4], int32_t width, int32_t height, uint8_t* rgba,
                     int32_t stride) noexcept;

// 3 or 4 bytes per pixel to one grey byte per pixel (luma weights).
bool ImageToGray8(const uint8_t* src, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t srcStride, uint8_t* gray, int32_t grayStride) noexcept;

// Resampling for 1, 3, 4 and 8 bytes per pixel (8: four 16-bit channels;
// 2: one 16-bit channel works too). ResizeImage is meant for enlarging
// (bilinear, OpenCV INTER_LINEAR), DecimateImage for shrinking (area
// average, INTER_AREA); both work in either direction and copy exactly at
// equal sizes. Colour is resampled as stored (straight alpha): callers that
// care about colour under transparency premultiply first. `mode` is
// accepted for the callers' record.
bool ResizeImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                 uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                 int32_t bytesPerPixel, int32_t mode) noexcept;
bool DecimateImage(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                   int32_t bytesPerPixel, int32_t mode) noexcept;

// Gaussian blur of a one-channel image into `dst` (which may be `src`).
// `strength` 1..100 (clamped) sets the radius: 1 + (strength - 1) / 25
// pixels, so 100 gives a 9 x 9 kernel. Edges repeat the border pixel.
bool BlurImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
               int32_t dstStride, int32_t strength) noexcept;

// Gaussian blur of a plane into `dst` (not `src`) with sigma = radius / 3,
// so the visible spread is about `radius` pixels; edges repeat the border.
// Up to sigma 8 OpenCV's cv::GaussianBlur; above, three box blurs of
// running sums, whose cost does not grow with the radius.
bool GaussianBlurPlane(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst,
                       double radius) noexcept;

// A smooth curve through the control points, sampled at `outCount` (>= 2)
// points evenly spaced in the curve parameter, the first and last on the
// first and last control point.
// The curve is a cardinal spline (cubic Hermite pieces between neighbouring
// control points) whose tangent at point i is s * (P[i+1] - P[i-1]) / 2 with
// s = (100 - tension) / 50 and tension clamped to 0..100: tension 50 is the
// Catmull-Rom spline, 100 joins the points with zero tangents, 0 swings
// wider. The ends use a mirrored neighbour (P[-1] = 2 P[0] - P[1]), so two
// control points give the straight segment. z and outZ may be null (z
// counts as 0). Deterministic: plain double arithmetic.
bool SplinePoints3D(const double* x, const double* y, const double* z, int32_t controlCount,
                    int32_t outCount, int32_t tension, double* outX, double* outY,
                    double* outZ) noexcept;

}  // namespace dro::platform::image
