#pragma once
// Every file the program writes goes through an OutputFile, so that a write
// that fails is a failure everywhere: the caller gets the errno, the old
// file survives, and a headless run tells the user once per file.
//
//   files::OutputFile out = files::OutputFile::Open(path, files::WriteMode::kReplace);
//   out.Write(header);
//   SomeLibraryWriting(out.Stream());
//   if (const int error = out.Finish(); error != 0) ...   // errno, the file as before
//
// Replacing writes into a new file beside the target (same folder, so the
// same file system) and renames it over the target once every byte is
// written; the old file keeps its contents until then, and the new one gets
// its permissions. Appending writes to the file itself: what the system took
// before a failure stays.
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace vx::files {

enum class WriteMode { kReplace, kAppend };

class OutputFile {
 public:
  // A script path (CP932, backslashes, drive letters), named in notices as
  // the script wrote it.
  static OutputFile Open(std::string_view script_path, WriteMode mode);
  // A path that already is the system's (UTF-8, slashes), such as the
  // program's own files or a path from its command line.
  static OutputFile OpenSystem(std::string_view system_path, WriteMode mode);

  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Without Finish a replacement is dropped (the old file stays as it was)
  // and an append is flushed.
  ~OutputFile();

  // 0, or the errno of the first failure; after one, writes do nothing.
  int error() const;
  bool ok() const { return error() == 0; }

  // False once anything has failed. Bytes are buffered: a failure may only
  // show at a later Write or at Finish.
  bool Write(std::string_view bytes);
  // A stdio stream onto the file for code that writes through one (libjpeg,
  // libpng, fwrite); its bytes are checked and counted like Write's. Null
  // when the file could not be opened. Closed by Finish.
  std::FILE* Stream();

  // Permissions for the finished file instead of the old file's (or, for a
  // new file, the default ones).
  void SetPermissions(mode_t mode);
  // Finish makes the new contents reach the disk before they replace the
  // old ones, for files whose loss in a crash would cost more than the
  // milliseconds (the registry store).
  void SetDurable();

  // Writes out what is buffered and puts the file in place. 0, or the errno
  // of the first failure; a failed replacement leaves the target untouched.
  int Finish();

  // Bytes of this write that are in the target now: after a successful
  // Finish all of them; after a failed replacement none; for an append,
  // what the system took.
  std::uint64_t BytesInTarget() const;

  struct State;  // defined with the functions

 private:
  explicit OutputFile(std::unique_ptr<State> state);
  static OutputFile Make(std::string shown, const std::string& path, WriteMode mode);
  std::unique_ptr<State> state_;
};

// Told of every failed write, once per file name, with the name as the user
// gave it (UTF-8) and the errno. A headless front end installs one that
// writes a line on standard error; none is installed by default.
using WriteFailureNotice = void (*)(std::string_view shown_name, int errnum);
void SetWriteFailureNotice(WriteFailureNotice notice);
// For writers that fail before an OutputFile is involved.
void NoteWriteFailure(std::string_view shown_name, int errnum);

// A name beside `system_path` that no other writer of this process or any
// other picks at the same time.
std::string TemporaryNameBeside(const std::string& system_path);

}  // namespace vx::files
