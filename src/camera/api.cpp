// Cameras and video files: VideoInit, SetVideoPrm, CrtVideoWin,
// DtryVideoWin, VideoVramOff, VideoCapture, GetVideoInfo, GetVideoStat,
// CameraCtrl, VideoDlg, VideoFile, MtuCamera and MtuCameraBySerial.
//
// One camera is open at a time. Its frames arrive on a capture thread and
// reach the window thread through the inbox (camera/camera_system.hpp): the
// window thread never waits on the device. Failures leave G_ERROR 1 and say
// why in G_ERR_TXT.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "camera/camera_system.hpp"
#include "engine/dialogs.hpp"
#include "engine/runtime.hpp"
#include "graphics/vram.hpp"
#include "platform/files.hpp"
#include "text/encoding.hpp"

namespace vx::api {
namespace {

using camera::CameraSystem;

constexpr std::string_view kVideoDialogCaption = "Camera";
constexpr std::string_view kSysClassVideo = "/sys/class/video4linux";
constexpr int kControlLengthMax = 64;

// VideoFile modes.
enum VideoFileMode : std::int32_t {
  FILE_OPEN = 0,
  FILE_READ = 1,
  FILE_SEEK = 2,
  FILE_CLOSE = 3,
  FILE_CREATE = 4,
  FILE_WRITE = 5,
  FILE_FINISH = 6,
};

CameraSystem& Cam(Call& call) { return camera::System(call.rt()); }

void Failed(Call& call, const std::string& why) {
  call.SetErrText(files::FromSystemName(why));
  call.SetError(1);
}

// G_ERROR 0, and no reason left over from a call that failed before.
void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

// A bank argument: an existing bank or a negative number (the current one).
bool BankArg(Call& call, std::int32_t bank) {
  if (bank < 0 || call.rt().vram.Exists(bank)) return true;
  Failed(call, "no such bank");
  return false;
}

// The open camera, or null with G_ERROR 1.
camera::Capture* OpenCapture(Call& call) {
  CameraSystem& c = Cam(call);
  if (c.capture) return c.capture.get();
  Failed(call, "no camera open");
  return nullptr;
}

// G_WORK1 width, G_WORK2 height, G_DBLWK1 frame rate, G_TXT name.
void CameraResults(Call& call, camera::CameraSource& source) {
  call.SetWork(1, source.Width());
  call.SetWork(2, source.Height());
  call.SetDblWork(1, source.Fps());
  call.SetTxt(files::FromSystemName(source.Name()));
}

void Open(Call& call, const camera::CameraAddress& address) {
  std::string error;
  if (!camera::OpenCamera(call.rt(), address, &error)) {
    Failed(call, error);
    return;
  }
  CameraResults(call, Cam(call).capture->Source());
  Succeed(call);
}

// VideoInit [CAMERA]: opens a camera ("file:PATH", "v4l2:DEVICE", a device
// path or number; none: VEXMORA_CAMERA, else /dev/video0) and starts it.
void VideoInit(Call& call) {
  std::string& text = call.Small(0);
  call.OptString(0, text);
  camera::CameraAddress address = camera::ParseCameraAddress(text);
  if (!text.empty() && address.file) address.path = files::ToSystemPath(address.path);
  Open(call, address);
}

// SetVideoPrm width, height[, fps]: the size and rate asked of cameras
// opened later; 0 leaves the choice to the camera.
void SetVideoPrm(Call& call) {
  const std::int32_t width = call.Int(0);
  const std::int32_t height = call.Int(1);
  const std::int32_t fps = call.OptInt(2, 0);
  if (call.rt().error.Raised()) return;
  const auto bad_size = [](std::int32_t v) { return v != 0 && (v < 16 || v > camera::CAMERA_DIMENSION_MAX); };
  if (bad_size(width) || bad_size(height) || fps < 0 || fps > camera::CAMERA_FPS_MAX) {
    Failed(call, "bad video parameter");
    return;
  }
  Cam(call).request = camera::CameraRequest{width, height, fps};
  Succeed(call);
}

// The rectangle arguments from n on: bank, x, y[, width, height].
bool TargetArgs(Call& call, int n, camera::FrameTarget* t) {
  t->bank = call.Int(n);
  t->x = call.Int(n + 1);
  t->y = call.Int(n + 2);
  t->width = call.OptInt(n + 3, 0);
  t->height = call.OptInt(n + 4, 0);
  if (call.rt().error.Raised() || !BankArg(call, t->bank)) return false;
  if (t->width < 0 || t->height < 0 || t->width > graphics::VRAM_WIDTH || t->height > graphics::VRAM_HEIGHT) {
    Failed(call, "bad size");
    return false;
  }
  return true;
}

// CrtVideoWin bank, x, y[, width, height]: every frame of the camera is
// drawn there from now on (scaled when a size is given).
void CrtVideoWin(Call& call) {
  camera::FrameTarget target;
  if (!TargetArgs(call, 0, &target) || OpenCapture(call) == nullptr) return;
  CameraSystem& c = Cam(call);
  c.target = target;
  c.has_target = true;
  c.drawing = true;
  Succeed(call);
}

// DtryVideoWin: stops the camera and closes it.
void DtryVideoWin(Call& call) {
  camera::CloseCamera(call.rt());
  Succeed(call);
}

// VideoVramOff [off]: 1 (the default) stops drawing frames into the bank,
// 0 starts again; the camera goes on.
void VideoVramOff(Call& call) {
  const std::int32_t off = call.OptInt(0, 1);
  if (call.rt().error.Raised()) return;
  CameraSystem& c = Cam(call);
  if (off == 0 && (!c.capture || !c.has_target)) {
    Failed(call, c.capture ? "no video window" : "no camera open");
    return;
  }
  c.drawing = off == 0;
  Succeed(call);
}

// VideoCapture bank, x, y[, width, height]: the newest frame into the bank
// now. G_WORK1 its number; G_ERROR 1 before the first frame has come.
void VideoCapture(Call& call) {
  camera::FrameTarget t;
  if (!TargetArgs(call, 0, &t)) return;
  camera::Capture* capture = OpenCapture(call);
  if (capture == nullptr) return;
  camera::Frame& frame = Cam(call).frame;
  if (!capture->CopyLatest(frame)) {
    call.SetWork(1, -1);
    Failed(call, "no frame yet");
    return;
  }
  int w = 0;
  int h = 0;
  camera::DrawnSize(t, frame.width, frame.height, &w, &h);
  camera::PutFrame(call.rt().vram, t.bank, t.x, t.y, frame, w, h);
  call.SetWork(1, static_cast<std::int32_t>(frame.number));
  Succeed(call);
}

// GetVideoInfo: G_WORK1 width, G_WORK2 height, G_DBLWK1 frame rate, G_TXT
// the camera's name.
void GetVideoInfo(Call& call) {
  camera::Capture* capture = OpenCapture(call);
  if (capture == nullptr) return;
  CameraResults(call, capture->Source());
  Succeed(call);
}

std::int32_t Clamp32(std::int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(v); }

// GetVideoStat: G_WORK1 state (0 closed, 1 running, 2 ended), G_WORK2
// frames received, G_WORK3 frames dropped, G_WORK4 frames drawn; G_TXT why
// the camera ended.
void GetVideoStat(Call& call) {
  CameraSystem& c = Cam(call);
  if (!c.capture) {
    for (int k = 1; k <= 4; ++k) call.SetWork(k, 0);
    Succeed(call);
    return;
  }
  const bool ended = c.capture->Finished();
  call.SetWork(1, ended ? camera::CAMERA_ENDED : camera::CAMERA_RUNNING);
  call.SetWork(2, Clamp32(c.capture->Received()));
  call.SetWork(3, Clamp32(c.capture->Dropped()));
  call.SetWork(4, Clamp32(c.drawn));
  if (ended) call.SetTxt(files::FromSystemName(c.capture->EndReason()));
  Succeed(call);
}

// CameraCtrl NAME[, value]: without a value, G_WORK1 the control's value,
// G_WORK2 its least, G_WORK3 its greatest, G_WORK4 its default; with one,
// sets it. G_ERROR 1 when the camera has no such control or refuses.
void CameraCtrl(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const bool setting = call.Has(1);
  const std::int32_t value = setting ? call.Int(1) : 0;
  if (call.rt().error.Raised()) return;
  if (name.size() > kControlLengthMax || !camera::KnownControl(name)) {
    Failed(call, "unknown camera control");
    return;
  }
  camera::Capture* capture = OpenCapture(call);
  if (capture == nullptr) return;
  camera::ControlInfo info;
  if (!capture->Source().GetControl(name, &info)) {
    Failed(call, "the camera has no such control");
    return;
  }
  if (setting) {
    if (!capture->Source().SetControl(name, value)) {
      Failed(call, "value refused");
      return;
    }
    capture->Source().GetControl(name, &info);
  }
  call.SetWork(1, info.value);
  call.SetWork(2, info.minimum);
  call.SetWork(3, info.maximum);
  call.SetWork(4, info.fallback);
  Succeed(call);
}

// The cameras a person may choose from: the one VEXMORA_CAMERA names first.
std::vector<camera::CameraAddress> Cameras(std::vector<std::string>* labels) {
  std::vector<camera::CameraAddress> cameras;
  const camera::CameraAddress configured = camera::ParseCameraAddress("");
  if (configured.file) {
    cameras.push_back(configured);
    labels->push_back(files::FromSystemName(configured.path));
  }
  for (const std::string& device : camera::ListCaptureDevices()) {
    cameras.push_back(camera::CameraAddress{false, device});
    labels->push_back(files::FromSystemName(device + "  " + camera::DeviceName(device)));
  }
  return cameras;
}

// VideoDlg: lets the user choose a camera from a list and opens it.
// G_ERROR 1 when none is chosen (always, without a window).
void VideoDlg(Call& call) {
  std::vector<std::string> labels;
  const std::vector<camera::CameraAddress> cameras = Cameras(&labels);
  host::DialogHost* dialogs = call.rt().dialogs;
  const int chosen = dialogs != nullptr && !cameras.empty()
                         ? dialogs->ChooseFromList(kVideoDialogCaption, labels, 0)
                         : -1;
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= cameras.size()) {
    Failed(call, cameras.empty() ? "no camera" : "cancelled");
    return;
  }
  Open(call, cameras[static_cast<std::size_t>(chosen)]);
}

// MtuCamera index: opens the index-th camera (from 0) in the order of the
// device numbers; with VEXMORA_CAMERA set, camera 0 is the one it names.
void MtuCamera(Call& call) {
  const std::int32_t index = call.Int(0);
  if (call.rt().error.Raised()) return;
  std::vector<std::string> labels;
  const std::vector<camera::CameraAddress> cameras = Cameras(&labels);
  if (index < 0 || static_cast<std::size_t>(index) >= cameras.size()) {
    Failed(call, "no such camera");
    return;
  }
  Open(call, cameras[static_cast<std::size_t>(index)]);
}

// MtuCameraBySerial SERIAL: opens the USB camera with that serial number.
void MtuCameraBySerial(Call& call) {
  std::string& serial = call.Small(0);
  if (!call.String(0, serial)) return;
  for (const std::string& device : camera::ListCaptureDevices()) {
    const std::string node = device.substr(device.rfind('/') + 1);
    if (!serial.empty() && camera::UsbSerial(std::string(kSysClassVideo), node) == serial) {
      Open(call, camera::CameraAddress{false, device});
      return;
    }
  }
  Failed(call, "no camera with that serial number");
}

// --- VideoFile ----------------------------------------------------------------------

void FileOpen(Call& call) {
  std::string& path = call.Small(0);
  if (!call.String(1, path)) return;
  camera::VideoReader& reader = Cam(call).reader;
  if (!reader.Open(files::ToSystemPath(path))) {
    Failed(call, reader.Error());
    return;
  }
  const camera::VideoInfo& info = reader.Info();
  call.SetWork(1, info.width);
  call.SetWork(2, info.height);
  call.SetWork(3, Clamp32(info.frames));
  call.SetDblWork(1, info.fps);
  call.SetDblWork(2, info.duration);
  Succeed(call);
}

// Decodes the next frame into the rectangle; straight into the bank when
// the rectangle lies inside the drawing clip, else through a frame.
void FileRead(Call& call) {
  camera::FrameTarget t;
  if (!TargetArgs(call, 1, &t)) return;
  CameraSystem& c = Cam(call);
  camera::VideoReader& reader = c.reader;
  if (!reader.IsOpen()) {
    Failed(call, "no video file open");
    return;
  }
  if (!reader.Next()) {
    call.SetWork(1, -1);
    Failed(call, reader.Error().empty() ? "end of video" : reader.Error());
    return;
  }
  int w = 0;
  int h = 0;
  camera::DrawnSize(t, reader.Info().width, reader.Info().height, &w, &h);
  graphics::Vram& vram = call.rt().vram;
  const graphics::PixelRect clip = vram.Clip();
  const bool inside = t.x >= clip.left && t.y >= clip.top && w <= graphics::VRAM_WIDTH &&
                      h <= graphics::VRAM_HEIGHT && t.x + w - 1 <= clip.right && t.y + h - 1 <= clip.bottom;
  if (inside) {
    std::uint8_t* bank = vram.Bank(t.bank);
    if (bank == nullptr) {
      Failed(call, "no such bank");
      return;
    }
    reader.Convert(bank + graphics::PixelOffset(t.x, t.y),
                   -static_cast<std::ptrdiff_t>(graphics::VRAM_ROW_BYTES), w, h);
    vram.MarkDirty(t.x, t.y, w, h);
  } else {
    camera::Frame& frame = c.frame;
    frame.Resize(w, h);
    reader.Convert(frame.pixels.data(), static_cast<std::ptrdiff_t>(frame.Stride()), frame.width, frame.height);
    camera::PutPicture(vram, t.bank, t.x, t.y, frame.pixels.data(), frame.width, frame.height, frame.Stride());
  }
  call.SetWork(1, Clamp32(reader.FrameNumber()));
  call.SetDblWork(1, reader.FrameTime());
  Succeed(call);
}

void FileSeek(Call& call) {
  const std::int32_t frame = call.Int(1);
  if (call.rt().error.Raised()) return;
  camera::VideoReader& reader = Cam(call).reader;
  if (!reader.IsOpen() || frame < 0) {
    Failed(call, reader.IsOpen() ? "bad frame number" : "no video file open");
    return;
  }
  if (!reader.Seek(frame)) {
    Failed(call, reader.Error());
    return;
  }
  Succeed(call);
}

void FileCreate(Call& call) {
  std::string& path = call.Small(0);
  if (!call.String(1, path)) return;
  const std::int32_t width = call.Int(2);
  const std::int32_t height = call.Int(3);
  const std::int32_t fps = call.OptInt(4, 30);
  if (call.rt().error.Raised()) return;
  camera::VideoWriter& writer = Cam(call).writer;
  if (writer.IsOpen()) writer.Finish();
  if (width > graphics::VRAM_WIDTH || height > graphics::VRAM_HEIGHT) {
    Failed(call, "bad frame size");
    return;
  }
  if (!writer.Open(files::ToSystemPath(path), width, height, fps, text::Cp932ToUtf8(path))) {
    Failed(call, writer.Error());
    return;
  }
  call.SetWork(1, writer.Width());
  call.SetWork(2, writer.Height());
  Succeed(call);
}

void FileWrite(Call& call) {
  const std::int32_t bank = call.Int(1);
  const std::int32_t x = call.Int(2);
  const std::int32_t y = call.Int(3);
  if (call.rt().error.Raised() || !BankArg(call, bank)) return;
  camera::VideoWriter& writer = Cam(call).writer;
  if (!writer.IsOpen()) {
    Failed(call, "no video file being written");
    return;
  }
  if (x < 0 || y < 0 || x + writer.Width() > graphics::VRAM_WIDTH || y + writer.Height() > graphics::VRAM_HEIGHT) {
    Failed(call, "the frame lies outside the bank");
    return;
  }
  graphics::BankPixels pixels = call.rt().vram.Pixels(bank);
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = -static_cast<std::ptrdiff_t>(graphics::VRAM_ROW_BYTES);
  if (pixels.memory != nullptr) {
    top = pixels.memory + graphics::PixelOffset(x, y);
  } else {  // a bank of one colour has no rows of its own: a picture of it
    const graphics::Color colour = pixels.At(x, y);
    std::vector<std::uint8_t>& uniform = Cam(call).uniform_frame;
    uniform.resize(static_cast<std::size_t>(writer.Width()) * static_cast<std::size_t>(writer.Height()) * 3);
    for (std::size_t i = 0; i < uniform.size(); i += 3) {
      uniform[i] = colour.b;
      uniform[i + 1] = colour.g;
      uniform[i + 2] = colour.r;
    }
    top = uniform.data();
    stride = static_cast<std::ptrdiff_t>(writer.Width()) * 3;
  }
  if (!writer.Add(top, stride)) {
    Failed(call, writer.Error());
    return;
  }
  call.SetWork(1, Clamp32(writer.Frames()));
  Succeed(call);
}

void FileFinish(Call& call) {
  camera::VideoWriter& writer = Cam(call).writer;
  const std::int64_t frames = writer.Frames();
  if (!writer.IsOpen()) {
    Failed(call, "no video file being written");
    return;
  }
  if (!writer.Finish()) {
    Failed(call, writer.Error());
    return;
  }
  call.SetWork(1, Clamp32(frames));
  Succeed(call);
}

// VideoFile mode, ...: reads (0 open, 1 next frame into a bank, 2 seek,
// 3 close) and writes (4 create, 5 add a frame from a bank, 6 finish)
// video files.
void VideoFile(Call& call) {
  const std::int32_t mode = call.Int(0);
  if (call.rt().error.Raised()) return;
  switch (mode) {
    case FILE_OPEN: FileOpen(call); break;
    case FILE_READ: FileRead(call); break;
    case FILE_SEEK: FileSeek(call); break;
    case FILE_CLOSE:
      Cam(call).reader.Close();
      Succeed(call);
      break;
    case FILE_CREATE: FileCreate(call); break;
    case FILE_WRITE: FileWrite(call); break;
    case FILE_FINISH: FileFinish(call); break;
    default: Failed(call, "bad mode"); break;
  }
}

constexpr Registration kCameraApis[] = {
    {Id("VideoInit"), VideoInit},       {Id("SetVideoPrm"), SetVideoPrm},
    {Id("CrtVideoWin"), CrtVideoWin},   {Id("DtryVideoWin"), DtryVideoWin},
    {Id("VideoVramOff"), VideoVramOff}, {Id("VideoCapture"), VideoCapture},
    {Id("GetVideoInfo"), GetVideoInfo}, {Id("GetVideoStat"), GetVideoStat},
    {Id("CameraCtrl"), CameraCtrl},     {Id("VideoDlg"), VideoDlg},
    {Id("VideoFile"), VideoFile},       {Id("MtuCamera"), MtuCamera},
    {Id("MtuCameraBySerial"), MtuCameraBySerial},
};

}  // namespace

void RegisterCameraApis(Registry& registry) { registry.AddAll(kCameraApis); }

}  // namespace vx::api
