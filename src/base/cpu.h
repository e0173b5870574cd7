// What the processor offers and whether the fast paths may use it.
//
// Both are read once, the first time they are asked, and never change for
// the life of the process: a kernel table chosen at load stays valid.
// DROVINE_NO_FAST_PATHS set to anything but "" or "0" turns every fast path
// off (the blend kernels and the dab kernel alike); results are identical,
// only slower.
#pragma once

namespace dro::cpu {

bool HasAvx2() noexcept;
bool FastPathsAllowed() noexcept;
// Both of the above: the AVX2 kernels may run.
bool UseAvx2() noexcept;

}  // namespace dro::cpu
