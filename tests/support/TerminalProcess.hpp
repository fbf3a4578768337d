#pragma once
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A child process on a pseudo-terminal of its own, as a person starts a program at a
// terminal. Killed at scope end if still running.
class TerminalProcess {
 public:
  TerminalProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment = {});
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Reads until the output holds the text; false when the time runs out or the output ends.
  bool readUntil(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Everything the terminal showed so far, typed input echoed.
  const std::string& output() const { return output_; }
  void type(const std::string& line);
  std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int terminal_ = -1;
  std::string output_;
  std::optional<int> status_;
};
