// Memory figures of the machine and the process, in bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace dro::platform {

struct MemoryStatus {
  uint64_t totalPhysical = 0;
  uint64_t availablePhysical = 0;
  uint64_t totalPageFile = 0;      // the commit limit
  uint64_t availablePageFile = 0;  // commit limit minus what is committed
  uint64_t totalVirtual = 0;       // the process's address space
  uint64_t availableVirtual = 0;   // what of it is not mapped yet
};

// Reads the kernel's figures (/proc/meminfo, /proc/self/status, the address
// space limit), or the override's when one is set. Figures that cannot be
// read are 0.
MemoryStatus QueryMemoryStatus() noexcept;

// Test hook: every query answers with `query` instead of the kernel's
// figures; null restores them.
using MemoryQuery = MemoryStatus (*)() noexcept;
void SetMemoryStatusOverride(MemoryQuery query) noexcept;

// The machine-wide part, from the text of /proc/meminfo.
MemoryStatus ParseMemInfo(std::string_view meminfo) noexcept;

// Whole mebibytes as the host's 32-bit figure (saturating).
int32_t ToMebibytes(uint64_t bytes) noexcept;

}  // namespace dro::platform
