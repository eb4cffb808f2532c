// The camera and video-file family through the dispatcher: the file camera
// feeding frames into a bank through the inbox, the frame counters, the
// video-file modes, and the errors of each.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "api/api_test_support.hpp"
#include "camera/camera_system.hpp"
#include "engine/messages.hpp"
#include "engine/system_variables.hpp"
#include "graphics/vram.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr int kFrames = 6;

class CameraApiTest : public ApiTest {
 protected:
  void SetUp() override {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg not installed";
    Ready();
    clip_ = folder.Path("clip.mkv");
    // Lossless, so that a frame in a bank can be compared with the tool's.
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25 -frames:v 6 -c:v ffv1 " + clip_;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string raw = "ffmpeg -v error -y -i " + clip_ + " -f rawvideo -pix_fmt bgr24 " + folder.Path("ref.raw");
    ASSERT_EQ(std::system(raw.c_str()), 0);
    reference_ = folder.Read("ref.raw");
    ASSERT_EQ(reference_.size(), static_cast<std::size_t>(kWidth * kHeight * 3 * kFrames));
  }
  void TearDown() override { camera::Release(rt); }

  // Hands the camera's notices to the family until `done` or a time-out.
  bool Pump(const std::function<bool()>& done, double seconds = 10.0) {
    return ApiTest::Pump(done, [this](const host::Message& m) {
      EXPECT_EQ(m.kind, host::MessageKind::kCameraFrame);
      camera::HandleFrameMessage(rt, m);
    }, seconds);
  }

  // Largest difference between the bank's rectangle at (x, y) and frame n.
  int BankDifference(int bank, int x, int y, int n) {
    const std::uint8_t* memory = rt.vram.Bank(bank);
    int worst = 0;
    for (int row = 0; row < kHeight; ++row) {
      for (int i = 0; i < kWidth * 3; ++i) {
        const int got = memory[graphics::PixelOffset(x, y + row) + i];
        const int want = static_cast<std::uint8_t>(reference_[static_cast<std::size_t>((n * kHeight + row) * kWidth * 3 + i)]);
        worst = std::max(worst, std::abs(got - want));
      }
    }
    return worst;
  }

  std::string clip_;
  std::string reference_;
  TempFolder folder;
};

TEST_F(CameraApiTest, FileCameraFeedsFramesIntoTheBankUntilItEnds) {
  Call("VideoInit", "\"file:" + clip_ + "\"");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), kWidth);
  EXPECT_EQ(Work(2), kHeight);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK1), 25.0);
  Call("CrtVideoWin", "2, 10, 20");
  ASSERT_EQ(Error(), 0);

  camera::CameraSystem& c = camera::System(rt);
  ASSERT_TRUE(Pump([&] { return c.capture->Ended() && rt.main_window.inbox.Empty(); }));
  Call("GetVideoStat", "");
  EXPECT_EQ(Work(1), camera::CAMERA_ENDED);
  EXPECT_EQ(Work(2), kFrames);
  EXPECT_EQ(Work(2), Work(3) + Work(4)) << "every frame is either drawn or counted as dropped";
  EXPECT_GE(Work(4), 1);
  // The last frame drawn is the last of the file (notices coalesce, the
  // newest frame wins).
  EXPECT_LE(BankDifference(2, 10, 20, kFrames - 1), 2);
  // The newest frame on demand, into another bank, scaled to half.
  Call("VideoCapture", "3, 0, 0");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), kFrames - 1);
  EXPECT_LE(BankDifference(3, 0, 0, kFrames - 1), 2);
  Call("VideoCapture", "4, 0, 0, 48, 32");
  EXPECT_EQ(Error(), 0);
  graphics::BankPixels half = rt.vram.Pixels(4);
  graphics::BankPixels full = rt.vram.Pixels(3);
  EXPECT_EQ(half.At(10, 10), full.At(20, 20));
  EXPECT_EQ(half.At(48, 0), graphics::Color{}) << "nothing drawn beyond the size asked for";
}

TEST_F(CameraApiTest, CamerasThatAreNotThereAndControlsTheyLack) {
  Call("VideoInit", "\"file:" + folder.Path("absent.mp4") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_NE(std::string(rt.program.Resource(sysvar::G_ERR_TXT).Text()).find("absent.mp4"), std::string::npos);
  Call("VideoInit", "\"/dev/no-such-video\"");
  EXPECT_EQ(Error(), 1);
  for (const char* api : {"GetVideoInfo", "CrtVideoWin", "VideoCapture"}) {
    Call(api, std::string(api) == "GetVideoInfo" ? "" : "0, 0, 0");
    EXPECT_EQ(Error(), 1) << api;
  }
  Call("CameraCtrl", "\"brightness\"");
  EXPECT_EQ(Error(), 1);
  Call("VideoVramOff", "0");
  EXPECT_EQ(Error(), 1);
  Call("GetVideoStat", "");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), camera::CAMERA_CLOSED);

  Call("VideoInit", "\"file:" + clip_ + "\"");
  ASSERT_EQ(Error(), 0);
  Call("CameraCtrl", "\"brightness\", 10");
  EXPECT_EQ(Error(), 1) << "a file has no controls";
  Call("CameraCtrl", "\"nonsense\"");
  EXPECT_EQ(Error(), 1);
  Call("CrtVideoWin", "99, 0, 0");
  EXPECT_EQ(Error(), 1) << "no such bank";
  Call("SetVideoPrm", "5, 5");
  EXPECT_EQ(Error(), 1);
  Call("SetVideoPrm", "48, 32, 50");
  EXPECT_EQ(Error(), 0);
  Call("MtuCamera", "-1");
  EXPECT_EQ(Error(), 1);
  Call("MtuCameraBySerial", "\"NO-SUCH-SERIAL\"");
  EXPECT_EQ(Error(), 1);
  Call("VideoDlg", "");
  EXPECT_EQ(Error(), 1) << "nobody to choose without a window";
  Call("DtryVideoWin", "");
  EXPECT_EQ(Error(), 0);
  EXPECT_FALSE(camera::System(rt).capture);
  // The size asked for applies to the next camera.
  Call("VideoInit", "\"file:" + clip_ + "\"");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), 48);
  EXPECT_EQ(Work(2), 32);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK1), 50.0);
}

TEST_F(CameraApiTest, VideoFileReadsFramesIntoBanksAndWritesThemBack) {
  Call("VideoFile", "0, \"" + clip_ + "\"");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), kWidth);
  EXPECT_EQ(Work(2), kHeight);
  EXPECT_EQ(Work(3), kFrames);
  for (int n = 0; n < kFrames; ++n) {
    Call("VideoFile", "1, 1, 5, 7");
    ASSERT_EQ(Error(), 0) << n;
    EXPECT_EQ(Work(1), n);
    EXPECT_LE(BankDifference(1, 5, 7, n), 2) << n;
  }
  Call("VideoFile", "1, 1, 5, 7");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Work(1), -1);
  EXPECT_LE(BankDifference(1, 5, 7, kFrames - 1), 2) << "the end leaves the bank as it was";
  Call("VideoFile", "2, 3");
  ASSERT_EQ(Error(), 0);
  // Partly outside the bank: what lies inside is drawn.
  Call("VideoFile", "1, 2, 2560, 1980");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), 3);
  const std::uint8_t* bank = rt.vram.Bank(2);
  EXPECT_EQ(bank[graphics::PixelOffset(2599, 1999)],
            static_cast<std::uint8_t>(reference_[static_cast<std::size_t>(((3 * kHeight + 19) * kWidth + 39) * 3)]));

  // Frames 0..5 of bank 1 written out, then read back.
  Call("VideoFile", "4, \"" + folder.Path("out.mp4") + "\", 96, 64, 10");
  ASSERT_EQ(Error(), 0);
  for (int n = 0; n < 3; ++n) {
    Call("VideoFile", "5, 1, 5, 7");
    ASSERT_EQ(Error(), 0);
    EXPECT_EQ(Work(1), n + 1);
  }
  Call("VideoFile", "5, 1, 2550, 0");
  EXPECT_EQ(Error(), 1) << "a frame that does not fit in the bank";
  Call("VideoFile", "6");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), 3);
  Call("VideoFile", "0, \"" + folder.Path("out.mp4") + "\"");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), 96);
  EXPECT_EQ(Work(3), 3);
}

TEST_F(CameraApiTest, VideoFileErrors) {
  Call("VideoFile", "1, 1, 0, 0");
  EXPECT_EQ(Error(), 1) << "nothing open";
  Call("VideoFile", "0, \"" + folder.Path("absent.mp4") + "\"");
  EXPECT_EQ(Error(), 1);
  folder.Write("junk.mp4", std::string(4096, '\x47'));
  Call("VideoFile", "0, \"" + folder.Path("junk.mp4") + "\"");
  EXPECT_EQ(Error(), 1);
  Call("VideoFile", "5, 1, 0, 0");
  EXPECT_EQ(Error(), 1) << "nothing being written";
  Call("VideoFile", "6");
  EXPECT_EQ(Error(), 1);
  Call("VideoFile", "4, \"" + folder.Path("big.mp4") + "\", 3000, 64");
  EXPECT_EQ(Error(), 1) << "larger than a bank";
  Call("VideoFile", "9");
  EXPECT_EQ(Error(), 1);
  Call("VideoFile", "2, 0");
  EXPECT_EQ(Error(), 1);
}

TEST(CameraAddress, FormsOfTheName) {
  ::setenv("VEXMORA_CAMERA", "file:/tmp/demo.mp4", 1);
  camera::CameraAddress a = camera::ParseCameraAddress("");
  EXPECT_TRUE(a.file);
  EXPECT_EQ(a.path, "/tmp/demo.mp4");
  ::unsetenv("VEXMORA_CAMERA");
  a = camera::ParseCameraAddress("");
  EXPECT_FALSE(a.file);
  EXPECT_EQ(a.path, "/dev/video0");
  EXPECT_EQ(camera::ParseCameraAddress("2").path, "/dev/video2");
  EXPECT_EQ(camera::ParseCameraAddress("v4l2:/dev/video5").path, "/dev/video5");
  EXPECT_EQ(camera::ParseCameraAddress("v4l2:1").path, "/dev/video1");
  EXPECT_EQ(camera::ParseCameraAddress("/dev/v4l/by-id/cam").path, "/dev/v4l/by-id/cam");
}

TEST(CameraAddress, UsbSerialFromTheSysfsTree) {
  TempFolder sys;
  namespace fs = std::filesystem;
  // class/video4linux/videoN/device -> the USB interface, whose parent is
  // the USB device with the serial number.
  const fs::path usb = fs::path(sys.path()) / "devices/usb1/1-2";
  fs::create_directories(usb / "1-2:1.0");
  std::ofstream(usb / "serial") << "CAM123\n";
  std::ofstream(usb / "idVendor") << "046d\n";
  const fs::path cls = fs::path(sys.path()) / "class";
  fs::create_directories(cls / "video0");
  fs::create_directories(cls / "video1");
  fs::create_symlink(usb / "1-2:1.0", cls / "video0" / "device");
  const fs::path other = fs::path(sys.path()) / "devices/platform/vivid";
  fs::create_directories(other);
  std::ofstream(other / "idVendor") << "0000\n";
  fs::create_symlink(other, cls / "video1" / "device");
  EXPECT_EQ(camera::UsbSerial(cls.string(), "video0"), "CAM123");
  EXPECT_EQ(camera::UsbSerial(cls.string(), "video1"), "");
  EXPECT_EQ(camera::UsbSerial(cls.string(), "video7"), "");
  EXPECT_EQ(camera::UsbSerial(cls.string(), "../video0"), "");
}

TEST(CameraPictures, PicturesLargerThanABankAreReducedInProportion) {
  camera::FrameTarget t;
  int w = 0;
  int h = 0;
  camera::DrawnSize(t, 640, 480, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  camera::DrawnSize(t, 5200, 1000, &w, &h);
  EXPECT_EQ(w, 2600);
  EXPECT_EQ(h, 500);
  camera::DrawnSize(t, 1000, 8000, &w, &h);
  EXPECT_EQ(w, 250);
  EXPECT_EQ(h, 2000);
  t.width = 320;
  t.height = 240;
  camera::DrawnSize(t, 8000, 8000, &w, &h);
  EXPECT_EQ(w, 320) << "a size asked for is kept";
  EXPECT_EQ(h, 240);
}

TEST(CameraPictures, CutToTheBankAndTheClip) {
  graphics::Vram vram;
  std::vector<std::uint8_t> picture(4 * 3 * 3);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i + 1);
  ASSERT_TRUE(camera::PutPicture(vram, 0, -2, -1, picture.data(), 4, 3, 12));
  graphics::BankPixels p = vram.Pixels(0);
  // Pixel (0, 0) of the bank is picture pixel (2, 1).
  EXPECT_EQ(p.At(0, 0), (graphics::Color{19, 20, 21}));
  EXPECT_EQ(p.At(1, 1), (graphics::Color{34, 35, 36}));
  EXPECT_EQ(p.At(2, 0), graphics::Color{});
  vram.SetClip(graphics::PixelRect{100, 100, 100, 100});
  ASSERT_TRUE(camera::PutPicture(vram, 0, 99, 99, picture.data(), 4, 3, 12));
  p = vram.Pixels(0);
  EXPECT_EQ(p.At(100, 100), (graphics::Color{16, 17, 18}));
  EXPECT_EQ(p.At(101, 100), graphics::Color{}) << "outside the clip";
  EXPECT_EQ(p.At(99, 99), graphics::Color{});
  EXPECT_FALSE(camera::PutPicture(vram, 50, 0, 0, picture.data(), 4, 3, 12)) << "no such bank";

  camera::Frame frame;
  frame.Resize(2, 1);
  frame.pixels = {1, 2, 3, 4, 5, 6};
  vram.ResetClip();
  ASSERT_TRUE(camera::PutFrame(vram, 1, 2598, 0, frame, 4, 2));  // doubled, cut at the right edge
  p = vram.Pixels(1);
  EXPECT_EQ(p.At(2598, 0), (graphics::Color{1, 2, 3}));
  EXPECT_EQ(p.At(2599, 1), (graphics::Color{1, 2, 3}));
  EXPECT_EQ(p.At(2597, 0), graphics::Color{});
}

}  // namespace
}  // namespace vx::test
