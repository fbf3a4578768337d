#pragma once
#include <future>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

// One screenshot of a rectangle, and the mapping between its pixels and screen points.
struct Shot {
  std::vector<unsigned char> jpeg;
  int width = 0;
  int height = 0;
  double scale = 1;
  Rect rect;

  Point toImage(Point screen) const { return {(screen.x - rect.origin.x) * scale, (screen.y - rect.origin.y) * scale}; }
  Point toScreen(Point pixel) const { return {pixel.x / scale + rect.origin.x, pixel.y / scale + rect.origin.y}; }
};

namespace Capture {

inline constexpr double longestSide = 1568;
inline constexpr int quality = 82;

// Pixels per point: the longest side at most 1568 pixels, never above 1.0.
double scaleFor(const Rect& rect);

// A screenshot being taken on a thread of its own, so the caller can read meanwhile.
struct PendingShot {
  Rect rect;
  double scale = 1;
  std::future<Shot> shot;

  Point toImage(Point screen) const { return Shot{{}, 0, 0, scale, rect}.toImage(screen); }
  // The shot, once taken (bounded); fails with a ToolError.
  Shot wait();
};

// The target window first, then its transient windows, over the rectangle. Windows all
// on screen come from the display; otherwise each is captured alone and composed.
PendingShot start(const std::vector<WindowInfo>& windows, const Rect& rect);
// The same, awaited. Fails with a ToolError.
Shot shot(const std::vector<WindowInfo>& windows, const Rect& rect);

}  // namespace Capture
