#pragma once
#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/StackWatch.hpp"
#include "kit/common/TimedQueue.hpp"

// The app's side of the stack watch: keeps the subscriptions, runs the helper while
// anything is watched, and hands its reports to `changed` on the queue's thread. Every
// failure of the helper ends in "hidden" for every watched cursor. All calls, and its
// destruction, belong on the queue's thread.
class StackWatchClient {
 public:
  using Changed = std::function<void(WindowNumber cursor, StackWatch::Change)>;
  static constexpr auto heartbeatLimit = std::chrono::seconds(1);

  // `helper` is the executable that serves `stack-watch`; empty to watch from a thread of
  // this process instead (a desktop other processes cannot see).
  StackWatchClient(TimedQueue& queue, std::string helper, Changed changed);
  ~StackWatchClient();

  // Watches the cursor window above the target; a target of 0 stops watching it.
  void watch(WindowNumber cursor, WindowNumber target);
  bool helperRunning() const { return running_ != nullptr; }

 private:
  struct Running;
  void start();
  void cleanUp();
  void send(WindowNumber cursor, const StackWatch::Subscription& subscription);
  void handle(uint64_t epoch, const std::string& line);
  void fail(uint64_t epoch);
  // Runs the work on the queue, unless this client is gone by then.
  void later(std::function<void()> work);

  TimedQueue& queue_;
  const std::string helper_;
  const Changed changed_;
  StackWatch::Subscriptions subscriptions_;
  uint64_t generation_ = 0;
  uint64_t epoch_ = 0;
  std::unique_ptr<Running> running_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // reports posted after destruction are dropped
};
