#include "graphics/vram.hpp"

#include <algorithm>
#include <cstring>

#include "graphics/text.hpp"
#include "text/messages.hpp"

namespace vx::graphics {

Vram::Vram() {
  japanese_font.face = std::string(msg::Text(msg::Id::kFontMincho));
  ascii_font.face = "Arial";
}

Vram::~Vram() = default;

std::uint8_t* Vram::Memory(int index) {
  if (index < VRAM_STATIC_BANKS) {
    BankMemory& bank = static_[index];
    // calloc hands out fresh zero pages for a block this size: a black bank
    // needs no writing, and only the pages drawn into become resident.
    if (!bank) {
      bank.reset(static_cast<std::uint8_t*>(std::calloc(VRAM_BANK_BYTES, 1)));
      state_[index].zeroed = true;
    }
    return bank.get();
  }
  if (index < count_ && extension_) {
    return extension_.get() + static_cast<std::size_t>(index - VRAM_STATIC_BANKS) * VRAM_BANK_BYTES;
  }
  return nullptr;
}

namespace {
// The rectangle of a bank in one colour, rows of any length.
void FillRect(std::uint8_t* bank, const PixelRect& r, Color c) {
  for (int y = r.top; y <= r.bottom; ++y) {
    std::uint8_t* p = PixelAt(bank, r.left, y);
    if (c.b == c.g && c.g == c.r) {
      std::memset(p, c.b, static_cast<std::size_t>(r.right - r.left + 1) * VRAM_PIXEL_BYTES);
      continue;
    }
    for (int x = r.left; x <= r.right; ++x, p += VRAM_PIXEL_BYTES) {
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  }
}
}  // namespace

std::uint8_t* Vram::WrittenOut(int index) {
  index = Resolve(index);
  if (index >= count_) return nullptr;
  std::uint8_t* memory = Memory(index);
  if (memory == nullptr) return nullptr;
  BankState& state = state_[index];
  if (state.zeroed) {
    state.ground = kBlack;
    state.drawn = PixelRect{};
  }
  if (state.uniform) {
    if (state.ground == state.colour) {
      FillRect(memory, state.drawn, state.colour);
    } else {
      FillBank(memory, state.colour);
    }
    state.ground = state.colour;
    state.drawn = PixelRect{};
    state.uniform = false;
    ++materialisations_;
  }
  state.zeroed = false;  // the caller may write
  return memory;
}

std::uint8_t* Vram::Bank(int index) {
  std::uint8_t* memory = WrittenOut(index);
  if (memory != nullptr) state_[Resolve(index)].drawn = PixelRect{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};
  return memory;
}

std::uint8_t* Vram::BankTracked(int index) { return WrittenOut(index); }

void Vram::AddDrawn(int index, const PixelRect& r) {
  index = Resolve(index);
  if (index >= count_) return;
  const PixelRect cut{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, VRAM_WIDTH - 1),
                      std::min(r.bottom, VRAM_HEIGHT - 1)};
  if (cut.Empty()) return;
  PixelRect& d = state_[index].drawn;
  d = d.Empty() ? cut
                : PixelRect{std::min(d.left, cut.left), std::min(d.top, cut.top), std::max(d.right, cut.right),
                            std::max(d.bottom, cut.bottom)};
}

Vram::Ground Vram::GroundOf(int index) const {
  index = Resolve(index);
  if (index >= count_) return Ground{};
  const BankState& state = state_[index];
  if (state.uniform) return Ground{state.colour, PixelRect{}};
  return Ground{state.ground, state.drawn};
}

std::optional<Color> Vram::UniformColour(int index) const {
  index = Resolve(index);
  if (index >= count_ || (index >= VRAM_STATIC_BANKS && !extension_)) return std::nullopt;
  const BankState& state = state_[index];
  if (!state.uniform) return std::nullopt;
  return state.colour;
}

BankPixels Vram::Pixels(int index) {
  if (const std::optional<Color> uniform = UniformColour(index)) return BankPixels(*uniform);
  return BankPixels(WrittenOut(index));  // read only: nothing counts as drawn
}

bool Vram::ClearBank(int index, Color c) {
  index = Resolve(index);
  if (index >= count_ || (index >= VRAM_STATIC_BANKS && !extension_)) return false;
  state_[index].uniform = true;
  state_[index].colour = c;
  return true;
}

bool Vram::Select(int index) {
  if (index < 0) return true;  // the current bank stays current
  if (index >= count_) return false;
  current_ = index;
  return true;
}

int Vram::Extend(int highest_index) {
  if (highest_index < count_) return 1;
  if (highest_index < VRAM_STATIC_BANKS) return 0;
  extension_.reset();
  count_ = VRAM_STATIC_BANKS;
  std::uint8_t* memory = nullptr;
  if (highest_index <= VRAM_BANK_INDEX_MAX) {
    const auto banks = static_cast<std::size_t>(highest_index - (VRAM_STATIC_BANKS - 1));
    memory = static_cast<std::uint8_t*>(std::calloc(banks, VRAM_BANK_BYTES));
  }
  if (memory == nullptr) {
    // The old extension is gone: a current bank that lived there must not
    // be drawn into any more.
    if (current_ >= VRAM_STATIC_BANKS) current_ = VRAM_INITIAL_BANK;
    return 0;
  }
  extension_.reset(memory);
  count_ = highest_index + 1;
  for (int i = VRAM_STATIC_BANKS; i < count_; ++i) state_[i] = BankState{};
  return 1;
}

void Vram::MarkDirty(int x, int y, int w, int h) {
  const std::int64_t right = static_cast<std::int64_t>(x) + w;
  const std::int64_t bottom = static_cast<std::int64_t>(y) + h;
  auto narrow = [](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  if (!dirty.NonEmpty()) {
    dirty = DirtyRect{x, y, narrow(right), narrow(bottom)};
  } else {
    dirty.left = std::min(dirty.left, x);
    dirty.top = std::min(dirty.top, y);
    dirty.right = narrow(std::max<std::int64_t>(dirty.right, right));
    dirty.bottom = narrow(std::max<std::int64_t>(dirty.bottom, bottom));
  }
  // An edge outside the surface goes to the surface's own edge on that
  // side: left and top to 0, right and bottom to the last column and row.
  if (dirty.left < 0 || dirty.left > width - 1) dirty.left = 0;
  if (dirty.right < 0 || dirty.right > width - 1) dirty.right = width - 1;
  if (dirty.top < 0 || dirty.top > height - 1) dirty.top = 0;
  if (dirty.bottom < 0 || dirty.bottom > height - 1) dirty.bottom = height - 1;
  redraw_needed = true;
}

PixelRect Vram::Clip() const {
  return PixelRect{std::max(clip_.left, 0), std::max(clip_.top, 0),
                   std::min(clip_.right, width - 1), std::min(clip_.bottom, height - 1)};
}

void Vram::SetClip(const PixelRect& r) {
  clip_ = PixelRect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width - 1),
                    std::min(r.bottom, height - 1)};
}

TextEngine& Vram::Text() {
  if (!text_) text_ = std::make_unique<TextEngine>();
  return *text_;
}

void FillBank(std::uint8_t* bank, Color c) {
  if (c.b == c.g && c.g == c.r) {
    std::memset(bank, c.b, VRAM_BANK_BYTES);
    return;
  }
  // 32 pixels are six 16-byte blocks and the bank holds whole groups of 32,
  // so it is one run of that pattern: wide stores only, no reads.
  constexpr std::size_t kPatternBytes = 32 * VRAM_PIXEL_BYTES;
  static_assert(VRAM_BANK_BYTES % kPatternBytes == 0);
  alignas(16) std::uint8_t pattern[kPatternBytes];
  for (std::size_t i = 0; i < kPatternBytes; i += VRAM_PIXEL_BYTES) {
    pattern[i] = c.b;
    pattern[i + 1] = c.g;
    pattern[i + 2] = c.r;
  }
  for (std::size_t i = 0; i < VRAM_BANK_BYTES; i += kPatternBytes) {
    std::memcpy(bank + i, pattern, kPatternBytes);
  }
}

void ClearCurrent(Vram& vram, Color c) {
  vram.ClearBank(-1, c);
  vram.MarkAllDirty();
}

bool BackUpCurrent(Vram& vram, int index) {
  if (!vram.Exists(index)) return false;
  if (index < 0 || index == vram.CurrentIndex()) return true;  // onto itself
  // One colour copies as that colour: nothing to write.
  if (const std::optional<Color> uniform = vram.UniformColour(-1)) return vram.ClearBank(index, *uniform);
  std::uint8_t* target = vram.Bank(index);
  std::uint8_t* source = vram.Current();
  if (target == nullptr || source == nullptr) return false;
  std::memcpy(target, source, VRAM_BANK_BYTES);
  return true;
}

bool RestoreCurrent(Vram& vram, int index) {
  if (!vram.Exists(index)) return false;
  if (const std::optional<Color> uniform = vram.UniformColour(index)) {
    if (!vram.ClearBank(-1, *uniform)) return false;
    vram.MarkAllDirty();
    return true;
  }
  std::uint8_t* source = vram.Bank(index);
  std::uint8_t* target = vram.Current();
  if (target == nullptr || source == nullptr) return false;
  if (source != target) std::memcpy(target, source, VRAM_BANK_BYTES);
  vram.MarkAllDirty();
  return true;
}

std::uint8_t MixComponent(int a, int b, int ratio) {
  std::int64_t v;
  const std::int64_t r = ratio;
  if (r < 0) {
    v = a + b * r / 100;
  } else if (r == 100) {
    v = a + b - 255;
  } else if (r < 100) {
    v = (b * (100 - r) + a * r) / 100;
  } else {
    v = a + b * (r - 100) / 100;
  }
  return ClampComponent(v);
}

bool MixBanks(Vram& vram, int destination, int source_a, int source_b, int ratio,
              const PixelRect& area) {
  if (destination < 0) destination = VRAM_INITIAL_BANK;
  if (destination >= VRAM_STATIC_BANKS || source_a >= VRAM_STATIC_BANKS ||
      source_b >= VRAM_STATIC_BANKS) {
    return false;
  }
  if (area.Empty() || area.left < 0 || area.top < 0 || area.right >= vram.width ||
      area.bottom >= vram.height) {
    return false;
  }
  std::uint8_t* dst = vram.Bank(destination);
  const std::uint8_t* a = vram.Bank(source_a);
  const std::uint8_t* b = vram.Bank(source_b);
  if (dst == nullptr || a == nullptr || b == nullptr) return false;
  // A lookup table per ratio keeps the inner loop to two loads and a store.
  std::vector<std::uint8_t> table(256 * 256);
  for (int av = 0; av < 256; ++av) {
    for (int bv = 0; bv < 256; ++bv) table[av * 256 + bv] = MixComponent(av, bv, ratio);
  }
  const std::size_t bytes = static_cast<std::size_t>(area.Width()) * VRAM_PIXEL_BYTES;
  for (int y = area.top; y <= area.bottom; ++y) {
    std::uint8_t* d = PixelAt(dst, area.left, y);
    const std::uint8_t* pa = PixelAt(a, area.left, y);
    const std::uint8_t* pb = PixelAt(b, area.left, y);
    for (std::size_t i = 0; i < bytes; ++i) d[i] = table[pa[i] * 256 + pb[i]];
  }
  if (destination == vram.CurrentIndex()) vram.MarkDirty(area);
  return true;
}

void ShiftCurrent(Vram& vram, int dx, int dy, Color fill) {
  const int w = VRAM_WIDTH;
  const int h = VRAM_HEIGHT;
  if (dx <= -w || dx >= w || dy <= -h || dy >= h) {
    vram.ClearBank(-1, fill);
    vram.MarkAllDirty();
    return;
  }
  std::uint8_t* bank = vram.Current();
  if (bank == nullptr) return;
  const std::size_t keep = static_cast<std::size_t>(w - std::abs(dx)) * VRAM_PIXEL_BYTES;
  auto move_row = [&](int from_y, int to_y) {
    const int src_x = dx >= 0 ? 0 : -dx;
    const int dst_x = dx >= 0 ? dx : 0;
    std::memmove(PixelAt(bank, dst_x, to_y), PixelAt(bank, src_x, from_y), keep);
  };
  auto fill_span = [&](int y, int x0, int x1) {
    for (int x = x0; x <= x1; ++x) {
      std::uint8_t* p = PixelAt(bank, x, y);
      p[0] = fill.b;
      p[1] = fill.g;
      p[2] = fill.r;
    }
  };
  // Rows move towards larger script y when dy > 0, so walk from the far end.
  if (dy >= 0) {
    for (int y = h - 1; y >= dy; --y) move_row(y - dy, y);
  } else {
    for (int y = 0; y < h + dy; ++y) move_row(y - dy, y);
  }
  for (int y = 0; y < h; ++y) {
    const bool uncovered_row = dy >= 0 ? y < dy : y >= h + dy;
    if (uncovered_row) {
      fill_span(y, 0, w - 1);
    } else if (dx > 0) {
      fill_span(y, 0, dx - 1);
    } else if (dx < 0) {
      fill_span(y, w + dx, w - 1);
    }
  }
  vram.MarkAllDirty();
}

}  // namespace vx::graphics
