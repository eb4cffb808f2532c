#pragma once
// The program-wide stores a script uses without declaring them: a numeric
// array of 10000 rows of six doubles, a string array of 500 texts and a FIFO
// of 100 texts. They live for the whole run and only their APIs change them;
// every operation checks its indexes and leaves the store unchanged when it
// refuses.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes.hpp"

namespace vx::api {

inline constexpr std::int32_t ARRAY_ROWS = 10000;
inline constexpr std::int32_t ARRAY_COLUMNS = 6;
inline constexpr std::int32_t STR_ARRAY_ENTRIES = 500;
inline constexpr std::size_t STR_ARRAY_TEXT_MAX = 1022;  // 1024-byte entries
inline constexpr std::int32_t FIFO_SLOTS = 100;
inline constexpr std::size_t FIFO_TEXT_MAX = 1023;  // 1024-byte slots

using ArrayRow = std::array<double, ARRAY_COLUMNS>;

class NumericArray {
 public:
  NumericArray();

  static bool ValidRow(std::int32_t row) { return row >= 0 && row < ARRAY_ROWS; }
  static bool ValidColumn(std::int32_t column) { return column >= 0 && column < ARRAY_COLUMNS; }

  // The row, or null for a row outside 0 to 9999.
  const ArrayRow* Row(std::int32_t row) const;
  bool SetRow(std::int32_t row, const ArrayRow& values);
  bool SetElement(std::int32_t row, std::int32_t column, double value);
  double Element(std::int32_t row, std::int32_t column) const;
  // Sorts rows 0 to count-1 by column 0, ascending; NaN keys go last. False
  // (nothing moves) when count is outside 0 to 10000.
  bool SortRows(std::int32_t count);
  void Clear();

  struct SortItem {
    std::uint64_t key;
    std::uint32_t position;
  };

 private:
  struct FreeRows {
    void operator()(ArrayRow* rows) const { std::free(rows); }
  };
  // Taken from calloc: a block this size comes as fresh zero pages, so a
  // run that never uses the array never touches its 480 KB.
  using RowMemory = std::unique_ptr<ArrayRow[], FreeRows>;
  static RowMemory ZeroRows();
  RowMemory rows_;
  // SortRows' scratch, kept so that repeated sorts reuse their memory
  // rather than fault in fresh pages every time.
  std::vector<SortItem> sort_items_, sort_spare_;
  std::vector<ArrayRow> sort_rows_;
  std::span<ArrayRow> Rows() { return {rows_.get(), static_cast<std::size_t>(ARRAY_ROWS)}; }
};

class StringArray {
 public:
  StringArray() : entries_(STR_ARRAY_ENTRIES) {}

  static bool ValidIndex(std::int32_t index) { return index >= 0 && index < STR_ARRAY_ENTRIES; }

  // The entry, or empty for an index outside 0 to 499.
  std::string_view Get(std::int32_t index) const;
  // False (nothing stored) for a bad index or a text of 1023 bytes or more.
  bool Set(std::int32_t index, std::string_view text);
  // Sorts entries 0 to count-1 in ascending byte order; false (nothing
  // moves) when count is outside 0 to 500.
  bool Sort(std::int32_t count);
  // The first of entries 0 to count-1 (count capped at 500) equal to the
  // text (exact) or containing it; -1 when none.
  std::int32_t Search(std::int32_t count, std::string_view text, bool exact) const;
  void Clear();

 private:
  std::vector<std::string> entries_;
};

class Fifo {
 public:
  enum class PutResult { kStored, kTooLong, kFull };

  // Adds the text behind the last entry. When 100 are stored, `overwrite`
  // drops the oldest entry first; the read cursor keeps pointing at the same
  // entry (or at the new oldest when it pointed at the dropped one).
  PutResult Put(std::string_view text, bool overwrite);
  // The entry at the cursor into `out`; false when the cursor is at or past
  // the count. Without `remove` the cursor advances; with it the entry is
  // taken out and the later ones move down.
  bool Get(std::string& out, bool remove);
  void Clear() { count_ = cursor_ = 0; }
  void Rewind() { cursor_ = 0; }
  std::int32_t Count() const { return count_; }
  std::int32_t Cursor() const { return cursor_; }

 private:
  std::array<std::string, FIFO_SLOTS> slots_;
  std::int32_t count_ = 0;
  std::int32_t cursor_ = 0;
};

// Everything the array, file and system families keep between calls.
struct Stores {
  NumericArray numbers;
  StringArray strings;
  Fifo fifo;
  platform::ProcessTable processes;  // programs started with WinExec
};

}  // namespace vx::api
