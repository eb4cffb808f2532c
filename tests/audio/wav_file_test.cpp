// WAV reading and writing against files made and read by sox, and against
// hand-made files that are truncated, oversized or oddly chunked.
#include "audio/wav_file.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
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
  // No data chunk, or one with 12-bit samples: nothing, but not malformed.
  EXPECT_EQ(Load(Riff(Chunk("fmt ", Fmt(1, 8000, 16)))).count, 0);
  EXPECT_EQ(Load(Riff(Chunk("fmt ", Fmt(1, 8000, 12)) + Chunk("data", Pcm16({1})))).count, 0);
  EXPECT_EQ(Load(Riff(Chunk("fmt ", Fmt(0, 8000, 16)) + Chunk("data", Pcm16({1})))).count, 0);
  EXPECT_EQ(Load("RIFF").count, 0);
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

}  // namespace
}  // namespace vx::test
