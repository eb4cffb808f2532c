// The sentence library: the shipped example's texts for fixed seeds, what a
// malformed file is told, Shift-JIS bytes that look like braces, and the
// generator's repeatability and weights.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sentences/generator.hpp"
#include "sentences/library.hpp"
#include "text/encoding.hpp"

namespace vx::sentences {
namespace {

using text::Cp932ToUtf8;
using text::Utf8ToCp932;

std::string ExampleLibrary() {
  const auto path = std::filesystem::path(VEXMORA_TEST_DATA_DIR) / ".." / ".." / "examples" / "sentences.sl";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Library Load(std::string_view utf8) {
  Library library;
  std::string error;
  EXPECT_TRUE(library.Load(Utf8ToCp932(utf8), false, false, &error)) << Cp932ToUtf8(error);
  return library;
}

std::string GenerateText(const Library& library, Frame& frame, std::optional<std::uint64_t> seed) {
  std::string error;
  const std::optional<sentences::Generated> g = Generate(library, frame, seed, &error);
  EXPECT_TRUE(g.has_value()) << Cp932ToUtf8(error);
  return g ? Cp932ToUtf8(g->text) : std::string();
}

TEST(SentenceExample, TheShippedLibraryGivesTheSameTextsForTheSameSeeds) {
  Library library;
  std::string error;
  ASSERT_TRUE(library.Load(ExampleLibrary(), false, false, &error)) << error;
  EXPECT_EQ(library.Templates().size(), 3u);
  EXPECT_EQ(library.Bands().size(), 5u);
  Frame frame;
  EXPECT_EQ(GenerateText(library, frame, 1), "今週末の那覇はくもりでしょう。平年並みの気温になる見込みです。");
  EXPECT_EQ(GenerateText(library, frame, 2), "今週末の大阪は雨でしょう。高めの気温になる見込みです。");
  EXPECT_EQ(GenerateText(library, frame, 3), "今週末の札幌は晴れでしょう。低めの気温になる見込みです。");
  // Set slots are kept; the rest is chosen.
  frame.template_name = Utf8ToCp932("予報");
  frame.Set(Utf8ToCp932("場所"), Utf8ToCp932("京都"));
  frame.Set(Utf8ToCp932("天気"), Utf8ToCp932("晴れ"));
  EXPECT_EQ(GenerateText(library, frame, 7), "あさっての京都は晴れでしょう。低めの気温になる見込みです。");
}

TEST(SentenceGeneration, ASeedRepeatsAndNoSeedGoesOn) {
  const Library library = Load("[band n]\n一\n二\n三\n四\n五\n六\n七\n八\n[template t]\n{n}{n2:n}{n3:n}{n4:n}\n");
  Frame frame;
  const std::string first = GenerateText(library, frame, 42);
  const std::string next = GenerateText(library, frame, std::nullopt);
  EXPECT_EQ(GenerateText(library, frame, 42), first);
  EXPECT_EQ(GenerateText(library, frame, std::nullopt), next);
  EXPECT_NE(first, next);  // 8^4 texts: equal only by a 1-in-4096 chance, fixed by the seed
  Frame other;
  EXPECT_EQ(GenerateText(library, other, 42), first);  // frames are alike
}

TEST(SentenceGeneration, ChoicesFollowTheWeights) {
  const Library library = Load("[band w]\na\nb *3\n[template t]\n{w}\n");
  Frame frame;
  frame.random = Random(5);
  int b = 0;
  constexpr int kDraws = 20000;
  for (int i = 0; i < kDraws; ++i) b += GenerateText(library, frame, std::nullopt) == "b";
  EXPECT_NEAR(b / static_cast<double>(kDraws), 0.75, 0.015);
}

TEST(SentenceGeneration, ASlotUsedTwiceGetsOneValueAndNestedWordsAreFilledAfresh) {
  const Library library = Load(
      "[band x]\n甲\n乙\n丙\n丁\n[band pair]\n{x}と{x}\n"
      "[template t]\n{x}/{x}/{y:x}/{p:pair}\n");
  Frame frame;
  int differing_pairs = 0;
  for (std::uint64_t seed = 0; seed < 50; ++seed) {
    std::string error;
    const std::optional<sentences::Generated> g = Generate(library, frame, seed, &error);
    ASSERT_TRUE(g);
    const std::string t = Cp932ToUtf8(g->text);
    // "甲/甲/..." : the first two are the same slot.
    ASSERT_EQ(t.substr(0, 3), t.substr(4, 3)) << t;
    ASSERT_EQ(g->filled.size(), 3u);  // x, y, p
    const std::string pair = t.substr(t.rfind('/') + 1);
    differing_pairs += pair.substr(0, 3) != pair.substr(6, 3);
  }
  EXPECT_GT(differing_pairs, 20);  // the two {x} inside a word are separate choices
}

TEST(SentenceGeneration, RunawayWordsAreStopped) {
  const Library loop = Load("[band a]\n<{a}>\n[template t]\n{a}\n");
  Frame frame;
  std::string error;
  EXPECT_FALSE(Generate(loop, frame, 1, &error));
  EXPECT_NE(error.find("nest more than 8"), std::string::npos) << error;
  // Wide rather than deep: every word names the next band many times over.
  std::string file = "[template t]\n{b1}\n";
  for (int level = 1; level <= 7; ++level) {
    file += "[band b" + std::to_string(level) + "]\n";
    for (int k = 0; k < 40; ++k) file += "{b" + std::to_string(level + 1) + "}";
    file += "\n";
  }
  file += "[band b8]\nx\n";
  const Library wide = Load(file);
  EXPECT_FALSE(Generate(wide, frame, 1, &error));
  EXPECT_NE(error.find("100000"), std::string::npos) << error;
}

TEST(SentenceConversion, UsesOnlyTheFrameAndNamesTheFirstOpenSlot) {
  const Library library = Load("[band b]\nx\n[template t]\n{{literal}} {a}-{b}-{a}\n");
  Frame frame;
  std::string error;
  EXPECT_FALSE(Convert(library, frame, &error));
  EXPECT_EQ(error, "the frame has no template");
  frame.template_name = "t";
  frame.Set("a", "A");
  EXPECT_FALSE(Convert(library, frame, &error));
  EXPECT_EQ(error, "slot b is not filled");
  frame.Set("b", "B");
  EXPECT_EQ(Convert(library, frame, &error).value_or(""), "{literal} A-B-A");
  frame.template_name = "gone";
  EXPECT_FALSE(Convert(library, frame, &error));
  EXPECT_EQ(error, "no template gone");
}

TEST(SentenceFrames, HoldThirtyTwoSlotsAndEmptyValuesClear) {
  Frame frame;
  for (int i = 0; i < 32; ++i) ASSERT_TRUE(frame.Set("s" + std::to_string(i), "v"));
  EXPECT_FALSE(frame.Set("s32", "v"));
  EXPECT_TRUE(frame.Set("s3", "w"));  // an existing slot is replaced
  EXPECT_EQ(*frame.Get("s3"), "w");
  EXPECT_TRUE(frame.Set("s3", ""));
  EXPECT_EQ(frame.Get("s3"), nullptr);
  EXPECT_TRUE(frame.Set("s32", "v"));
  EXPECT_FALSE(frame.Set("s33", std::string(SL_VALUE_BYTES_MAX + 1, 'x')));
}

TEST(SentenceShiftJis, SecondBytesThatLookLikeBracesAreText) {
  // ボ = 83 7B ('{'), マ = 83 7D ('}'), ゾ = 83 5D (']'), ゼ = 83 5B ('[').
  const Library library = Load("[band ゾ]\nボマ\n[template ゼゾ]\nマ{x:ゾ}ボ\n");
  ASSERT_EQ(library.Templates().size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(library.Templates()[0].name), "ゼゾ");
  Frame frame;
  EXPECT_EQ(GenerateText(library, frame, 0), "マボマボ");
  EXPECT_TRUE(WildcardMatch(Utf8ToCp932("ゼゾ"), Utf8ToCp932("?ゾ")));
  EXPECT_TRUE(WildcardMatch(Utf8ToCp932("ゼゾ"), "*"));
  EXPECT_FALSE(WildcardMatch(Utf8ToCp932("ゼゾ"), "???"));
  EXPECT_TRUE(WildcardMatch("forecast-long", "fore*long"));
  EXPECT_FALSE(WildcardMatch("forecast", "Fore*"));
}

struct Malformed {
  const char* file;
  const char* error;
};

TEST(SentenceLibraryErrors, MalformedFilesSayWhereAndWhyAndChangeNothing) {
  const Malformed cases[] = {
      {"just text\n", "line 1: text before the first [band] or [template]"},
      {"[band a]\nx\n[story s]\n", "line 3: unknown section [story] (band or template)"},
      {"[band a\n", "line 1: a section line ends with ']'"},
      {"[band]\n", "line 1: bad or missing name"},
      {"[band a b]\n", "line 1: bad or missing name"},
      {"[band a *2]\n", "line 1: a band has no weight of its own"},
      {"[band a]\nx *0\n", "line 2: weight must be 1 to 10000"},
      {"[template t *10001]\nx\n", "line 1: weight must be 1 to 10000"},
      {"[template t]\n{open\n", "line 2: slot not closed with '}'"},
      {"[template t]\nclose}\n", "line 2: '}' without '{' (write }} for the brace itself)"},
      {"[template t]\n{}\n", "line 2: bad slot {}"},
      {"[template t]\n{a b}\n", "line 2: bad slot {a b}"},
      {"[template t]\n{a:}\n", "line 2: bad slot {a:}"},
      {"[template t]\n\n[band b]\nx\n", "line 1: template t has no text"},
      {"[template t]\n{a:nowhere}\n", "line 2: no band nowhere"},
      {"[band a]\nx\n[band a]\ny\n", "line 3: band a appears twice"},
      {"[template t]\nx\n[template t]\ny\n", "line 3: template t appears twice"},
      {"[band a]\nx\x82\n", "line 2: broken Shift-JIS character at the end"},
      {"[band a]\n{b\n", "line 2: slot not closed with '}'"},
  };
  for (const Malformed& c : cases) {
    Library library = Load("[band keep]\nkept\n[template keep]\n{keep}\n");
    std::string error;
    EXPECT_FALSE(library.Load(c.file, false, false, &error)) << c.file;
    EXPECT_EQ(error, c.error) << c.file;
    ASSERT_NE(library.FindTemplate("keep"), nullptr) << c.file;
    EXPECT_EQ(library.FindBand("keep")->words.size(), 1u) << c.file;
  }
  Library library;
  std::string error;
  EXPECT_FALSE(library.Load("[band a]\n" + std::string(4096, 'x') + "\n", false, false, &error));
  EXPECT_EQ(error, "line 2: longer than 4095 bytes");
  EXPECT_FALSE(library.Load(std::string(SL_FILE_BYTES_MAX + 1, ';'), false, false, &error));
  EXPECT_EQ(error, "file longer than 4 MB");
}

TEST(SentenceLibrary, BandFilesReplaceOrExtendBandsAndRefuseTemplates) {
  Library library = Load("[band a]\nx\n[template t]\n{a}\n");
  std::string error;
  EXPECT_FALSE(library.Load("[template u]\ny\n", true, false, &error));
  EXPECT_EQ(error, "line 1: a band file holds no templates");
  ASSERT_TRUE(library.Load("[band a]\ny\nz\n", true, true, &error)) << error;
  EXPECT_EQ(library.FindBand("a")->words.size(), 3u);
  ASSERT_TRUE(library.Load("[band a]\nw *4\n[band c]\nv\n", true, false, &error)) << error;
  EXPECT_EQ(library.FindBand("a")->words.size(), 1u);
  EXPECT_EQ(library.FindBand("a")->total_weight, 4);
  EXPECT_NE(library.FindBand("c"), nullptr);
  EXPECT_NE(library.FindTemplate("t"), nullptr);  // templates stay
  // A whole library replaces everything.
  ASSERT_TRUE(library.Load("[template only]\ntext\n", false, false, &error));
  EXPECT_EQ(library.FindBand("a"), nullptr);
  EXPECT_EQ(library.RemoveWord("a", "w"), 0);
}

TEST(SentenceLibrary, TemplatesSpanLinesAndKeepTheirText) {
  const Library library = Load("; comment\r\n[template t *2]\r\nfirst {a}\r\n[[second\r\n\r\n[band a]\r\nA\r\n");
  const Template* t = library.FindTemplate("t");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->text, "first {a}\r\n[second");
  EXPECT_EQ(t->weight, 2);
  EXPECT_EQ(SlotNames(*t), std::vector<std::string>{"a"});
  Frame frame;
  EXPECT_EQ(GenerateText(library, frame, 0), "first A\r\n[second");
}

}  // namespace
}  // namespace vx::sentences
