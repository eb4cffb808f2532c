#pragma once
// A small pool of worker threads for loops over rows (or columns) whose
// items are independent. The pool starts on first use; `VEXMORA_THREADS`
// sets how many threads a loop may use (the calling thread counts as one,
// 1 means no workers at all). A loop too small to pay for waking the
// workers, or one started from inside another, runs on the calling thread.
// Every item is handed to exactly one band and bands never share items, so
// a body that writes only its own items gives the same bytes however the
// loop is split.
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

namespace vx::platform {

// Most threads a loop may use, whatever the machine or the variable says.
inline constexpr int kMaxLoopThreads = 64;
// Below this much work (items x work per item, roughly byte operations) a
// loop stays on the calling thread: waking a worker costs some 10-50 us.
inline constexpr std::int64_t kMinParallelWork = std::int64_t{1} << 17;

// The value of VEXMORA_THREADS as a thread count: a whole number from 1 to
// kMaxLoopThreads; nothing for an absent, empty or malformed value (the
// machine's cores are used then). Larger numbers are cut to the maximum.
std::optional<int> ParseThreadCount(std::string_view text);

// Threads a loop may use, the calling thread included (at least 1).
int LoopThreads();

// The body of a loop: called with a half-open range [first, last).
class BandBody {
 public:
  template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, BandBody>)
  BandBody(F& f) : object_(&f), call_([](void* o, int first, int last) { (*static_cast<F*>(o))(first, last); }) {}
  void operator()(int first, int last) const { call_(object_, first, last); }

 private:
  void* object_;
  void (*call_)(void*, int, int);
};

// Calls body over [begin, end) in contiguous bands, spread over the pool
// when (end - begin) x work_per_item reaches kMinParallelWork; returns when
// every band is done.
void ParallelBands(int begin, int end, std::int64_t work_per_item, BandBody body);

template <typename F>
void ForBands(int begin, int end, std::int64_t work_per_item, F&& body) {
  ParallelBands(begin, end, work_per_item, BandBody(body));
}

}  // namespace vx::platform
