#include "host/main_window.hpp"

#include <algorithm>
#include <cctype>

#include "audio/audio_system.hpp"
#include "camera/camera_system.hpp"
#include "comm/serial_ports.hpp"
#include "engine/delivery.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "engine/system_variables.hpp"
#include "graphics/drawing.hpp"
#include "graphics/vram.hpp"
#include "host/controls.hpp"
#include "host/drop_images.hpp"
#include "host/keys.hpp"
#include "platform/files.hpp"
#include "speech/speech_runtime.hpp"

namespace vx::host {
namespace {

constexpr std::string_view kFatalQueueText = "Fatal Error (9874)";
constexpr std::string_view kFatalQueueCaption = "Message";

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

// The position word of a mouse message: x in the low 16 bits, y in the high
// 16 bits, each read back unsigned.
std::int32_t PositionWordPart(std::int32_t v) { return static_cast<std::uint16_t>(v); }

}  // namespace

void MainWindowProcedure::Start() {
  engine::LoadStartScript(rt_);
  AfterMessage();
}

int MainWindowProcedure::Handle(const Message& m) {
  int result = 0;
  switch (m.kind) {
    case MessageKind::kTick: Tick(); break;
    case MessageKind::kClose: result = Close(); break;
    case MessageKind::kReload: RequestReload(m.path); break;
    case MessageKind::kMouseMove: MouseMove(m); break;
    case MessageKind::kLButtonDown: LeftButtonDown(m); break;
    case MessageKind::kLButtonUp:
    case MessageKind::kLButtonDblClk:
    case MessageKind::kRButtonDown:
    case MessageKind::kRButtonUp:
    case MessageKind::kMButtonDown:
    case MessageKind::kMButtonUp: MouseButton(m); break;
    case MessageKind::kWheel: Wheel(m); break;
    case MessageKind::kKeyDown: KeyDown(m); break;
    case MessageKind::kKeyUp: KeyUp(m); break;
    case MessageKind::kChar: Char(m); break;
    case MessageKind::kSysKeyDown: SysKeyDown(m); break;
    case MessageKind::kSize: Size(m); break;
    case MessageKind::kEnterSizeMove:
      rt_.main_window.client_width = m.x;
      rt_.main_window.client_height = m.y;
      rt_.main_window.in_size_move = true;
      break;
    case MessageKind::kExitSizeMove: ExitSizeMove(m); break;
    case MessageKind::kDropFile: DropFile(m); break;
    case MessageKind::kSysCommand: SysCommand(m); break;
    case MessageKind::kUserEvent: UserEvent(m); break;
    case MessageKind::kPortNotify: PortNotify(m); break;
    case MessageKind::kPipeText: PipeText(m); break;
    case MessageKind::kAudioPlayed:
    case MessageKind::kAudioRecOpened:
    case MessageKind::kAudioRecFilled: audio::HandleDeviceMessage(rt_, m); break;
    case MessageKind::kCameraFrame: camera::HandleFrameMessage(rt_, m); break;
    case MessageKind::kSpeechDone: speech::HandleNotice(rt_, m); break;
  }
  AfterMessage();
  return result;
}

void MainWindowProcedure::HandleInbox() {
  Message m;
  while (!QuitRequested() && rt_.main_window.inbox.Take(&m)) Handle(m);
}

void MainWindowProcedure::HandleOneDeferred() {
  Message m;
  if (rt_.main_window.deferred.Pop(&m)) Handle(m);
}

bool MainWindowProcedure::QuitRequested() const {
  return rt_.main_window.fatal_exit || rt_.run.exit_request == EXIT_QUIT;
}

bool MainWindowProcedure::CanRunLabels() const {
  if (rt_.run.exit_request == EXIT_CHAIN || rt_.main_window.reload_requested) return true;
  if (rt_.error.Raised() || rt_.program.ProcCount() <= 1) return false;
  return rt_.session.pending_labels.Count() > 0 || rt_.main_window.deferred.Count() > 0 ||
         !rt_.main_window.inbox.Empty() || AnyTimerRunning() || audio::Active(rt_) ||
         rt_.music.Playing() || AnyListeningPort() || camera::Active(rt_) || speech::Active(rt_) ||
         (rt_.comm.PipeRunning() && LabelEntry(rt_, "PIPE_RCV") > 0);
}

bool MainWindowProcedure::AnyListeningPort() const {
  if (!rt_.comm.AnyPortOpen()) return false;
  for (std::int32_t i = 0; i < rt_.program.RscCount(); ++i) {
    const ResourceEntry& e = rt_.program.Resource(i);
    if (e.kind == R_KD_COM && e.port_handle >= 0 && e.event_entry > 0) return true;
  }
  return false;
}

bool MainWindowProcedure::AnyTimerRunning() const {
  for (std::int32_t i = 0; i < rt_.program.RscCount(); ++i) {
    const ResourceEntry& e = rt_.program.Resource(i);
    if ((e.kind == R_KD_TIMER || e.kind == R_KD_STEPTIMER) && e.timer_id >= 1) return true;
  }
  return false;
}

// --- the tick ---------------------------------------------------------------

void MainWindowProcedure::Tick() {
  CountDownTopmost();
  rt_.music.Tick();
  UpdateHover();
  RequestRedrawIfNeeded(rt_);
  RunOnePendingLabel(rt_);
  HandleOneDeferred();
}

void MainWindowProcedure::CountDownTopmost() {
  MainWindowState& w = rt_.main_window;
  const std::uint32_t next = w.topmost_countdown - 1;
  if (next > TOPMOST_COUNTED_MAX) return;  // 0 (off) and TOPMOST_KEEP stay as they are
  w.topmost_countdown = next;
  if (next != 0 || w.port == nullptr) return;
  w.port->SetTopmost(false);
  if (w.foreground_after_topmost) w.port->BringToFront();
}

void MainWindowProcedure::UpdateHover() {
  MainWindowState& w = rt_.main_window;
  const int index = HitClickArea(w.mouse_x, w.mouse_y);
  if (index == w.hover_index) return;
  if (index < 0) {
    w.over_click_area = false;
    if (w.port) w.port->SetHandCursor(w.hand_requested);
  } else {
    if (w.port) w.port->SetHandCursor(true);
    SetSystemText(rt_, sysvar::G_CLC_STR, rt_.click_areas.At(index).text);
    w.over_click_area = true;
  }
  w.hover_index = index;
}

void MainWindowProcedure::AfterMessage() {
  if (rt_.run.lock.Held()) return;  // a label is running below us; it comes back here
  MainWindowState& w = rt_.main_window;
  if (w.reload_requested) {
    w.reload_requested = false;
    const std::string path = w.reload_path;
    engine::ReloadScript(rt_, path);
  }
  engine::FollowChain(rt_);
}

// --- painting -----------------------------------------------------------------

PaintCopy MainWindowProcedure::Paint(int left, int top, int right, int bottom) {
  PaintCopy plan;
  if (!rt_.session.started) return plan;
  rt_.vram.EmptyDirty();
  int width = right - left + 1;
  int height = bottom - top + 1;
  width = std::min(width, graphics::VRAM_WIDTH - left);
  height = std::min(height, graphics::VRAM_HEIGHT - top);
  if (left < 0 || top < 0 || width <= 0 || height <= 0) return plan;
  plan = PaintCopy{true, left, top, width, height};
  return plan;
}

// --- events -------------------------------------------------------------------

void MainWindowProcedure::Offer(std::string_view label) {
  if (OfferByName(rt_, label) != 0) RequestRedraw(rt_);
}

void MainWindowProcedure::SetMouse(const Message& m) {
  SetSystemLong(rt_, sysvar::G_MOUSEX, PositionWordPart(m.x));
  SetSystemLong(rt_, sysvar::G_MOUSEY, PositionWordPart(m.y));
}

void MainWindowProcedure::SetMouseIfIdle(const Message& m) {
  EngineLockGuard guard(rt_.run.lock);
  if (guard.Taken()) SetMouse(m);
}

int MainWindowProcedure::HitClickArea(std::int32_t x, std::int32_t y) {
  const auto mask = static_cast<std::uint32_t>(SystemLong(rt_, sysvar::G_CLCPT_GBMP));
  return rt_.click_areas.FirstHit(x, y, mask);
}

// After a run error no label runs until the next load, so a WIN_CLOSE label
// could never answer: the window closes as if there were none. A script
// reached with `Exit "path", 1` gives the window back to the script that
// chained to it instead (once any running label has returned).
int MainWindowProcedure::Close() {
  if (!rt_.error.Raised() && OfferByName(rt_, "WIN_CLOSE") != 0) {
    RequestRedraw(rt_);
    return 0;
  }
  if (rt_.run.return_path.empty()) return 1;
  RequestReload(rt_.run.return_path);
  rt_.run.return_path.clear();
  return 0;
}

void MainWindowProcedure::MouseMove(const Message& m) {
  MainWindowState& w = rt_.main_window;
  w.mouse_x = m.x;
  w.mouse_y = m.y;
  if (w.port != nullptr) {
    const WindowRect client = w.port->ClientRect();
    if (m.x > 1 && m.x < client.right - 1 && m.y > 1 && m.y < client.bottom - 1)
      w.port->SetHandCursor(w.hand_requested || w.over_click_area);
  }
  if (!rt_.session.events_enabled) return;
  SetMouseIfIdle(m);
  Offer("MOUSEMOVE");
}

void MainWindowProcedure::LeftButtonDown(const Message& m) {
  if (!rt_.session.events_enabled) return;
  SetMouseIfIdle(m);
  rt_.main_window.mouse_x = m.x;
  rt_.main_window.mouse_y = m.y;
  const int index = HitClickArea(m.x, m.y);
  if (index >= 0) {
    const graphics::ClickArea& area = rt_.click_areas.At(index);
    SetSystemLong(rt_, sysvar::G_CLC_IDX, index);
    SetSystemLong(rt_, sysvar::G_CLC_EX, area.extra);
    SetSystemText(rt_, sysvar::G_CLC_STR, area.text);
    if (TryByName(rt_, "CLICK_AREA") != TRY_NO_LABEL) {
      RequestRedraw(rt_);
      return;
    }
  }
  Offer("LButtonDown");
}

void MainWindowProcedure::MouseButton(const Message& m) {
  if (m.kind == MessageKind::kRButtonDown && rt_.main_window.port != nullptr)
    rt_.main_window.port->FocusMainWindow();
  if (!rt_.session.events_enabled) return;
  std::string_view label;
  switch (m.kind) {
    case MessageKind::kLButtonUp: label = "LButtonUp"; break;
    case MessageKind::kLButtonDblClk: label = "LButtonDblClc"; break;
    case MessageKind::kRButtonDown: label = "RButtonDown"; break;
    case MessageKind::kRButtonUp: label = "RButtonUp"; break;
    case MessageKind::kMButtonDown: label = "MButtonDown"; break;
    default: label = "MButtonUp"; break;
  }
  const bool always = m.kind == MessageKind::kRButtonDown || m.kind == MessageKind::kMButtonDown ||
                      m.kind == MessageKind::kMButtonUp;
  if (always) {
    SetMouse(m);
  } else {
    SetMouseIfIdle(m);
  }
  Offer(label);
}

void MainWindowProcedure::Wheel(const Message& m) { Offer(m.code >= 1 ? "MS_PGUP" : "MS_PGDN"); }

void MainWindowProcedure::KeyDown(const Message& m) {
  SetSystemLong(rt_, sysvar::G_VKEY, m.code);
  const bool gated = m.code == VK_SHIFT || m.code == VK_CONTROL;
  if (gated && !rt_.session.events_enabled) return;
  const std::string_view label = KeyDownEventName(m.code);
  if (label.empty()) return;
  if (OfferByName(rt_, label) != 0) {
    RequestRedraw(rt_);
  } else if (m.code == VK_HOME) {
    OpenScriptAndReload();
  } else if (m.code == VK_F1 && rt_.main_window.port != nullptr) {
    rt_.main_window.port->ShowHelp(HelpFolder(rt_.startup.program_dir));
  }
}

void MainWindowProcedure::KeyUp(const Message& m) {
  if (!rt_.session.events_enabled) return;
  if (m.code == VK_SHIFT) Offer("KB_SHIFT_UP");
  if (m.code == VK_CONTROL) Offer("KB_CONTROL_UP");
}

void MainWindowProcedure::Char(const Message& m) {
  if (!rt_.session.events_enabled || m.code == VK_ESCAPE) return;
  SetSystemLong(rt_, sysvar::G_INCHAR, m.code);
  Offer("KB_CHAR");
}

// F10 is the menu key, as a menu bar's is, unless the script uses it.
void MainWindowProcedure::SysKeyDown(const Message& m) {
  SetSystemLong(rt_, sysvar::G_VKEY, m.code);
  if (m.code != VK_F10) return;
  if (LabelEntry(rt_, "KB_F10") > 0) {
    Offer("KB_F10");
  } else if (rt_.main_window.port != nullptr) {
    rt_.main_window.port->ShowSystemMenu();
  }
}

void MainWindowProcedure::Size(const Message& m) {
  switch (m.code) {
    case SIZE_MAXIMIZED: Offer("SIZE_MAX"); break;
    case SIZE_MINIMIZED: Offer("SIZE_MIN"); break;
    default:
      if (rt_.main_window.in_size_move) break;
      if (TryByName(rt_, "SIZE_CHG") == TRY_RAN) RequestRedrawIfNeeded(rt_);
      break;
  }
}

void MainWindowProcedure::ExitSizeMove(const Message& m) {
  MainWindowState& w = rt_.main_window;
  w.in_size_move = false;
  const bool changed = m.x != w.client_width || m.y != w.client_height;
  w.client_width = m.x;
  w.client_height = m.y;
  if (changed) Offer("SIZE_CHG");
}

void MainWindowProcedure::DropFile(const Message& m) {
  if (m.path.empty()) return;
  const std::string name = m.path.substr(0, std::min(m.path.size(), STARTUP_PATH_MAX));
  rt_.startup.script_path = name;
  rt_.main_window.dropped_path = name;
  DropImages& images = rt_.main_window.images ? *rt_.main_window.images : BuiltInDropImages();
  if (EndsWithIgnoringCase(name, ".bmp")) {
    if (OfferByName(rt_, "DRAG_IMG") == 0) images.LoadBmp(rt_, name, m.ctrl);
  } else if (EndsWithIgnoringCase(name, ".jpg") || EndsWithIgnoringCase(name, ".jpeg")) {
    if (OfferByName(rt_, "DRAG_IMG") != 0) {
      RequestRedraw(rt_);
      return;
    }
    images.LoadJpeg(rt_, name, m.ctrl);
  } else {
    if (OfferByName(rt_, "DRAG_IMG") != 0) {
      RequestRedraw(rt_);
    } else {
      RequestReload(name);
    }
    return;
  }
  if (rt_.main_window.port != nullptr) rt_.main_window.port->InvalidateAll();
}

void MainWindowProcedure::SysCommand(const Message& m) {
  WindowPort* port = rt_.main_window.port;
  switch (m.code) {
    case SYSCMD_OPEN_SCRIPT: OpenScriptAndReload(); break;
    case SYSCMD_EDIT_SCRIPT:
      if (port) port->OpenInEditor(rt_.startup.script_path);
      break;
    case SYSCMD_HELP:
      if (port) port->ShowHelp(HelpFolder(rt_.startup.program_dir));
      break;
    case SYSCMD_RELOAD_SCRIPT:
      if (!rt_.startup.script_path.empty()) RequestReload(rt_.startup.script_path);
      break;
    default: break;
  }
}

void MainWindowProcedure::UserEvent(const Message& m) {
  SetSystemLong(rt_, sysvar::G_EV_1, m.code);
  SetSystemLong(rt_, sysvar::G_EV_2, m.value);
  Offer("EVENT");
}

void MainWindowProcedure::PortNotify(const Message& m) {
  EngineLockGuard guard(rt_.run.lock);
  if (!guard.Taken()) {
    Defer(m);
    return;
  }
  std::int32_t entry = 0;
  for (std::int32_t i = 0; i < rt_.program.RscCount(); ++i) {
    const ResourceEntry& e = rt_.program.Resource(i);
    if (e.kind == R_KD_COM && e.port_handle == m.code) {
      entry = e.event_entry;
      break;
    }
  }
  if (entry <= 0) return;
  if (m.value != 0) {
    SetSystemLong(rt_, sysvar::G_ERROR, 1);
    rt_.session.pending_labels.Push(entry);  // the lock is ours: it runs on a later tick
    return;
  }
  // The reader tells again about bytes that come from now on; the label
  // runs only while bytes are there (an earlier run may have taken them).
  comm::SerialPorts& ports = rt_.comm.Ports();
  ports.Rearm(m.code);
  if (ports.Held(m.code) == 0) return;
  SetSystemLong(rt_, sysvar::G_ERROR, 0);
  RunHeldLabel(entry);
}

// The text goes into G_PIPE_S only when the label is about to run, so a
// running label never sees it change under its feet.
void MainWindowProcedure::PipeText(const Message& m) {
  EngineLockGuard guard(rt_.run.lock);
  if (!guard.Taken()) {
    Defer(m);
    return;
  }
  const std::int32_t entry = LabelEntry(rt_, "PIPE_RCV");
  if (entry <= 0) return;
  SetSystemText(rt_, sysvar::G_PIPE_S, m.path);
  RunHeldLabel(entry);
}

void MainWindowProcedure::RunHeldLabel(std::int32_t entry) {
  rt_.vram.redraw_needed = false;
  engine::RunFrom(rt_, entry);
  if (rt_.controls) rt_.controls->AfterLabel();
  if (rt_.vram.redraw_needed) graphics::RequestRedraw(rt_.vram, rt_.display);
}

void MainWindowProcedure::Defer(const Message& m) {
  if (rt_.main_window.deferred.Push(m)) return;
  rt_.window->ShowMessage(kFatalQueueCaption, kFatalQueueText);
  rt_.main_window.fatal_exit = true;
  rt_.session.exit_code = 0;
}

void MainWindowProcedure::OpenScriptAndReload() {
  if (rt_.main_window.port == nullptr) return;
  std::string path = rt_.main_window.port->ChooseScript();
  if (path.empty()) return;
  if (path.size() > STARTUP_PATH_MAX) path.resize(STARTUP_PATH_MAX);
  RequestReload(path);
}

void MainWindowProcedure::RequestReload(std::string_view path) {
  rt_.main_window.reload_requested = true;
  rt_.main_window.reload_path.assign(path);
}

std::string HelpFolder(std::string_view program_dir) {
  const std::string dir(program_dir);
  for (const char* candidate : {"doc/", "../doc/"}) {
    const std::string folder = dir + candidate;
    if (files::Exists(folder + "language.md")) return folder;
  }
  return dir + "doc/";
}

}  // namespace vx::host
