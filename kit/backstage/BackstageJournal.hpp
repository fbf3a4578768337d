#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

// One window the backstage is responsible for, as the journal keeps it.
struct RecoveryEntry {
  WindowNumber windowID = 0;
  pid_t pid = 0;
  std::optional<double> processLaunchDate;  // seconds since the epoch
  Point home;
  std::optional<Rect> parkedFrame;
  bool restoreMinimized = false;
  bool operator==(const RecoveryEntry&) const = default;
};

// The file that lets windows parked on the invisible display find their way home after
// a crash: $XDG_STATE_HOME/tarnwick/backstage-recovery.json.
namespace BackstageJournal {

std::string path();
// Writes the entries atomically; throws std::runtime_error with the system's reason.
void save(const std::vector<RecoveryEntry>& entries);
// The entries; none when there is no journal. Throws std::runtime_error when the file
// cannot be read or is not a journal this build understands; the file is left as it is.
std::vector<RecoveryEntry> load();

}  // namespace BackstageJournal
