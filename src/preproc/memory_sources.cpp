#include "preproc/memory_sources.hpp"

#include "values/values.hpp"

namespace vx::preproc {

bool TextReader::ReadPiece(std::string& piece, std::size_t limit) {
  piece.clear();
  if (pos_ >= text_.size()) return false;
  std::size_t end = pos_;
  while (end < text_.size() && end - pos_ < limit) {
    if (text_[end++] == '\n') break;
  }
  piece.assign(text_.substr(pos_, end - pos_));
  pos_ = end;
  return true;
}

std::unique_ptr<SourceReader> MemoryEnvironment::OpenInclude(std::string_view path,
                                                             OpenResult& result) {
  if (!destination_name.empty() && path == destination_name) {
    result = OpenResult::kIsDestination;
    return nullptr;
  }
  const auto it = files.find(path);
  if (it == files.end()) {
    result = OpenResult::kNotFound;
    return nullptr;
  }
  result = OpenResult::kOpened;
  return std::make_unique<TextReader>(it->second);
}

double MemoryEnvironment::Evaluate(std::string_view expression) {
  if (evaluate) return evaluate(expression);
  double value = 0.0;
  return values::ScanDouble(expression, &value) ? value : 0.0;
}

Outcome MemoryEnvironment::Run(std::string_view main_name, int mode) {
  const auto it = files.find(main_name);
  if (it == files.end()) {
    Console(kCannotOpenSource);
    return Outcome{};
  }
  const std::unique_ptr<char[]> work = NewWorkArea();
  TextReader main(it->second);
  return preproc::Run(*this, main, mode, std::span<char>(work.get(), WORK_AREA_BYTES));
}

}  // namespace vx::preproc
