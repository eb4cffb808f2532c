// Every API a family registers has a reference page: its name appears in
// docs/api/ as a heading or as code. The list comes from the registration
// itself, so a family added later without its page fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "api/api_table.hpp"
#include "api/call.hpp"

namespace vx::test {
namespace {

class IdRegistry : public api::Registry {
 public:
  void Add(int id, api::Handler) override { ids.push_back(id); }
  std::vector<int> ids;
};

bool NameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// `name` as a whole word of `text` (so "rand" is not found in "random").
bool HasWord(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
    const bool starts = at == 0 || (!NameChar(text[at - 1]) && text[at - 1] != '$');
    const std::size_t end = at + name.size();
    if (starts && (end == text.size() || !NameChar(text[end]))) return true;
  }
  return false;
}

// Named in a heading line or inside a `code` span of a line.
bool Documents(std::string_view page, std::string_view name) {
  while (!page.empty()) {
    const std::size_t eol = page.find('\n');
    const std::string_view line = page.substr(0, eol);
    page.remove_prefix(eol == std::string_view::npos ? page.size() : eol + 1);
    if (line.starts_with('#') && HasWord(line, name)) return true;
    for (std::size_t open = line.find('`'); open != std::string_view::npos;) {
      const std::size_t close = line.find('`', open + 1);
      if (close == std::string_view::npos) break;
      if (HasWord(line.substr(open + 1, close - open - 1), name)) return true;
      open = line.find('`', close + 1);
    }
  }
  return false;
}

std::vector<std::string> ReferencePages() {
  const std::filesystem::path dir = std::filesystem::path(VEXMORA_TEST_DATA_DIR) / ".." / ".." / "docs" / "api";
  std::vector<std::string> pages;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".md") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    pages.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return pages;
}

TEST(ReferencePages, TheRuleWantsHeadingsOrCodeNotProse) {
  EXPECT_TRUE(Documents("### rand (68)\n", "rand"));
  EXPECT_TRUE(Documents("| `BitSet` | N bit |\n", "BitSet"));
  EXPECT_TRUE(Documents("x\n`CALL $Mouse N show`\n", "$Mouse"));
  EXPECT_FALSE(Documents("Random numbers: a rand call.\n", "rand"));
  EXPECT_FALSE(Documents("### Random numbers\n`CALL randomize`\n", "rand"));
  EXPECT_FALSE(Documents("### BitSetAll\n`MyBitSet`\n", "BitSet"));
  EXPECT_FALSE(Documents("### $Mouse2\n", "$Mouse"));
}

TEST(ReferencePages, EveryRegisteredApiIsNamedInDocsApi) {
  const std::vector<std::string> pages = ReferencePages();
  ASSERT_GE(pages.size(), 10u) << "docs/api not found";
  IdRegistry registry;
  api::RegisterFamilies(registry);
  ASSERT_GE(registry.ids.size(), 300u);
  std::string missing;
  for (int id : registry.ids) {
    const std::string_view name = api::NameOf(id);
    bool found = false;
    for (const std::string& page : pages) found = found || Documents(page, name);
    if (!found) missing += " " + std::string(name) + " (" + std::to_string(id) + ")";
  }
  EXPECT_TRUE(missing.empty()) << "registered without a reference page:" << missing;
}

}  // namespace
}  // namespace vx::test
