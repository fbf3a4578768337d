#pragma once
#include <exception>
#include <string>

// A failure with one agent-facing text, shown to the agent unchanged.
class ToolError : public std::exception {
 public:
  explicit ToolError(std::string description) : description(std::move(description)) {}
  const char* what() const noexcept override { return description.c_str(); }
  std::string description;
};

// Thrown by engine operations that this build does not have yet; the dispatcher
// turns it into a ToolError naming the tool.
struct NotBuilt : std::exception {
  const char* what() const noexcept override { return "not built"; }
};
