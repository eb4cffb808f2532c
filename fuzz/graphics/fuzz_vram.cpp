// The VRAM and click-area APIs through the dispatcher with arbitrary
// numbers and texts: whatever the arguments, nothing is written outside a
// bank (AddressSanitizer watches) and the dirty rectangle stays inside the
// surface.
//
// Input layout:
//   byte 0       which API (index into kSignatures)
//   byte 1       bit i: optional argument i is given
//   byte 2       the pen: line width 1 + (bits 0-4), line mode bits 5-7
//   bytes 3-58   fourteen 32-bit numbers (little-endian); a number whose bit
//                30 is clear is taken as its low 16 bits, signed, so that
//                coordinates near the surface come up often
//   the rest     the text argument (at most 4096 bytes), held in T
// Every input starts from the same settings (bank 5 current, no clip, the
// pen from byte 2); pictures and click areas carry over.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "../tests/support/null_window_system.hpp"
#include "api/api_table.hpp"
#include "engine/runtime.hpp"
#include "graphics/vram.hpp"
#include "values/values.hpp"

namespace {

// Argument kinds: N number, T text, R output; lower case = optional.
struct Signature {
  int id;
  const char* args;
};

constexpr Signature kSignatures[] = {
    {208, ""},           {209, ""},          {210, "NNNN"},      {211, "N"},
    {212, "N"},          {213, "NNNNn"},     {214, "NNNN"},      {215, "NNNN"},
    {216, "NNNNn"},      {217, "NNNNNN"},    {218, "NNNNNn"},    {219, "NNNNNNn"},
    {220, "NNNNNnn"},    {221, "NNNNnnn"},   {222, "NNNNNnn"},   {223, "NNNNNn"},
    {224, "NNNNNNn"},    {225, "NNNNn"},     {226, "NNNNn"},     {227, "NNNNn"},
    {228, "NNNNn"},      {229, "NNNNnnn"},   {230, "NNNNnnn"},   {231, "NNn"},
    {232, "NNNNNnn"},    {233, "NNNNNn"},    {234, "NNNNn"},     {235, "NNNNNNNNNNNNN"},
    {236, "NNNNNNNN"},   {237, "NNNNn"},     {238, "NNNNn"},     {239, "NNn"},
    {240, "N"},          {241, "N"},         {242, "NNNNNNNN"},  {243, "NNNNNnnn"},
    {244, "NNNNNnn"},    {245, "NNNN"},      {246, "NN"},        {247, "NR"},
    {248, "NRRR"},       {249, "Nn"},        {250, "NNNN"},      {251, "NN"},
    {252, "N"},          {253, "NNN"},       {254, "NNN"},       {255, "NNNNNn"},
    {256, "NNNNn"},      {257, "Nnn"},       {258, "NNnn"},      {259, "NRRR"},
    {260, "nnn"},        {261, "NNNNn"},     {262, "NNTnn"},     {263, "NNTn"},
    {264, "NNTn"},       {265, "NNTRR"},     {266, "NNNNNNTN"},  {267, "TN"},
    {268, "TN"},         {269, "n"},         {270, "NNNNnnn"},   {271, "NNTnn"},
    {291, ""},           {292, "NNNN"},      {293, "NNNNn"},     {294, "NNNn"},
    {306, "NNrn"},       {307, "NNn"},       {308, "NNN"},       {309, "NRR"},
    {310, "NNNNNTNNnn"}, {311, "NRRRRrrrr"}, {312, "NNr"},       {313, "NNNr"},
    {314, "NNrn"},       {315, "Nn"},        {316, "Nn"},        {317, "NR"},
    {397, "NNn"},
};

constexpr std::size_t kNumbers = 14;
constexpr std::size_t kTextMax = 4096;

struct Fixture {
  vx::test::NullWindowSystem window;
  vx::Runtime rt{window};
  std::int32_t text = -1;

  Fixture() {
    rt.program.CreateSystemVariables("", "/prog/", "/cur");
    text = Declare("T", vx::R_KD_VAL_TXT, kTextMax + 1);
    Declare("OL", vx::R_KD_VAL_LONG, 0);
    Declare("OS", vx::R_KD_VAL_TXT, 2048);
    vx::values::BuildNameTable(rt);
  }

  std::int32_t Declare(std::string_view name, std::uint16_t kind, std::int32_t capacity) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    if (capacity > 0) {
      e->AllocateText(capacity);
      e->capacity = capacity;
    }
    rt.program.CommitResource(0, rt.error);
    return rt.program.RscCount() - 1;
  }
};

std::int32_t Number(const std::uint8_t* p) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, 4);
  if ((v & 0x40000000u) == 0) return static_cast<std::int16_t>(v & 0xFFFF);
  return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture* fixture = new Fixture();
  constexpr std::size_t kHeader = 3 + 4 * kNumbers;
  if (size < kHeader) return 0;
  vx::Runtime& rt = fixture->rt;
  const Signature& sig = kSignatures[data[0] % (sizeof kSignatures / sizeof kSignatures[0])];
  const std::uint8_t optional = data[1];
  std::int32_t numbers[kNumbers];
  for (std::size_t i = 0; i < kNumbers; ++i) numbers[i] = Number(data + 3 + 4 * i);
  rt.vram.Select(vx::graphics::VRAM_INITIAL_BANK);
  rt.vram.ResetClip();
  rt.vram.line_width = 1 + (data[2] & 31);
  rt.vram.line_mode = data[2] >> 5;
  if (rt.drawing.line_buffer.size() > 64) rt.drawing.line_buffer.clear();
  // More banks than a few would only measure how much memory there is.
  if (sig.id == 212) numbers[0] %= 13;

  const std::size_t text_size = std::min(size - kHeader, kTextMax);
  vx::ResourceEntry& t = rt.program.Resource(fixture->text);
  std::memset(t.text.get(), 0, kTextMax + 1);
  std::memcpy(t.text.get(), data + kHeader, text_size);

  std::string args;
  std::size_t next_number = 0;
  int arg = 0;
  for (const char* k = sig.args; *k != '\0'; ++k, ++arg) {
    const bool is_optional = *k >= 'a';
    if (is_optional && (optional & (1u << (arg % 8))) == 0) break;
    if (arg > 0) args += ',';
    switch (*k | 0x20) {
      case 'n': args += std::to_string(numbers[next_number++ % kNumbers]); break;
      case 't': args += 'T'; break;
      case 'r': args += (arg % 2 == 0) ? "OL" : "OS"; break;
      default: break;
    }
  }
  vx::api::Dispatch(rt, sig.id, args);
  rt.error.Clear();

  const vx::graphics::DirtyRect& d = rt.vram.dirty;
  if (rt.vram.dirty.NonEmpty() &&
      (d.left < 0 || d.top < 0 || d.right >= rt.vram.width || d.bottom >= rt.vram.height)) {
    std::abort();
  }
  return 0;
}

// fontconfig keeps pointers to its allocations inside its memory-mapped
// cache files, where the leak checker cannot see them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
