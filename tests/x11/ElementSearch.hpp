#pragma once
#include <functional>
#include <optional>
#include <string>

#include "kit/perception/AX.hpp"

// Finding an app's elements the way the desktop tests need them.
namespace ElementSearch {

// Depth first, the first element under the root that passes the test.
inline std::optional<AXElement> first(const AXElement& root, const std::function<bool(const AXElement&)>& wanted,
                                      int depth = 0) {
  if (depth > 40) return std::nullopt;
  for (const auto& child : AX::children(root)) {
    if (wanted(child)) return child;
    if (auto found = first(child, wanted, depth + 1)) return found;
  }
  return std::nullopt;
}

inline bool hasRole(const AXElement& element, const std::string& role) {
  return AX::attribute<std::string>(element, "AXRole") == role;
}

// The first element with the role, and the title when one is given.
inline std::optional<AXElement> withRole(const AXElement& root, const std::string& role,
                                         const std::optional<std::string>& title = std::nullopt) {
  return first(root, [&](const AXElement& element) {
    return hasRole(element, role) && (!title || AX::attribute<std::string>(element, "AXTitle") == *title);
  });
}

}  // namespace ElementSearch
