#include "kit/perception/Capture.hpp"

#include <algorithm>
#include <cmath>
#include <future>
#include <thread>

#include "kit/perception/JPEG.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/common/PlatformTexts.hpp"
#include "kit/common/ToolError.hpp"

namespace Capture {
namespace {

constexpr auto captureBound = std::chrono::seconds(20);

int pixels(double points, double scale) { return std::max(1, static_cast<int>(std::lround(points * scale))); }

ScreenCapture::Shareable shareable(ScreenCapture& capture, bool onScreenOnly) {
  auto content = capture.shareableWindows(onScreenOnly);
  if (content.refusal) throw ToolError(std::string(PlatformTexts::captureRefused()) + *content.refusal);
  return content;
}

bool contains(const std::vector<WindowNumber>& list, WindowNumber id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

Image fromDisplay(ScreenCapture& capture, const std::vector<WindowInfo>& windows, const Rect& rect, double scale) {
  auto content = shareable(capture, true);
  std::vector<WindowNumber> requested;
  for (const auto& window : windows) {
    if (contains(content.windows, window.id)) requested.push_back(window.id);
  }
  if (requested.empty()) throw ToolError("The window is not on screen, so it cannot be captured.");
  auto image = capture.displayImage(requested, rect, scale);
  if (!image) throw ToolError("The window is not on screen, so it cannot be captured.");
  return std::move(*image);
}

Image composed(ScreenCapture& capture, const std::vector<WindowInfo>& windows, const Rect& rect, double scale) {
  auto content = shareable(capture, false);
  if (windows.empty() || !contains(content.windows, windows.front().id)) {
    throw ToolError("The window cannot be captured (minimized or closed).");
  }
  Image canvas(pixels(rect.size.width, scale), pixels(rect.size.height, scale), windowBackground[0],
               windowBackground[1], windowBackground[2]);
  for (const auto& window : windows) {
    if (!contains(content.windows, window.id)) continue;
    auto picture = capture.windowImage(window.id, pixels(window.frame.size.width, scale),
                                       pixels(window.frame.size.height, scale));
    if (!picture) throw ToolError("Could not compose the screenshot.");
    canvas.draw(*picture, static_cast<int>(std::lround((window.frame.origin.x - rect.origin.x) * scale)),
                static_cast<int>(std::lround((window.frame.origin.y - rect.origin.y) * scale)));
  }
  return canvas;
}

}  // namespace

double scaleFor(const Rect& rect) {
  double side = std::max(rect.size.width, rect.size.height);
  return side <= 0 ? 1.0 : std::min(1.0, longestSide / side);
}

PendingShot start(const std::vector<WindowInfo>& windows, const Rect& rect) {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) Platform::desktop();  // fails with the no-desktop text
  const double scale = scaleFor(rect);
  const bool onScreen = std::all_of(windows.begin(), windows.end(), [](const WindowInfo& w) { return w.isOnScreen; });

  // The capture may hang in the window server: it runs on a thread of its own, which the
  // call leaves behind when it waits too long.
  auto result = std::make_shared<std::promise<Shot>>();
  PendingShot pending{rect, scale, result->get_future()};
  std::thread([desktop, windows, rect, scale, onScreen, result] {
    try {
      ScreenCapture& capture = desktop->capture();
      Image image = onScreen ? fromDisplay(capture, windows, rect, scale) : composed(capture, windows, rect, scale);
      auto jpeg = JPEG::encode(image, quality);
      if (!jpeg) throw ToolError("Could not encode the screenshot.");
      result->set_value(Shot{std::move(*jpeg), image.width, image.height, scale, rect});
    } catch (...) {
      result->set_exception(std::current_exception());
    }
  }).detach();
  return pending;
}

Shot PendingShot::wait() {
  if (shot.wait_for(captureBound) != std::future_status::ready) throw ToolError("Timed out.");
  return shot.get();
}

Shot shot(const std::vector<WindowInfo>& windows, const Rect& rect) { return start(windows, rect).wait(); }

}  // namespace Capture
