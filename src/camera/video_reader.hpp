#pragma once
// Reads a video file frame by frame through FFmpeg and converts each frame
// to 24-bit blue-green-red pixels at any size (the drawing banks' layout,
// top-down or bottom-up by the sign of the row stride).
#include <cstddef>
#include <cstdint>
#include <string>

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
  int width = 0;
  int height = 0;
  std::int64_t frames = 0;  // 0 when the file does not say
  double fps = 0;           // frames per second; 0 when unknown
  double duration = 0;      // seconds; 0 when unknown
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
  // Positions the reader so that Next gives frame `number` (from 0).
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
  bool Receive();  // one frame out of the decoder; sets number_ and time_
  void NoteFrame();

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int stream_ = -1;
  double time_base_ = 0;   // seconds per stream time-stamp unit
  std::int64_t start_ = 0; // time stamp of the stream's start
  VideoInfo info_;
  std::int64_t number_ = -1;
  std::int64_t next_number_ = 0;
  double time_ = 0;
  bool has_frame_ = false;
  bool draining_ = false;
  std::string error_;
};

}  // namespace vx::camera
