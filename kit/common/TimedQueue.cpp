#include "kit/common/TimedQueue.hpp"

#include <future>

TimedQueue::TimedQueue() : thread_([this] { run(); }) {}

TimedQueue::~TimedQueue() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool TimedQueue::postAt(Clock::time_point at, Work work) {
  {
    std::lock_guard guard(lock_);
    if (stopping_) return false;
    due_.emplace(at, std::move(work));
  }
  changed_.notify_all();
  return true;
}

void TimedQueue::sync(const Work& work) {
  if (isCurrent()) return work();
  std::promise<void> done;
  const bool posted = postAt(Clock::now(), [&] {
    work();
    done.set_value();
  });
  if (posted) done.get_future().wait();
}

void TimedQueue::run() {
  std::unique_lock guard(lock_);
  while (true) {
    if (due_.empty()) {
      if (stopping_) return;
      changed_.wait(guard);
      continue;
    }
    auto next = due_.begin();
    if (next->first > Clock::now()) {
      if (stopping_) return;
      changed_.wait_until(guard, next->first);
      continue;
    }
    Work work = std::move(next->second);
    due_.erase(next);
    guard.unlock();
    work();
    guard.lock();
  }
}
