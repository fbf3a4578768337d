#pragma once
#include <memory>
#include <optional>
#include <string>

#include "kit/platform/Capture.hpp"
#include "platform/x11/X11SharedImage.hpp"
#include "platform/x11/X11WindowServer.hpp"

// Pictures of windows from their off-screen pixmaps (XComposite), so covered windows
// and windows beyond every monitor are captured whole.
class X11Capture : public ScreenCapture {
 public:
  X11Capture(std::shared_ptr<X11Display> display, X11WindowServer& windowServer);

  Shareable shareableWindows(bool onScreenOnly) override;
  std::optional<Image> displayImage(const std::vector<WindowNumber>& windows, Rect rect, double scale) override;
  std::optional<Image> windowImage(WindowNumber window, int width, int height) override;

 private:
  struct Picture {
    Image image;
    Rect frame;  // root coordinates of the pictured top-level window
  };
  // The window with its frame, as the screen would show it uncovered.
  std::optional<Picture> picture(::Window client);

  std::shared_ptr<X11Display> display_;
  X11WindowServer& windowServer_;
  X11SharedImage grabber_;  // under the display's lock
  std::optional<std::string> refusal_;
};
