// The file camera: a video file played at its own frame rate, frame by
// frame, as a camera would deliver them. It plays once; at the end the
// camera reports that it ended, as a camera that was unplugged would.
#include <algorithm>
#include <chrono>
#include <thread>

#include "camera/camera_source.hpp"
#include "camera/video_reader.hpp"

namespace vx::camera {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFallbackFps = 30;

class FileCamera final : public CameraSource {
 public:
  bool Open(const std::string& path, const CameraRequest& request, std::string* error) {
    path_ = path;
    if (!reader_.Open(path)) {
      *error = path + ": " + reader_.Error();
      return false;
    }
    const VideoInfo& info = reader_.Info();
    width_ = request.width > 0 ? request.width : info.width;
    height_ = request.height > 0 ? request.height : info.height;
    fps_ = request.fps > 0 ? request.fps : (info.fps > 0 ? info.fps : kFallbackFps);
    return true;
  }

  std::string Name() const override { return path_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  double Fps() const override { return fps_; }

  CaptureResult Capture(Frame& out, int wait_ms) override {
    if (ended_) return CaptureResult::kEnded;
    const Clock::time_point now = Clock::now();
    if (count_ == 0) start_ = now;
    const auto due = start_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(static_cast<double>(count_) / fps_));
    if (now < due) {
      const auto wait = std::min<Clock::duration>(due - now, std::chrono::milliseconds(wait_ms));
      std::this_thread::sleep_for(wait);
      if (Clock::now() < due) return CaptureResult::kNone;
    }
    if (!reader_.Next()) {
      ended_ = true;
      error_ = reader_.Error().empty() ? "end of video" : reader_.Error();
      return CaptureResult::kEnded;
    }
    out.Resize(width_, height_);
    reader_.Convert(out.pixels.data(), static_cast<std::ptrdiff_t>(out.Stride()), width_, height_);
    out.number = count_++;
    return CaptureResult::kFrame;
  }

  bool GetControl(std::string_view, ControlInfo*) override { return false; }
  bool SetControl(std::string_view, std::int32_t) override { return false; }
  std::string Error() const override { return error_; }

 private:
  VideoReader reader_;
  std::string path_;
  std::string error_;
  int width_ = 0;
  int height_ = 0;
  double fps_ = kFallbackFps;
  std::int64_t count_ = 0;
  Clock::time_point start_;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<CameraSource> OpenFileCamera(const std::string& path, const CameraRequest& request,
                                             std::string* error) {
  auto camera = std::make_unique<FileCamera>();
  if (!camera->Open(path, request, error)) return nullptr;
  return camera;
}

}  // namespace vx::camera
