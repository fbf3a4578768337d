#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

// A lock whose waiters give up at a deadline. (std::timed_mutex would do, but its timed
// lock is invisible to the thread sanitizer, which then reports every unlock.)
class DeadlineLock {
 public:
  using Clock = std::chrono::steady_clock;

  // True once the lock is taken; false when the deadline passed first.
  bool lockUntil(Clock::time_point deadline) {
    std::unique_lock guard(state_);
    if (!released_.wait_until(guard, deadline, [this] { return !held_; })) return false;
    held_ = true;
    return true;
  }

  void unlock() {
    {
      std::lock_guard guard(state_);
      held_ = false;
    }
    released_.notify_one();
  }

 private:
  std::mutex state_;  // guards held_ only, never held while the lock is used
  std::condition_variable released_;
  bool held_ = false;
};
