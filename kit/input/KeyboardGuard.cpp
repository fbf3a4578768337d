#include "kit/input/KeyboardGuard.hpp"

namespace KeyboardGuard {

// Nothing takes the keyboard yet: no input is posted by this build.
std::optional<std::string> release(const RunningApp&) { return std::nullopt; }

}  // namespace KeyboardGuard
