#pragma once
// The expression name table: a numeric view of every long, double and string
// variable, in resource order, that the expression evaluator reads first.
// Every write through the value functions refreshes the written entry's pair.
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vx {

class NameTable {
 public:
  struct Pair {
    std::string_view name;  // points into the resource's name field
    double value = 0.0;
    std::int32_t resource = -1;
  };

  bool Built() const { return built_; }
  std::size_t Size() const { return pairs_.size(); }
  const Pair& At(std::size_t slot) const { return pairs_[slot]; }
  double Value(std::size_t slot) const { return pairs_[slot].value; }
  // Stays valid until the table is cleared or grows.
  const double* ValuePointer(std::size_t slot) const { return &pairs_[slot].value; }
  double* MutableValuePointer(std::size_t slot) { return &pairs_[slot].value; }

  // The first pair named `name` byte for byte, or -1.
  std::int32_t Find(std::string_view name) const;

  // Bumped at every change of the pairs (clear, add, built), so cached
  // bindings and value pointers can tell with one comparison.
  std::uint64_t Generation() const { return generation_; }

  void Clear();
  void Add(std::string_view name, double value, std::int32_t resource);
  void SetValue(std::size_t slot, double value) { pairs_[slot].value = value; }
  void MarkBuilt() {
    built_ = true;
    ++generation_;
  }

 private:
  std::vector<Pair> pairs_;
  std::unordered_map<std::string_view, std::int32_t> first_;
  bool built_ = false;
  std::uint64_t generation_ = 1;
};

}  // namespace vx
