#pragma once
#include <X11/Xlib.h>
#include <sys/types.h>

// The process of the client that made a window (any resource of it), as the X server
// knows it through X-Resource; 0 when unknown.
pid_t clientPidOf(Display* display, ::Window window);
