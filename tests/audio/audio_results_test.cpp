// Exact results of the sound APIs on inputs chosen so that a slip shows:
// uneven data, ranges that start and end away from round numbers and the
// ends of the store, tones that fall between bins and between samples.
// Expected values come from the formulas the reference page gives.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <numbers>
#include <thread>
#include <string>
#include <vector>

#include "api/api_test_support.hpp"
#include "audio/audio_system.hpp"
#include "audio/signal.hpp"
#include "audio/wav_file.hpp"
#include "engine/messages.hpp"
#include "engine/system_variables.hpp"
#include "graphics/canvas.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

using audio::WAVE_SAMPLES;

class AudioResultsTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N");
    d = DeclareDouble("D");
    text = DeclareString("S", 64);
    Ready();
  }
  audio::AudioSystem& A() { return audio::System(rt); }
  std::int16_t& Main(std::int32_t i) { return A().stores.Main()[static_cast<std::size_t>(i)]; }
  std::int16_t& Bank(std::int32_t b, std::int32_t i) { return A().stores.Bank(b)[static_cast<std::size_t>(i)]; }
  double& Real(std::int32_t i) { return A().stores.Real()[static_cast<std::size_t>(i)]; }
  double DblWork(int k) { return Double(sysvar::G_DBLWK1 + k - 1); }
  void SetRate(std::int32_t rate) { values::SetLong(rt, sysvar::G_WAVE_RATE, rate); }
  // Fills the bank's [from, from + values.size()) with the values.
  void Put(std::int32_t bank, std::int32_t from, std::initializer_list<std::int16_t> values) {
    for (std::int16_t v : values) Bank(bank, from++) = v;
  }
  std::vector<std::int16_t> Get(std::int32_t bank, std::int32_t from, std::int32_t count) {
    auto s = A().stores.Bank(bank).subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    return {s.begin(), s.end()};
  }
  static std::int16_t Trunc(double v) { return static_cast<std::int16_t>(std::trunc(v)); }
  // Hands the device notices to the family until `done` or a timeout.
  bool Pump(const std::function<bool()>& done, double seconds = 10.0) {
    return ApiTest::Pump(done, [this](const host::Message& m) { audio::HandleDeviceMessage(rt, m); }, seconds);
  }
  // The 16-bit samples of a WAV file the file back end wrote.
  std::vector<std::int16_t> Played(const std::string& name) {
    const std::string file = folder.Read(name);
    std::vector<std::int16_t> v;
    for (std::size_t i = 46; i + 1 < file.size(); i += 2) {
      v.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(file[i]) | (static_cast<std::uint8_t>(file[i + 1]) << 8)));
    }
    return v;
  }
  std::vector<std::int16_t>& Left() { return A().pair.left; }
  std::vector<std::int16_t>& Right() { return A().pair.right; }

  std::int32_t n, d, text;
  TempFolder folder;
};

TEST_F(AudioResultsTest, ElementsAtTheEndsOfTheStore) {
  Main(0) = -7;
  Main(WAVE_SAMPLES - 1) = 13;
  Call("GetWElem", "0, N");
  EXPECT_EQ(Long(n), -7);
  Call("GetWElem", "524287, N");
  EXPECT_EQ(Long(n), 13);
  values::SetLong(rt, n, 5);
  Call("GetWElem", "-1, N");
  EXPECT_EQ(Long(n), 0);
  Call("GetWElem", "0, N, -3");  // any negative bank is the main wave
  EXPECT_EQ(Long(n), -7);
  Call("SetWElem", "-1, 99, 3");
  EXPECT_EQ(Main(0), -7);
  Call("SetWElem", "524287, -40000");
  EXPECT_EQ(Main(WAVE_SAMPLES - 1), -32768);
  Call("SetWElem", "524288, 5");
  Call("SetWElem", "3, 77, 2");
  EXPECT_EQ(Get(-1, 2, 4), (std::vector<std::int16_t>{0, 77, 77, 0}));

  // AddWElem over [from, to): not to, not before from; clamped at the end.
  Put(4, 10, {100, -100, 7, 9});
  Call("AddWElem", "4, 11, 13, 0.5, 3");
  EXPECT_EQ(Get(4, 10, 4), (std::vector<std::int16_t>{100, -299, 21, 9}));  // -100*3+0.5 = -299.5
  Call("AddWElem", "4, -1, 13, 1000");
  EXPECT_EQ(Bank(4, 10), 100);
  Put(4, WAVE_SAMPLES - 2, {1, 2});
  Call("AddWElem", "4, 524286, 600000, -0.9");
  EXPECT_EQ(Get(4, WAVE_SAMPLES - 2, 2), (std::vector<std::int16_t>{0, 1}));

  // GetWaveLevel over [from, to), clamped; 0 below two samples or outside.
  Put(5, 20, {5, -7, 3, 40});
  Call("GetWaveLevel", "5, 20, 23, N");
  EXPECT_EQ(Long(n), 12);
  Call("GetWaveLevel", "5, 21, 24, N");
  EXPECT_EQ(Long(n), 47);
  Put(5, WAVE_SAMPLES - 3, {-3, 8, -1});
  Call("GetWaveLevel", "5, 524285, 900000, N");
  EXPECT_EQ(Long(n), 11);
  Call("GetWaveLevel", "5, 524287, 900000, N");
  EXPECT_EQ(Long(n), 0);
  values::SetLong(rt, n, 9);
  Call("GetWaveLevel", "5, -1, 23, N");
  EXPECT_EQ(Long(n), 0);
  values::SetLong(rt, n, 9);
  Call("GetWaveLevel", "8, 20, 23, N");
  EXPECT_EQ(Long(n), 0);
}

TEST_F(AudioResultsTest, SlopesStretchesAndProjections) {
  Call("MkWvSlope", "2, 2, 6, 10, -30");
  EXPECT_EQ(Get(2, 1, 6), (std::vector<std::int16_t>{0, 10, 0, -10, -20, 0}));
  Call("MkWvSlope", "2, 0, 3, 0, -10");  // integer division truncates toward zero
  EXPECT_EQ(Get(2, 0, 3), (std::vector<std::int16_t>{0, -3, -6}));
  Call("MkWvSlope", "2, 524286, 524290, 40, 80");  // clipped at the end of the store
  EXPECT_EQ(Get(2, WAVE_SAMPLES - 2, 2), (std::vector<std::int16_t>{40, 50}));
  Call("MkWvSlope", "2, -1, 3, 5, 5");
  EXPECT_EQ(Bank(2, 0), 0);

  // StretchWave: s * (f1 (to - i) + f2 (i - from)) / (to - from) on [from, to].
  Put(-1, 100, {1000, 1000, 1000, 1000, 1000, 1000});
  Call("StretchWave", "101, 104, 2.0, -1.0");
  EXPECT_EQ(Get(-1, 100, 6), (std::vector<std::int16_t>{1000, 2000, 1000, 0, -1000, 1000}));
  Call("StretchWave", "100, 100, 0.25, 9");  // one sample: f1
  EXPECT_EQ(Main(100), 250);
  Main(WAVE_SAMPLES - 1) = 300;
  Call("StretchWave", "524287, 600000, 1.5, 1.5");
  EXPECT_EQ(Main(WAVE_SAMPLES - 1), 450);
  Call("StretchWave", "-2, 3, 0, 0");
  EXPECT_EQ(Main(100), 250);

  // PrjctWave: target [from, to] times the source segment stretched over
  // it, the source read as it was before any change.
  // Sample k of n in the target times the source at k (m - 1) / (n - 1).
  auto projected = [](double s, std::vector<double> source, int k, int n) {
    const double scale = n > 1 ? static_cast<double>(source.size() - 1) / (n - 1) : 0.0;
    const double pos = k * scale;
    const auto i = static_cast<std::size_t>(pos);
    const double next = i + 1 < source.size() ? source[i + 1] : source[i];
    return Trunc(s * (source[i] + (next - source[i]) * (pos - static_cast<double>(i))) / 32768.0);
  };
  Put(-1, 200, {8192, 16384, -16384});
  Put(-1, 210, {1001, 2003, 3007, 4001, 5003});
  Call("PrjctWave", "210, 214, 200, 202");
  const double target[] = {1001, 2003, 3007, 4001, 5003};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(Main(210 + k), projected(target[k], {8192, 16384, -16384}, k, 5)) << k;
  }
  EXPECT_EQ(Main(211), 751);  // 2003 * (8192 + 8192 / 2) / 32768
  // Overlapping: the source [300, 302] inside the target [301, 304].
  Put(-1, 300, {32767, 16384, -32768, 5000, 5000});
  Call("PrjctWave", "301, 304, 300, 302");
  const double overlapped[] = {16384, -32768, 5000, 5000};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Main(301 + k), projected(overlapped[k], {32767, 16384, -32768}, k, 4)) << k;
  }
  EXPECT_EQ(Main(300), 32767);
  Put(-1, 400, {-20000});
  Put(-1, 410, {10000});
  Call("PrjctWave", "410, 410, 400, 400");  // one sample times one sample
  EXPECT_EQ(Main(410), Trunc(10000.0 * -20000 / 32768.0));
  Call("PrjctWave", "410, 409, 400, 400");   // to < from
  Call("PrjctWave", "410, 410, 401, 400");   // srcTo < srcFrom
  Call("PrjctWave", "410, 524288, 400, 400");
  Call("PrjctWave", "-1, 410, 400, 400");
  EXPECT_EQ(Main(410), Trunc(10000.0 * -20000 / 32768.0));
}

TEST_F(AudioResultsTest, TheRealWave) {
  Put(3, 10, {100, -200, 300, 400});
  Call("AddBkToReal", "3, 11, 13, 500");  // real[500 + i - 11] += bank[i]
  EXPECT_EQ(Real(499), 0.0);
  EXPECT_EQ(Real(500), -200.0);
  EXPECT_EQ(Real(501), 300.0);
  EXPECT_EQ(Real(502), 0.0);
  Put(3, 20, {1, 2, 3, 4, 5});
  Call("AddBkToReal", "3, 20, 25, 524285");  // only three fit
  EXPECT_EQ(Real(WAVE_SAMPLES - 3), 1.0);
  EXPECT_EQ(Real(WAVE_SAMPLES - 1), 3.0);
  Call("AddBkToReal", "-1, 11, 13, 600");  // the main wave is not a bank here
  Call("AddBkToReal", "3, 11, 13, 524288");
  Call("AddBkToReal", "3, -1, 13, 600");
  Call("AddBkToReal", "3, 11, 13, -1");
  EXPECT_EQ(Real(600), 0.0);
  EXPECT_EQ(Real(0), 0.0);

  Put(1, 30, {3000, 7, -32768});
  Put(2, 30, {-5000, 11, -32768});
  Call("MixBkToReal", "1, 2, 30, 33");
  EXPECT_DOUBLE_EQ(Real(30), 3000.0 * -5000 / 32768);
  EXPECT_DOUBLE_EQ(Real(31), 77.0 / 32768);
  EXPECT_DOUBLE_EQ(Real(32), 32768.0);
  Call("MixBkToReal", "1, 2, 31, 32");  // again: added
  EXPECT_DOUBLE_EQ(Real(31), 154.0 / 32768);
  EXPECT_DOUBLE_EQ(Real(30), 3000.0 * -5000 / 32768);
  Call("MixBkToReal", "1, 2, -1, 32");
  Call("MixBkToReal", "1, 8, 30, 32");
  EXPECT_DOUBLE_EQ(Real(31), 154.0 / 32768);

  Call("ClearRWv", "");
  Real(5) = -3000;
  Real(6) = 1234.5;
  Call("WvR2S", "2");
  auto limit = [](double real, double k) {
    const double x = real * k;
    return real > 0 ? 32760 - 32760.0 * 32760 / (x + 32760) : -(32760 - 32760.0 * 32760 / (32760 - x));
  };
  EXPECT_EQ(Main(5), Trunc(limit(-3000, 2)));
  EXPECT_EQ(Main(6), Trunc(limit(1234.5, 2)));
  Call("WvR2S", "0.001");  // the floor itself is a gain
  EXPECT_EQ(Main(6), Trunc(limit(1234.5, 0.001)));
  Call("WvR2S", "-4");
  EXPECT_EQ(Main(6), Trunc(limit(1234.5, 1)));

  // Pulses: (sin(2 pi k / period - pi / 2) + 1) * amplitude * decay^j.
  Call("ClearRWv", "");
  Call("MkWvPls", "-2, 5, 100, 3, 7, 0.5");
  auto pulse = [](int k, double gain) { return (std::sin(2 * std::numbers::pi * k / 5 - std::numbers::pi / 2) + 1) * gain; };
  EXPECT_DOUBLE_EQ(Real(0), pulse(2, 100));  // the first pulse starts before the store
  EXPECT_DOUBLE_EQ(Real(2), pulse(4, 100));
  EXPECT_DOUBLE_EQ(Real(3), 0.0);
  EXPECT_DOUBLE_EQ(Real(6), pulse(1, 50));
  EXPECT_DOUBLE_EQ(Real(13), pulse(1, 25));
  EXPECT_DOUBLE_EQ(Real(19), 0.0);  // three pulses only
  Call("ClearRWv", "");
  Call("MkWvPls", "524286, 0, 10, 4, 1, 1");  // period 0 counts as 1: the bottom of each pulse, 0
  EXPECT_DOUBLE_EQ(Real(WAVE_SAMPLES - 1), 0.0);
  Call("MkWvPls", "524286, 4, 10, 1, 1, 1");
  EXPECT_NEAR(Real(WAVE_SAMPLES - 1), 10.0, 1e-9);  // the middle of a 4-sample pulse

  // MkSinWv: amplitude sin((k + phase) 2 pi / period) from from.
  Call("MkSinWv", "50, 54, 6.5, 1000, 1.25");
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Main(50 + k), Trunc(1000 * std::sin((k + 1.25) * 2 * std::numbers::pi / 6.5))) << k;
  }
  EXPECT_EQ(Main(54), 0);
  Call("MkSinWv", "60, 62, 0.25, 1000, 0.25");  // period below 1 counts as 1
  EXPECT_EQ(Main(60), 1000);
  EXPECT_EQ(Main(61), Trunc(1000 * std::sin(1.25 * 2 * std::numbers::pi)));
  Call("MkSinWv", "-1, 62, 8, 1000, 2");
  EXPECT_EQ(Main(60), 1000);
  Call("MkSinWv", "524287, 700000, 8, 1000, 2");
  EXPECT_EQ(Main(WAVE_SAMPLES - 1), 1000);
}

TEST_F(AudioResultsTest, BankCopiesAndDifferences) {
  Main(0) = 11;
  Main(WAVE_SAMPLES - 1) = -12;
  Call("WaveBkUp", "7, 0");
  EXPECT_EQ(Bank(7, 0), 11);
  EXPECT_EQ(Bank(7, WAVE_SAMPLES - 1), -12);
  Bank(6, 3) = 5;
  Call("WaveBkUp", "-1, 1");  // not a bank
  Call("WaveBkUp", "8, 1");
  EXPECT_EQ(Main(0), 11);
  Call("WaveBkUp", "6, 2");  // any direction but 0 restores
  EXPECT_EQ(Main(0), 0);
  EXPECT_EQ(Main(3), 5);

  Put(1, 0, {10, 20, 30, 40});
  Put(2, 0, {1, 2, 3, 4, 5});
  Call("CopyWvBk", "1, 2, 1, 3, 0, 2");  // copy [1, 3) to 2
  EXPECT_EQ(Get(2, 0, 5), (std::vector<std::int16_t>{1, 2, 20, 30, 5}));
  Call("CopyWvBk", "1, 2, 0, 3, 3, 1");  // backwards and added
  EXPECT_EQ(Get(2, 0, 5), (std::vector<std::int16_t>{1, 32, 40, 40, 5}));
  Call("CopyWvBk", "1, 2, 0, 2, 4, 0");  // 4 alone: copy
  EXPECT_EQ(Get(2, 0, 3), (std::vector<std::int16_t>{10, 20, 40}));
  Put(1, 10, {-30000, 30000});
  Put(2, 10, {-30000, -30000});
  Call("CopyWvBk", "1, 2, 10, 12, 2, 10");
  EXPECT_EQ(Get(2, 10, 2), (std::vector<std::int16_t>{-32767, 0}));
  Call("CopyWvBk", "1, 2, 10, 12, 6, 10");  // subtract
  EXPECT_EQ(Get(2, 10, 2), (std::vector<std::int16_t>{-2767, -30000}));
  Put(1, 20, {7, 8, 9});
  Call("CopyWvBk", "1, 2, 20, 23, 0, 524286");  // stops at the end of the store
  EXPECT_EQ(Get(2, WAVE_SAMPLES - 2, 2), (std::vector<std::int16_t>{7, 8}));
  Call("CopyWvBk", "1, 2, 20, 23, 0, -1");
  Call("CopyWvBk", "1, 2, -1, 23, 0, 0");
  Call("CopyWvBk", "1, 8, 20, 23, 0, 0");
  EXPECT_EQ(Bank(2, 0), 10);
  Put(1, WAVE_SAMPLES - 2, {-4, -5});
  Call("CopyWvBk", "1, 2, 524286, 600000, 1, 0");  // the end clamped, then read backwards
  EXPECT_EQ(Get(2, 0, 3), (std::vector<std::int16_t>{-5, -4, 40}));

  // WvDiff: bank[i - 1] = d[i] * 32000 / max |d| for i in (from, to).
  Put(-1, 100, {0, 3, -6, -5, 100});
  Call("WvDiff", "3, 100, 104");  // d = 3, -9, 1; max 9
  EXPECT_EQ(Get(3, 99, 5), (std::vector<std::int16_t>{0, 3 * 32000 / 9, -32000, 32000 / 9, 0}));
  Call("WvDiff", "3, 101, 102");  // fewer than two samples
  Call("WvDiff", "-1, 100, 104");
  Call("WvDiff", "8, 100, 104");
  Put(-1, 200, {5, 5, 5});
  Call("WvDiff", "3, 200, 203");  // all differences 0
  EXPECT_EQ(Bank(3, 200), 0);
  EXPECT_EQ(Bank(3, 101), -32000);

  // HPFltrRC: y = x - acc / (k / 40000 / 700), acc += y / 1e7.
  const std::int16_t x[] = {10000, 10000, -20000, 5, 32767};
  Put(-1, 300, {10000, 10000, -20000, 5, 32767});
  Main(305) = 77;
  Call("HPFltrRC", "300, 305, 10000");
  const double divisor = 10000 / (40000.0 * 700.0);
  double acc = 0;
  for (int i = 0; i < 5; ++i) {
    const double y = x[i] - acc / divisor;
    acc += y / 1e7;
    EXPECT_EQ(Main(300 + i), audio::ClampSample(y)) << i;
  }
  EXPECT_EQ(Main(305), 77);
  Call("HPFltrRC", "-1, 305, 1");
  EXPECT_EQ(Main(305), 77);
}

TEST_F(AudioResultsTest, TheSpectrumTable) {
  for (int c = 0; c < 3000; ++c) A().stores.SetSpectrum(4, c, static_cast<std::uint8_t>(c % 251));
  A().stores.SetSpectrum(5, 7, 9);
  Call("ClearWSpc", "4");
  EXPECT_EQ(A().stores.Spectrum(4, 2999), 0);
  EXPECT_EQ(A().stores.Spectrum(5, 7), 9);
  Call("SetWSpct", "6, 2998, 100");
  Call("SetWSpct", "6, 2999, 200");
  Call("SetWSpct", "6, 0, 300");  // clamped to 255
  Call("SetWSpct", "6, 1, -5");
  EXPECT_EQ(A().stores.Spectrum(6, 0), 255);
  Call("GetWSpct", "6, 1, N");
  EXPECT_EQ(Long(n), 0);
  Call("GetWSpct", "6, -9, N");
  EXPECT_EQ(Long(n), 255);
  Call("GetWSpctAtWv", "6, 661160, N");  // c = 2998, r = 101
  EXPECT_EQ(Long(n), (100 * (220 - 101) + 200 * 101) / 220);
  Call("GetWSpctAtWv", "6, -50, N");  // negative x reads column 0
  EXPECT_EQ(Long(n), 255);
  Call("GetWSpctAtWv", "6, 661280, N");  // c = 2999: past the table
  EXPECT_EQ(Long(n), 0);

  // ChgWSpc over rows [from, to]: cell * factor + offset, clamped.
  A().stores.SetSpectrum(10, 5, 100);
  A().stores.SetSpectrum(11, 5, 200);
  A().stores.SetSpectrum(12, 5, 100);
  A().stores.SetSpectrum(9, 5, 100);
  Call("ChgWSpc", "10, 11, 1.5, -20.5");
  EXPECT_EQ(A().stores.Spectrum(10, 5), 129);
  EXPECT_EQ(A().stores.Spectrum(11, 5), 255);
  EXPECT_EQ(A().stores.Spectrum(12, 5), 100);
  EXPECT_EQ(A().stores.Spectrum(9, 5), 100);
  EXPECT_EQ(A().stores.Spectrum(10, 6), 0);
  Call("ChgWSpc", "12, 12, -1");
  EXPECT_EQ(A().stores.Spectrum(12, 5), 0);
  Call("ChgWSpc", "-5, 9, 0.5");
  EXPECT_EQ(A().stores.Spectrum(9, 5), 50);

  // Files: the first rows rows, clamped to the table.
  A().stores.SetSpectrum(169, 2999, 42);
  Call("SaveSpctF", "\"" + folder.Path("all.bin") + "\", 500");
  EXPECT_EQ(folder.Read("all.bin").size(), 510000u);
  Call("SaveSpctF", "\"" + folder.Path("none.bin") + "\", -3");
  EXPECT_EQ(folder.Read("none.bin").size(), 0u);
  Call("ClearWSpc", "-1");
  folder.Write("short.bin", std::string(3001, '\x07'));
  Call("LoadSpctF", "\"" + folder.Path("short.bin") + "\"");
  EXPECT_EQ(A().stores.Spectrum(1, 0), 7);
  EXPECT_EQ(A().stores.Spectrum(1, 1), 0);
  Call("LoadSpctF", "\"" + folder.Path("all.bin") + "\"");
  EXPECT_EQ(A().stores.Spectrum(169, 2999), 42);
  EXPECT_EQ(A().stores.Spectrum(10, 5), 129);
}

// A tone's strongest column of a spectrum row.
std::int32_t PeakColumn(audio::WaveStores& stores, std::int32_t row) {
  std::int32_t best = 1;
  for (std::int32_t c = 2; c < audio::SPECTRUM_COLUMNS; ++c) {
    if (stores.Spectrum(row, c) > stores.Spectrum(row, best)) best = c;
  }
  return best;
}

TEST_F(AudioResultsTest, SpectrogramRowsFollowTheirFrames) {
  SetRate(8000);
  // 1101.3 Hz for the first frame, 2433.9 Hz after it: columns 826 and 1825.
  Call("MkTone", "2, 0, 6000, 1101.3, 16000");
  Call("MkTone", "2, 6000, 30000, 2433.9, 16000");
  for (int c = 0; c < 3000; ++c) A().stores.SetSpectrum(2, c, 77);
  Call("MkWaveSPC", "2, 0, 6000, 2");
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(PeakColumn(A().stores, 0), 826);
  EXPECT_EQ(PeakColumn(A().stores, 1), 1825);
  EXPECT_EQ(A().stores.Spectrum(2, 5), 77);  // the third row is not made
  const int full = A().stores.Spectrum(1, 1825);
  Call("MkWaveSPC", "2, 0, 6000, 2, 0.5");  // half the magnitude: 6.02 dB less
  EXPECT_NEAR(A().stores.Spectrum(1, 1825), full - 17, 1);
  // Rows step on: row 1 of a step of 3000 straddles both tones.
  Call("MkWaveSPC", "2, 3000, 3000, 3");
  EXPECT_EQ(PeakColumn(A().stores, 1), 1825);
  EXPECT_GT(A().stores.Spectrum(0, 826), 200);
  EXPECT_GT(A().stores.Spectrum(0, 1825), 200);
  // Frames before the store: zeros, however far before.
  Call("MkWaveSPC", "2, -100000, 1, 1");
  EXPECT_EQ(A().stores.Spectrum(0, 826), 0);
  Call("MkWaveSPC", "2, -3000, 1, 1");  // half a frame of silence first
  EXPECT_EQ(PeakColumn(A().stores, 0), 826);
  Call("MkWaveSPC", "2, 0, 6000, 400");  // rows clamp to the table
  EXPECT_EQ(Work(1), 170);
  // WaveMagToSpc: one row, any row index clamped.
  Call("WaveMagToSpc", "500, 2, 6000");
  EXPECT_EQ(PeakColumn(A().stores, 169), 1825);
  Call("WaveMagToSpc", "7, 2, 0, 0.5");
  EXPECT_EQ(PeakColumn(A().stores, 7), 826);
  Call("WaveMagToSpc", "8, 2, 0, 1");
  EXPECT_NEAR(A().stores.Spectrum(8, 826), A().stores.Spectrum(7, 826) + 17, 1);
}

TEST_F(AudioResultsTest, CrossingsLevelsAndMeans) {
  SetRate(6000);
  // Rising crossings: -1 -> 0 (at 1), -2 -> 4 (at 5) and -1 -> 1 (at 7);
  // 0 -> 5 is no crossing.
  Put(3, 100, {-1, 0, 5, -3, -2, 4, -1, 1, 3});
  Call("FrqChk", "3, 100, 108, D");
  EXPECT_EQ(Work(1), 3);
  EXPECT_DOUBLE_EQ(Double(d), 2 * 6000.0 / 6);
  Call("FrqChk", "3, 100, 104, D");  // one crossing: no frequency
  EXPECT_EQ(Work(1), 1);
  EXPECT_EQ(Double(d), 0.0);
  values::SetDouble(rt, d, 5.0);
  Call("FrqChk", "3, 100, 100, D");
  EXPECT_EQ(Double(d), 0.0);
  // AnlzWave: peak |s|, RMS and mean (both truncated), RMS in dBFS, the
  // strongest and the crossing frequency.
  Put(4, 10, {3, -10, 0, 0, -1, 2});
  Call("AnlzWave", "4, 10, 14");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Work(1), 10);
  EXPECT_EQ(Work(2), 5);   // sqrt(109 / 4) = 5.22
  EXPECT_EQ(Work(3), -1);  // -7 / 4 = -1.75
  EXPECT_DOUBLE_EQ(DblWork(1), 20 * std::log10(std::sqrt(109.0 / 4) / 32768));
  Call("AnlzWave", "4, 13, 16");
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Work(3), 0);
  EXPECT_DOUBLE_EQ(DblWork(3), 0.0);
  Call("MkTone", "5, 0, 6000, 345.67, 12000");
  Call("AnlzWave", "5, 0, 6000");
  EXPECT_NEAR(DblWork(2), 345.67, 0.005);
  EXPECT_NEAR(DblWork(3), 345.67, 0.5);
  Call("AnlzWave", "8, 0, 10");
  EXPECT_EQ(Error(), 1);
  Call("AnlzWave", "5, 6000, 6000");
  EXPECT_EQ(Error(), 1);
}

TEST_F(AudioResultsTest, TonesAndTheirPhase) {
  SetRate(11025);
  Call("MkTone", "6, 7, 107, 441.5, 9000.5, 90");
  EXPECT_EQ(Work(1), 100);
  const double w = 2.0 * std::numbers::pi * 441.5 / 11025;
  for (int i = 0; i < 100; i += 7) {
    EXPECT_EQ(Bank(6, 7 + i), audio::ClampSample(9000.5 * std::sin(w * i + 90 * std::numbers::pi / 180.0))) << i;
  }
  EXPECT_EQ(Bank(6, 7), 9000);
  EXPECT_EQ(Bank(6, 6), 0);
  EXPECT_EQ(Bank(6, 107), 0);
  Call("MkTone", "6, 524286, 600000, 100, 40000, 90");  // clipped range, clamped samples
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Bank(6, WAVE_SAMPLES - 2), 32767);
  values::SetLong(rt, sysvar::G_WORK1, 55);
  Call("MkTone", "6, 20, 20, 100, 100");
  Call("MkTone", "8, 0, 20, 100, 100");
  EXPECT_EQ(Work(1), 55);
  SetRate(0);  // 22,050 Hz
  Call("MkTone", "6, 0, 10, 2205, 1000, 30");
  EXPECT_EQ(Bank(6, 1), audio::ClampSample(1000 * std::sin(2.0 * std::numbers::pi * 2205 / 22050 + 30 * std::numbers::pi / 180.0)));
}

TEST_F(AudioResultsTest, FiltersByTheirCutOff) {
  SetRate(16000);
  Call("MkTone", "1, 0, 4000, 300.7, 8000");
  Call("MkTone", "2, 0, 4000, 5100.3, 8000");
  Call("PasteWv", "2, 0, 4000, 1, 0");
  std::vector<std::int16_t> expected = Get(1, 5, 3000);
  audio::Biquad(expected, audio::BiquadKind::kLowPass, 1234.5, 16000, 0.9);
  Call("LPFltr", "1, 5, 3005, 1234.5, 0.9");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Get(1, 5, 3000), expected);
  expected = Get(1, 1000, 1500);
  audio::Biquad(expected, audio::BiquadKind::kHighPass, 2000, 16000, std::numbers::sqrt2 / 2);
  Call("HPFltr", "1, 1000, 2500, 2000");
  EXPECT_EQ(Get(1, 1000, 1500), expected);
  const auto before = Get(1, 0, 4000);
  for (const char* bad : {"1, 0, 4000, 8000", "1, 0, 4000, 0", "1, 0, 4000, -5", "1, 0, 4000, 100, 0",
                          "1, 0, 4000, 100, -1", "1, 10, 10, 100", "8, 0, 10, 100", "1, -1, 10, 100"}) {
    values::SetLong(rt, sysvar::G_ERROR, 0);
    Call("LPFltr", bad);
    EXPECT_EQ(Error(), 1) << bad;
  }
  Call("HPFltr", "1, 0, 4000, 7999.9");
  EXPECT_EQ(Error(), 0);
  EXPECT_NE(Get(1, 0, 4000), before);
}

TEST_F(AudioResultsTest, PastingAndSpeedChanges) {
  Put(1, 10, {100, -200, 30000, 5});
  Put(2, 500, {1, 1, 10000, 7});
  Call("PasteWv", "1, 10, 13, 2, 500, 1.5");
  EXPECT_EQ(Get(2, 500, 4), (std::vector<std::int16_t>{151, -299, 32767, 7}));
  Call("PasteWv", "1, 10, 12, 2, 524287");  // what fits; gain 1
  EXPECT_EQ(Bank(2, WAVE_SAMPLES - 1), 100);
  Put(3, 0, {1000, 2000, 3000});
  Call("PasteWv", "3, 0, 3, 3, 1, -1");  // onto itself: the source as it was
  EXPECT_EQ(Get(3, 0, 4), (std::vector<std::int16_t>{1000, 1000, 1000, -3000}));
  Call("PasteWv", "3, 0, 3, 3, -1");
  Call("PasteWv", "3, 0, 3, 8, 0");
  EXPECT_EQ(Bank(3, 0), 1000);

  // FreqChg: dst[k] = the source at k * ratio (cubic), floor(n / ratio) samples.
  Put(4, 20, {0, 1000, -3000, 500, 2500});
  const std::vector<std::int16_t> src = Get(4, 20, 5);
  Call("FreqChg", "4, 20, 25, 0.5, 5, 100");
  EXPECT_EQ(Work(1), 10);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(Bank(5, 100 + k), audio::ClampSample(audio::Interpolate(src, k * 0.5))) << k;
  }
  EXPECT_EQ(Bank(5, 110), 0);
  Call("FreqChg", "4, 20, 25, 3");  // into itself, from 20
  EXPECT_EQ(Work(1), 1);
  EXPECT_EQ(Get(4, 20, 2), (std::vector<std::int16_t>{0, 1000}));
  Call("FreqChg", "4, 20, 25, 1.5, 4, 21");
  EXPECT_EQ(Work(1), 3);
  EXPECT_EQ(Bank(4, 22), audio::ClampSample(audio::Interpolate(src, 1.5)));
  Call("FreqChg", "4, 20, 25, 0.25, 6, 524280");  // clipped at the end of the store
  EXPECT_EQ(Work(1), 8);
  Call("FreqChg", "4, 20, 25, 0");
  EXPECT_EQ(Work(1), 0);
  Call("FreqChg", "4, 20, 25, 2, 6, -1");
  EXPECT_EQ(Work(1), 0);
  Call("FreqChg", "4, 20, 25, 2, 8");
  EXPECT_EQ(Work(1), 0);
}

TEST_F(AudioResultsTest, WowAndGateMasks) {
  SetRate(8000);
  Call("MkTone", "1, 0, 2000, 123.4, 20000");
  const std::vector<std::int16_t> src = Get(1, 0, 2000);
  Call("WaveWowwow", "1, 0, 2000, 2.5, 3.5");
  for (int i = 0; i < 2000; i += 37) {
    const double delay = 3.5 * 8000 / 1000.0 * (1.0 - std::cos(2.0 * std::numbers::pi * 2.5 * i / 8000)) / 2.0;
    EXPECT_EQ(Bank(1, i), audio::ClampSample(audio::Interpolate(src, std::max(i - delay, 0.0)))) << i;
  }
  Call("MkTone", "1, 0, 2000, 123.4, 20000");
  Call("WaveWowwow", "1, 0, 2000, 2.5, -3");  // no depth: unchanged
  EXPECT_EQ(Get(1, 0, 2000), src);

  // The envelope: instant attack, exp(-1000 / (release ms * rate)) a sample.
  Put(2, 0, {0, 1000, 0, 0, 0, 0, -900, 0});
  Call("WaveToMask", "2, 0, 8, 3, 700, 1");
  EXPECT_EQ(Get(3, 0, 8), (std::vector<std::int16_t>{0, 32767, 32767, 32767, 0, 0, 32767, 32767}));
  EXPECT_EQ(Work(1), 5);
  Call("WaveToMask", "2, 0, 8, 3, 700");  // 10 ms: falls slowly
  EXPECT_EQ(Work(1), 7);
  Call("WaveToMask", "2, 1, 3, 4, 999");
  EXPECT_EQ(Get(4, 0, 4), (std::vector<std::int16_t>{0, 32767, 0, 0}));
  Call("WaveToMask", "2, 1, 3, 4, 1000");  // above, not at
  EXPECT_EQ(Work(1), 0);
  values::SetLong(rt, sysvar::G_WORK1, 9);
  Call("WaveToMask", "2, 0, 8, 8, 700");
  EXPECT_EQ(Work(1), 9);
}

TEST_F(AudioResultsTest, DrawingWavesAndSpectra) {
  graphics::Canvas canvas = graphics::Canvas::Current(rt.vram);
  const graphics::Color paper = canvas.Get(0, 0);
  const graphics::Color ink = graphics::FromPacked(0x102030);
  Put(3, 40, {32767, -32768, 0, 0, 16384});
  // Height 11: full scale spans rows 0 to 10; columns join their neighbours.
  Call("WvDraw", "3, 40, 44, 100, 200, 4, 11, 0x102030");
  auto column = [&](int x) {
    std::string marks;
    for (int y = 199; y <= 211; ++y) marks += canvas.Get(x, y) == ink ? '#' : '.';
    return marks;
  };
  EXPECT_EQ(column(100), ".#...........");
  EXPECT_EQ(column(101), ".###########.");
  EXPECT_EQ(column(102), "......######.");
  EXPECT_EQ(column(103), "......#......");
  EXPECT_EQ(column(104), ".............");
  EXPECT_EQ(canvas.Get(99, 200), paper);
  // Two samples a column: each column spans its own extremes.
  rt.vram.DrawColor() = graphics::Color{1, 2, 3};
  Call("WvDraw", "3, 40, 44, 300, 200, 2, 11");
  EXPECT_EQ(canvas.Get(300, 200), rt.vram.DrawColor());
  EXPECT_EQ(canvas.Get(300, 210), rt.vram.DrawColor());

  // The heat map: time left to right, frequency bottom to top.
  A().stores.SetSpectrum(0, 0, 10);
  A().stores.SetSpectrum(0, 1, 70);
  A().stores.SetSpectrum(1, 0, 130);
  A().stores.SetSpectrum(1, 1, 200);
  Call("SpctDraw", "0, 1, 0, 1, 50, 60, 2, 2");
  EXPECT_EQ(canvas.Get(50, 61), (graphics::Color{40, 0, 0}));
  EXPECT_EQ(canvas.Get(50, 60), (graphics::Color{231, 0, 24}));
  EXPECT_EQ(canvas.Get(51, 61), (graphics::Color{0, 8, 255}));
  EXPECT_EQ(canvas.Get(51, 60), (graphics::Color{32, 255, 255}));
  EXPECT_EQ(canvas.Get(52, 60), paper);
  EXPECT_EQ(canvas.Get(50, 62), paper);
  // The colour scale at its joins: blue, to red, to yellow, to white.
  const std::uint8_t levels[] = {63, 64, 127, 128, 191, 192, 255};
  for (int i = 0; i < 7; ++i) {
    A().stores.SetSpectrum(2, 0, levels[i]);
    Call("SpctDraw", "2, 2, 0, 0, " + std::to_string(10 + i) + ", 5, 1, 1");
  }
  EXPECT_EQ(canvas.Get(10, 5), (graphics::Color{252, 0, 0}));
  EXPECT_EQ(canvas.Get(11, 5), (graphics::Color{255, 0, 0}));
  EXPECT_EQ(canvas.Get(12, 5), (graphics::Color{3, 0, 252}));
  EXPECT_EQ(canvas.Get(13, 5), (graphics::Color{0, 0, 255}));
  EXPECT_EQ(canvas.Get(14, 5), (graphics::Color{0, 252, 255}));
  EXPECT_EQ(canvas.Get(15, 5), (graphics::Color{0, 255, 255}));
  EXPECT_EQ(canvas.Get(16, 5), (graphics::Color{252, 255, 255}));
  Call("SpctDraw", "0, 1, 0, 1, 70, 60, 0, 2");  // no width: nothing
  Call("SpctDraw", "1, 0, 0, 1, 70, 60, 2, 2");  // rows backwards: nothing
  EXPECT_EQ(canvas.Get(70, 60), paper);
}

TEST_F(AudioResultsTest, PairEditing) {
  Call("AudioCtrl", "0, 6");
  Left() = {10, -20, 30, -40, 50, -60};
  Right() = {1, 2, 3, 4, 5, 6};
  A().length = 5;
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(1), 0);
  EXPECT_EQ(Work(2), 5);
  Call("AudioCtrl", "10");  // over [0, L) of both sides
  EXPECT_EQ(Work(1), 50);
  EXPECT_EQ(Work(2), -40);
  Call("AudioCtrl", "11, 3, 2");
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{15, -30, 45, -60, 75, -60}));
  EXPECT_EQ(Right(), (std::vector<std::int16_t>{1, 3, 4, 6, 7, 6}));
  Call("AudioCtrl", "11, 1, 0");  // a divisor below 1 counts as 1
  Call("AudioCtrl", "11, 1, -5");
  EXPECT_EQ(Left()[4], 75);
  Call("AudioCtrl", "11, 600, 1");  // clamped
  EXPECT_EQ(Left()[0], 9000);
  EXPECT_EQ(Left()[3], -32768);
  EXPECT_EQ(Left()[4], 32767);
  Left() = {10, 20, 30, 40, 50, 60};
  Right() = {1, 2, 3, 4, 5, 6};
  Call("AudioCtrl", "8, 7, 1, 10");  // right onto left over [1, L)
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{10, 2, 3, 4, 5, 60}));
  Call("AudioCtrl", "8, 0, -2, 3");  // left onto right over [0, 1)
  EXPECT_EQ(Right(), (std::vector<std::int16_t>{10, 2, 3, 4, 5, 6}));
  Call("AudioCtrl", "8, 0, 3, 1");
  EXPECT_EQ(Right()[3], 4);
  EXPECT_EQ(Right()[4], 5);
  // Deleting: the tail within L moves down.
  Left() = {10, 20, 30, 40, 50, 60};
  Call("AudioCtrl", "7, 1, 2");
  EXPECT_EQ(Work(1), 3);
  EXPECT_EQ(std::vector<std::int16_t>(Left().begin(), Left().begin() + 3), (std::vector<std::int16_t>{10, 40, 50}));
  Call("AudioCtrl", "7, -4, 1");
  EXPECT_EQ(Work(1), 2);
  EXPECT_EQ(Left()[0], 40);
  EXPECT_EQ(Left()[1], 50);
  Call("AudioCtrl", "7, 2, 1");  // at L: nothing
  Call("AudioCtrl", "7, 0, 0");
  Call("AudioCtrl", "7, 0, -3");
  EXPECT_EQ(Work(1), 2);
  Call("AudioCtrl", "7, 1, 100");
  EXPECT_EQ(Work(1), 1);
  Call("AudioCtrl", "7, 0, 100");
  EXPECT_EQ(Work(1), 0);
  Left()[0] = 99;
  Call("AudioCtrl", "10");
  EXPECT_EQ(Work(1), 0);
  EXPECT_EQ(Work(2), 0);
  // Between the pair and the main wave with bank 0; outside either: skipped.
  Left() = {10, 20, 30, 40, 50, 60};
  Right() = {1, 2, 3, 4, 5, 6};
  Call("AudioCtrl", "5, 4, 524286, 5");
  EXPECT_EQ(Main(WAVE_SAMPLES - 2), 50);
  EXPECT_EQ(Main(WAVE_SAMPLES - 1), 60);
  EXPECT_EQ(Bank(0, WAVE_SAMPLES - 1), 6);
  Call("AudioCtrl", "5, -1, 10, 3");
  EXPECT_EQ(Get(-1, 10, 3), (std::vector<std::int16_t>{0, 10, 20}));
  EXPECT_EQ(Get(0, 10, 3), (std::vector<std::int16_t>{0, 1, 2}));
  Put(-1, 0, {-7, -8});
  Put(0, 0, {-9, -10});
  Call("AudioCtrl", "6, -2, -1, 3");
  EXPECT_EQ(Left()[0], 10);
  EXPECT_EQ(Left()[1], -7);
  EXPECT_EQ(Right()[1], -9);
  Call("AudioCtrl", "6, 524286, 4, 5");
  EXPECT_EQ(Left()[4], 50);
  EXPECT_EQ(Left()[5], 60);
  Main(WAVE_SAMPLES - 2) = 0;
  Call("AudioCtrl", "6, 524286, 4, 1");
  EXPECT_EQ(Left()[4], 0);
  EXPECT_EQ(Left()[5], 60);
  // Mode 0 within its limits; mode 900 frees.
  Call("AudioCtrl", "0, 16777217");
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(A().pair.Exists());
  Call("AudioCtrl", "0, 1");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(A().pair.Size(), 1);
  Call("AudioCtrl", "900");
  EXPECT_FALSE(A().pair.Exists());
  Call("AudioCtrl", "11, 1, 1");
  EXPECT_EQ(Error(), 1);
}

TEST_F(AudioResultsTest, RcFiltersStepByStep) {
  SetRate(8000);  // tau 250 us: each step takes half the way
  Call("AudioCtrl", "0, 5");
  A().length = 4;
  auto fill = [&] {
    Left() = {1000, 1000, -1000, 0, 77};
    Right() = {-2000, 0, 0, 0, 77};
  };
  fill();
  Call("AudioCtrl", "12, 250, 0, 0");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{500, 750, -125, -62, 77}));
  EXPECT_EQ(Right(), (std::vector<std::int16_t>{-1000, -500, -250, -125, 77}));
  fill();
  Call("AudioCtrl", "13, 250, 0, 0");
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{500, 250, -875, 62, 77}));
  fill();
  Call("AudioCtrl", "12, 250, 50, 0");  // x + y * 50 / 100, in whole numbers
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{1250, 1375, -1062, -31, 77}));
  EXPECT_EQ(Error(), 0);
  fill();
  Call("AudioCtrl", "12, 0, 0, 0");  // no time constant: silence
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{0, 0, 0, 0, 77}));
  fill();
  Call("AudioCtrl", "12, 0, 30, 0");
  EXPECT_EQ(Left(), (std::vector<std::int16_t>{1000, 1000, -1000, 0, 77}));
  fill();
  Call("AudioCtrl", "12, 1, 0, 0");  // the shortest time constant: 125 times the way
  EXPECT_EQ(Left()[0], 32767);
  EXPECT_EQ(Left()[1], -32768);
  // Clipping by the mix: -1 (G_ERROR 1), the samples clamped.
  Left() = {30000, 30000, 0, 0, 0};
  Right() = {0, 0, 0, 0, 0};
  Call("AudioCtrl", "12, 250, 100, 0");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Left()[0], 32767);
  Right() = {-30000, -30000, 0, 0, 0};
  Left() = {0, 0, 0, 0, 0};
  Call("AudioCtrl", "12, 250, 100, 0");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Right()[1], -32768);
  // The main wave and bank 0: a4 samples, 0 for all of them.
  Put(-1, 0, {1000, 1000, 1000, 1000});
  Put(0, 0, {400, 400, 400});
  Main(WAVE_SAMPLES - 1) = 1000;
  Call("AudioCtrl", "12, 250, 0, 1, 3");
  EXPECT_EQ(Get(-1, 0, 4), (std::vector<std::int16_t>{500, 750, 875, 1000}));
  EXPECT_EQ(Get(0, 0, 3), (std::vector<std::int16_t>{200, 300, 350}));
  EXPECT_EQ(Main(WAVE_SAMPLES - 1), 1000);
  Call("AudioCtrl", "13, 250, 0, 7, 0");
  EXPECT_EQ(Main(0), 250);
  EXPECT_NE(Main(WAVE_SAMPLES - 1), 1000);
  Call("AudioCtrl", "12, 250, 0, 1, -4");  // no samples
  EXPECT_EQ(Main(0), 250);
  EXPECT_EQ(Error(), 0);
  Call("AudioCtrl", "900");
  Call("AudioCtrl", "12, 250, 0, 0");
  EXPECT_EQ(Error(), 1);
  SetRate(1);
  Call("AudioCtrl", "12, 250, 0, 1, 1");
  EXPECT_EQ(Error(), 0);
}

TEST_F(AudioResultsTest, VolumesAndDeviceBufferSizes) {
  Call("AudioCtrl", "20, 0, 100");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(A().volume_left, 0);
  EXPECT_EQ(A().volume_right, 100);
  for (const char* bad : {"20, -1, 50", "20, 50, -1", "20, 50, 101", "20, 101, 0"}) {
    Call("AudioCtrl", bad);
    EXPECT_EQ(Error(), 1) << bad;
  }
  EXPECT_EQ(A().volume_left, 0);
  EXPECT_EQ(A().volume_right, 100);
  Call("AudioCtrl", "21, 32000");
  EXPECT_EQ(A().rec_buffer_samples, 32000);
  Call("AudioCtrl", "21, 1000");
  EXPECT_EQ(A().rec_buffer_samples, 1000);
  Call("AudioCtrl", "21, 32001");
  Call("AudioCtrl", "21, 999");
  EXPECT_EQ(A().rec_buffer_samples, 1000);
  EXPECT_EQ(A().play_buffer_samples, 32000);
  Call("AudioCtrl", "22, 1001");
  EXPECT_EQ(A().play_buffer_samples, 1001);
  EXPECT_EQ(A().rec_buffer_samples, 1000);
  Call("AudioCtrl", "22, 32001");
  EXPECT_EQ(A().play_buffer_samples, 1001);
  Call("AudioInfo", "S");
  EXPECT_EQ(Text(text), "Bank count = 8 \r\n");
}

TEST_F(AudioResultsTest, PlayingThePairABankAndMono) {
  A().backend = audio::MakeFileBackend(folder.Path("out.wav"), "");
  Call("AudioCtrl", "22, 1000");
  // The pair in stereo: [1, min(end, N)), then silence.
  Call("AudioCtrl", "0, 5");
  Left() = {1, 2, 3, 4, 5};
  Right() = {-1, -2, -3, -4, -5};
  Call("AudioCtrl", "20, 50, 100");
  Call("AudioPlay", "16000, 1, 100, 3");
  ASSERT_TRUE(A().playing);
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  auto out = Played("out.wav");
  ASSERT_EQ(out.size(), 2000u);
  EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 10),
            (std::vector<std::int16_t>{1, -2, 1, -3, 2, -4, 2, -5, 0, 0}));
  EXPECT_EQ(folder.Read("out.wav").substr(22, 2), std::string("\x02\0", 2));
  // A bank in stereo: the same samples left and right; mono ignores volumes.
  Put(4, 0, {100, 200, 300});
  Call("AudioPlay", "8000, 0, 3, 1, 4");
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  out = Played("out.wav");
  EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 7),
            (std::vector<std::int16_t>{50, 100, 100, 200, 150, 300, 0}));
  Call("AudioPlay", "8000, 1, 3, 0, 4");
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  out = Played("out.wav");
  ASSERT_EQ(out.size(), 2000u);
  EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 3), (std::vector<std::int16_t>{200, 300, 0}));
  EXPECT_EQ(folder.Read("out.wav").substr(22, 2), std::string("\x01\0", 2));
  EXPECT_EQ(folder.Read("out.wav").substr(24, 4), std::string("\x40\x1f\0\0", 4));
  // Refused: a start below 0, bank 8, the pair without one, no rate.
  Call("AudioCtrl", "900");
  Call("AudioPlay", "8000, -1, 3");
  Call("AudioPlay", "8000, 0, 3, 0, 8");
  Call("AudioPlay", "8000, 0, 3, 2");
  EXPECT_FALSE(A().playing);
  EXPECT_TRUE(window.messages.empty());
  Call("AudioPlay", "0, 0, 3");
  EXPECT_FALSE(A().playing);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[msg] waveOutOpen error");
}

TEST_F(AudioResultsTest, RecordingStereoAndIntoThePair) {
  // A stereo source: left 1, 2, 3..., right -1, -2, -3...
  std::string data;
  for (int i = 1; i <= 3000; ++i) {
    for (int v : {i, -i}) data += std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  }
  const std::string fmt = std::string("\x01\0\x02\0\x80\x3e\0\0\0\xfa\0\0\x04\0\x10\0", 16);
  std::string file = "RIFF" + std::string(4, '\0') + "WAVEfmt " + std::string("\x10\0\0\0", 4) + fmt + "data";
  const auto size = static_cast<std::uint32_t>(data.size());
  file += std::string{static_cast<char>(size), static_cast<char>(size >> 8), static_cast<char>(size >> 16), 0} + data;
  folder.Write("mic.wav", file);
  A().backend = audio::MakeFileBackend(folder.Path("unused.wav"), folder.Path("mic.wav"));
  Call("AudioCtrl", "21, 1000");
  Call("AudioRec", "16000, 50, 1250, 1");
  ASSERT_TRUE(Pump([&] { return !A().input_open; }));
  EXPECT_EQ(Main(50), 1);
  EXPECT_EQ(Bank(0, 50), -1);
  EXPECT_EQ(Main(1249), 1200);
  EXPECT_EQ(Bank(0, 1249), -1200);
  EXPECT_EQ(Main(1250), 0);
  EXPECT_EQ(Main(49), 0);
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(2), 1250);
  // Mono from the stereo source: its left channel; into the pair, up to N.
  Call("AudioCtrl", "0, 700");
  Call("AudioRec", "16000, 10, 900, 2");
  ASSERT_TRUE(Pump([&] { return !A().input_open; }));
  EXPECT_EQ(Left()[10], 1);
  EXPECT_EQ(Left()[699], 690);
  EXPECT_EQ(Right()[10], 0);
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(2), 700);
  // Refused: nothing of the range in the target, a start below 0, no pair.
  Call("AudioRec", "16000, 700, 900, 2");
  Call("AudioRec", "16000, -1, 900");
  Call("AudioRec", "16000, 5, 5");
  EXPECT_FALSE(A().input_open);
  Call("AudioCtrl", "900");
  Call("AudioRec", "16000, 0, 900, 2");
  EXPECT_FALSE(A().input_open);
  EXPECT_TRUE(window.messages.empty());
  Call("AudioRec", "-5, 0, 900");
  EXPECT_FALSE(A().input_open);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[msg] error");
  // A range shorter than a buffer gets buffers of its length.
  Call("AudioRec", "16000, 0, 300, 1");
  EXPECT_EQ(A().rec_buffer_lengths[0], 600);
  Call("StopRec", "");
  Call("AudioRec", "16000, 0, 300");
  EXPECT_EQ(A().rec_buffer_lengths[1], 300);
  Call("StopRec", "");
  Call("AudioRec", "16000, 0, 3000, 1");
  EXPECT_EQ(A().rec_buffer_lengths[0], 1000);
  Call("StopRec", "");
  EXPECT_FALSE(A().input_open);
}

TEST_F(AudioResultsTest, FileConvertersByName) {
  SetRate(8000);
  for (int i = 0; i < 6; ++i) Main(i) = static_cast<std::int16_t>(1000 * i - 2500);
  Call("AudioCtrl", "0, 3");
  A().pair.left = {100, -301, 32767};
  A().pair.right = {50, 1, 32767};
  A().length = 3;
  Call("AudioCtrl", "4, \"" + folder.Path("stereo.wav") + "\"");
  Call("SaveWaveF", "\"" + folder.Path("mono.wav") + "\", 0, 6, 16");
  Call("ConvWaveF", "\"" + folder.Path("stereo.wav") + "\", \"" + folder.Path("down.wav") + "\"");
  const std::string down = folder.Read("down.wav");
  ASSERT_EQ(down.size(), 46u + 6u);
  EXPECT_EQ(down.substr(46), std::string("\x4b\x00\x6a\xff\xff\x7f", 6));  // 75, -150, 32767
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG).substr(Text(sysvar::G_DEBUG_LOG).size() - 4), "3 \r\n");
  Call("VolChgF", "\"" + folder.Path("mono.wav") + "\", \"" + folder.Path("loud.wav") + "\", 3");
  const std::string loud = folder.Read("loud.wav");
  ASSERT_EQ(loud.size(), 46u + 12u);
  const auto sample = [&](const std::string& f, int k) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(f[46 + 2 * k]) | (static_cast<std::uint8_t>(f[47 + 2 * k]) << 8));
  };
  EXPECT_EQ(sample(loud, 5), audio::ClampSample(32760 - 32760.0 * 32760 / (2500.0 * 3 + 32760)));
  EXPECT_EQ(sample(loud, 0), audio::ClampSample(-(32760 - 32760.0 * 32760 / (32760 - (-2500.0 * 3)))));
  Call("JntWaveF", "\"" + folder.Path("mono.wav") + "\", \"" + folder.Path("loud.wav") + "\", \"" +
                       folder.Path("joined.wav") + "\"");
  const std::string joined = folder.Read("joined.wav");
  ASSERT_EQ(joined.size(), 46u + 24u);
  EXPECT_EQ(sample(joined, 0), -2500);
  EXPECT_EQ(sample(joined, 6), sample(loud, 0));
}

TEST_F(AudioResultsTest, TheFirstVariableCanTakeResults) {
  // U_V1 is the first resource of every program: an output like any other.
  const std::int32_t first = 0;
  ASSERT_EQ(std::string(rt.program.Resource(first).name.data()), "U_V1");
  auto probe = [&](const std::string& api, const std::string& args) {
    values::SetLong(rt, first, 12345);
    Call(api, args);
    return Long(first);
  };
  SetRate(8000);
  Main(3) = 42;
  EXPECT_EQ(probe("GetWElem", "3, U_V1"), 42);
  Put(1, 0, {5, -5});
  EXPECT_EQ(probe("GetWaveLevel", "1, 0, 2, U_V1"), 10);
  Real(9) = 7.9;
  EXPECT_EQ(probe("GetRealWE", "9, U_V1"), 7);
  A().stores.SetSpectrum(1, 1, 99);
  EXPECT_EQ(probe("GetWSpct", "1, 1, U_V1"), 99);
  EXPECT_EQ(probe("GetWSpctAtWv", "1, 220, U_V1"), 99);
  Call("MkTone", "2, 0, 800, 1000, 10000");
  EXPECT_EQ(probe("SpectAnalyze", "2, 0, 800, U_V1"), 1000);
  EXPECT_EQ(probe("FrqChk", "2, 0, 800, U_V1"), 1000);
  EXPECT_EQ(probe("IsPlayNow", "U_V1"), 0);
  EXPECT_EQ(probe("AudioInfo", "U_V1"), 0);
  EXPECT_EQ(probe("GetWaveFInfo", "\"" + folder.Path("none.wav") + "\", U_V1"), 0);
  std::vector<std::int16_t> samples = {1, 2, 3};
  ASSERT_TRUE(audio::SaveWave(folder.Path("three.wav"), samples, 16, 8000));
  EXPECT_EQ(probe("LoadWaveF", "\"" + folder.Path("three.wav") + "\", U_V1"), 3);
  EXPECT_EQ(probe("GetWaveFInfo", "\"" + folder.Path("three.wav") + "\", U_V1"), 0);
  values::SetDouble(rt, d, 5.0);
  Call("SpectAnalyze", "2, 0, 800, U_V1, D");
  EXPECT_NEAR(Double(d), 20 * std::log10(10000 / 32768.0), 0.01);
}

}  // namespace
}  // namespace vx::test
