// Sensors read from a fake IIO sysfs tree laid out as the kernel lays it out.
#include "sensors/iio.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>

namespace vx::sensors {
namespace {

namespace fs = std::filesystem;

class FakeIio : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vx_iio_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Put(const std::string& device, const std::string& file, const std::string& text) {
    fs::create_directories(root_ / device);
    std::ofstream(root_ / device / file) << text << "\n";
  }
  std::string Root() const { return root_.string(); }

  fs::path root_;
};

TEST_F(FakeIio, AccelerometerAppliesSharedScaleAndPerAxisOffset) {
  Put("iio:device0", "name", "accel_3d");
  Put("iio:device0", "in_accel_x_raw", "100");
  Put("iio:device0", "in_accel_y_raw", "-50");
  Put("iio:device0", "in_accel_z_raw", "1000");
  Put("iio:device0", "in_accel_scale", "0.009806650");
  Put("iio:device0", "in_accel_z_offset", "-2");
  Reading r;
  std::string error;
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error)) << error;
  EXPECT_EQ(r.axes, 3);
  EXPECT_NEAR(r.values[0], 0.980665, 1e-9);
  EXPECT_NEAR(r.values[1], -0.4903325, 1e-9);
  EXPECT_NEAR(r.values[2], 998 * 0.00980665, 1e-9);
  EXPECT_EQ(r.name, "accel_3d");
  EXPECT_EQ(r.device, "iio:device0");
}

TEST_F(FakeIio, GyroPerAxisScaleMagnetInMicroteslaLightProcessed) {
  Put("iio:device1", "name", "gyro_3d");
  for (const char* axis : {"x", "y", "z"}) Put("iio:device1", std::string("in_anglvel_") + axis + "_raw", "10");
  Put("iio:device1", "in_anglvel_scale", "0.5");
  Put("iio:device1", "in_anglvel_y_scale", "0.25");  // the axis's own scale wins
  Put("iio:device2", "in_magn_x_raw", "1");
  Put("iio:device2", "in_magn_y_raw", "2");
  Put("iio:device2", "in_magn_z_raw", "3");
  Put("iio:device2", "in_magn_scale", "0.001");  // gauss
  Put("iio:device3", "in_illuminance_input", "123.5");
  Put("iio:device3", "in_illuminance_raw", "9999");  // the processed value is preferred
  Reading r;
  std::string error;
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kGyro, 0, &r, &error)) << error;
  EXPECT_DOUBLE_EQ(r.values[0], 5.0);
  EXPECT_DOUBLE_EQ(r.values[1], 2.5);
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kMagnet, 0, &r, &error)) << error;
  EXPECT_NEAR(r.values[2], 0.3, 1e-12);  // 0.003 G = 0.3 µT
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kLight, 0, &r, &error)) << error;
  EXPECT_EQ(r.axes, 1);
  EXPECT_DOUBLE_EQ(r.values[0], 123.5);
}

TEST_F(FakeIio, DevicesInNumericOrderAndIndexedByKind) {
  Put("iio:device10", "name", "ten");
  Put("iio:device10", "in_illuminance0_raw", "10");
  Put("iio:device2", "name", "two");
  Put("iio:device2", "in_illuminance_raw", "2");
  Put("iio:device2", "in_illuminance_scale", "1.5");
  Put("trigger0", "name", "not a device");
  Put("iio:deviceX", "in_illuminance_raw", "7");
  Reading r;
  std::string error;
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kLight, 0, &r, &error)) << error;
  EXPECT_EQ(r.name, "two");
  EXPECT_DOUBLE_EQ(r.values[0], 3.0);
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kLight, 1, &r, &error)) << error;
  EXPECT_EQ(r.name, "ten");
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kLight, 2, &r, &error));
  EXPECT_EQ(error, "no light sensor");

  const std::vector<SensorEntry> list = ListSensors(Root());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].device, "iio:device2");
  EXPECT_EQ(list[1].device, "iio:device10");
}

TEST_F(FakeIio, MissingAndUnreadableSensorsAreErrors) {
  Reading r;
  std::string error;
  EXPECT_FALSE(ReadSensor((root_ / "absent").string(), SensorKind::kAccel, 0, &r, &error));
  EXPECT_EQ(error, "no accel sensor");
  EXPECT_TRUE(ListSensors((root_ / "absent").string()).empty());

  Put("iio:device0", "in_accel_x_raw", "12abc");
  Put("iio:device0", "in_accel_y_raw", "1");
  Put("iio:device0", "in_accel_z_raw", "1");
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error));
  EXPECT_NE(error.find("in_accel_x_raw: not a number"), std::string::npos) << error;

  Put("iio:device0", "in_accel_x_raw", "");
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error));

  Put("iio:device0", "in_accel_x_raw", std::string(500, '7'));  // longer than any number
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error));

  fs::remove(root_ / "iio:device0" / "in_accel_z_raw");  // an axis missing
  Put("iio:device0", "in_accel_x_raw", "1");
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error));
  EXPECT_EQ(error, "iio:device0: in_accel_z_raw: missing");
}

// A scale, offset or processed value that is there but no number fails the
// reading and names the device and the file; it is never taken as 1 or 0.
TEST_F(FakeIio, BrokenScaleOffsetAndInputFilesAreErrors) {
  // An accelerometer with good raw files and the given others.
  const auto accel = [&](std::initializer_list<std::pair<std::string, std::string>> files) {
    fs::remove_all(root_);
    Put("iio:device0", "in_accel_x_raw", "1");
    Put("iio:device0", "in_accel_y_raw", "2");
    Put("iio:device0", "in_accel_z_raw", "3");
    for (const auto& [file, text] : files) Put("iio:device0", file, text);
    Reading r;
    std::string error;
    return ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error) ? "read" : error;
  };
  EXPECT_EQ(accel({{"in_accel_scale", "abc"}}), "iio:device0: in_accel_scale: not a number");
  EXPECT_EQ(accel({{"in_accel_offset", "1e999"}}), "iio:device0: in_accel_offset: out of range");
  EXPECT_EQ(accel({{"in_accel_offset", "-inf"}}), "iio:device0: in_accel_offset: out of range");
  EXPECT_EQ(accel({{"in_accel_z_offset", ""}}), "iio:device0: in_accel_z_offset: not a number");
  EXPECT_EQ(accel({{"in_accel_x_input", "nan"}}), "iio:device0: in_accel_x_input: not a number");
  // A broken axis file is not passed over for a good shared one.
  EXPECT_EQ(accel({{"in_accel_scale", "0.5"}, {"in_accel_y_scale", "0.5x"}}),
            "iio:device0: in_accel_y_scale: not a number");
  EXPECT_EQ(accel({{"in_accel_offset", "1"}, {"in_accel_x_offset", "?"}}),
            "iio:device0: in_accel_x_offset: not a number");
  EXPECT_EQ(accel({{"in_accel_scale", "0.5"}, {"in_accel_offset", "-1"}}), "read");

  fs::remove_all(root_);
  Put("iio:device4", "in_illuminance_raw", "10");
  Put("iio:device4", "in_illuminance_offset", "x5");
  Reading r;
  std::string error;
  EXPECT_FALSE(ReadSensor(Root(), SensorKind::kLight, 0, &r, &error));
  EXPECT_EQ(error, "iio:device4: in_illuminance_offset: not a number");
  Put("iio:device4", "in_illuminance_offset", "5");
  Put("iio:device4", "in_illuminance_scale", "2");
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kLight, 0, &r, &error)) << error;
  EXPECT_DOUBLE_EQ(r.values[0], 30.0);
}

TEST_F(FakeIio, AxisFilesWinOverSharedOnesAndDefaultsApplyWhenAbsent) {
  Put("iio:device0", "in_accel_x_raw", "10");
  Put("iio:device0", "in_accel_y_raw", "10");
  Put("iio:device0", "in_accel_z_raw", "10");
  Put("iio:device0", "in_accel_offset", "1");
  Put("iio:device0", "in_accel_y_offset", "-10");
  Put("iio:device0", "in_accel_z_scale", "3");
  Reading r;
  std::string error;
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error)) << error;
  EXPECT_DOUBLE_EQ(r.values[0], 11.0);  // shared offset, no scale: 1
  EXPECT_DOUBLE_EQ(r.values[1], 0.0);   // its own offset
  EXPECT_DOUBLE_EQ(r.values[2], 33.0);  // its own scale, the shared offset
  Put("iio:device0", "in_accel_z_input", "7.5");  // the processed value wins
  ASSERT_TRUE(ReadSensor(Root(), SensorKind::kAccel, 0, &r, &error)) << error;
  EXPECT_DOUBLE_EQ(r.values[2], 7.5);
}

TEST(SensorKinds, ScriptWordsInAnyCase) {
  SensorKind k;
  ASSERT_TRUE(ParseKind("ACCEL", &k));
  EXPECT_EQ(k, SensorKind::kAccel);
  ASSERT_TRUE(ParseKind("Light", &k));
  EXPECT_EQ(k, SensorKind::kLight);
  EXPECT_FALSE(ParseKind("accelerometer", &k));
  EXPECT_FALSE(ParseKind("", &k));
}

}  // namespace
}  // namespace vx::sensors
