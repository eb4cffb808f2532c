#include "pcb/gerber.hpp"

#include <algorithm>
#include <cmath>

#include "pcb/text_format.hpp"

namespace vx::pcb {

IndexRange IndexRange::Clamp(const PcbState& state, std::int64_t from, std::int64_t to) {
  IndexRange r;
  r.from = static_cast<int>(std::clamp<std::int64_t>(from, 0, state.count));
  r.to = static_cast<int>(std::clamp<std::int64_t>(to, r.from, state.count));
  return r;
}

// --- apertures

namespace {

std::int32_t ApertureTypeOf(const Record& r) {
  return r.kind == KIND_LINE ? APERTURE_CIRCLE : r.kind;
}

bool SizedBySides(std::int32_t type) {
  return type == APERTURE_RECTANGLE || type == APERTURE_OBROUND;
}

bool Matches(const Aperture& a, const Record& r) {
  if (a.type != ApertureTypeOf(r)) return false;
  if (SizedBySides(a.type)) return a.size_x == r.dx && a.size_y == r.dy;
  return a.diameter == r.width;
}

bool OnPlot(const Record& r, int layer) {
  return r.present && r.layer == layer && IsPlotted(r.kind);
}

}  // namespace

int FindAperture(const ApertureList& list, const Record& record) {
  for (std::size_t i = 0; i < list.entries.size(); ++i)
    if (Matches(list.entries[i], record)) return static_cast<int>(i);
  return -1;
}

ApertureList BuildApertures(const PcbState& state, IndexRange range, int layer) {
  ApertureList list;
  for (int i = range.from; i < range.to; ++i) {
    const Record& r = state.records[i];
    if (!OnPlot(r, layer) || FindAperture(list, r) >= 0) continue;
    if (static_cast<int>(list.entries.size()) >= APERTURES_MAX) {
      ++list.overflows;
      continue;
    }
    Aperture a;
    a.type = ApertureTypeOf(r);
    a.diameter = r.width;
    a.size_x = r.dx;
    a.size_y = r.dy;
    a.name = "D";
    AppendInt(a.name, FIRST_D_CODE + static_cast<int>(list.entries.size()));
    list.entries.push_back(std::move(a));
  }
  return list;
}

// --- Gerber file

namespace {

void AppendHeader(std::string& out, Units units) {
  out += "G75*\r\n";
  if (units.millimetre)
    out += "G71*\r\n%OFA0B0*%\r\n%FSAX33Y33*%\r\n";
  else
    out += "G70*\r\n%OFA0B0*%\r\n%FSAX24Y24*%\r\n";
  out += "%IPPOS*%\r\n%LPD*%\r\n";
  out += "%AMOC8*\r\n5,1,8,0,0,1.08239X$1,22.5*\r\n*%\r\n";
}

void AppendApertureDefinition(std::string& out, const Aperture& a, Units units) {
  const int decimals = units.millimetre ? 3 : 4;
  out += "%AD";
  out += a.name;
  switch (a.type) {
    case APERTURE_RECTANGLE:
    case APERTURE_OBROUND:
      out += a.type == APERTURE_RECTANGLE ? "R," : "O,";
      AppendFixed(out, a.size_x / units.divisor, decimals);
      out += 'X';
      AppendFixed(out, a.size_y / units.divisor, decimals);
      break;
    case APERTURE_CIRCLE:
      out += "C,";
      AppendFixed(out, a.diameter / units.divisor, decimals);
      break;
    case APERTURE_OCTAGON:
      out += "OC8,";
      AppendFixed(out, a.diameter / units.divisor, decimals);
      break;
    default: break;
  }
  out += "*%\r\n";
}

// "X%07.4lfY%07.4lf" (inch) or "X%07.3lfY%07.3lf" (millimetre) with every
// "." removed, then the operation.
void AppendCoordinate(std::string& out, double x, double y, Units units, std::string_view op) {
  const int decimals = units.millimetre ? 3 : 4;
  const std::size_t start = out.size();
  out += 'X';
  AppendZeroPadded(out, x / units.divisor, 7, decimals);
  out += 'Y';
  AppendZeroPadded(out, y / units.divisor, 7, decimals);
  out.erase(std::remove(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '.'),
            out.end());
  out += op;
}

}  // namespace

std::string GerberText(const PcbState& state, IndexRange range, int layer,
                       const ApertureList& apertures, Units units) {
  std::string out;
  AppendHeader(out, units);
  for (const Aperture& a : apertures.entries) AppendApertureDefinition(out, a, units);

  // Each record's aperture, found once.
  std::vector<int> used(static_cast<std::size_t>(range.to - range.from), -1);
  for (int i = range.from; i < range.to; ++i) {
    const Record& r = state.records[i];
    if (OnPlot(r, layer)) used[i - range.from] = FindAperture(apertures, r);
  }
  out.reserve(out.size() + used.size() * 40);
  for (std::size_t k = 0; k < apertures.entries.size(); ++k) {
    out += apertures.entries[k].name;
    out += "*\r\n";
    for (int i = range.from; i < range.to; ++i) {
      if (used[i - range.from] != static_cast<int>(k)) continue;
      const Record& r = state.records[i];
      if (r.kind == KIND_LINE) {
        AppendCoordinate(out, r.x, r.y, units, "D02*\r\n");
        AppendCoordinate(out, r.EndX(), r.EndY(), units, "D01*\r\n");
      } else {
        AppendCoordinate(out, r.x, r.y, units, "D03*\r\n");
      }
    }
  }
  out += "M02*\r\n";
  return out;
}

// --- drill output

int FindTool(const ToolList& tools, const Record& record) {
  for (std::size_t i = 0; i < tools.entries.size(); ++i) {
    const Tool& t = tools.entries[i];
    if (t.kind == record.kind && t.diameter == record.width) return static_cast<int>(i);
  }
  return -1;
}

ToolList BuildTools(const PcbState& state, IndexRange range) {
  ToolList tools;
  for (int i = range.from; i < range.to; ++i) {
    const Record& r = state.records[i];
    if (!r.present || !IsHole(r.kind) || FindTool(tools, r) >= 0) continue;
    if (static_cast<int>(tools.entries.size()) >= TOOLS_MAX) {
      ++tools.overflows;
      continue;
    }
    Tool t;
    t.kind = r.kind;
    t.diameter = r.width;
    const int number = static_cast<int>(tools.entries.size()) + 1;
    t.name = number < 10 ? "T0" : "T";
    AppendInt(t.name, number);
    tools.entries.push_back(std::move(t));
  }
  return tools;
}

std::string ToolListText(const ToolList& tools, Units units) {
  std::string out;
  for (const Tool& t : tools.entries) {
    out += t.name;
    out += ' ';
    AppendFixed(out, t.diameter / units.divisor, units.millimetre ? 2 : 3);
    out += units.millimetre ? "mm" : "in";
    out += t.kind == KIND_PLATED_HOLE ? "\t\tTH\r\n" : "\t\tNTH\r\n";
  }
  return out;
}

std::int64_t DrillCoordinate(double millimetres, double divisor) {
  const double v = millimetres * 1000.0 / divisor;
  const double magnitude = std::fabs(v);
  if (!(magnitude < 9.0e18)) return 0;  // not representable: no hole there
  std::int64_t n = static_cast<std::int64_t>(magnitude);
  if (magnitude - static_cast<double>(n) > 0.5) ++n;
  return v < 0 ? -n : n;
}

namespace {

// n thousandths as a decimal number with three places ("-1.270").
void AppendThousandths(std::string& out, std::int64_t n) {
  if (n < 0) out += '-';
  const std::uint64_t m = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  AppendInt(out, static_cast<std::int64_t>(m / 1000));
  out += '.';
  const unsigned frac = static_cast<unsigned>(m % 1000);
  out += static_cast<char>('0' + frac / 100);
  out += static_cast<char>('0' + frac / 10 % 10);
  out += static_cast<char>('0' + frac % 10);
}

void AppendStandardHeader(std::string& out, const ToolList& tools, Units units) {
  out += "M48\r\n";
  out += units.millimetre ? "METRIC,LZ\r\n" : "INCH,LZ\r\n";
  for (const Tool& t : tools.entries) {
    out += t.name;
    out += 'C';
    AppendFixed(out, t.diameter / units.divisor, units.millimetre ? 3 : 4);
    out += "\r\n";
  }
  out += "%\r\nG90\r\nG05\r\n";
}

}  // namespace

std::string DrillText(const PcbState& state, IndexRange range, const ToolList& tools, Units units,
                      bool standard_header) {
  std::string out;
  if (standard_header)
    AppendStandardHeader(out, tools, units);
  else
    out += units.millimetre ? "%\r\nM71\r\n%\r\n" : "%\r\nM72\r\n";
  for (const Tool& t : tools.entries) {
    out += t.name;
    out += "\r\n";
    for (int i = range.from; i < range.to; ++i) {
      const Record& r = state.records[i];
      if (!r.present || r.kind != t.kind || r.width != t.diameter) continue;
      const std::int64_t x = DrillCoordinate(r.x, units.divisor);
      const std::int64_t y = DrillCoordinate(r.y, units.divisor);
      out += 'X';
      if (standard_header) AppendThousandths(out, x); else AppendInt(out, x);
      out += 'Y';
      if (standard_header) AppendThousandths(out, y); else AppendInt(out, y);
      out += "\r\n";
    }
  }
  out += "M30\r\n";
  return out;
}

}  // namespace vx::pcb
