// The engine's one font record, which the font choice fills and the text
// operation reads, and the host's font chooser.
#pragma once

#include <cstdint>

namespace dro::imaging {

// The 60-byte logical font record, laid out as hosts know it: height
// (int32, negative for the em size in pixels) at 0, width at 4, escapement
// at 8, orientation at 12, weight (int32) at 16, italic, underline,
// strike-out and character set bytes at 20..23, four precision and pitch
// bytes at 24..27, the face name (32 bytes, NUL-terminated) at 28.
inline constexpr int32_t kLogFontSize = 60;
inline constexpr int32_t kLogFontHeight = 0;
inline constexpr int32_t kLogFontWeight = 16;
inline constexpr int32_t kLogFontItalic = 20;
inline constexpr int32_t kLogFontFaceName = 28;
inline constexpr int32_t kLogFontFaceNameSize = 32;

// A host callback that shows a font choice to the user on `window`, filling
// the 60-byte record (which holds the current choice on entry when flags
// has 0x40). Returns a positive value when the user chose, 0 when
// cancelled, and -e for a failure with code e.
using FontChooser = int32_t (*)(uint8_t* logFont, void* window, int32_t flags);

struct FontState {
  uint8_t logFont[kLogFontSize] = {};  // zero at load
  FontChooser chooser = nullptr;
};

// The engine's font state (the engine aggregate owns it).
FontState& Font() noexcept;

}  // namespace dro::imaging
