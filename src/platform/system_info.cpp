#include "platform/system_info.h"

namespace dro::platform {

const char* SystemDirectory() noexcept {
  return "/usr/share";
}

int32_t ButtonFaceColor() noexcept {
  return 0x00F0F0F0;
}

int32_t ButtonTextColor() noexcept {
  return 0x00000000;
}

}  // namespace dro::platform
