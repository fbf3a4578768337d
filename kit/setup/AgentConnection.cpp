#include "kit/setup/AgentConnection.hpp"

#include <sys/statvfs.h>

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

std::optional<AgentConnection::LocationProblem> AgentConnection::locationProblem() const {
  if (executable.find("/AppTranslocation/") != std::string::npos) return LocationProblem::translocated;
  struct statvfs volume {};
  if (statvfs(executable.c_str(), &volume) != 0 || (volume.f_flag & ST_RDONLY) != 0) {
    return LocationProblem::readOnlyVolume;
  }
  return std::nullopt;
}
