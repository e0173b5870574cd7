#include "file_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "drovine.h"

namespace {

// Reads a picture into the staging image, or says why not.
bool Read(const char* path) {
  DRO_SetLastError("");
  const cli::EngineReason why;
  if (DRO_ReadFromFile(path) == 1) return true;
  const std::string reason = why.Suffix();
  std::fprintf(stderr, "drovine: cannot read a picture from '%s'%s%s%s\n", path, reason.c_str(),
               DRO_GetLastError()[0] ? ": " : "", DRO_GetLastError());
  return false;
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
  const bool help =
      argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
  if (argc != 3) {
    std::fprintf(help ? stdout : stderr,
                 "usage: drovine convert IN OUT\n"
                 "  OUT's extension picks the format: %s;\n"
                 "  - writes PNG to standard output\n",
                 cli::KnownFormats().c_str());
    return help ? 0 : 2;
  }
  const char* in = argv[1];
  const char* out = argv[2];
  cli::Output output;
  if (!cli::CheckInput("convert", "the picture", in) || !output.Open("convert", out)) return 2;
  if (!Read(in)) return 1;
  const int32_t w = DRO_GetNewRGBAWidth(), h = DRO_GetNewRGBAHeight();
  const int32_t dpi = DRO_GetDPIFromFile(in);
  std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
  DRO_GetNewRGBA32(pixels.data());
  DRO_DeleteNewRGBA();
  if (!output.Write(pixels.data(), w, h, w * 4, cli::Output::Order::kRgba, dpi)) {
    std::fprintf(stderr, "drovine: cannot write '%s'%s%s%s\n", out, output.reason().c_str(),
                 DRO_GetLastError()[0] ? ": " : "", DRO_GetLastError());
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
