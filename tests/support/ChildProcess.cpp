#include "tests/support/ChildProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "kit/common/Process.hpp"
#include "kit/protocol/AgentSocket.hpp"

ChildProcess::ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  auto started = Process::start(
      {.executable = executable, .arguments = arguments, .environment = entries, .input = in[0], .output = out[1], .errors = err[1]});
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (!started.pid) throw std::runtime_error("cannot start " + executable);
  pid_ = *started.pid;
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (!status_) {
    kill(pid_, SIGKILL);
    wait(std::chrono::seconds(5));
  }
  for (int fd : {input_, output_, errors_}) {
    if (fd >= 0) close(fd);
  }
}

bool ChildProcess::writeLine(const std::string& line) { return Lines::write(input_, line); }

void ChildProcess::closeInput() {
  close(input_);
  input_ = -1;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd entry{output_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char area[65536];
    ssize_t count = read(output_, area, sizeof area);
    if (count <= 0) return std::nullopt;
    buffer_.append(area, static_cast<size_t>(count));
  }
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (!status_) status_ = Process::waitForExit(pid_, timeout);
  return status_;
}

void ChildProcess::signal(int number) { kill(pid_, number); }

std::string ChildProcess::readAllErrors() {
  std::string text;
  char area[4096];
  ssize_t count;
  while ((count = read(errors_, area, sizeof area)) > 0) text.append(area, static_cast<size_t>(count));
  return text;
}

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    pclose(pipe);
  }
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

std::string tarnwickExecutable() { return TARNWICK_EXECUTABLE; }

bool waitForSocket(const std::string& path, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto fd = AgentSocket::connect(path)) {
      close(*fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
