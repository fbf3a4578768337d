#include "kit/tools/MouseButton.hpp"

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"

MouseButton parseMouseButton(const std::optional<std::string>& text) {
  if (!text) return MouseButton::left;
  const std::string lowered = Text::lowered(*text);
  if (lowered == "left" || lowered == "l") return MouseButton::left;
  if (lowered == "right" || lowered == "r") return MouseButton::right;
  if (lowered == "middle" || lowered == "m" || lowered == "center") return MouseButton::middle;
  throw ToolError("Unknown mouse_button \"" + *text + "\". Use left, right or middle.");
}
