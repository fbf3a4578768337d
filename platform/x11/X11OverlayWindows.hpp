#pragma once
#include <memory>
#include <vector>

#include "kit/platform/OverlayWindows.hpp"
#include "platform/x11/X11Display.hpp"

// Overlays as override-redirect windows shaped to their picture (the bounding shape, so
// no compositor is needed) with an empty input shape, so that every click passes through
// to the window below. The picture is the window's background: the server repaints it.
class X11OverlayWindows : public OverlayWindows {
 public:
  explicit X11OverlayWindows(std::shared_ptr<X11Display> display) : display_(std::move(display)) {}
  std::optional<WindowNumber> create(const OverlayPicture& picture) override;
  void move(WindowNumber overlay, Point topLeft) override;
  void orderAbove(WindowNumber overlay, WindowNumber target) override;
  void orderOut(WindowNumber overlay) override;
  void destroy(WindowNumber overlay) override;

 private:
  // Unmaps or destroys the overlay; expects the display's lock held.
  void takeAway(WindowNumber overlay, int (*how)(Display*, ::Window));
  void exposeBelow(const std::vector<unsigned long>& clients, const XWindowAttributes& gone);
  std::shared_ptr<X11Display> display_;
};
