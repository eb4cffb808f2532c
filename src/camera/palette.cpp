#include "camera/palette.hpp"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace vx::camera {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr int kBinBits = 5;
constexpr int kBins = 1 << (3 * kBinBits);
// Slots of the table that counts distinct colours: four times the most it
// keeps, so that probes stay short.
constexpr std::size_t kExactSlots = 4 * PALETTE_SIZE;

std::uint32_t Rgb(const std::uint8_t* p) {
  return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// The colours of a picture that has at most 256: each colour's slot holds
// its index in the palette.
class ExactColours {
 public:
  // False as soon as a 257th colour turns up.
  bool Add(std::uint32_t rgb) {
    std::size_t slot = Slot(rgb);
    if (keys_[slot] == rgb + 1) return true;
    if (count_ == PALETTE_SIZE) return false;
    keys_[slot] = rgb + 1;
    index_[slot] = static_cast<std::uint8_t>(count_);
    colours_[static_cast<std::size_t>(count_++)] = rgb;
    return true;
  }
  std::uint8_t IndexOf(std::uint32_t rgb) const { return index_[Slot(rgb)]; }
  void Fill(Palette& palette) const {
    palette.fill(kOpaque);
    for (int i = 0; i < count_; ++i) palette[static_cast<std::size_t>(i)] = kOpaque | colours_[static_cast<std::size_t>(i)];
  }

 private:
  std::size_t Slot(std::uint32_t rgb) const {
    std::size_t slot = (rgb * 2654435761u) % kExactSlots;
    while (keys_[slot] != 0 && keys_[slot] != rgb + 1) slot = (slot + 1) % kExactSlots;
    return slot;
  }
  std::array<std::uint32_t, kExactSlots> keys_{};  // colour + 1; 0 is an empty slot
  std::array<std::uint8_t, kExactSlots> index_{};
  std::array<std::uint32_t, PALETTE_SIZE> colours_{};
  int count_ = 0;
};

int BinOf(const std::uint8_t* p) {
  constexpr int shift = 8 - kBinBits;
  return ((p[2] >> shift) << (2 * kBinBits)) | ((p[1] >> shift) << kBinBits) | (p[0] >> shift);
}

struct Bin {
  std::uint64_t count = 0;
  std::uint64_t sum[3] = {0, 0, 0};  // red, green, blue
  double Mean(int c) const { return static_cast<double>(sum[c]) / static_cast<double>(count); }
};

// A box of the median cut: a run of the list of occupied bins.
struct Box {
  std::size_t first;
  std::size_t last;  // one past
  std::uint64_t count;
};

// The component (0 red, 1 green, 2 blue) along which the box is widest, and
// that width.
std::pair<int, double> Widest(const std::vector<Bin>& bins, const std::vector<int>& order, const Box& box) {
  double low[3] = {256, 256, 256};
  double high[3] = {-1, -1, -1};
  for (std::size_t i = box.first; i < box.last; ++i) {
    for (int c = 0; c < 3; ++c) {
      const double m = bins[static_cast<std::size_t>(order[i])].Mean(c);
      low[c] = std::min(low[c], m);
      high[c] = std::max(high[c], m);
    }
  }
  int axis = 0;
  for (int c = 1; c < 3; ++c) {
    if (high[c] - low[c] > high[axis] - low[axis]) axis = c;
  }
  return {axis, high[axis] - low[axis]};
}

// Splits boxes, widest (by the spread of their colours times the pixels in
// them) first, at the median pixel along their widest component, until
// there are 256 or none can be split.
std::vector<Box> MedianCut(const std::vector<Bin>& bins, std::vector<int>& order, std::uint64_t pixels) {
  std::vector<Box> boxes{{0, order.size(), pixels}};
  while (boxes.size() < PALETTE_SIZE) {
    std::size_t pick = boxes.size();
    double best = 0;
    int axis = 0;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].last - boxes[b].first < 2) continue;
      const auto [a, width] = Widest(bins, order, boxes[b]);
      const double score = width * static_cast<double>(boxes[b].count);
      if (score > best) {
        best = score;
        pick = b;
        axis = a;
      }
    }
    if (pick == boxes.size()) break;
    Box& box = boxes[pick];
    const auto begin = order.begin() + static_cast<std::ptrdiff_t>(box.first);
    const auto end = order.begin() + static_cast<std::ptrdiff_t>(box.last);
    std::sort(begin, end, [&](int a, int b) {
      return bins[static_cast<std::size_t>(a)].Mean(axis) < bins[static_cast<std::size_t>(b)].Mean(axis);
    });
    std::uint64_t seen = 0;
    std::size_t cut = box.first;
    while (cut + 1 < box.last && 2 * (seen + bins[static_cast<std::size_t>(order[cut])].count) <= box.count) {
      seen += bins[static_cast<std::size_t>(order[cut])].count;
      ++cut;
    }
    if (cut == box.first) {  // one bin holds half the pixels or more: it goes alone
      seen = bins[static_cast<std::size_t>(order[cut])].count;
      ++cut;
    }
    const Box upper{cut, box.last, box.count - seen};
    box.last = cut;
    box.count = seen;
    boxes.push_back(upper);
  }
  return boxes;
}

void ReducedPalette(const std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height, std::uint8_t* out,
                    std::ptrdiff_t out_stride, Palette& palette) {
  std::vector<Bin> bins(kBins);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* p = top_row + y * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      Bin& bin = bins[static_cast<std::size_t>(BinOf(p))];
      ++bin.count;
      bin.sum[0] += p[2];
      bin.sum[1] += p[1];
      bin.sum[2] += p[0];
    }
  }
  std::vector<int> order;
  for (int i = 0; i < kBins; ++i) {
    if (bins[static_cast<std::size_t>(i)].count != 0) order.push_back(i);
  }
  const std::vector<Box> boxes =
      MedianCut(bins, order, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
  palette.fill(kOpaque);
  std::vector<std::array<int, 3>> colours;
  for (const Box& box : boxes) {
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::size_t i = box.first; i < box.last; ++i) {
      for (int c = 0; c < 3; ++c) sum[c] += bins[static_cast<std::size_t>(order[i])].sum[c];
    }
    std::array<int, 3> mean{};
    for (int c = 0; c < 3; ++c) mean[static_cast<std::size_t>(c)] = static_cast<int>((sum[c] + box.count / 2) / box.count);
    palette[colours.size()] = kOpaque | (static_cast<std::uint32_t>(mean[0]) << 16) |
                              (static_cast<std::uint32_t>(mean[1]) << 8) | static_cast<std::uint32_t>(mean[2]);
    colours.push_back(mean);
  }
  // Every bin takes the palette colour nearest to the mean of its pixels.
  std::vector<std::uint8_t> nearest(kBins);
  for (int index : order) {
    const Bin& bin = bins[static_cast<std::size_t>(index)];
    double best = -1;
    for (std::size_t k = 0; k < colours.size(); ++k) {
      double d = 0;
      for (int c = 0; c < 3; ++c) {
        const double e = bin.Mean(c) - colours[k][static_cast<std::size_t>(c)];
        d += e * e;
      }
      if (best < 0 || d < best) {
        best = d;
        nearest[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(k);
      }
    }
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* p = top_row + y * stride;
    std::uint8_t* o = out + y * out_stride;
    for (int x = 0; x < width; ++x, p += 3) o[x] = nearest[static_cast<std::size_t>(BinOf(p))];
  }
}

}  // namespace

void QuantizePicture(const std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height, std::uint8_t* out,
                     std::ptrdiff_t out_stride, Palette& palette) {
  auto exact = std::make_unique<ExactColours>();
  bool few = true;
  for (int y = 0; y < height && few; ++y) {
    const std::uint8_t* p = top_row + y * stride;
    for (int x = 0; x < width && few; ++x, p += 3) few = exact->Add(Rgb(p));
  }
  if (!few) return ReducedPalette(top_row, stride, width, height, out, out_stride, palette);
  exact->Fill(palette);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* p = top_row + y * stride;
    std::uint8_t* o = out + y * out_stride;
    for (int x = 0; x < width; ++x, p += 3) o[x] = exact->IndexOf(Rgb(p));
  }
}

}  // namespace vx::camera
