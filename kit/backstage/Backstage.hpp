#pragma once
#include <optional>
#include <string>

#include "kit/platform/WindowInfo.hpp"

// The invisible display on which covered windows are operated. Until it exists, every
// window is operated where it is.
class Backstage {
 public:
  static Backstage& shared();

  // The window to operate on: moved to the backstage when the user's windows cover it.
  WindowInfo admit(const WindowInfo& window) { return window; }
  bool isGuest(WindowNumber) const { return false; }
  // What recovering windows of an earlier run left to report, if anything.
  std::optional<std::string> recoveryStatus() const { return std::nullopt; }

 private:
  Backstage() = default;
};
