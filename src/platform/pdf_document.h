// The PDF seam: a document of picture pages, made in memory and saved once.
//
// Conventions:
// - A page holds one picture at a resolution in dots per inch (a pixel is
//   72 / dpi points) inside a border of `border` pixels on each side filled
//   with the border colour; the picture's own area is white beneath it, so
//   its transparency shows white as on paper.
// - JPEG files are embedded as they are (AddJpegPage: false when the
//   library does not take the stream; the caller then decodes it). Other
//   pictures arrive as tight RGBA: colour deflated, alpha (when some pixel
//   is not opaque) as a soft mask.
// - Slide shows: every page gets a box-in transition of `transitionSeconds`
//   and shows for `displaySeconds`; the document opens full screen.
// - Save writes the file completely or removes it again. Nothing here
//   throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dro::platform::pdf {

struct PageStyle {
  float dpi = 96.0f;
  int32_t border = 20;
  uint8_t borderRed = 196, borderGreen = 196, borderBlue = 196;
  bool slideShow = false;
  float transitionSeconds = 1.0f;
  float displaySeconds = 4.0f;
};

class Document {
 public:
  static Document* Create(const PageStyle& style) noexcept;  // null when memory runs out
  static void Destroy(Document* document) noexcept;

  bool AddJpegPage(const uint8_t* jpeg, size_t size) noexcept;
  bool AddRgbaPage(const uint8_t* rgba, int32_t width, int32_t height) noexcept;
  int32_t pages() const noexcept;
  bool Save(const char* path) noexcept;

  struct Impl;

 private:
  Document() = default;
  Impl* impl_ = nullptr;
};

}  // namespace dro::platform::pdf
