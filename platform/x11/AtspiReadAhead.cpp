#include "platform/x11/AtspiReading.hpp"

namespace {

// More than any listing shows; a tree larger than this is read element by element.
constexpr size_t readAheadLimit = 6000;

}  // namespace

void AtspiAccessibility::readAhead(const AXElement& root) {
  std::lock_guard guard(lock_);
  AXStatus status = AXError::success;
  if (begin(root, status) == nullptr || !objects_.contains(root.id)) return;
  // Each walk reads what it lists afresh; entries an earlier walk left are not trusted.
  prefetched_.clear();
  readingAhead_ = true;
  std::vector<AXElement> level{root};
  for (size_t read = 0; !level.empty() && read < readAheadLimit; read += level.size()) {
    prefetchChildren(level);
    std::vector<std::pair<AXElement, std::vector<AXElement>>> families;
    std::vector<AXElement> everyChild;
    for (const auto& parent : level) {
      Reading reading(*this, objects_.at(parent.id), parent);
      // The walk summarises a menu bar without entering it.
      if (reading.role() == ATSPI_ROLE_MENU_BAR) continue;
      auto children = reading.allChildren();
      everyChild.insert(everyChild.end(), children.begin(), children.end());
      families.emplace_back(parent, std::move(children));
    }
    if (!prefetch(everyChild)) break;
    std::vector<AXElement> next;
    for (auto& [parent, children] : families) {
      Reading reading(*this, objects_.at(parent.id), parent);
      auto shown = reading.shownAmong(std::move(children));
      next.insert(next.end(), shown.begin(), shown.end());
    }
    level = std::move(next);
  }
  readingAhead_ = false;
}
