#include "tests/support/TerminalProcess.hpp"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "kit/common/Lines.hpp"
#include "kit/common/Process.hpp"

extern char** environ;

TerminalProcess::TerminalProcess(const std::string& executable, const std::vector<std::string>& arguments,
                                 const std::map<std::string, std::string>& environment) {
  // Everything the child needs is made before the fork: after it, only exec.
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (!environment.contains(text.substr(0, text.find('=')))) entries.push_back(text);
  }
  std::vector<std::string> words{executable};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv, envp;
  for (auto& word : words) argv.push_back(word.data());
  for (auto& entry : entries) envp.push_back(entry.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    execve(executable.c_str(), argv.data(), envp.data());
    _exit(127);
  }
}

TerminalProcess::~TerminalProcess() {
  if (!status_) {
    kill(pid_, SIGKILL);
    wait(std::chrono::seconds(5));
  }
  close(terminal_);
}

bool TerminalProcess::readUntil(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (output_.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{terminal_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char area[4096];
    const ssize_t count = read(terminal_, area, sizeof area);
    if (count <= 0) return false;
    output_.append(area, static_cast<size_t>(count));
  }
  return true;
}

void TerminalProcess::type(const std::string& line) { Lines::write(terminal_, line); }

std::optional<int> TerminalProcess::wait(std::chrono::milliseconds timeout) {
  if (!status_) status_ = Process::waitForExit(pid_, timeout);
  return status_;
}
