// A RIFF AVI file of one video stream, written as frames arrive.
//
// Layout (little-endian; sizes exclude the 8-byte chunk head; every chunk
// padded to an even size):
//
//   0    RIFF <size> 'AVI '
//   12     LIST 192 'hdrl'
//   24       'avih' 56   frame time in microseconds, flags (has index),
//                        total frames, streams 1, suggested buffer, width, height
//   88       LIST 116 'strl'
//   100        'strh' 56 'vids', handler ('DIB ' or 'MJPG'), scale = period,
//                        rate 1000, length = frames, suggested buffer, quality
//                        -1, frame rectangle (0, 0, width, height) in 16 bits
//   164        'strf' 40 the frames' bitmap header (24 bits; compression 0
//                        for bottom-up BGR rows padded to 4 bytes, 'MJPG')
//   212    LIST <size> 'movi'
//   224      '00db' or '00dc' <size> frame ...
//          'idx1' <16 x frames> id, flags 0x10 (key frame), offset from the
//                 'movi' tag, size; one entry per frame
//
// The headers are written when the file is started and again, with the
// counts, when it is finished. A RIFF size is 32 bits: frames are refused
// once the finished file would pass the size limit (1 GiB), so no size can
// wrap, and the file stays complete with the frames before. A failed write
// leaves the file at its last complete frame.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/allocation.h"

namespace dro::io {

constexpr int64_t kAviSizeLimit = int64_t{1} << 30;

struct AviFormat {
  int32_t width = 0;
  int32_t height = 0;
  int32_t periodMs = 0;  // milliseconds per frame
  bool mjpeg = false;
  uint32_t frameBytes = 0;  // of an uncompressed frame: the suggested buffer
};

class AviFile {
 public:
  AviFile() = default;
  AviFile(const AviFile&) = delete;
  AviFile& operator=(const AviFile&) = delete;
  ~AviFile() { Finish(); }

  // Creates (or truncates) the file; false when it cannot be made.
  bool Create(const char* path) noexcept;
  bool open() const noexcept { return file_ != nullptr; }
  // Writes the headers for the stream; once, before the first frame.
  bool Start(const AviFormat& format) noexcept;
  bool started() const noexcept { return started_; }
  // Appends one key frame. False, writing nothing, when the file would pass
  // the size limit or memory runs out; false after a failed write.
  bool WriteFrame(const uint8_t* data, uint32_t size) noexcept;
  // Writes the index and the counts and closes the file; true when the file
  // is complete. Nothing when no file is open.
  bool Finish() noexcept;
  int32_t frames() const noexcept { return frames_; }

  // Test hook: the size limit of files started from now on (0: 1 GiB).
  static void SetSizeLimit(int64_t bytes) noexcept;

 private:
  struct IndexEntry {
    uint32_t id, flags, offset, size;
  };
  bool WriteHeaders() noexcept;

  std::FILE* file_ = nullptr;
  bool started_ = false;
  bool broken_ = false;
  AviFormat format_{};
  int64_t end_ = 0;  // end of the last complete frame
  int32_t frames_ = 0;
  uint32_t largest_ = 0;
  int64_t limit_ = kAviSizeLimit;
  Buffer<IndexEntry> index_;
};

}  // namespace dro::io
