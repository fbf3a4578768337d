#include "app/StackWatchClient.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include "kit/common/Lines.hpp"
#include "kit/common/Log.hpp"
#include "kit/common/Process.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

constexpr size_t longestPending = 65536;

void closeIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

// One helper instance: its pipes, the process or thread that serves them, and the
// thread that reads its reports.
struct StackWatchClient::Running {
  int input = -1;   // requests go here
  int output = -1;  // reports come from here
  std::optional<pid_t> pid;
  std::thread server;  // serves in this process when there is no helper executable
  std::thread reader;
  std::atomic<bool> stopping{false};

  // Hands over complete lines; ends at the end of output, or when no heartbeat came for too long.
  void read(const std::function<void(std::string)>& line, const std::function<void()>& failed) {
    std::string pending;
    auto lastHeard = std::chrono::steady_clock::now();
    while (true) {
      pollfd ready{output, POLLIN, 0};
      if (poll(&ready, 1, 100) > 0) {
        char bytes[4096];
        ssize_t count = ::read(output, bytes, sizeof bytes);
        if (count <= 0) break;
        pending.append(bytes, size_t(count));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
          line(pending.substr(0, end));
          pending.erase(0, end + 1);
          lastHeard = std::chrono::steady_clock::now();
        }
        if (pending.size() > longestPending) pending.clear();
      } else if (std::chrono::steady_clock::now() - lastHeard > heartbeatLimit) {
        break;
      }
    }
    if (!stopping) failed();
  }
};

StackWatchClient::StackWatchClient(TimedQueue& queue, std::string helper, Changed changed)
    : queue_(queue), helper_(std::move(helper)), changed_(std::move(changed)) {}

StackWatchClient::~StackWatchClient() { cleanUp(); }

void StackWatchClient::watch(WindowNumber cursor, WindowNumber target) {
  ++generation_;
  if (target != 0) {
    subscriptions_[cursor] = {target, generation_};
  } else {
    subscriptions_.erase(cursor);
  }
  if (subscriptions_.empty()) return cleanUp();
  if (running_) return send(cursor, {target, generation_});
  start();
  if (!running_ && target != 0) changed_(cursor, StackWatch::Change::hidden);
}

void StackWatchClient::start() {
  int requests[2], reports[2];
  if (pipe2(requests, O_CLOEXEC) != 0) return;
  if (pipe2(reports, O_CLOEXEC) != 0) {
    close(requests[0]);
    close(requests[1]);
    return;
  }
  auto running = std::make_unique<Running>();
  running->input = requests[1];
  running->output = reports[0];
  auto desktop = Platform::desktopIfAny();
  if (!helper_.empty()) {
    Process::Command command{helper_, {"stack-watch"}};
    command.input = requests[0];
    command.output = reports[1];
    command.errors = Process::inherit;
    running->pid = Process::start(command).pid;
    close(requests[0]);
    close(reports[1]);
  } else if (desktop) {
    running->server = std::thread([desktop, in = requests[0], out = reports[1]] {
      StackWatch::serve(in, out, desktop->windowServer());
      close(in);
      close(out);
    });
  } else {
    close(requests[0]);
    close(reports[1]);
  }
  if (!running->pid && !running->server.joinable()) {
    Log::error("StackWatch", "the stack watch could not be started");
    closeIfOpen(running->input);
    closeIfOpen(running->output);
    return;
  }
  fcntl(running->input, F_SETFL, O_NONBLOCK);  // a stalled helper must never stall the cursors
  const uint64_t epoch = ++epoch_;
  Running* reading = running.get();
  running->reader = std::thread([this, reading, epoch] {
    reading->read([this, epoch](std::string line) { later([this, epoch, line] { handle(epoch, line); }); },
                  [this, epoch] { later([this, epoch] { fail(epoch); }); });
  });
  running_ = std::move(running);
  for (const auto& [cursor, subscription] : subscriptions_) send(cursor, subscription);
}

void StackWatchClient::cleanUp() {
  if (!running_) return;
  running_->stopping = true;
  closeIfOpen(running_->input);  // the helper ends at the end of its input
  if (running_->pid && !Process::waitForExit(*running_->pid, std::chrono::milliseconds(500))) {
    kill(*running_->pid, SIGKILL);
    Process::waitForExit(*running_->pid, std::chrono::seconds(2));
  }
  if (running_->server.joinable()) running_->server.join();
  running_->reader.join();  // its output has ended with the helper
  closeIfOpen(running_->output);
  running_.reset();
}

void StackWatchClient::send(WindowNumber cursor, const StackWatch::Subscription& subscription) {
  if (!Lines::write(running_->input, StackWatch::request(cursor, subscription)))
    later([this, epoch = epoch_] { fail(epoch); });
}

void StackWatchClient::later(std::function<void()> work) {
  queue_.post([alive = std::weak_ptr<bool>(alive_), work = std::move(work)] {
    if (alive.lock()) work();
  });
}

void StackWatchClient::handle(uint64_t epoch, const std::string& line) {
  if (epoch != epoch_ || !running_ || line == "alive") return;
  auto report = StackWatch::parseReport(line);
  if (!report) return;
  auto current = subscriptions_.find(report->key);
  if (current == subscriptions_.end() || current->second != report->subscription) return;  // stale
  changed_(report->key, report->change);
}

void StackWatchClient::fail(uint64_t epoch) {
  if (epoch != epoch_ || !running_) return;
  Log::error("StackWatch", "the stack watch stopped answering");
  cleanUp();
  for (const auto& entry : subscriptions_) changed_(entry.first, StackWatch::Change::hidden);
}
