#pragma once
// Explanations a person can act on. Every load and run-time error keeps the
// system's own message; after it comes one line "FILE:LINE: explanation",
// in English or Japanese, with a hint where one helps: the name meant by a
// misspelt function, label or resource, the line where an unclosed block
// opened, the declaration to add, the name of a missing argument.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

namespace engine {

// Where an error happened.
struct ErrorSite {
  std::string_view message;    // the system's error text (Shift-JIS)
  std::int32_t line = 0;       // the line the message names
  bool loading = false;        // a load error (else the run's)
  // Loading: the logical line. Running: empty; the procedure tells.
  std::string_view statement;
  std::int32_t procedure = 0;  // running: the procedure that failed
  std::string_view api;        // CALLS: the function name it computed
  std::string_view arguments;  // CALLS: the arguments it computed
  std::string_view detail;     // a character without a Shift-JIS form ("U+1F600")
  bool computed_call = false;  // the message came from inside CALLS
  // Loading: the lines where the innermost open If and while began (0: none).
  std::int32_t open_if_line = 0;
  std::int32_t open_while_line = 0;
};

// "FILE:LINE: explanation[; hint]" in Shift-JIS.
std::string ExplainError(const Runtime& rt, const ErrorSite& site);

// "FILE:LINE" of the current script (relative to the start directory when
// it lies below it; the script read from standard input is "<stdin>").
std::string ScriptLocation(const Runtime& rt, std::int32_t line);
// The current script's name as ScriptLocation shows it.
std::string ScriptDisplayName(const Runtime& rt, std::string_view path);

// The text in the user's language, as Shift-JIS.
std::string Say(const Runtime& rt, std::string_view english, std::string_view japanese,
                std::initializer_list<std::string_view> args = {});

// Shows an error message (caption and text exactly as the system words
// them) with its explanation as the message's details.
void ShowExplainedError(Runtime& rt, std::string_view caption, std::string_view text,
                        const ErrorSite& site);

// One line "FILE:LINE: text" for a terminal (standard error).
void NoteAtLine(Runtime& rt, std::int32_t line, std::string_view text);

// The distance between two names: insertions, deletions, substitutions and
// swaps of neighbours, ASCII letters compared without case.
std::size_t NameDistance(std::string_view a, std::string_view b);

// The candidate `name` was most likely meant to be: the nearest one within
// a distance that grows with the name's length (a third of it, at least 1,
// at most 3); among equals, the nearest with letter case counted, then the
// first. Nullopt
// when none is that near, or when `name` is itself a candidate.
std::optional<std::string_view> NearestName(std::string_view name,
                                            std::span<const std::string_view> candidates);

// The ordinal of n (1 → "1st") in English.
std::string Ordinal(int n);

}  // namespace engine
}  // namespace vx
