// Text on the current layer and the engine's font record.
//
// The font record (font_state.h) holds the face name, the height (negative:
// the em size in pixels; positive: the cell height, ascender plus
// descender; 0: 16 pixels), the weight (0 regular, 400 regular, 700 bold)
// and the italic byte. It starts zero, so text uses the system's sans-serif
// at 16 pixels until a font is chosen.
#pragma once

#include <cstdint>

#include "imaging/font_state.h"
#include "platform/text.h"

namespace dro::imaging {

// The text request the record stands for; its family points into `face`,
// which receives the record's face name (at most 31 bytes, terminated).
platform::text::FontRequest RequestFromRecord(const uint8_t* logFont,
                                              char (&face)[kLogFontFaceNameSize]) noexcept;

// Fills the record directly: face name (null: empty; truncated to 31
// bytes), height -pixelHeight (pixelHeight clamped to 1..1000), weight
// (clamped to 0..1000) and italic; every other field zero.
void SetFont(const char* face, int32_t pixelHeight, int32_t weight, uint8_t italic) noexcept;

// The host's font chooser (null removes it).
void SetFontChooser(FontChooser chooser) noexcept;

// Asks the host's chooser with the record and flags 0x41 (screen fonts,
// start from the record). A positive answer is returned; 0 (cancelled) is
// returned with nothing else changed. A negative answer -e reports the
// chooser's failure e: `error` receives its text ("Font Err: ..."), the
// record is cleared and the chooser asked again with flags 1, whose answer
// (0 when not positive) is returned. Without a chooser: 0, as a cancel.
int32_t ChooseFont(const char** error) noexcept;
// The text of a chooser failure code.
const char* FontErrorText(int32_t code) noexcept;

// Draws `text` with the record's font in colour (r, g, b) at (x, y) into
// the RGBA32 source work buffer (refreshed from the current layer first),
// clipped to the box from (x, y) to the canvas's far corner, and loads the
// buffer back. With the low byte of `clear` set, fully transparent pixels
// first become black, the buffer is premultiplied, the glyphs laid over and
// the buffer un-premultiplied (text over transparency keeps its colour);
// otherwise the glyphs are laid straight over the pixels. Nothing without
// the source buffer. Guarded ("IPLText").
void Text(int32_t r, int32_t g, int32_t b, int32_t x, int32_t y, const char* text,
          uint8_t clear) noexcept;

}  // namespace dro::imaging
