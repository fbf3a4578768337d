#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

// The main thread's work queue. Window-server fallbacks and other calls that must not
// run on tool threads are funnelled here. Until a thread runs the queue, work runs on
// the caller's thread.
class MainQueue {
 public:
  static MainQueue& shared();

  // Makes the calling thread the main thread and runs queued work forever.
  [[noreturn]] void run();

  // Runs the work on the main thread and waits for it.
  template <typename Work>
  auto sync(Work&& work) -> decltype(work()) {
    using Result = decltype(work());
    const auto main = mainThread();
    if (main == std::thread::id() || std::this_thread::get_id() == main) return work();
    std::packaged_task<Result()> task(std::forward<Work>(work));
    auto future = task.get_future();
    post([&task] { task(); });
    return future.get();
  }

  void post(std::function<void()> work);

 private:
  std::thread::id mainThread();
  std::mutex lock_;  // guards queue_ and mainThread_
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  std::thread::id mainThread_;
};
