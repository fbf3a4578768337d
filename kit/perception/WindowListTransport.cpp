#include "kit/perception/WindowListTransport.hpp"

#include "kit/common/Process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;
using Failure = WindowListTransport::Failure;

void waitFor(int fd, short event, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw Failure::timeout;
    pollfd entry{fd, event, 0};
    int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left + 1, 1000)));
    if (ready < 0 && errno != EINTR) throw Failure::closed;
    if (ready > 0) {
      if (entry.revents & event) return;
      throw Failure::closed;  // hung up or error without the event
    }
  }
}

void writeAll(int fd, const std::string& bytes, Clock::time_point deadline) {
  size_t offset = 0;
  while (offset < bytes.size()) {
    waitFor(fd, POLLOUT, deadline);
    ssize_t written = write(fd, bytes.data() + offset, bytes.size() - offset);
    if (written > 0) offset += static_cast<size_t>(written);
    else if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    else throw Failure::closed;
  }
}

std::vector<uint8_t> readExactly(int fd, size_t count, Clock::time_point deadline) {
  std::vector<uint8_t> bytes(count);
  size_t offset = 0;
  while (offset < count) {
    waitFor(fd, POLLIN, deadline);
    ssize_t got = read(fd, bytes.data() + offset, count - offset);
    if (got > 0) offset += static_cast<size_t>(got);
    else if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    else throw Failure::closed;
  }
  return bytes;
}

}  // namespace

WindowListTransport::~WindowListTransport() { stop(); }

std::optional<Json> WindowListTransport::copy(uint32_t options, WindowNumber relativeTo) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_));
  if (!lock_.lockUntil(deadline)) return std::nullopt;
  struct Unlock {
    DeadlineLock& lock;
    ~Unlock() { lock.unlock(); }
  } unlock{lock_};
  try {
    if (process_ > 0 && waitpid(process_, nullptr, WNOHANG) != 0) process_ = -1;  // exited and reaped
    if (process_ < 0) {
      stop();
      if (Clock::now() < retryAfter_) return std::nullopt;
      if (!start()) throw Failure::closed;
    }
    return request(options, relativeTo, deadline);
  } catch (Failure) {
    stop();
    retryAfter_ = Clock::now() + std::chrono::seconds(1);
    return std::nullopt;
  }
}

Json WindowListTransport::request(uint32_t options, WindowNumber relativeTo, Deadline deadline) {
  writeAll(input_, std::to_string(options) + " " + std::to_string(relativeTo) + "\n", deadline);
  auto header = readExactly(output_, 4, deadline);
  uint32_t length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | header[3];
  if (length == 0 || length > maxPayload) throw Failure::protocolError;
  Json list = Json::from_cbor(readExactly(output_, length, deadline), true, false);
  if (!list.is_array()) throw Failure::protocolError;
  for (const auto& entry : list) {
    if (!entry.is_object()) throw Failure::protocolError;
  }
  return list;
}

bool WindowListTransport::start() {
  signal(SIGPIPE, SIG_IGN);
  int toHelper[2], fromHelper[2];
  if (pipe2(toHelper, O_CLOEXEC) != 0) return false;
  if (pipe2(fromHelper, O_CLOEXEC) != 0) {
    close(toHelper[0]);
    close(toHelper[1]);
    return false;
  }
  auto started = Process::start({.executable = executable_,
                                 .arguments = arguments_,
                                 .input = toHelper[0],
                                 .output = fromHelper[1],
                                 .errors = Process::inherit});
  close(toHelper[0]);
  close(fromHelper[1]);
  if (!started.pid) {
    close(toHelper[1]);
    close(fromHelper[0]);
    return false;
  }
  const pid_t child = *started.pid;
  process_ = child;
  input_ = toHelper[1];
  output_ = fromHelper[0];
  fcntl(input_, F_SETFL, O_NONBLOCK);
  fcntl(output_, F_SETFL, O_NONBLOCK);
  return true;
}

void WindowListTransport::stop() {
  if (input_ >= 0) close(input_);
  if (output_ >= 0) close(output_);
  if (process_ > 0) {
    kill(process_, SIGKILL);  // a helper stuck in the window server may not heed less
    waitpid(process_, nullptr, 0);
  }
  process_ = input_ = output_ = -1;
}
