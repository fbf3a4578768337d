#include "kit/tools/AgentSession.hpp"

#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"

namespace {

std::pair<AgentSession::Kind, std::string> identity(const std::string& clientName) {
  const std::string lowered = Text::lowered(clientName);
  if (lowered.find("claude") != std::string::npos) return {AgentSession::Kind::claude, "Claude"};
  if (lowered.find("codex") != std::string::npos) return {AgentSession::Kind::codex, "Codex"};
  return {AgentSession::Kind::other, clientName.empty() ? "Agent" : clientName};
}

}  // namespace

AgentSession::AgentSession(int64_t id, const std::string& clientName,
                           const std::optional<std::string>& workingDirectory)
    : id(id) {
  std::tie(kind, name) = identity(clientName);
  if (workingDirectory && !workingDirectory->empty() && *workingDirectory != "/") {
    name += " \u00B7 " + Paths::lastComponent(*workingDirectory);
  }
}

void AgentSession::remember(SnapshotRef snapshot) {
  snapshots[snapshot->window.pid] = snapshot;
  windowSnapshots[snapshot->window.id] = snapshot;
  recentSnapshots.push_back(std::move(snapshot));
  while (recentSnapshots.size() > recentLimit) recentSnapshots.pop_front();
}

SnapshotRef AgentSession::snapshot(pid_t pid, std::optional<WindowNumber> windowID) const {
  if (windowID) {
    auto found = windowSnapshots.find(*windowID);
    if (found == windowSnapshots.end() || found->second->window.pid != pid) return nullptr;
    return found->second;
  }
  auto found = snapshots.find(pid);
  return found == snapshots.end() ? nullptr : found->second;
}

std::optional<ElementRecord> AgentSession::record(int64_t index, pid_t pid, const SnapshotRef& preferring) const {
  if (preferring && preferring->holds(index)) return preferring->byIndex.at(index);
  for (auto it = recentSnapshots.rbegin(); it != recentSnapshots.rend(); ++it) {
    if ((*it)->window.pid == pid && (*it)->holds(index)) return (*it)->byIndex.at(index);
  }
  return std::nullopt;
}
