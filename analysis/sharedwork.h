#pragma once
// Work of one run shared between threads: the parts are independent, each writes only its
// own results, so what comes out does not depend on the number of threads.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

namespace vardell {

namespace detail {
// Runs job(context) on the calling thread and on `helpers` more, and returns when all have
// finished. The helpers are threads kept for the program's lifetime, so that a run does not
// pay for starting threads at every step; while another run holds them, the job runs on the
// calling thread alone.
void RunOnHelpers(int helpers, void (*job)(void*), void* context);
}  // namespace detail

// Runs work(i) for first <= i < last on up to `threads` threads (the calling one among them),
// each i once, taken in ascending order. When some work(i) throw, the exception of the
// lowest such i is rethrown once all have stopped, as a loop in one thread would throw it:
// every i below it was taken before it and finishes.
template <class Work>
void RunShared(int first, int last, int threads, Work work) {
  std::atomic<int> next{first};
  std::atomic<bool> failed{false};
  std::mutex guard;
  int failedAt = last;
  std::exception_ptr failure;
  const auto worker = [&] {
    for (int i; !failed.load(std::memory_order_relaxed) && (i = next++) < last;) {
      try {
        work(i);
      } catch (...) {
        const std::lock_guard lock(guard);
        if (i < failedAt) failedAt = i, failure = std::current_exception();
        failed = true;
      }
    }
  };
  using Worker = decltype(worker);
  const int helpers = std::min(threads, last - first) - 1;
  if (helpers > 0)
    detail::RunOnHelpers(
        helpers, [](void* context) { (*static_cast<const Worker*>(context))(); },
        const_cast<void*>(static_cast<const void*>(&worker)));
  else
    worker();
  if (failure) std::rethrow_exception(failure);
}

// Threads for work of the given size: one per `perThread` units, at most one per processor
// and at most 8; small work is not worth starting any.
inline int ThreadsFor(std::int64_t units, std::int64_t perThread) {
  const auto available = static_cast<std::int64_t>(std::thread::hardware_concurrency());
  return static_cast<int>(std::clamp<std::int64_t>(std::min(available, units / perThread), 1, 8));
}

}  // namespace vardell
