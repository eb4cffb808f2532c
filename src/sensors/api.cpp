// Sensors: SensorCmd reads the machine's accelerometer, gyroscope,
// magnetometer and light sensor (Linux IIO devices, sensors/iio.hpp).
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "sensors/iio.hpp"

namespace vx::api {
namespace {

// G_ERROR 0 with no reason left over from an earlier failure.
void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

constexpr std::string_view kListWord = "list";
constexpr std::string_view kLineEnd = "\r\n";
constexpr int kKindLengthMax = 16;

bool IsList(std::string_view word) {
  if (word.size() != kListWord.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((word[i] | 0x20) != kListWord[i]) return false;
  }
  return true;
}

// G_WORK1 the number of sensors, G_TXT one "KIND DEVICE NAME" line each.
void ListSensors(Call& call) {
  std::string& text = call.Large(0);
  const std::vector<sensors::SensorEntry> found = sensors::ListSensors(sensors::IioRoot());
  for (const sensors::SensorEntry& s : found) {
    text.append(sensors::KindName(s.kind)).append(" ").append(s.device);
    if (!s.name.empty()) text.append(" ").append(s.name);
    text.append(kLineEnd);
  }
  call.SetWork(1, static_cast<std::int32_t>(found.size()));
  call.SetTxt(text);
  Succeed(call);
}

// SensorCmd KIND[, index]: KIND "accel" (m/s²), "gyro" (rad/s), "magnet"
// (µT) give x, y, z in G_DBLWK1 to G_DBLWK3; "light" gives lux in
// G_DBLWK1; "list" lists the sensors. G_TXT the device's name. G_ERROR 1
// with G_ERR_TXT when there is no such sensor or it cannot be read.
void SensorCmd(Call& call) {
  std::string& word = call.Small(0);
  if (!call.String(0, word)) return;
  const std::int32_t index = call.OptInt(1, 0);
  if (call.rt().error.Raised()) return;
  if (IsList(word)) {
    ListSensors(call);
    return;
  }
  sensors::SensorKind kind;
  if (word.size() > kKindLengthMax || !sensors::ParseKind(word, &kind)) {
    call.SetErrText("unknown sensor kind");
    call.SetError(1);
    return;
  }
  sensors::Reading reading;
  std::string error;
  if (index < 0 || !sensors::ReadSensor(sensors::IioRoot(), kind, index, &reading, &error)) {
    call.SetErrText(index < 0 ? "no such sensor" : error);
    call.SetError(1);
    return;
  }
  for (int axis = 0; axis < reading.axes; ++axis) call.SetDblWork(axis + 1, reading.values[static_cast<std::size_t>(axis)]);
  call.SetTxt(reading.name.empty() ? reading.device : reading.name);
  Succeed(call);
}

constexpr Registration kSensorApis[] = {
    {Id("SensorCmd"), SensorCmd},
};

}  // namespace

void RegisterSensorApis(Registry& registry) { registry.AddAll(kSensorApis); }

}  // namespace vx::api
