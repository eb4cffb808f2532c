// What a safe write costs: replacing a file through a new file beside it
// (and, for the registry store, syncing it first) against truncating it in
// place with stdio, as the writers did before; and appending through the
// checked stream against fopen "ab". Sizes: a line, a saved-values file, a
// picture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/files.hpp"
#include "platform/output_file.hpp"

namespace vx {
namespace {

// A private folder under the temporary folder, removed when the program ends.
const std::string& Folder() {
  struct Made {
    std::string path;
    Made() {
      const char* tmp = std::getenv("TMPDIR");
      std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexmora-bench-XXXXXX";
      if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~Made() {
      std::error_code ec;
      if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
  };
  static const Made made;
  return made.path;
}

void InPlaceStdio(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
  const std::string path = Folder() + "/stdio.bin";
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(InPlaceStdio)->Arg(64)->Arg(4096)->Arg(1 << 20);

void ReplaceBeside(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
  const std::string path = Folder() + "/beside.bin";
  for (auto _ : state) {
    files::OutputFile out = files::OutputFile::OpenSystem(path, files::WriteMode::kReplace);
    out.Write(bytes);
    if (out.Finish() != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ReplaceBeside)->Arg(64)->Arg(4096)->Arg(1 << 20);

void ReplaceDurable(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
  const std::string path = Folder() + "/durable.bin";
  for (auto _ : state) {
    if (files::ReplaceSystemFile(path, bytes) != 0) state.SkipWithError("write failed");
  }
}
BENCHMARK(ReplaceDurable)->Arg(4096);

void AppendStdio(benchmark::State& state) {
  const std::string line = "2024/01/01 12:00:00 one line of a log\r\n";
  const std::string path = Folder() + "/stdio.log";
  std::remove(path.c_str());
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
}
BENCHMARK(AppendStdio);

void AppendChecked(benchmark::State& state) {
  const std::string line = "2024/01/01 12:00:00 one line of a log\r\n";
  const std::string path = Folder() + "/checked.log";
  std::remove(path.c_str());
  for (auto _ : state) {
    files::OutputFile out = files::OutputFile::OpenSystem(path, files::WriteMode::kAppend);
    out.Write(line);
    if (out.Finish() != 0) state.SkipWithError("write failed");
  }
}
BENCHMARK(AppendChecked);

}  // namespace
}  // namespace vx
