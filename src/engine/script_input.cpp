#include "engine/script_input.hpp"

#include <array>
#include <cstring>

#include "engine/runtime.hpp"
#include "engine/program.hpp"

namespace vx {
namespace {

// The program's key for scrambled scripts.
constexpr std::string_view SCRIPT_KEY = "Vx52";
// Small enough that a short script touches few fresh pages: every page a
// start-up touches costs more than the extra reads of a long script.
constexpr std::size_t READ_BLOCK_BYTES = 8192;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> Base64Values() {
  std::array<std::int8_t, 256> values{};
  for (auto& v : values) v = -1;
  for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kBase64[i])] = static_cast<std::int8_t>(i);
  return values;
}
constexpr auto kBase64Values = Base64Values();

// Key stream of one line: xorshift32 seeded from the key and the position,
// so equal lines scramble differently.
class KeyStream {
 public:
  KeyStream(std::string_view key, std::uint32_t index) {
    std::uint32_t h = 2166136261u;
    for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    h ^= (index + 1) * 0x9E3779B9u;
    h = (h ^ (h >> 16)) * 0x85EBCA6Bu;
    h ^= h >> 13;
    state_ = h != 0 ? h : 0x6D2B79F5u;
  }
  unsigned char Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<unsigned char>(state_ >> 24);
  }

 private:
  std::uint32_t state_;
};

std::string ScrambleLine(std::string_view plain, std::string_view key, std::uint32_t index) {
  KeyStream stream(key, index);
  std::string out;
  out.reserve((plain.size() + 2) / 3 * 4);
  std::uint32_t group = 0;
  int filled = 0;
  for (char c : plain) {
    group = (group << 8) | (static_cast<unsigned char>(c) ^ stream.Next());
    if (++filled == 3) {
      for (int shift = 18; shift >= 0; shift -= 6) out += kBase64[(group >> shift) & 63];
      group = 0;
      filled = 0;
    }
  }
  if (filled > 0) {
    group <<= 8 * (3 - filled);
    for (int k = 0; k <= filled; ++k) out += kBase64[(group >> (18 - 6 * k)) & 63];
    out.append(3 - filled, '=');
  }
  return out;
}

bool IsHeaderLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line == SCRAMBLED_HEADER;
}

}  // namespace

std::string UnscrambleLine(std::string_view raw, std::string_view key, std::uint32_t index) {
  KeyStream stream(key, index);
  std::string out;
  out.reserve(raw.size() / 4 * 3 + 2);
  std::uint32_t group = 0;
  int bits = 0;
  for (char c : raw) {
    if (c == '=') break;
    const int v = kBase64Values[static_cast<unsigned char>(c)];
    if (v < 0) continue;
    group = (group << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>(((group >> bits) & 0xFF) ^ stream.Next());
    }
  }
  return out;
}

ScriptInput::ScriptInput(std::string bytes, files::FilePtr file, bool unscramble, text::ScriptEncoding encoding)
    : file_(std::move(file)), buffer_(std::move(bytes)), unscramble_(unscramble), decoder_(encoding) {}

ScriptInput ScriptInput::FromBytes(std::string bytes, bool unscramble, text::ScriptEncoding encoding) {
  return ScriptInput(std::move(bytes), nullptr, unscramble, encoding);
}

ScriptInput ScriptInput::FromFile(files::FilePtr file, bool unscramble, text::ScriptEncoding encoding) {
  return ScriptInput(std::string(), std::move(file), unscramble, encoding);
}

bool ScriptInput::Refill() {
  if (!file_) return false;
  buffer_.resize(READ_BLOCK_BYTES);
  const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
  buffer_.resize(got);
  pos_ = 0;
  return got > 0;
}

bool ScriptInput::ReadRawLine(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (pos_ >= buffer_.size() && !Refill()) return any;
    any = true;
    const char* start = buffer_.data() + pos_;
    const std::size_t available = buffer_.size() - pos_;
    const void* lf = std::memchr(start, '\n', available);
    const std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : available;
    if (line.size() < PHYSICAL_LINE_MAX) line.append(start, std::min(take, PHYSICAL_LINE_MAX - line.size()));
    pos_ += take;
    if (lf) {
      ++pos_;
      return true;
    }
  }
}

bool ScriptInput::ReadLine(std::string& line) {
  if (!unscramble_) {
    if (!ReadRawLine(line)) return false;
  } else {
    if (!ReadRawLine(raw_)) return false;
    if (first_line_) {
      first_line_ = false;
      if (IsHeaderLine(raw_)) {
        scrambled_ = true;
        if (!ReadRawLine(raw_)) return false;
      }
    }
    if (scrambled_) {
      line = UnscrambleLine(raw_, SCRIPT_KEY, scrambled_index_++);
    } else {
      line.swap(raw_);
    }
  }
  decoder_.Decode(line);
  // The engine's texts end at a NUL, as the C strings they were.
  line.resize(strnlen(line.data(), line.size()));
  return true;
}

std::optional<ScriptInput> OpenScriptInput(const Runtime& rt, std::string_view name) {
  const SelectedSource& source = rt.startup.source;
  if (source.selected && EqualsIgnoreAsciiCase(name, LOADER_INPUT_NAME)) {
    files::FilePtr file = files::Open(source.path, "rb");
    if (!file) return std::nullopt;
    return ScriptInput::FromFile(std::move(file), true, rt.startup.encoding);
  }
  files::FilePtr file = files::Open(name, "rb");
  if (!file) return std::nullopt;
  return ScriptInput::FromFile(std::move(file), false, rt.startup.encoding);
}

std::string ScrambleScript(std::string_view plain) {
  std::string out(SCRAMBLED_HEADER);
  out += '\n';
  std::uint32_t index = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t lf = plain.find('\n', start);
    const std::string_view segment =
        plain.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
    out += ScrambleLine(segment, SCRIPT_KEY, index++);
    if (lf == std::string_view::npos) break;
    out += '\n';
    start = lf + 1;
  }
  return out;
}

bool IsScrambledScript(std::string_view bytes) {
  return IsHeaderLine(bytes.substr(0, bytes.find('\n')));
}

std::optional<std::string> UnscrambleScript(std::string_view scrambled) {
  if (!IsScrambledScript(scrambled)) return std::nullopt;
  std::string out;
  std::size_t start = scrambled.find('\n');
  if (start == std::string_view::npos) return out;
  ++start;
  std::uint32_t index = 0;
  for (;;) {
    const std::size_t lf = scrambled.find('\n', start);
    const std::string_view segment =
        scrambled.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
    out += UnscrambleLine(segment, SCRIPT_KEY, index++);
    if (lf == std::string_view::npos) break;
    out += '\n';
    start = lf + 1;
  }
  return out;
}

}  // namespace vx
