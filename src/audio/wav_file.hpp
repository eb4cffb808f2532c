#pragma once
// RIFF WAVE files between disk and the sample stores: the chunk walk shared
// by the readers, the loaders, the 46-byte-header writers, the header dump,
// and the converters that work file to file.
//
// Every reader checks the whole file before it changes anything: a file
// whose chunks run past its end (truncated, or a size field beyond the
// file) is refused as malformed and leaves the stores, the rate and the
// outputs as they were. Chunks of odd size are followed by their pad byte.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wave_stores.hpp"

namespace vx::audio {

inline constexpr std::uint32_t FMT_RECORD_BYTES = 1040;   // the largest fmt chunk read
inline constexpr std::uint32_t WAV_HEADER_BYTES = 46;     // what the writers put first
inline constexpr std::uint32_t WAV_FMT_SIZE = 18;         // fmt chunk size written
inline constexpr std::uint32_t CONVERT_BLOCK_FRAMES = 262144;

// Where the walk reads from: a file, or bytes in memory (tests, fuzzing).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Bytes actually read.
  virtual std::size_t Read(void* out, std::size_t bytes) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Tell() const = 0;
  virtual std::uint64_t Size() const = 0;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file);
  std::size_t Read(void* out, std::size_t bytes) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return position_; }
  std::uint64_t Size() const override { return size_; }

 private:
  std::FILE* file_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Read(void* out, std::size_t bytes) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return position_; }
  std::uint64_t Size() const override { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

// Format codes of the fmt chunk.
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
inline constexpr std::uint16_t WAVE_FORMAT_ALAW = 6;
inline constexpr std::uint16_t WAVE_FORMAT_MULAW = 7;
inline constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
// An extensible record: 16 bytes, the extension size, then 22 bytes of
// valid bits, channel mask and sub-format GUID.
inline constexpr std::uint32_t EXTENSIBLE_FMT_BYTES = 40;

// The fmt record: its first 16 bytes decoded, the raw body kept for copies.
struct WaveFormat {
  std::uint16_t format = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint32_t bytes_per_second = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits = 0;
  std::uint32_t size = 0;  // the chunk's size as the file gives it
  // An extensible record's extension (0 when the record has none).
  std::uint16_t valid_bits = 0;
  std::uint32_t channel_mask = 0;
  std::uint16_t sub_format = 0;   // the GUID's leading code
  bool standard_guid = false;     // the GUID's other 14 bytes are the usual ones
  std::array<std::uint8_t, FMT_RECORD_BYTES> raw{};

  bool Extensible() const { return format == WAVE_FORMAT_EXTENSIBLE && size >= EXTENSIBLE_FMT_BYTES; }
  // The code that says how samples are stored: the sub-format of an
  // extensible record with the usual GUID, else the format.
  std::uint16_t Code() const { return Extensible() && standard_guid ? sub_format : format; }
};

// How samples are stored, as far as the readers can decode them.
enum class SampleCoding : std::uint8_t {
  kNone,  // not readable: see UnsupportedFormat
  kUnsigned8,
  kSigned16,
  kSigned24,
  kSigned32,
  kFloat32,
  kFloat64,
  kALaw,
  kMuLaw,
};
std::uint32_t CodingBytes(SampleCoding coding);  // 0 for kNone
SampleCoding CodingOf(std::uint16_t code, std::uint16_t bits);

// One sample as a 16-bit value (`p` holds CodingBytes(coding) bytes).
std::int16_t DecodeSample(SampleCoding coding, const std::uint8_t* p);

// One data chunk met by the walk, with the fmt record in force there.
struct DataChunk {
  std::uint64_t offset = 0;  // of the first data byte
  std::uint32_t size = 0;    // to the end of the file for a streamed chunk
  bool has_format = false;
  std::uint16_t format = 0;
  std::uint16_t code = 0;    // WaveFormat::Code()
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits = 0;
  SampleCoding coding = SampleCoding::kNone;

  std::uint32_t FrameBytes() const { return CodingBytes(coding) * channels; }
  // Whether the readers can decode it (a format, a known coding, channels).
  bool Readable() const { return has_format && coding != SampleCoding::kNone && channels > 0; }
};

// Why a data chunk with a format cannot be read: "unsupported WAV format:
// ..." naming the format (ASCII, for G_ERR_TXT).
std::string UnsupportedFormat(const DataChunk& chunk);

// The sizes that writers to a pipe give a data chunk whose length they do
// not know: 0xFFFFFFFF (most tools), 0x7FFFFFFF and 0x7FFFF000 (sox).
bool IsStreamingSize(std::uint32_t size);

// More data chunks than this make a file malformed (each costs the walk a
// record).
inline constexpr std::size_t DATA_CHUNKS_MAX = 4096;

enum class WalkStatus { kOk, kMalformed };

// The chunk walk: 12-byte header (not validated), then chunk headers until
// one cannot be read. Records every fmt chunk of at most FMT_RECORD_BYTES
// (the last one read is `last_format`) and every data chunk. Any chunk
// whose body runs past the end of the source makes the walk malformed.
struct WaveWalk {
  WalkStatus status = WalkStatus::kOk;
  const char* problem = "";  // why the walk is malformed
  std::array<std::uint8_t, 12> header{};
  bool has_header = false;
  bool has_format = false;
  bool oversized_format = false;  // a fmt chunk above FMT_RECORD_BYTES was met
  WaveFormat last_format;
  WaveFormat first_data_format;    // the fmt record in force at the first data chunk
  bool oversized_before_data = false;
  std::vector<DataChunk> data;
};
WaveWalk WalkWave(ByteSource& source);

// Why a walked file cannot be loaded: shorter than its header, malformed,
// without a readable data chunk, or holding a format the readers do not
// decode. Empty when every data chunk after a fmt chunk can be read.
std::string RefusalOf(const WaveWalk& walk);

// Reads `frames` frames of `chunk` from the source's position, decoding
// channel `first` into `a` and, when `b` is not empty, channel `second`
// into `b` (both channels below chunk.channels). Frames that are missing
// at the end of the source are not written. Returns the frames read.
std::size_t ReadDecoded(ByteSource& source, const DataChunk& chunk, std::size_t frames,
                        std::uint32_t first, std::span<std::int16_t> a, std::uint32_t second,
                        std::span<std::int16_t> b);

// LoadWaveF: every data chunk in turn into `bank` from `start`, skipping
// `skip` frames of each. `count` is the samples the last data chunk stored;
// `rate` the last fmt chunk's rate (only when `has_rate`). A refused file
// (`error` says why; `malformed` when its chunks are broken) changes
// nothing.
struct LoadResult {
  bool opened = false;
  bool malformed = false;
  std::string error;
  std::int32_t count = 0;
  bool has_rate = false;
  std::uint32_t rate = 0;
};
LoadResult LoadWave(ByteSource& source, std::span<std::int16_t> bank, std::int32_t start,
                    std::int32_t skip);

// The 46-byte header of the writers.
std::array<std::uint8_t, WAV_HEADER_BYTES> MakeHeader(std::uint16_t channels, std::uint32_t rate,
                                                      std::uint16_t bits,
                                                      std::uint32_t data_bytes);

// SaveWaveF: `samples` as a mono file; bits 8 gives 8-bit, any other 16.
// False when the file cannot be written (`write_error` receives the errno;
// a file that was there stays as it was).
bool SaveWave(std::string_view path, std::span<const std::int16_t> samples, std::int32_t bits,
              std::uint32_t rate, int* write_error = nullptr);

// SaveWaveFGls's range: [from, to) with the quiet ends cut. `first`/`last`
// are the cut range; false when from > to (nothing is written).
bool QuietCutRange(std::span<const std::int16_t> wave, std::int32_t from, std::int32_t to,
                   std::int32_t threshold, std::int32_t* first, std::int32_t* last);

// GetWaveFInfo's text, each line kept only when it still fits in
// `capacity` bytes (terminator included).
std::string DescribeWave(ByteSource& source, std::size_t capacity);

// ConvWaveF, VolChgF, JntWaveF. Each returns 1 on success and 0 when a file
// cannot be opened or is malformed, or the output cannot be written (then
// `write_error` receives the errno and an output that was there is left as
// it was). `log` receives ConvWaveF's frame-count line. Banks 0 and 1 are
// the converters' work space.
int ConvertToMono(std::string_view in, std::string_view out, WaveStores& stores,
                  std::string* log, int* write_error = nullptr);
int ChangeVolume(std::string_view in, std::string_view out, double gain, WaveStores& stores,
                 int* write_error = nullptr);
int JoinWaves(std::string_view a, std::string_view b, std::string_view out,
              int* write_error = nullptr);

// The soft limiter of WvR2S and VolChgF on an already scaled value `y`
// whose sign is decided by `positive`.
std::int16_t SoftLimit(double y, bool positive);

// The buffer pair: load (AudioCtrl mode 2) and save (mode 4).
struct PairLoadResult {
  bool ok = false;
  std::string error;  // why not ok
  bool has_rate = false;
  std::uint32_t rate = 0;
};
PairLoadResult LoadPair(ByteSource& source, BufferPair& pair);
bool SavePair(std::string_view path, const BufferPair& pair, std::uint32_t rate,
              int* write_error = nullptr);

}  // namespace vx::audio
