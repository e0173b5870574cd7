#include "io/device_file.h"

#include <cstdio>

namespace dro::io {

bool ReadFileBytes(const char* path, Buffer<uint8_t>& out) {
  if (!path || !path[0]) return false;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size > 0 && std::fseek(f, 0, SEEK_SET) == 0;
  try {
    if (ok) {
      out = Buffer<uint8_t>::Make(CheckedCount(size, 1));
      ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    }
  } catch (...) {
    std::fclose(f);
    throw;
  }
  std::fclose(f);
  return ok;
}

}  // namespace dro::io
