// Recording the painting as a video, one bitmap file per frame.
//
// One recorder, closed at load. CreateAvi opens a file (finishing an open
// recording first); the first frame fixes the stream: its size, its bit
// depth and the codec chosen by SetAviCompression (uncompressed bottom-up
// BGR by default, or MJPEG at a quality). Later frames of another size or
// depth are skipped; they take no frame number. Any failure to write sets
// the recorder's failed flag: from then on frames are read but not written,
// and the file keeps the frames before (avi_file.h). CloseAvi, or the
// library's unloading, writes the index and closes the file.
//
// A frame file is a BMP; it is decoded by the image seam under its decode
// limits. WriteAvi returns 1 when the file was a readable BMP (a frame was
// then written, skipped or refused), else 0. Nothing here records a last
// error: the failed flag is the recording's own report.
#pragma once

#include <cstdint>

namespace dro::io {

constexpr int32_t kAviUncompressed = 0;
constexpr int32_t kAviMjpeg = 1;

// The recorder (nonzero) or null when the file cannot be made or the
// period is below 1.
void* CreateAvi(const char* path, int32_t periodMs) noexcept;
int32_t WriteAvi(const char* bitmapPath) noexcept;
int32_t CloseAvi() noexcept;
int32_t SetAviCompression(int32_t codec, int32_t quality) noexcept;

// For tests: frames written so far, and whether the recorder has failed
// (-1 and false without a recording).
int32_t AviFramesWritten() noexcept;
bool AviFailed() noexcept;

}  // namespace dro::io
