// Whole files for the device code (frames, pages): read into an engine
// buffer so that a reader sees exactly the file's bytes and their count.
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro::io {

// False when the file cannot be opened or read, or is empty; throws
// std::bad_alloc when memory runs out (or the file is beyond 2 GiB).
bool ReadFileBytes(const char* path, Buffer<uint8_t>& out);

}  // namespace dro::io
