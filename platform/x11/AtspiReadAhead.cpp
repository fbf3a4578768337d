#include "platform/x11/AtspiReading.hpp"

namespace {

// More than any listing shows; a tree larger than this is read element by element.
constexpr size_t readAheadLimit = 6000;

bool overlaps(const AtspiRect& a, const AtspiRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

// As the walk, which passes over what lies outside the window (a page's elements scrolled
// out of view): a placed element outside the root's area is not read ahead.
bool AtspiAccessibility::isInside(const AXElement& element, const std::optional<AtspiRect>& area) {
  if (!area) return true;
  Reading reading(*this, objects_.at(element.id), element);
  const auto own = reading.ownExtents();
  if (!own || own->width <= 0 || own->height <= 0 || reading.role() == ATSPI_ROLE_MENU) return true;
  return overlaps(*own, *area);
}

bool AtspiAccessibility::pageNeedsRefresh(const std::string& id) {
  const auto now = std::chrono::steady_clock::now();
  auto [entry, added] = pagesRefreshed_.try_emplace(id, now);
  if (!added && now - entry->second < std::chrono::seconds(1)) return false;
  entry->second = now;
  return true;
}

void AtspiAccessibility::readAhead(const AXElement& root) {
  std::lock_guard guard(lock_);
  AXStatus status = AXError::success;
  if (begin(root, status) == nullptr || !objects_.contains(root.id)) return;
  // Each walk reads what it lists afresh; entries an earlier walk left are not trusted.
  prefetched_.clear();
  pagesRefreshed_.clear();
  const auto area = Reading(*this, objects_.at(root.id), root).ownExtents();
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
      for (auto& child : reading.shownAmong(std::move(children))) {
        if (isInside(child, area)) next.push_back(std::move(child));
      }
    }
    level = std::move(next);
  }
  readingAhead_ = false;
}

void AtspiAccessibility::endReadAhead() {
  std::lock_guard guard(lock_);
  for (auto& [id, entry] : prefetched_) {
    entry.name.reset();
    entry.description.reset();
    entry.currentValue.reset();
  }
}
