#pragma once
// The sentence library: templates (texts with named slots) and word bands
// (weighted word lists that fill the slots), read from Shift-JIS text files.
//
// File format, one item a line, CR LF or LF:
//
//   ; a comment (the line's first byte is ';')
//   [band NAME]            starts a word band
//   WORD                   one word of the band, weight 1
//   WORD *3                the same with weight 3 (1-10000): a blank, '*', digits
//   [template NAME]        starts a template, weight 1
//   [template NAME *2]     the same with weight 2 (how often generation picks it)
//   TEXT                   the template's text; more lines join with CR LF
//
// Blank lines are passed over. A slot is {NAME} (filled from the band of
// the same name) or {NAME:BAND} (filled from BAND); {{ and }} stand for the
// braces themselves. Words may hold slots too ({NAME} only): they are filled
// afresh each time the word is used, at most 8 levels deep. Names are 1-64
// bytes without blanks, braces, brackets, ':' or '*'. Scanning is Shift-JIS
// aware: the second byte of a two-byte character is never a brace.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx::sentences {

inline constexpr std::size_t SL_FILE_BYTES_MAX = 4 * 1024 * 1024;
inline constexpr std::size_t SL_LINE_BYTES_MAX = 4095;
inline constexpr std::size_t SL_NAME_BYTES_MAX = 64;
inline constexpr std::size_t SL_TEMPLATE_BYTES_MAX = 16384;
inline constexpr std::size_t SL_TEMPLATES_MAX = 2000;
inline constexpr std::size_t SL_BANDS_MAX = 500;
inline constexpr std::size_t SL_WORDS_MAX = 100000;  // in all bands together
inline constexpr std::int32_t SL_WEIGHT_MAX = 10000;
inline constexpr std::int32_t SL_NEST_MAX = 8;

// A piece of a parsed text: literal bytes, or a slot.
struct Piece {
  bool slot = false;
  std::string text;  // literal bytes, or the slot's name
  std::string band;  // the band a slot is filled from
};

struct Word {
  std::string text;
  std::int32_t weight = 1;
  std::vector<Piece> pieces;  // text with its nested slots
};

struct Band {
  std::string name;
  std::vector<Word> words;
  std::int64_t total_weight = 0;
};

struct Template {
  std::string name;
  std::string text;  // as written in the file (lines joined with CR LF)
  std::int32_t weight = 1;
  std::vector<Piece> pieces;
};

// Splits a text into pieces; nullopt with `error` set for an unclosed or
// empty slot, a stray brace or a bad name.
std::optional<std::vector<Piece>> ParsePieces(std::string_view text, std::string* error);

// Whether `name` may name a slot, band or template.
bool ValidName(std::string_view name);

// The distinct slot names of a template, in order of first use.
std::vector<std::string> SlotNames(const Template& t);

class Library {
 public:
  // Parses a whole file. On failure returns false with "line N: reason" in
  // `error` and leaves the library as it was. `bands_only` refuses
  // templates (band files); `append` adds the words of a band that exists
  // to it instead of replacing it.
  bool Load(std::string_view bytes, bool bands_only, bool append, std::string* error);
  void Clear();

  std::span<const Template> Templates() const { return templates_; }
  std::span<const Band> Bands() const { return bands_; }
  const Template* FindTemplate(std::string_view name) const;
  std::int32_t TemplateIndex(std::string_view name) const;  // -1 when absent
  const Band* FindBand(std::string_view name) const;
  std::int64_t TotalTemplateWeight() const;
  std::size_t WordCount() const;

  // Band editing; false with `error` set when a capacity or a rule is broken.
  bool AddWord(std::string_view band, std::string_view word, std::int32_t weight, std::string* error);
  std::int32_t RemoveWord(std::string_view band, std::string_view word);  // entries removed
  bool RemoveBand(std::string_view band);

 private:
  Band* MutableBand(std::string_view name);

  std::vector<Template> templates_;
  std::vector<Band> bands_;
};

// Shift-JIS aware wildcard match: '*' any run of characters, '?' one
// character (one or two bytes); other bytes match exactly.
bool WildcardMatch(std::string_view text, std::string_view pattern);

}  // namespace vx::sentences
