#pragma once
// Files held in memory for the preprocessor: what the unit tests and the
// fuzz target run it on, with no disk, console or script behind it.
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "preproc/preprocessor.hpp"

namespace vx::preproc {

// Hands out a text the way fgets reads a file.
class TextReader : public SourceReader {
 public:
  explicit TextReader(std::string_view text) : text_(text) {}
  bool ReadPiece(std::string& piece, std::size_t limit) override;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

class MemoryEnvironment : public Environment {
 public:
  // Files by the exact name an #include line gives.
  std::map<std::string, std::string, std::less<>> files;
  // A name that opens as the destination (refused as an include).
  std::string destination_name;
  // #if values; by default the leading number of the expression, else 0.
  std::function<double(std::string_view)> evaluate;

  std::string output;   // the destination
  std::string console;  // standard output

  std::unique_ptr<SourceReader> OpenInclude(std::string_view path, OpenResult& result) override;
  void Write(std::string_view bytes) override { output.append(bytes); }
  void Console(std::string_view text) override { console.append(text); }
  double Evaluate(std::string_view expression) override;

  // Preprocesses files[main_name] with a fresh work area. A missing main
  // file gives an outcome with the start-up message and no output.
  Outcome Run(std::string_view main_name, int mode = MODE_MARKERS);
};

}  // namespace vx::preproc
