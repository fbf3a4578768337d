#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// A thread of its own that runs work in the order posted, and work that is due later
// once its time comes. Whatever the work touches is owned by this thread.
class TimedQueue {
 public:
  using Clock = std::chrono::steady_clock;
  using Work = std::function<void()>;

  TimedQueue();
  // Runs the work already due, drops the rest, and ends the thread.
  ~TimedQueue();
  TimedQueue(const TimedQueue&) = delete;
  TimedQueue& operator=(const TimedQueue&) = delete;

  void post(Work work) { postAt(Clock::now(), std::move(work)); }
  void postAfter(Clock::duration delay, Work work) { postAt(Clock::now() + delay, std::move(work)); }
  // Runs the work on the queue's thread and waits for it (runs it at once on that thread).
  void sync(const Work& work);
  bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  bool postAt(Clock::time_point at, Work work);  // false once the queue is ending
  void run();

  std::mutex lock_;  // guards due_ and stopping_
  std::condition_variable changed_;
  std::multimap<Clock::time_point, Work> due_;  // equal times keep their posting order
  bool stopping_ = false;
  std::thread thread_;
};
