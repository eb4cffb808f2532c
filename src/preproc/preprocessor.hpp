#pragma once
// The preprocessor behind PreProc: one source file in, one script out.
// It includes files, applies #define substitutions, keeps or drops lines
// under #if/#ifdef/#ifndef, expands .macro definitions with local labels,
// numbers lines through <auto_inc>, strips // comments and, in mode 1,
// prefixes every output line with "[$SRC:%ld]" naming the main-file line
// the loader should report.
//
// The core knows nothing of disks, the console or the script's variables:
// it reads, writes and evaluates through an Environment, so the API handler
// backs it with real files and the expression evaluator while tests and the
// fuzz target back it with memory. All state lives for one Run call.
//
// Fixed capacities and what happens beyond them:
//   - a physical line is read in pieces of at most 2047 bytes; a longer one
//     becomes several output lines (all carrying the same line number);
//   - a line after substitution or macro expansion holds at most 2047 bytes
//     before its CR LF (as many as one read piece, so a line without
//     substitutions is never cut); longer results are cut at a character
//     boundary and keep their CR LF;
//   - #define names of 32 bytes or more, values of 1024 bytes or more,
//     .macro names of 32 bytes or more, formal parameters and local label
//     names of 1024 bytes or more are REFUSED with a fatal error rather than
//     cut: a cut name would silently stand for a different word.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vx::preproc {

inline constexpr std::size_t LINE_READ_MAX = 2047;        // bytes per read piece
inline constexpr std::size_t LINE_MAX_BYTES = 2047;       // substituted line before its CR LF
inline constexpr std::size_t DEFINE_MAX = 300;
inline constexpr std::size_t NAME_FIELD_BYTES = 32;       // names hold at most 31 bytes
inline constexpr std::size_t VALUE_FIELD_BYTES = 1024;    // values hold at most 1023 bytes
inline constexpr std::size_t PARAM_FIELD_BYTES = 1024;    // parameters and local labels
inline constexpr std::size_t MACRO_PARAM_MAX = 20;
inline constexpr std::size_t MACRO_LOCAL_MAX = 20;
inline constexpr std::size_t MACRO_BODY_MAX = 129072;
inline constexpr std::size_t WORK_AREA_BYTES = 131072;   // gathers a macro body
inline constexpr int CONDITION_DEPTH_MAX = 100;
inline constexpr int INCLUDE_DEPTH_MAX = 6;               // an include met at 6 is dropped

// Output modes: MODE_MARKERS writes "[$SRC:%ld]" before every line; any
// other value writes the lines as they are.
inline constexpr int MODE_MARKERS = 1;

// A file being read, in the way fgets hands it out.
class SourceReader {
 public:
  virtual ~SourceReader() = default;
  // Replaces `piece` by the next bytes of the file: up to and including the
  // next LF, at most `limit` bytes. False at the end of the file.
  virtual bool ReadPiece(std::string& piece, std::size_t limit) = 0;
};

enum class OpenResult {
  kOpened,
  kNotFound,
  kIsDestination,  // the file being written: reading it would chase the output
};

class Environment {
 public:
  virtual ~Environment() = default;
  // Opens a file named by an #include line (a path as the script wrote it).
  virtual std::unique_ptr<SourceReader> OpenInclude(std::string_view path,
                                                    OpenResult& result) = 0;
  // Appends bytes to the destination.
  virtual void Write(std::string_view bytes) = 0;
  // The include trace ("\t>…include file = %s\r\n") for standard output.
  virtual void Console(std::string_view text) = 0;
  // The value of an #if expression. A failing expression is the
  // environment's to report; it counts as 0.
  virtual double Evaluate(std::string_view expression) = 0;
};

// How a run ended. A fatal error stops processing at once; what was written
// before it stays written.
struct Outcome {
  bool fatal = false;
  std::int64_t line = 0;  // the main-file line number when it happened
  std::string message;    // e.g. "Error : #endif not encountered.\n"
};

// The work area of one call (WORK_AREA_BYTES); null when memory is short.
std::unique_ptr<char[]> NewWorkArea();

// Preprocesses `main` (include depth 0) into the environment's destination.
// `work_area` comes from NewWorkArea.
Outcome Run(Environment& env, SourceReader& main, int mode, std::span<char> work_area);

// The text of the fatal message box: "[%5ld]:%s".
std::string FatalText(const Outcome& outcome);

// Whether `destination` occurs inside `source`, ASCII letters compared
// without case. PreProc does nothing then (it would overwrite its input).
bool DestinationInsideSource(std::string_view source, std::string_view destination);

// Fatal messages, byte for byte.
namespace fatal {
inline constexpr std::string_view kEndifMissing = "Error : #endif not encountered.\n";
inline constexpr std::string_view kUnexpectedEndif = "Error : Unexpected  #endif encountered.\n";
inline constexpr std::string_view kUnexpectedElse = "Error : Unexpected  #else encountered.\n";
inline constexpr std::string_view kIfTooDeep = "Error : #if depth is too deep.(over 100)\n";
inline constexpr std::string_view kTooManyDefinitions = "Error : Too many definition.\n";
inline constexpr std::string_view kFileNotFound = "Error : File not found. [%s]\n";
inline constexpr std::string_view kTooManyParameters = "Error : too many parameters\n";
inline constexpr std::string_view kMemoryShortage = "Error : memory shortage\n";
inline constexpr std::string_view kTooManyLocals = "Error : too many local labels\n";
inline constexpr std::string_view kTooLongMacro = "Error : too long macro\n";
inline constexpr std::string_view kTooLongParameter = "Error : too long parameter\n";
inline constexpr std::string_view kTooManyActuals =
    "Error : too many actual parameters beyond the definition\n";
inline constexpr std::string_view kTooFewActuals =
    "Error : too few actual parameters for the definition\r\n\t[%s]\n";
// Refusals of input that would otherwise overflow a field or run away.
inline constexpr std::string_view kTooLongName = "Error : too long name\n";
inline constexpr std::string_view kTooLongDefinition = "Error : too long definition\n";
inline constexpr std::string_view kTooLongLocalLabel = "Error : too long local label\n";
inline constexpr std::string_view kNoMacroName = "Error : no macro name\n";
inline constexpr std::string_view kEndmMissing = "Error : .endm not encountered.\n";
inline constexpr std::string_view kIncludesDestination =
    "Error : cannot include the destination file. [%s]\n";
}  // namespace fatal

// Messages of the start of a call, for standard output.
inline constexpr std::string_view kCannotAllocate = "Error : Cannot allocate memory.\n";
inline constexpr std::string_view kCannotOpenSource = "cannot open source file\n";
inline constexpr std::string_view kCannotOpenDestination = "cannot open destination file\n";

}  // namespace vx::preproc
