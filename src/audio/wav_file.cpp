#include "audio/wav_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/files.hpp"
#include "platform/output_file.hpp"

namespace vx::audio {
namespace {

constexpr std::uint32_t kChunkHeaderBytes = 8;
constexpr std::size_t kCopyBlockBytes = 16384;
constexpr std::int32_t kQuietMargin = 2205;  // 0.1 s at 22,050 Hz
constexpr std::int32_t kLoudCountToStart = 5;
constexpr double kLimit = 32760.0;

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

bool IdIs(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

void DecodeFormat(WaveFormat& f) {
  const std::uint8_t* r = f.raw.data();
  f.format = Le16(r);
  f.channels = Le16(r + 2);
  f.rate = Le32(r + 4);
  f.bytes_per_second = Le32(r + 8);
  f.block_align = Le16(r + 12);
  f.bits = Le16(r + 14);
}

// Reads the fmt body (at most FMT_RECORD_BYTES); the rest of the record is 0.
bool ReadFormat(ByteSource& source, std::uint32_t size, WaveFormat& f) {
  f.raw.fill(0);
  f.size = size;
  if (source.Read(f.raw.data(), size) != size) return false;
  DecodeFormat(f);
  return true;
}

struct ChunkHeader {
  std::array<std::uint8_t, 4> id{};
  std::uint32_t size = 0;
};

bool ReadChunkHeader(ByteSource& source, ChunkHeader* h) {
  std::uint8_t raw[kChunkHeaderBytes];
  if (source.Read(raw, kChunkHeaderBytes) != kChunkHeaderBytes) return false;
  std::memcpy(h->id.data(), raw, 4);
  h->size = Le32(raw + 4);
  return true;
}

// The offset after a body of `size` bytes at `body`, with the pad byte of an
// odd size; a pad byte missing at the very end of the file is forgiven.
std::uint64_t NextChunk(const ByteSource& source, std::uint64_t body, std::uint32_t size) {
  return std::min<std::uint64_t>(body + size + (size & 1u), source.Size());
}

// Puts a written file in place: false, with the errno in `error`, when it
// could not be written whole.
bool Finish(files::OutputFile& out, int* error) {
  const int e = out.Finish();
  if (error != nullptr) *error = e;
  return e == 0;
}

// Bytes into an output file; failures are the file's to report (Finish).
class Writer {
 public:
  explicit Writer(files::OutputFile& out) : file_(out.Stream()), ok_(file_ != nullptr) {}
  bool Bytes(const void* p, std::size_t n) {
    ok_ = ok_ && std::fwrite(p, 1, n, file_) == n;
    return ok_;
  }
  // 16-bit little-endian samples, through a small block.
  bool Samples(std::span<const std::int16_t> s) {
    std::uint8_t block[kCopyBlockBytes];
    while (!s.empty() && ok_) {
      const std::size_t n = std::min(s.size(), sizeof(block) / 2);
      for (std::size_t i = 0; i < n; ++i) Put16(block + 2 * i, static_cast<std::uint16_t>(s[i]));
      Bytes(block, n * 2);
      s = s.subspan(n);
    }
    return ok_;
  }
  bool Ok() const { return ok_; }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

// Reads `frames` frames of 16-bit samples from the source into `left` (and
// `right` when not empty): channel 0 left, channel 1 right (a mono frame
// goes to both).
std::size_t ReadFrames16(ByteSource& source, std::uint32_t channels, std::size_t frames,
                         std::span<std::int16_t> left, std::span<std::int16_t> right) {
  std::uint8_t block[kCopyBlockBytes];
  const std::size_t frame_bytes = static_cast<std::size_t>(channels) * 2;
  const std::size_t per_block = std::max<std::size_t>(1, sizeof(block) / frame_bytes);
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t want = std::min(per_block, frames - done);
    if (frame_bytes * want > sizeof(block)) return done;  // a frame larger than the block
    const std::size_t got = source.Read(block, want * frame_bytes) / frame_bytes;
    for (std::size_t k = 0; k < got; ++k) {
      const std::uint8_t* f = block + k * frame_bytes;
      left[done + k] = static_cast<std::int16_t>(Le16(f));
      if (!right.empty()) {
        right[done + k] = static_cast<std::int16_t>(channels >= 2 ? Le16(f + 2) : Le16(f));
      }
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

std::int32_t LoadChunk(ByteSource& source, const DataChunk& chunk, std::span<std::int16_t> bank,
                       std::int32_t start, std::int32_t skip) {
  const std::uint32_t channels = chunk.channels;
  if (channels < 1) return -1;
  const std::uint64_t bytes_per_sample = chunk.bits == 16 ? 2 : chunk.bits == 8 ? 1 : 0;
  if (bytes_per_sample == 0) return -1;  // other widths: the chunk is ignored
  const std::uint64_t frame_bytes = bytes_per_sample * channels;
  const std::uint64_t skipped = static_cast<std::uint64_t>(skip) * frame_bytes;
  if (skipped >= chunk.size) return 0;
  std::uint64_t frames = (chunk.size - skipped) / frame_bytes;
  const std::uint64_t room = start < WAVE_SAMPLES ? WAVE_SAMPLES - start : 0;
  frames = std::min(frames, room);
  if (frames == 0 || !source.Seek(chunk.offset + skipped)) return 0;
  std::span<std::int16_t> target = bank.subspan(static_cast<std::size_t>(start), frames);
  if (bytes_per_sample == 2) {
    return static_cast<std::int32_t>(ReadFrames16(source, channels, frames, target, {}));
  }
  // 8-bit: unsigned bytes; of a stereo frame the second (right) byte is kept.
  const std::size_t keep = channels >= 2 ? 1 : 0;
  std::uint8_t block[kCopyBlockBytes];
  const std::size_t per_block = std::max<std::size_t>(1, sizeof(block) / frame_bytes);
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t want = std::min<std::size_t>(per_block, frames - done);
    if (frame_bytes * want > sizeof(block)) break;
    const std::size_t got = source.Read(block, want * frame_bytes) / frame_bytes;
    for (std::size_t k = 0; k < got; ++k) {
      target[done + k] = static_cast<std::int16_t>((block[k * frame_bytes + keep] - 128) * 256);
    }
    done += got;
    if (got < want) break;
  }
  return static_cast<std::int32_t>(done);
}

files::FilePtr OpenRead(std::string_view path) { return files::Open(path, "rb"); }

}  // namespace

// --- sources ------------------------------------------------------------------

FileSource::FileSource(std::FILE* file) : file_(file) {
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    if (end > 0) size_ = static_cast<std::uint64_t>(end);
  }
  std::fseek(file_, 0, SEEK_SET);
}

std::size_t FileSource::Read(void* out, std::size_t bytes) {
  const std::size_t n = std::fread(out, 1, bytes, file_);
  position_ += n;
  return n;
}

bool FileSource::Seek(std::uint64_t offset) {
  if (offset > size_) return false;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  position_ = offset;
  return true;
}

std::size_t MemorySource::Read(void* out, std::size_t bytes) {
  const std::size_t n = static_cast<std::size_t>(
      std::min<std::uint64_t>(bytes, bytes_.size() - std::min<std::uint64_t>(position_, bytes_.size())));
  if (n > 0) std::memcpy(out, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

bool MemorySource::Seek(std::uint64_t offset) {
  if (offset > bytes_.size()) return false;
  position_ = offset;
  return true;
}

// --- the walk -------------------------------------------------------------------

WaveWalk WalkWave(ByteSource& source) {
  WaveWalk walk;
  if (source.Read(walk.header.data(), walk.header.size()) != walk.header.size()) return walk;
  walk.has_header = true;
  ChunkHeader h;
  while (ReadChunkHeader(source, &h)) {
    const std::uint64_t body = source.Tell();
    if (body + h.size > source.Size()) {
      walk.status = WalkStatus::kMalformed;  // truncated, or a size beyond the file
      return walk;
    }
    if (IdIs(h.id.data(), "fmt ")) {
      if (h.size <= FMT_RECORD_BYTES) {
        if (!ReadFormat(source, h.size, walk.last_format)) {
          walk.status = WalkStatus::kMalformed;
          return walk;
        }
        walk.has_format = true;
      } else {
        walk.oversized_format = true;
      }
    } else if (IdIs(h.id.data(), "data")) {
      if (walk.data.size() >= DATA_CHUNKS_MAX) {
        walk.status = WalkStatus::kMalformed;
        return walk;
      }
      if (walk.data.empty()) {
        walk.first_data_format = walk.last_format;
        walk.oversized_before_data = walk.oversized_format;
      }
      DataChunk d;
      d.offset = body;
      d.size = h.size;
      d.has_format = walk.has_format;
      d.format = walk.last_format.format;
      d.channels = walk.last_format.channels;
      d.rate = walk.last_format.rate;
      d.block_align = walk.last_format.block_align;
      d.bits = walk.last_format.bits;
      walk.data.push_back(d);
    }
    if (!source.Seek(NextChunk(source, body, h.size))) break;
  }
  return walk;
}

// --- LoadWaveF --------------------------------------------------------------------

LoadResult LoadWave(ByteSource& source, std::span<std::int16_t> bank, std::int32_t start,
                    std::int32_t skip) {
  LoadResult result;
  result.opened = true;
  const WaveWalk walk = WalkWave(source);
  if (walk.status == WalkStatus::kMalformed) {
    result.malformed = true;
    return result;
  }
  start = std::max(start, 0);
  skip = std::max(skip, 0);
  for (const DataChunk& chunk : walk.data) {
    if (!chunk.has_format) continue;  // a data chunk before any fmt chunk
    const std::int32_t n = LoadChunk(source, chunk, bank, start, skip);
    if (n >= 0) result.count = n;
  }
  result.has_rate = walk.has_format;
  result.rate = walk.last_format.rate;
  return result;
}

// --- writers --------------------------------------------------------------------

std::array<std::uint8_t, WAV_HEADER_BYTES> MakeHeader(std::uint16_t channels, std::uint32_t rate,
                                                      std::uint16_t bits,
                                                      std::uint32_t data_bytes) {
  std::array<std::uint8_t, WAV_HEADER_BYTES> h{};
  std::uint8_t* p = h.data();
  const std::uint32_t block_align = channels * (bits / 8u);
  std::memcpy(p, "RIFF", 4);
  // An odd data chunk is followed by its pad byte, which the RIFF size counts.
  Put32(p + 4, WAV_HEADER_BYTES - 8 + data_bytes + (data_bytes & 1u));
  std::memcpy(p + 8, "WAVE", 4);
  std::memcpy(p + 12, "fmt ", 4);
  Put32(p + 16, WAV_FMT_SIZE);
  Put16(p + 20, 1);
  Put16(p + 22, channels);
  Put32(p + 24, rate);
  Put32(p + 28, rate * block_align);
  Put16(p + 32, block_align);
  Put16(p + 34, bits);
  Put16(p + 36, 0);
  std::memcpy(p + 38, "data", 4);
  Put32(p + 42, data_bytes);
  return h;
}

bool SaveWave(std::string_view path, std::span<const std::int16_t> samples, std::int32_t bits,
              std::uint32_t rate, int* write_error) {
  files::OutputFile out = files::OutputFile::Open(path, files::WriteMode::kReplace);
  Writer w(out);
  const bool eight = bits == 8;
  const auto count = static_cast<std::uint32_t>(samples.size());
  const auto header = MakeHeader(1, rate, eight ? 8 : 16, eight ? count : count * 2);
  w.Bytes(header.data(), header.size());
  if (!eight) {
    w.Samples(samples);
    return Finish(out, write_error) && w.Ok();
  }
  std::uint8_t block[kCopyBlockBytes];
  while (!samples.empty() && w.Ok()) {
    const std::size_t n = std::min(samples.size(), sizeof(block));
    for (std::size_t i = 0; i < n; ++i) {
      block[i] = static_cast<std::uint8_t>((samples[i] + 32768) >> 8);
    }
    w.Bytes(block, n);
    samples = samples.subspan(n);
  }
  if (count & 1u) w.Bytes("", 1);  // pad byte
  return Finish(out, write_error) && w.Ok();
}

bool QuietCutRange(std::span<const std::int16_t> wave, std::int32_t from, std::int32_t to,
                   std::int32_t threshold, std::int32_t* first, std::int32_t* last) {
  const auto size = static_cast<std::int32_t>(wave.size());
  from = std::clamp(from, 0, size);
  to = std::clamp(to, 0, size);
  if (from > to) return false;
  auto loud = [&](std::int32_t i) { return std::abs(static_cast<std::int32_t>(wave[i])) > threshold; };
  std::int32_t i = from;
  for (std::int32_t count = 0; i < to; ++i) {
    if (loud(i) && ++count > kLoudCountToStart) break;
  }
  const std::int32_t start = std::max(i - kQuietMargin, from);
  std::int32_t j = to - 1;
  for (std::int32_t count = 0; j > start; --j) {
    if (loud(j) && ++count > kLoudCountToStart) break;
  }
  std::int32_t end = std::min(j + kQuietMargin, to);
  *first = start;
  *last = std::max(end, start);
  return true;
}

// --- GetWaveFInfo ---------------------------------------------------------------

namespace {

// printf-style formatting of one line, cut at a NUL that a %c put in it, as
// appending a C string would.
template <typename... Args>
std::string Line(const char* format, Args... args) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof(buffer), format, args...);
  if (n < 0) return {};
  const std::size_t len = std::min<std::size_t>(static_cast<std::size_t>(n), sizeof(buffer) - 1);
  return std::string(buffer, strnlen(buffer, len));
}

}  // namespace

std::string DescribeWave(ByteSource& source, std::size_t capacity) {
  std::string text;
  auto append = [&](const std::string& line) {
    if (text.size() + line.size() < capacity) text += line;
  };
  std::uint8_t head[12];
  if (source.Read(head, sizeof(head)) != sizeof(head)) return text;
  append(Line("(12 bytes)[head(\"%c%c%c%c\") size=%d (\"%c%c%c%c\")]\r\n", head[0], head[1],
              head[2], head[3], static_cast<std::int32_t>(Le32(head + 4)), head[8], head[9],
              head[10], head[11]));
  ChunkHeader h;
  while (ReadChunkHeader(source, &h)) {
    if (h.id[0] != 'f') {
      if (IdIs(h.id.data(), "data")) {
        append(Line("\r\n(8 bytes)[RIFF(\"data \") size=%d]\r\n", static_cast<std::int32_t>(h.size)));
      }
      break;
    }
    if (!IdIs(h.id.data(), "fmt ")) break;
    append(Line("\r\n(8 bytes)[RIFF(\"fmt \") size=%d]\r\n", static_cast<std::int32_t>(h.size)));
    const std::uint64_t body = source.Tell();
    if (h.size <= FMT_RECORD_BYTES) {
      WaveFormat f;
      if (!ReadFormat(source, h.size, f)) break;  // truncated: the dump ends
      append(Line("format(2 bytes) = %d\r\n", f.format));
      append(Line("channels(2 bytes) = %d\r\n", f.channels));
      append(Line("samplerate(4 bytes) = %d\r\n", static_cast<std::int32_t>(f.rate)));
      append(Line("bytepersec(4 bytes) = %d\r\n", static_cast<std::int32_t>(f.bytes_per_second)));
      append(Line("blockalign(2 bytes) = %d\r\n", f.block_align));
      append(Line("bitswidth(2 bytes) = %d\r\n", f.bits));
    }
    // A larger body is stepped over rather than read as chunk headers.
    if (!source.Seek(NextChunk(source, body, h.size))) break;
  }
  return text;
}

// --- converters -------------------------------------------------------------------

std::int16_t SoftLimit(double y, bool positive) {
  const double v = positive ? kLimit - kLimit * kLimit / (y + kLimit)
                            : -(kLimit - kLimit * kLimit / (kLimit - y));
  return ClampSample(v);
}

namespace {

// The input's first data chunk, with the fmt in force there; false when the
// file cannot be opened, is malformed or has no data chunk after a fmt.
struct OpenedInput {
  files::FilePtr file;
  WaveWalk walk;
  DataChunk data;
};

bool OpenInput(std::string_view path, OpenedInput* in) {
  in->file = OpenRead(path);
  if (!in->file) return false;
  FileSource source(in->file.get());
  in->walk = WalkWave(source);
  if (in->walk.status != WalkStatus::kOk || in->walk.data.empty()) return false;
  in->data = in->walk.data.front();
  return in->data.has_format && source.Seek(in->data.offset);
}

}  // namespace

int ConvertToMono(std::string_view in_path, std::string_view out_path, WaveStores& stores,
                  std::string* log, int* write_error) {
  OpenedInput in;
  if (!OpenInput(in_path, &in)) return 0;
  files::OutputFile out = files::OutputFile::Open(out_path, files::WriteMode::kReplace);
  if (in.data.bits != 16 || in.data.channels != 2) {
    Finish(out, write_error);  // the output is left empty
    return 0;
  }
  const std::uint32_t frames = in.data.size / 4;
  *log = Line("%d \r\n", static_cast<std::int32_t>(frames));
  FileSource source(in.file.get());
  source.Seek(in.data.offset);
  Writer w(out);
  const auto header = MakeHeader(1, in.data.rate, 16, frames * 2);
  w.Bytes(header.data(), header.size());
  std::span<std::int16_t> interleaved = stores.Bank(0);
  std::span<std::int16_t> mono = stores.Bank(1);
  std::uint32_t done = 0;
  while (done < frames && w.Ok()) {
    const std::uint32_t n = std::min(frames - done, CONVERT_BLOCK_FRAMES);
    const std::size_t got = ReadFrames16(source, 1, std::size_t{n} * 2, interleaved, {}) / 2;
    for (std::size_t k = 0; k < got; ++k) {
      mono[k] = static_cast<std::int16_t>((interleaved[2 * k] + interleaved[2 * k + 1]) / 2);
    }
    w.Samples(mono.first(got));
    if (got < n) break;
    done += n;
  }
  return Finish(out, write_error) && w.Ok() ? 1 : 0;
}

int ChangeVolume(std::string_view in_path, std::string_view out_path, double gain,
                 WaveStores& stores, int* write_error) {
  OpenedInput in;
  if (!OpenInput(in_path, &in)) return 0;
  files::OutputFile out = files::OutputFile::Open(out_path, files::WriteMode::kReplace);
  if (in.data.bits != 16) {
    Finish(out, write_error);  // the output is left empty
    return 0;
  }
  const std::uint32_t samples = in.data.size / 2;
  FileSource source(in.file.get());
  source.Seek(in.data.offset);
  Writer w(out);
  const auto header = MakeHeader(in.data.channels, in.data.rate, 16, samples * 2);
  w.Bytes(header.data(), header.size());
  std::span<std::int16_t> input = stores.Bank(0);
  std::span<std::int16_t> output = stores.Bank(1);
  std::uint32_t done = 0;
  while (done < samples && w.Ok()) {
    const std::uint32_t n = std::min<std::uint32_t>(samples - done, WAVE_SAMPLES);
    const std::size_t got = ReadFrames16(source, 1, n, input, {});
    for (std::size_t k = 0; k < got; ++k) {
      output[k] = SoftLimit(input[k] * gain, input[k] > 0);
    }
    w.Samples(output.first(got));
    if (got < n) break;
    done += n;
  }
  return Finish(out, write_error) && w.Ok() ? 1 : 0;
}

namespace {

bool CopyBytes(std::FILE* from, std::uint64_t offset, std::uint32_t size, Writer& w) {
  if (std::fseek(from, static_cast<long>(offset), SEEK_SET) != 0) return false;
  std::uint8_t block[kCopyBlockBytes];
  while (size > 0 && w.Ok()) {
    const std::size_t n = std::min<std::size_t>(size, sizeof(block));
    if (std::fread(block, 1, n, from) != n) return false;
    w.Bytes(block, n);
    size -= static_cast<std::uint32_t>(n);
  }
  return w.Ok();
}

}  // namespace

int JoinWaves(std::string_view a_path, std::string_view b_path, std::string_view out_path,
              int* write_error) {
  if (a_path == b_path || a_path == out_path || b_path == out_path) return 0;
  // The output is made (empty) whatever becomes of the inputs.
  files::OutputFile out = files::OutputFile::Open(out_path, files::WriteMode::kReplace);
  auto left_empty = [&](int result) { return Finish(out, write_error) ? result : 0; };
  if (!out.ok()) return left_empty(0);
  OpenedInput a, b;
  const bool a_ok = OpenInput(a_path, &a);
  const bool b_ok = OpenInput(b_path, &b);
  if (!a.file || !b.file) return left_empty(0);
  if (!a_ok || !b_ok) return left_empty(0);  // malformed or without data
  const DataChunk& da = a.data;
  const DataChunk& db = b.data;
  if (da.format != db.format || da.channels != db.channels || da.block_align != db.block_align ||
      da.bits != db.bits || a.walk.oversized_before_data || b.walk.oversized_before_data ||
      da.size == 0 || db.size == 0) {
    return left_empty(1);
  }
  const std::uint64_t total = std::uint64_t{da.size} + db.size;
  if (total + WAV_HEADER_BYTES + 1 > 0xFFFFFFFFull) return left_empty(0);
  const auto total32 = static_cast<std::uint32_t>(total);
  std::array<std::uint8_t, WAV_HEADER_BYTES> h{};
  std::memcpy(h.data(), a.walk.header.data(), 12);
  Put32(h.data() + 4, WAV_HEADER_BYTES - 8 + total32 + (total32 & 1u));
  std::memcpy(h.data() + 12, "fmt ", 4);
  Put32(h.data() + 16, WAV_FMT_SIZE);
  std::memcpy(h.data() + 20, a.walk.first_data_format.raw.data(), 16);
  Put16(h.data() + 36, 0);  // no format extension, whatever A's fmt chunk carried
  std::memcpy(h.data() + 38, "data", 4);
  Put32(h.data() + 42, total32);
  Writer w(out);
  w.Bytes(h.data(), h.size());
  // An input that cannot be read to its end leaves the output as it was.
  if (!CopyBytes(a.file.get(), da.offset, da.size, w) || !CopyBytes(b.file.get(), db.offset, db.size, w)) {
    if (!out.ok()) Finish(out, write_error);
    return 0;
  }
  if (total32 & 1u) w.Bytes("", 1);
  return Finish(out, write_error) && w.Ok() ? 1 : 0;
}

// --- the buffer pair ----------------------------------------------------------------

PairLoadResult LoadPair(ByteSource& source, BufferPair& pair) {
  PairLoadResult result;
  const WaveWalk walk = WalkWave(source);
  if (walk.status != WalkStatus::kOk || !walk.has_header) return result;
  result.ok = true;
  result.has_rate = walk.has_format;
  result.rate = walk.last_format.rate;
  for (const DataChunk& chunk : walk.data) {
    if (!chunk.has_format || chunk.bits != 16 || chunk.channels < 1) continue;
    std::uint64_t frames = chunk.size / (std::uint64_t{chunk.channels} * 2);
    frames = std::min<std::uint64_t>(frames, static_cast<std::uint64_t>(pair.Size()));
    if (!source.Seek(chunk.offset)) continue;
    pair.filled = static_cast<std::int32_t>(
        ReadFrames16(source, chunk.channels, frames, pair.left, pair.right));
  }
  return result;
}

bool SavePair(std::string_view path, const BufferPair& pair, std::uint32_t rate,
              int* write_error) {
  files::OutputFile out = files::OutputFile::Open(path, files::WriteMode::kReplace);
  Writer w(out);
  const auto frames = static_cast<std::uint32_t>(pair.filled);
  const auto header = MakeHeader(2, rate, 16, frames * 4);
  w.Bytes(header.data(), header.size());
  std::int16_t block[kCopyBlockBytes / 2];
  std::uint32_t done = 0;
  while (done < frames && w.Ok()) {
    const std::uint32_t n = std::min<std::uint32_t>(frames - done, sizeof(block) / 4);
    for (std::uint32_t k = 0; k < n; ++k) {
      block[2 * k] = pair.left[done + k];
      block[2 * k + 1] = pair.right[done + k];
    }
    w.Samples(std::span<const std::int16_t>(block, n * 2));
    done += n;
  }
  return Finish(out, write_error) && w.Ok();
}

}  // namespace vx::audio
