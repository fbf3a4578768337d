#pragma once
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kit/perception/Snapshot.hpp"

// One walk of a window's accessibility tree: which elements are listed, how they
// read, and which index each gets. Bounded in elements, characters, depth and time.
class AccessibilityTree {
 public:
  static constexpr int maxVisited = 8000;
  static constexpr size_t maxElements = 1500;
  static constexpr size_t maxCharacters = 60000;
  static constexpr int maxDepth = 80;
  static constexpr double maxSeconds = 5.0;

  // `previous` counts only when it is a state of the same process.
  AccessibilityTree(Rect bounds, std::function<Point(Point)> toImage, double scale, std::optional<AXElement> focused,
                    SnapshotRef previous, int64_t nextIndex);

  // An element's label as the listing shows it.
  static std::string label(const AXElement& element);

  void visit(const AXElement& element, int depth, const std::string& parentLabel, bool inWeb, bool inToolbar);
  bool wasSeen(const AXElement& element) const { return seen_.contains(element); }

  std::vector<ElementRecord> records() const;
  std::vector<std::string> lines() const;
  // The lines of a changes-only state, or none when the full list must be shown.
  std::optional<std::vector<std::string>> changedLines() const;
  // The previous state's indexes no longer listed, as "3-5, 9".
  std::string goneIndexes() const;

  const std::vector<ListedElement>& elements() const { return elements_; }
  int64_t nextIndex() const { return nextIndex_; }
  bool truncated() const { return truncated_; }
  int offscreen() const { return offscreen_; }
  int visited() const { return visited_; }

 private:
  bool limitReached(int depth) const;

  Rect bounds_;
  std::function<Point(Point)> toImage_;
  double scale_;
  std::optional<AXElement> focused_;
  SnapshotRef previousSnapshot_;
  std::unordered_map<AXElement, const ListedElement*> previous_;
  int64_t nextIndex_;
  std::vector<ListedElement> elements_;
  bool truncated_ = false;
  int offscreen_ = 0;
  int visited_ = 0;
  size_t characters_ = 0;
  std::unordered_set<AXElement> seen_;
  double started_;
};
