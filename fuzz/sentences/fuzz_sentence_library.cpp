// Arbitrary bytes as a sentence library: loaded as a whole library and as
// a band file over it, then every template generated from (one seed a
// template) and converted, and the names scanned with a pattern cut from
// the input. A refused file must leave the library as it was, and nothing
// may be read or written outside the texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sentences/generator.hpp"
#include "sentences/library.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::sentences;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Library library;
  std::string error;
  const bool loaded = library.Load(bytes, false, false, &error);
  if (!loaded && (!library.Templates().empty() || !library.Bands().empty())) std::abort();
  if (!loaded && error.empty()) std::abort();
  const std::size_t templates = library.Templates().size();
  if (!library.Load(bytes, true, true, &error) && library.Templates().size() != templates) std::abort();
  if (library.Templates().size() > SL_TEMPLATES_MAX || library.Bands().size() > SL_BANDS_MAX ||
      library.WordCount() > SL_WORDS_MAX) {
    std::abort();
  }
  Frame frame;
  for (std::size_t i = 0; i < library.Templates().size() && i < 64; ++i) {
    frame.template_name = library.Templates()[i].name;
    const auto made = Generate(library, frame, i, &error);
    if (made && made->text.size() > SL_TEXT_BYTES_MAX) std::abort();
    if (made) {
      bool all_set = true;
      for (const auto& [slot, value] : made->filled) all_set = frame.Set(slot, value) && all_set;
      // Every slot is filled now: conversion gives the generated text.
      const auto text = Convert(library, frame, &error);
      if (all_set && (!text || *text != made->text)) std::abort();
    }
    frame.ClearAll();
  }
  const std::string_view pattern = bytes.substr(0, std::min<std::size_t>(bytes.size(), 16));
  for (const Template& t : library.Templates()) WildcardMatch(t.name, pattern);
  return 0;
}
