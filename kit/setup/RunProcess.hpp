#pragma once
#include <map>
#include <string>
#include <vector>

struct CommandResult {
  int status = 0;
  std::string output;  // standard output and standard error together
};

// Runs a program with standard input from /dev/null and waits for it, terminating it
// (and what it started) after the time limit. Status -1 with the reason when it cannot start.
CommandResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment, double limitSeconds = 60);
