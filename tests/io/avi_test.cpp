// AVI recordings, checked by ffprobe and decoded by ffmpeg.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drovine.h"
#include "io/avi_file.h"
#include "io/avi_recorder.h"
#include "io/shell.h"
#include "support/allocation_sweep.h"
#include "support/scratch_dir.h"

namespace {

using drovine_test::Shell;

// codec_name, width, height, r_frame_rate and the frames decoded, one a
// line.
std::string Probe(const std::string& path) {
  return Shell(
      "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
      "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=nw=1 '" +
      path + "' 2>&1");
}

std::string Expected(const char* codec, int w, int h, const char* rate, int frames) {
  char text[256];
  std::snprintf(text, sizeof text,
                "codec_name=%s\nwidth=%d\nheight=%d\nr_frame_rate=%s\nnb_read_frames=%d\n", codec,
                w, h, rate, frames);
  return text;
}

// Every frame decoded as tight top-down RGB.
std::vector<uint8_t> Decode(const std::string& path) {
  const std::string out = Shell("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt rgb24 -");
  return std::vector<uint8_t>(out.begin(), out.end());
}

// A smooth w x h picture (no side above 64), distinct per seed, as tight
// top-down RGB.
std::vector<uint8_t> Picture(int w, int h, int seed) {
  std::vector<uint8_t> rgb(size_t(w * h * 3));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        rgb[size_t((y * w + x) * 3 + c)] = uint8_t(x * 2 + y + c * 20 + seed * 10);
  return rgb;
}

// A BMP of 24 or 32 bits holding `rgb`.
void WriteBmp(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h, int bits) {
  const int row = (w * bits / 8 + 3) & ~3;
  std::vector<uint8_t> f(size_t(54 + row * h));
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  u32(2, uint32_t(f.size())), u32(10, 54), u32(14, 40), u32(18, uint32_t(w)), u32(22, uint32_t(h));
  f[26] = 1, f[28] = uint8_t(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = &f[size_t(54 + (h - 1 - y) * row + x * bits / 8)];
      const uint8_t* s = &rgb[size_t((y * w + x) * 3)];
      px[0] = s[2], px[1] = s[1], px[2] = s[0];
      if (bits == 32) px[3] = 255;
    }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), f.size());
}

class Avi : public ::testing::Test {
 protected:
  void TearDown() override {
    DRO_CloseAVI();
    DRO_XSetAVICompression(DRO_XAVI_UNCOMPRESSED, 90);
    dro::io::AviFile::SetSizeLimit(0);
  }
  std::string Frame(int w, int h, int seed, int bits = 24) {
    char name[64];
    std::snprintf(name, sizeof name, "f%dx%d_%d_%d.bmp", w, h, seed, bits);
    const std::string path = dir.File(name);
    WriteBmp(path, Picture(w, h, seed), w, h, bits);
    return path;
  }
  drovine_test::ScratchDir dir;
};

TEST_F(Avi, UncompressedFramesPlayBackExactly) {
  const std::string avi = dir.File("rec.avi");
  ASSERT_NE(DRO_CreateAVI(avi.c_str(), 40), nullptr);
  std::vector<uint8_t> want;
  for (int seed = 0; seed < 3; ++seed) {
    EXPECT_EQ(DRO_WriteAVI(Frame(37, 21, seed).c_str()), 1);  // odd width: padded rows
    const std::vector<uint8_t> p = Picture(37, 21, seed);
    want.insert(want.end(), p.begin(), p.end());
  }
  EXPECT_EQ(DRO_CloseAVI(), 0);
  EXPECT_EQ(DRO_CloseAVI(), 0);
  EXPECT_EQ(Probe(avi), Expected("rawvideo", 37, 21, "25/1", 3));
  EXPECT_EQ(Decode(avi), want);
  EXPECT_EQ(std::filesystem::file_size(avi) % 2, 0u);
}

TEST_F(Avi, MjpegFramesAtTheChosenQuality) {
  EXPECT_EQ(DRO_XSetAVICompression(DRO_XAVI_MJPEG, 95), 1);
  for (auto [codec, quality] : {std::pair{2, 90}, {-1, 90}, {1, 0}, {1, 101}})
    EXPECT_EQ(DRO_XSetAVICompression(codec, quality), 0) << codec << " " << quality;
  const std::string avi = dir.File("mjpeg.avi");
  ASSERT_NE(DRO_CreateAVI(avi.c_str(), 100), nullptr);
  for (int seed = 0; seed < 4; ++seed) DRO_WriteAVI(Frame(64, 48, seed).c_str());
  DRO_CloseAVI();
  EXPECT_EQ(Probe(avi), Expected("mjpeg", 64, 48, "10/1", 4));
  const std::vector<uint8_t> got = Decode(avi);
  ASSERT_EQ(got.size(), size_t(64 * 48 * 3 * 4));
  // Smooth gradients at quality 95 come back within a few levels.
  int64_t error = 0;
  for (int seed = 0; seed < 4; ++seed) {
    const std::vector<uint8_t> p = Picture(64, 48, seed);
    for (size_t i = 0; i < p.size(); ++i)
      error += std::abs(int(got[p.size() * size_t(seed) + i]) - p[i]);
  }
  EXPECT_LT(double(error) / double(got.size()), 1.0);
}

TEST_F(Avi, FramesOfAnotherSizeOrDepthAndOtherFilesAreSkipped) {
  EXPECT_EQ(DRO_WriteAVI(Frame(8, 8, 0).c_str()), 0);  // no recording
  for (int period : {0, -40}) EXPECT_EQ(DRO_CreateAVI(dir.File("p.avi").c_str(), period), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.File("p.avi")));
  EXPECT_EQ(DRO_CreateAVI(dir.File("no/such/dir.avi").c_str(), 40), nullptr);
  EXPECT_EQ(DRO_CreateAVI(nullptr, 40), nullptr);

  const std::string avi = dir.File("mixed.avi");
  ASSERT_NE(DRO_CreateAVI(avi.c_str(), 40), nullptr);
  const std::string png = dir.Write("frame.png", "\x89PNG\r\n\x1a\n");
  struct {
    std::string path;
    int result;
  } calls[] = {{Frame(16, 8, 0), 1},
               {Frame(17, 8, 1), 1},
               {Frame(16, 9, 1), 1},
               {Frame(16, 8, 1, 32), 1},
               {png, 0},
               {dir.File("missing.bmp"), 0},
               {"", 0},
               {Frame(16, 8, 2), 1}};
  for (const auto& c : calls) EXPECT_EQ(DRO_WriteAVI(c.path.c_str()), c.result) << c.path;
  EXPECT_EQ(DRO_WriteAVI(nullptr), 0);
  EXPECT_EQ(dro::io::AviFramesWritten(), 2);
  EXPECT_FALSE(dro::io::AviFailed());
  DRO_CloseAVI();
  EXPECT_EQ(Probe(avi), Expected("rawvideo", 16, 8, "25/1", 2));
  std::vector<uint8_t> want = Picture(16, 8, 0), second = Picture(16, 8, 2);
  want.insert(want.end(), second.begin(), second.end());
  EXPECT_EQ(Decode(avi), want);
}

TEST_F(Avi, ASecondRecordingAndUnloadingFinishTheOpenOne) {
  const std::string first = dir.File("first.avi"), second = dir.File("second.avi");
  ASSERT_NE(DRO_CreateAVI(first.c_str(), 40), nullptr);
  DRO_WriteAVI(Frame(10, 6, 0).c_str());
  DRO_WriteAVI(Frame(10, 6, 1).c_str());
  ASSERT_NE(DRO_CreateAVI(second.c_str(), 50), nullptr);
  EXPECT_EQ(Probe(first), Expected("rawvideo", 10, 6, "25/1", 2));
  // A host that ends without closing: the library's unloading finishes it.
  const std::string frame = Frame(10, 6, 2);
  const pid_t child = fork();
  if (child == 0) {
    DRO_WriteAVI(frame.c_str());
    std::exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(Probe(second), Expected("rawvideo", 10, 6, "20/1", 1));
}

TEST_F(Avi, ARecordingStopsCleanlyAtItsSizeLimit) {
  // Headers 224, each 32 x 8 frame 8 + 768, index 8 + 16 a frame: three
  // frames fit 224 + 3 x 776 + 8 + 48 = 2608 bytes, a fourth does not.
  dro::io::AviFile::SetSizeLimit(2608 + 700);
  const std::string avi = dir.File("limit.avi");
  ASSERT_NE(DRO_CreateAVI(avi.c_str(), 40), nullptr);
  for (int seed = 0; seed < 6; ++seed) EXPECT_EQ(DRO_WriteAVI(Frame(32, 8, seed).c_str()), 1);
  EXPECT_EQ(dro::io::AviFramesWritten(), 3);
  EXPECT_TRUE(dro::io::AviFailed());
  DRO_CloseAVI();
  EXPECT_EQ(std::filesystem::file_size(avi), 2608u);
  EXPECT_EQ(Probe(avi), Expected("rawvideo", 32, 8, "25/1", 3));
}

TEST_F(Avi, AllocationFailuresStopTheRecordingButKeepItPlayable) {
  const std::string frame = Frame(20, 10, 0), avi = dir.File("sweep.avi");
  for (int32_t codec : {DRO_XAVI_UNCOMPRESSED, DRO_XAVI_MJPEG}) {
    DRO_XSetAVICompression(codec, 80);
    drovine_test::SweepAllocationFailures(
        {},
        [&] {
          ASSERT_NE(DRO_CreateAVI(avi.c_str(), 40), nullptr);
          DRO_WriteAVI(frame.c_str());
          DRO_WriteAVI(frame.c_str());
        },
        [&](int64_t) {
          const int32_t frames = dro::io::AviFramesWritten();
          EXPECT_GE(frames, 0);
          EXPECT_LE(frames, 1);
          DRO_CloseAVI();
          const std::string probe = Probe(avi);
          if (frames > 0) {
            EXPECT_NE(probe.find(frames == 1 ? "nb_read_frames=1" : "?"), std::string::npos)
                << probe;
          }
        });
    DRO_CloseAVI();
    EXPECT_NE(Probe(avi).find("nb_read_frames=2"), std::string::npos);
  }
}

}  // namespace
