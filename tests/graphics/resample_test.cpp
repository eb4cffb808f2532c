// Area averaging at whole scales: every output component is the rounded
// (half up) integer average of its block, whatever the block size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/resample.hpp"
#include "graphics_test_support.hpp"

namespace vx::test {
namespace {

std::uint8_t Sample(int x, int y, int c, int n) {
  // Flat blocks of 0 and 255, a block whose average is exactly k + 1/2,
  // and a busy pattern elsewhere.
  const int bx = x / n, by = y / n;
  if (by == 0 && bx == 0) return 0;
  if (by == 0 && bx == 1) return 255;
  if (by == 0 && bx == 2) return (x % n == 0 && y % n == 0 && n % 2 == 0 && n * n / 2 <= 255) ? static_cast<std::uint8_t>(n * n / 2) : 0;
  return static_cast<std::uint8_t>((x * 37 + y * 91 + x * y * 13 + c * 71) % 256);
}

TEST(AreaScaler, WholeScalesRoundBlockAveragesHalfUp) {
  for (int n : {2, 3, 4, 5, 7, 8, 16, 64}) {
    const int columns = 9, rows = 3;
    const int width = n * columns, height = n * rows;
    graphics::AreaScaler scaler(width, height, n, n, graphics::ResampleWindow{0, columns, 0, rows});
    std::vector<std::vector<std::uint8_t>> out(rows);
    const graphics::ResampleSink sink = [&](int row, std::span<const std::uint8_t> pixels) {
      out[static_cast<std::size_t>(row)].assign(pixels.begin(), pixels.end());
    };
    std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) line[static_cast<std::size_t>(x) * 3 + c] = Sample(x, y, c, n);
      }
      scaler.Push(line, sink);
    }
    for (int r = 0; r < rows; ++r) {
      ASSERT_EQ(out[static_cast<std::size_t>(r)].size(), static_cast<std::size_t>(columns) * 3) << n;
      for (int col = 0; col < columns; ++col) {
        for (int c = 0; c < 3; ++c) {
          std::uint32_t sum = 0;
          for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) sum += Sample(col * n + i, r * n + j, c, n);
          }
          const std::uint32_t area = static_cast<std::uint32_t>(n * n);
          EXPECT_EQ(out[static_cast<std::size_t>(r)][static_cast<std::size_t>(col) * 3 + c], (sum + area / 2) / area)
              << "scale " << n << " block " << col << "," << r << " component " << c;
        }
      }
    }
  }
}

// Fractional scales against one output pixel at a time: the footprint's
// columns averaged by the part of each that is covered, then its rows the
// same way, rounded half up.
TEST(AreaScaler, FractionalScalesAverageEachFootprint) {
  EachLoopKind([&] {
    const int width = 23, height = 17;
    auto pixel = [](int x, int y, int c) { return static_cast<std::uint8_t>((x * 53 + y * 29 + x * y * 7 + c * 101) % 256); };
    struct Cover {
      int index;
      double part;
    };
    // The input pixels under [begin, end) and how much of each is covered.
    auto covered = [](double begin, double end, int size) {
      std::vector<Cover> out;
      end = std::min(end, static_cast<double>(size));
      for (int k = std::max(0, static_cast<int>(std::floor(begin + 1e-9))); k < size && k < end - 1e-9; ++k) {
        const double part = std::min(end, k + 1.0) - std::max(begin, static_cast<double>(k));
        if (part > 1e-9) out.push_back(Cover{k, part});
      }
      return out;
    };
    for (double scale : {1.5, 2.5, 1.3, 0.75, 3.7, 0.5}) {
      const int columns = static_cast<int>(graphics::ScaledExtent(width, scale, 1000));
      const int rows = static_cast<int>(graphics::ScaledExtent(height, scale, 1000));
      graphics::AreaScaler scaler(width, height, scale, scale, graphics::ResampleWindow{0, columns, 0, rows});
      std::vector<std::vector<std::uint8_t>> out(static_cast<std::size_t>(rows));
      const graphics::ResampleSink sink = [&](int row, std::span<const std::uint8_t> pixels) {
        out[static_cast<std::size_t>(row)].assign(pixels.begin(), pixels.end());
      };
      std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
      for (int y = 0; y < height && scaler.Wants(y); ++y) {
        for (int x = 0; x < width; ++x) {
          for (int c = 0; c < 3; ++c) line[static_cast<std::size_t>(x) * 3 + c] = pixel(x, y, c);
        }
        scaler.Push(line, sink);
      }
      for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(out[static_cast<std::size_t>(r)].size(), static_cast<std::size_t>(columns) * 3) << scale;
        for (int col = 0; col < columns; ++col) {
          const std::vector<Cover> across = covered(col * scale, (col + 1) * scale, width);
          const std::vector<Cover> down = covered(r * scale, (r + 1) * scale, height);
          double total = 0;
          for (const Cover& a : across) total += a.part;
          for (int c = 0; c < 3; ++c) {
            double sum = 0, weight = 0;
            for (const Cover& d : down) {
              double row_sum = 0;
              for (const Cover& a : across) row_sum += pixel(a.index, d.index, c) * a.part;
              sum += row_sum / total * d.part;
              weight += d.part;
            }
            const auto want = static_cast<std::uint8_t>(std::clamp(std::floor(sum / weight + 0.5), 0.0, 255.0));
            EXPECT_EQ(out[static_cast<std::size_t>(r)][static_cast<std::size_t>(col) * 3 + c], want)
                << "scale " << scale << " pixel " << col << "," << r << " component " << c;
          }
        }
      }
    }
  });
}

// Averages that are exactly k + 1/2 round up to k + 1 however the rows
// are weighted: two columns a footprint (a + b odd) under row footprints
// whose weights and sums are exact, so that only the final division
// decides. For weights such as 3.0625 a product with the reciprocal falls
// just below some of these halves.
TEST(AreaScaler, ExactHalvesRoundUpAtEveryRowScale) {
  EachLoopKind([&] {
    const int width = 64, height = 40;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int value = x % 2 == 0 ? 17 * x + 5 * c : 17 * x + 5 * c - 38;
        line[static_cast<std::size_t>(x) * 3 + c] = static_cast<std::uint8_t>(value);
      }
    }
    for (const double sy : {1.5, 2.5, 3.0625, 6.125, 6.4375, 0.75}) {
      const int columns = width / 2;
      const int rows = static_cast<int>(graphics::ScaledExtent(height, sy, 1000));
      graphics::AreaScaler scaler(width, height, 2.0, sy, graphics::ResampleWindow{0, columns, 0, rows});
      int emitted = 0;
      const graphics::ResampleSink sink = [&](int row, std::span<const std::uint8_t> pixels) {
        ++emitted;
        for (int col = 0; col < columns; ++col) {
          for (int c = 0; c < 3; ++c) {
            const std::size_t at = static_cast<std::size_t>(col) * 6 + c;
            const int sum = line[at] + line[at + 3];
            ASSERT_EQ(sum % 2, 1);
            ASSERT_EQ(pixels[static_cast<std::size_t>(col) * 3 + c], (sum + 1) / 2)
                << "row scale " << sy << " row " << row << " column " << col << " component " << c;
          }
        }
      };
      for (int y = 0; y < height && scaler.Wants(y); ++y) scaler.Push(line, sink);
      EXPECT_EQ(emitted, rows) << sy;
    }
  });
}

// The AVX2 loop takes a column's three components as one vector with the
// same operations in the same order: on a large noisy picture at many
// scales, where a last-bit difference in a sum would show as a byte off
// somewhere, every loop kind gives the same rows.
TEST(AreaScaler, AvxAndPortableLoopsGiveTheSameRows) {
  const int width = 640, height = 360;
  std::vector<std::uint8_t> input(static_cast<std::size_t>(width) * height * 3);
  std::uint32_t seed = 2024;
  for (std::uint8_t& b : input) b = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  for (const double scale : {1.5, 1.3, 2.5, 0.75, 3.7, 1.07, 0.9, 0.5}) {
    const int columns = static_cast<int>(graphics::ScaledExtent(width, scale, 4000));
    const int rows = static_cast<int>(graphics::ScaledExtent(height, scale, 4000));
    std::vector<std::vector<std::uint8_t>> results;
    EachLoopKind([&] {
      graphics::AreaScaler scaler(width, height, scale, scale, graphics::ResampleWindow{0, columns, 0, rows});
      std::vector<std::uint8_t> out;
      const graphics::ResampleSink sink = [&](int, std::span<const std::uint8_t> pixels) {
        out.insert(out.end(), pixels.begin(), pixels.end());
      };
      for (int y = 0; y < height && scaler.Wants(y); ++y) {
        scaler.Push(std::span<const std::uint8_t>(input).subspan(static_cast<std::size_t>(y) * width * 3,
                                                                 static_cast<std::size_t>(width) * 3),
                    sink);
      }
      results.push_back(std::move(out));
    });
    ASSERT_FALSE(results.empty());  // one kind alone where the processor has no vector loops
    ASSERT_EQ(results[0].size(), static_cast<std::size_t>(columns) * rows * 3) << scale;
    for (std::size_t kind = 1; kind < results.size(); ++kind) {
      EXPECT_TRUE(results[0] == results[kind]) << "scale " << scale << ", loop kind " << kind;
    }
  }
}

// Output rows scaled in bands (each its own scaler from Rows, fed from its
// NextInput on) are the rows of the whole scaler byte for byte, at copies,
// whole scales (also those whose blocks do not all fit), fractional
// reductions and enlargements, with windows starting inside the picture.
TEST(AreaScaler, BandsOfRowsGiveTheWholeScalersRows) {
  const int width = 53, height = 47;
  auto pixel = [](int x, int y, int c) { return static_cast<std::uint8_t>((x * 37 + y * 91 + x * y * 13 + c * 71) % 256); };
  std::vector<std::vector<std::uint8_t>> input(height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) input[static_cast<std::size_t>(y)].push_back(pixel(x, y, c));
    }
  }
  using Rows = std::vector<std::vector<std::uint8_t>>;
  auto sink_into = [](Rows& out) {
    return graphics::ResampleSink([&out](int row, std::span<const std::uint8_t> pixels) {
      if (out.size() <= static_cast<std::size_t>(row)) out.resize(static_cast<std::size_t>(row) + 1);
      out[static_cast<std::size_t>(row)].assign(pixels.begin(), pixels.end());
    });
  };
  for (double scale : {1.0, 2.0, 3.0, 5.0, 1.5, 2.7, 0.4, 0.77, 1.3, 7.3}) {
    for (const graphics::ResampleWindow window :
         {graphics::ResampleWindow{0, 1000, 0, 1000}, graphics::ResampleWindow{3, 11, 2, 1000}}) {
      graphics::ResampleWindow cut = window;
      cut.col_end = std::min(cut.col_end, static_cast<int>(graphics::ScaledExtent(width, scale, 1 << 20)));
      cut.row_end = std::min(cut.row_end, static_cast<int>(graphics::ScaledExtent(height, scale, 1 << 20)));
      const graphics::AreaScaler whole(width, height, scale, scale, cut);
      Rows expected;
      {
        graphics::AreaScaler streamed = whole;
        const graphics::ResampleSink sink = sink_into(expected);
        for (int y = 0; y < height && streamed.Wants(y); ++y) streamed.Push(input[static_cast<std::size_t>(y)], sink);
      }
      ASSERT_EQ(expected.size(), static_cast<std::size_t>(cut.row_end)) << scale;
      for (int band_rows : {1, 2, 3, 7}) {
        Rows got;
        const graphics::ResampleSink sink = sink_into(got);
        for (int first = cut.row_begin; first < cut.row_end; first += band_rows) {
          const int last = std::min(cut.row_end, first + band_rows);
          graphics::AreaScaler band = whole.Rows(first, last);
          // Rows from NextInput up to InputEnd are all a band needs.
          for (int y = band.NextInput(); !band.Finished(); ++y) {
            ASSERT_LT(y, whole.InputEnd(last)) << "scale " << scale << " rows " << first << " to " << last;
            band.Push(input[static_cast<std::size_t>(y)], sink);
          }
        }
        ASSERT_EQ(got.size(), expected.size()) << "scale " << scale << " bands of " << band_rows;
        for (int r = cut.row_begin; r < cut.row_end; ++r) {
          EXPECT_EQ(got[static_cast<std::size_t>(r)], expected[static_cast<std::size_t>(r)])
              << "scale " << scale << " bands of " << band_rows << " row " << r;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vx::test
