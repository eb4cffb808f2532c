#include "qt/main_window.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QWindow>
#if __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>
#define VEXMORA_HAVE_XCB 1
#endif
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "engine/runtime.hpp"
#include "platform/timing.hpp"
#include "graphics/drawing.hpp"
#include "graphics/vram.hpp"
#include "host/editor_command.hpp"
#include "host/keys.hpp"
#include "host/main_window.hpp"
#include "platform/files.hpp"
#include "platform/x11_windows.hpp"
#include "qt/help_viewer.hpp"
#include "qt/keys.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

using host::Message;
using host::MessageKind;

// A frame drag has ended when no resize came for this long (X11 tells
// nobody when the user lets go of the frame).
constexpr int kFrameDragQuietMs = 250;
// Resizes this soon after a maximise, minimise or restore belong to it.
constexpr int kStateChangeSettleMs = 400;
// The X message type is looked up after the first frame, or after this
// long when the window is not painted (minimised at start).
constexpr int kMessageAtomLatestMs = 1000;
// How often a frame position waiting for the window manager is tried, and
// how long after showing the window it waits for a frame at most (without a
// manager there is none).
constexpr int kFrameWaitPollMs = 20;
constexpr int kFrameWaitLongestMs = 2000;


QString SystemPath(std::string_view sjis_path) {
  return QString::fromStdString(files::ToSystemPath(sjis_path));
}

Message At(MessageKind kind, const QPoint& p) {
  Message m;
  m.kind = kind;
  m.x = p.x();
  m.y = p.y();
  return m;
}

Message Coded(MessageKind kind, std::int32_t code) {
  Message m;
  m.kind = kind;
  m.code = code;
  return m;
}

}  // namespace

MainWindow::MainWindow(Runtime& rt, bool headless, std::function<int(const Message&)> deliver)
    : rt_(rt), headless_(headless), deliver_(std::move(deliver)) {
  setMouseTracking(true);
  // Clicking the bank leaves the keyboard with the control that has it; the
  // window takes the focus back when it is activated or right-clicked.
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: bank or background
  setAutoFillBackground(false);
  frame_drag_end_.setSingleShot(true);
  frame_drag_end_.setInterval(kFrameDragQuietMs);
  QObject::connect(&frame_drag_end_, &QTimer::timeout, [this] { EndFrameDrag(); });
  frame_wait_.setInterval(kFrameWaitPollMs);
  QObject::connect(&frame_wait_, &QTimer::timeout, [this] { PlaceFrameWhenKnown(); });
  since_state_change_.invalidate();
  // Looking the message type up takes a connection of its own to the X
  // server: it waits until the first frame is on the screen.
  if (!headless_) {
    QTimer::singleShot(kMessageAtomLatestMs, this, [this] { LookUpMessageAtom(); });
  }
}

void MainWindow::LookUpMessageAtom() {
  if (message_atom_looked_up_) return;
  message_atom_looked_up_ = true;
  message_atom_ = x11::WindowMessageAtom();
}

int MainWindow::Deliver(const Message& m) { return deliver_(m); }

// Programs that are not instances of ours post through X: a client message
// of our type whose first item is WM_USER+135 raises EVENT as an instance's
// post does; other messages mean nothing to this window.
bool MainWindow::nativeEvent(const QByteArray& event_type, void* message, qintptr* result) {
#ifdef VEXMORA_HAVE_XCB
  if (message_atom_ != 0 && event_type == "xcb_generic_event_t") {
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
      const auto* client = static_cast<const xcb_client_message_event_t*>(message);
      if (client->type == message_atom_ && client->format == 32) {
        if (static_cast<std::int32_t>(client->data.data32[0]) == host::MSG_USER_EVENT) {
          Message m;
          m.kind = MessageKind::kUserEvent;
          m.code = static_cast<std::int32_t>(client->data.data32[1]);
          m.value = static_cast<std::int32_t>(client->data.data32[2]);
          rt_.main_window.inbox.Post(std::move(m));
        }
        return true;
      }
    }
  }
#endif
  return QWidget::nativeEvent(event_type, message, result);
}

// --- painting -----------------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  const host::PaintCopy copy =
      rt_.main_window.direct_to_screen
          ? host::PaintCopy{true, 0, 0, std::min(width(), graphics::VRAM_WIDTH),
                            std::min(height(), graphics::VRAM_HEIGHT)}
          : host::MainWindowProcedure(rt_).Paint(area.left(), area.top(), area.right(), area.bottom());
  // A bank still of one colour shows as that colour: nothing to copy.
  const std::optional<graphics::Color> uniform =
      copy.copy ? rt_.vram.UniformColour(-1) : std::optional<graphics::Color>();
  // Painting only reads the bank, so it must not count the bank as drawn.
  const std::uint8_t* bank = copy.copy && !uniform ? rt_.vram.BankTracked(-1) : nullptr;
  if (uniform) {
    const QRect block(copy.left, copy.top, copy.width, copy.height);
    const QRegion outside = QRegion(area) - QRegion(block);
    for (const QRect& r : outside) painter.fillRect(r, Qt::white);
    painter.fillRect(block & area, QColor(uniform->r, uniform->g, uniform->b));
  } else if (bank == nullptr) {
    painter.fillRect(area, Qt::white);
  } else {
    // The bank is bottom-up BGR: the rows of the block are one run of memory
    // starting at its bottom line, shown through a vertical flip. The first
    // column is taken on a 4-pixel boundary so every row starts aligned.
    const int left = copy.left & ~3;
    const int width = copy.width + (copy.left - left);
    const int bottom_row = copy.top + copy.height - 1;
    const QImage block(graphics::PixelAt(bank, left, bottom_row), width, copy.height,
                       static_cast<qsizetype>(graphics::VRAM_ROW_BYTES), QImage::Format_BGR888);
    const QRegion outside = QRegion(area) - QRegion(left, copy.top, width, copy.height);
    for (const QRect& r : outside) painter.fillRect(r, Qt::white);
    painter.save();
    painter.translate(left, copy.top + copy.height);
    painter.scale(1, -1);
    painter.drawImage(0, 0, block);
    painter.restore();
  }
  platform::TimingLine(first_paint_done_ ? "paint" : "first-paint");
  if (!first_paint_done_ && !headless_) {
    QTimer::singleShot(0, this, [this] { LookUpMessageAtom(); });
  }
  first_paint_done_ = true;
}

void MainWindow::RequestRedraw(int left, int top, int right, int bottom) {
  update(QRect(QPoint(left, top), QPoint(right, bottom)));
}

void MainWindow::PaintNow(int left, int top, int right, int bottom) {
  repaint(QRect(QPoint(left, top), QPoint(right, bottom)));
}

// A long label's pause for the window: the X events that are not input
// (exposes, the manager's pings, configure notices) are handled, then what
// is out of date is painted at once. Input waits in Qt's queue and timers
// are not looked at, so both come after the label as they always did;
// posted calls may come in but find the engine busy (and the inbox's wake
// is held back by the host).
void MainWindow::KeepAlive() {
  if (headless_ || keeping_alive_ || !isVisible()) return;
  keeping_alive_ = true;
  graphics::RequestRedraw(rt_.vram, this);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                  QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
  // The paint itself, with the controls' parts that changed; it does not
  // wait for an update request through the event loop.
  QEvent paint_now(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(this, &paint_now);
  platform::TimingLine("keep-alive");
  keeping_alive_ = false;
}

void MainWindow::ClientSize(int* w, int* h) {
  *w = width();
  *h = height();
}

void MainWindow::InvalidateAll() { update(); }

// --- input --------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  if (Deliver(Message{MessageKind::kClose, {}}) != 0) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::MouseMessage(MessageKind kind, const QPoint& p) { Deliver(At(kind, p)); }

// A control is a child window: the mouse over it is the control's, also
// where the control makes no use of it (Qt passes such events on to us).
bool MainWindow::OverControl(const QPoint& p) const { return childAt(p) != nullptr; }

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OverControl(p)) return;
  MouseMessage(MessageKind::kMouseMove, p);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  platform::TimingLine("mouse");
  const QPoint p = event->position().toPoint();
  if (OverControl(p)) return;
  switch (event->button()) {
    case Qt::LeftButton: MouseMessage(MessageKind::kLButtonDown, p); break;
    case Qt::RightButton:
      if (event->modifiers() & Qt::ControlModifier) {
        ShowSystemMenu(event->globalPosition().toPoint());
      } else {
        MouseMessage(MessageKind::kRButtonDown, p);
      }
      break;
    case Qt::MiddleButton: MouseMessage(MessageKind::kMButtonDown, p); break;
    default: break;
  }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OverControl(p)) return;
  switch (event->button()) {
    case Qt::LeftButton: MouseMessage(MessageKind::kLButtonUp, p); break;
    case Qt::RightButton: MouseMessage(MessageKind::kRButtonUp, p); break;
    case Qt::MiddleButton: MouseMessage(MessageKind::kMButtonUp, p); break;
    default: break;
  }
}

// As on Windows, the second press of a double click is the double click,
// not a press. Only the left button's has an event of its own; the right
// and middle buttons' second presses raise nothing (their releases do).
void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (OverControl(event->position().toPoint())) return;
  switch (event->button()) {
    case Qt::LeftButton:
      MouseMessage(MessageKind::kLButtonDblClk, event->position().toPoint());
      break;
    case Qt::RightButton:
      if (event->modifiers() & Qt::ControlModifier) ShowSystemMenu(event->globalPosition().toPoint());
      break;
    default: break;
  }
}

void MainWindow::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  Deliver(Coded(MessageKind::kWheel, delta > 0 ? std::max(delta, 1) : delta));
  event->accept();
}

// A key that a focused control did not use is not the window's: the script
// hears only keys typed while the window itself has the focus.
bool MainWindow::FromChild() const {
  const QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && focus != this && isAncestorOf(focus);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (FromChild()) return;
  if (event->key() == Qt::Key_Menu) {
    Deliver(Coded(MessageKind::kKeyDown, host::VK_APPS));
    ShowSystemMenu(mapToGlobal(QPoint(0, 0)));
    return;
  }
  const std::int32_t vk = VirtualKeyOf(event->key(), event->modifiers());
  const bool alt = (event->modifiers() & Qt::AltModifier) != 0;
  if (vk == host::VK_F10 || (alt && vk != host::VK_MENU && vk != 0)) {
    Deliver(Coded(MessageKind::kSysKeyDown, vk));
    return;
  }
  if (vk != 0) Deliver(Coded(MessageKind::kKeyDown, vk));
  SendChars(event->text());
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  if (FromChild()) return;
  if (event->isAutoRepeat()) return;
  const std::int32_t vk = VirtualKeyOf(event->key(), event->modifiers());
  if (vk != 0) Deliver(Coded(MessageKind::kKeyUp, vk));
}

// A character reaches the script as a program with the Shift-JIS code page
// receives it: one KB_CHAR per byte, lead byte first.
void MainWindow::SendChars(const QString& text) {
  if (text.isEmpty()) return;
  const std::string bytes = text::Utf8ToCp932(text.toStdString());
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte == 0x7F) continue;  // Delete is a key, not a character
    Deliver(Coded(MessageKind::kChar, byte));
  }
}

bool MainWindow::focusNextPrevChild(bool) { return false; }  // Tab belongs to the script

// --- size ---------------------------------------------------------------------

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const bool settling = since_state_change_.isValid() &&
                        since_state_change_.elapsed() < kStateChangeSettleMs;
  if (!event->oldSize().isValid() || settling || (windowState() & (Qt::WindowMaximized |
                                                                    Qt::WindowMinimized))) {
    return;
  }
  Message size = At(MessageKind::kSize, QPoint(width(), height()));
  size.code = host::SIZE_RESTORED;
  if (resizing_by_program_ || headless_) {
    Deliver(size);
    return;
  }
  if (!frame_drag_) {
    frame_drag_ = true;
    Deliver(At(MessageKind::kEnterSizeMove,
               QPoint(event->oldSize().width(), event->oldSize().height())));
  }
  Deliver(size);
  frame_drag_end_.start();
}

void MainWindow::EndFrameDrag() {
  if (!frame_drag_) return;
  frame_drag_ = false;
  Deliver(At(MessageKind::kExitSizeMove, QPoint(width(), height())));
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) {
    // An activated window takes the keyboard focus itself, whichever control
    // had it before; Qt hands the focus back to a control first, so this
    // comes after.
    if (isActiveWindow()) {
      QTimer::singleShot(0, this, [this] {
        if (isActiveWindow()) setFocus(Qt::ActiveWindowFocusReason);
      });
    }
    return;
  }
  if (event->type() != QEvent::WindowStateChange) return;
  since_state_change_.start();
  Message size = At(MessageKind::kSize, QPoint(width(), height()));
  if (windowState() & Qt::WindowMinimized) {
    size.code = host::SIZE_MINIMIZED;
  } else if (windowState() & Qt::WindowMaximized) {
    size.code = host::SIZE_MAXIMIZED;
  } else {
    size.code = host::SIZE_RESTORED;
  }
  Deliver(size);
}

// --- drag and drop --------------------------------------------------------------

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = text::Utf8ToCp932(urls.first().toLocalFile().toStdString());
  drop.ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  event->acceptProposedAction();
  Deliver(drop);
}

// --- what the host asks of the window -----------------------------------------

void MainWindow::ApplyCursor() {
  if (cursor_hidden_) {
    setCursor(Qt::BlankCursor);
  } else {
    setCursor(hand_cursor_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
  }
}

void MainWindow::SetHandCursor(bool hand) {
  hand_cursor_ = hand;
  ApplyCursor();
}

void MainWindow::ShowCursor(bool show) {
  cursor_hidden_ = !show;
  ApplyCursor();
}

void MainWindow::FocusMainWindow() { setFocus(Qt::MouseFocusReason); }

// Other programs and instances hold the window's handle, so the window must
// stay the one it is: changing a widget's flags would make Qt replace it.
// Before the window exists the flag is all there is to set; afterwards the
// state changes on the native window itself.
void MainWindow::SetTopmost(bool on) {
  if (internalWinId() == 0) {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    return;
  }
  if (headless_) return;  // nothing stacks on the offscreen platform
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    x11::KeepAbove(static_cast<std::uint64_t>(internalWinId()), on);
    return;
  }
  if (QWindow* handle = windowHandle()) {
    handle->setFlags(on ? handle->flags() | Qt::WindowStaysOnTopHint
                        : handle->flags() & ~Qt::WindowStaysOnTopHint);
  }
}

void MainWindow::BringToFront() {
  raise();
  activateWindow();
}

std::string MainWindow::ChooseScript() {
  if (headless_) return {};
  const QString path = QFileDialog::getOpenFileName(this, QString(), QStringLiteral("."),
                                                    QStringLiteral("Script Files (*.vx);;All Files (*)"));
  return path.isEmpty() ? std::string() : text::Utf8ToCp932(path.toStdString());
}

void MainWindow::OpenInEditor(std::string_view script_path) {
  const QString path = SystemPath(script_path);
  const char* visual = std::getenv("VISUAL");
  const char* editor = std::getenv("EDITOR");
  const bool have_terminal =
      !QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator")).isEmpty();
  const host::EditorCommand command =
      host::ChooseEditorCommand(visual ? visual : "", editor ? editor : "", path.toStdString(), have_terminal);
  if (!command.program.empty()) {
    QStringList args;
    for (const std::string& arg : command.args) args << QString::fromStdString(arg);
    if (QProcess::startDetached(QString::fromStdString(command.program), args)) return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MainWindow::ShowHelp(std::string_view doc_dir) {
  if (headless_) return;
  HelpViewer* viewer = help_.data();
  if (viewer == nullptr) {
    viewer = new HelpViewer;  // a window of its own, deleted when closed
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->Load(SystemPath(doc_dir));
    help_ = viewer;
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  viewer->SearchBox()->setFocus();
}

void MainWindow::ShowSystemMenu() {
  const QPoint pointer = QCursor::pos();
  ShowSystemMenu(rect().contains(mapFromGlobal(pointer)) ? pointer : mapToGlobal(QPoint(0, 0)));
}

void MainWindow::ShowSystemMenu(const QPoint& global) {
  QMenu menu(this);
  const QAction* open = menu.addAction(QStringLiteral("Open script..."));
  const QAction* reload = menu.addAction(QStringLiteral("Reload script"));
  const QAction* edit = menu.addAction(QStringLiteral("Edit script"));
  menu.addSeparator();
  QAction* help = menu.addAction(QStringLiteral("Help"));
  help->setShortcut(QKeySequence(Qt::Key_F1));  // shown beside the item
  const QAction* chosen = menu.exec(global);
  std::int32_t command = 0;
  if (chosen == open) command = host::SYSCMD_OPEN_SCRIPT;
  if (chosen == reload) command = host::SYSCMD_RELOAD_SCRIPT;
  if (chosen == edit) command = host::SYSCMD_EDIT_SCRIPT;
  if (chosen == help) command = host::SYSCMD_HELP;
  if (command != 0) Deliver(Coded(MessageKind::kSysCommand, command));
}

void MainWindow::SetClientSize(int w, int h) {
  resizing_by_program_ = true;
  resize(std::max(w, 1), std::max(h, 1));
  resizing_by_program_ = false;
}

// The position is the frame's, as on Windows: (0, 0) puts the title bar at
// the screen's top-left corner. Qt places a window it has created by its
// client area until the window manager has told the frame's size, so a
// position given before that is given again once the frame is known.
void MainWindow::MoveTo(int x, int y) {
  move(x, y);
  if (headless_) return;
  if (isVisible() && frameGeometry().topLeft() != geometry().topLeft()) {
    pending_frame_position_.reset();
    frame_wait_.stop();
    return;
  }
  pending_frame_position_ = QPoint(x, y);
  shown_for_.invalidate();
  frame_wait_.start();
}

// The manager may place the window by its first request after Qt has seen
// it framed where it should be, so the frame is watched for a while after
// the window is shown and put back once if it is elsewhere.
void MainWindow::PlaceFrameWhenKnown() {
  if (!pending_frame_position_) {
    frame_wait_.stop();
    return;
  }
  if (!isVisible()) return;
  if (!shown_for_.isValid()) shown_for_.start();
  const bool framed = frameGeometry().topLeft() != geometry().topLeft();
  const QPoint at = *pending_frame_position_;
  if (framed && frameGeometry().topLeft() != at) {
    move(at);
  } else if (shown_for_.elapsed() < kFrameWaitLongestMs) {
    return;
  }
  pending_frame_position_.reset();
  frame_wait_.stop();
}

void MainWindow::Show(host::ShowMode mode) {
  if (headless_) return;
  switch (mode) {
    case host::SHOW_MAXIMIZED: showMaximized(); break;
    case host::SHOW_MINIMIZED: showMinimized(); break;
    case host::SHOW_RESTORED: showNormal(); break;
    default: showNormal(); break;
  }
}

host::WindowRect MainWindow::ClientRect() { return {0, 0, width(), height()}; }

host::WindowRect MainWindow::FrameRect() {
  const QRect r = frameGeometry();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool MainWindow::PointerPosition(int* x, int* y) {
  const QPoint p = QCursor::pos();
  *x = p.x();
  *y = p.y();
  return true;
}

void MainWindow::ScreenToClient(int* x, int* y) {
  const QPoint p = mapFromGlobal(QPoint(*x, *y));
  *x = p.x();
  *y = p.y();
}

bool MainWindow::ControlDown() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

bool MainWindow::ShiftDown() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
}

std::uint32_t MainWindow::MouseButtons() {
  const Qt::MouseButtons b = QGuiApplication::mouseButtons();
  return ((b & Qt::LeftButton) ? 1u : 0u) | ((b & Qt::RightButton) ? 2u : 0u);
}

// The nearest honest equivalent of painting on the desktop: the window
// covers the whole screen without a frame and shows the bank from its
// top-left corner.
void MainWindow::SetDirectToScreen(bool on) {
  rt_.main_window.direct_to_screen = on;
  if (!headless_) {
    if (on) {
      showFullScreen();
    } else {
      showNormal();
    }
  }
  update();
}

std::uint64_t MainWindow::NativeHandle() { return static_cast<std::uint64_t>(winId()); }

}  // namespace vx::qt
