#include "kit/perception/Apps.hpp"

#include "kit/tools/ToolError.hpp"

// The desktop is not reachable from this build yet: no app can be found.
namespace Apps {

RunningApp find(const std::string&) { throw NotBuilt(); }
std::optional<RunningApp> frontmost() { return std::nullopt; }
std::vector<WindowInfo> windows(const RunningApp&, bool) { return {}; }

}  // namespace Apps
