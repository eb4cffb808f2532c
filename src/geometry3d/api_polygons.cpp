// The face store family: faces kept in a main store (60,000) and a sub store
// (30,000), a table of 500 parts naming runs of faces, polygon text files,
// and box making. The store counts are mirrored into G_PLYGN_CNT and
// G_PLYGN_CNT_SUB after every change.
//
// These APIs report nothing through G_ERROR (GetPgn sets it to 0); an index
// outside a store or the parts table changes nothing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "geometry3d/geometry3d.hpp"
#include "platform/files.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using geometry3d::Face;
using geometry3d::FaceStore;
using geometry3d::Vec3;

constexpr std::size_t kPolygonFileBytesMax = 256u * 1024 * 1024;

geometry3d::PolygonStores& P(Call& call) { return geometry3d::State(call.rt()).polygons; }

void MirrorCounts(Call& call) {
  geometry3d::PolygonStores& p = P(call);
  values::SetLong(call.rt(), sysvar::G_PLYGN_CNT, static_cast<std::int32_t>(p.main.Count()));
  values::SetLong(call.rt(), sysvar::G_PLYGN_CNT_SUB, static_cast<std::int32_t>(p.sub.Count()));
}

Vec3 VecArgs(Call& call, int n) { return {call.Double(n), call.Double(n + 1), call.Double(n + 2)}; }

Vec3 CurrentRgb(Call& call) {
  const graphics::Color c = call.rt().vram.DrawColor();
  return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
}

// Geometry, SHP, STR, IP and EX from arguments n..; a text over 127 bytes
// is stored empty with IP 0.
void FaceArgs(Call& call, int n, Face* f) {
  f->base = VecArgs(call, n);
  f->edge_h = VecArgs(call, n + 3);
  f->edge_v = VecArgs(call, n + 6);
  f->shape = static_cast<std::int16_t>(call.Int(n + 9));
  std::string& text = call.Small(0);
  call.String(n + 10, text);
  f->image = static_cast<std::int16_t>(call.Int(n + 11));
  f->extra = call.OptInt(n + 12, 0);
  if (text.size() > geometry3d::kFaceTextMax) {
    f->text.clear();
    f->image = 0;
  } else {
    f->text = text;
  }
  f->rgb = CurrentRgb(call);
}

// ClrPgn store: 0 the main store, any other the sub store.
void ClrPgn(Call& call) {
  const std::int32_t store = call.Int(0);
  (store == 0 ? P(call).main : P(call).sub).Clear();
  MirrorCounts(call);
}

// AddPgn VB, VH, VV (nine D), N SHP, T STR, N IP, [N EX].
void AddPgn(Call& call) {
  Face f;
  FaceArgs(call, 0, &f);
  P(call).main.Add(f);
  MirrorCounts(call);
}

// SetPgn index, VB, VH, VV, SHP, STR, IP, EX: ADDINFO stays.
void SetPgn(Call& call) {
  const std::int32_t index = call.Int(0);
  Face f;
  FaceArgs(call, 1, &f);
  Face* target = P(call).main.At(index);
  if (target == nullptr) return;
  f.add_info = target->add_info;
  *target = f;
}

// GetPgn index, nine D variables, SHP, STR, IP, EX variables: also sets
// the drawing colour from the face.
void GetPgn(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 13> out{};
  for (std::size_t k = 0; k < out.size(); ++k) {
    out[k] = call.Resource(1 + static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const Face* f = P(call).main.At(index);
  if (f == nullptr) return call.SetError(1);
  const std::array<Vec3, 3> vectors{f->base, f->edge_h, f->edge_v};
  for (std::size_t k = 0; k < 9; ++k) call.WriteDouble(out[k], vectors[k / 3][static_cast<int>(k % 3)]);
  call.WriteInt(out[9], f->shape);
  call.WriteText(out[10], f->text);
  call.WriteInt(out[11], f->image);
  call.WriteInt(out[12], f->extra);
  auto byte = [](double v) { return static_cast<std::uint8_t>(std::clamp(v * 255.0, 0.0, 255.0)); };
  call.rt().vram.DrawColor() = graphics::Color{byte(f->rgb.z), byte(f->rgb.y), byte(f->rgb.x)};
  call.SetError(0);
}

// SetPgnTexture index, T name, N IP: a name of 128 bytes or more changes
// nothing.
void SetPgnTexture(Call& call) {
  const std::int32_t index = call.Int(0);
  std::string& name = call.Small(0);
  call.String(1, name);
  const std::int32_t image = call.Int(2);
  Face* f = P(call).main.At(index);
  if (f == nullptr || name.size() > geometry3d::kFaceTextMax) return;
  f->text = name;
  f->image = static_cast<std::int16_t>(image);
}

// SetPgnExData index, four N.
void SetPgnExData(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 4> v{call.Int(1), call.Int(2), call.Int(3), call.Int(4)};
  if (Face* f = P(call).main.At(index)) f->add_info = v;
}

// GetPgnExData index, four variables.
void GetPgnExData(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 4> out{};
  for (std::size_t k = 0; k < 4; ++k) {
    out[k] = call.Resource(1 + static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const Face* f = P(call).main.At(index);
  if (f == nullptr) return;
  for (std::size_t k = 0; k < 4; ++k) call.WriteInt(out[k], f->add_info[k]);
}

// DeletePgn start, count.
void DeletePgn(Call& call) {
  const std::int32_t start = call.Int(0);
  const std::int32_t count = call.Int(1);
  P(call).main.Delete(start, count);
  MirrorCounts(call);
}

// ReducePgn count.
void ReducePgn(Call& call) {
  P(call).main.Reduce(call.Int(0));
  MirrorCounts(call);
}

// CpyPgn start, count, offset x, y, z.
void CpyPgn(Call& call) {
  const std::int32_t start = call.Int(0);
  const std::int32_t count = call.Int(1);
  const Vec3 offset = VecArgs(call, 2);
  P(call).main.Copy(start, count, offset);
  MirrorCounts(call);
}

bool ValidPart(std::int32_t index) { return index >= 0 && index < geometry3d::kParts; }

// SetPgnParts part, start, count.
void SetPgnParts(Call& call) {
  const std::int32_t part = call.Int(0);
  const std::int32_t start = call.Int(1);
  const std::int32_t count = call.Int(2);
  if (ValidPart(part)) P(call).parts[static_cast<std::size_t>(part)] = {start, count};
}

// GetPgnParts part, start variable, count variable.
void GetPgnParts(Call& call) {
  const std::int32_t part = call.Int(0);
  const std::int32_t out_start = call.Resource(1);
  const std::int32_t out_count = call.Resource(2);
  if (out_start < 0 || out_count < 0 || !ValidPart(part)) return;
  const geometry3d::PartEntry& e = P(call).parts[static_cast<std::size_t>(part)];
  call.WriteInt(out_start, e.start);
  call.WriteInt(out_count, e.count);
}

// LoadPgn file, store, scale, part: appends the file's faces; the part
// entry (0 to 499) receives the count before and the number appended.
void LoadPgn(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const std::int32_t store_index = call.Int(1);
  const double scale = call.Double(2);
  const std::int32_t part = call.Int(3);
  const std::optional<std::string> bytes = files::ReadAll(name, kPolygonFileBytesMax + 1);
  if (!bytes || bytes->size() > kPolygonFileBytesMax) return;  // unreadable or over 256 MB
  FaceStore& store = store_index == 0 ? P(call).main : P(call).sub;
  const std::size_t before = store.Count();
  for (const Face& f : geometry3d::ParsePolygonFile(*bytes, scale)) store.Add(f);
  if (ValidPart(part)) {
    P(call).parts[static_cast<std::size_t>(part)] = {static_cast<std::int32_t>(before),
                                                     static_cast<std::int32_t>(store.Count() - before)};
  }
  MirrorCounts(call);
}

enum OutPgnFlags : std::int32_t {
  OUT_SUB_STORE = 1,
  OUT_APPEND = 2,
  OUT_FLAT_ONLY = 4,  // shapes 0 and 1 only
};

// OutPgn file, flags, start, count.
void OutPgn(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const std::int32_t flags = call.Int(1);
  const std::int32_t start = call.Int(2);
  const std::int32_t count = call.Int(3);
  const FaceStore& store = (flags & OUT_SUB_STORE) != 0 ? P(call).sub : P(call).main;
  std::string text;
  const auto n = static_cast<std::int64_t>(store.Count());
  for (std::int64_t i = std::max<std::int64_t>(start, 0); i < n && i < static_cast<std::int64_t>(start) + count; ++i) {
    const Face& f = store.Faces()[static_cast<std::size_t>(i)];
    if ((flags & OUT_FLAT_ONLY) != 0 && f.shape != 0 && f.shape != 1) continue;
    text += geometry3d::FormatFace(f);
  }
  // The file is opened whatever the range: a count of 0 still creates or
  // empties it. G_ERROR 1 (the reason in G_ERR_TXT) when it cannot be
  // written; a file being replaced then keeps its old contents.
  ReportSystemResult(call, files::Write(name, text, (flags & OUT_APPEND) != 0));
}

// MkBoxPgn size x, y, z, corner x, y, z: six faces in the drawing colour.
void MkBoxPgn(Call& call) {
  const Vec3 size = VecArgs(call, 0);
  const Vec3 corner = VecArgs(call, 3);
  for (const Face& f : geometry3d::BoxFaces(size, corner, CurrentRgb(call))) P(call).main.Add(f);
  MirrorCounts(call);
}

constexpr Registration kPolygonApis[] = {
    {Id("ClrPgn"), ClrPgn},           {Id("AddPgn"), AddPgn},
    {Id("SetPgn"), SetPgn},           {Id("GetPgn"), GetPgn},
    {Id("SetPgnTexture"), SetPgnTexture}, {Id("SetPgnExData"), SetPgnExData},
    {Id("GetPgnExData"), GetPgnExData}, {Id("DeletePgn"), DeletePgn},
    {Id("ReducePgn"), ReducePgn},     {Id("CpyPgn"), CpyPgn},
    {Id("SetPgnParts"), SetPgnParts}, {Id("GetPgnParts"), GetPgnParts},
    {Id("LoadPgn"), LoadPgn},         {Id("OutPgn"), OutPgn},
    {Id("MkBoxPgn"), MkBoxPgn},
};

}  // namespace

void RegisterPolygonApis(Registry& registry) { registry.AddAll(kPolygonApis); }

}  // namespace vx::api
