// The RIFF AVI writer (layout in avi_file.h).
#include "io/avi_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <unistd.h>

namespace dro::io {
namespace {

constexpr int64_t kMoviTag = 220;     // offset of the 'movi' tag
constexpr int64_t kFirstChunk = 224;  // where the first frame's chunk starts
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kHasIndex = 0x10;
int64_t g_sizeLimit = kAviSizeLimit;

constexpr uint32_t Tag(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

// Little-endian fields into a fixed block.
class Block {
 public:
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[size_++] = uint8_t(v >> (8 * i));
  }
  void U16(uint16_t v) {
    bytes_[size_++] = uint8_t(v);
    bytes_[size_++] = uint8_t(v >> 8);
  }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return size_; }

 private:
  std::array<uint8_t, kFirstChunk> bytes_{};
  size_t size_ = 0;
};

}  // namespace

void AviFile::SetSizeLimit(int64_t bytes) noexcept {
  g_sizeLimit = bytes > 0 ? std::min(bytes, kAviSizeLimit) : kAviSizeLimit;
}

bool AviFile::Create(const char* path) noexcept {
  Finish();
  if (!path || !path[0]) return false;
  file_ = std::fopen(path, "wb+");
  if (!file_) return false;
  started_ = broken_ = false;
  format_ = AviFormat{};
  frames_ = 0;
  largest_ = 0;
  end_ = kFirstChunk;
  limit_ = g_sizeLimit;
  if (!WriteHeaders()) {
    std::fclose(file_);
    file_ = nullptr;
    std::remove(path);
    return false;
  }
  return true;
}

bool AviFile::WriteHeaders() noexcept {
  const AviFormat& f = format_;
  const uint32_t rowBytes = (uint32_t(f.width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = f.mjpeg ? 0 : rowBytes * uint32_t(f.height);
  const uint32_t buffer = std::max(largest_, f.frameBytes);
  const int64_t total = end_ + 8 + int64_t{16} * frames_;
  Block b;
  b.U32(Tag("RIFF"));
  b.U32(uint32_t(total - 8));
  b.U32(Tag("AVI "));
  b.U32(Tag("LIST"));
  b.U32(192);
  b.U32(Tag("hdrl"));
  b.U32(Tag("avih"));
  b.U32(56);
  b.U32(uint32_t(std::min<uint64_t>(uint64_t(f.periodMs) * 1000u, 0xFFFFFFFFu)));  // microseconds
  b.U32(f.periodMs > 0 ? uint32_t(uint64_t{buffer} * 1000u / uint32_t(f.periodMs)) : 0);
  b.U32(0);  // padding granularity
  b.U32(kHasIndex);
  b.U32(uint32_t(frames_));
  b.U32(0);  // initial frames
  b.U32(1);  // streams
  b.U32(buffer);
  b.U32(uint32_t(f.width));
  b.U32(uint32_t(f.height));
  for (int i = 0; i < 4; ++i) b.U32(0);
  b.U32(Tag("LIST"));
  b.U32(116);
  b.U32(Tag("strl"));
  b.U32(Tag("strh"));
  b.U32(56);
  b.U32(Tag("vids"));
  b.U32(f.mjpeg ? Tag("MJPG") : Tag("DIB "));
  b.U32(0);                     // flags
  b.U16(0);                     // priority
  b.U16(0);                     // language
  b.U32(0);                     // initial frames
  b.U32(uint32_t(f.periodMs));  // scale
  b.U32(1000);                  // rate: frames per second = rate / scale
  b.U32(0);                     // start
  b.U32(uint32_t(frames_));     // length
  b.U32(buffer);
  b.U32(0xFFFFFFFFu);  // quality: the codec's default
  b.U32(0);            // sample size: frames vary
  b.U16(0);
  b.U16(0);
  b.U16(uint16_t(f.width));
  b.U16(uint16_t(f.height));
  b.U32(Tag("strf"));
  b.U32(40);
  b.U32(40);
  b.U32(uint32_t(f.width));
  b.U32(uint32_t(f.height));  // positive: bottom-up rows
  b.U16(1);
  b.U16(24);
  b.U32(f.mjpeg ? Tag("MJPG") : 0u);
  b.U32(f.mjpeg ? uint32_t(f.width) * uint32_t(f.height) * 3u : imageBytes);
  for (int i = 0; i < 4; ++i) b.U32(0);
  b.U32(Tag("LIST"));
  b.U32(uint32_t(end_ - kMoviTag));
  b.U32(Tag("movi"));
  return std::fseek(file_, 0, SEEK_SET) == 0 &&
         std::fwrite(b.data(), 1, b.size(), file_) == b.size();
}

bool AviFile::Start(const AviFormat& format) noexcept {
  if (!file_ || started_ || broken_) return false;
  format_ = format;
  started_ = true;
  if (!WriteHeaders()) broken_ = true;
  return !broken_;
}

bool AviFile::WriteFrame(const uint8_t* data, uint32_t size) noexcept {
  if (!file_ || !started_ || broken_ || (!data && size)) return false;
  const int64_t padded = int64_t{size} + (size & 1);
  // The finished file: this chunk, the index head and one more entry.
  if (end_ + 8 + padded + 8 + int64_t{16} * (frames_ + 1) > limit_) return false;
  if (index_.size() <= size_t(frames_)) {
    try {
      Buffer<IndexEntry> bigger =
          Buffer<IndexEntry>::Make(std::max<size_t>(256, index_.size() * 2));
      if (frames_ > 0) std::copy(index_.data(), index_.data() + frames_, bigger.data());
      index_ = std::move(bigger);
    } catch (...) {
      return false;
    }
  }
  const uint32_t id = format_.mjpeg ? Tag("00dc") : Tag("00db");
  const uint32_t head[2] = {id, size};
  const uint8_t pad = 0;
  const bool ok = std::fseek(file_, long(end_), SEEK_SET) == 0 &&
                  std::fwrite(head, 1, 8, file_) == 8 &&
                  std::fwrite(data, 1, size, file_) == size &&
                  (!(size & 1) || std::fwrite(&pad, 1, 1, file_) == 1);
  if (!ok) {
    broken_ = true;
    return false;
  }
  index_[size_t(frames_)] = IndexEntry{id, kKeyFrame, uint32_t(end_ - kMoviTag), size};
  end_ += 8 + padded;
  ++frames_;
  largest_ = std::max(largest_, size);
  return true;
}

bool AviFile::Finish() noexcept {
  if (!file_) return false;
  // A frame that failed half-way is cut off: the index goes where the last
  // complete frame ends.
  bool ok = std::fseek(file_, long(end_), SEEK_SET) == 0;
  const uint32_t head[2] = {Tag("idx1"), uint32_t(16 * frames_)};
  ok = ok && std::fwrite(head, 1, 8, file_) == 8;
  if (frames_ > 0)
    ok = ok &&
         std::fwrite(index_.data(), sizeof(IndexEntry), size_t(frames_), file_) == size_t(frames_);
  ok = ok && WriteHeaders();
  const int64_t total = end_ + 8 + int64_t{16} * frames_;
  ok = std::fflush(file_) == 0 && ok;
  ok = ::ftruncate(::fileno(file_), total) == 0 && ok;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  index_.Reset();
  started_ = false;
  return ok && !broken_ && total > 0;
}

}  // namespace dro::io
