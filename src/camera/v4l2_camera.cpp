// V4L2 cameras through libv4l2, which converts whatever the device sends
// (YUYV, MJPEG and the rest) to 24-bit blue-green-red frames. The library
// is opened when a camera is first opened. Frames come through memory-
// mapped streaming buffers; the capture thread polls with a time-out so
// that it can be stopped.
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "camera/camera_source.hpp"
#include "platform/shared_library.hpp"

namespace vx::camera {
namespace {

constexpr const char* kV4l2Library = "libv4l2.so.0";
constexpr int kBufferCount = 4;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kFrameDimensionMax = 8192;

struct V4l2Api {
  decltype(&::v4l2_open) v4l2_open = nullptr;
  decltype(&::v4l2_close) v4l2_close = nullptr;
  decltype(&::v4l2_ioctl) v4l2_ioctl = nullptr;
  decltype(&::v4l2_mmap) v4l2_mmap = nullptr;
  decltype(&::v4l2_munmap) v4l2_munmap = nullptr;
};

const V4l2Api* V4l2(std::string* error) {
  static V4l2Api api;
  static std::string load_error;
  static const bool loaded = [] {
    platform::SharedLibrary& library = platform::SharedLibrary::Resident(kV4l2Library);
    bool ok = library.Loaded() && library.Bind("v4l2_open", &api.v4l2_open) &&
              library.Bind("v4l2_close", &api.v4l2_close) && library.Bind("v4l2_ioctl", &api.v4l2_ioctl) &&
              library.Bind("v4l2_mmap", &api.v4l2_mmap) && library.Bind("v4l2_munmap", &api.v4l2_munmap);
    if (!ok) load_error = std::string(kV4l2Library) + ": " + library.Error();
    return ok;
  }();
  if (!loaded) *error = load_error;
  return loaded ? &api : nullptr;
}

struct ControlName {
  std::string_view name;
  std::uint32_t id;
};

constexpr std::array<ControlName, 15> kControls{{
    {"brightness", V4L2_CID_BRIGHTNESS},
    {"contrast", V4L2_CID_CONTRAST},
    {"saturation", V4L2_CID_SATURATION},
    {"hue", V4L2_CID_HUE},
    {"gamma", V4L2_CID_GAMMA},
    {"gain", V4L2_CID_GAIN},
    {"sharpness", V4L2_CID_SHARPNESS},
    {"backlight", V4L2_CID_BACKLIGHT_COMPENSATION},
    {"power_line", V4L2_CID_POWER_LINE_FREQUENCY},
    {"white_balance", V4L2_CID_WHITE_BALANCE_TEMPERATURE},
    {"white_balance_auto", V4L2_CID_AUTO_WHITE_BALANCE},
    {"exposure", V4L2_CID_EXPOSURE_ABSOLUTE},
    {"exposure_auto", V4L2_CID_EXPOSURE_AUTO},
    {"focus", V4L2_CID_FOCUS_ABSOLUTE},
    {"focus_auto", V4L2_CID_FOCUS_AUTO},
}};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

std::uint32_t ControlId(std::string_view name) {
  for (const ControlName& c : kControls) {
    if (SameName(c.name, name)) return c.id;
  }
  return 0;
}

class V4l2Camera final : public CameraSource {
 public:
  explicit V4l2Camera(const V4l2Api& api) : api_(api) {}
  ~V4l2Camera() override { Close(); }

  bool Open(const std::string& device, const CameraRequest& request, std::string* error) {
    device_ = device;
    fd_ = api_.v4l2_open(device.c_str(), O_RDWR | O_NONBLOCK);
    if (fd_ < 0) return Fail(error, std::strerror(errno));
    v4l2_capability cap{};
    if (Ioctl(VIDIOC_QUERYCAP, &cap) < 0) return Fail(error, "not a video device");
    const std::uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap.device_caps : cap.capabilities;
    if ((caps & V4L2_CAP_VIDEO_CAPTURE) == 0) return Fail(error, "not a capture device");
    if ((caps & V4L2_CAP_STREAMING) == 0) return Fail(error, "the device cannot stream");
    name_.assign(reinterpret_cast<const char*>(cap.card), strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
    return SetFormat(request, error) && StartStreaming(error);
  }

  std::string Name() const override { return name_.empty() ? device_ : name_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  double Fps() const override { return fps_; }

  CaptureResult Capture(Frame& out, int wait_ms) override {
    if (fd_ < 0) return CaptureResult::kEnded;
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, wait_ms);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return CaptureResult::kNone;
    if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return Ended("the device went away");
    v4l2_buffer buf{};
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(VIDIOC_DQBUF, &buf) < 0) {
      if (errno == EAGAIN || errno == EINTR) return CaptureResult::kNone;
      return Ended(std::strerror(errno));
    }
    CaptureResult result = CaptureResult::kNone;
    const std::size_t need = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3;
    if (buf.index < buffers_.size() && buf.bytesused >= need && (buf.flags & V4L2_BUF_FLAG_ERROR) == 0) {
      out.Resize(width_, height_);
      const auto* src = static_cast<const std::uint8_t*>(buffers_[buf.index].start);
      for (int y = 0; y < height_; ++y) {
        std::memcpy(out.pixels.data() + y * out.Stride(), src + static_cast<std::size_t>(y) * stride_, out.Stride());
      }
      out.number = count_++;
      result = CaptureResult::kFrame;
    }
    if (Ioctl(VIDIOC_QBUF, &buf) < 0) return Ended(std::strerror(errno));
    return result;
  }

  bool GetControl(std::string_view name, ControlInfo* out) override {
    v4l2_queryctrl query{};
    query.id = ControlId(name);
    if (query.id == 0 || Ioctl(VIDIOC_QUERYCTRL, &query) < 0 ||
        (query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
      return false;
    }
    v4l2_control control{query.id, 0};
    if (Ioctl(VIDIOC_G_CTRL, &control) < 0) return false;
    *out = ControlInfo{control.value, query.minimum, query.maximum, query.default_value};
    return true;
  }

  bool SetControl(std::string_view name, std::int32_t value) override {
    ControlInfo info;
    if (!GetControl(name, &info) || value < info.minimum || value > info.maximum) return false;
    v4l2_control control{ControlId(name), value};
    return Ioctl(VIDIOC_S_CTRL, &control) >= 0;
  }

  std::string Error() const override { return error_; }

 private:
  struct Buffer {
    void* start = nullptr;
    std::size_t length = 0;
  };

  int Ioctl(unsigned long request, void* arg) {
    int r;
    do {
      r = api_.v4l2_ioctl(fd_, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
  }

  bool Fail(std::string* error, const std::string& why) {
    *error = device_ + ": " + why;
    Close();
    return false;
  }

  CaptureResult Ended(const std::string& why) {
    error_ = why;
    return CaptureResult::kEnded;
  }

  bool SetFormat(const CameraRequest& request, std::string* error) {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = static_cast<std::uint32_t>(request.width > 0 ? request.width : kDefaultWidth);
    format.fmt.pix.height = static_cast<std::uint32_t>(request.height > 0 ? request.height : kDefaultHeight);
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;  // converted by libv4l2 when the device sends another
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (Ioctl(VIDIOC_S_FMT, &format) < 0) return Fail(error, "format refused");
    if (format.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24) return Fail(error, "no convertible picture format");
    width_ = static_cast<int>(format.fmt.pix.width);
    height_ = static_cast<int>(format.fmt.pix.height);
    stride_ = std::max<std::size_t>(format.fmt.pix.bytesperline, static_cast<std::size_t>(width_) * 3);
    if (width_ <= 0 || height_ <= 0 || width_ > kFrameDimensionMax || height_ > kFrameDimensionMax) {
      return Fail(error, "bad frame size");
    }
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (request.fps > 0) {
      parm.parm.capture.timeperframe = v4l2_fract{1, static_cast<std::uint32_t>(request.fps)};
      Ioctl(VIDIOC_S_PARM, &parm);  // a camera with a fixed rate keeps its own
    }
    if (Ioctl(VIDIOC_G_PARM, &parm) == 0 && parm.parm.capture.timeperframe.numerator > 0) {
      fps_ = static_cast<double>(parm.parm.capture.timeperframe.denominator) /
             parm.parm.capture.timeperframe.numerator;
    }
    return true;
  }

  bool StartStreaming(std::string* error) {
    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(VIDIOC_REQBUFS, &req) < 0 || req.count == 0) return Fail(error, "no capture buffers");
    for (std::uint32_t i = 0; i < req.count; ++i) {
      v4l2_buffer buf{};
      buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      buf.memory = V4L2_MEMORY_MMAP;
      buf.index = i;
      if (Ioctl(VIDIOC_QUERYBUF, &buf) < 0) return Fail(error, "no capture buffers");
      void* start = api_.v4l2_mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buf.m.offset);
      if (start == MAP_FAILED) return Fail(error, "cannot map capture buffers");
      buffers_.push_back(Buffer{start, buf.length});
      if (Ioctl(VIDIOC_QBUF, &buf) < 0) return Fail(error, "cannot queue capture buffers");
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(VIDIOC_STREAMON, &type) < 0) return Fail(error, std::strerror(errno));
    streaming_ = true;
    return true;
  }

  void Close() {
    if (fd_ < 0) return;
    if (streaming_) {
      v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      Ioctl(VIDIOC_STREAMOFF, &type);
      streaming_ = false;
    }
    for (const Buffer& b : buffers_) api_.v4l2_munmap(b.start, b.length);
    buffers_.clear();
    api_.v4l2_close(fd_);
    fd_ = -1;
  }

  const V4l2Api& api_;
  std::string device_;
  std::string name_;
  std::string error_;
  int fd_ = -1;
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  double fps_ = 0;
  bool streaming_ = false;
  std::vector<Buffer> buffers_;
  std::int64_t count_ = 0;
};

}  // namespace

const std::vector<std::string_view>& ControlNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> v;
    for (const ControlName& c : kControls) v.push_back(c.name);
    return v;
  }();
  return names;
}

bool KnownControl(std::string_view name) { return ControlId(name) != 0; }

std::unique_ptr<CameraSource> OpenV4l2Camera(const std::string& device, const CameraRequest& request,
                                             std::string* error) {
  const V4l2Api* api = V4l2(error);
  if (api == nullptr) return nullptr;
  auto camera = std::make_unique<V4l2Camera>(*api);
  if (!camera->Open(device, request, error)) return nullptr;
  return camera;
}

}  // namespace vx::camera
