#include "qt/host.hpp"

#include <QCoreApplication>
#include <QMetaObject>

#include "engine/runtime.hpp"

namespace vx::qt {
namespace {

constexpr int kWindowWidth = 1200;
constexpr int kWindowHeight = 720;
// How soon messages held back during a keep-alive are looked at again.
constexpr int kInboxRetryMs = 1;
constexpr const char* kWindowTitle = "Vexmora  Ver." VEXMORA_VERSION_TEXT;

}  // namespace

QtHost::QtHost(Runtime& rt, bool headless)
    : rt_(rt),
      headless_(headless),
      procedure_(rt),
      window_(rt, headless, [this](const host::Message& m) { return Deliver(m); }) {
  if (rt_.session.title_setting != 0) {
    window_.setWindowTitle(QString::fromLatin1(kWindowTitle));
    window_.move(0, 0);
    window_.resize(kWindowWidth, kWindowHeight);
    window_.setAcceptDrops(true);
  } else {
    window_.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window_.resize(kWindowWidth, kWindowHeight);
  }
  rt_.main_window.port = &window_;
  rt_.display = &window_;
  // Other threads post; the window thread takes the messages in its loop.
  rt_.main_window.inbox.SetWake([this] {
    QMetaObject::invokeMethod(&window_, [this] { WakeForInbox(); }, Qt::QueuedConnection);
  });
  tick_.setInterval(host::TICK_INTERVAL_MS);
  tick_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick_, &QTimer::timeout, [this] { Deliver(host::Message{}); });
}

QtHost::~QtHost() {
  rt_.main_window.inbox.SetWake({});
  rt_.main_window.port = nullptr;
  rt_.display = nullptr;
}

int QtHost::Deliver(const host::Message& message) {
  const int result = procedure_.Handle(message);
  AfterMessage();
  return result;
}

void QtHost::Run() {
  window_.show();  // offscreen when headless: sizes, paints and input still work
  QTimer::singleShot(0, [this] {
    procedure_.Start();
    if (!Ending()) tick_.start();
    AfterMessage();
  });
  QCoreApplication::exec();
  tick_.stop();
}

void QtHost::Continue() {
  if (!window_.isVisible()) window_.show();
  if (Ending()) return;
  QTimer::singleShot(0, [this] {
    procedure_.HandleInbox();
    if (!Ending()) tick_.start();
    AfterMessage();
  });
  QCoreApplication::exec();
  tick_.stop();
}

// Messages of other threads wait for the end of a label that pauses to
// keep its window alive; a timer (which such a pause never fires) looks
// again after it.
void QtHost::WakeForInbox() {
  if (window_.KeepingAlive()) {
    QTimer::singleShot(kInboxRetryMs, &window_, [this] { WakeForInbox(); });
    return;
  }
  procedure_.HandleInbox();
  AfterMessage();
}

bool QtHost::Ending() const {
  return procedure_.QuitRequested() || (headless_ && !procedure_.CanRunLabels());
}

void QtHost::AfterMessage() {
  // A message handled while a label runs (a resize the label asked for, a
  // post from its modal loop) comes before the label's own effects: whether
  // anything is left to run is known only once the label has returned.
  if (rt_.run.lock.Held() && !rt_.main_window.fatal_exit) return;
  if (!Ending()) return;
  tick_.stop();
  QCoreApplication::exit(0);
}

}  // namespace vx::qt
