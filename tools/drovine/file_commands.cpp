#include "file_commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drovine.h"

namespace {

// ".png" from "dir.v2/out.PNG" (the case is the engine's to ignore); "" when
// the name has no extension.
std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot);
}

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

// Reads a picture into the staging image, or says why not.
bool Read(const char* path) {
  DRO_SetLastError("");
  if (DRO_ReadFromFile(path) == 1) return true;
  std::fprintf(stderr, "drovine: cannot read a picture from '%s'%s%s\n", path,
               DRO_GetLastError()[0] ? ": " : "", DRO_GetLastError());
  return false;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: drovine convert IN OUT\n"
                 "  OUT's extension picks the format: .png .tga .tif keep alpha;\n"
                 "  .bmp .jpg .gif .pcx .psd .emf .wmf are written without it\n");
    return 2;
  }
  const char* in = argv[1];
  const char* out = argv[2];
  const std::string extension = Extension(out);
  const bool alpha =
      SameText(extension, ".png") || SameText(extension, ".tga") || SameText(extension, ".tif");
  const char* const rgbOnly[] = {".bmp", ".jpg", ".gif", ".pcx", ".psd", ".emf", ".wmf"};
  bool known = alpha;
  for (const char* e : rgbOnly) known = known || SameText(extension, e);
  if (!known) {
    std::fprintf(stderr, "drovine: cannot write '%s': unknown extension '%s'\n", out,
                 extension.c_str());
    return 2;
  }
  if (!Read(in)) return 1;
  const int32_t w = DRO_GetNewRGBAWidth(), h = DRO_GetNewRGBAHeight();
  const int32_t dpi = DRO_GetDPIFromFile(in);
  std::vector<uint8_t> pixels(size_t(w) * size_t(h) * (alpha ? 4 : 3));
  int32_t written;
  if (alpha) {
    DRO_GetNewRGBA32(pixels.data());
    written = DRO_WriteToFileRGBA32(pixels.data(), w, h, out, extension.c_str(), dpi);
  } else {
    DRO_GetNewRGBA24(pixels.data());
    written = DRO_WriteToFileRGB24(pixels.data(), w, h, out, extension.c_str(), dpi);
  }
  DRO_DeleteNewRGBA();
  if (written != 1) {
    std::fprintf(stderr, "drovine: cannot write '%s'%s%s\n", out, DRO_GetLastError()[0] ? ": " : "",
                 DRO_GetLastError());
    return 1;
  }
  return 0;
}

int RunInfoCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: drovine info FILE\n");
    return 2;
  }
  if (!Read(argv[1])) return 1;
  std::printf("%s: %d x %d pixels, %d dpi%s\n", argv[1], DRO_GetNewRGBAWidth(),
              DRO_GetNewRGBAHeight(), DRO_GetDPIFromFile(argv[1]),
              DRO_IsNewRGBA32Transparent() ? ", transparent" : "");
  DRO_DeleteNewRGBA();
  return 0;
}
