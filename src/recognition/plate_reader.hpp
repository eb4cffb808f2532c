#pragma once
// A number plate read from a recognition plane: candidates located,
// rectified and cut into fields (plate.hpp), the fields read by the OCR
// engine, the best candidate kept with everything needed to show how it
// was found.
#include <array>
#include <string>
#include <vector>

#include "recognition/ocr.hpp"
#include "recognition/plate.hpp"

namespace vx::recognition {

enum PlateStatus : int { PLATE_READ = 0, PLATE_NOT_FOUND = 1, PLATE_NO_OCR = 2 };

struct PlateText {
  std::string text;    // Shift-JIS
  int confidence = 0;  // 0-100
};

struct PlateReading {
  PlateStatus status = PLATE_NOT_FOUND;
  std::string error;                 // why nothing was read
  PlateStyle style = PlateStyle::kJapanese;
  std::vector<PlateQuad> candidates;  // best first
  PlateQuad quad;                     // the plate read
  std::array<PlateText, FIELD_COUNT> fields{};  // Latin: all in FIELD_REGION
  std::string text;                   // the fields joined by spaces
  int confidence = 0;                 // the weakest field's
  bool known_format = false;          // Latin: the text fits a common plate format
  GreyImage search;                   // black-and-white search picture
  int search_scale = 1;
  Region region;                      // where it was looked for
  GreyImage rectified;
  PlateLayout layout;
};

PlateReading ReadPlate(const Plane& plane, const Region& region, PlateStyle style, OcrEngine& ocr);

}  // namespace vx::recognition
