// PDF documents from picture files, one page per file.
//
// The host resets the list, adds picture files in page order, then makes
// the document (or a slide show). Pages are 96 dpi with a grey (196, 196,
// 196) border of 20 pixels (platform/pdf_document.h). JPEG files go in as
// they are; any other picture the image seam reads is decoded under its
// decode limits and embedded losslessly with its alpha.
//
// The added files are deleted once the document is on disk, complete, and
// only then: a failed conversion (no page, an unreadable picture, an
// unwritable path, memory) leaves every file where it was and writes no
// document. Every conversion empties the list. Nothing here records a last
// error.
#pragma once

#include <cstdint>

namespace dro::io {

int32_t PdfReset() noexcept;
int32_t PdfAddImage(const char* path) noexcept;
// 1 when the document was written, else 0.
int32_t PdfMake(const char* path, bool slideShow) noexcept;
// Pictures in the list now.
int32_t PdfImageCount() noexcept;

}  // namespace dro::io
