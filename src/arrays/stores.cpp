#include "arrays/stores.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <numeric>

namespace vx::api {
namespace {

// Sorts the first `count` items of `items` by `less`, items that compare
// equal keeping their order. Sorting positions with the position as the
// last key needs no temporary buffer, unlike std::stable_sort.
template <typename T, typename Less>
void SortKeepingOrder(std::vector<T>& items, std::size_t count, Less less) {
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (less(items[a], items[b])) return true;
    if (less(items[b], items[a])) return false;
    return a < b;
  });
  std::vector<T> sorted;
  sorted.reserve(count);
  for (std::size_t i : order) sorted.push_back(std::move(items[i]));
  std::move(sorted.begin(), sorted.end(), items.begin());
}


// A double as an unsigned key in the same order: negative numbers have all
// bits flipped, the others the sign bit set. Both zeros are one key, and
// NaN (which compares false with everything) sorts behind every number.
std::uint64_t OrderedKey(double v) {
  if (std::isnan(v)) return ~std::uint64_t{0};
  const auto bits = std::bit_cast<std::uint64_t>(v == 0.0 ? 0.0 : v);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Orders `items` (the first `count` rows' keys and positions) in ascending
// order of key, equal keys keeping their order: a least-significant-byte-
// first radix sort, which is stable by nature and skips the bytes all keys
// share (small whole numbers differ only in a few). `spare` is its scratch.
void OrderByKey(std::span<const ArrayRow> rows, std::size_t count, std::vector<NumericArray::SortItem>& items,
                std::vector<NumericArray::SortItem>& spare) {
  constexpr int kBytes = 8;
  items.resize(count);
  spare.resize(count);
  std::array<std::array<std::uint32_t, 256>, kBytes> histogram{};
  for (std::uint32_t i = 0; i < count; ++i) {
    items[i] = {OrderedKey(rows[i][0]), i};
    for (int b = 0; b < kBytes; ++b) ++histogram[b][(items[i].key >> (8 * b)) & 0xFF];
  }
  for (int b = 0; b < kBytes; ++b) {
    const std::array<std::uint32_t, 256>& counts = histogram[b];
    if (count == 0 || counts[(items[0].key >> (8 * b)) & 0xFF] == count) continue;
    std::array<std::uint32_t, 256> start;
    std::exclusive_scan(counts.begin(), counts.end(), start.begin(), std::uint32_t{0});
    for (const NumericArray::SortItem& item : items) spare[start[(item.key >> (8 * b)) & 0xFF]++] = item;
    items.swap(spare);
  }
}

}  // namespace

// The zero rows, or none at all when memory is short: a store that cannot
// exist is a fault of the machine, not of the script.
NumericArray::RowMemory NumericArray::ZeroRows() {
  void* memory = std::calloc(ARRAY_ROWS, sizeof(ArrayRow));
  if (memory == nullptr) std::abort();
  return RowMemory(static_cast<ArrayRow*>(memory));
}

NumericArray::NumericArray() : rows_(ZeroRows()) {}

const ArrayRow* NumericArray::Row(std::int32_t row) const {
  return ValidRow(row) ? &rows_[row] : nullptr;
}

bool NumericArray::SetRow(std::int32_t row, const ArrayRow& values) {
  if (!ValidRow(row)) return false;
  rows_[row] = values;
  return true;
}

bool NumericArray::SetElement(std::int32_t row, std::int32_t column, double value) {
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  rows_[row][column] = value;
  return true;
}

double NumericArray::Element(std::int32_t row, std::int32_t column) const {
  return ValidRow(row) && ValidColumn(column) ? rows_[row][column] : 0.0;
}

bool NumericArray::SortRows(std::int32_t count) {
  if (count < 0 || count > ARRAY_ROWS) return false;
  OrderByKey(Rows(), static_cast<std::size_t>(count), sort_items_, sort_spare_);
  sort_rows_.resize(sort_items_.size());
  for (std::size_t i = 0; i < sort_items_.size(); ++i) sort_rows_[i] = rows_[sort_items_[i].position];
  std::copy(sort_rows_.begin(), sort_rows_.end(), rows_.get());
  return true;
}

// Fresh zero pages again, rather than writing zeros over every page.
void NumericArray::Clear() { rows_ = ZeroRows(); }

std::string_view StringArray::Get(std::int32_t index) const {
  return ValidIndex(index) ? std::string_view(entries_[index]) : std::string_view();
}

bool StringArray::Set(std::int32_t index, std::string_view text) {
  if (!ValidIndex(index) || text.size() > STR_ARRAY_TEXT_MAX) return false;
  // Entries are terminated texts: whatever follows a NUL is not part of it.
  entries_[index].assign(text.substr(0, text.find('\0')));
  return true;
}

bool StringArray::Sort(std::int32_t count) {
  if (count < 0 || count > STR_ARRAY_ENTRIES) return false;
  SortKeepingOrder(entries_, static_cast<std::size_t>(count), std::less<std::string>());
  return true;
}

std::int32_t StringArray::Search(std::int32_t count, std::string_view text, bool exact) const {
  count = std::clamp(count, 0, STR_ARRAY_ENTRIES);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string& entry = entries_[i];
    if (exact ? entry == text : entry.find(text) != std::string::npos) return i;
  }
  return -1;
}

void StringArray::Clear() {
  for (std::string& entry : entries_) entry.clear();
}

Fifo::PutResult Fifo::Put(std::string_view text, bool overwrite) {
  if (text.size() > FIFO_TEXT_MAX) return PutResult::kTooLong;
  if (count_ >= FIFO_SLOTS) {
    if (!overwrite) return PutResult::kFull;
    std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
    --count_;
    if (cursor_ > 0) --cursor_;
  }
  slots_[count_].assign(text.substr(0, text.find('\0')));
  ++count_;
  return PutResult::kStored;
}

bool Fifo::Get(std::string& out, bool remove) {
  if (cursor_ >= count_) return false;
  out = slots_[cursor_];
  if (!remove) {
    ++cursor_;
    return true;
  }
  std::rotate(slots_.begin() + cursor_, slots_.begin() + cursor_ + 1, slots_.begin() + count_);
  --count_;
  return true;
}

}  // namespace vx::api
