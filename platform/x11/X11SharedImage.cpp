#include "platform/x11/X11SharedImage.hpp"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

X11SharedImage::X11SharedImage(Display* display) : display_(display) {
  usable_ = XShmQueryExtension(display) == True;
  segment_.shmid = -1;
}

X11SharedImage::~X11SharedImage() { detach(); }

void X11SharedImage::detach() {
  if (capacity_ == 0) return;
  XShmDetach(display_, &segment_);
  XSync(display_, False);
  shmdt(segment_.shmaddr);
  segment_.shmid = -1;
  segment_.shmaddr = nullptr;
  capacity_ = 0;
}

bool X11SharedImage::reserve(size_t bytes) {
  if (bytes <= capacity_) return true;
  detach();
  const size_t rounded = (bytes + (1u << 20) - 1) & ~((size_t(1) << 20) - 1);  // fewer regrowths
  const int id = shmget(IPC_PRIVATE, rounded, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  segment_.shmid = id;
  segment_.shmaddr = static_cast<char*>(address);
  segment_.readOnly = False;
  const bool attached = XShmAttach(display_, &segment_) == True;
  XSync(display_, False);
  // Marked for removal now, so the segment goes with the last process that detaches.
  shmctl(id, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    segment_.shmaddr = nullptr;
    return false;
  }
  capacity_ = rounded;
  return true;
}

XImage* X11SharedImage::grab(Drawable drawable, Visual* visual, unsigned depth, unsigned width, unsigned height) {
  if (usable_) {
    XImage* image = XShmCreateImage(display_, visual, depth, ZPixmap, nullptr, &segment_, width, height);
    if (image != nullptr && reserve(size_t(image->bytes_per_line) * image->height)) {
      image->data = segment_.shmaddr;
      // A server that cannot reach the segment (another host, another IPC namespace) refuses here.
      if (XShmGetImage(display_, drawable, image, 0, 0, AllPlanes)) return image;
    }
    if (image != nullptr) release(image);
    detach();
    usable_ = false;
  }
  return XGetImage(display_, drawable, 0, 0, width, height, AllPlanes, ZPixmap);
}

void X11SharedImage::release(XImage* image) {
  if (image == nullptr) return;
  if (capacity_ != 0 && image->data == segment_.shmaddr) image->data = nullptr;  // not Xlib's to free
  XDestroyImage(image);
}
