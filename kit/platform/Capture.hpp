#pragma once
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/Image.hpp"

// Pictures of windows, also of windows that are covered or on no visible screen.
class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;

  // The windows that can be captured now (only those on screen, or all), or none with
  // the reason when capturing is not permitted.
  struct Shareable {
    std::vector<WindowNumber> windows;
    std::optional<std::string> refusal;
  };
  virtual Shareable shareableWindows(bool onScreenOnly) = 0;

  // The rectangle (screen points) as the display shows it, drawing only these windows,
  // at `scale` pixels per point; the window background colour where none covers it.
  virtual std::optional<Image> displayImage(const std::vector<WindowNumber>& windows, Rect rect, double scale) = 0;

  // One window alone, without shadow, at this pixel size.
  virtual std::optional<Image> windowImage(WindowNumber window, int width, int height) = 0;
};

// The colour of uncovered areas in a screenshot.
inline constexpr uint8_t windowBackground[3] = {236, 236, 236};
