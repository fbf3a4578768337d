#pragma once
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

// One window parked on the invisible display.
struct Guest {
  WindowNumber window = 0;
  pid_t pid = 0;
  Rect home;                       // its frame before it was moved
  bool restoreMinimized = false;
  std::optional<double> processLaunchDate;
  Rect parkedFrame;
  bool leaving = false;
  std::set<uint64_t> agents;       // the agent sessions working in it
};
