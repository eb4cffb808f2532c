// WAV reading and writing against files made and read by sox, and against
// hand-made files that are truncated, oversized or oddly chunked.
#include "audio/wav_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

using audio::WAVE_SAMPLES;

bool HaveSox() { return std::system("sox --version > /dev/null 2>&1") == 0; }

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (std::fgets(buf, sizeof(buf), p)) out += buf;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::int16_t> Le16Samples(const std::string& raw) {
  std::vector<std::int16_t> v(raw.size() / 2);
  for (std::size_t i = 0; i < v.size(); ++i) {
    v[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                     (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
  }
  return v;
}

std::string U32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}
std::string U16(std::uint16_t v) { return U32(v).substr(0, 2); }
std::uint32_t Le32At(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4 && at + i < s.size(); ++i) v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + i])) << (8 * i);
  return v;
}

std::string Chunk(std::string_view id, std::string_view body, bool pad = true) {
  std::string c = std::string(id) + U32(static_cast<std::uint32_t>(body.size())) + std::string(body);
  if (pad && body.size() % 2) c += '\0';
  return c;
}

std::string Fmt(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  return U16(1) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
}

std::string Riff(std::string_view chunks) {
  return "RIFF" + U32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + std::string(chunks);
}

std::string Pcm16(std::initializer_list<std::int16_t> samples) {
  std::string s;
  for (std::int16_t v : samples) s += U16(static_cast<std::uint16_t>(v));
  return s;
}

// A fmt body of any format code (no extension).
std::string FmtOf(std::uint16_t code, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  return U16(code) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
}

// A WAVE_FORMAT_EXTENSIBLE body: the sub-format's code in the usual GUID,
// or any 16 GUID bytes.
std::string Extensible(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint16_t valid,
                       std::uint16_t sub_format, std::string guid_tail = std::string(
                           "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14)) {
  return FmtOf(0xFFFE, channels, rate, bits) + U16(22) + U16(valid) + U32(channels == 2 ? 3 : 4) +
         U16(sub_format) + guid_tail;
}

std::string Le24(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)).substr(0, 3); }
std::string F32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return U32(bits);
}
std::string F64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return U32(static_cast<std::uint32_t>(bits)) + U32(static_cast<std::uint32_t>(bits >> 32));
}

class WavFileTest : public ::testing::Test {
 protected:
  audio::LoadResult Load(const std::string& file, std::int32_t start = 0, std::int32_t skip = 0) {
    const std::vector<std::uint8_t> bytes = Bytes(file);
    audio::MemorySource source(bytes);
    return audio::LoadWave(source, stores.Main(), start, skip);
  }
  std::string Describe(const std::string& file, std::size_t capacity = 4096) {
    const std::vector<std::uint8_t> bytes = Bytes(file);
    audio::MemorySource source(bytes);
    return audio::DescribeWave(source, capacity);
  }
  audio::LoadResult LoadPath(const std::string& path, std::int32_t start = 0) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    audio::FileSource source(f);
    auto r = audio::LoadWave(source, stores.Main(), start, 0);
    std::fclose(f);
    return r;
  }

  // The samples LoadWave stores from a file, or the error.
  std::vector<std::int16_t> Samples(const std::string& file) {
    const auto r = Load(file);
    EXPECT_EQ(r.error, "");
    return {stores.Main().begin(), stores.Main().begin() + r.count};
  }
  // sox's own 16-bit conversion, without dither, of the first channel.
  std::vector<std::int16_t> SoxSamples(const std::string& path) {
    const std::string raw = folder.Path("sox.raw");
    EXPECT_EQ(std::system(("sox -D " + path + " -t raw -e signed -b 16 -L " + raw + " remix 1").c_str()), 0);
    return Le16Samples(folder.Read("sox.raw"));
  }

  audio::WaveStores stores;
  TempFolder folder;
};

TEST_F(WavFileTest, SoxFilesLoadExactly) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  const std::string mono = folder.Path("mono.wav");
  const std::string stereo = folder.Path("stereo.wav");
  const std::string eight = folder.Path("eight.wav");
  ASSERT_EQ(std::system(("sox -n -r 16000 -b 16 -c 1 " + mono + " synth 0.25 sine 440 vol 0.7").c_str()), 0);
  ASSERT_EQ(std::system(("sox -n -r 44100 -b 16 -c 2 " + stereo +
                         " synth 0.1 sine 300 sine 1200").c_str()), 0);
  ASSERT_EQ(std::system(("sox -n -r 8000 -b 8 -c 2 " + eight + " synth 0.1 sine 200 square 50").c_str()), 0);

  auto r = LoadPath(mono, 100);
  ASSERT_EQ(std::system(("sox " + mono + " -t raw -e signed -b 16 -L " + folder.Path("mono.raw")).c_str()), 0);
  const auto mono_raw = Le16Samples(folder.Read("mono.raw"));
  ASSERT_EQ(r.count, static_cast<std::int32_t>(mono_raw.size()));
  EXPECT_EQ(r.rate, 16000u);
  EXPECT_EQ(stores.Main()[99], 0);
  for (std::size_t i = 0; i < mono_raw.size(); ++i) ASSERT_EQ(stores.Main()[100 + i], mono_raw[i]) << i;

  // Stereo 16-bit keeps the left channel, and only [start, start + count).
  std::fill(stores.Main().begin(), stores.Main().end(), std::int16_t{77});
  r = LoadPath(stereo, 10);
  ASSERT_EQ(std::system(("sox " + stereo + " -t raw -e signed -b 16 -L " + folder.Path("st.raw") +
                         " remix 1").c_str()), 0);
  const auto left = Le16Samples(folder.Read("st.raw"));
  ASSERT_EQ(r.count, static_cast<std::int32_t>(left.size()));
  for (std::size_t i = 0; i < left.size(); ++i) ASSERT_EQ(stores.Main()[10 + i], left[i]) << i;
  EXPECT_EQ(stores.Main()[10 + left.size()], 77);
  EXPECT_EQ(stores.Main()[10 + 2 * left.size()], 77);

  // 8-bit stereo keeps the right byte: (byte - 128) * 256.
  r = LoadPath(eight);
  ASSERT_EQ(std::system(("sox " + eight + " -t raw -e unsigned -b 8 " + folder.Path("e.raw") +
                         " remix 2").c_str()), 0);
  const std::string right = folder.Read("e.raw");
  ASSERT_EQ(r.count, static_cast<std::int32_t>(right.size()));
  for (std::size_t i = 0; i < right.size(); ++i) {
    ASSERT_EQ(stores.Main()[i], (static_cast<std::uint8_t>(right[i]) - 128) * 256) << i;
  }
}

TEST_F(WavFileTest, WrittenFilesReadBackBySoxi) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  std::vector<std::int16_t> samples(1001);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 37 - 16000);
  const std::string p16 = folder.Path("w16.wav");
  const std::string p8 = folder.Path("w8.wav");
  ASSERT_TRUE(audio::SaveWave(p16, samples, 12, 11025));  // any width but 8 is 16-bit
  ASSERT_TRUE(audio::SaveWave(p8, samples, 8, 8000));
  EXPECT_EQ(Capture("soxi -r " + p16), "11025");
  EXPECT_EQ(Capture("soxi -c " + p16), "1");
  EXPECT_EQ(Capture("soxi -b " + p16), "16");
  EXPECT_EQ(Capture("soxi -s " + p16), "1001");
  EXPECT_EQ(Capture("soxi -b " + p8), "8");
  EXPECT_EQ(Capture("soxi -s " + p8), "1001");
  const std::string file = folder.Read("w16.wav");
  ASSERT_EQ(file.size(), 46u + 2002u);
  EXPECT_EQ(file.substr(0, 46), "RIFF" + U32(38 + 2002) + "WAVEfmt " + U32(18) + Fmt(1, 11025, 16) +
                                    U16(0) + "data" + U32(2002));
  ASSERT_EQ(std::system(("sox " + p16 + " -t raw -e signed -b 16 -L " + folder.Path("back.raw")).c_str()), 0);
  EXPECT_EQ(Le16Samples(folder.Read("back.raw")), samples);
  // 8-bit data is (s + 32768) >> 8, with the pad byte after an odd count.
  const std::string f8 = folder.Read("w8.wav");
  ASSERT_EQ(f8.size(), 46u + 1001u + 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(f8[46]), (samples[0] + 32768) >> 8);
  EXPECT_EQ(f8.substr(4, 4), U32(38 + 1002));
}

TEST_F(WavFileTest, EmptyRangeWritesAValidFile) {
  const std::string path = folder.Path("empty.wav");
  ASSERT_TRUE(audio::SaveWave(path, {}, 16, 22050));
  const std::string file = folder.Read("empty.wav");
  ASSERT_EQ(file.size(), 46u);
  EXPECT_EQ(file.substr(4, 4), U32(38));
  EXPECT_EQ(file.substr(42, 4), U32(0));
}

TEST_F(WavFileTest, SkipStartAndTheEndOfTheStore) {
  const std::string stereo = Riff(Chunk("fmt ", Fmt(2, 8000, 16)) +
                                  Chunk("data", Pcm16({1, -1, 2, -2, 3, -3, 4, -4})));
  auto r = Load(stereo, 5, 1);  // skip one frame
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(stores.Main()[5], 2);
  EXPECT_EQ(stores.Main()[7], 4);
  EXPECT_EQ(stores.Main()[8], 0);
  EXPECT_EQ(Load(stereo, 0, 4).count, 0);  // skip past the chunk
  // Clipping at the end of the store counts frames: two frames fit.
  r = Load(stereo, WAVE_SAMPLES - 2);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(stores.Main()[WAVE_SAMPLES - 1], 2);
  EXPECT_EQ(Load(stereo, WAVE_SAMPLES).count, 0);
}

TEST_F(WavFileTest, ChunkWalkHonoursPadBytesAndLaterDataChunks) {
  const std::string file = Riff(Chunk("LIST", "abc") + Chunk("data", Pcm16({9})) +
                                Chunk("fmt ", Fmt(1, 12000, 16)) + Chunk("junk", std::string(2000, 'j')) +
                                Chunk("data", Pcm16({5, 6, 7})) + Chunk("data", Pcm16({8, 9})));
  const auto r = Load(file);
  EXPECT_FALSE(r.malformed);
  EXPECT_EQ(r.count, 2);  // the last data chunk loads over the earlier one
  EXPECT_EQ(r.rate, 12000u);
  EXPECT_EQ(stores.Main()[0], 8);
  EXPECT_EQ(stores.Main()[1], 9);
  EXPECT_EQ(stores.Main()[2], 7);
}

TEST_F(WavFileTest, BadFilesFailAndChangeNothing) {
  std::fill(stores.Main().begin(), stores.Main().end(), std::int16_t{3});
  const std::string good = Riff(Chunk("fmt ", Fmt(1, 8000, 16)) + Chunk("data", Pcm16({1, 2, 3, 4})));
  const std::string truncated = good.substr(0, good.size() - 3);
  std::string huge = good;
  std::memcpy(huge.data() + 40, U32(0x7FFFFFF0).data(), 4);
  const std::string big_fmt = Riff("fmt " + U32(0xFFFFFFF0) + Fmt(1, 8000, 16));
  for (const std::string& bad : {truncated, huge, big_fmt}) {
    const auto r = Load(bad);
    EXPECT_TRUE(r.malformed);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(stores.Main()[0], 3);
  }
  // Refused with a reason, though not malformed: no data chunk after a fmt
  // chunk, 12-bit samples, no channels.
  const std::string no_sound = "no sound data: no data chunk follows a fmt chunk";
  for (const auto& [file, why] : std::vector<std::pair<std::string, std::string>>{
           {Riff(Chunk("fmt ", Fmt(1, 8000, 16))), no_sound},
           {Riff(""), no_sound},
           {Riff(Chunk("data", Pcm16({1})) + Chunk("fmt ", Fmt(1, 8000, 16))), no_sound},
           {Riff(Chunk("fmt ", Fmt(1, 8000, 12)) + Chunk("data", Pcm16({1}))), "unsupported WAV format: 12-bit PCM"},
           {Riff(Chunk("fmt ", Fmt(0, 8000, 16)) + Chunk("data", Pcm16({1}))), "unsupported WAV format: 0 channels"},
       }) {
    const auto r = Load(file);
    EXPECT_FALSE(r.malformed);
    EXPECT_EQ(r.error, why);
    EXPECT_EQ(r.count, 0);
    EXPECT_FALSE(r.has_rate);
  }
  // Shorter than the 12-byte header (an empty file among them): malformed.
  for (const std::string& tiny : {std::string(), std::string("RIFF"), Riff("").substr(0, 11)}) {
    const auto r = Load(tiny);
    EXPECT_TRUE(r.malformed);
    EXPECT_EQ(r.error, "not a WAV file: shorter than its 12-byte header");
  }
  EXPECT_EQ(Load(truncated).error, "malformed WAV file: a chunk runs past the end of the file");
  EXPECT_EQ(stores.Main()[0], 3);
}

TEST_F(WavFileTest, HeaderDumpText) {
  const std::string file = Riff(Chunk("fmt ", Fmt(2, 44100, 16) + U16(0)) + Chunk("data", Pcm16({1, 2})));
  EXPECT_EQ(Describe(file),
            "(12 bytes)[head(\"RIFF\") size=" + std::to_string(file.size() - 8) + " (\"WAVE\")]\r\n"
            "\r\n(8 bytes)[RIFF(\"fmt \") size=18]\r\n"
            "format(2 bytes) = 1\r\nchannels(2 bytes) = 2\r\nsamplerate(4 bytes) = 44100\r\n"
            "bytepersec(4 bytes) = 176400\r\nblockalign(2 bytes) = 4\r\nbitswidth(2 bytes) = 16\r\n"
            "\r\n(8 bytes)[RIFF(\"data \") size=4]\r\n");
  // A LIST chunk first ends the dump after the header line.
  const std::string listed = Riff(Chunk("LIST", "ab") + Chunk("fmt ", Fmt(1, 8000, 8)));
  EXPECT_EQ(Describe(listed), "(12 bytes)[head(\"RIFF\") size=" + std::to_string(listed.size() - 8) +
                                  " (\"WAVE\")]\r\n");
  // Lines that do not fit are dropped; shorter later ones still come.
  const std::string small = Describe(file, 70);
  EXPECT_EQ(small, "(12 bytes)[head(\"RIFF\") size=" + std::to_string(file.size() - 8) +
                       " (\"WAVE\")]\r\nformat(2 bytes) = 1\r\n");
  // A NUL in the header ends the line there, as a C string would.
  std::string nul = file;
  nul[2] = '\0';
  EXPECT_EQ(Describe(nul).substr(0, 20), "(12 bytes)[head(\"RI\r");
  EXPECT_EQ(Describe("RIF"), "");
}

TEST_F(WavFileTest, ConvertersAndJoin) {
  const std::string a = folder.Path("a.wav");
  const std::string b = folder.Path("b.wav");
  const std::string out = folder.Path("out.wav");
  folder.Write("a.wav", Riff(Chunk("fmt ", Fmt(2, 8000, 16)) + Chunk("data", Pcm16({100, -301, 32767, 32767}))));
  folder.Write("b.wav", Riff(Chunk("fmt ", Fmt(2, 16000, 16)) + Chunk("data", Pcm16({5, 6}))));
  std::string log;
  ASSERT_EQ(audio::ConvertToMono(a, out, stores, &log), 1);
  EXPECT_EQ(log, "2 \r\n");
  EXPECT_EQ(folder.Read("out.wav"), "RIFF" + U32(42) + "WAVEfmt " + U32(18) + Fmt(1, 8000, 16) +
                                        U16(0) + "data" + U32(4) + Pcm16({-100, 32767}));

  ASSERT_EQ(audio::ChangeVolume(a, out, 1.0, stores), 1);
  const auto limited = Le16Samples(folder.Read("out.wav").substr(46));
  ASSERT_EQ(limited.size(), 4u);
  EXPECT_EQ(limited[0], static_cast<std::int16_t>(32760.0 - 32760.0 * 32760.0 / (100 + 32760.0)));
  EXPECT_EQ(limited[1], static_cast<std::int16_t>(-(32760.0 - 32760.0 * 32760.0 / (32760.0 + 301))));
  EXPECT_LT(limited[2], 32760);

  ASSERT_EQ(audio::JoinWaves(a, b, out), 1);
  EXPECT_EQ(folder.Read("out.wav"), "RIFF" + U32(38 + 12) + "WAVEfmt " + U32(18) + Fmt(2, 8000, 16) +
                                        U16(0) + "data" + U32(12) +
                                        Pcm16({100, -301, 32767, 32767, 5, 6}));
  EXPECT_EQ(audio::JoinWaves(a, a, out), 0);
  // Different widths: an empty output, result 1.
  folder.Write("b.wav", Riff(Chunk("fmt ", Fmt(2, 8000, 8)) + Chunk("data", "ab")));
  ASSERT_EQ(audio::JoinWaves(a, b, out), 1);
  EXPECT_EQ(folder.Read("out.wav"), "");
  // A mono input to ConvWaveF leaves an empty output.
  ASSERT_EQ(audio::ConvertToMono(b, out, stores, &log), 0);
  EXPECT_EQ(folder.Read("out.wav"), "");
}

TEST_F(WavFileTest, QuietEndsAreCut) {
  auto wave = stores.Main();
  std::int32_t first = 0, last = 0;
  ASSERT_TRUE(audio::QuietCutRange(wave, 0, 10000, 100, &first, &last));
  EXPECT_EQ(first, 10000 - 2205);  // silence: the last 2,205 samples
  EXPECT_EQ(last, 10000);
  ASSERT_TRUE(audio::QuietCutRange(wave, 0, 1000, 100, &first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 1000);
  for (int i = 5000; i < 6000; ++i) wave[static_cast<std::size_t>(i)] = 1000;
  ASSERT_TRUE(audio::QuietCutRange(wave, 0, 20000, 100, &first, &last));
  EXPECT_EQ(first, 5005 - 2205);
  EXPECT_EQ(last, 5994 + 2205);
  EXPECT_FALSE(audio::QuietCutRange(wave, 10, 5, 100, &first, &last));
}

TEST_F(WavFileTest, PairLoadAndSave) {
  audio::BufferPair pair;
  ASSERT_TRUE(pair.Allocate(3));
  const std::string mono = Riff(Chunk("fmt ", Fmt(1, 8000, 16)) + Chunk("data", Pcm16({1, 2, 3, 4, 5})));
  const std::vector<std::uint8_t> bytes = Bytes(mono);
  audio::MemorySource source(bytes);
  const auto r = audio::LoadPair(source, pair);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(pair.filled, 3);
  EXPECT_EQ(pair.left, (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_EQ(pair.right, (std::vector<std::int16_t>{1, 2, 3}));
  pair.filled = 2;
  ASSERT_TRUE(audio::SavePair(folder.Path("p.wav"), pair, 8000));
  EXPECT_EQ(folder.Read("p.wav"), "RIFF" + U32(38 + 8) + "WAVEfmt " + U32(18) + Fmt(2, 8000, 16) +
                                      U16(0) + "data" + U32(8) + Pcm16({1, 1, 2, 2}));
}

TEST_F(WavFileTest, EveryCodingSoxWritesLoadsAsSoxConvertsIt) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  // Noise reaches every code of the narrow codings and the rounding of the
  // wide ones; a second channel must be left out.
  const std::vector<std::pair<std::string, std::string>> made = {
      {"s24.wav", "-b 24"},
      {"s32.wav", "-b 32"},
      {"f32.wav", "-e floating-point -b 32"},
      {"f64.wav", "-e floating-point -b 64"},
      {"alaw.wav", "-e a-law"},
      {"ulaw.wav", "-e mu-law"},
      {"u8.wav", "-b 8 -c 1"},
      {"pcm24.wav", "-t wavpcm -b 24"},
      {"stereo24.wav", "-b 24 -c 2"},
  };
  for (const auto& [name, options] : made) {
    const std::string path = folder.Path(name);
    ASSERT_EQ(std::system(("sox -n -r 11025 " + options + " " + path +
                           " synth 0.5 whitenoise vol 0.9 2> /dev/null").c_str()), 0)
        << name;
    const auto r = LoadPath(path);
    EXPECT_EQ(r.error, "") << name;
    EXPECT_EQ(r.rate, 11025u) << name;
    const auto expected = SoxSamples(path);
    ASSERT_EQ(r.count, static_cast<std::int32_t>(expected.size())) << name;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stores.Main().begin())) << name;
  }
  // Written to a pipe, sox cannot go back to fill in the sizes: 16-bit PCM
  // and its default, 32-bit extensible, both read to the end of the file.
  for (const std::string& options : {std::string("-b 16"), std::string("")}) {
    const std::string path = folder.Path("piped.wav");
    ASSERT_EQ(std::system(("sox -n -r 8000 " + options + " -t wav - synth 0.3 whitenoise 2> /dev/null | cat > " + path).c_str()), 0);
    ASSERT_GE(Le32At(folder.Read("piped.wav"), 4), 0x7FFFF000u) << "sox did not write to a pipe";
    const auto r = LoadPath(path);
    EXPECT_EQ(r.error, "") << options;
    EXPECT_EQ(r.count, 2400) << options;
    const auto expected = SoxSamples(path);
    ASSERT_EQ(expected.size(), 2400u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stores.Main().begin())) << options;
  }
}

TEST_F(WavFileTest, WideSamplesRoundHalvesUpAndFloatsClip) {
  // 24-bit: v / 256 rounded, halves up; the top of the range clips.
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", FmtOf(1, 1, 8000, 24)) +
                         Chunk("data", Le24(383) + Le24(384) + Le24(-128) + Le24(-129) + Le24(0x7FFF7F) +
                                           Le24(0x7FFF80) + Le24(-0x800000) + Le24(-385)))),
            (std::vector<std::int16_t>{1, 2, 0, -1, 32767, 32767, -32768, -2}));
  // 32-bit: v / 65536 the same way.
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", FmtOf(1, 1, 8000, 32)) +
                         Chunk("data", U32(98303) + U32(98304) + U32(static_cast<std::uint32_t>(-32768)) +
                                           U32(static_cast<std::uint32_t>(-32769)) + U32(0x7FFF7FFF) +
                                           U32(0x7FFF8000) + U32(0x80000000u)))),
            (std::vector<std::int16_t>{1, 2, 0, -1, 32767, 32767, -32768}));
  // Floats: full scale is +-1.0; beyond it clips, NaN is silence.
  const std::vector<double> values = {0.5, -0.5, 1.5, -1.5, 1.0, -1.0, 100.0 / 32768, -100.4 / 32768,
                                      100.5 / 32768, std::nan(""), 0.75};
  const std::vector<std::int16_t> expected = {16384, -16384, 32767, -32768, 32767, -32768, 100, -100, 101, 0, 24576};
  std::string f32, f64;
  for (double v : values) {
    f32 += F32(static_cast<float>(v));
    f64 += F64(v);
  }
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", FmtOf(3, 1, 8000, 32)) + Chunk("data", f32))), expected);
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", FmtOf(3, 1, 8000, 64)) + Chunk("data", f64))), expected);
}

TEST_F(WavFileTest, ALawAndMuLawExpandAsG711) {
  std::string codes;
  for (int c = 0; c < 256; ++c) codes += static_cast<char>(c);
  const std::string alaw = Riff(Chunk("fmt ", FmtOf(6, 1, 8000, 8)) + Chunk("data", codes));
  const std::string ulaw = Riff(Chunk("fmt ", FmtOf(7, 1, 8000, 8)) + Chunk("data", codes));
  const auto a = Samples(alaw);
  const auto u = Samples(ulaw);
  ASSERT_EQ(a.size(), 256u);
  ASSERT_EQ(u.size(), 256u);
  EXPECT_EQ(a[0xD5], 8);
  EXPECT_EQ(a[0x55], -8);
  EXPECT_EQ(a[0xAA], 32256);
  EXPECT_EQ(a[0x2A], -32256);
  EXPECT_EQ(a[0x80], 5504);
  EXPECT_EQ(a[0xC5], 264);
  EXPECT_EQ(u[0xFF], 0);
  EXPECT_EQ(u[0x7F], 0);
  EXPECT_EQ(u[0x80], 32124);
  EXPECT_EQ(u[0x00], -32124);
  EXPECT_EQ(u[0xEF], 132);
  EXPECT_EQ(u[0x10], -15996);
  if (!HaveSox()) return;
  folder.Write("a.wav", alaw);
  folder.Write("u.wav", ulaw);
  EXPECT_EQ(a, SoxSamples(folder.Path("a.wav")));
  EXPECT_EQ(u, SoxSamples(folder.Path("u.wav")));
}

TEST_F(WavFileTest, ExtensibleRecordsLoadByTheirSubFormat) {
  const std::string stereo24 = Riff(Chunk("fmt ", Extensible(2, 48000, 24, 24, 1)) + Chunk("fact", U32(2)) +
                                    Chunk("data", Le24(256) + Le24(-256) + Le24(512) + Le24(-512)));
  EXPECT_EQ(Samples(stereo24), (std::vector<std::int16_t>{1, 2}));  // the left channel
  EXPECT_EQ(Load(stereo24).rate, 48000u);
  // 20 valid bits in a 24-bit container read as 24-bit.
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", Extensible(1, 8000, 24, 20, 1)) + Chunk("data", Le24(0x123450)))),
            (std::vector<std::int16_t>{0x1234}));
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", Extensible(1, 8000, 32, 32, 3)) + Chunk("data", F32(-0.25f)))),
            (std::vector<std::int16_t>{-8192}));
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", Extensible(1, 8000, 8, 8, 7)) + Chunk("data", "\x80"))),
            (std::vector<std::int16_t>{32124}));
  EXPECT_EQ(Samples(Riff(Chunk("fmt ", Extensible(1, 8000, 8, 8, 1)) + Chunk("data", "\xC0"))),
            (std::vector<std::int16_t>{16384}));
  // A sub-format with another GUID, or one that is not read, is refused.
  const std::string other_guid(14, 'x');
  EXPECT_EQ(Load(Riff(Chunk("fmt ", Extensible(1, 8000, 16, 16, 1, other_guid)) + Chunk("data", Pcm16({1})))).error,
            "unsupported WAV format: extensible with an unknown sub-format (format 0xFFFE)");
  EXPECT_EQ(Load(Riff(Chunk("fmt ", Extensible(1, 8000, 4, 4, 2)) + Chunk("data", "ab"))).error,
            "unsupported WAV format: Microsoft ADPCM (format 0x0002)");
  // An extensible tag on a short record has no sub-format to go by.
  EXPECT_EQ(Load(Riff(Chunk("fmt ", FmtOf(0xFFFE, 1, 8000, 16)) + Chunk("data", Pcm16({1})))).error,
            "unsupported WAV format: extensible with an unknown sub-format (format 0xFFFE)");
}

TEST_F(WavFileTest, UnreadFormatsAreNamedAndChangeNothing) {
  std::fill(stores.Main().begin(), stores.Main().end(), std::int16_t{5});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {FmtOf(3, 1, 8000, 16), "unsupported WAV format: 16-bit floating point"},
      {FmtOf(6, 1, 8000, 16), "unsupported WAV format: 16-bit A-law"},
      {FmtOf(7, 2, 8000, 4), "unsupported WAV format: 4-bit mu-law"},
      {FmtOf(1, 1, 8000, 20), "unsupported WAV format: 20-bit PCM"},
      {FmtOf(0x11, 1, 8000, 4), "unsupported WAV format: IMA ADPCM (format 0x0011)"},
      {FmtOf(0x31, 1, 8000, 0), "unsupported WAV format: GSM 6.10 (format 0x0031)"},
      {FmtOf(0x50, 1, 8000, 0), "unsupported WAV format: MPEG (format 0x0050)"},
      {FmtOf(0x55, 1, 8000, 0), "unsupported WAV format: MPEG layer 3 (format 0x0055)"},
      {FmtOf(0x1234, 1, 8000, 16), "unsupported WAV format: format 0x1234"},
  };
  for (const auto& [fmt, why] : cases) {
    // A readable data chunk first: the file is refused as a whole.
    const auto r = Load(Riff(Chunk("fmt ", FmtOf(1, 1, 8000, 16)) + Chunk("data", Pcm16({7})) +
                             Chunk("fmt ", fmt) + Chunk("data", "abcd")));
    EXPECT_EQ(r.error, why);
    EXPECT_EQ(r.count, 0);
    EXPECT_FALSE(r.malformed);
    EXPECT_EQ(stores.Main()[0], 5);
  }
}

TEST_F(WavFileTest, StreamingSizesRunToTheEndOfTheFile) {
  for (std::uint32_t placeholder : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x7FFFF000u}) {
    // An odd byte at the end is half a sample and is left out.
    const std::string file = "RIFF" + U32(placeholder) + "WAVE" + Chunk("fmt ", Fmt(2, 8000, 16)) + "data" +
                             U32(placeholder) + Pcm16({1, -1, 2, -2, 3, -3}) + "x";
    EXPECT_EQ(Samples(file), (std::vector<std::int16_t>{1, 2, 3})) << placeholder;
    audio::BufferPair pair;
    ASSERT_TRUE(pair.Allocate(8));
    const std::vector<std::uint8_t> bytes = Bytes(file);
    audio::MemorySource source(bytes);
    ASSERT_TRUE(audio::LoadPair(source, pair).ok);
    EXPECT_EQ(pair.filled, 3);
    EXPECT_EQ(pair.right[2], -3);
  }
  // Any other size that runs past the end is a truncated file.
  const std::string cut = Riff(Chunk("fmt ", Fmt(1, 8000, 16))) + "data" + U32(0x7FFFFFFE) + Pcm16({1, 2});
  EXPECT_TRUE(Load(cut).malformed);
  // A placeholder on another chunk is no excuse either.
  EXPECT_TRUE(Load(Riff(Chunk("fmt ", Fmt(1, 8000, 16)) + "LIST" + U32(0xFFFFFFFF) + "ab")).malformed);
}

TEST_F(WavFileTest, HeaderDumpOfExtensibleRecordsAndFactChunks) {
  const std::string file = Riff(Chunk("fmt ", Extensible(2, 48000, 24, 20, 3)) + Chunk("fact", U32(77)) +
                                Chunk("data", std::string(6, '\0')));
  EXPECT_EQ(Describe(file),
            "(12 bytes)[head(\"RIFF\") size=" + std::to_string(file.size() - 8) + " (\"WAVE\")]\r\n"
            "\r\n(8 bytes)[RIFF(\"fmt \") size=40]\r\n"
            "format(2 bytes) = 65534\r\nchannels(2 bytes) = 2\r\nsamplerate(4 bytes) = 48000\r\n"
            "bytepersec(4 bytes) = 288000\r\nblockalign(2 bytes) = 6\r\nbitswidth(2 bytes) = 24\r\n"
            "validbits(2 bytes) = 20\r\nchannelmask(4 bytes) = 3\r\nsubformat(16 bytes) = 3\r\n"
            "\r\n(8 bytes)[RIFF(\"fact\") size=4]\r\nsamples(4 bytes) = 77\r\n"
            "\r\n(8 bytes)[RIFF(\"data \") size=6]\r\n");
  const std::string odd = Describe(Riff(Chunk("fmt ", Extensible(1, 8000, 16, 16, 1, std::string(14, 'g')))));
  EXPECT_NE(odd.find("subformat(16 bytes) = 1 (unknown GUID)\r\n"), std::string::npos) << odd;
}

TEST_F(WavFileTest, PairLoadDecodesBothChannels) {
  audio::BufferPair pair;
  ASSERT_TRUE(pair.Allocate(4));
  const std::string file = Riff(Chunk("fmt ", FmtOf(1, 2, 8000, 8)) + Chunk("data", "\x80\xC0\x40\xFF"));
  const std::vector<std::uint8_t> bytes = Bytes(file);
  audio::MemorySource source(bytes);
  const auto r = audio::LoadPair(source, pair);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(pair.filled, 2);
  EXPECT_EQ(pair.left[0], 0);
  EXPECT_EQ(pair.right[0], 16384);
  EXPECT_EQ(pair.left[1], -16384);
  EXPECT_EQ(pair.right[1], 32512);
  const std::string adpcm = Riff(Chunk("fmt ", FmtOf(2, 1, 8000, 4)) + Chunk("data", "ab"));
  const std::vector<std::uint8_t> bad = Bytes(adpcm);
  audio::MemorySource bad_source(bad);
  const auto refused = audio::LoadPair(bad_source, pair);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "unsupported WAV format: Microsoft ADPCM (format 0x0002)");
  EXPECT_EQ(pair.filled, 2);
}

TEST_F(WavFileTest, QuietEndsCountFromTheLastSample) {
  auto wave = stores.Main();
  // Six loud samples right at the end: the sixth from the end starts the
  // end margin, so nothing is cut at the end; the start is cut at the last.
  for (int i = 9994; i < 10000; ++i) wave[static_cast<std::size_t>(i)] = -500;
  std::int32_t first = 0, last = 0;
  ASSERT_TRUE(audio::QuietCutRange(wave, 3000, 10000, 100, &first, &last));
  EXPECT_EQ(first, 9999 - 2205);
  EXPECT_EQ(last, 10000);
  // Six loud samples right at the start, the rest quiet.
  std::fill(wave.begin(), wave.end(), std::int16_t{0});
  for (int i = 3000; i < 3006; ++i) wave[static_cast<std::size_t>(i)] = 101;
  ASSERT_TRUE(audio::QuietCutRange(wave, 3000, 10000, 100, &first, &last));
  EXPECT_EQ(first, 3000);
  EXPECT_EQ(last, 3000 + 2205);
  // At the threshold is quiet.
  for (int i = 3000; i < 3006; ++i) wave[static_cast<std::size_t>(i)] = 100;
  ASSERT_TRUE(audio::QuietCutRange(wave, 3000, 10000, 100, &first, &last));
  EXPECT_EQ(first, 10000 - 2205);
  // Ranges clamp to the store; an empty one is valid.
  ASSERT_TRUE(audio::QuietCutRange(wave, 524000, 600000, 100, &first, &last));
  EXPECT_EQ(last, WAVE_SAMPLES);
  ASSERT_TRUE(audio::QuietCutRange(wave, 77, 77, 100, &first, &last));
  EXPECT_EQ(first, 77);
  EXPECT_EQ(last, 77);
}

TEST_F(WavFileTest, DecodingPicksChannelsAndStaysInsideItsTargets) {
  const std::string file = Riff(Chunk("fmt ", FmtOf(1, 3, 8000, 16)) + Chunk("data", Pcm16({1, 2, 3, 4, 5, 6, 7, 8, 9})));
  const std::vector<std::uint8_t> bytes = Bytes(file);
  audio::MemorySource source(bytes);
  const audio::WaveWalk walk = audio::WalkWave(source);
  ASSERT_EQ(walk.data.size(), 1u);
  const audio::DataChunk& chunk = walk.data[0];
  std::vector<std::int16_t> a(3, -1), b(3, -1);
  ASSERT_TRUE(source.Seek(chunk.offset));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 2, a, 1, b), 3u);
  EXPECT_EQ(a, (std::vector<std::int16_t>{3, 6, 9}));
  EXPECT_EQ(b, (std::vector<std::int16_t>{2, 5, 8}));
  // Channels past the frame: nothing.
  ASSERT_TRUE(source.Seek(chunk.offset));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 3, a, 0, b), 0u);
  ASSERT_TRUE(source.Seek(chunk.offset));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 0, a, 3, b), 0u);
  // No more than the targets hold, nor than the source has.
  std::vector<std::int16_t> two(2, -1), one(1, -1);
  ASSERT_TRUE(source.Seek(chunk.offset));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 0, two, 1, {}), 2u);
  EXPECT_EQ(two, (std::vector<std::int16_t>{1, 4}));
  ASSERT_TRUE(source.Seek(chunk.offset));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 0, two, 1, one), 1u);
  ASSERT_TRUE(source.Seek(chunk.offset + 12));
  EXPECT_EQ(audio::ReadDecoded(source, chunk, 3, 0, a, 1, {}), 1u);
  EXPECT_EQ(a[0], 7);
  EXPECT_EQ(chunk.FrameBytes(), 6u);
  EXPECT_TRUE(chunk.Readable());
  audio::DataChunk unknown = chunk;
  unknown.coding = audio::SampleCoding::kNone;
  EXPECT_FALSE(unknown.Readable());
  EXPECT_EQ(unknown.FrameBytes(), 0u);
  EXPECT_EQ(audio::ReadDecoded(source, unknown, 3, 0, a, 1, {}), 0u);
}

TEST_F(WavFileTest, ConvertersWorkInBlocksAndStopAtTheirChunk) {
  // More frames than one block, and a chunk after the data that must not
  // be read as samples.
  const std::size_t frames = audio::CONVERT_BLOCK_FRAMES + 3;
  std::string data;
  data.reserve(frames * 4);
  for (std::size_t i = 0; i < frames; ++i) {
    const auto l = static_cast<std::int16_t>(i % 20000);
    const auto r = static_cast<std::int16_t>(-static_cast<std::int16_t>(i % 7) * 1000 - 1);
    data += U16(static_cast<std::uint16_t>(l)) + U16(static_cast<std::uint16_t>(r));
  }
  folder.Write("long.wav", Riff(Chunk("fmt ", Fmt(2, 8000, 16)) + Chunk("data", data) + Chunk("LIST", std::string(400, '\x7f'))));
  std::string log;
  ASSERT_EQ(audio::ConvertToMono(folder.Path("long.wav"), folder.Path("mono.wav"), stores, &log), 1);
  EXPECT_EQ(log, std::to_string(frames) + " \r\n");
  const std::string mono = folder.Read("mono.wav");
  ASSERT_EQ(mono.size(), 46 + frames * 2);
  const auto samples = Le16Samples(mono.substr(46));
  const std::size_t block = audio::CONVERT_BLOCK_FRAMES;
  for (std::size_t i : {std::size_t{0}, std::size_t{1}, block - 1, block, frames - 1}) {
    const int l = static_cast<int>(i % 20000);
    const int r = -static_cast<int>(i % 7) * 1000 - 1;
    EXPECT_EQ(samples[i], (l + r) / 2) << i;
  }
  // VolChgF: every sample of every channel, in blocks of a bank.
  const std::size_t count = static_cast<std::size_t>(WAVE_SAMPLES) + 5;
  std::string pcm;
  pcm.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) pcm += U16(static_cast<std::uint16_t>(i % 3000));
  folder.Write("big.wav", Riff(Chunk("fmt ", Fmt(1, 8000, 16)) + Chunk("data", pcm) + Chunk("LIST", std::string(400, '\x7f'))));
  ASSERT_EQ(audio::ChangeVolume(folder.Path("big.wav"), folder.Path("soft.wav"), 0.5, stores), 1);
  const std::string soft = folder.Read("soft.wav");
  ASSERT_EQ(soft.size(), 46 + count * 2);
  const auto limited = Le16Samples(soft.substr(46));
  for (std::size_t i : {std::size_t{1}, std::size_t{2999}, static_cast<std::size_t>(WAVE_SAMPLES), count - 1}) {
    const double x = static_cast<double>(i % 3000);
    EXPECT_EQ(limited[i], audio::ClampSample(x > 0 ? 32760 - 32760.0 * 32760 / (x * 0.5 + 32760) : 0.0)) << i;
  }
}

}  // namespace
}  // namespace vx::test
