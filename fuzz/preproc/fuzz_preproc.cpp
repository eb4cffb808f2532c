// Drives the preprocessor on in-memory files. The input is split at NUL
// bytes into the main file and the files "a.vx", "b.vx" and "c.vx", so
// includes (cycles too), macros and conditions can span files. The
// destination is "out.vx". Checks that every written line is complete and
// within the line limit, whatever the bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "preproc/memory_sources.hpp"

namespace {

constexpr std::string_view kNames[] = {"main.vx", "a.vx", "b.vx", "c.vx"};
// A marker and a few more digits than any counter reaches here.
constexpr std::size_t kLineSlack = 64;

void CheckLines(std::string_view output) {
  if (output.empty()) return;
  if (output.size() < 2 || output.substr(output.size() - 2) != "\r\n") std::abort();
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = output.find("\r\n", start);
    if (end == std::string_view::npos) std::abort();
    if (end - start > vx::preproc::LINE_MAX_BYTES + kLineSlack) std::abort();
    start = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  vx::preproc::MemoryEnvironment env;
  env.destination_name = "out.vx";
  std::size_t start = 0;
  for (std::string_view name : kNames) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    env.files.emplace(std::string(name), std::string(input.substr(start, end - start)));
    if (end >= input.size()) break;
    start = end + 1;
  }
  const int mode = (size % 2 == 0) ? vx::preproc::MODE_MARKERS : 0;
  // One work area for all runs: a fresh 128 KiB block per input would cost
  // the sanitizer more than the preprocessing.
  static const std::unique_ptr<char[]> work = vx::preproc::NewWorkArea();
  vx::preproc::TextReader main(env.files["main.vx"]);
  const vx::preproc::Outcome outcome = vx::preproc::Run(
      env, main, mode, std::span<char>(work.get(), vx::preproc::WORK_AREA_BYTES));
  CheckLines(env.output);
  if (outcome.fatal && outcome.message.empty()) std::abort();
  (void)vx::preproc::FatalText(outcome);
  return 0;
}
