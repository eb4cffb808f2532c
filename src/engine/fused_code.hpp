#pragma once
// Fused statements: the run loop's plain numeric work (assignments of
// numbers to long and double variables, increments, conditions, loops, jumps
// and subroutine calls to labels) turned, statement by statement, into records
// that name their next statements and bound operands directly, and run one
// after another without the run loop's checks in between.
//
// A record is made on the first visit under the current tables and holds
// until the name table, the resource count or the procedures (their break
// marks included) change; the run loop enters the fused code only while
// nothing watches or traces single statements. Whatever a record cannot do
// (any other statement, an operand not yet bound, a failing operator, a
// full call stack) ends the fused run at that statement, which the run loop
// then executes itself, reporting as ever.
#include <cstdint>
#include <vector>

namespace vx {

struct Runtime;
struct CompiledExpression;
struct ResourceEntry;

namespace engine {

// A cache line each: a record that straddled two lines slowed the
// tightest loops by a fifth, its next record's address being a load away.
struct alignas(64) FusedStatement {
  std::uint8_t form = 0;  // 0: made on the next visit
  std::int32_t index = 0;  // the statement's procedure index
  std::int32_t label = 0;  // a call's label
  // The next statement, or where a holding condition goes; and where a
  // failing one goes.
  const FusedStatement* on_true = nullptr;
  const FusedStatement* on_false = nullptr;
  const CompiledExpression* expression = nullptr;
  ResourceEntry* counter = nullptr;  // what an increment adds to
  double* counter_value = nullptr;   // and its name-table value, if it has one
};

static_assert(sizeof(FusedStatement) == 64);

struct FusedCode {
  // One per procedure index, and one past the last; records point at each
  // other, so the vector is only ever replaced whole.
  std::vector<FusedStatement> statements;
  // The tables the records were made under.
  std::uint64_t names_generation = 0;
  std::int32_t resource_count = -1;
  std::uint32_t program_revision = 0;
};

// Runs fused statements from `p` (a procedure index of the program): the
// index of the first statement the run loop must execute itself. That is
// `p` itself when its statement does not fuse, and one past the last
// procedure when the run went off the end.
std::int32_t RunFused(Runtime& rt, std::int32_t p);

}  // namespace engine
}  // namespace vx
