// Directories and desktop colours the host asks the engine for.
#pragma once

#include <cstdint>

namespace dro::platform {

// The system's shared-data directory: the Linux counterpart of the folder
// whose "fonts" subfolder holds the system fonts.
const char* SystemDirectory() noexcept;

// Desktop colours as 0x00BBGGRR. Without a colour scheme to ask, the
// classic light button face and black button text.
int32_t ButtonFaceColor() noexcept;
int32_t ButtonTextColor() noexcept;

}  // namespace dro::platform
