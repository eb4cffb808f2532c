// The sentence library family (SL_...): a library of templates and word
// bands loaded from Shift-JIS files (format in src/sentences/library.hpp),
// sixteen frames whose slots a script sets, and texts made from a frame by
// conversion or by seeded generation.
//
// Every call sets G_ERROR: 0 on success, 1 on failure with the reason in
// G_ERR_TXT; a failed call writes no output variable and changes nothing.
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"
#include "sentences/generator.hpp"

namespace vx::api {
namespace {

using sentences::Frame;
using sentences::Library;

sentences::SentenceState& S(Call& call) { return sentences::State(call.rt()); }

// G_ERROR 0, and no reason left in G_ERR_TXT from an earlier failure.
void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

enum BandCommand : std::int32_t {
  BAND_COUNT = 0,
  BAND_ADD = 1,
  BAND_REMOVE_WORD = 2,
  BAND_REMOVE = 3,
  BAND_WORD = 4,
  BAND_LIST = 5,
};

// The frame of argument n; null with the failure reported.
Frame* FrameArg(Call& call, int n) {
  const std::int32_t index = call.Int(n);
  if (index < 0 || index >= sentences::SL_FRAMES) {
    ReportFailure(call, "frame must be 0 to 15");
    return nullptr;
  }
  return &S(call).frames[index];
}

// G_TXT holds 16000 bytes with its end mark.
constexpr std::size_t kTxtBytesMax = 15999;

// Lines joined with CR LF into G_TXT: as many whole lines as fit.
void SetTxtLines(Call& call, const auto& items, auto text_of) {
  std::string out;
  for (const auto& item : items) {
    const std::string line = text_of(item);
    const std::size_t grown = out.size() + (out.empty() ? 0 : 2) + line.size();
    if (grown > kTxtBytesMax) break;
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  call.SetTxt(out);
}

void SetTxtSlots(Call& call, const sentences::SlotValues& slots) {
  SetTxtLines(call, slots, [](const auto& s) { return s.first + "=" + s.second; });
}

// Reads a library or band file: false with the failure reported.
bool LoadFile(Call& call, std::string_view path, bool bands_only, bool append) {
  errno = 0;
  const std::optional<std::string> bytes = files::ReadAll(path, sentences::SL_FILE_BYTES_MAX + 1);
  if (!bytes) {
    const int errnum = errno;
    ReportFailure(call, std::string(path) + ": " + files::ErrorText(errnum != 0 ? errnum : ENOENT));
    return false;
  }
  std::string error;
  if (!S(call).library.Load(*bytes, bands_only, append, &error)) {
    ReportFailure(call, std::string(path) + " " + error);
    return false;
  }
  return true;
}

// SL_LoadLib T path: the library is replaced by the file's templates and
// bands. G_WORK1 templates, G_WORK2 bands, G_WORK3 words.
void SL_LoadLib(Call& call) {
  std::string& path = call.Small(0);
  if (!call.String(0, path)) return;
  if (!LoadFile(call, path, false, false)) return;
  const Library& library = S(call).library;
  call.SetWork(1, static_cast<std::int32_t>(library.Templates().size()));
  call.SetWork(2, static_cast<std::int32_t>(library.Bands().size()));
  call.SetWork(3, static_cast<std::int32_t>(library.WordCount()));
  Succeed(call);
}

// SL_LoadBand T path, [N append]: the file's bands join the library; a band
// of the same name is replaced, or with append not 0 extended.
void SL_LoadBand(Call& call) {
  std::string& path = call.Small(0);
  if (!call.String(0, path)) return;
  const bool append = call.OptInt(1, 0) != 0;
  if (!LoadFile(call, path, true, append)) return;
  const Library& library = S(call).library;
  call.SetWork(2, static_cast<std::int32_t>(library.Bands().size()));
  call.SetWork(3, static_cast<std::int32_t>(library.WordCount()));
  Succeed(call);
}

// SL_BandCmd N command, T band, [T word | N index], [N weight]
void SL_BandCmd(Call& call) {
  const std::int32_t command = call.Int(0);
  std::string& band_name = call.Small(0);
  if (command != BAND_LIST && !call.String(1, band_name)) return;
  Library& library = S(call).library;
  const sentences::Band* band = library.FindBand(band_name);
  auto no_band = [&] { ReportFailure(call, "no band " + band_name); };
  switch (command) {
    case BAND_COUNT:
      call.SetWork(1, band != nullptr ? static_cast<std::int32_t>(band->words.size()) : 0);
      if (band == nullptr) return no_band();
      break;
    case BAND_ADD: {
      std::string& word = call.Large(0);
      if (!call.String(2, word)) return;
      const std::int32_t weight = call.OptInt(3, 1);
      std::string error;
      if (!library.AddWord(band_name, word, weight, &error)) return ReportFailure(call, error);
      call.SetWork(1, static_cast<std::int32_t>(library.FindBand(band_name)->words.size()));
      break;
    }
    case BAND_REMOVE_WORD: {
      std::string& word = call.Large(0);
      if (!call.String(2, word)) return;
      if (band == nullptr) return no_band();
      call.SetWork(1, library.RemoveWord(band_name, word));
      break;
    }
    case BAND_REMOVE:
      if (!library.RemoveBand(band_name)) return no_band();
      break;
    case BAND_WORD: {
      const std::int32_t index = call.Int(2);
      if (band == nullptr) return no_band();
      if (index < 0 || index >= static_cast<std::int32_t>(band->words.size())) {
        return ReportFailure(call, "band " + band_name + " has no word " + std::to_string(index));
      }
      const sentences::Word& w = band->words[static_cast<std::size_t>(index)];
      call.SetTxt(w.text);
      call.SetWork(1, w.weight);
      break;
    }
    case BAND_LIST:
      SetTxtLines(call, library.Bands(), [](const sentences::Band& b) { return b.name; });
      call.SetWork(1, static_cast<std::int32_t>(library.Bands().size()));
      break;
    default:
      return ReportFailure(call, "command must be 0 to 5");
  }
  Succeed(call);
}

// SL_RefLib T template, R text: the template as written; G_TXT its slot
// names (one a line), G_WORK1 their number, G_WORK2 its weight, G_WORK3
// its index.
void SL_RefLib(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const Library& library = S(call).library;
  const std::int32_t index = library.TemplateIndex(name);
  if (index < 0) return ReportFailure(call, "no template " + name);
  const sentences::Template& t = library.Templates()[static_cast<std::size_t>(index)];
  const std::vector<std::string> slots = sentences::SlotNames(t);
  call.WriteText(out, t.text);
  SetTxtLines(call, slots, [](const std::string& s) { return s; });
  call.SetWork(1, static_cast<std::int32_t>(slots.size()));
  call.SetWork(2, t.weight);
  call.SetWork(3, index);
  Succeed(call);
}

// SL_ScanLib N start, T pattern, R name: the first template from index
// start on whose name matches the pattern ('*', '?'); G_WORK1 its index
// (-1 when none matches: G_ERROR 1).
void SL_ScanLib(Call& call) {
  const std::int32_t start = call.Int(0);
  std::string& pattern = call.Small(0);
  call.String(1, pattern);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  if (pattern.empty()) pattern.assign(1, '*');  // a literal here trips GCC 12 -Wrestrict at -O3
  const std::span<const sentences::Template> all = S(call).library.Templates();
  for (std::size_t i = start < 0 ? 0 : static_cast<std::size_t>(start); i < all.size(); ++i) {
    if (!sentences::WildcardMatch(all[i].name, pattern)) continue;
    call.WriteText(out, all[i].name);
    call.SetWork(1, static_cast<std::int32_t>(i));
    Succeed(call);
    return;
  }
  call.SetWork(1, -1);
  ReportFailure(call, "no template matches " + pattern);
}

// SL_F_Clear [N frame], [T slot]: without a frame every frame is emptied;
// without a slot the whole frame (its template too).
void SL_F_Clear(Call& call) {
  if (!call.Has(0)) {
    for (Frame& f : S(call).frames) f.ClearAll();
    Succeed(call);
    return;
  }
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  std::string& slot = call.Small(0);
  if (call.OptString(1, slot)) {
    frame->Clear(slot);
  } else {
    frame->ClearAll();
  }
  Succeed(call);
}

// SL_F_Set N frame, T slot, T value: an empty value clears the slot; a
// value over 4095 bytes is refused whole (a cut one could end inside a
// two-byte character).
void SL_F_Set(Call& call) {
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  std::string& slot = call.Small(0);
  if (!call.String(1, slot)) return;
  std::string& value = call.Large(0);
  call.String(2, value);
  if (!sentences::ValidName(slot)) return ReportFailure(call, "bad slot name");
  if (value.size() > sentences::SL_VALUE_BYTES_MAX) {
    return ReportFailure(call, "a slot value is 4095 bytes at most");
  }
  if (!frame->Set(slot, value)) return ReportFailure(call, "a frame holds 32 slots at most");
  Succeed(call);
}

// SL_F_SetSC N frame, T template: the template the frame makes its text
// from; an empty name lets generation choose.
void SL_F_SetSC(Call& call) {
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  std::string& name = call.Small(0);
  call.String(1, name);
  if (!name.empty() && S(call).library.FindTemplate(name) == nullptr) {
    return ReportFailure(call, "no template " + name);
  }
  frame->template_name = name;
  Succeed(call);
}

// SL_F_Get N frame, T slot, R value: the slot's value; an empty slot name
// gives the frame's template. G_TXT every slot of the frame as NAME=VALUE
// lines, G_WORK1 their number.
void SL_F_Get(Call& call) {
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  std::string& slot = call.Small(0);
  call.String(1, slot);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  SetTxtSlots(call, frame->slots);
  call.SetWork(1, static_cast<std::int32_t>(frame->slots.size()));
  const std::string* value = slot.empty() ? &frame->template_name : frame->Get(slot);
  if (value == nullptr) return ReportFailure(call, "slot " + slot + " is not filled");
  call.WriteText(out, *value);
  Succeed(call);
}

// SL_Conv N frame, R text: the frame's template with its slots from the
// frame; every slot must be filled.
void SL_Conv(Call& call) {
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  std::string error;
  const std::optional<std::string> text = sentences::Convert(S(call).library, *frame, &error);
  if (!text) return ReportFailure(call, error);
  call.WriteText(out, *text);
  Succeed(call);
}

// SL_F_Generate N frame, N seed, R text: the open slots (and the template,
// when the frame names none) chosen by weight; a seed of 0 or more restarts
// the frame's generator, a negative one goes on. G_TXT every slot's value
// as NAME=VALUE lines, G_WORK1 the template's index. The frame keeps only
// what the script set.
void SL_F_Generate(Call& call) {
  Frame* frame = FrameArg(call, 0);
  if (frame == nullptr) return;
  const std::int32_t seed = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  std::string error;
  const std::optional<std::uint64_t> restart =
      seed >= 0 ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(seed)) : std::nullopt;
  const std::optional<sentences::Generated> made = sentences::Generate(S(call).library, *frame, restart, &error);
  if (!made) return ReportFailure(call, error);
  call.WriteText(out, made->text);
  SetTxtSlots(call, made->filled);
  call.SetWork(1, made->template_index);
  Succeed(call);
}

// SL_Debug N what, [N frame]: 0 lists the library, 1 a frame, into
// G_DEBUG_LOG; G_WORK1 the number of lines.
void SL_Debug(Call& call) {
  const std::int32_t what = call.Int(0);
  std::int32_t lines = 0;
  auto line = [&](const std::string& text) {
    call.AppendDebugLog(text + "\r\n");
    ++lines;
  };
  if (what == 0) {
    const Library& library = S(call).library;
    line("templates " + std::to_string(library.Templates().size()) + ", bands " +
         std::to_string(library.Bands().size()) + ", words " + std::to_string(library.WordCount()));
    for (const sentences::Template& t : library.Templates()) {
      std::string slots;
      for (const std::string& s : sentences::SlotNames(t)) slots += " {" + s + "}";
      line("template " + t.name + " *" + std::to_string(t.weight) + ":" + slots);
    }
    for (const sentences::Band& b : library.Bands()) {
      line("band " + b.name + ": " + std::to_string(b.words.size()) + " words, weight " +
           std::to_string(b.total_weight));
    }
  } else if (what == 1) {
    Frame* frame = FrameArg(call, 1);
    if (frame == nullptr) return;
    line("frame template " + (frame->template_name.empty() ? std::string("(any)") : frame->template_name));
    for (const auto& [name, value] : frame->slots) line("  " + name + "=" + value);
  } else {
    return ReportFailure(call, "what must be 0 or 1");
  }
  call.SetWork(1, lines);
  Succeed(call);
}

constexpr Registration kSentenceApis[] = {
    {Id("SL_LoadLib"), SL_LoadLib}, {Id("SL_Conv"), SL_Conv},         {Id("SL_RefLib"), SL_RefLib},
    {Id("SL_ScanLib"), SL_ScanLib}, {Id("SL_LoadBand"), SL_LoadBand}, {Id("SL_BandCmd"), SL_BandCmd},
    {Id("SL_F_Clear"), SL_F_Clear}, {Id("SL_F_Get"), SL_F_Get},       {Id("SL_F_Set"), SL_F_Set},
    {Id("SL_F_SetSC"), SL_F_SetSC}, {Id("SL_F_Generate"), SL_F_Generate}, {Id("SL_Debug"), SL_Debug},
};

}  // namespace

void RegisterSentenceApis(Registry& registry) { registry.AddAll(kSentenceApis); }

}  // namespace vx::api
