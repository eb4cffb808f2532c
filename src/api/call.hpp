#pragma once
// One API invocation as a family's handler sees it: positional argument
// getters (through the getters of arguments.hpp, with the argument status
// word's optional bit set for the Opt... forms) and the result conventions
// (output resources, G_TXT, G_WORK1-4, G_DBLWK1-6, G_ERROR).
//
// A handler reads the same way as the API's argument list:
//
//   void Strlen(Call& call) {
//     std::string& text = call.Large(0);
//     call.String(0, text);
//     const std::int32_t out = call.Resource(1);
//     if (out < 0) return;           // the getter has reported it
//     call.WriteInt(out, static_cast<std::int32_t>(text.size()));
//   }
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "api/api_state.hpp"
#include "api/api_table.hpp"

namespace vx {

struct Runtime;
struct ArgumentCache;

namespace api {

class Call {
 public:
  Call(Runtime& rt, std::string_view args, ArgumentCache* cache);

  Runtime& rt() { return rt_; }
  std::string_view Args() const { return args_; }
  int ArgCount() const;

  // Required arguments: a missing one reports the getter's message.
  std::int32_t Int(int n);
  double Double(int n);
  // False when missing. A small work buffer keeps at most 4095 bytes.
  bool String(int n, std::string& out);
  // Text argument n for reading only: a view of the variable's own buffer
  // when the argument is one text variable, else its value in large work
  // buffer k. Valid until a variable is written or buffer k is taken again.
  std::string_view TextView(int n, int k);
  std::int32_t Resource(int n);  // -1 when missing or unknown
  // -1 without any message when the argument is missing or unknown.
  std::int32_t ResourceOrNone(int n);

  // Optional arguments: a missing one is silent and gives the fallback.
  std::int32_t OptInt(int n, std::int32_t fallback);
  double OptDouble(int n, double fallback);
  bool OptString(int n, std::string& out, std::string_view fallback = {});
  std::int32_t OptResource(int n);  // -1 when missing (silent) or unknown (reported)

  // Whether argument n is present (neither empty nor blank) without
  // evaluating it or reporting anything.
  bool Has(int n) const;

  // Shared work buffers: four of 131072 bytes and four of 4096 bytes, k from
  // 0 to 3; use a different one for each text held at the same time.
  // Contents are cleared.
  std::string& Large(int k);
  std::string& Small(int k);

  // Results.
  void WriteInt(std::int32_t resource, std::int32_t value);
  void WriteDouble(std::int32_t resource, double value);
  void WriteText(std::int32_t resource, std::string_view text);
  void SetError(std::int32_t status);           // G_ERROR
  void SetTxt(std::string_view text);           // G_TXT (unchanged when too long)
  void SetWork(int k, std::int32_t value);      // G_WORK1..4, k from 1
  void SetDblWork(int k, double value);         // G_DBLWK1..6, k from 1
  void SetErrText(std::string_view text);       // G_ERR_TXT
  void AppendDebugLog(std::string_view text);   // G_DEBUG_LOG
  void Fail(std::string_view message);          // raises the pending error

 private:
  Runtime& rt_;
  std::string_view args_;
  ArgumentCache* cache_;
};

// One row of a family's registration table: {api::Id("strlen"), Strlen}.
struct Registration {
  int id;
  Handler handler;
};

// Registration of a family's handlers by id; each family's handler file
// ends in its table and one Register...Apis function, and app/families.cpp
// calls them all.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual void Add(int id, Handler handler) = 0;
  void AddAll(std::span<const Registration> table) {
    for (const Registration& row : table) Add(row.id, row.handler);
  }
};

// Registers every family's handlers; the dispatcher calls it once, when it
// first needs its table. Defined above the families (app/families.cpp), so
// that the mechanism names none of them.
void RegisterFamilies(Registry& registry);

}  // namespace api
}  // namespace vx
