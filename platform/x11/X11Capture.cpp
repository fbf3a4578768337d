#include "platform/x11/X11Capture.hpp"

#include "platform/x11/X11Pixels.hpp"

#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <algorithm>
#include <cmath>

namespace {

int pixels(double points, double scale) { return std::max(1, static_cast<int>(std::lround(points * scale))); }

}  // namespace

X11Capture::X11Capture(std::shared_ptr<X11Display> display, X11WindowServer& windowServer)
    : display_(std::move(display)), windowServer_(windowServer), grabber_(display_->raw()) {
  std::lock_guard guard(display_->lock());
  int event = 0, error = 0;
  if (!XCompositeQueryExtension(display_->raw(), &event, &error)) {
    refusal_ = "the X server has no Composite extension";
    return;
  }
  // Automatic redirection keeps the screen as it was while every top-level window
  // also renders into a pixmap of its own.
  XCompositeRedirectSubwindows(display_->raw(), display_->root(), CompositeRedirectAutomatic);
  XSync(display_->raw(), False);
}

X11Capture::Shareable X11Capture::shareableWindows(bool onScreenOnly) {
  if (refusal_) return {{}, refusal_};
  Shareable content;
  for (const auto& window : windowServer_.stack()) {
    if (window.viewable && (!onScreenOnly || window.onScreen())) content.windows.push_back(WindowNumber(window.client));
  }
  return content;
}

std::optional<X11Capture::Picture> X11Capture::picture(::Window client) {
  std::lock_guard guard(display_->lock());
  Display* display = display_->raw();
  auto top = display_->topLevel(client);
  if (!top) return std::nullopt;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, *top, &attributes) || attributes.map_state != IsViewable) return std::nullopt;
  Pixmap pixmap = XCompositeNameWindowPixmap(display, *top);
  XImage* grabbed = grabber_.grab(pixmap, attributes.visual, unsigned(attributes.depth), unsigned(attributes.width),
                                  unsigned(attributes.height));
  XFreePixmap(display, pixmap);
  if (grabbed == nullptr) return std::nullopt;
  // A pixmap has no visual, so the image comes without colour masks; the window's visual has them.
  grabbed->red_mask = attributes.visual->red_mask;
  grabbed->green_mask = attributes.visual->green_mask;
  grabbed->blue_mask = attributes.visual->blue_mask;
  Picture result{X11Pixels::toRGB(grabbed), {{double(attributes.x), double(attributes.y)},
                                  {double(attributes.width), double(attributes.height)}}};
  grabber_.release(grabbed);
  return result;
}

std::optional<Image> X11Capture::displayImage(const std::vector<WindowNumber>& wanted, Rect rect, double scale) {
  if (refusal_) return std::nullopt;
  Image canvas(pixels(rect.size.width, scale), pixels(rect.size.height, scale), windowBackground[0],
               windowBackground[1], windowBackground[2]);
  const auto stack = windowServer_.stack();
  bool drewAny = false;
  // Back to front, so that front windows cover the ones behind.
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (std::find(wanted.begin(), wanted.end(), WindowNumber(it->client)) == wanted.end() || !it->viewable) continue;
    auto shot = picture(it->client);
    if (!shot) continue;
    const Rect& frame = shot->frame;
    const Image piece = scale == 1.0 ? std::move(shot->image)
                                     : shot->image.scaled(pixels(frame.size.width, scale), pixels(frame.size.height, scale));
    canvas.draw(piece, static_cast<int>(std::lround((frame.origin.x - rect.origin.x) * scale)),
                static_cast<int>(std::lround((frame.origin.y - rect.origin.y) * scale)));
    drewAny = true;
  }
  if (!drewAny) return std::nullopt;
  return canvas;
}

std::optional<Image> X11Capture::windowImage(WindowNumber window, int width, int height) {
  if (refusal_) return std::nullopt;
  auto shot = picture(window);
  if (!shot) return std::nullopt;
  return shot->image.scaled(width, height);
}
