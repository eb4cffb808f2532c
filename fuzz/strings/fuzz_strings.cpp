// The string and field APIs through the dispatcher with arbitrary texts.
//
// Input layout:
//   byte 0       which API (index into kSignatures)
//   byte 1       flags: bit 0 the rest is the raw argument text; bit 1 the
//                first text is repeated to the 131071-byte limit; bit 2 the
//                optional arguments are given
//   byte 2       output choice, two bits per output argument
//   bytes 3-18   four 32-bit numbers (little-endian) for numeric arguments
//   the rest     up to four texts separated by NUL bytes, held in the
//                string variables T0 to T3 (or the raw argument text)
// After every call each string variable must still be terminated within its
// capacity, and scrambling must undo itself. A raw argument text may write
// any variable; such writes stay for later runs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "../tests/support/null_window_system.hpp"
#include "api/api_table.hpp"
#include "engine/runtime.hpp"
#include "strings/string_ops.hpp"
#include "values/values.hpp"

namespace {

// Argument kinds: T text, N number, R output; lower case = optional.
struct Signature {
  int id;
  const char* args;
};

constexpr Signature kSignatures[] = {
    {8, "TR"},     {9, "TR"},     {10, "TTR"},    {11, "TTR"},   {12, "TTR"},   {13, "TTR"},
    {14, "TTTRn"}, {15, "TTTRn"}, {16, "TNRR"},   {17, "TTTR"},  {18, "TNNR"},  {19, "TTR"},
    {20, "TTR"},   {21, "TTRn"},  {22, "TR"},     {23, "TTR"},   {24, "TR"},    {25, "TR"},
    {26, "TRr"},   {27, "TTRn"},  {28, "TTRn"},   {29, "TRr"},   {30, "TR"},    {31, "TNR"},
    {32, "TRR"},   {33, "TRR"},   {34, "RTN"},    {35, "TTNR"},  {36, "TNRr"},  {37, "RNT"},
    {38, "TNR"},   {39, "RNR"},   {40, "NRN"},    {41, "NRNNn"}, {42, "RNNRn"}, {43, "TRN"},
    {44, "TR"},    {45, "RR"},    {46, "TR"},     {47, "TR"},    {51, "TTNR"},  {52, "TTNR"},
    {53, "TTTR"},  {54, "TTTR"},  {55, "TTTTR"},  {56, "TNNR"},  {204, "TRT"},  {205, "TRT"},
    {433, "TR"},
};

constexpr const char* kTextNames[] = {"T0", "T1", "T2", "T3"};
// Outputs: a large and a tiny string variable, a long, a double, and the
// first text variable itself (so functions may write their own input).
constexpr const char* kOutputNames[] = {"OS", "SM", "OL", "T0"};

struct Fixture {
  vx::test::NullWindowSystem window;
  vx::Runtime rt{window};
  std::int32_t texts[4] = {};

  Fixture() {
    rt.program.CreateSystemVariables("", "/prog/", "/cur");
    for (int k = 0; k < 4; ++k) texts[k] = DeclareString(kTextNames[k], 131072);
    DeclareString("OS", 131072);
    DeclareString("SM", 4);
    Declare("OL", vx::R_KD_VAL_LONG);
    Declare("OD", vx::R_KD_VAL_DOUBLE);
    vx::values::BuildNameTable(rt);
  }

  vx::ResourceEntry* Declare(std::string_view name, std::uint16_t kind) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    rt.program.CommitResource(0, rt.error);
    return e;
  }
  std::int32_t DeclareString(std::string_view name, std::int32_t capacity) {
    vx::ResourceEntry* e = Declare(name, vx::R_KD_VAL_TXT);
    e->AllocateText(capacity);
    e->capacity = capacity;
    return rt.program.RscCount() - 1;
  }

  void Reset() {
    rt.error.Clear();
    for (const char* name : {"OS", "SM", "OL", "OD", "G_ERROR", "G_WORK1"})
      vx::values::WriteText(rt, rt.program.FindResource(name), "");
  }

  void CheckTerminated() const {
    for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
      const vx::ResourceEntry& e = rt.program.Resource(i);
      if (e.kind != vx::R_KD_VAL_TXT || !e.text) continue;
      if (strnlen(e.text.get(), static_cast<std::size_t>(e.text_capacity)) >=
          static_cast<std::size_t>(e.text_capacity))
        std::abort();
    }
  }
};

std::int32_t ReadInt(const std::uint8_t* p) {
  return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

// Small numbers are the interesting ones; keep most of them near the texts.
std::int32_t Interesting(std::int32_t raw) {
  switch (raw & 3) {
    case 0: return (raw >> 2) % 40;
    case 1: return -((raw >> 2) % 5);
    case 2: return (raw >> 2) % 140000;
    default: return raw;
  }
}

std::string BuildArguments(const Signature& sig, bool optional, std::uint8_t outputs,
                           const std::int32_t numbers[4]) {
  std::string args;
  int texts = 0, nums = 0, outs = 0;
  for (const char* p = sig.args; *p; ++p) {
    const bool is_optional = *p >= 'a';
    if (is_optional && !optional) break;
    if (!args.empty()) args += ", ";
    switch (*p | 0x20) {
      case 't': args += kTextNames[texts++ % 4]; break;
      case 'n': args += std::to_string(Interesting(numbers[nums++ % 4])); break;
      default: args += kOutputNames[(outputs >> (2 * (outs++ % 4))) & 3]; break;
    }
  }
  return args;
}

void CheckScrambleUndoesItself(std::string_view text, std::string_view key) {
  const auto encoded = vx::strops::Scramble(text, key);
  if (!encoded) return;
  if (vx::strops::Unscramble(*encoded, key) != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t HEADER = 19;
  if (size < HEADER) return 0;
  // One runtime for all runs (building one per run costs more than most
  // calls); everything a templated call can touch is reset first.
  static Fixture* const fixture = new Fixture;
  vx::Runtime& rt = fixture->rt;
  fixture->Reset();

  const Signature& sig = kSignatures[data[0] % std::size(kSignatures)];
  const std::uint8_t flags = data[1];
  std::int32_t numbers[4];
  for (int k = 0; k < 4; ++k) numbers[k] = ReadInt(data + 3 + 4 * k);
  const std::string_view rest(reinterpret_cast<const char*>(data + HEADER), size - HEADER);

  std::string pieces[4];
  std::size_t start = 0;
  for (int k = 0; k < 4 && start <= rest.size(); ++k) {
    const std::size_t end = std::min(rest.find('\0', start), rest.size());
    pieces[k] = rest.substr(start, end - start);
    start = end + 1;
  }
  if ((flags & 2) && !pieces[0].empty()) {
    std::string big;
    while (big.size() < vx::strops::RESULT_MAX) big += pieces[0];
    pieces[0] = big.substr(0, vx::strops::RESULT_MAX);
  }
  for (int k = 0; k < 4; ++k) vx::values::WriteText(rt, fixture->texts[k], pieces[k]);

  const std::string args =
      (flags & 1) ? std::string(rest) : BuildArguments(sig, (flags & 4) != 0, data[2], numbers);
  if (vx::api::Dispatch(rt, sig.id, args) != 1) std::abort();
  fixture->CheckTerminated();
  CheckScrambleUndoesItself(pieces[1], pieces[2]);
  return 0;
}
