// The speech family: queueing text to be spoken, cancelling, the state,
// rate, pitch and volume, and the voices. Speaking happens on a thread of
// its own (src/speech); these calls never wait for it. Statuses go to
// G_ERROR (0 success, 1 failure) with the reason in G_ERR_TXT.
#include <algorithm>
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "speech/speech.hpp"
#include "speech/speech_runtime.hpp"
#include "text/encoding.hpp"

namespace vx::api {
namespace {

using speech::Speech;

// G_TXT holds 16,000 bytes; a list stops before it would not fit.
constexpr std::size_t kListMax = 15900;
constexpr std::int32_t kSpeechClearFirst = 1;

void Refuse(Call& call, std::string_view reason_utf8) {
  call.SetErrText(text::Utf8ToCp932(reason_utf8));
  call.SetError(1);
}

void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

Speech* Open(Call& call) {
  std::string error;
  Speech* s = speech::Get(call.rt(), &error);
  if (s == nullptr) Refuse(call, error);
  return s;
}

// The text cut to SPEECH_TEXT_MAX bytes without splitting a character.
std::string Cut(std::string utf8) {
  if (utf8.size() <= speech::SPEECH_TEXT_MAX) return utf8;
  std::size_t end = speech::SPEECH_TEXT_MAX;
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  utf8.resize(end);
  return utf8;
}

// GetSpchStat [R state]: 1 while an utterance is playing or waiting, else
// 0. G_WORK1 = utterances waiting behind the one playing, G_WORK2 = the one
// playing (0 none), G_WORK3 = the last one that ended.
void GetSpchStat(Call& call) {
  const std::int32_t out = call.OptResource(0);
  if (call.rt().error.Raised()) return;
  const speech::Status s = call.rt().speech ? call.rt().speech->State() : speech::Status{};
  const bool busy = s.speaking || s.waiting > 0;
  if (out >= 0) call.WriteInt(out, busy ? 1 : 0);
  call.SetWork(1, s.waiting);
  call.SetWork(2, s.current);
  call.SetWork(3, s.last_finished);
  Succeed(call);
}

// Speech T text, [N flags = 0]: queues the text and returns at once; flag 1
// first cancels what is playing and waiting. G_WORK1 = the utterance's
// number (G_EV_1 of its SPEECH_END), 0 for an empty text.
void SpeechApi(Call& call) {
  std::string& sjis = call.Large(0);
  call.String(0, sjis);
  const std::int32_t flags = call.OptInt(1, 0);
  if (call.rt().error.Raised()) return;
  Speech* s = Open(call);
  if (s == nullptr) return;
  if ((flags & kSpeechClearFirst) != 0) s->Clear();
  call.SetWork(1, 0);
  speech::Utterance u;
  u.text = Cut(text::Cp932ToUtf8(sjis));
  if (u.text.empty()) return Succeed(call);
  u.voice = s->voice;
  u.params = s->params;
  const std::int32_t id = s->Queue(std::move(u));
  if (id == 0) return Refuse(call, "too many utterances waiting (64)");
  call.SetWork(1, id);
  Succeed(call);
}

// ClrSpeech: stops the utterance playing and drops those waiting; each
// still gets its SPEECH_END, as cancelled. G_WORK1 = utterances dropped.
void ClrSpeech(Call& call) {
  call.SetWork(1, call.rt().speech ? call.rt().speech->Clear() : 0);
  Succeed(call);
}

// SetSpeechPrm [N rate], [N pitch], [N volume]: for the utterances queued
// from now on; one left out stays, values outside the ranges are brought
// inside. G_WORK1-3 = the values in force.
void SetSpeechPrm(Call& call) {
  const bool has_rate = call.Has(0), has_pitch = call.Has(1), has_volume = call.Has(2);
  const std::int32_t rate = call.OptInt(0, 0);
  const std::int32_t pitch = call.OptInt(1, 0);
  const std::int32_t volume = call.OptInt(2, 0);
  if (call.rt().error.Raised()) return;
  Speech* s = Open(call);
  if (s == nullptr) return;
  speech::Params& p = s->params;
  if (has_rate) p.rate = std::clamp(rate, speech::SPEECH_RATE_MIN, speech::SPEECH_RATE_MAX);
  if (has_pitch) p.pitch = std::clamp(pitch, 0, speech::SPEECH_PITCH_MAX);
  if (has_volume) p.volume = std::clamp(volume, 0, speech::SPEECH_VOLUME_MAX);
  call.SetWork(1, p.rate);
  call.SetWork(2, p.pitch);
  call.SetWork(3, p.volume);
  Succeed(call);
}

// VoiceChange T voice: the voice of the utterances queued from now on, by
// name, identifier or language ("ja", "en-us"); an empty text goes back to
// choosing by each text. G_TXT = the voice's name.
void VoiceChange(Call& call) {
  std::string& wanted = call.Small(0);
  call.String(0, wanted);
  if (call.rt().error.Raised()) return;
  Speech* s = Open(call);
  if (s == nullptr) return;
  if (wanted.empty()) {
    s->voice.clear();
    call.SetTxt({});
    return Succeed(call);
  }
  const std::string name = text::Cp932ToUtf8(wanted);
  const speech::Voice* v = speech::FindVoice(s->Voices(), name);
  if (v == nullptr) return Refuse(call, "no voice " + name + " (VoiceList lists them)");
  s->voice = v->identifier;
  call.SetTxt(text::Utf8ToCp932(v->name));
  Succeed(call);
}

// VoiceList [T language], [R list]: the voices (those of the language when
// given), one a line: language, name, identifier and gender (M, F or -)
// separated by tabs, each line ending in CR LF; into the list variable or
// G_TXT. G_WORK1 = voices listed, G_WORK2 = voices found.
void VoiceList(Call& call) {
  std::string& language = call.Small(0);
  call.OptString(0, language);
  const std::int32_t out = call.OptResource(1);
  if (call.rt().error.Raised()) return;
  Speech* s = Open(call);
  if (s == nullptr) return;
  std::string list;
  std::int32_t listed = 0, found = 0;
  for (const speech::Voice& v : s->Voices()) {
    if (!language.empty() && speech::FindVoice({v}, language) == nullptr) continue;
    ++found;
    const char gender = v.gender == 1 ? 'M' : v.gender == 2 ? 'F' : '-';
    const std::string line = v.language + "\t" + v.name + "\t" + v.identifier + "\t" + gender + "\r\n";
    if (list.size() + line.size() > kListMax) continue;
    list += line;
    ++listed;
  }
  const std::string sjis = text::Utf8ToCp932(list);
  if (out >= 0) {
    call.WriteText(out, sjis);
  } else {
    call.SetTxt(sjis);
  }
  call.SetWork(1, listed);
  call.SetWork(2, found);
  Succeed(call);
}

constexpr Registration kSpeechApis[] = {
    {Id("GetSpchStat"), GetSpchStat},
    {Id("Speech"), SpeechApi},
    {Id("ClrSpeech"), ClrSpeech},
    {Id("SetSpeechPrm"), SetSpeechPrm},
    {Id("VoiceChange"), VoiceChange},
    {Id("VoiceList"), VoiceList},
};

}  // namespace

void RegisterSpeechApis(Registry& registry) { registry.AddAll(kSpeechApis); }

}  // namespace vx::api
