#include "sentences/generator.hpp"

#include <algorithm>
#include <memory>

#include "engine/runtime.hpp"

namespace vx::sentences {

SentenceState& State(Runtime& rt) {
  if (!rt.sentences) rt.sentences = std::make_shared<SentenceState>();
  return *rt.sentences;
}

std::uint64_t Random::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint32_t Random::Below(std::uint32_t n) {
  return static_cast<std::uint32_t>(((Next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
}

const std::string* Frame::Get(std::string_view slot) const {
  for (const auto& [name, value] : slots) {
    if (name == slot) return &value;
  }
  return nullptr;
}

bool Frame::Set(std::string_view slot, std::string_view value) {
  if (value.empty()) {
    Clear(slot);
    return true;
  }
  if (value.size() > SL_VALUE_BYTES_MAX) return false;
  for (auto& [name, old] : slots) {
    if (name == slot) {
      old.assign(value);
      return true;
    }
  }
  if (slots.size() >= SL_FRAME_SLOTS_MAX) return false;
  slots.emplace_back(std::string(slot), std::string(value));
  return true;
}

void Frame::Clear(std::string_view slot) {
  std::erase_if(slots, [slot](const auto& s) { return s.first == slot; });
}

void Frame::ClearAll() {
  template_name.clear();
  slots.clear();
}

namespace {

bool Append(std::string& out, std::string_view text, std::string* error) {
  if (out.size() + text.size() > SL_TEXT_BYTES_MAX) {
    *error = "text longer than 131071 bytes";
    return false;
  }
  out.append(text);
  return true;
}

// One generation's working state.
class Expander {
 public:
  Expander(const Library& library, Random& random, std::string* error)
      : library_(library), random_(random), error_(error) {}

  // A weighted choice among `count` items whose weights `weight(i)` sum to
  // `total`.
  template <typename WeightOf>
  std::size_t Choose(std::size_t count, std::int64_t total, WeightOf weight) {
    std::int64_t r = random_.Below(static_cast<std::uint32_t>(total));
    for (std::size_t i = 0; i < count; ++i) {
      r -= weight(i);
      if (r < 0) return i;
    }
    return count - 1;
  }

  // A word of the band, with its own slots filled, appended to `out`.
  bool AppendWord(std::string_view band_name, std::string& out, std::int32_t depth) {
    if (depth > SL_NEST_MAX) {
      *error_ = "words nest more than 8 levels deep (band " + std::string(band_name) + ")";
      return false;
    }
    if (++choices_ > SL_CHOICES_MAX) {
      *error_ = "more than 100000 choices for one text";
      return false;
    }
    const Band* band = library_.FindBand(band_name);
    if (band == nullptr || band->total_weight <= 0) {
      *error_ = band == nullptr ? "no band " + std::string(band_name) : "band " + std::string(band_name) + " is empty";
      return false;
    }
    const Word& w = band->words[Choose(band->words.size(), band->total_weight,
                                       [band](std::size_t i) { return band->words[i].weight; })];
    for (const Piece& p : w.pieces) {
      if (p.slot ? !AppendWord(p.band, out, depth + 1) : !Append(out, p.text, error_)) return false;
    }
    return true;
  }

 private:
  const Library& library_;
  Random& random_;
  std::string* error_;
  std::int32_t choices_ = 0;
};

}  // namespace

std::optional<std::string> Convert(const Library& library, const Frame& frame, std::string* error) {
  if (frame.template_name.empty()) {
    *error = "the frame has no template";
    return std::nullopt;
  }
  const Template* t = library.FindTemplate(frame.template_name);
  if (t == nullptr) {
    *error = "no template " + frame.template_name;
    return std::nullopt;
  }
  std::string out;
  for (const Piece& p : t->pieces) {
    const std::string* value = p.slot ? frame.Get(p.text) : &p.text;
    if (value == nullptr) {
      *error = "slot " + p.text + " is not filled";
      return std::nullopt;
    }
    if (!Append(out, *value, error)) return std::nullopt;
  }
  return out;
}

std::optional<Generated> Generate(const Library& library, Frame& frame, std::optional<std::uint64_t> seed,
                                  std::string* error) {
  if (seed) frame.random = Random(*seed);
  Expander expander(library, frame.random, error);
  Generated result;
  if (frame.template_name.empty()) {
    const std::span<const Template> all = library.Templates();
    if (all.empty()) {
      *error = "the library has no templates";
      return std::nullopt;
    }
    result.template_index = static_cast<std::int32_t>(
        expander.Choose(all.size(), library.TotalTemplateWeight(), [all](std::size_t i) { return all[i].weight; }));
  } else {
    result.template_index = library.TemplateIndex(frame.template_name);
    if (result.template_index < 0) {
      *error = "no template " + frame.template_name;
      return std::nullopt;
    }
  }
  const Template& t = library.Templates()[static_cast<std::size_t>(result.template_index)];
  for (const Piece& p : t.pieces) {
    if (!p.slot) {
      if (!Append(result.text, p.text, error)) return std::nullopt;
      continue;
    }
    const auto chosen = std::find_if(result.filled.begin(), result.filled.end(),
                                     [&p](const auto& s) { return s.first == p.text; });
    std::string value;
    if (chosen != result.filled.end()) {
      value = chosen->second;
    } else if (const std::string* set = frame.Get(p.text)) {
      value = *set;
    } else if (!expander.AppendWord(p.band, value, 1)) {
      *error = "slot " + p.text + ": " + *error;
      return std::nullopt;
    }
    if (chosen == result.filled.end()) result.filled.emplace_back(p.text, value);
    if (!Append(result.text, value, error)) return std::nullopt;
  }
  return result;
}

}  // namespace vx::sentences
