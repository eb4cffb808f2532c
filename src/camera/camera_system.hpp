#pragma once
// The camera, video-file and sensor family's state: one camera with its
// capture thread, the rectangle of a bank that shows its frames, the video
// file being read and the one being written. It lives in the Runtime, made
// on first use, and is touched only on the window thread, except for the
// hand-over of frames (guarded by `mutex`) and the counters.
//
// The capture thread waits on the device, keeps the newest frame and posts
// one kCameraFrame notice at a time to the inbox; it never runs script code
// and never touches the banks. A frame that arrives while the previous
// notice is still unhandled replaces that frame and counts as dropped.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "camera/camera_source.hpp"
#include "camera/video_reader.hpp"
#include "camera/video_writer.hpp"

namespace vx {
struct Runtime;
namespace graphics {
class Vram;
}
namespace host {
class Inbox;
struct Message;
}  // namespace host
}  // namespace vx

namespace vx::camera {

// The label that runs for every camera frame, and once more when the
// camera ends.
inline constexpr std::string_view FRAME_LABEL = "VIDEO_FRAME";
inline constexpr int CAMERA_DIMENSION_MAX = 4096;
inline constexpr int CAMERA_FPS_MAX = 240;

enum CameraState : std::int32_t {
  CAMERA_CLOSED = 0,
  CAMERA_RUNNING = 1,
  CAMERA_ENDED = 2,  // the file is over or the device went away
};

// Where camera frames are drawn: a rectangle of a bank.
struct FrameTarget {
  int bank = -1;
  int x = 0;
  int y = 0;
  int width = 0;  // 0: the frame's own size
  int height = 0;
};

class Capture {
 public:
  Capture(std::unique_ptr<CameraSource> source, host::Inbox& inbox, std::int32_t generation);
  ~Capture();  // stops and joins the thread
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  CameraSource& Source() { return *source_; }
  // Moves the newest frame into `out` when one came since the last take.
  bool TakeFrame(Frame& out);
  // The newest frame (copied), whether taken before or not.
  bool CopyLatest(Frame& out);
  void NoticeHandled() { notice_pending_ = false; }
  // True once the end notice is queued: a run kept alive by the camera may
  // stop waiting for frames.
  bool Ended() const { return ended_; }
  // True once the source has ended and its reason is known, before the end
  // notice is queued, so that a label run by that notice sees the end.
  bool Finished() const { return finished_; }
  std::string EndReason();
  std::int64_t Received() const { return received_; }
  std::int64_t Dropped() const { return dropped_; }

 private:
  void Run();
  void Post(std::int32_t value);

  std::unique_ptr<CameraSource> source_;
  host::Inbox& inbox_;
  std::int32_t generation_;
  std::mutex mutex_;
  Frame latest_;
  Frame incoming_;
  bool fresh_ = false;
  std::string end_reason_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> notice_pending_{false};
  std::atomic<std::int64_t> received_{0};
  std::atomic<std::int64_t> dropped_{0};
  std::thread thread_;
};

struct CameraSystem {
  CameraRequest request;            // SetVideoPrm
  std::unique_ptr<Capture> capture; // the open camera; null: none
  std::int32_t generation = 0;      // notices of an older camera are ignored
  FrameTarget target;               // CrtVideoWin
  bool has_target = false;
  bool drawing = false;             // frames go into the target
  std::int64_t drawn = 0;           // frames drawn into a bank
  Frame frame;                      // the window thread's copy of the newest frame
  std::string last_error;

  VideoReader reader;  // VideoFile reading
  VideoWriter writer;  // VideoFile recording
  std::vector<std::uint8_t> uniform_frame;  // a frame of a bank of one colour, for the writer
};

// The Runtime's camera state, made on first use.
CameraSystem& System(Runtime& rt);

// Opens the camera at `address` (see ParseCameraAddress) and starts its
// capture thread, closing one that was open. False with `error`.
bool OpenCamera(Runtime& rt, const CameraAddress& address, std::string* error);
void CloseCamera(Runtime& rt);
// What a reload and the end of the program release: the camera, the video
// file being read; a recording is finished so that its frames are kept.
void Release(Runtime& rt);
// Whether a running camera could still run the frame label (a headless run
// waits for it).
bool Active(const Runtime& rt);

// A kCameraFrame notice, on the window thread: draws the frame into the
// target and runs the frame label (lost when the engine is busy).
void HandleFrameMessage(Runtime& rt, const host::Message& m);

// The size a picture is drawn at for `target`: the size asked for, else
// the picture's own, reduced with its proportions kept when it is larger
// than a bank.
void DrawnSize(const FrameTarget& target, int picture_width, int picture_height, int* w, int* h);

// Copies `width` x `height` pixels (top-down rows `stride` bytes apart)
// into bank `bank` with their top left corner at (x, y), cut to the
// drawing clip, and marks the rectangle dirty. False when the bank does
// not exist.
bool PutPicture(graphics::Vram& vram, int bank, int x, int y, const std::uint8_t* pixels, int width,
                int height, std::size_t stride);
// The same for a frame scaled to `width` x `height` (nearest pixel).
bool PutFrame(graphics::Vram& vram, int bank, int x, int y, const Frame& frame, int width, int height);

}  // namespace vx::camera
