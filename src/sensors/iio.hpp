#pragma once
// Motion, light and field sensors of the Linux Industrial I/O subsystem,
// read from its sysfs tree: each device is a folder (iio:device0...) whose
// channel files hold raw readings, scales and offsets. The tree's root is
// /sys/bus/iio/devices, or VEXMORA_IIO_ROOT.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vx::sensors {

enum class SensorKind { kAccel, kGyro, kMagnet, kLight };

struct Reading {
  int axes = 0;                  // 3, or 1 for light
  std::array<double, 3> values{};  // m/s², rad/s, µT or lux
  std::string device;            // the folder, e.g. "iio:device0"
  std::string name;              // the driver's name for it
};

struct SensorEntry {
  SensorKind kind;
  std::string device;
  std::string name;
};

// The kind a script names ("accel", "gyro", "magnet", "light", any ASCII
// case); false for other words.
bool ParseKind(std::string_view word, SensorKind* kind);
std::string_view KindName(SensorKind kind);

// The root of the sysfs tree to read.
std::string IioRoot();

// Every sensor under `root`, devices in the order of their numbers, kinds
// in the order of SensorKind.
std::vector<SensorEntry> ListSensors(const std::string& root);

// Reads the `index`-th sensor (from 0) of `kind` under `root`. False with
// `error` when there is none or it cannot be read.
bool ReadSensor(const std::string& root, SensorKind kind, int index, Reading* out, std::string* error);

}  // namespace vx::sensors
