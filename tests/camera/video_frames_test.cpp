// Frames as the ffmpeg tool shows them: seeking lands on the frame asked
// for in every container, colours convert exactly as the tool converts them,
// the display matrix turns frames upright, a conversion never writes outside
// its rows, and GIF recordings keep their colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "camera/frame_turn.hpp"
#include "camera/palette.hpp"
#include "camera/video_reader.hpp"
#include "camera/video_writer.hpp"
#include "support/temp_folder.hpp"

namespace vx::camera {
namespace {

using test::TempFolder;

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

int MaxDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  int worst = 0;
  for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
  return worst;
}

class VideoFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    ASSERT_FALSE(folder_.path().empty());
  }

  std::string Path(const std::string& name) const { return folder_.Path(name); }

  // ffmpeg ARGS OUTPUT, in the test's folder.
  std::string Make(const std::string& name, const std::string& args) {
    const std::string cmd = "cd " + folder_.path() + " && ffmpeg -v error -y " + args + " " + name;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return Path(name);
  }
  // Every frame of `video` as the ffmpeg tool shows it (through `filter`):
  // blue, green, red.
  std::vector<std::uint8_t> Reference(const std::string& video, const std::string& filter = "") {
    const std::string raw = Path("reference.raw");
    const std::string cmd = "ffmpeg -v error -y -i " + video + (filter.empty() ? "" : " -vf " + filter) +
                            " -f rawvideo -pix_fmt bgr24 " + raw;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(raw, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  TempFolder folder_;
};

const std::string kPattern = "-f lavfi -i testsrc=size=160x120:rate=25 ";

TEST_F(VideoFrames, SeekLandsOnTheFrameAskedForInEveryContainer) {
  struct Clip {
    const char* name;
    std::string args;
    int frames;
  };
  const Clip clips[] = {
      {"intra.avi", kPattern + "-frames:v 30 -c:v mjpeg", 30},                       // every frame a key frame
      {"key12.mp4", kPattern + "-frames:v 60 -c:v libx264 -g 12 -bf 0", 60},         // key frames 0, 12, 24...
      {"reordered.ts", kPattern + "-frames:v 60 -c:v libx264 -g 12 -bf 3", 60},     // no index, B-frames
      {"reordered.mkv", kPattern + "-frames:v 60 -c:v libx264 -g 12 -bf 3", 60},
      {"reordered.mp4", kPattern + "-frames:v 60 -c:v libx264 -g 12 -bf 3", 60},
      {"vp8.webm", kPattern + "-frames:v 60 -c:v libvpx -g 12", 60},
      {"program.mpg", kPattern + "-frames:v 60 -c:v mpeg2video -g 12 -bf 2", 60},
  };
  for (const Clip& clip : clips) {
    SCOPED_TRACE(clip.name);
    const std::string path = Make(clip.name, clip.args);
    const std::vector<std::uint8_t> reference = Reference(path);
    const std::size_t bytes = 160 * 120 * 3;
    ASSERT_EQ(reference.size(), bytes * static_cast<std::size_t>(clip.frames));
    VideoReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    std::vector<std::uint8_t> frame(bytes);
    // Key frames themselves, the frames just before and after them, the
    // first ones (before the first key frame a transport stream names), and
    // back and forth.
    for (const int target : {7, 36, 37, 35, 1, 8, 49, 13, 0, 24, 29, 59, 12, 11}) {
      if (target >= clip.frames) continue;
      ASSERT_TRUE(reader.Seek(target)) << target << ": " << reader.Error();
      ASSERT_TRUE(reader.Next()) << target << ": " << reader.Error();
      EXPECT_EQ(reader.FrameNumber(), target);
      ASSERT_TRUE(reader.Convert(frame.data(), 160 * 3, 160, 120));
      EXPECT_EQ(MaxDifference(frame.data(), reference.data() + bytes * static_cast<std::size_t>(target), bytes), 0)
          << "seek to " << target;
      if (target + 1 < clip.frames) {  // reading goes on from there
        ASSERT_TRUE(reader.Next());
        EXPECT_EQ(reader.FrameNumber(), target + 1);
        reader.Convert(frame.data(), 160 * 3, 160, 120);
        EXPECT_EQ(MaxDifference(frame.data(), reference.data() + bytes * static_cast<std::size_t>(target + 1), bytes),
                  0);
      }
    }
    // Past the last frame: the end, and no error.
    ASSERT_TRUE(reader.Seek(clip.frames)) << reader.Error();
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.Error().empty()) << reader.Error();
    // And back again after the end.
    ASSERT_TRUE(reader.Seek(clip.frames - 1));
    ASSERT_TRUE(reader.Next());
    EXPECT_EQ(reader.FrameNumber(), clip.frames - 1);
  }
}

TEST_F(VideoFrames, ColoursConvertExactlyAsTheToolConvertsThem) {
  struct Clip {
    const char* name;
    std::string args;
  };
  const Clip clips[] = {
      {"ten_bit.mkv", kPattern + "-frames:v 2 -c:v libx264 -qp 0 -pix_fmt yuv420p10le"},
      {"bt709.mp4", kPattern + "-frames:v 2 -c:v libx264 -qp 0 -pix_fmt yuv420p -colorspace bt709"},
      {"full_range.avi", kPattern + "-frames:v 2 -c:v mjpeg -pix_fmt yuvj420p"},
      {"odd.mkv", "-f lavfi -i testsrc=size=161x121:rate=25 -frames:v 2 -c:v ffv1 -pix_fmt yuv420p"},
      {"chroma422.mp4", kPattern + "-frames:v 2 -c:v libx264 -qp 0 -pix_fmt yuv422p"},
  };
  for (const Clip& clip : clips) {
    SCOPED_TRACE(clip.name);
    const std::string path = Make(clip.name, clip.args);
    const std::vector<std::uint8_t> reference = Reference(path);
    VideoReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    const int w = reader.Info().width, h = reader.Info().height;
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 3;
    ASSERT_EQ(reference.size(), 2 * bytes);
    std::vector<std::uint8_t> frame(bytes);
    for (int n = 0; n < 2; ++n) {
      ASSERT_TRUE(reader.Next());
      ASSERT_TRUE(reader.Convert(frame.data(), w * 3, w, h));
      EXPECT_EQ(MaxDifference(frame.data(), reference.data() + n * bytes, bytes), 0) << "frame " << n;
    }
  }
}

TEST_F(VideoFrames, TheDisplayMatrixTurnsFramesUpright) {
  const std::string sources[] = {
      Make("plain.mp4", kPattern + "-frames:v 3 -c:v libx264 -pix_fmt yuv420p"),
      Make("deep.mp4", kPattern + "-frames:v 3 -c:v libx264 -qp 0 -pix_fmt yuv420p10le"),
      Make("wide.mp4", kPattern + "-frames:v 3 -c:v libx264 -qp 0 -pix_fmt yuv422p"),  // turned as BGR
  };
  for (const std::string& source : sources) {
    for (const int degrees : {90, 180, 270}) {
      const std::string turned = Path("turned" + std::to_string(degrees) + ".mp4");
      const std::string cmd =
          "ffmpeg -v error -y -i " + source + " -c copy -metadata:s:v:0 rotate=" + std::to_string(degrees) + " " + turned;
      ASSERT_EQ(std::system(cmd.c_str()), 0);
      SCOPED_TRACE(source + " turned " + std::to_string(degrees));
      const std::vector<std::uint8_t> reference = Reference(turned);
      VideoReader reader;
      ASSERT_TRUE(reader.Open(turned)) << reader.Error();
      const bool sideways = degrees != 180;
      EXPECT_EQ(reader.Info().width, sideways ? 120 : 160);
      EXPECT_EQ(reader.Info().height, sideways ? 160 : 120);
      const int w = reader.Info().width, h = reader.Info().height;
      const std::size_t bytes = static_cast<std::size_t>(w) * h * 3;
      ASSERT_EQ(reference.size(), 3 * bytes);
      std::vector<std::uint8_t> frame(bytes);
      ASSERT_TRUE(reader.Seek(2));
      ASSERT_TRUE(reader.Next());
      ASSERT_TRUE(reader.Convert(frame.data(), w * 3, w, h));
      EXPECT_EQ(MaxDifference(frame.data(), reference.data() + 2 * bytes, bytes), 0);
      // Scaled, the turned picture is what gets scaled, as the tool's
      // area scaling does it.
      std::vector<std::uint8_t> half(bytes / 4);
      ASSERT_TRUE(reader.Convert(half.data(), w / 2 * 3, w / 2, h / 2));
      const std::vector<std::uint8_t> scaled =
          Reference(turned, "scale=" + std::to_string(w / 2) + ":" + std::to_string(h / 2) + ":flags=area");
      ASSERT_EQ(scaled.size(), 3 * half.size());
      EXPECT_EQ(MaxDifference(half.data(), scaled.data() + 2 * half.size(), half.size()), 0);
    }
  }
}

TEST_F(VideoFrames, AConversionNeverWritesOutsideItsRows) {
  // 120 pixels wide: the converter's vector code writes whole blocks of 16.
  const std::string path = Make("narrow.mp4", "-f lavfi -i testsrc=size=120x90:rate=25 -frames:v 1 -c:v libx264 -pix_fmt yuv420p");
  VideoReader reader;
  ASSERT_TRUE(reader.Open(path)) << reader.Error();
  ASSERT_TRUE(reader.Next());
  constexpr std::uint8_t kGuard = 0xA5;
  constexpr int kStride = 120 * 3 + 40;  // a gap after every row
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(kStride) * 90 + 64, kGuard);
  ASSERT_TRUE(reader.Convert(memory.data(), kStride, 120, 90));
  for (int y = 0; y < 90; ++y) {
    for (int i = 120 * 3; i < kStride; ++i) {
      ASSERT_EQ(memory[static_cast<std::size_t>(y * kStride + i)], kGuard) << "row " << y << " byte " << i;
    }
  }
  for (std::size_t i = static_cast<std::size_t>(kStride) * 90; i < memory.size(); ++i) ASSERT_EQ(memory[i], kGuard);
  // Bottom-up into a bank-like block: nothing below the first row in memory
  // or past the top row's end.
  std::fill(memory.begin(), memory.end(), kGuard);
  ASSERT_TRUE(reader.Convert(memory.data() + 89 * kStride, -kStride, 120, 90));
  for (int y = 0; y < 90; ++y) {
    for (int i = 120 * 3; i < kStride; ++i) ASSERT_EQ(memory[static_cast<std::size_t>(y * kStride + i)], kGuard);
  }
}

TEST_F(VideoFrames, GifRecordingsKeepTheirColours) {
  const int w = 64, h = 48;
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(w) * h * 3, 224);
  std::vector<std::uint8_t> few(grey.size());     // 200 colours: kept exactly
  std::vector<std::uint8_t> smooth(grey.size());  // a gradient of thousands
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &few[static_cast<std::size_t>((y * w + x) * 3)];
      const int c = (y * w + x) % 200;
      p[0] = static_cast<std::uint8_t>(c);
      p[1] = static_cast<std::uint8_t>(255 - c);
      p[2] = static_cast<std::uint8_t>((c * 7) % 256);
      std::uint8_t* q = &smooth[static_cast<std::size_t>((y * w + x) * 3)];
      q[0] = static_cast<std::uint8_t>(x * 4);
      q[1] = static_cast<std::uint8_t>(y * 5);
      q[2] = static_cast<std::uint8_t>(128 + (x - y));
    }
  }
  VideoWriter writer;
  const std::string out = Path("colours.gif");
  ASSERT_TRUE(writer.Open(out, w, h, 10)) << writer.Error();
  for (const auto* picture : {&grey, &few, &smooth}) ASSERT_TRUE(writer.Add(picture->data(), w * 3)) << writer.Error();
  ASSERT_TRUE(writer.Finish()) << writer.Error();
  const std::vector<std::uint8_t> back = Reference(out);
  const std::size_t bytes = grey.size();
  ASSERT_EQ(back.size(), 3 * bytes);
  EXPECT_EQ(MaxDifference(back.data(), grey.data(), bytes), 0) << "grey 224 stays grey 224";
  EXPECT_EQ(MaxDifference(back.data() + bytes, few.data(), bytes), 0);
  double error = 0;
  for (std::size_t i = 0; i < bytes; ++i) error += std::abs(int{back[2 * bytes + i]} - int{smooth[i]});
  EXPECT_LT(error / static_cast<double>(bytes), 3.0);
  EXPECT_LE(MaxDifference(back.data() + 2 * bytes, smooth.data(), bytes), 16);
}

TEST(Palette, FewColoursAreKeptExactlyAndManyReducedToTheNearest) {
  const int w = 40, h = 30;
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(w) * h * 3);
  for (std::size_t i = 0; i < picture.size(); i += 3) {  // 256 colours exactly
    const std::size_t n = i / 3 % 256;
    picture[i] = static_cast<std::uint8_t>(n);
    picture[i + 1] = static_cast<std::uint8_t>(n * 3);
    picture[i + 2] = static_cast<std::uint8_t>(255 - n);
  }
  std::vector<std::uint8_t> indexes(static_cast<std::size_t>(w) * h);
  Palette palette{};
  // Bottom-up with a negative stride, as the banks hold their rows.
  QuantizePicture(picture.data() + (h - 1) * w * 3, -w * 3, w, h, indexes.data(), w, palette);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = &picture[static_cast<std::size_t>(((h - 1 - y) * w + x) * 3)];
      const std::uint32_t entry = palette[indexes[static_cast<std::size_t>(y * w + x)]];
      ASSERT_EQ(entry >> 24, 0xFFu) << "opaque";
      ASSERT_EQ(entry & 0xFFFFFFu, (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0]) << x << "," << y;
    }
  }
  // One more colour than a palette holds: every pixel takes a colour close
  // to its own, and the picture's extremes survive.
  picture[0] = 7;
  picture[1] = 7;
  picture[2] = 7;
  QuantizePicture(picture.data(), w * 3, w, h, indexes.data(), w, palette);
  double error = 0;
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    const std::uint32_t entry = palette[indexes[i]];
    error += std::abs(int((entry >> 16) & 0xFF) - int{picture[i * 3 + 2]}) +
             std::abs(int((entry >> 8) & 0xFF) - int{picture[i * 3 + 1]}) + std::abs(int(entry & 0xFF) - int{picture[i * 3]});
  }
  EXPECT_LT(error / static_cast<double>(indexes.size()), 12.0);
}

TEST(FrameTurn, TheDisplayMatrixAngleGivesClockwiseQuarterTurns) {
  // av_display_rotation_get's angle is counter-clockwise: a phone held
  // upright records 90 or -90.
  EXPECT_EQ(QuarterTurnsFor(0), 0);
  EXPECT_EQ(QuarterTurnsFor(-90), 1);
  EXPECT_EQ(QuarterTurnsFor(90), 3);
  EXPECT_EQ(QuarterTurnsFor(180), 2);
  EXPECT_EQ(QuarterTurnsFor(-180), 2);
  EXPECT_EQ(QuarterTurnsFor(-89.6), 1);  // rounded to whole degrees first
  EXPECT_EQ(QuarterTurnsFor(270), 1);
  EXPECT_EQ(QuarterTurnsFor(-0.4), 0);
  EXPECT_EQ(QuarterTurnsFor(45), 0);     // other angles are not turned
  EXPECT_EQ(QuarterTurnsFor(-88), 0);
  EXPECT_EQ(QuarterTurnsFor(std::nan("")), 0);
}

TEST(FrameTurn, PlanesTurnPixelsOfAnySize) {
  // A plane 3 pixels wide and 2 high, 2 bytes a pixel (a 10-bit plane):
  //   a b c
  //   d e f
  const std::uint8_t plane[] = {'a', 1, 'b', 1, 'c', 1, 0, 0,  // 2 bytes of padding
                                'd', 2, 'e', 2, 'f', 2, 0, 0};
  const auto turned = [&](int turns, int out_width) {
    std::vector<std::uint8_t> out(12);
    TurnPlane(plane, 8, 3, 2, 2, turns, out.data(), out_width * 2);
    std::string letters;
    for (std::size_t i = 0; i < out.size(); i += 2) letters += static_cast<char>(out[i]);
    return letters;
  };
  EXPECT_EQ(turned(0, 3), "abcdef");
  EXPECT_EQ(turned(1, 2), "daebfc");  // clockwise: the left column on top, read upward
  EXPECT_EQ(turned(2, 3), "fedcba");
  EXPECT_EQ(turned(3, 2), "cfbead");  // counter-clockwise: the right column on top
  std::vector<std::uint8_t> out(12);
  TurnPlane(plane, 8, 3, 2, 2, 1, out.data(), 4);
  EXPECT_EQ(out[1], 2) << "a pixel's bytes move together";
  EXPECT_EQ(out[3], 1);
}

}  // namespace
}  // namespace vx::camera
