#pragma once
// A thread for a loop that mostly waits (a socket's listener), cheap to
// start with every run: a small stack, and none of std::thread's state on
// the heap. A std::thread's new thread frees that state itself, and the
// first free on a thread sets up a malloc arena for it: four system calls
// that wait on the process's memory map while start-up is faulting its
// pages in. `body` must not allocate until it has work to do.
#include <pthread.h>

#include <cstddef>

namespace vx::platform {

class QuietThread {
 public:
  // Enough for a listener that posts through Qt's event queue.
  static constexpr std::size_t kStackBytes = 256 * 1024;

  QuietThread() = default;
  QuietThread(const QuietThread&) = delete;
  QuietThread& operator=(const QuietThread&) = delete;
  ~QuietThread() { Join(); }

  // Runs `body(argument)` on a new thread; false when none could be started.
  bool Start(void (*body)(void*), void* argument) {
    if (started_) return false;
    body_ = body;
    argument_ = argument;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, kStackBytes);
    started_ = pthread_create(&thread_, &attributes, &Run, this) == 0;
    pthread_attr_destroy(&attributes);
    return started_;
  }

  bool Started() const { return started_; }

  // Waits for the body to return (at once when the thread never started).
  void Join() {
    if (!started_) return;
    pthread_join(thread_, nullptr);
    started_ = false;
  }

 private:
  static void* Run(void* self) {
    const auto* thread = static_cast<QuietThread*>(self);
    thread->body_(thread->argument_);
    return nullptr;
  }

  pthread_t thread_{};
  bool started_ = false;
  void (*body_)(void*) = nullptr;
  void* argument_ = nullptr;
};

}  // namespace vx::platform
