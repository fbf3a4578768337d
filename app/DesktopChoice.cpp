#include "app/DesktopChoice.hpp"

#include <cstdlib>
#include <cstring>

#include "kit/platform/Desktop.hpp"
#include "platform/sim/SimDesktop.hpp"

void chooseDesktop() {
  const char* chosen = std::getenv("TARNWICK_PLATFORM");
  if (chosen != nullptr && std::strcmp(chosen, "sim") == 0) {
    Platform::install(SimDesktop::demo());
    return;
  }
  // The X11 desktop backend is not part of this build yet, so no real desktop can serve.
  Platform::setFinder([]() -> std::shared_ptr<Desktop> { return nullptr; });
}
