#include "base/cpu.h"

#include <cstdlib>
#include <cstring>

namespace dro::cpu {

bool HasAvx2() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

bool FastPathsAllowed() noexcept {
  static const bool allowed = [] {
    const char* off = std::getenv("DROVINE_NO_FAST_PATHS");
    return !(off && *off && std::strcmp(off, "0") != 0);
  }();
  return allowed;
}

bool UseAvx2() noexcept {
  return FastPathsAllowed() && HasAvx2();
}

}  // namespace dro::cpu
