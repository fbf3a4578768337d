#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>

// Reads drawables through one shared-memory segment (MIT-SHM), so a window's pixels are
// not copied through the socket; without the extension, or once it fails, through XGetImage.
// Every call expects the display's lock to be held.
class X11SharedImage {
 public:
  explicit X11SharedImage(Display* display);
  ~X11SharedImage();
  X11SharedImage(const X11SharedImage&) = delete;
  X11SharedImage& operator=(const X11SharedImage&) = delete;

  // The drawable's pixels, or null; hand the image back with release() before the next grab.
  XImage* grab(Drawable drawable, Visual* visual, unsigned depth, unsigned width, unsigned height);
  void release(XImage* image);
  bool shared() const { return usable_; }

 private:
  bool reserve(size_t bytes);
  void detach();

  Display* display_;
  bool usable_ = false;
  XShmSegmentInfo segment_{};
  size_t capacity_ = 0;
};
