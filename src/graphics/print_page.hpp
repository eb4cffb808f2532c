#pragma once
// What the picture family needs from printing: while a job is open,
// LoadBMPImage puts the picture on the page instead of into the bank.
#include <cstdint>

#include "graphics/image_ops.hpp"

namespace vx {
struct Runtime;
}

namespace vx::api {

bool PrintJobOpen(const Runtime& rt);
// The picture at page position (x, y), one dot a pixel.
void PrintOnPage(Runtime& rt, std::int32_t x, std::int32_t y, const graphics::Image& picture);

}  // namespace vx::api
