#pragma once
// Printing: page setup, one open print job at a time, and what can be put
// on a page (a picture, text, lines and boxes). Page coordinates are dots
// at the job's resolution with (0, 0) at the paper's top-left corner, so at
// the default 300 dpi one bank pixel printed at scale 1 is one dot.
//
// The core does not know how a page reaches paper: a Printers
// implementation (the Qt layer: CUPS printers and PDF files) opens jobs.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/color.hpp"
#include "graphics/image_ops.hpp"

namespace vx::printing {

inline constexpr int PRINT_DPI_DEFAULT = 300;
inline constexpr int PRINT_DPI_MIN = 72;
inline constexpr int PRINT_DPI_MAX = 1200;
inline constexpr double PRINT_SCALE_MIN = 0.01;
inline constexpr double PRINT_SCALE_MAX = 100.0;
inline constexpr int PRINT_TEXT_HEIGHT_DEFAULT = 50;  // dots: 12 points at 300 dpi
inline constexpr int PRINT_TEXT_HEIGHT_MAX = 2000;
inline constexpr int PRINT_PEN_DEFAULT = 3;
inline constexpr int PRINT_PEN_MAX = 500;
inline constexpr std::size_t PRINT_TITLE_MAX = 255;
// A page is at most this many dots on a side (A3 at 1200 dpi is 19843).
inline constexpr std::int32_t PRINT_COORD_MAX = 1 << 20;
// Pages of one job; a runaway loop ends with an error rather than a disk
// full of blank pages.
inline constexpr int PRINT_PAGES_MAX = 10000;

enum class Paper { kA3, kA4, kA5, kB4, kB5, kLetter, kLegal };

struct PaperSize {
  Paper paper;
  std::string_view name;
  double width_mm;
  double height_mm;
};

// The paper named `name` (letter case ignored: "A4", "letter"...).
std::optional<Paper> PaperByName(std::string_view name);
const PaperSize& PaperInfo(Paper paper);

struct PageSetup {
  int dpi = PRINT_DPI_DEFAULT;
  bool landscape = false;
  Paper paper = Paper::kA4;

  // The page in dots, sides swapped when landscape.
  std::int32_t WidthDots() const;
  std::int32_t HeightDots() const;
};

// Where a job goes, from VEXMORA_PRINTER: "pdf:PATH" a PDF file,
// "cups:NAME" a named printer, empty the default printer.
struct Destination {
  enum class Kind { kDefaultPrinter, kNamedPrinter, kPdfFile, kInvalid } kind = Kind::kDefaultPrinter;
  std::string name;  // printer name or file path (UTF-8, as the system has it)
};
Destination ParseDestination(std::string_view text);

struct PrintRequest {
  Destination destination;
  std::string title;  // UTF-8: the job's name in the printer queue
  PageSetup setup;
  bool dialog = false;  // let the user choose a printer first (where a window exists)
};

// One open document. Drawing calls follow the page in progress; coordinates
// and sizes are dots of the request's resolution.
class PrintJob {
 public:
  virtual ~PrintJob() = default;
  // Ends the page in progress and begins the next; false when the device
  // refused.
  virtual bool NewPage() = 0;
  // `picture` (blue, green, red, rows top down) with its top-left at (x, y),
  // each pixel a square of `scale` dots.
  virtual void Picture(double x, double y, double scale, const graphics::Image& picture) = 0;
  // One line of text (UTF-8) with its top at y, `height` dots high.
  virtual void Text(double x, double y, std::string_view utf8, int height, graphics::Color colour) = 0;
  virtual void Line(double x1, double y1, double x2, double y2, int pen, graphics::Color colour) = 0;
  // A frame `pen` dots wide, or filled when pen is 0.
  virtual void Box(double x, double y, double width, double height, int pen, graphics::Color colour) = 0;
  // Completes the document and hands it over; false with the reason when
  // the device refused or the file could not be written.
  virtual bool Finish(std::string* error) = 0;
  // Abandons the document: the printer gets nothing (a file is removed).
  virtual void Abort() = 0;
};

// Opens jobs. Null with the reason (UTF-8) when there is no such printer,
// the file cannot be created or the user cancelled the dialog.
class Printers {
 public:
  virtual ~Printers() = default;
  virtual std::unique_ptr<PrintJob> Open(const PrintRequest& request, std::string* error) = 0;
};

// The printing state of a run.
struct Printing {
  PageSetup setup;
  std::unique_ptr<PrintJob> job;
  int page = 0;  // the page in progress, from 1; 0 without a job

  bool Open() const { return job != nullptr; }
  // A job the script left open when the run ends is completed with what
  // it holds rather than thrown away.
  ~Printing() {
    std::string ignored;
    if (job) job->Finish(&ignored);
  }
};

}  // namespace vx::printing
