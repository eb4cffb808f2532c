#pragma once
// The drawing banks and the drawing state around them.
//
// A bank is 2600 x 2000 pixels of 3 bytes (blue, green, red), rows stored
// bottom-up: memory row 0 is the bottom line, so script row y lives at memory
// row 1999 - y. That is a bottom-up 24-bit device-independent bitmap, which
// lets a window layer show a bank without converting it.
//
// Banks 0 to 5 always exist; banks 6 and above exist after Extend, as one
// allocation. A bank that holds one colour all over (every bank at first,
// and after a whole-bank clear) is only that colour: its memory is written
// when something asks for it, so a bank nobody draws into costs nothing.
// Readers that can do without the memory ask UniformColour first.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/color.hpp"

namespace vx::graphics {

inline constexpr int VRAM_WIDTH = 2600;
inline constexpr int VRAM_HEIGHT = 2000;
inline constexpr int VRAM_PIXEL_BYTES = 3;
inline constexpr std::size_t VRAM_ROW_BYTES = VRAM_WIDTH * VRAM_PIXEL_BYTES;        // 7800
inline constexpr std::size_t VRAM_BANK_BYTES = VRAM_ROW_BYTES * VRAM_HEIGHT;       // 15,600,000
inline constexpr int VRAM_STATIC_BANKS = 6;
inline constexpr int VRAM_INITIAL_BANK = 5;
// Highest bank index Extend accepts: 122 extension banks, about 1.9 GB.
inline constexpr int VRAM_BANK_INDEX_MAX = 127;
inline constexpr int COLOR_SLOTS = 4;
inline constexpr int LINE_WIDTH_MIN = 1;
inline constexpr int LINE_WIDTH_MAX = 100;
inline constexpr std::size_t FONT_FACE_BYTES_MAX = 1021;  // face names are under 1022 bytes
inline constexpr int FONT_WEIGHT_DEFAULT = 400;

// How the rectangle and frame drawers put the colour down (SetLineVol's mode).
enum LineMode : std::int32_t {
  LINE_MODE_SOLID = 0,        // the colour replaces the pixel (also any unlisted value)
  LINE_MODE_XOR = 1,          // pixel XOR colour: drawing twice restores the picture
  LINE_MODE_TRANSLUCENT = 2,  // the average of pixel and colour
  LINE_MODE_DASHED = 3,       // frames: 4 pixels on, 4 off along the edge
};

// Inclusive pixel rectangle in script coordinates.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;

  bool Empty() const { return left > right || top > bottom; }
  int Width() const { return Span(left, right); }
  int Height() const { return Span(top, bottom); }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;

 private:
  static int Span(int from, int to) {
    const std::int64_t n = static_cast<std::int64_t>(to) - from + 1;
    return static_cast<int>(n > INT32_MAX ? INT32_MAX : n);
  }
};

// The dirty rectangle of the window layer: left, top, right, bottom; it is
// non-empty when left < right and top < bottom.
struct DirtyRect {
  int left = VRAM_WIDTH - 1;
  int top = VRAM_HEIGHT - 1;
  int right = 0;
  int bottom = 0;

  bool NonEmpty() const { return left < right && top < bottom; }
  friend bool operator==(const DirtyRect&, const DirtyRect&) = default;
};

struct FontChoice {
  std::string face;  // Shift-JIS
  std::int32_t weight = FONT_WEIGHT_DEFAULT;
};

class TextEngine;

// A bank to read from: its memory, or the one colour it holds all over.
// Readers that take this never make a one-colour bank write its memory.
struct BankPixels {
  BankPixels() = default;
  BankPixels(const std::uint8_t* bank) : memory(bank) {}  // NOLINT: a bank's memory reads as itself
  explicit BankPixels(Color c) : uniform(c) {}

  explicit operator bool() const { return memory != nullptr || uniform.has_value(); }
  // Script pixel (x, y); the bank must be one of the two.
  Color At(int x, int y) const;

  const std::uint8_t* memory = nullptr;
  std::optional<Color> uniform;
};

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using BankMemory = std::unique_ptr<std::uint8_t, FreeDeleter>;

class Vram {
 public:
  Vram();
  ~Vram();
  Vram(const Vram&) = delete;
  Vram& operator=(const Vram&) = delete;

  // --- banks
  int BankCount() const { return count_; }
  int CurrentIndex() const { return current_; }
  // Bank address: 0 to 5 the static banks, 6 to count - 1 the extension,
  // any negative index the current bank, anything else (or memory the
  // system refused) null. A bank held as one colour is written out first,
  // so the memory shows that colour and may be drawn into.
  // The whole bank counts as drawn (see Ground).
  std::uint8_t* Bank(int index);
  std::uint8_t* Current() { return Bank(current_); }
  // The same memory for a reader, or for a writer that reports every pixel
  // it changes with AddDrawn: nothing counts as drawn by asking.
  std::uint8_t* BankTracked(int index);
  void AddDrawn(int index, const PixelRect& r);
  // What a bank holds: `colour` (the colour it was last cleared to) at every
  // pixel outside `drawn`, the bounding rectangle of what may have changed
  // since; `drawn` is empty for a one-colour bank. Readers that look only
  // inside it skip a blank page. Invalid for a bank that does not exist.
  struct Ground {
    Color colour;
    PixelRect drawn;
  };
  Ground GroundOf(int index) const;
  bool Exists(int index) const { return index < count_; }
  // The colour of a bank held as one colour (nothing written to its memory
  // since); nullopt for a bank with its own pixels or none at all. The same
  // index rules as Bank.
  std::optional<Color> UniformColour(int index) const;
  // The whole bank becomes one colour without writing its memory; false
  // when the bank does not exist. Addresses taken before keep pointing at
  // the old pixels until Bank is asked again.
  bool ClearBank(int index, Color c);
  // A bank for reading only: a one-colour bank stays one colour. Empty when
  // Bank would give null.
  BankPixels Pixels(int index);
  // How many times a bank held as one colour was written out (for tests and
  // measurements).
  std::uint64_t Materialisations() const { return materialisations_; }
  // Makes the bank current when it exists (a negative index names the
  // current bank: nothing changes); false otherwise.
  bool Select(int index);
  // ExtVram: 1 on success (or nothing to do), 0 on failure. A failed
  // extension leaves only the static banks (count 6); a current bank that
  // went with the extension falls back to bank 5.
  int Extend(int highest_index);

  // --- dirty rectangle and redraw-needed flag
  // Grows the dirty rectangle to include (x, y) to (x + w, y + h), then
  // clamps its edges, and sets the redraw-needed flag.
  void MarkDirty(int x, int y, int w, int h);
  void MarkDirty(const PixelRect& r) { MarkDirty(r.left, r.top, r.Width(), r.Height()); }
  void MarkAllDirty() { MarkDirty(0, 0, width, height); }
  void EmptyDirty() { dirty = DirtyRect{width - 1, height - 1, 0, 0}; }

  // --- the drawing clip: drawing APIs never write outside it
  PixelRect Clip() const;            // the clip rectangle within the surface
  void SetClip(const PixelRect& r);  // intersected with the surface
  void ResetClip() { clip_ = PixelRect{0, 0, width - 1, height - 1}; }

  // --- text
  TextEngine& Text();  // created on first use

  // The VRAM width and height bound all drawing.
  int width = VRAM_WIDTH;
  int height = VRAM_HEIGHT;
  std::array<Color, COLOR_SLOTS> colour_slots{};  // slot 0: the drawing colour
  int line_width = LINE_WIDTH_MIN;
  std::int32_t line_mode = LINE_MODE_SOLID;
  bool redraw_needed = false;
  DirtyRect dirty;
  FontChoice japanese_font;
  FontChoice ascii_font;

  Color& DrawColor() { return colour_slots[0]; }

 private:
  // What a bank holds besides its memory.
  struct BankState {
    bool uniform = true;    // one colour all over: `colour`, whatever memory says
    Color colour = kBlack;
    bool zeroed = true;     // the memory is still the zero pages it came as
    // The memory holds `ground` outside `drawn`. A bank made one colour
    // again keeps them, so that writing it out rewrites only `drawn` when
    // the colour is the same.
    Color ground = kBlack;
    PixelRect drawn;
  };
  std::uint8_t* WrittenOut(int index);  // Bank without counting anything as drawn
  int Resolve(int index) const { return index < 0 ? current_ : index; }
  std::uint8_t* Memory(int index);  // allocated on first need, never filled here

  std::array<BankMemory, VRAM_STATIC_BANKS> static_;
  BankMemory extension_;
  std::array<BankState, VRAM_BANK_INDEX_MAX + 1> state_{};
  std::uint64_t materialisations_ = 0;
  int count_ = VRAM_STATIC_BANKS;
  int current_ = VRAM_INITIAL_BANK;
  PixelRect clip_{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};
  std::unique_ptr<TextEngine> text_;
};

// Offset of script pixel (x, y) in a bank's memory; no bounds check.
inline std::size_t PixelOffset(int x, int y) {
  return static_cast<std::size_t>(VRAM_HEIGHT - 1 - y) * VRAM_ROW_BYTES +
         static_cast<std::size_t>(x) * VRAM_PIXEL_BYTES;
}
// Memory of script pixel (x, y) in a bank; no bounds check.
inline std::uint8_t* PixelAt(std::uint8_t* bank, int x, int y) { return bank + PixelOffset(x, y); }
inline const std::uint8_t* PixelAt(const std::uint8_t* bank, int x, int y) {
  return bank + PixelOffset(x, y);
}
inline Color ReadPixel(const std::uint8_t* bank, int x, int y) {
  const std::uint8_t* p = PixelAt(bank, x, y);
  return Color{p[0], p[1], p[2]};
}

inline Color BankPixels::At(int x, int y) const { return uniform ? *uniform : ReadPixel(memory, x, y); }

// --- whole-bank operations (not limited by the drawing clip)

// Fills the whole bank with one colour.
void FillBank(std::uint8_t* bank, Color c);
// VRamClear: the current bank filled, the whole surface dirty.
void ClearCurrent(Vram& vram, Color c);
// VRamBack: the current bank copied into `index`; false when it does not exist.
bool BackUpCurrent(Vram& vram, int index);
// VRamRestore: bank `index` copied into the current bank, the whole surface dirty.
bool RestoreCurrent(Vram& vram, int index);
// VRamMix: see MixComponent. Static banks only; the rectangle must lie inside
// the surface. A negative destination means bank 5. Returns false when it
// draws nothing.
bool MixBanks(Vram& vram, int destination, int source_a, int source_b, int ratio,
              const PixelRect& area);
std::uint8_t MixComponent(int a, int b, int ratio);
// ScreenShift: moves the whole picture of the current bank by (dx, dy); the
// uncovered part takes `fill`.
void ShiftCurrent(Vram& vram, int dx, int dy, Color fill);

}  // namespace vx::graphics
