#pragma once
#include <functional>
#include <optional>
#include <regex>
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

// The element line of the first check box in a state: its index, title and pixel frame.
struct Listed {
  std::string index, title;
  double x = 0, y = 0;
};
inline std::optional<Listed> firstCheckBox(const std::string& state) {
  std::smatch found;
  std::regex line(R"re(\[(\d+)\] check box "([^"]+)"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re");
  if (!std::regex_search(state, found, line)) return std::nullopt;
  return Listed{found[1], found[2], std::stod(found[3]) + std::stod(found[5]) / 2,
                std::stod(found[4]) + std::stod(found[6]) / 2};
}

inline std::optional<int64_t> checkBoxValue(pid_t pid, const std::string& title) {
  auto box = ElementSearch::withRole(AX::application(pid), "AXCheckBox", title);
  return box ? AX::attribute<int64_t>(*box, "AXValue") : std::nullopt;
}

}  // namespace ElementSearch
