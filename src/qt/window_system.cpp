#include "qt/window_system.hpp"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "graphics/bmp.hpp"
#include "graphics/byte_source.hpp"
#include "host/launch.hpp"
#include "qt/debugger.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

QString FromSjis(std::string_view text) { return QString::fromStdString(text::Cp932ToUtf8(text)); }

std::string ToSjis(const QString& text) { return text::Utf8ToCp932(text.toStdString()); }

// Pictures larger than this (pixel bytes) are neither handed to scripts nor
// put on the clipboard: far beyond any bank, and a hostile clipboard owner
// must not make us allocate gigabytes.
constexpr std::uint64_t kPictureBytesMax = std::uint64_t{256} << 20;

void PutLe16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void PutLe32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

void QtWindowSystem::SetMainWindow(QWidget* window) {
  main_window_ = window;
  if (controls_) controls_->SetMainWindow(window);
  if (main_window_ && !Title().empty()) main_window_->setWindowTitle(FromSjis(Title()));
}

std::string QtWindowSystem::ClipboardText() {
  if (headless_) return InProcessWindowSystem::ClipboardText();
  return ToSjis(QApplication::clipboard()->text());
}

void QtWindowSystem::SetClipboardText(std::string_view text) {
  if (headless_) {
    InProcessWindowSystem::SetClipboardText(text);
    return;
  }
  QApplication::clipboard()->setText(FromSjis(text));
}

std::string PictureToDib(const QImage& picture) {
  if (picture.isNull() || picture.width() < 1 || picture.height() < 1) return {};
  const std::uint64_t stride = graphics::BmpStride(picture.width(), 24);
  const std::uint64_t pixel_bytes = stride * static_cast<std::uint64_t>(picture.height());
  if (pixel_bytes > kPictureBytesMax) return {};
  const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
  if (bgr.isNull()) return {};
  std::string dib;
  dib.reserve(graphics::BMP_INFO_HEADER_BYTES + pixel_bytes);
  PutLe32(dib, graphics::BMP_INFO_HEADER_BYTES);
  PutLe32(dib, static_cast<std::uint32_t>(bgr.width()));
  PutLe32(dib, static_cast<std::uint32_t>(bgr.height()));  // positive: bottom-up
  PutLe16(dib, 1);                                          // planes
  PutLe16(dib, 24);
  PutLe32(dib, graphics::BMP_BI_RGB);
  PutLe32(dib, static_cast<std::uint32_t>(pixel_bytes));
  for (int k = 0; k < 4; ++k) PutLe32(dib, 0);  // resolutions and colour counts
  const std::size_t row_bytes = static_cast<std::size_t>(bgr.width()) * 3;
  for (int y = bgr.height() - 1; y >= 0; --y) {
    dib.append(reinterpret_cast<const char*>(bgr.constScanLine(y)), row_bytes);
    dib.append(stride - row_bytes, '\0');
  }
  return dib;
}

QImage DibToPicture(std::string_view dib) {
  graphics::SpanSource header_source(dib);
  const std::optional<graphics::BmpHeader> header = graphics::ReadDibHeader(header_source);
  if (!header || header->Columns() < 1 || header->Rows() < 1 ||
      header->Columns() > graphics::BMP_WINDOW_COLUMNS_MAX || header->Rows() > INT32_MAX ||
      static_cast<std::uint64_t>(header->Columns()) * 3 * static_cast<std::uint64_t>(header->Rows()) >
          kPictureBytesMax) {
    return {};
  }
  QImage picture(static_cast<int>(header->Columns()), static_cast<int>(header->Rows()),
                 QImage::Format_BGR888);
  if (picture.isNull()) return {};
  const graphics::BmpWindow all{0, header->Columns(), 0, header->Rows()};
  const std::size_t row_bytes = static_cast<std::size_t>(picture.width()) * 3;
  graphics::SpanSource rows(dib);
  const graphics::BmpRead read =
      graphics::ReadBmpRows(rows, *header, all, [&](std::int64_t row, std::span<const std::uint8_t> bgr) {
        if (bgr.size() >= row_bytes) std::memcpy(picture.scanLine(static_cast<int>(row)), bgr.data(), row_bytes);
      });
  return read == graphics::BmpRead::kOk ? picture : QImage();
}

std::string QtWindowSystem::ClipboardPicture() {
  if (headless_) return WindowSystem::ClipboardPicture();
  return PictureToDib(QApplication::clipboard()->image());
}

bool QtWindowSystem::SetClipboardPicture(std::string_view dib) {
  if (headless_) return WindowSystem::SetClipboardPicture(dib);
  const QImage picture = DibToPicture(dib);
  if (picture.isNull()) return false;
  QApplication::clipboard()->setImage(picture);
  return true;
}

void QtWindowSystem::ScreenSize(int* width, int* height) {
  const QScreen* screen = headless_ ? nullptr : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    WindowSystem::ScreenSize(width, height);
    return;
  }
  *width = screen->geometry().width();
  *height = screen->geometry().height();
}

bool QtWindowSystem::GrabScreen(int x, int y, int width, int height, std::string* dib) {
  QScreen* screen = headless_ ? nullptr : QGuiApplication::primaryScreen();
  if (screen == nullptr || width < 1 || height < 1) return false;
  QImage picture = screen->grabWindow(0, x, y, width, height).toImage();
  if (picture.isNull()) return false;
  // A scaled screen hands back device pixels; scripts asked for screen ones.
  if (picture.width() != width || picture.height() != height) {
    picture = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  *dib = PictureToDib(picture);
  return !dib->empty();
}

void QtWindowSystem::ShowMessage(std::string_view caption, std::string_view text) {
  if (headless_) {
    InProcessWindowSystem::ShowMessage(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, FromSjis(caption), FromSjis(text), QMessageBox::Ok,
                  main_window_);
  box.exec();
}

void QtWindowSystem::ShowExplainedMessage(std::string_view caption, std::string_view text,
                                          std::string_view explanation) {
  if (headless_) {
    InProcessWindowSystem::ShowExplainedMessage(caption, text, explanation);
    return;
  }
  ShowNote(explanation);
  QMessageBox box(QMessageBox::NoIcon, FromSjis(caption), FromSjis(text), QMessageBox::Ok,
                  main_window_);
  box.setDetailedText(FromSjis(explanation));
  box.exec();
}

void QtWindowSystem::SetTitle(std::string_view title) {
  InProcessWindowSystem::SetTitle(title);
  if (main_window_) main_window_->setWindowTitle(FromSjis(title));
}

int QtDebugDialog::Open(Runtime& rt, std::int32_t procedure, std::string_view text) {
  if (headless_) return host::HeadlessDebugDialog().Open(rt, procedure, text);
  if (quick_watch_ == nullptr && make_quick_watch_) quick_watch_ = make_quick_watch_();
  return RunDebugDialog(rt, procedure, text, main_window_, quick_watch_);
}

}  // namespace vx::qt
