#include "audio/wav_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

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

// The 14 bytes that follow the leading code in the sub-format GUID of every
// standard format: xxxxxxxx-0000-0010-8000-00AA00389B71.
constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void DecodeFormat(WaveFormat& f) {
  const std::uint8_t* r = f.raw.data();
  f.format = Le16(r);
  f.channels = Le16(r + 2);
  f.rate = Le32(r + 4);
  f.bytes_per_second = Le32(r + 8);
  f.block_align = Le16(r + 12);
  f.bits = Le16(r + 14);
  f.valid_bits = 0;
  f.channel_mask = 0;
  f.sub_format = 0;
  f.standard_guid = false;
  if (f.Extensible()) {
    f.valid_bits = Le16(r + 18);
    f.channel_mask = Le32(r + 20);
    f.sub_format = Le16(r + 24);
    f.standard_guid = std::memcmp(r + 26, kGuidTail, sizeof(kGuidTail)) == 0;
  }
}

// A 32-bit sample to 16 bits, rounded to the nearest with halves up; the
// top of the range, which would round past 32767, clips there.
std::int16_t Round32(std::int32_t s) {
  if (s > 0x7FFF7FFF) return 32767;
  return static_cast<std::int16_t>((std::int64_t{s} + 0x8000) >> 16);
}

// A floating-point sample (full scale +-1.0) as a 32-bit one, truncated
// toward zero, clipped beyond full scale; NaN is silence.
std::int32_t FloatTo32(double v) {
  if (std::isnan(v)) return 0;
  const double scaled = v * 2147483648.0;
  if (scaled <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  if (scaled >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(scaled);
}

// G.711 expansions to 16 bits (A-law reaches +-32256, mu-law +-32124).
std::int16_t ALawTo16(std::uint8_t a) {
  a ^= 0x55;
  std::int32_t t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0) {
    t += 8;
  } else {
    t = (t + 0x108) << (segment - 1);
  }
  return static_cast<std::int16_t>((a & 0x80) ? t : -t);
}

std::int16_t MuLawTo16(std::uint8_t u) {
  u = static_cast<std::uint8_t>(~u);
  constexpr std::int32_t kBias = 0x84;
  const std::int32_t t = (((u & 0x0F) << 3) + kBias) << ((u & 0x70) >> 4);
  return static_cast<std::int16_t>((u & 0x80) ? kBias - t : t - kBias);
}

const char* FormatName(std::uint16_t code) {
  switch (code) {
    case WAVE_FORMAT_PCM: return "PCM";
    case 0x0002: return "Microsoft ADPCM";
    case WAVE_FORMAT_IEEE_FLOAT: return "floating point";
    case WAVE_FORMAT_ALAW: return "A-law";
    case WAVE_FORMAT_MULAW: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG";
    case 0x0055: return "MPEG layer 3";
    case WAVE_FORMAT_EXTENSIBLE: return "extensible with an unknown sub-format";
    default: return nullptr;
  }
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

// Reads up to `count` 16-bit samples from the source into `out`.
std::size_t ReadSamples16(ByteSource& source, std::size_t count, std::span<std::int16_t> out) {
  std::uint8_t block[kCopyBlockBytes];
  std::size_t done = 0;
  while (done < count) {
    const std::size_t want = std::min(sizeof(block) / 2, count - done);
    const std::size_t got = source.Read(block, want * 2) / 2;
    for (std::size_t k = 0; k < got; ++k) out[done + k] = static_cast<std::int16_t>(Le16(block + 2 * k));
    done += got;
    if (got < want) break;
  }
  return done;
}

std::int32_t LoadChunk(ByteSource& source, const DataChunk& chunk, std::span<std::int16_t> bank,
                       std::int32_t start, std::int32_t skip) {
  const std::uint64_t frame_bytes = chunk.FrameBytes();
  const std::uint64_t skipped = static_cast<std::uint64_t>(skip) * frame_bytes;
  if (skipped >= chunk.size) return 0;
  std::uint64_t frames = (chunk.size - skipped) / frame_bytes;
  const std::uint64_t room = start < WAVE_SAMPLES ? WAVE_SAMPLES - start : 0;
  frames = std::min(frames, room);
  if (frames == 0 || !source.Seek(chunk.offset + skipped)) return 0;
  std::span<std::int16_t> target = bank.subspan(static_cast<std::size_t>(start), frames);
  // Of a stereo frame 8-bit PCM keeps the second (right) sample, every other
  // coding the first (left).
  const std::uint32_t keep = chunk.coding == SampleCoding::kUnsigned8 && chunk.channels >= 2 ? 1 : 0;
  return static_cast<std::int32_t>(ReadDecoded(source, chunk, frames, keep, target, 0, {}));
}

files::FilePtr OpenRead(std::string_view path) { return files::Open(path, "rb"); }

}  // namespace

// --- samples ---------------------------------------------------------------------

std::uint32_t CodingBytes(SampleCoding coding) {
  switch (coding) {
    case SampleCoding::kUnsigned8:
    case SampleCoding::kALaw:
    case SampleCoding::kMuLaw: return 1;
    case SampleCoding::kSigned16: return 2;
    case SampleCoding::kSigned24: return 3;
    case SampleCoding::kSigned32:
    case SampleCoding::kFloat32: return 4;
    case SampleCoding::kFloat64: return 8;
    case SampleCoding::kNone: break;
  }
  return 0;
}

SampleCoding CodingOf(std::uint16_t code, std::uint16_t bits) {
  switch (code) {
    case WAVE_FORMAT_PCM:
      if (bits == 8) return SampleCoding::kUnsigned8;
      if (bits == 16) return SampleCoding::kSigned16;
      if (bits == 24) return SampleCoding::kSigned24;
      if (bits == 32) return SampleCoding::kSigned32;
      break;
    case WAVE_FORMAT_IEEE_FLOAT:
      if (bits == 32) return SampleCoding::kFloat32;
      if (bits == 64) return SampleCoding::kFloat64;
      break;
    case WAVE_FORMAT_ALAW:
      if (bits == 8) return SampleCoding::kALaw;
      break;
    case WAVE_FORMAT_MULAW:
      if (bits == 8) return SampleCoding::kMuLaw;
      break;
    default: break;
  }
  return SampleCoding::kNone;
}

std::int16_t DecodeSample(SampleCoding coding, const std::uint8_t* p) {
  switch (coding) {
    case SampleCoding::kUnsigned8: return static_cast<std::int16_t>((p[0] - 128) * 256);
    case SampleCoding::kSigned16: return static_cast<std::int16_t>(Le16(p));
    case SampleCoding::kSigned24:
      // The three bytes at the top of a 32-bit sample.
      return Round32(static_cast<std::int32_t>((std::uint32_t{p[0]} << 8) | (std::uint32_t{p[1]} << 16) |
                                               (std::uint32_t{p[2]} << 24)));
    case SampleCoding::kSigned32: return Round32(static_cast<std::int32_t>(Le32(p)));
    case SampleCoding::kFloat32: {
      float v;
      const std::uint32_t bits = Le32(p);
      std::memcpy(&v, &bits, sizeof(v));
      return Round32(FloatTo32(v));
    }
    case SampleCoding::kFloat64: {
      double v;
      const std::uint64_t bits = Le32(p) | (std::uint64_t{Le32(p + 4)} << 32);
      std::memcpy(&v, &bits, sizeof(v));
      return Round32(FloatTo32(v));
    }
    case SampleCoding::kALaw: return ALawTo16(p[0]);
    case SampleCoding::kMuLaw: return MuLawTo16(p[0]);
    case SampleCoding::kNone: break;
  }
  return 0;
}

std::string UnsupportedFormat(const DataChunk& chunk) {
  const std::string prefix = "unsupported WAV format: ";
  if (chunk.channels == 0) return prefix + "0 channels";
  const char* name = FormatName(chunk.code);
  const bool sized = chunk.code == WAVE_FORMAT_PCM || chunk.code == WAVE_FORMAT_IEEE_FLOAT ||
                     chunk.code == WAVE_FORMAT_ALAW || chunk.code == WAVE_FORMAT_MULAW;
  if (sized) return prefix + std::to_string(chunk.bits) + "-bit " + name;
  char code[16];
  std::snprintf(code, sizeof(code), "0x%04X", chunk.code);
  if (name == nullptr) return prefix + "format " + code;
  return prefix + name + " (format " + code + ")";
}

bool IsStreamingSize(std::uint32_t size) {
  return size == 0xFFFFFFFFu || size == 0x7FFFFFFFu || size == 0x7FFFF000u;
}

std::size_t ReadDecoded(ByteSource& source, const DataChunk& chunk, std::size_t frames,
                        std::uint32_t first, std::span<std::int16_t> a, std::uint32_t second,
                        std::span<std::int16_t> b) {
  const std::size_t sample_bytes = CodingBytes(chunk.coding);
  const std::size_t frame_bytes = sample_bytes * chunk.channels;
  if (frame_bytes == 0 || first >= chunk.channels || (!b.empty() && second >= chunk.channels)) {
    return 0;
  }
  frames = std::min(frames, a.size());
  if (!b.empty()) frames = std::min(frames, b.size());
  std::vector<std::uint8_t> block(std::max(kCopyBlockBytes, frame_bytes));
  const std::size_t per_block = block.size() / frame_bytes;
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t want = std::min(per_block, frames - done);
    const std::size_t got = source.Read(block.data(), want * frame_bytes) / frame_bytes;
    for (std::size_t k = 0; k < got; ++k) {
      const std::uint8_t* frame = block.data() + k * frame_bytes;
      a[done + k] = DecodeSample(chunk.coding, frame + first * sample_bytes);
      if (!b.empty()) b[done + k] = DecodeSample(chunk.coding, frame + second * sample_bytes);
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

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
    const bool is_data = IdIs(h.id.data(), "data");
    if (body + h.size > source.Size()) {
      if (!is_data || !IsStreamingSize(h.size)) {
        walk.status = WalkStatus::kMalformed;  // truncated, or a size beyond the file
        walk.problem = "a chunk runs past the end of the file";
        return walk;
      }
      // A streamed data chunk: what the file holds.
      h.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(source.Size() - body, 0xFFFFFFFFu));
    }
    if (IdIs(h.id.data(), "fmt ")) {
      if (h.size <= FMT_RECORD_BYTES) {
        if (!ReadFormat(source, h.size, walk.last_format)) {
          walk.status = WalkStatus::kMalformed;
          walk.problem = "its fmt chunk cannot be read";
          return walk;
        }
        walk.has_format = true;
      } else {
        walk.oversized_format = true;
      }
    } else if (is_data) {
      if (walk.data.size() >= DATA_CHUNKS_MAX) {
        walk.status = WalkStatus::kMalformed;
        walk.problem = "too many data chunks";
        return walk;
      }
      if (walk.data.empty()) {
        walk.first_data_format = walk.last_format;
        walk.oversized_before_data = walk.oversized_format;
      }
      const WaveFormat& f = walk.last_format;
      DataChunk d;
      d.offset = body;
      d.size = h.size;
      d.has_format = walk.has_format;
      d.format = f.format;
      d.code = f.Code();
      d.channels = f.channels;
      d.rate = f.rate;
      d.block_align = f.block_align;
      d.bits = f.bits;
      d.coding = CodingOf(d.code, d.bits);
      walk.data.push_back(d);
    }
    if (!source.Seek(NextChunk(source, body, h.size))) break;
  }
  return walk;
}

// --- LoadWaveF --------------------------------------------------------------------

std::string RefusalOf(const WaveWalk& walk) {
  if (!walk.has_header) return "not a WAV file: shorter than its 12-byte header";
  if (walk.status == WalkStatus::kMalformed) return std::string("malformed WAV file: ") + walk.problem;
  const DataChunk* readable = nullptr;
  for (const DataChunk& chunk : walk.data) {
    if (!chunk.has_format) continue;  // a data chunk before any fmt chunk is passed over
    if (!chunk.Readable()) return UnsupportedFormat(chunk);
    readable = &chunk;
  }
  if (readable == nullptr) return "no sound data: no data chunk follows a fmt chunk";
  return {};
}

LoadResult LoadWave(ByteSource& source, std::span<std::int16_t> bank, std::int32_t start,
                    std::int32_t skip) {
  LoadResult result;
  result.opened = true;
  const WaveWalk walk = WalkWave(source);
  result.error = RefusalOf(walk);
  if (!result.error.empty()) {
    result.malformed = !walk.has_header || walk.status == WalkStatus::kMalformed;
    return result;
  }
  start = std::max(start, 0);
  skip = std::max(skip, 0);
  for (const DataChunk& chunk : walk.data) {
    if (chunk.has_format) result.count = LoadChunk(source, chunk, bank, start, skip);
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
    const std::uint64_t body = source.Tell();
    if (IdIs(h.id.data(), "fact")) {
      // The frame count that files of other codings than PCM carry.
      append(Line("\r\n(8 bytes)[RIFF(\"fact\") size=%d]\r\n", static_cast<std::int32_t>(h.size)));
      std::uint8_t frames[4];
      if (h.size >= sizeof(frames) && source.Read(frames, sizeof(frames)) == sizeof(frames)) {
        append(Line("samples(4 bytes) = %d\r\n", static_cast<std::int32_t>(Le32(frames))));
      }
      if (!source.Seek(NextChunk(source, body, h.size))) break;
      continue;
    }
    if (!IdIs(h.id.data(), "fmt ")) break;
    append(Line("\r\n(8 bytes)[RIFF(\"fmt \") size=%d]\r\n", static_cast<std::int32_t>(h.size)));
    if (h.size <= FMT_RECORD_BYTES) {
      WaveFormat f;
      if (!ReadFormat(source, h.size, f)) break;  // truncated: the dump ends
      append(Line("format(2 bytes) = %d\r\n", f.format));
      append(Line("channels(2 bytes) = %d\r\n", f.channels));
      append(Line("samplerate(4 bytes) = %d\r\n", static_cast<std::int32_t>(f.rate)));
      append(Line("bytepersec(4 bytes) = %d\r\n", static_cast<std::int32_t>(f.bytes_per_second)));
      append(Line("blockalign(2 bytes) = %d\r\n", f.block_align));
      append(Line("bitswidth(2 bytes) = %d\r\n", f.bits));
      if (f.Extensible()) {
        // What the extensible record holds: the sub-format says the coding.
        append(Line("validbits(2 bytes) = %d\r\n", f.valid_bits));
        append(Line("channelmask(4 bytes) = %d\r\n", static_cast<std::int32_t>(f.channel_mask)));
        append(Line("subformat(16 bytes) = %d%s\r\n", f.sub_format, f.standard_guid ? "" : " (unknown GUID)"));
      }
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
    const std::size_t got = ReadSamples16(source, std::size_t{n} * 2, interleaved) / 2;
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
    const std::size_t got = ReadSamples16(source, n, input);
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
  // The first 16 bytes of A's format, and no extension (bytes 36-37 stay
  // 0), whatever A's fmt chunk carried.
  std::memcpy(h.data() + 20, a.walk.first_data_format.raw.data(), 16);
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
  result.error = RefusalOf(walk);
  if (!result.error.empty()) return result;
  result.ok = true;
  result.has_rate = walk.has_format;
  result.rate = walk.last_format.rate;
  for (const DataChunk& chunk : walk.data) {
    if (!chunk.has_format) continue;
    std::uint64_t frames = chunk.size / chunk.FrameBytes();
    frames = std::min<std::uint64_t>(frames, static_cast<std::uint64_t>(pair.Size()));
    if (!source.Seek(chunk.offset)) continue;
    // Channel 0 goes left, channel 1 right; a mono sample goes to both.
    const std::uint32_t right = chunk.channels >= 2 ? 1 : 0;
    pair.filled = static_cast<std::int32_t>(
        ReadDecoded(source, chunk, frames, 0, pair.left, right, pair.right));
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
