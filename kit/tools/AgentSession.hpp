#pragma once
#include <sys/types.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/perception/Snapshot.hpp"

// One connected agent. Used only by its connection's thread, so it has no lock.
class AgentSession {
 public:
  enum class Kind { claude, codex, other };
  using ClipboardItem = std::map<std::string, std::vector<unsigned char>>;
  static constexpr size_t recentLimit = 12;

  AgentSession(int64_t id, const std::string& clientName, const std::optional<std::string>& workingDirectory);

  void remember(SnapshotRef snapshot);
  SnapshotRef snapshot(pid_t pid, std::optional<WindowNumber> windowID = std::nullopt) const;
  std::optional<ElementRecord> record(int64_t index, pid_t pid, const SnapshotRef& preferring = nullptr) const;

  const int64_t id;
  std::string name;
  Kind kind;
  std::map<pid_t, SnapshotRef> snapshots;
  std::map<WindowNumber, SnapshotRef> windowSnapshots;
  int64_t nextElementIndex = 0;
  std::deque<SnapshotRef> recentSnapshots;  // oldest first
  std::optional<Point> pointer;
  std::vector<ClipboardItem> clipboard;
};
