#include "kit/actions/Scrolling.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "kit/perception/AX.hpp"
#include "kit/platform/Desktop.hpp"

namespace Scrolling {
namespace {

constexpr double unmoved = 0.0005;

const char* barOf(bool horizontal) { return horizontal ? "AXHorizontalScrollBar" : "AXVerticalScrollBar"; }

std::optional<double> moved(const AXElement& area, bool horizontal, double from) {
  Platform::clock().sleep(0.1);
  auto now = position(area, horizontal);
  if (!now || std::abs(*now - from) <= unmoved) return std::nullopt;
  return now;
}

}  // namespace

std::optional<AXElement> scrollArea(Point point, pid_t pid) {
  auto element = AX::elementAt(pid, point);
  for (int step = 0; element && step < 20; ++step) {
    const std::string role = AX::attribute<std::string>(*element, "AXRole").value_or("");
    if (role == "AXScrollArea") return element;
    if (role == "AXWebArea") return std::nullopt;
    auto parent = AX::attribute<AXElement>(*element, "AXParent");
    element = parent ? std::optional(AX::withTimeout(*parent, AX::standardTimeout)) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<double> position(const AXElement& area, bool horizontal) {
  auto bar = AX::attribute<AXElement>(area, barOf(horizontal));
  if (!bar) return std::nullopt;
  return AX::attribute<double>(AX::withTimeout(*bar, AX::standardTimeout), "AXValue");
}

std::optional<double> scrollByBar(const AXElement& area, bool horizontal, bool forward, double viewport) {
  auto bar = AX::attribute<AXElement>(area, barOf(horizontal));
  if (!bar || !AX::isSettable(*bar, "AXValue")) return std::nullopt;
  auto at = position(area, horizontal);
  auto frame = AX::frame(area);
  if (!at || !frame) return std::nullopt;
  // The content is the area's largest child; what it exceeds the area by is what scrolls.
  std::optional<Rect> largest;
  for (const auto& child : AX::children(area)) {
    auto childFrame = AX::frame(child);
    const auto size = [](const Rect& r) { return r.size.width * r.size.height; };
    if (childFrame && (!largest || size(*childFrame) > size(*largest))) largest = childFrame;
  }
  if (!largest) return std::nullopt;
  const double scrollable = horizontal ? largest->size.width - frame->size.width : largest->size.height - frame->size.height;
  if (scrollable <= 0) return std::nullopt;
  const double wanted = std::clamp(*at + (forward ? 1 : -1) * viewport / scrollable, 0.0, 1.0);
  if (wanted == *at) return std::nullopt;
  AX::set(*bar, "AXValue", wanted);
  return moved(area, horizontal, *at);
}

std::optional<double> scrollByPage(const AXElement& area, const std::string& direction, double pages) {
  static const std::map<std::string, std::string> actions{{"up", "AXScrollUpByPage"},
                                                          {"down", "AXScrollDownByPage"},
                                                          {"left", "AXScrollLeftByPage"},
                                                          {"right", "AXScrollRightByPage"}};
  auto action = actions.find(direction);
  if (action == actions.end()) return std::nullopt;
  const bool horizontal = direction == "left" || direction == "right";
  const auto offered = AX::actions(area);
  auto at = position(area, horizontal);
  if (!at || std::find(offered.begin(), offered.end(), action->second) == offered.end()) return std::nullopt;
  for (int i = 0; i < std::max(int(std::floor(pages)), 1); ++i) AX::perform(area, action->second);
  return moved(area, horizontal, *at);
}

}  // namespace Scrolling
