#pragma once
// Turning decoded pictures upright. Phone videos are stored as the sensor
// saw them, with a display matrix saying how to turn them for showing; the
// reader honours it as the ffmpeg tool does: turns of a quarter, a half or
// three quarters are made exactly (the planes of the decoded picture are
// turned before any colour conversion), other angles are ignored.
#include <cstddef>
#include <cstdint>

namespace vx::camera {

// Clockwise quarter turns (0 to 3) that show a picture whose display
// matrix rotates it `degrees` counter-clockwise (av_display_rotation_get's
// angle): 90 gives 3, -90 gives 1, 180 gives 2. An angle more than a degree
// away from a multiple of 90, or not a number, gives 0.
int QuarterTurnsFor(double degrees);

// Copies a plane of `width` x `height` pixels of `step` bytes each into
// `dst` turned clockwise by `quarter_turns` (0 to 3). An odd number of
// turns swaps the sides: dst is then `height` pixels wide.
void TurnPlane(const std::uint8_t* src, std::ptrdiff_t src_stride, int width, int height, int step,
               int quarter_turns, std::uint8_t* dst, std::ptrdiff_t dst_stride);

}  // namespace vx::camera
