#include "sensors/iio.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace vx::sensors {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultRoot = "/sys/bus/iio/devices";
constexpr const char* kRootVariable = "VEXMORA_IIO_ROOT";
constexpr std::string_view kDevicePrefix = "iio:device";
constexpr std::size_t kValueBytesMax = 63;  // a number in a sysfs file
constexpr double kMicroteslaPerGauss = 100.0;

struct KindInfo {
  SensorKind kind;
  std::string_view word;     // the script's name
  std::string_view channel;  // the sysfs channel type
  int axes;
  double unit;               // multiplies the scaled value into the reported unit
};

constexpr std::array<KindInfo, 4> kKinds{{
    {SensorKind::kAccel, "accel", "in_accel", 3, 1.0},
    {SensorKind::kGyro, "gyro", "in_anglvel", 3, 1.0},
    {SensorKind::kMagnet, "magnet", "in_magn", 3, kMicroteslaPerGauss},
    {SensorKind::kLight, "light", "in_illuminance", 1, 1.0},
}};
constexpr std::array<std::string_view, 3> kAxes{"_x", "_y", "_z"};

const KindInfo& Info(SensorKind kind) {
  return *std::find_if(kKinds.begin(), kKinds.end(), [&](const KindInfo& k) { return k.kind == kind; });
}

// A number read from a sysfs file; nullopt when missing or not a number.
std::optional<double> ReadNumber(const fs::path& file, std::string* error) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::string text(kValueBytesMax + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) {
    *error = file.filename().string() + ": read failed";
    return std::nullopt;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.pop_back();
  if (text.empty() || text.size() > kValueBytesMax) {
    *error = file.filename().string() + ": not a number";
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(v)) {
    *error = file.filename().string() + ": not a number";
    return std::nullopt;
  }
  return v;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

// The channel names a device uses for one axis: "in_accel_x" and the
// "in_illuminance" / "in_illuminance0" forms of single channels.
std::optional<std::string> ChannelBase(const fs::path& dir, const KindInfo& k, int axis) {
  std::vector<std::string> bases;
  if (k.axes == 3) {
    bases.push_back(std::string(k.channel) + std::string(kAxes[static_cast<std::size_t>(axis)]));
  } else {
    bases.push_back(std::string(k.channel));
    bases.push_back(std::string(k.channel) + "0");
  }
  for (const std::string& base : bases) {
    if (Exists(dir / (base + "_raw")) || Exists(dir / (base + "_input"))) return base;
  }
  return std::nullopt;
}

bool HasKind(const fs::path& dir, const KindInfo& k) { return ChannelBase(dir, k, 0).has_value(); }

// (raw + offset) * scale, or the processed value when the driver gives one.
bool ReadChannel(const fs::path& dir, const KindInfo& k, int axis, double* out, std::string* error) {
  const std::optional<std::string> base = ChannelBase(dir, k, axis);
  if (!base) {
    *error = "channel missing";
    return false;
  }
  if (std::optional<double> processed = ReadNumber(dir / (*base + "_input"), error)) {
    *out = *processed * k.unit;
    return true;
  }
  const std::optional<double> raw = ReadNumber(dir / (*base + "_raw"), error);
  if (!raw) {
    if (error->empty()) *error = *base + "_raw: cannot read";
    return false;
  }
  const std::string shared(k.channel);
  std::string ignored;
  double scale = 1.0;
  if (auto s = ReadNumber(dir / (*base + "_scale"), &ignored)) scale = *s;
  else if (auto s2 = ReadNumber(dir / (shared + "_scale"), &ignored)) scale = *s2;
  double offset = 0.0;
  if (auto o = ReadNumber(dir / (*base + "_offset"), &ignored)) offset = *o;
  else if (auto o2 = ReadNumber(dir / (shared + "_offset"), &ignored)) offset = *o2;
  *out = (*raw + offset) * scale * k.unit;
  return true;
}

std::string DeviceName(const fs::path& dir) {
  std::ifstream in(dir / "name");
  std::string name;
  std::getline(in, name);
  return name;
}

// The device folders, iio:device2 before iio:device10.
std::vector<fs::path> Devices(const std::string& root) {
  std::vector<std::pair<long, fs::path>> found;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, kDevicePrefix.size(), kDevicePrefix) != 0) continue;
    const std::string digits = name.substr(kDevicePrefix.size());
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit) || digits.size() > 9) continue;
    found.emplace_back(std::strtol(digits.c_str(), nullptr, 10), it->path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool ParseKind(std::string_view word, SensorKind* kind) {
  for (const KindInfo& k : kKinds) {
    if (SameWord(word, k.word)) {
      *kind = k.kind;
      return true;
    }
  }
  return false;
}

std::string_view KindName(SensorKind kind) { return Info(kind).word; }

std::string IioRoot() {
  const char* env = std::getenv(kRootVariable);
  return env != nullptr && *env != '\0' ? env : kDefaultRoot;
}

std::vector<SensorEntry> ListSensors(const std::string& root) {
  std::vector<SensorEntry> sensors;
  for (const fs::path& dir : Devices(root)) {
    for (const KindInfo& k : kKinds) {
      if (HasKind(dir, k)) sensors.push_back(SensorEntry{k.kind, dir.filename().string(), DeviceName(dir)});
    }
  }
  return sensors;
}

bool ReadSensor(const std::string& root, SensorKind kind, int index, Reading* out, std::string* error) {
  const KindInfo& k = Info(kind);
  int seen = 0;
  for (const fs::path& dir : Devices(root)) {
    if (!HasKind(dir, k) || seen++ != index) continue;
    Reading r;
    r.axes = k.axes;
    r.device = dir.filename().string();
    r.name = DeviceName(dir);
    for (int axis = 0; axis < k.axes; ++axis) {
      std::string why;
      if (!ReadChannel(dir, k, axis, &r.values[static_cast<std::size_t>(axis)], &why)) {
        *error = r.device + ": " + why;
        return false;
      }
    }
    *out = std::move(r);
    return true;
  }
  *error = "no " + std::string(k.word) + " sensor";
  return false;
}

}  // namespace vx::sensors
