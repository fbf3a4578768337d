#include "platform/x11/X11Pixels.hpp"

#include <X11/Xutil.h>

#include <memory>

namespace X11Pixels {
namespace {

int shiftOf(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) mask >>= 1, ++shift;
  return shift;
}

}  // namespace

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

std::optional<Image> onScreen(Rect area) {
  std::unique_ptr<Display, decltype(&XCloseDisplay)> display(XOpenDisplay(nullptr), &XCloseDisplay);
  if (!display || area.size.width < 1 || area.size.height < 1) return std::nullopt;
  XImage* image = XGetImage(display.get(), DefaultRootWindow(display.get()), int(area.origin.x), int(area.origin.y),
                            unsigned(area.size.width), unsigned(area.size.height), AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  Image pixels = toRGB(image);
  XDestroyImage(image);
  return pixels;
}

}  // namespace X11Pixels
