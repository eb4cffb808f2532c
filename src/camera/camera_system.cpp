#include "camera/camera_system.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/delivery.hpp"
#include "engine/messages.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"

namespace vx::camera {
namespace {

// How long the capture thread waits on the device before it looks whether
// it should stop.
constexpr int kCaptureWaitMs = 100;
constexpr std::int32_t kNoticeFrame = 0;
constexpr std::int32_t kNoticeEnded = 1;

}  // namespace

// --- the capture thread --------------------------------------------------------

Capture::Capture(std::unique_ptr<CameraSource> source, host::Inbox& inbox, std::int32_t generation)
    : source_(std::move(source)), inbox_(inbox), generation_(generation) {
  thread_ = std::thread([this] { Run(); });
}

Capture::~Capture() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void Capture::Post(std::int32_t value) {
  host::Message m;
  m.kind = host::MessageKind::kCameraFrame;
  m.code = generation_;
  m.value = value;
  if (!inbox_.Post(std::move(m)) && value == kNoticeFrame) notice_pending_ = false;
}

void Capture::Run() {
  while (!stop_) {
    const CaptureResult r = source_->Capture(incoming_, kCaptureWaitMs);
    if (r == CaptureResult::kNone) continue;
    if (r == CaptureResult::kEnded) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        end_reason_ = source_->Error();
      }
      finished_ = true;
      Post(kNoticeEnded);
      ended_ = true;  // after the notice: whoever sees the end finds the notice queued
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::swap(latest_, incoming_);
      if (fresh_) ++dropped_;
      fresh_ = true;
    }
    ++received_;
    if (!notice_pending_.exchange(true)) Post(kNoticeFrame);
  }
}

bool Capture::TakeFrame(Frame& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!fresh_) return false;
  fresh_ = false;
  out.width = latest_.width;
  out.height = latest_.height;
  out.number = latest_.number;
  out.pixels.assign(latest_.pixels.begin(), latest_.pixels.end());
  return true;
}

bool Capture::CopyLatest(Frame& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (latest_.width <= 0) return false;
  out.width = latest_.width;
  out.height = latest_.height;
  out.number = latest_.number;
  out.pixels.assign(latest_.pixels.begin(), latest_.pixels.end());
  return true;
}

std::string Capture::EndReason() {
  std::lock_guard<std::mutex> lock(mutex_);
  return end_reason_;
}

// --- the family's state ------------------------------------------------------------

CameraSystem& System(Runtime& rt) {
  if (!rt.camera) rt.camera = std::make_shared<CameraSystem>();
  return *rt.camera;
}

bool OpenCamera(Runtime& rt, const CameraAddress& address, std::string* error) {
  CameraSystem& c = System(rt);
  CloseCamera(rt);
  std::unique_ptr<CameraSource> source = camera::OpenCamera(address, c.request, error);
  if (!source) return false;
  c.capture = std::make_unique<Capture>(std::move(source), rt.main_window.inbox, ++c.generation);
  c.drawn = 0;
  return true;
}

void CloseCamera(Runtime& rt) {
  if (!rt.camera) return;
  CameraSystem& c = *rt.camera;
  c.capture.reset();
  c.drawing = false;
  c.target = FrameTarget{};
  c.has_target = false;
  c.frame = Frame{};
}

void Release(Runtime& rt) {
  if (!rt.camera) return;
  CloseCamera(rt);
  rt.camera->reader.Close();
  if (rt.camera->writer.IsOpen()) rt.camera->writer.Finish();
}

bool Active(const Runtime& rt) {
  return rt.camera && rt.camera->capture && !rt.camera->capture->Ended() &&
         host::LabelEntry(rt, FRAME_LABEL) > 0;
}

void HandleFrameMessage(Runtime& rt, const host::Message& m) {
  if (!rt.camera || !rt.camera->capture || m.code != rt.camera->generation) return;
  CameraSystem& c = *rt.camera;
  if (m.value == kNoticeEnded) {
    host::SetSystemLong(rt, sysvar::G_ERROR, 1);
    host::OfferByName(rt, FRAME_LABEL);  // queued when busy: the end is told once
    return;
  }
  c.capture->NoticeHandled();
  if (!c.capture->TakeFrame(c.frame)) return;
  if (c.drawing) {
    int w = 0;
    int h = 0;
    DrawnSize(c.target, c.frame.width, c.frame.height, &w, &h);
    if (PutFrame(rt.vram, c.target.bank, c.target.x, c.target.y, c.frame, w, h)) {
      ++c.drawn;
      host::RequestRedraw(rt);
    }
  }
  if (host::LabelEntry(rt, FRAME_LABEL) > 0) {
    host::SetSystemLong(rt, sysvar::G_ERROR, 0);
    host::TryByName(rt, FRAME_LABEL);
  }
}

// --- pictures into banks -------------------------------------------------------------

void DrawnSize(const FrameTarget& t, int picture_width, int picture_height, int* w, int* h) {
  if (t.width > 0 && t.height > 0) {
    *w = t.width;
    *h = t.height;
    return;
  }
  const double fit = std::min({1.0, static_cast<double>(graphics::VRAM_WIDTH) / picture_width,
                               static_cast<double>(graphics::VRAM_HEIGHT) / picture_height});
  *w = t.width > 0 ? t.width : std::max(1, static_cast<int>(picture_width * fit));
  *h = t.height > 0 ? t.height : std::max(1, static_cast<int>(picture_height * fit));
}

bool PutPicture(graphics::Vram& vram, int bank, int x, int y, const std::uint8_t* pixels, int width,
                int height, std::size_t stride) {
  std::uint8_t* memory = vram.Bank(bank);
  if (memory == nullptr) return false;
  const graphics::PixelRect area = graphics::Intersect(
      graphics::NormalizedRect(x, y, width, height), vram.Clip());
  if (area.Empty()) return true;
  const std::size_t row_bytes = static_cast<std::size_t>(area.Width()) * graphics::VRAM_PIXEL_BYTES;
  for (int row = area.top; row <= area.bottom; ++row) {
    const std::uint8_t* from = pixels + static_cast<std::size_t>(row - y) * stride +
                               static_cast<std::size_t>(area.left - x) * graphics::VRAM_PIXEL_BYTES;
    std::memcpy(memory + graphics::PixelOffset(area.left, row), from, row_bytes);
  }
  vram.MarkDirty(area);
  return true;
}

bool PutFrame(graphics::Vram& vram, int bank, int x, int y, const Frame& frame, int width, int height) {
  if (frame.width <= 0 || frame.height <= 0 || width <= 0 || height <= 0) return false;
  if (width == frame.width && height == frame.height) {
    return PutPicture(vram, bank, x, y, frame.pixels.data(), width, height, frame.Stride());
  }
  // Nearest pixel; the bank bounds the size, so the copy stays small.
  width = std::min(width, graphics::VRAM_WIDTH);
  height = std::min(height, graphics::VRAM_HEIGHT);
  std::vector<std::uint8_t> scaled(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int i = 0; i < width; ++i) {
    columns[static_cast<std::size_t>(i)] = static_cast<int>(static_cast<std::int64_t>(i) * frame.width / width) * 3;
  }
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* src = frame.pixels.data() +
                              static_cast<std::size_t>(static_cast<std::int64_t>(row) * frame.height / height) * frame.Stride();
    std::uint8_t* dst = scaled.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 3;
    for (int i = 0; i < width; ++i) std::memcpy(dst + i * 3, src + columns[static_cast<std::size_t>(i)], 3);
  }
  return PutPicture(vram, bank, x, y, scaled.data(), width, height, static_cast<std::size_t>(width) * 3);
}

}  // namespace vx::camera
