#include "imaging/drawing_text.h"

#include <algorithm>
#include <cstring>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "composite/layers.h"
#include "composite/texture.h"
#include "imaging/work_buffers.h"

namespace dro::imaging {
namespace {

int32_t ReadInt(const uint8_t* record, int32_t offset) noexcept {
  int32_t v;
  std::memcpy(&v, record + offset, sizeof v);
  return v;
}

void WriteInt(uint8_t* record, int32_t offset, int32_t v) noexcept {
  std::memcpy(record + offset, &v, sizeof v);
}

constexpr int32_t kDefaultPixelHeight = 16;
constexpr int32_t kChooseFromRecord = 0x41;  // screen fonts, start from the record
constexpr int32_t kChooseScreenFonts = 1;

}  // namespace

platform::text::FontRequest RequestFromRecord(const uint8_t* logFont,
                                              char (&face)[kLogFontFaceNameSize]) noexcept {
  platform::text::FontRequest request;
  // A host may fill the record itself: the name is read as at most 31
  // bytes, whatever follows.
  std::memcpy(face, logFont + kLogFontFaceName, kLogFontFaceNameSize - 1);
  face[kLogFontFaceNameSize - 1] = '\0';
  request.family = face;
  const int32_t height = ReadInt(logFont, kLogFontHeight);
  if (height == 0) {
    request.pixelHeight = kDefaultPixelHeight;
  } else if (height < 0) {
    request.pixelHeight = height == INT32_MIN ? INT32_MAX : -height;
  } else {
    request.pixelHeight = height;
    request.cellHeight = true;
  }
  request.weight = ReadInt(logFont, kLogFontWeight);
  request.italic = logFont[kLogFontItalic] != 0;
  return request;
}

void SetFont(const char* face, int32_t pixelHeight, int32_t weight, uint8_t italic) noexcept {
  uint8_t* record = Font().logFont;
  std::memset(record, 0, kLogFontSize);
  WriteInt(record, kLogFontHeight, -std::clamp(pixelHeight, 1, 1000));
  WriteInt(record, kLogFontWeight, std::clamp(weight, 0, 1000));
  record[kLogFontItalic] = italic ? 1 : 0;
  if (face) {
    const size_t n = strnlen(face, kLogFontFaceNameSize - 1);
    std::memcpy(record + kLogFontFaceName, face, n);
  }
}

void SetFontChooser(FontChooser chooser) noexcept {
  Font().chooser = chooser;
}

const char* FontErrorText(int32_t code) noexcept {
  switch (code) {
    case 2:
      return "Font Err: CDERR_INITIALIZATION";
    case 5:
      return "Font Err: CDERR_LOADSTRFAILURE";
    case 6:
      return "Font Err: CDERR_FINDRESFAILURE";
    case 7:
      return "Font Err: CDERR_LOADRESFAILURE";
    case 8:
      return "Font Err: CDERR_LOCKRESFAILURE";
    case 9:
      return "Font Err: CDERR_MEMALLOCFAILURE";
    case 10:
      return "Font Err: CDERR_MEMLOCKFAILURE";
    case 8193:
      return "Font Err: CFERR_NOFONTS";
    case 8194:
      return "Font Err: CFERR_MAXLESSTHANMIN";
    case 65535:
      return "Font Err: CDERR_DIALOGFAILURE";
    default:
      return "Font Err: Other Error";
  }
}

int32_t ChooseFont(const char** error) noexcept {
  if (error) *error = nullptr;
  FontState& font = Font();
  if (!font.chooser) return 0;
  void* window = Geometry().hostWindow;
  const int32_t result = font.chooser(font.logFont, window, kChooseFromRecord);
  if (result >= 0) return result;
  if (error) *error = FontErrorText(result == INT32_MIN ? 0 : -result);
  std::memset(font.logFont, 0, kLogFontSize);
  return std::max(font.chooser(font.logFont, window, kChooseScreenFonts), 0);
}

void Text(int32_t r, int32_t g, int32_t b, int32_t x, int32_t y, const char* text,
          uint8_t clear) noexcept {
  Guard(Operation::kIplText, [&] {
    const CanvasGeometry& c = Geometry();
    if (!c.HasPixels() || !Source32()) return;
    UpdateSource32();
    uint8_t* source = Source32();
    const platform::text::Box box{x, y, c.width, c.height};
    char face[kLogFontFaceNameSize];
    const platform::text::FontRequest font = RequestFromRecord(Font().logFont, face);
    auto draw = [&] {
      platform::text::DrawText(source, c.width, c.height, c.width * 4, text, font, box,
                               static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                               static_cast<uint8_t>(b));
    };
    if (clear) {
      composite::SetColorAlphaRgba32(source, c.width, c.height, 0, 0, 0);
      composite::AdjustRgba32PreFilter(source, c.width, c.height);
      draw();
      composite::AdjustRgba32PostFilter(source, c.width, c.height);
    } else {
      draw();
    }
    LoadRgba32Result(source);
  });
}

}  // namespace dro::imaging
