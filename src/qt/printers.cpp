#include "qt/printers.hpp"

#include <QIODevice>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "platform/library_packages.hpp"
#include "platform/output_file.hpp"
#include "platform/shared_library.hpp"
#include "qt/printsupport/print_module.hpp"

namespace vx::qt {
namespace {

using printing::Paper;

constexpr const char* kModuleName = "the print-support module";
// The Qt library the module needs beside those the window already loaded.
constexpr const char* kPrintSupportLibrary = "libQt6PrintSupport.so.6";
constexpr std::size_t kModuleErrorMax = 512;
// The face text is printed in: a Japanese Gothic that also has Latin
// letters; fontconfig stands in another when it is missing.
constexpr const char* kTextFamily = "IPAGothic";

QPageSize::PageSizeId PageSizeOf(Paper paper) {
  switch (paper) {
    case Paper::kA3: return QPageSize::A3;
    case Paper::kA5: return QPageSize::A5;
    case Paper::kB4: return QPageSize::JisB4;
    case Paper::kB5: return QPageSize::JisB5;
    case Paper::kLetter: return QPageSize::Letter;
    case Paper::kLegal: return QPageSize::Legal;
    case Paper::kA4: break;
  }
  return QPageSize::A4;
}

QColor ToQColor(graphics::Color c) { return QColor(c.r, c.g, c.b); }

// What the job does besides painting: finishing and abandoning differ for
// files and printers.
class DeviceEnd {
 public:
  virtual ~DeviceEnd() = default;
  // After the painter has ended.
  virtual bool Finished(std::string* error) = 0;
  // Ends `painter` and throws the document away.
  virtual void Abandon(QPainter& painter) = 0;
};

class QtPrintJob final : public printing::PrintJob {
 public:
  QtPrintJob(std::unique_ptr<QPagedPaintDevice> device, std::unique_ptr<DeviceEnd> end, int dpi)
      : device_(std::move(device)), end_(std::move(end)), dpi_(dpi) {}
  ~QtPrintJob() override {
    if (painter_.isActive()) Abort();
  }

  bool Begin() {
    if (!painter_.begin(device_.get())) return false;
    // Dots of the requested resolution, whatever the device settled on.
    painter_.scale(device_->logicalDpiX() / static_cast<double>(dpi_),
                   device_->logicalDpiY() / static_cast<double>(dpi_));
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Bank pictures are drawings: the PDF keeps their exact pixels rather
    // than a JPEG of them.
    painter_.setRenderHint(QPainter::LosslessImageRendering, true);
    painter_.setRenderHint(QPainter::Antialiasing, true);
    return true;
  }

  bool NewPage() override { return device_->newPage(); }

  void Picture(double x, double y, double scale, const graphics::Image& picture) override {
    const QImage image(picture.pixels.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_BGR888);
    painter_.drawImage(QRectF(x, y, picture.width * scale, picture.height * scale), image);
  }

  void Text(double x, double y, std::string_view utf8, int height, graphics::Color colour) override {
    QFont font(QString::fromLatin1(kTextFamily));
    font.setPixelSize(height);
    painter_.setFont(font);
    painter_.setPen(ToQColor(colour));
    const QFontMetricsF metrics(font, device_.get());
    painter_.drawText(QPointF(x, y + metrics.ascent()),
                      QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  }

  void Line(double x1, double y1, double x2, double y2, int pen, graphics::Color colour) override {
    painter_.setPen(QPen(ToQColor(colour), pen, Qt::SolidLine, Qt::SquareCap));
    painter_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
  }

  void Box(double x, double y, double width, double height, int pen, graphics::Color colour) override {
    if (pen == 0) {
      painter_.fillRect(QRectF(x, y, width, height), ToQColor(colour));
      return;
    }
    // The frame lies inside the rectangle.
    painter_.setPen(QPen(ToQColor(colour), pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(QRectF(x + pen / 2.0, y + pen / 2.0, width - pen, height - pen));
  }

  bool Finish(std::string* error) override {
    const bool painted = painter_.end();
    if (!end_->Finished(error)) return false;
    if (!painted) {
      *error = "the page could not be completed";
      return false;
    }
    return true;
  }

  void Abort() override { end_->Abandon(painter_); }

 private:
  std::unique_ptr<QPagedPaintDevice> device_;
  std::unique_ptr<DeviceEnd> end_;
  int dpi_;
  QPainter painter_;
};

// --- PDF files

// The PDF goes through the program's one way of writing files: written
// beside its name and put in place when the job ends, so a job that fails
// leaves the file that was there.
class OutputFileDevice final : public QIODevice {
 public:
  explicit OutputFileDevice(files::OutputFile out) : out_(std::move(out)) { open(QIODevice::WriteOnly); }
  files::OutputFile& File() { return out_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    return out_.Write(std::string_view(data, static_cast<std::size_t>(size))) ? size : -1;
  }

 private:
  files::OutputFile out_;
};

// QPdfWriter only points at its file; the file lives with the writer.
class PdfWriterDevice final : public QPdfWriter {
 public:
  explicit PdfWriterDevice(std::unique_ptr<OutputFileDevice> file)
      : QPdfWriter(file.get()), file_(std::move(file)) {}
  OutputFileDevice* File() { return file_.get(); }

 private:
  std::unique_ptr<OutputFileDevice> file_;
};

class PdfFileEnd final : public DeviceEnd {
 public:
  PdfFileEnd(PdfWriterDevice* writer, std::string name) : writer_(writer), name_(std::move(name)) {}
  bool Finished(std::string* error) override {
    const int errnum = writer_->File()->File().Finish();
    if (errnum != 0) *error = "cannot write " + name_ + ": " + std::strerror(errnum);
    return errnum == 0;
  }
  void Abandon(QPainter& painter) override {
    painter.end();
    writer_->File()->close();  // the file is dropped with the writer, unfinished
  }

 private:
  PdfWriterDevice* writer_;  // owned by the job, which outlives this
  std::string name_;
};

// --- printers, through the print-support module

struct PrintModule {
  decltype(&::vexmora_open_printer) open = nullptr;
  decltype(&::vexmora_printer_failed) failed = nullptr;
  decltype(&::vexmora_printer_abort) abort = nullptr;
};

// The module's library image, carried inside the executable.
extern "C" const unsigned char vexmora_print_module_image[];
extern "C" const unsigned char vexmora_print_module_image_end[];

const PrintModule* LoadModule(std::string* error) {
  static PrintModule module;
  static std::string failure;
  static const bool loaded = [] {
    const std::span<const unsigned char> image(vexmora_print_module_image, vexmora_print_module_image_end);
    // Kept for the process: printers may still hold the library's objects
    // while the program runs down.
    platform::SharedLibrary* library =
        platform::SharedLibrary::FromImage(image, "vexmora-printsupport").release();
    bool ok = library->Loaded();
    ok = ok && library->Bind("vexmora_open_printer", &module.open);
    ok = ok && library->Bind("vexmora_printer_failed", &module.failed);
    ok = ok && library->Bind("vexmora_printer_abort", &module.abort);
    if (!ok) {
      failure = std::string("cannot load ") + kModuleName + ": " + library->Error();
      if (failure.find(kPrintSupportLibrary) != std::string::npos) {
        failure += platform::InstallHint(platform::PackageProviding(kPrintSupportLibrary));
      }
    }
    return ok;
  }();
  if (!loaded) {
    *error = failure;
    return nullptr;
  }
  return &module;
}

class PrinterEnd final : public DeviceEnd {
 public:
  PrinterEnd(const PrintModule& module, QPagedPaintDevice* printer) : module_(module), printer_(printer) {}
  bool Finished(std::string* error) override {
    if (module_.failed(printer_) == 0) return true;
    *error = "the printer refused the job";
    return false;
  }
  void Abandon(QPainter& painter) override {
    module_.abort(printer_);
    painter.end();
  }

 private:
  const PrintModule& module_;
  QPagedPaintDevice* printer_;  // owned by the job, which outlives this
};

}  // namespace

QtPrinters::QtPrinters(std::function<void()> start_qt, std::function<QWidget*()> parent)
    : start_qt_(std::move(start_qt)), parent_(std::move(parent)) {}

std::unique_ptr<printing::PrintJob> QtPrinters::Open(const printing::PrintRequest& request,
                                                     std::string* error) {
  if (start_qt_) start_qt_();
  if (request.destination.kind == printing::Destination::Kind::kPdfFile) return OpenPdf(request, error);
  return OpenPrinter(request, error);
}

std::unique_ptr<printing::PrintJob> QtPrinters::OpenPdf(const printing::PrintRequest& request,
                                                        std::string* error) {
  files::OutputFile out = files::OutputFile::OpenSystem(request.destination.name, files::WriteMode::kReplace);
  if (!out.ok()) {
    *error = "cannot create " + request.destination.name + ": " + std::strerror(out.error());
    return nullptr;
  }
  auto writer = std::make_unique<PdfWriterDevice>(std::make_unique<OutputFileDevice>(std::move(out)));
  writer->setResolution(request.setup.dpi);
  writer->setPageSize(QPageSize(PageSizeOf(request.setup.paper)));
  writer->setPageOrientation(request.setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  writer->setPageMargins(QMarginsF(0, 0, 0, 0));
  writer->setTitle(QString::fromUtf8(request.title.c_str()));
  writer->setCreator(QStringLiteral("vexmora"));
  auto end = std::make_unique<PdfFileEnd>(writer.get(), request.destination.name);
  auto job = std::make_unique<QtPrintJob>(std::move(writer), std::move(end), request.setup.dpi);
  if (!job->Begin()) {
    *error = "cannot start the PDF file " + request.destination.name;
    job->Abort();
    return nullptr;
  }
  return job;
}

std::unique_ptr<printing::PrintJob> QtPrinters::OpenPrinter(const printing::PrintRequest& request,
                                                            std::string* error) {
  const PrintModule* module = LoadModule(error);
  if (module == nullptr) return nullptr;
  QWidget* parent = request.dialog && parent_ ? parent_() : nullptr;
  std::array<char, kModuleErrorMax> reason{};
  QPagedPaintDevice* printer =
      module->open(request.destination.name.c_str(), request.title.c_str(), request.setup.dpi,
                   PageSizeOf(request.setup.paper), request.setup.landscape ? 1 : 0, parent != nullptr ? 1 : 0,
                   parent, reason.data(), reason.size());
  if (printer == nullptr) {
    *error = reason.data();
    return nullptr;
  }
  std::unique_ptr<QPagedPaintDevice> owned(printer);
  auto end = std::make_unique<PrinterEnd>(*module, printer);
  auto job = std::make_unique<QtPrintJob>(std::move(owned), std::move(end), request.setup.dpi);
  if (!job->Begin()) {
    *error = "the printer refused the job";
    return nullptr;
  }
  return job;
}

}  // namespace vx::qt
