// Image files: reading into the staging image or a host buffer, writing host
// buffers and the flattened page, resolution queries, thumbnails and web
// pictures.
//
// Reading goes through the image seam, which tells a file's type from its
// first bytes: PNG, JPEG, TIFF, GIF, BMP, flattened PSD, PCX and TGA are read.
// Metafiles (EMF, WMF) are recognised but never read: the engine has no
// metafile renderer, so reading one fails like any unreadable file.
//
// Every reader refuses a picture beyond the decode limits
// (DRO_XSetDecodeLimits) before it allocates for it. A file that cannot be
// opened or read leaves the staging image as it was.
#pragma once

#include <cstdint>

namespace dro::io {

// The file's picture into the staging image; 1 when it was read, else 0.
// Guarded ("ReadFromFile"): memory running out while reading records it.
int32_t ReadFileIntoStaging(const char* path) noexcept;
// The file's picture into a tight host buffer of `channels` (3 or 4) bytes
// a pixel; 1 only when the picture is exactly width x height (else dst is
// untouched). Guarded ("ReadFromFile").
int32_t ReadFileIntoBuffer(uint8_t* dst, int32_t width, int32_t height, const char* path,
                           int32_t channels) noexcept;

}  // namespace dro::io

namespace dro::io {

// --- writing -----------------------------------------------------------------
//
// The writer is chosen from the extension (compared without regard to case)
// before anything is opened: an extension outside the table, or one the
// table does not write for that form, leaves any existing file untouched and
// gives 0. A writer that fails removes its partial file. Resolutions: a dpi
// of 0 or less is taken as 72; BMP and PNG store whole dots per metre (dpi x
// 39.3700787, truncated), JPEG and TIFF whole dots per inch.
//
//   extension      RGB24 buffer                 RGBA32 buffer / page RGB32
//   .bmp           BMP 24 bits                  -
//   .png           PNG colour type 2            PNG colour type 6
//   .jpg           JPEG quality 97              -
//   .gif           GIF, median cut to 256       -          (buffers only)
//   .pcx           PCX 24 bits                  -          (buffers only)
//   .psd           PSD 24 bits                  -          (buffers only)
//   .emf, .wmf     enhanced metafile            -          (buffers only)
//   .tga           -                            TGA 32 bits
//   .tif           -                            TIFF 32 bits
//
// Page writers take the RGB24 column for .bmp, .png and .jpg and the RGBA32
// column for .png, .tga and .tif. JPEGs keep full-size chroma and use the
// accurate DCT.

// A tight w x h host buffer of 3 or 4 bytes a pixel into a file: 1 on
// success, 0 otherwise. Guarded ("WriteToFileRGB24", "WriteToFileRGBA32").
int32_t WriteBufferToFile(const uint8_t* pixels, int32_t width, int32_t height, const char* path,
                          const char* extension, int32_t dpi, int32_t channels) noexcept;
// The visible layers flattened one row at a time straight into a file (the
// page is never held whole). Returns 0. Guarded ("DRO_SavePageToFileRGB24",
// "DRO_SavePageToFileRGB32"); returns true when the file was written, for
// callers that care.
bool SavePageToFile(const char* path, const char* extension, int32_t dpi,
                    int32_t channels) noexcept;

// --- resolution, thumbnails, web pictures --------------------------------------

// The dots per inch a file stores, from its header's value and unit:
//   BMP   unit 1: r x 2.5400000025908, unit 2: r x 0.025400000025908
//   JPEG  unit 1: r, unit 2: r x 2.5400000025908
//   PNG   unit 1: r x 0.025400000025908
//   TIFF, PSD  unit 2: r, unit 3: r x 2.5400000025908
// anything else 72; the product truncated (saturating; not finite gives 0).
int32_t DpiFromHeader(int32_t type, double value, int32_t unit) noexcept;
// Snaps to a standard value: 95..97 96, 149..151 150, 199..201 200,
// 299..301 300, 449..451 450, 599..601 600, anything else 72.
int32_t SnapDpi(int32_t dpi) noexcept;
// Both for a file; 72 when it does not open.
int32_t DpiOfFile(const char* path) noexcept;

// A BMP of at most 100 x 100 (the longer side 100, the other in proportion,
// at least 1), 24 bits, no resolution. Guarded ("MakeThumbnails").
bool MakeThumbnail(const char* path, const char* thumbnailPath) noexcept;
// A JPEG (quality 75) scaled down to fit maxWidth x maxHeight, never up.
// Maxima below 1 are refused. Guarded ("MakeWebPic").
bool MakeWebPicture(const char* path, const char* webPath, int32_t maxWidth,
                    int32_t maxHeight) noexcept;

// The sizes both use (exposed for their tests).
void ThumbnailSize(int32_t width, int32_t height, int32_t& outWidth, int32_t& outHeight) noexcept;
void WebPictureSize(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight,
                    int32_t& outWidth, int32_t& outHeight) noexcept;

}  // namespace dro::io
