// Text through fontconfig (face choice) and FreeType (glyphs), with a glyph
// cache (conventions in text.h).
#include "platform/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace dro::platform::text {
namespace {

struct Face {
  FT_Face face = nullptr;
  int32_t pixelHeight = 0;  // the size last set on it
};

struct Resolved {
  size_t face = 0;
  bool embolden = false;
};

// A face's place in TextState::faces. A type of this file as the map's
// value keeps the map's code out of the library's exported symbols.
struct FaceIndex {
  size_t id = 0;
};

struct Glyph {
  std::vector<uint8_t> coverage;
  int32_t width = 0, rows = 0, left = 0, top = 0;
  int64_t advance = 0;  // 26.6
};

struct Metrics {
  int32_t ascender = 0, lineHeight = 0;
};

// Process-wide text state; the engine calls from one thread at a time.
struct TextState {
  FT_Library library = nullptr;
  bool fontconfigReady = false;
  std::vector<Face> faces;
  std::unordered_map<std::string, FaceIndex> faceByFile;
  std::unordered_map<std::string, Resolved> resolved;
  std::unordered_map<uint64_t, Glyph> glyphs;

  ~TextState() { Close(); }
  void Close() noexcept {
    glyphs.clear();
    resolved.clear();
    faceByFile.clear();
    for (Face& f : faces) FT_Done_Face(f.face);
    faces.clear();
    if (library) FT_Done_FreeType(library);
    library = nullptr;
    // fontconfig keeps its configuration and caches until told to let go.
    if (fontconfigReady) FcFini();
    fontconfigReady = false;
  }
};

TextState& State() {
  static TextState state;
  return state;
}

bool Ready(TextState& s) {
  if (!s.library && FT_Init_FreeType(&s.library) != 0) {
    s.library = nullptr;
    return false;
  }
  if (!s.fontconfigReady) s.fontconfigReady = FcInit() == FcTrue;
  return s.fontconfigReady;
}

int32_t ClampedHeight(int32_t h) noexcept {
  return std::clamp(h, 1, 1000);
}

// Asks fontconfig for the face file of a request.
bool Match(const FontRequest& font, std::string& file, int32_t& index, std::string& family,
           bool& embolden) {
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const char* name = font.family && font.family[0] ? font.family : "sans-serif";
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, ClampedHeight(font.pixelHeight));
  const int32_t weight = font.weight <= 0 ? 400 : std::clamp(font.weight, 1, 1000);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* path = nullptr;
  FcChar8* matchedFamily = nullptr;
  int id = 0;
  FcBool bold = FcFalse;
  bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
  if (ok) {
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &id) != FcResultMatch) id = 0;
    index = id;
    family = FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch
                 ? reinterpret_cast<const char*>(matchedFamily)
                 : "";
    embolden = FcPatternGetBool(match, FC_EMBOLDEN, 0, &bold) == FcResultMatch && bold;
  }
  FcPatternDestroy(match);
  return ok;
}

std::string RequestKey(const FontRequest& font) {
  std::string key = font.family ? font.family : "";
  key += '\0';
  key += std::to_string(font.weight <= 0 ? 400 : font.weight);
  key += font.italic ? 'i' : 'r';
  return key;
}

// The face for a request (fontconfig is asked once per family, weight and
// slant); null when there is none.
const Resolved* Resolve(TextState& s, const FontRequest& font) {
  const std::string key = RequestKey(font);
  if (auto it = s.resolved.find(key); it != s.resolved.end()) return &it->second;
  std::string file, family;
  int32_t index = 0;
  bool embolden = false;
  if (!Match(font, file, index, family, embolden)) return nullptr;
  const std::string fileKey = file + '\0' + std::to_string(index);
  size_t id;
  if (auto it = s.faceByFile.find(fileKey); it != s.faceByFile.end()) {
    id = it->second.id;
  } else {
    FT_Face face = nullptr;
    if (FT_New_Face(s.library, file.c_str(), index, &face) != 0) return nullptr;
    s.faces.push_back(Face{face, 0});
    id = s.faces.size() - 1;
    s.faceByFile.emplace(fileKey, FaceIndex{id});
  }
  return &s.resolved.emplace(key, Resolved{id, embolden}).first->second;
}

bool SetSize(Face& f, int32_t pixelHeight) {
  if (f.pixelHeight == pixelHeight) return true;
  if (FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return false;
  f.pixelHeight = pixelHeight;
  return true;
}

const Glyph* GlyphFor(TextState& s, const Resolved& r, int32_t pixelHeight, uint32_t codepoint) {
  const uint64_t key = (uint64_t(r.face) << 40) | (uint64_t(pixelHeight) << 24) |
                       (uint64_t(r.embolden) << 23) | codepoint;
  if (auto it = s.glyphs.find(key); it != s.glyphs.end()) return &it->second;
  Face& f = s.faces[r.face];
  if (!SetSize(f, pixelHeight)) return nullptr;
  const FT_UInt index = FT_Get_Char_Index(f.face, codepoint);
  if (FT_Load_Glyph(f.face, index, FT_LOAD_DEFAULT) != 0) return nullptr;
  if (r.embolden) FT_GlyphSlot_Embolden(f.face->glyph);
  if (FT_Render_Glyph(f.face->glyph, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
  const FT_GlyphSlot slot = f.face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  Glyph g;
  g.advance = slot->advance.x;
  if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.width > 0 && bm.rows > 0) {
    g.width = static_cast<int32_t>(bm.width);
    g.rows = static_cast<int32_t>(bm.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.coverage.resize(size_t(g.width) * g.rows);
    const int32_t pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    for (int32_t y = 0; y < g.rows; ++y) {
      const uint8_t* row = bm.pitch < 0 ? bm.buffer + int64_t(g.rows - 1 - y) * pitch
                                        : bm.buffer + int64_t(y) * pitch;
      std::memcpy(g.coverage.data() + size_t(y) * g.width, row, size_t(g.width));
    }
  }
  if (s.glyphs.size() >= kGlyphCacheLimit) s.glyphs.clear();
  return &s.glyphs.emplace(key, std::move(g)).first->second;
}

// --- Decoding ------------------------------------------------------------

// Windows-1252 0x80..0x9F; the five unassigned bytes stand for themselves.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool DecodeUtf8(const uint8_t* p, std::vector<uint32_t>& out) {
  while (*p) {
    const uint32_t b = *p;
    int32_t extra;
    uint32_t cp, min;
    if (b < 0x80) {
      extra = 0, cp = b, min = 0;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    ++p;
    for (int32_t i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*p & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
  }
  return true;
}

void Decode(const char* text, std::vector<uint32_t>& out) {
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  if (DecodeUtf8(p, out)) return;
  out.clear();
  for (; *p; ++p) out.push_back(*p >= 0x80 && *p < 0xA0 ? kCp1252High[*p - 0x80] : *p);
}

// --- Compositing ---------------------------------------------------------

// v moved toward t by c / 255, rounded half away from zero.
inline uint8_t Toward(int32_t v, int32_t t, int32_t c) noexcept {
  const int32_t n = (t - v) * c;
  return static_cast<uint8_t>(v + (n >= 0 ? (n + 127) / 255 : -((-n + 127) / 255)));
}

void Paint(uint8_t* px, int32_t c, const uint8_t color[3]) noexcept {
  px[0] = Toward(px[0], color[0], c);
  px[1] = Toward(px[1], color[1], c);
  px[2] = Toward(px[2], color[2], c);
  px[3] = Toward(px[3], 255, c);
}

}  // namespace

bool DrawText(uint8_t* rgba, int32_t width, int32_t height, int32_t stride, const char* text,
              const FontRequest& font, Box box, uint8_t red, uint8_t green, uint8_t blue,
              TextResult* result) noexcept {
  if (result) *result = TextResult{};
  if (!rgba || width <= 0 || height <= 0 || stride < int64_t{width} * 4) return false;
  try {
    TextState& s = State();
    if (!Ready(s)) return false;
    const Resolved* r = Resolve(s, font);
    if (!r) return false;
    Face& f = s.faces[r->face];
    int32_t pixelHeight = ClampedHeight(font.pixelHeight);
    const int64_t cell = int64_t{f.face->ascender} - f.face->descender;
    if (font.cellHeight && cell > 0 && f.face->units_per_EM > 0)
      pixelHeight = ClampedHeight(
          static_cast<int32_t>((int64_t{pixelHeight} * f.face->units_per_EM + cell / 2) / cell));
    if (!SetSize(f, pixelHeight)) return false;
    Metrics m;
    m.ascender = static_cast<int32_t>((f.face->size->metrics.ascender + 63) >> 6);
    m.lineHeight = static_cast<int32_t>((f.face->size->metrics.height + 32) >> 6);
    if (m.lineHeight <= 0) m.lineHeight = pixelHeight;
    if (!text) return true;

    std::vector<uint32_t> codepoints;
    Decode(text, codepoints);

    // The clip: the box within the picture, half-open.
    const int64_t clipLeft = std::max<int64_t>(box.left, 0);
    const int64_t clipTop = std::max<int64_t>(box.top, 0);
    const int64_t clipRight = std::min<int64_t>(box.right, width);
    const int64_t clipBottom = std::min<int64_t>(box.bottom, height);
    const uint8_t color[3] = {red, green, blue};
    TextResult out;
    out.ink = Box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};

    int64_t baseline = int64_t{box.top} + m.ascender;
    int64_t pen = int64_t{box.left} * 64;
    for (size_t i = 0; i <= codepoints.size(); ++i) {
      const uint32_t cp = i < codepoints.size() ? codepoints[i] : '\n';
      if (cp == '\r') continue;
      if (cp == '\n') {
        baseline += m.lineHeight;
        pen = int64_t{box.left} * 64;
        // Lines that start below the clip draw nothing.
        if (baseline - m.ascender >= clipBottom) break;
        continue;
      }
      const Glyph* g = GlyphFor(s, *r, pixelHeight, cp);
      if (!g) continue;
      ++out.glyphs;
      const int64_t gx = ((pen + 32) >> 6) + g->left;
      const int64_t gy = baseline - g->top;
      pen += g->advance;
      const int64_t x0 = std::max(gx, clipLeft), x1 = std::min(gx + g->width, clipRight);
      const int64_t y0 = std::max(gy, clipTop), y1 = std::min(gy + g->rows, clipBottom);
      for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* cov = g->coverage.data() + (y - gy) * g->width - gx;
        uint8_t* row = rgba + y * stride;
        for (int64_t x = x0; x < x1; ++x) {
          const int32_t c = cov[x];
          if (c == 0) continue;
          Paint(row + x * 4, c, color);
          out.ink.left = std::min<int32_t>(out.ink.left, static_cast<int32_t>(x));
          out.ink.top = std::min<int32_t>(out.ink.top, static_cast<int32_t>(y));
          out.ink.right = std::max<int32_t>(out.ink.right, static_cast<int32_t>(x + 1));
          out.ink.bottom = std::max<int32_t>(out.ink.bottom, static_cast<int32_t>(y + 1));
        }
      }
    }
    if (out.ink.right < out.ink.left) out.ink = Box{};
    if (result) *result = out;
    return true;
  } catch (...) {
    return false;
  }
}

bool ResolveFace(const FontRequest& font, char* family, size_t familySize, char* file,
                 size_t fileSize) noexcept {
  try {
    TextState& s = State();
    if (!Ready(s)) return false;
    std::string path, name;
    int32_t index = 0;
    bool embolden = false;
    if (!Match(font, path, index, name, embolden)) return false;
    auto put = [](char* out, size_t size, const std::string& v) {
      if (!out || size == 0) return;
      const size_t n = std::min(size - 1, v.size());
      std::memcpy(out, v.data(), n);
      out[n] = '\0';
    };
    put(family, familySize, name);
    put(file, fileSize, path);
    return true;
  } catch (...) {
    return false;
  }
}

void ClearGlyphCache() noexcept {
  State().Close();
}

size_t CachedGlyphs() noexcept {
  return State().glyphs.size();
}

}  // namespace dro::platform::text
