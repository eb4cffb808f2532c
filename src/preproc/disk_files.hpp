#pragma once
// One PreProc call on real files: the source and destination checks, the
// start-up messages, includes opened through the engine's path gate
// (platform/files.hpp), and the destination written as it goes, so a fatal
// error leaves in it what was written before; a destination that cannot be
// written whole keeps its old contents.
#include <functional>
#include <string_view>

#include "preproc/preprocessor.hpp"

namespace vx::preproc {

enum class CallStatus {
  kDone,           // the whole source was processed and written
  kNothingDone,    // the destination is, or is inside, the source
  kNoMemory,       // "Error : Cannot allocate memory.\n" was printed
  kNoSource,       // "cannot open source file\n" was printed
  kNoDestination,  // "cannot open destination file\n" was printed
  kWriteFailed,    // processed, but the destination could not be written fully
  kFatal,          // stopped by a fatal error (outcome)
};

struct CallResult {
  CallStatus status = CallStatus::kDone;
  Outcome outcome;
  int write_error = 0;  // errno when the destination could not be opened or written
};

struct DiskCallHooks {
  // #if values.
  std::function<double(std::string_view)> evaluate;
  // Standard output (start-up messages and the include trace, Shift-JIS).
  std::function<void(std::string_view)> console;
};

CallResult PreprocessFiles(std::string_view source, std::string_view destination, int mode,
                           const DiskCallHooks& hooks);

// Writes Shift-JIS text to the process's standard output as UTF-8.
void WriteToStandardOutput(std::string_view text);

}  // namespace vx::preproc
