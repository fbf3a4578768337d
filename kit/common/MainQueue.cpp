#include "kit/common/MainQueue.hpp"

MainQueue& MainQueue::shared() {
  static MainQueue instance;
  return instance;
}

std::thread::id MainQueue::mainThread() {
  std::lock_guard guard(lock_);
  return mainThread_;
}

void MainQueue::post(std::function<void()> work) {
  {
    std::lock_guard guard(lock_);
    queue_.push_back(std::move(work));
  }
  ready_.notify_one();
}

void MainQueue::run() {
  {
    std::lock_guard guard(lock_);
    mainThread_ = std::this_thread::get_id();
  }
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock guard(lock_);
      ready_.wait(guard, [this] { return !queue_.empty(); });
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}
