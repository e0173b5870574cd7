// The pictures a brush takes its tip or its grit from: what an effect script
// renders, or an image file.
#pragma once

#include <cstdint>

#include "platform/image_library.h"

namespace dro::brush {

// Runs the script at `path` at the size its header names and gives its
// picture in BGRA order, 4 bytes a pixel in tight rows. `isScript` tells
// whether the path loaded as a script at all; the result whether it gave a
// picture. Throws std::bad_alloc when memory runs out.
bool RenderScriptPicture(const char* path, platform::image::Picture& picture, bool& isScript);

// Reads the image file at `path` as RGBA, 4 bytes a pixel in tight rows.
// False for a file that cannot be read or does not give four whole channels;
// throws std::bad_alloc when memory ran out while reading it.
bool ReadRgbaPicture(const char* path, platform::image::Picture& picture);

// Why `path` gave neither a script picture nor an image, for the
// diagnostics: "file not found", the script's own complaint ("line 3:
// unknown parameter of this effect") when the file starts as a script, or
// "not a picture or effect script this engine reads". Valid until the next
// call.
const char* SourcePictureProblem(const char* path);

// Bytes of a tight RGBA picture; throws when the count is out of range.
size_t RgbaBytes(int32_t width, int32_t height);

}  // namespace dro::brush
