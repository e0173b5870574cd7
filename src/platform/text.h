// The text seam: finds a face for a font request, renders glyphs and lays
// lines of text into an RGBA picture.
//
// Conventions:
// - A request names a family (empty: the system's sans-serif), a pixel
//   height (the em size in pixels, 1..1000), a weight (100..900, 400
//   regular, 700 bold; 0 regular) and italic. fontconfig chooses the face
//   file; a family it does not know falls back to its sans-serif.
// - Text is UTF-8; a string that is not valid UTF-8 is read as Windows-1252
//   bytes. '\n' starts a new line ('\r' is ignored). Each line starts at the
//   box's left side; the first baseline lies the face's ascender below the
//   box's top, and lines follow at the face's line height. Glyphs advance by
//   FreeType's hinted advances, with no kerning.
// - Glyphs are rendered anti-aliased (8-bit coverage) by FreeType and kept
//   in a cache (face, size, glyph) of at most kGlyphCacheLimit bitmaps;
//   faces stay open between calls.
// - A glyph's coverage c (0..255, read as c / 255) moves each byte of a
//   pixel toward (R, G, B, 255) by c, rounded half away from zero. On a
//   picture of premultiplied colour that is exactly "over"; on straight
//   colour it is the same for opaque pixels and darkens the colour of
//   edge pixels over transparent ones (callers premultiply to avoid that).
// - Pixels are clipped to the box (left, top inclusive; right, bottom
//   exclusive) and to the picture.
// - Nothing throws; false when no face can be had, or on a bad picture.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dro::platform::text {

inline constexpr size_t kGlyphCacheLimit = 8192;

struct FontRequest {
  const char* family = "";  // null or empty: sans-serif
  int32_t pixelHeight = 16;
  int32_t weight = 400;
  bool italic = false;
  // pixelHeight is the cell height (the face's ascender plus descender)
  // rather than the em size: the em becomes round(pixelHeight x units per
  // em / (ascender - descender)), at least 1.
  bool cellHeight = false;
};

struct Box {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// What a call drew: the glyphs laid out (spaces included) and the bounding
// box of the pixels it touched (empty: right <= left).
struct TextResult {
  int32_t glyphs = 0;
  Box ink;
};

bool DrawText(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, const char* text,
              const FontRequest& font, Box box, uint8_t red, uint8_t green, uint8_t blue,
              TextResult* result = nullptr) noexcept;

// The family name and file of the face a request resolves to (for the
// host's record and for tests); false when none is found.
bool ResolveFace(const FontRequest& font, char* family, size_t familySize, char* file,
                 size_t fileSize) noexcept;

// Drops every cached glyph, closes the faces and lets fontconfig release
// its configuration (it is loaded again on the next use).
void ClearGlyphCache() noexcept;
// Glyphs currently in the cache.
size_t CachedGlyphs() noexcept;

}  // namespace dro::platform::text
