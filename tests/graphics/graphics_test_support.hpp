#pragma once
// Helpers for pixel-exact tests of the drawing code.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"
#include "platform/pixel_loop.hpp"

namespace vx::test {

using graphics::Color;
using graphics::PixelRect;

inline constexpr Color kInk{0x30, 0x20, 0x10};  // blue 0x30, green 0x20, red 0x10
inline constexpr Color kPaper{0xEE, 0xEE, 0xEE};

// A bank of its own, filled with paper, with helpers to read it back.
class BankTest : public ::testing::Test {
 protected:
  BankTest() : bank_(graphics::VRAM_BANK_BYTES) { graphics::FillBank(bank_.data(), kPaper); }

  std::uint8_t* Bank() { return bank_.data(); }
  graphics::Canvas Whole() {
    return graphics::Canvas(bank_.data(), PixelRect{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1});
  }
  graphics::Canvas Clipped(const PixelRect& r) { return graphics::Canvas(bank_.data(), r); }
  Color At(int x, int y) const { return graphics::ReadPixel(bank_.data(), x, y); }
  bool Inked(int x, int y) const { return At(x, y) == kInk; }

  // Every pixel that is not paper, in (x, y) order.
  std::set<std::pair<int, int>> Changed(const PixelRect& within) const {
    std::set<std::pair<int, int>> out;
    for (int y = within.top; y <= within.bottom; ++y) {
      for (int x = within.left; x <= within.right; ++x) {
        if (!(At(x, y) == kPaper)) out.insert({x, y});
      }
    }
    return out;
  }
  std::set<std::pair<int, int>> ChangedAnywhere() const {
    return Changed(PixelRect{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1});
  }
  // Number of changed pixels outside `inside`.
  std::size_t ChangedOutside(const PixelRect& inside) const {
    std::size_t n = 0;
    for (int y = 0; y < graphics::VRAM_HEIGHT; ++y) {
      const std::uint8_t* row = graphics::PixelAt(bank_.data(), 0, y);
      for (int x = 0; x < graphics::VRAM_WIDTH; ++x) {
        if (x >= inside.left && x <= inside.right && y >= inside.top && y <= inside.bottom) continue;
        const std::uint8_t* p = row + x * 3;
        if (p[0] != kPaper.b || p[1] != kPaper.g || p[2] != kPaper.r) ++n;
      }
    }
    return n;
  }

  // A small picture of a region: '#' ink, '.' paper, '?' anything else.
  std::vector<std::string> Picture(const PixelRect& r) const {
    std::vector<std::string> rows;
    for (int y = r.top; y <= r.bottom; ++y) {
      std::string row;
      for (int x = r.left; x <= r.right; ++x) {
        const Color c = At(x, y);
        row += c == kInk ? '#' : c == kPaper ? '.' : '?';
      }
      rows.push_back(row);
    }
    return rows;
  }

  static constexpr graphics::Paint kPen{kInk, graphics::LINE_MODE_SOLID};

 private:
  std::vector<std::uint8_t> bank_;
};

// The pixel loops run with AVX-512 or AVX2 where the processor has them and
// portably elsewhere: `check` runs each way this machine can.
template <typename Check>
void EachLoopKind(Check&& check) {
  bool& avx512 = platform::UseAvx512Loops();
  bool& avx2 = platform::UseAvx2Loops();
  const bool has_avx512 = avx512;
  const bool has_avx2 = avx2;
  struct Kind {
    const char* name;
    bool avx512, avx2;
  };
  for (const Kind kind : {Kind{"AVX-512 loops", true, true}, Kind{"AVX2 loops", false, true},
                          Kind{"portable loops", false, false}}) {
    if ((kind.avx512 && !has_avx512) || (kind.avx2 && !has_avx2)) continue;
    SCOPED_TRACE(kind.name);
    avx512 = kind.avx512;
    avx2 = kind.avx2;
    check();
    avx512 = has_avx512;
    avx2 = has_avx2;
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace vx::test
