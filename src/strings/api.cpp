// The string family (ids 8 to 47), the field functions (51 to 56), xxEncode
// and xxDecode (204, 205) and CalcStr (433): Shift-JIS texts held in string
// variables. Each handler fetches its arguments in the API's order, does its
// work through the algorithms of string_ops.hpp and writes its results.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "strings/string_ops.hpp"
#include "values/expression.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

// ---- Helpers -------------------------------------------------------------

// Text argument n evaluated into large work buffer k.
std::string_view TextArg(Call& call, int n, int k) {
  std::string& buffer = call.Large(k);
  call.String(n, buffer);
  return buffer;
}

// Text argument n for handlers that read all their texts before they write
// anything: a variable's own bytes where it can be, else as TextArg.
std::string_view ReadOnlyText(Call& call, int n, int k) { return call.TextView(n, k); }

// The whole buffer of a string variable (its capacity, terminator included),
// or an empty span for any other resource.
std::span<char> VariableBuffer(Call& call, std::int32_t index) {
  Program& program = call.rt().program;
  if (!program.ValidResource(index)) return {};
  ResourceEntry& e = program.Resource(index);
  if (e.kind != R_KD_VAL_TXT || !e.text || e.text_capacity <= 0) return {};
  return {e.text.get(), static_cast<std::size_t>(e.text_capacity)};
}

// The part of a string variable's buffer that binary writes may change: all
// but the last byte, which keeps the text terminated.
std::span<char> WritableBytes(std::span<char> buffer) {
  return buffer.empty() ? buffer : buffer.first(buffer.size() - 1);
}

void WriteFlag(Call& call, std::int32_t out, bool value) { call.WriteInt(out, value ? 1 : 0); }

// The shape "text, text, out number" shared by comparisons and searches; a
// yes/no answer is written as 1 or 0.
template <typename Compute>
void TwoTextsToInt(Call& call, Compute compute) {
  const std::string_view a = ReadOnlyText(call, 0, 0);
  const std::string_view b = ReadOnlyText(call, 1, 1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  call.WriteInt(out, static_cast<std::int32_t>(compute(a, b)));
}

// ---- Classification and comparison --------------------------------------

void AllAscii(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  WriteFlag(call, out, strops::AllAscii(text));
}

void ChkString(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, strops::ClassBits(text));
}

void ChkKWord(Call& call) { TwoTextsToInt(call, strops::KeywordTest); }

void StrCWord(Call& call) {
  TwoTextsToInt(call, [](std::string_view text, std::string_view word) {
    return strops::FindCWord(text, word) != strops::NOT_FOUND;
  });
}

void Strcmp(Call& call) { TwoTextsToInt(call, strops::Compare); }

void Stricmp(Call& call) { TwoTextsToInt(call, strops::CompareIgnoreCase); }

void StrcmpWild(Call& call) { TwoTextsToInt(call, strops::MatchWild); }

// ---- Searching and replacing ---------------------------------------------

using ReplaceFunction = strops::Replaced (*)(std::string_view, std::string_view, std::string_view,
                                             std::int32_t);

// StrReplace and StrReplaceSj: the text to the output, the count to G_WORK1.
void ReplaceWith(Call& call, ReplaceFunction replace) {
  const std::string_view text = ReadOnlyText(call, 0, 0);
  const std::string_view find = ReadOnlyText(call, 1, 1);
  const std::string_view replacement = ReadOnlyText(call, 2, 2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const std::int32_t count = call.OptInt(4, 0);
  const strops::Replaced result = replace(text, find, replacement, count);
  call.WriteText(out, result.text);
  call.SetWork(1, result.count);
}

void StrReplace(Call& call) { ReplaceWith(call, strops::ReplaceBytes); }
void StrReplaceSj(Call& call) { ReplaceWith(call, strops::ReplaceAtCharStarts); }

void CWordReplace(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view word = TextArg(call, 1, 1);
  const std::string_view replacement = TextArg(call, 2, 2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const strops::Replaced result = strops::ReplaceCWords(text, word, replacement);
  call.WriteText(out, result.text);
  call.SetWork(1, result.count);
  call.SetError(0);
}

void Stristr(Call& call) { TwoTextsToInt(call, strops::CountIgnoreCase); }

void StristrSjis(Call& call) { TwoTextsToInt(call, strops::CountIgnoreCaseAtCharStarts); }

void StrInStr(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view find = TextArg(call, 1, 1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::int32_t start = call.OptInt(3, 0);
  call.WriteInt(out, strops::FindFrom(text, find, start));
}

// ---- Dividing and cutting ------------------------------------------------

void WriteTwoParts(Call& call, std::int32_t first, std::int32_t second, strops::TwoParts parts) {
  call.WriteText(first, parts.first);
  call.WriteText(second, parts.second);
}

void SjDivideStr(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t width = call.Int(1);
  const std::int32_t first = call.Resource(2);
  if (first < 0) return;
  const std::int32_t rest = call.Resource(3);
  if (rest < 0) return;
  WriteTwoParts(call, first, rest, strops::DivideAtWidth(text, width));
}

// ScanWord and ScanWordC: text, out word, out rest.
template <typename Scan>
void ScanWith(Call& call, Scan scan) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t word = call.Resource(1);
  if (word < 0) return;
  const std::int32_t rest = call.Resource(2);
  if (rest < 0) return;
  WriteTwoParts(call, word, rest, scan(text));
}

void ScanWord(Call& call) { ScanWith(call, strops::ScanWord); }
void ScanWordC(Call& call) { ScanWith(call, strops::ScanWordC); }

void GetExt(Call& call) {
  const std::string_view path = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteText(out, strops::Extension(path));
}

void GlosFN(Call& call) {
  const std::string_view path = TextArg(call, 0, 0);
  const std::int32_t name = call.Resource(1);
  if (name < 0) return;
  const bool wants_folder = call.Has(2);
  const std::int32_t folder = call.OptResource(2);
  if (wants_folder && folder < 0) return;
  const strops::TwoParts parts = strops::SplitPath(path);
  call.WriteText(name, parts.second);
  if (wants_folder) call.WriteText(folder, parts.first);
}

// CutString and SplitString take the occurrence of the separator that the
// optional count names: 1 (or 0, or none) the first, 2 the second, -1 the
// last, -2 the one before it.
void CutString(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view separator = TextArg(call, 1, 1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::int32_t occurrence = call.OptInt(3, 1);
  const std::size_t pos = strops::FindOccurrence(text, separator, occurrence);
  const bool found = pos != strops::NOT_FOUND;
  call.WriteText(out, found ? text.substr(0, pos) : text);
  call.SetError(found ? 0 : 1);
}

void SplitString(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view separator = TextArg(call, 1, 1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::int32_t occurrence = call.OptInt(3, 1);
  const std::size_t pos = strops::FindOccurrence(text, separator, occurrence);
  const bool found = pos != strops::NOT_FOUND;
  call.WriteText(out, text.substr(found ? pos + separator.size() : text.size()));
  call.SetError(found ? 0 : 1);
}

void SkipSpace(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const bool wants_count = call.Has(2);
  const std::int32_t skipped = call.OptResource(2);
  if (wants_count && skipped < 0) return;
  const std::string_view rest = strops::SkipBlanks(text);
  call.WriteText(out, rest);
  if (wants_count) call.WriteInt(skipped, static_cast<std::int32_t>(text.size() - rest.size()));
}

void CutSpace(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteText(out, strops::TrimBlanks(text));
}

void StrncpyPlus(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  const std::string_view text = TextArg(call, 1, 0);
  const std::int32_t count = call.Int(2);
  call.WriteText(out, strops::PrefixOfCount(text, count));
}

void GetPartStr(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t position = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const bool wants_before = call.Has(3);
  const std::int32_t before = call.OptResource(3);
  if (wants_before && before < 0) return;
  const std::size_t at = std::min<std::size_t>(std::max(position, 0), text.size());
  call.WriteText(out, text.substr(at));
  if (wants_before) call.WriteText(before, text.substr(0, at));
}

// ---- Building -----------------------------------------------------------

void StrFill(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t length = call.Int(1);
  const std::int32_t mode = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  call.WriteText(out, strops::Fill(text, length, mode));
}

void InsComma(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const std::optional<std::string> formatted = strops::InsertCommas(text);
  call.WriteText(out, formatted ? std::string_view(*formatted) : text);
  call.SetError(formatted ? 0 : 1);
}

void CnvTab(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t width = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  call.WriteText(out, strops::ExpandTabs(text, width));
}

void StrAddMulti(Call& call) {
  const std::string_view first = TextArg(call, 0, 0);
  const std::string_view second = TextArg(call, 1, 1);
  const std::int32_t times = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  call.WriteText(out, strops::AppendRepeated(first, second, times));
}

void Hafe2Full(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const std::int32_t mode = call.Int(2);
  call.WriteText(out, mode == strops::WIDTH_TO_HALF ? strops::FullToHalf(text)
                                                    : strops::HalfToFull(text));
}

// ---- Bytes of string variables ------------------------------------------

void SetPartStr(Call& call) {
  const std::int32_t target = call.Resource(0);
  if (target < 0) return;
  const std::int32_t position = call.Int(1);
  const std::string_view text = TextArg(call, 2, 0);
  const std::span<char> buffer = VariableBuffer(call, target);
  const std::span<char> bytes = WritableBytes(buffer);
  if (position < 0 || static_cast<std::size_t>(position) >= bytes.size()) {
    call.SetError(1);
    return;
  }
  // Bytes between the current end of the text and the position become
  // blanks, so the written part is part of the text.
  const std::size_t pos = static_cast<std::size_t>(position);
  const std::size_t length = strnlen(bytes.data(), bytes.size());
  if (length < pos) std::fill(bytes.begin() + length, bytes.begin() + pos, ' ');
  const std::size_t n = std::min(text.size(), bytes.size() - pos);
  std::copy_n(text.begin(), n, bytes.begin() + pos);
  if (pos + n > length) buffer[pos + n] = '\0';  // at most the reserved last byte
  values::RefreshNameTable(call.rt(), target);
  call.SetError(0);
}

void CharToBinary(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t position = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const bool inside = position >= 0 && static_cast<std::size_t>(position) < text.size();
  call.WriteInt(out, inside ? static_cast<std::uint8_t>(text[position]) : -1);
  call.SetError(inside ? 0 : 1);
}

void BinStrToBinary(Call& call) {
  const std::int32_t source = call.Resource(0);
  if (source < 0) return;
  const std::int32_t position = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::span<char> bytes = VariableBuffer(call, source);
  const bool inside = position >= 0 && static_cast<std::size_t>(position) < bytes.size();
  call.WriteInt(out, inside ? static_cast<std::uint8_t>(bytes[position]) : -1);
  call.SetError(inside ? 0 : 1);
}

void BinaryToChar(Call& call) {
  const std::int32_t value = call.Int(0);
  const std::int32_t target = call.Resource(1);
  if (target < 0) return;
  const std::int32_t position = call.Int(2);
  const std::span<char> bytes = WritableBytes(VariableBuffer(call, target));
  if (!strops::LayInt(bytes, position, 1, value, false)) {
    call.SetError(1);
    return;
  }
  values::RefreshNameTable(call.rt(), target);
  call.SetError(0);
}

void LayIntOnStr(Call& call) {
  const std::int32_t value = call.Int(0);
  const std::int32_t target = call.Resource(1);
  if (target < 0) return;
  const std::int32_t position = call.Int(2);
  const std::int32_t size = call.Int(3);
  const std::int32_t order = call.OptInt(4, 0);
  const std::span<char> bytes = WritableBytes(VariableBuffer(call, target));
  const bool big_endian = (order & strops::INT_BIG_ENDIAN) != 0;
  if (!strops::LayInt(bytes, position, size, value, big_endian)) {
    call.SetError(1);
    return;
  }
  values::RefreshNameTable(call.rt(), target);
  call.SetError(0);
}

void GetIntOnStr(Call& call) {
  const std::int32_t source = call.Resource(0);
  if (source < 0) return;
  const std::int32_t position = call.Int(1);
  const std::int32_t size = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const std::int32_t mode = call.OptInt(4, 0);
  const std::optional<std::int32_t> value =
      strops::GetInt(VariableBuffer(call, source), position, size, mode);
  call.WriteInt(out, value.value_or(0));
  call.SetError(value ? 0 : 1);
}

// ---- Code pages ---------------------------------------------------------

void ToUnicode(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  std::string bytes = strops::Utf16ToBytes(strops::SjisToUtf16(text));
  // Whole units only, and room for a two-byte zero unit behind them.
  std::size_t room = strops::RESULT_MAX - 1;
  if (const std::span<char> buffer = VariableBuffer(call, out); !buffer.empty())
    room = buffer.size() >= 2 ? buffer.size() - 2 : 0;
  bytes.resize(std::min(bytes.size(), room) & ~std::size_t{1});
  const auto length = static_cast<std::int32_t>(bytes.size());
  bytes.push_back('\0');  // the terminator adds the second zero byte
  call.WriteText(out, bytes);
  call.SetWork(1, length);
}

void UnicodeToSJis(Call& call) {
  const std::int32_t source = call.Resource(0);
  if (source < 0) return;
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  std::string scratch;
  const std::span<char> buffer = VariableBuffer(call, source);
  const std::string_view bytes = buffer.empty()
                                     ? values::ReadAsText(call.rt(), source, scratch)
                                     : std::string_view(buffer.data(), buffer.size());
  const std::string sjis = strops::Utf16ToSjis(strops::Utf16FromBytes(bytes));
  call.WriteText(out, strops::CutAtChar(sjis, strops::RESULT_MAX));
}

void UTF8ToSJis(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteText(out, strops::Utf8ToSjis(text));
}

void SJisToUTF8(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteText(out, strops::SjisToUtf8(text));
}

// ---- Length and expressions ---------------------------------------------

// strlen T, R: the length of the text in bytes.
void Strlen(Call& call) {
  const std::string_view text = ReadOnlyText(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, static_cast<std::int32_t>(text.size()));
}

// CalcStr T expression, R: the value of a numeric expression held in a text.
// A failing expression reports 計算式エラー and gives 0.
void CalcStr(Call& call) {
  std::string& expression = call.Large(0);
  call.String(0, expression);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteDouble(out, expr::EvaluateExpression(call.rt(), expression));
}

// ---- Fields -------------------------------------------------------------

// A found field is written as text, or evaluated and written as a double.
void WriteField(Call& call, std::int32_t out, std::optional<std::string_view> field, bool calc) {
  if (!field) {
    call.SetError(1);
    return;
  }
  if (calc) call.WriteDouble(out, expr::EvaluateExpression(call.rt(), *field));
  else call.WriteText(out, *field);
  call.SetError(0);
}

void SeparatedFieldTo(Call& call, bool calc) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view separator = TextArg(call, 1, 1);
  const std::int32_t index = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  WriteField(call, out, strops::SeparatedField(text, separator, index), calc);
}

void GetSprtdFld(Call& call) { SeparatedFieldTo(call, false); }
void GetSprtdFldCalc(Call& call) { SeparatedFieldTo(call, true); }

void KeyedFieldTo(Call& call, bool calc) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view key = TextArg(call, 1, 1);
  const std::string_view terminator = TextArg(call, 2, 2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  WriteField(call, out, strops::KeyedValue(text, key, terminator), calc);
}

void GetField(Call& call) { KeyedFieldTo(call, false); }
void GetFieldCalc(Call& call) { KeyedFieldTo(call, true); }

void SetField(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::string_view key = TextArg(call, 1, 1);
  const std::string_view terminator = TextArg(call, 2, 2);
  const std::string_view value = TextArg(call, 3, 3);
  const std::int32_t out = call.Resource(4);
  if (out < 0) return;
  const std::optional<std::string> result = strops::WithKeyedValue(text, key, terminator, value);
  if (result) call.WriteText(out, *result);
  call.SetError(result ? 0 : 1);
}

void GetFixFld(Call& call) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t start = call.Int(1);
  const std::int32_t length = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  WriteField(call, out, strops::FixedField(text, start, length), false);
}

// ---- Scrambling ---------------------------------------------------------

using ScrambleFunction = std::optional<std::string> (*)(std::string_view, std::string_view);

void ScrambleWith(Call& call, ScrambleFunction scramble) {
  const std::string_view text = TextArg(call, 0, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const std::string_view key = TextArg(call, 2, 1);
  const std::optional<std::string> result = scramble(text, key);
  if (result) call.WriteText(out, *result);
  call.SetError(result ? 0 : 1);
}

void XxEncode(Call& call) { ScrambleWith(call, strops::Scramble); }
void XxDecode(Call& call) { ScrambleWith(call, strops::Unscramble); }

constexpr Registration kStringApis[] = {
    {Id("AllAscii"), AllAscii},
    {Id("ChkString"), ChkString},
    {Id("ChkKWord"), ChkKWord},
    {Id("strCWord"), StrCWord},
    {Id("strcmp"), Strcmp},
    {Id("stricmp"), Stricmp},
    {Id("StrReplace"), StrReplace},
    {Id("StrReplaceSj"), StrReplaceSj},
    {Id("SjDivideStr"), SjDivideStr},
    {Id("CWordReplace"), CWordReplace},
    {Id("StrFill"), StrFill},
    {Id("stristr"), Stristr},
    {Id("stristrSjis"), StristrSjis},
    {Id("StrInStr"), StrInStr},
    {Id("strlen"), Strlen},
    {Id("StrcmpWild"), StrcmpWild},
    {Id("InsComma"), InsComma},
    {Id("GetExt"), GetExt},
    {Id("GlosFN"), GlosFN},
    {Id("CutString"), CutString},
    {Id("SplitString"), SplitString},
    {Id("SkipSpace"), SkipSpace},
    {Id("CutSpace"), CutSpace},
    {Id("CnvTab"), CnvTab},
    {Id("ScanWord"), ScanWord},
    {Id("ScanWordC"), ScanWordC},
    {Id("strncpyPlus"), StrncpyPlus},
    {Id("StrAddMulti"), StrAddMulti},
    {Id("GetPartStr"), GetPartStr},
    {Id("SetPartStr"), SetPartStr},
    {Id("CharToBinary"), CharToBinary},
    {Id("BinStrToBinary"), BinStrToBinary},
    {Id("BinaryToChar"), BinaryToChar},
    {Id("LayIntOnStr"), LayIntOnStr},
    {Id("GetIntOnStr"), GetIntOnStr},
    {Id("Hafe2Full"), Hafe2Full},
    {Id("ToUnicode"), ToUnicode},
    {Id("UnicodeToSJis"), UnicodeToSJis},
    {Id("UTF8ToSJis"), UTF8ToSJis},
    {Id("SJisToUTF8"), SJisToUTF8},
    {Id("GetSprtdFld"), GetSprtdFld},
    {Id("GetSprtdFldCalc"), GetSprtdFldCalc},
    {Id("GetField"), GetField},
    {Id("GetFieldCalc"), GetFieldCalc},
    {Id("SetField"), SetField},
    {Id("GetFixFld"), GetFixFld},
    {Id("xxEncode"), XxEncode},
    {Id("xxDecode"), XxDecode},
    {Id("CalcStr"), CalcStr},
};

}  // namespace

void RegisterStringApis(Registry& registry) {
  registry.AddAll(kStringApis);
}

}  // namespace vx::api
