#pragma once
// The single error channel of loading, evaluation and the APIs: a flag and
// the text of the one message that raised it. A later message replaces an
// earlier one; the run loop and the loader report and clear it.
#include <string>
#include <string_view>

namespace vx {

class PendingError {
 public:
  void Set(std::string_view message) {
    text_.assign(message);
    raised_ = true;
  }
  bool Raised() const { return raised_; }
  const std::string& Text() const { return text_; }
  // Keeps the flag: after a run ends with an error nothing runs until the
  // next load clears it.
  void ClearText() { text_.clear(); }
  void Clear() {
    raised_ = false;
    text_.clear();
  }

 private:
  bool raised_ = false;
  std::string text_;
};

}  // namespace vx
