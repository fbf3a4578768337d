#pragma once
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Lines.hpp"

// A child process with pipes on its standard input and output, for tests that
// drive the real executable. Killed at scope end if still running.
class ChildProcess {
 public:
  ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool writeLine(const std::string& line);
  void closeInput();
  // The next line of standard output, or none when it ends or the time runs out.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // The exit status (or 128 + signal), or none when it is still running after the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void signal(int number);
  pid_t pid() const { return pid_; }
  int outputDescriptor() const { return output_; }
  std::string readAllErrors();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string buffer_;
  std::optional<int> status_;
};

// What a shell command prints, without its last line breaks.
std::string run(const std::string& command);

// The path of the built tarnwick executable.
std::string tarnwickExecutable();

// Waits until something accepts connections on the socket path.
bool waitForSocket(const std::string& path, std::chrono::milliseconds timeout = std::chrono::seconds(20));

