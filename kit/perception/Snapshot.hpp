#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/AXTypes.hpp"

// What an element index resolves to.
struct ElementRecord {
  AXElement element{};
  std::string role{};
  std::string label{};
  std::optional<Rect> frame{};  // screen points; none for static text
  std::vector<std::string> actions{};
};

// One line of a state, in listing order.
struct ListedElement {
  int64_t index = 0;
  ElementRecord record;
  int depth = 0;
  std::string line;        // without index and indentation
  bool unchanged = false;  // kept its index and its line since the previous state of the window
  std::string rendered() const { return std::string(2 * depth, ' ') + "[" + std::to_string(index) + "] " + line; }
};

// One window state as an agent saw it.
struct Snapshot {
  WindowInfo window;
  Point origin;        // captured origin, screen points
  double scale = 1.0;  // image pixels per screen point
  std::vector<ListedElement> elements;
  std::map<int64_t, ElementRecord> byIndex;

  bool holds(int64_t index) const { return byIndex.contains(index); }
};

using SnapshotRef = std::shared_ptr<const Snapshot>;
