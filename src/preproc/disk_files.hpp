#pragma once
// One PreProc call on real files: the source and destination checks, the
// start-up messages, includes opened through the engine's path gate
// (platform/files.hpp), and the destination written as it goes, so a fatal
// error leaves in it what was written before; a destination that cannot be
// written whole keeps its old contents.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/files.hpp"
#include "preproc/preprocessor.hpp"
#include "text/script_text.hpp"

namespace vx::preproc {

enum class CallStatus {
  kDone,           // the whole source was processed and written
  kNothingDone,    // the destination is, or is inside, the source
  kNoMemory,       // "Error : Cannot allocate memory.\n" was printed
  kNoSource,       // "cannot open source file\n" was printed
  kNoDestination,  // "cannot open destination file\n" was printed
  kWriteFailed,    // processed, but the destination could not be written fully
  kUnconvertible,  // processed, but a UTF-8 character had no Shift-JIS form (written as '?')
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
  // How files without the UTF-8 byte-order mark are read (the loader's rule).
  text::ScriptEncoding encoding = text::ScriptEncoding::kShiftJis;
};

// A file read as the loader reads a script: a file that starts with the
// UTF-8 byte-order mark, or any file when UTF-8 was chosen, is converted to
// Shift-JIS line by line. A character without a Shift-JIS form becomes '?'
// and is counted; `Unconvertible` names the first one ("U+1F600" on line N).
class DecodedFileReader : public SourceReader {
 public:
  // `unconvertible`, when given and still empty, receives "U+1F600 on line
  // 3 of NAME" for the first character that could not be converted.
  DecodedFileReader(files::FilePtr file, text::ScriptEncoding encoding, std::string_view name = {},
                    std::string* unconvertible = nullptr)
      : file_(std::move(file)), decoder_(encoding), name_(name), unconvertible_(unconvertible) {}
  bool ReadPiece(std::string& piece, std::size_t limit) override;

 private:
  files::FilePtr file_;
  text::ScriptLineDecoder decoder_;
  std::string name_;
  std::string* unconvertible_;
  std::string pending_;
  std::int64_t line_ = 0;
};

// The console line PreProc prints for a character without a Shift-JIS form.
std::string UnconvertibleMessage(std::string_view where);

CallResult PreprocessFiles(std::string_view source, std::string_view destination, int mode,
                           const DiskCallHooks& hooks);

// Writes Shift-JIS text to the process's standard output as UTF-8.
void WriteToStandardOutput(std::string_view text);

}  // namespace vx::preproc
