#pragma once
#include <memory>
#include <mutex>

#include "kit/platform/Desktop.hpp"
#include "platform/x11/AtspiAccessibility.hpp"
#include "platform/x11/X11Capture.hpp"
#include "platform/x11/X11Input.hpp"
#include "platform/x11/X11OverlayWindows.hpp"
#include "platform/x11/X11Workspace.hpp"
#include "platform/x11/XkbLayouts.hpp"

// The real Linux desktop: X11 for windows, capture and the keyboard, AT-SPI for
// accessibility, XInput2 for each agent's own pointer and keyboard.
class X11Desktop : public Desktop {
 public:
  // None when no X server answers at $DISPLAY; without an accessibility bus the
  // desktop still opens, and accessibility reports itself disabled.
  static std::shared_ptr<X11Desktop> open();

  std::string name() const override { return "x11"; }
  Accessibility& accessibility() override;
  WindowServer& windowServer() override { return windowServer_; }
  Workspace& workspace() override { return workspace_; }
  Clock& clock() override { return clock_; }
  ScreenCapture& capture() override { return capture_; }
  KeyboardLayouts* keyboardLayouts() override { return layouts_.get(); }
  AgentInput* input() override;
  OverlayWindows* overlays() override { return &overlays_; }
  bool reachableFromHelpers() const override { return true; }
  // Keycodes lent to type characters the keymap lacks (their remaps, for the benchmarks).
  X11SpareKeys& spareKeys() { return *spareKeys_; }

 private:
  explicit X11Desktop(std::shared_ptr<X11Display> display);
  void openAccessibility();
  void publishBusAddress();

  std::shared_ptr<X11Display> display_;
  X11WindowServer windowServer_;
  X11Capture capture_;
  X11Workspace workspace_;
  X11OverlayWindows overlays_;
  SystemClock clock_;
  std::once_flag accessibilityOpened_;
  std::unique_ptr<AtspiAccessibility> accessibility_;
  std::unique_ptr<Accessibility> disabled_;
  std::shared_ptr<X11SpareKeys> spareKeys_;
  std::unique_ptr<XkbLayouts> layouts_;
  std::once_flag inputOpened_;
  std::unique_ptr<X11Input> input_;
};
