#include "printing/printing.hpp"

#include <array>
#include <cmath>

namespace vx::printing {
namespace {

constexpr double kMmPerInch = 25.4;

constexpr std::array<PaperSize, 7> kPapers = {{
    {Paper::kA3, "A3", 297, 420},
    {Paper::kA4, "A4", 210, 297},
    {Paper::kA5, "A5", 148, 210},
    {Paper::kB4, "B4", 257, 364},  // JIS B sizes, as Japanese printers mean them
    {Paper::kB5, "B5", 182, 257},
    {Paper::kLetter, "Letter", 215.9, 279.4},
    {Paper::kLegal, "Legal", 215.9, 355.6},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::int32_t Dots(double mm, int dpi) { return static_cast<std::int32_t>(std::lround(mm * dpi / kMmPerInch)); }

}  // namespace

std::optional<Paper> PaperByName(std::string_view name) {
  for (const PaperSize& p : kPapers) {
    if (SameIgnoringCase(p.name, name)) return p.paper;
  }
  return std::nullopt;
}

const PaperSize& PaperInfo(Paper paper) {
  for (const PaperSize& p : kPapers) {
    if (p.paper == paper) return p;
  }
  return kPapers[1];
}

std::int32_t PageSetup::WidthDots() const {
  const PaperSize& p = PaperInfo(paper);
  return Dots(landscape ? p.height_mm : p.width_mm, dpi);
}

std::int32_t PageSetup::HeightDots() const {
  const PaperSize& p = PaperInfo(paper);
  return Dots(landscape ? p.width_mm : p.height_mm, dpi);
}

Destination ParseDestination(std::string_view text) {
  Destination d;
  if (text.empty()) return d;
  const std::size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
  if (kind == "pdf" && !rest.empty()) {
    d.kind = Destination::Kind::kPdfFile;
  } else if (kind == "cups" && !rest.empty()) {
    d.kind = Destination::Kind::kNamedPrinter;
  } else if (kind == "cups" || kind == "default") {
    return d;  // the default printer
  } else {
    d.kind = Destination::Kind::kInvalid;
    d.name = std::string(text);
    return d;
  }
  d.name = std::string(rest);
  return d;
}

}  // namespace vx::printing
