// The printing family: page setup, a print job with its pages, and what
// goes on them (a bank or a rectangle of it at a scale, text, lines and
// boxes). LoadBMPImage prints instead of loading while a job is open (see
// PrintBmpFile). Statuses go to G_ERROR (0 success, 1 failure) with the
// reason in G_ERR_TXT.
#include "graphics/print_page.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "graphics/image_ops.hpp"
#include "printing/printing.hpp"
#include "text/encoding.hpp"

namespace vx::api {
namespace {

using printing::Printing;

constexpr std::string_view kDefaultTitle = "vexmora";
constexpr std::string_view kNoJob = "no print job is open (PrtStart)";
constexpr std::string_view kJobOpen = "a print job is already open";
constexpr std::string_view kNegativePosition = "Position must be over or equal zero. [5402]";

enum Figure : std::int32_t {
  kFigurePicture = 0,
  kFigureText = 1,
  kFigureLine = 2,
  kFigureBox = 3,
};

Printing& State(Runtime& rt) {
  if (!rt.printing) rt.printing = std::make_shared<Printing>();
  return *rt.printing;
}

// G_ERROR 1 and the reason (UTF-8 from the outside world, shown as
// Shift-JIS) in G_ERR_TXT.
void Refuse(Call& call, std::string_view reason_utf8) {
  call.SetErrText(text::Utf8ToCp932(reason_utf8));
  call.SetError(1);
}

void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

Printing* OpenJob(Call& call) {
  Printing& p = State(call.rt());
  if (!p.Open()) {
    Refuse(call, kNoJob);
    return nullptr;
  }
  return &p;
}

bool InPage(std::int32_t v) { return v >= 0 && v <= printing::PRINT_COORD_MAX; }

graphics::Color Colour(std::int32_t rgb) { return graphics::FromPacked(static_cast<std::uint32_t>(rgb)); }

// SetPrtScreen [N dpi = 300], [N landscape = 0], [T paper = "A4"]: the page
// of the next job. G_WORK1, G_WORK2 = the page's width and height in dots.
void SetPrtScreen(Call& call) {
  const std::int32_t dpi = call.OptInt(0, printing::PRINT_DPI_DEFAULT);
  const std::int32_t landscape = call.OptInt(1, 0);
  std::string& paper_name = call.Small(0);
  call.OptString(2, paper_name, "A4");
  if (call.rt().error.Raised()) return;
  Printing& p = State(call.rt());
  if (p.Open()) return Refuse(call, "the page cannot change while a print job is open");
  if (dpi < printing::PRINT_DPI_MIN || dpi > printing::PRINT_DPI_MAX) {
    return Refuse(call, "resolution must be from 72 to 1200 dpi");
  }
  const auto paper = printing::PaperByName(paper_name);
  if (!paper) return Refuse(call, "unknown paper (A3, A4, A5, B4, B5, Letter, Legal)");
  p.setup.dpi = dpi;
  p.setup.landscape = landscape != 0;
  p.setup.paper = *paper;
  call.SetWork(1, p.setup.WidthDots());
  call.SetWork(2, p.setup.HeightDots());
  Succeed(call);
}

// PrtStart [T title], [N dialog = 1]: opens a job on VEXMORA_PRINTER (a PDF
// file, a named printer, else the default printer). With a window and
// dialog 1 the user may pick the printer first. G_WORK1, G_WORK2 = the
// page's size in dots, G_WORK3 = the resolution.
void PrtStart(Call& call) {
  std::string& title = call.Small(0);
  call.OptString(0, title, kDefaultTitle);
  const std::int32_t dialog = call.OptInt(1, 1);
  if (call.rt().error.Raised()) return;
  Runtime& rt = call.rt();
  Printing& p = State(rt);
  if (p.Open()) return Refuse(call, kJobOpen);
  if (rt.printers == nullptr) return Refuse(call, "printing is not available in this program");
  const char* env = std::getenv("VEXMORA_PRINTER");
  printing::PrintRequest request;
  request.destination = printing::ParseDestination(env ? env : "");
  if (request.destination.kind == printing::Destination::Kind::kInvalid) {
    return Refuse(call, "VEXMORA_PRINTER must be pdf:PATH or cups:NAME, not " + request.destination.name);
  }
  request.title = text::Cp932ToUtf8(title.substr(0, printing::PRINT_TITLE_MAX));
  request.setup = p.setup;
  // Choosing in a dialog makes sense only when no destination was forced.
  request.dialog = dialog != 0 && env == nullptr;
  std::string error;
  p.job = rt.printers->Open(request, &error);
  if (!p.job) return Refuse(call, error);
  p.page = 1;
  call.SetWork(1, p.setup.WidthDots());
  call.SetWork(2, p.setup.HeightDots());
  call.SetWork(3, p.setup.dpi);
  Succeed(call);
}

// PrtNextPage: a page break. G_WORK1 = the number of the new page.
void PrtNextPage(Call& call) {
  Printing* p = OpenJob(call);
  if (p == nullptr) return;
  if (p->page >= printing::PRINT_PAGES_MAX) return Refuse(call, "too many pages in one job");
  if (!p->job->NewPage()) return Refuse(call, "the printer refused a new page");
  ++p->page;
  call.SetWork(1, p->page);
  Succeed(call);
}

// PrtEndPage [N cancel = 0]: ends the job and hands it to the printer (or
// closes the file); with cancel 1 the job is thrown away. G_WORK1 = pages.
void PrtEndPage(Call& call) {
  const std::int32_t cancel = call.OptInt(0, 0);
  if (call.rt().error.Raised()) return;
  Printing* p = OpenJob(call);
  if (p == nullptr) return;
  std::unique_ptr<printing::PrintJob> job = std::move(p->job);
  const int pages = p->page;
  p->page = 0;
  call.SetWork(1, pages);
  if (cancel != 0) {
    job->Abort();
    return Succeed(call);
  }
  std::string error;
  if (!job->Finish(&error)) return Refuse(call, error);
  Succeed(call);
}

// PrtGFg 0, page x, page y, [D scale = 1], [N bank = -1], [N x = 0],
// [N y = 0], [N width = 0], [N height = 0]: a rectangle of a bank (width or
// height below 1: to the bank's edge).
void PrintPicture(Call& call, Printing& p) {
  const std::int32_t px = call.Int(1);
  const std::int32_t py = call.Int(2);
  const double scale = call.OptDouble(3, 1.0);
  const std::int32_t bank_index = call.OptInt(4, -1);
  const std::int32_t x = call.OptInt(5, 0);
  const std::int32_t y = call.OptInt(6, 0);
  std::int32_t w = call.OptInt(7, 0);
  std::int32_t h = call.OptInt(8, 0);
  if (call.rt().error.Raised()) return;
  if (!InPage(px) || !InPage(py)) return Refuse(call, kNegativePosition);
  if (!(scale >= printing::PRINT_SCALE_MIN && scale <= printing::PRINT_SCALE_MAX)) {
    return Refuse(call, "scale must be from 0.01 to 100");
  }
  const std::uint8_t* bank = call.rt().vram.Bank(bank_index);
  if (bank == nullptr) return Refuse(call, "no such bank");
  if (x < 0 || y < 0 || x >= graphics::VRAM_WIDTH || y >= graphics::VRAM_HEIGHT) {
    return Refuse(call, "the rectangle lies outside the bank");
  }
  if (w < 1 || w > graphics::VRAM_WIDTH - x) w = graphics::VRAM_WIDTH - x;
  if (h < 1 || h > graphics::VRAM_HEIGHT - y) h = graphics::VRAM_HEIGHT - y;
  const graphics::Image picture = graphics::CopyFromBank(bank, graphics::PixelRect{x, y, x + w - 1, y + h - 1});
  p.job->Picture(px, py, scale, picture);
  Succeed(call);
}

// PrtGFg 1, page x, page y, T text, [N height = 50 dots], [N colour = 0]:
// lines of text (split at line breaks) from (x, y) down.
void PrintText(Call& call, Printing& p) {
  const std::int32_t px = call.Int(1);
  const std::int32_t py = call.Int(2);
  std::string& sjis = call.Large(0);
  call.String(3, sjis);
  const std::int32_t height = call.OptInt(4, printing::PRINT_TEXT_HEIGHT_DEFAULT);
  const std::int32_t rgb = call.OptInt(5, 0);
  if (call.rt().error.Raised()) return;
  if (!InPage(px) || !InPage(py)) return Refuse(call, kNegativePosition);
  if (height < 1 || height > printing::PRINT_TEXT_HEIGHT_MAX) {
    return Refuse(call, "text height must be from 1 to 2000 dots");
  }
  const std::string utf8 = text::Cp932ToUtf8(sjis);
  double line_top = py;
  std::size_t from = 0;
  while (from <= utf8.size()) {
    std::size_t end = utf8.find('\n', from);
    if (end == std::string::npos) end = utf8.size();
    std::string_view line(utf8.data() + from, end - from);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) p.job->Text(px, line_top, line, height, Colour(rgb));
    line_top += height * 1.2;  // the usual line spacing
    from = end + 1;
  }
  Succeed(call);
}

// PrtGFg 2, x1, y1, x2, y2, [N pen = 3], [N colour = 0]: a line.
// PrtGFg 3, x, y, width, height, [N pen = 3 (0: filled)], [N colour = 0]: a box.
void PrintShape(Call& call, Printing& p, std::int32_t figure) {
  const std::int32_t a = call.Int(1);
  const std::int32_t b = call.Int(2);
  const std::int32_t c = call.Int(3);
  const std::int32_t d = call.Int(4);
  const std::int32_t pen = call.OptInt(5, printing::PRINT_PEN_DEFAULT);
  const std::int32_t rgb = call.OptInt(6, 0);
  if (call.rt().error.Raised()) return;
  if (!InPage(a) || !InPage(b) || !InPage(c) || !InPage(d)) return Refuse(call, kNegativePosition);
  const std::int32_t pen_min = figure == kFigureBox ? 0 : 1;
  if (pen < pen_min || pen > printing::PRINT_PEN_MAX) return Refuse(call, "pen width out of range");
  if (figure == kFigureLine) {
    p.job->Line(a, b, c, d, pen, Colour(rgb));
  } else {
    // A frame drawn inside the box: one as wide as half the box or more
    // covers all of it, and must not spill over its edges.
    const bool solid = std::int64_t{pen} * 2 >= std::min(c, d);
    p.job->Box(a, b, c, d, solid ? 0 : pen, Colour(rgb));
  }
  Succeed(call);
}

// PrtGFg N figure, ...: puts a figure on the page in progress.
void PrtGFg(Call& call) {
  const std::int32_t figure = call.Int(0);
  if (call.rt().error.Raised()) return;
  Printing* p = OpenJob(call);
  if (p == nullptr) return;
  switch (figure) {
    case kFigurePicture: return PrintPicture(call, *p);
    case kFigureText: return PrintText(call, *p);
    case kFigureLine:
    case kFigureBox: return PrintShape(call, *p, figure);
    default: return Refuse(call, "unknown figure (0 picture, 1 text, 2 line, 3 box)");
  }
}

constexpr Registration kPrintingApis[] = {
    {Id("PrtStart"), PrtStart},
    {Id("PrtNextPage"), PrtNextPage},
    {Id("PrtEndPage"), PrtEndPage},
    {Id("PrtGFg"), PrtGFg},
    {Id("SetPrtScreen"), SetPrtScreen},
};

}  // namespace

bool PrintJobOpen(const Runtime& rt) { return rt.printing && rt.printing->Open(); }

void PrintOnPage(Runtime& rt, std::int32_t x, std::int32_t y, const graphics::Image& picture) {
  if (PrintJobOpen(rt) && !picture.Empty()) rt.printing->job->Picture(x, y, 1.0, picture);
}

void RegisterPrintingApis(Registry& registry) { registry.AddAll(kPrintingApis); }

}  // namespace vx::api
