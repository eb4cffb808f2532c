// The PCB pattern family (ids 539-559): the pattern list and its record
// text, layers and view, queries and hit tests, silk text, drawing, fill and
// vias, design-rule checks, and the Gerber and drill writers.
//
// Lengths are millimetres. Capacity errors show a message box captioned
// "Error Message"; the operation stops and what was stored stays. APIs that
// can fail set G_ERROR (0 success, 1 failure).
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "graphics/canvas.hpp"
#include "pcb/draw.hpp"
#include "pcb/drc.hpp"
#include "pcb/fill.hpp"
#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"
#include "pcb/silk.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using pcb::PcbState;

constexpr std::string_view kCapacityCaption = "Error Message";
constexpr std::string_view kLoadOverflow = "Over capacity of segment area (CoreTrick.cpp : 240)";
constexpr std::string_view kAllLayers = "ALL";
constexpr std::size_t DRC_REPORT_MAX = 1000;  // violations listed in one report

PcbState& Pcb(Call& call) { return call.rt().pcb; }

void ShowCapacity(Call& call, std::string_view text) {
  call.rt().window->ShowMessage(kCapacityCaption, text);
}
void ShowRepeated(Call& call, std::string_view text, int times) {
  for (int i = 0; i < times; ++i) ShowCapacity(call, text);
}


// The text of a record, empty for an index that holds none.
std::string RecordText(const PcbState& state, int index) {
  return state.Holds(index) ? pcb::GbText(state, state.records[index]) : std::string();
}

// --- view, layers and loading

// CtSetPrm D scale, D offX, D offY, D originX, D originY, N mode
void CtSetPrm(Call& call) {
  pcb::View& v = Pcb(call).view;
  v.scale = call.Double(0);
  v.offset_x = call.Double(1);
  v.offset_y = call.Double(2);
  v.origin_x = call.Double(3);
  v.origin_y = call.Double(4);
  v.mode = call.Int(5);
}

// CtLoadPtn N start, S file, R count: reads GB text from index start.
void CtLoadPtn(Call& call) {
  const std::int32_t start = call.Int(0);
  std::string& path = call.Small(0);
  call.String(1, path);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  if (start < 0 || start > pcb::PATTERN_RECORDS_MAX) {
    call.WriteInt(out, 0);
    call.SetError(1);
    return;
  }
  const files::FilePtr file = files::Open(path, "rb");
  if (!file) {
    // The list stays as it was: a missing file does not empty a board.
    call.WriteInt(out, 0);
    call.SetError(1);
    return;
  }
  const pcb::LoadResult result = pcb::LoadPatterns(Pcb(call), start, file.get());
  if (result.over_capacity) ShowCapacity(call, kLoadOverflow);
  call.WriteInt(out, result.read);
  call.SetError(result.over_capacity ? 1 : 0);
}

// CtActLyr S layer or "ALL", N flag
void CtActLyr(Call& call) {
  std::string& name = call.Small(0);
  call.String(0, name);
  const bool active = call.Int(1) != 0;
  PcbState& state = Pcb(call);
  if (name == kAllLayers) {
    for (pcb::Layer& layer : state.layers) layer.active = active;
    return;
  }
  const int index = state.LayerIndex(name);
  if (index >= 0) state.layers[index].active = active;
}

// CtSetLyrCol S layer, N red, N green, N blue
void CtSetLyrCol(Call& call) {
  std::string& name = call.Small(0);
  call.String(0, name);
  const std::int32_t r = call.Int(1);
  const std::int32_t g = call.Int(2);
  const std::int32_t b = call.Int(3);
  PcbState& state = Pcb(call);
  const int index = state.LayerIndex(name);
  if (index >= 0) state.layers[index].colour = graphics::FromComponents(r, g, b);
}

// CtGetDimSz R x, R y: the board's size from its outline.
void CtGetDimSz(Call& call) {
  const std::int32_t out_x = call.Resource(0);
  const std::int32_t out_y = call.Resource(1);
  if (out_x < 0 || out_y < 0) return;
  double x = 0, y = 0;
  pcb::DimSize(Pcb(call), &x, &y);
  call.WriteDouble(out_x, x);
  call.WriteDouble(out_y, y);
}

// CtGetLyrSz S layer, R minX, R maxX, R minY, R maxY
void CtGetLyrSz(Call& call) {
  std::string& name = call.Small(0);
  call.String(0, name);
  std::int32_t out[4];
  for (int k = 0; k < 4; ++k) out[k] = call.Resource(1 + k);
  for (const std::int32_t o : out)
    if (o < 0) return;
  const PcbState& state = Pcb(call);
  const int layer = state.LayerIndex(name);
  if (layer < 0) return;
  const pcb::Extent e = pcb::LayerExtent(state, layer);
  call.WriteDouble(out[0], e.min_x);
  call.WriteDouble(out[1], e.max_x);
  call.WriteDouble(out[2], e.min_y);
  call.WriteDouble(out[3], e.max_y);
}

// --- nets and references

// CtPinToNet S part, N pin, S net, N flag
void CtPinToNet(Call& call) {
  std::string& part = call.Small(0);
  call.String(0, part);
  const std::int32_t pin = call.Int(1);
  std::string& net = call.Small(1);
  call.String(2, net);
  const std::int32_t flag = call.Int(3);
  pcb::PinToNet(Pcb(call), part, pin, net, flag);
}

// CtRefPin S part, N pin, R index, R text
void CtRefPin(Call& call) {
  std::string& part = call.Small(0);
  call.String(0, part);
  const std::int32_t pin = call.Int(1);
  const std::int32_t out = call.Resource(2);
  const std::int32_t out_text = call.Resource(3);
  if (out < 0 || out_text < 0) return;
  const PcbState& state = Pcb(call);
  const int index = pcb::FindPin(state, part, pin);
  call.WriteInt(out, index);
  call.WriteText(out_text, RecordText(state, index));
}

// CtRefPinName S part, S signal, R pin
void CtRefPinName(Call& call) {
  std::string& part = call.Small(0);
  call.String(0, part);
  std::string& signal = call.Small(1);
  call.String(1, signal);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const PcbState& state = Pcb(call);
  const int index = pcb::FindSignal(state, part, signal);
  call.WriteInt(out, index < 0 ? -1 : state.records[index].pin);
}

// CtRefSeg N index, R text: empty text and G_ERROR 1 for an index that
// holds no record.
void CtRefSeg(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const PcbState& state = Pcb(call);
  call.WriteText(out, RecordText(state, index));
  call.SetError(state.Holds(index) ? 0 : 1);
}

// CtClckPtn N px, N py, R index, R text
void CtClckPtn(Call& call) {
  const std::int32_t px = call.Int(0);
  const std::int32_t py = call.Int(1);
  const std::int32_t out = call.Resource(2);
  const std::int32_t out_text = call.Resource(3);
  if (out < 0 || out_text < 0) return;
  PcbState& state = Pcb(call);
  const int index = pcb::ClickPattern(state, px, py);
  call.WriteInt(out, index);
  call.WriteText(out_text, RecordText(state, index));
}

// --- silk text and drawing

// CtMkSilk R text, S text, D x, D y, D unitX, D unitY, D width, S layer, N orientation
void CtMkSilk(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  std::string& text = call.Small(0);
  call.String(1, text);
  pcb::SilkPlacement place;
  place.x = call.Double(2);
  place.y = call.Double(3);
  place.unit_x = call.Double(4);
  place.unit_y = call.Double(5);
  place.width = call.Double(6);
  std::string& layer = call.Small(1);
  call.String(7, layer);
  place.orientation = call.Int(8);
  call.WriteText(out, pcb::SilkText(text, place, layer));
}

// CtDrawPtn N from, N to, N options: records [from, to) (to <= from: to the
// end); options bit 0 clears the drawing area to black first.
void CtDrawPtn(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  const std::int32_t options = call.Int(2);
  PcbState& state = Pcb(call);
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  if (!canvas.Valid()) return;
  if (options & 1) {
    const graphics::PixelRect clip = canvas.ClipRect();
    for (int y = clip.top; y <= clip.bottom; ++y)
      canvas.Span(y, clip.left, clip.right, graphics::Paint{graphics::kBlack});
    vram.MarkDirty(clip);
  }
  if (state.records.empty()) return;
  const pcb::IndexRange range =
      pcb::IndexRange::Clamp(state, from, to <= from ? std::int64_t{state.count} : to);
  const graphics::PixelRect changed =
      pcb::DrawPatterns(canvas, state, range);
  const graphics::PixelRect visible = graphics::Intersect(changed, canvas.ClipRect());
  if (!visible.Empty()) vram.MarkDirty(visible);
}

// --- fill and vias

void ReportGenerated(Call& call, const pcb::GenerateResult& result) {
  if (result.segment_overflow) ShowCapacity(call, pcb::kSegmentOverflow);
  if (result.pattern_overflow) ShowCapacity(call, pcb::kPatternOverflow);
  if (result.no_solution) ShowCapacity(call, pcb::kNoSolution);
  call.SetWork(1, result.made);
  const bool failed = result.segment_overflow || result.pattern_overflow || result.no_solution ||
                      result.bad_layer;
  call.SetError(failed ? 1 : 0);
}

// CtSetBetaPrm D width, D clearance
void CtSetBetaPrm(Call& call) {
  const double width = call.Double(0);
  const double clearance = call.Double(1);
  pcb::SetFillParams(Pcb(call).fill, width, clearance);
}

// CtMkBeta N from, N to, N direction, S layer, S net: fills the copper
// layer with lines along x (direction 0) or y (1); records [from, to)
// (to <= from: to the end) are the obstacles.
void CtMkBeta(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  const bool vertical = call.Int(2) == 1;
  std::string& layer = call.Small(0);
  call.String(3, layer);
  std::string& net = call.Small(1);
  call.OptString(4, net);
  PcbState& state = Pcb(call);
  pcb::EnsureAllocated(state);
  const pcb::IndexRange range =
      pcb::IndexRange::Clamp(state, from, to <= from ? std::int64_t{state.count} : to);
  ReportGenerated(call, pcb::MakeFill(state, range, state.LayerIndex(layer), net, vertical));
}

// CtPutVia N px, N py, N drill (micrometres, 0: 300), S net, S part
void CtPutVia(Call& call) {
  const std::int32_t px = call.Int(0);
  const std::int32_t py = call.Int(1);
  const std::int32_t drill_um = call.Int(2);
  std::string& net = call.Small(0);
  call.OptString(3, net);
  std::string& part = call.Small(1);
  call.OptString(4, part);
  PcbState& state = Pcb(call);
  pcb::EnsureAllocated(state);
  const double drill = drill_um > 0 ? drill_um / 1000.0 : pcb::VIA_DRILL_DEFAULT;
  std::string log;
  const pcb::ViaResult via = pcb::PutVia(state, state.view.BoardX(px), state.view.BoardY(py),
                                         drill, net, part, log);
  call.AppendDebugLog(log);
  call.SetTxt(via.net);
  ReportGenerated(call, via.generated);
  if (via.refused) call.SetError(1);
}

// --- design rules

// CtDRCMin S layer, R distance, R text, N? rule (0 copper, 1 hole, 2 edge,
// 3 keep-out): the smallest gap the rule measures, -1 when none.
void CtDRCMin(Call& call) {
  std::string& layer_name = call.Small(0);
  call.String(0, layer_name);
  const std::int32_t out = call.Resource(1);
  const std::int32_t out_text = call.Resource(2);
  if (out < 0 || out_text < 0) return;
  const std::int32_t rule = call.OptInt(3, 0);
  const bool known_rule = rule >= 0 && rule < pcb::RULE_COUNT;
  const PcbState& state = Pcb(call);
  const int layer = state.LayerIndex(layer_name);
  const auto closest = layer < 0 || !known_rule || state.records.empty()
                           ? std::nullopt
                           : pcb::MinimumGap(state, layer, static_cast<pcb::Rule>(rule));
  std::string report;
  if (closest) pcb::AppendViolation(state, *closest, report);
  call.WriteDouble(out, closest ? closest->distance : -1.0);
  call.WriteText(out_text, report);
  call.SetError(layer < 0 || !known_rule ? 1 : 0);
}

// CtDRC S layer, D clearance, R count, R text, D? hole, D? edge, D? keep-out:
// every violation of the rules given a clearance of 0 or more (copper always);
// G_WORK1 to G_WORK4 count them by rule.
void CtDRC(Call& call) {
  std::string& layer_name = call.Small(0);
  call.String(0, layer_name);
  pcb::DrcRules rules;
  rules.copper = call.Double(1);
  const std::int32_t out = call.Resource(2);
  const std::int32_t out_text = call.Resource(3);
  if (out < 0 || out_text < 0) return;
  rules.hole = call.OptDouble(4, pcb::RULE_OFF);
  rules.edge = call.OptDouble(5, pcb::RULE_OFF);
  rules.keepout = call.OptDouble(6, pcb::RULE_OFF);
  if (!(rules.copper >= 0)) rules.copper = 0;  // shorts are checked whatever the clearance
  const PcbState& state = Pcb(call);
  const int layer = state.LayerIndex(layer_name);
  pcb::DrcResult result;
  std::string report;
  if (layer >= 0 && !state.records.empty()) {
    result = pcb::CheckRules(state, layer, rules, DRC_REPORT_MAX);
    for (const pcb::Violation& v : result.listed) pcb::AppendViolation(state, v, report);
  }
  call.WriteInt(out, static_cast<std::int32_t>(std::min<std::size_t>(result.total, INT32_MAX)));
  call.WriteText(out_text, report);
  for (int k = 0; k < pcb::RULE_COUNT; ++k)
    call.SetWork(k + 1, static_cast<std::int32_t>(std::min<std::size_t>(result.counts[k], INT32_MAX)));
  call.SetError(layer < 0 ? 1 : 0);
}

// CtDebug N px, N py, N radius (pixels), R text; the listing goes to
// G_DEBUG_LOG as well.
void CtDebug(Call& call) {
  const std::int32_t px = call.Int(0);
  const std::int32_t py = call.Int(1);
  const std::int32_t radius = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const std::string listing = pcb::NearListing(Pcb(call), px, py, radius);
  call.WriteText(out, listing);
  call.AppendDebugLog(listing);
}

// --- plotter output

// CtOutGbr N from, N to, S layer, S file, N units (0 inch, else mm)
void CtOutGbr(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  std::string& layer_name = call.Small(0);
  call.String(2, layer_name);
  std::string& path = call.Small(1);
  call.String(3, path);
  const pcb::Units units = pcb::Units::FromMode(call.Int(4));
  PcbState& state = Pcb(call);
  const pcb::IndexRange range = pcb::IndexRange::Clamp(state, from, to);
  const int layer = state.LayerIndex(layer_name);  // unknown: the records of unknown layers
  const pcb::ApertureList apertures = pcb::BuildApertures(state, range, layer);
  ShowRepeated(call, pcb::kApertureOverflow, apertures.overflows);
  ReportSystemResult(call, files::ReplaceFile(path, pcb::GerberText(state, range, layer, apertures, units)));
}

// CtOutDLst N from, N to, S tool-list file, S drill file, N units,
// N? header (1: standard Excellon header)
void CtOutDLst(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  std::string& tool_path = call.Small(0);
  call.String(2, tool_path);
  std::string& drill_path = call.Small(1);
  call.String(3, drill_path);
  const pcb::Units units = pcb::Units::FromMode(call.Int(4));
  const bool standard_header = call.OptInt(5, 0) == 1;
  PcbState& state = Pcb(call);
  const pcb::IndexRange range = pcb::IndexRange::Clamp(state, from, to);
  const pcb::ToolList tools = pcb::BuildTools(state, range);
  ShowRepeated(call, pcb::kToolOverflow, tools.overflows);
  // The drill file is written even when the tool list cannot be; the first
  // failure is the one reported.
  const int list_error = files::ReplaceFile(tool_path, pcb::ToolListText(tools, units));
  const int drill_error =
      files::ReplaceFile(drill_path, pcb::DrillText(state, range, tools, units, standard_header));
  ReportSystemResult(call, list_error != 0 ? list_error : drill_error);
}

constexpr Registration kPcbApis[] = {
    {Id("CtSetPrm"), CtSetPrm},         {Id("CtMkSilk"), CtMkSilk},
    {Id("CtLoadPtn"), CtLoadPtn},       {Id("CtDrawPtn"), CtDrawPtn},
    {Id("CtGetDimSz"), CtGetDimSz},     {Id("CtGetLyrSz"), CtGetLyrSz},
    {Id("CtActLyr"), CtActLyr},         {Id("CtSetLyrCol"), CtSetLyrCol},
    {Id("CtPutVia"), CtPutVia},         {Id("CtMkBeta"), CtMkBeta},
    {Id("CtSetBetaPrm"), CtSetBetaPrm}, {Id("CtPinToNet"), CtPinToNet},
    {Id("CtRefPin"), CtRefPin},         {Id("CtRefPinName"), CtRefPinName},
    {Id("CtRefSeg"), CtRefSeg},         {Id("CtClckPtn"), CtClckPtn},
    {Id("CtDRCMin"), CtDRCMin},         {Id("CtDRC"), CtDRC},
    {Id("CtOutGbr"), CtOutGbr},         {Id("CtOutDLst"), CtOutDLst},
    {Id("CtDebug"), CtDebug},
};

}  // namespace

void RegisterPcbApis(Registry& registry) { registry.AddAll(kPcbApis); }

}  // namespace vx::api
