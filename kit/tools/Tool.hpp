#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/common/Json.hpp"
#include "kit/tools/Arguments.hpp"
#include "kit/tools/ToolResult.hpp"

class Engine;

// What a tool does to the user's desktop, which decides its guards and its annotations.
enum class ToolAccess {
  observes,  // only looks: readOnlyHint, no guards, no after-action state
  launches,  // starts apps: read-only for the guards, no after-action state
  acts,      // input or accessibility actions on one app
};

// One tool, complete: its catalogue entry, how it is guarded, and its body. The
// catalogue, the name sets and dispatch all derive from the list of these.
struct Tool {
  std::string name{};
  std::string description{};
  Json properties{};  // the input schema's properties
  Json required{};
  ToolAccess access = ToolAccess::acts;
  // Whether the call may load a new page, so the after-action state waits for it.
  std::function<bool(const Arguments&)> mayNavigate = [](const Arguments&) { return false; };
  // Reads the arguments in the tool's order, then acts.
  std::function<ToolResult(const Arguments&, Engine&)> run{};
};

namespace Tools {

// Every tool in the order tools/list serves them; built once.
const std::vector<Tool>& all();
// The tool of that name, or none.
const Tool* named(std::string_view name);

}  // namespace Tools
