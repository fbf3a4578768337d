#include "app/DesktopChoice.hpp"

#include <cstdlib>
#include <cstring>

#include "kit/platform/Desktop.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/x11/X11Desktop.hpp"

void chooseDesktop() {
  const char* chosen = std::getenv("TARNWICK_PLATFORM");
  if (chosen != nullptr && std::strcmp(chosen, "sim") == 0) {
    Platform::install(SimDesktop::demo());
    return;
  }
  // The X server may come up after the resident app; the finder is asked again later.
  Platform::setFinder([]() -> std::shared_ptr<Desktop> { return X11Desktop::open(); });
}
