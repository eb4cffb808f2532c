#pragma once
// A source of camera frames: a V4L2 device, or a video file played at its
// own frame rate as if it were a camera. A source is used by one capture
// thread; its controls may be used from the window thread meanwhile.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx::camera {

// One picture: 3 bytes a pixel (blue, green, red), rows top-down and
// width * 3 bytes apart.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  std::int64_t number = 0;  // counted from 0 since the camera opened

  void Resize(int w, int h) {
    width = w;
    height = h;
    pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
  }
  std::size_t Stride() const { return static_cast<std::size_t>(width) * 3; }
};

// What a camera is asked for; 0 leaves the choice to the camera.
struct CameraRequest {
  int width = 0;
  int height = 0;
  int fps = 0;
};

struct ControlInfo {
  std::int32_t value = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t fallback = 0;  // the device's default
};

enum class CaptureResult { kFrame, kNone, kEnded };

class CameraSource {
 public:
  virtual ~CameraSource() = default;
  // The device's or the file's name, for GetVideoInfo.
  virtual std::string Name() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual double Fps() const = 0;
  // Waits at most about `wait_ms` for the next frame and puts it in `out`.
  // kEnded: the file is over or the device went away (Error() says why).
  virtual CaptureResult Capture(Frame& out, int wait_ms) = 0;
  // Controls by name (ControlNames); false when the camera has no such one.
  virtual bool GetControl(std::string_view name, ControlInfo* out) = 0;
  // False when the camera lacks the control or refuses the value.
  virtual bool SetControl(std::string_view name, std::int32_t value) = 0;
  virtual std::string Error() const = 0;
};

// The control names CameraCtrl knows, in the order the documentation gives.
const std::vector<std::string_view>& ControlNames();
bool KnownControl(std::string_view name);  // any ASCII case

// Where a camera is: "file:PATH", "v4l2:DEVICE" or a device path.
struct CameraAddress {
  bool file = false;
  std::string path;  // system path
};
// The camera named by `text`; empty `text` takes VEXMORA_CAMERA, then
// /dev/video0. A bare number n is /dev/video<n>.
CameraAddress ParseCameraAddress(std::string_view text);

// Opening; null with `error` set when the camera cannot be used.
std::unique_ptr<CameraSource> OpenFileCamera(const std::string& path, const CameraRequest& request,
                                             std::string* error);
std::unique_ptr<CameraSource> OpenV4l2Camera(const std::string& device, const CameraRequest& request,
                                             std::string* error);
std::unique_ptr<CameraSource> OpenCamera(const CameraAddress& address, const CameraRequest& request,
                                         std::string* error);

// V4L2 capture devices present now, in the order of their numbers
// (/dev/video0 first): device paths. Nodes that only carry metadata are
// left out.
std::vector<std::string> ListCaptureDevices();
// The USB serial number of a video device ("video2"), read from the
// sysfs tree at `sys_class` (normally /sys/class/video4linux); empty when
// it has none.
std::string UsbSerial(const std::string& sys_class, std::string_view node);
// The card name the driver gives the device, or empty.
std::string DeviceName(const std::string& device);

}  // namespace vx::camera
