#pragma once
// Reads a video file frame by frame through FFmpeg and converts each frame
// to 24-bit blue-green-red pixels at any size (the drawing banks' layout,
// top-down or bottom-up by the sign of the row stride).
//
// Frames are shown as the ffmpeg tool shows them: turned upright by the
// display matrix of the stream (phone videos), and converted with the
// colour matrix and range the stream declares, with the same filtering.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace vx::camera {

// Frames wider or taller than this are refused (a damaged header can claim
// any size).
inline constexpr int VIDEO_DIMENSION_MAX = 8192;

struct VideoInfo {
  int width = 0;            // as shown: the sides swapped for a quarter turn
  int height = 0;
  std::int64_t frames = 0;  // as the file records it, else length x rate; 0 when unknown
  double fps = 0;           // frames per second; 0 when unknown
  double duration = 0;      // seconds; 0 when unknown
  int quarter_turns = 0;    // clockwise turns that show the frames upright
};

// The settings a scaling context was made for; a frame that needs others
// gets a new context.
struct ScaleKey {
  int src_width = 0, src_height = 0, src_format = -1;
  int dst_width = 0, dst_height = 0, dst_format = -1, flags = 0;
  int colour_space = -1, colour_range = -1;
  bool operator==(const ScaleKey&) const = default;
};

class VideoReader {
 public:
  VideoReader() = default;
  ~VideoReader();
  VideoReader(const VideoReader&) = delete;
  VideoReader& operator=(const VideoReader&) = delete;

  // Opens the file (a system path): true, or false with Error() saying why.
  // A reader that was open is closed first.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return format_ != nullptr; }
  const VideoInfo& Info() const { return info_; }

  // Decodes the next frame: false at the end of the file (Error() empty) or
  // when the file cannot be read on (Error() says why).
  bool Next();
  // Positions the reader so that Next gives frame `number` (from 0): the
  // frame shown at `number` / fps seconds, found by its presentation time.
  // Past the last frame, Next reports the end.
  bool Seek(std::int64_t number);

  // The number (from 0) and time in seconds of the frame Next gave last.
  std::int64_t FrameNumber() const { return number_; }
  double FrameTime() const { return time_; }
  bool HasFrame() const { return has_frame_; }

  // Writes the last frame scaled to `width` x `height` pixels of 3 bytes
  // (blue, green, red) at `top_row`, rows `stride` bytes apart (negative
  // for rows stored bottom-up). False when there is no frame.
  bool Convert(std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height);

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& why);
  bool Receive();  // one frame out of the decoder; sets pts_, number_ and time_
  void NoteFrame();
  // Where a seek starts decoding: the key frame at or before a time, the
  // file's start by its time stamp, or its first byte.
  enum class SeekFrom { kKeyFrame, kStart, kFirstByte };
  // Repositions the demuxer at stream time `at` (or the first byte) and
  // empties the decoder.
  bool SeekFile(std::int64_t at, SeekFrom from);
  // The frame to convert: the decoded one, turned upright when it must be
  // (for showing at its own size or scaled: see Upright).
  const AVFrame* Upright(bool own_size);

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* turned_ = nullptr;  // frame_ turned upright (or its BGR picture, turned)
  AVFrame* staged_ = nullptr;  // frame_ as BGR, for pictures that cannot be turned as they are
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;  // to the size asked for
  SwsContext* stager_ = nullptr;  // to BGR at the frame's own size, before turning
  ScaleKey scaler_key_;
  ScaleKey stager_key_;
  std::vector<std::uint8_t> scratch_;  // converted rows, with room to spare
  int stream_ = -1;
  double time_base_ = 0;   // seconds per stream time-stamp unit
  std::int64_t start_ = 0; // time stamp of the stream's start
  double tick_ = 0;        // time stamp units a frame lasts; 0 when the rate is unknown
  VideoInfo info_;
  std::int64_t pts_ = 0;   // presentation time of the frame last decoded; NO_TIME when unknown
  std::int64_t number_ = -1;
  std::int64_t next_number_ = 0;
  double time_ = 0;
  bool has_frame_ = false;
  bool pending_ = false;     // Seek decoded the frame the next Next gives
  bool turned_valid_ = false;
  bool turned_for_own_size_ = false;
  bool need_key_ = false;    // after a seek: packets before the first key frame are dropped
  bool draining_ = false;
  std::string error_;
};

}  // namespace vx::camera
