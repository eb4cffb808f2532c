// The MIDI and music family: short messages and volume, the instrument
// list, the score, the sequence and its player, chords and keys, and
// Standard MIDI Files.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "music/chords.hpp"
#include "music/instruments.hpp"
#include "music/music.hpp"
#include "music/music_slot.hpp"
#include "platform/files.hpp"
#include "text/messages.hpp"

namespace vx::api {
namespace {

using music::Music;
using music::NoteRecord;

constexpr std::int32_t kDataByteMax = 0x7F;
constexpr std::int32_t kStatusFirst = 0x80;
constexpr std::int32_t kStatusLast = 0xFF;
constexpr std::int32_t kVolumeMax = 0xFFFF;
constexpr std::int32_t kDeleteAll = -1;
constexpr std::int32_t kDeleteCloseGap = 1;
constexpr std::int32_t kScoreWrite = 0;
constexpr std::int32_t kScoreRead = 1;
// G_TXT holds 16,000 bytes; reports stop before they would not fit.
constexpr std::size_t kReportMax = 15900;
constexpr std::string_view kKeyNames[music::kPitchClasses] = {
    "C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};

Music& M(Call& call) {
  Runtime& rt = call.rt();
  Music& music = rt.music.Get();
  WindowSystem* window = rt.window;
  music.SetMessageSink([window](std::string_view text) {
    window->ShowMessage(msg::Text(msg::Id::kCaptionMessageJa), text);
  });
  return music;
}

bool Failed(Call& call) { return call.rt().error.Raised(); }

std::uint32_t Mask(std::int32_t v) { return static_cast<std::uint32_t>(v); }

void Result(Call& call, bool ok) { call.SetError(ok ? 0 : 1); }

// MIDISend N status, N data1, N data2: one short message. A status outside
// 0x80-0xFF is no message and is not sent; data bytes clamp to 0-127.
void MidiSend(Call& call) {
  const std::int32_t status = call.Int(0);
  const std::int32_t data1 = call.Int(1);
  const std::int32_t data2 = call.Int(2);
  if (Failed(call)) return;
  Music& music = M(call);
  if (status < kStatusFirst || status > kStatusLast) return;
  music.Send(static_cast<std::uint8_t>(status),
             static_cast<std::uint8_t>(std::clamp(data1, 0, kDataByteMax)),
             static_cast<std::uint8_t>(std::clamp(data2, 0, kDataByteMax)));
}

// MIDIVol N left, N right: device volume, 0-65535 each.
void MidiVol(Call& call) {
  const std::int32_t left = call.Int(0);
  const std::int32_t right = call.Int(1);
  if (Failed(call)) return;
  M(call).SetVolume(static_cast<std::uint16_t>(std::clamp(left, 0, kVolumeMax)),
                    static_cast<std::uint16_t>(std::clamp(right, 0, kVolumeMax)));
}

// MIDIRef N mode, N program: mode 0 puts the instrument entry (or all 128
// for a program of 128 or more) in G_TXT.
void MidiRef(Call& call) {
  const std::int32_t mode = call.Int(0);
  const std::int32_t program = call.Int(1);
  if (Failed(call) || mode != 0) return;
  call.SetTxt(music::InstrumentListing(program));
}

// MscAddScore N time, N channel, N note, N velocity, N length.
void MscAddScore(Call& call) {
  const std::int32_t time = call.Int(0);
  const std::int32_t channel = call.Int(1);
  const std::int32_t note = call.Int(2);
  const std::int32_t velocity = call.Int(3);
  const std::int32_t length = call.Int(4);
  if (Failed(call)) return;
  Result(call, M(call).score().Add(music::MakeRecord(time, length, channel, note, velocity)));
}

// MscModScore N index, N time, N channel, N note, N velocity, N length.
void MscModScore(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t time = call.Int(1);
  const std::int32_t channel = call.Int(2);
  const std::int32_t note = call.Int(3);
  const std::int32_t velocity = call.Int(4);
  const std::int32_t length = call.Int(5);
  if (Failed(call)) return;
  const bool ok = index >= 0 && M(call).score().Modify(
                                    static_cast<std::size_t>(index),
                                    music::MakeRecord(time, length, channel, note, velocity));
  Result(call, ok);
}

// MscDelScore N channel mask, N from, N length, N low note, N high note,
// N mode: mode -1 empties the score; mode 1 also closes the gap.
void MscDelScore(Call& call) {
  music::DeleteRange range;
  range.channel_mask = Mask(call.Int(0));
  range.from = call.Int(1);
  range.length = call.Int(2);
  range.low_note = call.Int(3);
  range.high_note = call.Int(4);
  const std::int32_t mode = call.Int(5);
  if (Failed(call)) return;
  music::Score& score = M(call).score();
  if (mode == kDeleteAll) {
    score.Clear();
    return;
  }
  call.SetWork(1, static_cast<std::int32_t>(score.Delete(range, mode == kDeleteCloseGap)));
}

// MscSrtScore: sorts the score by time.
void MscSrtScore(Call& call) { M(call).score().EnsureSorted(); }

// MscRefScore N channel mask, N from, N continue, R time, R channel, R note,
// R velocity, R length, R index: G_ERROR 0 with the next record, 1 when none.
void MscRefScore(Call& call) {
  const std::uint32_t mask = Mask(call.Int(0));
  const std::int32_t from = call.Int(1);
  const std::int32_t more = call.Int(2);
  std::int32_t out[6];
  for (int i = 0; i < 6; ++i) out[i] = call.Resource(3 + i);
  if (Failed(call)) return;
  music::Score& score = M(call).score();
  const auto found = score.Next(mask, from, more == 0);
  if (!found) return call.SetError(1);
  const NoteRecord& r = score.Records()[*found];
  const std::int32_t values[6] = {r.time, r.channel, r.note, r.velocity, r.length,
                                  static_cast<std::int32_t>(*found)};
  for (int i = 0; i < 6; ++i) {
    if (out[i] >= 0) call.WriteInt(out[i], values[i]);
  }
  call.SetError(0);
}

bool ReadScoreFile(std::string_view path, std::vector<NoteRecord>& records) {
  files::FilePtr f = files::Open(path, "rb");
  if (!f) return false;
  std::string line;
  // Room for the line end; anything longer is not a score line.
  while (records.size() < music::kScoreCapacity) {
    const files::LineRead read = files::ReadLine(f.get(), line, music::kScoreLineMax + 2);
    if (read == files::LineRead::kEnd) break;
    if (read == files::LineRead::kCut) continue;
    std::string_view text = line;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.size() > music::kScoreLineMax) continue;
    if (const auto record = music::ParseScoreLine(text)) records.push_back(*record);
  }
  return !std::ferror(f.get());
}

// MscScoreCmd N mode, S file: mode 0 writes the score as text, mode 1
// replaces it with the file's score lines. G_ERROR 1 when the file cannot
// be written or read (the score is then unchanged).
void MscScoreCmd(Call& call) {
  const std::int32_t mode = call.Int(0);
  std::string& path = call.Small(0);
  call.String(1, path);
  if (Failed(call)) return;
  music::Score& score = M(call).score();
  if (mode == kScoreWrite) return ReportSystemResult(call, files::ReplaceFile(path, score.ToText()));
  if (mode != kScoreRead) return;
  std::vector<NoteRecord> records;
  records.reserve(music::kScoreCapacity);
  if (!ReadScoreFile(path, records)) return call.SetError(1);
  score.Replace(std::move(records));
  call.SetWork(1, static_cast<std::int32_t>(score.Size()));
  call.SetError(0);
}

// MscMkSeq N channel mask, N from, N length, D factor. G_WORK1 = events.
void MscMkSeq(Call& call) {
  music::SeqRange range;
  range.channel_mask = Mask(call.Int(0));
  range.from = call.Int(1);
  range.length = call.Int(2);
  range.factor = call.Double(3);
  if (Failed(call)) return;
  Music& music = M(call);
  music.BuildSequence(range);
  call.SetWork(1, static_cast<std::int32_t>(music.SequenceSize()));
}

// MscSeqTempo N from, D factor.
void MscSeqTempo(Call& call) {
  const std::int32_t from = call.Int(0);
  const double factor = call.Double(1);
  if (Failed(call)) return;
  M(call).ApplyTempo(from, factor);
}

// MscRefSeq N from, N continue, N to, R time, R status, R data1, R data2:
// G_ERROR 0 with the event, 1 when the next is at `to` or later, 2 at the end.
void MscRefSeq(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t more = call.Int(1);
  const std::int32_t to = call.Int(2);
  std::int32_t out[4];
  for (int i = 0; i < 4; ++i) out[i] = call.Resource(3 + i);
  if (Failed(call)) return;
  music::SeqEvent e;
  const music::SeqRef ref = M(call).NextEvent(from, more == 0, to, e);
  if (ref == music::SeqRef::kEnd) return call.SetError(2);
  if (ref == music::SeqRef::kNotYet) return call.SetError(1);
  const std::int32_t values[4] = {e.time, e.status, e.data1, e.data2};
  for (int i = 0; i < 4; ++i) {
    if (out[i] >= 0) call.WriteInt(out[i], values[i]);
  }
  call.SetError(0);
}

// MscAuto N on, N loop.
void MscAuto(Call& call) {
  const std::int32_t on = call.Int(0);
  const std::int32_t loop = call.OptInt(1, 0);
  if (Failed(call)) return;
  if (on != 0) M(call).Start(loop == 1);
  else M(call).Stop();
}

// MscMkSMF S file: the sequence as a Standard MIDI File (format 0).
void MscMkSmf(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  if (Failed(call)) return;
  ReportSystemResult(call, files::ReplaceFile(path, M(call).SequenceAsSmf()));
}

// MscBldCode N root, N chord type, R mask, R name.
void MscBldCode(Call& call) {
  const std::int32_t root = call.Int(0);
  const std::int32_t type = call.Int(1);
  const std::int32_t mask_out = call.Resource(2);
  const std::int32_t name_out = call.OptResource(3);
  if (Failed(call)) return;
  const auto chord = music::BuildChord(root, type);
  if (mask_out >= 0) call.WriteInt(mask_out, chord ? chord->mask : 0);
  if (name_out >= 0) call.WriteText(name_out, chord ? chord->name : std::string_view());
}

// The window of the analyses: N channel mask, N from, N length, then at
// `percussion_arg` an optional N: not 0 counts the notes of the percussion
// channel (10) too, which are drums rather than pitches and so are left
// out by default.
bool ReadWindow(Call& call, music::NoteWindow& window, int percussion_arg) {
  window.channel_mask = Mask(call.Int(0));
  window.from = call.Int(1);
  window.length = call.Int(2);
  window.with_percussion = call.OptInt(percussion_arg, 0) != 0;
  return !Failed(call);
}

void Report(Call& call, const std::string& report, std::int32_t hits) {
  call.SetTxt(hits > 0 ? report : std::string(music::kNoHit));
  call.SetWork(1, hits);
  call.SetError(hits > 0 ? 0 : 1);
}

bool Append(std::string& report, const std::string& line) {
  if (report.size() + line.size() > kReportMax) return false;
  report += line;
  return true;
}

// MscAnalize N channel mask, N from, N length, [N percussion]: the chords
// the notes sounding in the window make: one line per chord, name, T the
// root (0 = C), C the chord type.
void MscAnalize(Call& call) {
  music::NoteWindow window;
  if (!ReadWindow(call, window, 3)) return;
  const auto notes = music::NotesIn(M(call).score(), window);
  std::string report;
  std::int32_t hits = 0;
  for (const music::ChordHit& hit : music::FindChords(music::PitchClassesOf(notes))) {
    const auto chord = music::BuildChord(hit.root, hit.type);
    if (Append(report, music::HitLine(chord->name, hit.root, hit.type))) ++hits;
  }
  Report(call, report, hits);
}

// ToneLocation N channel mask, N from, N length, [N percussion]: the major
// keys whose scale holds the notes of the window: key name, T the tonic, C
// the notes in it.
void ToneLocation(Call& call) {
  music::NoteWindow window;
  if (!ReadWindow(call, window, 3)) return;
  const auto notes = music::NotesIn(M(call).score(), window);
  std::string report;
  std::int32_t hits = 0;
  for (const music::KeyHit& key : music::FindKeys(notes)) {
    if (Append(report, music::HitLine(kKeyNames[key.tonic], key.tonic, key.notes_in_scale))) {
      ++hits;
    }
  }
  Report(call, report, hits);
}

// MscMain N channel mask, N from, N length, N step, [N percussion]: the
// chord progression:
// the window cut into steps, one line per step with a chord: name, T the
// step's time, C the root. Of several chords the first (lowest root, then
// the table's order) is named.
void MscMain(Call& call) {
  music::NoteWindow whole;
  if (!ReadWindow(call, whole, 4)) return;
  const std::int32_t step = call.Int(3);
  if (Failed(call)) return;
  music::Score& score = M(call).score();
  std::string report;
  std::int32_t hits = 0;
  if (step > 0) {
    for (std::int64_t at = whole.from; at < whole.from + whole.length; at += step) {
      music::NoteWindow window{whole.channel_mask, at,
                               std::min<std::int64_t>(step, whole.from + whole.length - at),
                               whole.with_percussion};
      const auto chords = music::FindChords(music::PitchClassesOf(music::NotesIn(score, window)));
      if (chords.empty()) continue;
      const auto chord = music::BuildChord(chords.front().root, chords.front().type);
      if (!Append(report, music::HitLine(chord->name, static_cast<int>(at), chords.front().root))) {
        break;
      }
      ++hits;
    }
  }
  Report(call, report, hits);
}

constexpr Registration kMusicApis[] = {
    {Id("ToneLocation"), ToneLocation},
    {Id("MIDISend"), MidiSend},
    {Id("MIDIVol"), MidiVol},
    {Id("MIDIRef"), MidiRef},
    {Id("MscMain"), MscMain},
    {Id("MscBldCode"), MscBldCode},
    {Id("MscAnalize"), MscAnalize},
    {Id("MscAddScore"), MscAddScore},
    {Id("MscDelScore"), MscDelScore},
    {Id("MscRefScore"), MscRefScore},
    {Id("MscSrtScore"), MscSrtScore},
    {Id("MscModScore"), MscModScore},
    {Id("MscScoreCmd"), MscScoreCmd},
    {Id("MscMkSeq"), MscMkSeq},
    {Id("MscRefSeq"), MscRefSeq},
    {Id("MscSeqTempo"), MscSeqTempo},
    {Id("MscAuto"), MscAuto},
    {Id("MscMkSMF"), MscMkSmf},
};

}  // namespace

void RegisterMusicApis(Registry& registry) { registry.AddAll(kMusicApis); }

}  // namespace vx::api
