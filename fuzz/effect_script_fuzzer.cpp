// Effect scripts: parsed from a file (the library reads scripts by path),
// their header record read, and run on a small picture so a run stays fast
// whatever size the script names.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/effect_script.h"

namespace fx = dro::platform::effects;

namespace {

const char* ScriptPath() {
  static char path[] = "/tmp/drovine-fuzz-script-XXXXXX";
  static const bool made = [] {
    const int fd = mkstemp(path);
    if (fd < 0) std::abort();
    close(fd);
    return true;
  }();
  (void)made;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = ScriptPath();
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  fx::Session session;
  fx::ScriptHeader header;
  if (session.LoadScriptFromFile(path) && session.ReadScriptHeaderFromFile(path, header)) {
    std::vector<uint8_t> bgra(24 * 16 * 4, 0x80);
    session.ExecuteScript(bgra.data(), 24, 16);
    session.ExecuteScriptOnImage(bgra.data(), 24, 16);
  }
  return 0;
}
