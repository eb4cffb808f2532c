#include "values/name_table.hpp"

namespace vx {

std::int32_t NameTable::Find(std::string_view name) const {
  auto it = first_.find(name);
  return it == first_.end() ? -1 : it->second;
}

void NameTable::Clear() {
  pairs_.clear();
  first_.clear();
  built_ = false;
  ++generation_;
}

void NameTable::Add(std::string_view name, double value, std::int32_t resource) {
  pairs_.push_back({name, value, resource});
  first_.emplace(name, static_cast<std::int32_t>(pairs_.size() - 1));
  ++generation_;
}

}  // namespace vx
