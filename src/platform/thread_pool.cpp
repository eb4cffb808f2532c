#include "platform/thread_pool.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace vx::platform {
namespace {

// Bands a loop is cut into for each thread, so that a thread slowed by
// another process does not hold the whole loop up.
constexpr int kBandsPerThread = 4;

thread_local bool t_inside_loop = false;

// One loop at a time is spread; a loop started while another runs (from
// a second thread) runs on its own thread instead.
class Pool {
 public:
  explicit Pool(int threads) {
    workers_.reserve(static_cast<std::size_t>(threads - 1));
    for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) t.join();
  }

  int Threads() const { return static_cast<int>(workers_.size()) + 1; }

  // False when another loop holds the pool.
  bool Run(int begin, int end, int bands, BandBody body) {
    std::unique_lock busy(run_mutex_, std::try_to_lock);
    if (!busy.owns_lock()) return false;
    {
      std::lock_guard lock(mutex_);
      body_ = &body;
      begin_ = begin;
      end_ = end;
      bands_ = bands;
      next_.store(0, std::memory_order_relaxed);
      left_ = bands;
      workers_out_ = static_cast<int>(workers_.size());
      ++generation_;
    }
    wake_.notify_all();
    const int mine = TakeBands();
    std::unique_lock lock(mutex_);
    left_ -= mine;
    // Every worker has to have seen this loop before the next one may reuse
    // the fields above.
    done_.wait(lock, [this] { return left_ == 0 && workers_out_ == 0; });
    body_ = nullptr;
    return true;
  }

 private:
  void Work() {
    t_inside_loop = true;
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
      }
      const int finished = TakeBands();
      std::lock_guard lock(mutex_);
      left_ -= finished;
      --workers_out_;
      if (left_ == 0 && workers_out_ == 0) done_.notify_all();
    }
  }

  // Band i of n covers [begin + span*i/n, begin + span*(i+1)/n).
  // Returns how many bands this thread ran.
  int TakeBands() {
    int finished = 0;
    for (;;) {
      const int i = next_.fetch_add(1, std::memory_order_relaxed);
      if (i >= bands_) break;
      const std::int64_t span = std::int64_t{end_} - begin_;
      const int first = static_cast<int>(begin_ + span * i / bands_);
      const int last = static_cast<int>(begin_ + span * (i + 1) / bands_);
      (*body_)(first, last);
      ++finished;
    }
    return finished;
  }

  std::vector<std::thread> workers_;
  std::mutex run_mutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  bool stopping_ = false;
  std::uint64_t generation_ = 0;
  // The loop being run; written under mutex_ before the workers wake.
  const BandBody* body_ = nullptr;
  int begin_ = 0;
  int end_ = 0;
  int bands_ = 0;
  std::atomic<int> next_{0};
  int left_ = 0;
  int workers_out_ = 0;  // workers that have not yet finished this loop
};

int ThreadsFromEnvironment() {
  if (const auto n = ParseThreadCount(std::getenv("VEXMORA_THREADS") ? std::getenv("VEXMORA_THREADS") : "")) return *n;
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, kMaxLoopThreads);
}

Pool* ThePool() {
  static const int threads = ThreadsFromEnvironment();
  if (threads <= 1) return nullptr;
  static Pool pool(threads);
  return &pool;
}

}  // namespace

std::optional<int> ParseThreadCount(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range && end == text.data() + text.size() && text.front() != '-') {
    return kMaxLoopThreads;
  }
  if (error != std::errc{} || end != text.data() + text.size() || value < 1) return std::nullopt;
  return static_cast<int>(std::min<long long>(value, kMaxLoopThreads));
}

int LoopThreads() {
  const Pool* pool = ThePool();
  return pool == nullptr ? 1 : pool->Threads();
}

void ParallelBands(int begin, int end, std::int64_t work_per_item, BandBody body) {
  if (end <= begin) return;
  const std::int64_t items = std::int64_t{end} - begin;
  const bool small = work_per_item <= 0 || items < 2 || items * work_per_item < kMinParallelWork;
  Pool* pool = (small || t_inside_loop) ? nullptr : ThePool();
  if (pool != nullptr) {
    const int bands = static_cast<int>(std::min<std::int64_t>(items, std::int64_t{pool->Threads()} * kBandsPerThread));
    t_inside_loop = true;
    const bool ran = pool->Run(begin, end, bands, body);
    t_inside_loop = false;
    if (ran) return;
  }
  body(begin, end);
}

}  // namespace vx::platform
