// Arbitrary bytes as a wire file, loaded twice into one model (the second
// load numbers its points after the first), then every line's points looked
// up and the lines projected through the default view. Nothing may be read
// or written outside the point and line tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "geometry3d/view.hpp"
#include "geometry3d/wire_model.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::geometry3d;
  static WireModel wire;
  static const View view;
  wire.Reset();
  wire.Clear();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  wire.Load(bytes);
  wire.Load(bytes);
  if (wire.Base() < 0 || wire.Base() > kWirePoints) std::abort();
  if (wire.Lines().size() > static_cast<std::size_t>(kWireLines)) std::abort();
  for (const WireLine& line : wire.Lines()) {
    const WirePoint* from = wire.Point(line.from);
    const WirePoint* to = wire.Point(line.to);
    if (from != nullptr && to != nullptr && from->defined && to->defined) {
      const auto seen = view.ProjectSegment(from->at, to->at);
      if (seen && !(seen->a.x >= -1e-6 && seen->a.x <= 2599 + 1e-6)) std::abort();
    }
  }
  return 0;
}
