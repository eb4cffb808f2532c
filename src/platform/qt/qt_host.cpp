#include "platform/qt/qt_host.hpp"

#include <QCloseEvent>
#include <QCoreApplication>

#include "engine/runtime.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

constexpr int kWindowWidth = 1200;
constexpr int kWindowHeight = 720;
constexpr const char* kWindowTitle = "Vexmora  Ver." VEXMORA_VERSION_TEXT;

}  // namespace

MainWidget::MainWidget(QtHost& host) : host_(host) {}

void MainWidget::closeEvent(QCloseEvent* event) {
  if (host_.Procedure().Handle({host::MessageKind::kClose, {}}) != 0) {
    event->accept();
  } else {
    event->ignore();
  }
  host_.AfterMessage();
}

QtHost::QtHost(Runtime& rt, QtWindowSystem& window_system, QtDebugDialog& debug_dialog,
               bool headless)
    : rt_(rt), headless_(headless), procedure_(rt), window_(*this) {
  if (rt_.session.title_setting != 0) {
    window_.setWindowTitle(QString::fromLatin1(kWindowTitle));
    window_.setGeometry(0, 0, kWindowWidth, kWindowHeight);
  } else {
    window_.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window_.resize(kWindowWidth, kWindowHeight);
  }
  window_.setAcceptDrops(true);
  window_system.SetMainWindow(&window_);
  debug_dialog.SetMainWindow(&window_);
  tick_.setInterval(host::TICK_INTERVAL_MS);
  QObject::connect(&tick_, &QTimer::timeout, [this] {
    procedure_.Handle({host::MessageKind::kTick, {}});
    AfterMessage();
  });
}

void QtHost::Run() {
  if (!headless_) window_.show();
  QTimer::singleShot(0, [this] {
    procedure_.Start();
    if (!Ending()) tick_.start();
    AfterMessage();
  });
  QCoreApplication::exec();
  tick_.stop();
}

bool QtHost::Ending() const {
  return procedure_.QuitRequested() || (headless_ && !procedure_.CanRunLabels());
}

void QtHost::AfterMessage() {
  if (!Ending()) return;
  tick_.stop();
  QCoreApplication::exit(0);
}

}  // namespace vx::qt
