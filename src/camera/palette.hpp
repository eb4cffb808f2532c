#pragma once
// Pictures of at most 256 colours, for video formats that store a palette
// with every frame (GIF). A picture of 256 colours or fewer keeps every
// colour exactly; a richer one gets the 256 colours of a median cut of its
// histogram (5 bits a component), each pixel the nearest of them, without
// dithering.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vx::camera {

inline constexpr int PALETTE_SIZE = 256;
// Palette entries as FFmpeg stores them: 0xAARRGGBB, opaque.
using Palette = std::array<std::uint32_t, PALETTE_SIZE>;

// Writes `width` x `height` pixels (blue, green, red; rows `stride` bytes
// apart, negative for bottom-up) as palette indexes at `out` (rows
// `out_stride` bytes apart), and the palette they index. Entries no pixel
// uses are opaque black.
void QuantizePicture(const std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height, std::uint8_t* out,
                     std::ptrdiff_t out_stride, Palette& palette);

}  // namespace vx::camera
