// What a command prints on its standard output, for the tests that check
// device files with independent tools (ffprobe, pdfinfo, scanimage, ...).
#pragma once

// GCC 12 warns falsely about overlapping copies inside chains of
// std::string additions, which these tests build commands with.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include <cstdio>
#include <string>

namespace drovine_test {

inline std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

}  // namespace drovine_test
