// Last error, the hidden window's procedure and library attach.
#pragma once

#include <cstdint>

namespace dro {

void SetLastError(const char* text) noexcept;

// The hidden window's procedure: display changes and resume notifications
// set the display-changed flag; close destroys the window; destroy posts
// the quit message.
intptr_t EngineWindowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept;

// Registers the window class and creates the hidden window. Runs once when
// the library is loaded; always succeeds.
bool AttachLibrary() noexcept;

// Reads and clears the display-changed flag.
bool TakeDisplayChanged() noexcept;

}  // namespace dro
