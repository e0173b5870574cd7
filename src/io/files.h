// Image files: reading into the staging image or a host buffer, writing host
// buffers and the flattened page, resolution queries, thumbnails and web
// pictures.
//
// Reading goes through the image seam, which tells a file's type from its
// first bytes: PNG, JPEG, TIFF, GIF, BMP and flattened PSD are read.
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
