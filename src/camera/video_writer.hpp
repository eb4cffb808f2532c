#pragma once
// Writes pictures of 24-bit blue-green-red pixels as a video file through
// FFmpeg. The container follows the file name's extension (.mp4, .avi,
// .mkv, .mov...). The file is written beside its final name and takes that
// name only when it is complete, so a failed or abandoned recording never
// replaces a file that was there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace vx::camera {

inline constexpr int VIDEO_FPS_MAX = 240;
inline constexpr int VIDEO_WRITE_DIMENSION_MIN = 16;

class VideoWriter {
 public:
  VideoWriter() = default;
  ~VideoWriter();  // finishes an open file
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // Starts a file of `width` x `height` frames (an odd size is cut to the
  // even size below it) at `fps` frames per second. False with Error().
  // The file is written beside `path` and takes its name at Finish, so a
  // file already there stays until then. `shown` names it in the notice of
  // a failed write (UTF-8, as the user wrote it; default `path`).
  bool Open(const std::string& path, int width, int height, int fps, std::string_view shown = {});
  bool IsOpen() const { return format_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Adds one frame read from `top_row`, rows `stride` bytes apart
  // (negative for rows stored bottom-up).
  bool Add(const std::uint8_t* top_row, std::ptrdiff_t stride);
  // Writes what the encoder holds and the file's index, and gives the file
  // its name. False with Error() when that failed (the file is removed).
  bool Finish();
  // Stops without keeping the file.
  void Abandon();

  std::int64_t Frames() const { return frames_; }
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& why);
  bool FileFailed(int code);  // an FFmpeg error code of writing the file
  bool Encode();  // frame_ as the next frame
  bool Drain();  // every packet the encoder has ready goes into the file
  void Free();

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::int64_t frames_ = 0;
  std::string path_;
  std::string part_path_;
  std::string shown_;
  std::string error_;
};

}  // namespace vx::camera
