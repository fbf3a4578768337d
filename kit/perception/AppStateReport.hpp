#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kit/perception/RunningApp.hpp"
#include "kit/perception/Snapshot.hpp"
#include "kit/platform/WindowInfo.hpp"

// What the backstage says about the reported window, for the report's header.
struct StageNotes {
  bool isGuest = false;
  std::optional<std::string> recoveryStatus;
};

// One window state: the agent's text and screenshot, and the snapshot to remember.
struct StateReport {
  std::string text;
  std::optional<std::vector<unsigned char>> jpeg;
  SnapshotRef snapshot;
  int64_t nextElementIndex = 0;
};

namespace AppStateReport {

// Reads the window as it is operated: waits for its page, captures it with its open
// menus, lists its elements with indexes continuing from nextElementIndex, and, with
// changesOnly and a previous state, lists only what changed. Fails with a ToolError.
StateReport read(const RunningApp& app, const WindowInfo& window, bool changesOnly, const SnapshotRef& previous,
                 int64_t nextElementIndex, const StageNotes& stage);

}  // namespace AppStateReport
