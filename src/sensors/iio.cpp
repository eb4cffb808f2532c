#include "sensors/iio.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
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

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

// A number read from a sysfs file.
enum class FileNumber { kAbsent, kRead, kBroken };

// kAbsent when the file is not there; kBroken with `error` naming the file
// when it is there but holds no finite number (or cannot be read).
FileNumber ReadNumber(const fs::path& file, double* out, std::string* error) {
  if (!Exists(file)) return FileNumber::kAbsent;
  const std::string name = file.filename().string();
  std::ifstream in(file);
  std::string text(kValueBytesMax + 1, '\0');
  if (in) in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (!in && !in.eof()) {
    *error = name + ": cannot be read";
    return FileNumber::kBroken;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.pop_back();
  if (text.empty() || text.size() > kValueBytesMax) {
    *error = name + ": not a number";
    return FileNumber::kBroken;
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || std::isnan(v)) {
    *error = name + ": not a number";
    return FileNumber::kBroken;
  }
  if (errno == ERANGE || std::isinf(v)) {
    *error = name + ": out of range";
    return FileNumber::kBroken;
  }
  *out = v;
  return FileNumber::kRead;
}

// The first of `files` that exists gives the value; a broken one fails
// rather than falling back (a wrong scale would give a wrong reading).
// `fallback` when none exists.
bool ReadFirstNumber(std::initializer_list<fs::path> files, double fallback, double* out,
                     std::string* error) {
  for (const fs::path& file : files) {
    switch (ReadNumber(file, out, error)) {
      case FileNumber::kRead: return true;
      case FileNumber::kBroken: return false;
      case FileNumber::kAbsent: break;
    }
  }
  *out = fallback;
  return true;
}

// The channel names a device uses for one axis: "in_accel_x" and the
// "in_illuminance" / "in_illuminance0" forms of single channels; the first
// is the one a missing axis is reported by.
std::vector<std::string> ChannelNames(const KindInfo& k, int axis) {
  if (k.axes == 3) return {std::string(k.channel) + std::string(kAxes[static_cast<std::size_t>(axis)])};
  return {std::string(k.channel), std::string(k.channel) + "0"};
}

std::optional<std::string> ChannelBase(const fs::path& dir, const KindInfo& k, int axis) {
  for (const std::string& base : ChannelNames(k, axis)) {
    if (Exists(dir / (base + "_raw")) || Exists(dir / (base + "_input"))) return base;
  }
  return std::nullopt;
}

bool HasKind(const fs::path& dir, const KindInfo& k) { return ChannelBase(dir, k, 0).has_value(); }

// (raw + offset) * scale, or the processed value when the driver gives one.
// An axis without its files, and a file of the channel that holds no
// number, fail with the file named.
bool ReadChannel(const fs::path& dir, const KindInfo& k, int axis, double* out, std::string* error) {
  const std::optional<std::string> base = ChannelBase(dir, k, axis);
  if (!base) {
    *error = ChannelNames(k, axis).front() + "_raw: missing";
    return false;
  }
  double value = 0;
  switch (ReadNumber(dir / (*base + "_input"), &value, error)) {
    case FileNumber::kRead: *out = value * k.unit; return true;
    case FileNumber::kBroken: return false;
    case FileNumber::kAbsent: break;
  }
  switch (ReadNumber(dir / (*base + "_raw"), &value, error)) {
    case FileNumber::kRead: break;
    case FileNumber::kBroken: return false;
    case FileNumber::kAbsent: *error = *base + "_raw: missing"; return false;
  }
  const std::string shared(k.channel);
  double scale = 1.0;
  double offset = 0.0;
  if (!ReadFirstNumber({dir / (*base + "_scale"), dir / (shared + "_scale")}, 1.0, &scale, error) ||
      !ReadFirstNumber({dir / (*base + "_offset"), dir / (shared + "_offset")}, 0.0, &offset, error)) {
    return false;
  }
  *out = (value + offset) * scale * k.unit;
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
