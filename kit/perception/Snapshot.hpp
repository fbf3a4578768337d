#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "kit/common/Geometry.hpp"
#include "kit/perception/WindowInfo.hpp"

// What an agent was told about one listed element.
struct ElementRecord {
  std::string role;
  std::optional<Rect> frame;  // screen points when it was listed
};

// One window state as an agent saw it.
struct Snapshot {
  WindowInfo window;
  Point origin;        // captured origin, screen points
  double scale = 1.0;  // image pixels per screen point
  std::map<int64_t, ElementRecord> elements;
  bool holds(int64_t index) const { return elements.contains(index); }
};

using SnapshotRef = std::shared_ptr<const Snapshot>;
