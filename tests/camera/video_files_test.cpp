// Video files read frame by frame and compared with the frames the ffmpeg
// tool extracts from the same file; files written and read back; damaged
// and missing files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camera/video_reader.hpp"
#include "camera/video_writer.hpp"
#include "support/temp_folder.hpp"

namespace vx::camera {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 12;
constexpr int kFps = 10;

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

class VideoFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    ASSERT_FALSE(folder_.path().empty());
  }

  std::string Path(const std::string& name) const { return folder_.Path(name); }

  // A test pattern of kFrames frames, made by the ffmpeg tool.
  std::string MakeClip(const std::string& name, const std::string& codec = "mpeg4") {
    const std::string path = Path(name);
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=" + std::to_string(kWidth) + "x" +
                            std::to_string(kHeight) + ":rate=" + std::to_string(kFps) + " -frames:v " +
                            std::to_string(kFrames) + " -c:v " + codec + " -q:v 2 -pix_fmt yuv420p " + path;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return path;
  }

  // Every frame of `video` as the ffmpeg tool decodes it: blue, green, red.
  std::vector<std::uint8_t> Reference(const std::string& video) {
    const std::string raw = Path("reference.raw");
    const std::string cmd = "ffmpeg -v error -y -i " + video + " -f rawvideo -pix_fmt bgr24 " + raw;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(raw, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  TempFolder folder_;
};

constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3;

int MaxDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  int worst = 0;
  for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
  return worst;
}

double MeanDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(n);
}

TEST_F(VideoFiles, EveryFrameMatchesTheToolsDecoding) {
  const std::string clip = MakeClip("clip.mp4");
  const std::vector<std::uint8_t> reference = Reference(clip);
  ASSERT_EQ(reference.size(), kFrameBytes * kFrames);

  VideoReader reader;
  ASSERT_TRUE(reader.Open(clip)) << reader.Error();
  EXPECT_EQ(reader.Info().width, kWidth);
  EXPECT_EQ(reader.Info().height, kHeight);
  EXPECT_EQ(reader.Info().frames, kFrames);
  EXPECT_DOUBLE_EQ(reader.Info().fps, kFps);
  EXPECT_NEAR(reader.Info().duration, 1.2, 0.05);

  std::vector<std::uint8_t> frame(kFrameBytes);
  for (int n = 0; n < kFrames; ++n) {
    ASSERT_TRUE(reader.Next()) << "frame " << n << ": " << reader.Error();
    EXPECT_EQ(reader.FrameNumber(), n);
    EXPECT_NEAR(reader.FrameTime(), n / double{kFps}, 1e-6);
    ASSERT_TRUE(reader.Convert(frame.data(), kWidth * 3, kWidth, kHeight));
    // Same decoder, same conversion: at most a rounding step apart.
    EXPECT_LE(MaxDifference(frame.data(), reference.data() + n * kFrameBytes, kFrameBytes), 2) << "frame " << n;
  }
  EXPECT_FALSE(reader.Next());
  EXPECT_TRUE(reader.Error().empty()) << reader.Error();
  EXPECT_FALSE(reader.Next()) << "the end stays the end";
}

TEST_F(VideoFiles, BottomUpRowsAndScaling) {
  const std::string clip = MakeClip("clip.mkv", "ffv1");
  const std::vector<std::uint8_t> reference = Reference(clip);
  VideoReader reader;
  ASSERT_TRUE(reader.Open(clip)) << reader.Error();
  ASSERT_TRUE(reader.Next());
  // Bottom-up: the last row in memory first, as the drawing banks hold them.
  std::vector<std::uint8_t> flipped(kFrameBytes);
  ASSERT_TRUE(reader.Convert(flipped.data() + (kHeight - 1) * kWidth * 3, -kWidth * 3, kWidth, kHeight));
  for (int row = 0; row < kHeight; ++row) {
    ASSERT_LE(MaxDifference(flipped.data() + (kHeight - 1 - row) * kWidth * 3,
                            reference.data() + row * kWidth * 3, kWidth * 3), 2) << "row " << row;
  }
  // Half size: every pixel near the average of the four it stands for.
  std::vector<std::uint8_t> half(kFrameBytes / 4);
  ASSERT_TRUE(reader.Convert(half.data(), kWidth / 2 * 3, kWidth / 2, kHeight / 2));
  std::vector<std::uint8_t> expected(half.size());
  for (int y = 0; y < kHeight / 2; ++y) {
    for (int x = 0; x < kWidth / 2; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy) {
          for (int dx = 0; dx < 2; ++dx) sum += reference[((2 * y + dy) * kWidth + 2 * x + dx) * 3 + c];
        }
        expected[(y * kWidth / 2 + x) * 3 + c] = static_cast<std::uint8_t>(sum / 4);
      }
    }
  }
  EXPECT_LT(MeanDifference(half.data(), expected.data(), half.size()), 2.0);
}

TEST_F(VideoFiles, SeekGivesTheFrameAskedFor) {
  const std::string clip = MakeClip("clip.mp4");
  const std::vector<std::uint8_t> reference = Reference(clip);
  VideoReader reader;
  ASSERT_TRUE(reader.Open(clip)) << reader.Error();
  std::vector<std::uint8_t> frame(kFrameBytes);
  for (int target : {7, 2, 0, 11}) {
    ASSERT_TRUE(reader.Seek(target)) << reader.Error();
    ASSERT_TRUE(reader.Next());
    EXPECT_EQ(reader.FrameNumber(), target);
    reader.Convert(frame.data(), kWidth * 3, kWidth, kHeight);
    EXPECT_LE(MaxDifference(frame.data(), reference.data() + target * kFrameBytes, kFrameBytes), 2) << target;
  }
  ASSERT_TRUE(reader.Seek(50));  // past the end: the next read reports it
  EXPECT_FALSE(reader.Next());
}

TEST_F(VideoFiles, MissingDamagedAndForeignFilesAreErrors) {
  VideoReader reader;
  EXPECT_FALSE(reader.Open(Path("absent.mp4")));
  EXPECT_NE(reader.Error().find("No such file"), std::string::npos) << reader.Error();
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.Next());
  EXPECT_FALSE(reader.Convert(nullptr, 0, 10, 10));

  // Names are files, never URLs of other protocols; a playlist may not
  // reach out either.
  EXPECT_FALSE(reader.Open("tcp://127.0.0.1:9"));
  EXPECT_NE(reader.Error().find("No such file"), std::string::npos) << reader.Error();
  { std::ofstream(Path("list.m3u8")) << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nhttp://127.0.0.1:9/a.ts\n#EXT-X-ENDLIST\n"; }
  if (reader.Open(Path("list.m3u8"))) {
    EXPECT_FALSE(reader.Next());
  }

  { std::ofstream(Path("text.mp4")) << "this is not a video at all\n"; }
  EXPECT_FALSE(reader.Open(Path("text.mp4")));
  EXPECT_FALSE(reader.Error().empty());

  // A clip cut in half, and one with its middle overwritten: whatever can
  // be decoded comes out, then the end; never more frames than were there.
  const std::string clip = MakeClip("clip.mp4");
  std::string bytes;
  {
    std::ifstream in(clip, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  { std::ofstream(Path("cut.mp4"), std::ios::binary) << bytes.substr(0, bytes.size() / 2); }
  std::string scrambled = bytes;
  for (std::size_t i = scrambled.size() / 3; i < scrambled.size() / 2; ++i) scrambled[i] = static_cast<char>(i * 7);
  { std::ofstream(Path("scrambled.mp4"), std::ios::binary) << scrambled; }
  for (const char* name : {"cut.mp4", "scrambled.mp4"}) {
    if (!reader.Open(Path(name))) {
      EXPECT_FALSE(reader.Error().empty()) << name;
      continue;
    }
    std::vector<std::uint8_t> frame(kFrameBytes);
    int frames = 0;
    while (reader.Next() && frames <= kFrames) {
      ++frames;
      EXPECT_TRUE(reader.Convert(frame.data(), kWidth * 3, kWidth, kHeight));
    }
    EXPECT_LE(frames, kFrames) << name;
  }
}

TEST_F(VideoFiles, WrittenFramesReadBack) {
  const int w = 64, h = 48, frames = 8;
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(w) * h * 3);
  auto paint = [&](int n) {  // a flat colour per frame, brighter each time
    for (std::size_t i = 0; i < picture.size(); i += 3) {
      picture[i] = static_cast<std::uint8_t>(20 * n);
      picture[i + 1] = 100;
      picture[i + 2] = static_cast<std::uint8_t>(200 - 20 * n);
    }
  };
  // Every frame must come back in each container, the last one too (MP4
  // drops a last frame that has no duration).
  for (const char* name : {"out.avi", "out.mp4", "out.mkv"}) {
    SCOPED_TRACE(name);
    VideoWriter writer;
    const std::string out = Path(name);
    ASSERT_TRUE(writer.Open(out, w, h, 25)) << writer.Error();
    for (int n = 0; n < frames; ++n) {
      paint(n);
      ASSERT_TRUE(writer.Add(picture.data(), w * 3)) << writer.Error();
    }
    EXPECT_FALSE(fs::exists(out)) << "the name is taken only when the file is complete";
    ASSERT_TRUE(writer.Finish()) << writer.Error();
    EXPECT_EQ(writer.Frames(), frames);
    EXPECT_FALSE(fs::exists(out + ".part"));

    VideoReader reader;
    ASSERT_TRUE(reader.Open(out)) << reader.Error();
    EXPECT_EQ(reader.Info().width, w);
    EXPECT_EQ(reader.Info().height, h);
    EXPECT_DOUBLE_EQ(reader.Info().fps, 25);
    std::vector<std::uint8_t> back(picture.size());
    for (int n = 0; n < frames; ++n) {
      ASSERT_TRUE(reader.Next()) << n;
      reader.Convert(back.data(), w * 3, w, h);
      paint(n);
      EXPECT_LT(MeanDifference(back.data(), picture.data(), picture.size()), 4.0) << "frame " << n;
    }
    EXPECT_FALSE(reader.Next());
  }
}

TEST_F(VideoFiles, FailedOrAbandonedRecordingKeepsTheOldFile) {
  const std::string out = Path("keep.mp4");
  { std::ofstream(out) << "precious"; }
  VideoWriter writer;
  EXPECT_FALSE(writer.Open(out, 8, 8, 25));        // too small
  EXPECT_FALSE(writer.Open(out, 64, 48, 0));       // no rate
  EXPECT_FALSE(writer.Open(out, 64, 48, 1000));    // too fast
  EXPECT_FALSE(writer.Open(Path("x.nosuchformat"), 64, 48, 25));
  EXPECT_FALSE(writer.Error().empty());
  EXPECT_FALSE(writer.Open(Path("no/such/folder/x.mp4"), 64, 48, 25));

  ASSERT_TRUE(writer.Open(out, 65, 49, 25)) << writer.Error();
  EXPECT_EQ(writer.Width(), 64) << "odd sizes are cut to even";
  EXPECT_EQ(writer.Height(), 48);
  std::vector<std::uint8_t> picture(65 * 49 * 3, 128);
  ASSERT_TRUE(writer.Add(picture.data(), 65 * 3));
  writer.Abandon();
  std::ifstream in(out);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "precious");
  EXPECT_FALSE(fs::exists(out + ".part"));
  EXPECT_FALSE(writer.Add(picture.data(), 65 * 3));
  EXPECT_FALSE(writer.Finish());
}

}  // namespace
}  // namespace vx::camera
