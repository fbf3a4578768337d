#pragma once
#include <array>

#include "kit/platform/Capture.hpp"
#include "platform/sim/SimModel.hpp"

// Pictures of simulated windows: each window is drawn as its frame filled with
// fillColor(window), a darker title bar and its elements' frames outlined in black.
class SimCapture : public ScreenCapture {
 public:
  explicit SimCapture(SimModel& model) : model_(model) {}

  Shareable shareableWindows(bool onScreenOnly) override;
  std::optional<Image> displayImage(const std::vector<WindowNumber>& windows, Rect rect, double scale) override;
  std::optional<Image> windowImage(WindowNumber window, int width, int height) override;
  static std::array<uint8_t, 3> fillColor(WindowNumber window);

 private:
  Image render(const SimModel::Window& window, int width, int height) const;
  SimModel& model_;
};
