// The memory seam: the kernel's figures become the six host figures.
#include <gtest/gtest.h>

#include "drovine.h"
#include "platform/memory_status.h"

namespace {

using dro::platform::ParseMemInfo;
using dro::platform::ToMebibytes;

constexpr const char* kMachine =
    "MemTotal:        3670016 kB\n"
    "MemFree:          100000 kB\n"
    "MemAvailable:    2097152 kB\n"
    "Buffers:            1000 kB\n"
    "Cached:             2000 kB\n"
    "SwapTotal:             0 kB\n"
    "CommitLimit:     1835008 kB\n"
    "Committed_AS:     786432 kB\n";

TEST(MemoryStatus, ReadsPhysicalAndCommitFigures) {
  const auto m = ParseMemInfo(kMachine);
  EXPECT_EQ(ToMebibytes(m.totalPhysical), 3584);  // a 3.5 GiB machine
  EXPECT_EQ(ToMebibytes(m.availablePhysical), 2048);
  EXPECT_EQ(ToMebibytes(m.totalPageFile), 1792);
  EXPECT_EQ(ToMebibytes(m.availablePageFile), 1024);
}

TEST(MemoryStatus, ToleratesOldAndOvercommittedKernels) {
  // No MemAvailable: free plus buffers plus cache. More committed than the
  // limit (heuristic overcommit): nothing remains, never a negative figure.
  const auto m = ParseMemInfo(
      "MemTotal: 2048 kB\nMemFree: 1024 kB\nBuffers: 512 kB\nCached: 512 kB\n"
      "CommitLimit: 1000 kB\nCommitted_AS: 5000 kB\n");
  EXPECT_EQ(m.availablePhysical, 2048u * 1024);
  EXPECT_EQ(m.availablePageFile, 0u);
  // Keys are matched whole, at line starts only.
  EXPECT_EQ(ParseMemInfo("XMemTotal: 5 kB\n").totalPhysical, 0u);
  EXPECT_EQ(ParseMemInfo("").totalPhysical, 0u);
  EXPECT_EQ(ParseMemInfo("MemTotal: garbage\n").totalPhysical, 0u);
}

TEST(MemoryStatus, MebibytesSaturateAtInt32) {
  EXPECT_EQ(ToMebibytes((uint64_t{1} << 20) - 1), 0);
  EXPECT_EQ(ToMebibytes(uint64_t{1} << 60), INT32_MAX);
}

TEST(MemoryStatus, ExportsReportThisMachine) {
  EXPECT_GT(DRO_GetTotalPhyMemory(), 0);
  EXPECT_GT(DRO_GetAvailPhyMemory(), 0);
  EXPECT_LE(DRO_GetAvailPhyMemory(), DRO_GetTotalPhyMemory());
  EXPECT_LE(DRO_GetAvailPgMemory(), DRO_GetTotalPgMemory());
  EXPECT_GT(DRO_GetTotalVirMemory(), 0);
  EXPECT_LE(DRO_GetAvailVirMemory(), DRO_GetTotalVirMemory());
}

}  // namespace
