// The wave simulation family: a mass-and-spring chain of up to 2000 nodes
// (InitSimPrm ... GoSim) and a lattice of up to 50 x 50 cells (S2...),
// integrated with velocity Verlet (src/simulation/medium.hpp).
//
// Every call sets G_ERROR: 0 on success, 1 on failure with the reason in
// G_ERR_TXT; a failed call changes nothing. The stepping calls leave the
// state in G_WORK1 (steps done by the call) and G_DBLWK1-6 (time, total
// energy, kinetic energy, potential energy, probe displacement, probe
// velocity).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "audio/audio_system.hpp"
#include "audio/wave_stores.hpp"
#include "engine/runtime.hpp"
#include "graphics/canvas.hpp"
#include "simulation/simulation.hpp"

namespace vx::api {
namespace {

using simulation::Attribute;
using simulation::Chain;
using simulation::Lattice;
using simulation::Source;

// Steps one call may take: about a second of work on the full chain.
constexpr std::int32_t kStepsPerCallMax = 100000;
constexpr std::int32_t kAttributeLast = simulation::ATTR_HELD;

simulation::Simulation& S(Call& call) { return simulation::State(call.rt()); }

// G_ERROR 0, and no reason left over from a call that failed before.
void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

bool ValidSteps(Call& call, std::int32_t steps) {
  if (steps >= 0 && steps <= kStepsPerCallMax) return true;
  ReportFailure(call, "step count must be 0 to " + std::to_string(kStepsPerCallMax));
  return false;
}

// The source an SetWvPnt or S2SetForce call describes from argument `n`
// (the kind) on; false with the failure reported.
bool SourceArgs(Call& call, int n, Source* out) {
  const std::int32_t kind = call.Int(n);
  switch (kind) {
    case simulation::SOURCE_OFF:
      *out = Source{};
      return true;
    case simulation::SOURCE_SINE: {
      const double amplitude = call.Double(n + 1);
      const double frequency = call.Double(n + 2);
      const double phase = call.OptDouble(n + 3, 0.0);
      if (!std::isfinite(amplitude) || !std::isfinite(frequency) || !std::isfinite(phase)) {
        ReportFailure(call, "amplitude, frequency and phase must be finite numbers");
        return false;
      }
      *out = Source::Sine(amplitude, frequency, phase);
      return true;
    }
    case simulation::SOURCE_RECORDED: {
      const double amplitude = call.Double(n + 1);
      const std::int32_t bank = call.Int(n + 2);
      const std::int32_t start = call.OptInt(n + 3, 0);
      const double rate = call.OptDouble(n + 4, 1.0);
      const std::int32_t length = call.OptInt(n + 5, audio::WAVE_SAMPLES);
      if (!audio::ValidBank(bank)) {
        ReportFailure(call, "no sample store " + std::to_string(bank));
        return false;
      }
      if (start < 0 || start >= audio::WAVE_SAMPLES || length < 1) {
        ReportFailure(call, "start must be 0 to 524287 and length at least 1");
        return false;
      }
      if (!std::isfinite(amplitude) || !(rate > 0.0) || !std::isfinite(rate)) {
        ReportFailure(call, "amplitude must be finite and rate above 0");
        return false;
      }
      const std::span<std::int16_t> samples = audio::System(call.rt()).stores.Bank(bank);
      const std::size_t first = static_cast<std::size_t>(start);
      const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), samples.size() - first);
      *out = Source::Recorded(amplitude, samples.subspan(first, count), rate);
      return true;
    }
    default:
      ReportFailure(call, "unknown source kind " + std::to_string(kind));
      return false;
  }
}

void ReportState(Call& call, std::int32_t steps, double time, double kinetic, double potential, double u,
                 double v) {
  call.SetWork(1, steps);
  call.SetDblWork(1, time);
  call.SetDblWork(2, kinetic + potential);
  call.SetDblWork(3, kinetic);
  call.SetDblWork(4, potential);
  call.SetDblWork(5, u);
  call.SetDblWork(6, v);
}

// Runs the chain `steps` times; false with the failure reported when the
// time step is too long for the medium.
bool RunChain(Call& call, Chain& chain, std::int32_t steps, std::int32_t* done) {
  *done = 0;
  for (; *done < steps; ++*done) {
    if (!chain.Step()) {
      ReportFailure(call, "time step " + Number(chain.TimeStep()) + " is not below the stability limit " +
                              Number(chain.StabilityLimit()));
      return false;
    }
  }
  return true;
}

bool RunLattice(Call& call, Lattice& lattice, std::int32_t steps, std::int32_t* done) {
  *done = 0;
  for (; *done < steps; ++*done) {
    if (!lattice.Step()) {
      ReportFailure(call, "time step " + Number(lattice.TimeStep()) + " is not below the stability limit " +
                              Number(lattice.StabilityLimit()));
      return false;
    }
  }
  return true;
}

void ReportChain(Call& call, Chain& chain, std::int32_t done, std::int32_t probe) {
  const bool valid = probe >= 0 && probe < chain.Nodes();
  const double u = valid ? chain.Displacements()[static_cast<std::size_t>(probe)] : 0.0;
  const double v = valid ? chain.Velocities()[static_cast<std::size_t>(probe)] : 0.0;
  ReportState(call, done, chain.Time(), chain.Kinetic(), chain.Potential(), u, v);
}

void ReportLattice(Call& call, Lattice& lattice, std::int32_t done, std::int32_t x, std::int32_t y) {
  const bool valid = lattice.Inside(x, y);
  ReportState(call, done, lattice.Time(), lattice.Kinetic(), lattice.Potential(),
              valid ? lattice.Displacement(x, y) : 0.0, valid ? lattice.Velocity(x, y) : 0.0);
}

// ---- the chain

// InitSimPrm N nodes, D dt, [N left boundary], [N right boundary]
void InitSimPrm(Call& call) {
  const std::int32_t nodes = call.Int(0);
  const double dt = call.Double(1);
  const std::int32_t left = call.OptInt(2, simulation::BOUNDARY_FIXED);
  const std::int32_t right = call.OptInt(3, left);
  Chain& chain = S(call).chain;
  if (!chain.Init(nodes, dt, left, right)) {
    ReportFailure(call, "nodes must be 2 to 2000, the time step above 0, boundaries 0 to 2");
    return;
  }
  call.SetDblWork(1, chain.StabilityLimit());
  Succeed(call);
}

// CalcNxtMmnt [N steps], [N probe node], [R displacement]
void CalcNxtMmnt(Call& call) {
  const std::int32_t steps = call.OptInt(0, 1);
  const std::int32_t probe = call.OptInt(1, -1);
  const std::int32_t out = call.OptResource(2);
  if (!ValidSteps(call, steps)) return;
  Chain& chain = S(call).chain;
  std::int32_t done = 0;
  const bool ran = RunChain(call, chain, steps, &done);
  ReportChain(call, chain, done, probe);
  if (!ran) return;
  if (out >= 0 && probe >= 0 && probe < chain.Nodes()) {
    call.WriteDouble(out, chain.Displacements()[static_cast<std::size_t>(probe)]);
  }
  Succeed(call);
}

void SetChainAttribute(Call& call, Attribute attribute, std::int32_t first, std::int32_t last, double value) {
  if (!S(call).chain.Set(attribute, first, last, value)) {
    ReportFailure(call, "nodes outside the chain, or a value out of range");
    return;
  }
  Succeed(call);
}

// SetMedia N first, N last, D mass, D stiffness, [D damping]
void SetMedia(Call& call) {
  const std::int32_t first = call.Int(0);
  const std::int32_t last = call.Int(1);
  const double mass = call.Double(2);
  const double stiffness = call.Double(3);
  const double damping = call.OptDouble(4, 0.0);
  if (!simulation::ValidAttributeValue(simulation::ATTR_MASS, mass) ||
      !simulation::ValidAttributeValue(simulation::ATTR_STIFFNESS, stiffness) ||
      !simulation::ValidAttributeValue(simulation::ATTR_DAMPING, damping)) {
    ReportFailure(call, "mass must be above 0, stiffness and damping 0 or more");
    return;
  }
  Chain& chain = S(call).chain;
  if (!chain.Set(simulation::ATTR_MASS, first, last, mass)) {
    ReportFailure(call, "nodes outside the chain");
    return;
  }
  chain.Set(simulation::ATTR_STIFFNESS, first, last, stiffness);
  chain.Set(simulation::ATTR_DAMPING, first, last, damping);
  Succeed(call);
}

// CutPTP N first, N last, [N cut]: 1 cuts the links between the nodes, 0
// joins them again.
void CutPTP(Call& call) {
  const std::int32_t first = call.Int(0);
  const std::int32_t last = call.Int(1);
  const std::int32_t cut = call.OptInt(2, 1);
  if (!S(call).chain.Cut(first, last, cut != 0)) {
    ReportFailure(call, "nodes outside the chain");
    return;
  }
  Succeed(call);
}

// SetMediaAttr N attribute, N first, N last, D value
void SetMediaAttr(Call& call) {
  const std::int32_t attribute = call.Int(0);
  const std::int32_t first = call.Int(1);
  const std::int32_t last = call.Int(2);
  const double value = call.Double(3);
  if (attribute < simulation::ATTR_MASS || attribute > simulation::ATTR_VELOCITY) {
    ReportFailure(call, "attribute must be 0 to 4");
    return;
  }
  SetChainAttribute(call, static_cast<Attribute>(attribute), first, last, value);
}

// SetMvmntFg N first, N last, N held: not 0 holds the nodes where they are.
void SetMvmntFg(Call& call) {
  const std::int32_t first = call.Int(0);
  const std::int32_t last = call.Int(1);
  const std::int32_t held = call.Int(2);
  if (!S(call).chain.Hold(first, last, held != 0)) {
    ReportFailure(call, "nodes outside the chain");
    return;
  }
  Succeed(call);
}

// SetWvPnt N node, N kind, ... (see SourceArgs)
void SetWvPnt(Call& call) {
  const std::int32_t node = call.Int(0);
  Source source;
  if (!SourceArgs(call, 1, &source)) return;
  if (!S(call).chain.Drive(node, source)) {
    ReportFailure(call, "node outside the chain, or 16 nodes already driven");
    return;
  }
  Succeed(call);
}

// GoSim N steps, N x, N y, N width, N height, [D scale], [N background]
void GoSim(Call& call) {
  const std::int32_t steps = call.Int(0);
  const std::int32_t x = call.Int(1);
  const std::int32_t y = call.Int(2);
  const std::int32_t width = call.Int(3);
  const std::int32_t height = call.Int(4);
  const double scale = call.OptDouble(5, height / 4.0);
  const std::int32_t background = call.OptInt(6, 0xFFFFFF);
  if (!ValidSteps(call, steps)) return;
  Chain& chain = S(call).chain;
  std::int32_t done = 0;
  const bool ran = RunChain(call, chain, steps, &done);
  ReportChain(call, chain, done, -1);
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  const graphics::PixelRect box = graphics::Intersect(graphics::NormalizedRect(x, y, width, height), canvas.ClipRect());
  if (canvas.Valid() && !box.Empty()) {
    simulation::DrawChain(canvas, chain, box, scale, vram.DrawColor(),
                          graphics::FromPacked(static_cast<std::uint32_t>(background)));
    vram.MarkDirty(box);
  }
  if (ran) Succeed(call);
}

// ---- the lattice

// S2Init N width, N height, D dt, [N left edge], [N top], [N right],
// [N bottom]: a side left out takes the left edge's rule.
void S2Init(Call& call) {
  const std::int32_t width = call.Int(0);
  const std::int32_t height = call.Int(1);
  const double dt = call.Double(2);
  const std::int32_t left = call.OptInt(3, simulation::BOUNDARY_FIXED);
  const std::int32_t top = call.OptInt(4, left);
  const std::int32_t right = call.OptInt(5, left);
  const std::int32_t bottom = call.OptInt(6, left);
  Lattice& lattice = S(call).lattice;
  if (!lattice.Init(width, height, dt, left, top, right, bottom)) {
    ReportFailure(call, "sides must be 1 to 50, the time step above 0, the boundary 0 to 2");
    return;
  }
  call.SetDblWork(1, lattice.StabilityLimit());
  Succeed(call);
}

// S2Flat: every cell at rest at 0, time 0.
void S2Flat(Call& call) {
  S(call).lattice.Flatten();
  Succeed(call);
}

// S2SetAttr N attribute, N x0, N y0, N x1, N y1, D value
void S2SetAttr(Call& call) {
  const std::int32_t attribute = call.Int(0);
  const std::int32_t x0 = call.Int(1);
  const std::int32_t y0 = call.Int(2);
  const std::int32_t x1 = call.Int(3);
  const std::int32_t y1 = call.Int(4);
  const double value = call.Double(5);
  if (attribute < simulation::ATTR_MASS || attribute > kAttributeLast) {
    ReportFailure(call, "attribute must be 0 to 5");
    return;
  }
  if (!S(call).lattice.Set(static_cast<Attribute>(attribute), x0, y0, x1, y1, value)) {
    ReportFailure(call, "cells outside the lattice, or a value out of range");
    return;
  }
  Succeed(call);
}

// S2SetForce N x, N y, N kind, ... (see SourceArgs)
void S2SetForce(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  Source source;
  if (!SourceArgs(call, 2, &source)) return;
  if (!S(call).lattice.Force(x, y, source)) {
    ReportFailure(call, "cell outside the lattice, or 16 cells already forced");
    return;
  }
  Succeed(call);
}

// S2CalcNxtMmnt [N steps], [N x], [N y], [R displacement]
void S2CalcNxtMmnt(Call& call) {
  const std::int32_t steps = call.OptInt(0, 1);
  const std::int32_t x = call.OptInt(1, -1);
  const std::int32_t y = call.OptInt(2, -1);
  const std::int32_t out = call.OptResource(3);
  if (!ValidSteps(call, steps)) return;
  Lattice& lattice = S(call).lattice;
  std::int32_t done = 0;
  const bool ran = RunLattice(call, lattice, steps, &done);
  ReportLattice(call, lattice, done, x, y);
  if (!ran) return;
  if (out >= 0 && lattice.Inside(x, y)) call.WriteDouble(out, lattice.Displacement(x, y));
  Succeed(call);
}

void ShowLattice(Call& call) {
  simulation::Simulation& s = S(call);
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  if (!canvas.Valid()) return;
  const graphics::PixelRect drawn = graphics::Intersect(simulation::DrawLattice(canvas, s.lattice, s.view),
                                                        canvas.ClipRect());
  if (!drawn.Empty()) vram.MarkDirty(drawn);
}

// S2Display [N x], [N y], [N cell pixels], [N mode], [D scale]: arguments
// left out keep the last call's.
void S2Display(Call& call) {
  simulation::LatticeView view = S(call).view;
  view.x = call.OptInt(0, view.x);
  view.y = call.OptInt(1, view.y);
  view.cell = call.OptInt(2, view.cell);
  view.mode = call.OptInt(3, view.mode);
  view.scale = call.OptDouble(4, view.scale);
  if (view.cell < 1 || view.cell > simulation::CELL_PIXELS_MAX || view.mode < simulation::MAP_COLOUR ||
      view.mode > simulation::MAP_HEIGHT || !(view.scale > 0.0) || !std::isfinite(view.scale)) {
    ReportFailure(call, "cell size must be 1 to 40, mode 0 or 1, scale above 0");
    return;
  }
  S(call).view = view;
  ShowLattice(call);
  Succeed(call);
}

// S2GoSim N steps: steps, then shows the lattice as S2Display last did.
void S2GoSim(Call& call) {
  const std::int32_t steps = call.Int(0);
  if (!ValidSteps(call, steps)) return;
  Lattice& lattice = S(call).lattice;
  std::int32_t done = 0;
  const bool ran = RunLattice(call, lattice, steps, &done);
  ReportLattice(call, lattice, done, -1, -1);
  ShowLattice(call);
  if (ran) Succeed(call);
}

// ---- whole fields through the numeric array

// The attribute of a field call, 0 to 5; false with the failure reported.
bool FieldAttribute(Call& call, std::int32_t attribute) {
  if (attribute >= simulation::ATTR_MASS && attribute <= simulation::ATTR_HELD) return true;
  ReportFailure(call, "attribute must be 0 to 5");
  return false;
}

// Rows row .. row + count - 1 of the numeric array's column; false with the
// failure reported when they do not all exist.
bool FieldRows(Call& call, std::int32_t row, std::int32_t column, std::int32_t count) {
  if (api::NumericArray::ValidColumn(column) && row >= 0 && count >= 1 &&
      std::int64_t{row} + count <= api::ARRAY_ROWS) {
    return true;
  }
  ReportFailure(call, "the field needs rows " + std::to_string(row) + " to " +
                          std::to_string(std::int64_t{row} + count - 1) + " of column " + std::to_string(column) +
                          " of the numeric array (rows 0 to 9999, columns 0 to 5)");
  return false;
}

void StoreField(Call& call, std::span<const double> values, std::int32_t row, std::int32_t column) {
  api::NumericArray& numbers = call.rt().stores.numbers;
  for (std::size_t k = 0; k < values.size(); ++k) {
    numbers.SetElement(row + static_cast<std::int32_t>(k), column, values[k]);
  }
}

std::vector<double> LoadField(Call& call, std::int32_t count, std::int32_t row, std::int32_t column) {
  const api::NumericArray& numbers = call.rt().stores.numbers;
  std::vector<double> values(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) values[static_cast<std::size_t>(k)] = numbers.Element(row + k, column);
  return values;
}

// Nodes first..last of the chain in either order: how many, or 0 (the
// failure reported) when one is outside.
std::int32_t ChainNodes(Call& call, std::int32_t first, std::int32_t last) {
  const Chain& chain = S(call).chain;
  if (first >= 0 && last >= 0 && first < chain.Nodes() && last < chain.Nodes()) return std::abs(last - first) + 1;
  ReportFailure(call, "nodes outside the chain");
  return 0;
}

// The arguments GetSimField and SetSimField share: N attribute, N first,
// N last, [N row], [N column]; count is how many nodes. Empty when one is
// refused (the failure reported).
struct ChainField {
  Attribute attribute;
  std::int32_t first, last, row, column, count;
};

std::optional<ChainField> ChainFieldArgs(Call& call) {
  const std::int32_t attribute = call.Int(0);
  const std::int32_t first = call.Int(1);
  const std::int32_t last = call.Int(2);
  const std::int32_t row = call.OptInt(3, 0);
  const std::int32_t column = call.OptInt(4, 0);
  if (call.rt().error.Raised() || !FieldAttribute(call, attribute)) return std::nullopt;
  const std::int32_t count = ChainNodes(call, first, last);
  if (count == 0 || !FieldRows(call, row, column, count)) return std::nullopt;
  return ChainField{static_cast<Attribute>(attribute), first, last, row, column, count};
}

// GetSimField N attribute, N first, N last, [N row], [N column]: nodes
// first..last into the numeric array, node first at the row. G_WORK1 nodes.
void GetSimField(Call& call) {
  const std::optional<ChainField> f = ChainFieldArgs(call);
  if (!f) return;
  std::vector<double> values(static_cast<std::size_t>(f->count));
  S(call).chain.Read(f->attribute, f->first, f->last, values);
  if (f->first > f->last) std::reverse(values.begin(), values.end());
  StoreField(call, values, f->row, f->column);
  call.SetWork(1, f->count);
  Succeed(call);
}

// SetSimField N attribute, N first, N last, [N row], [N column]: nodes
// first..last from the numeric array. Nothing changes when a value is
// refused. G_WORK1 nodes.
void SetSimField(Call& call) {
  const std::optional<ChainField> f = ChainFieldArgs(call);
  if (!f) return;
  std::vector<double> values = LoadField(call, f->count, f->row, f->column);
  if (f->first > f->last) std::reverse(values.begin(), values.end());
  if (!S(call).chain.Write(f->attribute, f->first, f->last, values)) {
    ReportFailure(call, "a value is out of range for the attribute (mass above 0, stiffness and damping 0 or more, "
                        "all finite)");
    return;
  }
  call.SetWork(1, f->count);
  Succeed(call);
}

struct CellRectangle {
  std::int32_t x0, y0, x1, y1;
  std::int32_t Width() const { return x1 - x0 + 1; }
  std::int32_t Height() const { return y1 - y0 + 1; }
};

// The rectangle of a lattice field call from argument 1 on, corners put in
// order; false with the failure reported when one is outside.
bool CellArgs(Call& call, CellRectangle* r) {
  *r = CellRectangle{call.Int(1), call.Int(2), call.Int(3), call.Int(4)};
  if (call.rt().error.Raised()) return false;
  if (r->x0 > r->x1) std::swap(r->x0, r->x1);
  if (r->y0 > r->y1) std::swap(r->y0, r->y1);
  const Lattice& lattice = S(call).lattice;
  if (lattice.Inside(r->x0, r->y0) && lattice.Inside(r->x1, r->y1)) return true;
  ReportFailure(call, "cells outside the lattice");
  return false;
}

void FieldShape(Call& call, const CellRectangle& r) {
  call.SetWork(1, r.Width() * r.Height());
  call.SetWork(2, r.Width());
  call.SetWork(3, r.Height());
}

// S2GetField N attribute, N x0, N y0, N x1, N y1, [N row], [N column]: the
// cells of the rectangle into the numeric array, line by line from its
// top-left corner: cell (x, y) at row + (y - y0) * width + (x - x0).
// G_WORK1 cells, G_WORK2 cells a line, G_WORK3 lines.
void S2GetField(Call& call) {
  const std::int32_t attribute = call.Int(0);
  CellRectangle r{};
  if (!CellArgs(call, &r)) return;
  const std::int32_t row = call.OptInt(5, 0);
  const std::int32_t column = call.OptInt(6, 0);
  if (call.rt().error.Raised() || !FieldAttribute(call, attribute)) return;
  const std::int32_t count = r.Width() * r.Height();
  if (!FieldRows(call, row, column, count)) return;
  std::vector<double> values(static_cast<std::size_t>(count));
  S(call).lattice.Read(static_cast<Attribute>(attribute), r.x0, r.y0, r.x1, r.y1, values);
  StoreField(call, values, row, column);
  FieldShape(call, r);
  Succeed(call);
}

// S2SetField N attribute, N x0, N y0, N x1, N y1, [N row], [N column]: the
// cells of the rectangle from the numeric array, laid out as S2GetField
// writes them. Nothing changes when a value is refused.
void S2SetField(Call& call) {
  const std::int32_t attribute = call.Int(0);
  CellRectangle r{};
  if (!CellArgs(call, &r)) return;
  const std::int32_t row = call.OptInt(5, 0);
  const std::int32_t column = call.OptInt(6, 0);
  if (call.rt().error.Raised() || !FieldAttribute(call, attribute)) return;
  const std::int32_t count = r.Width() * r.Height();
  if (!FieldRows(call, row, column, count)) return;
  const std::vector<double> values = LoadField(call, count, row, column);
  if (!S(call).lattice.Write(static_cast<Attribute>(attribute), r.x0, r.y0, r.x1, r.y1, values)) {
    ReportFailure(call, "a value is out of range for the attribute (mass above 0, stiffness and damping 0 or more, "
                        "all finite)");
    return;
  }
  FieldShape(call, r);
  Succeed(call);
}

constexpr Registration kSimulationApis[] = {
    {Id("InitSimPrm"), InitSimPrm},   {Id("CalcNxtMmnt"), CalcNxtMmnt}, {Id("SetMedia"), SetMedia},
    {Id("CutPTP"), CutPTP},           {Id("SetMediaAttr"), SetMediaAttr}, {Id("SetMvmntFg"), SetMvmntFg},
    {Id("SetWvPnt"), SetWvPnt},       {Id("GoSim"), GoSim},             {Id("S2Flat"), S2Flat},
    {Id("S2GoSim"), S2GoSim},         {Id("S2CalcNxtMmnt"), S2CalcNxtMmnt}, {Id("S2Init"), S2Init},
    {Id("S2SetAttr"), S2SetAttr},     {Id("S2SetForce"), S2SetForce},   {Id("S2Display"), S2Display},
    {Id("GetSimField"), GetSimField}, {Id("SetSimField"), SetSimField}, {Id("S2GetField"), S2GetField},
    {Id("S2SetField"), S2SetField},
};

}  // namespace

void RegisterSimulationApis(Registry& registry) { registry.AddAll(kSimulationApis); }

}  // namespace vx::api
