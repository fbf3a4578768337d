#pragma once
#include <optional>
#include <string>

#include "kit/platform/AgentInput.hpp"

// Reads mouse_button as agents send it: missing or empty is left; l, r, m and center are accepted.
MouseButton parseMouseButton(const std::optional<std::string>& text);
