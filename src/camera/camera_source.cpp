#include "camera/camera_source.hpp"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vx::camera {
namespace {

constexpr std::string_view kFilePrefix = "file:";
constexpr std::string_view kV4l2Prefix = "v4l2:";
constexpr const char* kDefaultDevice = "/dev/video0";
constexpr const char* kCameraVariable = "VEXMORA_CAMERA";
constexpr std::string_view kVideoNode = "video";
constexpr int kVideoNodeMax = 256;

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// RAII for a plain descriptor.
struct Descriptor {
  explicit Descriptor(int d) : fd(d) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

bool QueryCapture(const std::string& device, v4l2_capability* cap) {
  Descriptor d(::open(device.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (d.fd < 0) return false;
  *cap = v4l2_capability{};
  if (::ioctl(d.fd, VIDIOC_QUERYCAP, cap) < 0) return false;
  const std::uint32_t caps = (cap->capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap->device_caps : cap->capabilities;
  return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) line.pop_back();
  return line;
}

}  // namespace

CameraAddress ParseCameraAddress(std::string_view text) {
  std::string chosen(text);
  if (chosen.empty()) {
    const char* env = std::getenv(kCameraVariable);
    chosen = env != nullptr && *env != '\0' ? env : kDefaultDevice;
  }
  std::string_view view(chosen);
  if (view.substr(0, kFilePrefix.size()) == kFilePrefix) {
    return CameraAddress{true, std::string(view.substr(kFilePrefix.size()))};
  }
  if (view.substr(0, kV4l2Prefix.size()) == kV4l2Prefix) view.remove_prefix(kV4l2Prefix.size());
  if (AllDigits(view)) return CameraAddress{false, "/dev/video" + std::string(view)};
  return CameraAddress{false, std::string(view)};
}

std::unique_ptr<CameraSource> OpenCamera(const CameraAddress& address, const CameraRequest& request,
                                         std::string* error) {
  if (address.path.empty()) {
    *error = "no camera named";
    return nullptr;
  }
  return address.file ? OpenFileCamera(address.path, request, error)
                      : OpenV4l2Camera(address.path, request, error);
}

std::vector<std::string> ListCaptureDevices() {
  std::vector<std::string> devices;
  for (int n = 0; n < kVideoNodeMax; ++n) {
    const std::string device = "/dev/video" + std::to_string(n);
    if (::access(device.c_str(), F_OK) != 0) continue;
    v4l2_capability cap{};
    if (QueryCapture(device, &cap)) devices.push_back(device);
  }
  return devices;
}

std::string DeviceName(const std::string& device) {
  v4l2_capability cap{};
  if (!QueryCapture(device, &cap)) return {};
  const auto* card = reinterpret_cast<const char*>(cap.card);
  return std::string(card, strnlen(card, sizeof cap.card));
}

std::string UsbSerial(const std::string& sys_class, std::string_view node) {
  if (node.substr(0, kVideoNode.size()) != kVideoNode || !AllDigits(node.substr(kVideoNode.size()))) return {};
  std::error_code ec;
  // device is the USB interface; the serial number is on the USB device above it.
  const std::filesystem::path interface =
      std::filesystem::canonical(std::filesystem::path(sys_class) / node / "device", ec);
  if (ec) return {};
  for (std::filesystem::path dir = interface; dir.has_relative_path(); dir = dir.parent_path()) {
    if (std::filesystem::exists(dir / "serial", ec)) return FirstLine(dir / "serial");
    if (std::filesystem::exists(dir / "idVendor", ec)) break;  // the USB device itself has none
  }
  return {};
}

}  // namespace vx::camera
