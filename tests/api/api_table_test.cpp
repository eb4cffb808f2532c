#include "api/api_table.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "api/api_ids.hpp"

namespace vx::test {
namespace {

struct Row {
  int id;
  std::string name;
};

// tests/data/api-table.tsv: a header, then "id<TAB>name<TAB>family" rows.
std::vector<Row> ExpectedRows() {
  std::ifstream in(std::string(VEXMORA_TEST_DATA_DIR) + "/api-table.tsv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, name;
    std::getline(fields, id, '\t');
    std::getline(fields, name, '\t');
    rows.push_back({std::stoi(id), name});
  }
  return rows;
}

TEST(ApiTable, HasEveryIdOnceAndUniqueNames) {
  const auto table = api::Table();
  ASSERT_EQ(table.size(), 601u);
  std::set<int> ids;
  std::set<std::string_view> names;
  for (const ApiEntry& e : table) {
    EXPECT_GE(e.id, 1);
    EXPECT_LE(e.id, 601);
    EXPECT_TRUE(ids.insert(e.id).second) << "id twice: " << e.id;
    EXPECT_TRUE(names.insert(e.name).second) << "name twice: " << e.name;
    EXPECT_FALSE(e.name.empty());
  }
  EXPECT_EQ(ids.size(), 601u);
}

// The ids scripts written on Windows use are all there, unchanged.
TEST(ApiTable, MatchesTheReferenceListRowByRow) {
  const std::vector<Row> expected = ExpectedRows();
  ASSERT_EQ(expected.size(), 597u);
  EXPECT_EQ(API_ID_INHERITED_MAX, 597);
  for (const Row& row : expected) {
    EXPECT_EQ(api::NameOf(row.id), row.name) << "id " << row.id;
    const auto found = api::LookupApi(row.name);
    ASSERT_TRUE(found.has_value()) << row.name;
    EXPECT_EQ(found->id, row.id) << row.name;
    EXPECT_EQ(api::Table()[found->position].name, row.name);
  }
}

TEST(ApiTable, IsStoredInIdOrder) {
  const auto table = api::Table();
  for (std::size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].id, static_cast<int>(i) + 1);
}

TEST(ApiTable, SampleOfNamesAndIds) {
  const std::pair<const char*, int> samples[] = {
      {"SetSysPrm", 1},      {"CtrlMonitor", 7},     {"AllAscii", 8},      {"strlen", 22},
      {"SJisToUTF8", 47},    {"SetWindowText", 48},  {"GetSprtdFld", 51},  {"GetFixFld", 56},
      {"WriteBinary", 57},   {"GetSourceName", 58},  {"RscCtrl", 67},      {"rand", 68},
      {"GetArray", 69},      {"SaveStrArray", 77},   {"SearchStrArray", 80}, {"SortList", 86},
      {"TruncateFile", 87},  {"InFileWC", 95},       {"Set3DScrn", 96},    {"Draw3DWave", 115},
      {"SpectAnalyze", 183}, {"GetKeyState", 190},   {"WSrvStart", 191},   {"GetLocalIP", 203},
      {"xxEncode", 204},     {"xxDecode", 205},      {"$Mouse", 206},      {"$DeskTop", 207},
      {"CancelPaint", 208},  {"DrawForm", 271},      {"CalcTmCard", 290},  {"RefIconName", 317},
      {"MsgBx", 335},        {"SaveJpg", 380},       {"CalcCRC", 386},     {"CtrlStepTimer", 396},
      {"ScreenShift", 397},  {"LoadValues", 405},    {"BitTest", 412},     {"BitSet", 413},
      {"BitLogic", 414},     {"MscMkSMF", 432},      {"CalcStr", 433},     {"VMtxVec", 447},
      {"Set2DDpth", 506},    {"BlkCnvPhiTs", 514},   {"GetWindowSz", 530}, {"PostEventExt", 538},
      {"CtDRCMin", 555},     {"CtDRC", 556},         {"CtDebug", 559},     {"SRecord", 576},
      {"SMPT_setprm", 577},  {"SMPT_slope", 583},    {"SL_LoadLib", 584},  {"SL_Debug", 595},
      {"SpRays", 596},       {"DebugFunc", 597},
  };
  for (const auto& [name, id] : samples) {
    const auto found = api::LookupApi(name);
    ASSERT_TRUE(found.has_value()) << name;
    EXPECT_EQ(found->id, id) << name;
  }
  static_assert(api::Id("CalcStr") == 433);
  static_assert(api::Id("$DeskTop") == 207);
}

TEST(ApiTable, LookupIsExactAndCaseSensitive) {
  EXPECT_TRUE(api::LookupApi("strcmp").has_value());
  EXPECT_TRUE(api::LookupApi("stricmp").has_value());
  EXPECT_FALSE(api::LookupApi("Strlen").has_value());
  EXPECT_FALSE(api::LookupApi("STRLEN").has_value());
  EXPECT_FALSE(api::LookupApi("strlen ").has_value());
  EXPECT_FALSE(api::LookupApi(" strlen").has_value());
  EXPECT_FALSE(api::LookupApi("strle").has_value());
  EXPECT_FALSE(api::LookupApi("").has_value());
  EXPECT_FALSE(api::LookupApi(std::string_view("strlen\0", 7)).has_value());
}

// This program's own additions follow the inherited table.
TEST(ApiTable, AdditionsComeAfterTheInheritedIds) {
  const std::pair<const char*, int> additions[] = {
      {"GetSimField", 598}, {"SetSimField", 599}, {"S2GetField", 600}, {"S2SetField", 601}};
  for (const auto& [name, id] : additions) {
    const auto found = api::LookupApi(name);
    ASSERT_TRUE(found.has_value()) << name;
    EXPECT_EQ(found->id, id) << name;
    EXPECT_GT(id, API_ID_INHERITED_MAX);
    EXPECT_TRUE(api::IsProvided(id)) << name;
  }
}

TEST(ApiTable, NameOfOutsideTheTableIsEmpty) {
  EXPECT_EQ(api::NameOf(0), "");
  EXPECT_EQ(api::NameOf(602), "");
  EXPECT_EQ(api::NameOf(598), "GetSimField");
  EXPECT_EQ(api::NameOf(-1), "");
  EXPECT_EQ(api::NameOf(1), "SetSysPrm");
  EXPECT_EQ(api::NameOf(597), "DebugFunc");
}

}  // namespace
}  // namespace vx::test
