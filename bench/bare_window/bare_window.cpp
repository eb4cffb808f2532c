// The floor for a window's first frame: a bare Qt program that shows one
// widget of the size vexmora's main window starts with and paints it white.
// With VEXMORA_TIMING set it prints "[timing] first-paint MICROS" (wall
// clock) on its first paint, as vexmora does, and quits a moment later.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace {

long long WallMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class WhiteWidget : public QWidget {
 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (!painted_) {
      painted_ = true;
      std::fprintf(stderr, "[timing] first-paint %lld\n", WallMicros());
      std::fflush(stderr);
      QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    }
  }

 private:
  bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  WhiteWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.move(0, 0);
  window.resize(1200, 720);
  window.show();
  return QApplication::exec();
}
