// The list of pictures and the conversion (model in pdf_pages.h).
#include "io/pdf_pages.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "io/device_file.h"
#include "platform/image_library.h"
#include "platform/pdf_document.h"

namespace dro::io {
namespace {

std::vector<std::string>& Images() {
  static std::vector<std::string> images;
  return images;
}

bool AddPage(platform::pdf::Document& document, const std::string& path) {
  Buffer<uint8_t> bytes;
  if (!ReadFileBytes(path.c_str(), bytes)) return false;
  if (bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF &&
      document.AddJpegPage(bytes.data(), bytes.size()))
    return true;
  platform::image::Picture picture;
  if (!platform::image::ReadPictureRgba(bytes.data(), bytes.size(), picture)) return false;
  bytes.Reset();
  return document.AddRgbaPage(picture.pixels.data(), picture.width, picture.height);
}

bool Convert(const char* path, bool slideShow) {
  const std::vector<std::string>& images = Images();
  if (!path || !path[0] || images.empty()) return false;
  platform::pdf::PageStyle style;
  style.slideShow = slideShow;
  platform::pdf::Document* document = platform::pdf::Document::Create(style);
  if (!document) return false;
  bool ok = true;
  try {
    for (const std::string& image : images) {
      if (!(ok = AddPage(*document, image))) break;
    }
  } catch (...) {
    ok = false;
  }
  ok = ok && document->Save(path);
  platform::pdf::Document::Destroy(document);
  return ok;
}

}  // namespace

int32_t PdfReset() noexcept {
  Images().clear();
  return 1;
}

int32_t PdfAddImage(const char* path) noexcept {
  if (!path || !path[0]) return 0;
  try {
    Images().emplace_back(path);
  } catch (...) {
    return 0;
  }
  return 1;
}

int32_t PdfMake(const char* path, bool slideShow) noexcept {
  const bool ok = Convert(path, slideShow);
  if (ok) {
    for (const std::string& image : Images()) {
      // A picture added under the document's own name is the document now.
      std::error_code error;
      if (!std::filesystem::equivalent(image, path, error)) std::remove(image.c_str());
    }
  }
  Images().clear();
  return ok ? 1 : 0;
}

int32_t PdfImageCount() noexcept {
  return static_cast<int32_t>(Images().size());
}

}  // namespace dro::io
