#pragma once
#include <functional>
#include <memory>
#include <string>

#include "kit/platform/Accessibility.hpp"
#include "kit/platform/AgentInput.hpp"
#include "kit/platform/Capture.hpp"
#include "kit/platform/Clock.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "kit/platform/OverlayWindows.hpp"
#include "kit/platform/WindowServer.hpp"
#include "kit/platform/Workspace.hpp"

// One desktop backend: the real X11 desktop or the simulated one.
class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual std::string name() const = 0;
  virtual Accessibility& accessibility() = 0;
  virtual WindowServer& windowServer() = 0;
  virtual Workspace& workspace() = 0;
  virtual Clock& clock() = 0;
  virtual ScreenCapture& capture() = 0;
  // None where the desktop has no keyboard of its own to describe.
  virtual KeyboardLayouts* keyboardLayouts() { return nullptr; }
  // None where agents cannot send input.
  virtual AgentInput* input() { return nullptr; }
  // None where nothing can be drawn over other windows.
  virtual OverlayWindows* overlays() { return nullptr; }
  // Whether a helper process started from this executable sees this same desktop; a
  // desktop that lives inside this process cannot be seen from another.
  virtual bool reachableFromHelpers() const { return false; }
};

// The desktop the resident app works on.
namespace Platform {

// Finds a desktop when there is none yet; returns none when no backend can serve.
using Finder = std::function<std::shared_ptr<Desktop>()>;
void setFinder(Finder finder);
// Uses this desktop from now on (tests, the demo desktop).
void install(std::shared_ptr<Desktop> desktop);

// The current desktop; fails with a ToolError that says how to name one. Without a
// desktop it looks again (at most once a second), so one that appears later is used.
Desktop& desktop();
std::shared_ptr<Desktop> desktopIfAny();
// The desktop's clock, or the system clock when there is no desktop.
Clock& clock();

}  // namespace Platform
