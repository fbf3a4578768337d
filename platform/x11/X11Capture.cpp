#include "platform/x11/X11Capture.hpp"

#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <algorithm>
#include <cmath>

namespace {

int pixels(double points, double scale) { return std::max(1, static_cast<int>(std::lround(points * scale))); }

int shiftOf(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) mask >>= 1, ++shift;
  return shift;
}

Image toRGB(XImage* source) {
  Image image(source->width, source->height);
  const bool direct = source->bits_per_pixel == 32 && source->red_mask == 0xFF0000 && source->green_mask == 0xFF00 &&
                      source->blue_mask == 0xFF && source->byte_order == LSBFirst;
  if (direct) {
    for (int y = 0; y < source->height; ++y) {
      const auto* row = reinterpret_cast<const uint8_t*>(source->data + static_cast<size_t>(y) * source->bytes_per_line);
      uint8_t* out = image.pixel(0, y);
      for (int x = 0; x < source->width; ++x, row += 4, out += 3) {
        out[0] = row[2], out[1] = row[1], out[2] = row[0];
      }
    }
    return image;
  }
  const int red = shiftOf(source->red_mask), green = shiftOf(source->green_mask), blue = shiftOf(source->blue_mask);
  for (int y = 0; y < source->height; ++y) {
    for (int x = 0; x < source->width; ++x) {
      unsigned long value = XGetPixel(source, x, y);
      uint8_t* out = image.pixel(x, y);
      out[0] = uint8_t((value & source->red_mask) >> red);
      out[1] = uint8_t((value & source->green_mask) >> green);
      out[2] = uint8_t((value & source->blue_mask) >> blue);
    }
  }
  return image;
}

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
  Picture result{toRGB(grabbed), {{double(attributes.x), double(attributes.y)},
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
