#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

struct OverlayColor {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const OverlayColor&) const = default;
};

// One flat shape of an overlay's picture, in window points with y growing downwards.
struct OverlayShape {
  enum class Kind { polygon, pill, text };
  Kind kind = Kind::polygon;
  std::vector<Point> points{};  // polygon corners
  Rect box{};                   // pill bounds; text: the line's box, text starting at its left
  OverlayColor color{};
  double outline = 0;  // polygon: width of a stroke of the same colour around it
  std::string text{};  // UTF-8
};

// What an overlay window shows: shapes painted in order, nothing else drawn.
struct OverlayPicture {
  Size size{};
  std::vector<OverlayShape> shapes{};
};

// Small windows that show a picture above another window and never take a click: the
// agents' cursors. Each is drawn only where its shapes are.
class OverlayWindows {
 public:
  virtual ~OverlayWindows() = default;
  // A new overlay showing the picture, not yet on screen; none when it cannot be made.
  virtual std::optional<WindowNumber> create(const OverlayPicture& picture) = 0;
  // Puts the overlay's top-left corner at the point (global screen points).
  virtual void move(WindowNumber overlay, Point topLeft) = 0;
  // Shows the overlay directly above the target window in the stacking order.
  virtual void orderAbove(WindowNumber overlay, WindowNumber target) = 0;
  virtual void orderOut(WindowNumber overlay) = 0;
  virtual void destroy(WindowNumber overlay) = 0;
};
