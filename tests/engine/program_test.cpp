#include "engine/program.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/block_compiler.hpp"
#include "engine/pending_error.hpp"
#include "engine/system_variables.hpp"
#include "text/messages.hpp"

namespace vx {
namespace {

TEST(SystemVariables, SeventyInOrderWithCapacities) {
  Program p;
  p.CreateSystemVariables("cmd line", "/opt/vx/", "/home");
  ASSERT_EQ(p.RscCount(), 70);
  EXPECT_EQ(p.Resource(0).Name(), "U_V1");
  EXPECT_EQ(p.Resource(12).Name(), "U_STR1");
  EXPECT_EQ(p.Resource(sysvar::G_ERROR).Name(), "G_ERROR");
  EXPECT_EQ(p.Resource(sysvar::G_TXT).capacity, 16000);
  EXPECT_EQ(p.Resource(sysvar::G_HTTP_ADDR).capacity, 32);
  EXPECT_EQ(p.Resource(sysvar::G_CLC_STR).capacity, 1024);
  EXPECT_EQ(p.Resource(sysvar::G_TCP_S).capacity, 16384);
  EXPECT_EQ(p.Resource(sysvar::G_CLIPBOARD).Name(), "G_CLIPBOARD");
  EXPECT_EQ(p.Resource(sysvar::G_CLIPBOARD).kind, R_KD_VAL_CLIPBD);
  EXPECT_EQ(p.Resource(sysvar::G_DBLWK6).kind, R_KD_VAL_DOUBLE);
  EXPECT_EQ(p.Resource(sysvar::G_CMD_LINE).Text(), "cmd line");
  EXPECT_EQ(p.Resource(sysvar::G_MODULE_DIR).Text(), "/opt/vx/");
  EXPECT_EQ(p.FindResource("G_BLK_SELCNT"), 68);
  EXPECT_EQ(ResourceKindName(R_KD_STEPTIMER), "R_KD_STEPTIMER");
  EXPECT_EQ(DirectiveName(P_DTV_DEBUG), "P_DTV_DEBUG");
}

// Every text system variable, in index order.
std::vector<std::int32_t> TextSystemVariables(const Program& p) {
  std::vector<std::int32_t> out;
  for (std::int32_t i = 0; i < sysvar::COUNT; ++i) {
    if (p.Resource(i).kind == R_KD_VAL_TXT) out.push_back(i);
  }
  return out;
}

TEST(SystemVariables, TextBuffersAreWholeAndSeparate) {
  Program p;
  p.CreateSystemVariables("", "", "");
  const std::vector<std::int32_t> texts = TextSystemVariables(p);
  ASSERT_EQ(texts.size(), 25u);
  // Each buffer filled to its last byte with its own mark leaves the others'
  // marks intact: no two buffers share a byte.
  for (std::int32_t i : texts) {
    ResourceEntry& e = p.Resource(i);
    ASSERT_NE(e.text, nullptr) << e.Name();
    ASSERT_EQ(e.text_capacity, e.capacity) << e.Name();
    std::fill_n(e.text.get(), e.text_capacity, static_cast<char>('A' + i % 50));
  }
  for (std::int32_t i : texts) {
    const ResourceEntry& e = p.Resource(i);
    const char mark = static_cast<char>('A' + i % 50);
    EXPECT_TRUE(std::all_of(e.text.get(), e.text.get() + e.text_capacity, [&](char c) { return c == mark; }))
        << e.Name();
  }
}

TEST(SystemVariables, NextScriptFindsThemEmptyAgain) {
  Program p;
  p.CreateSystemVariables("first", "/a/", "/b");
  for (std::int32_t i : TextSystemVariables(p)) {
    ResourceEntry& e = p.Resource(i);
    std::fill_n(e.text.get(), e.text_capacity, 'x');
  }
  p.Clear();
  p.CreateSystemVariables("second", "/c/", "/d");
  EXPECT_EQ(p.Resource(sysvar::G_CMD_LINE).Text(), "second");
  EXPECT_EQ(p.Resource(sysvar::G_CURRENT_DIR).Text(), "/d");
  for (std::int32_t i : TextSystemVariables(p)) {
    if (i == sysvar::G_CMD_LINE || i == sysvar::G_MODULE_DIR || i == sysvar::G_CURRENT_DIR) continue;
    const ResourceEntry& e = p.Resource(i);
    EXPECT_TRUE(std::all_of(e.text.get(), e.text.get() + e.text_capacity, [](char c) { return c == 0; }))
        << e.Name();
  }
  // The bytes after a preset value are zero as well.
  const ResourceEntry& cmd = p.Resource(sysvar::G_CMD_LINE);
  EXPECT_TRUE(std::all_of(cmd.text.get() + 6, cmd.text.get() + cmd.text_capacity, [](char c) { return c == 0; }));
}

TEST(SystemVariables, CreatedTwiceWithoutClearingKeepsTheFirstBuffers) {
  Program p;
  p.CreateSystemVariables("one", "", "");
  p.CreateSystemVariables("two", "", "");  // duplicates, but the first set stays readable
  ASSERT_EQ(p.RscCount(), 140);
  // The presets go to the indices 0 to 69, as ever.
  EXPECT_EQ(p.Resource(sysvar::G_CMD_LINE).Text(), "two");
  EXPECT_EQ(p.Resource(70 + sysvar::G_CMD_LINE).Text(), "");
  ResourceEntry& first = p.Resource(sysvar::G_TXT);
  ResourceEntry& second = p.Resource(70 + sysvar::G_TXT);
  ASSERT_NE(second.text, nullptr);
  EXPECT_NE(first.text.get(), second.text.get());
  std::fill_n(second.text.get(), second.text_capacity, 'y');
  EXPECT_TRUE(std::all_of(first.text.get(), first.text.get() + first.text_capacity, [](char c) { return c == 0; }));
}

TEST(ResourceEntry, ALentBufferIsNotFreedAndANewOneIs) {
  char lent[8] = {};
  ResourceEntry e;
  e.LendText(lent, sizeof lent);
  EXPECT_EQ(e.text.get(), lent);
  EXPECT_EQ(e.text_capacity, 8);
  EXPECT_FALSE(e.text.get_deleter().owned);
  ASSERT_TRUE(e.AssignText("abc"));  // must not free the lent array
  EXPECT_NE(e.text.get(), lent);
  EXPECT_TRUE(e.text.get_deleter().owned);  // the allocated one is freed
  EXPECT_EQ(e.Text(), "abc");
}

TEST(Program, LimitsAndNames) {
  Program p;
  PendingError error;
  for (int i = 0; i < RESOURCE_MAX; ++i) {
    ResourceEntry* e = p.NewResource();
    ASSERT_NE(e, nullptr);
    e->SetName("R" + std::to_string(i));
    p.CommitResource(i, error);
  }
  EXPECT_EQ(p.NewResource(), nullptr);
  EXPECT_FALSE(error.Raised());
  EXPECT_EQ(p.Resource(5).line, 5);

  ResourceEntry e;
  e.SetName(std::string(40, 'x'));
  EXPECT_EQ(e.Name().size(), 31u);

  EXPECT_EQ(p.ProcCount(), 1);  // record 0 is never used
  for (int i = 1; i < PROCEDURE_MAX; ++i) ASSERT_NE(p.NewProcedure(), nullptr);
  EXPECT_EQ(p.NewProcedure(), nullptr);
  p.Clear();
  EXPECT_EQ(p.RscCount(), 0);
  EXPECT_EQ(p.ProcCount(), 1);
  EXPECT_EQ(p.FindResource("R1"), -1);
}

TEST(Labels, LoadTimeExactRunTimeCaseless) {
  Program p;
  PendingError error;
  const auto foo = p.FindOrAddLabel("Foo", error);
  EXPECT_EQ(p.FindOrAddLabel("Foo", error), foo);
  const auto lower = p.FindOrAddLabel("foo", error);
  EXPECT_NE(lower, foo);
  EXPECT_EQ(p.FindLabelAtRunTime("FOO"), -1);  // neither is defined yet
  p.LabelAt(lower).entry = 3;
  EXPECT_EQ(p.FindLabelAtRunTime("FOO"), lower);
  EXPECT_FALSE(error.Raised());
  p.FindOrAddLabel("", error);
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kLabelBlank));
  EXPECT_EQ(p.LblCount(), 3);
}

TEST(Labels, InitialRowAddedOnlyWhenNoneExists) {
  Program p;
  PendingError error;
  p.AddInitialLabelIfMissing();
  ASSERT_EQ(p.LblCount(), 1);
  EXPECT_EQ(p.LabelAt(0).entry, 1);
  EXPECT_EQ(p.LabelAt(0).Name(), "Initial");

  Program q;
  q.FindOrAddLabel("INITIAL", error);  // referenced, never defined
  q.AddInitialLabelIfMissing();
  EXPECT_EQ(q.LblCount(), 1);
  EXPECT_EQ(q.FindLabelAtRunTime("Initial"), -1);

  Program full;
  for (int i = 0; i < LABEL_MAX; ++i) full.FindOrAddLabel("L" + std::to_string(i), error);
  EXPECT_EQ(full.FindOrAddLabel("more", error), -1);
  full.AddInitialLabelIfMissing();
  EXPECT_EQ(full.LblCount(), LABEL_MAX);
}

class BlockCompilerTest : public ::testing::Test {
 protected:
  std::int32_t Emit(std::uint16_t code, std::int32_t a = 0, std::int32_t b = 0) {
    Procedure* p = program.NewProcedure();
    p->code = code;
    p->a = a;
    p->b = b;
    return program.ProcCount() - 1;
  }
  std::int32_t BlockIf() {
    const auto p = Emit(P_DTV_IF, 0, IF_TAIL_BLOCK);
    EXPECT_TRUE(blocks.OpenIf(p));
    return p;
  }
  Program program;
  PendingError error;
  BlockCompiler blocks{program, error};
};

TEST_F(BlockCompilerTest, IfElseEndif) {
  const auto if_proc = BlockIf();       // 1
  Emit(P_DTV_MOVE);                     // 2
  ASSERT_NE(blocks.Else(7), nullptr);   // 3
  Emit(P_DTV_MOVE);                     // 4
  ASSERT_TRUE(blocks.EndIf());
  EXPECT_EQ(program.Proc(if_proc).target, 4);  // first procedure of the else part
  EXPECT_EQ(program.Proc(3).code, P_DTV_ELSE_IF);
  EXPECT_EQ(program.Proc(3).line, 7);
  EXPECT_EQ(program.Proc(3).target, 5);  // may be the end of the program
  EXPECT_TRUE(blocks.CheckAllClosed());
}

TEST_F(BlockCompilerTest, IfWithoutElseJumpsPastEndif) {
  const auto if_proc = BlockIf();
  Emit(P_DTV_MOVE);
  ASSERT_TRUE(blocks.EndIf());
  EXPECT_EQ(program.Proc(if_proc).target, 3);
}

TEST_F(BlockCompilerTest, MisplacedBlockWords) {
  EXPECT_EQ(blocks.Else(1), nullptr);
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kUnexpectedElse));
  EXPECT_FALSE(blocks.EndIf());
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kUnexpectedEndif));
  std::int32_t k = 0;
  EXPECT_FALSE(blocks.EnclosingBreak(&k));
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kUnexpectedBreak));
  EXPECT_FALSE(blocks.EnclosingContinue(&k));
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kUnexpectedContinue));
  EXPECT_EQ(blocks.EndWhile(1), nullptr);
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kUnexpectedEndwhile));
  BlockIf();
  ASSERT_NE(blocks.Else(1), nullptr);
  EXPECT_EQ(blocks.Else(1), nullptr);  // a second else
}

TEST_F(BlockCompilerTest, NestingLimitIsOneHundred) {
  for (int i = 0; i < BLOCK_NEST_MAX; ++i) BlockIf();
  const auto p = Emit(P_DTV_IF, 0, IF_TAIL_BLOCK);
  EXPECT_FALSE(blocks.OpenIf(p));
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kIfNestTooDeep));
  error.Clear();
  for (int i = 0; i < BLOCK_NEST_MAX; ++i) blocks.While(1);
  EXPECT_FALSE(error.Raised());
  blocks.While(1);
  EXPECT_EQ(error.Text(), msg::Text(msg::Id::kWhileNestTooDeep));
}

TEST_F(BlockCompilerTest, BreaksArePatchedByTheirOwnLoop) {
  const auto outer = program.ProcCount();
  blocks.While(1);                                 // 1 outer, nesting 0
  const auto inner = program.ProcCount();
  blocks.While(2);                                 // 2 inner, nesting 1
  std::int32_t k = -1;
  ASSERT_TRUE(blocks.EnclosingBreak(&k));
  EXPECT_EQ(k, 1);
  const auto inner_break = Emit(P_DTV_BREAK, 0, k);        // 3
  std::int32_t w = 0;
  ASSERT_TRUE(blocks.EnclosingContinue(&w));
  EXPECT_EQ(w, inner);
  ASSERT_NE(blocks.EndWhile(3), nullptr);         // 4
  ASSERT_TRUE(blocks.EnclosingBreak(&k));
  EXPECT_EQ(k, 0);
  const auto outer_if_break = Emit(P_DTV_IF, k, IF_TAIL_BREAK);  // 5
  ASSERT_NE(blocks.EndWhile(4), nullptr);         // 6
  EXPECT_EQ(program.Proc(inner_break).target, 5);
  EXPECT_EQ(program.Proc(outer_if_break).target, 7);
  EXPECT_EQ(program.Proc(inner).target, 5);
  EXPECT_EQ(program.Proc(outer).target, 7);
  EXPECT_EQ(program.Proc(4).target, inner);
  EXPECT_EQ(program.Proc(6).target, outer);
  EXPECT_EQ(program.Proc(6).code, P_DTV_ENDWHILE);
}

TEST_F(BlockCompilerTest, UnclosedBlocksNameTheInnermost) {
  blocks.While(1);  // 1
  BlockIf();        // 2
  BlockIf();        // 3
  EXPECT_FALSE(blocks.CheckAllClosed());
  EXPECT_EQ(error.Text(), msg::Format(msg::Id::kIfNotClosed, 3L));
  blocks.EndIf();
  blocks.EndIf();
  EXPECT_FALSE(blocks.CheckAllClosed());
  EXPECT_EQ(error.Text(), msg::Format(msg::Id::kWhileNotClosed, 1L));
}

}  // namespace
}  // namespace vx
