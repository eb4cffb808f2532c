// Evaluating compiled code must not allocate. This file replaces the global
// allocation functions of the test program with counting ones; they count
// only while a test asks them to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "support/runtime_fixture.hpp"
#include "values/compiled_expression.hpp"
#include "values/compiled_string.hpp"
#include "values/expression.hpp"
#include "values/values.hpp"

namespace {
thread_local bool g_counting = false;
thread_local std::size_t g_allocations = 0;
}  // namespace

// gcc sees malloc in new and free in delete and warns of a mismatch that is
// none: both halves are replaced together.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_counting) ++g_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace vx::test {
namespace {

class CompiledAllocationTest : public RuntimeTest {};

TEST_F(CompiledAllocationTest, EvaluationAllocatesNothing) {
  DeclareLong("A", 3);
  DeclareLong("B", 4);
  DeclareDouble("C", 2.5);
  DeclareString("D", 32, "16");
  const auto edit = DeclareControl("W", R_KD_CK_BOX);
  window.At(rt.program.Resource(edit)).checked = true;
  values::BuildNameTable(rt);
  std::string prepared = "(A+B*3)/(C-1)+sqrt(D)+W+round(A/B)+((A<<2)%5)+(1<2&&C>=2.5)";
  ASSERT_TRUE(expr::PrepareExpression(rt, prepared));
  CompiledExpressionPtr code = expr::Compile(prepared);
  const double first = expr::EvaluateCompiled(rt, *code);  // binds the names

  g_allocations = 0;
  g_counting = true;
  double sum = 0.0;
  for (int i = 0; i < 100; ++i) sum += expr::EvaluateCompiled(rt, *code);
  g_counting = false;

  EXPECT_EQ(g_allocations, 0u);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_DOUBLE_EQ(first, (3 + 12) / 1.5 + 4 + 1 + 1 + 2 + 1);
  EXPECT_DOUBLE_EQ(sum, 100 * first);
}

TEST_F(CompiledAllocationTest, StringEvaluationIntoAReservedTextAllocatesNothing) {
  DeclareLong("N", -12345);
  DeclareDouble("X", 0.5);
  DeclareString("S", 64, "text");
  CompiledStringPtr code = expr::CompileString(R"("<"+N+":"+X+"\x41"+S+">")");
  std::string out;
  out.reserve(1024);
  ASSERT_TRUE(expr::EvaluateCompiledString(rt, *code, out));  // finds the names

  g_allocations = 0;
  g_counting = true;
  bool ok = true;
  for (int i = 0; i < 100; ++i) ok = expr::EvaluateCompiledString(rt, *code, out) && ok;
  g_counting = false;

  EXPECT_TRUE(ok);
  EXPECT_EQ(g_allocations, 0u);
  EXPECT_EQ(out, "<-12345:0.500000Atext>");
}

}  // namespace
}  // namespace vx::test
