// The click-area family: the 500 hot spots of the drawing surface, their
// searches, and the icons drawn from their texts (ids 231, 232, 310-317).
//
// Searches that find an area set G_CLC_IDX (its index), G_CLC_EX (its extra
// value) and G_CLC_STR (its text), as a click on it does. RefClcPnt and
// NearClcPnt take part only the areas whose group mask shares a bit with
// G_CLCPT_GBMP (0 = all), as the window's hit test does.
#include <algorithm>
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "graphics/click_areas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/raster.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using graphics::ClickArea;
using graphics::ClickAreas;

ClickAreas& Areas(Call& call) { return call.rt().click_areas; }

std::uint32_t GroupMask(Call& call) {
  return static_cast<std::uint32_t>(values::ReadAsInteger(call.rt(), sysvar::G_CLCPT_GBMP));
}

// G_CLC_IDX, G_CLC_EX and G_CLC_STR for a found area.
void Announce(Call& call, int index) {
  const ClickArea& a = Areas(call).At(index);
  values::SetLong(call.rt(), sysvar::G_CLC_IDX, index);
  values::SetLong(call.rt(), sysvar::G_CLC_EX, a.extra);
  values::SetText(call.rt(), sysvar::G_CLC_STR, a.text, true);
}

// SetClcPnt index, left, top, right, bottom, text, active, group mask
// [, extra, shape]: an index outside 0 to 499 sets G_ERROR 1.
void SetClcPnt(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t left = call.Int(1);
  const std::int32_t top = call.Int(2);
  const std::int32_t right = call.Int(3);
  const std::int32_t bottom = call.Int(4);
  std::string& text = call.Large(0);
  call.String(5, text);
  const std::int32_t active = call.Int(6);
  const std::int32_t group = call.Int(7);
  const std::int32_t extra = call.OptInt(8, 0);
  const std::int32_t shape = call.OptInt(9, graphics::CLICK_SHAPE_RECTANGLE);
  if (!ClickAreas::ValidIndex(index)) {
    call.SetError(1);
    return;
  }
  Areas(call).Set(index, left, top, right, bottom, text, active, static_cast<std::uint32_t>(group), extra);
  Areas(call).At(index).shape = shape;
  call.SetError(0);
}

// GetClcPnt index, out left, out top, out right, out bottom [, out text,
// out active, out group mask, out extra].
void GetClcPnt(Call& call) {
  const std::int32_t index = call.Int(0);
  std::int32_t outs[4];
  for (int k = 0; k < 4; ++k) {
    outs[k] = call.Resource(1 + k);
    if (outs[k] < 0) return;
  }
  const std::int32_t text = call.OptResource(5);
  const std::int32_t active = call.OptResource(6);
  const std::int32_t group = call.OptResource(7);
  const std::int32_t extra = call.OptResource(8);
  if (!ClickAreas::ValidIndex(index)) {
    call.SetError(1);
    return;
  }
  const ClickArea& a = Areas(call).At(index);
  call.WriteInt(outs[0], a.left);
  call.WriteInt(outs[1], a.top);
  call.WriteInt(outs[2], a.right);
  call.WriteInt(outs[3], a.bottom);
  if (text >= 0) call.WriteText(text, a.text);
  if (active >= 0) call.WriteInt(active, a.active);
  if (group >= 0) call.WriteInt(group, static_cast<std::int32_t>(a.group));
  if (extra >= 0) call.WriteInt(extra, a.extra);
  call.SetError(0);
}

// RefClcPnt x, y [, out index]: the first area at the point (-1 for none,
// also in G_WORK1); G_ERROR 0 on a hit, 1 otherwise.
void RefClcPnt(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t out = call.OptResource(2);
  const int hit = Areas(call).FirstHit(x, y, GroupMask(call));
  if (hit >= 0) Announce(call, hit);
  if (out >= 0) call.WriteInt(out, hit);
  call.SetWork(1, hit);
  call.SetError(hit >= 0 ? 0 : 1);
}

// RefClcPntEx x, y, group mask [, out index]: every area at the point with
// the given mask (0 = all): their indices comma-separated in G_TXT, their
// number in G_WORK1; the first as RefClcPnt gives it.
void RefClcPntEx(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t mask = call.Int(2);
  const std::int32_t out = call.OptResource(3);
  const std::vector<int> hits = Areas(call).AllHits(x, y, static_cast<std::uint32_t>(mask));
  std::string& list = call.Small(0);
  for (int hit : hits) {
    if (!list.empty()) list += ',';
    list += std::to_string(hit);
  }
  const int first = hits.empty() ? -1 : hits.front();
  if (first >= 0) Announce(call, first);
  call.SetTxt(list);
  call.SetWork(1, static_cast<std::int32_t>(hits.size()));
  if (out >= 0) call.WriteInt(out, first);
  call.SetError(first >= 0 ? 0 : 1);
}

// NearClcPnt x, y [, out index, maximum distance]: the nearest area (0
// inside it), its distance in G_WORK1 (rounded up), -1 when none is near
// enough.
void NearClcPnt(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t out = call.OptResource(2);
  const std::int32_t max_distance = call.OptInt(3, -1);
  std::int64_t distance = -1;
  const int near = Areas(call).Nearest(x, y, GroupMask(call), max_distance, &distance);
  if (near >= 0) Announce(call, near);
  if (out >= 0) call.WriteInt(out, near);
  call.SetWork(1, near >= 0 ? static_cast<std::int32_t>(std::min<std::int64_t>(distance, INT32_MAX)) : -1);
  call.SetError(near >= 0 ? 0 : 1);
}

// DelClcPnt index [, count (1)]: removes areas; index -1 removes all.
void DelClcPnt(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t count = call.OptInt(1, 1);
  if (index == -1) {
    Areas(call).ClearAll();
    call.SetError(0);
    return;
  }
  if (!ClickAreas::ValidIndex(index) || count < 1) {
    call.SetError(1);
    return;
  }
  const int last = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(index) + count, graphics::CLICK_AREA_COUNT));
  for (int i = index; i < last; ++i) Areas(call).Clear(i);
  call.SetError(0);
}

void DrawOneIcon(Call& call, int index, int state) {
  graphics::Vram& v = call.rt().vram;
  const graphics::PixelRect r = graphics::DrawIcon(v, Areas(call).At(index), state);
  if (!r.Empty()) v.MarkDirty(r);
}

// DrawIcon index [, state (0)]: 0 normal, 1 pressed, 2 highlighted, 3 greyed.
void DrawIcon(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t state = call.OptInt(1, graphics::ICON_STATE_NORMAL);
  if (!ClickAreas::ValidIndex(index)) {
    call.SetError(1);
    return;
  }
  DrawOneIcon(call, index, state);
  call.SetError(0);
}

// RefIconName index, out text: the area's caption (its "$cap:" item);
// G_ERROR 1 when it has none.
void RefIconName(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  std::string_view caption;
  if (!ClickAreas::ValidIndex(index) || !graphics::FindIconItem(Areas(call).At(index).text, "cap", &caption)) {
    call.WriteText(out, "");
    call.SetError(1);
    return;
  }
  call.WriteText(out, caption);
  call.SetError(0);
}

// SetIconArrgPrm x, y, cell width, cell height, columns [, gap x (8), gap y (8)].
void SetIconArrgPrm(Call& call) {
  graphics::IconGrid g;
  g.x = graphics::ClampCoord(call.Int(0));
  g.y = graphics::ClampCoord(call.Int(1));
  g.cell_width = std::clamp(call.Int(2), 1, graphics::VRAM_WIDTH);
  g.cell_height = std::clamp(call.Int(3), 1, graphics::VRAM_HEIGHT);
  g.columns = std::clamp(call.Int(4), 1, graphics::CLICK_AREA_COUNT);
  g.gap_x = std::clamp(call.OptInt(5, 8), 0, graphics::VRAM_WIDTH);
  g.gap_y = std::clamp(call.OptInt(6, 8), 0, graphics::VRAM_HEIGHT);
  Areas(call).grid = g;
}

// IconArrange first, count [, draw (1)]: places the areas on the grid, row
// by row, and draws the used ones.
void IconArrange(Call& call) {
  const std::int32_t first = call.Int(0);
  const std::int32_t count = call.Int(1);
  const bool draw = call.OptInt(2, 1) != 0;
  if (!ClickAreas::ValidIndex(first) || count < 0) {
    call.SetError(1);
    return;
  }
  const graphics::IconGrid& g = Areas(call).grid;
  const int last = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(first) + count, graphics::CLICK_AREA_COUNT));
  for (int i = first; i < last; ++i) {
    const int k = i - first;
    ClickArea& a = Areas(call).At(i);
    a.left = g.x + (k % g.columns) * (g.cell_width + g.gap_x);
    a.top = g.y + (k / g.columns) * (g.cell_height + g.gap_y);
    a.right = a.left + g.cell_width - 1;
    a.bottom = a.top + g.cell_height - 1;
    if (draw && a.Used()) DrawOneIcon(call, i, graphics::ICON_STATE_NORMAL);
  }
  call.SetError(0);
}

constexpr Registration kClickAreaApis[] = {
    {Id("IconArrange"), IconArrange},
    {Id("SetIconArrgPrm"), SetIconArrgPrm},
    {Id("SetClcPnt"), SetClcPnt},
    {Id("GetClcPnt"), GetClcPnt},
    {Id("RefClcPnt"), RefClcPnt},
    {Id("RefClcPntEx"), RefClcPntEx},
    {Id("NearClcPnt"), NearClcPnt},
    {Id("DelClcPnt"), DelClcPnt},
    {Id("DrawIcon"), DrawIcon},
    {Id("RefIconName"), RefIconName},
};

}  // namespace

void RegisterClickAreaApis(Registry& registry) { registry.AddAll(kClickAreaApis); }

}  // namespace vx::api
