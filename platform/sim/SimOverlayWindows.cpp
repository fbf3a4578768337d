#include "platform/sim/SimOverlayWindows.hpp"

std::optional<WindowNumber> SimOverlayWindows::create(const OverlayPicture& picture) {
  std::lock_guard guard(model_.lock);
  return model_.addOverlay(picture);
}

void SimOverlayWindows::move(WindowNumber overlay, Point topLeft) {
  std::lock_guard guard(model_.lock);
  if (auto found = model_.overlays.find(overlay); found != model_.overlays.end()) found->second.frame.origin = topLeft;
}

void SimOverlayWindows::orderAbove(WindowNumber overlay, WindowNumber target) {
  std::lock_guard guard(model_.lock);
  if (auto found = model_.overlays.find(overlay); found != model_.overlays.end()) {
    found->second.anchor = target;
    found->second.inFront = true;
  }
}

void SimOverlayWindows::orderOut(WindowNumber overlay) {
  std::lock_guard guard(model_.lock);
  if (auto found = model_.overlays.find(overlay); found != model_.overlays.end()) found->second.anchor.reset();
}

void SimOverlayWindows::destroy(WindowNumber overlay) {
  std::lock_guard guard(model_.lock);
  model_.overlays.erase(overlay);
}
