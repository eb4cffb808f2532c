#pragma once
// A pixel colour as the banks store it (blue, green, red) and the two forms a
// script writes colours in: three components, or one packed 0xRRGGBB value.
#include <algorithm>
#include <cstdint>

namespace vx::graphics {

struct Color {
  std::uint8_t b = 0;
  std::uint8_t g = 0;
  std::uint8_t r = 0;

  friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr std::uint8_t ClampComponent(std::int64_t v) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
}

// Three components, each clamped to 0 to 255.
inline constexpr Color FromComponents(std::int64_t red, std::int64_t green, std::int64_t blue) {
  return Color{ClampComponent(blue), ClampComponent(green), ClampComponent(red)};
}

// Packed 0xRRGGBB; bits above the low 24 are ignored.
inline constexpr Color FromPacked(std::uint32_t rrggbb) {
  return Color{static_cast<std::uint8_t>(rrggbb & 0xFF),
               static_cast<std::uint8_t>((rrggbb >> 8) & 0xFF),
               static_cast<std::uint8_t>((rrggbb >> 16) & 0xFF)};
}

inline constexpr std::uint32_t ToPacked(Color c) {
  return (static_cast<std::uint32_t>(c.r) << 16) | (static_cast<std::uint32_t>(c.g) << 8) | c.b;
}

inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kBlack{0, 0, 0};

// component = (background x (255 - coverage) + colour x coverage) / 255
inline constexpr std::uint8_t BlendComponent(std::uint8_t background, std::uint8_t colour,
                                             std::uint8_t coverage) {
  return static_cast<std::uint8_t>((background * (255 - coverage) + colour * coverage) / 255);
}

}  // namespace vx::graphics
