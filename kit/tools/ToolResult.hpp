#pragma once
#include <optional>
#include <string>
#include <vector>

// Text for the agent and, where a window was observed, one JPEG screenshot.
struct ToolResult {
  std::string text;
  std::optional<std::vector<unsigned char>> jpeg;
};
