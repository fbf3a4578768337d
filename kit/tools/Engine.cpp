#include "kit/tools/Engine.hpp"

#include "kit/tools/ToolError.hpp"

// Operations whose subsystems this build does not have yet.


Engine::Target Engine::inputTarget(const std::string&, std::optional<WindowNumber>) { throw NotBuilt(); }
bool Engine::isOnCurrentSpace(const WindowInfo&) { throw NotBuilt(); }
ToolResult Engine::performClick(const Target&, std::optional<int64_t>, std::optional<double>, std::optional<double>,
                                MouseButton, int, const std::optional<std::string>&, double) {
  throw NotBuilt();
}
std::string Engine::pickFromOpenMenu(const std::string&, pid_t) { throw NotBuilt(); }
std::optional<Rect> Engine::elementFrame(int64_t, const Target&) { throw NotBuilt(); }
Point Engine::screenPoint(double, double, const Target&) { throw NotBuilt(); }
void Engine::travel(Point, const Target&, double, bool) { throw NotBuilt(); }

ToolResult Engine::drag(const std::string&, std::optional<WindowNumber>, Point, Point,
                        const std::vector<std::pair<double, double>>&, MouseButton, const std::optional<std::string>&,
                        std::optional<double>, const std::optional<std::string>&, std::optional<WindowNumber>) {
  throw NotBuilt();
}
ToolResult Engine::scroll(const std::string&, std::optional<WindowNumber>, std::optional<int64_t>,
                          std::optional<double>, std::optional<double>, const std::string&, double) {
  throw NotBuilt();
}
ToolResult Engine::typeText(const std::string&, std::optional<WindowNumber>, const std::string&) { throw NotBuilt(); }

std::vector<std::string> Engine::validateChords(const std::string&) { throw NotBuilt(); }
bool Engine::isRemotePanel(const WindowInfo&) { throw NotBuilt(); }
ToolResult Engine::panelKeys(const std::vector<std::string>&, const std::string&, const Target&) { throw NotBuilt(); }
void Engine::pressKey(const std::vector<std::string>&, double, const Target&) { throw NotBuilt(); }

ToolResult Engine::setValue(const std::string&, int64_t, const Target&) { throw NotBuilt(); }
ToolResult Engine::selectText(const std::string&, std::optional<WindowNumber>, int64_t, const std::string&,
                              const std::optional<std::string>&, const std::optional<std::string>&,
                              const std::string&) {
  throw NotBuilt();
}
ToolResult Engine::performAction(const std::string&, std::optional<WindowNumber>, int64_t, const std::string&) {
  throw NotBuilt();
}
ToolResult Engine::selectMenuItem(const std::string&, std::optional<WindowNumber>, const std::string&) {
  throw NotBuilt();
}
bool Engine::paste(const std::string&, const Target&) { throw NotBuilt(); }

void Engine::checkInputAllowed(const RunningApp& app) {
  if (app.bundleID != "com.ostrel.work") return;
  throw ToolError((app.name.empty() ? std::string("This app") : app.name) +
                  " hosts the agents; Tarnwick never sends input to it.");
}
