#pragma once
#include <optional>
#include <string>

enum class MouseButton { left, right, middle };

// Reads mouse_button as agents send it: missing or empty is left; l, r, m and center are accepted.
MouseButton parseMouseButton(const std::optional<std::string>& text);
