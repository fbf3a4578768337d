#pragma once
#include "kit/platform/OverlayWindows.hpp"
#include "platform/sim/SimModel.hpp"

// Overlays in the model: ordered in front of a window, and left behind it when the
// window is raised, as a window server would.
class SimOverlayWindows : public OverlayWindows {
 public:
  explicit SimOverlayWindows(SimModel& model) : model_(model) {}
  std::optional<WindowNumber> create(const OverlayPicture& picture) override;
  void move(WindowNumber overlay, Point topLeft) override;
  void orderAbove(WindowNumber overlay, WindowNumber target) override;
  void orderOut(WindowNumber overlay) override;
  void destroy(WindowNumber overlay) override;

 private:
  SimModel& model_;
};
