#include "kit/setup/AgentConnection.hpp"

#include <string_view>

#include "kit/common/Paths.hpp"

AgentConnection AgentConnection::current() { return {Paths::ownExecutable()}; }

std::string AgentConnection::shellQuoted(const std::string& text) {
  static constexpr std::string_view safe =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:@%,";
  if (!text.empty() && text.find_first_not_of(safe) == std::string::npos) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

std::string AgentConnection::claudeCommand() const {
  return "claude mcp add --scope user tarnwick -- " + shellQuoted(executable) + " mcp";
}

std::string AgentConnection::genericCommand() const { return shellQuoted(executable) + " mcp"; }
