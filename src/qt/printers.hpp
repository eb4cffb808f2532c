#pragma once
// Print jobs through Qt: PDF files with QPdfWriter (part of Qt's GUI
// library), printers (CUPS) with QPrinter. Qt's print support library is
// not linked: it lives in a small module (see printsupport/), carried
// inside the executable and opened when a script first prints to a
// printer, so that a start never maps it.
#include <functional>
#include <memory>
#include <string>

#include "printing/printing.hpp"

class QWidget;

namespace vx::qt {

class QtPrinters final : public printing::Printers {
 public:
  // `start_qt` makes the application object (text needs fonts); `parent` is
  // the window print dialogs belong to, null when headless (no dialogs).
  QtPrinters(std::function<void()> start_qt, std::function<QWidget*()> parent);

  std::unique_ptr<printing::PrintJob> Open(const printing::PrintRequest& request,
                                           std::string* error) override;

 private:
  std::unique_ptr<printing::PrintJob> OpenPdf(const printing::PrintRequest& request, std::string* error);
  std::unique_ptr<printing::PrintJob> OpenPrinter(const printing::PrintRequest& request, std::string* error);

  std::function<void()> start_qt_;
  std::function<QWidget*()> parent_;
};

}  // namespace vx::qt
