// drovine: a command-line host that drives the engine the way a painting
// application does, through the public header only.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drovine.h"

namespace {

void PrintHelp() {
  std::puts(
      "usage: drovine [--help] [--width W] [--height H] [--brush L]\n"
      "\n"
      "With no arguments, runs the demonstration: makes a canvas, reports its\n"
      "geometry and the machine's memory figures as the engine sees them.\n"
      "\n"
      "  --width W, --height H  canvas size (0..10000, default 1024 x 768)\n"
      "  --brush L              brush size limit (default 256)\n"
      "  --help                 this text");
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!text[0] || *end) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1024, height = 768, brush = 256;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    int* target = arg == "--width"    ? &width
                  : arg == "--height" ? &height
                  : arg == "--brush"  ? &brush
                                      : nullptr;
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    }
    if (!target || i + 1 >= argc || !ParseInt(argv[++i], *target)) {
      std::fprintf(stderr, "drovine: bad argument '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }

  DRO_SetLastError("");
  DRO_CreateImage(nullptr, width, height, brush, 5);
  if (DRO_GetLastError()[0]) {
    std::fprintf(stderr, "drovine: %s\n", DRO_GetLastError());
    return 1;
  }
  DRO_SetUndoLevels(50);
  std::printf("canvas       %d x %d requested, brush size limit %d\n", width, height, brush);
  std::printf("layers       %d in use, current layer %d\n", DRO_GetLayerCount(), DRO_GetLayerNum());
  std::printf("memory (MiB) physical %d of %d available\n", DRO_GetAvailPhyMemory(),
              DRO_GetTotalPhyMemory());
  std::printf("             commit   %d of %d available\n", DRO_GetAvailPgMemory(),
              DRO_GetTotalPgMemory());
  std::printf("             address  %d of %d available\n", DRO_GetAvailVirMemory(),
              DRO_GetTotalVirMemory());
  std::printf("system dir   %s\n", DRO_GetDirInfo());
  DRO_DeleteImage();
  return DRO_GetLastError()[0] ? 1 : 0;
}
