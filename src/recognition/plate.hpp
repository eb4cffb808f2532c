#pragma once
// Number-plate reading on a recognition plane: plate candidates are found as
// light connected components of plate shape that hold dark strokes (many
// vertical edges), each is rectified into an upright picture of standard
// size, cut into character fields, and the fields are read by an OCR engine.
//
// Two styles: Japanese plates (two lines: region name and class number
// above, one hiragana and the serial number below, in the standard layout)
// and Latin-alphabet plates (one or two lines of capitals and digits).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recognition/store.hpp"

namespace vx::recognition {

inline constexpr int PLATE_JP_WIDTH = 440;       // rectified Japanese plate (2:1, 330 x 165 mm)
inline constexpr int PLATE_JP_HEIGHT = 220;
inline constexpr int PLATE_LATIN_HEIGHT = 110;   // rectified Latin plate; width from its aspect
inline constexpr int PLATE_LATIN_WIDTH_MAX = 660;
inline constexpr int PLATE_WORK_SIDE = 900;      // longer side of the search picture
inline constexpr int PLATE_MIN_WIDTH = 60;       // plate width in plane pixels
inline constexpr std::size_t PLATE_CANDIDATES_MAX = 8;
inline constexpr std::size_t PLATE_TEXT_MAX = 255;

enum class PlateStyle { kJapanese, kLatin };

// Grey picture, rows top-down.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  GreyImage() = default;
  GreyImage(int w, int h, std::uint8_t fill = 255)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  std::uint8_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  bool Empty() const { return width <= 0 || height <= 0; }
};

struct Box {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  friend bool operator==(const Box&, const Box&) = default;
};

// A turned rectangle in plane pixels: centre, the angle of its long side
// (radians, -pi/4 to pi/4, y down) and its sides.
struct PlateQuad {
  double cx = 0;
  double cy = 0;
  double angle = 0;
  double width = 0;
  double height = 0;
  int strokes = 0;  // dark strokes found inside when it was checked
  // Corners top-left, top-right, bottom-right, bottom-left.
  std::array<std::array<double, 2>, 4> Corners() const;
};

// The candidates in the region, best first (most strokes), at most
// PLATE_CANDIDATES_MAX. `search`, when given, gets the black-and-white
// search picture (light 255) at `scale` plane pixels per pixel.
std::vector<PlateQuad> FindPlates(const Plane& plane, const Region& region, PlateStyle style,
                                  GreyImage* search = nullptr, int* scale = nullptr);

// A candidate's outline found again at full size (the first search may
// run at a reduced scale): the search repeated in a window around it; the
// same quad when that finds nothing like it.
PlateQuad RefinePlate(const Plane& plane, const PlateQuad& quad, PlateStyle style);

// The quad sampled upright (bilinear) into a width x height picture.
GreyImage Rectify(const Plane& plane, const PlateQuad& quad, int width, int height);
// The rectified size for a quad of this style.
void RectifiedSize(const PlateQuad& quad, PlateStyle style, int& width, int& height);

// Otsu's threshold of a picture's grey values (dark is below it).
int OtsuThreshold(const GreyImage& image);

// Fields of a rectified plate: Japanese region, class, kana, serial; Latin
// the first line and the second (empty on one-line plates).
enum PlateField { FIELD_REGION = 0, FIELD_CLASS = 1, FIELD_KANA = 2, FIELD_SERIAL = 3, FIELD_COUNT = 4 };
inline constexpr PlateField FIELD_LATIN_FIRST = FIELD_REGION;
inline constexpr PlateField FIELD_LATIN_SECOND = FIELD_CLASS;

struct PlateLayout {
  GreyImage binary;                      // dark strokes 0, the rest 255; frame removed
  GreyImage grey;                        // the rectified plate, strokes stretched to black, ground to white
  std::array<Box, FIELD_COUNT> fields{};  // empty when a field holds nothing
  std::array<std::vector<Box>, FIELD_COUNT> characters{};  // stroke groups, left to right
};
PlateLayout SegmentPlate(const GreyImage& rectified, PlateStyle style);
// Where a Japanese plate's upper line (merged parts, left to right) parts
// into region name and class number: the index of the class number's first
// character. The class number is the last one to three characters, each of
// digit shape, right of the plate's middle or near it; the name's lie left
// of it. With only such characters right of the middle the name is missing
// (0). Of the splits that fit the one at the widest gap; none fitting: the
// widest gap.
std::size_t ClassSplit(const std::vector<Box>& upper, int width);
// The first `count` characters of a Japanese plate's class number moved to
// the end of its region name, the name's parts joined into characters
// again.
void MoveClassToRegion(PlateLayout& layout, std::size_t count);
// Parts of a line (left to right) joined into characters: a part joins the
// one before it while together they are at most `widest` times the line's
// height (its tallest part) wide.
std::vector<Box> CharacterBoxes(const std::vector<Box>& parts, double widest);
// Parts of a Latin plate (boxes of its dark components) into two lines
// where character-sized parts leave a band of rows empty in the middle
// half of their height and each side holds at least two of them; else all
// into `upper`.
void SplitLines(const std::vector<Box>& parts, std::vector<Box>& upper, std::vector<Box>& lower);

// Characters of a field cut out for the OCR engine from the stretched grey
// plate (bilinear): dark on white, side by side with even gaps (what lies between them, dots and hyphens, left
// out), scaled so that the tallest is `height` pixels, with a white margin.
GreyImage FieldPicture(const PlateLayout& layout, const std::vector<Box>& characters, int height);
// The characters at least `share` as tall as the tallest.
std::vector<Box> TallCharacters(const std::vector<Box>& characters, double share);
// Every kana and kanji of the known region names (UTF-8), for the OCR
// engine's character list.
const std::string& RegionCharacters();

// The places of a Latin plate's text fitted to the common plate formats
// (letter and digit places, as "LL DD LLL"): `read` holds the lines parted
// by '|', and when `groups_known` its groups parted by ' ' (else spaces
// are ignored). Gives 'L' or 'D' per character (lines joined) of the
// format that fits with the fewest characters read in the other class (or
// read as I, O or Q, letters plates mostly leave out); empty when none
// fits, or two fit as well with other places.
std::string LatinPlaces(std::string_view read, bool groups_known);
// The character of the other class a character is often read for: 'O' as
// '0' in a digit place, '8' as 'B' in a letter place; 0 when none.
char LatinLookAlike(char c, char place);

// Serial digits as the plate shows them: four as "12-34", fewer led by
// middle dots (Shift-JIS "・"); other texts unchanged.
std::string FormatSerial(const std::string& digits);

// The nearest known region name to a read text (both UTF-8; only its kana
// and kanji count), with the edit distance in characters; empty when none
// is within half the name's length or two are equally near.
std::string NearestRegion(const std::string& utf8, int& distance);

}  // namespace vx::recognition
