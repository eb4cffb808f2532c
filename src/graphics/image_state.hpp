#pragma once
// What the picture families keep between calls: the size of the last
// picture loaded, the stored pictures of SetPicture, the parts table of
// ManageParts with the blobs of the last ScanLoaf, and the settings of
// SetExGrPrm.
#include <array>
#include <cstddef>
#include <vector>

#include "graphics/image_analysis.hpp"
#include "graphics/image_ops.hpp"

namespace vx::graphics {

inline constexpr int PICTURE_SLOTS = 64;
// All stored pictures together: sixteen full banks.
inline constexpr std::size_t PICTURE_STORE_BYTES_MAX = 16 * VRAM_BANK_BYTES;
inline constexpr int PARTS_MAX = 256;
inline constexpr std::size_t BLOBS_KEPT_MAX = 1000;

struct Part {
  bool used = false;
  int bank = 0;
  PixelRect rect;
};

struct ImageSettings {
  Sampling sampling = Sampling::kNearest;  // RotateImg, ZoomContinuous
  Color transparent = kWhite;              // the masked turns
  int shadow_percent = 50;                 // RotateMskdShdw
};

struct ImageState {
  int last_width = 0;   // the last BMP or JPEG loaded
  int last_height = 0;
  std::array<Image, PICTURE_SLOTS> pictures;
  std::size_t picture_bytes = 0;
  std::array<Part, PARTS_MAX> parts;
  std::vector<Region> blobs;  // of the last ScanLoaf
  int blob_bank = -1;
  ImageSettings settings;
  // GetScreenShot's full-size capture surface, made black on the first
  // capture and kept: a bank receives all of it, so what a smaller capture
  // does not cover still shows the earlier one.
  std::vector<std::uint8_t> capture;
};

}  // namespace vx::graphics
