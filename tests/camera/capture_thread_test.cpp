// The capture thread with a scripted source: frames reach the window side
// through one notice at a time, frames that pile up count as dropped, a
// device that fails ends the camera with its reason, and stopping never
// waits for a device that has nothing to give.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "camera/camera_system.hpp"
#include "engine/messages.hpp"

namespace vx::camera {
namespace {

using namespace std::chrono_literals;

// Gives `frames` frames as fast as asked (none at all when `stall`, and
// none while a `gate` is given and closed), then fails with `reason`, as an
// unplugged device or the end of a video does.
class ScriptedSource final : public CameraSource {
 public:
  ScriptedSource(int frames, bool stall, std::string reason = "the device went away",
                 const std::atomic<bool>* gate = nullptr)
      : frames_(frames), stall_(stall), reason_(std::move(reason)), gate_(gate) {}
  std::string Name() const override { return "scripted"; }
  int Width() const override { return 4; }
  int Height() const override { return 2; }
  double Fps() const override { return 1000; }
  CaptureResult Capture(Frame& out, int wait_ms) override {
    if (stall_ || (gate_ != nullptr && !*gate_)) {
      std::this_thread::sleep_for(stall_ ? std::chrono::milliseconds(wait_ms) : 1ms);
      return CaptureResult::kNone;
    }
    if (given_ == frames_) return CaptureResult::kEnded;
    out.Resize(4, 2);
    out.pixels.assign(out.pixels.size(), static_cast<std::uint8_t>(given_));
    out.number = given_++;
    return CaptureResult::kFrame;
  }
  bool GetControl(std::string_view, ControlInfo*) override { return false; }
  bool SetControl(std::string_view, std::int32_t) override { return false; }
  std::string Error() const override { return reason_; }

 private:
  int frames_;
  bool stall_;
  std::string reason_;
  const std::atomic<bool>* gate_;
  int given_ = 0;
};


// A label run by the end notice asks for the camera's state at once: the
// end and its reason are known before the notice is queued. Nobody takes
// the frame notice, so the last post is the end notice.
TEST(CaptureThread, TheEndIsKnownBeforeItsNoticeArrives) {
  host::Inbox inbox;
  std::atomic<bool> gate{false};
  std::atomic<Capture*> watched{nullptr};
  std::atomic<int> finished_at_last_post{-1};
  inbox.SetWake([&] {
    if (const Capture* c = watched.load()) finished_at_last_post = c->Finished() ? 1 : 0;
  });
  Capture capture(std::make_unique<ScriptedSource>(3, false, "end of video", &gate), inbox, 1);
  watched = &capture;
  gate = true;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!capture.Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(capture.Ended());
  EXPECT_EQ(finished_at_last_post, 1);
  EXPECT_EQ(capture.EndReason(), "end of video");
  inbox.SetWake({});
}

TEST(CaptureThread, NoticesCoalesceAndTheEndComesLast) {
  host::Inbox inbox;
  Capture capture(std::make_unique<ScriptedSource>(200, false), inbox, 7);
  // Nobody takes notices while the source runs: one notice stands for all.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!capture.Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(capture.Ended());
  EXPECT_EQ(capture.Received(), 200);
  EXPECT_EQ(capture.Dropped(), 199) << "only the newest frame is kept";
  EXPECT_EQ(capture.EndReason(), "the device went away");

  host::Message m;
  ASSERT_TRUE(inbox.Take(&m));
  EXPECT_EQ(m.kind, host::MessageKind::kCameraFrame);
  EXPECT_EQ(m.code, 7);
  EXPECT_EQ(m.value, 0);
  ASSERT_TRUE(inbox.Take(&m));
  EXPECT_EQ(m.value, 1) << "the end notice";
  EXPECT_FALSE(inbox.Take(&m));

  Frame frame;
  ASSERT_TRUE(capture.TakeFrame(frame));
  EXPECT_EQ(frame.number, 199);
  EXPECT_EQ(frame.pixels[0], 199);
  EXPECT_FALSE(capture.TakeFrame(frame)) << "a frame is taken once";
  ASSERT_TRUE(capture.CopyLatest(frame)) << "but stays readable";
  EXPECT_EQ(frame.number, 199);
}

TEST(CaptureThread, EveryFrameIsNoticedWhenTheWindowKeepsUp) {
  host::Inbox inbox;
  Capture capture(std::make_unique<ScriptedSource>(50, false), inbox, 1);
  int taken = 0;
  bool ended = false;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  Frame frame;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    host::Message m;
    if (!inbox.Take(&m)) {
      std::this_thread::sleep_for(100us);
      continue;
    }
    if (m.value == 1) {
      ended = true;
      continue;
    }
    capture.NoticeHandled();
    if (capture.TakeFrame(frame)) ++taken;
  }
  ASSERT_TRUE(ended);
  EXPECT_EQ(taken + capture.Dropped(), 50) << "each frame is taken or counted as dropped";
  EXPECT_EQ(frame.number, 49) << "the last frame always reaches the window";
}

TEST(CaptureThread, StoppingDoesNotWaitForAStalledDevice) {
  host::Inbox inbox;
  const auto start = std::chrono::steady_clock::now();
  {
    Capture capture(std::make_unique<ScriptedSource>(0, true), inbox, 1);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(capture.Ended());
    Frame frame;
    EXPECT_FALSE(capture.CopyLatest(frame));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  host::Message m;
  EXPECT_FALSE(inbox.Take(&m)) << "a stopped camera posts nothing";
}

}  // namespace
}  // namespace vx::camera
