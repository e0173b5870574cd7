// PDF documents through libharu. Its errors arrive at our handler, which
// only notes them: every call's own result decides, and a failed JPEG load
// clears the document's error so the caller's fallback can go on.
#include "platform/pdf_document.h"

#include <hpdf.h>

#include <cstdio>
#include <new>

#include "base/allocation.h"

namespace dro::platform::pdf {

struct Document::Impl {
  HPDF_Doc doc = nullptr;
  PageStyle style;
  int32_t pages = 0;
};

namespace {

void NoteError(HPDF_STATUS, HPDF_STATUS, void*) {}

// A page for a picture of w x h pixels, bordered, white beneath the
// picture; gives the picture's place in points.
HPDF_Page AddPage(Document::Impl& d, double w, double h, HPDF_REAL& x, HPDF_REAL& y, HPDF_REAL& pw,
                  HPDF_REAL& ph) {
  const PageStyle& s = d.style;
  const double pt = 72.0 / s.dpi;
  HPDF_Page page = HPDF_AddPage(d.doc);
  if (!page) return nullptr;
  const HPDF_REAL width = HPDF_REAL((w + 2.0 * s.border) * pt);
  const HPDF_REAL height = HPDF_REAL((h + 2.0 * s.border) * pt);
  x = y = HPDF_REAL(s.border * pt);
  pw = HPDF_REAL(w * pt), ph = HPDF_REAL(h * pt);
  if (HPDF_Page_SetWidth(page, width) != HPDF_OK || HPDF_Page_SetHeight(page, height) != HPDF_OK)
    return nullptr;
  HPDF_Page_SetRGBFill(page, s.borderRed / 255.0f, s.borderGreen / 255.0f, s.borderBlue / 255.0f);
  HPDF_Page_Rectangle(page, 0, 0, width, height);
  HPDF_Page_Fill(page);
  HPDF_Page_SetRGBFill(page, 1, 1, 1);
  HPDF_Page_Rectangle(page, x, y, pw, ph);
  HPDF_Page_Fill(page);
  if (s.slideShow && HPDF_Page_SetSlideShow(page, HPDF_TS_BOX_IN, s.displaySeconds,
                                            s.transitionSeconds) != HPDF_OK)
    return nullptr;
  return page;
}

bool Place(Document::Impl& d, HPDF_Image image, double w, double h) {
  HPDF_REAL x, y, pw, ph;
  HPDF_Page page = AddPage(d, w, h, x, y, pw, ph);
  if (!page || HPDF_Page_DrawImage(page, image, x, y, pw, ph) != HPDF_OK) return false;
  ++d.pages;
  return true;
}

}  // namespace

Document* Document::Create(const PageStyle& style) noexcept {
  Document* document = nullptr;
  Impl* impl = nullptr;
  try {
    impl = ::new (AllocateBytes(sizeof(Impl))) Impl();
    document = ::new (AllocateBytes(sizeof(Document))) Document();
  } catch (...) {
    if (impl) {
      impl->~Impl();
      FreeBytes(impl);
    }
    return nullptr;
  }
  document->impl_ = impl;
  impl->style = style;
  impl->doc = HPDF_New(NoteError, nullptr);
  if (!impl->doc || HPDF_SetCompressionMode(impl->doc, HPDF_COMP_ALL) != HPDF_OK ||
      (style.slideShow && HPDF_SetPageMode(impl->doc, HPDF_PAGE_MODE_FULL_SCREEN) != HPDF_OK)) {
    Destroy(document);
    return nullptr;
  }
  return document;
}

void Document::Destroy(Document* document) noexcept {
  if (!document) return;
  if (Impl* impl = document->impl_) {
    if (impl->doc) HPDF_Free(impl->doc);
    impl->~Impl();
    FreeBytes(impl);
  }
  document->~Document();
  FreeBytes(document);
}

int32_t Document::pages() const noexcept {
  return impl_->pages;
}

bool Document::AddJpegPage(const uint8_t* jpeg, size_t size) noexcept {
  Impl& d = *impl_;
  if (!jpeg || size == 0 || size > 0x7FFFFFFF) return false;
  HPDF_Image image = HPDF_LoadJpegImageFromMem(d.doc, jpeg, HPDF_UINT(size));
  if (!image) {
    HPDF_ResetError(d.doc);
    return false;
  }
  return Place(d, image, HPDF_Image_GetWidth(image), HPDF_Image_GetHeight(image));
}

bool Document::AddRgbaPage(const uint8_t* rgba, int32_t width, int32_t height) noexcept {
  Impl& d = *impl_;
  if (!rgba || width <= 0 || height <= 0) return false;
  try {
    const size_t pixels = CheckedCount(width, height, int64_t{0x7FFFFFFF} / 4);
    Buffer<uint8_t> rgb = Buffer<uint8_t>::Make(pixels * 3);
    Buffer<uint8_t> alpha = Buffer<uint8_t>::Make(pixels);
    bool opaque = true;
    for (size_t i = 0; i < pixels; ++i) {
      rgb[3 * i] = rgba[4 * i];
      rgb[3 * i + 1] = rgba[4 * i + 1];
      rgb[3 * i + 2] = rgba[4 * i + 2];
      alpha[i] = rgba[4 * i + 3];
      opaque = opaque && alpha[i] == 255;
    }
    HPDF_Image image = HPDF_LoadRawImageFromMem(d.doc, rgb.data(), HPDF_UINT(width),
                                                HPDF_UINT(height), HPDF_CS_DEVICE_RGB, 8);
    if (!image) return false;
    if (!opaque) {
      HPDF_Image mask = HPDF_LoadRawImageFromMem(d.doc, alpha.data(), HPDF_UINT(width),
                                                 HPDF_UINT(height), HPDF_CS_DEVICE_GRAY, 8);
      if (!mask || HPDF_Image_AddSMask(image, mask) != HPDF_OK) return false;
    }
    return Place(d, image, width, height);
  } catch (...) {
    return false;
  }
}

bool Document::Save(const char* path) noexcept {
  Impl& d = *impl_;
  if (!path || !path[0] || d.pages == 0) return false;
  // The document is made in memory and written by us, so that a short
  // write or a failed close is seen and no partial file is left.
  if (HPDF_SaveToStream(d.doc) != HPDF_OK) return false;
  const HPDF_UINT32 size = HPDF_GetStreamSize(d.doc);
  if (size == 0) return false;
  Buffer<uint8_t> bytes;
  try {
    bytes = Buffer<uint8_t>::Make(size);
  } catch (...) {
    return false;
  }
  HPDF_UINT32 got = size;
  if (HPDF_ResetStream(d.doc) != HPDF_OK) return false;
  const HPDF_STATUS read = HPDF_ReadFromStream(d.doc, bytes.data(), &got);
  if ((read != HPDF_OK && read != HPDF_STREAM_EOF) || got != size) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, size, file) == size;
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace dro::platform::pdf
