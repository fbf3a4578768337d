#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "kit/common/Geometry.hpp"

using WindowNumber = uint32_t;

// The layer of a drag-and-drop image: an app showing a window there runs a system drag.
inline constexpr int dragLayer = 500;

// One window as the window server lists it.
struct WindowInfo {
  WindowNumber id = 0;
  pid_t pid = 0;
  std::string title;
  Rect frame;  // global screen points
  int layer = 0;
  bool isOnScreen = false;  // reported on screen with an alpha above 0
};
