#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/StackWatch.hpp"
#include "kit/common/Lines.hpp"

namespace StackWatch {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto frame = 16ms;
constexpr auto heartbeat = 250ms;

// The requests read so far, shared by the reading thread and the watching loop.
struct Requests {
  std::mutex lock;  // guards subscriptions
  Subscriptions subscriptions;
  std::atomic<int> exitStatus{-1};  // set once the input has ended or broken

  void read(int input) {
    LineReader reader(input, 4096);
    while (auto request = reader.next()) {
      auto parsed = parseRequest(*request);
      if (!parsed) {
        exitStatus = 2;
        return;
      }
      std::lock_guard guard(lock);
      if (parsed->second.target == 0) {
        subscriptions.erase(parsed->first);
      } else {
        subscriptions[parsed->first] = parsed->second;
      }
    }
    exitStatus = 0;
  }
  Subscriptions copy() {
    std::lock_guard guard(lock);
    return subscriptions;
  }
};

double seconds(Clock::time_point at) { return std::chrono::duration<double>(at.time_since_epoch()).count(); }

}  // namespace

int serve(int input, int output, WindowServer& windows) {
  Requests requests;
  std::thread reading([&] { requests.read(input); });
  Reporter reporter;
  auto lastBeat = Clock::time_point();
  while (requests.exitStatus < 0) {
    const auto now = Clock::now();
    if (now - lastBeat >= heartbeat) {
      Lines::write(output, "alive");
      lastBeat = now;
    }
    const auto subscriptions = requests.copy();
    if (subscriptions.empty()) {
      reporter.look(subscriptions, {}, seconds(now));  // forgets the cursors no longer watched
      std::this_thread::sleep_for(frame);
      continue;
    }
    for (const auto& report : reporter.look(subscriptions, windows.drawingOrder(), seconds(now)))
      Lines::write(output, line(report));
    windows.waitForStackChange(frame);
  }
  reading.join();
  return requests.exitStatus;
}

}  // namespace StackWatch
