// The list of pictures and the conversion (model in pdf_pages.h).
#include "io/pdf_pages.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/diagnostics.h"
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

bool Convert(const char* path, bool slideShow, const char* where) {
  const std::vector<std::string>& images = Images();
  if (!path || !path[0] || images.empty()) {
    if (DiagnosticsOn())
      Diagnose(where, "%s; nothing written",
               images.empty() ? "no pictures (DRO_I2PDF_AddImage)" : "no file path given");
    return false;
  }
  platform::pdf::PageStyle style;
  style.slideShow = slideShow;
  platform::pdf::Document* document = platform::pdf::Document::Create(style);
  if (!document) {
    if (DiagnosticsOn()) Diagnose(where, "out of memory; nothing written");
    return false;
  }
  bool ok = true;
  try {
    for (const std::string& image : images) {
      if (!(ok = AddPage(*document, image))) {
        if (DiagnosticsOn())
          Diagnose(where, "\"%s\" is no picture this engine reads; nothing written", image.c_str());
        break;
      }
    }
  } catch (...) {
    ok = false;
    if (DiagnosticsOn()) Diagnose(where, "%s; nothing written", CurrentFailureCause());
  }
  if (ok && !document->Save(path)) {
    ok = false;
    if (DiagnosticsOn()) Diagnose(where, "\"%s\" could not be written", path);
  }
  platform::pdf::Document::Destroy(document);
  return ok;
}

}  // namespace

int32_t PdfReset() noexcept {
  Images().clear();
  return 1;
}

int32_t PdfAddImage(const char* path) noexcept {
  if (!path || !path[0]) {
    if (DiagnosticsOn()) Diagnose("DRO_I2PDF_AddImage", "no file path given; not added");
    return 0;
  }
  try {
    Images().emplace_back(path);
  } catch (...) {
    return 0;
  }
  return 1;
}

int32_t PdfMake(const char* path, bool slideShow) noexcept {
  const bool ok =
      Convert(path, slideShow, slideShow ? "DRO_I2PDF_MakePDFSlideshow" : "DRO_I2PDF_MakePDF");
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
