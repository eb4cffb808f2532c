#include "print_module.hpp"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace {

void Say(char* error, std::size_t size, const QString& text) {
  if (error == nullptr || size == 0) return;
  std::snprintf(error, size, "%s", text.toUtf8().constData());
}

QPrinter* AsPrinter(QPagedPaintDevice* device) { return dynamic_cast<QPrinter*>(device); }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) QPagedPaintDevice* vexmora_open_printer(
    const char* name, const char* title, int dpi, int page_size_id, int landscape, int dialog,
    QWidget* parent, char* error, std::size_t error_size) {
  const QString wanted = QString::fromUtf8(name ? name : "");
  if (!wanted.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(wanted)) {
    Say(error, error_size, QStringLiteral("no printer named %1").arg(wanted));
    return nullptr;
  }
  if (wanted.isEmpty() && QPrinterInfo::defaultPrinterName().isEmpty() && !(dialog && parent)) {
    Say(error, error_size, QStringLiteral("no default printer (set VEXMORA_PRINTER to pdf:PATH or cups:NAME)"));
    return nullptr;
  }
  auto* printer = new QPrinter(QPrinter::HighResolution);
  if (!wanted.isEmpty()) printer->setPrinterName(wanted);
  printer->setOutputFormat(QPrinter::NativeFormat);
  printer->setDocName(QString::fromUtf8(title ? title : ""));
  printer->setResolution(dpi);
  printer->setFullPage(true);
  printer->setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(page_size_id)));
  printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (dialog && parent != nullptr) {
    QPrintDialog chooser(printer, parent);
    if (chooser.exec() != QDialog::Accepted) {
      delete printer;
      Say(error, error_size, QStringLiteral("printing cancelled"));
      return nullptr;
    }
  }
  if (!printer->isValid()) {
    Say(error, error_size, QStringLiteral("the printer %1 cannot be used").arg(printer->printerName()));
    delete printer;
    return nullptr;
  }
  return printer;
}

__attribute__((visibility("default"))) int vexmora_printer_failed(QPagedPaintDevice* device) {
  QPrinter* printer = AsPrinter(device);
  if (printer == nullptr) return 1;
  return printer->printerState() == QPrinter::Error || printer->printerState() == QPrinter::Aborted;
}

__attribute__((visibility("default"))) void vexmora_printer_abort(QPagedPaintDevice* device) {
  if (QPrinter* printer = AsPrinter(device)) printer->abort();
}

}
