#include "platform/x11/X11OverlayWindows.hpp"

#include <X11/Xft/Xft.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* tagFont = "sans:bold:pixelsize=11";

unsigned long pixelOf(Display* display, const OverlayColor& color) {
  XColor wanted{};
  wanted.red = uint16_t(color.red * 257);
  wanted.green = uint16_t(color.green * 257);
  wanted.blue = uint16_t(color.blue * 257);
  wanted.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &wanted)) return 0;
  return wanted.pixel;
}

std::vector<XPoint> corners(const OverlayShape& shape) {
  std::vector<XPoint> points;
  for (const Point& point : shape.points) points.push_back({short(std::lround(point.x)), short(std::lround(point.y))});
  return points;
}

// Draws a shape's area with the GC's current foreground: into the picture, or into the
// one-bit mask that becomes the window's shape.
void fill(Display* display, Drawable target, GC gc, const OverlayShape& shape) {
  if (shape.kind == OverlayShape::Kind::polygon) {
    auto points = corners(shape);
    if (points.empty()) return;
    XFillPolygon(display, target, gc, points.data(), int(points.size()), Complex, CoordModeOrigin);
    if (shape.outline > 0) {
      points.push_back(points.front());
      XSetLineAttributes(display, gc, unsigned(std::lround(shape.outline)), LineSolid, CapRound, JoinRound);
      XDrawLines(display, target, gc, points.data(), int(points.size()), CoordModeOrigin);
    }
  } else if (shape.kind == OverlayShape::Kind::pill) {
    const int x = int(std::lround(shape.box.origin.x)), y = int(std::lround(shape.box.origin.y));
    const int width = int(std::lround(shape.box.size.width)), height = int(std::lround(shape.box.size.height));
    XFillArc(display, target, gc, x, y, height, height, 90 * 64, 180 * 64);
    XFillArc(display, target, gc, x + width - height, y, height, height, 270 * 64, 180 * 64);
    XFillRectangle(display, target, gc, x + height / 2, y, unsigned(std::max(0, width - height)), unsigned(height));
  }
}

void drawText(Display* display, Pixmap target, const OverlayShape& shape) {
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  Colormap colormap = DefaultColormap(display, screen);
  XftFont* font = XftFontOpenName(display, screen, tagFont);
  XftDraw* draw = XftDrawCreate(display, target, visual, colormap);
  if (font == nullptr || draw == nullptr) {
    if (font != nullptr) XftFontClose(display, font);
    if (draw != nullptr) XftDrawDestroy(draw);
    return;
  }
  XRenderColor value{uint16_t(shape.color.red * 257), uint16_t(shape.color.green * 257),
                     uint16_t(shape.color.blue * 257), 0xFFFF};
  XftColor color;
  XftColorAllocValue(display, visual, colormap, &value, &color);
  XRectangle clip{short(shape.box.origin.x), short(shape.box.origin.y), uint16_t(shape.box.size.width),
                  uint16_t(shape.box.size.height)};
  XftDrawSetClipRectangles(draw, 0, 0, &clip, 1);
  const int baseline = int(shape.box.origin.y + (shape.box.size.height + font->ascent - font->descent) / 2);
  XftDrawStringUtf8(draw, &color, font, int(shape.box.origin.x), baseline,
                    reinterpret_cast<const FcChar8*>(shape.text.data()), int(shape.text.size()));
  XftColorFree(display, visual, colormap, &color);
  XftDrawDestroy(draw);
  XftFontClose(display, font);
}

}  // namespace

std::optional<WindowNumber> X11OverlayWindows::create(const OverlayPicture& picture) {
  std::lock_guard guard(display_->lock());
  Display* display = display_->raw();
  const unsigned width = unsigned(std::max(1.0, std::ceil(picture.size.width)));
  const unsigned height = unsigned(std::max(1.0, std::ceil(picture.size.height)));
  const int depth = DefaultDepth(display, DefaultScreen(display));
  Pixmap image = XCreatePixmap(display, display_->root(), width, height, unsigned(depth));
  Pixmap mask = XCreatePixmap(display, display_->root(), width, height, 1);
  GC imageGC = XCreateGC(display, image, 0, nullptr);
  GC maskGC = XCreateGC(display, mask, 0, nullptr);
  XSetForeground(display, maskGC, 0);
  XFillRectangle(display, mask, maskGC, 0, 0, width, height);
  XSetForeground(display, maskGC, 1);
  for (const auto& shape : picture.shapes) {
    if (shape.kind == OverlayShape::Kind::text) {
      drawText(display, image, shape);
      continue;
    }
    XSetForeground(display, imageGC, pixelOf(display, shape.color));
    fill(display, image, imageGC, shape);
    fill(display, mask, maskGC, shape);
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixmap = image;
  ::Window window = XCreateWindow(display, display_->root(), -int(width), -int(height), width, height, 0,
                                  CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixmap,
                                  &attributes);
  XShapeCombineMask(display, window, ShapeBounding, 0, 0, mask, ShapeSet);
  XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  XStoreName(display, window, "Tarnwick cursor");
  XFreeGC(display, imageGC);
  XFreeGC(display, maskGC);
  XFreePixmap(display, mask);
  XFreePixmap(display, image);  // the window keeps its background
  XFlush(display);
  if (window == 0) return std::nullopt;
  return WindowNumber(window);
}

void X11OverlayWindows::move(WindowNumber overlay, Point topLeft) {
  std::lock_guard guard(display_->lock());
  XMoveWindow(display_->raw(), overlay, int(std::lround(topLeft.x)), int(std::lround(topLeft.y)));
  XFlush(display_->raw());
}

void X11OverlayWindows::orderAbove(WindowNumber overlay, WindowNumber target) {
  std::lock_guard guard(display_->lock());
  auto frame = display_->topLevel(target);
  if (!frame) return;
  XWindowChanges changes{};
  changes.sibling = *frame;
  changes.stack_mode = Above;
  XConfigureWindow(display_->raw(), overlay, CWSibling | CWStackMode, &changes);
  XMapWindow(display_->raw(), overlay);
  XFlush(display_->raw());
}

void X11OverlayWindows::orderOut(WindowNumber overlay) {
  std::lock_guard guard(display_->lock());
  takeAway(overlay, XUnmapWindow);
}

void X11OverlayWindows::destroy(WindowNumber overlay) {
  std::lock_guard guard(display_->lock());
  takeAway(overlay, XDestroyWindow);
}

void X11OverlayWindows::takeAway(WindowNumber overlay, int (*how)(Display*, ::Window)) {
  Display* display = display_->raw();
  XWindowAttributes gone;
  const bool wasShown = XGetWindowAttributes(display, overlay, &gone) && gone.map_state == IsViewable;
  how(display, overlay);
  if (wasShown) exposeBelow(display_->longs(display_->root(), "_NET_CLIENT_LIST", XA_WINDOW), gone);
  XFlush(display);
}

// Without a compositor the apps below repaint what the overlay covered; some miss the
// server's exposure, so each window under it is told again.
void X11OverlayWindows::exposeBelow(const std::vector<unsigned long>& clients, const XWindowAttributes& gone) {
  Display* display = display_->raw();
  for (unsigned long client : clients) {
    int x = 0, y = 0;
    ::Window child = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, client, &attributes) || attributes.map_state != IsViewable) continue;
    XTranslateCoordinates(display, client, display_->root(), 0, 0, &x, &y, &child);
    const int left = std::max(x, gone.x), top = std::max(y, gone.y);
    const int right = std::min(x + attributes.width, gone.x + gone.width);
    const int bottom = std::min(y + attributes.height, gone.y + gone.height);
    if (right <= left || bottom <= top) continue;
    XClearArea(display, client, left - x, top - y, unsigned(right - left), unsigned(bottom - top), True);
  }
}
