#include "platform/memory_status.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace dro::platform {
namespace {

// Value of "<key>:   <n> kB" in a /proc text, in bytes; nullopt-like -1 when absent.
int64_t FieldBytes(std::string_view text, std::string_view key) {
  size_t pos = 0;
  while ((pos = text.find(key, pos)) != std::string_view::npos) {
    const bool lineStart = pos == 0 || text[pos - 1] == '\n';
    const size_t after = pos + key.size();
    if (lineStart && after < text.size() && text[after] == ':') {
      const std::string rest(text.substr(after + 1, 32));
      char* end = nullptr;
      const long long kb = std::strtoll(rest.c_str(), &end, 10);
      if (end == rest.c_str() || kb < 0) return -1;
      return static_cast<int64_t>(kb) * 1024;
    }
    pos = after;
  }
  return -1;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

uint64_t NonNegative(int64_t v) {
  return v < 0 ? 0 : static_cast<uint64_t>(v);
}

// The user address space of a 64-bit process on this architecture when no
// limit is set: 128 TiB with four-level page tables on x86-64 and arm64.
constexpr uint64_t kUserAddressSpace = uint64_t{1} << 47;

}  // namespace

MemoryStatus ParseMemInfo(std::string_view meminfo) noexcept {
  MemoryStatus m;
  const int64_t total = FieldBytes(meminfo, "MemTotal");
  int64_t available = FieldBytes(meminfo, "MemAvailable");
  if (available < 0) {
    // Kernels before 3.14 lack MemAvailable: free plus reclaimable caches.
    available = std::max<int64_t>(0, FieldBytes(meminfo, "MemFree")) +
                std::max<int64_t>(0, FieldBytes(meminfo, "Buffers")) +
                std::max<int64_t>(0, FieldBytes(meminfo, "Cached"));
  }
  const int64_t limit = FieldBytes(meminfo, "CommitLimit");
  const int64_t committed = FieldBytes(meminfo, "Committed_AS");
  m.totalPhysical = NonNegative(total);
  m.availablePhysical = NonNegative(available);
  m.totalPageFile = NonNegative(limit);
  m.availablePageFile =
      limit > committed && committed >= 0 ? static_cast<uint64_t>(limit - committed) : 0;
  return m;
}

namespace {
MemoryQuery g_override = nullptr;
}  // namespace

void SetMemoryStatusOverride(MemoryQuery query) noexcept {
  g_override = query;
}

MemoryStatus QueryMemoryStatus() noexcept {
  if (g_override) return g_override();
  try {
    MemoryStatus m = ParseMemInfo(ReadFile("/proc/meminfo"));
    uint64_t space = kUserAddressSpace;
    rlimit rl{};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
      space = std::min<uint64_t>(space, rl.rlim_cur);
    }
    m.totalVirtual = space;
    const int64_t mapped = FieldBytes(ReadFile("/proc/self/status"), "VmSize");
    m.availableVirtual = mapped >= 0 && static_cast<uint64_t>(mapped) < space
                             ? space - static_cast<uint64_t>(mapped)
                             : 0;
    return m;
  } catch (...) {
    return MemoryStatus{};
  }
}

int32_t ToMebibytes(uint64_t bytes) noexcept {
  const uint64_t mib = bytes >> 20;
  return mib > INT32_MAX ? INT32_MAX : static_cast<int32_t>(mib);
}

}  // namespace dro::platform
