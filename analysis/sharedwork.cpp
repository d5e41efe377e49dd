#include "analysis/sharedwork.h"

#include <chrono>
#include <condition_variable>
#include <vector>

namespace vardell::detail {
namespace {

// Up to seven helper threads (a run uses at most eight), started on first use. A helper that
// has finished a job watches for the next one for a short while before it sleeps, since the
// steps of a run follow each other closely.
class Helpers {
 public:
  static constexpr int MaxHelpers = 7;

  ~Helpers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      ++generation_;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // False when another run holds the helpers.
  bool Run(int helpers, void (*job)(void*), void* context) {
    const std::unique_lock hold(inUse_, std::try_to_lock);
    if (!hold.owns_lock()) return false;
    helpers = std::min(helpers, MaxHelpers);
    {
      const std::lock_guard lock(mutex_);
      while (static_cast<int>(threads_.size()) < helpers) {
        const int index = static_cast<int>(threads_.size());
        threads_.emplace_back([this, index] { Serve(index); });
      }
      job_ = job;
      context_ = context;
      active_ = helpers;
      remaining_.store(helpers);
      generation_.fetch_add(1);
    }
    wake_.notify_all();
    job(context);
    // Wait for the helpers: briefly watching, then asleep.
    WatchFor([this] { return remaining_.load() == 0; });
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return remaining_.load() == 0; });
    return true;
  }

 private:
  // Watches for `ready` for about a millisecond.
  template <class Ready>
  static void WatchFor(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    while (!ready() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  }

  void Serve(int index) {
    unsigned seen = 0;
    for (;;) {
      WatchFor([&] { return generation_.load() != seen; });
      void (*job)(void*);
      void* context;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return generation_.load() != seen; });
        seen = generation_.load();
        if (stopping_) return;
        if (index >= active_) continue;
        job = job_;
        context = context_;
      }
      job(context);
      if (remaining_.fetch_sub(1) == 1) {
        const std::lock_guard lock(mutex_);
        done_.notify_all();
      }
    }
  }

  std::mutex inUse_;  // held by the run using the helpers
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  std::atomic<unsigned> generation_{0};
  std::atomic<int> remaining_{0};
  bool stopping_ = false;
  int active_ = 0;
  void (*job_)(void*) = nullptr;
  void* context_ = nullptr;
};

}  // namespace

void RunOnHelpers(int helpers, void (*job)(void*), void* context) {
  static Helpers pool;
  if (!pool.Run(helpers, job, context)) job(context);
}

}  // namespace vardell::detail
