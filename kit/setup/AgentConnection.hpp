#pragma once
#include <string>

// How a user connects an agent to this executable by hand.
struct AgentConnection {
  std::string executable;

  // This process's own executable.
  static AgentConnection current();

  // The text unchanged when it is shell-safe, else in single quotes.
  static std::string shellQuoted(const std::string& text);
  std::string claudeCommand() const;
  std::string genericCommand() const;
};
